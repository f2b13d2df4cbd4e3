// Cost of a trace call while the trace is off, against an empty call, in one run.
#include "support/ShowDebugString.h"

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
    const int n = 20000000;
    double best[2] = {1e9, 1e9};
    for (int round = 0; round < 5; ++round) {
        best[0] = std::min(best[0], NanosecondsPerCall([](int k) {
                               for (int i = 0; i < k; ++i)
                                   EmptyCall(0, L"\n CChildDlgEQ::UpdateUI(%d)", i);
                           }, n));
        best[1] = std::min(best[1], NanosecondsPerCall([](int k) {
                               for (int i = 0; i < k; ++i)
                                   g_pTrace->Print(0, L"\n CChildDlgEQ::UpdateUI(%d)", i);
                           }, n));
    }
    std::printf("trace off: Print %.2f ns/call, empty call %.2f ns/call, ratio %.2f (best of 5 x %d calls)\n",
                best[1], best[0], best[1] / best[0], n);
    return 0;
}
