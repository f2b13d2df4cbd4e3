// Topology files: the built-in default, refusals that leave the state alone,
// the events a load posts, and the dump that loads back.
#include "SimTestUtil.h"

#include "features/KVDriverTypes.h"
#include "test_support.h"

#include <cstring>
#include <string>

using namespace kvsim;
using simtest::Drain;
using simtest::Snapshot;

namespace {

const wchar_t kHead[] =
    L"mode endpoint\n"
    L"endpoint spk render\n"
    L"  id {0.0.0.00000000}.{11111111-2222-3333-4444-555555555555}\n"
    L"  name Speakers\n";

std::wstring Repeat(const std::wstring& s, int n)
{
    std::wstring out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::wstring Endpoint(int i, const wchar_t* extra = L"")
{
    wchar_t buf[256];
    _snwprintf(buf, ARRAYSIZE(buf),
               L"endpoint e%d render\n  id {0.0.0.00000000}.{11111111-2222-3333-4444-5555555555%02X}\n  name E%d\n%ls", i,
               i, i, extra);
    return buf;
}

std::wstring Widen(const char* utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w.data(), n);
    w.resize(n - 1);
    return w;
}

std::wstring Bands(int n)
{
    return L"  eq preamp-range=-6:0:1\n" + Repeat(L"    band label=b range=-6:6:1\n", n);
}

class TopologyTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(Open(), nullptr);
        Reset(false);
    }
    bool Load(const std::wstring& text)
    {
        return LoadTopologyText(text.c_str(), L"test", m_szError, ARRAYSIZE(m_szError));
    }
    wchar_t m_szError[512] = L"";
};

TEST_F(TopologyTest, DefaultOffersEverythingTheDemoShows)
{
    StateLock s;
    EXPECT_EQ(s->mode, DriverMode::Endpoint);
    int spk = FindNode(*s, L"speakers"), mic = FindNode(*s, L"microphone");
    ASSERT_GE(spk, 0);
    ASSERT_GE(mic, 0);
    const Node& n = s->nodes[spk];
    EXPECT_EQ(n.kind, NodeKind::Endpoint);
    EXPECT_EQ(n.flow, Flow::Render);
    EXPECT_EQ(n.dwFormFactor, 1u);
    EXPECT_EQ(n.state, NodeState::Active);
    EXPECT_EQ(wcsncmp(n.szId, L"{0.0.0.00000000}.{", 18), 0);
    EXPECT_EQ(FindNodeById(*s, n.szId), spk);
    EXPECT_NE(wcsstr(n.szInstancePath, L"VEN_10EC"), nullptr);
    EXPECT_EQ(n.format.wChannels, 2);
    EXPECT_EQ(n.format.dwChannelMask, 0x3u);
    EXPECT_EQ(n.format.dwSampleRate, 48000u);
    EXPECT_EQ(FindAdaptor(*s, n.szAdaptor), 0);

    const Features& f = n.features;
    EXPECT_TRUE(f.agc.bPresent && f.bassBoost.level.bPresent && f.bassManagement.bPresent && f.subWoofer.bPresent &&
                f.mixer.bPresent && f.pdp.bPresent && f.upmix.bPresent && f.eq.bPresent && f.rvx.env.bPresent);
    bool bVsur = false;
    for (int i = 0; i < f.upmix.nElements; ++i)
        bVsur = bVsur || (f.upmix.elements[i].dwType == KV_ELEMENT_VSUR && f.upmix.elements[i].bVsur3);
    EXPECT_TRUE(bVsur);
    ASSERT_EQ(f.eq.nBands, 10);
    const char* labels[] = {"31", "62", "125", "250", "500", "1k", "2k", "4k", "8k", "16k"};
    for (int i = 0; i < 10; ++i)
        EXPECT_STREQ(f.eq.bands[i].szLabel, labels[i]) << "band " << i;
    EXPECT_EQ(f.eq.bands[0].range.fMin, -12.0f);
    EXPECT_EQ(f.eq.preampRange.fMin, -24.0f);

    EXPECT_TRUE(f.eqPresets.bWide);
    int nBuiltin = 0, nUser = 0;
    for (int i = 0; i < f.eqPresets.nPresets; ++i)
        (f.eqPresets.presets[i].dwKind == KV_PRESET_USER ? nUser : nBuiltin)++;
    EXPECT_GE(nBuiltin, 3);
    EXPECT_GE(nUser, 1);
    EXPECT_EQ(f.eqPresets.nNextUserKey, nUser + 1);
    EXPECT_GE(f.rvx.nItems, 2);
    EXPECT_GE(f.rvxPresets.nPresets, 3);

    EXPECT_EQ(f.speakers.dwVersion, 2u);
    bool bEffect = false;
    for (int i = 0; i < f.speakers.nLayouts; ++i)
        bEffect = bEffect || IsEqualGUID(f.speakers.layouts[i].guidFormat, KVFMT_EFFECT);
    EXPECT_TRUE(bEffect);
    EXPECT_GE(f.speakers.nLayouts, 5);

    EXPECT_EQ(memcmp(&n.features, &n.defaults, sizeof(Features)), 0);
    EXPECT_EQ(s->nodes[mic].flow, Flow::Capture);
    EXPECT_EQ(wcscmp(s->nodes[mic].szAdaptor, n.szAdaptor), 0);
    EXPECT_NE(n.dwSerial, s->nodes[mic].dwSerial);
}

struct Refusal {
    const char* what;
    std::wstring text;   // a whole file
    int nLine;
    const wchar_t* says;
};

TEST_F(TopologyTest, RefusesBadFilesNamingTheLineAndKeepsTheState)
{
    const std::wstring tooManyNodes = L"more than " + std::to_wstring(kMaxNodes) + L" endpoints";
    const std::wstring head = kHead;   // lines 1-4
    const std::wstring eqHead = head + Bands(1) + L"  eqpresets active=k\n";   // lines 5-7
    const Refusal cases[] = {
        {"unclosed quote", head + L"  form-factor \"3\n", 5, L"quote is not closed"},
        {"unknown keyword", head + L"  loudness enabled=1\n", 5, L"unknown keyword 'loudness'"},
        {"unknown setting of a feature", head + L"  agc enabled=1 speed=3\n", 5, L"agc has no setting 'speed'"},
        {"bad range", head + L"  bassmgmt range=40:x:10\n", 5, L"is not min:max:step"},
        {"bad switch", head + L"  agc enabled=maybe\n", 5, L"is not 0 or 1"},
        {"bad whole number", head + L"  form-factor three\n", 5, L"not a whole number"},
        {"value outside its range", head + L"  pdp range=0:10:1 value=11\n", 5, L"outside 0..10"},
        {"unknown quirk", head + L"  quirks wobbly\n", 5, L"unknown quirk"},
        {"friendly name too long", head + L"  name " + std::wstring(256, L'n') + L"\n", 5, L"at most 255"},
        {"preset key too long", eqHead + L"    preset key=" + std::wstring(160, L'k') + L" name=K kind=user\n", 8,
         L"at most 159"},
        {"narrow key too long", head + L"  eqpresets narrow=1\n    preset key=" + std::wstring(128, L'k') +
         L" name=K kind=user\n", 6, L"longer than 127 bytes"},
        {"layout name too long", head + L"  speakers\n    layout name=" + std::wstring(128, L'l') + L" format=stereo\n",
         6, L"longer than 127 bytes"},
        {"band label too long", head + L"  eq preamp-range=0:0:0\n    band label=" + std::wstring(64, L'b') +
         L" range=0:1:1\n", 6, L"longer than 63 bytes"},
        {"too many bands", head + Bands(33), 38, L"more than 32"},
        {"too many presets", head + L"  rvxpresets\n" + [] {
             std::wstring p;
             for (int i = 0; i <= kMaxPresets; ++i)
                 p += L"    preset key=p" + std::to_wstring(i) + L" name=P kind=builtin\n";
             return p;
         }(), 6 + kMaxPresets, L"more than 48"},
        {"too many nodes", L"mode endpoint\n" + [] {
             std::wstring e;
             for (int i = 0; i <= kMaxNodes; ++i)
                 e += Endpoint(i);
             return e;
         }(), 2 + 3 * kMaxNodes, tooManyNodes.c_str()},
        {"duplicate endpoint id", head + L"endpoint other render\n  id {0.0.0.00000000}.{11111111-2222-3333-4444-555555555555}\n  name Other\n",
         5, L"same id as 'spk'"},
        {"duplicate short name", head + Endpoint(1).replace(9, 2, L"spk"), 5, L"already used"},
        {"capture id on a render endpoint", L"endpoint mic capture\n  id {0.0.0.00000000}.{11111111-2222-3333-4444-555555555555}\n",
         2, L"{0.0.1.00000000}."},
        {"endpoint without id", L"endpoint x render\n  name X\n", 1, L"'x' has no id"},
        {"missing active preset", eqHead + L"    preset key=other name=O kind=user\n", 7, L"'k' is not among"},
        {"levels beyond the bands", head + Bands(2) + L"  eqpresets\n    preset key=a name=A kind=user levels=1,2,3\n", 9,
         L"more levels than the 2"},
        {"element before upmix", head + L"  element type=6\n", 5, L"after a upmix line"},
        {"mode after a node", head + L"mode device\n", 5, L"before the first"},
        {"setting outside a node", L"name Speakers\n", 1, L"inside an endpoint"},
        {"mask and channels disagree", head + L"  format channels=2 mask=0x7\n", 5, L"names 3 speakers"},
        {"selected element missing", head + L"  upmix selected=1\n    element type=6\n", 5, L"selected=1 but there are 1"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        Reset(false);
        Snapshot before;
        EXPECT_FALSE(Load(c.text));
        std::wstring want = L"line " + std::to_wstring(c.nLine) + L": ";
        EXPECT_EQ(std::wstring(m_szError).substr(0, want.size()), want) << kvtest::Narrow(m_szError);
        EXPECT_NE(wcsstr(m_szError, c.says), nullptr) << kvtest::Narrow(m_szError);
        EXPECT_TRUE(Snapshot() == before);
    }
}

TEST_F(TopologyTest, ExactlyAtTheLimitsLoads)
{
    // Exactly at every limit is fine.
    std::wstring text = std::wstring(kHead) + L"  name " + std::wstring(255, L'n') + L"\n" + Bands(kMaxBands) +
                        L"  eqpresets\n    preset key=" + std::wstring(159, L'k') + L" name=K kind=user\n";
    for (int i = 1; i < kMaxNodes; ++i)
        text += Endpoint(i);
    ASSERT_TRUE(Load(text)) << kvtest::Narrow(m_szError);
    StateLock s;
    EXPECT_EQ(s->nodes[0].features.eq.nBands, kMaxBands);
    EXPECT_EQ(wcslen(s->nodes[0].features.eqPresets.presets[0].szKey), 159u);
    EXPECT_TRUE(s->nodes[kMaxNodes - 1].bUsed);
}

TEST_F(TopologyTest, ManyEndpointsLoadWithTheSpeakersLastAndEveryFeature)
{
    const std::wstring path = kvtest::ExeDirectory() + L"topologies\\endpoints32.kvtopo";
    ASSERT_TRUE(LoadTopologyFile(path.c_str(), m_szError, ARRAYSIZE(m_szError))) << kvtest::Narrow(m_szError);
    {
        StateLock s;
        for (int i = 0; i < 33; ++i) {
            const Node& n = s->nodes[i];
            const Features& f = n.features;
            const bool bSpeakersLast = (n.dwFormFactor == 1) == (i == 31);
            EXPECT_EQ(i < 32, n.bUsed && n.flow == Flow::Render && bSpeakersLast && f.agc.bPresent &&
                                  f.bassBoost.level.bPresent && f.bassManagement.bPresent && f.subWoofer.bPresent &&
                                  f.mixer.bPresent && f.pdp.bPresent && f.upmix.nElements && f.eq.nBands &&
                                  f.eqPresets.nPresets && f.rvx.nItems && f.rvxPresets.nPresets && f.speakers.nLayouts)
                << i;
        }
    }
    // Too big for the buffer: the dump says how long it is, so the caller can retry.
    wchar_t small[64];
    const int cchAll = Describe(small, ARRAYSIZE(small));
    auto all = std::make_unique<wchar_t[]>(cchAll + 1);
    EXPECT_EQ(Describe(all.get(), cchAll + 1), cchAll);
    EXPECT_EQ(int(wcslen(all.get())), cchAll);
    EXPECT_EQ(wcsncmp(small, all.get(), ARRAYSIZE(small) - 1), 0);
}

struct Seen {
    std::vector<UINT> topology;   // dwArg of each Source::Topology event
    int nEndpointEnum = 0, nDeviceEnum = 0;
};

Seen Collect(EventReader& r)
{
    Seen seen;
    for (const EventRecord& e : Drain(r)) {
        EXPECT_EQ(e.eEvent, UINT(KVEVT_ENDPOINTS));
        EXPECT_EQ(e.dwHint, UINT(KVHINT_TOPOLOGY));
        if (e.source == Source::Topology)
            seen.topology.push_back(e.dwArg);
        seen.nEndpointEnum += e.source == Source::EndpointEnum;
        seen.nDeviceEnum += e.source == Source::DeviceEnum;
    }
    return seen;
}

TEST_F(TopologyTest, LoadingTellsWhichEndpointsCameWentOrChanged)
{
    const std::wstring mic = L"endpoint mic capture\n  id {0.0.1.00000000}.{AAAAAAAA-2222-3333-4444-555555555555}\n  name Mic\n";
    const std::wstring hp = L"endpoint hp render\n  id {0.0.0.00000000}.{BBBBBBBB-2222-3333-4444-555555555555}\n  name HP\n";
    ASSERT_TRUE(Load(std::wstring(kHead) + mic)) << kvtest::Narrow(m_szError);
    ULONGLONG generation;
    DWORD dwSerial;
    {
        StateLock s;
        generation = s->generation;
        dwSerial = s->nodes[0].dwSerial;
    }
    EventReader reader;
    // The speakers change format, the microphone goes, the headphones come.
    ASSERT_TRUE(Load(std::wstring(kHead) + L"  format channels=6 mask=0x3f\n" + hp)) << kvtest::Narrow(m_szError);
    Seen seen = Collect(reader);
    EXPECT_EQ(seen.topology, (std::vector<UINT>{2, 3, 0}));
    EXPECT_EQ(seen.nEndpointEnum, 1);
    EXPECT_EQ(seen.nDeviceEnum, 1);
    {
        StateLock s;
        EXPECT_EQ(s->generation, generation + 1);
        EXPECT_NE(s->nodes[0].dwSerial, dwSerial);
        EXPECT_EQ(s->nodes[0].format.wChannels, 6);
        EXPECT_EQ(FindNode(*s, L"mic"), -1);
    }
    // The same again: nothing came or went, the enumerators still hear of the load.
    ASSERT_TRUE(Load(std::wstring(kHead) + L"  format channels=6 mask=0x3f\n" + hp));
    seen = Collect(reader);
    EXPECT_TRUE(seen.topology.empty());
    EXPECT_EQ(seen.nEndpointEnum, 1);
}

TEST_F(TopologyTest, EndpointIdsAreMatchedWithoutCaseAndStoredInUpperCase)
{
    ASSERT_TRUE(Load(L"endpoint a render\n  id {0.0.0.00000000}.{abcdef01-2222-3333-4444-555555555555}\n  name A\n"))
        << kvtest::Narrow(m_szError);
    StateLock s;
    EXPECT_STREQ(s->nodes[0].szId, L"{0.0.0.00000000}.{ABCDEF01-2222-3333-4444-555555555555}");
    EXPECT_EQ(FindNode(*s, L"{0.0.0.00000000}.{abcdef01-2222-3333-4444-555555555555}"), 0);
    EXPECT_EQ(FindNode(*s, L"A"), 0);
}

TEST_F(TopologyTest, TheDumpLoadsBackToTheSameSettings)
{
    // The default plus a device whose name needs quoting, then changes from outside.
    std::wstring text = Widen(DefaultTopologyText()) + L"\ndevice odd\n  name \"A \"\"quoted\"\" # name\"\n";
    ASSERT_TRUE(Load(text)) << kvtest::Narrow(m_szError);
    int spk = simtest::NodeByAlias(L"speakers");
    wchar_t err[256];
    for (auto [name, value] : {std::pair{L"eq.band.3", L"4.5"}, {L"eqpresets.active", L"eq-rock"}, {L"bassboost.freq", L"120"},
                               {L"upmix.selected", L"0"}, {L"quirk.full-keys", L"1"}, {L"mixer.2", L"35"},
                               {L"eq.preamp", L"-0.1"}, {L"state", L"unplugged"}, {L"format", L"6:0x3f:96000"},
                               {L"quirk.many-presets", L"1"}, {L"rvxpresets.active", L"extra-0990"}})
        ASSERT_TRUE(SetSetting(spk, name, value, err, ARRAYSIZE(err))) << kvtest::Narrow(err);
    auto before = std::make_unique<Node[]>(kMaxNodes);
    {
        StateLock s;
        memcpy(before.get(), s->nodes, sizeof(s->nodes));
    }
    auto dump = std::make_unique<wchar_t[]>(1 << 20);
    Describe(dump.get(), 1 << 20);
    ASSERT_TRUE(Load(dump.get())) << kvtest::Narrow(m_szError);
    StateLock s;
    for (int i = 0; i < kMaxNodes; ++i) {
        SCOPED_TRACE(i);
        const Node &a = before[i], &b = s->nodes[i];
        ASSERT_EQ(a.bUsed, b.bUsed);
        EXPECT_EQ(memcmp(&a.features, &b.features, sizeof(Features)), 0);
        EXPECT_EQ(memcmp(&a.quirks, &b.quirks, sizeof(Quirks)), 0);
        EXPECT_EQ(memcmp(&a.format, &b.format, sizeof(DeviceFormat)), 0);
        EXPECT_EQ(a.state, b.state);
        EXPECT_STREQ(a.szName, b.szName);
        EXPECT_STREQ(a.szAlias, b.szAlias);
        EXPECT_STREQ(a.szInstancePath, b.szInstancePath);
    }
    EXPECT_EQ(before[spk].features.eq.bands[0].fLevel, 5.0f);   // eq-rock's first level
    EXPECT_EQ(before[spk].features.eq.bands[3].fLevel, 1.0f);   // the preset came after the band
}

TEST_F(TopologyTest, FilesInUtf16OrUtf8LoadAndMissingOnesAreNamed)
{
    std::wstring dir = kvtest::NewTempDirectory();
    std::wstring text = L"\xFEFFmode device\r\ndevice d\r\n  name \"Lautsprecher Gr\x00F6\x00DF" L"e\"\r\n";
    ASSERT_TRUE(kvtest::WriteFileBytes(dir + L"\\u16.kvtopo", text.data(), text.size() * sizeof(wchar_t)));
    wchar_t err[512];
    ASSERT_TRUE(LoadTopologyFile((dir + L"\\u16.kvtopo").c_str(), err, ARRAYSIZE(err))) << kvtest::Narrow(err);
    {
        StateLock s;
        EXPECT_EQ(s->mode, DriverMode::DeviceOnly);
        EXPECT_STREQ(s->nodes[0].szName, L"Lautsprecher Gr\x00F6\x00DF" L"e");
        EXPECT_STREQ(s->nodes[0].szId, s->nodes[0].szName);
    }
    const char utf8[] = "\xEF\xBB\xBFmode none\ndevice d\n  name \"Gr\xC3\xB6\xC3\x9F" "e\"\n";
    ASSERT_TRUE(kvtest::WriteFileBytes(dir + L"\\u8.kvtopo", utf8, sizeof(utf8) - 1));
    ASSERT_TRUE(LoadTopologyFile((dir + L"\\u8.kvtopo").c_str(), err, ARRAYSIZE(err))) << kvtest::Narrow(err);
    {
        StateLock s;
        EXPECT_EQ(s->mode, DriverMode::None);
        EXPECT_STREQ(s->nodes[0].szName, L"Gr\x00F6\x00DF" L"e");
    }
    Snapshot before;
    EXPECT_FALSE(LoadTopologyFile((dir + L"\\absent.kvtopo").c_str(), err, ARRAYSIZE(err)));
    EXPECT_NE(wcsstr(err, L"absent.kvtopo"), nullptr);
    EXPECT_TRUE(Snapshot() == before);
    kvtest::RemoveTree(dir);
}

}  // namespace
