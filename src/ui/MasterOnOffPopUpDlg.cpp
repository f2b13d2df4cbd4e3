#include "ui/MasterOnOffPopUpDlg.h"

#include "KVEffRsc_ids.h"
#include "app/KVEffectApp.h"
#include "device/EfxCoexistStateListener.h"
#include "support/ShowDebugString.h"
#include "ui/UIText.h"

#include <algorithm>

CMasterOnOffPopUpDlg::CMasterOnOffPopUpDlg(ULONGLONG dwVendorID, int nMode)
    : CDialog(IDD_DIALOG_MESSAGEBOX), m_nMode(nMode), m_dwVendorID(dwVendorID)
{
    GetPopupStatusFromReg();
}

CMasterOnOffPopUpDlg::~CMasterOnOffPopUpDlg()
{
    m_hwHook.Release();
}

void CMasterOnOffPopUpDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CHK_MSGBOX, m_chkDisablePopUp);
}

void CMasterOnOffPopUpDlg::GetPopupStatusFromReg()
{
    DWORD dwResult = 0;
    // Without the coexistence key the pop-up is never disabled.
    if (CoexistKeyExists(m_dwVendorID))
        ReadCoexistDword(m_dwVendorID, L"DisablePopUp", &dwResult);
    KVTRACE(L"\n CMasterOnOffPopUpDlg::GetPopupStatusFromReg(), bDisablePopup 0x%x", static_cast<unsigned>(dwResult));
    m_bDisablePopUp = static_cast<int>(dwResult);
}

void CMasterOnOffPopUpDlg::SavePopupStatusToReg()
{
    m_bDisablePopUp = m_chkDisablePopUp.GetCheck() == BST_CHECKED ? 1 : 0;
    WriteCoexistDword(m_dwVendorID, L"DisablePopUp", static_cast<DWORD>(m_bDisablePopUp));
}

BOOL CMasterOnOffPopUpDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    KVTRACE(L"\n CMasterOnOffPopUpDlg::OnInitDialog()");
    std::wstring strBFFName = KVGetBFFName(this);
    strBFFName.resize(std::min<size_t>(strBFFName.size(), MAX_PATH - 1));
    m_hwHook.Skin(m_hWnd, "IDD_DIALOG_MESSAGEBOX.INI", strBFFName.c_str());

    if (CWnd* p = GetDlgItem(IDYES))
        p->ShowWindow(SW_HIDE);
    if (CWnd* p = GetDlgItem(IDNO))
        p->ShowWindow(SW_HIDE);
    m_chkDisablePopUp.SetCheck(m_bDisablePopUp ? BST_CHECKED : BST_UNCHECKED);

    const bool bAlt = m_dwVendorID == kAltVendorID;
    if (CWnd* pText = GetDlgItem(IDC_STC_MSGBOX_TEXT)) {
        const std::wstring strFormat = LoadUIString(bAlt ? IDS_MASTER_POPUP_TEXT_111D : IDS_MASTER_POPUP_TEXT);
        const wchar_t* pszOther = m_strTechnology.c_str();
        pText->SetWindowText(m_nMode == 1 ? FormatTwoStrings(strFormat, kLumoraTechnologyName, pszOther).c_str()
                                          : FormatTwoStrings(strFormat, pszOther, kLumoraTechnologyName).c_str());
    }
    if (CWnd* pCheck = GetDlgItem(IDC_CHK_MSGBOX))
        pCheck->SetWindowText(LoadUIString(bAlt ? IDS_MASTER_POPUP_CHECK_111D : IDS_MASTER_POPUP_CHECK).c_str());
    return TRUE;
}

LRESULT CMasterOnOffPopUpDlg::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    // Only OK saves the check box; Escape and the close box leave it as stored.
    if (nMsg == WM_COMMAND && LOWORD(wParam) == IDOK)
        SavePopupStatusToReg();
    return CDialog::WindowProc(nMsg, wParam, lParam);
}
