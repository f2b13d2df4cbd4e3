// Without the skin library every window keeps the platform's look and works.
// The library lives beside this program, so the case runs in a copy of the
// program made in a folder without it.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "ui/ChildDlg.h"
#include "ui/ChildDlgMasterOnOff.h"
#include "ui/MainEffectsDlg.h"

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

INT_PTR CALLBACK PlainDlgProc(HWND, UINT nMsg, WPARAM, LPARAM)
{
    return nMsg == WM_INITDIALOG;
}

SIZE TemplateSize(int nID)
{
    HWND h = CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nID), Host(), PlainDlgProc, 0);
    RECT rc = {};
    GetWindowRect(h, &rc);
    DestroyWindow(h);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

SIZE WindowSize(HWND h)
{
    RECT rc = {};
    GetWindowRect(h, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

using Skinned = UiTest;

TEST_F(Skinned, EachWindowIsSkinnedOnceWithItsControlsAndKeepsItsTemplateSize)
{
    if (!SkinLibraryFound())
        GTEST_SKIP() << "runs beside the skin library";
    Open();
    stest::TraceCapture trace;
    CMainEffectsDlg dlg(CWnd::FromHandle(Host()));
    ASSERT_TRUE(dlg.Create(IDD_MAINEFFECTS_DLG, CWnd::FromHandle(Host())));
    dlg.SetDeviceEndpoint(m_pSession.get());
    Click(dlg.m_hWnd, IDC_BTN_PAGE_EQ);

    // The library answers with the windows now wearing the skin: the dialog
    // and every control the template made.
    EXPECT_EQ(1, trace.Count(L"CMainEffectsDlg::OnInitDialog() m_hwHook.Skin returns"));
    const std::wstring expected = L"m_hwHook.Skin returns " + std::to_wstring(ChildOrder(dlg.m_hWnd).size() - 2 + 1);
    EXPECT_EQ(1, trace.Count(expected)) << "all controls but the two pages, and the window";
    EXPECT_NE(0, dlg.m_hwHook.m_hHook);
    EXPECT_NE(0, dlg.m_pChildDlgMasterOnOff->m_hwHook.m_hHook);
    EXPECT_NE(0, dlg.m_pChildDlg->m_hwHook.m_hHook);

    const SIZE main = WindowSize(dlg.m_hWnd), master = WindowSize(dlg.m_pChildDlgMasterOnOff->m_hWnd),
               page = WindowSize(dlg.m_pChildDlg->m_hWnd);
    const SIZE mainT = TemplateSize(IDD_MAINEFFECTS_DLG), masterT = TemplateSize(IDD_DLG_MASTER_ONOFF),
               pageT = TemplateSize(IDD_DLG_EQ);
    EXPECT_EQ(std::make_pair(mainT.cx, mainT.cy), std::make_pair(main.cx, main.cy));
    EXPECT_EQ(std::make_pair(masterT.cx, masterT.cy), std::make_pair(master.cx, master.cy));
    EXPECT_EQ(std::make_pair(pageT.cx, pageT.cy), std::make_pair(page.cx, page.cy));
    dlg.CloseMainEffectsDlg();
    dlg.DestroyWindow();
}

} // namespace
} // namespace uitest
