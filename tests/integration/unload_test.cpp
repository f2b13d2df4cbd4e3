// A host that opens and closes the panel loads and frees our DLLs again and
// again; each round must give back everything it took from the process.
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// Wine answers 0 to PrivateUsage: private bytes are what the process heaps
// (malloc's too) hold.
struct Footprint {
    int nHandles = 0, nThreads = 0, nFreeTls = 0;
    SIZE_T cbHeap = 0;
};

Footprint Measure()
{
    kvtest::PumpUntilIdle(200);
    Footprint f;
    f.nHandles = kvtest::CountHandles();
    f.nThreads = kvtest::CountThreads();
    std::vector<DWORD> slots;
    for (DWORD i; (i = TlsAlloc()) != TLS_OUT_OF_INDEXES;)
        slots.push_back(i);
    for (DWORD i : slots)
        TlsFree(i);
    f.nFreeTls = static_cast<int>(slots.size());
    slots = {};
    f.cbHeap = static_cast<SIZE_T>(kvtest::HeapBytesInUse());
    return f;
}

// The first ten rounds fill caches of Wine's own (loader, registry, the
// profile cache that keeps the trace switch file's name).
void ExpectNothingLeftBehind(int nRounds, const wchar_t* pszDll, const std::function<void(HMODULE)>& use)
{
    Footprint before;
    for (int i = 0; i < nRounds && !testing::Test::HasFailure(); ++i) {
        if (i == 10)
            before = Measure();
        HMODULE h = LoadLibraryW(pszDll);
        ASSERT_NE(h, nullptr);
        use(h);
        FreeLibrary(h);
        // Still loaded, it would pass every count below without proving anything.
        ASSERT_EQ(GetModuleHandleW(pszDll), nullptr);
    }
    Footprint after = Measure();
    EXPECT_EQ(after.nHandles, before.nHandles);
    EXPECT_EQ(after.nThreads, before.nThreads);
    EXPECT_EQ(after.nFreeTls, before.nFreeTls);
    // Two pages for heap bookkeeping; a thread record (about 500 bytes) left
    // each round is more than that.
    EXPECT_LE(after.cbHeap, before.cbHeap + 8192) << "grew by " << after.cbHeap - before.cbHeap;
}

} // namespace

// Each round has a session bound to the simulated speakers, with its
// coexistence listener thread running.
TEST(UnloadTest, OpeningAndClosingThePanelFiftyTimes)
{
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", L"unload_test");
    kvtest::ScopedRegValue technology(L"Software\\Halvex\\ALCoexist", L"Technology", DWORD(2));
    HWND hHost = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 700,
                                 nullptr, nullptr, nullptr, nullptr);
    ExpectNothingLeftBehind(50, L"KVEffect.dll", [hHost](HMODULE h) {
        RECT rc = {0, 0, 800, 600};
        auto pInit = reinterpret_cast<HWND(WINAPI*)(HWND, int, const RECT*, int)>(GetProcAddress(h, "InitPlugin"));
        HWND hWnd = pInit(hHost, 1, &rc, 0);
        EXPECT_NE(hWnd, nullptr);
        EXPECT_NE(FindWindowW(nullptr, L"KVDEVICE_EP_HIDDENWINDOW_863422985_UI"), nullptr);
        reinterpret_cast<void(WINAPI*)(HWND)>(GetProcAddress(h, "UninitPlugin"))(hWnd);
    });
    EXPECT_EQ(GetModuleHandleW(L"KVLoadRs.dll"), nullptr);
    DestroyWindow(hHost);
}

// What the plug-in does not do today but any DLL of ours may.
TEST(UnloadTest, RuntimeUsedOnTheCallersThreadAndOnItsOwn)
{
    ExpectNothingLeftBehind(40, L"unload_probe.dll", [](HMODULE h) {
        EXPECT_EQ(reinterpret_cast<int(WINAPI*)()>(GetProcAddress(h, "UseRuntime"))(), 2);
    });
}
