// Dialogs and data exchange.
#pragma once

#include "AfxWnd.h"

#include <string>

// A dialog from a template in AfxGetResourceHandle(). The object is bound to
// its window when the dialog manager hands the new window over (before
// WM_INITDIALOG, so OnInitDialog and the notifications its controls send
// reach the object); from then on the dialog's messages go through the
// message map like any window's, so handlers return their results directly
// to the sender.
//
// Modeless dialogs are pages: IDOK and IDCANCEL (Enter, Escape, WM_CLOSE)
// reach OnOK/OnCancel, which do nothing unless modal. A page ends only by
// DestroyWindow (or EndDialog, which destroys a modeless dialog).
class CDialog : public CWnd {
public:
    CDialog() noexcept = default;
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr) noexcept;

    // Modeless. A WS_CHILD template becomes a child of pParentWnd, any other
    // is owned by it.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Modal, with the dialog manager's own loop, which disables the owner
    // for the duration and nests when a handler opens another modal dialog.
    // The owner is the parent given to the constructor; without one, the
    // calling thread's active window, else the app's main window, else none
    // (each taken at its top-level window). -1 if the dialog cannot be made.
    // A modal dialog object must outlive DoModal (no delete in PostNcDestroy).
    virtual INT_PTR DoModal();

    // Default: UpdateData(FALSE); TRUE lets the dialog manager set the focus.
    virtual BOOL OnInitDialog();
    // Modal: UpdateData(TRUE), then EndDialog(IDOK). Modeless: nothing.
    virtual void OnOK();
    // Modal: EndDialog(IDCANCEL). Modeless: nothing.
    virtual void OnCancel();

    void EndDialog(int nResult);
    BOOL IsModal() const { return m_bModal; }

protected:
    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;
    BOOL m_bModal = FALSE;

    DECLARE_MESSAGE_MAP()

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

// One UpdateData pass over a window's controls.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) noexcept;

    // The control's window, or null after failing the exchange when the
    // template has no such control.
    HWND PrepareCtrl(int nIDC);
    // Marks the exchange failed; the first offending control gets the focus.
    void Fail(HWND hWndCtrl);

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    BOOL m_bFailed = FALSE;
};

// Subclasses the control into rControl on the first call; later calls keep it.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, std::wstring& value);
// Saving fails (value kept) unless the text is a whole decimal int.
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// Combo box with an edit field. Loading selects the item equal to value
// (compared without case, as the combo box does), else clears the selection
// and puts value in the edit field. Saving reads the edit field.
void DDX_CBString(CDataExchange* pDX, int nIDC, std::wstring& value);
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
