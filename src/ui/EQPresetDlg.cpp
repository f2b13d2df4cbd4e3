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
    CWnd* pCombo = GetDlgItem(IDC_CMB_PRESET_NAME);
    if (!m_pEQPreset || !pCombo)
        return;
    CPresetList list;
    ListEQPresets(m_pEQPreset, KV_PRESET_USER, list);
    for (const CPreset* p : list)
        pCombo->SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p->m_szName));
    ClearPresetList(list);
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
