// The classes with behaviour of their own: equalizer ranges, virtual surround.
#include "FeatureTestSupport.h"

#include "features/SNDIFeatures.h"

namespace {

class Catalogue : public ftest::DriverTest {};

std::wstring SeventeenBands()
{
    std::wstring s = L"    eq enabled=1 preamp-range=-24:0:0.5 preamp=0\n";
    for (int b = 0; b < 17; ++b)
        s += L"        band label=" + std::to_wstring(b) + (b == 16 ? L" range=-8:8:2 level=0\n" : L" range=-12:12:0.5 level=0\n");
    return s;
}

TEST_F(Catalogue, EqualizerRangesInStepsRememberTheGranularity)
{
    CSNDIEQ eq;
    EXPECT_FLOAT_EQ(1.0f, eq.m_fStep[0]);
    EXPECT_FLOAT_EQ(0.0f, eq.m_fStep[16]);
    ASSERT_TRUE(eq.Init(nullptr, m_pEndpoint));
    int nMin = 0, nMax = 0;
    // Band 0 is -12.25..12 with granularity 0.5: half away from zero.
    ASSERT_EQ(S_OK, eq.GetBandRange(0, &nMin, &nMax));
    EXPECT_EQ(-25, nMin);
    EXPECT_EQ(24, nMax);
    EXPECT_FLOAT_EQ(0.5f, eq.m_fStep[0]);
    ASSERT_EQ(S_OK, eq.GetPreampRange(&nMin, &nMax));
    EXPECT_EQ(-48, nMin);
    EXPECT_EQ(0, nMax);
    EXPECT_FLOAT_EQ(0.5f, eq.m_fStep[16]);

    // A refused range changes nothing.
    Fail(L"ISNDIEQ", 4, E_FAIL);
    nMin = nMax = 99;
    EXPECT_EQ(E_FAIL, eq.GetBandRange(1, &nMin, &nMax));
    EXPECT_EQ(99, nMin);
    EXPECT_FLOAT_EQ(1.0f, eq.m_fStep[1]);
}

TEST_F(Catalogue, BandSixteenSharesThePreampEntryAndSeventeenIsRefused)
{
    Load(ftest::Topology(SeventeenBands(), ftest::DefaultDeviceFeatures()));
    CSNDIEQ eq;
    ASSERT_TRUE(eq.Init(nullptr, m_pEndpoint));
    int nMin = 0, nMax = 0;
    ASSERT_EQ(S_OK, eq.GetPreampRange(&nMin, &nMax));
    ASSERT_EQ(S_OK, eq.GetBandRange(16, &nMin, &nMax));
    EXPECT_EQ(-4, nMin);
    EXPECT_EQ(4, nMax);
    EXPECT_FLOAT_EQ(2.0f, eq.m_fStep[16]);
    EXPECT_EQ(E_FAIL, eq.GetBandRange(17, &nMin, &nMax));
    EXPECT_FLOAT_EQ(2.0f, eq.m_fStep[16]);
}

TEST_F(Catalogue, VirtualSurroundBindsOnlyTheTypeSixElement)
{
    CSNDIUpmix upmix;
    ASSERT_TRUE(upmix.Init(nullptr, m_pEndpoint));
    ISNDIElement* pElements[2] = {};
    ASSERT_EQ(S_OK, upmix.m_pInterface->GetElement(0, &pElements[0]));
    ASSERT_EQ(S_OK, upmix.m_pInterface->GetElement(1, &pElements[1]));
    ISNDIElement* pNone = nullptr;
    EXPECT_LT(upmix.m_pInterface->GetElement(2, &pNone), 0);

    // Both answer E_ACCESSDENIED with their type; only type 6 binds.
    DWORD dwType = 0;
    EXPECT_EQ(E_ACCESSDENIED, pElements[0]->GetType(&dwType));
    EXPECT_EQ(5u, dwType);
    CSNDIVSUR3 five;
    EXPECT_FALSE(five.InitVSUR(pElements[0]));
    EXPECT_EQ(nullptr, five.m_pUnknown);
    EXPECT_FALSE(five.InitVSUR(nullptr));

    CSNDIVSUR3 six;
    ASSERT_TRUE(six.InitVSUR(pElements[1]));
    EXPECT_EQ(static_cast<IUnknown*>(pElements[1]), six.m_pUnknown);  // subscriptions go to the element
    ASSERT_NE(nullptr, six.m_pVSUR3);
    DWORD dwMode = 0;
    EXPECT_EQ(S_OK, six.m_pVSUR3->GetXDSurMode(&dwMode));
    EXPECT_EQ(2u, dwMode);
    ASSERT_NE(0u, six.Advise(ftest::NoticeLog::Callback, nullptr));
    ASSERT_EQ(S_OK, six.m_pVSUR3->SetXDSurMode(4));
    EXPECT_TRUE(ftest::NoticeLog::WaitFor(KVEVT_VSUR));

    // The plain element object accepts any readable element.
    CSNDIVSUR plain;
    EXPECT_TRUE(plain.InitVSUR(pElements[0]));
    for (ISNDIElement* p : pElements)
        p->Release();
    EXPECT_TRUE(six.Uninit());
    EXPECT_EQ(nullptr, six.m_pVSUR3);
}

}  // namespace
