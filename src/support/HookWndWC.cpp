#include "support/HookWndWC.h"

const wchar_t* SkinFileName(float fOverallScale, DWORD dwVendorID)
{
    // Strictly greater than each step, compared as floats.
    const bool bSecondFamily = dwVendorID == 0x111D;
    if (fOverallScale > 1.8f)
        return bSecondFamily ? L"KVEffect2_200.bff" : L"KVEffect_200.bff";
    if (fOverallScale > 1.4f)
        return bSecondFamily ? L"KVEffect2_150.bff" : L"KVEffect_150.bff";
    if (fOverallScale > 1.15f)
        return bSecondFamily ? L"KVEffect2_125.bff" : L"KVEffect_125.bff";
    if (fOverallScale > 0.9f)
        return bSecondFamily ? L"KVEffect2.bff" : L"KVEffect.bff";
    return bSecondFamily ? L"KVEffect2.bff" : L"KVEffect_80.bff";  // the second family has no 80 % file
}

HookWndWC::~HookWndWC()
{
    Release();
}

INT_PTR HookWndWC::Skin(HWND hWnd, const char* pszSection, const wchar_t* pszBFFName)
{
    if (!m_hDll)
        m_hDll = LoadLibraryW(L"GlazeU.DLL");
    if (!m_hDll)
        return 0;
    m_pfnCallHookWnd = reinterpret_cast<PFNCALLHOOKWND>(GetProcAddress(m_hDll, "CallHookWnd"));
    if (!m_pfnCallHookWnd)
        return 0;
    // A second call reuses the instance rather than losing it.
    if (!m_hHook)
        m_hHook = m_pfnCallHookWnd(CODE_CREATE, 0, 0, 0, 0);
    if (!m_hHook)
        return 0;
    return m_pfnCallHookWnd(CODE_SKIN, m_hHook, reinterpret_cast<INT_PTR>(hWnd), reinterpret_cast<INT_PTR>(pszSection),
                            reinterpret_cast<INT_PTR>(pszBFFName));
}

INT_PTR HookWndWC::Release()
{
    INT_PTR nResult = 0;
    if (m_hHook) {
        if (m_pfnCallHookWnd) {
            nResult = m_pfnCallHookWnd(CODE_PREPARE_RELEASE, m_hHook, 0, 0, 0);
            m_pfnCallHookWnd(CODE_DESTROY, m_hHook, 0, 0, 0);
        }
        m_hHook = 0;
    }
    if (m_hDll) {
        FreeLibrary(m_hDll);
        m_hDll = nullptr;
    }
    m_pfnCallHookWnd = nullptr;
    return nResult;
}
