// The master switch: every effect of the maker's technology on or off
// together, the mask of those that were on, and ownership of the device
// against another effects suite.
#include "device/KVDeviceEndpoint.h"

#include "Framework.h"
#include "device/EfxCoexistStateListener.h"
#include "support/ShowDebugString.h"

namespace {

const wchar_t kUI[] = L"UI";

// A driver call that failed, by feature and method: a feature the switch
// left as it was shows in the trace.
void TraceFailure(const wchar_t* pszFeature, const wchar_t* pszMethod, HRESULT hr)
{
    if (FAILED(hr))
        KVTRACE(L"\n[%s] CKVDeviceEndpoint master switch, %s %s returns 0x%x", kUI, pszFeature, pszMethod,
                static_cast<unsigned>(hr));
}

// Whether a feature's query reports it on.
template <class I>
bool IsOn(const wchar_t* pszFeature, I* pInterface)
{
    if (!pInterface)
        return false;
    BOOL b = FALSE;
    HRESULT hr = pInterface->IsEnabled(&b);
    TraceFailure(pszFeature, L"IsEnabled", hr);
    return SUCCEEDED(hr) && b;
}

template <class I>
void Switch(const wchar_t* pszFeature, I* pInterface, BOOL bOn)
{
    if (!pInterface)
        return;
    if (bOn)
        TraceFailure(pszFeature, L"Enable", pInterface->Enable());
    else
        TraceFailure(pszFeature, L"Disable", pInterface->Disable());
}

template <class T>
auto Typed(const CKVDeviceEndpoint::FeatureSlot<T>& slot) -> decltype(slot.p->m_pInterface)
{
    return slot.p ? slot.p->m_pInterface : nullptr;
}

} // namespace

void CKVDeviceEndpoint::SetMasterOnOff(BOOL bOn, BOOL bRestoreEffects)
{
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::SetMasterOnOff(bOn=%d, bRestoreEffects=%d), m_bMasterOn=%d, "
            L"m_bLumoraTechnology=%d",
            kUI, bOn, bRestoreEffects, m_bMasterOn, m_bLumoraTechnology);
    bOn = bOn ? TRUE : FALSE;
    if (bOn == m_bMasterOn)
        return;
    if (bOn) {
        if (!m_bLumoraTechnology && m_pEfxCoexistStateListener) {
            // Keep the name of the owner about to be displaced, and let the
            // listener take our own claim below as no change.
            m_pEfxCoexistStateListener->UpdateCurrentTechNameFromReg();
            m_pEfxCoexistStateListener->m_dwTechnology = kTechnologyLumora;
        }
        GetEffectInfoFromReg();
        KVTRACE(L"\n[%s] CKVDeviceEndpoint::SetMasterOnOff(bOn=%d, bRestoreEffects=%d), m_dwEffectInfo = 0x%x", kUI,
                bOn, bRestoreEffects, static_cast<unsigned>(m_dwEffectInfo));
        SwitchEffects(TRUE, static_cast<DWORD>(m_dwEffectInfo));
        KVTRACE(L"\n[%s] CKVDeviceEndpoint::SetMasterOnOff(m_bLumoraTechnology=%d)", kUI, m_bLumoraTechnology);
        if (!m_bLumoraTechnology) {
            m_bLumoraTechnology = TRUE;
            if (m_pEfxCoexistStateListener)
                m_pEfxCoexistStateListener->m_dwTechnology = kTechnologyLumora;
            ClaimDevice();
            if (m_hWndMainEffects)
                ::PostMessageW(m_hWndMainEffects, WM_SHOW_MASTER_POPUP, 0, 0);
        }
    } else {
        m_dwEffectInfo = GetCurrentActiveEffectInfo();
        if (m_pIFxPropStore)
            m_pIFxPropStore->SetValue(PKEY_KV_EffectInfo, MakeUI4Variant(static_cast<ULONG>(m_dwEffectInfo)));
        SwitchEffects(FALSE, ~0u);
    }
    m_bMasterOn = bOn;
    SaveMasterOnOffInfoToReg();
    PostToNotifyWindows(WM_MASTER_ONOFF_CHANGE, 0, 0);
    IPC_MasterOnOffStatusUpdate();
}

// Table order; switching on touches only the masked features, switching off
// all of them.
void CKVDeviceEndpoint::SwitchEffects(BOOL bOn, DWORD dwMask)
{
    auto wanted = [&](DWORD dwBit) { return !bOn || (dwMask & dwBit) == dwBit; };
    if (wanted(KV_EFX_SPKCONFIG) && m_SpkConfig.p)
        m_SpkConfig.p->SetEffectConfig(bOn);
    if (wanted(KV_EFX_PDP))
        Switch(L"Pdp", Typed(m_Pdp), bOn);
    if (wanted(KV_EFX_UPMIX)) {
        if (ISNDIUpmix* pUpmix = Typed(m_Upmix)) {
            if (!bOn) {
                TraceFailure(L"Upmix", L"Disable", pUpmix->Disable());
            } else if (m_nUpmixIndex != -1) {
                HRESULT hr = pUpmix->SelectElement(static_cast<UINT>(m_nUpmixIndex));
                TraceFailure(L"Upmix", L"SelectElement", hr);
                if (SUCCEEDED(hr))
                    TraceFailure(L"Upmix", L"Enable", pUpmix->Enable());
            }
        }
    }
    if (wanted(KV_EFX_BASSBOOST))
        Switch(L"BassBoost", Typed(m_BassBoost), bOn);
    if (wanted(KV_EFX_BASSMANAGEMENT))
        Switch(L"BassManagement", Typed(m_BassManagement), bOn);
    if (wanted(KV_EFX_AGC))
        Switch(L"AGC", Typed(m_AGC), bOn);
    if (wanted(KV_EFX_RVX)) {
        Switch(L"RVXEnvironment", Typed(m_RVXEnvironment), bOn);
        SwitchReverbPresets(bOn);
    }
    if (wanted(KV_EFX_EQ))
        Switch(L"EQ", Typed(m_EQ), bOn);
}

// Reverb presets follow the environment only when the driver says so.
void CKVDeviceEndpoint::SwitchReverbPresets(BOOL bOn)
{
    if (!m_RVXPreset.p || !m_RVXPreset.p->FollowsEnvironment())
        return;
    CWaitCursor wait;
    Switch(L"RVXPresetU", m_RVXPreset.p->m_pWide, bOn);
}

DWORD CKVDeviceEndpoint::GetCurrentActiveEffectInfo()
{
    DWORD dwEffectInfo = 0;
    if (m_SpkConfig.p && m_SpkConfig.p->m_pEndpoint) {
        BOOL bActive = FALSE;
        if (SUCCEEDED(m_SpkConfig.p->IsEffectConfigActive(&bActive, nullptr)) && bActive)
            dwEffectInfo |= KV_EFX_SPKCONFIG;
    }
    if (IsOn(L"Pdp", Typed(m_Pdp)))
        dwEffectInfo |= KV_EFX_PDP;
    if (IsOn(L"Upmix", Typed(m_Upmix)))
        dwEffectInfo |= KV_EFX_UPMIX;
    if (IsOn(L"BassBoost", Typed(m_BassBoost)))
        dwEffectInfo |= KV_EFX_BASSBOOST;
    if (IsOn(L"BassManagement", Typed(m_BassManagement)))
        dwEffectInfo |= KV_EFX_BASSMANAGEMENT;
    if (IsOn(L"AGC", Typed(m_AGC)))
        dwEffectInfo |= KV_EFX_AGC;
    if (IsOn(L"RVXEnvironment", Typed(m_RVXEnvironment)))
        dwEffectInfo |= KV_EFX_RVX;
    if (IsOn(L"EQ", Typed(m_EQ)))
        dwEffectInfo |= KV_EFX_EQ;
    KVTRACE(L"LPARAM CKVDeviceEndpoint::GetCurrentActiveEffectInfo() dwEffectInfo = 0x%x", dwEffectInfo);
    return dwEffectInfo;
}

DWORD CKVDeviceEndpoint::GetEffectInfo()
{
    KVTRACE(L"\n[%s] LPARAM CKVDeviceEndpoint::GetEffectInfo() 0x%x", kUI, static_cast<unsigned>(m_dwEffectInfo));
    return static_cast<DWORD>(m_dwEffectInfo);
}

void CKVDeviceEndpoint::GetEffectInfoFromReg()
{
    DWORD dwValue = 0;
    if (!ReadEndpointProperty(m_pIFxPropStore, PKEY_KV_EffectInfo, &dwValue))
        return;
    m_dwEffectInfo = dwValue;
    KVTRACE(L"\n[%s] LPARAM CKVDeviceEndpoint::GetEffectInfoFromReg() 0x%x", kUI, dwValue);
}

void CKVDeviceEndpoint::GetMasterOnOffInfoFromReg()
{
    BOOL bLumoraTechnology = TRUE;
    if (CoexistKeyExists(m_dwVendorID)) {
        DWORD dwTechnology = 0;
        // Read and recorded in one step against the listener's own reads, so
        // its thread never compares a change with an older value of ours.
        LSTATUS st = m_pEfxCoexistStateListener ? m_pEfxCoexistStateListener->ReadTechnologyFromReg(&dwTechnology)
                                                : ReadTechnology(m_dwVendorID, &dwTechnology);
        KVTRACE(L"\n [%s]CKVDeviceEndpoint::GetMasterOnOffInfoFromReg(), RegGetValue returns 0x%x", kUI,
                static_cast<unsigned>(st));
        if (st == ERROR_SUCCESS)
            bLumoraTechnology = dwTechnology == kTechnologyLumora;
    }
    DWORD bMasterOn = 1;
    if (ReadEndpointProperty(m_pIFxPropStore, PKEY_KV_MasterOnOff, &bMasterOn))
        KVTRACE(L"\n[%s] CKVDeviceEndpoint::GetMasterOnOffInfoFromReg(), m_pIFxPropStore->GetValue() succeeded, "
                L"bMasterOn 0x%x",
                kUI, bMasterOn);
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::GetMasterOnOffInfoFromReg(), bMasterOn 0x%x, bLumoraTechnology 0x%x", kUI,
            bMasterOn, bLumoraTechnology);
    m_bLumoraTechnology = bLumoraTechnology;
    m_bMasterOn = bMasterOn != 0 && bLumoraTechnology;
}

void CKVDeviceEndpoint::SaveMasterOnOffInfoToReg()
{
    if (!m_pIFxPropStore)
        return;
    m_pIFxPropStore->SetValue(PKEY_KV_MasterOnOff, MakeUI4Variant(m_bMasterOn ? 1u : 0u));
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::SaveMasterOnOffInfoToReg(), m_bMasterOn=%d", kUI, m_bMasterOn);
}

// "Technology" goes first: a listener woken by the first write then never
// sees our name beside another suite's number and reports a foreign claim.
void CKVDeviceEndpoint::ClaimDevice()
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, CoexistKeyPath(m_dwVendorID).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return;
    const DWORD dwTechnology = kTechnologyLumora;
    LSTATUS st = RegSetValueExW(hKey, L"Technology", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwTechnology),
                                sizeof(dwTechnology));
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::SetMasterOnOff(), claim Technology=2 returns 0x%x", kUI,
            static_cast<unsigned>(st));
    RegSetValueExW(hKey, L"TechnologyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(kLumoraTechnologyName),
                   sizeof(kLumoraTechnologyName));
    RegCloseKey(hKey);
}

void CKVDeviceEndpoint::OnEfxCoexistStateChange(DWORD eEvent)
{
    KVTRACE(L"\n[%s] CKVDeviceEndpoint::OnEfxCoexistStateChange, eEvent=0x%x, m_bLumoraTechnology=%d, "
            L"m_bMasterOn=%d",
            kUI, eEvent, m_bLumoraTechnology, m_bMasterOn);
    if (eEvent == kTechnologyLumora) {
        if (m_bLumoraTechnology)
            return;
        m_bLumoraTechnology = TRUE;
        if (m_bMasterOn)
            return;
        m_bMasterOn = TRUE;
        PostToNotifyWindows(WM_MASTER_ONOFF_CHANGE, 0, 0);
        if (m_hWndMainEffects && !m_bRestoringDefault)
            ::PostMessageW(m_hWndMainEffects, WM_SHOW_MASTER_POPUP, 0, 0);
        return;
    }
    m_bLumoraTechnology = FALSE;
    m_bMasterOn = FALSE;
    if (m_nTimerLumoraOff)
        KillTimer(nullptr, m_nTimerLumoraOff);
    m_nTimerLumoraOff = SetTimer(nullptr, 2, 2000, userTimerProc);
}

void CALLBACK CKVDeviceEndpoint::userTimerProc(HWND hWnd, UINT /*uMsg*/, UINT_PTR idEvent, DWORD /*dwTime*/)
{
    if (hWnd)
        return;
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    CKVDeviceEndpoint* pSession = g_pKVDeviceEndpoint;
    if (!pSession || idEvent == 0) {
        // A timer of ours that no open session owns would fire for ever.
        KillTimer(nullptr, idEvent);
        return;
    }
    if (idEvent == pSession->m_nTimerLumoraOff) {
        KillTimer(nullptr, idEvent);
        pSession->m_nTimerLumoraOff = 0;
        if (pSession->m_hWndHidden)
            ::PostMessageW(pSession->m_hWndHidden, g_uMasterOnOffChangedMsg, 1, 0);
        KVTRACE(L"\n[UI]CKVDeviceEndpoint::userTimerProc() m_nTimerLumoraOff");
    } else if (idEvent == pSession->m_nTimerRestoreDefault) {
        KillTimer(nullptr, idEvent);
        pSession->m_nTimerRestoreDefault = 0;
        pSession->m_bRestoringDefault = FALSE;
        KVTRACE(L"\n[UI]CKVDeviceEndpoint::userTimerProc() m_nTimerRestoreDefault");
    } else {
        KillTimer(nullptr, idEvent);
    }
}
