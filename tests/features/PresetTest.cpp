// Preset collections in both flavours, and what hostile lists cannot do.
#include "FeatureTestSupport.h"
#include "test_support.h"

#include "features/SNDIPresets.h"

#include <cstring>
#include <cwchar>

namespace {

class Presets : public ftest::DriverTest {};

TEST_F(Presets, AnEndpointBindsTheWideFlavourADeviceFallsBackToNarrow)
{
    CSNDIEQPresetU wide;
    ASSERT_TRUE(wide.Init(m_pDevice, 0, m_pEndpoint));
    EXPECT_NE(nullptr, wide.m_pWide);
    EXPECT_EQ(nullptr, wide.m_pNarrow);
    EXPECT_EQ(static_cast<IUnknown*>(wide.m_pWide), wide.m_pUnknown);

    CSNDIEQPresetU narrow;
    ASSERT_TRUE(narrow.Init(m_pDevice, 0, nullptr));
    EXPECT_EQ(nullptr, narrow.m_pWide);
    ASSERT_NE(nullptr, narrow.m_pNarrow);

    CPresetList list;
    ASSERT_EQ(S_OK, EnumEQPresets(&narrow, 1031, list));
    ASSERT_EQ(2u, list.size());
    EXPECT_STREQ(L"Loud", list[1]->m_szName);
    EXPECT_STREQ("loud", list[1]->NarrowKey());
    EXPECT_EQ(128u, list[1]->m_cbKey);
    EXPECT_EQ(KV_PRESET_USER, list[1]->m_dwKind);
    int nActive = -2;
    ASSERT_EQ(S_OK, FindActiveEQPreset(&narrow, list, &nActive));
    EXPECT_EQ(0, nActive);
    ClearPresetList(list);

    // An endpoint that offers no wide presets never falls back to narrow.
    Fail(L"IKVEndpoint", 9, E_NOINTERFACE);
    CSNDIEQPresetU none;
    EXPECT_FALSE(none.Init(m_pDevice, 0, m_pEndpoint));
    EXPECT_EQ(nullptr, none.m_pNarrow);
}

TEST_F(Presets, NamedPresetActiveComparesCaseSensitively)
{
    std::wstring features = ftest::DefaultEndpointFeatures();
    features.insert(features.find(L"    reverb "), L"        preset key=<custom> name=Lower kind=user levels=0,0 preamp=0\n");
    Load(ftest::Topology(features, ftest::DefaultDeviceFeatures()));
    CSNDIEQPresetU wide, narrow;
    ASSERT_TRUE(wide.Init(nullptr, 0, m_pEndpoint));
    ASSERT_TRUE(narrow.Init(m_pDevice, 0, nullptr));
    const struct { const char* pszActive; BOOL bNamed; } cases[] = {
        {"flat", TRUE}, {"<Custom>", FALSE}, {"<custom>", TRUE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszActive);
        std::wstring key(c.pszActive, c.pszActive + strlen(c.pszActive));
        ASSERT_EQ(S_OK, wide.m_pWide->SetActivePreset(key.c_str()));
        BOOL bNamed = -1;
        ASSERT_EQ(S_OK, wide.IsNamedPresetActive(&bNamed));
        EXPECT_EQ(c.bNamed, bNamed);
        if (strcmp(c.pszActive, "<custom>") == 0)
            continue;  // the device has no such preset
        ASSERT_EQ(S_OK, narrow.m_pNarrow->SetActivePreset(c.pszActive));
        bNamed = -1;
        ASSERT_EQ(S_OK, narrow.IsNamedPresetActive(&bNamed));
        EXPECT_EQ(c.bNamed, bNamed);
    }
    Fail(L"ISNDIEQPresetU", 8, E_FAIL);
    BOOL bUntouched = 7;
    EXPECT_EQ(E_FAIL, wide.IsNamedPresetActive(&bUntouched));
    EXPECT_EQ(7, bUntouched);
}

TEST_F(Presets, ReverbKeepsTheFirstHighestRankAndListsBuiltInsOnly)
{
    CSNDIRVXPresetU rvx;
    ASSERT_TRUE(rvx.Init(nullptr, 0, m_pEndpoint));
    ASSERT_NE(nullptr, rvx.m_pWide);
    DWORD dwRank = 0, dwMode = KV_RVX_MODE_DEFAULT;
    ASSERT_EQ(S_OK, rvx.m_pWide->GetPresetInfo(&dwRank, &dwMode));
    EXPECT_EQ(3u, dwRank);
    EXPECT_EQ(KV_RVX_MODE_FOLLOWS_ENV, dwMode);  // the second item, not the third

    CPresetList list;
    ASSERT_EQ(S_OK, EnumRVXPresets(&rvx, 1033, list));
    ASSERT_EQ(2u, list.size());  // kinds 1, 2, 1
    EXPECT_STREQ(L"Room", list[0]->m_szName);
    EXPECT_STREQ(L"Hall", list[1]->m_szName);
    int nActive = -2;
    ASSERT_EQ(S_OK, FindActiveRVXPreset(&rvx, list, &nActive));
    EXPECT_EQ(0, nActive);
    ClearPresetList(list);

    // A refused preset-set selection leaves the list empty.
    Fail(L"ISNDIRVXPresetU", 16, E_FAIL);
    list.push_back(CPreset::CreateWide(L"stale", 6, L"Stale", 6, 1));
    EXPECT_EQ(E_FAIL, EnumRVXPresets(&rvx, 1033, list));
    EXPECT_TRUE(list.empty());
}

TEST_F(Presets, LongNamesAreCut)
{
    std::wstring longName(200, L'n');
    std::wstring features = ftest::DefaultEndpointFeatures();
    features.replace(features.find(L"name=Flat"), 9, L"name=" + longName);
    Load(ftest::Topology(features, ftest::DefaultDeviceFeatures()));
    CSNDIEQPresetU eq;
    ASSERT_TRUE(eq.Init(nullptr, 0, m_pEndpoint));
    CPresetList list;
    ASSERT_EQ(S_OK, EnumEQPresets(&eq, 1033, list));
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(longName.substr(0, 127), list[0]->m_szName);
    ClearPresetList(list);
}

TEST_F(Presets, HostileListsStayBounded)
{
    const wchar_t* quirks[] = {L"endless-presets unterminated-names", L"full-keys", L"full-keys endless-presets"};
    for (const wchar_t* q : quirks) {
        SCOPED_TRACE(kvtest::Narrow(q));
        Load(ftest::Topology(ftest::DefaultEndpointFeatures() + L"    quirks " + q + L"\n",
                             ftest::DefaultDeviceFeatures()));
        CSNDIEQPresetU eq;
        ASSERT_TRUE(eq.Init(nullptr, 0, m_pEndpoint));
        CPresetList list;
        EXPECT_EQ(S_OK, EnumEQPresets(&eq, 1033, list));
        EXPECT_LE(list.size(), kMaxEnumerated);
        if (wcsstr(q, L"unterminated")) {
            EXPECT_EQ(kMaxEnumerated, list.size());  // the list that never ends is cut
        }
        // Every key and name ends inside our buffers, whatever the driver wrote.
        for (const CPreset* p : list) {
            EXPECT_LE(wcslen(p->WideKey()), 159u);
            EXPECT_LE(wcslen(p->m_szName), 127u);
        }
        int nActive = 0;
        FindActiveEQPreset(&eq, list, &nActive);
        BOOL bNamed = FALSE;
        eq.IsNamedPresetActive(&bNamed);
        ClearPresetList(list);
        CSNDIRVXPresetU rvx;  // GetItem may never fail either
        EXPECT_TRUE(rvx.Init(nullptr, 0, m_pEndpoint));
    }
}

TEST(NarrowText, ConvertsUpTo259CharactersOnly)
{
    CNarrowText shortText(L"My preset");
    EXPECT_STREQ("My preset", shortText.Text());
    EXPECT_EQ(10u, shortText.Counted()->cbCapacity);
    std::wstring s259(259, L'x'), s260(260, L'x');
    EXPECT_EQ(260u, CNarrowText(s259.c_str()).Counted()->cbCapacity);
    CNarrowText tooLong(s260.c_str());
    EXPECT_EQ(0u, tooLong.Counted()->cbCapacity);
    EXPECT_EQ(nullptr, tooLong.Counted()->psz);

    wchar_t out[128];
    std::string narrow(300, 'y');  // no terminator within the buffer
    NarrowToWide(narrow.data(), 128, out, 128);
    EXPECT_EQ(127u, wcslen(out));
}

}  // namespace
