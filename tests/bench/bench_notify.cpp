// Notification latency of the simulated driver, as a plug-in sees it: from a
// write through one ISNDIEQ to the sink call on the driver thread, within one
// process and from another process, against a bare PostMessage round trip
// between two threads measured in the same run.
#include "features/SNDIBase.h"
#include "BenchSupport.h"

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

using namespace bench;

constexpr int kSamples = 300;
constexpr UINT kPingBand = 0, kPongBand = 1;


// What a subscription watches: one band; each change of it is stamped and signalled.
struct BandWatch {
    UINT nBand;
    HANDLE hEvent;
    volatile LONGLONG tLast;
};

LONG CALLBACK OnBandChange(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext)
{
    auto* w = static_cast<BandWatch*>(pContext);
    if (eEvent == KVEVT_EQ && dwHint == KVEQ_BAND && dwArg == w->nBand) {
        w->tLast = Now();
        SetEvent(w->hEvent);
    }
    return 0;
}

// The plug-in's own sink, subscribed directly on the driver's notify source.
struct Subscription {
    ISNDINotifySource* pSource;
    CNotifySink* pSink = new CNotifySink(OnBandChange);
    UINT nCookie = 0;
    Subscription(ISNDINotifySource* p, BandWatch* w) : pSource(p)
    {
        if (FAILED(pSource->Advise(w, &nCookie, pSink)))
            nCookie = 0;
    }
    ~Subscription()
    {
        if (nCookie)
            pSource->Unadvise(nCookie);
        pSink->Release();
    }
};

struct Equalizer {
    IKVEndpointEnum* pEnum = nullptr;
    IKVEndpoint* pEndpoint = nullptr;
    ISNDIEQ* pEQ = nullptr;
    ISNDINotifySource* pSource = nullptr;

    bool Open()
    {
        return SUCCEEDED(CoCreateInstance(CLSID_KVEndpointEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IKVEndpointEnum,
                                          reinterpret_cast<void**>(&pEnum))) &&
               SUCCEEDED(pEnum->GetEndpoint(0, KV_FLOW_RENDER, KV_STATE_ACTIVE, &pEndpoint)) &&
               SUCCEEDED(pEndpoint->GetFeature(IID_ISNDIEQ, reinterpret_cast<void**>(&pEQ))) &&
               SUCCEEDED(pEQ->QueryInterface(IID_ISNDINotifySource, reinterpret_cast<void**>(&pSource)));
    }
    ~Equalizer()
    {
        if (pSource) pSource->Release();
        if (pEQ) pEQ->Release();
        if (pEndpoint) pEndpoint->Release();
        if (pEnum) pEnum->Release();
    }
};

void Report(const char* what, std::vector<double>& us)
{
    std::sort(us.begin(), us.end());
    if (us.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::printf("%-44s median %8.1f us   p95 %8.1f us   min %8.1f us   (%zu samples)\n", what,
                us[us.size() / 2], us[us.size() * 95 / 100], us.front(), us.size());
}

// The child answers every ping (band 0) with a pong (band 1) until told to stop.
int RunChild(HANDLE hReady, HANDLE hStop)
{
    Equalizer eq;
    BandWatch ping = {kPingBand, CreateEventW(nullptr, FALSE, FALSE, nullptr), 0};
    if (!eq.Open())
        return 1;
    Subscription sub(eq.pSource, &ping);
    if (!sub.nCookie)
        return 1;
    SetEvent(hReady);
    HANDLE waits[2] = {hStop, ping.hEvent};
    float fPong = 0.0f;
    while (WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0 + 1) {
        fPong = fPong == 0.0f ? 0.5f : 0.0f;
        eq.pEQ->SetBandLevel(kPongBand, fPong);
    }
    return 0;
}

void MeasureInProcess(Equalizer& eq)
{
    BandWatch seen = {kPingBand, CreateEventW(nullptr, FALSE, FALSE, nullptr), 0};
    std::vector<double> us;
    {
        Subscription sub(eq.pSource, &seen);
        for (int i = 0; sub.nCookie && i < kSamples; ++i) {
            LONGLONG t0 = Now();
            eq.pEQ->SetBandLevel(kPingBand, (i & 1) ? 0.5f : 0.0f);
            if (WaitForSingleObject(seen.hEvent, 5000) != WAIT_OBJECT_0)
                break;
            us.push_back(Us(seen.tLast - t0));
        }
    }
    CloseHandle(seen.hEvent);
    Report("driver write -> sink, same process", us);
}

void MeasureCrossProcess(Equalizer& eq)
{
    wchar_t szReady[64], szStop[64];
    swprintf(szReady, 64, L"kvbench-ready-%lu", GetCurrentProcessId());
    swprintf(szStop, 64, L"kvbench-stop-%lu", GetCurrentProcessId());
    HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, szReady);
    HANDLE hStop = CreateEventW(nullptr, TRUE, FALSE, szStop);
    wchar_t szExe[MAX_PATH], szCmd[MAX_PATH + 200];
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    swprintf(szCmd, MAX_PATH + 200, L"\"%ls\" --child %ls %ls", szExe, szReady, szStop);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::vector<double> us;
    if (CreateProcessW(nullptr, szCmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) &&
        WaitForSingleObject(hReady, 20000) == WAIT_OBJECT_0) {
        BandWatch pong = {kPongBand, CreateEventW(nullptr, FALSE, FALSE, nullptr), 0};
        {
            Subscription sub(eq.pSource, &pong);
            for (int i = 0; sub.nCookie && i < kSamples; ++i) {
                LONGLONG t0 = Now();
                eq.pEQ->SetBandLevel(kPingBand, (i & 1) ? 0.5f : 0.0f);
                if (WaitForSingleObject(pong.hEvent, 5000) != WAIT_OBJECT_0)
                    break;
                // Two hops, one each way.
                us.push_back(Us(pong.tLast - t0) / 2);
            }
        }
        CloseHandle(pong.hEvent);
    }
    SetEvent(hStop);
    if (pi.hProcess) {
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(hReady);
    CloseHandle(hStop);
    Report("driver write -> sink, other process (1 hop)", us);
}

DWORD g_dwMainThread;
HANDLE g_hEchoReady;
DWORD WINAPI EchoThread(void*)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // make the queue
    SetEvent(g_hEchoReady);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        if (msg.message == WM_APP)
            PostThreadMessageW(g_dwMainThread, WM_APP + 1, 0, 0);
    return 0;
}

void MeasurePostMessage()
{
    g_dwMainThread = GetCurrentThreadId();
    g_hEchoReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    DWORD tid = 0;
    HANDLE hThread = CreateThread(nullptr, 0, EchoThread, nullptr, 0, &tid);
    WaitForSingleObject(g_hEchoReady, INFINITE);
    std::vector<double> us;
    for (int i = 0; i < kSamples; ++i) {
        LONGLONG t0 = Now();
        PostThreadMessageW(tid, WM_APP, 0, 0);
        while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_APP + 1) {
        }
        us.push_back(Us(Now() - t0) / 2);
    }
    PostThreadMessageW(tid, WM_QUIT, 0, 0);
    WaitForSingleObject(hThread, 5000);
    CloseHandle(hThread);
    CloseHandle(g_hEchoReady);
    Report("PostMessage between threads (1 hop)", us);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", L"bench_notify");
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int rc = 0;
    if (argc == 4 && wcscmp(argv[1], L"--child") == 0) {
        HANDLE hReady = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
        HANDLE hStop = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
        rc = hReady && hStop ? RunChild(hReady, hStop) : 1;
    } else {
        wchar_t szError[256];
        if (!kvsim::LoadDefaultTopology(szError, 256)) {
            std::fprintf(stderr, "cannot load the default topology: %ls\n", szError);
            return 1;
        }
        Equalizer eq;
        if (!eq.Open()) {
            std::fprintf(stderr, "the simulated driver's equalizer is not reachable (is KVSimDrv.dll registered?)\n");
            return 1;
        }
        MeasurePostMessage();
        MeasureInProcess(eq);
        MeasureCrossProcess(eq);
    }
    CoUninitialize();
    return rc;
}
