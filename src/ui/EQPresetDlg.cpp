#include "ui/EQPresetDlg.h"

#include "KVEffRsc_ids.h"
#include "app/KVEffectApp.h"
#include "features/SNDIPresets.h"
#include "support/ShowDebugString.h"
#include "ui/UIText.h"

#include <algorithm>

BEGIN_MESSAGE_MAP(CEQPresetDlg, CDialog)
    ON_CBN_EDITCHANGE(IDC_CMB_PRESET_NAME, OnEditChangePresetName)
    ON_CBN_SELCHANGE(IDC_CMB_PRESET_NAME, OnSelChangePresetName)
    ON_BN_CLICKED(IDC_BTN_PRESET_CANCEL, OnBtnClose)
END_MESSAGE_MAP()

CEQPresetDlg::CEQPresetDlg() : CDialog(IDD_DIALOG_PRESETSAVE) {}

CEQPresetDlg::~CEQPresetDlg()
{
    m_hwHook.Release();
}

void CEQPresetDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_CBString(pDX, IDC_CMB_PRESET_NAME, m_strPresetName);
}

BOOL CEQPresetDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    std::wstring strBFFName = KVGetBFFName(this);
    strBFFName.resize(std::min<size_t>(strBFFName.size(), MAX_PATH - 1));
    m_hwHook.Skin(m_hWnd, "IDD_DIALOG_PRESETSAVE.INI", strBFFName.c_str());

    ListUserPresets();

    const std::wstring strTitle = LoadUIString(IDS_PRESETSAVE_TITLE);
    SetWindowText(strTitle.c_str());
    SetDlgItemText(IDC_STC_PRESET_TITLE, strTitle.c_str());
    SetDlgItemText(IDC_STC_PRESET_PROMPT, LoadUIString(IDS_PRESETSAVE_PROMPT).c_str());
    if (CWnd* pOK = GetDlgItem(IDOK))
        pOK->EnableWindow(!m_strPresetName.empty());
    return TRUE;
}

// The configuration and language are those the page has already set.
void CEQPresetDlg::ListUserPresets()
{
    if (!m_pEQPreset)
        return;
    CWnd* pCombo = GetDlgItem(IDC_CMB_PRESET_NAME);
    if (!pCombo)
        return;
    auto add = [pCombo](const wchar_t* pszName) {
        pCombo->SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszName));
    };
    // A driver whose list never ends is cut where the page cuts it.
    if (ISNDIEQPresetU* pWide = m_pEQPreset->m_pWide) {
        wchar_t szKey[CPreset::kWideKeyChars + 1];
        wchar_t szName[CPreset::kNameChars + 1];
        for (UINT i = 0; i < kMaxEnumerated; ++i) {
            DWORD dwKind = 0;
            szKey[0] = szKey[CPreset::kWideKeyChars] = L'\0';
            if (FAILED(pWide->EnumPreset(i, &dwKind, szKey)))
                break;
            if (dwKind != KV_PRESET_USER)
                continue;
            szName[0] = szName[CPreset::kNameChars] = L'\0';
            if (FAILED(pWide->GetPresetName(szKey, szName)))
                break;
            add(szName);
        }
    } else if (ISNDIEQPreset* pNarrow = m_pEQPreset->m_pNarrow) {
        char szKey[KV_PRESET_KEY_CB_NARROW + 1];
        char szName[CPreset::kNameChars + 1];
        wchar_t szWide[CPreset::kNameChars];
        for (UINT i = 0; i < kMaxEnumerated; ++i) {
            DWORD dwKind = 0;
            szKey[0] = szKey[KV_PRESET_KEY_CB_NARROW] = '\0';
            char* pKey = szKey;
            if (FAILED(pNarrow->EnumPreset(i, &dwKind, &pKey)))
                break;
            if (dwKind != KV_PRESET_USER)
                continue;
            szName[0] = szName[CPreset::kNameChars] = '\0';
            KVCOUNTEDSTR name = {CPreset::kNameChars, szName};
            if (FAILED(pNarrow->GetPresetName(szKey, &name)))
                break;
            NarrowToWide(szName, CPreset::kNameChars, szWide, CPreset::kNameChars);
            add(szWide);
        }
    }
}

void CEQPresetDlg::OnEditChangePresetName()
{
    UpdateData(TRUE);
    if (CWnd* pOK = GetDlgItem(IDOK))
        pOK->EnableWindow(!m_strPresetName.empty());
}

void CEQPresetDlg::OnSelChangePresetName()
{
    if (CWnd* pOK = GetDlgItem(IDOK))
        pOK->EnableWindow(TRUE);
}

void CEQPresetDlg::OnBtnClose()
{
    EndDialog(IDCANCEL);
}
