// What a skin does to a dialog: the file's colours on the screen, nothing
// moved or changed in behaviour, and the platform's look whenever the file
// cannot be used.
#include "GlazeUHarness.h"
#include "KVEffRsc_ids.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace glazeutest;

namespace {

// Colours none of our shipped skins uses, so a pixel tells where it came from.
const char kTestSkin[] =
    "[file]\nfamily = Test\nscale = 100\nfont = Tahoma, 13\n"
    "[Test.INI]\nbackground = #203040\ntext = #F0E8D8\naccent = #10C090\nface = #505860\nfield = #101418\n"
    "toggle = 1022, 1023\npagebuttons = 1002, 1003, 1004, 1005\n";
const COLORREF kBackground = RGB(0x20, 0x30, 0x40), kAccent = RGB(0x10, 0xC0, 0x90), kFace = RGB(0x50, 0x58, 0x60),
               kField = RGB(0x10, 0x14, 0x18);

const wchar_t* const kShippedFiles[] = {L"KVEffect.bff",      L"KVEffect_80.bff",   L"KVEffect_125.bff",
                                        L"KVEffect_150.bff",  L"KVEffect_200.bff",  L"KVEffect2.bff",
                                        L"KVEffect2_125.bff", L"KVEffect2_150.bff", L"KVEffect2_200.bff"};
const char* const kSections[] = {"IDD_MAINEFFECTS_DLG.INI", "IDD_DLG_MASTER_ONOFF.INI",
                                 "IDD_DLG_MASTER_ONOFF_TRANSPARENT.INI", "IDD_DLG_QFX.INI",
                                 "IDD_DLG_ENHANCEMENT.INI", "IDD_DLG_RVX.INI", "IDD_DLG_EQ.INI",
                                 "IDD_DIALOG_PRESETSAVE.INI", "IDD_DIALOG_MESSAGEBOX.INI"};

// The colour in the middle of a face's top edge, clear of its text and corners.
COLORREF FaceColor(HWND hDlg, int nId)
{
    HWND h = GetDlgItem(hDlg, nId);
    RECT rc;
    GetClientRect(h, &rc);
    return PixelAt(h, rc.right / 2, 2);
}

// Inside a check box's box, clear of its mark.
COLORREF CheckBoxColor(HWND hDlg, int nId)
{
    HWND h = GetDlgItem(hDlg, nId);
    RECT rc;
    GetClientRect(h, &rc);
    return PixelAt(h, 2, rc.bottom / 2);
}

struct CWindowFacts {
    HWND m_hWnd;
    RECT m_rc;
    LONG m_lStyle, m_lExStyle;
    bool operator==(const CWindowFacts& o) const
    {
        return m_hWnd == o.m_hWnd && EqualRect(&m_rc, &o.m_rc) && m_lStyle == o.m_lStyle && m_lExStyle == o.m_lExStyle;
    }
};

std::vector<CWindowFacts> FactsOf(HWND hDlg)
{
    std::vector<CWindowFacts> facts;
    for (HWND h = hDlg; h; h = h == hDlg ? GetWindow(hDlg, GW_CHILD) : GetWindow(h, GW_HWNDNEXT))
        facts.push_back({h, RectIn(Host(), h), GetWindowLongW(h, GWL_STYLE), GetWindowLongW(h, GWL_EXSTYLE)});
    return facts;
}

} // namespace

TEST(Skin, PaintsEachRoleInTheFilesColours)
{
    const std::wstring path = WriteSkinFile(kTestSkin);
    HWND hMain = CreateMainDialog(Host());
    HWND hMaster = CreateMasterDialog(hMain);
    HWND hPage = CreateSampleDialog(Host());
    SetWindowPos(hPage, nullptr, 0, 420, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CGlazeU lib;
    const INT_PTR hHook = lib.Create();
    for (HWND h : {hMain, hMaster, hPage})
        ASSERT_GT(lib.Skin(hHook, h, "Test.INI", path), 1);

    EXPECT_EQ(DialogBrushColor(hMain), kBackground);
    EXPECT_EQ(PixelAt(hPage, 1, 1), kBackground);
    // The checked half of the switch is lit; the other is plain.
    EXPECT_EQ(FaceColor(hMaster, IDC_BTN_MASTER_ON), kAccent);
    EXPECT_EQ(FaceColor(hMaster, IDC_BTN_MASTER_OFF), kFace);
    // The current page's button is the disabled one, and it is the lit one.
    EXPECT_EQ(FaceColor(hMain, IDC_BTN_PAGE_QFX), kAccent);
    EXPECT_EQ(FaceColor(hMain, IDC_BTN_PAGE_EQ), kFace);
    // Other disabled controls look disabled.
    EXPECT_NE(FaceColor(hPage, IDC_BTN_EQ_PRESET_DEL), FaceColor(hPage, IDC_BTN_EQ_PRESET_SAVE));
    EXPECT_NE(CheckBoxColor(hPage, IDC_CHK_BASS_MANAGEMENT), kAccent);

    // A click repaints in the skin's colours, not the platform's.
    EXPECT_EQ(CheckBoxColor(hPage, IDC_CHK_DETAIL_RESTORE), kAccent);
    SendDlgItemMessageW(hPage, IDC_CHK_DETAIL_RESTORE, BM_CLICK, 0, 0);
    EXPECT_EQ(CheckBoxColor(hPage, IDC_CHK_DETAIL_RESTORE), kField);
    // A trackbar's thumb comes from its custom drawing, answered by the skin
    // at the dialog (the thumb colour defaults to the accent).
    HWND hSlider = GetDlgItem(hPage, IDC_SLD_DETAIL_RESTORE);
    RECT rcThumb = {};
    SendMessageW(hSlider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&rcThumb));
    EXPECT_EQ(PixelAt(hSlider, (rcThumb.left + rcThumb.right) / 2, (rcThumb.top + rcThumb.bottom) / 2), kAccent);
    EXPECT_EQ(PixelAt(GetDlgItem(hPage, IDC_CMB_SURROUND_MODE), 1, 5), kField);

    lib.Destroy(hHook);
    DestroyWindow(hPage);
    DestroyWindow(hMain);
}

// What the plug-in changes on a page that is shown is on the screen just as
// a fresh paint of the page would put it there, with nothing of the
// platform's look left over and nothing left unpainted.
TEST(Skin, ChangesWhileShownLookAsIfPaintedAfresh)
{
    HWND hPage = CreateSampleDialog(Host());
    CGlazeU lib;
    const INT_PTR hHook = lib.Create();
    ASSERT_GT(lib.Skin(hHook, hPage, "Test.INI", WriteSkinFile(kTestSkin)), 1);
    kvtest::PumpUntilIdle(100);
    SetDlgItemTextW(hPage, IDC_STC_SURROUND_MODE, L"Speakers");
    SetDlgItemTextW(hPage, IDC_BTN_EQ_PRESET_SAVE, L"Store...");
    EnableWindow(GetDlgItem(hPage, IDC_BTN_EQ_PRESET_DEL), TRUE);
    EnableWindow(GetDlgItem(hPage, IDC_RAD_RVX_PRESET_2), TRUE);
    CheckDlgButton(hPage, IDC_CHK_DETAIL_RESTORE, BST_UNCHECKED);
    CheckRadioButton(hPage, IDC_RAD_RVX_NO_PRESET, IDC_RAD_RVX_PRESET_2, IDC_RAD_RVX_PRESET_1);
    SendDlgItemMessageW(hPage, IDC_CHK_EQ_ENABLE, BM_CLICK, 0, 0);
    SendDlgItemMessageW(hPage, IDC_CMB_SURROUND_MODE, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageW(hPage, IDC_SLD_EQ_BAND_1, TBM_SETPOS, TRUE, 2);
    SetFocus(GetDlgItem(hPage, IDOK));
    SendDlgItemMessageW(hPage, IDOK, WM_SETFONT, SendDlgItemMessageW(hPage, IDC_GRP_DETAIL, WM_GETFONT, 0, 0), TRUE);
    kvtest::PumpUntilIdle(100);
    const std::vector<BYTE> shown = ShownImage(hPage);
    EXPECT_FALSE(shown.empty());
    EXPECT_TRUE(shown == ClientImage(hPage));
    lib.Destroy(hHook);
    DestroyWindow(hPage);
}

// A trackbar shows where the keyboard is, and its thumb shows while it is
// held, as the platform's trackbar does.
TEST(Skin, TrackbarShowsFocusAndAHeldThumb)
{
    const std::wstring path = WriteSkinFile(kTestSkin);
    HWND hPage = CreateSampleDialog(Host());
    CGlazeU lib;
    const INT_PTR hHook = lib.Create();
    ASSERT_GT(lib.Skin(hHook, hPage, "Test.INI", path), 1);
    HWND hSlider = GetDlgItem(hPage, IDC_SLD_DETAIL_RESTORE);
    RECT rc;
    GetClientRect(hSlider, &rc);
    const auto edgeMarked = [&] {
        for (int x = 0; x < 8; ++x) {
            if (PixelAt(hSlider, x, 0) != kBackground || PixelAt(hSlider, x, rc.bottom - 1) != kBackground)
                return true;
        }
        return false;
    };
    EXPECT_FALSE(edgeMarked());
    SetFocus(hSlider);
    EXPECT_TRUE(edgeMarked());
    SetFocus(GetDlgItem(hPage, IDC_CHK_EQ_ENABLE));
    EXPECT_FALSE(edgeMarked());

    RECT rcThumb = {};
    SendMessageW(hSlider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&rcThumb));
    const int x = (rcThumb.left + rcThumb.right) / 2, y = (rcThumb.top + rcThumb.bottom) / 2;
    EXPECT_EQ(PixelAt(hSlider, x, y), kAccent);
    SendMessageW(hSlider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    EXPECT_NE(PixelAt(hSlider, x, y), kAccent) << "held";
    SendMessageW(hSlider, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    EXPECT_EQ(PixelAt(hSlider, x, y), kAccent) << "let go";
    lib.Destroy(hHook);
    DestroyWindow(hPage);
}

// The plug-in moves the bold font to the current page's button after the
// window is skinned: it shows exactly as if it had been there from the start.
TEST(Skin, FollowsFontsSetLater)
{
    HWND hEarly = CreateMainDialog(Host()), hLate = CreateMainDialog(Host());
    SetWindowPos(hLate, nullptr, 0, 420, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const auto moveBold = [](HWND hDlg) {
        const LRESULT hBold = SendDlgItemMessageW(hDlg, IDC_BTN_PAGE_QFX, WM_GETFONT, 0, 0);
        const LRESULT hNormal = SendDlgItemMessageW(hDlg, IDC_BTN_PAGE_EQ, WM_GETFONT, 0, 0);
        SendDlgItemMessageW(hDlg, IDC_BTN_PAGE_EQ, WM_SETFONT, hBold, TRUE);
        SendDlgItemMessageW(hDlg, IDC_BTN_PAGE_QFX, WM_SETFONT, hNormal, TRUE);
    };
    moveBold(hEarly);
    CGlazeU lib;
    const INT_PTR hHook = lib.Create();
    for (HWND h : {hEarly, hLate})
        ASSERT_GT(lib.Skin(hHook, h, "IDD_MAINEFFECTS_DLG.INI", BinFile(L"KVEffect.bff")), 1);
    const auto sameImage = [&](int nId) {
        return ClientImage(GetDlgItem(hEarly, nId)) == ClientImage(GetDlgItem(hLate, nId));
    };
    EXPECT_FALSE(sameImage(IDC_BTN_PAGE_QFX));
    EXPECT_FALSE(sameImage(IDC_BTN_PAGE_EQ));
    moveBold(hLate);
    EXPECT_TRUE(sameImage(IDC_BTN_PAGE_QFX));
    EXPECT_TRUE(sameImage(IDC_BTN_PAGE_EQ));
    lib.Destroy(hHook);
    DestroyWindow(hEarly);
    DestroyWindow(hLate);
}

TEST(Skin, ChangesNoWindowsPlaceStyleOrBehaviour)
{
    HWND hPage = CreateSampleDialog(Host());
    const std::vector<CWindowFacts> before = FactsOf(hPage);
    CGlazeU lib;
    const INT_PTR hHook = lib.Create();
    ASSERT_GT(lib.Skin(hHook, hPage, "IDD_DLG_QFX.INI", BinFile(L"KVEffect_200.bff")), 1);
    kvtest::PumpUntilIdle(100);
    EXPECT_EQ(FactsOf(hPage), before);

    // The controls still do what they did: check boxes check, sliders slide, lists pick.
    SendDlgItemMessageW(hPage, IDC_CHK_EQ_ENABLE, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(hPage, IDC_CHK_EQ_ENABLE), BST_UNCHECKED);
    SendDlgItemMessageW(hPage, IDC_SLD_EQ_BAND_2, TBM_SETPOS, TRUE, 20);
    EXPECT_EQ(SendDlgItemMessageW(hPage, IDC_SLD_EQ_BAND_2, TBM_GETPOS, 0, 0), 20);
    SendDlgItemMessageW(hPage, IDC_CMB_SURROUND_MODE, CB_SETCURSEL, 0, 0);
    EXPECT_EQ(SendDlgItemMessageW(hPage, IDC_CMB_SURROUND_MODE, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(FactsOf(hPage), before);

    lib.Destroy(hHook);
    DestroyWindow(hPage);
}

TEST(Skin, EveryShippedFileSkinsEveryDialog)
{
    HWND hPage = CreateSampleDialog(Host());
    CGlazeU lib;
    const INT_PTR hHook = lib.Create();
    for (const wchar_t* pszFile : kShippedFiles) {
        for (const char* pszSection : kSections)
            EXPECT_GT(lib.Skin(hHook, hPage, pszSection, BinFile(pszFile)), 1) << kvtest::Narrow(pszFile) << " " << pszSection;
    }
    // The two families look different.
    lib.Skin(hHook, hPage, "IDD_DLG_EQ.INI", BinFile(L"KVEffect.bff"));
    const COLORREF crFirst = DialogBrushColor(hPage);
    lib.Skin(hHook, hPage, "IDD_DLG_EQ.INI", BinFile(L"KVEffect2.bff"));
    EXPECT_NE(DialogBrushColor(hPage), crFirst);
    lib.Destroy(hHook);
    DestroyWindow(hPage);
}

// A file, a section or a line that cannot be used leaves the dialog as the
// platform draws it; the section is used whole or not at all.
TEST(Skin, UnusableFilesLeaveThePlatformsLook)
{
    const std::string header = "[file]\nfont = Tahoma, 13\n[Test.INI]\n";
    const std::string good = header + "background = #203040\ntext = #F0E8D8\naccent = #10C090\n";
    std::string junk(3000, '\0');
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>(i * 7919 % 251);
    const struct {
        const char* m_pszCase;
        std::string m_text;
        bool m_bSkinned;
    } cases[] = {
        {"usable", good, true},
        {"no newline at the end", good.substr(0, good.size() - 1), true},
        {"byte-order mark, CRLF", "\xEF\xBB\xBF[Test.INI]\r\nbackground = #203040\r\ntext=#F0E8D8\r\naccent=#10C090", true},
        {"a key this version does not know", good + "glow = #FFFFFF\n", true},
        {"junk in another section", "[Other.INI]\n" + junk + "\n" + good, true},
        {"no such section", "[Other.INI]\nbackground = #203040\ntext = #F0E8D8\naccent = #10C090\n", false},
        {"no accent", header + "background = #203040\ntext = #F0E8D8\n", false},
        {"a colour short of a digit", good + "face = #20304\n", false},
        {"a colour by name", good + "face = red\n", false},
        {"a line without a key", good + "teal everywhere\n", false},
        {"a key given twice", good + "accent = #10C090\n", false},
        {"a role without ids", good + "toggle = ,\n", false},
        {"a font without a size", "[file]\nfont = Tahoma\n[Test.INI]\nbackground = #203040\ntext = #F0E8D8\naccent = #10C090\n", false},
        {"a 5000-character line", good + "text2 = " + std::string(5000, 'x') + "\n", false},
        {"binary junk", good + junk, false},
        {"a megabyte of comments", good + std::string(1 << 20, ';'), false},
    };
    HWND hPage = CreateSampleDialog(Host());
    const COLORREF crPlatform = GetSysColor(COLOR_3DFACE);
    for (const auto& c : cases) {
        CGlazeU lib;
        const INT_PTR hHook = lib.Create();
        const INT_PTR nSkinned = lib.Skin(hHook, hPage, "Test.INI", WriteSkinFile(c.m_text));
        EXPECT_EQ(nSkinned > 0, c.m_bSkinned) << c.m_pszCase;
        EXPECT_EQ(DialogBrushColor(hPage), c.m_bSkinned ? kBackground : crPlatform) << c.m_pszCase;
        EXPECT_EQ(PixelAt(hPage, 1, 1), c.m_bSkinned ? kBackground : crPlatform) << c.m_pszCase;
        lib.Destroy(hHook);
    }
    CGlazeU lib;
    const INT_PTR hHook = lib.Create();
    EXPECT_EQ(lib.Skin(hHook, hPage, "Test.INI", BinFile(L"NoSuchSkin.bff")), 0);
    EXPECT_EQ(lib.Call(0x1000, hHook, reinterpret_cast<INT_PTR>(hPage), 0, 0), 0);
    EXPECT_EQ(lib.Skin(hHook, nullptr, "IDD_DLG_EQ.INI", BinFile(L"KVEffect.bff")), 0);
    EXPECT_EQ(DialogBrushColor(hPage), crPlatform);
    lib.Destroy(hHook);
    DestroyWindow(hPage);
}

// Not a check but a way to look: BMPs of both families at 100 % and 150 %
// in build/glazeu/ (convert them to PNG to view them).
TEST(SkinLook, ScreenshotsOfBothFamilies)
{
    const struct {
        const wchar_t* m_pszFile;
        WORD m_wPoints;
    } shots[] = {{L"KVEffect.bff", 8}, {L"KVEffect_150.bff", 12}, {L"KVEffect2.bff", 8}, {L"KVEffect2_150.bff", 12}};
    const std::wstring dir = kvtest::ExeDirectory() + L"..\\glazeu\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    CGlazeU lib;
    for (const auto& s : shots) {
        HWND hMain = CreateMainDialog(Host(), s.m_wPoints);
        HWND hMaster = CreateMasterDialog(hMain, s.m_wPoints);
        HWND hPage = CreateSampleDialog(hMain, s.m_wPoints);
        const RECT rcMaster = RectIn(hMain, GetDlgItem(hMain, IDC_PLACE_MASTER_ONOFF));
        const RECT rcPage = RectIn(hMain, GetDlgItem(hMain, IDC_PLACE_CHILD_DLG));
        SetWindowPos(hMaster, nullptr, rcMaster.left, rcMaster.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetWindowPos(hPage, nullptr, rcPage.left, rcPage.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        const INT_PTR hHook = lib.Create();
        const std::wstring path = BinFile(s.m_pszFile);
        EXPECT_GT(lib.Skin(hHook, hMain, "IDD_MAINEFFECTS_DLG.INI", path), 1);
        EXPECT_GT(lib.Skin(hHook, hMaster, "IDD_DLG_MASTER_ONOFF.INI", path), 1);
        EXPECT_GT(lib.Skin(hHook, hPage, "IDD_DLG_QFX.INI", path), 1);
        SetFocus(GetDlgItem(hPage, IDC_CHK_DETAIL_RESTORE));
        std::wstring name = s.m_pszFile;
        name.replace(name.find(L".bff"), 4, L".bmp");
        EXPECT_TRUE(SaveScreenshot(hMain, dir + name));
        lib.Destroy(hHook);
        DestroyWindow(hMain);
    }
}
