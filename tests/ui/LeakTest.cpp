// Opening and closing the windows over and over leaves nothing behind. Wine
// answers 0 to GetGuiResources and GetProcessHandleCount, so windows, GDI
// objects, handles and modules are counted directly.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "ui/MainEffectsDlg.h"

#include <tlhelp32.h>
#include <cstdio>
#include <winternl.h>

namespace uitest {
namespace {

// GDI objects in this process, read from the handle table the system maps
// into every process (PEB GdiSharedHandleTable, laid out as Wine lays it
// out: 24-byte entries whose byte 14 is the type, nonzero while in use).
int CountGdiObjects()
{
    constexpr size_t kEntry = 24, kType = 14, kEntries = 0x10000;
    const BYTE* pPeb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
    const BYTE* pTable = *reinterpret_cast<const BYTE* const*>(pPeb + 0xF8);  // GdiSharedHandleTable
    if (!pTable)
        return -1;
    int n = 0;
    for (size_t i = 0; i < kEntries; ++i)
        n += pTable[i * kEntry + kType] != 0;
    return n;
}

// Rounds of each loop: a leak of one object a round shows as hundreds. The
// suite runs this many, to stay within its time; KV_LEAK_ROUNDS asks for more.
int Rounds()
{
    wchar_t sz[16] = {};
    const int n = GetEnvironmentVariableW(L"KV_LEAK_ROUNDS", sz, 16) ? _wtoi(sz) : 0;
    return n > 0 ? n : 300;
}

int CountWindows()
{
    int n = 0;
    auto count = [](HWND, LPARAM l) -> BOOL {
        ++*reinterpret_cast<int*>(l);
        return TRUE;
    };
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM l) -> BOOL {
            ++*reinterpret_cast<int*>(l);
            EnumChildWindows(
                h,
                [](HWND, LPARAM l2) -> BOOL {
                    ++*reinterpret_cast<int*>(l2);
                    return TRUE;
                },
                l);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&n));
    for (HWND h = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
         h = FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (pid == GetCurrentProcessId())
            count(h, reinterpret_cast<LPARAM>(&n));
    }
    return n;
}

int CountModules()
{
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    if (hSnap == INVALID_HANDLE_VALUE)
        return -1;
    MODULEENTRY32W me = {sizeof(me)};
    int n = 0;
    for (BOOL b = Module32FirstW(hSnap, &me); b; b = Module32NextW(hSnap, &me))
        ++n;
    CloseHandle(hSnap);
    return n;
}

struct Usage {
    int nWindows, nGdi, nHandles, nModules, nThreads;
    bool operator==(const Usage&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Usage& u)
{
    return os << "windows " << u.nWindows << ", GDI " << u.nGdi << ", handles " << u.nHandles << ", modules "
              << u.nModules << ", threads " << u.nThreads;
}

// Heap bytes may move a little with caches and fragmentation; a leak of a
// few bytes a round over the soak's rounds does not fit in this.
constexpr long long kHeapSlack = 64 * 1024;

// The windows are made inside a host that is never shown: nothing is painted,
// which would only make a thousand rounds slow, and everything else a window
// allocates is made all the same.
HWND HiddenHost()
{
    static HWND s_hWnd = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"leak host", WS_OVERLAPPEDWINDOW, 0, 0, 900,
                                         700, nullptr, nullptr, nullptr, nullptr);
    return s_hWnd;
}

Usage Measure()
{
    Pump();
    return {CountWindows(), CountGdiObjects(), kvtest::CountHandles(), CountModules(), kvtest::CountThreads()};
}

// A thread that was told to end may still be listed for a moment.
Usage MeasureAgainst(const Usage& before)
{
    Usage now = Measure();
    for (int i = 0; i < 20 && !(now == before); ++i) {
        Sleep(100);
        now = Measure();
    }
    return now;
}

// One line per figure, as the soak prints them.
void Report(const char* pszFigure, int nRounds, const Usage& before, const Usage& after, long long cbHeapBefore)
{
    std::printf("%s: %d rounds; growth: windows %d, GDI %d, handles %d, modules %d, threads %d, heap %+lld KiB\n",
                pszFigure, nRounds, after.nWindows - before.nWindows, after.nGdi - before.nGdi,
                after.nHandles - before.nHandles, after.nModules - before.nModules, after.nThreads - before.nThreads,
                (kvtest::HeapBytesInUse() - cbHeapBefore) / 1024);
}

using PageLeak = UiTest;

class Leak : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        m_hDll = LoadLibraryW(L"KVEffect.dll");
        ASSERT_NE(nullptr, m_hDll);
        m_pfnInit = reinterpret_cast<HWND(WINAPI*)(HWND, int, const RECT*, int)>(GetProcAddress(m_hDll, "InitPlugin"));
        m_pfnUninit = reinterpret_cast<void(WINAPI*)(HWND)>(GetProcAddress(m_hDll, "UninitPlugin"));
    }
    void TearDown() override
    {
        FreeLibrary(m_hDll);
        UiTest::TearDown();
    }
    // One full cycle first, so what is made once per process is counted in.
    void Cycle(int nType, int nTimes)
    {
        RECT rc = {8, 80, 700, 600};
        for (int i = 0; i < nTimes; ++i) {
            HWND h = m_pfnInit(HiddenHost(), nType, &rc, 0);
            ASSERT_NE(nullptr, h) << "cycle " << i;
            // What each cycle posts is run now and then.
            if (i % 100 == 99)
                kvtest::PumpUntilIdle(0);
            m_pfnUninit(h);
        }
    }
    HMODULE m_hDll = nullptr;
    HWND(WINAPI* m_pfnInit)(HWND, int, const RECT*, int) = nullptr;
    void(WINAPI* m_pfnUninit)(HWND) = nullptr;
};

TEST_F(PageLeak, GdiObjectsAreCountedFromTheHandleTable)
{
    const int n = CountGdiObjects();
    HBRUSH hBrush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(n + 1, CountGdiObjects());
    DeleteObject(hBrush);
    EXPECT_EQ(n, CountGdiObjects());
}

TEST_F(Leak, RepeatedOpenAndCloseCyclesOfEachWindowLeaveNothingBehind)
{
    for (int nType : {0, 1}) {
        // The other window keeps the session open, as a host showing both does.
        RECT rc = {8, 10, 400, 60};
        HWND hOther = m_pfnInit(HiddenHost(), 1 - nType, &rc, 0);
        ASSERT_NE(nullptr, hOther);
        Cycle(nType, 1);
        const Usage before = Measure();
        const long long cbHeap = kvtest::HeapBytesInUse();
        Cycle(nType, Rounds());
        const Usage after = MeasureAgainst(before);
        Report(nType ? "open and close the effects window" : "open and close the master panel", Rounds(), before,
               after, cbHeap);
        EXPECT_EQ(before, after) << "window type " << nType;
        EXPECT_LE(kvtest::HeapBytesInUse(), cbHeap + kHeapSlack);
        m_pfnUninit(hOther);
    }
    // Alone, each cycle opens and closes the session too.
    Cycle(1, 1);
    const Usage before = Measure();
    Cycle(1, 50);
    EXPECT_EQ(before, MeasureAgainst(before)) << "with the session";
}

TEST_F(PageLeak, RepeatedPageSwitchesLeaveNothingBehind)
{
    Open();
    CMainEffectsDlg dlg(CWnd::FromHandle(HiddenHost()));
    ASSERT_TRUE(dlg.Create(IDD_MAINEFFECTS_DLG, CWnd::FromHandle(HiddenHost())));
    dlg.SetDeviceEndpoint(m_pSession.get());
    dlg.ShowWindow(SW_SHOW);
    auto switchPages = [&](int nTimes) {
        for (int i = 0; i < nTimes; ++i)
            SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BTN_PAGE_QFX + i % 4, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dlg.m_hWnd, IDC_BTN_PAGE_QFX + i % 4)));
    };
    switchPages(4);
    const Usage before = Measure();
    const long long cbHeap = kvtest::HeapBytesInUse();
    const size_t nListed = m_pSession->m_arrNotifyWnd.size();
    switchPages(Rounds());
    const Usage after = MeasureAgainst(before);
    Report("page switches", Rounds(), before, after, cbHeap);
    EXPECT_EQ(before, after);
    EXPECT_LE(kvtest::HeapBytesInUse(), cbHeap + kHeapSlack);
    EXPECT_EQ(nListed, m_pSession->m_arrNotifyWnd.size());
    dlg.CloseMainEffectsDlg();
    dlg.DestroyWindow();
}

} // namespace
} // namespace uitest
