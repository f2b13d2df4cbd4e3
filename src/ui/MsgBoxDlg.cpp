#include "ui/MsgBoxDlg.h"

#include "KVEffRsc_ids.h"
#include "app/KVEffectApp.h"
#include "support/ShowDebugString.h"

#include <algorithm>

CMsgBoxDlg::CMsgBoxDlg() : CDialog(IDD_DIALOG_MESSAGEBOX) {}

CMsgBoxDlg::~CMsgBoxDlg()
{
    m_hwHook.Release();
}

void CMsgBoxDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CHK_MSGBOX, m_chkOption);
}

BOOL CMsgBoxDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    KVTRACE(L"\n CMsgBoxDlg::OnInitDialog()");
    std::wstring strBFFName = KVGetBFFName(this);
    strBFFName.resize(std::min<size_t>(strBFFName.size(), MAX_PATH - 1));
    m_hwHook.Skin(m_hWnd, "IDD_DIALOG_MESSAGEBOX.INI", strBFFName.c_str());

    m_chkOption.ShowWindow(m_nShowCheck);
    if (m_nType == MB_YESNO) {
        if (CWnd* p = GetDlgItem(IDOK))
            p->ShowWindow(SW_HIDE);
        // Enter answers with the first visible button, as the system's own
        // Yes/No box does, not with the hidden OK.
        SendMessage(DM_SETDEFID, IDYES);
    } else {
        if (CWnd* p = GetDlgItem(IDYES))
            p->ShowWindow(SW_HIDE);
        if (CWnd* p = GetDlgItem(IDNO))
            p->ShowWindow(SW_HIDE);
    }
    SetDlgItemText(IDC_STC_MSGBOX_TEXT, m_strMessage.c_str());
    return TRUE;
}

LRESULT CMsgBoxDlg::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_COMMAND && (LOWORD(wParam) == IDYES || LOWORD(wParam) == IDNO)) {
        EndDialog(LOWORD(wParam));
        return 0;
    }
    return CDialog::WindowProc(nMsg, wParam, lParam);
}
