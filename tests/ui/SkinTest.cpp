// Without the skin library every window keeps the platform's look and works.
// The library lives beside this program, so the case runs in a copy of the
// program made in a folder without it.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"

namespace uitest {
namespace {

bool SkinLibraryFound()
{
    HMODULE h = LoadLibraryW(L"GlazeU.DLL");
    if (h)
        FreeLibrary(h);
    return h != nullptr;
}

int RunCopyWithoutSkinLibrary(const std::wstring& filter)
{
    const std::wstring dir = kvtest::NewTempDirectory();
    for (const wchar_t* f : {L"KVEffect.dll", L"KVLoadRs.dll", L"KVEffRsc.rsc", L"KVAudEp.dll"})
        if (!kvtest::CopyInto(f, kvtest::ExeDirectory(), dir))
            return -2;
    if (!kvtest::CopyInto(kvtest::ExeFileName(), kvtest::ExeDirectory(), dir))
        return -2;
    const std::wstring exe = dir + kvtest::ExeFileName();
    std::wstring cmd = L"\"" + exe + L"\" --gtest_filter=" + filter;
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    DWORD dwExit = DWORD(-1);
    if (CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
        if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi.hProcess, &dwExit);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    kvtest::RemoveTree(dir);
    return static_cast<int>(dwExit);
}

using Unskinned = UiTest;

TEST_F(Unskinned, WithoutTheSkinLibraryEveryWindowWorks)
{
    if (SkinLibraryFound()) {
        EXPECT_EQ(0, RunCopyWithoutSkinLibrary(L"Unskinned.*"));
        return;
    }
    HMODULE hDll = LoadLibraryW(L"KVEffect.dll");
    ASSERT_NE(nullptr, hDll);
    auto pfnInit = reinterpret_cast<HWND(WINAPI*)(HWND, int, const RECT*, int)>(GetProcAddress(hDll, "InitPlugin"));
    auto pfnUninit = reinterpret_cast<void(WINAPI*)(HWND)>(GetProcAddress(hDll, "UninitPlugin"));
    RECT rc = {8, 80, 700, 600};
    HWND hMain = pfnInit(Host(), 1, &rc, 0);
    ASSERT_NE(nullptr, hMain);
    Pump();
    for (int id : {IDC_BTN_PAGE_EQ, IDC_BTN_PAGE_RVX, IDC_BTN_PAGE_ENHANCEMENT, IDC_BTN_PAGE_QFX}) {
        Click(hMain, id);
        EXPECT_FALSE(Enabled(hMain, id));
    }
    HWND hPanel = pfnInit(Host(), 0, &rc, 0);
    ASSERT_NE(nullptr, hPanel);
    Pump();
    Click(hPanel, IDC_BTN_MASTER_ON);
    EXPECT_EQ(BST_CHECKED, Checked(hPanel, IDC_BTN_MASTER_OFF));
    EXPECT_EQ(L"0", Get(L"speakers", L"eq.enabled"));
    Click(hPanel, IDC_BTN_MASTER_OFF);
    EXPECT_EQ(BST_CHECKED, Checked(hPanel, IDC_BTN_MASTER_ON));
    pfnUninit(hPanel);
    pfnUninit(hMain);
    FreeLibrary(hDll);
}

} // namespace
} // namespace uitest
