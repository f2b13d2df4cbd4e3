// The library's life as the plug-in leads it: loaded and freed once per
// dialog, instances ended while their windows live on, handles that are
// wrong, windows skinned twice, and many rounds that must leave nothing.
#include "GlazeUHarness.h"
#include "KVEffRsc_ids.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <string>

using namespace glazeutest;

namespace {

// The procedures of the dialog and of some of its controls.
std::vector<LONG_PTR> WindowProcs(HWND hDlg)
{
    std::vector<LONG_PTR> procs;
    for (HWND h : {hDlg, GetDlgItem(hDlg, IDC_CHK_DETAIL_RESTORE), GetDlgItem(hDlg, IDC_GRP_DETAIL),
                   GetDlgItem(hDlg, IDC_STC_SURROUND_MODE), GetDlgItem(hDlg, IDC_CMB_SURROUND_MODE)})
        procs.push_back(GetWindowLongPtrW(h, GWLP_WNDPROC));
    return procs;
}

// A user's worth of messages to a window whose skin library may be gone.
void UseThePage(HWND hPage)
{
    SendDlgItemMessageW(hPage, IDC_CHK_DETAIL_RESTORE, BM_CLICK, 0, 0);
    SendDlgItemMessageW(hPage, IDC_SLD_DETAIL_RESTORE, TBM_SETPOS, TRUE, 2);
    SendDlgItemMessageW(hPage, IDC_CMB_SURROUND_MODE, CB_SETCURSEL, 0, 0);
    SetDlgItemTextW(hPage, IDC_STC_SURROUND_MODE, L"Mode");
    EnableWindow(GetDlgItem(hPage, IDC_BTN_EQ_PRESET_SAVE), FALSE);
    SetFocus(GetDlgItem(hPage, IDC_SLD_EQ_BAND_1));
    RedrawWindow(hPage, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    kvtest::PumpUntilIdle(100);
}

// How many GDI objects the process holds of each kind the library makes
// for itself, by OBJ_ type.
std::map<DWORD, int> CountGdiObjects()
{
    std::map<DWORD, int> counts = {{OBJ_BRUSH, 0}, {OBJ_FONT, 0}, {OBJ_MEMDC, 0}, {OBJ_BITMAP, 0}};
    for (HGDIOBJ h : GdiObjects()) {
        auto it = counts.find(GetObjectType(h));
        if (it != counts.end())
            ++it->second;
    }
    return counts;
}

} // namespace

TEST(Lifetime, WrongHandlesAndCodesAnswerZero)
{
    HWND hPage = CreateSampleDialog(Host());
    CGlazeU lib;
    const INT_PTR hA = lib.Create(), hB = lib.Create();
    ASSERT_NE(hA, 0);
    EXPECT_NE(hA, hB);
    ASSERT_EQ(lib.Destroy(hB), 1);
    const std::wstring path = BinFile(L"KVEffect.bff");
    for (INT_PTR hWrong : {INT_PTR(0), INT_PTR(0x12345678), hA + 1, hB}) {
        EXPECT_EQ(lib.Skin(hWrong, hPage, "IDD_DLG_QFX.INI", path), 0) << hWrong;
        EXPECT_EQ(lib.PrepareRelease(hWrong), 0) << hWrong;
        EXPECT_EQ(lib.Destroy(hWrong), 0) << hWrong;
    }
    for (INT_PTR nCode : {INT_PTR(0), INT_PTR(3), INT_PTR(5), INT_PTR(0x1001), INT_PTR(-1)})
        EXPECT_EQ(lib.Call(nCode, hA, reinterpret_cast<INT_PTR>(hPage)), 0) << nCode;
    EXPECT_EQ(DialogBrushColor(hPage), GetSysColor(COLOR_3DFACE));

    // A window that dies first is simply no longer counted.
    ASSERT_GT(lib.Skin(hA, hPage, "IDD_DLG_QFX.INI", path), 1);
    DestroyWindow(hPage);
    EXPECT_EQ(lib.PrepareRelease(hA), 0);
    EXPECT_EQ(lib.Destroy(hA), 1);
}

// The plug-in frees the library when a dialog object dies, which may be
// before its window does: the window goes back to the platform's look.
TEST(Lifetime, WindowOutlivesItsInstanceAndTheLibrary)
{
    HWND hPage = CreateSampleDialog(Host());
    const std::vector<LONG_PTR> procs = WindowProcs(hPage);
    {
        CGlazeU lib;
        const INT_PTR hHook = lib.Create();
        const INT_PTR nSkinned = lib.Skin(hHook, hPage, "IDD_DLG_RVX.INI", BinFile(L"KVEffect2.bff"));
        ASSERT_GT(nSkinned, 1);
        UseThePage(hPage);
        EXPECT_EQ(lib.PrepareRelease(hHook), nSkinned);
        EXPECT_EQ(lib.Destroy(hHook), 1);
    }
    ASSERT_EQ(GetModuleHandleW(L"GlazeU.DLL"), nullptr);
    EXPECT_EQ(WindowProcs(hPage), procs);
    UseThePage(hPage);
    EXPECT_EQ(DialogBrushColor(hPage), GetSysColor(COLOR_3DFACE));
    EXPECT_EQ(PixelAt(hPage, 1, 1), GetSysColor(COLOR_3DFACE));
    DestroyWindow(hPage);
}

// Skinned again, by the same instance or another, a window keeps one
// subclass: each instance's end takes off exactly what it put on.
TEST(Lifetime, WindowSkinnedTwiceHasOneSkin)
{
    HWND hPage = CreateSampleDialog(Host());
    const std::vector<LONG_PTR> procs = WindowProcs(hPage);
    CGlazeU libA, libB;
    const INT_PTR hA = libA.Create(), hB = libB.Create();
    ASSERT_GT(libA.Skin(hA, hPage, "IDD_DLG_EQ.INI", BinFile(L"KVEffect.bff")), 1);
    ASSERT_GT(libA.Skin(hA, hPage, "IDD_DLG_EQ.INI", BinFile(L"KVEffect.bff")), 1);
    const COLORREF crFirst = DialogBrushColor(hPage);
    ASSERT_GT(libB.Skin(hB, hPage, "IDD_DLG_EQ.INI", BinFile(L"KVEffect2.bff")), 1);
    const COLORREF crSecond = DialogBrushColor(hPage);
    EXPECT_NE(crSecond, crFirst);

    // The window moved to B, so A's end leaves it as B skinned it.
    EXPECT_EQ(libA.PrepareRelease(hA), 0);
    EXPECT_EQ(libA.Destroy(hA), 1);
    libA.Free();
    UseThePage(hPage);
    EXPECT_EQ(DialogBrushColor(hPage), crSecond);
    EXPECT_EQ(libB.Destroy(hB), 1);
    libB.Free();
    EXPECT_EQ(WindowProcs(hPage), procs);
    EXPECT_EQ(DialogBrushColor(hPage), GetSysColor(COLOR_3DFACE));
    UseThePage(hPage);
    DestroyWindow(hPage);
}

// Skins made from the same file share their brushes and fonts, whichever
// instance made them, and all windows share one off-screen bitmap; the last
// skin to go gives them back while the library stays loaded.
TEST(Lifetime, SkinsMadeAlikeShareTheirGdiObjects)
{
    const std::wstring path = BinFile(L"KVEffect_125.bff");
    HWND hPageA = CreateSampleDialog(Host()), hPageB = CreateSampleDialog(Host());
    CGlazeU lib;
    {
        // A first round fills caches of the system's own.
        const INT_PTR hHook = lib.Create();
        ASSERT_GT(lib.Skin(hHook, hPageA, "IDD_DLG_EQ.INI", path), 1);
        PixelAt(hPageA, 1, 1);
        lib.Destroy(hHook);
    }
    kvtest::PumpUntilIdle(100);
    const std::map<DWORD, int> none = CountGdiObjects();

    const INT_PTR hA = lib.Create(), hB = lib.Create();
    ASSERT_GT(lib.Skin(hA, hPageA, "IDD_DLG_EQ.INI", path), 1);
    PixelAt(hPageA, 1, 1);
    const std::map<DWORD, int> one = CountGdiObjects();
    for (DWORD nType : {OBJ_BRUSH, OBJ_FONT, OBJ_MEMDC})
        EXPECT_GT(one.at(nType), none.at(nType)) << "objects of type " << nType;
    ASSERT_GT(lib.Skin(hB, hPageB, "IDD_DLG_EQ.INI", path), 1);
    PixelAt(hPageB, 1, 1);
    EXPECT_EQ(CountGdiObjects(), one) << "a second page skinned alike";

    // B's page still wears the objects A's page made first.
    EXPECT_EQ(lib.Destroy(hA), 1);
    EXPECT_EQ(CountGdiObjects(), one) << "with B's page still skinned";
    EXPECT_EQ(DialogBrushColor(hPageB), PixelAt(hPageB, 1, 1));
    EXPECT_EQ(lib.Destroy(hB), 1);
    kvtest::PumpUntilIdle(100);
    EXPECT_EQ(CountGdiObjects(), none) << "with no skin left";
    DestroyWindow(hPageA);
    DestroyWindow(hPageB);
}

// The plug-in ends a pop-up's instance from the click on its OK button, so
// the skin comes off the button while the button's own messages are still
// under way: what is left of them must not paint with the skin that went.
TEST(Lifetime, SkinEndedFromWithinAClick)
{
    HWND hPage = CreateSampleDialog(Host());
    HWND hOk = GetDlgItem(hPage, IDOK);
    CGlazeU lib;
    // Another instance stays, so the library need not keep itself loaded.
    const INT_PTR hOther = lib.Create();
    struct CEnd {
        const CGlazeU* m_pLib;
        INT_PTR m_hHook;
    } end = {&lib, lib.Create()};
    const SUBCLASSPROC pfnEndOnOk = [](HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR dwRef) -> LRESULT {
        if (uMsg == WM_COMMAND && wParam == MAKEWPARAM(IDOK, BN_CLICKED)) {
            const CEnd* p = reinterpret_cast<const CEnd*>(dwRef);
            p->m_pLib->PrepareRelease(p->m_hHook);
            p->m_pLib->Destroy(p->m_hHook);
        }
        return DefSubclassProc(hWnd, uMsg, wParam, lParam);
    };
    // Under the skin, as the plug-in's own procedures are: a procedure put
    // above the skin would keep the library in the window for good.
    ASSERT_TRUE(SetWindowSubclass(hPage, pfnEndOnOk, 1, reinterpret_cast<DWORD_PTR>(&end)));
    ASSERT_GT(lib.Skin(end.m_hHook, hPage, "IDD_DLG_EQ.INI", BinFile(L"KVEffect.bff")), 1);
    kvtest::PumpUntilIdle(100);
    SendMessageW(hOk, BM_CLICK, 0, 0);
    kvtest::PumpUntilIdle(100);
    const std::vector<BYTE> shown = ShownImage(hOk);
    EXPECT_FALSE(shown.empty());
    EXPECT_TRUE(shown == ClientImage(hOk)) << "the button as the platform paints it";
    EXPECT_EQ(DialogBrushColor(hPage), GetSysColor(COLOR_3DFACE));
    RemoveWindowSubclass(hPage, pfnEndOnOk, 1);
    EXPECT_EQ(lib.Destroy(hOther), 1);
    DestroyWindow(hPage);
}

// A panel opened and closed again and again: every round loads the library,
// skins and paints a page, ends the instance and frees the library.
TEST(Lifetime, TwoHundredRoundsLeaveNothingBehind)
{
    std::vector<HGDIOBJ> gdiBefore;
    int nModulesBefore = 0;
    const std::wstring path = BinFile(L"KVEffect_150.bff");
    for (int i = 0; i < 200 && !testing::Test::HasFailure(); ++i) {
        // The first rounds fill caches of the system's own (DCs, fonts, classes).
        if (i == 10) {
            kvtest::PumpUntilIdle(100);
            gdiBefore = GdiObjects();
            nModulesBefore = CountModules();
        }
        HWND hPage = CreateSampleDialog(Host());
        {
            CGlazeU lib;
            const INT_PTR hHook = lib.Create();
            ASSERT_GT(lib.Skin(hHook, hPage, "IDD_DLG_ENHANCEMENT.INI", path), 1);
            SendDlgItemMessageW(hPage, IDC_CHK_DETAIL_RESTORE, BM_CLICK, 0, 0);
            RedrawWindow(hPage, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            lib.PrepareRelease(hHook);
            lib.Destroy(hHook);
        }
        ASSERT_EQ(GetModuleHandleW(L"GlazeU.DLL"), nullptr);
        DestroyWindow(hPage);
    }
    kvtest::PumpUntilIdle(100);
    ASSERT_FALSE(gdiBefore.empty()) << "the GDI handle table could not be read";
    const std::vector<HGDIOBJ> gdiAfter = GdiObjects();
    std::string added;
    for (HGDIOBJ h : gdiAfter) {
        if (std::find(gdiBefore.begin(), gdiBefore.end(), h) == gdiBefore.end())
            added += " " + std::to_string(reinterpret_cast<ULONG_PTR>(h)) + ":" + std::to_string(GetObjectType(h));
    }
    // A round that leaked would leave 190 objects or more; the system's own
    // caches have once been seen to grow by one on a busy machine.
    EXPECT_LE(gdiAfter.size(), gdiBefore.size() + 2) << "new since the tenth round (handle:type):" << added;
    EXPECT_EQ(CountModules(), nModulesBefore);
}
