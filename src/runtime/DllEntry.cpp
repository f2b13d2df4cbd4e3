// Entry point of every DLL we build. Each DLL links libstdc++, libgcc and
// winpthreads statically, so every load starts fresh copies of them, and
// none gives back at unload what it took from the process:
//  - libstdc++ allocates its emergency exception pool (about 72 KB) when the
//    DLL loads and frees it only in __gnu_cxx::__freeres();
//  - winpthreads takes a TLS slot on first use and gives every thread it did
//    not start a record (an event, a duplicate thread handle, memory) when the
//    thread first needs one: pthread_once behind function-local statics,
//    thread_local and caught exceptions through emulated TLS, condition
//    variables. A record goes back to winpthreads' pool when its thread
//    ends; the pool, the slot, its locks and the record of a thread that
//    outlives the DLL (the host's UI thread) are never given back.
// A host that opens and closes the panel would lose handles and memory with
// every round and, once the TLS slots run out, abort inside winpthreads.
// KvDllEntry wraps the CRT's entry point and hands all that back once a
// FreeLibrary has run everything else (DllMain, static destructors), when no
// code of this DLL can need it again.
#include <windows.h>
#include <pthread.h>

#include <cstdlib>

namespace __gnu_cxx {
void __freeres();
}

extern "C" {
BOOL WINAPI DllMainCRTStartup(HANDLE hDll, DWORD dwReason, LPVOID pReserved);
// winpthreads' TLS callback: what the loader runs for each ending thread.
extern PIMAGE_TLS_CALLBACK __xl_f;
// winpthreads' own, made visible by cmake/Winpthreads.cmake.
extern DWORD kv_winpthreads_tls_slot;
extern pthread_mutex_t kv_winpthreads_records_lock;
extern pthread_rwlock_t kv_winpthreads_keys_lock;
extern void (**_pthread_key_dest)(void*);
}

namespace {

const DWORD kNoSlot = 0xffffffff;  // winpthreads' "not allocated yet"

// Records of threads that ended while we were loaded: winpthreads pools them
// and never frees the pool. Only the holder of the loader lock touches these.
void* g_pEndedRecords[64];
size_t g_nEndedRecords = 0;
bool g_bReleased = false;

void RememberRecord(void* pRecord)
{
    for (size_t i = 0; i < g_nEndedRecords; ++i) {
        if (g_pEndedRecords[i] == pRecord)
            return;
    }
    if (g_nEndedRecords < sizeof(g_pEndedRecords) / sizeof(g_pEndedRecords[0]))
        g_pEndedRecords[g_nEndedRecords++] = pRecord;
}

// Sorts before winpthreads' own callback (.CRT$XLF), which pools the record.
void NTAPI NoteEndingThread(PVOID, DWORD dwReason, PVOID)
{
    if (dwReason != DLL_THREAD_DETACH || kv_winpthreads_tls_slot == kNoSlot)
        return;
    const DWORD dwError = GetLastError();
    if (void* pRecord = TlsGetValue(kv_winpthreads_tls_slot))
        RememberRecord(pRecord);
    SetLastError(dwError);
}

void ReleaseThreadsLibrary(HINSTANCE hDll)
{
    if (kv_winpthreads_tls_slot == kNoSlot)
        return;  // never used
    // The unloading thread goes on without us: end its record as if the
    // thread ended (closes its handles, runs its key destructors). Another
    // thread still running with a record keeps its two handles; all our
    // exports run on the host's UI thread, which is the one unloading.
    if (void* pRecord = TlsGetValue(kv_winpthreads_tls_slot)) {
        RememberRecord(pRecord);
        __xl_f(hDll, DLL_THREAD_DETACH, nullptr);
    }
    for (size_t i = 0; i < g_nEndedRecords; ++i)
        free(g_pEndedRecords[i]);
    g_nEndedRecords = 0;
    TlsFree(kv_winpthreads_tls_slot);
    kv_winpthreads_tls_slot = kNoSlot;
    pthread_rwlock_destroy(&kv_winpthreads_keys_lock);
    pthread_mutex_destroy(&kv_winpthreads_records_lock);
    free(_pthread_key_dest);
    _pthread_key_dest = nullptr;
}

void ReleaseRuntime(HINSTANCE hDll)
{
    if (g_bReleased)
        return;
    g_bReleased = true;
    ReleaseThreadsLibrary(hDll);
    __gnu_cxx::__freeres();
}

}  // namespace

extern "C" __attribute__((section(".CRT$XLE"), used)) const PIMAGE_TLS_CALLBACK kv_xl_note_ending_thread =
    NoteEndingThread;

extern "C" BOOL WINAPI KvDllEntry(HINSTANCE hDll, DWORD dwReason, LPVOID pReserved)
{
    const BOOL bOk = DllMainCRTStartup(hDll, dwReason, pReserved);
    // At process exit (pReserved set) other threads died wherever they were,
    // perhaps holding winpthreads' locks; the system takes everything back.
    if ((dwReason == DLL_PROCESS_ATTACH && !bOk) || (dwReason == DLL_PROCESS_DETACH && !pReserved))
        ReleaseRuntime(hDll);
    return bOk;
}
