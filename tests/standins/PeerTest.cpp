// KVPeer.exe: serving logs what other processes post to its window (and
// relays the master switch to every plug-in window); posting reaches a window
// by name or fails saying why; switching the master writes the effects store
// and tells every plug-in window.
#include "StandinsTest.h"

#include "device/AudioPolicyConfig.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace {

constexpr wchar_t kPeerWindow[] = L"KVDEVICE_EP_HIDDENWINDOW_863422985_PERSISTENT";
constexpr wchar_t kMasterMessage[] = L"KVWINMSG_MasterOnOffChanged";
constexpr wchar_t kPluginWindow[] = L"KVDEVICE_EP_HIDDENWINDOW_863422985_UI";
using standins::kMasterKey;
constexpr PROPERTYKEY kEffectInfoKey = {{0x0F739373, 0xAFD0, 0x4EB8, {0x9F, 0xAF, 0x01, 0xAB, 0xD6, 0xFB, 0xE5, 0x14}}, 8};

std::vector<std::string> LogLines(const std::wstring& path, size_t nWanted = 0)
{
    std::vector<std::string> lines;
    for (ULONGLONG end = GetTickCount64() + 5000;; Sleep(10)) {
        std::vector<BYTE> bytes = kvtest::ReadFileBytes(path);
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        lines.clear();
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(0, line.find('\r')));
        if (lines.size() >= nWanted || GetTickCount64() > end)
            return lines;
    }
}

// Plug-in sessions' windows, noting each master-switch message (wParam and
// lParam 0) they receive.
std::vector<std::pair<HWND, UINT>> g_heard;

struct CPluginWindows {
    CPluginWindows()
    {
        g_heard.clear();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if ((m == RegisterWindowMessageW(kMasterMessage) || m == 4019) && w == 0 && l == 0)
                g_heard.emplace_back(h, m);
            return DefWindowProcW(h, m, w, l);
        };
        wc.lpszClassName = L"PeerTestPluginWindow";
        RegisterClassW(&wc);
        for (HWND& h : hWnds)
            h = CreateWindowExW(0, wc.lpszClassName, kPluginWindow, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                nullptr);
    }
    ~CPluginWindows() { for (HWND h : hWnds) DestroyWindow(h); }
    bool AllHear(UINT uMsg) const   // pumps until each window has
    {
        auto heard = [&](HWND h) { return std::count(g_heard.begin(), g_heard.end(), std::pair{h, uMsg}) > 0; };
        for (ULONGLONG end = GetTickCount64() + 10000; GetTickCount64() < end; kvtest::PumpUntilIdle(50))
            if (heard(hWnds[0]) && heard(hWnds[1]))
                return true;
        return false;
    }
    HWND hWnds[2] = {};
};

// A VT_UI4 in the speakers' effects store, read as the plug-in reads it; -1 when none.
LONGLONG EffectsValue(const PROPERTYKEY& key)
{
    IKVPolicyConfig* p = nullptr;
    PROPVARIANT v;
    PropVariantInit(&v);
    if (SUCCEEDED(CoCreateInstance(CLSID_KVPolicyConfig, nullptr, CLSCTX_INPROC_SERVER, IID_IKVPolicyConfig,
                                   reinterpret_cast<void**>(&p)))) {
        p->GetValue(standins::kSpeakersId, KVPOLICY_STORE_EFFECTS, &key, &v);
        p->Release();
    }
    return v.vt == VT_UI4 ? LONGLONG(v.ulVal) : -1;   // nothing to clear in a VT_UI4
}

// Starts a serving peer and waits for its window; nullptr when it never came.
HANDLE StartServing(const std::wstring& args)
{
    const std::wstring ready = L"KVPeerTestReady-" + std::to_wstring(GetCurrentProcessId());
    HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    HANDLE hPeer = kvtest::StartProgram(L"KVPeer.exe", L"--serve " + args + L" --ready-event " + ready);
    HANDLE both[2] = {hReady, hPeer};
    bool bReady = hPeer && WaitForMultipleObjects(2, both, FALSE, 15000) == WAIT_OBJECT_0;
    CloseHandle(hReady);
    if (!bReady && hPeer) {
        TerminateProcess(hPeer, 97);
        CloseHandle(hPeer);
    }
    return bReady ? hPeer : nullptr;
}

// Stops it with --stop; its exit code.
DWORD StopServing(HANDLE hPeer)
{
    EXPECT_EQ(0, kvtest::RunProgram(L"KVPeer.exe", L"--stop"));
    DWORD dwExit = 99;
    if (WaitForSingleObject(hPeer, 10000) != WAIT_OBJECT_0)
        TerminateProcess(hPeer, 98);
    GetExitCodeProcess(hPeer, &dwExit);
    CloseHandle(hPeer);
    return dwExit;
}

TEST(PeerTest, ServingLogsTheRegisteredMessageAnd4019UntilStopped)
{
    const std::wstring dir = kvtest::NewTempDirectory(), log = dir + L"peer.log";
    HANDLE hPeer = StartServing(L"--log \"" + log + L"\"");
    ASSERT_NE(nullptr, hPeer) << "no window signalled";

    EXPECT_EQ(3, kvtest::RunProgram(L"KVPeer.exe", L"--serve --log \"" + dir + L"2.log\"")) << "a second peer";
    HWND hWnd = FindWindowW(nullptr, kPeerWindow);
    ASSERT_NE(nullptr, hWnd);
    EXPECT_TRUE(PostMessageW(hWnd, RegisterWindowMessageW(kMasterMessage), 0, 0));
    EXPECT_TRUE(PostMessageW(hWnd, WM_USER + 5, 1, 2));   // not for the log
    const std::wstring target = std::wstring(L" --target ") + kPeerWindow;
    EXPECT_EQ(0, kvtest::RunProgram(L"KVPeer.exe", L"--post 4019 --wparam 5 --lparam -6" + target));
    EXPECT_EQ(0, kvtest::RunProgram(L"KVPeer.exe", L"--post master --wparam 0x1" + target));
    const std::vector<std::string> expected = {"KVWINMSG_MasterOnOffChanged wParam=0 lParam=0",
                                               "4019 wParam=5 lParam=-6",
                                               "KVWINMSG_MasterOnOffChanged wParam=1 lParam=0"};
    EXPECT_EQ(expected, LogLines(log, expected.size()));

    EXPECT_EQ(0u, StopServing(hPeer)) << "--stop ends the serving peer";
    EXPECT_EQ(1, kvtest::RunProgram(L"KVPeer.exe", L"--stop")) << "none left";
    kvtest::RemoveTree(dir);
}

TEST(PeerTest, PostingFailsCleanlyWithoutAWindowOrWithBadArguments)
{
    EXPECT_EQ(1, kvtest::RunProgram(L"KVPeer.exe", L"--post master --target \"No Such Window 4711\""));
    for (const wchar_t* args : {L"", L"--post sideways", L"--post master --wparam twelve", L"--serve"})
        EXPECT_EQ(2, kvtest::RunProgram(L"KVPeer.exe", args)) << kvtest::Narrow(args);
}


TEST(PeerTest, SwitchingTheMasterWritesTheEffectsStoreAndTellsEveryPluginWindow)
{
    standins::ClearPropertyStores();
    const std::wstring endpoint = std::wstring(L" --endpoint ") + standins::kSpeakersId;
    {
        CPluginWindows windows;
        EXPECT_EQ(0, kvtest::RunProgram(L"KVPeer.exe", L"--master off --mask 0x5" + endpoint));
        EXPECT_TRUE(windows.AllHear(RegisterWindowMessageW(kMasterMessage)));
        EXPECT_EQ(0, EffectsValue(kMasterKey));
        EXPECT_EQ(0, kvtest::RunProgram(L"KVPeer.exe", L"--master on" + endpoint));
        EXPECT_EQ(1, EffectsValue(kMasterKey));
        EXPECT_EQ(5, EffectsValue(kEffectInfoKey)) << "written once, kept without --mask";

        // Bad input: a message, and neither the store nor a window hears of it.
        kvtest::PumpUntilIdle(300);
        const size_t nHeard = g_heard.size();
        for (const wchar_t* args : {L"--master maybe", L"--master off --mask 0x1FFFFFFFF", L"--post master"})
            EXPECT_EQ(2, kvtest::RunProgram(L"KVPeer.exe", args + endpoint)) << kvtest::Narrow(args);
        const std::wstring unknown = L" --endpoint {0.0.0.00000000}.{00000000-0000-0000-0000-00000000DEAD}";
        EXPECT_EQ(3, kvtest::RunProgram(L"KVPeer.exe", L"--master off" + unknown));
        kvtest::PumpUntilIdle(300);
        EXPECT_EQ(nHeard, g_heard.size());
        EXPECT_EQ(1, EffectsValue(kMasterKey));
    }
    EXPECT_EQ(1, kvtest::RunProgram(L"KVPeer.exe", L"--master off" + endpoint)) << "written, but nobody to tell";
    EXPECT_EQ(0, EffectsValue(kMasterKey));
    standins::ClearPropertyStores();
}

TEST(PeerTest, ARelayingPeerPasses4019ToEveryPluginWindow)
{
    const std::wstring dir = kvtest::NewTempDirectory(), log = dir + L"relay.log";
    HANDLE hPeer = StartServing(L"--relay --log \"" + log + L"\"");
    ASSERT_NE(nullptr, hPeer) << "no window signalled";
    {
        CPluginWindows windows;   // as a session that switched tells the peer
        EXPECT_TRUE(PostMessageW(FindWindowW(nullptr, kPeerWindow), RegisterWindowMessageW(kMasterMessage), 0, 0));
        EXPECT_TRUE(windows.AllHear(4019));
        EXPECT_EQ(std::vector<std::string>{"KVWINMSG_MasterOnOffChanged wParam=0 lParam=0"}, LogLines(log, 1));
    }
    StopServing(hPeer);
    kvtest::RemoveTree(dir);
}

}  // namespace
