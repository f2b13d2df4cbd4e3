// Cost of a trace call while the trace is off, against an empty call, in one
// run: the best of many rounds of each, taken in turn.
#include "support/ShowDebugString.h"
#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>

namespace {

__attribute__((noinline)) void EmptyCall(DWORD, const wchar_t*, ...)
{
    asm volatile("");
}

double NanosecondsPerCall(void (*body)(int), int n)
{
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    body(n);
    QueryPerformanceCounter(&b);
    return double(b.QuadPart - a.QuadPart) * 1e9 / double(f.QuadPart) / n;
}

ShowDebugString* g_pTrace;

} // namespace

int main()
{
    DeleteFileW(ShowDebugString::kIniPath);
    ShowDebugString trace;
    g_pTrace = &trace;
    // Many short rounds, each side's best kept: some of them run undisturbed
    // even on a busy machine.
    const int n = 1000000;
    double best[2] = {1e9, 1e9};
    for (int round = 0; round < 200; ++round) {
        for (int k = 0; k < 2; ++k) {
            const bool bTrace = (round + k) & 1;  // either goes first half the time
            const double ns = bTrace ? NanosecondsPerCall([](int m) {
                                           for (int i = 0; i < m; ++i)
                                               g_pTrace->Print(0, L"\n CChildDlgEQ::UpdateUI(%d)", i);
                                       }, n)
                                     : NanosecondsPerCall([](int m) {
                                           for (int i = 0; i < m; ++i)
                                               EmptyCall(0, L"\n CChildDlgEQ::UpdateUI(%d)", i);
                                       }, n);
            best[bTrace] = std::min(best[bTrace], ns);
        }
    }
    bench::Line("trace call, trace off", best[1], "empty call", best[0], "ns");
    return 0;
}
