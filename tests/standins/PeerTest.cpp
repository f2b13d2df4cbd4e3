// KVPeer.exe: serving logs what other processes post to its window; posting
// reaches a window by name or fails saying why.
#include "StandinsTest.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

constexpr wchar_t kPeerWindow[] = L"KVDEVICE_EP_HIDDENWINDOW_863422985_PERSISTENT";
constexpr wchar_t kMasterMessage[] = L"KVWINMSG_MasterOnOffChanged";

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

TEST(PeerTest, ServingLogsTheRegisteredMessageAnd4019UntilStopped)
{
    const std::wstring dir = kvtest::NewTempDirectory(), log = dir + L"peer.log";
    const std::wstring ready = L"KVPeerTestReady-" + std::to_wstring(GetCurrentProcessId());
    HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    HANDLE hPeer = kvtest::StartProgram(L"KVPeer.exe", L"--serve --log \"" + log + L"\" --ready-event " + ready);
    ASSERT_NE(nullptr, hPeer);
    HANDLE both[2] = {hReady, hPeer};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, both, FALSE, 15000)) << "no window signalled";
    CloseHandle(hReady);

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

    EXPECT_EQ(0, kvtest::RunProgram(L"KVPeer.exe", L"--stop"));
    DWORD dwExit = 99;
    if (WaitForSingleObject(hPeer, 10000) != WAIT_OBJECT_0)
        TerminateProcess(hPeer, 98);
    GetExitCodeProcess(hPeer, &dwExit);
    CloseHandle(hPeer);
    EXPECT_EQ(0u, dwExit) << "--stop ends the serving peer";
    EXPECT_EQ(1, kvtest::RunProgram(L"KVPeer.exe", L"--stop")) << "none left";
    kvtest::RemoveTree(dir);
}

TEST(PeerTest, PostingFailsCleanlyWithoutAWindowOrWithBadArguments)
{
    EXPECT_EQ(1, kvtest::RunProgram(L"KVPeer.exe", L"--post master --target \"No Such Window 4711\""));
    for (const wchar_t* args : {L"", L"--post sideways", L"--post master --wparam twelve", L"--serve"})
        EXPECT_EQ(2, kvtest::RunProgram(L"KVPeer.exe", args)) << kvtest::Narrow(args);
}

}  // namespace
