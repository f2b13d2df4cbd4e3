// Tests run on an apartment-threaded UI thread, as the host's. With
// --write-coexist the program is instead another effects suite that writes
// its name and then its number back to back, as such a suite's installer does.
#include <gmock/gmock.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cwchar>
#include <string>

namespace {

int WriteCoexist(DWORD dwTechnology, const wchar_t* pszName)
{
    HKEY h;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Halvex\\ALCoexist", 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return 3;
    RegSetValueExW(h, L"TechnologyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(pszName),
                   static_cast<DWORD>((wcslen(pszName) + 1) * sizeof(wchar_t)));
    RegSetValueExW(h, L"Technology", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwTechnology), sizeof(dwTechnology));
    RegCloseKey(h);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && wcscmp(argv[1], L"--write-coexist") == 0)
        return WriteCoexist(static_cast<DWORD>(wcstoul(argv[2], nullptr, 0)), argv[3]);

    SetEnvironmentVariableW(L"KVSIM_INSTANCE", L"session_test");
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    testing::InitGoogleMock(&argc, argv);
    int rc = RUN_ALL_TESTS();
    CoUninitialize();
    return rc;
}
