#include "features/SpkConfig2.h"

#include <mmdeviceapi.h>
#include <propidl.h>
#include <mmreg.h>

#include <cstring>
#include <new>

namespace {

KV_DEFINE_GUID(kCLSID_MMDeviceEnumerator, 0xBCDE0395, 0xE52F, 0x467C, 0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E);
KV_DEFINE_GUID(kIID_IMMDeviceEnumerator, 0xA95664D2, 0x9614, 0x4F35, 0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6);
constexpr PROPERTYKEY kPKEY_AudioEngine_DeviceFormat = {
    {0xF19F064D, 0x082C, 0x4E27, {0xBC, 0x73, 0x68, 0x82, 0xA1, 0xBB, 0x8E, 0x4C}}, 0};

constexpr wchar_t kSpeakerSelectionKey[] = L"Software\\Lumora Tech\\Speaker Selection\\";

// Names compared as unsigned bytes up to the first NUL, never past the field.
int CompareNames(const SpeakerConfigInfo& a, const SpeakerConfigInfo& b)
{
    for (size_t i = 0; i < sizeof(a.szName); ++i) {
        unsigned char ca = static_cast<unsigned char>(a.szName[i]);
        unsigned char cb = static_cast<unsigned char>(b.szName[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
    return 0;
}

void FillInfo(SpeakerConfigInfo* pInfo, const GUID& id, DWORD dwSpeakers, DWORD dwLFE, const char* pszName)
{
    pInfo->guidFormat = id;
    pInfo->dwSpeakers = dwSpeakers;
    pInfo->dwLFE = dwLFE;
    size_t n = strnlen(pszName, sizeof(pInfo->szName) - 1);
    memcpy(pInfo->szName, pszName, n);
    pInfo->szName[n] = '\0';
}

template <class T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() { SafeRelease(p); }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

}  // namespace

CSpkConfig2::~CSpkConfig2()
{
    Reset();
}

ISNDISpkConfig* CSpkConfig2::Bound() const
{
    return m_pSpkConfig2 ? static_cast<ISNDISpkConfig*>(m_pSpkConfig2) : m_pSpkConfig;
}

HRESULT CSpkConfig2::ReadConfig(UINT nIndex, SpeakerConfigInfo* pInfo) const
{
    ISNDISpkConfig* p = Bound();
    if (!p)
        return E_FAIL;
    HRESULT hr = p->GetConfig(nIndex, pInfo);
    // Whoever reads the name next may rely on it ending inside the record.
    if (SUCCEEDED(hr))
        pInfo->szName[sizeof(pInfo->szName) - 1] = '\0';
    return hr;
}

BOOL CSpkConfig2::Init(IKVDevice* pDevice, IKVEndpoint* pEndpoint)
{
    if (!pDevice && !pEndpoint)
        return FALSE;
    if (Bound())
        return TRUE;
    if (pEndpoint) {
        if (FAILED(pEndpoint->GetFeature(IID_ISNDISpkConfig2, reinterpret_cast<void**>(&m_pSpkConfig2))) ||
            !m_pSpkConfig2) {
            m_pSpkConfig2 = nullptr;
            if (FAILED(pEndpoint->GetFeature(IID_ISNDISpkConfig, reinterpret_cast<void**>(&m_pSpkConfig))) ||
                !m_pSpkConfig) {
                m_pSpkConfig = nullptr;
                return FALSE;
            }
        }
        m_pEndpoint = pEndpoint;
        m_pEndpoint->AddRef();
        BuildOrder();
        for (UINT p = 0; p < m_nCount; ++p) {
            SpeakerConfigInfo info = {};
            if (FAILED(ReadConfig(m_pOrder ? m_pOrder[p] : p, &info)))
                continue;
            const GUID& id = info.guidFormat;
            if (IsEqualGUID(id, KVFMT_EFFECT))
                m_nEffectPosition = static_cast<int>(p);
            else if (IsEqualGUID(id, KVFMT_QUAD_SIDE))
                m_bHasQuadSide = 1;
            else if (IsEqualGUID(id, KVFMT_5POINT1_SIDE))
                m_bHas51Side = 1;
            else if (IsEqualGUID(id, KVFMT_6POINT1_SIDE))
                m_bHas61Side = 1;
            else if (IsEqualGUID(id, KVFMT_GENERIC))
                m_nGenericChannels = static_cast<int>(info.dwSpeakers + info.dwLFE);
        }
    } else {
        // A device offers only the older interface.
        if (FAILED(pDevice->GetFeature(IID_ISNDISpkConfig, reinterpret_cast<void**>(&m_pSpkConfig))) ||
            !m_pSpkConfig) {
            m_pSpkConfig = nullptr;
            return FALSE;
        }
        BuildOrder();
    }
    m_pUnknown = Bound();
    m_pUnknown->AddRef();
    return TRUE;
}

HRESULT CSpkConfig2::BuildOrder()
{
    UINT nCount = 0;
    ISNDISpkConfig* p = Bound();
    if (!p || FAILED(p->GetCount(&nCount)))
        return E_FAIL;
    if (nCount > kMaxConfigs)
        nCount = kMaxConfigs;
    delete[] m_pOrder;
    m_pOrder = nullptr;
    m_nCount = nCount;
    if (nCount == 0)
        return S_OK;
    m_pOrder = new (std::nothrow) UINT[nCount];
    if (!m_pOrder) {
        m_nCount = 0;
        return E_OUTOFMEMORY;
    }
    for (UINT i = 0; i < nCount; ++i)
        m_pOrder[i] = i;
    // Bubble sort: stable, so equal names keep the driver's order.
    for (UINT i = 0; i < nCount; ++i) {
        for (UINT j = 1; j + i < nCount; ++j) {
            SpeakerConfigInfo a = {}, b = {};
            if (FAILED(ReadConfig(m_pOrder[j], &a)) || FAILED(ReadConfig(m_pOrder[j - 1], &b)))
                continue;
            if (CompareNames(a, b) < 0) {
                UINT t = m_pOrder[j];
                m_pOrder[j] = m_pOrder[j - 1];
                m_pOrder[j - 1] = t;
            }
        }
    }
    return S_OK;
}

BOOL CSpkConfig2::IsNoShowSet()
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSpeakerSelectionKey, 0, KEY_READ | KEY_WOW64_64KEY, &hKey) != ERROR_SUCCESS)
        return FALSE;
    DWORD dwValue = 0, cb = sizeof(dwValue);
    LSTATUS status = RegQueryValueExW(hKey, L"NoShow", nullptr, nullptr, reinterpret_cast<BYTE*>(&dwValue), &cb);
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS && dwValue != 0;
}

DWORD CSpkConfig2::ChannelMaskOf(const GUID& id)
{
    static const struct { const GUID* id; DWORD mask; } kMasks[] = {
        {&KVFMT_STEREO, 0x3},   {&KVFMT_QUAD, 0x33},          {&KVFMT_QUAD_SIDE, 0x603},
        {&KVFMT_5POINT1, 0x3F}, {&KVFMT_5POINT1_SIDE, 0x60F}, {&KVFMT_6POINT1, 0x13F},
        {&KVFMT_6POINT1_SIDE, 0x70F}, {&KVFMT_7POINT1, 0x63F}, {&KVFMT_GENERIC, 0x3},
    };
    for (const auto& m : kMasks)
        if (IsEqualGUID(id, *m.id))
            return m.mask;
    return 0;
}

HRESULT CSpkConfig2::GetSpeakerConfig(UINT nPosition, SpeakerConfigInfo* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    if (m_pEndpoint && IsNoShowSet()) {
        BOOL bActive = FALSE;
        if (m_nEffectPosition != -1 && SUCCEEDED(IsEffectConfigActive(&bActive, pInfo)) && bActive)
            return S_OK;
        return ReadDeviceFormatConfig(pInfo);
    }
    if (!Bound())
        return E_FAIL;
    UINT nIndex = nPosition;
    if (m_pOrder) {
        // Outside the sorted list there is nothing to translate to.
        if (nPosition >= m_nCount)
            return E_INVALIDARG;
        nIndex = m_pOrder[nPosition];
    }
    return ReadConfig(nIndex, pInfo);
}

HRESULT CSpkConfig2::GetCurrentSpeakerConfig(int* pnPosition)
{
    if (!pnPosition)
        return E_POINTER;
    if (m_pEndpoint && IsNoShowSet()) {
        *pnPosition = 0;
        return S_OK;
    }
    UINT nCurrent = 0;
    ISNDISpkConfig* p = Bound();
    HRESULT hr = p ? p->GetCurrent(&nCurrent) : E_FAIL;
    int nPosition = static_cast<int>(nCurrent);
    for (UINT i = 0; m_pOrder && i < m_nCount; ++i) {
        if (m_pOrder[i] == nCurrent) {
            nPosition = static_cast<int>(i);
            break;
        }
    }
    *pnPosition = nPosition;
    return hr;
}

HRESULT CSpkConfig2::IsEffectConfigActive(BOOL* pbActive, SpeakerConfigInfo* pCurrent)
{
    ISNDISpkConfig* p = Bound();
    if (!p || m_nEffectPosition == -1 || !pbActive)
        return E_FAIL;
    *pbActive = FALSE;
    UINT nCurrent = 0;
    HRESULT hr = p->GetCurrent(&nCurrent);
    if (FAILED(hr))
        return hr;
    SpeakerConfigInfo info = {};
    hr = ReadConfig(nCurrent, &info);
    if (SUCCEEDED(hr)) {
        *pbActive = IsEqualGUID(info.guidFormat, KVFMT_EFFECT);
        if (pCurrent)
            *pCurrent = info;
    }
    return hr;
}

HRESULT CSpkConfig2::SetEffectConfig(BOOL bOn)
{
    ISNDISpkConfig* p = Bound();
    if (!m_pEndpoint || !p || m_nEffectPosition == -1)
        return E_FAIL;
    if (bOn) {
        HRESULT hr = m_pSpkConfig2 ? m_pSpkConfig2->SetCurrentByFormat(&KVFMT_EFFECT, 0, 0, 1) : E_FAIL;
        if (SUCCEEDED(hr))
            return hr;
        UINT nIndex = m_pOrder ? m_pOrder[m_nEffectPosition] : static_cast<UINT>(m_nEffectPosition);
        return p->SetCurrent(nIndex, 0);
    }
    // Without the real format there is nothing to go back to; matching an
    // empty id instead would report success for a switch that never happened.
    SpeakerConfigInfo device = {};
    HRESULT hr = ReadDeviceFormatConfig(&device);
    if (FAILED(hr))
        return hr;
    UINT nCount = 0;
    hr = p->GetCount(&nCount);
    if (FAILED(hr))
        return hr;
    if (nCount > kMaxConfigs)
        nCount = kMaxConfigs;
    for (UINT i = 0; i < nCount; ++i) {
        SpeakerConfigInfo info = {};
        hr = ReadConfig(i, &info);
        if (FAILED(hr) || !IsEqualGUID(info.guidFormat, device.guidFormat))
            continue;
        if (m_pSpkConfig2 && SUCCEEDED(hr = m_pSpkConfig2->SetCurrentByFormat(&info.guidFormat, 0, 0, 1)))
            return hr;
        return p->SetCurrent(i, 0);
    }
    return hr;
}

HRESULT CSpkConfig2::ReadDeviceFormatConfig(SpeakerConfigInfo* pInfo)
{
    if (!m_pEndpoint || !pInfo)
        return E_FAIL;
    DWORD dwFlags = 0;
    LPWSTR pszId = nullptr;
    if (FAILED(m_pEndpoint->GetEndpointId(&dwFlags, &pszId)) || !pszId) {
        CoTaskMemFree(pszId);
        return E_FAIL;
    }
    WORD wChannels = 2;
    DWORD dwMask = 3;
    HRESULT hr;
    {
        ComPtr<IMMDeviceEnumerator> pEnum;
        ComPtr<IMMDevice> pDevice;
        ComPtr<IPropertyStore> pStore;
        hr = CoCreateInstance(kCLSID_MMDeviceEnumerator, nullptr, CLSCTX_ALL, kIID_IMMDeviceEnumerator,
                              reinterpret_cast<void**>(&pEnum));
        if (SUCCEEDED(hr))
            hr = pEnum->GetDevice(pszId, &pDevice);
        if (SUCCEEDED(hr))
            hr = pDevice->OpenPropertyStore(STGM_READ, &pStore);
        if (SUCCEEDED(hr)) {
            PROPVARIANT pv;
            PropVariantInit(&pv);
            hr = pStore->GetValue(kPKEY_AudioEngine_DeviceFormat, &pv);
            if (SUCCEEDED(hr) && pv.vt == VT_BLOB && pv.blob.cbSize == sizeof(WAVEFORMATEXTENSIBLE) &&
                pv.blob.pBlobData) {
                const BYTE* b = pv.blob.pBlobData;
                memcpy(&wChannels, b + 2, sizeof(wChannels));
                memcpy(&dwMask, b + 20, sizeof(dwMask));
                hr = S_OK;
            }
            PropVariantClear(&pv);
        }
    }
    CoTaskMemFree(pszId);
    if (FAILED(hr))
        return hr;

    if (m_nGenericChannels != -1 && wChannels == m_nGenericChannels) {
        DWORD dwLFE = (dwMask & 8) ? 1 : 0;
        FillInfo(pInfo, KVFMT_GENERIC, static_cast<DWORD>(m_nGenericChannels) - dwLFE, dwLFE, "Speakers");
    } else if (wChannels == 4) {
        FillInfo(pInfo, (m_bHasQuadSide && dwMask == 0x603) ? KVFMT_QUAD_SIDE : KVFMT_QUAD, 4, 0, "4/4.1 Speakers");
    } else if (wChannels == 6) {
        FillInfo(pInfo, (m_bHas51Side && dwMask == 0x60F) ? KVFMT_5POINT1_SIDE : KVFMT_5POINT1, 5, 1, "5.1 Speakers");
    } else if (wChannels == 7) {
        FillInfo(pInfo, (m_bHas61Side && dwMask == 0x70F) ? KVFMT_6POINT1_SIDE : KVFMT_6POINT1, 6, 1, "6.1 Speakers");
    } else if (wChannels == 8) {
        FillInfo(pInfo, KVFMT_7POINT1, 7, 1, "7.1 Speakers");
    } else {
        FillInfo(pInfo, KVFMT_STEREO, 2, 0, "2/2.1 Speakers");
    }
    return hr;
}

void CSpkConfig2::Reset()
{
    SafeRelease(m_pEndpoint);
    delete[] m_pOrder;
    m_pOrder = nullptr;
    m_nCount = 0;
    m_nEffectPosition = -1;
    m_nGenericChannels = -1;
    m_bHasQuadSide = m_bHas51Side = m_bHas61Side = 0;
    SafeRelease(m_pSpkConfig2);
    SafeRelease(m_pSpkConfig);
}

BOOL CSpkConfig2::Uninit()
{
    Reset();
    return CSNDIBase::Uninit();
}
