// The session's hidden window. Driver threads, the endpoint library, the
// coexistence listener and other processes all end here as posted messages,
// so the session itself runs only on the UI thread.
#pragma once

#include "Framework.h"

class CKVDeviceEndpoint;

class CHiddenWndCallback : public CWnd
{
public:
    explicit CHiddenWndCallback(CKVDeviceEndpoint* pKVDeviceEndpoint);
    ~CHiddenWndCallback() override;

    // Creates the never-shown top-level window other processes find by name.
    BOOL CreateHiddenWindow();

    CKVDeviceEndpoint* m_pKVDeviceEndpoint;

protected:
    LRESULT OnDriverChange(WPARAM wParam, LPARAM lParam);
    LRESULT HiddenWnd_OnEPChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnEfxCoexistStateChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnIPCMasterOnOffChange(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
