#include "SimNotify.h"

#include <algorithm>
#include <atomic>
#include <vector>

using kvsim::Source;

namespace simdrv {

namespace {

struct Subscription {
    UINT nCookie;
    int nNode;
    DWORD dwSerial;
    Source source;
    int nSub;
    ULONGLONG minSeq;  // events posted before Advise are not for this sink
    INotifySink* pSink;
    void* pContext;
};

// One per process while subscriptions live. Whoever stops it joins it, unless
// the last Unadvise ran on the thread itself; then it cleans up after itself.
struct DriverThread {
    HANDLE hThread = nullptr;
    DWORD dwThreadId = 0;
    HANDLE hStop = nullptr;
    HMODULE hModuleRef = nullptr;  // keeps the DLL loaded until the thread is gone
    kvsim::EventReader* pReader = nullptr;
    bool bDetached = false;
    std::atomic<bool> bStopping{false};  // set with hStop; read between events without a trip to the kernel
};

class CCriticalSection {
public:
    CCriticalSection() { InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { DeleteCriticalSection(&m_cs); }
    void Enter() { EnterCriticalSection(&m_cs); }
    void Leave() { LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CDispatchLock {
public:
    explicit CDispatchLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
    ~CDispatchLock() { m_cs.Leave(); }
    CDispatchLock(const CDispatchLock&) = delete;
    CDispatchLock& operator=(const CDispatchLock&) = delete;

private:
    CCriticalSection& m_cs;
};

// Lock order: g_csDispatch may be taken first and the state lock inside it,
// never the other way round (sinks call the driver while dispatch holds it).
CCriticalSection g_csDispatch;
std::vector<Subscription> g_subs;
// Cookies whose Unadvise waits for the dispatch lock. The lock is not fair, so
// without this the driver thread could go on calling a sink that is being
// unadvised for as long as events keep coming. Never held around a callback.
CCriticalSection g_csLeaving;
std::vector<UINT> g_leaving;
DriverThread* g_pThread = nullptr;

constexpr DWORD kPollMs = 250;  // a missed wake costs at most this much
constexpr HRESULT kUnknownCookie = static_cast<HRESULT>(0x80040200);  // CONNECT_E_NOCONNECTION

struct Route {
    Source from;
    Source to;
};
const Route kRoutes[] = {
    {Source::SubWooferGain, Source::BassManagement},
};

// Whether record r is for subscription s, and the event code it arrives with.
bool Reaches(const kvsim::EventRecord& r, const Subscription& s, UINT* pEvent)
{
    if (r.seq < s.minSeq || r.nNode != s.nNode) return false;
    if (s.source == Source::Element && r.source == Source::Element && r.nSub != s.nSub) return false;
    if (r.source == s.source) {
        *pEvent = r.eEvent;
        return true;
    }
    for (const Route& route : kRoutes) {
        if (route.from == r.source && route.to == s.source) {
            *pEvent = kvsim::EventCodeFor(s.source);
            return true;
        }
    }
    return false;
}

Subscription* FindSub(UINT nCookie)
{
    for (Subscription& s : g_subs)
        if (s.nCookie == nCookie) return &s;
    return nullptr;
}

bool IsLeaving(UINT nCookie)
{
    CDispatchLock lock(g_csLeaving);
    return std::find(g_leaving.begin(), g_leaving.end(), nCookie) != g_leaving.end();
}

// dwNodeSerial: the serial of the record's node when it was read.
void Dispatch(const kvsim::EventRecord& r, DWORD dwNodeSerial)
{
    struct Delivery {
        UINT nCookie;
        int nNode;
        DWORD dwSerial;
        UINT eEvent;
    };
    CDispatchLock lock(g_csDispatch);
    std::vector<Delivery> out;
    for (const Subscription& s : g_subs) {
        UINT eEvent = 0;
        if (Reaches(r, s, &eEvent)) out.push_back({s.nCookie, s.nNode, s.dwSerial, eEvent});
    }
    if (out.empty()) return;
    // Subscriptions of objects whose node was replaced hear nothing more.
    if (r.nNode >= 0) std::erase_if(out, [&](const Delivery& d) { return d.dwSerial != dwNodeSerial; });
    for (const Delivery& d : out) {
        Subscription* s = FindSub(d.nCookie);  // a sink before may have unadvised it
        if (!s || IsLeaving(d.nCookie)) continue;
        INotifySink* pSink = s->pSink;
        void* pContext = s->pContext;
        pSink->AddRef();
        pSink->OnNotify(d.eEvent, r.dwHint, r.dwArg, pContext);
        pSink->Release();
    }
}

DWORD WINAPI DriverThreadProc(void* pv)
{
    auto* t = static_cast<DriverThread*>(pv);
    HANDLE waits[2] = {t->hStop, t->pReader->WakeEvent()};
    for (;;) {
        DWORD w = WaitForMultipleObjects(2, waits, FALSE, kPollMs);
        if (w == WAIT_OBJECT_0) break;
        kvsim::EventRecord r;
        DWORD dwNodeSerial = 0;
        while (!t->bStopping.load() && t->pReader->Next(&r, &dwNodeSerial)) Dispatch(r, dwNodeSerial);
    }
    delete t->pReader;
    t->pReader = nullptr;
    HMODULE hModule = t->hModuleRef;
    if (t->bDetached) {
        CloseHandle(t->hStop);
        CloseHandle(t->hThread);
        delete t;
    }
    FreeLibraryAndExitThread(hModule, 0);
}

// Lock held. The reader is made here, on the advising thread, so that events
// posted once Advise has returned are never missed.
HRESULT StartThread()
{
    auto* t = new (std::nothrow) DriverThread;
    if (!t) return E_OUTOFMEMORY;
    t->pReader = new (std::nothrow) kvsim::EventReader;
    t->hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&DriverThreadProc),
                       &t->hModuleRef);
    if (t->pReader && t->hStop && t->hModuleRef && t->pReader->WakeEvent())
        t->hThread = CreateThread(nullptr, 0, DriverThreadProc, t, 0, &t->dwThreadId);
    if (!t->hThread) {
        HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        delete t->pReader;
        if (t->hStop) CloseHandle(t->hStop);
        if (t->hModuleRef) FreeLibrary(t->hModuleRef);
        delete t;
        return FAILED(hr) ? hr : E_FAIL;
    }
    g_pThread = t;
    return S_OK;
}

}  // namespace

bool NotifyBusy()
{
    CDispatchLock lock(g_csDispatch);
    return !g_subs.empty() || g_pThread;
}

void CFeatureSupport::Bind(const CNodeRef& ref, kvsim::Iface iface, Source source, int nSub, bool bDefaults)
{
    m_ref = ref;
    m_iface = iface;
    m_source = source;
    m_nSub = nSub;
    m_bDefaults = bDefaults;
}

HRESULT CFeatureSupport::FindSupport(REFIID riid, IUnknown** ppUnk)
{
    if (riid == IID_ISNDINotifySource) {
        KVSIM_FAULT(kvsim::Iface::NotifySource, 0, m_ref.nNode);
        *ppUnk = static_cast<ISNDINotifySource*>(this);
        return S_OK;
    }
    if (riid == IID_ISNDIDefaults && m_bDefaults) {
        KVSIM_FAULT(kvsim::Iface::Defaults, 0, m_ref.nNode);
        *ppUnk = static_cast<ISNDIDefaults*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CFeatureSupport::Advise(void* pContext, UINT* pCookie, INotifySink* pSink)
{
    KVSIM_FAULT(kvsim::Iface::NotifySource, 3, m_ref.nNode);
    if (!pCookie || !pSink) return E_POINTER;
    *pCookie = 0;
    UINT nCookie = 0;
    ULONGLONG minSeq = 0;
    {
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        nCookie = kvsim::NewCookie();
        minSeq = a.state->nextSeq;
    }
    if (!nCookie) return E_UNEXPECTED;
    CDispatchLock lock(g_csDispatch);
    if (!g_pThread) {
        HRESULT hr = StartThread();
        if (FAILED(hr)) return hr;
    }
    try {
        g_subs.push_back({nCookie, m_ref.nNode, m_ref.dwSerial, m_source, m_nSub, minSeq, pSink, pContext});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    pSink->AddRef();
    ModuleAddRef();
    *pCookie = nCookie;
    return S_OK;
}

// Works on objects of a replaced node too, so that nothing stays subscribed.
HRESULT CFeatureSupport::Unadvise(UINT nCookie)
{
    KVSIM_FAULT(kvsim::Iface::NotifySource, 5, m_ref.nNode);
    INotifySink* pSink = nullptr;
    bool bLeaving = false;
    {
        CDispatchLock leaving(g_csLeaving);
        try {
            g_leaving.push_back(nCookie);
            bLeaving = true;
        } catch (const std::bad_alloc&) {
            // Still correct, only later: the call waits its turn at the lock.
        }
    }
    auto endLeaving = [&] {
        if (!bLeaving) return;
        CDispatchLock leaving(g_csLeaving);
        auto it = std::find(g_leaving.begin(), g_leaving.end(), nCookie);
        if (it != g_leaving.end()) g_leaving.erase(it);
    };
    {
        CDispatchLock lock(g_csDispatch);
        auto it = g_subs.begin();
        for (; it != g_subs.end(); ++it) {
            if (it->nCookie == nCookie && it->nNode == m_ref.nNode && it->source == m_source && it->nSub == m_nSub)
                break;
        }
        if (it == g_subs.end()) {
            endLeaving();
            return kUnknownCookie;
        }
        pSink = it->pSink;
        g_subs.erase(it);
        if (g_subs.empty() && g_pThread) {
            // The thread frees itself and holds its own reference to this DLL.
            // Waiting for it here could deadlock: the last Unadvise may come
            // from a DLL's detach, under the loader lock the thread needs to end.
            DriverThread* t = g_pThread;
            g_pThread = nullptr;
            t->bDetached = true;
            t->bStopping = true;
            SetEvent(t->hStop);
        }
        endLeaving();
    }
    pSink->Release();
    ModuleRelease();
    return S_OK;
}

HRESULT CFeatureSupport::Restore()
{
    KVSIM_FAULT(kvsim::Iface::Defaults, 3, m_ref.nNode);
    CNodeAccess a(m_ref);
    if (FAILED(a.hr)) return a.hr;
    if (!a.node) return E_NOTIMPL;
    RestoreFeature(m_ref.nNode, *a.node);
    return S_OK;
}

void CFeatureSupport::PostAs(Source source, int nSub, UINT dwHint, UINT dwArg) const
{
    kvsim::PostEvent(m_ref.nNode, source, nSub, kvsim::EventCodeFor(source), dwHint, dwArg);
}

HRESULT CFeatureSupport::GetBool(BoolField field, BOOL* pb) const
{
    if (!pb) return E_POINTER;
    CNodeAccess a(m_ref);
    if (FAILED(a.hr)) return a.hr;
    *pb = field(*a.node, m_nSub) ? TRUE : FALSE;
    return S_OK;
}

HRESULT CFeatureSupport::SetOnOff(BoolField field, BOOL bOn) const
{
    CNodeAccess a(m_ref);
    if (FAILED(a.hr)) return a.hr;
    field(*a.node, m_nSub) = bOn;
    Post(KVHINT_ONOFF, bOn ? 1 : 0);
    return S_OK;
}

HRESULT CFeatureSupport::GetRangeOf(RangeField field, float* pMin, float* pMax, float* pStep, float* pExtra) const
{
    if (!pMin || !pMax || !pStep || !pExtra) return E_POINTER;
    CNodeAccess a(m_ref);
    if (FAILED(a.hr)) return a.hr;
    const kvsim::Range& r = field(*a.node, m_nSub);
    *pMin = r.fMin;
    *pMax = r.fMax;
    *pStep = r.fStep;
    *pExtra = r.fExtra;
    return S_OK;
}

HRESULT CFeatureSupport::GetFloat(FloatField field, float* pValue) const
{
    if (!pValue) return E_POINTER;
    CNodeAccess a(m_ref);
    if (FAILED(a.hr)) return a.hr;
    *pValue = field(*a.node, m_nSub);
    return S_OK;
}

HRESULT CFeatureSupport::SetFloat(FloatField field, RangeField range, float fValue, UINT dwHint, UINT dwArg) const
{
    CNodeAccess a(m_ref);
    if (FAILED(a.hr)) return a.hr;
    const kvsim::Range& r = range(*a.node, m_nSub);
    if (!InRange(r, fValue)) return E_INVALIDARG;
    field(*a.node, m_nSub) = ClampTo(r, fValue);
    Post(dwHint, dwArg);
    return S_OK;
}

}  // namespace simdrv
