// The compact master on/off panel the host embeds (window type 0).
#pragma once
#include "Framework.h"

class CKVDeviceEndpoint;

class CChildDlgMasterOnOff : public CDialog
{
public:
    explicit CChildDlgMasterOnOff(CWnd* pParent = nullptr);
    ~CChildDlgMasterOnOff() override;

    void SetDeviceEndpoint(CKVDeviceEndpoint* pKVDeviceEndpoint);
    void ReleaseDeviceEndpoint();

    CKVDeviceEndpoint* m_pKVDeviceEndpoint;

    DECLARE_MESSAGE_MAP()
};
