// The driver session, each figure beside its floor measured in the same run:
//  - a driver notification reaching the hidden window's handler, against a
//    bare PostMessage from another thread;
//  - a full rebind (enumeration with detach and attach), against an
//    enumeration that finds the same endpoint, on the default topology and
//    on one with 32 endpoints where the speakers come last.
#include "device/KVDeviceEndpoint.h"
#include "BenchSupport.h"

#include <cstdio>
#include <vector>

namespace {

using namespace bench;

constexpr int kNotifySamples = 300;
constexpr int kBindSamples = 40;

// Microseconds from the trigger to the message's retrieval on this thread.
std::vector<double> Latencies(Trigger& trigger, HWND hWnd, UINT nMsg)
{
    std::vector<double> us;
    MSG msg;
    for (int i = 0; i < kNotifySamples; ++i) {
        trigger.Fire(i);
        const ULONGLONG deadline = GetTickCount64() + 5000;
        bool bSeen = false;
        while (!bSeen && GetTickCount64() < deadline) {
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0)
                continue;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == hWnd && msg.message == nMsg && !bSeen) {
                    us.push_back(Us(Now() - trigger.t0));
                    bSeen = true;
                }
                DispatchMessageW(&msg);
            }
        }
    }
    return us;
}

void MeasureNotification(CKVDeviceEndpoint& session)
{
    ISNDIEQ* pEQ = nullptr;
    if (!session.m_pEndpoint || FAILED(session.m_pEndpoint->GetFeature(IID_ISNDIEQ, reinterpret_cast<void**>(&pEQ)))) {
        std::printf("notification: no equalizer bound\n");
        return;
    }
    int n = 0;
    std::vector<double> driver;
    {
        Trigger write([&](int) { pEQ->SetBandLevel(0, (++n & 1) ? 0.5f : 0.0f); });
        driver = Latencies(write, session.m_hWndHidden, WM_DRIVER_CHANGE);
    }
    pEQ->Release();

    HWND hWnd = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    std::vector<double> bare;
    {
        Trigger post([&](int) { PostMessageW(hWnd, WM_APP, 0, 0); });
        bare = Latencies(post, hWnd, WM_APP);
    }
    DestroyWindow(hWnd);
    Line("driver notification -> hidden window handler", Median(driver), "PostMessage from another thread",
         Median(bare), "us");
}

void MeasureRebind(CKVDeviceEndpoint& session, const char* pszTopology)
{
    std::vector<double> rebind, same;
    for (int i = 0; i < kBindSamples; ++i) {
        LONGLONG t0 = Now();
        session.EnumEndpoint();
        same.push_back(Ms(Now() - t0));
        session.m_strDevice.clear();  // forget the binding, so the same endpoint binds anew
        t0 = Now();
        session.EnumEndpoint();
        rebind.push_back(Ms(Now() - t0));
    }
    char figure[128];
    std::snprintf(figure, sizeof(figure), "rebind, %s", pszTopology);
    Line(figure, Median(rebind), "enumeration without change", Median(same), "ms");
}

bool Load(const wchar_t* pszFile)
{
    wchar_t szError[256] = L"";
    bool bOk = pszFile ? kvsim::LoadTopologyFile(pszFile, szError, 256) : kvsim::LoadDefaultTopology(szError, 256);
    if (!bOk)
        std::fprintf(stderr, "cannot load the topology: %ls\n", szError);
    return bOk;
}

}  // namespace

int wmain()
{
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", L"bench_session");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!Load(nullptr))
        return 1;
    {
        CKVDeviceEndpoint session(0x0409);
        if (!session.OpenDeviceEndpoint() || !session.m_pEndpoint) {
            std::fprintf(stderr, "no endpoint bound (is KVSimDrv.dll registered?)\n");
            return 1;
        }
        MeasureNotification(session);
        MeasureRebind(session, "default topology");
        session.CloseDeviceEndpoint();
    }
    if (Load(L"topologies\\endpoints32.kvtopo")) {
        CKVDeviceEndpoint session(0x0409);
        session.OpenDeviceEndpoint();
        MeasureRebind(session, "32 endpoints, speakers last");
        session.CloseDeviceEndpoint();
    }
    CoUninitialize();
    return 0;
}
