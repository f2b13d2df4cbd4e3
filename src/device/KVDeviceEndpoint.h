// The driver session: one per loaded plug-in while a window exists. It finds
// the render endpoint (or, without endpoints, the device), binds the driver's
// objects to it, owns the master switch and keeps every window in step.
// Everything here runs on the host's UI thread; other threads reach the
// session only by posting to its hidden window.
#pragma once

#include "device/AudioPropStoreWrapper.h"
#include "features/SNDIFeatures.h"
#include "features/SNDIPresets.h"
#include "features/SpkConfig2.h"

#include "KVAudEp.h"

#include <string>
#include <vector>

class CEfxCoexistStateListener;
class CHiddenWndCallback;

// Messages the session posts to its windows, and those its hidden window takes.
enum : UINT {
    WM_IPC_MASTER_ONOFF_CHANGE = 4019,   // from another process
    WM_SHOW_MASTER_POPUP = 4021,         // to the main effects window
    WM_MASTER_ONOFF_CHANGE = 4023,       // to every notify window
    WM_DEVICE_ENDPOINT_CHANGE = 4024,    // wParam device, lParam endpoint
    WM_EFX_COEXIST_STATE_CHANGE = 4025,  // wParam the new "Technology"
    WM_SPK_CONFIG_CHANGE = 4027,         // wParam device, lParam endpoint
    WM_DRIVER_CHANGE = 2628,             // wParam eEvent, lParam dwHint
    WM_EP_CHANGE = 2629,
};

// The registered "KVWINMSG_MasterOnOffChanged", 0 until a session opened.
extern UINT g_uMasterOnOffChangedMsg;

inline constexpr wchar_t kHiddenWindowName[] = L"KVDEVICE_EP_HIDDENWINDOW_863422985_UI";
inline constexpr wchar_t kPeerWindowName[] = L"KVDEVICE_EP_HIDDENWINDOW_863422985_PERSISTENT";
inline constexpr wchar_t kMasterOnOffChangedName[] = L"KVWINMSG_MasterOnOffChanged";

// Effect-info mask bits: which effects were on when the master went off.
enum : DWORD {
    KV_EFX_SPKCONFIG = 0x0001,
    KV_EFX_BASSBOOST = 0x0002,
    KV_EFX_BASSMANAGEMENT = 0x0004,
    KV_EFX_EQ = 0x0008,
    KV_EFX_UPMIX = 0x0010,
    KV_EFX_RVX = 0x0200,
    KV_EFX_PDP = 0x0800,
    KV_EFX_AGC = 0x2000,
};

class CKVDeviceEndpoint
{
public:
    explicit CKVDeviceEndpoint(DWORD dwLanguageID);
    virtual ~CKVDeviceEndpoint();

    CKVDeviceEndpoint(const CKVDeviceEndpoint&) = delete;
    CKVDeviceEndpoint& operator=(const CKVDeviceEndpoint&) = delete;

    // Binding.
    BOOL OpenDeviceEndpoint();
    BOOL EnumEndpoint();
    BOOL EnumDevice();
    void AttachDeviceEndpoint();
    void DetachDeviceEndpoint();
    void CreateFeatureObjects();
    void ReleaseFeatureObjects();
    void UpdateVendorID();
    void RemoveNotifyWindow(HWND hWnd);
    void CloseDeviceEndpoint();

    // Master switch and coexistence.
    void SetMasterOnOff(BOOL bOn, BOOL bRestoreEffects);
    DWORD GetCurrentActiveEffectInfo();
    DWORD GetEffectInfo();
    void GetEffectInfoFromReg();
    void GetMasterOnOffInfoFromReg();
    void SaveMasterOnOffInfoToReg();
    void OnEfxCoexistStateChange(DWORD eEvent);
    static void CALLBACK userTimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);

    // Notifications.
    static LONG CALLBACK DriverCallback(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext);
    static tagKVAUDENDPOINTRESULT CALLBACK DisplayNotificationCallbackInfo(tagKVREGISTERNOTIFYPROCMSG msg,
                                                                         ULONGLONG arg, ULONGLONG context);
    void OnDriverChange(UINT eEvent, UINT dwHint);
    void Reenumerate();
    void IPC_MasterOnOffStatusUpdate();
    void OnIPC_MasterOnOffStatusChange(UINT eEvent);

    // Restore defaults.
    void RestoreAudioDefault(DWORD dwSelector);
    void RestorePresetDefault();
    void RestoreDeviceSettingsREC(LPCWSTR pszAdaptorId);

    // The session's own feature objects, one per effect of the master switch.
    template <class T>
    struct FeatureSlot {
        T* p = nullptr;
        UINT nCookie = 0;
    };

    BOOL m_bMasterOn;
    BOOL m_bLumoraTechnology;
    ULONGLONG m_dwEffectInfo;
    ULONGLONG m_dwLanguageID;
    ULONGLONG m_dwVendorID;
    CSNDIDevice m_Device;
    CSNDIEndpoint m_Endpoint;
    UINT m_nDeviceCookie;
    HANDLE m_hNotify;
    BOOL m_bEndpoint;
    BOOL m_bDeviceXP;
    IKVDevice* m_pDevice;
    IKVEndpoint* m_pEndpoint;
    std::wstring m_strDevice;
    IAudioPropStore* m_pIFxPropStore;
    IAudioPropStore* m_pIEpPropStore;
    CEfxCoexistStateListener* m_pEfxCoexistStateListener;
    CHiddenWndCallback* m_pHiddenWnd;
    HWND m_hWndHidden;
    HWND m_hWndMainEffects;
    std::vector<HWND> m_arrNotifyWnd;
    FeatureSlot<CSpkConfig2> m_SpkConfig;
    FeatureSlot<CSNDIPdp> m_Pdp;
    FeatureSlot<CSNDIUpmix> m_Upmix;
    FeatureSlot<CSNDIBassBoost> m_BassBoost;
    FeatureSlot<CSNDIBassManagement> m_BassManagement;
    FeatureSlot<CAGC> m_AGC;
    FeatureSlot<CSNDIRVXEnvironment> m_RVXEnvironment;
    FeatureSlot<CSNDIRVXPresetU> m_RVXPreset;
    FeatureSlot<CSNDIEQ> m_EQ;
    int m_nUpmixIndex;
    UINT_PTR m_nTimerLumoraOff;
    UINT_PTR m_nTimerRestoreDefault;
    BOOL m_bRestoringDefault;

    // A hostile driver cannot keep an enumeration going for ever.
    static constexpr UINT kMaxEnumerated = 256;
    static constexpr UINT kMaxUpmixElements = 64;

private:
    // KVAudEp.dll is loaded only while registered, so a system without it
    // still gets a working session.
    HMODULE m_hAudEp = nullptr;

    void PostToNotifyWindows(UINT nMsg, WPARAM wParam, LPARAM lParam) const;
    void RegisterEndpointNotification();
    void UnregisterEndpointNotification();
    void SwitchEffects(BOOL bOn, DWORD dwMask);
    void SwitchReverbPresets(BOOL bOn);
    void ClaimDevice();
    BOOL ReadEndpointProperty(IAudioPropStore* pStore, const PROPERTYKEY& key, DWORD* pdwValue) const;
};

// The session whose timers the timer procedure serves; null when none is open.
extern CKVDeviceEndpoint* g_pKVDeviceEndpoint;
