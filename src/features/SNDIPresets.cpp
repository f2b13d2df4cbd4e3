#include "features/SNDIPresets.h"

#include <cstring>
#include <cwchar>
#include <new>

// ---- CPreset -------------------------------------------------------------------

static void CopyName(wchar_t (&szOut)[CPreset::kNameChars], const wchar_t* pszName, UINT cchBuffer)
{
    size_t n = pszName ? wcsnlen(pszName, cchBuffer) : 0;
    if (n > CPreset::kNameChars - 1)
        n = CPreset::kNameChars - 1;
    if (n)
        wmemcpy(szOut, pszName, n);
    szOut[n] = L'\0';
}

namespace {

size_t BoundedLength(const wchar_t* psz, size_t cch) { return psz ? wcsnlen(psz, cch) : 0; }
size_t BoundedLength(const char* psz, size_t cb) { return psz ? strnlen(psz, cb) : 0; }

// A heap copy of a driver key, cut to cchKey - 1 characters and terminated.
template <class TChar>
TChar* CopyKey(const TChar* pszKey, UINT cchBuffer, size_t cchKey)
{
    TChar* pKey = new (std::nothrow) TChar[cchKey];
    if (!pKey)
        return nullptr;
    size_t n = BoundedLength(pszKey, cchBuffer);
    if (n > cchKey - 1)
        n = cchKey - 1;
    for (size_t i = 0; i < n; ++i)
        pKey[i] = pszKey[i];
    pKey[n] = 0;
    return pKey;
}

}  // namespace

CPreset* CPreset::CreateWide(const wchar_t* pszKey, UINT cchKeyBuffer, const wchar_t* pszName,
                             UINT cchNameBuffer, DWORD dwKind)
{
    CPreset* p = new (std::nothrow) CPreset;
    if (!p)
        return nullptr;
    p->m_bWide = 1;  // first, so the destructor frees the right type
    p->m_pKey = CopyKey(pszKey, cchKeyBuffer, kWideKeyChars);
    if (!p->m_pKey) {
        delete p;
        return nullptr;
    }
    p->m_cbKey = KV_PRESET_KEY_CB_WIDE;
    CopyName(p->m_szName, pszName, cchNameBuffer);
    p->m_dwKind = dwKind;
    return p;
}

CPreset* CPreset::CreateNarrow(const char* pszKey, UINT cbKeyBuffer, const wchar_t* pszName,
                               UINT cchNameBuffer, DWORD dwKind)
{
    CPreset* p = new (std::nothrow) CPreset;
    if (!p)
        return nullptr;
    p->m_pKey = CopyKey(pszKey, cbKeyBuffer, KV_PRESET_KEY_CB_NARROW);
    if (!p->m_pKey) {
        delete p;
        return nullptr;
    }
    p->m_cbKey = KV_PRESET_KEY_CB_NARROW;
    CopyName(p->m_szName, pszName, cchNameBuffer);
    p->m_dwKind = dwKind;
    return p;
}

CPreset::~CPreset()
{
    if (m_bWide)
        delete[] static_cast<wchar_t*>(m_pKey);
    else
        delete[] static_cast<char*>(m_pKey);
    m_pKey = nullptr;
}

void ClearPresetList(CPresetList& list)
{
    for (CPreset* p : list)
        delete p;
    list.clear();
}

// ---- Conversions ---------------------------------------------------------------

CNarrowText::CNarrowText(const wchar_t* pszText)
{
    size_t n = pszText ? wcsnlen(pszText, kMaxChars + 1) : 0;
    if (n > kMaxChars)
        return;  // too long: an empty counted buffer
    char* psz = new (std::nothrow) char[n + 1];
    if (!psz)
        return;
    size_t cb = 0;
    if (n) {
        // On a double-byte code page the text may need more than n bytes:
        // keep the whole characters that fit rather than sending nothing.
        int need = WideCharToMultiByte(CP_ACP, 0, pszText, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        char* all = need > 0 ? new (std::nothrow) char[need] : nullptr;
        if (all && WideCharToMultiByte(CP_ACP, 0, pszText, static_cast<int>(n), all, need, nullptr, nullptr) == need) {
            while (cb < static_cast<size_t>(need)) {
                size_t step = IsDBCSLeadByte(static_cast<BYTE>(all[cb])) ? 2 : 1;
                if (cb + step > n)
                    break;
                cb += step;
            }
            memcpy(psz, all, cb);
        }
        delete[] all;
    }
    psz[cb] = '\0';
    m_counted.cbCapacity = static_cast<DWORD>(n + 1);
    m_counted.psz = psz;
}

CNarrowText::~CNarrowText()
{
    delete[] m_counted.psz;
}

void NarrowToWide(const char* pszText, size_t cbBuffer, wchar_t* pszOut, size_t cchOut)
{
    if (!pszOut || cchOut == 0)
        return;
    pszOut[0] = L'\0';
    size_t n = pszText ? strnlen(pszText, cbBuffer) : 0;
    if (n == 0)
        return;
    int cch = MultiByteToWideChar(CP_ACP, 0, pszText, static_cast<int>(n), pszOut, static_cast<int>(cchOut - 1));
    if (cch <= 0) {
        // The output is too small: convert whole, then cut.
        int need = MultiByteToWideChar(CP_ACP, 0, pszText, static_cast<int>(n), nullptr, 0);
        wchar_t* tmp = need > 0 ? new (std::nothrow) wchar_t[need] : nullptr;
        cch = 0;
        if (tmp) {
            MultiByteToWideChar(CP_ACP, 0, pszText, static_cast<int>(n), tmp, need);
            cch = static_cast<int>(need < static_cast<int>(cchOut - 1) ? need : cchOut - 1);
            wmemcpy(pszOut, tmp, cch);
            delete[] tmp;
        }
    }
    pszOut[cch] = L'\0';
}

// ---- CSNDIEQPresetU ------------------------------------------------------------

BOOL CSNDIEQPresetU::Init(IKVDevice* pDevice, DWORD, IKVEndpoint* pEndpoint)
{
    if (!pDevice && !pEndpoint)
        return FALSE;
    if (pEndpoint) {
        // An endpoint offers only the wide flavour.
        if (FAILED(pEndpoint->GetFeature(IID_ISNDIEQPresetU, reinterpret_cast<void**>(&m_pWide))))
            m_pWide = nullptr;
    } else {
        if (FAILED(pDevice->GetFeature(IID_ISNDIEQPresetU, reinterpret_cast<void**>(&m_pWide))))
            m_pWide = nullptr;
        if (!m_pWide &&
            (FAILED(pDevice->GetFeature(IID_ISNDIEQPreset, reinterpret_cast<void**>(&m_pNarrow))) || !m_pNarrow)) {
            m_pNarrow = nullptr;
            return FALSE;
        }
    }
    return BindBoundFlavour();
}

HRESULT CSNDIEQPresetU::IsNamedPresetActive(BOOL* pbNamed)
{
    if (!pbNamed)
        return E_POINTER;
    if (m_pWide) {
        wchar_t* pKey = new (std::nothrow) wchar_t[CPreset::kWideKeyChars + 1];
        if (!pKey)
            return E_OUTOFMEMORY;
        pKey[0] = L'\0';
        pKey[CPreset::kWideKeyChars] = L'\0';  // a key that fills the buffer still ends
        HRESULT hr = m_pWide->GetActivePreset(pKey);
        if (SUCCEEDED(hr))
            *pbNamed = wcscmp(pKey, kCustomPresetW) != 0;
        delete[] pKey;
        return hr;
    }
    if (m_pNarrow) {
        char* pKey = new (std::nothrow) char[KV_PRESET_KEY_CB_NARROW + 1];
        if (!pKey)
            return E_OUTOFMEMORY;
        pKey[0] = '\0';
        pKey[KV_PRESET_KEY_CB_NARROW] = '\0';
        char* pOut = pKey;
        HRESULT hr = m_pNarrow->GetActivePreset(&pOut);
        if (SUCCEEDED(hr))
            *pbNamed = strcmp(pKey, kCustomPresetA) != 0;
        delete[] pKey;
        return hr;
    }
    return E_FAIL;
}

// ---- CSNDIRVXPresetU -----------------------------------------------------------

BOOL CSNDIRVXPresetU::FollowsEnvironment() const
{
    if (!m_pWide)
        return FALSE;
    DWORD dwRank = 0, dwMode = KV_RVX_MODE_DEFAULT;
    m_pWide->GetPresetInfo(&dwRank, &dwMode);
    return dwMode == KV_RVX_MODE_FOLLOWS_ENV;
}

BOOL CSNDIRVXPresetU::Init(IKVDevice* pDevice, DWORD, IKVEndpoint* pEndpoint)
{
    if (!pDevice && !pEndpoint)
        return FALSE;
    ISNDIRVXPresetList* pList = nullptr;
    HRESULT hr = pEndpoint ? pEndpoint->GetFeature(IID_ISNDIRVXPresetList, reinterpret_cast<void**>(&pList))
                           : pDevice->GetFeature(IID_ISNDIRVXPresetList, reinterpret_cast<void**>(&pList));
    if (SUCCEEDED(hr) && pList) {
        DWORD dwBest = 0;
        for (UINT i = 0; i < kMaxListItems; ++i) {
            ISNDIRVXPresetU* pItem = nullptr;
            if (FAILED(pList->GetItem(i, &pItem)) || !pItem)
                break;
            DWORD dwRank = 0, dwMode = KV_RVX_MODE_DEFAULT;
            pItem->GetPresetInfo(&dwRank, &dwMode);
            // Rank 0 never wins; among equals the first stays.
            if (dwRank > dwBest) {
                SafeRelease(m_pWide);
                m_pWide = pItem;
                m_pWide->AddRef();
                dwBest = dwRank;
            }
            pItem->Release();
        }
        pList->Release();
    }
    if (!m_pWide && pDevice) {
        if (FAILED(pDevice->GetFeature(IID_ISNDIRVXPreset, reinterpret_cast<void**>(&m_pNarrow))) || !m_pNarrow) {
            m_pNarrow = nullptr;
            return FALSE;
        }
    }
    return BindBoundFlavour();
}

// ---- Enumeration -----------------------------------------------------------------

namespace {

// Every enumeration starts with the configuration block, (reverb) the preset
// set and the language; a refusal of any leaves the list empty.
CPresetEnumObserver g_silentObserver;

template <bool bReverb, class I>
HRESULT PrepareEnum(I* p, DWORD dwLanguage, CPresetEnumObserver& obs)
{
    KVPRESETCONFIG cfg = KVMakePresetConfig();
    HRESULT hr = p->SetPresetConfig(&cfg);
    obs.OnConfig(hr);
    if constexpr (bReverb) {
        if (SUCCEEDED(hr))
            hr = p->SelectPresetSet(&KV_RVX_PRESET_SET);
    }
    if (SUCCEEDED(hr)) {
        hr = p->SetLanguageConfig(dwLanguage);
        obs.OnLanguage(dwLanguage, hr);
    }
    return hr;
}

// dwOnlyKind 0 takes every entry; another kind skips the rest unnamed.
template <class I>
void WalkWide(I* p, DWORD dwOnlyKind, CPresetList& list, CPresetEnumObserver& obs)
{
    HRESULT hr = S_OK;
    // One spare unit each, so a driver that fills the buffer cannot run us off its end.
    wchar_t szKey[CPreset::kWideKeyChars + 1];
    wchar_t szName[CPreset::kNameChars + 1];
    for (UINT i = 0; i < kMaxEnumerated; ++i) {
        DWORD dwKind = 0;
        szKey[0] = L'\0';
        szKey[CPreset::kWideKeyChars] = L'\0';
        hr = p->EnumPreset(i, &dwKind, szKey);
        obs.OnEnumPreset(i, hr);
        if (FAILED(hr))
            break;
        if (dwOnlyKind && dwKind != dwOnlyKind)
            continue;
        szName[0] = L'\0';
        szName[CPreset::kNameChars] = L'\0';
        hr = p->GetPresetName(szKey, szName);
        obs.OnPresetName(i, hr, szName);
        if (FAILED(hr))
            break;
        CPreset* pPreset = CPreset::CreateWide(szKey, CPreset::kWideKeyChars, szName, CPreset::kNameChars, dwKind);
        if (pPreset)
            list.push_back(pPreset);
    }
}

template <class I>
void WalkNarrow(I* p, DWORD dwOnlyKind, CPresetList& list, CPresetEnumObserver& obs)
{
    HRESULT hr = S_OK;
    char szKey[KV_PRESET_KEY_CB_NARROW + 1];
    char szName[CPreset::kNameChars + 1];
    wchar_t szWideName[CPreset::kNameChars];
    for (UINT i = 0; i < kMaxEnumerated; ++i) {
        DWORD dwKind = 0;
        szKey[0] = '\0';
        szKey[KV_PRESET_KEY_CB_NARROW] = '\0';
        char* pKey = szKey;
        hr = p->EnumPreset(i, &dwKind, &pKey);
        obs.OnEnumPreset(i, hr);
        if (FAILED(hr))
            break;
        if (dwOnlyKind && dwKind != dwOnlyKind)
            continue;
        szName[0] = '\0';
        szName[CPreset::kNameChars] = '\0';
        KVCOUNTEDSTR name = {CPreset::kNameChars, szName};
        hr = p->GetPresetName(szKey, &name);
        NarrowToWide(szName, CPreset::kNameChars, szWideName, CPreset::kNameChars);
        obs.OnPresetName(i, hr, szWideName);
        if (FAILED(hr))
            break;
        CPreset* pPreset = CPreset::CreateNarrow(szKey, KV_PRESET_KEY_CB_NARROW, szWideName, CPreset::kNameChars, dwKind);
        if (pPreset)
            list.push_back(pPreset);
    }
}

// Configures the walk first; the reverb list takes built-in presets only.
template <bool bReverb, class TPresets>
HRESULT EnumFlavour(TPresets* pPresets, DWORD dwLanguage, CPresetList& list, CPresetEnumObserver& obs)
{
    const DWORD dwOnlyKind = bReverb ? KV_PRESET_BUILTIN : 0;
    HRESULT hr = E_FAIL;
    if (pPresets->m_pWide) {
        hr = PrepareEnum<bReverb>(pPresets->m_pWide, dwLanguage, obs);
        if (SUCCEEDED(hr))
            WalkWide(pPresets->m_pWide, dwOnlyKind, list, obs);
    } else if (pPresets->m_pNarrow) {
        hr = PrepareEnum<bReverb>(pPresets->m_pNarrow, dwLanguage, obs);
        if (SUCCEEDED(hr))
            WalkNarrow(pPresets->m_pNarrow, dwOnlyKind, list, obs);
    }
    return FAILED(hr) ? hr : S_OK;
}

// The first entry of the bound flavour whose key equals the active one.
int IndexOfWide(const CPresetList& list, const wchar_t* pszKey)
{
    for (size_t i = 0; i < list.size(); ++i) {
        const CPreset* p = list[i];
        if (p->m_bWide == 1 && p->m_cbKey == KV_PRESET_KEY_CB_WIDE && wcscmp(p->WideKey(), pszKey) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int IndexOfNarrow(const CPresetList& list, const char* pszKey)
{
    for (size_t i = 0; i < list.size(); ++i) {
        const CPreset* p = list[i];
        if (p->m_bWide == 0 && p->m_cbKey == KV_PRESET_KEY_CB_NARROW && strcmp(p->NarrowKey(), pszKey) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

template <class TWide, class TNarrow>
HRESULT FindActive(TWide* pWide, TNarrow* pNarrow, const CPresetList& list, int* pnIndex)
{
    if (!pnIndex)
        return E_POINTER;
    *pnIndex = -1;
    if (pWide) {
        wchar_t szKey[CPreset::kWideKeyChars + 1] = {};
        HRESULT hr = pWide->GetActivePreset(szKey);
        if (SUCCEEDED(hr))
            *pnIndex = IndexOfWide(list, szKey);
        return hr;
    }
    if (pNarrow) {
        char szKey[KV_PRESET_KEY_CB_NARROW + 1] = {};
        char* pKey = szKey;
        HRESULT hr = pNarrow->GetActivePreset(&pKey);
        if (SUCCEEDED(hr))
            *pnIndex = IndexOfNarrow(list, szKey);
        return hr;
    }
    return E_FAIL;
}

}  // namespace

HRESULT EnumEQPresets(CSNDIEQPresetU* pPresets, DWORD dwLanguage, CPresetList& list,
                       CPresetEnumObserver* pObserver)
{
    ClearPresetList(list);
    if (!pPresets)
        return E_POINTER;
    return EnumFlavour<false>(pPresets, dwLanguage, list, pObserver ? *pObserver : g_silentObserver);
}

HRESULT EnumRVXPresets(CSNDIRVXPresetU* pPresets, DWORD dwLanguage, CPresetList& list,
                       CPresetEnumObserver* pObserver)
{
    ClearPresetList(list);
    if (!pPresets)
        return E_POINTER;
    return EnumFlavour<true>(pPresets, dwLanguage, list, pObserver ? *pObserver : g_silentObserver);
}

HRESULT ListEQPresets(CSNDIEQPresetU* pPresets, DWORD dwOnlyKind, CPresetList& list)
{
    ClearPresetList(list);
    if (!pPresets)
        return E_POINTER;
    if (pPresets->m_pWide)
        WalkWide(pPresets->m_pWide, dwOnlyKind, list, g_silentObserver);
    else if (pPresets->m_pNarrow)
        WalkNarrow(pPresets->m_pNarrow, dwOnlyKind, list, g_silentObserver);
    else
        return E_FAIL;
    return S_OK;
}

HRESULT FindActiveEQPreset(CSNDIEQPresetU* pPresets, const CPresetList& list, int* pnIndex)
{
    if (!pPresets)
        return E_POINTER;
    return FindActive(pPresets->m_pWide, pPresets->m_pNarrow, list, pnIndex);
}

HRESULT FindActiveRVXPreset(CSNDIRVXPresetU* pPresets, const CPresetList& list, int* pnIndex)
{
    if (!pPresets)
        return E_POINTER;
    return FindActive(pPresets->m_pWide, pPresets->m_pNarrow, list, pnIndex);
}
