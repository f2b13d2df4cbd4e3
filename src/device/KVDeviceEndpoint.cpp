// The session's binding: which driver flavour exists, which endpoint or
// device carries the effects, and what is bound to it.
#include "device/KVDeviceEndpoint.h"

#include "Framework.h"
#include "device/DriverText.h"
#include "device/EfxCoexistStateListener.h"
#include "device/HiddenWndCallback.h"
#include "support/ShowDebugString.h"

#include <cstdio>
#include <new>

CKVDeviceEndpoint* g_pKVDeviceEndpoint = nullptr;
UINT g_uMasterOnOffChangedMsg = 0;

namespace {

const wchar_t kUI[] = L"UI";

unsigned Hex(const void* p)
{
    return static_cast<unsigned>(reinterpret_cast<UINT_PTR>(p));
}

// A 32-bit value of a store property; an empty or differently typed value
// counts as unreadable.
bool ReadUI4(IAudioPropStore* pStore, const PROPERTYKEY& key, DWORD* pdwValue)
{
    if (!pStore)
        return false;
    PROPVARIANT pv;
    PropVariantInit(&pv);
    bool bRead = false;
    if (SUCCEEDED(pStore->GetValue(key, &pv)) &&
        (pv.vt == VT_UI4 || pv.vt == VT_I4 || pv.vt == VT_UINT || pv.vt == VT_INT)) {
        *pdwValue = pv.ulVal;
        bRead = true;
    }
    PropVariantClear(&pv);
    return bRead;
}

// The device name from its record: the field may lack its terminator.
std::wstring DeviceName(const KVDEVICEINFO& info)
{
    int cb = static_cast<int>(strnlen(info.szName, sizeof(info.szName)));
    if (cb == 0)
        return std::wstring();
    int cch = MultiByteToWideChar(CP_THREAD_ACP, 0, info.szName, cb, nullptr, 0);
    if (cch <= 0)
        return std::wstring();
    std::wstring name(static_cast<size_t>(cch), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, info.szName, cb, name.data(), cch);
    return name;
}

template <class T>
void ReleaseSlot(CKVDeviceEndpoint::FeatureSlot<T>& slot)
{
    if (!slot.p)
        return;
    if (slot.nCookie) {
        slot.p->Unadvise(slot.nCookie);
        slot.nCookie = 0;
    }
    slot.p->Uninit();
    delete slot.p;
    slot.p = nullptr;
}

} // namespace

CKVDeviceEndpoint::CKVDeviceEndpoint(DWORD dwLanguageID)
    : m_bMasterOn(TRUE), m_bLumoraTechnology(TRUE), m_dwEffectInfo(0), m_dwLanguageID(dwLanguageID),
      m_dwVendorID(0x10EC), m_nDeviceCookie(0), m_hNotify(nullptr), m_bEndpoint(FALSE), m_bDeviceXP(FALSE),
      m_pDevice(nullptr), m_pEndpoint(nullptr), m_pIFxPropStore(nullptr), m_pIEpPropStore(nullptr),
      m_pEfxCoexistStateListener(nullptr), m_pHiddenWnd(nullptr), m_hWndHidden(nullptr),
      m_hWndMainEffects(nullptr), m_nUpmixIndex(-1), m_nTimerLumoraOff(0), m_nTimerRestoreDefault(0),
      m_bRestoringDefault(FALSE)
{
    g_pKVDeviceEndpoint = nullptr;

    HRESULT hr = CoCreateInstance(CLSID_KVEndpointEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IKVEndpointEnum,
                                  reinterpret_cast<void**>(&m_Endpoint.m_pEndpointEnum));
    m_bEndpoint = hr == S_OK && m_Endpoint.m_pEndpointEnum;
    if (!m_bEndpoint) {
        SafeRelease(m_Endpoint.m_pEndpointEnum);
        hr = CoCreateInstance(CLSID_KVDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IKVDeviceEnum,
                              reinterpret_cast<void**>(&m_Device.m_pDeviceEnum));
        m_bDeviceXP = hr == S_OK && m_Device.m_pDeviceEnum;
        if (m_bDeviceXP) {
            // The device object subscribes through the enumerator.
            m_Device.m_pUnknown = m_Device.m_pDeviceEnum;
            m_Device.m_pUnknown->AddRef();
        } else {
            SafeRelease(m_Device.m_pDeviceEnum);
        }
    }
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::CKVDeviceEndpoint, m_bEndpoint=%d, m_bDeviceXP =%d", kUI, m_bEndpoint,
            m_bDeviceXP);
}

CKVDeviceEndpoint::~CKVDeviceEndpoint()
{
    CloseDeviceEndpoint();
}

BOOL CKVDeviceEndpoint::OpenDeviceEndpoint()
{
    g_pKVDeviceEndpoint = this;
    m_arrNotifyWnd.clear();
    BOOL bResult = FALSE;
    if (m_bEndpoint || m_bDeviceXP) {
        if (!m_pHiddenWnd) {
            m_pHiddenWnd = new (std::nothrow) CHiddenWndCallback(this);
            if (m_pHiddenWnd && m_pHiddenWnd->CreateHiddenWindow())
                m_hWndHidden = m_pHiddenWnd->GetSafeHwnd();
        }
        g_uMasterOnOffChangedMsg = RegisterWindowMessageW(kMasterOnOffChangedName);
        if (m_hWndHidden && !m_pEfxCoexistStateListener)
            m_pEfxCoexistStateListener = new (std::nothrow) CEfxCoexistStateListener(m_hWndHidden);
        bResult = TRUE;
    }
    if (m_bEndpoint) {
        EnumEndpoint();
        RegisterEndpointNotification();
    } else if (m_bDeviceXP) {
        EnumDevice();
        if (!m_nDeviceCookie)
            m_nDeviceCookie = m_Device.Advise(DriverCallback, this);
    }
    return bResult;
}

BOOL CKVDeviceEndpoint::EnumEndpoint()
{
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::EnumEndpoint()", kUI);
    // Speakers first, then headphones, then anything.
    static const DWORD kPassFormFactor[] = {1, 3, 0};
    std::wstring strEndpointID;
    IKVEndpoint* pCandidate = nullptr;
    IKVEndpointEnum* pEnum = m_Endpoint.m_pEndpointEnum;

    for (int nPass = 0; pEnum && nPass < 3 && strEndpointID.empty(); ++nPass) {
        for (m_Endpoint.m_nEnumIndex = 0; m_Endpoint.m_nEnumIndex < kMaxEnumerated; ++m_Endpoint.m_nEnumIndex) {
            IKVEndpoint* pEndpoint = nullptr;
            if (pEnum->GetEndpoint(m_Endpoint.m_nEnumIndex, KV_FLOW_RENDER, KV_STATE_ACTIVE, &pEndpoint) != S_OK ||
                !pEndpoint) {
                SafeRelease(pEndpoint);
                break;
            }
            DWORD dwIgnored = 0;
            LPWSTR pszId = nullptr;
            std::wstring id;
            if (SUCCEEDED(pEndpoint->GetEndpointId(&dwIgnored, &pszId)))
                id = TakeTaskString(pszId);
            else if (pszId)
                CoTaskMemFree(pszId);
            bool bQualifies = !id.empty();
            if (bQualifies && kPassFormFactor[nPass] != 0) {
                IAudioPropStore* pStore = nullptr;
                DWORD dwFormFactor = 0;
                bQualifies = SUCCEEDED(OpenAudioPropStore(0, id.c_str(), &pStore)) &&
                             ReadUI4(pStore, PKEY_KV_FormFactor, &dwFormFactor) &&
                             dwFormFactor == kPassFormFactor[nPass];
                SafeRelease(pStore);
            }
            if (bQualifies) {
                strEndpointID = id;
                pCandidate = pEndpoint;
                break;
            }
            pEndpoint->Release();
        }
    }

    KVTRACE(L"\n[%s] CKVDeviceEndpoint::EnumEndpoint(), m_strDevice=%s, strEndpointID=%s, pIKVEndpoint=0x%x", kUI,
            m_strDevice.c_str(), strEndpointID.c_str(), Hex(pCandidate));
    if (EqualNoCaseAscii(strEndpointID.c_str(), m_strDevice.c_str())) {
        KVTRACE(L"\n[%s]CKVDeviceEndpoint::EnumEndpoint(), endpoint no change, do NOT update endpoint.", kUI);
        SafeRelease(pCandidate);
        return TRUE;
    }
    DetachDeviceEndpoint();
    m_strDevice = strEndpointID;
    m_pEndpoint = pCandidate;
    AttachDeviceEndpoint();
    return TRUE;
}

BOOL CKVDeviceEndpoint::EnumDevice()
{
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::EnumDevice()", kUI);
    if (m_bEndpoint)
        return EnumEndpoint();

    std::wstring name;
    IKVDevice* pCandidate = nullptr;
    IKVDeviceEnum* pEnum = m_Device.m_pDeviceEnum;
    if (pEnum) {
        pEnum->Reset();
        if (pEnum->IsEmpty() == 0) {
            for (UINT n = 0; n < kMaxEnumerated; ++n) {
                if (FAILED(pEnum->Next()))
                    break;
                IKVDevice* pDevice = nullptr;
                if (pEnum->GetCurrent(&pDevice) != 0 || !pDevice) {
                    SafeRelease(pDevice);
                    break;
                }
                KVDEVICEINFO info = {};
                info.cbSize = sizeof(info);
                if (pDevice->GetDeviceInfo(&info) == S_OK) {
                    name = DeviceName(info);
                    KVTRACE(L"\n[%s] CKVDeviceEndpoint::EnumDevice(), device %s", kUI, name.c_str());
                    pCandidate = pDevice;
                    break;
                }
                pDevice->Release();
                if (pEnum->IsLast() != 0)
                    break;
            }
        }
    }

    if (EqualNoCaseAscii(name.c_str(), m_strDevice.c_str())) {
        KVTRACE(L"\n [%s]CKVDeviceEndpoint::EnumDevice(), device no change, do NOT update device.", kUI);
        SafeRelease(pCandidate);
        return TRUE;
    }
    DetachDeviceEndpoint();
    m_strDevice = name;
    m_pDevice = pCandidate;
    AttachDeviceEndpoint();
    return TRUE;
}

void CKVDeviceEndpoint::AttachDeviceEndpoint()
{
    const bool bBound = m_pDevice || m_pEndpoint;
    if (bBound) {
        if (FAILED(OpenAudioPropStore(1, m_strDevice.c_str(), &m_pIFxPropStore)))
            m_pIFxPropStore = nullptr;
        if (FAILED(OpenAudioPropStore(0, m_strDevice.c_str(), &m_pIEpPropStore)))
            m_pIEpPropStore = nullptr;
    }
    UpdateVendorID();
    if (m_pEfxCoexistStateListener) {
        // The watched key depends on the vendor.
        m_pEfxCoexistStateListener->m_dwVendorID = m_dwVendorID;
        m_pEfxCoexistStateListener->UpdateCurrentTechNameFromReg();
        m_pEfxCoexistStateListener->Stop();
        m_pEfxCoexistStateListener->Start();
    }
    if (bBound)
        CreateFeatureObjects();
    GetMasterOnOffInfoFromReg();
    GetEffectInfoFromReg();
    PostToNotifyWindows(WM_DEVICE_ENDPOINT_CHANGE, reinterpret_cast<WPARAM>(m_pDevice),
                        reinterpret_cast<LPARAM>(m_pEndpoint));
}

void CKVDeviceEndpoint::DetachDeviceEndpoint()
{
    m_dwVendorID = 0x10EC;
    ReleaseFeatureObjects();
    SafeRelease(m_pIFxPropStore);
    SafeRelease(m_pIEpPropStore);
    SafeRelease(m_pDevice);
    SafeRelease(m_pEndpoint);
}

void CKVDeviceEndpoint::CreateFeatureObjects()
{
    auto bind = [this](auto& slot) {
        using T = std::remove_reference_t<decltype(*slot.p)>;
        if (slot.p)
            return;
        slot.p = new (std::nothrow) T;
        if (!slot.p)
            return;
        slot.p->Init(m_pDevice, m_pEndpoint);  // a failed bind keeps the object
        slot.nCookie = slot.p->Advise(DriverCallback, this);
    };

    if (!m_SpkConfig.p) {
        CSpkConfig2* p = new (std::nothrow) CSpkConfig2;
        if (p && p->Init(m_pDevice, m_pEndpoint)) {
            m_SpkConfig.p = p;
            m_SpkConfig.nCookie = p->Advise(DriverCallback, this);
        } else {
            delete p;
        }
    }
    bind(m_Pdp);
    if (!m_Upmix.p) {
        bind(m_Upmix);
        ISNDIUpmix* pUpmix = m_Upmix.p ? m_Upmix.p->m_pInterface : nullptr;
        for (UINT i = 0; pUpmix && i < kMaxUpmixElements; ++i) {
            ISNDIElement* pElement = nullptr;
            if (FAILED(pUpmix->GetElement(i, &pElement)) || !pElement) {
                SafeRelease(pElement);
                break;
            }
            DWORD dwType = 0;
            HRESULT hr = pElement->GetType(&dwType);
            pElement->Release();
            if (FAILED(hr))
                break;
            if (dwType == KV_ELEMENT_VSUR) {
                m_nUpmixIndex = static_cast<int>(i);
                break;
            }
        }
    }
    bind(m_BassBoost);
    bind(m_BassManagement);
    bind(m_AGC);
    bind(m_RVXEnvironment);
    if (!m_RVXPreset.p) {
        m_RVXPreset.p = new (std::nothrow) CSNDIRVXPresetU;
        if (m_RVXPreset.p && m_RVXPreset.p->Init(m_pDevice, 0, m_pEndpoint)) {
            m_RVXPreset.nCookie = m_RVXPreset.p->Advise(DriverCallback, this);
            const KVPRESETCONFIG cfg = KVMakePresetConfig();
            const DWORD dwLanguage = static_cast<DWORD>(m_dwLanguageID);
            if (ISNDIRVXPresetU* pWide = m_RVXPreset.p->m_pWide) {
                if (SUCCEEDED(pWide->SetPresetConfig(&cfg)) && SUCCEEDED(pWide->SelectPresetSet(&KV_RVX_PRESET_SET)))
                    pWide->SetLanguageConfig(dwLanguage);
            } else if (ISNDIRVXPreset* pNarrow = m_RVXPreset.p->m_pNarrow) {
                if (SUCCEEDED(pNarrow->SetPresetConfig(&cfg)) &&
                    SUCCEEDED(pNarrow->SelectPresetSet(&KV_RVX_PRESET_SET)))
                    pNarrow->SetLanguageConfig(dwLanguage);
            }
        }
    }
    bind(m_EQ);
}

void CKVDeviceEndpoint::ReleaseFeatureObjects()
{
    ReleaseSlot(m_SpkConfig);
    ReleaseSlot(m_Pdp);
    ReleaseSlot(m_Upmix);
    m_nUpmixIndex = -1;
    ReleaseSlot(m_BassBoost);
    ReleaseSlot(m_BassManagement);
    ReleaseSlot(m_AGC);
    ReleaseSlot(m_RVXEnvironment);
    ReleaseSlot(m_RVXPreset);
    ReleaseSlot(m_EQ);
}

void CKVDeviceEndpoint::UpdateVendorID()
{
    unsigned int vendor = 0;
    PROPVARIANT pv;
    PropVariantInit(&pv);
    if (m_pIEpPropStore && SUCCEEDED(m_pIEpPropStore->GetValue(PKEY_KV_DeviceInstancePath, &pv)) &&
        pv.vt == VT_LPWSTR && pv.pwszVal) {
        // Scanned as ASCII, upper-cased; every %s field gets a buffer as long
        // as the whole path, so no field can run past it.
        size_t cch = wcsnlen(pv.pwszVal, kMaxDriverTextChars);
        std::string path(cch, '\0');
        for (size_t i = 0; i < cch; ++i) {
            wchar_t c = AsciiUpper(pv.pwszVal[i]);
            path[i] = c < 0x80 ? static_cast<char>(c) : '?';
        }
        std::string rest(cch + 1, '\0');
        unsigned int a = 0, b = 0, c = 0;
        const char* s = path.c_str();
        if (sscanf(s, "{1}.HDAUDIO\\FUNC_%2X&VEN_%4X&DEV_%4X&SUBSYS_%8X&REV_%*4X\\%s", &a, &vendor, &b, &c,
                   rest.data()) != 5 &&
            sscanf(s, "{1}.USB\\VID_%4X&PID_%4X&MI_%*4X\\%s", &vendor, &a, rest.data()) != 3 &&
            sscanf(s, "{1}.PCI\\VEN_%4X&DEV_%4X&SUBSYS_%8X&REV_%*2X\\%s", &vendor, &a, &b, rest.data()) != 4)
            sscanf(s, "{1}.BTHENUM\\{61118058-486C-4BB0-B4B8-ACE4DCADEC44}%s", rest.data());
    }
    PropVariantClear(&pv);
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::UpdateVendorID(), lVendorId=0x%x", kUI, vendor);
    m_dwVendorID = vendor;
}

void CKVDeviceEndpoint::RemoveNotifyWindow(HWND hWnd)
{
    for (auto it = m_arrNotifyWnd.begin(); it != m_arrNotifyWnd.end(); ++it) {
        if (*it == hWnd) {
            m_arrNotifyWnd.erase(it);
            return;
        }
    }
}

void CKVDeviceEndpoint::CloseDeviceEndpoint()
{
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::CloseDeviceEndpoint()", kUI);
    if (m_nTimerRestoreDefault) {
        KillTimer(nullptr, m_nTimerRestoreDefault);
        m_nTimerRestoreDefault = 0;
    }
    m_bRestoringDefault = FALSE;
    if (m_nTimerLumoraOff) {
        KillTimer(nullptr, m_nTimerLumoraOff);
        m_nTimerLumoraOff = 0;
    }
    if (m_pDevice || m_pEndpoint)
        DetachDeviceEndpoint();
    if (m_nDeviceCookie) {
        m_Device.Unadvise(m_nDeviceCookie);
        m_nDeviceCookie = 0;
    }
    m_Device.Uninit();
    m_Endpoint.Uninit();
    UnregisterEndpointNotification();
    if (m_pEfxCoexistStateListener) {
        KVTRACE(L"\n[%s] CKVDeviceEndpoint::CloseDeviceEndpoint(), b4 stop m_pEfxCoexistStateListener", kUI);
        m_pEfxCoexistStateListener->Stop();
        KVTRACE(L"\n[%s] CKVDeviceEndpoint::CloseDeviceEndpoint(), after stop m_pEfxCoexistStateListener", kUI);
        delete m_pEfxCoexistStateListener;
        m_pEfxCoexistStateListener = nullptr;
    }
    if (m_pHiddenWnd) {
        m_pHiddenWnd->DestroyWindow();
        delete m_pHiddenWnd;
        m_pHiddenWnd = nullptr;
    }
    m_hWndHidden = nullptr;
    m_hWndMainEffects = nullptr;
    m_arrNotifyWnd.clear();
    if (g_pKVDeviceEndpoint == this)
        g_pKVDeviceEndpoint = nullptr;
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::CloseDeviceEndpoint() ok", kUI);
}

void CKVDeviceEndpoint::PostToNotifyWindows(UINT nMsg, WPARAM wParam, LPARAM lParam) const
{
    for (HWND hWnd : m_arrNotifyWnd) {
        if (hWnd)
            ::PostMessageW(hWnd, nMsg, wParam, lParam);
    }
}

BOOL CKVDeviceEndpoint::ReadEndpointProperty(IAudioPropStore* pStore, const PROPERTYKEY& key, DWORD* pdwValue) const
{
    return ReadUI4(pStore, key, pdwValue);
}
