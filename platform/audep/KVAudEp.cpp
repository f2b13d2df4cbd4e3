// The endpoint library's stand-in: it follows the simulated driver's event
// ring and reports every topology record to the registered callbacks.
//
// One dispatch thread serves all registrations of the process. It starts
// with the first registration and stops with the last; it holds a reference
// to this DLL and ends through FreeLibraryAndExitThread, so the library
// cannot be unloaded under it, and a callback that unregisters the last
// registration lets it end without anyone waiting for it.
#include "KVAudEp.h"

#include "SimState.h"

#include <new>
#include <vector>

namespace {

struct Registration {
    ULONG_PTR nId;                 // the handle's value; increasing, never reused
    PFNKVNOTIFYCALLBACK pfnCallback;
    ULONGLONG context;
};

// One per dispatch thread; the thread deletes it when it ends.
struct Dispatcher {
    HANDLE hStop = nullptr;
    DWORD dwThreadId = 0;          // set under g_cs
    bool bStop = false;            // under g_cs
    kvsim::EventReader reader;
};

HMODULE g_hModule = nullptr;
// The dispatch lock: held while calling callbacks and while registrations
// change, so an unregistration waits for a call in progress. Recursive, so a
// callback may register and unregister.
CRITICAL_SECTION g_cs;
std::vector<Registration> g_registrations;   // in increasing nId order
ULONG_PTR g_nNextId = 1;
Dispatcher* g_pDispatcher = nullptr;
HANDLE g_hDispatchThread = nullptr;

// A reader that lost its wake slot would never be woken; looking anyway now
// and then costs little.
constexpr DWORD kPollMs = 1000;

constexpr ULONGLONG kNoEndpoint = ~0ull;

// Calls every registration once; false once the dispatcher was stopped.
// Walks by id rather than by position, since a callback may change the list.
bool Dispatch(Dispatcher* p, int nMsg, ULONGLONG arg)
{
    EnterCriticalSection(&g_cs);
    ULONG_PTR nLast = 0;
    while (!p->bStop) {
        const Registration* pNext = nullptr;
        for (const Registration& r : g_registrations) {
            if (r.nId > nLast) {
                pNext = &r;
                break;
            }
        }
        if (!pNext)
            break;
        const Registration r = *pNext;
        nLast = r.nId;
        r.pfnCallback(static_cast<tagKVREGISTERNOTIFYPROCMSG>(nMsg), arg, r.context);
    }
    const bool bRunning = !p->bStop;
    LeaveCriticalSection(&g_cs);
    return bRunning;
}

bool IsStopped(Dispatcher* p)
{
    EnterCriticalSection(&g_cs);
    const bool bStop = p->bStop;
    LeaveCriticalSection(&g_cs);
    return bStop;
}

DWORD WINAPI DispatchThread(void* pv)
{
    auto* p = static_cast<Dispatcher*>(pv);
    const HANDLE handles[2] = {p->hStop, p->reader.WakeEvent()};
    ULONGLONG nLostSeen = p->reader.Lost();
    bool bRunning = true;
    while (bRunning) {
        if (WaitForMultipleObjects(2, handles, FALSE, kPollMs) == WAIT_OBJECT_0 || IsStopped(p))
            break;
        kvsim::EventRecord record;
        while (bRunning && p->reader.Next(&record)) {
            // What was missed may have been endpoint changes: have listeners look again.
            if (p->reader.Lost() != nLostSeen) {
                nLostSeen = p->reader.Lost();
                bRunning = Dispatch(p, KVNOTIFY_ENDPOINT_CHANGED, kNoEndpoint);
            }
            if (bRunning && record.source == kvsim::Source::Topology)
                bRunning = Dispatch(p, static_cast<int>(record.dwArg),
                                    record.nNode >= 0 ? ULONGLONG(record.nNode) : kNoEndpoint);
        }
    }
    // Once stopped nobody else refers to *p. Its reader is let go here, on
    // this thread, never under the loader lock.
    CloseHandle(p->hStop);
    delete p;
    FreeLibraryAndExitThread(g_hModule, 0);
}

// Under g_cs.
tagKVAUDENDPOINTRESULT StartDispatcher()
{
    auto* p = new (std::nothrow) Dispatcher;
    if (!p)
        return KVAUDENDPOINT_OUT_OF_MEMORY;
    p->hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HMODULE hSelf = nullptr;
    if (!p->hStop || !p->reader.WakeEvent() ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&DispatchThread),
                            &hSelf)) {
        if (p->hStop)
            CloseHandle(p->hStop);
        delete p;
        return KVAUDENDPOINT_FAILED;
    }
    HANDLE hThread = CreateThread(nullptr, 0, DispatchThread, p, 0, &p->dwThreadId);
    if (!hThread) {
        FreeLibrary(hSelf);
        CloseHandle(p->hStop);
        delete p;
        return KVAUDENDPOINT_FAILED;
    }
    g_pDispatcher = p;
    g_hDispatchThread = hThread;
    return KVAUDENDPOINT_OK;
}

// Under g_cs. The thread ends by itself and holds its own reference to this
// DLL; nobody waits for it, because the last unregistration may come from a
// DLL's detach, under the loader lock the thread needs to end.
void StopDispatcher()
{
    Dispatcher* p = g_pDispatcher;
    g_pDispatcher = nullptr;
    CloseHandle(g_hDispatchThread);
    g_hDispatchThread = nullptr;
    p->bStop = true;
    SetEvent(p->hStop);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        DisableThreadLibraryCalls(hInstance);
        InitializeCriticalSection(&g_cs);
    } else if (dwReason == DLL_PROCESS_DETACH && !pReserved) {
        // Unloaded by FreeLibrary: the dispatch thread's own reference means
        // no registration is left and no thread runs our code.
        DeleteCriticalSection(&g_cs);
        kvsim::Close();
    }
    return TRUE;
}

extern "C" tagKVAUDENDPOINTRESULT WINAPI KVRegisterNotificationCallback(PFNKVNOTIFYCALLBACK callback,
                                                                       ULONGLONG context, HANDLE* phNotify)
{
    if (phNotify)
        *phNotify = nullptr;
    if (!callback || !phNotify)
        return KVAUDENDPOINT_INVALID_ARGUMENT;
    if (!kvsim::Open())
        return KVAUDENDPOINT_FAILED;

    EnterCriticalSection(&g_cs);
    tagKVAUDENDPOINTRESULT result = KVAUDENDPOINT_OK;
    const ULONG_PTR nId = g_nNextId;
    try {
        g_registrations.push_back(Registration{nId, callback, context});
    } catch (const std::bad_alloc&) {
        result = KVAUDENDPOINT_OUT_OF_MEMORY;
    }
    if (result == KVAUDENDPOINT_OK && !g_pDispatcher) {
        result = StartDispatcher();
        if (result != KVAUDENDPOINT_OK)
            g_registrations.pop_back();
    }
    if (result == KVAUDENDPOINT_OK) {
        ++g_nNextId;
        *phNotify = reinterpret_cast<HANDLE>(nId);
    }
    LeaveCriticalSection(&g_cs);
    return result;
}

extern "C" tagKVAUDENDPOINTRESULT WINAPI KVUnregisterNotificationCallback(HANDLE hNotify)
{
    const ULONG_PTR nId = reinterpret_cast<ULONG_PTR>(hNotify);
    tagKVAUDENDPOINTRESULT result = KVAUDENDPOINT_INVALID_HANDLE;

    EnterCriticalSection(&g_cs);
    for (auto it = g_registrations.begin(); it != g_registrations.end(); ++it) {
        if (it->nId == nId) {
            g_registrations.erase(it);
            result = KVAUDENDPOINT_OK;
            break;
        }
    }
    if (result == KVAUDENDPOINT_OK && g_registrations.empty() && g_pDispatcher)
        StopDispatcher();
    LeaveCriticalSection(&g_cs);
    return result;
}
