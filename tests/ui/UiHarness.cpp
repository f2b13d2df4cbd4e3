#include "UiHarness.h"

#include <algorithm>

namespace uitest {

namespace {

CKVEffectApp* g_pApp = nullptr;
HWND g_hHost = nullptr;

LRESULT CALLBACK HostProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hWnd, nMsg, wParam, lParam);
}

} // namespace

CKVEffectApp& App()
{
    if (!g_pApp) {
        g_pApp = new CKVEffectApp;
        g_pApp->InitInstance();
    }
    return *g_pApp;
}

HWND Host()
{
    if (!g_hHost) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"UiTestHost";
        RegisterClassW(&wc);
        // Control-parent, so Tab walks into the plug-in's windows as in the host.
        g_hHost = CreateWindowExW(WS_EX_CONTROLPARENT, L"UiTestHost", L"ui_test", WS_OVERLAPPEDWINDOW, 0, 0, 900, 700,
                                  nullptr, nullptr, wc.hInstance, nullptr);
        ShowWindow(g_hHost, SW_SHOW);
        SetForegroundWindow(g_hHost);
        Pump();
    }
    return g_hHost;
}

HWND Item(HWND hDlg, int nID)
{
    return GetDlgItem(hDlg, nID);
}

bool Visible(HWND hWnd)
{
    return hWnd && (GetWindowLongW(hWnd, GWL_STYLE) & WS_VISIBLE);
}

bool Visible(HWND hDlg, int nID)
{
    return Visible(Item(hDlg, nID));
}

bool Enabled(HWND hDlg, int nID)
{
    HWND h = Item(hDlg, nID);
    return h && IsWindowEnabled(h);
}

int Checked(HWND hDlg, int nID)
{
    return static_cast<int>(SendMessageW(Item(hDlg, nID), BM_GETCHECK, 0, 0));
}

std::wstring Text(HWND hWnd)
{
    wchar_t sz[512] = L"";
    GetWindowTextW(hWnd, sz, 512);
    return sz;
}

std::wstring Text(HWND hDlg, int nID)
{
    return Text(Item(hDlg, nID));
}

bool IsBold(HWND hWnd)
{
    LOGFONTW lf = {};
    HFONT hFont = reinterpret_cast<HFONT>(SendMessageW(hWnd, WM_GETFONT, 0, 0));
    return hFont && GetObjectW(hFont, sizeof(lf), &lf) && lf.lfWeight >= FW_BOLD;
}

void Pump(DWORD dwMaxMs)
{
    kvtest::PumpUntilIdle(dwMaxMs);
}

void Click(HWND hDlg, int nID)
{
    SendMessageW(Item(hDlg, nID), BM_CLICK, 0, 0);
    Pump();
}

void Key(HWND hWnd, UINT vk)
{
    // As the host's loop does: the dialog manager gets the first look.
    MSG msg = {hWnd, WM_KEYDOWN, vk, 1};
    HWND hRoot = GetAncestor(hWnd, GA_ROOT);
    if (!IsDialogMessageW(hRoot, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    msg.message = WM_KEYUP;
    msg.lParam = static_cast<LPARAM>(0xC0000001);
    if (!IsDialogMessageW(hRoot, &msg))
        DispatchMessageW(&msg);
    Pump();
}

std::vector<HWND> ThreadDialogs()
{
    std::vector<HWND> out;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM l) -> BOOL {
            wchar_t sz[16] = L"";
            GetClassNameW(h, sz, 16);
            if (wcscmp(sz, L"#32770") == 0 && IsWindowVisible(h))
                reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

namespace {
ModalAnswer* g_pAnswer = nullptr;
}

ModalAnswer::ModalAnswer(std::function<void(HWND)> fn) : m_fn(std::move(fn))
{
    g_pAnswer = this;
    m_nTimer = SetTimer(nullptr, 0, 50, Tick);
}

ModalAnswer::~ModalAnswer()
{
    KillTimer(nullptr, m_nTimer);
    g_pAnswer = nullptr;
}

void CALLBACK ModalAnswer::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_pAnswer)
        return;
    std::vector<HWND> dialogs = ThreadDialogs();
    if (dialogs.empty())
        return;
    ++g_pAnswer->m_nSeen;
    g_pAnswer->m_fn(dialogs.front());
}

std::vector<int> TabOrder(HWND hDlg)
{
    std::vector<int> ids;
    HWND hFirst = GetNextDlgTabItem(hDlg, nullptr, FALSE);
    for (HWND h = hFirst; h && ids.size() < 200;) {
        ids.push_back(GetDlgCtrlID(h));
        h = GetNextDlgTabItem(hDlg, h, FALSE);
        if (h == hFirst)
            break;
    }
    return ids;
}

std::vector<int> ChildOrder(HWND hDlg)
{
    std::vector<int> ids;
    for (HWND h = GetWindow(hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        ids.push_back(GetDlgCtrlID(h));
    return ids;
}

void UiTest::SetUp()
{
    App();
    stest::SessionTest::SetUp();
}

void UiTest::TearDown()
{
    // A test that failed half-way must not leave a pop-up for the next one.
    for (HWND h : ThreadDialogs())
        EndDialog(h, IDCANCEL);
    Pump();
    stest::SessionTest::TearDown();
}

// Another program, as far as the plug-in can tell.
void DragSlider(HWND hDlg, int nID, int nPos)
{
    HWND h = Item(hDlg, nID);
    const UINT nMsg = (GetWindowLongW(h, GWL_STYLE) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    SendMessageW(h, TBM_SETPOS, TRUE, nPos);
    SendMessageW(hDlg, nMsg, MAKEWPARAM(TB_THUMBTRACK, nPos), reinterpret_cast<LPARAM>(h));
    SendMessageW(hDlg, nMsg, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(h));
    Pump();
}

std::wstring TooltipText(HWND hDlg, int nID)
{
    NMTTDISPINFOW tt = {};
    tt.hdr.code = TTN_NEEDTEXTW;
    tt.hdr.idFrom = nID;
    SendMessageW(hDlg, WM_NOTIFY, nID, reinterpret_cast<LPARAM>(&tt));
    return tt.szText;
}

bool HasClass(HWND hWnd, const wchar_t* pszClass)
{
    wchar_t sz[64] = L"";
    GetClassNameW(hWnd, sz, 64);
    return _wcsicmp(sz, pszClass) == 0;
}

bool SoakRun()
{
    wchar_t sz[8] = {};
    return GetEnvironmentVariableW(L"KV_SOAK", sz, 8) && sz[0] == L'1';
}

LRESULT TicsAt(int nMin, int nMax, int nFreq)
{
    HWND h = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_CHILD | TBS_AUTOTICKS, 0, 0, 100, 20, Host(), nullptr,
                             nullptr, nullptr);
    SendMessageW(h, TBM_SETRANGEMIN, FALSE, nMin);
    SendMessageW(h, TBM_SETRANGEMAX, FALSE, nMax);
    SendMessageW(h, TBM_SETTICFREQ, nFreq, 0);
    const LRESULT n = SendMessageW(h, TBM_GETNUMTICS, 0, 0);
    DestroyWindow(h);
    return n;
}

int SliderPos(HWND hDlg, int nID)
{
    return static_cast<int>(SendMessageW(Item(hDlg, nID), TBM_GETPOS, 0, 0));
}

void RunTool(const wchar_t* pszExe, const std::wstring& args, DWORD dwMaxMs)
{
    wchar_t szExe[MAX_PATH];
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    std::wstring dir(szExe);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    std::wstring cmd = L"\"" + dir + pszExe + L"\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, dir.c_str(),
                               &si, &pi));
    // Our own windows keep answering while the other process works.
    const ULONGLONG end = GetTickCount64() + dwMaxMs;
    for (ULONGLONG now; (now = GetTickCount64()) < end &&
                        MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, DWORD(end - now), QS_ALLINPUT) ==
                            WAIT_OBJECT_0 + 1;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DWORD dwExit = 1;
    GetExitCodeProcess(pi.hProcess, &dwExit);
    if (dwExit == STILL_ACTIVE)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(0u, dwExit) << kvtest::Narrow(pszExe) << " " << kvtest::Narrow(args);
}

void RunKvsim(const std::wstring& args)
{
    RunTool(L"kvsim.exe", args, 10000);
}

} // namespace uitest
