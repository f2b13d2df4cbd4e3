// CWnd and message maps.
//
// A class lists the messages it handles in a static table:
//
//     class CMyDlg : public CDialog { ... DECLARE_MESSAGE_MAP() };
//
//     BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//         ON_BN_CLICKED(IDC_RESET, OnReset)
//         ON_MESSAGE(WM_APP_LEVEL, OnLevel)
//         ON_WM_HSCROLL()
//     END_MESSAGE_MAP()
//
// Handlers are named bare (OnReset, not &CMyDlg::OnReset). Dispatch walks the
// class's table, then its base's; the first match wins, and anything no table
// handles goes to DefWindowProc. An entry names the member through a member
// pointer, so a virtual handler listed in a base's table runs the derived
// override.
#pragma once

#include "AfxState.h"

#include <commctrl.h>

#include <string>

class CWnd;
class CDataExchange;

namespace afx_internal {
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
}

// Handler shapes; each ON_ macro picks one and the dispatcher unpacks the
// message parameters to match it.
enum AfxSig : unsigned char {
    AfxSig_end = 0,
    AfxSig_l_wl,       // LRESULT (WPARAM, LPARAM)
    AfxSig_v,          // void ()
    AfxSig_v_u,        // void (UINT id)
    AfxSig_notify,     // void (NMHDR*, LRESULT*)
    AfxSig_notify_u,   // void (UINT id, NMHDR*, LRESULT*)
    AfxSig_scroll,     // void (UINT nSBCode, UINT nPos, CWnd* pScrollBar)
    AfxSig_timer,      // void (UINT_PTR nIDEvent)
    AfxSig_ctlcolor,   // HBRUSH (HDC, CWnd*, UINT nCtlColor)
    AfxSig_show,       // void (BOOL bShow, UINT nStatus)
};

using AFX_PMSG = void (CWnd::*)();
using AFX_PMSG_L_WL = LRESULT (CWnd::*)(WPARAM, LPARAM);
using AFX_PMSG_V_U = void (CWnd::*)(UINT);
using AFX_PMSG_NOTIFY = void (CWnd::*)(NMHDR*, LRESULT*);
using AFX_PMSG_NOTIFY_U = void (CWnd::*)(UINT, NMHDR*, LRESULT*);
using AFX_PMSG_SCROLL = void (CWnd::*)(UINT, UINT, CWnd*);
using AFX_PMSG_TIMER = void (CWnd::*)(UINT_PTR);
using AFX_PMSG_CTLCOLOR = HBRUSH (CWnd::*)(HDC, CWnd*, UINT);
using AFX_PMSG_SHOW = void (CWnd::*)(BOOL, UINT);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;               // the WM_ value
    UINT nCode;                  // notification code, for WM_COMMAND and WM_NOTIFY
    UINT nID;                    // control id range, for WM_COMMAND and WM_NOTIFY
    UINT nLastID;
    const UINT* pnRegistered;    // registered messages are known only at run time
    AfxSig nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const AFX_MSGMAP* GetThisMessageMap();      \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                            \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }     \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                       \
    {                                                                                     \
        using ThisClass [[maybe_unused]] = theClass;                                      \
        using TheBaseClass = baseClass;                                                   \
        static const AFX_MSGMAP_ENTRY s_entries[] = {

#define END_MESSAGE_MAP()                                                                 \
            {0, 0, 0, 0, nullptr, AfxSig_end, nullptr}                                    \
        };                                                                                \
        static const AFX_MSGMAP s_map = {&TheBaseClass::GetThisMessageMap, s_entries};    \
        return &s_map;                                                                    \
    }

// The static_cast checks the handler's signature; the entry then stores it
// type-erased and the dispatcher casts it back by nSig.
#define AFX_MSG_FN(pmsgType, fn) \
    reinterpret_cast<AFX_PMSG>(static_cast<pmsgType>(&ThisClass::fn))

#define ON_MESSAGE(msg, fn) \
    {(UINT)(msg), 0, 0, 0, nullptr, AfxSig_l_wl, AFX_MSG_FN(AFX_PMSG_L_WL, fn)},
#define ON_REGISTERED_MESSAGE(nMessageVariable, fn) \
    {0, 0, 0, 0, &(nMessageVariable), AfxSig_l_wl, AFX_MSG_FN(AFX_PMSG_L_WL, fn)},

// Menu items and accelerators arrive as code 0, the same as BN_CLICKED.
#define ON_COMMAND(id, fn) \
    {WM_COMMAND, 0, (UINT)(id), (UINT)(id), nullptr, AfxSig_v, AFX_MSG_FN(AFX_PMSG, fn)},
#define ON_COMMAND_RANGE(idFirst, idLast, fn) \
    {WM_COMMAND, 0, (UINT)(idFirst), (UINT)(idLast), nullptr, AfxSig_v_u, AFX_MSG_FN(AFX_PMSG_V_U, fn)},
#define ON_CONTROL(code, id, fn) \
    {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), nullptr, AfxSig_v, AFX_MSG_FN(AFX_PMSG, fn)},
#define ON_CONTROL_RANGE(code, idFirst, idLast, fn)                                      \
    {WM_COMMAND, (UINT)(code), (UINT)(idFirst), (UINT)(idLast), nullptr, AfxSig_v_u,      \
     AFX_MSG_FN(AFX_PMSG_V_U, fn)},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_CBN_EDITCHANGE(id, fn) ON_CONTROL(CBN_EDITCHANGE, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)

#define ON_NOTIFY(code, id, fn) \
    {WM_NOTIFY, (UINT)(code), (UINT)(id), (UINT)(id), nullptr, AfxSig_notify, AFX_MSG_FN(AFX_PMSG_NOTIFY, fn)},
#define ON_NOTIFY_RANGE(code, idFirst, idLast, fn)                                       \
    {WM_NOTIFY, (UINT)(code), (UINT)(idFirst), (UINT)(idLast), nullptr, AfxSig_notify_u,  \
     AFX_MSG_FN(AFX_PMSG_NOTIFY_U, fn)},

#define ON_WM_HSCROLL() \
    {WM_HSCROLL, 0, 0, 0, nullptr, AfxSig_scroll, AFX_MSG_FN(AFX_PMSG_SCROLL, OnHScroll)},
#define ON_WM_VSCROLL() \
    {WM_VSCROLL, 0, 0, 0, nullptr, AfxSig_scroll, AFX_MSG_FN(AFX_PMSG_SCROLL, OnVScroll)},
#define ON_WM_TIMER() \
    {WM_TIMER, 0, 0, 0, nullptr, AfxSig_timer, AFX_MSG_FN(AFX_PMSG_TIMER, OnTimer)},
#define ON_WM_DESTROY() \
    {WM_DESTROY, 0, 0, 0, nullptr, AfxSig_v, AFX_MSG_FN(AFX_PMSG, OnDestroy)},
#define ON_WM_PAINT() \
    {WM_PAINT, 0, 0, 0, nullptr, AfxSig_v, AFX_MSG_FN(AFX_PMSG, OnPaint)},
// Covers every WM_CTLCOLOR* message; nCtlColor is the CTLCOLOR_* value.
#define ON_WM_CTLCOLOR() \
    {WM_CTLCOLORMSGBOX, 0, 0, 0, nullptr, AfxSig_ctlcolor, AFX_MSG_FN(AFX_PMSG_CTLCOLOR, OnCtlColor)},
#define ON_WM_SHOWWINDOW() \
    {WM_SHOWWINDOW, 0, 0, 0, nullptr, AfxSig_show, AFX_MSG_FN(AFX_PMSG_SHOW, OnShowWindow)},

// A window object. It is bound to its HWND once (creation, subclassing or
// Attach) and unbound when the window gets WM_NCDESTROY, after which
// PostNcDestroy runs and nothing touches the window again.
//
// Deleting an object whose window still exists destroys the window when it
// belongs to the calling thread; from another thread it only unbinds (and
// restores the window procedure it replaced). Owners should destroy windows
// before deleting their objects.
class CWnd {
public:
    CWnd() noexcept = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const;  // also safe on a null object pointer
    operator HWND() const { return GetSafeHwnd(); }

    // The bound object, or else a wrapper owned by the framework. A wrapper
    // stays valid until its window is destroyed (it is freed on a later
    // FromHandle once the window is gone) or the module exits; keep it no
    // longer than the message that produced it.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Binding without routing messages: the object only answers FromHandle.
    BOOL Attach(HWND hWnd);
    HWND Detach();  // unbinds; restores the window procedure if it was replaced

    // Routes an existing window's messages through this object's map.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // A plain window. With lpszClassName null the framework's own class is
    // used and the object sees every message from the first one; with
    // another class the window is subclassed once created, so the messages
    // sent during creation (WM_CREATE and before) reach only that class.
    // Use hWndParent = HWND_MESSAGE for a hidden message-only window.
    BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                  int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu = nullptr,
                  LPVOID lpParam = nullptr);
    virtual BOOL DestroyWindow();

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Thin wrappers.
    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsWindowVisible() const;
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    BOOL MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    BOOL MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    BOOL SetWindowText(LPCWSTR lpszString);
    int GetWindowText(std::wstring& rString) const;
    int GetWindowTextLength() const;
    DWORD GetStyle() const;
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    LRESULT SendMessage(UINT nMsg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT nMsg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    CWnd* SetFocus();
    CWnd* GetParent() const;
    void SetFont(HFONT hFont, BOOL bRedraw = TRUE);
    HFONT GetFont() const;
    void Invalidate(BOOL bErase = TRUE);
    BOOL UpdateWindow();
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);
    HDC GetDC();
    int ReleaseDC(HDC hDC);
    BOOL CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;
    BOOL SetDlgItemText(int nID, LPCWSTR lpszString);
    int GetDlgItemText(int nID, std::wstring& rString) const;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // Message map first, then DefWindowProc.
    virtual LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam);
    // The procedure this window had before it was routed here, or the
    // system default.
    virtual LRESULT DefWindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam);
    // Runs the first matching map entry; FALSE if none matched.
    BOOL OnWndMsg(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // DefWindowProc for the message being dispatched on this thread.
    LRESULT Default();

    virtual void PostNcDestroy();
    virtual void DoDataExchange(CDataExchange* pDX);

    // Default bodies for the ON_WM_ entries: each passes the message on.
    virtual void OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar);
    virtual void OnVScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar);
    virtual void OnTimer(UINT_PTR nIDEvent);
    virtual void OnDestroy();
    virtual void OnPaint();
    virtual HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor);
    virtual void OnShowWindow(BOOL bShow, UINT nStatus);

    // Binds hWnd and routes its messages here; the dialog code uses it when
    // the dialog manager hands over a new dialog.
    BOOL BindAndRoute(HWND hWnd);

    WNDPROC m_pfnSuper = nullptr;  // non-null while messages are routed here
    AFX_MODULE_STATE* m_pModuleState = nullptr;  // the state this object was bound under

private:
    friend class CHandleMap;
    friend LRESULT CALLBACK afx_internal::AfxWndProc(HWND, UINT, WPARAM, LPARAM);

    BOOL Bind(HWND hWnd);
    void OnNcDestroyed();
    LRESULT Invoke(const AFX_MSGMAP_ENTRY& entry, UINT nMsg, WPARAM wParam, LPARAM lParam, UINT nID);

    bool m_bTemporary = false;
};
