// Window tests run on an apartment-threaded UI thread, as the host's. With
// --panel-child the program is instead a second host process: it opens the
// plug-in's compact panel through the exports and answers the parent through
// named events (see EndToEndTest.cpp).
#include <gmock/gmock.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cwchar>
#include <string>

namespace uitest {
int RunPanelChild(const wchar_t* pszPrefix);
}

int wmain(int argc, wchar_t** argv)
{
    // Each program keeps its own simulated driver state.
    wchar_t szExe[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    const wchar_t* pszName = wcsrchr(szExe, L'\\') ? wcsrchr(szExe, L'\\') + 1 : szExe;
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", std::wstring(pszName, wcscspn(pszName, L".")).c_str());
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int rc;
    if (argc == 3 && wcscmp(argv[1], L"--panel-child") == 0) {
#ifdef UI_PANEL_CHILD
        rc = uitest::RunPanelChild(argv[2]);
#else
        rc = 2;
#endif
    } else {
        testing::InitGoogleMock(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    CoUninitialize();
    return rc;
}
