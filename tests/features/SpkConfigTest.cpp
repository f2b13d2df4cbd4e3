// Speaker layouts: order by name, the NoShow rule, the device's real format.
#include "FeatureTestSupport.h"

#include "features/SpkConfig2.h"
#include "test_support.h"

#include <cstring>
#include <string>

namespace {

constexpr wchar_t kSelectionKey[] = L"Software\\Lumora Tech\\Speaker Selection\\";

class Speakers : public ftest::DriverTest {
protected:
    void LoadLayouts(const std::wstring& layouts, const std::wstring& quirks = L"")
    {
        std::wstring features = ftest::DefaultEndpointFeatures();
        size_t at = features.find(L"    speakers ");
        features = features.substr(0, at) + L"    speakers version=2 current=0\n" + layouts + quirks;
        Load(ftest::Topology(features, ftest::DefaultDeviceFeatures()));
    }
};

TEST_F(Speakers, SortsByNameInByteOrderAndFindsTheEffectLayout)
{
    kvtest::ScopedRegValue noShow(kSelectionKey, L"NoShow", std::nullopt);
    CSpkConfig2 spk;
    ASSERT_TRUE(spk.Init(nullptr, m_pEndpoint));
    ASSERT_EQ(4u, spk.m_nCount);
    // Driver order b, A, a, E.
    const char* expected[] = {"A", "E", "a", "b"};
    for (UINT p = 0; p < 4; ++p) {
        SpeakerConfigInfo info = {};
        ASSERT_EQ(S_OK, spk.GetSpeakerConfig(p, &info));
        EXPECT_STREQ(expected[p], info.szName) << p;
    }
    EXPECT_EQ(1, spk.m_nEffectPosition);
    int nPosition = -1;
    ASSERT_EQ(S_OK, spk.GetCurrentSpeakerConfig(&nPosition));
    EXPECT_EQ(3, nPosition);  // driver index 0, "b"

    BOOL bActive = TRUE;
    ASSERT_EQ(S_OK, spk.IsEffectConfigActive(&bActive, nullptr));
    EXPECT_FALSE(bActive);
    ASSERT_GE(spk.SetEffectConfig(TRUE), 0);
    SpeakerConfigInfo current = {};
    ASSERT_EQ(S_OK, spk.IsEffectConfigActive(&bActive, &current));
    EXPECT_TRUE(bActive);
    EXPECT_STREQ("E", current.szName);
    // Off goes back to the layout of the device's real format (2 channels).
    ASSERT_GE(spk.SetEffectConfig(FALSE), 0);
    ASSERT_EQ(S_OK, spk.GetCurrentSpeakerConfig(&nPosition));
    EXPECT_EQ(3, nPosition);

    SpeakerConfigInfo beyond = {};
    EXPECT_LT(spk.GetSpeakerConfig(4, &beyond), 0);
}

TEST_F(Speakers, EqualNamesKeepDriverOrder)
{
    LoadLayouts(L"        layout name=b speakers=2 lfe=0 format=stereo\n"
                L"        layout name=A speakers=4 lfe=0 format=quad\n"
                L"        layout name=a speakers=5 lfe=1 format=5.1\n"
                L"        layout name=A speakers=7 lfe=1 format=7.1\n");
    CSpkConfig2 spk;
    ASSERT_TRUE(spk.Init(nullptr, m_pEndpoint));
    const UINT order[] = {1, 3, 2, 0};
    for (UINT p = 0; p < 4; ++p)
        EXPECT_EQ(order[p], spk.m_pOrder[p]) << p;
}

TEST_F(Speakers, NoShowReplacesTheListWithTheDeviceFormatEveryCall)
{
    CSpkConfig2 spk;
    ASSERT_TRUE(spk.Init(nullptr, m_pEndpoint));
    SpeakerConfigInfo info = {};
    {
        kvtest::ScopedRegValue noShow(kSelectionKey, L"NoShow", std::optional<DWORD>(1));
        int nPosition = -1;
        ASSERT_EQ(S_OK, spk.GetCurrentSpeakerConfig(&nPosition));
        EXPECT_EQ(0, nPosition);
        ASSERT_EQ(S_OK, spk.GetSpeakerConfig(3, &info));
        EXPECT_STREQ("2/2.1 Speakers", info.szName);
        EXPECT_TRUE(IsEqualGUID(KVFMT_STEREO, info.guidFormat));
        // While the effect layout is current, it is what NoShow shows.
        ASSERT_GE(spk.SetEffectConfig(TRUE), 0);
        ASSERT_EQ(S_OK, spk.GetSpeakerConfig(0, &info));
        EXPECT_TRUE(IsEqualGUID(KVFMT_EFFECT, info.guidFormat));
    }
    kvtest::ScopedRegValue cleared(kSelectionKey, L"NoShow", std::optional<DWORD>(0));
    ASSERT_EQ(S_OK, spk.GetSpeakerConfig(0, &info));
    EXPECT_STREQ("A", info.szName);
}

struct FormatCase {
    const wchar_t* pszFormat;   // channels:mask
    bool bSideLayouts;          // the driver lists the side variants and a 2+LFE generic layout
    const char* pszName;
    const GUID* pId;
    DWORD dwSpeakers, dwLFE;
};

TEST_F(Speakers, TheDeviceFormatPicksTheMatchingLayout)
{
    const FormatCase cases[] = {
        {L"3:0x7", false, "2/2.1 Speakers", &KVFMT_STEREO, 2, 0},
        {L"3:0xb", true, "Speakers", &KVFMT_GENERIC, 2, 1},
        {L"4:0x603", false, "4/4.1 Speakers", &KVFMT_QUAD, 4, 0},
        {L"4:0x603", true, "4/4.1 Speakers", &KVFMT_QUAD_SIDE, 4, 0},
        {L"6:0x3f", true, "5.1 Speakers", &KVFMT_5POINT1, 5, 1},
        {L"6:0x60f", true, "5.1 Speakers", &KVFMT_5POINT1_SIDE, 5, 1},
        {L"6:0x60f", false, "5.1 Speakers", &KVFMT_5POINT1, 5, 1},
        {L"7:0x70f", true, "6.1 Speakers", &KVFMT_6POINT1_SIDE, 6, 1},
        {L"7:0x13f", true, "6.1 Speakers", &KVFMT_6POINT1, 6, 1},
        {L"8:0x63f", false, "7.1 Speakers", &KVFMT_7POINT1, 7, 1},
        {L"1:0x4", false, "2/2.1 Speakers", &KVFMT_STEREO, 2, 0},
    };
    const std::wstring plain = L"        layout name=Stereo speakers=2 lfe=0 format=stereo\n"
                               L"        layout name=Effect speakers=2 lfe=0 format=effect\n";
    const std::wstring sides = plain + L"        layout name=Q speakers=4 lfe=0 format=quad-side\n"
                                       L"        layout name=F speakers=5 lfe=1 format=5.1-side\n"
                                       L"        layout name=S speakers=6 lfe=1 format=6.1-side\n"
                                       L"        layout name=G speakers=2 lfe=1 format=generic\n";
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(kvtest::Narrow(c.pszFormat) + (c.bSideLayouts ? " with side layouts" : ""));
        LoadLayouts(c.bSideLayouts ? sides : plain);
        Set(L"spk", L"format", c.pszFormat);
        CSpkConfig2 spk;
        ASSERT_TRUE(spk.Init(nullptr, m_pEndpoint));
        SpeakerConfigInfo info = {};
        ASSERT_EQ(S_OK, spk.ReadDeviceFormatConfig(&info));
        EXPECT_STREQ(c.pszName, info.szName);
        EXPECT_TRUE(IsEqualGUID(*c.pId, info.guidFormat));
        EXPECT_EQ(c.dwSpeakers, info.dwSpeakers);
        EXPECT_EQ(c.dwLFE, info.dwLFE);
    }
}

TEST_F(Speakers, AFormatThatIsNotExtensibleCountsAsStereo)
{
    std::wstring features = ftest::DefaultEndpointFeatures();
    std::wstring topology = ftest::Topology(features, ftest::DefaultDeviceFeatures());
    topology.replace(topology.find(L"format channels=2 mask=0x3 rate=48000"), 37,
                     L"format channels=6 mask=0x3f rate=48000 extensible=0");
    Load(topology);
    CSpkConfig2 spk;
    ASSERT_TRUE(spk.Init(nullptr, m_pEndpoint));
    SpeakerConfigInfo info = {};
    ASSERT_EQ(S_OK, spk.ReadDeviceFormatConfig(&info));
    EXPECT_STREQ("2/2.1 Speakers", info.szName);
}

TEST_F(Speakers, TheOlderInterfaceSwitchesTheEffectLayoutByIndex)
{
    std::wstring features = ftest::DefaultEndpointFeatures();
    features.replace(features.find(L"speakers version=2"), 18, L"speakers version=1");
    Load(ftest::Topology(features, ftest::DefaultDeviceFeatures()));
    CSpkConfig2 spk;
    ASSERT_TRUE(spk.Init(nullptr, m_pEndpoint));
    EXPECT_EQ(nullptr, spk.m_pSpkConfig2);
    ASSERT_EQ(S_OK, spk.SetEffectConfig(TRUE));
    BOOL bActive = FALSE;
    ASSERT_EQ(S_OK, spk.IsEffectConfigActive(&bActive, nullptr));
    EXPECT_TRUE(bActive);
    ASSERT_EQ(S_OK, spk.SetEffectConfig(FALSE));
    ASSERT_EQ(S_OK, spk.IsEffectConfigActive(&bActive, nullptr));
    EXPECT_FALSE(bActive);
}

TEST_F(Speakers, SwitchingOffWithoutTheDeviceFormatFails)
{
    CSpkConfig2 spk;
    ASSERT_TRUE(spk.Init(nullptr, m_pEndpoint));
    ASSERT_GE(spk.SetEffectConfig(TRUE), 0);
    Fail(L"IKVEndpoint", 7, E_FAIL);  // no endpoint id, so no Core Audio device
    EXPECT_EQ(E_FAIL, spk.SetEffectConfig(FALSE));
    BOOL bActive = FALSE;
    ASSERT_EQ(S_OK, spk.IsEffectConfigActive(&bActive, nullptr));
    EXPECT_TRUE(bActive) << "nothing was switched";
}

TEST_F(Speakers, ADeviceOnlyBindingHasNoEffectLayout)
{
    CSpkConfig2 spk;
    ASSERT_TRUE(spk.Init(m_pDevice, nullptr));
    EXPECT_EQ(nullptr, spk.m_pSpkConfig2);
    EXPECT_EQ(-1, spk.m_nEffectPosition);
    EXPECT_EQ(E_FAIL, spk.SetEffectConfig(TRUE));
    SpeakerConfigInfo info = {};
    EXPECT_EQ(E_FAIL, spk.ReadDeviceFormatConfig(&info));
    EXPECT_TRUE(spk.Uninit());
    EXPECT_TRUE(spk.Uninit());
    EXPECT_EQ(E_FAIL, spk.GetSpeakerConfig(0, &info));
}

TEST_F(Speakers, HostileCountsAndNamesAreBounded)
{
    LoadLayouts(L"        layout name=b speakers=2 lfe=0 format=stereo\n"
                L"        layout name=a speakers=2 lfe=0 format=effect\n",
                L"    quirks spk-count-huge unterminated-names\n");
    CSpkConfig2 spk;
    ASSERT_TRUE(spk.Init(nullptr, m_pEndpoint));
    EXPECT_EQ(CSpkConfig2::kMaxConfigs, spk.m_nCount);
    SpeakerConfigInfo info = {};
    ASSERT_EQ(S_OK, spk.GetSpeakerConfig(0, &info));
    EXPECT_LT(strnlen(info.szName, sizeof(info.szName)), sizeof(info.szName));
    spk.SetEffectConfig(FALSE);  // a bounded walk: it returns
}

}  // namespace
