// The windows, each figure beside its floor measured in the same run, on the
// default topology, through the plug-in's exports as the host calls them:
//  - opening the main effects window (type 1) while the compact panel keeps
//    the session open, against creating and destroying bare dialogs from
//    templates 9, 10 and 11 (the window, its master switch and its first page);
//  - the same with no other window, so the session opens and closes too;
//  - a page switch, against destroying one bare page and creating the next
//    from the same templates;
//  - painting alone: the equalizer page, the busiest, repainted whole as it
//    is shown, against a bare dialog from its template (14).
#include "BenchSupport.h"

#include <cstdio>
#include <vector>

namespace {

using namespace bench;

constexpr int kSamples = 60;
constexpr int kWarmUp = 5;

void Line(const char* figure, double value, const char* floor, double floorValue)
{
    std::printf("%s: %.2f ms vs %s: %.2f ms, ratio %.2f\n", figure, value, floor, floorValue,
                floorValue > 0 ? value / floorValue : 0.0);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Median of kSamples timings of one action, each followed by an untimed
// clean-up, after a few unmeasured rounds.
template <class Action, class CleanUp>
double Time(Action action, CleanUp cleanUp)
{
    std::vector<double> v;
    for (int i = 0; i < kWarmUp + kSamples; ++i) {
        const LONGLONG t0 = Now();
        action();
        Pump();
        const double ms = Ms(Now() - t0);
        cleanUp();
        Pump();
        if (i >= kWarmUp)
            v.push_back(ms);
    }
    return Median(v);
}

INT_PTR CALLBACK PlainDlgProc(HWND, UINT nMsg, WPARAM, LPARAM)
{
    return nMsg == WM_INITDIALOG;
}

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
    HWND hHost = plugin.hHost;

    std::vector<HWND> bare;
    auto makeBare = [&](std::initializer_list<int> ids) {
        for (int id : ids) {
            HWND h = CreateDialogParamW(hRes, MAKEINTRESOURCEW(id), hHost, PlainDlgProc, 0);
            ShowWindow(h, SW_SHOW);
            bare.push_back(h);
        }
    };
    auto destroyBare = [&] {
        for (HWND h : bare)
            DestroyWindow(h);
        bare.clear();
    };
    const double fBareOpen = Time([&] { makeBare({9, 10, 11}); }, destroyBare);

    HWND hMain = nullptr;
    HWND hPanel = plugin.Open(0);
    const double fOpen = Time([&] { hMain = plugin.Open(1); }, [&] { plugin.Close(hMain); });
    plugin.Close(hPanel);
    const double fOpenWithSession = Time([&] { hMain = plugin.Open(1); }, [&] { plugin.Close(hMain); });
    Line("open main window", fOpen, "bare templates 9+10+11", fBareOpen);
    Line("open main window and session", fOpenWithSession, "bare templates 9+10+11", fBareOpen);

    // Page switches: the button of the next page, clicked, against one bare
    // page replaced by the next.
    hMain = plugin.Open(1);
    int nNext = 0;
    const double fSwitch = Time(
        [&] {
            const int id = 1003 + nNext;  // enhancement, reverb, equalizer, surround, ...
            nNext = (nNext + 1) % 4;
            SendMessageW(GetDlgItem(hMain, id > 1005 ? 1002 : id), BM_CLICK, 0, 0);
        },
        [] {});
    plugin.Close(hMain);
    makeBare({11});
    int nBare = 0;
    const double fBareSwitch = Time(
        [&] {
            destroyBare();
            nBare = (nBare + 1) % 4;
            makeBare({11 + nBare});
        },
        [] {});
    destroyBare();
    Line("page switch", fSwitch, "bare page destroy and create", fBareSwitch);

    const auto repaint = [](HWND h) {
        return [h] { RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW); };
    };
    hMain = plugin.Open(1);
    SendMessageW(GetDlgItem(hMain, 1005), BM_CLICK, 0, 0);
    Pump();
    HWND hEqualizer = nullptr;  // the page holding the first band's slider
    for (HWND h = GetWindow(hMain, GW_CHILD); h && !hEqualizer; h = GetWindow(h, GW_HWNDNEXT))
        hEqualizer = GetDlgItem(h, 1110) ? h : nullptr;
    const double fRepaint = hEqualizer ? Time(repaint(hEqualizer), [] {}) : 0.0;
    plugin.Close(hMain);
    makeBare({14});
    const double fBareRepaint = Time(repaint(bare.front()), [] {});
    destroyBare();
    if (hEqualizer)
        Line("repaint equalizer page", fRepaint, "bare template 14", fBareRepaint);
    else
        std::fprintf(stderr, "bench_windows: the equalizer page was not found\n");

    FreeLibrary(hRes);
    return 0;
}
