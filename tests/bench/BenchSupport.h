// What the benchmarks share: the clock, the median, the line a figure is
// printed on, a thread that runs an action when told, and the plug-in loaded as the host loads it.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "SimState.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <utility>
#include <vector>

namespace bench {

inline LONGLONG Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

inline double Us(LONGLONG ticks)
{
    static const double perUs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart) / 1e6;
    }();
    return double(ticks) / perUs;
}

inline double Ms(LONGLONG ticks) { return Us(ticks) / 1000.0; }

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// A value with as many decimals as its size deserves.
inline const char* Num(double v, char (&buf)[32])
{
    std::snprintf(buf, sizeof(buf), v < 10 ? "%.2f" : v < 1000 ? "%.1f" : "%.0f", v);
    return buf;
}

// One figure beside its floor, as every benchmark prints it.
inline void Line(const char* figure, double value, const char* floor, double floorValue, const char* unit)
{
    char a[32], b[32];
    std::printf("%s: %s %s vs %s: %s %s, ratio %.2f\n", figure, Num(value, a), unit, floor, Num(floorValue, b), unit,
                floorValue > 0 ? value / floorValue : 0.0);
    std::fflush(stdout);
}

// A figure and its floor sampled in turn, so that whatever else the machine
// is doing weighs on both alike; the first nWarmUp pairs are dropped. Each
// callable takes the sample's number and answers its value, or a negative
// one for a sample that did not complete. Medians, figure then floor.
template <class Figure, class Floor>
std::pair<double, double> Alternate(int nSamples, int nWarmUp, Figure figure, Floor floor)
{
    std::vector<double> a, b;
    for (int i = 0; i < nWarmUp + nSamples; ++i) {
        // Either goes first half the time: what one leaves behind (a
        // notification still on its way, a paint) lands on both alike.
        double x, y;
        if (i & 1) {
            y = floor(i);
            x = figure(i);
        } else {
            x = figure(i);
            y = floor(i);
        }
        if (i < nWarmUp)
            continue;
        if (x >= 0)
            a.push_back(x);
        if (y >= 0)
            b.push_back(y);
    }
    return {Median(a), Median(b)};
}

// A thread that, each time it is woken, stamps the time and runs one action
// for the sample it is told.
struct Trigger {
    std::function<void(int)> action;
    HANDLE hGo = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE hThread = nullptr;
    volatile LONGLONG t0 = 0;
    volatile bool bStop = false;
    volatile int nSample = 0;

    explicit Trigger(std::function<void(int)> a) : action(std::move(a))
    {
        hThread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~Trigger()
    {
        bStop = true;
        SetEvent(hGo);
        WaitForSingleObject(hThread, 5000);
        CloseHandle(hThread);
        CloseHandle(hGo);
    }
    void Fire(int i)
    {
        nSample = i;
        SetEvent(hGo);
    }
    static DWORD WINAPI Run(void* p)
    {
        auto* t = static_cast<Trigger*>(p);
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        while (WaitForSingleObject(t->hGo, INFINITE) == WAIT_OBJECT_0 && !t->bStop) {
            t->t0 = Now();
            t->action(t->nSample);
        }
        CoUninitialize();
        return 0;
    }
};

// The plug-in through its exports, on the default topology of a simulation
// named after the program, with a shown host window for its windows.
struct PluginHost {
    HMODULE hDll = nullptr;
    HWND(WINAPI* pfnInit)(HWND, int, const RECT*, int) = nullptr;
    void(WINAPI* pfnUninit)(HWND) = nullptr;
    HWND hHost = nullptr;

    explicit PluginHost(const wchar_t* pszProgram)
    {
        SetEnvironmentVariableW(L"KVSIM_INSTANCE", pszProgram);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        wchar_t szError[256] = L"";
        if (!kvsim::LoadDefaultTopology(szError, 256)) {
            std::fwprintf(stderr, L"%ls: %ls\n", pszProgram, szError);
            return;
        }
        hDll = LoadLibraryW(L"KVEffect.dll");
        pfnInit = reinterpret_cast<decltype(pfnInit)>(GetProcAddress(hDll, "InitPlugin"));
        pfnUninit = reinterpret_cast<decltype(pfnUninit)>(GetProcAddress(hDll, "UninitPlugin"));
        if (!pfnInit || !pfnUninit) {
            std::fwprintf(stderr, L"%ls: KVEffect.dll missing\n", pszProgram);
            pfnInit = nullptr;
            return;
        }
        hHost = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900,
                                700, nullptr, nullptr, nullptr, nullptr);
    }
    ~PluginHost()
    {
        if (hHost)
            DestroyWindow(hHost);
        if (hDll)
            FreeLibrary(hDll);
        CoUninitialize();
    }
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    bool Ok() const { return pfnInit && hHost; }
    // A window of the given type (1 the main effects window, 0 the panel),
    // by default where the host puts the main window.
    HWND Open(int nType, const RECT* pPlace = nullptr) const
    {
        static const RECT rc = {8, 80, 700, 600};
        return pfnInit(hHost, nType, pPlace ? pPlace : &rc, 0);
    }
    void Close(HWND hWnd) const { pfnUninit(hWnd); }
};

}  // namespace bench
