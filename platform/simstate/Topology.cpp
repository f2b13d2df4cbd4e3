// Topology files: parsing, loading into the shared block, and the dump that
// writes the state back out in the same format. The format is described at
// the top of platform/simdriver/topologies/default.kvtopo.
#include "SimInternal.h"

#include "features/KVDriverTypes.h"

#ifdef KVSIM_HAVE_MMDEV
#include "MMDevRegistry.h"
#endif

#include <cstring>
#include <memory>
#include <vector>

namespace kvsim {

const char* DefaultTopologyText()
{
    return
#include "DefaultTopology.inc"
        ;
}

namespace detail {

namespace {

const wchar_t kCustom[] = L"<Custom>";

// Thrown by the parser's helpers and caught once in ParseTopology.
struct Refusal {
    std::wstring what;
};

struct Token {
    std::wstring key;     // the word, or the part before '='
    std::wstring value;
    bool bHasValue = false;
};

[[noreturn]] void Refuse(int nLine, const std::wstring& what)
{
    throw Refusal{Format(L"line %d: ", nLine) + what};
}

// Splits one line into words and key=value pairs. Double quotes group text
// with spaces; "" inside quotes is a quote; '#' outside quotes starts a comment.
std::vector<Token> Tokenize(const std::wstring& line, int nLine)
{
    std::vector<Token> out;
    size_t i = 0;
    for (;;) {
        while (i < line.size() && iswspace(line[i]))
            ++i;
        if (i >= line.size() || line[i] == L'#')
            break;
        Token t;
        std::wstring* pPart = &t.key;
        bool bQuoted = false;
        for (; i < line.size(); ++i) {
            wchar_t c = line[i];
            if (bQuoted) {
                if (c != L'"')
                    *pPart += c;
                else if (i + 1 < line.size() && line[i + 1] == L'"')
                    *pPart += c, ++i;
                else
                    bQuoted = false;
            } else if (c == L'"') {
                bQuoted = true;
            } else if (iswspace(c) || c == L'#') {
                break;
            } else if (c == L'=' && !t.bHasValue) {
                t.bHasValue = true;
                pPart = &t.value;
            } else {
                *pPart += c;
            }
        }
        if (bQuoted)
            Refuse(nLine, L"a quote is not closed");
        if (t.bHasValue && t.key.empty())
            Refuse(nLine, L"'=' without a name before it");
        out.push_back(std::move(t));
    }
    return out;
}

// The arguments of one line after its keyword; every one must be used.
class Args {
public:
    Args(std::vector<Token> tokens, int nLine, const std::wstring& keyword)
        : m_tokens(std::move(tokens)), m_used(m_tokens.size()), m_nLine(nLine), m_keyword(keyword)
    {
        for (size_t i = 0; i < m_tokens.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (m_tokens[i].bHasValue && m_tokens[j].bHasValue && _wcsicmp(m_tokens[i].key.c_str(), m_tokens[j].key.c_str()) == 0)
                    Fail(Format(L"%ls is given twice", m_tokens[i].key.c_str()));
    }

    [[noreturn]] void Fail(const std::wstring& what) const { Refuse(m_nLine, what); }
    int Line() const { return m_nLine; }

    size_t PositionalCount() const
    {
        size_t n = 0;
        for (const Token& t : m_tokens)
            n += !t.bHasValue;
        return n;
    }

    const std::wstring& Positional(size_t n)
    {
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            if (!m_tokens[i].bHasValue && n-- == 0) {
                m_used[i] = true;
                return m_tokens[i].key;
            }
        }
        Fail(m_keyword + L" needs more values");
    }

    const std::wstring* Find(const wchar_t* key)
    {
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            if (m_tokens[i].bHasValue && _wcsicmp(m_tokens[i].key.c_str(), key) == 0) {
                m_used[i] = true;
                return &m_tokens[i].value;
            }
        }
        return nullptr;
    }

    const std::wstring& Need(const wchar_t* key)
    {
        const std::wstring* p = Find(key);
        if (!p)
            Fail(Format(L"%ls needs %ls=", m_keyword.c_str(), key));
        return *p;
    }

    BOOL Bool(const wchar_t* key, BOOL bDefault)
    {
        const std::wstring* p = Find(key);
        BOOL b = bDefault;
        if (p && !ParseBool(*p, &b))
            Fail(Format(L"%ls=%ls is not 0 or 1", key, p->c_str()));
        return b;
    }

    DWORD UInt(const wchar_t* key, DWORD dwDefault)
    {
        const std::wstring* p = Find(key);
        DWORD v = dwDefault;
        if (p && !ParseUInt(*p, &v))
            Fail(Format(L"%ls=%ls is not a whole number", key, p->c_str()));
        return v;
    }

    LONG Int(const wchar_t* key, LONG nDefault)
    {
        const std::wstring* p = Find(key);
        LONG v = nDefault;
        if (p && !ParseInt(*p, &v))
            Fail(Format(L"%ls=%ls is not a whole number", key, p->c_str()));
        return v;
    }

    // A value that must lie within r.
    float Float(const wchar_t* key, const Range& r)
    {
        const std::wstring* p = Find(key);
        float f = r.fMin > 0 ? r.fMin : (r.fMax < 0 ? r.fMax : 0.0f);
        if (p && !ParseFloat(*p, &f))
            Fail(Format(L"%ls=%ls is not a number", key, p->c_str()));
        if (f < r.fMin || f > r.fMax)
            Fail(Format(L"%ls=%ls is outside %ls..%ls", key, FormatFloat(f).c_str(), FormatFloat(r.fMin).c_str(),
                        FormatFloat(r.fMax).c_str()));
        return f;
    }

    // min:max:step with an optional fourth value.
    Range RangeOf(const wchar_t* key, bool bRequired)
    {
        Range r = {};
        const std::wstring* p = bRequired ? &Need(key) : Find(key);
        if (!p)
            return r;
        float v[4] = {};
        int n = 0;
        size_t start = 0;
        for (;;) {
            size_t colon = p->find(L':', start);
            std::wstring part = p->substr(start, colon == std::wstring::npos ? std::wstring::npos : colon - start);
            if (n == 4 || !ParseFloat(part, &v[n]))
                Fail(Format(L"%ls=%ls is not min:max:step", key, p->c_str()));
            ++n;
            if (colon == std::wstring::npos)
                break;
            start = colon + 1;
        }
        if (n < 3)
            Fail(Format(L"%ls=%ls is not min:max:step", key, p->c_str()));
        if (v[0] > v[1] || v[2] < 0)
            Fail(Format(L"%ls=%ls: the minimum is above the maximum or the step is negative", key, p->c_str()));
        return Range{v[0], v[1], v[2], v[3]};
    }

    // Text that must fit cch units including the NUL.
    std::wstring Text(const std::wstring& text, const wchar_t* what, int cch) const
    {
        if (int(text.size()) > cch - 1)
            Fail(Format(L"%ls is %d characters long; at most %d fit", what, int(text.size()), cch - 1));
        return text;
    }

    void Ansi(const std::wstring& text, const wchar_t* what, char* pDst, int cb) const
    {
        if (!ToAnsi(text, pDst, cb))
            Fail(Format(L"%ls \"%ls\" is longer than %d bytes", what, text.c_str(), cb - 1));
    }

    void Done() const
    {
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            if (m_used[i])
                continue;
            if (m_tokens[i].bHasValue)
                Fail(Format(L"%ls has no setting '%ls'", m_keyword.c_str(), m_tokens[i].key.c_str()));
            Fail(Format(L"unexpected '%ls' after %ls", m_tokens[i].key.c_str(), m_keyword.c_str()));
        }
    }

private:
    std::vector<Token> m_tokens;
    std::vector<bool> m_used;
    int m_nLine;
    std::wstring m_keyword;
};

// Which block the last feature line opened, for its sub-lines.
enum class Group { None, Upmix, Eq, EqPresets, Reverb, RvxPresets, Speakers };

class Parser {
public:
    // Reset in place: a Topology temporary would not fit on a thread's stack.
    explicit Parser(Topology* pOut) : m_t(*pOut)
    {
        m_t.mode = DriverMode::Endpoint;
        m_t.nNodes = 0;
    }

    void Line(const std::wstring& text, int nLine)
    {
        std::vector<Token> tokens = Tokenize(text, nLine);
        if (tokens.empty())
            return;
        if (tokens[0].bHasValue)
            Refuse(nLine, Format(L"a line starts with a keyword, not '%ls='", tokens[0].key.c_str()));
        std::wstring kw = tokens[0].key;
        tokens.erase(tokens.begin());
        Args a(std::move(tokens), nLine, kw);
        if (kw == L"mode")
            Mode(a);
        else if (kw == L"endpoint" || kw == L"device")
            BeginNode(a, kw == L"device");
        else if (!m_pNode)
            Refuse(nLine, IsNodeKeyword(kw) ? Format(L"'%ls' belongs inside an endpoint or device", kw.c_str())
                                            : Format(L"unknown keyword '%ls'", kw.c_str()));
        else
            NodeLine(kw, a);
        a.Done();
    }

    void Finish()
    {
        if (m_pNode)
            FinishNode();
    }

private:
    static bool IsNodeKeyword(const std::wstring& kw)
    {
        static const wchar_t* const k[] = {L"id", L"name", L"form-factor", L"adaptor", L"instance-path",
                                           L"state", L"format", L"quirks", L"agc", L"bassboost", L"bassmgmt",
                                           L"subwoofer", L"mixer", L"pdp", L"upmix", L"element", L"eq", L"band",
                                           L"eqpresets", L"preset", L"reverb", L"item", L"rvxpresets",
                                           L"speakers", L"layout"};
        for (const wchar_t* p : k)
            if (kw == p)
                return true;
        return false;
    }

    void Mode(Args& a)
    {
        if (m_pNode)
            a.Fail(L"mode belongs before the first endpoint or device");
        const std::wstring& m = a.Positional(0);
        if (m == L"endpoint")
            m_t.mode = DriverMode::Endpoint;
        else if (m == L"device")
            m_t.mode = DriverMode::DeviceOnly;
        else if (m == L"none")
            m_t.mode = DriverMode::None;
        else
            a.Fail(Format(L"mode is endpoint, device or none, not '%ls'", m.c_str()));
    }

    void BeginNode(Args& a, bool bDevice)
    {
        if (m_pNode)
            FinishNode();
        if (m_t.nNodes == kMaxNodes)
            a.Fail(Format(L"more than %d endpoints and devices", kMaxNodes));
        Node& n = m_t.nodes[m_t.nNodes++];
        memset(&n, 0, sizeof(n));
        m_pNode = &n;
        m_nNodeLine = a.Line();
        m_group = Group::None;
        m_nEqActiveLine = m_nRvxActiveLine = m_nSelectedLine = m_nCurrentLine = 0;
        n.bUsed = TRUE;
        n.kind = bDevice ? NodeKind::Device : NodeKind::Endpoint;
        n.state = NodeState::Active;
        n.format = DeviceFormat{2, 0x3, 48000, TRUE};
        n.features.upmix.nSelected = -1;
        wcscpy(n.features.eqPresets.szActive, kCustom);
        wcscpy(n.features.rvxPresets.szActive, kCustom);

        const std::wstring& alias = a.Positional(0);
        if (alias.empty() || alias.size() >= size_t(kAliasCch))
            a.Fail(Format(L"a short name of 1 to %d characters follows '%ls'", kAliasCch - 1, bDevice ? L"device" : L"endpoint"));
        for (wchar_t c : alias)
            if (!iswalnum(c) && c != L'-' && c != L'_')
                a.Fail(Format(L"short name '%ls': letters, digits, '-' and '_' only", alias.c_str()));
        for (int i = 0; i < m_t.nNodes - 1; ++i)
            if (_wcsicmp(m_t.nodes[i].szAlias, alias.c_str()) == 0)
                a.Fail(Format(L"the short name '%ls' is already used", alias.c_str()));
        wcscpy(n.szAlias, alias.c_str());
        if (!bDevice) {
            const std::wstring& flow = a.Positional(1);
            if (flow == L"render")
                n.flow = Flow::Render;
            else if (flow == L"capture")
                n.flow = Flow::Capture;
            else
                a.Fail(Format(L"an endpoint is render or capture, not '%ls'", flow.c_str()));
        }
        n.dwFormFactor = n.flow == Flow::Capture ? 4 : 1;   // microphone, speakers
    }

    // The id must name the flow, and Wine matches the GUID in upper case only.
    std::wstring EndpointId(Args& a, const std::wstring& id)
    {
        const wchar_t* prefix = m_pNode->flow == Flow::Render ? L"{0.0.0.00000000}." : L"{0.0.1.00000000}.";
        GUID g;
        if (id.size() != 17 + 38 || id.compare(0, 17, prefix) != 0 || !ParseGuid(id.substr(17), &g))
            a.Fail(Format(L"a %ls endpoint's id is %ls{GUID}, not '%ls'",
                          m_pNode->flow == Flow::Render ? L"render" : L"capture", prefix, id.c_str()));
        return prefix + GuidText(g);
    }

    void NodeLine(const std::wstring& kw, Args& a)
    {
        Node& n = *m_pNode;
        Features& f = n.features;
        Group group = m_group;
        m_group = Group::None;
        if (kw == L"id") {
            if (n.kind == NodeKind::Device)
                a.Fail(L"a device is known by its name; it has no id");
            wcscpy(n.szId, EndpointId(a, a.Positional(0)).c_str());
        } else if (kw == L"name") {
            std::wstring name = a.Text(a.Positional(0), L"the name", kNameCch);
            if (n.kind == NodeKind::Device)
                wcscpy(n.szId, a.Text(name, L"a device name", kIdCch).c_str());
            wcscpy(n.szName, name.c_str());
        } else if (kw == L"form-factor") {
            n.dwFormFactor = PositionalUInt(a, 0);
        } else if (kw == L"adaptor") {
            wcscpy(n.szAdaptor, a.Text(a.Positional(0), L"the adaptor id", kIdCch).c_str());
        } else if (kw == L"instance-path") {
            wcscpy(n.szInstancePath, a.Text(a.Positional(0), L"the instance path", kPathCch).c_str());
        } else if (kw == L"state") {
            const std::wstring& s = a.Positional(0);
            if (s == L"active")
                n.state = NodeState::Active;
            else if (s == L"unplugged")
                n.state = NodeState::Unplugged;
            else
                a.Fail(Format(L"state is active or unplugged, not '%ls'", s.c_str()));
        } else if (kw == L"format") {
            DeviceFormat& d = n.format;
            DWORD ch = a.UInt(L"channels", 2);
            d.dwChannelMask = a.UInt(L"mask", ch == 2 ? 0x3 : 0);
            d.dwSampleRate = a.UInt(L"rate", 48000);
            d.bExtensible = a.Bool(L"extensible", TRUE);
            std::wstring why;
            if (!CheckFormat(ch, d.dwChannelMask, d.dwSampleRate, &why))
                a.Fail(why);
            d.wChannels = WORD(ch);
        } else if (kw == L"quirks") {
            for (size_t i = 0, c = a.PositionalCount(); i < c; ++i) {
                const std::wstring& q = a.Positional(i);
                BOOL* p = QuirkFlag(n.quirks, q);
                if (!p)
                    a.Fail(Format(L"unknown quirk '%ls'", q.c_str()));
                *p = TRUE;
            }
        } else if (kw == L"agc") {
            f.agc = Toggle{TRUE, a.Bool(L"enabled", FALSE)};
        } else if (kw == L"bassboost") {
            ScalarLine(a, f.bassBoost.level);
            f.bassBoost.freqRange = a.RangeOf(L"freq-range", true);
            f.bassBoost.fFreq = a.Float(L"freq", f.bassBoost.freqRange);
        } else if (kw == L"bassmgmt") {
            ScalarLine(a, f.bassManagement);
        } else if (kw == L"pdp") {
            ScalarLine(a, f.pdp);
        } else if (kw == L"subwoofer") {
            f.subWoofer.bPresent = TRUE;
            f.subWoofer.range = a.RangeOf(L"range", true);
            f.subWoofer.dwState = a.Bool(L"state", FALSE);
        } else if (kw == L"mixer") {
            MixerLine(a, f.mixer);
        } else if (kw == L"upmix") {
            f.upmix.bPresent = TRUE;
            f.upmix.bEnabled = a.Bool(L"enabled", FALSE);
            f.upmix.nSelected = a.Int(L"selected", -1);
            m_nSelectedLine = a.Line();
            m_group = Group::Upmix;
        } else if (kw == L"element") {
            Expect(a, group, Group::Upmix, L"upmix");
            ElementLine(a, f.upmix);
        } else if (kw == L"eq") {
            f.eq.bPresent = TRUE;
            f.eq.bEnabled = a.Bool(L"enabled", FALSE);
            f.eq.preampRange = a.RangeOf(L"preamp-range", true);
            f.eq.fPreamp = a.Float(L"preamp", f.eq.preampRange);
            m_group = Group::Eq;
        } else if (kw == L"band") {
            Expect(a, group, Group::Eq, L"eq");
            BandLine(a, f.eq);
        } else if (kw == L"eqpresets" || kw == L"rvxpresets") {
            bool bEq = kw == L"eqpresets";
            FamilyLine(a, bEq ? f.eqPresets : f.rvxPresets);
            (bEq ? m_nEqActiveLine : m_nRvxActiveLine) = a.Line();
            m_group = bEq ? Group::EqPresets : Group::RvxPresets;
        } else if (kw == L"preset") {
            if (group != Group::EqPresets && group != Group::RvxPresets)
                a.Fail(L"preset belongs after an eqpresets or rvxpresets line");
            PresetLine(a, group == Group::EqPresets);
            m_group = group;
        } else if (kw == L"reverb") {
            ScalarLine(a, f.rvx.env);
            f.rvx.bPresetsEnabled = a.Bool(L"presets-enabled", FALSE);
            m_group = Group::Reverb;
        } else if (kw == L"item") {
            Expect(a, group, Group::Reverb, L"reverb");
            ItemLine(a, f.rvx);
        } else if (kw == L"speakers") {
            f.speakers.dwVersion = a.UInt(L"version", 2);
            if (f.speakers.dwVersion < 1 || f.speakers.dwVersion > 2)
                a.Fail(L"speakers version is 1 or 2");
            f.speakers.nCurrent = a.UInt(L"current", 0);
            m_nCurrentLine = a.Line();
            m_group = Group::Speakers;
        } else if (kw == L"layout") {
            Expect(a, group, Group::Speakers, L"speakers");
            LayoutLine(a, f.speakers);
        } else {
            a.Fail(Format(L"unknown keyword '%ls'", kw.c_str()));
        }
    }

    void Expect(Args& a, Group have, Group want, const wchar_t* opener)
    {
        if (have != want)
            a.Fail(Format(L"this line belongs after a %ls line", opener));
        m_group = want;
    }

    DWORD PositionalUInt(Args& a, size_t n)
    {
        const std::wstring& s = a.Positional(n);
        DWORD v;
        if (!ParseUInt(s, &v))
            a.Fail(Format(L"'%ls' is not a whole number", s.c_str()));
        return v;
    }

    void ScalarLine(Args& a, Scalar& s)
    {
        s.bPresent = TRUE;
        s.bEnabled = a.Bool(L"enabled", FALSE);
        s.range = a.RangeOf(L"range", true);
        s.fValue = a.Float(L"value", s.range);
    }

    void MixerLine(Args& a, MixerFx& m)
    {
        m.bPresent = TRUE;
        for (LONG& l : m.nLevel)
            l = 100;
        const std::wstring* p = a.Find(L"levels");
        if (!p)
            return;
        size_t start = 0;
        for (int i = 0;; ++i) {
            size_t comma = p->find(L',', start);
            std::wstring part = p->substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
            LONG v;
            if (i == kMaxSpeakers)
                a.Fail(Format(L"more than %d mixer levels", kMaxSpeakers));
            if (!ParseInt(part, &v) || v < 0 || v > 100)
                a.Fail(Format(L"mixer level '%ls' is not a percentage", part.c_str()));
            m.nLevel[i] = v;
            if (comma == std::wstring::npos)
                break;
            start = comma + 1;
        }
    }

    void ElementLine(Args& a, Upmix& u)
    {
        if (u.nElements == kMaxElements)
            a.Fail(Format(L"more than %d upmix elements", kMaxElements));
        Element& e = u.elements[u.nElements++];
        e.dwType = a.UInt(L"type", KV_ELEMENT_VSUR);
        e.bAccessDenied = a.Bool(L"access-denied", FALSE);
        e.bVsur3 = a.Bool(L"vsur3", FALSE);
        e.range = a.RangeOf(L"range", e.bVsur3 != FALSE);
        e.fValue = a.Float(L"value", e.range);
        e.dwMode = a.UInt(L"mode", 0);
    }

    void BandLine(Args& a, Equalizer& eq)
    {
        if (eq.nBands == kMaxBands)
            a.Fail(Format(L"more than %d equalizer bands", kMaxBands));
        Band& b = eq.bands[eq.nBands++];
        a.Ansi(a.Need(L"label"), L"the band label", b.szLabel, sizeof(b.szLabel));
        b.range = a.RangeOf(L"range", true);
        b.fLevel = a.Float(L"level", b.range);
    }

    void FamilyLine(Args& a, PresetFamily& p)
    {
        p.bWide = a.Bool(L"wide", TRUE);
        p.bNarrow = a.Bool(L"narrow", FALSE);
        if (const std::wstring* active = a.Find(L"active"))
            wcscpy(p.szActive, a.Text(*active, L"the active key", kKeyCch).c_str());
        p.dwLanguage = a.UInt(L"language", 0);
    }

    void PresetLine(Args& a, bool bEq)
    {
        Features& f = m_pNode->features;
        PresetFamily& fam = bEq ? f.eqPresets : f.rvxPresets;
        if (fam.nPresets == kMaxPresets)
            a.Fail(Format(L"more than %d presets", kMaxPresets));
        Preset& p = fam.presets[fam.nPresets];
        memset(&p, 0, sizeof(p));
        std::wstring key = a.Text(a.Need(L"key"), L"the preset key", kKeyCch);
        if (key.empty() || key == kCustom)
            a.Fail(Format(L"'%ls' cannot be a preset key", key.c_str()));
        char narrow[KV_PRESET_KEY_CB_NARROW];
        if (fam.bNarrow)
            a.Ansi(key, L"a narrow preset key", narrow, sizeof(narrow));
        for (int i = 0; i < fam.nPresets; ++i)
            if (_wcsicmp(fam.presets[i].szKey, key.c_str()) == 0)
                a.Fail(Format(L"the preset key '%ls' is already used", key.c_str()));
        wcscpy(p.szKey, key.c_str());
        wcscpy(p.szName, a.Text(a.Need(L"name"), L"the preset name", kNameCch).c_str());
        const std::wstring& kind = a.Need(L"kind");
        if (kind == L"builtin" || kind == L"1")
            p.dwKind = KV_PRESET_BUILTIN;
        else if (kind == L"user" || kind == L"2")
            p.dwKind = KV_PRESET_USER;
        else
            a.Fail(Format(L"kind is builtin or user, not '%ls'", kind.c_str()));
        if (bEq) {
            if (const std::wstring* levels = a.Find(L"levels"))
                PresetLevels(a, *levels, p);
            p.fPreamp = a.Float(L"preamp", f.eq.bPresent ? f.eq.preampRange : Range{-1e30f, 1e30f, 0, 0});
        } else {
            p.fValue = a.Float(L"value", f.rvx.env.bPresent ? f.rvx.env.range : Range{-1e30f, 1e30f, 0, 0});
        }
        fam.nPresets++;
    }

    void PresetLevels(Args& a, const std::wstring& text, Preset& p)
    {
        const Equalizer& eq = m_pNode->features.eq;
        size_t start = 0;
        for (int i = 0;; ++i) {
            size_t comma = text.find(L',', start);
            std::wstring part = text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
            if (i >= eq.nBands)
                a.Fail(Format(L"more levels than the %d equalizer bands above", eq.nBands));
            float v;
            if (!ParseFloat(part, &v) || v < eq.bands[i].range.fMin || v > eq.bands[i].range.fMax)
                a.Fail(Format(L"level '%ls' of band %d is not a number within the band's range", part.c_str(), i));
            p.fLevels[i] = v;
            if (comma == std::wstring::npos)
                break;
            start = comma + 1;
        }
    }

    void ItemLine(Args& a, Reverb& r)
    {
        if (r.nItems == kMaxRvxItems)
            a.Fail(Format(L"more than %d reverb items", kMaxRvxItems));
        RvxItem& it = r.items[r.nItems++];
        it.dwRank = a.UInt(L"rank", 0);
        it.dwMode = a.UInt(L"mode", KV_RVX_MODE_DEFAULT);
        if (it.dwMode != KV_RVX_MODE_DEFAULT && it.dwMode != KV_RVX_MODE_FOLLOWS_ENV)
            a.Fail(L"an item's mode is 4096 or 8192");
    }

    void LayoutLine(Args& a, SpeakerConfig& sc)
    {
        if (sc.nLayouts == kMaxSpeakerLayouts)
            a.Fail(Format(L"more than %d speaker layouts", kMaxSpeakerLayouts));
        SpeakerLayout& l = sc.layouts[sc.nLayouts++];
        a.Ansi(a.Need(L"name"), L"the layout name", l.szName, sizeof(l.szName));
        l.dwSpeakers = a.UInt(L"speakers", 2);
        l.dwLFE = a.UInt(L"lfe", 0);
        const std::wstring& fmt = a.Need(L"format");
        if (!FormatFromText(fmt, &l.guidFormat))
            a.Fail(Format(L"format '%ls' is neither a layout name nor a {GUID}", fmt.c_str()));
    }

    void CheckActive(const PresetFamily& p, int nLine)
    {
        if (wcscmp(p.szActive, kCustom) == 0 || FindExtraPreset(*m_pNode, p, p.szActive, false))
            return;
        for (int i = 0; i < p.nPresets; ++i)
            if (_wcsicmp(p.presets[i].szKey, p.szActive) == 0)
                return;
        Refuse(nLine, Format(L"the active preset '%ls' is not among the presets", p.szActive));
    }

    void FinishNode()
    {
        Node& n = *m_pNode;
        Features& f = n.features;
        if (!n.szId[0])
            Refuse(m_nNodeLine, Format(L"'%ls' has no %ls", n.szAlias, n.kind == NodeKind::Device ? L"name" : L"id"));
        if (!n.szName[0])
            Refuse(m_nNodeLine, Format(L"'%ls' has no name", n.szAlias));
        for (int i = 0; i < m_t.nNodes - 1; ++i)
            if (_wcsicmp(m_t.nodes[i].szId, n.szId) == 0)
                Refuse(m_nNodeLine, Format(L"'%ls' has the same id as '%ls': %ls", n.szAlias, m_t.nodes[i].szAlias, n.szId));
        if (!n.szInstancePath[0])
            wcscpy(n.szInstancePath, n.szAdaptor);
        if (f.upmix.nSelected < -1 || f.upmix.nSelected >= f.upmix.nElements)
            Refuse(m_nSelectedLine, Format(L"selected=%d but there are %d elements", f.upmix.nSelected, f.upmix.nElements));
        if (f.speakers.dwVersion && f.speakers.nCurrent >= UINT(f.speakers.nLayouts) &&
            (f.speakers.nLayouts || f.speakers.nCurrent != 0))
            Refuse(m_nCurrentLine, Format(L"current=%u but there are %d layouts", f.speakers.nCurrent, f.speakers.nLayouts));
        CheckActive(f.eqPresets, m_nEqActiveLine);
        CheckActive(f.rvxPresets, m_nRvxActiveLine);
        for (PresetFamily* p : {&f.eqPresets, &f.rvxPresets}) {
            p->nNextUserKey = 1;
            for (int i = 0; i < p->nPresets; ++i)
                p->nNextUserKey += p->presets[i].dwKind == KV_PRESET_USER;
        }
        // Adaptors are shared by their endpoints; the block holds only so many.
        std::vector<std::wstring> adaptors;
        for (int i = 0; i < m_t.nNodes; ++i) {
            const wchar_t* id = m_t.nodes[i].szAdaptor;
            bool bKnown = !id[0];
            for (const std::wstring& a : adaptors)
                bKnown = bKnown || _wcsicmp(a.c_str(), id) == 0;
            if (!bKnown)
                adaptors.push_back(id);
        }
        if (adaptors.size() > size_t(kMaxAdaptors))
            Refuse(m_nNodeLine, Format(L"more than %d adaptors", kMaxAdaptors));
        m_pNode = nullptr;
    }

    Topology& m_t;
    Node* m_pNode = nullptr;
    int m_nNodeLine = 0;
    Group m_group = Group::None;
    int m_nEqActiveLine = 0, m_nRvxActiveLine = 0, m_nSelectedLine = 0, m_nCurrentLine = 0;
};

bool SameEndpointLook(const Node& a, const Node& b)
{
    return a.state == b.state && a.format.wChannels == b.format.wChannels &&
           a.format.dwChannelMask == b.format.dwChannelMask && a.format.dwSampleRate == b.format.dwSampleRate &&
           a.format.bExtensible == b.format.bExtensible && a.dwFormFactor == b.dwFormFactor &&
           wcscmp(a.szName, b.szName) == 0;
}

}  // namespace

bool CheckFormat(DWORD dwChannels, DWORD dwMask, DWORD dwRate, std::wstring* pWhy)
{
    if (dwChannels < 1 || dwChannels > 32)
        *pWhy = Format(L"%lu channels: 1 to 32 are possible", dwChannels);
    else if (dwMask && DWORD(__builtin_popcount(dwMask)) != dwChannels)
        *pWhy = Format(L"channel mask 0x%lx names %d speakers, not %lu", dwMask, __builtin_popcount(dwMask), dwChannels);
    else if (dwRate < 8000 || dwRate > 384000)
        *pWhy = Format(L"sample rate %lu: 8000 to 384000 are possible", dwRate);
    else
        return true;
    return false;
}

bool ParseTopology(const wchar_t* text, Topology* pOut, std::wstring* pError)
{
    try {
        Parser p(pOut);
        int nLine = 1;
        for (const wchar_t* s = text;; ++nLine) {
            const wchar_t* e = s;
            while (*e && *e != L'\n')
                ++e;
            std::wstring line(s, e);
            if (!line.empty() && line.back() == L'\r')
                line.pop_back();
            p.Line(line, nLine);
            if (!*e)
                break;
            s = e + 1;
        }
        p.Finish();
        return true;
    } catch (const Refusal& r) {
        *pError = r.what;
        return false;
    }
}

void PublishEndpoint(const Node& n)
{
#ifdef KVSIM_HAVE_MMDEV
    if (n.kind != NodeKind::Endpoint)
        return;
    HRESULT hr = MMDevRegisterEndpoint(n.szId, n.flow == Flow::Capture, n.szName, n.dwFormFactor, n.format.wChannels,
                                       n.format.dwChannelMask, n.format.dwSampleRate, n.state == NodeState::Active,
                                       n.format.bExtensible != FALSE);
    if (FAILED(hr))
        OutputDebugStringW(Format(L"kvsim: publishing %ls failed: 0x%08lx\n", n.szId, hr).c_str());
#else
    (void)n;
#endif
}

// Only the endpoints this instance published before are taken away, so that
// another instance's endpoints in the same prefix stay.
static void UnpublishEndpoint(const wchar_t* id)
{
#ifdef KVSIM_HAVE_MMDEV
    MMDevRemoveEndpoint(id);
#else
    (void)id;
#endif
}

void ApplyTopology(const Topology& t, const wchar_t* sourceName)
{
    SharedState& s = *State();
    auto old = std::make_unique<Node[]>(kMaxNodes);
    for (int i = 0; i < kMaxNodes; ++i)
        old[i] = s.nodes[i];

    s.mode = t.mode;
    s.generation++;
    memset(s.nodes, 0, sizeof(s.nodes));
    memset(s.adaptors, 0, sizeof(s.adaptors));
    CopyText(s.szTopologyName, kPathCch, sourceName);
    int nAdaptors = 0;
    for (int i = 0; i < t.nNodes; ++i) {
        Node& n = s.nodes[i];
        n = t.nodes[i];
        n.bUsed = TRUE;
        n.dwSerial = DWORD(s.generation) * kMaxNodes + DWORD(i) + 1;
        n.defaults = n.features;
        if (n.szAdaptor[0] && FindAdaptor(s, n.szAdaptor) < 0 && nAdaptors < kMaxAdaptors)
            wcscpy(s.adaptors[nAdaptors++].szId, n.szAdaptor);
    }

    // The endpoint library hears what appeared, went or changed, by id.
    for (int i = 0; i < kMaxNodes; ++i) {
        const Node& o = old[i];
        if (o.bUsed && o.kind == NodeKind::Endpoint) {
            int j = FindNodeById(s, o.szId);
            if (j < 0 || s.nodes[j].kind != NodeKind::Endpoint) {
                UnpublishEndpoint(o.szId);
                AppendEvent(-1, Source::Topology, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 2);
            }
        }
    }
    for (int i = 0; i < t.nNodes; ++i) {
        const Node& n = s.nodes[i];
        if (n.kind != NodeKind::Endpoint)
            continue;
        PublishEndpoint(n);
        int j = -1;
        for (int k = 0; k < kMaxNodes && j < 0; ++k)
            if (old[k].bUsed && old[k].kind == NodeKind::Endpoint && _wcsicmp(old[k].szId, n.szId) == 0)
                j = k;
        if (j < 0)
            AppendEvent(-1, Source::Topology, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0);
        else if (!SameEndpointLook(old[j], n))
            AppendEvent(-1, Source::Topology, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 3);
    }
    AppendEvent(-1, Source::EndpointEnum, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0);
    AppendEvent(-1, Source::DeviceEnum, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0);
    WakeReaders();
}

// ---- Writing the state back out ------------------------------------------------

namespace {

std::wstring Quote(const std::wstring& s)
{
    bool bPlain = !s.empty();
    for (wchar_t c : s)
        bPlain = bPlain && !iswspace(c) && c != L'"' && c != L'#' && c != L'=';
    if (bPlain)
        return s;
    std::wstring out = L"\"";
    for (wchar_t c : s)
        out += c == L'"' ? std::wstring(L"\"\"") : std::wstring(1, c);
    return out + L"\"";
}

std::wstring RangeText(const Range& r)
{
    std::wstring s = FormatFloat(r.fMin) + L":" + FormatFloat(r.fMax) + L":" + FormatFloat(r.fStep);
    return r.fExtra != 0 ? s + L":" + FormatFloat(r.fExtra) : s;
}

std::wstring ScalarText(const wchar_t* kw, const Scalar& s)
{
    return Format(L"    %ls enabled=%d range=%ls value=%ls", kw, s.bEnabled ? 1 : 0, RangeText(s.range).c_str(),
                  FormatFloat(s.fValue).c_str());
}

void WriteFamily(std::wstring& o, const wchar_t* kw, const PresetFamily& p, bool bEq, int nBands)
{
    o += Format(L"    %ls wide=%d narrow=%d active=%ls language=%lu\n", kw, p.bWide ? 1 : 0, p.bNarrow ? 1 : 0,
                Quote(p.szActive).c_str(), p.dwLanguage);
    for (int i = 0; i < p.nPresets; ++i) {
        const Preset& r = p.presets[i];
        o += Format(L"        preset key=%ls name=%ls kind=%ls", Quote(r.szKey).c_str(), Quote(r.szName).c_str(),
                    r.dwKind == KV_PRESET_USER ? L"user" : L"builtin");
        if (bEq) {
            if (nBands > 0) {
                o += L" levels=";
                for (int b = 0; b < nBands; ++b)
                    o += (b ? L"," : L"") + FormatFloat(r.fLevels[b]);
            }
            o += L" preamp=" + FormatFloat(r.fPreamp);
        } else {
            o += L" value=" + FormatFloat(r.fValue);
        }
        o += L"\n";
    }
}

void WriteNode(std::wstring& o, const Node& n)
{
    const Features& f = n.features;
    if (n.kind == NodeKind::Device) {
        o += Format(L"device %ls\n    name %ls\n", n.szAlias, Quote(n.szName).c_str());
    } else {
        o += Format(L"endpoint %ls %ls\n    id %ls\n    name %ls\n", n.szAlias,
                    n.flow == Flow::Capture ? L"capture" : L"render", n.szId, Quote(n.szName).c_str());
    }
    o += Format(L"    form-factor %lu\n", n.dwFormFactor);
    if (n.szAdaptor[0])
        o += Format(L"    adaptor %ls\n", Quote(n.szAdaptor).c_str());
    if (n.szInstancePath[0])
        o += Format(L"    instance-path %ls\n", Quote(n.szInstancePath).c_str());
    o += Format(L"    state %ls\n", n.state == NodeState::Unplugged ? L"unplugged" : L"active");
    o += Format(L"    format channels=%u mask=0x%lx rate=%lu%ls\n", n.format.wChannels, n.format.dwChannelMask,
                n.format.dwSampleRate, n.format.bExtensible ? L"" : L" extensible=0");
    Quirks quirks = n.quirks;
    std::wstring q;
    for (int i = 0; i < kQuirkCount; ++i)
        if (*QuirkFlagAt(quirks, i))
            q += std::wstring(L" ") + kQuirkNames[i];
    if (!q.empty())
        o += L"    quirks" + q + L"\n";
    if (f.agc.bPresent)
        o += Format(L"    agc enabled=%d\n", f.agc.bEnabled ? 1 : 0);
    if (f.bassBoost.level.bPresent)
        o += ScalarText(L"bassboost", f.bassBoost.level) + L" freq-range=" + RangeText(f.bassBoost.freqRange) +
             L" freq=" + FormatFloat(f.bassBoost.fFreq) + L"\n";
    if (f.bassManagement.bPresent)
        o += ScalarText(L"bassmgmt", f.bassManagement) + L"\n";
    if (f.subWoofer.bPresent)
        o += Format(L"    subwoofer range=%ls state=%lu\n", RangeText(f.subWoofer.range).c_str(), f.subWoofer.dwState);
    if (f.mixer.bPresent) {
        o += L"    mixer levels=";
        for (int i = 0; i < kMaxSpeakers; ++i)
            o += Format(i ? L",%ld" : L"%ld", f.mixer.nLevel[i]);
        o += L"\n";
    }
    if (f.pdp.bPresent)
        o += ScalarText(L"pdp", f.pdp) + L"\n";
    if (f.upmix.bPresent) {
        o += Format(L"    upmix enabled=%d selected=%d\n", f.upmix.bEnabled ? 1 : 0, f.upmix.nSelected);
        for (int i = 0; i < f.upmix.nElements; ++i) {
            const Element& e = f.upmix.elements[i];
            o += Format(L"        element type=%lu access-denied=%d vsur3=%d range=%ls value=%ls mode=%lu\n", e.dwType,
                        e.bAccessDenied ? 1 : 0, e.bVsur3 ? 1 : 0, RangeText(e.range).c_str(),
                        FormatFloat(e.fValue).c_str(), e.dwMode);
        }
    }
    if (f.eq.bPresent) {
        o += Format(L"    eq enabled=%d preamp-range=%ls preamp=%ls\n", f.eq.bEnabled ? 1 : 0,
                    RangeText(f.eq.preampRange).c_str(), FormatFloat(f.eq.fPreamp).c_str());
        for (int i = 0; i < f.eq.nBands; ++i) {
            const Band& b = f.eq.bands[i];
            o += Format(L"        band label=%ls range=%ls level=%ls\n", Quote(FromAnsi(b.szLabel, sizeof(b.szLabel))).c_str(),
                        RangeText(b.range).c_str(), FormatFloat(b.fLevel).c_str());
        }
    }
    if (f.eqPresets.bWide || f.eqPresets.bNarrow || f.eqPresets.nPresets)
        WriteFamily(o, L"eqpresets", f.eqPresets, true, f.eq.nBands);
    if (f.rvx.env.bPresent) {
        o += ScalarText(L"reverb", f.rvx.env) + Format(L" presets-enabled=%d\n", f.rvx.bPresetsEnabled ? 1 : 0);
        for (int i = 0; i < f.rvx.nItems; ++i)
            o += Format(L"        item rank=%lu mode=%lu\n", f.rvx.items[i].dwRank, f.rvx.items[i].dwMode);
    }
    if (f.rvxPresets.bWide || f.rvxPresets.bNarrow || f.rvxPresets.nPresets)
        WriteFamily(o, L"rvxpresets", f.rvxPresets, false, 0);
    if (f.speakers.dwVersion) {
        o += Format(L"    speakers version=%lu current=%u\n", f.speakers.dwVersion, f.speakers.nCurrent);
        for (int i = 0; i < f.speakers.nLayouts; ++i) {
            const SpeakerLayout& l = f.speakers.layouts[i];
            const wchar_t* name = FormatName(l.guidFormat);
            o += Format(L"        layout name=%ls speakers=%lu lfe=%lu format=%ls\n",
                        Quote(FromAnsi(l.szName, sizeof(l.szName))).c_str(), l.dwSpeakers, l.dwLFE,
                        name ? name : GuidText(l.guidFormat).c_str());
        }
    }
    o += Format(L"    # serial %lu, restores %lu, preset restores %lu, eq preset config calls %lu, reverb set selected %d\n",
                n.dwSerial, n.dwRestoreCount, n.dwPresetRestoreCount, f.eqPresets.dwConfigCalls,
                f.rvxPresets.bSetSelected ? 1 : 0);
}

}  // namespace
}  // namespace detail

bool LoadTopologyText(const wchar_t* text, const wchar_t* sourceName, wchar_t* pError, int cchError)
{
    if (!Open()) {
        detail::SetError(pError, cchError, L"the simulated driver's state cannot be opened");
        return false;
    }
    auto t = std::make_unique<detail::Topology>();
    std::wstring error;
    if (!detail::ParseTopology(text, t.get(), &error)) {
        detail::SetError(pError, cchError, error);
        return false;
    }
    StateLock lock;
    detail::ApplyTopology(*t, sourceName ? sourceName : L"");
    return true;
}

bool LoadTopologyFile(const wchar_t* path, wchar_t* pError, int cchError)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        detail::SetError(pError, cchError, detail::Format(L"cannot open %ls (error %lu)", path, GetLastError()));
        return false;
    }
    LARGE_INTEGER size = {};
    GetFileSizeEx(h, &size);
    std::string bytes;
    bool bRead = size.QuadPart <= (4 << 20);
    if (bRead) {
        bytes.resize(size_t(size.QuadPart));
        DWORD cb = 0;
        bRead = ReadFile(h, bytes.data(), DWORD(bytes.size()), &cb, nullptr) && cb == bytes.size();
    }
    CloseHandle(h);
    if (!bRead) {
        detail::SetError(pError, cchError, detail::Format(L"cannot read %ls (over 4 MB or a read error)", path));
        return false;
    }
    std::wstring text;
    if (bytes.size() >= 2 && BYTE(bytes[0]) == 0xFF && BYTE(bytes[1]) == 0xFE) {
        text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    } else {
        size_t skip = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        int cch = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + skip, int(bytes.size() - skip), nullptr, 0);
        if (cch == 0 && bytes.size() > skip) {
            detail::SetError(pError, cchError, detail::Format(L"%ls is neither UTF-8 nor UTF-16", path));
            return false;
        }
        text.resize(cch);
        if (cch)
            MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, int(bytes.size() - skip), text.data(), cch);
    }
    if (text.find(L'\0') != std::wstring::npos) {
        detail::SetError(pError, cchError, detail::Format(L"%ls holds a NUL character", path));
        return false;
    }
    return LoadTopologyText(text.c_str(), path, pError, cchError);
}

bool LoadDefaultTopology(wchar_t* pError, int cchError)
{
    return LoadTopologyText(detail::FromUtf8(DefaultTopologyText()).c_str(), L"(built-in default)", pError, cchError);
}

int Describe(wchar_t* pBuffer, int cchBuffer)
{
    std::wstring o;
    if (!Open()) {
        o = L"# the simulated driver's state cannot be opened\n";
        detail::CopyText(pBuffer, cchBuffer, o.c_str());
        return int(o.size());
    }
    {
        StateLock lock;
        const SharedState& s = *detail::State();
        o += detail::Format(L"# instance %ls, loaded from %ls, generation %llu\n", InstanceName(), s.szTopologyName,
                            s.generation);
        o += detail::Format(L"# events %llu posted (%llu kept), next cookie %lu\n", s.nextSeq,
                            s.nextSeq - s.firstSeq < ULONGLONG(kEventRing) ? s.nextSeq - s.firstSeq : ULONGLONG(kEventRing),
                            s.dwNextCookie);
        for (const Fault& f : s.faults) {
            if (!f.bUsed)
                continue;
            o += detail::Format(L"# fault %ls slot %lu node %ls -> 0x%08lx, %ls\n", IfaceName(f.iface), f.dwSlot,
                                f.nNode < 0 ? L"any" : s.nodes[f.nNode].szAlias, f.hr,
                                f.nRemaining < 0 ? L"until cleared" : detail::Format(L"%ld more", f.nRemaining).c_str());
        }
        for (const Waker& w : s.wakers)
            if (w.bUsed)
                o += detail::Format(L"# event reader: process %lu, reader %lu\n", w.dwPid, w.dwSerial);
        for (int i = 0; i < kMaxAdaptors; ++i)
            if (s.adaptors[i].szId[0])
                o += detail::Format(L"# adaptor %ls: restores %lu, preset restores %lu\n", s.adaptors[i].szId,
                                    s.adaptors[i].dwRestoreCount, s.adaptors[i].dwPresetRestoreCount);
        o += detail::Format(L"mode %ls\n", DriverModeName(s.mode));
        for (const Node& n : s.nodes) {
            if (n.bUsed) {
                o += L"\n";
                detail::WriteNode(o, n);
            }
        }
    }
    detail::CopyText(pBuffer, cchBuffer, o.c_str());
    return int(o.size());
}

}  // namespace kvsim
