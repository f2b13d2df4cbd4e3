// Notification latency of the simulated driver, as a plug-in sees it: from a
// write through one ISNDIEQ to the sink call on the driver thread, within one
// process and from another process, against a bare thread message making
// the same trip, sampled in turn in the same run.
#include "features/SNDIBase.h"
#include "BenchSupport.h"

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

using namespace bench;

constexpr int kSamples = 400;
constexpr int kWarmUp = 20;
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

// A thread with a message queue that stamps the time each WM_APP reaches it
// and signals; with a target, it passes each one on instead (the child's echo).
struct Receiver {
    HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hSeen = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE hThread = nullptr;
    DWORD dwThreadId = 0;
    DWORD dwForwardTo = 0;
    volatile LONGLONG tLast = 0;

    explicit Receiver(DWORD dwForward = 0) : dwForwardTo(dwForward)
    {
        hThread = CreateThread(nullptr, 0, Run, this, 0, &dwThreadId);
        WaitForSingleObject(hReady, 10000);
    }
    ~Receiver()
    {
        PostThreadMessageW(dwThreadId, WM_QUIT, 0, 0);
        WaitForSingleObject(hThread, 5000);
        CloseHandle(hThread);
        CloseHandle(hReady);
        CloseHandle(hSeen);
    }
    static DWORD WINAPI Run(void* p)
    {
        auto* r = static_cast<Receiver*>(p);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // make the queue
        SetEvent(r->hReady);
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message != WM_APP)
                continue;
            if (r->dwForwardTo) {
                PostThreadMessageW(r->dwForwardTo, WM_APP, 0, 0);
            } else {
                r->tLast = Now();
                SetEvent(r->hSeen);
            }
        }
        return 0;
    }
};

// Microseconds from t0 to the stamp of a watched arrival, or -1 if none came.
double Arrival(LONGLONG t0, HANDLE hSeen, const volatile LONGLONG& tLast, int nHops)
{
    if (WaitForSingleObject(hSeen, 5000) != WAIT_OBJECT_0)
        return -1;
    return Us(tLast - t0) / nHops;
}

// Samples, in turn, a ping written here until watch hears what it is
// waiting for, and a thread message posted to dwPostTo until receiver gets
// it, each over nHops hops; medians per hop.
std::pair<double, double> WriteAgainstPost(Equalizer& eq, BandWatch& watch, DWORD dwPostTo, Receiver& receiver,
                                           int nHops)
{
    return Alternate(
        kSamples, kWarmUp,
        [&](int i) {
            const LONGLONG t0 = Now();
            eq.pEQ->SetBandLevel(kPingBand, (i & 1) ? 0.5f : 0.0f);
            return Arrival(t0, watch.hEvent, watch.tLast, nHops);
        },
        [&](int) {
            const LONGLONG t0 = Now();
            PostThreadMessageW(dwPostTo, WM_APP, 0, 0);
            return Arrival(t0, receiver.hSeen, receiver.tLast, nHops);
        });
}

// The child answers every ping (band 0) with a pong (band 1), and passes
// every thread message on to the parent's receiver, until told to stop.
int RunChild(HANDLE hReady, HANDLE hStop, DWORD dwParentReceiver)
{
    Equalizer eq;
    BandWatch ping = {kPingBand, CreateEventW(nullptr, FALSE, FALSE, nullptr), 0};
    if (!eq.Open())
        return 1;
    Subscription sub(eq.pSource, &ping);
    if (!sub.nCookie)
        return 1;
    Receiver echo(dwParentReceiver);
    // The parent reads where to post from a small mapping named after us.
    wchar_t szName[64];
    swprintf(szName, 64, L"kvbench-echo-%lu", GetCurrentProcessId());
    HANDLE hMap = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD), szName);
    if (auto* p = static_cast<DWORD*>(MapViewOfFile(hMap, FILE_MAP_WRITE, 0, 0, sizeof(DWORD)))) {
        *p = echo.dwThreadId;
        UnmapViewOfFile(p);
    }
    SetEvent(hReady);
    HANDLE waits[2] = {hStop, ping.hEvent};
    float fPong = 0.0f;
    while (WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0 + 1) {
        fPong = fPong == 0.0f ? 0.5f : 0.0f;
        eq.pEQ->SetBandLevel(kPongBand, fPong);
    }
    CloseHandle(hMap);
    return 0;
}

// Within this process: a band written here until our sink hears it on the
// driver thread, against a thread message posted here until another thread
// gets it.
void MeasureInProcess(Equalizer& eq)
{
    BandWatch seen = {kPingBand, CreateEventW(nullptr, FALSE, FALSE, nullptr), 0};
    Receiver receiver;
    Subscription sub(eq.pSource, &seen);
    if (!sub.nCookie)
        return;
    const auto [fDriver, fPost] = WriteAgainstPost(eq, seen, receiver.dwThreadId, receiver, 1);
    CloseHandle(seen.hEvent);
    Line("driver write -> sink, same process", fDriver, "PostThreadMessage to another thread", fPost, "us");
}

// Through another process and back, halved: a band written here, answered
// by the child's sink with a write of its own that our sink hears, against a
// thread message passed on by a thread of the child to one of ours.
void MeasureCrossProcess(Equalizer& eq)
{
    wchar_t szReady[64], szStop[64];
    swprintf(szReady, 64, L"kvbench-ready-%lu", GetCurrentProcessId());
    swprintf(szStop, 64, L"kvbench-stop-%lu", GetCurrentProcessId());
    HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, szReady);
    HANDLE hStop = CreateEventW(nullptr, TRUE, FALSE, szStop);
    Receiver receiver;
    wchar_t szExe[MAX_PATH], szCmd[MAX_PATH + 200];
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    swprintf(szCmd, MAX_PATH + 200, L"\"%ls\" --child %ls %ls %lu", szExe, szReady, szStop, receiver.dwThreadId);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (CreateProcessW(nullptr, szCmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) &&
        WaitForSingleObject(hReady, 20000) == WAIT_OBJECT_0) {
        DWORD dwEcho = 0;
        wchar_t szName[64];
        swprintf(szName, 64, L"kvbench-echo-%lu", pi.dwProcessId);
        if (HANDLE hMap = OpenFileMappingW(FILE_MAP_READ, FALSE, szName)) {
            if (auto* p = static_cast<const DWORD*>(MapViewOfFile(hMap, FILE_MAP_READ, 0, 0, sizeof(DWORD)))) {
                dwEcho = *p;
                UnmapViewOfFile(p);
            }
            CloseHandle(hMap);
        }
        BandWatch pong = {kPongBand, CreateEventW(nullptr, FALSE, FALSE, nullptr), 0};
        {
            Subscription sub(eq.pSource, &pong);
            if (sub.nCookie && dwEcho) {
                const auto [fDriver, fPost] = WriteAgainstPost(eq, pong, dwEcho, receiver, 2);
                Line("driver write -> sink, other process (1 hop)", fDriver,
                     "PostThreadMessage to another process (1 hop)", fPost, "us");
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
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", L"bench_notify");
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int rc = 0;
    if (argc == 5 && wcscmp(argv[1], L"--child") == 0) {
        HANDLE hReady = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
        HANDLE hStop = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
        rc = hReady && hStop ? RunChild(hReady, hStop, wcstoul(argv[4], nullptr, 10)) : 1;
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
        MeasureInProcess(eq);
        MeasureCrossProcess(eq);
    }
    CoUninitialize();
    return rc;
}
