// The surround page as a user works it, against the simulated driver: the
// slider mappings, the surround mode against the speaker layout, the virtual
// surround element's switch, and drivers that answer badly.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "SimState.h"
#include "device/KVDeviceEndpoint.h"
#include "ui/ChildDlgQfx.h"
#include "ui/UIText.h"

#include <commctrl.h>

namespace uitest {
namespace {

// Detail restoration, an upmix feature whose third element is the virtual
// surround one, and the speaker layouts a user can pick.
std::wstring SurroundFeatures(const wchar_t* pszVsur = L"range=0:100:1 value=50 mode=2", bool bUpmixOn = true,
                              int nLayout = 0)
{
    return std::wstring(L"    pdp enabled=1 range=0:100:1 value=40\n    upmix enabled=") + (bUpmixOn ? L"1" : L"0") +
           L" selected=-1\n"
           L"        element type=1 range=0:100:1 value=0 mode=0\n"
           L"        element type=3 range=0:100:1 value=0 mode=0\n"
           L"        element type=6 vsur3=1 " + pszVsur + L"\n"
           L"    speakers version=2 current=" + std::to_wstring(nLayout) + L"\n"
           L"        layout name=Stereo speakers=2 lfe=0 format=stereo\n"
           L"        layout name=\"5.1 Speaker\" speakers=5 lfe=1 format=5.1\n"
           L"        layout name=\"Virtual Surround\" speakers=2 lfe=0 format=effect\n";
}

// What the upmix feature announced since the reader started, in order.
std::vector<kvsim::EventRecord> UpmixEvents(kvsim::EventReader& reader)
{
    std::vector<kvsim::EventRecord> events;
    kvsim::EventRecord e;
    while (reader.Next(&e)) {
        if (e.source == kvsim::Source::Upmix)
            events.push_back(e);
    }
    return events;
}

class Surround : public BoundPageTest<CChildDlgQfx, IDD_DLG_QFX>
{
protected:
    void ChooseMode(HWND h, int nItem)
    {
        HWND hCombo = Item(h, IDC_CMB_SURROUND_MODE);
        SendMessageW(hCombo, CB_SETCURSEL, nItem, 0);
        SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDC_CMB_SURROUND_MODE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hCombo));
        Pump();
    }
};

TEST_F(Surround, SlidersMapPositionsAndTooltipsAsTheDriverCounts)
{
    HWND h = OpenPage(SurroundFeatures());
    // Detail restoration: the position is the value.
    EXPECT_EQ(40, SliderPos(h, IDC_SLD_DETAIL_RESTORE));
    DragSlider(h, IDC_SLD_DETAIL_RESTORE, 65);
    EXPECT_EQ(L"65", Get(L"speakers", L"pdp.value"));
    EXPECT_EQ(L"65%", TooltipText(h, IDC_SLD_DETAIL_RESTORE));
    // The stereo environment is inverted: the largest value at the left.
    EXPECT_EQ(50, SliderPos(h, IDC_SLD_STEREO_ENV));
    DragSlider(h, IDC_SLD_STEREO_ENV, 30);
    EXPECT_EQ(L"70", Get(L"speakers", L"upmix.element.2.value"));
    EXPECT_EQ(L"30%", TooltipText(h, IDC_SLD_STEREO_ENV));

    h = OpenPage(SurroundFeatures(L"range=0:10:0.5 value=3 mode=2"));
    HWND hEnv = Item(h, IDC_SLD_STEREO_ENV);
    EXPECT_EQ(0, SendMessageW(hEnv, TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(20, SendMessageW(hEnv, TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(14, SliderPos(h, IDC_SLD_STEREO_ENV));
    DragSlider(h, IDC_SLD_STEREO_ENV, 10);
    EXPECT_EQ(L"5", Get(L"speakers", L"upmix.element.2.value"));
    DragSlider(h, IDC_SLD_STEREO_ENV, 14);
    EXPECT_EQ(L"3", Get(L"speakers", L"upmix.element.2.value"));

    // Ends rounded outward: -0.5..10.5 gives -1..11; the percentage is
    // capped above (105 shown as 100) and not below.
    h = OpenPage(SurroundFeatures(L"range=-0.5:10.5:1 value=0 mode=2"));
    DragSlider(h, IDC_SLD_STEREO_ENV, 11);
    EXPECT_EQ(L"100%", TooltipText(h, IDC_SLD_STEREO_ENV));
    DragSlider(h, IDC_SLD_STEREO_ENV, -1);
    EXPECT_EQ(L"-4%", TooltipText(h, IDC_SLD_STEREO_ENV));
}

TEST_F(Surround, SurroundModeFollowsTheSpeakerLayoutAndTheDriver)
{
    HWND h = OpenPage(SurroundFeatures());
    HWND hCombo = Item(h, IDC_CMB_SURROUND_MODE);
    ASSERT_EQ(2, SendMessageW(hCombo, CB_GETCOUNT, 0, 0));
    wchar_t szItem[64] = {};
    SendMessageW(hCombo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(szItem));
    EXPECT_EQ(LoadUIString(IDS_SURROUND_MODE_4), szItem);
    COMBOBOXINFO cbi = {sizeof(cbi)};
    ASSERT_TRUE(GetComboBoxInfo(hCombo, &cbi));
    EXPECT_TRUE(GetWindowLongW(cbi.hwndItem, GWL_STYLE) & ES_READONLY);

    // Two speakers: no surround to choose. The user picks 5.1 in the OS,
    // from another process, while the page is open.
    EXPECT_FALSE(Visible(h, IDC_CMB_SURROUND_MODE));
    RunKvsim(L"speakers speakers 5.1");
    Pump();
    EXPECT_TRUE(Visible(h, IDC_CMB_SURROUND_MODE));
    EXPECT_TRUE(Visible(h, IDC_STC_SURROUND_MODE));
    EXPECT_EQ(0, SendMessageW(hCombo, CB_GETCURSEL, 0, 0));

    for (auto [mode, item] : {std::pair{L"4", 1}, {L"7", 0}, {L"4", 1}, {L"2", 0}}) {
        Set(L"speakers", L"upmix.element.2.mode", mode);
        Pump();
        EXPECT_EQ(item, SendMessageW(hCombo, CB_GETCURSEL, 0, 0)) << "mode " << kvtest::Narrow(mode);
    }
    ChooseMode(h, 1);
    EXPECT_EQ(L"4", Get(L"speakers", L"upmix.element.2.mode"));
    ChooseMode(h, 0);
    EXPECT_EQ(L"2", Get(L"speakers", L"upmix.element.2.mode"));

    // One speaker notification refreshes both the configuration box and the
    // surround group: the effect configuration is current, not a surround layout.
    EXPECT_EQ(BST_UNCHECKED, Checked(h, IDC_CHK_SPK_CONFIG));
    RunKvsim(L"speakers speakers effect");
    Pump();
    EXPECT_EQ(BST_CHECKED, Checked(h, IDC_CHK_SPK_CONFIG));
    EXPECT_FALSE(Visible(h, IDC_CMB_SURROUND_MODE));
    RunKvsim(L"speakers speakers stereo");
    Pump();
    EXPECT_EQ(BST_UNCHECKED, Checked(h, IDC_CHK_SPK_CONFIG));
}

TEST_F(Surround, VirtualSurroundBoxSelectsItsElementThenEnables)
{
    HWND h = OpenPage(SurroundFeatures(L"range=0:100:1 value=50 mode=2", false));
    ASSERT_EQ(2, m_page->m_nVSURIndex);
    EXPECT_FALSE(Enabled(h, IDC_SLD_STEREO_ENV)) << "virtual surround is off";

    kvsim::EventReader reader;
    Click(h, IDC_CHK_VSUR);
    auto events = UpmixEvents(reader);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(KVHINT_SELECT, events[0].dwHint);
    EXPECT_EQ(2u, events[0].dwArg);
    EXPECT_EQ(KVHINT_ONOFF, events[1].dwHint);
    EXPECT_EQ(1u, events[1].dwArg);
    EXPECT_TRUE(Enabled(h, IDC_SLD_STEREO_ENV));

    Click(h, IDC_CHK_VSUR);
    events = UpmixEvents(reader);
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(KVHINT_ONOFF, events[0].dwHint);
    EXPECT_EQ(0u, events[0].dwArg);
    EXPECT_EQ(2, events[0].nSub) << "Disable names the element";
    EXPECT_EQ(L"0", Get(L"speakers", L"upmix.enabled"));

    // The driver refuses the element: nothing is switched on.
    Fail(L"ISNDIUpmix", 5, E_FAIL, -1, 1);
    Click(h, IDC_CHK_VSUR);
    EXPECT_EQ(L"0", Get(L"speakers", L"upmix.enabled"));
    EXPECT_TRUE(UpmixEvents(reader).empty());
}

TEST_F(Surround, WithoutAVirtualSurroundElementTheBoxDoesNothing)
{
    // The element list also starts over instead of ending.
    LoadFile(L"no-virtual-surround.kvtopo");
    Set(L"speakers", L"quirk.endless-lists", L"1");
    HWND h = OpenOnLoaded();
    EXPECT_EQ(-1, m_page->m_nVSURIndex);
    EXPECT_EQ(nullptr, m_page->m_pSndiVSUR3);
    EXPECT_TRUE(Visible(h, IDC_CHK_VSUR));
    EXPECT_FALSE(Visible(h, IDC_SLD_STEREO_ENV));
    EXPECT_FALSE(Visible(h, IDC_CMB_SURROUND_MODE)) << "5.1, but no mode to show";
    EXPECT_EQ(70, SliderPos(h, IDC_SLD_DETAIL_RESTORE));

    kvsim::EventReader reader;
    Click(h, IDC_CHK_VSUR);
    EXPECT_TRUE(UpmixEvents(reader).empty());
    EXPECT_EQ(L"0", Get(L"speakers", L"upmix.enabled"));
}

TEST_F(Surround, AHostileDriverGivesBoundedAnswers)
{
    // Granularity 0 everywhere, surround mode 7, an element list that never ends.
    LoadFile(L"hostile-surround.kvtopo");
    HWND h = OpenOnLoaded();
    EXPECT_EQ(1, m_page->m_nVSURIndex);
    EXPECT_TRUE(Visible(h, IDC_CMB_SURROUND_MODE));
    EXPECT_EQ(0, SendMessageW(Item(h, IDC_CMB_SURROUND_MODE), CB_GETCURSEL, 0, 0)) << "mode 7 shows as item 0";
    for (int nID : {IDC_SLD_DETAIL_RESTORE, IDC_SLD_STEREO_ENV}) {
        HWND hSlider = Item(h, nID);
        EXPECT_EQ(0, SendMessageW(hSlider, TBM_GETRANGEMIN, 0, 0)) << nID;
        EXPECT_EQ(0, SendMessageW(hSlider, TBM_GETRANGEMAX, 0, 0)) << nID;
        DragSlider(h, nID, 0);
        EXPECT_EQ(L"0%", TooltipText(h, nID)) << nID;
    }
    EXPECT_EQ(L"0", Get(L"speakers", L"upmix.element.1.value"));
}

TEST_F(Surround, AChangeInASecondHostFollows)
{
    HWND h = OpenPage(SurroundFeatures());
    ASSERT_EQ(BST_CHECKED, Checked(h, IDC_CHK_VSUR));
    // The other host opens the effects window on this page and clears the box.
    RunTool(L"KVHost.exe", L"--open 1 --wait 300 --click 1040 --wait 300 --exit", 30000);
    EXPECT_EQ(L"0", Get(L"speakers", L"upmix.enabled"));
    Pump();
    EXPECT_EQ(BST_UNCHECKED, Checked(h, IDC_CHK_VSUR));
    EXPECT_FALSE(Enabled(h, IDC_SLD_STEREO_ENV));
}

// The page tells its tooltip where the pointer is; the sliders themselves
// are not subclassed for it.
TEST_F(Surround, ASliderTipShowsWhereThePointerRests)
{
    HWND h = OpenPage(SurroundFeatures());
    m_page->ShowWindow(SW_SHOW);
    Pump();
    HWND hSlider = Item(h, IDC_SLD_DETAIL_RESTORE);
    // The tooltip that has the slider as a tool.
    std::pair<HWND, HWND> tip(hSlider, nullptr);
    EnumThreadWindows(GetCurrentThreadId(), [](HWND hWnd, LPARAM lp) -> BOOL {
        auto* p = reinterpret_cast<std::pair<HWND, HWND>*>(lp);
        TTTOOLINFOW ti = {TTTOOLINFOW_V2_SIZE, TTF_IDISHWND, GetParent(p->first),
                          reinterpret_cast<UINT_PTR>(p->first)};
        if (HasClass(hWnd, TOOLTIPS_CLASSW) && SendMessageW(hWnd, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)))
            p->second = hWnd;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&tip));
    HWND hTip = tip.second;
    ASSERT_NE(nullptr, hTip);
    RECT rc;
    GetWindowRect(hSlider, &rc);
    // The pointer onto the slider: the system asks the slider for a cursor,
    // and the slider's default handling asks its parent first.
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageW(hSlider, WM_SETCURSOR, reinterpret_cast<WPARAM>(hSlider), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    const bool bShown = stest::PumpUntil([&] { return IsWindowVisible(hTip) != FALSE; }, 5000);
    SetCursorPos(0, 0);
    EXPECT_TRUE(bShown);
    wchar_t sz[32] = L"";
    SendMessageW(hTip, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(sz));
    EXPECT_EQ(TooltipText(h, IDC_SLD_DETAIL_RESTORE), sz);
}

} // namespace
} // namespace uitest
