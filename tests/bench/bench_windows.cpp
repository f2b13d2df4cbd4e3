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
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "SimState.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

constexpr int kSamples = 60;
constexpr int kWarmUp = 5;

double g_ticksPerMs;
LONGLONG Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

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
        const double ms = (Now() - t0) / g_ticksPerMs;
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
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    g_ticksPerMs = static_cast<double>(f.QuadPart) / 1000.0;
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", L"bench_windows");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    wchar_t szError[256] = L"";
    if (!kvsim::LoadDefaultTopology(szError, 256)) {
        std::fwprintf(stderr, L"bench_windows: %ls\n", szError);
        return 1;
    }
    HMODULE hDll = LoadLibraryW(L"KVEffect.dll");
    auto pfnInit = reinterpret_cast<HWND(WINAPI*)(HWND, int, const RECT*, int)>(GetProcAddress(hDll, "InitPlugin"));
    auto pfnUninit = reinterpret_cast<void(WINAPI*)(HWND)>(GetProcAddress(hDll, "UninitPlugin"));
    HMODULE hRes = LoadLibraryExW(L"KVEffRsc.rsc", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!pfnInit || !pfnUninit || !hRes) {
        std::fprintf(stderr, "bench_windows: KVEffect.dll or KVEffRsc.rsc missing\n");
        return 1;
    }
    HWND hHost = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 900, 700, nullptr, nullptr, nullptr, nullptr);
    const RECT rc = {8, 80, 700, 600};

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
    HWND hPanel = pfnInit(hHost, 0, &rc, 0);
    const double fOpen = Time([&] { hMain = pfnInit(hHost, 1, &rc, 0); }, [&] { pfnUninit(hMain); });
    pfnUninit(hPanel);
    const double fOpenWithSession = Time([&] { hMain = pfnInit(hHost, 1, &rc, 0); }, [&] { pfnUninit(hMain); });
    Line("open main window", fOpen, "bare templates 9+10+11", fBareOpen);
    Line("open main window and session", fOpenWithSession, "bare templates 9+10+11", fBareOpen);

    // Page switches: the button of the next page, clicked, against one bare
    // page replaced by the next.
    hMain = pfnInit(hHost, 1, &rc, 0);
    int nNext = 0;
    const double fSwitch = Time(
        [&] {
            const int id = 1003 + nNext;  // enhancement, reverb, equalizer, surround, ...
            nNext = (nNext + 1) % 4;
            SendMessageW(GetDlgItem(hMain, id > 1005 ? 1002 : id), BM_CLICK, 0, 0);
        },
        [] {});
    pfnUninit(hMain);
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
    hMain = pfnInit(hHost, 1, &rc, 0);
    SendMessageW(GetDlgItem(hMain, 1005), BM_CLICK, 0, 0);
    Pump();
    HWND hEqualizer = nullptr;  // the page holding the first band's slider
    for (HWND h = GetWindow(hMain, GW_CHILD); h && !hEqualizer; h = GetWindow(h, GW_HWNDNEXT))
        hEqualizer = GetDlgItem(h, 1110) ? h : nullptr;
    const double fRepaint = hEqualizer ? Time(repaint(hEqualizer), [] {}) : 0.0;
    pfnUninit(hMain);
    makeBare({14});
    const double fBareRepaint = Time(repaint(bare.front()), [] {});
    destroyBare();
    if (hEqualizer)
        Line("repaint equalizer page", fRepaint, "bare template 14", fBareRepaint);
    else
        std::fprintf(stderr, "bench_windows: the equalizer page was not found\n");

    DestroyWindow(hHost);
    FreeLibrary(hRes);
    FreeLibrary(hDll);
    CoUninitialize();
    return 0;
}
