// The shared block: mapping, lock, faults, events and readers.
#include "SimInternal.h"

#include "features/KVDriverTypes.h"

#include <atomic>
#include <cstring>
#include <memory>

namespace kvsim {

namespace {

constexpr DWORD kMagic = 0x4D53564B;   // "KVSM"
// Bump with every change to the layout of SharedState; the file size is
// checked as well, so a forgotten bump still cannot map a foreign layout.
// A file of another version or size is started afresh from the default.
constexpr DWORD kVersion = 7;

INIT_ONCE g_instanceOnce = INIT_ONCE_STATIC_INIT;
wchar_t g_szInstance[64];

INIT_ONCE g_openOnce = INIT_ONCE_STATIC_INIT;
HANDLE g_hMapping = nullptr;
SharedState* g_pState = nullptr;

// The lock every process of an instance shares. A named mutex costs two
// trips to the wineserver for each driver call even when nobody else wants
// it; this is a word in a small mapping of its own, taken with one
// interlocked instruction when free. A waiter sleeps on an event the holder
// sets as it lets go. The mapping lives only as long as some process has it
// open, so a lock held by a process that is gone cannot outlast a restart;
// while it lasts, a holder whose thread or process is gone gives it up to
// the next waiter, as an abandoned mutex did.
struct SharedLock {
    LONG state;           // 0 free, 1 held, 2 held and someone may be waiting
    DWORD dwOwnerTid;     // the holder's thread (unique machine-wide); 0 while it changes hands
    DWORD dwOwnerPid;
    LONGLONG ownerStart;  // the holder process's creation time: pids are reused
    LONG nDepth;          // the holder's nesting, through any copy of this library
};

INIT_ONCE g_lockOnce = INIT_ONCE_STATIC_INIT;
HANDLE g_hLockMapping = nullptr;
HANDLE g_hLockWake = nullptr;
SharedLock* g_pLock = nullptr;
// This process's creation time, signed into the lock beside its pid. Kept
// here rather than in a function's static: its guard would take a lock of
// the threads library's, which a library unloaded and loaded again leaks.
LONGLONG g_ownStart = 0;

// Read without the lock by CheckFault, so written as an atomic too.
std::atomic_ref<LONG> ArmedFaults()
{
    return std::atomic_ref<LONG>(g_pState->nArmedFaults);
}

std::wstring ObjectName(const wchar_t* what)
{
    return std::wstring(L"Local\\KVSim.") + InstanceName() + L"." + what;
}

std::wstring WakeName(DWORD dwPid, DWORD dwSerial)
{
    return ObjectName(detail::Format(L"wake.%lu.%lu", dwPid, dwSerial).c_str());
}

std::wstring StateFilePath()
{
    wchar_t dir[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"ProgramData", dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        wcscpy(dir, L"C:\\ProgramData");
    std::wstring path = std::wstring(dir) + L"\\KVSim";
    CreateDirectoryW(path.c_str(), nullptr);
    return path + L"\\" + InstanceName() + L".state";
}

template <size_t N>
bool Terminated(const wchar_t (&s)[N]) { return wmemchr(s, 0, N) != nullptr; }
template <size_t N>
bool Terminated(const char (&s)[N]) { return memchr(s, 0, N) != nullptr; }

bool ValidFamily(const PresetFamily& f)
{
    if (f.nPresets < 0 || f.nPresets > kMaxPresets || !Terminated(f.szActive))
        return false;
    for (int i = 0; i < f.nPresets; ++i)
        if (!Terminated(f.presets[i].szKey) || !Terminated(f.presets[i].szName))
            return false;
    return true;
}

bool ValidFeatures(const Features& f)
{
    if (f.upmix.nElements < 0 || f.upmix.nElements > kMaxElements ||
        f.upmix.nSelected < -1 || f.upmix.nSelected >= f.upmix.nElements)
        return false;
    if (f.eq.nBands < 0 || f.eq.nBands > kMaxBands)
        return false;
    for (int i = 0; i < f.eq.nBands; ++i)
        if (!Terminated(f.eq.bands[i].szLabel))
            return false;
    if (f.rvx.nItems < 0 || f.rvx.nItems > kMaxRvxItems)
        return false;
    const SpeakerConfig& sc = f.speakers;
    if (sc.nLayouts < 0 || sc.nLayouts > kMaxSpeakerLayouts || (sc.nLayouts && sc.nCurrent >= UINT(sc.nLayouts)))
        return false;
    for (int i = 0; i < sc.nLayouts; ++i)
        if (!Terminated(sc.layouts[i].szName))
            return false;
    return ValidFamily(f.eqPresets) && ValidFamily(f.rvxPresets);
}

// Others index arrays with these counts, so a damaged file must not get past here.
bool ValidState(const SharedState& s)
{
    if (s.dwMagic != kMagic || s.dwVersion != kVersion || DWORD(s.mode) > DWORD(DriverMode::None) ||
        s.firstSeq > s.nextSeq || !Terminated(s.szTopologyName))
        return false;
    for (const Node& n : s.nodes) {
        if (!n.bUsed)
            continue;
        if (DWORD(n.kind) > 1 || DWORD(n.flow) > 1 ||
            (n.state != NodeState::Active && n.state != NodeState::Unplugged) ||
            !Terminated(n.szId) || !Terminated(n.szName) || !Terminated(n.szAdaptor) ||
            !Terminated(n.szInstancePath) || !Terminated(n.szAlias) ||
            !ValidFeatures(n.features) || !ValidFeatures(n.defaults))
            return false;
    }
    for (const Adaptor& a : s.adaptors)
        if (!Terminated(a.szId))
            return false;
    LONG nArmed = 0;
    for (const Fault& f : s.faults) {
        if (f.bUsed && (DWORD(f.iface) >= DWORD(Iface::Count) || f.nNode < -1 || f.nNode >= kMaxNodes))
            return false;
        nArmed += f.bUsed ? 1 : 0;
    }
    return nArmed == s.nArmedFaults;
}

void Initialise(SharedState& s)
{
    memset(&s, 0, sizeof(s));
    s.dwMagic = kMagic;
    s.dwVersion = kVersion;
    s.dwNextCookie = 1;
    auto t = std::make_unique<detail::Topology>();
    std::wstring error;
    if (detail::ParseTopology(detail::FromUtf8(DefaultTopologyText()).c_str(), t.get(), &error))
        detail::ApplyTopology(*t, L"(built-in default)");
    else
        OutputDebugStringW((L"kvsim: built-in topology refused: " + error + L"\n").c_str());
}

BOOL CALLBACK InitInstance(PINIT_ONCE, PVOID, PVOID*)
{
    wchar_t buf[256] = L"";
    DWORD n = GetEnvironmentVariableW(L"KVSIM_INSTANCE", buf, 256);
    if (n == 0 || n >= 256)
        wcscpy(buf, L"default");
    buf[63] = L'\0';   // a long name is cut, never silently shared with "default"
    for (wchar_t* p = buf; *p; ++p)
        if (!iswalnum(*p) && *p != L'-' && *p != L'_' && *p != L'.')
            *p = L'_';
    wcscpy(g_szInstance, buf);
    return TRUE;
}

LONGLONG ProcessStart(HANDLE hProcess)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(hProcess, &created, &exited, &kernel, &user))
        return 0;
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime);
}

BOOL CALLBACK OpenLock(PINIT_ONCE, PVOID, PVOID*)
{
    HANDLE hMapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedLock),
                                         ObjectName(L"lock.v1").c_str());
    HANDLE hWake = CreateEventW(nullptr, FALSE, FALSE, ObjectName(L"lock.wake").c_str());
    void* p = hMapping && hWake ? MapViewOfFile(hMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr;
    if (!p) {
        if (hMapping)
            CloseHandle(hMapping);
        if (hWake)
            CloseHandle(hWake);
        return TRUE;
    }
    g_hLockMapping = hMapping;
    g_hLockWake = hWake;
    g_ownStart = ProcessStart(GetCurrentProcess());
    g_pLock = static_cast<SharedLock*>(p);
    return TRUE;
}

SharedLock* LockBlock()
{
    InitOnceExecuteOnce(&g_lockOnce, OpenLock, nullptr, nullptr);
    return g_pLock;
}

BOOL CALLBACK OpenOnce(PINIT_ONCE, PVOID, PVOID*)
{
    if (!LockBlock())
        return TRUE;
    StateLock lock;

    // A file-backed mapping so the settings outlive every process; a
    // page-file one when the file cannot be had, so the driver still works.
    const LONGLONG cb = sizeof(SharedState);
    bool bFresh = true;
    HANDLE hFile = CreateFileW(StateFilePath().c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER size = {};
        GetFileSizeEx(hFile, &size);
        bFresh = size.QuadPart != cb;
        if (size.QuadPart > cb) {
            LARGE_INTEGER at;
            at.QuadPart = cb;
            SetFilePointerEx(hFile, at, nullptr, FILE_BEGIN);
            SetEndOfFile(hFile);
        }
    }
    // The version is in the name: a process of an older build still holding
    // its mapping would otherwise hand us a section of the old size.
    HANDLE hMapping = CreateFileMappingW(hFile, nullptr, PAGE_READWRITE, DWORD(cb >> 32), DWORD(cb),
                                         ObjectName(detail::Format(L"state.v%lu", kVersion).c_str()).c_str());
    // A mapping another process already holds was set up by that process.
    if (hMapping && GetLastError() == ERROR_ALREADY_EXISTS)
        bFresh = false;
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);   // the mapping keeps the file open
    void* p = hMapping ? MapViewOfFile(hMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr;
    if (p) {
        g_pState = static_cast<SharedState*>(p);
        if (bFresh || !ValidState(*g_pState)) {
            Initialise(*g_pState);
        } else {
            // Endpoint ids are machine-wide in the OS store and another
            // instance may have taken ours away; each process puts them back.
            for (const Node& n : g_pState->nodes)
                if (n.bUsed)
                    detail::PublishEndpoint(n);
        }
        g_hMapping = hMapping;
    } else if (hMapping) {
        CloseHandle(hMapping);
    }
    // The mapping handle stays open until Close, or for the life of the process.
    return TRUE;
}

}  // namespace

namespace detail {

SharedState* State() { return g_pState; }

void AppendEvent(int nNode, Source source, int nSub, UINT eEvent, UINT dwHint, UINT dwArg)
{
    SharedState& s = *g_pState;
    EventRecord& r = s.ring[s.nextSeq % kEventRing];
    r.seq = s.nextSeq;
    std::atomic_ref<ULONGLONG>(s.nextSeq).store(s.nextSeq + 1, std::memory_order_relaxed);   // read unlocked by Next
    r.nNode = nNode;
    r.source = source;
    r.nSub = nSub;
    r.eEvent = eEvent;
    r.dwHint = dwHint;
    r.dwArg = dwArg;
}

// A reader's event is gone only when its process is: free the slot then.
// Opening each reader's event on every post costs three trips to the kernel
// where setting it costs one, so this process keeps the events it opened,
// slot by slot, keyed by the reader's pid and serial. A held event never goes
// away, so a reader of another process is known dead by its process handle
// instead, looked at when first opened and then only now and then, or when
// a slot is wanted. Everything here runs with the lock held.
namespace {

struct HeldWake {
    DWORD dwPid = 0;
    DWORD dwSerial = 0;
    HANDLE hEvent = nullptr;
    HANDLE hProcess = nullptr;   // readers of other processes only
};

HeldWake g_held[kMaxWakers];
ULONGLONG g_nextLivenessCheck = 0;
constexpr ULONGLONG kLivenessCheckMs = 1000;

void Forget(HeldWake& h)
{
    if (h.hEvent)
        CloseHandle(h.hEvent);
    if (h.hProcess)
        CloseHandle(h.hProcess);
    h = HeldWake{};
}

bool Exited(HANDLE hProcess)
{
    return WaitForSingleObject(hProcess, 0) == WAIT_OBJECT_0;
}

// Wakes a reader whose event this process does not hold yet, and keeps the
// event when the reader's liveness can be told later: its process is this
// one, or one opened for waiting.
void OpenAndWake(Waker& w, HeldWake& h)
{
    HANDLE hEvent = OpenEventW(EVENT_MODIFY_STATE, FALSE, WakeName(w.dwPid, w.dwSerial).c_str());
    if (!hEvent) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            w.bUsed = FALSE;
        return;
    }
    const bool bOwn = w.dwPid == GetCurrentProcessId();
    HANDLE hProcess = nullptr;
    if (!bOwn) {
        // A process holding the event keeps it after its reader died, but it
        // holds that process too, so the pid still names the dead one.
        hProcess = OpenProcess(SYNCHRONIZE, FALSE, w.dwPid);
        if (hProcess ? Exited(hProcess) : GetLastError() == ERROR_INVALID_PARAMETER) {
            w.bUsed = FALSE;
            if (hProcess)
                CloseHandle(hProcess);
            CloseHandle(hEvent);
            return;
        }
    }
    SetEvent(hEvent);
    if (bOwn || hProcess)
        h = HeldWake{w.dwPid, w.dwSerial, hEvent, hProcess};
    else
        CloseHandle(hEvent);
}

}  // namespace

void WakeReaders(bool bCheckLiveness)
{
    const ULONGLONG now = GetTickCount64();
    if (now >= g_nextLivenessCheck) {
        bCheckLiveness = true;
        g_nextLivenessCheck = now + kLivenessCheckMs;
    }
    for (int i = 0; i < kMaxWakers; ++i) {
        Waker& w = g_pState->wakers[i];
        HeldWake& h = g_held[i];
        if (h.hEvent && (!w.bUsed || h.dwPid != w.dwPid || h.dwSerial != w.dwSerial))
            Forget(h);   // the slot was freed or another reader has it now
        if (!w.bUsed)
            continue;
        if (h.hEvent && bCheckLiveness && h.hProcess && Exited(h.hProcess)) {
            Forget(h);
            w.bUsed = FALSE;
            continue;
        }
        if (h.hEvent)
            SetEvent(h.hEvent);
        else
            OpenAndWake(w, h);
    }
}

void ForgetWake(int nSlot)
{
    if (nSlot >= 0 && nSlot < kMaxWakers)
        Forget(g_held[nSlot]);
}

void ForgetWakes()
{
    for (HeldWake& h : g_held)
        Forget(h);
}

}  // namespace detail

const wchar_t* InstanceName()
{
    InitOnceExecuteOnce(&g_instanceOnce, InitInstance, nullptr, nullptr);
    return g_szInstance;
}

SharedState* Open()
{
    InitOnceExecuteOnce(&g_openOnce, OpenOnce, nullptr, nullptr);
    return g_pState;
}

void Close()
{
    detail::ForgetWakes();
    if (g_pState) {
        UnmapViewOfFile(g_pState);
        g_pState = nullptr;
    }
    if (g_hMapping) {
        CloseHandle(g_hMapping);
        g_hMapping = nullptr;
    }
    InitOnceInitialize(&g_openOnce);
    if (g_pLock) {
        UnmapViewOfFile(g_pLock);
        g_pLock = nullptr;
        CloseHandle(g_hLockMapping);
        CloseHandle(g_hLockWake);
        g_hLockMapping = g_hLockWake = nullptr;
    }
    InitOnceInitialize(&g_lockOnce);
}

namespace {

// Whether the thread that took the lock still runs, in the process that was
// running under its pid then. When it cannot be told (no right to look), it
// is taken to be alive.
bool OwnerAlive(DWORD dwTid, DWORD dwPid, LONGLONG start)
{
    HANDLE hThread = OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, dwTid);
    if (!hThread)
        return GetLastError() == ERROR_ACCESS_DENIED;
    bool bAlive = WaitForSingleObject(hThread, 0) == WAIT_TIMEOUT &&
                  (!dwPid || GetProcessIdOfThread(hThread) == dwPid);
    CloseHandle(hThread);
    if (!bAlive || !dwPid)
        return bAlive;
    HANDLE hProcess = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwPid);
    if (!hProcess)
        return GetLastError() == ERROR_ACCESS_DENIED;
    bAlive = ProcessStart(hProcess) == start;
    CloseHandle(hProcess);
    return bAlive;
}

// After a wait that timed out: takes the lock over when its holder has gone,
// as a mutex is abandoned. The holder's thread id decides between waiters.
// A holder that died between taking the word and signing it leaves none;
// after two seconds of that it counts as gone too.
bool TakeFromTheGone(SharedLock& l, int nIdleWaits)
{
    const DWORD dwTid = l.dwOwnerTid;
    if (dwTid ? OwnerAlive(dwTid, l.dwOwnerPid, l.ownerStart) : nIdleWaits < 20)
        return false;
    if (static_cast<DWORD>(InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&l.dwOwnerTid),
                                                      static_cast<LONG>(GetCurrentThreadId()),
                                                      static_cast<LONG>(dwTid))) != dwTid)
        return false;   // another waiter took it first, or it changed hands
    InterlockedExchange(&l.state, 2);
    return true;
}

void WaitForLock(SharedLock& l)
{
    for (int nIdleWaits = 0;;) {
        // The holder is usually about to let go: a short spin before sleeping.
        for (int i = 0; i < 200; ++i) {
            if (l.state == 0 && InterlockedCompareExchange(&l.state, 2, 0) == 0)
                return;
            YieldProcessor();
        }
        if (InterlockedExchange(&l.state, 2) == 0)
            return;
        if (WaitForSingleObject(g_hLockWake, 100) != WAIT_TIMEOUT)
            nIdleWaits = 0;
        else if (TakeFromTheGone(l, ++nIdleWaits))
            return;
    }
}

}  // namespace

// Recursive for a thread, whichever copy of the library it comes through:
// driver methods nest the lock (a write posts its event inside it). Only the
// owner ever finds its own id in the block, so any thread may read it.
void Lock()
{
    SharedLock* p = LockBlock();
    if (!p)
        return;
    const DWORD dwSelf = GetCurrentThreadId();
    if (p->dwOwnerTid == dwSelf) {
        ++p->nDepth;
        return;
    }
    if (InterlockedCompareExchange(&p->state, 1, 0) != 0)
        WaitForLock(*p);
    p->dwOwnerTid = dwSelf;
    p->dwOwnerPid = GetCurrentProcessId();
    p->ownerStart = g_ownStart;
    p->nDepth = 1;
}

void Unlock()
{
    SharedLock* p = g_pLock;
    if (!p || p->dwOwnerTid != GetCurrentThreadId() || --p->nDepth > 0)
        return;
    p->dwOwnerPid = 0;
    p->ownerStart = 0;
    p->dwOwnerTid = 0;
    if (InterlockedExchange(&p->state, 0) == 2)
        SetEvent(g_hLockWake);
}

void Reset(bool bEmpty)
{
    if (!Open())
        return;
    auto t = std::make_unique<detail::Topology>();
    if (!bEmpty) {
        std::wstring error;
        detail::ParseTopology(detail::FromUtf8(DefaultTopologyText()).c_str(), t.get(), &error);
    }
    StateLock lock;
    SharedState& s = *g_pState;
    memset(s.faults, 0, sizeof(s.faults));
    ArmedFaults().store(0);
    s.firstSeq = s.nextSeq;
    detail::ApplyTopology(*t, bEmpty ? L"(empty)" : L"(built-in default)");
}

UINT NewCookie()
{
    if (!Open())
        return 0;
    StateLock lock;
    UINT c = g_pState->dwNextCookie++;
    if (c == 0)
        c = g_pState->dwNextCookie++;
    return c;
}

const wchar_t* DriverModeName(DriverMode mode)
{
    switch (mode) {
    case DriverMode::Endpoint: return L"endpoint";
    case DriverMode::DeviceOnly: return L"device";
    case DriverMode::None: return L"none";
    }
    return L"?";
}

void SetDriverMode(DriverMode mode)
{
    if (!Open())
        return;
    StateLock lock;
    g_pState->mode = mode;
    g_pState->generation++;
    detail::AppendEvent(-1, Source::EndpointEnum, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0);
    detail::AppendEvent(-1, Source::DeviceEnum, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0);
    detail::WakeReaders();
}

// ---- Faults -------------------------------------------------------------------

namespace {
const wchar_t* const kIfaceNames[] = {
    L"IKVEndpointEnum", L"IKVDeviceEnum", L"IKVEndpoint", L"IKVDevice", L"IKVAdaptor",
    L"ISNDINotifySource", L"ISNDIDefaults", L"ISNDIPresetDefaults", L"ISNDIAGC", L"ISNDIBassBoost",
    L"ISNDIBassManagement", L"ISNDISubWooferGain", L"ISNDIMixerFx", L"ISNDIPdp", L"ISNDIUpmix",
    L"ISNDIElement", L"ISNDIVSUR3", L"ISNDIEQ", L"ISNDIRVXEnvironment", L"ISNDIEQPresetU",
    L"ISNDIEQPreset", L"ISNDIRVXPresetList", L"ISNDIRVXPresetU", L"ISNDIRVXPreset",
    L"ISNDISpkConfig", L"ISNDISpkConfig2", L"ClassFactory", L"PolicyConfig", L"PolicyConfigFallback",
};
static_assert(std::size(kIfaceNames) == size_t(Iface::Count));
}  // namespace

const wchar_t* IfaceName(Iface iface)
{
    return DWORD(iface) < DWORD(Iface::Count) ? kIfaceNames[DWORD(iface)] : L"?";
}

bool IfaceFromName(const wchar_t* name, Iface* pIface)
{
    for (DWORD i = 0; i < DWORD(Iface::Count); ++i) {
        if (_wcsicmp(name, kIfaceNames[i]) == 0) {
            *pIface = Iface(i);
            return true;
        }
    }
    return false;
}

bool AddFault(Iface iface, DWORD dwSlot, int nNode, HRESULT hr, LONG nCount, wchar_t* pError, int cchError)
{
    if (DWORD(iface) >= DWORD(Iface::Count) || nNode < -1 || nNode >= kMaxNodes || nCount == 0 || nCount < -1) {
        detail::SetError(pError, cchError, L"fault: bad interface, node or count");
        return false;
    }
    if (!Open()) {
        detail::SetError(pError, cchError, L"the simulated driver's state cannot be opened");
        return false;
    }
    StateLock lock;
    Fault* pFree = nullptr;
    for (Fault& f : g_pState->faults) {
        if (f.bUsed && f.iface == iface && f.dwSlot == dwSlot && f.nNode == nNode) {
            pFree = &f;
            break;
        }
        if (!f.bUsed && !pFree)
            pFree = &f;
    }
    if (!pFree) {
        detail::SetError(pError, cchError, detail::Format(L"the fault table is full (%d)", kMaxFaults));
        return false;
    }
    if (!pFree->bUsed)
        ArmedFaults().fetch_add(1);
    *pFree = Fault{TRUE, iface, dwSlot, nNode, hr, nCount};
    return true;
}

void ClearFaults()
{
    if (!Open())
        return;
    StateLock lock;
    memset(g_pState->faults, 0, sizeof(g_pState->faults));
    ArmedFaults().store(0);
}

// Every driver method starts here, so the usual case, nothing armed, is
// answered without the lock: a fault armed while this looks is one armed
// just after the call.
HRESULT CheckFault(Iface iface, DWORD dwSlot, int nNode)
{
    if (!Open() || ArmedFaults().load(std::memory_order_relaxed) == 0)
        return S_OK;
    StateLock lock;
    for (Fault& f : g_pState->faults) {
        if (!f.bUsed || f.iface != iface || f.dwSlot != dwSlot || (f.nNode != -1 && f.nNode != nNode))
            continue;
        if (f.nRemaining > 0 && --f.nRemaining == 0) {
            f.bUsed = FALSE;
            ArmedFaults().fetch_sub(1);
        }
        return f.hr;
    }
    return S_OK;
}

// ---- Events -------------------------------------------------------------------

void PostEvent(int nNode, Source source, int nSub, UINT eEvent, UINT dwHint, UINT dwArg)
{
    if (!Open())
        return;
    StateLock lock;
    detail::AppendEvent(nNode, source, nSub, eEvent, dwHint, dwArg);
    detail::WakeReaders();
}

EventReader::EventReader()
{
    if (!Open())
        return;
    const DWORD dwPid = GetCurrentProcessId();
    StateLock lock;
    // Serials come from the shared block: a process may hold several copies of
    // this library (a test program and the driver DLL), and two readers must
    // never share one auto-reset event.
    const DWORD dwSerial = NewCookie();
    m_hWake = CreateEventW(nullptr, FALSE, FALSE, WakeName(dwPid, dwSerial).c_str());
    SharedState& s = *g_pState;
    m_nNextSeq = s.nextSeq;
    if (!m_hWake)
        return;
    for (int pass = 0; pass < 2 && m_nSlot < 0; ++pass) {
        for (int i = 0; i < kMaxWakers; ++i) {
            if (!s.wakers[i].bUsed) {
                s.wakers[i] = Waker{TRUE, dwPid, dwSerial};
                m_nSlot = i;
                break;
            }
        }
        if (m_nSlot < 0)
            detail::WakeReaders(true);   // frees the slots of readers whose process died
    }
}

EventReader::~EventReader()
{
    if (m_nSlot >= 0) {
        StateLock lock;
        Waker& w = g_pState->wakers[m_nSlot];
        if (w.bUsed && w.dwPid == GetCurrentProcessId())
            w.bUsed = FALSE;
        detail::ForgetWake(m_nSlot);
    }
    if (m_hWake)
        CloseHandle(m_hWake);
}

bool EventReader::Next(EventRecord* pRecord, DWORD* pdwNodeSerial)
{
    if (!Open())
        return false;
    // Nothing new needs no lock: a record appended after this look sets the
    // wake event again. (Reset only ever moves the start forward.)
    if (m_nNextSeq >= std::atomic_ref<ULONGLONG>(g_pState->nextSeq).load(std::memory_order_relaxed))
        return false;
    StateLock lock;
    const SharedState& s = *g_pState;
    if (s.nextSeq > kEventRing && m_nNextSeq < s.nextSeq - kEventRing) {
        m_nLost += s.nextSeq - kEventRing - m_nNextSeq;
        m_nNextSeq = s.nextSeq - kEventRing;
    }
    if (m_nNextSeq < s.firstSeq)
        m_nNextSeq = s.firstSeq;   // dropped by Reset, not lost
    if (m_nNextSeq >= s.nextSeq)
        return false;
    *pRecord = s.ring[m_nNextSeq % kEventRing];
    m_nNextSeq++;
    if (pdwNodeSerial) {
        const int n = pRecord->nNode;
        *pdwNodeSerial = n >= 0 && n < kMaxNodes && s.nodes[n].bUsed ? s.nodes[n].dwSerial : 0;
    }
    return true;
}

UINT EventCodeFor(Source source)
{
    switch (source) {
    case Source::EndpointEnum:
    case Source::DeviceEnum:
    case Source::Topology: return KVEVT_ENDPOINTS;
    case Source::AGC: return KVEVT_AGC;
    case Source::BassBoost: return KVEVT_BASSBOOST;
    case Source::BassManagement:
    case Source::SubWooferGain: return KVEVT_BASSMANAGEMENT;
    case Source::MixerFx: return KVEVT_MIXERFX;
    case Source::Pdp: return KVEVT_PDP;
    case Source::Upmix: return KVEVT_UPMIX;
    case Source::Element: return KVEVT_VSUR;
    case Source::EQ: return KVEVT_EQ;
    case Source::RVXEnvironment: return KVEVT_RVX;
    case Source::EQPresetU: return KVEVT_EQPRESET;
    case Source::EQPreset: return KVEVT_EQPRESET_NARROW;
    case Source::RVXPresetU: return KVEVT_RVXPRESET;
    case Source::RVXPreset: return KVEVT_RVXPRESET_NARROW;
    case Source::SpkConfig: return KVEVT_SPKCONFIG;
    }
    return 0;
}

// ---- Lookups ------------------------------------------------------------------

int FindNodeById(const SharedState& s, const wchar_t* id)
{
    for (int i = 0; i < kMaxNodes; ++i)
        if (s.nodes[i].bUsed && _wcsicmp(s.nodes[i].szId, id) == 0)
            return i;
    return -1;
}

int FindNode(const SharedState& s, const wchar_t* idOrAlias)
{
    int i = FindNodeById(s, idOrAlias);
    for (int j = 0; i < 0 && j < kMaxNodes; ++j)
        if (s.nodes[j].bUsed && s.nodes[j].szAlias[0] && _wcsicmp(s.nodes[j].szAlias, idOrAlias) == 0)
            i = j;
    return i;
}

int FindAdaptor(const SharedState& s, const wchar_t* id)
{
    for (int i = 0; i < kMaxAdaptors; ++i)
        if (s.adaptors[i].szId[0] && _wcsicmp(s.adaptors[i].szId, id) == 0)
            return i;
    return -1;
}

}  // namespace kvsim
