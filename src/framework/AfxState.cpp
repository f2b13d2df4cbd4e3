#include "AfxInternal.h"

#include <commctrl.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // provided by the linker for every PE image

namespace afx_internal {

HINSTANCE ThisModule()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

}  // namespace afx_internal

using namespace afx_internal;

namespace {

// Win32 TLS rather than thread_local: mingw's thread_local goes through
// emulated TLS, and this path runs on every export call and window message.
// A DLL gives its slots back when it unloads, or a host that loads it a few
// hundred times runs out of them.
struct CThreadSlots {
    DWORD dwState = ::TlsAlloc();
    DWORD dwPending = ::TlsAlloc();
    DWORD dwMsg = ::TlsAlloc();
    ~CThreadSlots()
    {
        ::TlsFree(dwMsg);
        ::TlsFree(dwPending);
        ::TlsFree(dwState);
    }
};

// The slots and the binary's own module state are built before every other
// static object and so destroyed after all of them: late static destructors
// can still switch states and unbind windows. Not function-local statics:
// their guard makes winpthreads give the loading thread a record of its own.
[[gnu::init_priority(101)]] const CThreadSlots g_slots;
[[gnu::init_priority(101)]] AFX_MODULE_STATE g_staticState(ThisModule());

const CThreadSlots& Slots()
{
    return g_slots;
}

// TlsGetValue clears the thread's last error; callers of the framework should
// still see the error of the API they called.
void* PeekSlot(DWORD dwSlot)
{
    const DWORD dwError = ::GetLastError();
    void* p = ::TlsGetValue(dwSlot);
    ::SetLastError(dwError);
    return p;
}

// Every live module state, so a window bound under a state that is not
// current on this thread is still found. Constant-initialised, so usable
// during any static construction.
SRWLOCK g_statesLock = SRWLOCK_INIT;
AFX_MODULE_STATE* g_pFirstState = nullptr;

}  // namespace

AFX_MODULE_STATE::AFX_MODULE_STATE(HINSTANCE hInstance)
    : m_hCurrentInstanceHandle(hInstance), m_hCurrentResourceHandle(hInstance)
{
    ::AcquireSRWLockExclusive(&g_statesLock);
    m_pNextState = g_pFirstState;
    g_pFirstState = this;
    ::ReleaseSRWLockExclusive(&g_statesLock);
}

AFX_MODULE_STATE::~AFX_MODULE_STATE()
{
    ::AcquireSRWLockExclusive(&g_statesLock);
    for (AFX_MODULE_STATE** pp = &g_pFirstState; *pp; pp = &(*pp)->m_pNextState) {
        if (*pp == this) {
            *pp = m_pNextState;
            break;
        }
    }
    ::ReleaseSRWLockExclusive(&g_statesLock);
}

AFX_MODULE_STATE* AfxGetStaticModuleState()
{
    return &g_staticState;
}

AFX_MODULE_STATE* AfxGetModuleState()
{
    auto* pState = static_cast<AFX_MODULE_STATE*>(PeekSlot(Slots().dwState));
    return pState ? pState : AfxGetStaticModuleState();
}

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pNewState) noexcept
    : m_pPrevState(PeekSlot(Slots().dwState))
{
    ::TlsSetValue(Slots().dwState, pNewState);
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2()
{
    ::TlsSetValue(Slots().dwState, m_pPrevState);
}

HINSTANCE AfxGetInstanceHandle()
{
    return AfxGetModuleState()->m_hCurrentInstanceHandle;
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetModuleState()->m_hCurrentResourceHandle;
}

void AfxSetResourceHandle(HINSTANCE hResource)
{
    AfxGetModuleState()->m_hCurrentResourceHandle = hResource;
}

CWinApp* AfxGetApp()
{
    return AfxGetModuleState()->m_pCurrentWinApp;
}

CWinApp::CWinApp()
{
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    if (!pState->m_pCurrentWinApp)
        pState->m_pCurrentWinApp = this;
    m_hInstance = pState->m_hCurrentInstanceHandle;
}

CWinApp::~CWinApp()
{
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    if (pState->m_pCurrentWinApp == this) {
        pState->m_pCurrentWinApp = nullptr;
        pState->m_bInitInstanceDone = FALSE;
    }
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

namespace {

BOOL InitCommonControlClasses()
{
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
    return ::InitCommonControlsEx(&icc);
}

}  // namespace

namespace {
// Only the thread that holds the loader lock runs a detach.
BOOL g_bDllDetaching = FALSE;
} // namespace

BOOL AfxIsDllDetaching()
{
    return g_bDllDetaching;
}

BOOL AfxInitExeModule()
{
    return InitCommonControlClasses();
}

BOOL AfxDllMain(HINSTANCE hInst, DWORD dwReason, LPVOID /*lpReserved*/)
{
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    if (dwReason == DLL_PROCESS_ATTACH) {
        pState->m_hCurrentInstanceHandle = hInst;
        pState->m_hCurrentResourceHandle = hInst;
        InitCommonControlClasses();

        AFX_MANAGE_STATE(pState);
        CWinApp* pApp = pState->m_pCurrentWinApp;
        if (pApp) {
            pApp->m_hInstance = hInst;
            if (!pApp->InitInstance()) {
                pApp->ExitInstance();
                return FALSE;
            }
            pState->m_bInitInstanceDone = TRUE;
        }
    } else if (dwReason == DLL_PROCESS_DETACH) {
        g_bDllDetaching = TRUE;
        {
            AFX_MANAGE_STATE(pState);
            // A failed attach is followed by a detach; ExitInstance already ran.
            CWinApp* pApp = pState->m_pCurrentWinApp;
            if (pApp && pState->m_bInitInstanceDone) {
                pState->m_bInitInstanceDone = FALSE;
                pApp->ExitInstance();
            }
        }
        pState->m_mapHWND.DeleteTemporaries();
        UnregisterFrameworkWindowClass();
        g_bDllDetaching = FALSE;
    }
    return TRUE;
}

// ---- per-thread plumbing ----------------------------------------------------

namespace afx_internal {

CPendingBindScope::CPendingBindScope(CWnd* pWnd, bool bDialog) noexcept
    : m_bind{pWnd, bDialog}, m_pPrev(PeekSlot(Slots().dwPending))
{
    ::TlsSetValue(Slots().dwPending, &m_bind);
}

CPendingBindScope::~CPendingBindScope()
{
    ::TlsSetValue(Slots().dwPending, m_pPrev);
}

CWnd* TakePendingBind(bool bDialog)
{
    auto* pBind = static_cast<CPendingBind*>(PeekSlot(Slots().dwPending));
    if (!pBind || !pBind->pWnd || pBind->bDialog != bDialog)
        return nullptr;
    CWnd* pWnd = pBind->pWnd;
    pBind->pWnd = nullptr;
    return pWnd;
}

const CCurrentMsg* GetCurrentMsg()
{
    return static_cast<const CCurrentMsg*>(PeekSlot(Slots().dwMsg));
}

void* SetCurrentMsg(const CCurrentMsg* pMsg)
{
    void* pPrev = PeekSlot(Slots().dwMsg);
    ::TlsSetValue(Slots().dwMsg, const_cast<CCurrentMsg*>(pMsg));
    return pPrev;
}

void RestoreCurrentMsg(void* pPrev)
{
    ::TlsSetValue(Slots().dwMsg, pPrev);
}

CWnd* LookupPermanentAnyState(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    AFX_MODULE_STATE* pCurrent = AfxGetModuleState();
    if (CWnd* pWnd = pCurrent->m_mapHWND.LookupPermanent(hWnd))
        return pWnd;
    CWnd* pFound = nullptr;
    ::AcquireSRWLockShared(&g_statesLock);
    for (AFX_MODULE_STATE* p = g_pFirstState; p && !pFound; p = p->m_pNextState) {
        if (p != pCurrent)
            pFound = p->m_mapHWND.LookupPermanent(hWnd);
    }
    ::ReleaseSRWLockShared(&g_statesLock);
    return pFound;
}

}  // namespace afx_internal
