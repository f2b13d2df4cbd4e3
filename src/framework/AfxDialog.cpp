#include "AfxDialog.h"

#include "AfxInternal.h"

#include <cerrno>
#include <climits>
#include <cwchar>

using namespace afx_internal;

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

namespace {

const DLGTEMPLATE* LoadDialogTemplate(UINT nIDTemplate, HINSTANCE hInst)
{
    HRSRC hRsrc = ::FindResourceW(hInst, MAKEINTRESOURCEW(nIDTemplate), RT_DIALOG);
    HGLOBAL hRes = hRsrc ? ::LoadResource(hInst, hRsrc) : nullptr;
    return hRes ? static_cast<const DLGTEMPLATE*>(::LockResource(hRes)) : nullptr;
}

HWND DefaultModalOwner()
{
    HWND hWnd = ::GetActiveWindow();
    if (!hWnd) {
        CWinApp* pApp = AfxGetApp();
        hWnd = pApp && pApp->m_pMainWnd ? pApp->m_pMainWnd->GetSafeHwnd() : nullptr;
    }
    return hWnd ? ::GetAncestor(hWnd, GA_ROOT) : nullptr;
}

}  // namespace

// The dialog manager calls this for every dialog message. The first call for
// a new dialog (WM_SETFONT, or WM_INITDIALOG without DS_SETFONT) binds the
// waiting object and routes the window through AfxWndProc; after that, every
// message has been through the map before DefDlgProc gets here, so only
// WM_INITDIALOG is left to handle.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT nMsg, WPARAM, LPARAM)
{
    // Only CDialog creates dialogs with this procedure.
    auto* pDlg = static_cast<CDialog*>(CWnd::FromHandlePermanent(hWnd));
    if (!pDlg) {
        pDlg = static_cast<CDialog*>(TakePendingBind(true));
        if (!pDlg || !pDlg->BindAndRoute(hWnd))
            return FALSE;
    }
    if (nMsg != WM_INITDIALOG)
        return FALSE;
    AFX_MANAGE_STATE(pDlg->m_pModuleState);
    return pDlg->OnInitDialog();
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) noexcept
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    if (m_hWnd)
        return FALSE;
    m_nIDTemplate = nIDTemplate;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    HINSTANCE hInst = AfxGetResourceHandle();
    const DLGTEMPLATE* pTemplate = LoadDialogTemplate(nIDTemplate, hInst);
    if (!pTemplate)
        return FALSE;

    m_bModal = FALSE;
    HWND hWnd;
    {
        CPendingBindScope bind(this, true);
        hWnd = ::CreateDialogIndirectParamW(hInst, pTemplate, m_pParentWnd->GetSafeHwnd(), AfxDlgProc,
                                            reinterpret_cast<LPARAM>(this));
    }
    return hWnd && m_hWnd == hWnd;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;
    HINSTANCE hInst = AfxGetResourceHandle();
    const DLGTEMPLATE* pTemplate = LoadDialogTemplate(m_nIDTemplate, hInst);
    if (!pTemplate)
        return -1;

    HWND hWndOwner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : DefaultModalOwner();
    m_bModal = TRUE;
    INT_PTR nResult;
    {
        CPendingBindScope bind(this, true);
        nResult = ::DialogBoxIndirectParamW(hInst, pTemplate, hWndOwner, AfxDlgProc,
                                            reinterpret_cast<LPARAM>(this));
    }
    m_bModal = FALSE;
    return nResult;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!m_bModal || !UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    if (m_bModal)
        EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult)
{
    if (!m_hWnd)
        return;
    if (m_bModal)
        ::EndDialog(m_hWnd, nResult);
    else
        DestroyWindow();
}

// ---- data exchange ----------------------------------------------------------

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) noexcept
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
{
}

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND hWndCtrl = ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), nIDC);
    if (!hWndCtrl)
        Fail(nullptr);
    return hWndCtrl;
}

void CDataExchange::Fail(HWND hWndCtrl)
{
    if (!m_bFailed && hWndCtrl)
        ::SetFocus(hWndCtrl);
    m_bFailed = TRUE;
}

namespace {

std::wstring TextOfCtrl(HWND hWndCtrl)
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hWndCtrl)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hWndCtrl, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool ParseInt(const std::wstring& text, int& value)
{
    const wchar_t* pBegin = text.c_str();
    wchar_t* pEnd = nullptr;
    errno = 0;
    const long long n = std::wcstoll(pBegin, &pEnd, 10);
    if (pEnd == pBegin || errno == ERANGE || n < INT_MIN || n > INT_MAX)
        return false;
    while (*pEnd == L' ' || *pEnd == L'\t')
        ++pEnd;
    if (*pEnd != L'\0')
        return false;
    value = static_cast<int>(n);
    return true;
}

}  // namespace

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    if (!rControl.SubclassDlgItem(static_cast<UINT>(nIDC), pDX->m_pDlgWnd))
        pDX->Fail(nullptr);
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::wstring& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!hWndCtrl)
        return;
    if (pDX->m_bSaveAndValidate)
        value = TextOfCtrl(hWndCtrl);
    else
        ::SetWindowTextW(hWndCtrl, value.c_str());
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!hWndCtrl)
        return;
    if (pDX->m_bSaveAndValidate) {
        if (!ParseInt(TextOfCtrl(hWndCtrl), value))
            pDX->Fail(hWndCtrl);
    } else {
        ::SetWindowTextW(hWndCtrl, std::to_wstring(value).c_str());
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!hWndCtrl)
        return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(hWndCtrl, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(hWndCtrl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, std::wstring& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!hWndCtrl)
        return;
    if (pDX->m_bSaveAndValidate) {
        value = TextOfCtrl(hWndCtrl);
        return;
    }
    const LRESULT nIndex =
        ::SendMessageW(hWndCtrl, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(value.c_str()));
    if (nIndex != CB_ERR) {
        ::SendMessageW(hWndCtrl, CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
    } else {
        ::SendMessageW(hWndCtrl, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        ::SetWindowTextW(hWndCtrl, value.c_str());
    }
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!hWndCtrl)
        return;
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageW(hWndCtrl, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(hWndCtrl, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}
