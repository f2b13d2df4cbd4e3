// Module state: which binary's instance, resources, application object and
// window map the calling code works with. Every binary links the framework
// statically and so has its own static state; a thread switches to it with
// AFX_MANAGE_STATE when it enters the binary from outside (exports, driver
// callbacks, window procedures).
#pragma once

#include <windows.h>

#include <cstddef>
#include <unordered_map>

class CWnd;
class CWinApp;

// HWND -> object map of one module state. Permanent entries point at objects
// their owners keep; temporary wrappers (see CWnd::FromHandle) belong to the
// map, which frees one once its window is gone or the module exits.
class CHandleMap {
public:
    CHandleMap() = default;
    ~CHandleMap();
    CHandleMap(const CHandleMap&) = delete;
    CHandleMap& operator=(const CHandleMap&) = delete;

    CWnd* LookupPermanent(HWND hWnd) const;
    BOOL SetPermanent(HWND hWnd, CWnd* pWnd);      // FALSE if hWnd is already bound
    void RemovePermanent(HWND hWnd, CWnd* pWnd);   // only if hWnd is bound to pWnd
    CWnd* FromHandleTemporary(HWND hWnd);          // finds or makes a wrapper
    void DeleteTemporaries();

    size_t GetPermanentCount() const;
    size_t GetTemporaryCount() const;

private:
    void SweepTemporaries();  // caller holds the lock exclusively

    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    std::unordered_map<HWND, CWnd*> m_permanent;
    std::unordered_map<HWND, CWnd*> m_temporary;
};

struct AFX_MODULE_STATE {
    explicit AFX_MODULE_STATE(HINSTANCE hInstance = nullptr);
    ~AFX_MODULE_STATE();
    AFX_MODULE_STATE(const AFX_MODULE_STATE&) = delete;
    AFX_MODULE_STATE& operator=(const AFX_MODULE_STATE&) = delete;

    HINSTANCE m_hCurrentInstanceHandle;
    HINSTANCE m_hCurrentResourceHandle;
    CWinApp* m_pCurrentWinApp = nullptr;
    CHandleMap m_mapHWND;

    BOOL m_bInitInstanceDone = FALSE;          // ExitInstance runs only after a successful InitInstance
    AFX_MODULE_STATE* m_pNextState = nullptr;  // every live state, so a window bound under any is found
};

// This binary's own state. It is built before and destroyed after every other
// static object, so objects torn down late in static destruction can still
// unbind safely.
AFX_MODULE_STATE* AfxGetStaticModuleState();
// The calling thread's current state; the static one if it never switched.
AFX_MODULE_STATE* AfxGetModuleState();

// Switches the calling thread to another module state for the guard's scope.
// Only this thread is affected; guards nest. Costs two TLS accesses.
class AFX_MAINTAIN_STATE2 {
public:
    explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pNewState) noexcept;
    ~AFX_MAINTAIN_STATE2();
    AFX_MAINTAIN_STATE2(const AFX_MAINTAIN_STATE2&) = delete;
    AFX_MAINTAIN_STATE2& operator=(const AFX_MAINTAIN_STATE2&) = delete;

private:
    void* m_pPrevState;  // the thread's slot as it was: null means "never switched"
};

#define AFX_STATE_CONCAT2(a, b) a##b
#define AFX_STATE_CONCAT(a, b) AFX_STATE_CONCAT2(a, b)
#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE2 AFX_STATE_CONCAT(_afxStateGuard, __LINE__)(p)

HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hResource);
CWinApp* AfxGetApp();

// The application object of a binary; the first one constructed becomes the
// static module state's app.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd = nullptr;  // fallback owner for modal dialogs without a parent
};

// DllMain forwards here. Attach: records the instance, registers the common
// controls and runs InitInstance under the module state (FALSE runs
// ExitInstance and fails the load). Detach: ExitInstance, then frees the
// temporary wrappers and the framework window class.
BOOL AfxDllMain(HINSTANCE hInst, DWORD dwReason, LPVOID lpReserved);
// TRUE while AfxDllMain's detach runs, that is under the loader lock: no
// thread can end then, so nothing may wait for one to.
BOOL AfxIsDllDetaching();

// For programs (tests): registers the common control classes. The static
// state already points at the program's own module.
BOOL AfxInitExeModule();
