// The four functions the host calls, all on its UI thread. Each runs under the
// plug-in's module state so resources and window maps are this library's.
#include "app/KVEffectApp.h"

CKVEffectApp theApp;

namespace {

HWND InitPluginCommon(HWND hParent, int nType, const RECT* pRect, int nIgnored)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    // A missing rectangle would be the host's fault; place at the origin
    // rather than read through a null pointer.
    RECT rc = pRect ? *pRect : RECT{};
    return theApp.KVInitPluginEx(hParent, nType, rc, nIgnored);
}

} // namespace

extern "C" __declspec(dllexport) HWND WINAPI InitPlugin(HWND hParent, int nType, const RECT* pRect, int nIgnored)
{
    return InitPluginCommon(hParent, nType, pRect, nIgnored);
}

extern "C" __declspec(dllexport) HWND WINAPI InitPluginEx(HWND hParent, int nType, const RECT* pRect, int nIgnored)
{
    return InitPluginCommon(hParent, nType, pRect, nIgnored);
}

extern "C" __declspec(dllexport) void WINAPI UninitPlugin(HWND hWnd)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    theApp.KVUninitPlugin(hWnd);
}

extern "C" __declspec(dllexport) void WINAPI RestoreDefault(DWORD dwSelector)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    theApp.RestoreDefault(dwSelector);
}
