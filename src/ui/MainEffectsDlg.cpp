#include "ui/MainEffectsDlg.h"

#include "KVEffRsc_ids.h"

// The window shows its template; its pages are not attached yet.
BEGIN_MESSAGE_MAP(CMainEffectsDlg, CDialog)
END_MESSAGE_MAP()

CMainEffectsDlg::CMainEffectsDlg(CWnd* pParent)
    : CDialog(IDD_MAINEFFECTS_DLG, pParent), m_pParent(pParent), m_pKVDeviceEndpoint(nullptr)
{
}

CMainEffectsDlg::~CMainEffectsDlg() = default;

void CMainEffectsDlg::SetDeviceEndpoint(CKVDeviceEndpoint* pKVDeviceEndpoint)
{
    m_pKVDeviceEndpoint = pKVDeviceEndpoint;
}

void CMainEffectsDlg::CloseMainEffectsDlg()
{
    m_pKVDeviceEndpoint = nullptr;
}
