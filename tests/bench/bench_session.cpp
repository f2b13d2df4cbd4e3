// The driver session, each figure beside its floor measured in the same run,
// sampled in turn:
//  - a driver notification reaching the hidden window's handler, against a
//    bare PostMessage from another thread;
//  - a full rebind (enumeration with detach and attach), against an
//    enumeration that finds the same endpoint, on the default topology and
//    on one with 32 endpoints where the speakers come last;
//  - the master switch turned off and on again with every effect on, against
//    the same feature calls (Disable, then SelectElement and Enable) made
//    straight on the driver's interfaces the session holds.
#include "device/KVDeviceEndpoint.h"
#include "BenchSupport.h"

#include <cstdio>
#include <type_traits>
#include <vector>

namespace {

using namespace bench;

constexpr int kNotifySamples = 400;
constexpr int kBindSamples = 100;
constexpr int kSwitchSamples = 60;
constexpr int kWarmUp = 5;

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

// Microseconds from waking the trigger until nMsg for hWnd is retrieved on
// this thread (dispatching everything on the way), or -1 if it never is.
double Latency(Trigger& trigger, int i, HWND hWnd, UINT nMsg)
{
    trigger.Fire(i);
    const ULONGLONG deadline = GetTickCount64() + 5000;
    MSG msg;
    double us = -1;
    while (us < 0 && GetTickCount64() < deadline) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0)
            continue;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (us < 0 && msg.hwnd == hWnd && msg.message == nMsg)
                us = Us(Now() - trigger.t0);
            DispatchMessageW(&msg);
        }
    }
    return us;
}

void MeasureNotification(CKVDeviceEndpoint& session)
{
    ISNDIEQ* pEQ = session.m_EQ.p ? session.m_EQ.p->m_pInterface : nullptr;
    if (!pEQ) {
        std::printf("notification: no equalizer bound\n");
        return;
    }
    HWND hWnd = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    int n = 0;
    Trigger write([&](int) { pEQ->SetBandLevel(0, (++n & 1) ? 0.5f : 0.0f); });
    Trigger post([&](int) { PostMessageW(hWnd, WM_APP, 0, 0); });
    const auto [fDriver, fBare] = Alternate(
        kNotifySamples, kWarmUp * 4, [&](int i) { return Latency(write, i, session.m_hWndHidden, WM_DRIVER_CHANGE); },
        [&](int i) { return Latency(post, i, hWnd, WM_APP); });
    DestroyWindow(hWnd);
    Line("driver notification -> hidden window handler", fDriver, "PostMessage from another thread", fBare, "us");
}

void MeasureRebind(CKVDeviceEndpoint& session, const char* pszTopology)
{
    const auto enumerate = [&](bool bAnew) {
        if (bAnew)
            session.m_strDevice.clear();  // forget the binding, so the same endpoint binds anew
        const LONGLONG t0 = Now();
        session.EnumEndpoint();
        const double ms = Ms(Now() - t0);
        Pump();
        return ms;
    };
    const auto [fRebind, fSame] =
        Alternate(kBindSamples, kWarmUp, [&](int) { return enumerate(true); }, [&](int) { return enumerate(false); });
    char figure[128];
    std::snprintf(figure, sizeof(figure), "rebind, %s", pszTopology);
    Line(figure, fRebind, "enumeration without change", fSame, "ms");
}

template <class T>
auto Typed(const CKVDeviceEndpoint::FeatureSlot<T>& slot) -> decltype(slot.p->m_pInterface)
{
    return slot.p ? slot.p->m_pInterface : nullptr;
}

// Every feature the switch turns, on or off, in the switch's own order.
template <class Each>
void ForEachSwitched(CKVDeviceEndpoint& s, Each each)
{
    each(Typed(s.m_Pdp));
    each(Typed(s.m_Upmix));
    each(Typed(s.m_BassBoost));
    each(Typed(s.m_BassManagement));
    each(Typed(s.m_AGC));
    each(Typed(s.m_RVXEnvironment));
    each(Typed(s.m_EQ));
}

void MeasureMasterSwitch(CKVDeviceEndpoint& session)
{
    if (!session.m_bMasterOn)
        session.SetMasterOnOff(TRUE, TRUE);
    int nOn = 0;
    ForEachSwitched(session, [&](auto* p) {
        if (p && SUCCEEDED(p->Enable()))
            ++nOn;
    });
    const UINT nElement = session.m_nUpmixIndex < 0 ? 0 : UINT(session.m_nUpmixIndex);
    Pump();
    const auto [fSwitch, fCalls] = Alternate(
        kSwitchSamples, kWarmUp,
        [&](int) {
            const LONGLONG t0 = Now();
            session.SetMasterOnOff(FALSE, TRUE);
            session.SetMasterOnOff(TRUE, TRUE);
            const double ms = Ms(Now() - t0);
            Pump();
            return ms;
        },
        [&](int) {
            const LONGLONG t0 = Now();
            ForEachSwitched(session, [](auto* p) {
                if (p)
                    p->Disable();
            });
            ForEachSwitched(session, [&](auto* p) {
                if (!p)
                    return;
                if constexpr (std::is_same_v<decltype(p), ISNDIUpmix*>)
                    p->SelectElement(nElement);
                p->Enable();
            });
            const double ms = Ms(Now() - t0);
            Pump();
            return ms;
        });
    char figure[128];
    std::snprintf(figure, sizeof(figure), "master switch off and on, %d effects on", nOn);
    Line(figure, fSwitch, "the same Disable and Enable calls", fCalls, "ms");
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
        MeasureMasterSwitch(session);
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
