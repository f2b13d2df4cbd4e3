#include "device/HiddenWndCallback.h"

#include "device/KVDeviceEndpoint.h"
#include "support/ShowDebugString.h"

BEGIN_MESSAGE_MAP(CHiddenWndCallback, CWnd)
    ON_MESSAGE(WM_DRIVER_CHANGE, OnDriverChange)
    ON_MESSAGE(WM_EP_CHANGE, HiddenWnd_OnEPChange)
    ON_MESSAGE(WM_EFX_COEXIST_STATE_CHANGE, OnEfxCoexistStateChange)
    ON_MESSAGE(WM_IPC_MASTER_ONOFF_CHANGE, OnIPCMasterOnOffChange)
    ON_REGISTERED_MESSAGE(g_uMasterOnOffChangedMsg, OnIPCMasterOnOffChange)
END_MESSAGE_MAP()

CHiddenWndCallback::CHiddenWndCallback(CKVDeviceEndpoint* pKVDeviceEndpoint)
    : m_pKVDeviceEndpoint(pKVDeviceEndpoint)
{
}

CHiddenWndCallback::~CHiddenWndCallback()
{
    m_pKVDeviceEndpoint = nullptr;
}

BOOL CHiddenWndCallback::CreateHiddenWindow()
{
    return CreateEx(0, nullptr, kHiddenWindowName, WS_POPUP, 0, 0, 0, 0, nullptr);
}

LRESULT CHiddenWndCallback::OnDriverChange(WPARAM wParam, LPARAM lParam)
{
    if (m_pKVDeviceEndpoint)
        m_pKVDeviceEndpoint->OnDriverChange(static_cast<UINT>(wParam), static_cast<UINT>(lParam));
    return 0;
}

LRESULT CHiddenWndCallback::HiddenWnd_OnEPChange(WPARAM /*wParam*/, LPARAM lParam)
{
    KVTRACE(L"\n CHiddenWndCallback::HiddenWnd_OnEPChange");
    if (!m_pKVDeviceEndpoint)
        return 0;
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::OnDriverChange(), eEvent 0x%x, dwHint 0x%x", L"UI", KVEVT_ENDPOINTS,
            static_cast<unsigned>(lParam));
    m_pKVDeviceEndpoint->Reenumerate();
    return 0;
}

LRESULT CHiddenWndCallback::OnEfxCoexistStateChange(WPARAM wParam, LPARAM /*lParam*/)
{
    if (m_pKVDeviceEndpoint)
        m_pKVDeviceEndpoint->OnEfxCoexistStateChange(static_cast<DWORD>(wParam));
    return 0;
}

LRESULT CHiddenWndCallback::OnIPCMasterOnOffChange(WPARAM wParam, LPARAM /*lParam*/)
{
    if (m_pKVDeviceEndpoint)
        m_pKVDeviceEndpoint->OnIPC_MasterOnOffStatusChange(static_cast<UINT>(wParam));
    return 0;
}
