#include "ui/MasterOnOffPopUpDlg.h"

#include "KVEffRsc_ids.h"
#include "app/KVEffectApp.h"
#include "device/EfxCoexistStateListener.h"
#include "support/ShowDebugString.h"
#include "ui/UIText.h"

#include <algorithm>

namespace {

// Scope-bound key, so every path closes what it opened.
class CScopedKey
{
public:
    CScopedKey() = default;
    ~CScopedKey()
    {
        if (m_hKey)
            RegCloseKey(m_hKey);
    }
    CScopedKey(const CScopedKey&) = delete;
    CScopedKey& operator=(const CScopedKey&) = delete;
    HKEY* Put() { return &m_hKey; }
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

} // namespace

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
    CScopedKey coexist;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, CoexistKeyPath(m_dwVendorID).c_str(), 0, KEY_NOTIFY | KEY_WOW64_64KEY,
                      coexist.Put()) == ERROR_SUCCESS) {
        CScopedKey base;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, CoexistBaseKey(m_dwVendorID), 0, KEY_READ | KEY_WOW64_64KEY,
                          base.Put()) == ERROR_SUCCESS) {
            DWORD dw = 0, cb = sizeof(dw);
            if (RegGetValueW(base.Get(), kCoexistSubKey, L"DisablePopUp", RRF_RT_REG_DWORD, nullptr, &dw, &cb) ==
                ERROR_SUCCESS)
                dwResult = dw;
        }
    }
    KVTRACE(L"\n CMasterOnOffPopUpDlg::GetPopupStatusFromReg(), bDisablePopup 0x%x", static_cast<unsigned>(dwResult));
    m_bDisablePopUp = static_cast<int>(dwResult);
}

void CMasterOnOffPopUpDlg::SavePopupStatusToReg()
{
    m_bDisablePopUp = m_chkDisablePopUp.GetCheck() == BST_CHECKED ? 1 : 0;
    CScopedKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, CoexistKeyPath(m_dwVendorID).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        return;
    const DWORD dw = static_cast<DWORD>(m_bDisablePopUp);
    RegSetValueExW(key.Get(), L"DisablePopUp", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dw), sizeof(dw));
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
