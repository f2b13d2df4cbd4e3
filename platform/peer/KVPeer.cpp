// KVPeer.exe: another of the maker's processes that follows the master
// switch. Serving, it keeps the hidden window other processes post
// "KVWINMSG_MasterOnOffChanged" to and logs what arrives (and, relaying,
// tells every plug-in session); it can also post those messages itself,
// switch the master through the endpoint's effects property store as the
// maker's other programs do, and stop a serving peer.
#include "device/AudioPropStoreWrapper.h"
#include "device/KVDeviceEndpoint.h"

#include <windows.h>
#include <objbase.h>

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kMasterMessageName[] = L"KVWINMSG_MasterOnOffChanged";
constexpr wchar_t kPeerWindowName[] = L"KVDEVICE_EP_HIDDENWINDOW_863422985_PERSISTENT";
constexpr wchar_t kPluginWindowName[] = L"KVDEVICE_EP_HIDDENWINDOW_863422985_UI";
constexpr wchar_t kWindowClass[] = L"KVPeerHiddenWindow";
constexpr UINT WM_IPC_MASTER_ONOFF_CHANGE = 4019;
constexpr UINT_PTR kExitTimer = 1;

enum ExitCode { kOk = 0, kNoWindow = 1, kBadArguments = 2, kFailed = 3 };

const wchar_t kUsage[] =
    L"usage:\n"
    L"  KVPeer.exe --serve --log FILE [--relay] [--ready-event NAME] [--exit-after MS]\n"
    L"      keep the window \"KVDEVICE_EP_HIDDENWINDOW_863422985_PERSISTENT\" and append a line to FILE\n"
    L"      for every \"KVWINMSG_MasterOnOffChanged\" and 4019 message (\"4019 wParam=1 lParam=0\");\n"
    L"      --relay: on \"KVWINMSG_MasterOnOffChanged\" also post 4019 to every plug-in window;\n"
    L"      set event NAME once the window exists; end after MS milliseconds\n"
    L"  KVPeer.exe --post master|4019 [--wparam N] [--lparam N] [--target WINDOWNAME]\n"
    L"      post to the top-level window of that name (default \"KVDEVICE_EP_HIDDENWINDOW_863422985_UI\")\n"
    L"  KVPeer.exe --master on|off --endpoint ID [--mask 0xM]\n"
    L"      write the master switch (and with --mask the effect mask) to endpoint ID's effects property\n"
    L"      store, then post \"KVWINMSG_MasterOnOffChanged\" to every plug-in window; exit 1 means\n"
    L"      written, but no plug-in window was there to tell\n"
    L"  KVPeer.exe --switch on|off\n"
    L"      switch the master as the maker's tray program does: with a session of its own on the\n"
    L"      endpoint the plug-in would choose, the effects follow (switching off remembers which were\n"
    L"      on, switching on brings back exactly those), the state is stored and the serving peer is\n"
    L"      told, which relays to every plug-in window; exit 1 means no endpoint to switch\n"
    L"  KVPeer.exe --stop\n"
    L"      close the serving peer's window\n"
    L"exit codes: 0 done, 1 no such window, 2 bad arguments, 3 failed\n";

int Fail(ExitCode code, const wchar_t* pszFormat, const wchar_t* pszArg = L"")
{
    fwprintf(stderr, L"KVPeer: ");
    fwprintf(stderr, pszFormat, pszArg);
    fwprintf(stderr, L"\n");
    if (code == kBadArguments)
        fwprintf(stderr, L"%ls", kUsage);
    return code;
}

bool ParseNumber(const wchar_t* psz, LONGLONG* pValue)
{
    if (!psz || !*psz)
        return false;
    wchar_t* pEnd = nullptr;
    errno = 0;
    *pValue = wcstoll(psz, &pEnd, 0);
    return errno == 0 && *pEnd == L'\0';
}

// Every plug-in session has a window of this name; there may be several, in
// several processes. Returns how many were posted to.
int PostToPluginWindows(UINT uMsg)
{
    int nPosted = 0;
    for (HWND h = nullptr; (h = FindWindowExW(nullptr, h, nullptr, kPluginWindowName)) != nullptr;)
        nPosted += PostMessageW(h, uMsg, 0, 0) ? 1 : 0;
    return nPosted;
}

// ---- Serving ---------------------------------------------------------------

UINT g_uMasterMessage = 0;
HANDLE g_hLog = INVALID_HANDLE_VALUE;
bool g_bRelay = false;

// One line per message, written at once so a reader sees it while we run.
void LogLine(const char* pszWhat, WPARAM wParam, LPARAM lParam)
{
    char sz[160];
    int cch = snprintf(sz, sizeof(sz), "%s wParam=%llu lParam=%lld\r\n", pszWhat,
                       static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
    DWORD cbWritten = 0;
    if (cch > 0)
        WriteFile(g_hLog, sz, static_cast<DWORD>(cch), &cbWritten, nullptr);
}

LRESULT CALLBACK PeerWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == g_uMasterMessage && g_uMasterMessage != 0) {
        LogLine("KVWINMSG_MasterOnOffChanged", wParam, lParam);
        // The switching session changed the shared state; the others re-read it.
        if (g_bRelay)
            PostToPluginWindows(WM_IPC_MASTER_ONOFF_CHANGE);
        return 0;
    }
    switch (uMsg) {
    case WM_IPC_MASTER_ONOFF_CHANGE:
        LogLine("4019", wParam, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kExitTimer)
            DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

int Serve(const wchar_t* pszLog, const wchar_t* pszReadyEvent, LONGLONG nExitAfterMs)
{
    // Two peers would make FindWindow pick one at random.
    if (FindWindowW(nullptr, kPeerWindowName))
        return Fail(kFailed, L"another peer already serves \"%ls\"", kPeerWindowName);

    g_hLog = CreateFileW(pszLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_hLog == INVALID_HANDLE_VALUE)
        return Fail(kFailed, L"cannot open the log \"%ls\"", pszLog);
    g_uMasterMessage = RegisterWindowMessageW(kMasterMessageName);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = PeerWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    HWND hWnd = nullptr;
    if (g_uMasterMessage && RegisterClassW(&wc))
        hWnd = CreateWindowExW(0, kWindowClass, kPeerWindowName, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               wc.hInstance, nullptr);
    if (!hWnd) {
        CloseHandle(g_hLog);
        return Fail(kFailed, L"cannot create the window \"%ls\"", kPeerWindowName);
    }
    if (nExitAfterMs > 0)
        SetTimer(hWnd, kExitTimer, static_cast<UINT>(nExitAfterMs > USER_TIMER_MAXIMUM ? USER_TIMER_MAXIMUM
                                                                                       : nExitAfterMs),
                 nullptr);
    if (pszReadyEvent) {
        HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, pszReadyEvent);
        if (hReady) {
            SetEvent(hReady);
            CloseHandle(hReady);
        }
    }

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CloseHandle(g_hLog);
    return kOk;
}

// ---- Posting and stopping ------------------------------------------------------

int Post(const wchar_t* pszWhich, LONGLONG nWParam, LONGLONG nLParam, const wchar_t* pszTarget)
{
    UINT uMsg = 0;
    if (wcscmp(pszWhich, L"master") == 0)
        uMsg = RegisterWindowMessageW(kMasterMessageName);
    else if (wcscmp(pszWhich, L"4019") == 0)
        uMsg = WM_IPC_MASTER_ONOFF_CHANGE;
    else
        return Fail(kBadArguments, L"--post takes master or 4019, not \"%ls\"", pszWhich);
    if (!uMsg)
        return Fail(kFailed, L"cannot register \"%ls\"", kMasterMessageName);
    HWND hWnd = FindWindowW(nullptr, pszTarget);
    if (!hWnd)
        return Fail(kNoWindow, L"no top-level window named \"%ls\"", pszTarget);
    if (!PostMessageW(hWnd, uMsg, static_cast<WPARAM>(nWParam), static_cast<LPARAM>(nLParam)))
        return Fail(kFailed, L"posting to \"%ls\" failed", pszTarget);
    return kOk;
}

// ---- Switching the master as the maker's other programs do ---------------------

struct ComScope {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~ComScope()
    {
        if (SUCCEEDED(hr))
            CoUninitialize();
    }
};

int SwitchMaster(bool bOn, const wchar_t* pszEndpoint, bool bMask, ULONG ulMask)
{
    UINT uMsg = RegisterWindowMessageW(kMasterMessageName);
    if (!uMsg)
        return Fail(kFailed, L"cannot register \"%ls\"", kMasterMessageName);
    ComScope com;
    IAudioPropStore* pStore = nullptr;
    HRESULT hr = FAILED(com.hr) ? com.hr : OpenAudioPropStore(KVPOLICY_STORE_EFFECTS, pszEndpoint, &pStore);
    if (FAILED(hr)) {
        fwprintf(stderr, L"KVPeer: cannot open the effects property store (0x%08lx)\n", static_cast<unsigned long>(hr));
        return kFailed;
    }
    // The master first: an unknown endpoint is refused there, before anything changed.
    hr = pStore->SetValue(PKEY_KV_MasterOnOff, MakeUI4Variant(bOn ? 1 : 0));
    if (SUCCEEDED(hr) && bMask)
        hr = pStore->SetValue(PKEY_KV_EffectInfo, MakeUI4Variant(ulMask));
    pStore->Release();
    if (FAILED(hr)) {
        fwprintf(stderr, L"KVPeer: writing to the effects property store of \"%ls\" failed (0x%08lx)\n", pszEndpoint,
                 static_cast<unsigned long>(hr));
        return kFailed;
    }
    int nPosted = PostToPluginWindows(uMsg);
    if (nPosted == 0)
        return Fail(kNoWindow, L"written, but no top-level window named \"%ls\" to tell", kPluginWindowName);
    wprintf(L"told %d plug-in window(s)\n", nPosted);
    return kOk;
}

// The whole switch, effects and all: the plug-in's own session does it, so a
// master switched here is indistinguishable from one switched in a window.
int SwitchWithEffects(bool bOn)
{
    ComScope com;
    if (FAILED(com.hr))
        return Fail(kFailed, L"COM did not start");
    CKVDeviceEndpoint session(GetUserDefaultUILanguage());
    int rc = kOk;
    if (!session.OpenDeviceEndpoint() || session.m_strDevice.empty())
        rc = Fail(kNoWindow, L"no endpoint carries the effects");
    else
        session.SetMasterOnOff(bOn ? TRUE : FALSE, TRUE);
    session.CloseDeviceEndpoint();
    return rc;
}

int Stop()
{
    HWND hWnd = FindWindowW(nullptr, kPeerWindowName);
    if (!hWnd)
        return Fail(kNoWindow, L"no peer is serving \"%ls\"", kPeerWindowName);
    if (!PostMessageW(hWnd, WM_CLOSE, 0, 0))
        return Fail(kFailed, L"asking the peer to close failed");
    return kOk;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    enum { kNone, kServe, kPost, kStop, kMaster, kSwitch } mode = kNone;
    const wchar_t* pszLog = nullptr;
    const wchar_t* pszReadyEvent = nullptr;
    const wchar_t* pszWhich = nullptr;
    const wchar_t* pszTarget = kPluginWindowName;
    const wchar_t* pszEndpoint = nullptr;
    bool bMasterOn = false, bMask = false;
    LONGLONG nExitAfterMs = 0, nWParam = 0, nLParam = 0, nMask = 0;

    for (int i = 1; i < argc; ++i) {
        const wchar_t* pszArg = argv[i];
        const wchar_t* pszValue = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needValue = [&]() { return pszValue ? (++i, true) : false; };
        if (wcscmp(pszArg, L"--serve") == 0 || wcscmp(pszArg, L"--stop") == 0) {
            if (mode != kNone)
                return Fail(kBadArguments, L"give one of --serve, --post, --master, --switch, --stop");
            mode = wcscmp(pszArg, L"--serve") == 0 ? kServe : kStop;
        } else if (wcscmp(pszArg, L"--post") == 0) {
            if (mode != kNone || !needValue())
                return Fail(kBadArguments, L"--post needs master or 4019, and no other mode");
            mode = kPost;
            pszWhich = pszValue;
        } else if (wcscmp(pszArg, L"--master") == 0 || wcscmp(pszArg, L"--switch") == 0) {
            if (mode != kNone || !needValue())
                return Fail(kBadArguments, L"%ls needs on or off, and no other mode", pszArg);
            if (wcscmp(pszValue, L"on") != 0 && wcscmp(pszValue, L"off") != 0)
                return Fail(kBadArguments, L"--master and --switch take on or off");
            mode = wcscmp(pszArg, L"--master") == 0 ? kMaster : kSwitch;
            bMasterOn = wcscmp(pszValue, L"on") == 0;
        } else if (wcscmp(pszArg, L"--endpoint") == 0 && needValue()) {
            pszEndpoint = pszValue;
        } else if (wcscmp(pszArg, L"--mask") == 0 && needValue()) {
            if (!ParseNumber(pszValue, &nMask) || nMask < 0 || nMask > 0xFFFFFFFFLL)
                return Fail(kBadArguments, L"--mask needs a number from 0 to 0xFFFFFFFF, not \"%ls\"", pszValue);
            bMask = true;
        } else if (wcscmp(pszArg, L"--relay") == 0) {
            g_bRelay = true;
        } else if (wcscmp(pszArg, L"--log") == 0 && needValue()) {
            pszLog = pszValue;
        } else if (wcscmp(pszArg, L"--ready-event") == 0 && needValue()) {
            pszReadyEvent = pszValue;
        } else if (wcscmp(pszArg, L"--target") == 0 && needValue()) {
            pszTarget = pszValue;
        } else if (wcscmp(pszArg, L"--exit-after") == 0 && needValue()) {
            if (!ParseNumber(pszValue, &nExitAfterMs) || nExitAfterMs <= 0)
                return Fail(kBadArguments, L"--exit-after needs a positive number of milliseconds, not \"%ls\"",
                            pszValue);
        } else if (wcscmp(pszArg, L"--wparam") == 0 && needValue()) {
            if (!ParseNumber(pszValue, &nWParam))
                return Fail(kBadArguments, L"--wparam needs a number, not \"%ls\"", pszValue);
        } else if (wcscmp(pszArg, L"--lparam") == 0 && needValue()) {
            if (!ParseNumber(pszValue, &nLParam))
                return Fail(kBadArguments, L"--lparam needs a number, not \"%ls\"", pszValue);
        } else {
            return Fail(kBadArguments, L"unexpected or incomplete argument \"%ls\"", pszArg);
        }
    }

    if (g_bRelay && mode != kServe)
        return Fail(kBadArguments, L"--relay belongs to --serve");
    if ((pszEndpoint || bMask) && mode != kMaster)
        return Fail(kBadArguments, L"--endpoint and --mask belong to --master");
    switch (mode) {
    case kServe:
        if (!pszLog)
            return Fail(kBadArguments, L"--serve needs --log FILE");
        return Serve(pszLog, pszReadyEvent, nExitAfterMs);
    case kPost:
        return Post(pszWhich, nWParam, nLParam, pszTarget);
    case kMaster:
        if (!pszEndpoint || !*pszEndpoint)
            return Fail(kBadArguments, L"--master needs --endpoint ID");
        return SwitchMaster(bMasterOn, pszEndpoint, bMask, static_cast<ULONG>(nMask));
    case kSwitch:
        return SwitchWithEffects(bMasterOn);
    case kStop:
        return Stop();
    default:
        return Fail(kBadArguments, L"give one of --serve, --post, --master, --switch, --stop");
    }
}
