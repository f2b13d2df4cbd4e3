// Two host processes on one endpoint, each through the plug-in's exports, with
// the maker's background process relaying switches between them: the main
// window here, the compact panel in a child process of this program.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "device/AudioPropStoreWrapper.h"

namespace uitest {

namespace {

using PFNINIT = HWND(WINAPI*)(HWND, int, const RECT*, int);
using PFNUNINIT = void(WINAPI*)(HWND);

HANDLE Event(const std::wstring& name)
{
    return CreateEventW(nullptr, TRUE, FALSE, (L"Local\\" + name).c_str());
}

// The master switch page inside a window: the child dialog with control 1022.
HWND FindMasterPage(HWND hWnd)
{
    if (GetDlgItem(hWnd, IDC_BTN_MASTER_OFF))
        return hWnd;
    HWND hFound = nullptr;
    EnumChildWindows(
        hWnd,
        [](HWND h, LPARAM l) -> BOOL {
            if (!GetDlgItem(h, IDC_BTN_MASTER_OFF))
                return TRUE;
            *reinterpret_cast<HWND*>(l) = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&hFound));
    return hFound;
}

// "on", "off", or "" while the toggle is hidden.
std::string ToggleState(HWND hPage)
{
    if (!Visible(hPage, IDC_BTN_MASTER_ON))
        return "";
    if (Checked(hPage, IDC_BTN_MASTER_ON) == BST_CHECKED)
        return "on";
    return Checked(hPage, IDC_BTN_MASTER_OFF) == BST_CHECKED ? "off" : "";
}

} // namespace

// The child: a host of its own with the compact panel. It clicks its toggle
// on "<prefix>.click", shows its state as "<prefix>.on"/"<prefix>.off", and
// ends on "<prefix>.quit".
int RunPanelChild(const wchar_t* pszPrefix)
{
    const std::wstring prefix = pszPrefix;
    HANDLE hClick = CreateEventW(nullptr, FALSE, FALSE, (L"Local\\" + prefix + L".click").c_str());
    HANDLE hQuit = Event(prefix + L".quit"), hOn = Event(prefix + L".on"), hOff = Event(prefix + L".off");
    HMODULE hDll = LoadLibraryW(L"KVEffect.dll");
    auto pfnInit = reinterpret_cast<PFNINIT>(GetProcAddress(hDll, "InitPlugin"));
    auto pfnUninit = reinterpret_cast<PFNUNINIT>(GetProcAddress(hDll, "UninitPlugin"));
    if (!pfnInit || !pfnUninit)
        return 2;
    HWND hHost = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"panel host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                 0, 400, 120, nullptr, nullptr, nullptr, nullptr);
    RECT rc = {8, 10, 400, 60};
    HWND hPanel = pfnInit(hHost, 0, &rc, 0);
    if (!hPanel)
        return 3;
    HANDLE waits[2] = {hClick, hQuit};
    for (;;) {
        const DWORD w = MsgWaitForMultipleObjects(2, waits, FALSE, 20, QS_ALLINPUT);
        if (w == WAIT_OBJECT_0 + 1)
            break;
        if (w == WAIT_OBJECT_0)
            SendMessageW(GetDlgItem(hPanel, IDC_BTN_MASTER_ON), BM_CLICK, 0, 0);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const std::string state = ToggleState(hPanel);
        (state == "on" ? SetEvent : ResetEvent)(hOn);
        (state == "off" ? SetEvent : ResetEvent)(hOff);
    }
    pfnUninit(hPanel);
    FreeLibrary(hDll);
    return 0;
}

namespace {

class EndToEnd : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        m_prefix = L"ui_test." + std::to_wstring(GetCurrentProcessId());
        m_dir = kvtest::NewTempDirectory();
        HANDLE hPeerReady = Event(m_prefix + L".peer");
        m_hPeer = kvtest::StartProgram(L"KVPeer.exe", L"--serve --relay --ready-event " + m_prefix +
                                                          L".peer --log \"" + m_dir + L"peer.log\"");
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hPeerReady, 10000));
        CloseHandle(hPeerReady);
        m_hClick = CreateEventW(nullptr, FALSE, FALSE, (L"Local\\" + m_prefix + L".click").c_str());
        m_hQuit = Event(m_prefix + L".quit");
        m_hOn = Event(m_prefix + L".on");
        m_hOff = Event(m_prefix + L".off");
        m_hDll = LoadLibraryW(L"KVEffect.dll");
        ASSERT_NE(nullptr, m_hDll);
        m_pfnInit = reinterpret_cast<PFNINIT>(GetProcAddress(m_hDll, "InitPlugin"));
        m_pfnUninit = reinterpret_cast<PFNUNINIT>(GetProcAddress(m_hDll, "UninitPlugin"));
    }
    void TearDown() override
    {
        if (m_hWnd)
            m_pfnUninit(m_hWnd);
        SetEvent(m_hQuit);
        if (m_hChild) {
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hChild, 10000));
            CloseHandle(m_hChild);
        }
        FreeLibrary(m_hDll);
        kvtest::RunProgram(L"KVPeer.exe", L"--stop");
        if (m_hPeer) {
            WaitForSingleObject(m_hPeer, 5000);
            CloseHandle(m_hPeer);
        }
        for (HANDLE h : {m_hClick, m_hQuit, m_hOn, m_hOff})
            CloseHandle(h);
        kvtest::RemoveTree(m_dir);
        UiTest::TearDown();
    }
    void StartPanel() { m_hChild = kvtest::StartProgram(kvtest::ExeFileName(), L"--panel-child " + m_prefix); }
    bool PanelShows(bool bOn, DWORD dwMs = 8000)
    {
        return stest::PumpUntil([&] { return WaitForSingleObject(bOn ? m_hOn : m_hOff, 0) == WAIT_OBJECT_0; }, dwMs);
    }
    bool MainShows(const char* pszState, DWORD dwMs = 8000)
    {
        return stest::PumpUntil([&] { return ToggleState(FindMasterPage(m_hWnd)) == pszState; }, dwMs);
    }
    void OtherSuite(DWORD dwTechnology, const wchar_t* pszName)
    {
        HKEY h;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, stest::kCoexistKey, 0, nullptr, 0,
                                                 KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &h, nullptr));
        RegSetValueExW(h, L"TechnologyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(pszName),
                       static_cast<DWORD>((wcslen(pszName) + 1) * sizeof(wchar_t)));
        RegSetValueExW(h, L"Technology", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwTechnology), 4);
        RegCloseKey(h);
    }

    std::wstring m_prefix, m_dir;
    HANDLE m_hPeer = nullptr, m_hChild = nullptr, m_hClick = nullptr, m_hQuit = nullptr, m_hOn = nullptr,
           m_hOff = nullptr;
    HMODULE m_hDll = nullptr;
    PFNINIT m_pfnInit = nullptr;
    PFNUNINIT m_pfnUninit = nullptr;
    HWND m_hWnd = nullptr;
};

TEST_F(EndToEnd, ThePanelsClickSwitchesTheDriverAndTheOtherWindowFollows)
{
    kvtest::ScopedRegValue popUp(stest::kCoexistKey, L"DisablePopUp", std::optional<DWORD>(0));
    RECT rc = {8, 80, 700, 600};
    m_hWnd = m_pfnInit(Host(), 1, &rc, 0);
    ASSERT_NE(nullptr, m_hWnd);
    ASSERT_TRUE(MainShows("on"));
    StartPanel();
    ASSERT_TRUE(PanelShows(true)) << "the panel came up switched on";

    SetEvent(m_hClick);
    ASSERT_TRUE(PanelShows(false));
    EXPECT_TRUE(MainShows("off")) << "the main window followed the other process";
    EXPECT_EQ(L"0", Get(L"speakers", L"bassboost.enabled"));
    EXPECT_EQ(L"0", Get(L"speakers", L"eq.enabled"));
    EXPECT_EQ(0u, StoreValue(stest::EndpointId(1), PKEY_KV_MasterOnOff));
    EXPECT_EQ(0x0Au, StoreValue(stest::EndpointId(1), PKEY_KV_EffectInfo));

    // Back on from the main window; the panel follows.
    Click(FindMasterPage(m_hWnd), IDC_BTN_MASTER_ON);
    EXPECT_TRUE(MainShows("on"));
    EXPECT_TRUE(PanelShows(true));
    EXPECT_EQ(L"1", Get(L"speakers", L"eq.enabled"));

    // Another suite claims the device: both switch off.
    OtherSuite(1, L"Other Suite");
    EXPECT_TRUE(MainShows("off"));
    EXPECT_TRUE(PanelShows(false));

    // The maker takes it back from the main window: the pop-up comes once.
    std::wstring text;
    ModalAnswer answer([&](HWND h) {
        text = Text(h, IDC_STC_MSGBOX_TEXT);
        SendMessageW(Item(h, IDOK), BM_CLICK, 0, 0);
    });
    Click(FindMasterPage(m_hWnd), IDC_BTN_MASTER_OFF);
    EXPECT_TRUE(MainShows("on"));
    EXPECT_TRUE(PanelShows(true));
    stest::PumpFor(1500);
    EXPECT_EQ(1, answer.Seen());
    EXPECT_NE(std::wstring::npos, text.find(L"Other Suite")) << kvtest::Narrow(text);
}

} // namespace
} // namespace uitest
