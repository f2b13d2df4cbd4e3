// Preset collections of the equalizer and the reverb, in the driver's wide
// (UTF-16) or narrow (ANSI code page) flavour.
#pragma once

#include "features/SNDIBase.h"

#include <vector>

inline constexpr wchar_t kCustomPresetW[] = L"<Custom>";
inline constexpr char kCustomPresetA[] = "<Custom>";

// One entry of a page's preset list.
class CPreset
{
public:
    static constexpr UINT kNameChars = 128;
    static constexpr UINT kWideKeyChars = KV_PRESET_KEY_CB_WIDE / sizeof(wchar_t);

    // Keys and names are read from driver buffers of the given capacity and
    // cut to fit ours; a missing terminator is tolerated. Null on low memory.
    static CPreset* CreateWide(const wchar_t* pszKey, UINT cchKeyBuffer, const wchar_t* pszName,
                               UINT cchNameBuffer, DWORD dwKind);
    static CPreset* CreateNarrow(const char* pszKey, UINT cbKeyBuffer, const wchar_t* pszName,
                                 UINT cchNameBuffer, DWORD dwKind);
    virtual ~CPreset();

    CPreset(const CPreset&) = delete;
    CPreset& operator=(const CPreset&) = delete;

    const wchar_t* WideKey() const { return m_bWide ? static_cast<const wchar_t*>(m_pKey) : nullptr; }
    const char* NarrowKey() const { return m_bWide ? nullptr : static_cast<const char*>(m_pKey); }

    void* m_pKey = nullptr;
    DWORD m_cbKey = 0;             // 320 wide, 128 narrow
    wchar_t m_szName[kNameChars] = {};
    DWORD m_dwKind = 0;            // 1 built-in, 2 user
    DWORD m_bWide = 0;

private:
    CPreset() = default;
};

typedef std::vector<CPreset*> CPresetList;
void ClearPresetList(CPresetList& list);

// Text in the narrow flavour: converted with the ANSI code page only up to
// 259 characters, one byte per UTF-16 unit plus the terminator; a longer text
// goes as an empty counted buffer.
class CNarrowText
{
public:
    static constexpr size_t kMaxChars = 259;
    explicit CNarrowText(const wchar_t* pszText);
    ~CNarrowText();
    CNarrowText(const CNarrowText&) = delete;
    CNarrowText& operator=(const CNarrowText&) = delete;

    KVCOUNTEDSTR* Counted() { return &m_counted; }
    const char* Text() const { return m_counted.psz ? m_counted.psz : ""; }

private:
    KVCOUNTEDSTR m_counted = {0, nullptr};
};

// Narrow text from the driver, at most cbBuffer bytes, to UTF-16 cut to
// cchOut - 1 characters and terminated.
void NarrowToWide(const char* pszText, size_t cbBuffer, wchar_t* pszOut, size_t cchOut);

// Holds whichever flavour is bound; the subscription interface is that one.
template <class TNarrow, class TWide>
class CSNDIPresetFlavours : public CSNDIBase
{
public:
    ~CSNDIPresetFlavours() override { ReleaseFlavours(); }
    using CSNDIBase::Init;
    BOOL Uninit() override
    {
        ReleaseFlavours();
        return CSNDIBase::Uninit();
    }

    TNarrow* m_pNarrow = nullptr;
    TWide* m_pWide = nullptr;

protected:
    BOOL BindBoundFlavour()
    {
        m_pUnknown = m_pWide ? static_cast<IUnknown*>(m_pWide) : static_cast<IUnknown*>(m_pNarrow);
        if (!m_pUnknown)
            return FALSE;
        m_pUnknown->AddRef();
        return TRUE;
    }

private:
    void ReleaseFlavours()
    {
        SafeRelease(m_pWide);
        SafeRelease(m_pNarrow);
        UnadviseAll();
        ReleaseUnknown();
    }
};

class CSNDIEQPresetU : public CSNDIPresetFlavours<ISNDIEQPreset, ISNDIEQPresetU>
{
public:
    BOOL Init(IKVDevice* pDevice, DWORD dwReserved, IKVEndpoint* pEndpoint);
    using CSNDIPresetFlavours::Init;
    HRESULT IsNamedPresetActive(BOOL* pbNamed);
};

class CSNDIRVXPresetU : public CSNDIPresetFlavours<ISNDIRVXPreset, ISNDIRVXPresetU>
{
public:
    // A list that never ends is cut here.
    static constexpr UINT kMaxListItems = 256;

    BOOL Init(IKVDevice* pDevice, DWORD dwReserved, IKVEndpoint* pEndpoint);
    using CSNDIPresetFlavours::Init;
    // The bound wide item reports mode 8192: the presets are switched on and
    // off with the environment. Never so for the narrow flavour.
    BOOL FollowsEnvironment() const;
};

// Fills a page's list from the bound flavour: configuration, (reverb) preset
// set, language, then one entry per EnumPreset until it or GetPresetName
// fails, or kMaxEnumerated entries were asked for. Returns the status that
// ended the walk before any entry (S_OK once the walk started).
inline constexpr UINT kMaxEnumerated = 1024;

// Sees each step of a walk, so a page can trace what the driver answered.
class CPresetEnumObserver
{
public:
    virtual ~CPresetEnumObserver() = default;
    virtual void OnConfig(HRESULT) {}
    virtual void OnLanguage(DWORD /*dwLanguage*/, HRESULT) {}
    virtual void OnEnumPreset(UINT /*nIndex*/, HRESULT) {}
    virtual void OnPresetName(UINT /*nIndex*/, HRESULT, const wchar_t* /*pszName*/) {}
};

HRESULT EnumEQPresets(CSNDIEQPresetU* pPresets, DWORD dwLanguage, CPresetList& list,
                      CPresetEnumObserver* pObserver = nullptr);
HRESULT EnumRVXPresets(CSNDIRVXPresetU* pPresets, DWORD dwLanguage, CPresetList& list,
                       CPresetEnumObserver* pObserver = nullptr);

// The same walk over the configuration and language already set, taking
// only entries of dwOnlyKind (0: all); the others are not asked for names.
HRESULT ListEQPresets(CSNDIEQPresetU* pPresets, DWORD dwOnlyKind, CPresetList& list);

// The index of the active preset in a list of the bound flavour, or -1.
HRESULT FindActiveEQPreset(CSNDIEQPresetU* pPresets, const CPresetList& list, int* pnIndex);
HRESULT FindActiveRVXPreset(CSNDIRVXPresetU* pPresets, const CPresetList& list, int* pnIndex);
