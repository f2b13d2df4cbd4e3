// Changes from elsewhere: driver threads, the endpoint library and other
// processes only post to the hidden window; its handlers run here, on the UI
// thread, and tell the session's windows.
#include "device/KVDeviceEndpoint.h"

#include "Framework.h"
#include "support/ShowDebugString.h"

namespace {

const wchar_t kUI[] = L"UI";

using PFNREGISTER = decltype(&KVRegisterNotificationCallback);
using PFNUNREGISTER = decltype(&KVUnregisterNotificationCallback);

// The endpoint library as a system would place it, else beside the plug-in.
HMODULE LoadAudEp()
{
    HMODULE h = LoadLibraryW(L"KVAudEp.dll");
    if (h)
        return h;
    wchar_t szPath[MAX_PATH];
    DWORD n = GetModuleFileNameW(AfxGetInstanceHandle(), szPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    std::wstring path(szPath, n);
    path.erase(path.find_last_of(L'\\') + 1);
    path += L"KVAudEp.dll";
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

LONG CALLBACK CKVDeviceEndpoint::DriverCallback(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext)
{
    KVTRACE(L"\nCKVDeviceEndpoint::DriverCallback(), eEvent 0x%x, dwHint 0x%x, dwArg 0x%x", eEvent, dwHint, dwArg);
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    CKVDeviceEndpoint* pSession = static_cast<CKVDeviceEndpoint*>(pContext);
    if (pSession && pSession->m_hWndHidden)
        ::PostMessageW(pSession->m_hWndHidden, WM_DRIVER_CHANGE, eEvent, dwHint);
    return 1;
}

tagKVAUDENDPOINTRESULT CALLBACK CKVDeviceEndpoint::DisplayNotificationCallbackInfo(tagKVREGISTERNOTIFYPROCMSG msg,
                                                                                  ULONGLONG /*arg*/,
                                                                                  ULONGLONG context)
{
    if (msg == KVNOTIFY_ENDPOINT_ADDED || msg == KVNOTIFY_ENDPOINT_REMOVED || msg == KVNOTIFY_ENDPOINT_CHANGED) {
        KVTRACE(L"\nCKVDeviceEndpoint::DisplayNotificationCallbackInfo, msg=%d", static_cast<int>(msg));
        CKVDeviceEndpoint* pSession = reinterpret_cast<CKVDeviceEndpoint*>(static_cast<UINT_PTR>(context));
        if (pSession && pSession->m_hWndHidden)
            ::PostMessageW(pSession->m_hWndHidden, WM_EP_CHANGE, 0, 0);
    }
    return KVAUDENDPOINT_OK;
}

void CKVDeviceEndpoint::RegisterEndpointNotification()
{
    if (m_hNotify)
        return;
    if (!m_hAudEp)
        m_hAudEp = LoadAudEp();
    PFNREGISTER pfnRegister =
        m_hAudEp ? reinterpret_cast<PFNREGISTER>(GetProcAddress(m_hAudEp, "KVRegisterNotificationCallback")) : nullptr;
    if (pfnRegister)
        pfnRegister(DisplayNotificationCallbackInfo, reinterpret_cast<ULONGLONG>(this), &m_hNotify);
    if (!m_hNotify && m_hAudEp) {
        // Endpoint changes then arrive only as driver event 2117.
        FreeLibrary(m_hAudEp);
        m_hAudEp = nullptr;
    }
}

void CKVDeviceEndpoint::UnregisterEndpointNotification()
{
    if (m_hNotify) {
        PFNUNREGISTER pfnUnregister =
            reinterpret_cast<PFNUNREGISTER>(GetProcAddress(m_hAudEp, "KVUnregisterNotificationCallback"));
        if (pfnUnregister)
            pfnUnregister(m_hNotify);
        m_hNotify = nullptr;
    }
    // No callback runs once unregistering returned, so the library may go.
    if (m_hAudEp) {
        FreeLibrary(m_hAudEp);
        m_hAudEp = nullptr;
    }
}

void CKVDeviceEndpoint::Reenumerate()
{
    if (m_bEndpoint)
        EnumEndpoint();
    else if (m_bDeviceXP)
        EnumDevice();
}

void CKVDeviceEndpoint::OnDriverChange(UINT eEvent, UINT dwHint)
{
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::OnDriverChange(), eEvent 0x%x, dwHint 0x%x", kUI, eEvent, dwHint);
    if (eEvent == KVEVT_ENDPOINTS) {
        Reenumerate();
        return;
    }
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::OnDriverChange(), m_bLumoraTechnology %d, m_bMasterOn %d", kUI,
            m_bLumoraTechnology, m_bMasterOn);
    // A switch-on made by another process shows here first, as its effects
    // come on in the driver.
    DWORD bMasterOn = 0;
    if (m_bLumoraTechnology && !m_bMasterOn && ReadEndpointProperty(m_pIFxPropStore, PKEY_KV_MasterOnOff, &bMasterOn)) {
        KVTRACE(L"\n CKVDeviceEndpoint::OnDriverChange(), m_pIFxPropStore->GetValue() succeeded, bMasterOn 0x%x",
                bMasterOn);
        if (bMasterOn) {
            m_bMasterOn = TRUE;
            PostToNotifyWindows(WM_MASTER_ONOFF_CHANGE, 0, 0);
        }
    }
    if (eEvent == KVEVT_SPKCONFIG)
        PostToNotifyWindows(WM_SPK_CONFIG_CHANGE, reinterpret_cast<WPARAM>(m_pDevice),
                            reinterpret_cast<LPARAM>(m_pEndpoint));
}

void CKVDeviceEndpoint::IPC_MasterOnOffStatusUpdate()
{
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::IPC_MasterOnOffStatusUpdate()", kUI);
    HWND hWnd = FindWindowW(nullptr, kPeerWindowName);
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::IPC_MasterOnOffStatusUpdate(), hWnd=0x%x", kUI,
            static_cast<unsigned>(reinterpret_cast<UINT_PTR>(hWnd)));
    if (hWnd && g_uMasterOnOffChangedMsg)
        ::PostMessageW(hWnd, g_uMasterOnOffChangedMsg, 0, 0);
}

void CKVDeviceEndpoint::OnIPC_MasterOnOffStatusChange(UINT eEvent)
{
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::OnIPC_MasterOnOffStatusChange(eEvent=%d)", kUI, static_cast<int>(eEvent));
    if (m_nTimerLumoraOff) {
        KillTimer(nullptr, m_nTimerLumoraOff);
        m_nTimerLumoraOff = 0;
    }
    GetMasterOnOffInfoFromReg();
    GetEffectInfoFromReg();
    // Not passed on to other processes, so nothing echoes back and forth.
    PostToNotifyWindows(WM_MASTER_ONOFF_CHANGE, 0, 0);
}
