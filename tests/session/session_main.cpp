// Tests run on an apartment-threaded UI thread, as the host's. With
// --write-coexist the program is instead another effects suite that writes
// its name and then its number back to back, as such a suite's installer
// does; "-" leaves that value out.
#include <gmock/gmock.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

int WriteCoexist(bool bTechnology, DWORD dwTechnology, const wchar_t* pszName)
{
    HKEY h;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Halvex\\ALCoexist", 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return 3;
    if (wcscmp(pszName, L"-") != 0)
        RegSetValueExW(h, L"TechnologyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(pszName),
                       static_cast<DWORD>((wcslen(pszName) + 1) * sizeof(wchar_t)));
    if (bTechnology)
        RegSetValueExW(h, L"Technology", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwTechnology),
                       sizeof(dwTechnology));
    RegCloseKey(h);
    return 0;
}

} // namespace

namespace stest {
int RunSessionChild(int nSwitches, const wchar_t* pszReport);
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && wcscmp(argv[1], L"--write-coexist") == 0)
        return WriteCoexist(wcscmp(argv[2], L"-") != 0, static_cast<DWORD>(wcstoul(argv[2], nullptr, 0)), argv[3]);

    SetEnvironmentVariableW(L"KVSIM_INSTANCE", L"session_test");
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The other process of the cross-process cases, a session of its own.
    if (argc == 4 && wcscmp(argv[1], L"--session-child") == 0) {
        int rc = stest::RunSessionChild(_wtoi(argv[2]), argv[3]);
        CoUninitialize();
        return rc;
    }
    testing::InitGoogleMock(&argc, argv);
    int rc = RUN_ALL_TESTS();
    CoUninitialize();
    return rc;
}
