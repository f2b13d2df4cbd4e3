#include "ui/ChildDlgMasterOnOff.h"

#include "KVEffRsc_ids.h"

// The panel shows its template; the switch is not wired to the session yet.
BEGIN_MESSAGE_MAP(CChildDlgMasterOnOff, CDialog)
END_MESSAGE_MAP()

CChildDlgMasterOnOff::CChildDlgMasterOnOff(CWnd* pParent)
    : CDialog(IDD_DLG_MASTER_ONOFF, pParent), m_pKVDeviceEndpoint(nullptr)
{
}

CChildDlgMasterOnOff::~CChildDlgMasterOnOff() = default;

void CChildDlgMasterOnOff::SetDeviceEndpoint(CKVDeviceEndpoint* pKVDeviceEndpoint)
{
    m_pKVDeviceEndpoint = pKVDeviceEndpoint;
}

void CChildDlgMasterOnOff::ReleaseDeviceEndpoint()
{
    m_pKVDeviceEndpoint = nullptr;
}
