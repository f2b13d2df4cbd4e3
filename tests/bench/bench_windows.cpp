// The windows, each figure beside its floor measured in the same run and
// sampled in turn, on the default topology, through the plug-in's exports as
// the host calls them. The bare dialogs live in a second host window beside
// the first, so that neither side's windows cover or uncover the other's.
//  - opening the main effects window (type 1) while the compact panel keeps
//    the session open, against creating bare dialogs from templates 9, 10
//    and 11 (the window, its master switch and its first page, placed as the
//    window places them);
//  - the same with no other window, so the session opens too;
//  - opening the compact panel (type 0) while the main window keeps the
//    session open, against a bare dialog from its template (10);
//  - a page switch, against destroying one bare page and creating the next
//    from the same templates;
//  - painting alone: the equalizer page, the busiest, repainted whole as it
//    is shown, against a bare dialog from its template (14).
#include "BenchSupport.h"

#include <cstdio>
#include <initializer_list>
#include <vector>

namespace {

using namespace bench;

constexpr int kSamples = 60;
constexpr int kSwitchSamples = 100;  // a page switch varies more than the rest
constexpr int kWarmUp = 5;

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Milliseconds of one action and the messages it leaves, then its untimed
// clean-up.
template <class Action, class CleanUp>
double Timed(Action action, CleanUp cleanUp)
{
    const LONGLONG t0 = Now();
    action();
    Pump();
    const double ms = Ms(Now() - t0);
    cleanUp();
    Pump();
    return ms;
}

INT_PTR CALLBACK PlainDlgProc(HWND, UINT nMsg, WPARAM, LPARAM)
{
    return nMsg == WM_INITDIALOG;
}

// Bare dialogs from the plug-in's templates; a master switch or a page made
// while the window's dialog (9) is there goes where the window puts it.
struct Bare {
    HMODULE hRes;
    HWND hHost;
    std::vector<HWND> windows;

    void Make(std::initializer_list<int> ids)
    {
        for (int id : ids) {
            HWND hParent = windows.empty() || id == 9 ? hHost : windows.front();
            HWND h = CreateDialogParamW(hRes, MAKEINTRESOURCEW(id), hParent, PlainDlgProc, 0);
            if (hParent != hHost) {
                RECT rc = {7, id == 10 ? 3 : 56, 0, 0};  // the placeholders' corners in template 9
                MapDialogRect(hParent, &rc);
                SetWindowPos(h, nullptr, rc.left, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            }
            ShowWindow(h, SW_SHOW);
            windows.push_back(h);
        }
    }
    // The last made, or all of them.
    void Destroy(bool bAll = true)
    {
        while (!windows.empty()) {
            DestroyWindow(windows.back());
            windows.pop_back();
            if (!bAll)
                break;
        }
    }
};

} // namespace

int wmain()
{
    bench::PluginHost plugin(L"bench_windows");
    if (!plugin.Ok())
        return 1;
    HMODULE hRes = LoadLibraryExW(L"KVEffRsc.rsc", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!hRes) {
        std::fprintf(stderr, "bench_windows: KVEffRsc.rsc missing\n");
        return 1;
    }
    HWND hBareHost = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"bare", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 920, 0,
                                     660, 700, nullptr, nullptr, nullptr, nullptr);
    Bare bare{hRes, hBareHost, {}};
    const RECT rcPanel = {8, 8, 400, 60};  // above the main window
    HWND hMain = nullptr, hPanel = nullptr;

    const auto openMain = [&](int) { return Timed([&] { hMain = plugin.Open(1); }, [&] { plugin.Close(hMain); }); };
    const auto bareMain = [&](int) { return Timed([&] { bare.Make({9, 10, 11}); }, [&] { bare.Destroy(); }); };
    hPanel = plugin.Open(0, &rcPanel);
    const auto [fOpen, fBareOpen] = Alternate(kSamples, kWarmUp, openMain, bareMain);
    plugin.Close(hPanel);
    Line("open main window", fOpen, "bare templates 9+10+11", fBareOpen, "ms");
    const auto [fOpenSession, fBareOpen2] = Alternate(kSamples, kWarmUp, openMain, bareMain);
    Line("open main window and session", fOpenSession, "bare templates 9+10+11", fBareOpen2, "ms");

    hMain = plugin.Open(1);
    const auto [fPanel, fBarePanel] = Alternate(
        kSamples, kWarmUp,
        [&](int) { return Timed([&] { hPanel = plugin.Open(0, &rcPanel); }, [&] { plugin.Close(hPanel); }); },
        [&](int) { return Timed([&] { bare.Make({10}); }, [&] { bare.Destroy(); }); });
    Line("open master panel", fPanel, "bare template 10", fBarePanel, "ms");

    // Page switches: the next page's button, clicked, against one bare page
    // replaced by the next, each in its window.
    bare.Make({9, 11});
    const auto [fSwitch, fBareSwitch] = Alternate(
        kSwitchSamples, kWarmUp,
        [&](int i) {
            const int id = 1002 + (i + 1) % 4;  // surround, enhancement, reverb, equalizer
            return Timed([&] { SendMessageW(GetDlgItem(hMain, id), BM_CLICK, 0, 0); }, [] {});
        },
        [&](int i) {
            return Timed(
                [&] {
                    bare.Destroy(false);
                    bare.Make({11 + (i + 1) % 4});
                },
                [] {});
        });
    bare.Destroy();
    Line("page switch", fSwitch, "bare page destroy and create", fBareSwitch, "ms");

    const auto repaint = [](HWND h) {
        return [h](int) {
            const UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW;
            return Timed([h] { RedrawWindow(h, nullptr, nullptr, flags); }, [] {});
        };
    };
    SendMessageW(GetDlgItem(hMain, 1005), BM_CLICK, 0, 0);
    Pump();
    HWND hEqualizer = nullptr;  // the page holding the first band's slider
    for (HWND h = GetWindow(hMain, GW_CHILD); h && !hEqualizer; h = GetWindow(h, GW_HWNDNEXT))
        hEqualizer = GetDlgItem(h, 1110) ? h : nullptr;
    bare.Make({9, 14});
    if (hEqualizer) {
        const auto [fRepaint, fBareRepaint] =
            Alternate(kSamples, kWarmUp, repaint(hEqualizer), repaint(bare.windows.back()));
        Line("repaint equalizer page", fRepaint, "bare template 14", fBareRepaint, "ms");
    } else {
        std::fprintf(stderr, "bench_windows: the equalizer page was not found\n");
    }
    bare.Destroy();
    plugin.Close(hMain);
    DestroyWindow(hBareHost);
    FreeLibrary(hRes);
    return 0;
}
