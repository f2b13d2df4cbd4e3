// Settings by name: each change reads back and posts what the driver's own
// interface would; bad input changes nothing and posts nothing.
#include "SimTestUtil.h"

#include "features/KVDriverTypes.h"
#include "test_support.h"

#include <string>

using namespace kvsim;
using simtest::Drain;
using simtest::NodeByAlias;
using simtest::Snapshot;

namespace {

struct Posted {
    Source source;
    UINT eEvent, dwHint, dwArg;
    int nSub;
    bool operator==(const Posted&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Posted& p)
{
    return os << "{source " << DWORD(p.source) << " event 0x" << std::hex << p.eEvent << " hint 0x" << p.dwHint
              << std::dec << " arg " << p.dwArg << " sub " << p.nSub << "}";
}

std::vector<Posted> Take(EventReader& r, int nNode)
{
    std::vector<Posted> out;
    for (const EventRecord& e : Drain(r)) {
        EXPECT_EQ(e.nNode, e.source == Source::Topology || e.source == Source::EndpointEnum ||
                                   e.source == Source::DeviceEnum ? -1 : nNode);
        out.push_back({e.source, e.eEvent, e.dwHint, e.dwArg, e.nSub});
    }
    return out;
}

class SettingsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(Open(), nullptr);
        Reset(false);
        m_nSpk = NodeByAlias(L"speakers");
        m_nMic = NodeByAlias(L"microphone");
        ASSERT_GE(m_nSpk, 0);
    }
    bool Set(int n, const wchar_t* name, const wchar_t* value)
    {
        return SetSetting(n, name, value, m_szError, ARRAYSIZE(m_szError));
    }
    std::wstring Get(int n, const wchar_t* name)
    {
        wchar_t v[256];
        return GetSetting(n, name, v, ARRAYSIZE(v), m_szError, ARRAYSIZE(m_szError)) ? v : L"(error)";
    }
    int m_nSpk = -1, m_nMic = -1;
    wchar_t m_szError[512] = L"";
};

struct Change {
    const wchar_t* name;
    const wchar_t* value;
    const wchar_t* readBack;
    std::vector<Posted> posted;
};

TEST_F(SettingsTest, EachChangeReadsBackAndPostsTheDriversNotification)
{
    const Change changes[] = {
        {L"agc.enabled", L"on", L"1", {{Source::AGC, KVEVT_AGC, KVHINT_ONOFF, 1, 0}}},
        {L"bassboost.enabled", L"1", L"1", {{Source::BassBoost, KVEVT_BASSBOOST, KVHINT_ONOFF, 1, 0}}},
        {L"bassboost.value", L"9", L"9", {{Source::BassBoost, KVEVT_BASSBOOST, KVHINT_VALUE, 0, 0}}},
        {L"bassboost.freq", L"120", L"120", {{Source::BassBoost, KVEVT_BASSBOOST, KVHINT_FREQUENCY, 0, 0}}},
        {L"bassmgmt.value", L"100", L"100", {{Source::BassManagement, KVEVT_BASSMANAGEMENT, KVHINT_VALUE, 0, 0}}},
        {L"subwoofer.state", L"1", L"1", {{Source::SubWooferGain, KVEVT_BASSMANAGEMENT, KVHINT_STATE, 1, 0}}},
        {L"mixer.3", L"40", L"40", {{Source::MixerFx, KVEVT_MIXERFX, KVHINT_VALUE, 3, 0}}},
        {L"pdp.enabled", L"1", L"1", {{Source::Pdp, KVEVT_PDP, KVHINT_ONOFF, 1, 0}}},
        {L"upmix.enabled", L"off", L"0", {{Source::Upmix, KVEVT_UPMIX, KVHINT_ONOFF, 0, 0}}},
        {L"upmix.selected", L"0", L"0", {{Source::Upmix, KVEVT_UPMIX, KVHINT_SELECT, 0, 0}}},
        {L"upmix.element.1.value", L"75", L"75", {{Source::Element, KVEVT_VSUR, KVHINT_VALUE, 1, 1}}},
        {L"upmix.element.1.mode", L"4", L"4", {{Source::Element, KVEVT_VSUR, KVHINT_MODE, 4, 1}}},
        {L"eq.enabled", L"0", L"0", {{Source::EQ, KVEVT_EQ, KVEQ_ONOFF, 0, 0}}},
        {L"eq.enabled", L"1", L"1", {{Source::EQ, KVEVT_EQ, KVEQ_ONOFF, KVEQ_ON, 0}}},
        {L"eq.band.3", L"6.5", L"6.5", {{Source::EQ, KVEVT_EQ, KVEQ_BAND, 3, 0}}},
        {L"eq.band.9", L"-12", L"-12", {{Source::EQ, KVEVT_EQ, KVEQ_BAND, 9, 0}}},
        {L"eq.preamp", L"-3.5", L"-3.5", {{Source::EQ, KVEVT_EQ, KVEQ_PREAMP, 0, 0}}},
        {L"reverb.value", L"6", L"6", {{Source::RVXEnvironment, KVEVT_RVX, KVHINT_VALUE, 0, 0}}},
        {L"speakers.current", L"3", L"3", {{Source::SpkConfig, KVEVT_SPKCONFIG, KVHINT_CURRENT, 3, 0}}},
        {L"eqpresets.active", L"EQ-JAZZ", L"eq-jazz",
         {{Source::EQPresetU, KVEVT_EQPRESET, KVPRESET_ACTIVE, 0, 0},
          {Source::EQPreset, KVEVT_EQPRESET_NARROW, KVPRESET_ACTIVE, 0, 0},
          {Source::EQ, KVEVT_EQ, KVEQ_REFRESH, 0, 0}}},
        {L"eqpresets.active", L"<Custom>", L"<Custom>",
         {{Source::EQPresetU, KVEVT_EQPRESET, KVPRESET_ACTIVE, 0, 0},
          {Source::EQPreset, KVEVT_EQPRESET_NARROW, KVPRESET_ACTIVE, 0, 0}}},
        {L"rvxpresets.active", L"rvx-hall", L"rvx-hall",
         {{Source::RVXPresetU, KVEVT_RVXPRESET, KVPRESET_ACTIVE, 0, 0},
          {Source::RVXPreset, KVEVT_RVXPRESET_NARROW, KVPRESET_ACTIVE, 0, 0},
          {Source::RVXEnvironment, KVEVT_RVX, KVHINT_VALUE, 0, 0}}},
        {L"rvxpresets.enabled", L"0", L"0",
         {{Source::RVXPresetU, KVEVT_RVXPRESET, KVHINT_ONOFF, 0, 0},
          {Source::RVXPreset, KVEVT_RVXPRESET_NARROW, KVHINT_ONOFF, 0, 0}}},
        {L"quirk.spk-count-huge", L"on", L"1", {}},
        // A made-up preset becomes current without touching a level, and
        // goes with the quirk that made it up.
        {L"quirk.many-presets", L"on", L"1", {}},
        {L"eqpresets.active", L"extra-0991", L"extra-0991",
         {{Source::EQPresetU, KVEVT_EQPRESET, KVPRESET_ACTIVE, 0, 0},
          {Source::EQPreset, KVEVT_EQPRESET_NARROW, KVPRESET_ACTIVE, 0, 0}}},
        {L"quirk.many-presets", L"off", L"0",
         {{Source::EQPresetU, KVEVT_EQPRESET, KVPRESET_ACTIVE, 0, 0},
          {Source::EQPreset, KVEVT_EQPRESET_NARROW, KVPRESET_ACTIVE, 0, 0}}},
    };
    EventReader reader;
    for (const Change& c : changes) {
        SCOPED_TRACE(kvtest::Narrow(std::wstring(c.name) + L" " + c.value));
        ASSERT_TRUE(Set(m_nSpk, c.name, c.value)) << kvtest::Narrow(m_szError);
        EXPECT_EQ(Get(m_nSpk, c.name), c.readBack);
        EXPECT_EQ(Take(reader, m_nSpk), c.posted);
    }
    StateLock s;
    const Features& f = s->nodes[m_nSpk].features;
    // The jazz preset came after the band changes, so its levels stand.
    EXPECT_EQ(f.eq.bands[0].fLevel, 3.0f);
    EXPECT_EQ(f.rvx.env.fValue, 4.5f);   // rvx-hall
    EXPECT_TRUE(s->nodes[m_nSpk].quirks.bSpkCountHuge);
    EXPECT_STREQ(s->nodes[m_nSpk].features.eqPresets.szActive, L"<Custom>");
    EXPECT_EQ(reader.Lost(), 0u);
}

struct Bad {
    const wchar_t* node;   // alias, or nullptr for an index that names nothing
    const wchar_t* name;
    const wchar_t* value;
    const wchar_t* says;
};

TEST_F(SettingsTest, BadInputChangesNothingAndSaysWhy)
{
    const Bad cases[] = {
        {nullptr, L"eq.band.3", L"1", L"no node"},
        {L"speakers", L"eq.loudness", L"1", L"unknown setting"},
        {L"speakers", L"eq", L"1", L"unknown setting"},
        {L"speakers", L"eq.band.10", L"1", L"bands 0 to 9"},
        {L"speakers", L"eq.band.-1", L"1", L"bands 0 to 9"},
        {L"speakers", L"eq.band.3", L"loud", L"not a number"},
        {L"speakers", L"eq.band.3", L"nan", L"not a number"},
        {L"speakers", L"eq.band.3", L"6.5x", L"not a number"},
        {L"speakers", L"eq.band.3", L"", L"not a number"},
        {L"speakers", L"eq.band.3", L"12.5", L"outside -12..12"},
        {L"speakers", L"agc.enabled", L"2", L"not on or off"},
        {L"speakers", L"mixer.8", L"50", L"mixer.0 to mixer.7"},
        {L"speakers", L"mixer.0", L"101", L"percentage"},
        {L"speakers", L"upmix.selected", L"2", L"element from 0 to 1"},
        {L"speakers", L"upmix.element.2.mode", L"2", L"elements 0 to 1"},
        {L"speakers", L"speakers.current", L"5", L"layout from 0 to 4"},
        {L"speakers", L"speakers.current", L"-1", L"layout from 0 to 4"},
        {L"speakers", L"eqpresets.active", L"no-such", L"no preset 'no-such'"},
        {L"microphone", L"eq.enabled", L"1", L"microphone has no equalizer"},
        {L"speakers", L"format", L"6:0x3", L"names 2 speakers, not 6"},
        {L"speakers", L"format", L"six", L"channels:mask"},
        {L"speakers", L"format", L"2:0x3:1", L"sample rate"},
        {L"speakers", L"state", L"sleeping", L"active or unplugged"},
        {L"speakers", L"quirk.wobbly", L"on", L"unknown quirk"},
    };
    EventReader reader;
    for (const Bad& c : cases) {
        SCOPED_TRACE(kvtest::Narrow(std::wstring(c.name) + L" " + c.value));
        int n = c.node ? NodeByAlias(c.node) : kMaxNodes - 1;
        Snapshot before;
        m_szError[0] = 0;
        EXPECT_FALSE(Set(n, c.name, c.value));
        EXPECT_NE(wcsstr(m_szError, c.says), nullptr) << kvtest::Narrow(m_szError);
        EXPECT_TRUE(Snapshot() == before);
        EXPECT_TRUE(Take(reader, n).empty());
    }
    wchar_t small[3];
    EXPECT_FALSE(GetSetting(m_nSpk, L"eqpresets.active", small, ARRAYSIZE(small), m_szError, ARRAYSIZE(m_szError)));
    EXPECT_NE(wcsstr(m_szError, L"does not fit"), nullptr);
}

TEST_F(SettingsTest, FormatAndPlugChangesReachTheEnumeratorsAndTheEndpointLibrary)
{
    const Posted enumerators[] = {{Source::EndpointEnum, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0, 0},
                                  {Source::DeviceEnum, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0, 0}};
    auto Expect = [&](UINT dwTopologyArg) {
        return std::vector<Posted>{{Source::Topology, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, dwTopologyArg, 0},
                                   enumerators[0], enumerators[1]};
    };
    ULONGLONG generation;
    {
        StateLock s;
        generation = s->generation;
    }
    EventReader reader;
    ASSERT_TRUE(Set(m_nSpk, L"format", L"6:0x3f")) << kvtest::Narrow(m_szError);
    EXPECT_EQ(Get(m_nSpk, L"format"), L"6:0x3f:48000");
    EXPECT_EQ(Take(reader, m_nSpk), Expect(3));

    ASSERT_TRUE(Set(m_nMic, L"state", L"unplugged")) << kvtest::Narrow(m_szError);
    EXPECT_EQ(Get(m_nMic, L"state"), L"unplugged");
    EXPECT_EQ(Take(reader, m_nMic), Expect(2));
    EXPECT_TRUE(SetPlugged(m_nMic, false, m_szError, ARRAYSIZE(m_szError)));   // already out: nothing to say
    EXPECT_TRUE(Take(reader, m_nMic).empty());
    EXPECT_TRUE(SetPlugged(m_nMic, true, m_szError, ARRAYSIZE(m_szError)));
    EXPECT_EQ(Take(reader, m_nMic), Expect(0));
    StateLock s;
    EXPECT_EQ(s->generation, generation + 2);   // the plug and the unplug; a format change is no topology change
}

TEST_F(SettingsTest, ListedSettingsAreExactlyThoseThatAnswer)
{
    wchar_t list[8192];
    ListSettings(m_nMic, list, ARRAYSIZE(list));
    EXPECT_STREQ(list, L"state\nformat\nagc.enabled\nquirk.spk-count-huge\nquirk.unterminated-names\n"
                       L"quirk.full-keys\nquirk.endless-presets\nquirk.endless-lists\nquirk.many-presets\n");
    ListSettings(m_nSpk, list, ARRAYSIZE(list));
    int nNames = 0;
    for (wchar_t* p = list; *p; ++nNames) {
        wchar_t* e = wcschr(p, L'\n');
        *e = 0;
        EXPECT_NE(Get(m_nSpk, p), L"(error)") << kvtest::Narrow(p);
        p = e + 1;
    }
    // state, format, 1 agc, 3+2 bass, 1 subwoofer, 8 mixer, 2 pdp, 2+4 upmix, 2+10 eq,
    // 1 eq preset, 2 reverb, 2 reverb preset, 1 speakers, 6 quirks
    EXPECT_EQ(nNames, 49);
}

}  // namespace
