// The reverb page as a user works it, against the simulated driver: the
// environment's switch and amount, the preset buttons, German and French
// names, and drivers that answer badly.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "KVLoadRs.h"
#include "SimState.h"
#include "device/KVDeviceEndpoint.h"
#include "ui/ChildDlgRVX.h"

#include <commctrl.h>

namespace uitest {
namespace {

// The environment, then nPresets built-in presets rvx-0, rvx-1, ... named
// "Preset 0", ...; mode is the reverb list's.
std::wstring ReverbFeatures(const std::wstring& env = L"enabled=1 range=0:10:0.5 value=3.3", int nPresets = 4,
                            const std::wstring& active = L"rvx-1", int nMode = 4096)
{
    std::wstring text = L"    reverb " + env + L" presets-enabled=1\n        item rank=1 mode=" +
                        std::to_wstring(nMode) + L"\n    rvxpresets wide=1 narrow=0 active=" + active + L"\n";
    for (int i = 0; i < nPresets; ++i)
        text += L"        preset key=rvx-" + std::to_wstring(i) + L" name=\"Preset " + std::to_wstring(i) +
                L"\" kind=builtin value=" + std::to_wstring(i % 10) + L"\n";
    return text;
}

int CheckedPreset(HWND hDlg)  // the checked button's id, 0 for none
{
    for (int nID = IDC_RAD_RVX_NO_PRESET; nID <= IDC_RAD_RVX_PRESET_7; ++nID) {
        if (Checked(hDlg, nID) == BST_CHECKED)
            return nID;
    }
    return 0;
}

class Reverb : public BoundPageTest<CChildDlgRVX, IDD_DLG_RVX>
{
};

TEST_F(Reverb, TheAmountCountsStepsOfTheDriversGranularity)
{
    HWND h = OpenPage(ReverbFeatures());
    HWND hSlider = Item(h, IDC_SLD_RVX_ENVIRONMENT);
    EXPECT_EQ(0, SendMessageW(hSlider, TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(20, SendMessageW(hSlider, TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(TicsAt(0, 20, 2), SendMessageW(hSlider, TBM_GETNUMTICS, 0, 0)) << "ticks every 2";
    EXPECT_EQ(10, SendMessageW(hSlider, TBM_GETPAGESIZE, 0, 0));
    EXPECT_EQ(7, SliderPos(h, IDC_SLD_RVX_ENVIRONMENT)) << "3.3 is 6.6 steps";
    EXPECT_EQ(L"3.5 dB", TooltipText(h, IDC_SLD_RVX_ENVIRONMENT));
    DragSlider(h, IDC_SLD_RVX_ENVIRONMENT, 12);
    EXPECT_EQ(L"6", Get(L"speakers", L"reverb.value"));

    // Halves away from zero at a negative minimum.
    h = OpenPage(ReverbFeatures(L"enabled=1 range=-2.5:10:1 value=0"));
    EXPECT_EQ(-3, SendMessageW(Item(h, IDC_SLD_RVX_ENVIRONMENT), TBM_GETRANGEMIN, 0, 0));
}

TEST_F(Reverb, MasterOffShowsTheRememberedEnvironmentAndDisablesTheRest)
{
    HWND h = OpenPage(ReverbFeatures());
    ASSERT_TRUE(Enabled(h, IDC_RAD_RVX_PRESET_0));
    m_pSession->SetMasterOnOff(FALSE, TRUE);
    Pump();
    EXPECT_EQ(L"0", Get(L"speakers", L"reverb.enabled"));
    EXPECT_EQ(BST_CHECKED, Checked(h, IDC_CHK_RVX_ENVIRONMENT));
    EXPECT_FALSE(Enabled(h, IDC_CHK_RVX_ENVIRONMENT));
    EXPECT_FALSE(Enabled(h, IDC_SLD_RVX_ENVIRONMENT));
    for (int nID = IDC_RAD_RVX_NO_PRESET; nID <= IDC_RAD_RVX_PRESET_3; ++nID)
        EXPECT_FALSE(Enabled(h, nID)) << nID;
}

TEST_F(Reverb, PresetsFollowingTheEnvironmentOfferNoNoneAndSwitchWithIt)
{
    HWND h = OpenPage(ReverbFeatures(L"enabled=1 range=0:10:0.5 value=3", 4, L"rvx-1", 8192));
    EXPECT_FALSE(Visible(h, IDC_RAD_RVX_NO_PRESET));
    EXPECT_TRUE(Visible(h, IDC_RAD_RVX_PRESET_0));
    Click(h, IDC_CHK_RVX_ENVIRONMENT);
    EXPECT_EQ(L"0", Get(L"speakers", L"reverb.enabled"));
    EXPECT_EQ(L"0", Get(L"speakers", L"rvxpresets.enabled"));
    EXPECT_FALSE(Enabled(h, IDC_RAD_RVX_PRESET_1));
    Click(h, IDC_CHK_RVX_ENVIRONMENT);
    EXPECT_EQ(L"1", Get(L"speakers", L"reverb.enabled"));
    EXPECT_EQ(L"1", Get(L"speakers", L"rvxpresets.enabled"));
    EXPECT_EQ(IDC_RAD_RVX_PRESET_1, CheckedPreset(h));
    EXPECT_TRUE(Enabled(h, IDC_RAD_RVX_PRESET_1));
}

TEST_F(Reverb, EightButtonsShowTheFirstBuiltInPresets)
{
    HWND h = OpenPage(ReverbFeatures(L"enabled=1 range=0:10:0.5 value=3", 12, L"rvx-2"));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(L"Preset " + std::to_wstring(i), Text(h, IDC_RAD_RVX_PRESET_0 + i));
    EXPECT_EQ(IDC_RAD_RVX_PRESET_2, CheckedPreset(h));
    // Chosen elsewhere, past the buttons: none is checked.
    RunKvsim(L"set speakers rvxpresets.active rvx-9");
    Pump();
    EXPECT_EQ(0, CheckedPreset(h));

    // User presets are not reverb page entries; no button offers a preset
    // the list does not have.
    LoadFile(L"reverb-user-presets.kvtopo");
    h = OpenOnLoaded();
    EXPECT_EQ(3u, m_page->m_vecRVXPresets.size());
    EXPECT_EQ(L"Hall", Text(h, IDC_RAD_RVX_PRESET_1));
    EXPECT_TRUE(Visible(h, IDC_RAD_RVX_PRESET_2));
    EXPECT_FALSE(Visible(h, IDC_RAD_RVX_PRESET_3));
}

TEST_F(Reverb, ChoosingAPresetActivatesItAndTheDriverConfirms)
{
    HWND h = OpenPage(ReverbFeatures());
    kvsim::EventReader reader;
    Click(h, IDC_RAD_RVX_PRESET_3);
    EXPECT_EQ(L"rvx-3", Get(L"speakers", L"rvxpresets.active"));
    EXPECT_EQ(IDC_RAD_RVX_PRESET_3, CheckedPreset(h));
    EXPECT_EQ(6, SliderPos(h, IDC_SLD_RVX_ENVIRONMENT)) << "the preset's amount, 3";

    // None switches the presets off; a preset can be chosen again at once.
    Click(h, IDC_RAD_RVX_NO_PRESET);
    EXPECT_EQ(L"0", Get(L"speakers", L"rvxpresets.enabled"));
    EXPECT_EQ(IDC_RAD_RVX_NO_PRESET, CheckedPreset(h));
    ASSERT_TRUE(Enabled(h, IDC_RAD_RVX_PRESET_0));
    Click(h, IDC_RAD_RVX_PRESET_0);
    EXPECT_EQ(L"1", Get(L"speakers", L"rvxpresets.enabled"));
    EXPECT_EQ(IDC_RAD_RVX_PRESET_0, CheckedPreset(h));

    // A preset the driver refuses leaves the check where it was.
    Fail(L"ISNDIRVXPresetU", 9, E_FAIL, -1, 1);
    Click(h, IDC_RAD_RVX_PRESET_2);
    EXPECT_EQ(IDC_RAD_RVX_PRESET_0, CheckedPreset(h));
    EXPECT_EQ(L"rvx-0", Get(L"speakers", L"rvxpresets.active"));
}

TEST_F(Reverb, InGermanAndFrenchTheTextsAndThePresetNamesAreTranslated)
{
    // The resource library and the session as the application makes them
    // under "ForceLanguageID".
    wchar_t szExe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    std::wstring path(szExe);
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"KVEffRsc.rsc";
    const struct {
        const wchar_t* pszLocale;
        DWORD dwLanguage;
        const wchar_t *pszSwitch, *pszFirst, *pszSeventh;
    } languages[] = {
        {L"de-DE", 1031, L"Raumhall", L"Zimmer", L"H\u00F6hle"},
        {L"fr-FR", 1036, L"R\u00E9verb\u00E9ration de la pi\u00E8ce", L"Pi\u00E8ce", L"Grotte"},
    };
    HINSTANCE hEnglish = AfxGetResourceHandle();
    LoadFile(L"default.kvtopo");
    for (const auto& l : languages) {
        SCOPED_TRACE(kvtest::Narrow(l.pszLocale));
        KVMUIRESLIB lib = {};
        ASSERT_TRUE(SUCCEEDED(KVLoadMUIAwareResourceLibrary(path.c_str(), l.pszLocale, 0, 0, &lib)));
        AfxSetResourceHandle(lib.hModule);
        HWND h = OpenOnLoaded(l.dwLanguage);
        EXPECT_EQ(l.pszSwitch, Text(h, IDC_CHK_RVX_ENVIRONMENT));
        EXPECT_EQ(l.pszFirst, Text(h, IDC_RAD_RVX_PRESET_0));
        EXPECT_EQ(l.pszSeventh, Text(h, IDC_RAD_RVX_PRESET_6));
        Discard(m_page);
        AfxSetResourceHandle(hEnglish);
        KVFreeMUIAwareResourceLibrary(lib);
    }
}

TEST_F(Reverb, AHostileDriverGivesBoundedAnswers)
{
    // Granularity 0, names without a terminator, a preset list that never ends.
    HWND h = OpenPage(L"    quirks unterminated-names endless-presets\n" +
                      ReverbFeatures(L"enabled=1 range=0:10:0 value=4", 3, L"rvx-0"));
    EXPECT_EQ(kMaxEnumerated, m_page->m_vecRVXPresets.size());
    const std::wstring name = Text(h, IDC_RAD_RVX_PRESET_0);
    EXPECT_EQ(0u, name.find(L"Preset 0"));
    EXPECT_EQ(CPreset::kNameChars - 1, name.size()) << "cut to the entry's buffer";
    EXPECT_EQ(0, SendMessageW(Item(h, IDC_SLD_RVX_ENVIRONMENT), TBM_GETRANGEMAX, 0, 0));
    DragSlider(h, IDC_SLD_RVX_ENVIRONMENT, 0);
    EXPECT_EQ(L"0.0 dB", TooltipText(h, IDC_SLD_RVX_ENVIRONMENT));
    // Entry 7 repeats entry 1's key; the driver's answer names the first.
    Click(h, IDC_RAD_RVX_PRESET_7);
    EXPECT_EQ(L"rvx-1", Get(L"speakers", L"rvxpresets.active"));
    EXPECT_EQ(IDC_RAD_RVX_PRESET_1, CheckedPreset(h));
}

} // namespace
} // namespace uitest
