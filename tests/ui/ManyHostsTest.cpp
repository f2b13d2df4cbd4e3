// Three hosts and the peer on one endpoint, with a user at each: random
// clicks, drags and choices on every page and on the master switch, spread
// over them. After each, every host shows the same; at the end every page of
// every host shows what a fresh look at the driver shows, and the last thing
// a user set on each control is still there. KV_SOAK=1 makes 1000 actions;
// KV_SEED=N replays a run.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "ui/ChildDlgEQ.h"
#include "ui/ChildDlgEnhancement.h"
#include "ui/ChildDlgQfx.h"
#include "ui/ChildDlgRVX.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <sstream>

namespace uitest {
namespace {

struct HostPage {
    const wchar_t* pszName;
    int nButton;  // the main window's button that shows it
    std::vector<int> ids;
};

std::vector<int> Range(int nFirst, int nLast, std::vector<int> ids = {})
{
    for (int n = nFirst; n <= nLast; ++n)
        ids.push_back(n);
    return ids;
}

// What a user can set on each page.
const std::vector<HostPage>& HostPages()
{
    static const std::vector<HostPage> pages = {
        {L"surround", IDC_BTN_PAGE_QFX,
         {IDC_CHK_DETAIL_RESTORE, IDC_SLD_DETAIL_RESTORE, IDC_CHK_VSUR, IDC_SLD_STEREO_ENV, IDC_CMB_SURROUND_MODE,
          IDC_CHK_SPK_CONFIG}},
        {L"enhancement", IDC_BTN_PAGE_ENHANCEMENT,
         {IDC_CHK_BASS_BOOST, IDC_SLD_BASS_BOOST_LEVEL, IDC_SLD_BASS_BOOST_FREQ, IDC_CHK_BASS_MANAGEMENT,
          IDC_SLD_CROSSOVER, IDC_CHK_SUBWOOFER_GAIN, IDC_SLD_SPEAKER_LEVEL, IDC_CHK_VOLUME_LEVELING}},
        {L"reverb", IDC_BTN_PAGE_RVX,
         Range(IDC_RAD_RVX_NO_PRESET, IDC_RAD_RVX_PRESET_7, {IDC_CHK_RVX_ENVIRONMENT, IDC_SLD_RVX_ENVIRONMENT})},
        {L"equalizer", IDC_BTN_PAGE_EQ,
         Range(IDC_SLD_EQ_BAND_0, IDC_SLD_EQ_BAND_9, {IDC_CHK_EQ_ENABLE, IDC_CMB_EQ_PRESET, IDC_SLD_EQ_PREAMP})},
    };
    return pages;
}

// Controls whose value another control's change may legitimately move: a
// preset sets the levels, a level makes the preset a custom one.
std::vector<int> MovedBy(int nID)
{
    const std::vector<int> levels = Range(IDC_SLD_EQ_BAND_0, IDC_SLD_EQ_BAND_9, {IDC_SLD_EQ_PREAMP});
    const std::vector<int> reverbPresets = Range(IDC_RAD_RVX_NO_PRESET, IDC_RAD_RVX_PRESET_7);
    if (nID == IDC_CMB_EQ_PRESET)
        return levels;
    if (std::count(levels.begin(), levels.end(), nID))
        return {IDC_CMB_EQ_PRESET};
    if (std::count(reverbPresets.begin(), reverbPresets.end(), nID))
        return Range(IDC_RAD_RVX_NO_PRESET, IDC_RAD_RVX_PRESET_7, {IDC_SLD_RVX_ENVIRONMENT});
    if (nID == IDC_SLD_RVX_ENVIRONMENT)
        return reverbPresets;
    return {};
}

// Another process's windows are asked with a time limit: a host that hangs
// fails the test instead of stopping it.
LRESULT Ask(HWND h, UINT nMsg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(h, nMsg, wParam, lParam, SMTO_NORMAL, 10000, &r))
        ADD_FAILURE() << "window " << h << " did not answer message " << nMsg;
    return static_cast<LRESULT>(r);
}

struct Shown {
    std::wstring value;
    bool bVisible = false, bEnabled = false;
    bool operator==(const Shown&) const = default;
};
using PageView = std::map<int, Shown>;

std::wstring ValueOf(HWND h)
{
    if (HasClass(h, TRACKBAR_CLASSW))
        return L"pos " + std::to_wstring(Ask(h, TBM_GETPOS));
    if (HasClass(h, WC_COMBOBOXW)) {
        wchar_t sz[128] = L"";
        Ask(h, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(sz));
        return L"item " + std::to_wstring(Ask(h, CB_GETCURSEL)) + L" \"" + sz + L"\"";
    }
    return Ask(h, BM_GETCHECK) == BST_CHECKED ? L"checked" : L"clear";
}

// Style bits, not IsWindowVisible: a page made for reference has no skinned
// window around it.
Shown ShownBy(HWND h)
{
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    return {ValueOf(h), (style & WS_VISIBLE) != 0, (style & WS_DISABLED) == 0};
}

// Every control under a window by id (the master switch's appear twice in a
// host: its panel and the effects window's own).
std::multimap<int, HWND> ControlsUnder(HWND hRoot)
{
    std::multimap<int, HWND> controls;
    EnumChildWindows(hRoot, [](HWND h, LPARAM lp) -> BOOL {
        reinterpret_cast<std::multimap<int, HWND>*>(lp)->emplace(GetDlgCtrlID(h), h);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&controls));
    return controls;
}

// The page a window shows, or -1, and what it shows there.
int ShownPage(const std::multimap<int, HWND>& controls, PageView* pView)
{
    for (size_t i = 0; i < HostPages().size(); ++i) {
        const HostPage& page = HostPages()[i];
        if (!controls.count(page.ids.front()))
            continue;
        pView->clear();
        for (int nID : page.ids)
            if (auto it = controls.find(nID); it != controls.end())
                (*pView)[nID] = ShownBy(it->second);
        return static_cast<int>(i);
    }
    return -1;
}

std::wstring Describe(int nID, const Shown& s)
{
    return std::to_wstring(nID) + L" " + s.value + (s.bVisible ? L"" : L" hidden") + (s.bEnabled ? L"" : L" disabled");
}

class HostProcess
{
public:
    explicit HostProcess(int nIndex) : m_nIndex(nIndex)
    {
        // Both windows, as the control panel opens them; the host stays until closed.
        m_hProcess = kvtest::StartProgram(L"KVHost.exe", L"--open 1 --open 0");
        EXPECT_NE(nullptr, m_hProcess);
    }
    ~HostProcess()
    {
        if (!m_hProcess)
            return;
        if (m_hWnd)
            PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(m_hProcess, 15000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "host " << m_nIndex << " did not close";
            TerminateProcess(m_hProcess, 9);
        }
        CloseHandle(m_hProcess);
    }
    // Its window, once the effects window and the master panel are in it.
    bool Ready()
    {
        if (!m_hWnd) {
            struct Find { DWORD pid; HWND h; } find{GetProcessId(m_hProcess), nullptr};
            EnumWindows([](HWND h, LPARAM lp) -> BOOL {
                auto* f = reinterpret_cast<Find*>(lp);
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                if (pid != f->pid || !HasClass(h, L"KVHostWindow"))
                    return TRUE;
                f->h = h;
                return FALSE;
            }, reinterpret_cast<LPARAM>(&find));
            m_hWnd = find.h;
        }
        if (!m_hWnd)
            return false;
        const auto controls = Controls();
        PageView view;
        return controls.count(IDC_BTN_MASTER_ON) == 2 && ShownPage(controls, &view) >= 0;
    }
    int Index() const { return m_nIndex; }
    std::multimap<int, HWND> Controls() const { return ControlsUnder(m_hWnd); }
    // What every master switch in this host shows: 1 on, 0 off, -1 the two disagree.
    int Master() const
    {
        int nShown = -2;
        const auto controls = Controls();
        for (auto [it, end] = controls.equal_range(IDC_BTN_MASTER_ON); it != end; ++it) {
            const int n = Ask(it->second, BM_GETCHECK) == BST_CHECKED ? 1 : 0;
            nShown = nShown == -2 ? n : (nShown == n ? n : -1);
        }
        return nShown;
    }
    int Page(PageView* pView) const { return ShownPage(Controls(), pView); }
    HWND Find(int nID, bool bUsable) const
    {
        const auto controls = Controls();
        for (auto [it, end] = controls.equal_range(nID); it != end; ++it)
            if (!bUsable || (IsWindowVisible(it->second) && IsWindowEnabled(it->second)))
                return it->second;
        return nullptr;
    }

private:
    int m_nIndex;
    HANDLE m_hProcess = nullptr;
    HWND m_hWnd = nullptr;
};

// What the users have set: the master, and the last value of each control
// (by page and id) that nothing set since may have moved.
struct Model {
    bool bMasterOn = true;
    std::map<std::pair<int, int>, std::wstring> values;
};

class ManyHosts : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        LoadBuiltIn();
        m_peerLog = kvtest::ExeDirectory() + L"manyhosts-peer.log";
        DeleteFileW(m_peerLog.c_str());
        HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, L"KVManyHosts.peer");
        m_hPeer = kvtest::StartProgram(L"KVPeer.exe", L"--serve --relay --ready-event KVManyHosts.peer --log \"" +
                                                          m_peerLog + L"\"");
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hReady, 15000)) << "the peer never served";
        CloseHandle(hReady);
        for (int i = 0; i < 3; ++i)
            m_hosts.push_back(std::make_unique<HostProcess>(i));
        const bool bReady = stest::PumpUntil([&] {
            return std::all_of(m_hosts.begin(), m_hosts.end(), [](auto& h) { return h->Ready(); });
        }, 60000);
        ASSERT_TRUE(bReady) << "the hosts did not open their windows";
    }
    void TearDown() override
    {
        m_hosts.clear();
        if (m_hPeer) {
            kvtest::RunProgram(L"KVPeer.exe", L"--stop");
            WaitForSingleObject(m_hPeer, 5000);
            CloseHandle(m_hPeer);
        }
        DeleteFileW(m_peerLog.c_str());
        UiTest::TearDown();
    }

    // Where a host differs from the users' model or from another host on the
    // same page; empty when all are in step.
    std::wstring OutOfStep() const
    {
        std::wstringstream out;
        std::map<int, std::pair<int, PageView>> byPage;  // page -> first host showing it
        for (const auto& host : m_hosts) {
            if (const int nMaster = host->Master(); nMaster != (m_model.bMasterOn ? 1 : 0))
                out << L"host " << host->Index() << L" shows the master " << nMaster << L"; ";
            PageView view;
            const int nPage = host->Page(&view);
            if (nPage < 0) {
                out << L"host " << host->Index() << L" shows no page; ";
                continue;
            }
            for (const auto& [nID, shown] : view)
                if (auto it = m_model.values.find({nPage, nID}); it != m_model.values.end() && it->second != shown.value)
                    out << L"host " << host->Index() << L" shows " << Describe(nID, shown) << L", set: " << it->second
                        << L"; ";
            auto [first, bNew] = byPage.try_emplace(nPage, host->Index(), view);
            if (!bNew)
                for (const auto& [nID, shown] : view)
                    if (first->second.second[nID] != shown)
                        out << L"hosts " << first->second.first << L" and " << host->Index() << L" differ: "
                            << Describe(nID, first->second.second[nID]) << L" against " << Describe(nID, shown)
                            << L"; ";
        }
        return out.str();
    }

    // Waits until every host is in step; the time it took, or -1.
    long Settle()
    {
        const ULONGLONG t0 = GetTickCount64();
        std::wstring why;
        for (;;) {
            why = OutOfStep();
            if (why.empty())
                return static_cast<long>(GetTickCount64() - t0);
            if (GetTickCount64() - t0 > 5000)
                break;
            stest::PumpFor(5);
        }
        ADD_FAILURE() << "after action " << m_nActions << " (" << kvtest::Narrow(m_lastAction)
                      << "), not in step after 5 s: " << kvtest::Narrow(why);
        return -1;
    }

    // One thing a user does at host h: the master, another page, or one of
    // the usable controls of the page shown.
    void Act(HostProcess& host, std::mt19937& rng, bool bMasterToo)
    {
        PageView view;
        const int nPage = host.Page(&view);
        std::vector<int> usable;
        for (int nID : HostPages()[nPage].ids)
            if (host.Find(nID, true))
                usable.push_back(nID);
        const int nDie = std::uniform_int_distribution<int>(0, 99)(rng);
        std::wstringstream what;
        what << L"host " << host.Index() << L" " << HostPages()[nPage].pszName << L": ";
        if (nDie < 8 && bMasterToo) {
            HWND h = host.Find(std::uniform_int_distribution<int>(0, 1)(rng) ? IDC_BTN_MASTER_ON : IDC_BTN_MASTER_OFF,
                               true);
            if (!h)
                h = host.Find(IDC_BTN_MASTER_ON, true);
            ASSERT_NE(nullptr, h) << "no usable master switch in host " << host.Index();
            what << L"master " << (m_model.bMasterOn ? L"off" : L"on");
            m_lastAction = what.str();
            Ask(h, BM_CLICK);
            m_model.bMasterOn = !m_model.bMasterOn;
            return;
        }
        if (nDie < 20 || usable.empty()) {
            int nNext = std::uniform_int_distribution<int>(0, static_cast<int>(HostPages().size()) - 2)(rng);
            nNext += nNext >= nPage ? 1 : 0;
            what << L"page " << HostPages()[nNext].pszName;
            m_lastAction = what.str();
            HWND h = host.Find(HostPages()[nNext].nButton, true);
            ASSERT_NE(nullptr, h);
            Ask(h, BM_CLICK);
            return;
        }
        const int nID = usable[std::uniform_int_distribution<size_t>(0, usable.size() - 1)(rng)];
        HWND h = host.Find(nID, true);
        HWND hPage = GetParent(h);
        std::wstring set;  // what a click sets; a slider or a list is read back
        if (HasClass(h, TRACKBAR_CLASSW)) {
            const int nMin = static_cast<int>(Ask(h, TBM_GETRANGEMIN)), nMax = static_cast<int>(Ask(h, TBM_GETRANGEMAX));
            const int nPos = std::uniform_int_distribution<int>(nMin, std::max(nMin, nMax))(rng);
            what << L"drag " << nID << L" to " << nPos;
            m_lastAction = what.str();
            const UINT nMsg = (GetWindowLongW(h, GWL_STYLE) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
            Ask(h, TBM_SETPOS, TRUE, nPos);
            Ask(hPage, nMsg, MAKEWPARAM(TB_THUMBTRACK, nPos), reinterpret_cast<LPARAM>(h));
            Ask(hPage, nMsg, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(h));
        } else if (HasClass(h, WC_COMBOBOXW)) {
            const int nCount = static_cast<int>(Ask(h, CB_GETCOUNT));
            if (nCount <= 0)
                return;
            const int nItem = std::uniform_int_distribution<int>(0, nCount - 1)(rng);
            what << L"choose item " << nItem << L" of " << nID;
            m_lastAction = what.str();
            Ask(h, CB_SETCURSEL, nItem);
            Ask(hPage, WM_COMMAND, MAKEWPARAM(nID, CBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
        } else {
            what << L"click " << nID;
            m_lastAction = what.str();
            // A click chooses a radio button and turns a check box over,
            // though the page may show it only once the driver has answered.
            const LONG type = GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK;
            const bool bRadio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
            set = bRadio || ValueOf(h) == L"clear" ? L"checked" : L"clear";
            Ask(h, BM_CLICK);
        }
        for (int nMoved : MovedBy(nID))
            m_model.values.erase({nPage, nMoved});
        // A slider or a list shows at once what the user set on it.
        m_model.values[{nPage, nID}] = set.empty() ? ValueOf(h) : set;
    }

    // The peer's user switches the master from the maker's other program.
    void PeerSwitches()
    {
        m_model.bMasterOn = !m_model.bMasterOn;
        m_lastAction = std::wstring(L"the peer switches the master ") + (m_model.bMasterOn ? L"on" : L"off");
        EXPECT_EQ(0, kvtest::RunProgram(L"KVPeer.exe", m_model.bMasterOn ? L"--switch on" : L"--switch off"));
    }

    template <class TPage>
    PageView FreshLook(UINT nTemplate)
    {
        auto page = std::make_unique<TPage>();
        EXPECT_TRUE(page->Create(nTemplate, CWnd::FromHandle(uitest::Host())));
        page->SetDeviceEndpoint(m_pSession.get());
        Pump();
        PageView view;
        ShownPage(ControlsUnder(page->m_hWnd), &view);
        Discard(page);
        return view;
    }

    std::wstring m_peerLog;
    HANDLE m_hPeer = nullptr;
    std::vector<std::unique_ptr<HostProcess>> m_hosts;
    Model m_model;
    int m_nActions = 0;
    std::wstring m_lastAction;
};

TEST_F(ManyHosts, EveryHostEndsShowingWhatTheDriverHoldsAndNothingIsLost)
{
    const int nActions = SoakRun() ? 1000 : 120;
    wchar_t szSeed[32] = L"";
    const unsigned nSeed = GetEnvironmentVariableW(L"KV_SEED", szSeed, 32) ? wcstoul(szSeed, nullptr, 10)
                                                                            : static_cast<unsigned>(GetTickCount64());
    SCOPED_TRACE("KV_SEED=" + std::to_string(nSeed));
    std::mt19937 rng(nSeed);

    ASSERT_EQ(L"", OutOfStep());
    long nWorstMs = 0, nTotalMs = 0;
    int nByPeer = 0, nInBursts = 0, nBurstLeft = 0, nSettles = 0;
    for (m_nActions = 1; m_nActions <= nActions; ++m_nActions) {
        // Now and then users at several hosts act at once, each on what
        // their window showed a moment ago; the master switch waits for them.
        if (nBurstLeft == 0 && std::uniform_int_distribution<int>(0, 99)(rng) < 10)
            nBurstLeft = std::uniform_int_distribution<int>(2, 4)(rng);
        const bool bInBurst = nBurstLeft > 0;
        // The peer's user now and then; a host's user otherwise.
        if (!bInBurst && std::uniform_int_distribution<int>(0, 99)(rng) < 3) {
            PeerSwitches();
            ++nByPeer;
        } else {
            Act(*m_hosts[std::uniform_int_distribution<size_t>(0, m_hosts.size() - 1)(rng)], rng, !bInBurst);
        }
        if (bInBurst) {
            ++nInBursts;
            if (--nBurstLeft > 0)
                continue;
        }
        const long nMs = Settle();
        ASSERT_GE(nMs, 0);
        nWorstMs = std::max(nWorstMs, nMs);
        nTotalMs += nMs;
        ++nSettles;
    }

    // The effects as the users left them: with the master off, the pages
    // show only what is remembered.
    if (!m_model.bMasterOn) {
        m_lastAction = L"host 0: master on, to look at the effects";
        Ask(m_hosts[0]->Find(IDC_BTN_MASTER_ON, true), BM_CLICK);
        m_model.bMasterOn = true;
        ASSERT_GE(Settle(), 0);
    }

    // A fresh look at the driver: each page made anew in this process.
    Open();
    EXPECT_EQ(1u, StoreValue(BoundId(), PKEY_KV_MasterOnOff));
    const std::vector<PageView> fresh = {FreshLook<CChildDlgQfx>(IDD_DLG_QFX),
                                         FreshLook<CChildDlgEnhancement>(IDD_DLG_ENHANCEMENT),
                                         FreshLook<CChildDlgRVX>(IDD_DLG_RVX), FreshLook<CChildDlgEQ>(IDD_DLG_EQ)};

    int nLost = 0;
    for (const auto& [key, value] : m_model.values)
        if (fresh[key.first].at(key.second).value != value) {
            ++nLost;
            ADD_FAILURE() << "lost: " << kvtest::Narrow(HostPages()[key.first].pszName) << " "
                          << kvtest::Narrow(Describe(key.second, fresh[key.first].at(key.second))) << ", set: "
                          << kvtest::Narrow(value);
        }
    int nDiffer = 0;
    for (const auto& host : m_hosts)
        for (size_t i = 0; i < HostPages().size(); ++i) {
            // The button of the page shown may be out of use.
            if (HWND hButton = host->Find(HostPages()[i].nButton, true))
                Ask(hButton, BM_CLICK);
            PageView view;
            stest::PumpUntil([&] { return host->Page(&view) == static_cast<int>(i) && view == fresh[i]; }, 3000);
            for (const auto& [nID, shown] : fresh[i])
                if (view[nID] != shown) {
                    ++nDiffer;
                    ADD_FAILURE() << "host " << host->Index() << " " << kvtest::Narrow(HostPages()[i].pszName) << " shows "
                                  << kvtest::Narrow(Describe(nID, view[nID])) << ", the driver holds "
                                  << kvtest::Narrow(Describe(nID, shown));
                }
        }
    std::printf("three hosts and the peer: %d user actions (%d by the peer's user, %d at once with others), every host "
                "in step %.1f ms after an action on average, %ld ms at worst; at the end %zu controls as last set, %d "
                "lost, %d shown otherwise than the driver holds\n",
                nActions, nByPeer, nInBursts, static_cast<double>(nTotalMs) / std::max(1, nSettles), nWorstMs,
                m_model.values.size(), nLost, nDiffer);
}

} // namespace
} // namespace uitest
