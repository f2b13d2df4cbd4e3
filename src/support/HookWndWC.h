// The skin: which skin file suits the display, and the wrapper through which
// each dialog loads and drives the maker's skinning library, GlazeU.DLL.
#pragma once

#include <windows.h>

// The skin file's name for an overall scale (display pixels per inch over
// 96, times the host's own scaling) and the edition's vendor id.
const wchar_t* SkinFileName(float fOverallScale, DWORD dwVendorID);

class HookWndWC
{
public:
    // The library's single entry point: a code, the hook instance, three operands.
    typedef INT_PTR(WINAPI* PFNCALLHOOKWND)(INT_PTR nCode, INT_PTR hHook, INT_PTR a, INT_PTR b, INT_PTR c);
    enum : INT_PTR { CODE_CREATE = 1, CODE_DESTROY = 2, CODE_PREPARE_RELEASE = 4, CODE_SKIN = 0x1000 };

    HookWndWC() = default;
    virtual ~HookWndWC();
    HookWndWC(const HookWndWC&) = delete;
    HookWndWC& operator=(const HookWndWC&) = delete;

    // Skins the window with that section of the skin file: the library's
    // status, or 0 when the library, its entry point or an instance cannot be
    // had (the window then keeps the platform's look).
    INT_PTR Skin(HWND hWnd, const char* pszSection, const wchar_t* pszBFFName);
    // Ends the instance and unloads the library; safe to repeat.
    INT_PTR Release();

    INT_PTR m_hHook = 0;
    HMODULE m_hDll = nullptr;
    PFNCALLHOOKWND m_pfnCallHookWnd = nullptr;
};
