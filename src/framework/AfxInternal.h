// Per-thread plumbing shared by the framework's own .cpp files; not part of
// the public API.
#pragma once

#include "AfxState.h"

namespace afx_internal {

// The object a window being created on this thread should bind to. Dialog
// creation and framework-class creation claim it from different places, so
// the kind keeps one from taking the other's object.
struct CPendingBind {
    CWnd* pWnd;
    bool bDialog;
};

class CPendingBindScope {
public:
    CPendingBindScope(CWnd* pWnd, bool bDialog) noexcept;
    ~CPendingBindScope();
    CPendingBindScope(const CPendingBindScope&) = delete;
    CPendingBindScope& operator=(const CPendingBindScope&) = delete;

private:
    CPendingBind m_bind;
    void* m_pPrev;
};

// Takes the pending object if one of that kind waits; it is then consumed.
CWnd* TakePendingBind(bool bDialog);

// The message being dispatched on this thread, for CWnd::Default().
struct CCurrentMsg {
    UINT nMsg;
    WPARAM wParam;
    LPARAM lParam;
};
const CCurrentMsg* GetCurrentMsg();
void* SetCurrentMsg(const CCurrentMsg* pMsg);  // returns the previous one
void RestoreCurrentMsg(void* pPrev);

// Looks hWnd up in the current state first, then in every other live state.
CWnd* LookupPermanentAnyState(HWND hWnd);

// This binary's module handle, whether it is a program or a DLL.
HINSTANCE ThisModule();

// The framework's own window class (registered on first use) and its removal
// when a DLL unloads.
LPCWSTR FrameworkWindowClass();
void UnregisterFrameworkWindowClass();

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

}  // namespace afx_internal
