// The equalizer page, each figure beside its floor measured in the same run,
// on the default topology with the main effects window (through the exports,
// as the host opens it) showing the equalizer page:
//  - 1000 moves of one band's slider as a drag makes them: the thumb set,
//    then the trackbar's WM_VSCROLL sent to the page, and the queue drained
//    after each as a UI thread drains it between input messages, so whatever
//    notifications have arrived are handled and the paints they and the move
//    asked for are done. At the end every notification the moves caused is
//    handled too: a fence write on another band, heard by a sink of ours
//    after the page's, marks the end. Floor: the same 1000 band writes made
//    straight on the endpoint's equalizer, drained and fenced the same way,
//    with the page still open, so that it hears and shows them as well;
//  - a band written on another thread until the page's slider shows it,
//    against a bare PostMessage from another thread reaching a window here.
#include "features/SNDIFeatures.h"
#include "BenchSupport.h"

#include <cstdio>
#include <functional>
#include <vector>

namespace {

using namespace bench;

constexpr int kMoves = 1000;
constexpr int kRounds = 7;  // figure and floor alternate, so drift hits both alike
constexpr int kSamples = 300;
constexpr int kWarmUp = 10;
constexpr UINT kBand = 3;
constexpr UINT kFenceBand = 9;
constexpr float kLevels[2] = {3.0f, -3.0f};
constexpr UINT WM_FENCE = WM_APP + 1;

void Drain()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A window on this thread that counts what reaches it and stamps the last.
struct Receiver {
    HWND hWnd = nullptr;
    LONG nFences = 0;
    LONGLONG tLast = 0;

    static LRESULT CALLBACK Proc(HWND h, UINT nMsg, WPARAM wParam, LPARAM lParam)
    {
        auto* r = reinterpret_cast<Receiver*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (r && nMsg == WM_FENCE)
            ++r->nFences;
        else if (r && nMsg == WM_APP)
            r->tLast = Now();
        else
            return DefWindowProcW(h, nMsg, wParam, lParam);
        return 0;
    }
    Receiver()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KVBenchReceiver";
        RegisterClassW(&wc);
        hWnd = CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                               nullptr);
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Receiver() { DestroyWindow(hWnd); }
};

// The end of a run: a write on the fence band; our sink, called on the driver
// thread after every sink of the events before it, posts behind whatever
// those sinks posted. Pumped until that arrives (false if it never does).
LONG CALLBACK OnFence(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext)
{
    if (eEvent == KVEVT_EQ && dwHint == KVEQ_BAND && dwArg == kFenceBand)
        PostMessageW(static_cast<Receiver*>(pContext)->hWnd, WM_FENCE, 0, 0);
    return 0;
}

bool Settle(ISNDIEQ* pEQ, Receiver& r)
{
    const LONG nWanted = r.nFences + 1;
    pEQ->SetBandLevel(kFenceBand, 0.0f);
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (r.nFences < nWanted && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        Drain();
    }
    return r.nFences >= nWanted;
}

// Microseconds from waking the trigger for sample i until seen() holds,
// checked after every message this thread dispatches; seen() returns the
// moment it noticed; -1 when it never holds.
double Latency(Trigger& trigger, int i, const std::function<LONGLONG(int)>& seen)
{
    trigger.Fire(i);
    const ULONGLONG deadline = GetTickCount64() + 5000;
    LONGLONG t1 = 0;
    MSG msg;
    while (!t1 && GetTickCount64() < deadline) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0)
            continue;
        while (!t1 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
            t1 = seen(i);
        }
    }
    Drain();
    return t1 ? Us(t1 - trigger.t0) : -1;
}

HWND FindEqualizerPage(HWND hMain)
{
    for (HWND h = GetWindow(hMain, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (GetDlgItem(h, 1110))
            return h;
    return nullptr;
}

IKVEndpoint* RenderEndpoint()
{
    IKVEndpointEnum* pEnum = nullptr;
    IKVEndpoint* pEndpoint = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_KVEndpointEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IKVEndpointEnum,
                                   reinterpret_cast<void**>(&pEnum)))) {
        pEnum->GetEndpoint(0, KV_FLOW_RENDER, KV_STATE_ACTIVE, &pEndpoint);
        pEnum->Release();
    }
    return pEndpoint;
}

}  // namespace

int wmain()
{
    bench::PluginHost plugin(L"bench_equalizer");
    if (!plugin.Ok())
        return 1;
    HWND hMain = plugin.Open(1);
    SendMessageW(GetDlgItem(hMain, 1005), BM_CLICK, 0, 0);  // the equalizer's page button
    Drain();
    HWND hPage = FindEqualizerPage(hMain);
    HWND hSlider = hPage ? GetDlgItem(hPage, 1110 + kBand) : nullptr;

    // The driver's equalizer of the endpoint the session binds (the speakers,
    // first in the default topology), as the page's CSNDIEQ holds it.
    IKVEndpoint* pEndpoint = RenderEndpoint();
    Receiver receiver;
    CSNDIEQ eq;
    if (!hSlider || !pEndpoint || !eq.Init(nullptr, pEndpoint) || !eq.Advise(OnFence, &receiver)) {
        std::fprintf(stderr, "bench_equalizer: the equalizer page or the driver's equalizer was not found\n");
        return 1;
    }
    ISNDIEQ* pEQ = eq.m_pInterface;

    // The slider positions the page shows for the two levels, learnt from it.
    int nPositions[2] = {};
    bool bSettled = true;
    for (int k = 0; k < 2; ++k) {
        pEQ->SetBandLevel(kBand, kLevels[k]);
        bSettled = Settle(pEQ, receiver) && bSettled;
        nPositions[k] = static_cast<int>(SendMessageW(hSlider, TBM_GETPOS, 0, 0));
    }
    if (!bSettled || nPositions[0] == nPositions[1]) {
        std::fprintf(stderr, "bench_equalizer: the slider does not follow the driver\n");
        return 1;
    }

    const auto move = [&](int i) {
        const int nPos = nPositions[i & 1];
        SendMessageW(hSlider, TBM_SETPOS, TRUE, nPos);
        SendMessageW(hPage, WM_VSCROLL, MAKEWPARAM(TB_THUMBTRACK, nPos), reinterpret_cast<LPARAM>(hSlider));
    };
    const auto write = [&](int i) { pEQ->SetBandLevel(kBand, kLevels[i & 1]); };
    const auto run = [&](const std::function<void(int)>& step) {
        const LONGLONG t0 = Now();
        for (int i = 0; i < kMoves; ++i) {
            step(i);
            Drain();
        }
        Settle(pEQ, receiver);
        return Ms(Now() - t0);
    };
    run(move);
    float fLevel = 0.0f;
    if (FAILED(pEQ->GetBandLevel(kBand, &fLevel)) || fLevel != kLevels[(kMoves - 1) & 1]) {
        std::fprintf(stderr, "bench_equalizer: the slider moves did not reach the driver\n");
        return 1;
    }
    const auto [fMoves, fWrites] =
        Alternate(kRounds, 1, [&](int) { return run(move); }, [&](int) { return run(write); });
    Line("1000 slider moves through the equalizer page", fMoves, "1000 driver band writes", fWrites, "ms");

    // Another thread writes the band; the page has it when its slider shows
    // it. Sample i writes kLevels[i & 1]; the writes above left the other
    // one shown. Slider and bare samples alternate, so drift hits both alike.
    {
        Trigger writer([&](int i) { pEQ->SetBandLevel(kBand, kLevels[i & 1]); });
        Trigger poster([&](int) { PostMessageW(receiver.hWnd, WM_APP, 0, 0); });
        const auto sliderShows = [&](int i) {
            return SendMessageW(hSlider, TBM_GETPOS, 0, 0) == nPositions[i & 1] ? Now() : 0;
        };
        const auto windowHas = [&](int) {
            const LONGLONG t = receiver.tLast;
            receiver.tLast = 0;
            return t;
        };
        const auto [fToSlider, fToWindow] =
            Alternate(kSamples, kWarmUp, [&](int i) { return Latency(writer, i, sliderShows); },
                      [&](int i) { return Latency(poster, i, windowHas); });
        Line("band notification reaching a moved slider", fToSlider, "PostMessage from another thread", fToWindow,
             "us");
    }

    eq.Uninit();
    pEndpoint->Release();
    plugin.Close(hMain);
    return 0;
}
