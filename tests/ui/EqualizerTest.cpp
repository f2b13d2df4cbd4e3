// The equalizer page as a user works it: sliders, the switch, presets and
// the save flow, against the simulated driver, and what the page shows when
// the driver changes underneath it.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "SimState.h"
#include "device/KVDeviceEndpoint.h"
#include "ui/ChildDlgEQ.h"

#include <commctrl.h>

#include <cmath>

namespace uitest {
namespace {

const wchar_t kBands[] =
    L"        band label=31 range=-12:12:1 level=3\n"
    L"        band label=1k range=-12:12:1 level=0\n"
    L"        band label=16k range=-20:-4:1 level=-6\n";

std::wstring EqBlock(const std::wstring& presets, const std::wstring& bands = kBands, bool bOn = true)
{
    return std::wstring(L"    eq enabled=") + (bOn ? L"1" : L"0") + L" preamp-range=-24:0:0.5 preamp=-3\n" + bands +
           presets;
}

const wchar_t kPresets[] =
    L"    eqpresets wide=1 narrow=0 active=rock\n"
    L"        preset key=flat name=Flat kind=builtin levels=0,0,-4 preamp=0\n"
    L"        preset key=rock name=Rock kind=builtin levels=5,1,-4 preamp=-4\n"
    L"        preset key=mine name=Mine kind=user levels=1,1,-5 preamp=0\n";

std::vector<std::wstring> ComboItems(HWND hDlg, int nID)
{
    std::vector<std::wstring> items;
    HWND h = Item(hDlg, nID);
    const int n = static_cast<int>(SendMessageW(h, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        wchar_t sz[256] = {};
        if (SendMessageW(h, CB_GETLBTEXTLEN, i, 0) < 255)
            SendMessageW(h, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(sz));
        items.push_back(sz);
    }
    return items;
}

class Equalizer : public UiTest
{
protected:
    void TearDown() override
    {
        Discard(m_page);
        Discard(m_second);
        if (m_secondSession)
            m_secondSession->CloseDeviceEndpoint();
        m_secondSession.reset();
        UiTest::TearDown();
    }
    CChildDlgEQ* OpenPage(const std::wstring& eq)
    {
        Load(L"mode endpoint\n" + stest::RenderEndpoint(L"speakers", 1, 1, eq));
        Open();
        m_page = NewPage(m_pSession.get());
        return m_page.get();
    }
    std::unique_ptr<CChildDlgEQ> NewPage(CKVDeviceEndpoint* pSession)
    {
        auto p = std::make_unique<CChildDlgEQ>();
        EXPECT_TRUE(p->Create(IDD_DLG_EQ, CWnd::FromHandle(Host())));
        p->SetDeviceEndpoint(pSession);
        Pump();
        return p;
    }
    HWND H() const { return m_page->m_hWnd; }
    float Band(int b) { return std::stof(Get(L"speakers", (L"eq.band." + std::to_wstring(b)).c_str())); }
    std::wstring Active() { return Get(L"speakers", L"eqpresets.active"); }

    std::unique_ptr<CChildDlgEQ> m_page, m_second;
    std::unique_ptr<CKVDeviceEndpoint> m_secondSession;
};

TEST_F(Equalizer, SlidersScalesAndLabelsFollowTheDriversRanges)
{
    OpenPage(EqBlock(kPresets));
    // -12..12: level +12 at the top (0), 3 at 9.
    EXPECT_EQ(0, SendMessageW(Item(H(), IDC_SLD_EQ_BAND_0), TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(24, SendMessageW(Item(H(), IDC_SLD_EQ_BAND_0), TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(9, SliderPos(H(), IDC_SLD_EQ_BAND_0));
    // Wholly below zero: the range ends at 0, and -6 sits at -14.
    EXPECT_EQ(-16, SendMessageW(Item(H(), IDC_SLD_EQ_BAND_2), TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(0, SendMessageW(Item(H(), IDC_SLD_EQ_BAND_2), TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(-14, SliderPos(H(), IDC_SLD_EQ_BAND_2));
    // The scale is the last band's; the pre-amplification's step is 0.5.
    EXPECT_EQ(L"-4 dB", Text(H(), IDC_STC_EQ_SCALE_MAX));
    EXPECT_EQ(L"-12 dB", Text(H(), IDC_STC_EQ_SCALE_MID));
    EXPECT_EQ(L"-20 dB", Text(H(), IDC_STC_EQ_SCALE_MIN));
    EXPECT_EQ(48, SendMessageW(Item(H(), IDC_SLD_EQ_PREAMP), TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(6, SliderPos(H(), IDC_SLD_EQ_PREAMP));
    EXPECT_EQ(L"16k", Text(H(), IDC_STC_EQ_BAND_2));
    // Bands the driver does not describe keep the template's state.
    EXPECT_EQ(L"Rock", Text(Item(H(), IDC_CMB_EQ_PRESET)));
    EXPECT_FALSE(Enabled(H(), IDC_BTN_EQ_PRESET_DEL)) << "a built-in preset";
    EXPECT_EQ(3u, m_page->m_curve.BandCount());
    EXPECT_TRUE(m_page->m_curve.IsActive());

    // Moving each slider writes its own band's level, whatever the others' ranges.
    DragSlider(H(), IDC_SLD_EQ_BAND_0, 4);
    EXPECT_EQ(8.0f, Band(0));
    DragSlider(H(), IDC_SLD_EQ_BAND_2, -10);
    EXPECT_EQ(-10.0f, Band(2));
    DragSlider(H(), IDC_SLD_EQ_PREAMP, 10);
    EXPECT_EQ(L"-5", Get(L"speakers", L"eq.preamp"));
    // ... makes the custom setting active, and the page says so.
    EXPECT_EQ(L"<Custom>", Active());
    EXPECT_EQ(L"(Custom)", Text(Item(H(), IDC_CMB_EQ_PRESET)));
    EXPECT_TRUE(Enabled(H(), IDC_BTN_EQ_PRESET_SAVE));
    EXPECT_FALSE(Enabled(H(), IDC_BTN_EQ_PRESET_DEL));
    EXPECT_EQ(4, SliderPos(H(), IDC_SLD_EQ_BAND_0)) << "the driver's notice agrees with the slider";
    EXPECT_NEAR(8.0, m_page->m_curve.ResponseAt(31.0), 1.5);

    // Tooltips read the driver's level.
    NMTTDISPINFOW tt = {};
    tt.hdr.hwndFrom = Item(H(), IDC_SLD_EQ_BAND_0);
    tt.hdr.idFrom = IDC_SLD_EQ_BAND_0;
    tt.hdr.code = TTN_NEEDTEXTW;
    SendMessageW(H(), WM_NOTIFY, IDC_SLD_EQ_BAND_0, reinterpret_cast<LPARAM>(&tt));
    EXPECT_STREQ(L"8.0 dB", tt.szText);
}

TEST_F(Equalizer, DriverNoticesMoveTheControlsAndBadOnesChangeNothing)
{
    OpenPage(EqBlock(kPresets));
    // As another program would: a separate process changes the driver.
    RunKvsim(L"set speakers eq.band.1 5");
    Pump();
    EXPECT_EQ(7, SliderPos(H(), IDC_SLD_EQ_BAND_1));
    RunKvsim(L"set speakers eqpresets.active mine");
    Pump();
    EXPECT_EQ(L"Mine", Text(Item(H(), IDC_CMB_EQ_PRESET)));
    EXPECT_TRUE(Enabled(H(), IDC_BTN_EQ_PRESET_DEL)) << "a user preset can be deleted";

    // A band past the page's table.
    const int nBefore = SliderPos(H(), IDC_SLD_EQ_BAND_0);
    PostMessageW(H(), WM_EQ_DRIVER_CHANGE_FIRST, 0xC0000001, 17);
    PostMessageW(H(), WM_EQ_DRIVER_CHANGE_FIRST, 0xC0000001, 0xFFFFFFFF);
    Pump();
    EXPECT_EQ(nBefore, SliderPos(H(), IDC_SLD_EQ_BAND_0));

    // On/off: only 0x80000101 means on.
    for (UINT dwArg : {0u, 1u, 0x80000100u}) {
        PostMessageW(H(), WM_EQ_DRIVER_CHANGE_FIRST, 0x80000100, dwArg);
        Pump();
        EXPECT_EQ(BST_UNCHECKED, Checked(H(), IDC_CHK_EQ_ENABLE)) << dwArg;
        EXPECT_FALSE(Enabled(H(), IDC_SLD_EQ_BAND_0));
        EXPECT_FALSE(m_page->m_curve.IsActive());
    }
    PostMessageW(H(), WM_EQ_DRIVER_CHANGE_FIRST, 0x80000100, 0x80000101);
    Pump();
    EXPECT_EQ(BST_CHECKED, Checked(H(), IDC_CHK_EQ_ENABLE));
    EXPECT_TRUE(Enabled(H(), IDC_SLD_EQ_BAND_0));
    EXPECT_TRUE(Enabled(H(), IDC_BTN_EQ_PRESET_DEL));

    // The user's click goes to the driver, and the driver's notice back.
    Click(H(), IDC_CHK_EQ_ENABLE);
    Pump();
    EXPECT_EQ(L"0", Get(L"speakers", L"eq.enabled"));
    EXPECT_FALSE(Enabled(H(), IDC_SLD_EQ_PREAMP));
}

// The session switches the equalizer off with the master switch; the
// driver's notice of that may come before or after the session's own.
TEST_F(Equalizer, MasterOffShowsTheRecordedStateWhicheverNoticeComesLast)
{
    OpenPage(EqBlock(kPresets));
    m_pSession->SetMasterOnOff(FALSE, TRUE);
    Pump();
    ASSERT_EQ(L"0", Get(L"speakers", L"eq.enabled"));
    for (bool bDriverLast : {true, false}) {
        if (bDriverLast)
            PostMessageW(H(), WM_MASTER_ONOFF_CHANGE, 0, 0);
        PostMessageW(H(), WM_EQ_DRIVER_CHANGE_FIRST, 0x80000100, 0);
        if (!bDriverLast)
            PostMessageW(H(), WM_MASTER_ONOFF_CHANGE, 0, 0);
        Pump();
        EXPECT_EQ(BST_CHECKED, Checked(H(), IDC_CHK_EQ_ENABLE)) << bDriverLast;
        EXPECT_FALSE(Enabled(H(), IDC_CHK_EQ_ENABLE));
        EXPECT_FALSE(Enabled(H(), IDC_SLD_EQ_BAND_0));
        EXPECT_FALSE(m_page->m_curve.IsActive());
    }
    m_pSession->SetMasterOnOff(TRUE, TRUE);
    Pump();
    EXPECT_TRUE(Enabled(H(), IDC_CHK_EQ_ENABLE));
    EXPECT_TRUE(Enabled(H(), IDC_SLD_EQ_BAND_0));
    EXPECT_TRUE(m_page->m_curve.IsActive());
}

TEST_F(Equalizer, WithoutPresetsOrEqualizerThePageShowsWhatIsThere)
{
    OpenPage(EqBlock(L""));
    EXPECT_FALSE(Visible(H(), IDC_CMB_EQ_PRESET));
    EXPECT_FALSE(Visible(H(), IDC_BTN_EQ_PRESET_SAVE));
    EXPECT_FALSE(Visible(H(), IDC_BTN_EQ_PRESET_DEL));
    EXPECT_TRUE(Visible(H(), IDC_SLD_EQ_BAND_0));
    DragSlider(H(), IDC_SLD_EQ_BAND_1, 2);
    EXPECT_EQ(10.0f, Band(1));

    Discard(m_page);
    OpenPage(L"    agc enabled=0\n");
    for (int id : {IDC_CHK_EQ_ENABLE, IDC_CMB_EQ_PRESET, IDC_SLD_EQ_BAND_0, IDC_STC_EQ_BAND_9, IDC_SLD_EQ_PREAMP,
                   IDC_STC_EQ_CURVE})
        EXPECT_FALSE(Visible(H(), id)) << id;
    DragSlider(H(), IDC_SLD_EQ_BAND_0, 3);  // nothing to write to, nothing breaks

    // Without a session the page is as bare, and every button is safe.
    Discard(m_page);
    OpenPage(EqBlock(kPresets));
    m_page->SetDeviceEndpoint(nullptr);
    EXPECT_FALSE(Visible(H(), IDC_SLD_EQ_BAND_0));
    for (int id : {IDC_CHK_EQ_ENABLE, IDC_BTN_EQ_PRESET_SAVE, IDC_BTN_EQ_PRESET_DEL})
        SendMessageW(H(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    Pump();
    EXPECT_TRUE(ThreadDialogs().empty());
}

TEST_F(Equalizer, PresetListKeepsTwoInDriverOrderAndSortsThreeOrMore)
{
    OpenPage(EqBlock(L"    eqpresets wide=1 narrow=0 active=<Custom>\n"
                     L"        preset key=u name=Zed kind=user levels=0,0,-4 preamp=0\n"
                     L"        preset key=b name=Beta kind=builtin levels=0,0,-4 preamp=0\n"));
    EXPECT_EQ((std::vector<std::wstring>{L"Zed", L"Beta"}), ComboItems(H(), IDC_CMB_EQ_PRESET));
    EXPECT_EQ(L"(Custom)", Text(Item(H(), IDC_CMB_EQ_PRESET)));

    Discard(m_page);
    OpenPage(EqBlock(L"    eqpresets wide=1 narrow=0 active=<Custom>\n"
                     L"        preset key=u name=Alpha kind=user levels=0,0,-4 preamp=0\n"
                     L"        preset key=l name=rock kind=builtin levels=0,0,-4 preamp=0\n"
                     L"        preset key=r name=Rock kind=builtin levels=0,0,-4 preamp=0\n"
                     L"        preset key=z name=Zed kind=builtin levels=0,0,-4 preamp=0\n"));
    EXPECT_EQ((std::vector<std::wstring>{L"Rock", L"Zed", L"rock", L"Alpha"}), ComboItems(H(), IDC_CMB_EQ_PRESET));

    // Choosing an item makes it active; the sliders follow the driver.
    HWND hCombo = Item(H(), IDC_CMB_EQ_PRESET);
    SendMessageW(hCombo, CB_SETCURSEL, 3, 0);
    SendMessageW(H(), WM_COMMAND, MAKEWPARAM(IDC_CMB_EQ_PRESET, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hCombo));
    Pump();
    EXPECT_EQ(L"u", Active());
    EXPECT_TRUE(Enabled(H(), IDC_BTN_EQ_PRESET_DEL));
}

TEST_F(Equalizer, DeleteAsksForUserPresetsOnly)
{
    OpenPage(EqBlock(kPresets));
    // The custom setting has no entry: no question, nothing changes.
    DragSlider(H(), IDC_SLD_EQ_BAND_0, 5);
    {
        ModalAnswer answer([](HWND h) { SendMessageW(h, WM_COMMAND, IDNO, 0); });
        Click(H(), IDC_BTN_EQ_PRESET_DEL);
        EXPECT_EQ(0, answer.Seen());
    }
    // A user preset: asked by name; No keeps it, Yes deletes it.
    Set(L"speakers", L"eqpresets.active", L"mine");
    Pump();
    std::wstring question;
    for (UINT nAnswer : {IDNO, IDYES}) {
        ModalAnswer answer([&](HWND h) {
            question = Text(h, IDC_STC_MSGBOX_TEXT);
            SendMessageW(h, WM_COMMAND, nAnswer, 0);
        });
        // The button, not the handler: a disabled Delete must stay unreachable.
        ASSERT_TRUE(Enabled(H(), IDC_BTN_EQ_PRESET_DEL));
        Click(H(), IDC_BTN_EQ_PRESET_DEL);
        EXPECT_EQ(1, answer.Seen());
        Pump();
    }
    EXPECT_NE(std::wstring::npos, question.find(L"\n\nMine"));
    EXPECT_EQ(L"<Custom>", Active());
    EXPECT_EQ((std::vector<std::wstring>{L"Flat", L"Rock"}), ComboItems(H(), IDC_CMB_EQ_PRESET));
    EXPECT_FALSE(Enabled(H(), IDC_BTN_EQ_PRESET_DEL));
}

// Runs the save dialog with a name and answers what follows; returns the
// texts of the message boxes shown, in order.
struct SaveRun {
    bool bOkEnabledEmpty = false;
    bool bOkEnabledTyped = false;
    std::vector<std::wstring> messages;
};

SaveRun Save(HWND hPage, const std::wstring& name, UINT nAnswer = IDYES)
{
    SaveRun run;
    HWND hDone = nullptr;
    ModalAnswer answer([&](HWND h) {
        if (h == hDone)
            return;
        hDone = h;
        if (HWND hCombo = GetDlgItem(h, IDC_CMB_PRESET_NAME)) {
            run.bOkEnabledEmpty = IsWindowEnabled(GetDlgItem(h, IDOK)) != FALSE;
            SetWindowTextW(hCombo, name.c_str());
            SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDC_CMB_PRESET_NAME, CBN_EDITCHANGE),
                         reinterpret_cast<LPARAM>(hCombo));
            run.bOkEnabledTyped = IsWindowEnabled(GetDlgItem(h, IDOK)) != FALSE;
            SendMessageW(h, WM_COMMAND, IDOK, 0);
        } else {
            run.messages.push_back(Text(h, IDC_STC_MSGBOX_TEXT));
            SendMessageW(h, WM_COMMAND, IsWindowVisible(GetDlgItem(h, IDYES)) ? nAnswer : IDOK, 0);
        }
    });
    Click(hPage, IDC_BTN_EQ_PRESET_SAVE);
    return run;
}

TEST_F(Equalizer, SaveTrimsChecksAndAsksBeforeOverwriting)
{
    OpenPage(EqBlock(kPresets));
    DragSlider(H(), IDC_SLD_EQ_BAND_0, 6);

    SaveRun run = Save(H(), L"   ");
    EXPECT_FALSE(run.bOkEnabledEmpty);
    EXPECT_TRUE(run.bOkEnabledTyped);
    EXPECT_TRUE(run.messages.empty()) << "blanks only: ignored";

    const std::wstring strInvalid = Text(Item(H(), IDC_CMB_EQ_PRESET));  // unchanged so far
    for (const std::wstring& bad : {std::wstring(128, L'x'), std::wstring(L"a/b"), std::wstring(L"a:b"),
                                    std::wstring(L"a\tb"), std::wstring(L"say \"hi\"")}) {
        run = Save(H(), bad);
        ASSERT_EQ(1u, run.messages.size()) << kvtest::Narrow(bad);
    }
    const std::wstring strRefused = run.messages[0];
    run = Save(H(), L"rOCK");
    ASSERT_EQ(1u, run.messages.size());
    EXPECT_NE(strRefused, run.messages[0]) << "a built-in name has its own message";

    run = Save(H(), L" Evening ");
    EXPECT_TRUE(run.messages.empty());
    Pump();
    EXPECT_EQ(L"Evening", Text(Item(H(), IDC_CMB_EQ_PRESET)));
    EXPECT_TRUE(Enabled(H(), IDC_BTN_EQ_PRESET_SAVE));
    EXPECT_TRUE(Enabled(H(), IDC_BTN_EQ_PRESET_DEL));
    const auto items = ComboItems(H(), IDC_CMB_EQ_PRESET);
    EXPECT_NE(items.end(), std::find(items.begin(), items.end(), L"Evening")) << "listed once the driver reports it";

    // A user preset's name in other case: asked first; No stores nothing.
    const size_t nBefore = items.size();
    run = Save(H(), L"MINE", IDNO);
    EXPECT_EQ(1u, run.messages.size());
    Pump();
    EXPECT_EQ(nBefore, ComboItems(H(), IDC_CMB_EQ_PRESET).size());
    run = Save(H(), std::wstring(127, L'y'), IDYES);
    EXPECT_TRUE(run.messages.empty());
    Pump();
    EXPECT_EQ(nBefore + 1, ComboItems(H(), IDC_CMB_EQ_PRESET).size());
}

// Two pages on two sessions: what one saves or moves shows in the other.
TEST_F(Equalizer, ASecondPageFollowsTheFirst)
{
    OpenPage(EqBlock(kPresets));
    m_secondSession = std::make_unique<CKVDeviceEndpoint>(0x0409);
    ASSERT_TRUE(m_secondSession->OpenDeviceEndpoint());
    m_second = NewPage(m_secondSession.get());
    DragSlider(H(), IDC_SLD_EQ_BAND_0, 2);
    Save(H(), L"Shared");
    Pump();
    EXPECT_EQ(2, SliderPos(m_second->m_hWnd, IDC_SLD_EQ_BAND_0));
    const auto items = ComboItems(m_second->m_hWnd, IDC_CMB_EQ_PRESET);
    EXPECT_NE(items.end(), std::find(items.begin(), items.end(), L"Shared"));
    EXPECT_EQ(L"Shared", Text(Item(m_second->m_hWnd, IDC_CMB_EQ_PRESET)));
}

TEST_F(Equalizer, HostileDriverNeitherCrashesNorLies)
{
    std::wstring bands;
    for (int b = 0; b < 17; ++b)
        bands += L"        band label=" + std::wstring(63, static_cast<wchar_t>(L'a' + b)) +
                 L" range=-12:12:1 level=" + std::to_wstring(b % 5) + L"\n";
    OpenPage(L"    quirks unterminated-names endless-presets\n" +
             EqBlock(L"    eqpresets wide=1 narrow=0 active=p1\n"
                     L"        preset key=p1 name=" + std::wstring(128, L'n') + L" kind=user levels=0 preamp=0\n",
                     bands));
    EXPECT_EQ(17u, m_page->m_curve.BandCount());
    // An unterminated label is what the buffer holds, and no more.
    const std::wstring strLabel = Text(H(), IDC_STC_EQ_BAND_0);
    EXPECT_EQ(0u, strLabel.find(std::wstring(63, L'a')));
    EXPECT_LE(strLabel.size(), 128u);
    EXPECT_EQ(12 - 4, SliderPos(H(), IDC_SLD_EQ_BAND_9)) << "band 9 is at level 4";
    const auto items = ComboItems(H(), IDC_CMB_EQ_PRESET);
    EXPECT_EQ(1024u, items.size()) << "a list that never ends is cut";
    EXPECT_EQ(127u, items[0].size()) << "names are cut to 127 characters";

    // A write the driver refuses: the page shows what the driver holds.
    Fail(L"ISNDIEQ", 6, E_FAIL);
    DragSlider(H(), IDC_SLD_EQ_BAND_1, 0);
    PostMessageW(H(), WM_EQ_DRIVER_CHANGE_FIRST, 0x80000202, 0);
    Pump();
    EXPECT_EQ(12 - 1, SliderPos(H(), IDC_SLD_EQ_BAND_1));
    EXPECT_EQ(1.0f, Band(1));
}

// A device with the narrow preset flavour only and a thousand presets.
TEST_F(Equalizer, NarrowPresetsOfAHostileDeviceWork)
{
    LoadFile(L"hostile-eq.kvtopo");
    Open();
    m_page = NewPage(m_pSession.get());
    ASSERT_NE(nullptr, m_page->m_pEQPreset);
    ASSERT_EQ(nullptr, m_page->m_pEQPreset->m_pWide);
    const auto items = ComboItems(H(), IDC_CMB_EQ_PRESET);
    ASSERT_EQ(1000u, items.size());
    // Names come unterminated here: each shows what its buffer holds.
    auto startsWith = [](const std::wstring& s, const wchar_t* p) { return s.rfind(p, 0) == 0; };
    EXPECT_TRUE(startsWith(items[0], L"Every Band At Its Ceiling")) << "built-in first, then by name";
    EXPECT_TRUE(startsWith(Text(Item(H(), IDC_CMB_EQ_PRESET)), L"Flat"));
    for (const auto& item : items)
        ASSERT_LE(item.size(), 127u);

    const int nLast = static_cast<int>(
        std::find_if(items.begin(), items.end(), [&](const std::wstring& s) { return startsWith(s, L"Halfway Up"); }) -
        items.begin());
    HWND hCombo = Item(H(), IDC_CMB_EQ_PRESET);
    SendMessageW(hCombo, CB_SETCURSEL, nLast, 0);
    SendMessageW(H(), WM_COMMAND, MAKEWPARAM(IDC_CMB_EQ_PRESET, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hCombo));
    Pump();
    EXPECT_EQ(L"halfway", Get(L"codec", L"eqpresets.active"));
    EXPECT_TRUE(startsWith(Text(hCombo), L"Halfway Up"));
    EXPECT_TRUE(Enabled(H(), IDC_BTN_EQ_PRESET_DEL));
}

TEST(EqResponseCurve, LabelsGiveCentresAndEachBandShowsAtItsOwn)
{
    EXPECT_EQ(31.0, CEQResponseCurve::FrequencyFromLabel(L"31"));
    EXPECT_EQ(3600.0, CEQResponseCurve::FrequencyFromLabel(L"3.6k"));
    EXPECT_EQ(16000.0, CEQResponseCurve::FrequencyFromLabel(L" 16 kHz"));
    EXPECT_EQ(500.0, CEQResponseCurve::FrequencyFromLabel(L"500Hz"));
    for (const wchar_t* bad : {L"", L"bass", L"-5", L"1e300", static_cast<const wchar_t*>(nullptr)})
        EXPECT_EQ(0.0, CEQResponseCurve::FrequencyFromLabel(bad));

    CEQResponseCurve curve;
    const wchar_t* labels[] = {L"31", L"62", L"125", L"250", L"500", L"1k", L"2k", L"4k", L"8k", L"16k"};
    for (UINT b = 0; b < 10; ++b)
        curve.SetBand(b, CEQResponseCurve::FrequencyFromLabel(labels[b]), 0.0f);
    EXPECT_EQ(0.0, curve.ResponseAt(1000.0));
    curve.SetLevel(5, 6.0f);
    EXPECT_NEAR(6.0, curve.ResponseAt(1000.0), 1.0);
    EXPECT_NEAR(0.0, curve.ResponseAt(31.0), 0.5);
    curve.SetLevel(5, std::nanf(""));  // a hostile level draws flat, not garbage
    EXPECT_EQ(0.0, curve.ResponseAt(1000.0));
}

}  // namespace
}  // namespace uitest
