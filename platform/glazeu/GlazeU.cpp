// GlazeU.DLL, the skinning library. Each of the plug-in's dialogs loads it,
// creates a hook instance, has itself skinned from a section of a .bff file,
// and at the end ends the instance and frees the library; see CallHookWnd.
#include "ExclusiveLock.h"
#include "Skin.h"
#include "SkinFile.h"
#include "SkinnedWindow.h"

#include <algorithm>
#include <new>
#include <vector>

namespace glazeu {

namespace {

enum : INT_PTR { kCodeCreate = 1, kCodeDestroy = 2, kCodePrepareRelease = 4, kCodeSkin = 0x1000 };

// One per hook instance: the windows it has skinned.
struct CInstance {
    INT_PTR m_hHandle = 0;
    std::vector<HWND> m_windows;
};

// Handles are serial numbers, never addresses, so a stale or made-up handle
// finds nothing. Their start differs between loads of the library, so a
// handle kept across an unload does not meet a new instance either.
SRWLOCK g_lock = SRWLOCK_INIT;
std::vector<CInstance*> g_instances;
INT_PTR g_hNextHandle = 0;

// Under the lock.
std::vector<CInstance*>::iterator Find(INT_PTR hHook)
{
    return std::find_if(g_instances.begin(), g_instances.end(),
                        [hHook](const CInstance* p) { return hHook && p->m_hHandle == hHook; });
}

// Keeps the library loaded until the process ends: better than being
// unloaded under a window procedure of ours that has not returned yet.
void PinLibrary()
{
    HMODULE hSelf;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinLibrary), &hSelf);
}

// Returns false when a window could not be given back.
bool Unskin(const std::vector<HWND>& windows, INT_PTR hHook, bool bMayWait)
{
    bool bAll = true;
    for (HWND hWnd : windows)
        bAll = UnskinWindow(hWnd, hHook, bMayWait) && bAll;
    return bAll;
}

INT_PTR Create()
{
    CInstance* p = new (std::nothrow) CInstance;
    if (!p)
        return 0;
    CExclusiveLock lock(g_lock);
    if (!g_hNextHandle) {
        LARGE_INTEGER t = {};
        QueryPerformanceCounter(&t);
        g_hNextHandle = 0x10000 + static_cast<INT_PTR>(t.LowPart & 0xFFFF) * 0x100;
    }
    p->m_hHandle = g_hNextHandle;
    g_hNextHandle += 0x10;
    g_instances.push_back(p);
    return p->m_hHandle;
}

INT_PTR Skin(INT_PTR hHook, HWND hWnd, const char* pszSection, const wchar_t* pszPath)
{
    {
        CExclusiveLock lock(g_lock);
        if (Find(hHook) == g_instances.end())
            return 0;
    }
    CSkinLook look;
    if (!IsWindow(hWnd) || !LoadSkinSection(pszPath, pszSection, look))
        return 0;
    CSkin* pSkin = CSkin::Create(look);
    if (!pSkin)
        return 0;
    std::vector<HWND> added;
    const int n = SkinDialog(hWnd, *pSkin, hHook, added);
    pSkin->Release();  // the windows hold their own references
    {
        CExclusiveLock lock(g_lock);
        auto it = Find(hHook);
        if (it != g_instances.end()) {
            (*it)->m_windows.insert((*it)->m_windows.end(), added.begin(), added.end());
            return n;
        }
    }
    // The instance ended on another thread meanwhile; nobody would give these back.
    Unskin(added, hHook, true);
    return 0;
}

// Gives every window of the instance back the platform's look; returns how
// many of them were still there.
INT_PTR PrepareRelease(INT_PTR hHook)
{
    std::vector<HWND> windows;
    {
        CExclusiveLock lock(g_lock);
        auto it = Find(hHook);
        if (it == g_instances.end())
            return 0;
        windows.swap((*it)->m_windows);
    }
    const INT_PTR n = std::count_if(windows.begin(), windows.end(), [](HWND h) { return IsWindow(h) != FALSE; });
    if (!Unskin(windows, hHook, true))
        PinLibrary();
    return n;
}

INT_PTR Destroy(INT_PTR hHook)
{
    CInstance* p;
    bool bLast;
    {
        CExclusiveLock lock(g_lock);
        auto it = Find(hHook);
        if (it == g_instances.end())
            return 0;
        p = *it;
        g_instances.erase(it);
        bLast = g_instances.empty();
    }
    // The caller may unload the library as soon as this returns. When the
    // instance ends from inside one of its windows' messages (a click that
    // closes the dialog), our window procedure is still below on the stack.
    if (!Unskin(p->m_windows, hHook, true) || (bLast && ActiveWindowCalls() > 0))
        PinLibrary();
    delete p;
    return 1;
}

// A caller that frees the library without ending its instances: the windows
// of this thread go back to the platform's look; no other thread can be
// waited for under the loader lock.
void EndAllInstances()
{
    std::vector<CInstance*> instances;
    {
        CExclusiveLock lock(g_lock);
        instances.swap(g_instances);
    }
    for (CInstance* p : instances) {
        Unskin(p->m_windows, p->m_hHandle, false);
        delete p;
    }
}

} // namespace

void ForgetWindow(INT_PTR hOwner, HWND hWnd)
{
    CExclusiveLock lock(g_lock);
    auto it = Find(hOwner);
    if (it != g_instances.end())
        std::erase((*it)->m_windows, hWnd);
}

} // namespace glazeu

// The library's one export.
//   1       create a hook instance              -> its handle; 0 on failure
//   0x1000  skin window a with section b (const char*) of the skin file c
//           (const wchar_t*), for instance hHook -> how many windows wear the
//           skin (the dialog and its painted controls); 0: none, the dialog
//           keeps the platform's look
//   4       give the instance's windows back the platform's look
//                                               -> how many were still there
//   2       end the instance                    -> 1
// Unknown codes, and handles that are null, made up or ended, return 0.
extern "C" INT_PTR WINAPI CallHookWnd(INT_PTR nCode, INT_PTR hHook, INT_PTR a, INT_PTR b, INT_PTR c)
{
    using namespace glazeu;
    switch (nCode) {
    case kCodeCreate:
        return Create();
    case kCodeSkin:
        return Skin(hHook, reinterpret_cast<HWND>(a), reinterpret_cast<const char*>(b),
                    reinterpret_cast<const wchar_t*>(c));
    case kCodePrepareRelease:
        return PrepareRelease(hHook);
    case kCodeDestroy:
        return Destroy(hHook);
    }
    return 0;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID pReserved)
{
    if (dwReason == DLL_PROCESS_DETACH && !pReserved)
        glazeu::EndAllInstances();
    return TRUE;
}
