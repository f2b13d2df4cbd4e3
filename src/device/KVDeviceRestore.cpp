// Restoring the driver's defaults on everything that carries the effects:
// the adaptor, the render endpoint, the capture endpoints of the same
// adaptor (or the device), and the presets.
#include "device/KVDeviceEndpoint.h"

#include "device/DriverText.h"
#include "support/ShowDebugString.h"

namespace {

// ISNDIDefaults::Restore of any driver object; the failure of a step only skips it.
bool RestoreDefaults(IUnknown* pObject, HRESULT* phr)
{
    ISNDIDefaults* pDefaults = nullptr;
    if (!pObject || FAILED(pObject->QueryInterface(IID_ISNDIDefaults, reinterpret_cast<void**>(&pDefaults))) ||
        !pDefaults)
        return false;
    *phr = pDefaults->Restore();
    pDefaults->Release();
    return true;
}

// The adaptor's id; *pbOk tells whether it gave one.
std::wstring AdaptorId(IKVAdaptor* pAdaptor, bool* pbOk)
{
    DWORD dwUnused = 0;
    LPWSTR psz = nullptr;
    *pbOk = SUCCEEDED(pAdaptor->GetAdaptorId(&dwUnused, &psz)) && psz;
    return TakeTaskString(psz);
}

void ResetPresets(ISNDIPresetDefaults* pPresets, const wchar_t* pszFormat)
{
    const KVPRESETCONFIG cfg = KVMakePresetConfig();
    HRESULT hr = pPresets->RestorePresets(&cfg);
    KVTRACE(pszFormat, static_cast<unsigned>(hr));
    pPresets->Release();
}

} // namespace

void CKVDeviceEndpoint::RestoreAudioDefault(DWORD /*dwSelector*/)
{
    if (m_nTimerRestoreDefault) {
        KillTimer(nullptr, m_nTimerRestoreDefault);
        m_nTimerRestoreDefault = 0;
    }
    m_bRestoringDefault = TRUE;

    HRESULT hr = S_OK;
    if (m_pEndpoint) {
        std::wstring adaptorId;
        bool bHaveId = false;
        IKVAdaptor* pAdaptor = nullptr;
        if (SUCCEEDED(m_pEndpoint->GetAdaptor(&pAdaptor)) && pAdaptor) {
            if (RestoreDefaults(pAdaptor, &hr))
                KVTRACE(L"\n CKVDeviceEndpoint::RestoreAudioDefault(), restore adaptor default returns 0x%x",
                        static_cast<unsigned>(hr));
            adaptorId = AdaptorId(pAdaptor, &bHaveId);
        }
        SafeRelease(pAdaptor);
        if (RestoreDefaults(m_pEndpoint, &hr))
            KVTRACE(L"\n CKVDeviceEndpoint::RestoreAudioDefault(), restore endpoint default returns 0x%x",
                    static_cast<unsigned>(hr));
        if (bHaveId)
            RestoreDeviceSettingsREC(adaptorId.c_str());
    } else if (m_pDevice) {
        if (RestoreDefaults(m_pDevice, &hr))
            KVTRACE(L"\n CKVDeviceEndpoint::RestoreAudioDefault(), restore device default returns 0x%x",
                    static_cast<unsigned>(hr));
    }
    RestorePresetDefault();
    m_nTimerRestoreDefault = SetTimer(nullptr, 1, 3000, userTimerProc);
}

void CKVDeviceEndpoint::RestorePresetDefault()
{
    ISNDIPresetDefaults* pPresets = nullptr;
    if (m_pEndpoint) {
        IKVAdaptor* pAdaptor = nullptr;
        if (SUCCEEDED(m_pEndpoint->GetAdaptor(&pAdaptor)) && pAdaptor &&
            SUCCEEDED(pAdaptor->GetFeature(IID_ISNDIPresetDefaults, reinterpret_cast<void**>(&pPresets))) && pPresets)
            ResetPresets(pPresets, L"\n CKVDeviceEndpoint::RestorePresetDefault(), restore adaptor preset default "
                                   L"returns 0x%x");
        SafeRelease(pAdaptor);
        pPresets = nullptr;
        if (FAILED(m_pEndpoint->GetFeature(IID_ISNDIPresetDefaults, reinterpret_cast<void**>(&pPresets))) || !pPresets)
            return;
        ResetPresets(pPresets, L"\n CKVDeviceEndpoint::RestorePresetDefault(), restore endpoint preset default "
                               L"returns 0x%x");
    } else if (m_pDevice) {
        if (SUCCEEDED(m_pDevice->GetFeature(IID_ISNDIPresetDefaults, reinterpret_cast<void**>(&pPresets))) && pPresets)
            ResetPresets(pPresets, L"\n CKVDeviceEndpoint::RestorePresetDefault(), restore device preset default "
                                   L"returns 0x%x");
    }
}

void CKVDeviceEndpoint::RestoreDeviceSettingsREC(LPCWSTR pszAdaptorId)
{
    if (!pszAdaptorId)
        return;
    IKVEndpointEnum* pEnum = nullptr;
    if (FAILED(CoCreateInstance(CLSID_KVEndpointEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IKVEndpointEnum,
                                reinterpret_cast<void**>(&pEnum))) ||
        !pEnum) {
        KVTRACE(L"\n CKVDeviceEndpoint::RestoreDeviceSettingsREC(), CoCreateInstance fails");
        return;
    }
    for (UINT i = 0; i < kMaxEnumerated; ++i) {
        IKVEndpoint* pCapture = nullptr;
        if (FAILED(pEnum->GetEndpoint(i, KV_FLOW_CAPTURE, KV_STATE_ACTIVE | KV_STATE_UNPLUGGED, &pCapture)) ||
            !pCapture) {
            SafeRelease(pCapture);
            break;
        }
        IKVAdaptor* pAdaptor = nullptr;
        bool bHaveId = false;
        std::wstring id;
        if (SUCCEEDED(pCapture->GetAdaptor(&pAdaptor)) && pAdaptor)
            id = AdaptorId(pAdaptor, &bHaveId);
        SafeRelease(pAdaptor);
        if (bHaveId && lstrcmpW(id.c_str(), pszAdaptorId) == 0) {
            HRESULT hr = S_OK;
            if (RestoreDefaults(pCapture, &hr))
                KVTRACE(L"\n CKVDeviceEndpoint::RestoreDeviceSettingsREC() Enum:%d Restore returns 0x%x",
                        static_cast<int>(i), static_cast<unsigned>(hr));
        }
        pCapture->Release();
        if (!bHaveId)
            break;  // an adaptor or id that cannot be read ends the walk
    }
    pEnum->Release();
}
