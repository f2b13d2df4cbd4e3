// The effect features and speaker configuration method by method, the
// hostile quirks, and restoring defaults.
#include "ContractSupport.h"

#include <cmath>
#include <cstring>

namespace contract {
namespace {

struct Range4 {
    float fMin = 777, fMax = 777, fStep = 777, fExtra = 777;
};

Range4 GetRange(const Ref& obj, int slot)
{
    Range4 r;
    EXPECT_EQ(S_OK, CallSlot(obj.get(), slot, &r.fMin, &r.fMax, &r.fStep, &r.fExtra)) << "range slot " << slot;
    return r;
}

template <class T>
T Get(const Ref& obj, int slot)
{
    T v{};
    EXPECT_EQ(S_OK, CallSlot(obj.get(), slot, &v)) << "slot " << slot;
    return v;
}

TEST_F(ContractTest, RangedValuesAcceptTheRangeAndRefuseTheRest)
{
    struct Case {
        const char* what;
        const IID* iid;
        int rangeSlot, getSlot, setSlot;
        float fMin, fMax, fStep, fGood, fBad;
    } const cases[] = {
        {"bass boost level", &IID_ISNDIBassBoost, 3, 4, 5, 0, 12, 1, 12, 12.5f},
        {"bass boost frequency", &IID_ISNDIBassBoost, 6, 7, 8, 40, 160, 10, 40, 30},
        {"bass management", &IID_ISNDIBassManagement, 3, 4, 5, 40, 200, 10, 150, 210},
        {"detail restoration", &IID_ISNDIPdp, 6, 7, 8, 0, 100, 1, 75, -1},
        {"reverb environment", &IID_ISNDIRVXEnvironment, 3, 4, 5, 0, 100, 1, 60, 101},
        {"pre-amplification", &IID_ISNDIEQ, 7, 8, 9, -24, 0, 0.5f, -6.5f, 0.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Ref f = SpeakersFeature(*c.iid);
        Range4 r = GetRange(f, c.rangeSlot);
        EXPECT_EQ((std::vector<float>{c.fMin, c.fMax, c.fStep}), (std::vector<float>{r.fMin, r.fMax, r.fStep}));
        EXPECT_NE(777, r.fExtra);
        EXPECT_EQ(S_OK, CallSlot(f.get(), c.setSlot, c.fGood));
        EXPECT_EQ(E_INVALIDARG, CallSlot(f.get(), c.setSlot, c.fBad));
        EXPECT_EQ(E_INVALIDARG, CallSlot(f.get(), c.setSlot, std::nanf("")));
        EXPECT_EQ(c.fGood, Get<float>(f, c.getSlot)) << "a refused value leaves the setting";
    }
}

TEST_F(ContractTest, SwitchesTurnOnAndOff)
{
    struct Case {
        const IID* iid;
        int enable, disable, isEnabled;
    } const cases[] = {{&IID_ISNDIAGC, 3, 4, 5}, {&IID_ISNDIBassBoost, 9, 10, 11}, {&IID_ISNDIBassManagement, 6, 7, 8},
                       {&IID_ISNDIPdp, 3, 4, 5}, {&IID_ISNDIUpmix, 7, 8, 9},       {&IID_ISNDIEQ, 10, 11, 12},
                       {&IID_ISNDIRVXEnvironment, 6, 7, 8}};
    for (const Case& c : cases) {
        Ref f = SpeakersFeature(*c.iid);
        EXPECT_EQ(S_OK, CallSlot(f.get(), c.enable)) << c.enable;
        EXPECT_EQ(TRUE, Get<BOOL>(f, c.isEnabled));
        EXPECT_EQ(S_OK, CallSlot(f.get(), c.disable, 1u));  // the surround page names an element
        EXPECT_EQ(FALSE, Get<BOOL>(f, c.isEnabled));
    }
}

TEST_F(ContractTest, SubwooferAndSpeakerLevelsTakeOnlyTheirValues)
{
    EXPECT_FALSE(SpeakersFeature(IID_ISNDISubWooferGain)) << "reached through bass management only";
    Ref sub = Query(SpeakersFeature(IID_ISNDIBassManagement), IID_ISNDISubWooferGain);
    ASSERT_TRUE(sub);
    EXPECT_EQ(10, GetRange(sub, 3).fMax);
    struct StateCase {
        DWORD dwState;
        HRESULT hr;
        DWORD dwAfter;
    } const states[] = {{1, S_OK, 1}, {2, E_INVALIDARG, 1}, {0xFFFFFFFF, E_INVALIDARG, 1}, {0, S_OK, 0}};
    for (const StateCase& c : states) {
        EXPECT_EQ(c.hr, CallSlot(sub.get(), 7, c.dwState)) << c.dwState;
        EXPECT_EQ(c.dwAfter, Get<DWORD>(sub, 6));
    }
    EXPECT_TRUE(Query(sub, IID_ISNDIBassManagement)) << "and back";

    Ref mixer = SpeakersFeature(IID_ISNDIMixerFx);
    struct LevelCase {
        UINT nSpeaker;
        LONG nLevel;
        HRESULT hr;
    } const levels[] = {{3, 70, S_OK}, {0, 0, S_OK}, {7, 100, S_OK}, {8, 50, E_INVALIDARG},
                        {3, 101, E_INVALIDARG}, {3, -1, E_INVALIDARG}};
    for (const LevelCase& c : levels) EXPECT_EQ(c.hr, CallSlot(mixer.get(), 5, c.nSpeaker, c.nLevel)) << c.nSpeaker;
    LONG n = 0;
    EXPECT_EQ(S_OK, CallSlot(mixer.get(), 4, 3u, &n));
    EXPECT_EQ(70, n);
    EXPECT_EQ(E_INVALIDARG, CallSlot(mixer.get(), 4, 8u, &n));
}

TEST_F(ContractTest, UpmixElementsAndTheirVirtualSurround)
{
    Ref upmix = SpeakersFeature(IID_ISNDIUpmix), plain, vsurElement, past;
    ASSERT_EQ(S_OK, CallSlot(upmix.get(), 3, 0u, plain.Put<ISNDIElement>()));
    ASSERT_EQ(S_OK, CallSlot(upmix.get(), 3, 1u, vsurElement.Put<ISNDIElement>()));
    EXPECT_LT(CallSlot(upmix.get(), 3, 2u, past.Put<ISNDIElement>()), 0);
    DWORD dwType = 0;
    EXPECT_EQ(S_OK, CallSlot(plain.get(), 3, &dwType));
    EXPECT_EQ(1u, dwType);
    EXPECT_FALSE(Query(plain, IID_ISNDIVSUR3));
    EXPECT_EQ(E_ACCESSDENIED, CallSlot(vsurElement.get(), 3, &dwType)) << "yet the type is given";
    EXPECT_EQ(DWORD{KV_ELEMENT_VSUR}, dwType);
    EXPECT_TRUE(Query(vsurElement, IID_ISNDINotifySource) && Query(vsurElement, IID_ISNDIDefaults));

    Ref vsur3 = Query(vsurElement, IID_ISNDIVSUR3);
    ASSERT_TRUE(vsur3);
    EXPECT_EQ(100, GetRange(vsur3, 4).fMax);
    EXPECT_EQ(50, Get<float>(vsur3, 5));
    EXPECT_EQ(S_OK, CallSlot(vsur3.get(), 6, 80.0f));
    EXPECT_EQ(E_INVALIDARG, CallSlot(vsur3.get(), 6, 100.5f));
    EXPECT_EQ(80, Get<float>(vsur3, 5));
    EXPECT_EQ(2u, Get<DWORD>(vsur3, 16));
    EXPECT_EQ(S_OK, CallSlot(vsur3.get(), 17, DWORD{4}));
    EXPECT_EQ(4u, Get<DWORD>(vsur3, 16));

    EXPECT_EQ(S_OK, CallSlot(upmix.get(), 5, 1u));
    EXPECT_EQ(E_INVALIDARG, CallSlot(upmix.get(), 5, 2u));
    EXPECT_EQ(1, NodeCopy(m_nSpeakers).features.upmix.nSelected);
}

TEST_F(ContractTest, EqualizerBandsByIndex)
{
    Ref eq = SpeakersFeature(IID_ISNDIEQ);
    char label[128], extra[64];
    Range4 r;
    float f = 0;
    const char* labels[] = {"31", "1k", "16k"};
    for (UINT b = 0; b < 3; ++b) {
        EXPECT_EQ(S_OK, CallSlot(eq.get(), 3, b, label, extra));
        EXPECT_STREQ(labels[b], label);
        EXPECT_STREQ("Hz", extra);
        EXPECT_EQ(S_OK, CallSlot(eq.get(), 4, b, &r.fMin, &r.fMax, &r.fStep, &r.fExtra));
        EXPECT_EQ(-12, r.fMin);
        EXPECT_EQ(0.5f, r.fStep);
    }
    EXPECT_EQ(S_OK, CallSlot(eq.get(), 6, 1u, -3.5f));
    EXPECT_EQ(E_INVALIDARG, CallSlot(eq.get(), 6, 1u, 12.5f));
    EXPECT_EQ(S_OK, CallSlot(eq.get(), 5, 1u, &f));
    EXPECT_EQ(-3.5f, f);
    // Past the last band every band method fails.
    EXPECT_LT(CallSlot(eq.get(), 3, 3u, label, extra), 0);
    EXPECT_LT(CallSlot(eq.get(), 4, 3u, &r.fMin, &r.fMax, &r.fStep, &r.fExtra), 0);
    EXPECT_LT(CallSlot(eq.get(), 5, 3u, &f), 0);
    EXPECT_LT(CallSlot(eq.get(), 6, 3u, 0.0f), 0);
}

TEST_F(ContractTest, SpeakerLayoutsAndTheCurrentOne)
{
    Ref spk = SpeakersFeature(IID_ISNDISpkConfig2);
    ASSERT_EQ(4u, Get<UINT>(spk, 3));
    struct Layout {
        const char* name;
        DWORD dwSpeakers, dwLFE;
        const GUID* format;
    } const layouts[] = {{"Stereo", 2, 0, &KVFMT_STEREO}, {"5.1 Speaker", 5, 1, &KVFMT_5POINT1},
                         {"5.1 Again", 5, 1, &KVFMT_5POINT1}, {"Virtual Surround", 2, 0, &KVFMT_EFFECT}};
    SpeakerConfigInfo info = {};
    for (UINT i = 0; i < 4; ++i) {
        EXPECT_EQ(S_OK, CallSlot(spk.get(), 4, i, &info));
        EXPECT_STREQ(layouts[i].name, info.szName);
        EXPECT_TRUE(info.dwSpeakers == layouts[i].dwSpeakers && info.dwLFE == layouts[i].dwLFE &&
                    info.guidFormat == *layouts[i].format) << i;
    }
    EXPECT_LT(CallSlot(spk.get(), 4, 4u, &info), 0);
    struct Step {
        int slot;  // 7 by index, 9 by format
        UINT nIndex;
        const GUID* format;
        bool bAccepted;
        UINT nCurrentAfter;
    } const steps[] = {{7, 2, nullptr, true, 2}, {7, 4, nullptr, false, 2},
                       {9, 0, &KVFMT_5POINT1, true, 1},  // the first layout of that format
                       {9, 0, &KVFMT_7POINT1, false, 1}};
    for (const Step& s : steps) {
        HRESULT hr = s.slot == 7 ? CallSlot(spk.get(), 7, s.nIndex, DWORD{0})
                                 : CallSlot(spk.get(), 9, s.format, DWORD{0}, DWORD{0}, DWORD{1});
        EXPECT_EQ(s.bAccepted, SUCCEEDED(hr)) << s.slot << " " << s.nIndex;
        EXPECT_EQ(s.nCurrentAfter, Get<UINT>(spk, 6));
    }
    // A version-1 layout list offers only the older interface.
    Ref dev = Device();
    EXPECT_TRUE(Feature(dev, IID_ISNDISpkConfig));
    EXPECT_FALSE(Feature(dev, IID_ISNDISpkConfig2));
    EXPECT_FALSE(Query(Feature(dev, IID_ISNDISpkConfig), IID_ISNDISpkConfig2));
}

// Each quirk fills exactly the caller's buffer, and not one unit more.
template <class C>
bool FilledTo(const C* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i] == 0) return false;
    return p[n] == C('S');
}

TEST_F(ContractTest, QuirksAnswerAsHostileAsTheyClaim)
{
    Ref eq = SpeakersFeature(IID_ISNDIEQ), presets = SpeakersFeature(IID_ISNDIEQPresetU);
    Ref spk = SpeakersFeature(IID_ISNDISpkConfig2), narrow = Feature(Device(), IID_ISNDIEQPreset);
    auto quirk = [&](BOOL kvsim::Quirks::*flag) {
        for (int n : {m_nSpeakers, m_nDevice}) EditNode(n, [&](kvsim::Node& node) { node.quirks.*flag = TRUE; });
    };
    SpeakerConfigInfo info;
    quirk(&kvsim::Quirks::bSpkCountHuge);
    EXPECT_EQ(0xFFFFFFFFu, Get<UINT>(spk, 3));
    EXPECT_EQ(S_OK, CallSlot(spk.get(), 4, 3u, &info));
    EXPECT_LT(CallSlot(spk.get(), 4, 4u, &info), 0);

    quirk(&kvsim::Quirks::bUnterminatedNames);
    char label[129], extra[64], narrowName[17];
    wchar_t name[129];
    label[128] = narrowName[16] = 'S';
    name[128] = L'S';
    KVCOUNTEDSTR counted = {16, narrowName};
    EXPECT_EQ(S_OK, CallSlot(eq.get(), 3, 0u, label, extra));
    EXPECT_TRUE(FilledTo(label, 128));
    EXPECT_EQ(S_OK, CallSlot(presets.get(), 14, L"eq-rock", name));
    EXPECT_TRUE(FilledTo(name, 128));
    EXPECT_EQ(S_OK, CallSlot(narrow.get(), 14, "eq-flat", &counted));
    EXPECT_TRUE(FilledTo(narrowName, 16));
    EXPECT_EQ(S_OK, CallSlot(spk.get(), 4, 0u, &info));
    EXPECT_TRUE(memchr(info.szName, 0, 128) == nullptr && info.dwSpeakers == 2);

    quirk(&kvsim::Quirks::bFullKeys);
    wchar_t key[161];
    char narrowKey[129];
    char* pNarrowKey = narrowKey;
    key[160] = L'S';
    narrowKey[128] = 'S';
    DWORD dwKind = 0;
    EXPECT_EQ(S_OK, CallSlot(presets.get(), 7, 0u, &dwKind, key));
    EXPECT_TRUE(FilledTo(key, 160));
    EXPECT_EQ(S_OK, CallSlot(presets.get(), 8, key));
    EXPECT_TRUE(FilledTo(key, 160));
    EXPECT_EQ(S_OK, CallSlot(narrow.get(), 7, 0u, &dwKind, &pNarrowKey));
    EXPECT_TRUE(FilledTo(narrowKey, 128));

    EditNode(m_nSpeakers, [](kvsim::Node& n) { n.quirks = kvsim::Quirks{}; });
    quirk(&kvsim::Quirks::bEndlessPresets);
    EXPECT_EQ(S_OK, CallSlot(presets.get(), 7, 1000u, &dwKind, key));
    EXPECT_STREQ(L"eq-rock", key) << "entry 1000 % 3";
    Ref item;
    EXPECT_EQ(S_OK, CallSlot(SpeakersFeature(IID_ISNDIRVXPresetList).get(), 7, 1000u, item.Put<ISNDIRVXPresetU>()));
}

TEST_F(ContractTest, EndpointDefaultsRestoreEverySettingAndTellWhatChanged)
{
    Ref ep = Speakers();
    Ref agc = Feature(ep, IID_ISNDIAGC), eq = Feature(ep, IID_ISNDIEQ), pdp = Feature(ep, IID_ISNDIPdp);
    EXPECT_EQ(S_OK, CallSlot(agc.get(), 3));
    EXPECT_EQ(S_OK, CallSlot(eq.get(), 6, 0u, 4.0f));
    EXPECT_EQ(S_OK, CallSlot(Feature(ep, IID_ISNDIBassBoost).get(), 8, 120.0f));
    EXPECT_EQ(S_OK, CallSlot(Feature(ep, IID_ISNDISpkConfig2).get(), 7, 2u, DWORD{0}));
    CRecordingSink agcSink, eqSink, pdpSink;
    UINT c1 = Advise(agc, &agcSink, nullptr), c2 = Advise(eq, &eqSink, nullptr), c3 = Advise(pdp, &pdpSink, nullptr);
    EXPECT_EQ(S_OK, CallSlot(Query(ep, IID_ISNDIDefaults).get(), 3));

    kvsim::Node n = NodeCopy(m_nSpeakers);
    EXPECT_FALSE(n.features.agc.bEnabled);
    EXPECT_EQ(0, n.features.eq.bands[0].fLevel);
    EXPECT_EQ(80, n.features.bassBoost.fFreq);
    EXPECT_EQ(0u, n.features.speakers.nCurrent);
    EXPECT_EQ(1u, n.dwRestoreCount);
    EXPECT_EQ(0u, n.dwPresetRestoreCount);
    EXPECT_TRUE(agcSink.WaitFor(1, kNotifyMs, [](const Note& m) { return m.dwHint == KVHINT_DEFAULTS; }));
    EXPECT_TRUE(eqSink.WaitFor(1, kNotifyMs, [](const Note& m) { return m.dwHint == KVEQ_REFRESH; }));
    EXPECT_FALSE(pdpSink.WaitFor(1, kQuietMs)) << "nothing changed there";

    // A feature's own defaults touch that feature only.
    EXPECT_EQ(S_OK, CallSlot(agc.get(), 3));
    EXPECT_EQ(S_OK, CallSlot(eq.get(), 6, 0u, 4.0f));
    EXPECT_EQ(S_OK, CallSlot(Query(eq, IID_ISNDIDefaults).get(), 3));
    n = NodeCopy(m_nSpeakers);
    EXPECT_TRUE(n.features.eq.bands[0].fLevel == 0 && n.features.agc.bEnabled && n.dwRestoreCount == 1);
    EXPECT_EQ(S_OK, Unadvise(agc, c1));
    EXPECT_EQ(S_OK, Unadvise(eq, c2));
    EXPECT_EQ(S_OK, Unadvise(pdp, c3));
}

}  // namespace
}  // namespace contract
