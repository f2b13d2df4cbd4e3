#include "SimPresets.h"

#include "SimDefaults.h"
#include "SimNotify.h"

#include <cwchar>

using kvsim::Iface;
using kvsim::Node;
using kvsim::Source;

namespace simdrv {

namespace {

const wchar_t kCustom[] = L"<Custom>";

#define FAULT(slot) KVSIM_FAULT(m_iface, (slot), m_ref.nNode)

// Where a key or a name goes: a wide buffer of cap units or a narrow one of
// cap bytes.
struct TextOut {
    wchar_t* pWide = nullptr;
    char* pNarrow = nullptr;
    size_t cap = 0;
};

TextOut WideOut(wchar_t* p, size_t cch) { return TextOut{p, nullptr, cch}; }
TextOut NarrowOut(char* p, size_t cb) { return TextOut{nullptr, p, cb}; }

void Put(const TextOut& out, const wchar_t* pText, bool bFill)
{
    if (out.pWide)
        CopyTextW(out.pWide, out.cap, pText, bFill);
    else
        WideToAnsi(out.pNarrow, out.cap, pText, bFill);
}

int PresetCount(const kvsim::PresetFamily& f)
{
    return f.nPresets < 0 ? 0 : (f.nPresets > kvsim::kMaxPresets ? kvsim::kMaxPresets : f.nPresets);
}

int FindKey(const kvsim::PresetFamily& f, const std::wstring& key)
{
    for (int i = 0; i < PresetCount(f); ++i)
        if (key == f.presets[i].szKey) return i;
    return -1;
}

// Entry nIndex of the list as reported, nIndex below ReportedPresetCount:
// stored, or made up into *pExtra.
const kvsim::Preset& Reported(const kvsim::PresetFamily& f, UINT nIndex, kvsim::Preset* pExtra)
{
    int nStored = PresetCount(f);
    if (nIndex < static_cast<UINT>(nStored)) return f.presets[nIndex];
    kvsim::MakeExtraPreset(static_cast<int>(nIndex) - nStored + 1, pExtra);
    return *pExtra;
}

// Keys from callers are read with the bound of their buffers.
std::wstring WideKey(LPCWSTR psz) { return std::wstring(psz, wcsnlen(psz, kvsim::kKeyCch)); }
std::wstring NarrowKey(const char* psz) { return AnsiToWide(psz, KV_PRESET_KEY_CB_NARROW); }

// The driver's own German and French names for its built-in reverb presets,
// given after SetLanguageConfig with such a language id; other presets and
// languages keep the stored name.
struct Translation {
    const wchar_t* pszKey;
    const wchar_t* pszGerman;
    const wchar_t* pszFrench;
};
const Translation kReverbNames[] = {
    {L"rvx-room", L"Zimmer", L"Pi\u00E8ce"},
    {L"rvx-bathroom", L"Badezimmer", L"Salle de bains"},
    {L"rvx-livingroom", L"Wohnzimmer", L"Salon"},
    {L"rvx-hall", L"Halle", L"Hall"},
    {L"rvx-concert", L"Konzertsaal", L"Salle de concert"},
    {L"rvx-church", L"Kirche", L"\u00C9glise"},
    {L"rvx-cave", L"H\u00F6hle", L"Grotte"},
    {L"rvx-arena", L"Arena", L"Ar\u00E8ne"},
    {L"rvx-stadium", L"Stadion", L"Stade"},
    {L"rvx-club", L"Klub", L"Club"},
    {L"rvx-forest", L"Wald", L"For\u00EAt"},
    {L"rvx-underwater", L"Unter Wasser", L"Sous l'eau"},
};

const wchar_t* TranslatedName(const kvsim::PresetFamily& f, const kvsim::Preset& p)
{
    const WORD wLanguage = PRIMARYLANGID(LANGIDFROMLCID(f.dwLanguage));
    if ((wLanguage != LANG_GERMAN && wLanguage != LANG_FRENCH) || p.dwKind != 1)
        return p.szName;
    for (const Translation& t : kReverbNames) {
        if (_wcsicmp(t.pszKey, p.szKey) == 0)
            return wLanguage == LANG_GERMAN ? t.pszGerman : t.pszFrench;
    }
    return p.szName;
}

// The preset operations both flavours share; text is wide here and the
// flavours convert at their edges. Every operation locks the state itself.
class CPresetSupport : public CFeatureSupport {
protected:
    void BindPresets(const CNodeRef& ref, Iface iface, Source source, PresetKind kind, int nSub = 0)
    {
        Bind(ref, iface, source, nSub);
        m_kind = kind;
    }
    kvsim::PresetFamily& Family(Node& n) const
    {
        return m_kind == PresetKind::EQ ? n.features.eqPresets : n.features.rvxPresets;
    }
    void PostPreset(UINT dwHint, UINT dwArg) const
    {
        kvsim::PostPresetEvent(m_ref.nNode, m_kind == PresetKind::EQ, dwHint, dwArg);
    }

    HRESULT EnumKey(UINT nIndex, DWORD* pdwKind, const TextOut& key) const
    {
        if (!pdwKind || !key.cap) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        const kvsim::PresetFamily& f = Family(*a.node);
        int n = kvsim::ReportedPresetCount(*a.node, f);
        if (a.node->quirks.bEndlessPresets && n > 0) nIndex %= static_cast<UINT>(n);
        if (nIndex >= static_cast<UINT>(n)) return KVSIM_E_NOMORE;
        kvsim::Preset extra;
        const kvsim::Preset& p = Reported(f, nIndex, &extra);
        *pdwKind = p.dwKind;
        Put(key, p.szKey, a.node->quirks.bFullKeys != FALSE);
        return S_OK;
    }

    HRESULT ActiveKey(const TextOut& key) const
    {
        if (!key.cap) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        Put(key, Family(*a.node).szActive, a.node->quirks.bFullKeys != FALSE);
        return S_OK;
    }

    // A stored preset takes effect at once; "<Custom>" and a made-up preset
    // keep what is set.
    HRESULT SetActive(const std::wstring& key) const
    {
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        kvsim::PresetFamily& f = Family(*a.node);
        int i = key == kCustom ? -1 : FindKey(f, key);
        bool bKeep = key == kCustom || (i < 0 && kvsim::FindExtraPreset(*a.node, f, key.c_str(), false));
        if (i < 0 && !bKeep) return E_INVALIDARG;
        // The custom setting chosen again changes nothing, so nobody is told;
        // the sliders choose it at every move.
        if (key == kCustom && key == f.szActive) return S_OK;
        CopyTextW(f.szActive, kvsim::kKeyCch, key.c_str(), false);
        PostPreset(KVPRESET_ACTIVE, 0);
        // Choosing a reverb preset switches the reverb presets on.
        if (m_kind == PresetKind::Reverb && i >= 0 && !a.node->features.rvx.bPresetsEnabled) {
            a.node->features.rvx.bPresetsEnabled = TRUE;
            PostPreset(KVHINT_ONOFF, 1);
        }
        if (i >= 0) kvsim::ApplyPreset(m_ref.nNode, *a.node, f.presets[i], m_kind == PresetKind::EQ);
        return S_OK;
    }

    HRESULT Delete(const std::wstring& key) const
    {
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        kvsim::PresetFamily& f = Family(*a.node);
        int i = FindKey(f, key);
        if (i < 0) return E_INVALIDARG;
        if (f.presets[i].dwKind != KV_PRESET_USER) return E_ACCESSDENIED;
        bool bWasActive = key == f.szActive;
        int n = PresetCount(f);
        for (int j = i; j + 1 < n; ++j) f.presets[j] = f.presets[j + 1];
        f.presets[n - 1] = kvsim::Preset{};
        f.nPresets = n - 1;
        if (bWasActive) CopyTextW(f.szActive, kvsim::kKeyCch, kCustom, false);
        PostPreset(KVPRESET_REMOVED, static_cast<UINT>(f.nPresets));
        return S_OK;
    }

    // The current equalizer levels become a user preset, which is then the
    // active one. A user preset of the same name (ignoring case, as the save
    // dialog does) is overwritten; a built-in or made-up one is never.
    HRESULT Save(DWORD dwKind, const std::wstring& name, const TextOut& newKey) const
    {
        if (!newKey.cap) return E_POINTER;
        if (dwKind != KV_PRESET_USER || name.empty()) return E_INVALIDARG;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        kvsim::PresetFamily& f = Family(*a.node);
        int i = 0;
        for (; i < PresetCount(f); ++i) {
            if (CompareStringOrdinal(name.c_str(), -1, f.presets[i].szName, -1, TRUE) == CSTR_EQUAL) break;
        }
        if (i < PresetCount(f) && f.presets[i].dwKind != KV_PRESET_USER) return E_ACCESSDENIED;
        if (i == PresetCount(f) && kvsim::FindExtraPreset(*a.node, f, name.c_str(), true)) return E_ACCESSDENIED;
        if (i == PresetCount(f)) {
            if (i >= kvsim::kMaxPresets) return E_OUTOFMEMORY;
            kvsim::Preset p{};
            p.dwKind = KV_PRESET_USER;
            do {
                _snwprintf(p.szKey, kvsim::kKeyCch - 1, L"user%d", ++f.nNextUserKey);
            } while (FindKey(f, p.szKey) >= 0);
            f.presets[i] = p;
            f.nPresets = i + 1;
        }
        kvsim::Preset& p = f.presets[i];
        CopyTextW(p.szName, kvsim::kNameCch, name.c_str(), false);
        const kvsim::Equalizer& eq = a.node->features.eq;
        for (int b = 0; b < eq.nBands && b < kvsim::kMaxBands; ++b) p.fLevels[b] = eq.bands[b].fLevel;
        p.fPreamp = eq.fPreamp;
        CopyTextW(f.szActive, kvsim::kKeyCch, p.szKey, false);
        Put(newKey, p.szKey, a.node->quirks.bFullKeys != FALSE);
        PostPreset(KVPRESET_ADDED, static_cast<UINT>(f.nPresets));
        return S_OK;
    }

    HRESULT Name(const std::wstring& key, const TextOut& name) const
    {
        if (!name.cap) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        const kvsim::PresetFamily& f = Family(*a.node);
        int i = FindKey(f, key);
        int nExtra = i < 0 ? kvsim::FindExtraPreset(*a.node, f, key.c_str(), false) : 0;
        if (i < 0 && !nExtra) return E_INVALIDARG;
        kvsim::Preset extra;
        if (nExtra) kvsim::MakeExtraPreset(nExtra, &extra);
        const wchar_t* pszName = nExtra ? extra.szName
                                 : m_kind == PresetKind::Reverb ? TranslatedName(f, f.presets[i])
                                                                : f.presets[i].szName;
        Put(name, pszName, a.node->quirks.bUnterminatedNames != FALSE);
        return S_OK;
    }

    // The block is taken as passed: its contents are the caller's business.
    HRESULT Config(const KVPRESETCONFIG* pConfig) const
    {
        if (!pConfig) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        ++Family(*a.node).dwConfigCalls;
        return S_OK;
    }

    HRESULT Language(DWORD dwLanguage) const
    {
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        Family(*a.node).dwLanguage = dwLanguage;
        return S_OK;
    }

    HRESULT SelectSet(const GUID* pSet) const
    {
        if (!pSet) return E_POINTER;
        if (*pSet != KV_RVX_PRESET_SET) return E_INVALIDARG;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        Family(*a.node).bSetSelected = TRUE;
        return S_OK;
    }

    // The reverb presets' own switch.
    HRESULT PresetsOnOff(BOOL bOn) const
    {
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        a.node->features.rvx.bPresetsEnabled = bOn;
        PostPreset(KVHINT_ONOFF, bOn ? 1 : 0);
        return S_OK;
    }
    HRESULT PresetsEnabled(BOOL* pb) const
    {
        if (!pb) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        *pb = a.node->features.rvx.bPresetsEnabled ? TRUE : FALSE;
        return S_OK;
    }

    void RestoreFeature(int nNode, Node& node) override
    {
        RestorePresets(nNode, node, m_kind);
        if (m_kind == PresetKind::Reverb) RestorePart(nNode, node, Part::ReverbPresetsOnOff);
    }

    PresetKind m_kind = PresetKind::EQ;
};

// Narrow out-buffers are the address of a pointer to the caller's buffer.
char* NarrowBuffer(char** pp) { return pp ? *pp : nullptr; }
size_t NarrowCap(char** pp) { return NarrowBuffer(pp) ? size_t{KV_PRESET_KEY_CB_NARROW} : 0; }
TextOut NarrowKeyOut(char** pp) { return NarrowOut(NarrowBuffer(pp), NarrowCap(pp)); }
TextOut CountedOut(KVCOUNTEDSTR* p)
{
    return (p && p->psz) ? NarrowOut(p->psz, p->cbCapacity) : TextOut{};
}

// ---- Equalizer presets ------------------------------------------------------------

class CSimEQPresetU final : public CSimObject<ISNDIEQPresetU, CPresetSupport> {
public:
    explicit CSimEQPresetU(const CNodeRef& ref) { BindPresets(ref, Iface::EQPresetU, Source::EQPresetU, PresetKind::EQ); }

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    HRESULT STDMETHODCALLTYPE EnumPreset(UINT nIndex, DWORD* pdwKind, LPWSTR pszKey) override
    {
        FAULT(7);
        return EnumKey(nIndex, pdwKind, WideOut(pszKey, pszKey ? kvsim::kKeyCch : 0));
    }
    HRESULT STDMETHODCALLTYPE GetActivePreset(LPWSTR pszKey) override
    {
        FAULT(8);
        return ActiveKey(WideOut(pszKey, pszKey ? kvsim::kKeyCch : 0));
    }
    HRESULT STDMETHODCALLTYPE SetActivePreset(LPCWSTR pszKey) override
    {
        FAULT(9);
        return pszKey ? SetActive(WideKey(pszKey)) : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE DeletePreset(LPCWSTR pszKey) override
    {
        FAULT(10);
        return pszKey ? Delete(WideKey(pszKey)) : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE SavePreset(DWORD, DWORD, DWORD dwKind, LPCWSTR pszName, LPWSTR pszNewKey) override
    {
        FAULT(11);
        if (!pszName) return E_POINTER;
        return Save(dwKind, std::wstring(pszName, wcsnlen(pszName, kvsim::kNameCch - 1)),
                    WideOut(pszNewKey, pszNewKey ? kvsim::kKeyCch : 0));
    }
    KVSIM_UNUSED(12)
    HRESULT STDMETHODCALLTYPE SetPresetConfig(const KVPRESETCONFIG* pConfig) override { FAULT(13); return Config(pConfig); }
    HRESULT STDMETHODCALLTYPE GetPresetName(LPCWSTR pszKey, LPWSTR pszName) override
    {
        FAULT(14);
        if (!pszKey) return E_POINTER;
        return Name(WideKey(pszKey), WideOut(pszName, pszName ? size_t{KV_PRESET_NAME_CCH} : 0));
    }
    HRESULT STDMETHODCALLTYPE SetLanguageConfig(DWORD dwLanguage) override { FAULT(15); return Language(dwLanguage); }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIEQPresetU) {
            *ppUnk = static_cast<ISNDIEQPresetU*>(this);
            return S_OK;
        }
        return FindSupport(riid, ppUnk);
    }
};

class CSimEQPreset final : public CSimObject<ISNDIEQPreset, CPresetSupport> {
public:
    explicit CSimEQPreset(const CNodeRef& ref) { BindPresets(ref, Iface::EQPreset, Source::EQPreset, PresetKind::EQ); }

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    HRESULT STDMETHODCALLTYPE EnumPreset(UINT nIndex, DWORD* pdwKind, char** ppszKey) override
    {
        FAULT(7);
        return EnumKey(nIndex, pdwKind, NarrowKeyOut(ppszKey));
    }
    HRESULT STDMETHODCALLTYPE GetActivePreset(char** ppszKey) override { FAULT(8); return ActiveKey(NarrowKeyOut(ppszKey)); }
    HRESULT STDMETHODCALLTYPE SetActivePreset(const char* pszKey) override
    {
        FAULT(9);
        return pszKey ? SetActive(NarrowKey(pszKey)) : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE DeletePreset(const char* pszKey) override
    {
        FAULT(10);
        return pszKey ? Delete(NarrowKey(pszKey)) : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE SavePreset(DWORD, DWORD, DWORD dwKind, KVCOUNTEDSTR* pName, char** ppszNewKey) override
    {
        FAULT(11);
        if (!pName || (pName->cbCapacity && !pName->psz)) return E_POINTER;
        return Save(dwKind, AnsiToWide(pName->psz, pName->cbCapacity), NarrowKeyOut(ppszNewKey));
    }
    KVSIM_UNUSED(12)
    HRESULT STDMETHODCALLTYPE SetPresetConfig(const KVPRESETCONFIG* pConfig) override { FAULT(13); return Config(pConfig); }
    HRESULT STDMETHODCALLTYPE GetPresetName(const char* pszKey, KVCOUNTEDSTR* pName) override
    {
        FAULT(14);
        if (!pszKey) return E_POINTER;
        return Name(NarrowKey(pszKey), CountedOut(pName));
    }
    HRESULT STDMETHODCALLTYPE SetLanguageConfig(DWORD dwLanguage) override { FAULT(15); return Language(dwLanguage); }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIEQPreset) {
            *ppUnk = static_cast<ISNDIEQPreset*>(this);
            return S_OK;
        }
        return FindSupport(riid, ppUnk);
    }
};

// ---- Reverb presets -----------------------------------------------------------------
// Each item of the list is a wide preset object over the node's reverb
// presets, with its own rank and mode.

class CSimRvxPresetU final : public CSimObject<ISNDIRVXPresetU, CPresetSupport> {
public:
    CSimRvxPresetU(const CNodeRef& ref, int nItem)
    {
        BindPresets(ref, Iface::RVXPresetU, Source::RVXPresetU, PresetKind::Reverb, nItem);
    }

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    HRESULT STDMETHODCALLTYPE EnumPreset(UINT nIndex, DWORD* pdwKind, LPWSTR pszKey) override
    {
        FAULT(7);
        return EnumKey(nIndex, pdwKind, WideOut(pszKey, pszKey ? kvsim::kKeyCch : 0));
    }
    HRESULT STDMETHODCALLTYPE GetActivePreset(LPWSTR pszKey) override
    {
        FAULT(8);
        return ActiveKey(WideOut(pszKey, pszKey ? kvsim::kKeyCch : 0));
    }
    HRESULT STDMETHODCALLTYPE SetActivePreset(LPCWSTR pszKey) override
    {
        FAULT(9);
        return pszKey ? SetActive(WideKey(pszKey)) : E_POINTER;
    }
    KVSIM_UNUSED(10)
    KVSIM_UNUSED(11)
    KVSIM_UNUSED(12)
    HRESULT STDMETHODCALLTYPE SetPresetConfig(const KVPRESETCONFIG* pConfig) override { FAULT(13); return Config(pConfig); }
    HRESULT STDMETHODCALLTYPE GetPresetName(LPCWSTR pszKey, LPWSTR pszName) override
    {
        FAULT(14);
        if (!pszKey) return E_POINTER;
        return Name(WideKey(pszKey), WideOut(pszName, pszName ? size_t{KV_PRESET_NAME_CCH} : 0));
    }
    HRESULT STDMETHODCALLTYPE SetLanguageConfig(DWORD dwLanguage) override { FAULT(15); return Language(dwLanguage); }
    HRESULT STDMETHODCALLTYPE SelectPresetSet(const GUID* pSet) override { FAULT(16); return SelectSet(pSet); }
    HRESULT STDMETHODCALLTYPE Enable() override { FAULT(17); return PresetsOnOff(TRUE); }
    HRESULT STDMETHODCALLTYPE Disable() override { FAULT(18); return PresetsOnOff(FALSE); }
    HRESULT STDMETHODCALLTYPE IsEnabled(BOOL* pb) override { FAULT(19); return PresetsEnabled(pb); }
    HRESULT STDMETHODCALLTYPE GetPresetInfo(DWORD* pdwRank, DWORD* pdwMode) override
    {
        FAULT(20);
        if (!pdwRank || !pdwMode) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        const kvsim::Reverb& r = a.node->features.rvx;
        if (m_nSub >= r.nItems) return KVSIM_E_INVALIDATED;
        *pdwRank = r.items[m_nSub].dwRank;
        *pdwMode = r.items[m_nSub].dwMode;
        return S_OK;
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIRVXPresetU) {
            *ppUnk = static_cast<ISNDIRVXPresetU*>(this);
            return S_OK;
        }
        return FindSupport(riid, ppUnk);
    }
};

class CSimRvxPresetList final : public CSimObject<ISNDIRVXPresetList, CPresetSupport> {
public:
    explicit CSimRvxPresetList(const CNodeRef& ref)
    {
        BindPresets(ref, Iface::RVXPresetList, Source::RVXPresetU, PresetKind::Reverb);
    }

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    HRESULT STDMETHODCALLTYPE GetItem(UINT nIndex, ISNDIRVXPresetU** ppItem) override
    {
        FAULT(7);
        if (!ppItem) return E_POINTER;
        *ppItem = nullptr;
        {
            CNodeAccess a(m_ref);
            if (FAILED(a.hr)) return a.hr;
            int n = a.node->features.rvx.nItems;
            if (a.node->quirks.bEndlessPresets && n > 0) nIndex %= static_cast<UINT>(n);
            if (nIndex >= static_cast<UINT>(n)) return KVSIM_E_NOMORE;
        }
        return CreateAndQuery<CSimRvxPresetU>(IID_ISNDIRVXPresetU, reinterpret_cast<void**>(ppItem), m_ref,
                                              static_cast<int>(nIndex));
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIRVXPresetList) {
            *ppUnk = static_cast<ISNDIRVXPresetList*>(this);
            return S_OK;
        }
        return FindSupport(riid, ppUnk);
    }
};

class CSimRvxPreset final : public CSimObject<ISNDIRVXPreset, CPresetSupport> {
public:
    explicit CSimRvxPreset(const CNodeRef& ref)
    {
        BindPresets(ref, Iface::RVXPreset, Source::RVXPreset, PresetKind::Reverb);
    }

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    HRESULT STDMETHODCALLTYPE EnumPreset(UINT nIndex, DWORD* pdwKind, char** ppszKey) override
    {
        FAULT(7);
        return EnumKey(nIndex, pdwKind, NarrowKeyOut(ppszKey));
    }
    HRESULT STDMETHODCALLTYPE GetActivePreset(char** ppszKey) override { FAULT(8); return ActiveKey(NarrowKeyOut(ppszKey)); }
    HRESULT STDMETHODCALLTYPE SetActivePreset(const char* pszKey) override
    {
        FAULT(9);
        return pszKey ? SetActive(NarrowKey(pszKey)) : E_POINTER;
    }
    KVSIM_UNUSED(10)
    KVSIM_UNUSED(11)
    KVSIM_UNUSED(12)
    HRESULT STDMETHODCALLTYPE SetPresetConfig(const KVPRESETCONFIG* pConfig) override { FAULT(13); return Config(pConfig); }
    HRESULT STDMETHODCALLTYPE SelectPresetSet(const GUID* pSet) override { FAULT(14); return SelectSet(pSet); }
    HRESULT STDMETHODCALLTYPE Enable() override { FAULT(15); return PresetsOnOff(TRUE); }
    HRESULT STDMETHODCALLTYPE Disable() override { FAULT(16); return PresetsOnOff(FALSE); }
    HRESULT STDMETHODCALLTYPE IsEnabled(BOOL* pb) override { FAULT(17); return PresetsEnabled(pb); }
    HRESULT STDMETHODCALLTYPE GetPresetName(const char* pszKey, KVCOUNTEDSTR* pName) override
    {
        FAULT(18);
        if (!pszKey) return E_POINTER;
        return Name(NarrowKey(pszKey), CountedOut(pName));
    }
    HRESULT STDMETHODCALLTYPE SetLanguageConfig(DWORD dwLanguage) override { FAULT(19); return Language(dwLanguage); }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIRVXPreset) {
            *ppUnk = static_cast<ISNDIRVXPreset*>(this);
            return S_OK;
        }
        return FindSupport(riid, ppUnk);
    }
};

}  // namespace

HRESULT CreatePresetFeature(const CNodeRef& ref, const Node& node, REFIID riid, void** ppv)
{
    const kvsim::Features& f = node.features;
    if (riid == IID_ISNDIEQPresetU && f.eqPresets.bWide) return CreateAndQuery<CSimEQPresetU>(riid, ppv, ref);
    if (riid == IID_ISNDIEQPreset && f.eqPresets.bNarrow) return CreateAndQuery<CSimEQPreset>(riid, ppv, ref);
    if (riid == IID_ISNDIRVXPresetList && f.rvxPresets.bWide) return CreateAndQuery<CSimRvxPresetList>(riid, ppv, ref);
    if (riid == IID_ISNDIRVXPreset && f.rvxPresets.bNarrow) return CreateAndQuery<CSimRvxPreset>(riid, ppv, ref);
    return E_NOINTERFACE;
}

}  // namespace simdrv
