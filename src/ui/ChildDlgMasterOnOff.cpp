#include "ui/ChildDlgMasterOnOff.h"

#include "KVEffRsc_ids.h"
#include "device/EfxCoexistStateListener.h"
#include "device/KVDeviceEndpoint.h"
#include "support/ShowDebugString.h"
#include "ui/UIText.h"

BEGIN_MESSAGE_MAP(CChildDlgMasterOnOff, CChildDlg)
    ON_BN_CLICKED(IDC_BTN_MASTER_OFF, OnBnClickedToggleMasterOnOff)
    ON_BN_CLICKED(IDC_BTN_MASTER_ON, OnBnClickedToggleMasterOnOff)
END_MESSAGE_MAP()

CChildDlgMasterOnOff::CChildDlgMasterOnOff(CWnd* pParent)
{
    m_pParentWnd = pParent;
}

CChildDlgMasterOnOff::~CChildDlgMasterOnOff() = default;

void CChildDlgMasterOnOff::DoDataExchange(CDataExchange* pDX)
{
    CChildDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BTN_MASTER_OFF, m_btnMasterOff);
    DDX_Control(pDX, IDC_BTN_MASTER_ON, m_btnMasterOn);
}

BOOL CChildDlgMasterOnOff::OnInitDialog()
{
    KVTRACE(L"\n CChildDlgMasterOnOff::OnInitDialog()");
    CChildDlg::OnInitDialog();
    if (CWnd* pLabel = GetDlgItem(IDC_STC_TECHNOLOGY)) {
        if (m_bTransparent) {
            pLabel->ShowWindow(SW_HIDE);
        } else {
            pLabel->ShowWindow(SW_SHOW);
            pLabel->SetWindowText(kLumoraTechnologyName);
        }
    }
    m_hwHook.Skin(m_hWnd, m_bTransparent ? "IDD_DLG_MASTER_ONOFF_TRANSPARENT.INI" : "IDD_DLG_MASTER_ONOFF.INI",
                  m_szBFFName);
    return TRUE;
}

void CChildDlgMasterOnOff::UpdateUI()
{
    if (!m_hWnd)
        return;
    KVTRACE(L"\n CChildDlgMasterOnOff::UpdateUI()");
    const ULONGLONG dwVendorID = m_pKVDeviceEndpoint ? m_pKVDeviceEndpoint->m_dwVendorID : kDefaultVendorID;
    KVTRACE(L"\n CChildDlgMasterOnOff::UpdateUI(), dwVendorID = 0x%x", static_cast<unsigned>(dwVendorID));
    const bool bAlt = dwVendorID == kAltVendorID;
    if (m_bMasterOn) {
        SetDlgItemText(IDC_BTN_MASTER_OFF, L"");
        SetDlgItemText(IDC_BTN_MASTER_ON, LoadUIString(bAlt ? IDS_MASTER_ON_111D : IDS_MASTER_ON).c_str());
    } else {
        SetDlgItemText(IDC_BTN_MASTER_OFF, LoadUIString(bAlt ? IDS_MASTER_OFF_111D : IDS_MASTER_OFF).c_str());
        SetDlgItemText(IDC_BTN_MASTER_ON, L"");
    }
    CheckDlgButton(IDC_BTN_MASTER_OFF, m_bMasterOn ? BST_UNCHECKED : BST_CHECKED);
    CheckDlgButton(IDC_BTN_MASTER_ON, m_bMasterOn ? BST_CHECKED : BST_UNCHECKED);
    if (CWnd* pFocus = GetDlgItem(IDC_MASTER_FOCUS))
        pFocus->SetFocus();
}

LRESULT CChildDlgMasterOnOff::OnMasterOnOffChange(WPARAM, LPARAM)
{
    if (!m_hWnd)
        return 0;
    KVTRACE(L"\n CChildDlgMasterOnOff::OnMasterOnOffChange()");
    const bool bAvailable =
        m_pKVDeviceEndpoint && (m_pKVDeviceEndpoint->m_pDevice || m_pKVDeviceEndpoint->m_pEndpoint);
    m_bMasterOn = bAvailable ? m_pKVDeviceEndpoint->m_bMasterOn : TRUE;
    const int nShow = bAvailable ? SW_SHOW : SW_HIDE;
    if (CWnd* p = GetDlgItem(IDC_BTN_MASTER_OFF))
        p->ShowWindow(nShow);
    if (CWnd* p = GetDlgItem(IDC_BTN_MASTER_ON))
        p->ShowWindow(nShow);
    if (bAvailable) {
        UpdateUI();
    } else {
        CheckDlgButton(IDC_BTN_MASTER_OFF, BST_UNCHECKED);
        CheckDlgButton(IDC_BTN_MASTER_ON, BST_UNCHECKED);
    }
    return 0;
}

LRESULT CChildDlgMasterOnOff::OnDeviceEndpointChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgMasterOnOff::OnDeviceEndpointChange()");
    CChildDlg::OnDeviceEndpointChange(0, 0);
    OnMasterOnOffChange(0, 0);
    return 0;
}

void CChildDlgMasterOnOff::OnBnClickedToggleMasterOnOff()
{
    KVTRACE(L"\n CChildDlgMasterOnOff::OnBnClickedToggleMasterOnOff()");
    m_bMasterOn = m_bMasterOn ? FALSE : TRUE;
    UpdateUI();
    if (m_pKVDeviceEndpoint)
        m_pKVDeviceEndpoint->SetMasterOnOff(m_bMasterOn, TRUE);
}
