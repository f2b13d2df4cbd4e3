// Window tests run on an apartment-threaded UI thread, as the host's. With
// --panel-child the program is instead a second host process: it opens the
// plug-in's compact panel through the exports and answers the parent through
// named events (see EndToEndTest.cpp). With --dpi N first it runs again at
// N pixels per inch.
#include <gmock/gmock.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace uitest {
int RunPanelChild(const wchar_t* pszPrefix);
}

namespace {

// Wine gives a process the prefix's DPI ("LogPixels") as it starts, and only
// to one that declares itself DPI-aware. So the value is set, the program
// started again with the other arguments, and the value put back as soon as
// the child has read it; any other program starting in that moment gets the
// DPI too, so such a run must be alone.
const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kStartedEventVar[] = L"KV_UI_DPI_STARTED";

// In a program started by RunAtDpi: lets the parent put the value back.
bool SignalStartedAtDpi()
{
    wchar_t sz[32] = L"";
    const DWORD n = GetEnvironmentVariableW(kStartedEventVar, sz, 32);
    if (!n || n >= 32)
        return false;
    SetEnvironmentVariableW(kStartedEventVar, nullptr);
    HANDLE hStarted = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(wcstoull(sz, nullptr, 10)));
    SetEvent(hStarted);
    CloseHandle(hStarted);
    return true;
}

int RunAtDpi(DWORD dwDpi, int argc, wchar_t** argv)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &hKey,
                        nullptr) != ERROR_SUCCESS)
        return 2;
    DWORD dwOld = 0, cb = sizeof(dwOld);
    const bool bHad = RegQueryValueExW(hKey, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&dwOld), &cb) ==
                      ERROR_SUCCESS;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE hStarted = CreateEventW(&sa, TRUE, FALSE, nullptr);
    SetEnvironmentVariableW(kStartedEventVar,
                            std::to_wstring(static_cast<ULONG_PTR>(reinterpret_cast<UINT_PTR>(hStarted))).c_str());
    std::wstring cmd = L"\"" + std::wstring(argv[0]) + L"\"";
    for (int i = 3; i < argc; ++i)
        cmd += L" \"" + std::wstring(argv[i]) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    RegSetValueExW(hKey, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwDpi), sizeof(dwDpi));
    const bool bStarted = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    if (bStarted) {
        HANDLE either[] = {hStarted, pi.hProcess};
        WaitForMultipleObjects(2, either, FALSE, 30000);
    }
    if (bHad)
        RegSetValueExW(hKey, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwOld), sizeof(dwOld));
    else
        RegDeleteValueW(hKey, L"LogPixels");
    RegCloseKey(hKey);
    CloseHandle(hStarted);
    if (!bStarted)
        return 2;
    DWORD dwExit = 2;
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(dwExit);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    SetProcessDPIAware();
    if (argc >= 3 && wcscmp(argv[1], L"--dpi") == 0) {
        HDC hdc = GetDC(nullptr);
        const int nDpi = GetDeviceCaps(hdc, LOGPIXELSX);
        ReleaseDC(nullptr, hdc);
        const DWORD dwWanted = wcstoul(argv[2], nullptr, 10);
        const bool bRestarted = SignalStartedAtDpi();
        if (static_cast<DWORD>(nDpi) != dwWanted && !bRestarted)
            return RunAtDpi(dwWanted, argc, argv);
        if (static_cast<DWORD>(nDpi) != dwWanted) {
            fwprintf(stderr, L"asked for %lu DPI, but Wine started the program at %d\n", dwWanted, nDpi);
            return 2;
        }
        argv[2] = argv[0];
        argc -= 2;
        argv += 2;
    }
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
