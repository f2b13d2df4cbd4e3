// Settings by name: what another application, the control tool and tests
// change "from outside", each change announced as the driver's own
// interfaces would announce it.
#include "SimInternal.h"

#include "features/KVDriverTypes.h"

#include <cmath>
#include <cstring>
#include <cwchar>
#include <vector>

namespace kvsim {

namespace detail {
namespace {

const wchar_t kCustom[] = L"<Custom>";

enum class Kind { Bool, DwordBool, Float, Percent, Selected, Current, Mode, Key, Quirk };
enum class Arg { Fixed, Value, EqOnOff };

// One named setting of one node: where it lives, what it accepts, what it posts.
struct Target {
    Kind kind = Kind::Bool;
    void* p = nullptr;
    Range range = {};
    int nChoices = 0;              // Selected, Current
    PresetFamily* pFamily = nullptr;
    bool bEqFamily = false;
    Source source = Source::AGC;
    int nSub = 0;
    UINT dwHint = 0;
    UINT dwArg = 0;
    Arg arg = Arg::Fixed;
};

std::vector<std::wstring> Split(const std::wstring& name)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = name.find(L'.', start);
        parts.push_back(name.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start));
        if (dot == std::wstring::npos)
            return parts;
        start = dot + 1;
    }
}

bool Index(const std::wstring& text, int nCount, int* pIndex)
{
    DWORD v;
    if (!ParseUInt(text, &v) || v >= DWORD(nCount))
        return false;
    *pIndex = int(v);
    return true;
}

Target OnOff(BOOL* p, Source source)
{
    Target t;
    t.kind = Kind::Bool;
    t.p = p;
    t.source = source;
    t.dwHint = KVHINT_ONOFF;
    t.arg = Arg::Value;
    return t;
}

Target Value(float* p, const Range& r, Source source, UINT dwHint, UINT dwArg = 0)
{
    Target t;
    t.kind = Kind::Float;
    t.p = p;
    t.range = r;
    t.source = source;
    t.dwHint = dwHint;
    t.dwArg = dwArg;
    return t;
}

// Finds the setting; on failure says whether the feature or the name is missing.
bool Resolve(Node& n, const std::wstring& name, Target* pT, std::wstring* pWhy)
{
    Features& f = n.features;
    std::vector<std::wstring> p = Split(name);
    const std::wstring& a = p[0];
    const std::wstring b = p.size() > 1 ? p[1] : L"";
    auto Absent = [&](const wchar_t* what) {
        *pWhy = Format(L"%ls has no %ls", n.szAlias, what);
        return false;
    };
    Target& t = *pT;
    int i = 0;
    if (a == L"agc" && p.size() == 2 && b == L"enabled") {
        if (!f.agc.bPresent)
            return Absent(L"volume levelling (agc)");
        t = OnOff(&f.agc.bEnabled, Source::AGC);
        return true;
    }
    if ((a == L"bassboost" || a == L"bassmgmt" || a == L"pdp" || a == L"reverb") && p.size() == 2) {
        Scalar& s = a == L"bassboost" ? f.bassBoost.level : a == L"bassmgmt" ? f.bassManagement : a == L"pdp" ? f.pdp : f.rvx.env;
        Source src = a == L"bassboost" ? Source::BassBoost : a == L"bassmgmt" ? Source::BassManagement
                   : a == L"pdp" ? Source::Pdp : Source::RVXEnvironment;
        if (!s.bPresent)
            return Absent(a.c_str());
        if (b == L"enabled")
            t = OnOff(&s.bEnabled, src);
        else if (b == L"value")
            t = Value(&s.fValue, s.range, src, KVHINT_VALUE);
        else if (b == L"freq" && a == L"bassboost")
            t = Value(&f.bassBoost.fFreq, f.bassBoost.freqRange, src, KVHINT_FREQUENCY);
        else
            return false;
        return true;
    }
    if (a == L"subwoofer" && p.size() == 2 && b == L"state") {
        if (!f.subWoofer.bPresent)
            return Absent(L"subwoofer gain");
        t.kind = Kind::DwordBool;
        t.p = &f.subWoofer.dwState;
        t.source = Source::SubWooferGain;
        t.dwHint = KVHINT_STATE;
        t.arg = Arg::Value;
        return true;
    }
    if (a == L"mixer" && p.size() == 2) {
        if (!f.mixer.bPresent)
            return Absent(L"mixer");
        if (!Index(b, kMaxSpeakers, &i))
            return *pWhy = Format(L"mixer levels are mixer.0 to mixer.%d", kMaxSpeakers - 1), false;
        t.kind = Kind::Percent;
        t.p = &f.mixer.nLevel[i];
        t.source = Source::MixerFx;
        t.dwHint = KVHINT_VALUE;
        t.dwArg = UINT(i);
        return true;
    }
    if (a == L"upmix") {
        Upmix& u = f.upmix;
        if (!u.bPresent)
            return Absent(L"upmix");
        if (p.size() == 2 && b == L"enabled") {
            t = OnOff(&u.bEnabled, Source::Upmix);
            return true;
        }
        if (p.size() == 2 && b == L"selected") {
            t.kind = Kind::Selected;
            t.p = &u.nSelected;
            t.nChoices = u.nElements;
            t.source = Source::Upmix;
            t.dwHint = KVHINT_SELECT;
            t.arg = Arg::Value;
            return true;
        }
        if (p.size() == 4 && b == L"element") {
            if (!Index(p[2], u.nElements, &i))
                return *pWhy = Format(L"%ls has elements 0 to %d", n.szAlias, u.nElements - 1), false;
            Element& e = u.elements[i];
            if (p[3] == L"value") {
                t = Value(&e.fValue, e.range, Source::Element, KVHINT_VALUE, UINT(i));
            } else if (p[3] == L"mode") {
                t.kind = Kind::Mode;
                t.p = &e.dwMode;
                t.source = Source::Element;
                t.dwHint = KVHINT_MODE;
                t.arg = Arg::Value;
            } else {
                return false;
            }
            t.nSub = i;
            return true;
        }
        return false;
    }
    if (a == L"eq") {
        Equalizer& eq = f.eq;
        if (!eq.bPresent)
            return Absent(L"equalizer (eq)");
        if (p.size() == 2 && b == L"enabled") {
            t = OnOff(&eq.bEnabled, Source::EQ);
            t.dwHint = KVEQ_ONOFF;
            t.arg = Arg::EqOnOff;
            return true;
        }
        if (p.size() == 2 && b == L"preamp") {
            t = Value(&eq.fPreamp, eq.preampRange, Source::EQ, KVEQ_PREAMP);
            return true;
        }
        if (p.size() == 3 && b == L"band") {
            if (!Index(p[2], eq.nBands, &i))
                return *pWhy = Format(L"%ls has bands 0 to %d", n.szAlias, eq.nBands - 1), false;
            t = Value(&eq.bands[i].fLevel, eq.bands[i].range, Source::EQ, KVEQ_BAND, UINT(i));
            return true;
        }
        return false;
    }
    if ((a == L"eqpresets" || a == L"rvxpresets") && p.size() == 2) {
        bool bEq = a == L"eqpresets";
        PresetFamily& fam = bEq ? f.eqPresets : f.rvxPresets;
        if (!fam.bWide && !fam.bNarrow)
            return Absent(bEq ? L"equalizer presets" : L"reverb presets");
        if (b == L"active") {
            t.kind = Kind::Key;
            t.pFamily = &fam;
            t.bEqFamily = bEq;
            return true;
        }
        if (b == L"enabled" && !bEq) {
            t = OnOff(&f.rvx.bPresetsEnabled, Source::RVXPresetU);
            t.pFamily = &fam;   // both reverb preset sources hear it
            return true;
        }
        return false;
    }
    if (a == L"speakers" && p.size() == 2 && b == L"current") {
        if (!f.speakers.dwVersion)
            return Absent(L"speaker configuration");
        t.kind = Kind::Current;
        t.p = &f.speakers.nCurrent;
        t.nChoices = f.speakers.nLayouts;
        t.source = Source::SpkConfig;
        t.dwHint = KVHINT_CURRENT;
        t.arg = Arg::Value;
        return true;
    }
    if (a == L"quirk" && p.size() == 2) {
        BOOL* q = QuirkFlag(n.quirks, b);
        if (!q)
            return *pWhy = Format(L"unknown quirk '%ls' (%ls)", b.c_str(), QuirkNameList().c_str()), false;
        t.kind = Kind::Quirk;
        t.p = q;
        return true;
    }
    return false;
}

bool ResolveOrSay(Node& n, const std::wstring& name, Target* pT, std::wstring* pWhy)
{
    if (Resolve(n, name, pT, pWhy))
        return true;
    if (pWhy->empty())
        *pWhy = Format(L"unknown setting '%ls' (kvsim get %ls lists them)", name.c_str(), n.szAlias);
    return false;
}

std::wstring ValueText(const Node& n, const Target& t)
{
    switch (t.kind) {
    case Kind::Bool:
    case Kind::Quirk: return *static_cast<BOOL*>(t.p) ? L"1" : L"0";
    case Kind::DwordBool:
    case Kind::Mode: return Format(L"%lu", *static_cast<DWORD*>(t.p));
    case Kind::Float: return FormatFloat(*static_cast<float*>(t.p));
    case Kind::Percent: return Format(L"%ld", *static_cast<LONG*>(t.p));
    case Kind::Selected: return Format(L"%d", *static_cast<int*>(t.p));
    case Kind::Current: return Format(L"%u", *static_cast<UINT*>(t.p));
    case Kind::Key: return t.pFamily->szActive;
    }
    return L"";
}

bool SetKey(int nNode, Node& n, const Target& t, const std::wstring& value, std::wstring* pWhy)
{
    PresetFamily& fam = *t.pFamily;
    const Preset* pPreset = nullptr;
    std::wstring key = kCustom;
    if (value != kCustom) {
        for (int i = 0; i < fam.nPresets && !pPreset; ++i)
            if (_wcsicmp(fam.presets[i].szKey, value.c_str()) == 0)
                pPreset = &fam.presets[i];
        if (pPreset) {
            key = pPreset->szKey;
        } else if (FindExtraPreset(n, fam, value.c_str(), false)) {
            key = value;   // made up: nothing to apply
        } else {
            *pWhy = Format(L"%ls has no preset '%ls' (or use %ls)", n.szAlias, value.c_str(), kCustom);
            return false;
        }
    }
    CopyText(fam.szActive, kKeyCch, key.c_str());
    PostPresetEvent(nNode, t.bEqFamily, KVPRESET_ACTIVE, 0);
    if (pPreset)
        ApplyPreset(nNode, n, *pPreset, t.bEqFamily);
    return true;
}

// Without the many-presets quirk a made-up active preset is gone; the state
// must still describe itself as a topology that loads back.
void DropVanishedActive(int nNode, Node& n)
{
    for (bool bEq : {true, false}) {
        PresetFamily& fam = bEq ? n.features.eqPresets : n.features.rvxPresets;
        bool bKnown = wcscmp(fam.szActive, kCustom) == 0 || FindExtraPreset(n, fam, fam.szActive, false);
        for (int i = 0; i < fam.nPresets && !bKnown; ++i)
            bKnown = wcscmp(fam.presets[i].szKey, fam.szActive) == 0;
        if (!bKnown) {
            CopyText(fam.szActive, kKeyCch, kCustom);
            PostPresetEvent(nNode, bEq, KVPRESET_ACTIVE, 0);
        }
    }
}

bool SetValue(int nNode, Node& n, const Target& t, const std::wstring& value, std::wstring* pWhy)
{
    UINT dwValue = 0;
    BOOL b;
    float fv;
    LONG lv;
    DWORD dv;
    switch (t.kind) {
    case Kind::Key:
        return SetKey(nNode, n, t, value, pWhy);
    case Kind::Bool:
    case Kind::Quirk:
    case Kind::DwordBool:
        if (!ParseBool(value, &b))
            return *pWhy = Format(L"'%ls' is not on or off (1 or 0)", value.c_str()), false;
        if (t.kind == Kind::DwordBool)
            *static_cast<DWORD*>(t.p) = b ? 1 : 0;
        else
            *static_cast<BOOL*>(t.p) = b;
        dwValue = b ? 1 : 0;
        break;
    case Kind::Float:
        if (!ParseFloat(value, &fv))
            return *pWhy = Format(L"'%ls' is not a number", value.c_str()), false;
        if (fv < t.range.fMin || fv > t.range.fMax)
            return *pWhy = Format(L"%ls is outside %ls..%ls", FormatFloat(fv).c_str(), FormatFloat(t.range.fMin).c_str(),
                                  FormatFloat(t.range.fMax).c_str()), false;
        *static_cast<float*>(t.p) = fv;
        break;
    case Kind::Percent:
        if (!ParseInt(value, &lv) || lv < 0 || lv > 100)
            return *pWhy = Format(L"'%ls' is not a percentage from 0 to 100", value.c_str()), false;
        *static_cast<LONG*>(t.p) = lv;
        break;
    case Kind::Selected:
        if (!ParseInt(value, &lv) || lv < -1 || lv >= t.nChoices)
            return *pWhy = Format(L"'%ls' is not -1 (none) or an element from 0 to %d", value.c_str(), t.nChoices - 1), false;
        *static_cast<int*>(t.p) = int(lv);
        dwValue = UINT(lv);
        break;
    case Kind::Current:
        if (!ParseUInt(value, &dv) || dv >= DWORD(t.nChoices))
            return *pWhy = Format(L"'%ls' is not a layout from 0 to %d", value.c_str(), t.nChoices - 1), false;
        *static_cast<UINT*>(t.p) = dv;
        dwValue = dv;
        break;
    case Kind::Mode:
        if (!ParseUInt(value, &dv))
            return *pWhy = Format(L"'%ls' is not a whole number", value.c_str()), false;
        *static_cast<DWORD*>(t.p) = dv;
        dwValue = dv;
        break;
    }
    if (t.kind == Kind::Quirk) {
        DropVanishedActive(nNode, n);
        return true;
    }
    UINT dwArg = t.arg == Arg::Value ? dwValue : t.arg == Arg::EqOnOff ? (dwValue ? UINT(KVEQ_ON) : 0u) : t.dwArg;
    if (t.pFamily)   // the reverb presets' own switch: both flavours hear it
        PostPresetEvent(nNode, false, t.dwHint, dwArg);
    else
        AppendEvent(nNode, t.source, t.nSub, EventCodeFor(t.source), t.dwHint, dwArg);
    return true;
}

// The endpoint's look to the OS changed: its store entry, the endpoint
// library and both enumerators hear of it.
void AnnounceEndpointChange(Node& n, UINT dwTopologyArg)
{
    PublishEndpoint(n);
    if (n.kind == NodeKind::Endpoint)
        AppendEvent(-1, Source::Topology, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, dwTopologyArg);
    AppendEvent(-1, Source::EndpointEnum, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0);
    AppendEvent(-1, Source::DeviceEnum, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0);
}

bool SetFormat(Node& n, const std::wstring& value, std::wstring* pWhy)
{
    std::vector<std::wstring> p;
    size_t start = 0;
    for (;;) {
        size_t colon = value.find(L':', start);
        p.push_back(value.substr(start, colon == std::wstring::npos ? std::wstring::npos : colon - start));
        if (colon == std::wstring::npos)
            break;
        start = colon + 1;
    }
    DWORD ch, mask, rate = n.format.dwSampleRate;
    if (p.size() < 2 || p.size() > 3 || !ParseUInt(p[0], &ch) || !ParseUInt(p[1], &mask) ||
        (p.size() == 3 && !ParseUInt(p[2], &rate)))
        return *pWhy = Format(L"'%ls' is not channels:mask[:rate], e.g. 6:0x3f:48000", value.c_str()), false;
    if (!CheckFormat(ch, mask, rate, pWhy))
        return false;
    n.format.wChannels = WORD(ch);
    n.format.dwChannelMask = mask;
    n.format.dwSampleRate = rate;
    AnnounceEndpointChange(n, 3);
    return true;
}

Node* UsedNode(int nNode, std::wstring* pWhy)
{
    SharedState* s = State();
    if (!s)
        return *pWhy = L"the simulated driver's state cannot be opened", nullptr;
    if (nNode < 0 || nNode >= kMaxNodes || !s->nodes[nNode].bUsed)
        return *pWhy = Format(L"there is no node %d", nNode), nullptr;
    return &s->nodes[nNode];
}

}  // namespace
}  // namespace detail

bool SetPlugged(int nNode, bool bPlugged, wchar_t* pError, int cchError)
{
    Open();
    StateLock lock;
    std::wstring why;
    Node* n = detail::UsedNode(nNode, &why);
    if (!n) {
        detail::SetError(pError, cchError, why);
        return false;
    }
    NodeState want = bPlugged ? NodeState::Active : NodeState::Unplugged;
    if (n->state == want)
        return true;
    n->state = want;
    detail::State()->generation++;
    detail::AnnounceEndpointChange(*n, bPlugged ? 0 : 2);
    detail::WakeReaders();
    return true;
}

bool SetSetting(int nNode, const wchar_t* name, const wchar_t* value, wchar_t* pError, int cchError)
{
    Open();
    StateLock lock;
    std::wstring why;
    Node* n = detail::UsedNode(nNode, &why);
    bool bDone = false;
    if (n && wcscmp(name, L"state") == 0) {
        if (wcscmp(value, L"active") == 0 || wcscmp(value, L"unplugged") == 0)
            return SetPlugged(nNode, wcscmp(value, L"active") == 0, pError, cchError);
        why = detail::Format(L"state is active or unplugged, not '%ls'", value);
    } else if (n && wcscmp(name, L"format") == 0) {
        bDone = detail::SetFormat(*n, value, &why);
    } else if (n) {
        detail::Target t;
        bDone = detail::ResolveOrSay(*n, name, &t, &why) && detail::SetValue(nNode, *n, t, value, &why);
    }
    if (!bDone) {
        detail::SetError(pError, cchError, n ? std::wstring(name) + L": " + why : why);
        return false;
    }
    detail::WakeReaders();
    return true;
}

// The speaker setup a user picks in the OS: the driver makes the first
// layout of that format current and tells its listeners, and the endpoint's
// mix format follows the new speaker count.
bool SetSpeakerLayout(int nNode, const wchar_t* format, wchar_t* pError, int cchError)
{
    struct FormatMask {
        const GUID* guid;
        DWORD dwMask;
    };
    static const FormatMask kMasks[] = {
        {&KVFMT_STEREO, 0x3},         {&KVFMT_QUAD, 0x33},          {&KVFMT_QUAD_SIDE, 0x603},
        {&KVFMT_5POINT1, 0x3F},       {&KVFMT_5POINT1_SIDE, 0x60F}, {&KVFMT_6POINT1, 0x13F},
        {&KVFMT_6POINT1_SIDE, 0x70F}, {&KVFMT_7POINT1, 0x63F},
    };
    Open();
    StateLock lock;
    std::wstring why;
    Node* n = detail::UsedNode(nNode, &why);
    GUID guid = {};
    int nLayout = -1;
    if (n && !detail::FormatFromText(format, &guid)) {
        why = detail::Format(L"'%ls' is not a layout format (stereo, quad, 5.1, 7.1, ... or a {GUID})", format);
    } else if (n && !n->features.speakers.dwVersion) {
        why = L"no speaker configuration is offered";
    } else if (n) {
        const SpeakerConfig& spk = n->features.speakers;
        const int nCount = spk.nLayouts < 0 ? 0 : (spk.nLayouts > kMaxSpeakerLayouts ? kMaxSpeakerLayouts : spk.nLayouts);
        for (int i = 0; i < nCount && nLayout < 0; ++i)
            if (IsEqualGUID(spk.layouts[i].guidFormat, guid))
                nLayout = i;
        if (nLayout < 0)
            why = detail::Format(L"no layout of format '%ls'", format);
    }
    if (nLayout < 0) {
        detail::SetError(pError, cchError, why);
        return false;
    }
    n->features.speakers.nCurrent = UINT(nLayout);
    detail::AppendEvent(nNode, Source::SpkConfig, 0, EventCodeFor(Source::SpkConfig), KVHINT_CURRENT, UINT(nLayout));
    const SpeakerLayout& l = n->features.speakers.layouts[nLayout];
    for (const FormatMask& m : kMasks) {
        if (n->kind == NodeKind::Endpoint && IsEqualGUID(*m.guid, guid) &&
            (n->format.dwChannelMask != m.dwMask || n->format.wChannels != l.dwSpeakers + l.dwLFE)) {
            n->format.wChannels = WORD(l.dwSpeakers + l.dwLFE);
            n->format.dwChannelMask = m.dwMask;
            detail::AnnounceEndpointChange(*n, 3);
        }
    }
    detail::WakeReaders();
    return true;
}

bool GetSetting(int nNode, const wchar_t* name, wchar_t* pValue, int cchValue, wchar_t* pError, int cchError)
{
    Open();
    StateLock lock;
    std::wstring why, text;
    Node* n = detail::UsedNode(nNode, &why);
    bool bDone = n != nullptr;
    if (!n) {
    } else if (wcscmp(name, L"state") == 0) {
        text = n->state == NodeState::Active ? L"active" : L"unplugged";
    } else if (wcscmp(name, L"format") == 0) {
        text = detail::Format(L"%u:0x%lx:%lu", n->format.wChannels, n->format.dwChannelMask, n->format.dwSampleRate);
    } else {
        detail::Target t;
        bDone = detail::ResolveOrSay(*n, name, &t, &why);
        if (bDone)
            text = detail::ValueText(*n, t);
    }
    if (!bDone) {
        detail::SetError(pError, cchError, n ? std::wstring(name) + L": " + why : why);
        return false;
    }
    if (int(text.size()) >= cchValue) {
        detail::SetError(pError, cchError, std::wstring(name) + L": the value does not fit the buffer");
        return false;
    }
    detail::CopyText(pValue, cchValue, text.c_str());
    return true;
}

void ListSettings(int nNode, wchar_t* pBuffer, int cchBuffer)
{
    Open();
    StateLock lock;
    std::wstring why, out;
    Node* n = detail::UsedNode(nNode, &why);
    if (n) {
        std::vector<std::wstring> names = {L"state", L"format", L"agc.enabled", L"bassboost.enabled", L"bassboost.value",
                                           L"bassboost.freq", L"bassmgmt.enabled", L"bassmgmt.value", L"subwoofer.state"};
        for (int i = 0; i < kMaxSpeakers; ++i)
            names.push_back(detail::Format(L"mixer.%d", i));
        names.insert(names.end(), {L"pdp.enabled", L"pdp.value", L"upmix.enabled", L"upmix.selected"});
        for (int i = 0; i < n->features.upmix.nElements; ++i) {
            names.push_back(detail::Format(L"upmix.element.%d.value", i));
            names.push_back(detail::Format(L"upmix.element.%d.mode", i));
        }
        names.insert(names.end(), {L"eq.enabled", L"eq.preamp"});
        for (int i = 0; i < n->features.eq.nBands; ++i)
            names.push_back(detail::Format(L"eq.band.%d", i));
        names.insert(names.end(), {L"eqpresets.active", L"reverb.enabled", L"reverb.value", L"rvxpresets.enabled",
                                   L"rvxpresets.active", L"speakers.current"});
        for (const wchar_t* q : detail::kQuirkNames)
            names.push_back(std::wstring(L"quirk.") + q);
        for (const std::wstring& name : names) {
            detail::Target t;
            std::wstring ignored;
            if (name == L"state" || name == L"format" || detail::Resolve(*n, name, &t, &ignored))
                out += name + L"\n";
        }
    }
    detail::CopyText(pBuffer, cchBuffer, out.c_str());
}

namespace {

float Clamp(const Range& r, float f)
{
    if (std::isnan(f))
        return r.fMin;
    return f < r.fMin ? r.fMin : (f > r.fMax ? r.fMax : f);
}

int StoredPresetCount(const PresetFamily& family)
{
    return family.nPresets < 0 ? 0 : (family.nPresets > kMaxPresets ? kMaxPresets : family.nPresets);
}

}  // namespace

int ReportedPresetCount(const Node& node, const PresetFamily& family)
{
    int nStored = StoredPresetCount(family);
    return node.quirks.bManyPresets && nStored < kManyPresets ? kManyPresets : nStored;
}

int FindExtraPreset(const Node& node, const PresetFamily& family, const wchar_t* text, bool bName)
{
    // "extra-NNNN" or "Extra NNNN", exactly four digits.
    const size_t cchPrefix = 6;
    if (bName ? _wcsnicmp(text, L"Extra ", cchPrefix) != 0 : wcsncmp(text, L"extra-", cchPrefix) != 0)
        return 0;
    int nExtra = 0;
    for (size_t i = cchPrefix; i < cchPrefix + 4; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return 0;
        nExtra = nExtra * 10 + (text[i] - L'0');
    }
    int nExtras = ReportedPresetCount(node, family) - StoredPresetCount(family);
    return !text[cchPrefix + 4] && nExtra >= 1 && nExtra <= nExtras ? nExtra : 0;
}

void MakeExtraPreset(int nExtra, Preset* pOut)
{
    memset(pOut, 0, sizeof(*pOut));
    _snwprintf(pOut->szKey, kKeyCch - 1, L"extra-%04d", nExtra);
    _snwprintf(pOut->szName, kNameCch - 1, L"Extra %04d", nExtra);
    pOut->dwKind = KV_PRESET_USER;
}

// The readers are woken once for the pair: every wake costs each of them a
// trip through the lock, and the slider pages post a preset change per move.
void PostPresetEvent(int nNode, bool bEqualizer, UINT dwHint, UINT dwArg)
{
    Source wide = bEqualizer ? Source::EQPresetU : Source::RVXPresetU;
    Source narrow = bEqualizer ? Source::EQPreset : Source::RVXPreset;
    detail::AppendEvent(nNode, wide, 0, EventCodeFor(wide), dwHint, dwArg);
    detail::AppendEvent(nNode, narrow, 0, EventCodeFor(narrow), dwHint, dwArg);
    detail::WakeReaders();
}

void ApplyPreset(int nNode, Node& n, const Preset& p, bool bEqualizer)
{
    Features& f = n.features;
    if (bEqualizer && f.eq.bPresent) {
        for (int b = 0; b < f.eq.nBands && b < kMaxBands; ++b)
            f.eq.bands[b].fLevel = Clamp(f.eq.bands[b].range, p.fLevels[b]);
        f.eq.fPreamp = Clamp(f.eq.preampRange, p.fPreamp);
        PostEvent(nNode, Source::EQ, 0, KVEVT_EQ, KVEQ_REFRESH, 0);
    } else if (!bEqualizer && f.rvx.env.bPresent) {
        f.rvx.env.fValue = Clamp(f.rvx.env.range, p.fValue);
        PostEvent(nNode, Source::RVXEnvironment, 0, KVEVT_RVX, KVHINT_VALUE, 0);
    }
}

}  // namespace kvsim
