// The full effects window the host embeds (window type 1).
#pragma once
#include "Framework.h"

class CKVDeviceEndpoint;

class CMainEffectsDlg : public CDialog
{
public:
    explicit CMainEffectsDlg(CWnd* pParent);
    ~CMainEffectsDlg() override;

    void SetDeviceEndpoint(CKVDeviceEndpoint* pKVDeviceEndpoint);
    void CloseMainEffectsDlg();

    CWnd* m_pParent;
    CKVDeviceEndpoint* m_pKVDeviceEndpoint;

    DECLARE_MESSAGE_MAP()
};
