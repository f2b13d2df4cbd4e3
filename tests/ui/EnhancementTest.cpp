// The enhancement page as a user works it, against the simulated driver.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "SimState.h"
#include "device/KVDeviceEndpoint.h"
#include "ui/ChildDlgEnhancement.h"

#include <commctrl.h>

namespace uitest {
namespace {

const wchar_t kFeatures[] =
    L"    agc enabled=0\n"
    L"    bassboost enabled=1 range=-6:12:0.5 value=-3 freq-range=100:1000:10 freq=300\n"
    L"    bassmgmt enabled=0 range=40:200:10 value=80\n"
    L"    subwoofer range=-10:9.7:0.1 state=1\n"
    L"    mixer levels=100,100,100,70\n";

class Enhancement : public BoundPageTest<CChildDlgEnhancement, IDD_DLG_ENHANCEMENT>
{
};

TEST_F(Enhancement, SlidersConvertHalfUpAndWriteStepTimesPosition)
{
    HWND h = OpenPage(kFeatures);
    HWND hLevel = Item(h, IDC_SLD_BASS_BOOST_LEVEL);
    // -6.0 / 0.5 is step -12, 12.0 step 24, -3.0 step -6.
    EXPECT_EQ(-12, SendMessageW(hLevel, TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(24, SendMessageW(hLevel, TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(-6, SliderPos(h, IDC_SLD_BASS_BOOST_LEVEL));
    EXPECT_EQ(TicsAt(-12, 24, 2), SendMessageW(hLevel, TBM_GETNUMTICS, 0, 0)) << "ticks every 2";
    EXPECT_NE(TicsAt(-12, 24, 3), TicsAt(-12, 24, 2));
    EXPECT_EQ(10, SendMessageW(hLevel, TBM_GETPAGESIZE, 0, 0));
    EXPECT_EQ(30, SliderPos(h, IDC_SLD_BASS_BOOST_FREQ));
    EXPECT_EQ(70, SliderPos(h, IDC_SLD_SPEAKER_LEVEL));

    DragSlider(h, IDC_SLD_BASS_BOOST_FREQ, 80);
    EXPECT_EQ(L"800", Get(L"speakers", L"bassboost.freq"));
    // Below zero the driver's notice puts the thumb back where it was
    // dropped, and the lowest level can be reached.
    DragSlider(h, IDC_SLD_BASS_BOOST_LEVEL, -12);
    EXPECT_EQ(L"-6", Get(L"speakers", L"bassboost.value"));
    EXPECT_EQ(-12, SliderPos(h, IDC_SLD_BASS_BOOST_LEVEL));
    DragSlider(h, IDC_SLD_BASS_BOOST_LEVEL, 7);
    EXPECT_EQ(L"3.5", Get(L"speakers", L"bassboost.value"));
    DragSlider(h, IDC_SLD_SPEAKER_LEVEL, 55);
    EXPECT_EQ(L"55", Get(L"speakers", L"mixer.3"));

    for (auto [nID, text] : {std::pair{IDC_SLD_BASS_BOOST_FREQ, L"80Hz"}, {IDC_SLD_BASS_BOOST_LEVEL, L"3.5 dB"},
                             {IDC_SLD_SPEAKER_LEVEL, L"55%"}})
        EXPECT_EQ(text, TooltipText(h, nID));
    // The subwoofer box names its largest gain, truncated.
    EXPECT_EQ(L"Subwoofer gain (+9 dB)", Text(h, IDC_CHK_SUBWOOFER_GAIN));
    EXPECT_EQ(BST_CHECKED, Checked(h, IDC_CHK_SUBWOOFER_GAIN));
}

TEST_F(Enhancement, ClicksWriteAtOnceAndTheDriversNoticesRefresh)
{
    HWND h = OpenPage(kFeatures);
    Click(h, IDC_CHK_BASS_MANAGEMENT);
    Pump();
    EXPECT_EQ(L"1", Get(L"speakers", L"bassmgmt.enabled"));
    EXPECT_TRUE(Enabled(h, IDC_SLD_CROSSOVER)) << "enabled by the driver's notice";
    Click(h, IDC_CHK_SUBWOOFER_GAIN);
    EXPECT_EQ(L"0", Get(L"speakers", L"subwoofer.state"));
    for (const wchar_t* state : {L"1", L"0"}) {  // switched elsewhere, both ways
        Set(L"speakers", L"subwoofer.state", state);
        Pump();
        EXPECT_EQ(state[0] == L'1' ? BST_CHECKED : BST_UNCHECKED, Checked(h, IDC_CHK_SUBWOOFER_GAIN)) << state;
    }

    // Another process changes the driver; the page follows within a pump.
    RunKvsim(L"set speakers bassboost.value 6");
    Pump();
    EXPECT_EQ(12, SliderPos(h, IDC_SLD_BASS_BOOST_LEVEL));
    RunKvsim(L"set speakers bassboost.enabled 0");
    Pump();
    EXPECT_EQ(BST_UNCHECKED, Checked(h, IDC_CHK_BASS_BOOST));
    EXPECT_FALSE(Enabled(h, IDC_SLD_BASS_BOOST_LEVEL));
}

TEST_F(Enhancement, MasterOffShowsRememberedBassBoostDisabled)
{
    HWND h = OpenPage(kFeatures);
    m_pSession->SetMasterOnOff(FALSE, TRUE);
    Pump();
    EXPECT_EQ(BST_CHECKED, Checked(h, IDC_CHK_BASS_BOOST));
    EXPECT_FALSE(Enabled(h, IDC_CHK_BASS_BOOST));
    EXPECT_FALSE(Enabled(h, IDC_SLD_BASS_BOOST_LEVEL));
    EXPECT_FALSE(Enabled(h, IDC_SLD_SPEAKER_LEVEL));
    m_pSession->SetMasterOnOff(TRUE, TRUE);
    Pump();
    EXPECT_TRUE(Enabled(h, IDC_SLD_BASS_BOOST_LEVEL));
}

// Speaker changes come through the session's message only, and leave
// volume levelling alone.
TEST_F(Enhancement, SpeakerConfigurationRefreshesBassAndLevelOnly)
{
    HWND h = OpenPage(kFeatures);
    CChildDlgEnhancement::DriverCallback(0x80B, 0, 0, m_page.get());
    {
        kvsim::StateLock lock;  // changed without a notice
        kvsim::Node& n = lock->nodes[kvsim::FindNode(*lock, L"speakers")];
        n.features.mixer.nLevel[3] = 40;
        n.features.agc.bEnabled = TRUE;
    }
    Pump();
    EXPECT_EQ(70, SliderPos(h, IDC_SLD_SPEAKER_LEVEL)) << "event 2059 is not the page's";
    PostMessageW(h, WM_SPK_CONFIG_CHANGE, 0, 0);
    Pump();
    EXPECT_EQ(40, SliderPos(h, IDC_SLD_SPEAKER_LEVEL));
    EXPECT_EQ(BST_UNCHECKED, Checked(h, IDC_CHK_VOLUME_LEVELING));
}

TEST_F(Enhancement, MissingFeaturesAndFailedReadsHideOnlyTheirControls)
{
    HWND h = OpenPage(L"    agc enabled=1\n"
                      L"    bassboost enabled=1 range=-6:12:0.5 value=-3 freq-range=100:1000:10 freq=300\n");
    for (int nID : {IDC_CHK_BASS_MANAGEMENT, IDC_SLD_CROSSOVER, IDC_STC_CROSSOVER, IDC_CHK_SUBWOOFER_GAIN,
                    IDC_SLD_SPEAKER_LEVEL})
        EXPECT_FALSE(Visible(h, nID)) << nID;
    EXPECT_TRUE(Visible(h, IDC_GRP_BASS));
    EXPECT_EQ(BST_CHECKED, Checked(h, IDC_CHK_VOLUME_LEVELING));

    Fail(L"ISNDIBassBoost", 4, E_FAIL);  // GetValue
    m_page->UpdateUI();
    EXPECT_FALSE(Visible(h, IDC_SLD_BASS_BOOST_LEVEL));
    EXPECT_TRUE(Visible(h, IDC_SLD_BASS_BOOST_FREQ));
    EXPECT_TRUE(Visible(h, IDC_CHK_BASS_BOOST));
    Fail(L"ISNDIBassBoost", 11, E_FAIL);  // IsEnabled
    m_page->UpdateUI();
    EXPECT_FALSE(Visible(h, IDC_CHK_BASS_BOOST));

    // Granularity 0: every position is 0 and the page stays bounded.
    ClearFaults();
    Set(L"speakers", L"bassboost.enabled", L"1");
    {
        kvsim::StateLock lock;
        lock->nodes[kvsim::FindNode(*lock, L"speakers")].features.bassBoost.level.range.fStep = 0.0f;
    }
    m_page->UpdateUI();
    EXPECT_EQ(0, SendMessageW(Item(h, IDC_SLD_BASS_BOOST_LEVEL), TBM_GETRANGEMAX, 0, 0));
}

}  // namespace
}  // namespace uitest
