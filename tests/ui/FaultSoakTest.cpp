// Every driver call the pages can make, failed in turn while each page is
// made, bound and worked: nothing crashes or hangs, and once the fault is
// gone each page binds back to exactly what it showed before. KV_SOAK=1
// fails every call; the suite fails one in fifty.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "SimState.h"
#include "device/KVDeviceEndpoint.h"
#include "ui/ChildDlgEQ.h"
#include "ui/ChildDlgEnhancement.h"
#include "ui/ChildDlgQfx.h"
#include "ui/ChildDlgRVX.h"

#include <commctrl.h>

#include <cstdio>
#include <functional>

namespace uitest {
namespace {

// What a user sees of one control.
struct Seen {
    int nID;
    bool bVisible, bEnabled;
    LRESULT nState;  // check, position or selection
    std::wstring text;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> Look(HWND hPage)
{
    std::vector<Seen> seen;
    for (HWND h = GetWindow(hPage, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        LRESULT n = 0;
        if (HasClass(h, L"Button"))
            n = SendMessageW(h, BM_GETCHECK, 0, 0);
        else if (HasClass(h, TRACKBAR_CLASSW))
            n = SendMessageW(h, TBM_GETPOS, 0, 0);
        else if (HasClass(h, L"ComboBox"))
            n = SendMessageW(h, CB_GETCURSEL, 0, 0);
        seen.push_back({GetDlgCtrlID(h), IsWindowVisible(h) != FALSE, IsWindowEnabled(h) != FALSE, n, Text(h)});
    }
    return seen;
}

// Works every control that writes to the driver and opens no dialog: each
// check box and radio button, each slider to its ends and back, each list
// chosen again at its selection.
void Work(HWND hPage)
{
    for (HWND h = GetWindow(hPage, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (!IsWindowVisible(h) || !IsWindowEnabled(h))
            continue;
        const int nID = GetDlgCtrlID(h);
        const LONG type = GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK;
        if (HasClass(h, L"Button") && type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON &&
            type != BS_GROUPBOX) {
            Click(hPage, nID);
        } else if (HasClass(h, TRACKBAR_CLASSW)) {
            const int nPos = static_cast<int>(SendMessageW(h, TBM_GETPOS, 0, 0));
            DragSlider(hPage, nID, static_cast<int>(SendMessageW(h, TBM_GETRANGEMIN, 0, 0)));
            DragSlider(hPage, nID, nPos);
        } else if (HasClass(h, L"ComboBox")) {
            SendMessageW(hPage, WM_COMMAND, MAKEWPARAM(nID, CBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
            Pump();
        }
    }
}

class FaultSoak : public UiTest
{
protected:
    // Made, bound, looked at, worked when asked, and gone again.
    template <class TPage>
    std::vector<Seen> Visit(UINT nTemplate, bool bWork)
    {
        TPage page;
        EXPECT_TRUE(page.Create(nTemplate, CWnd::FromHandle(Host())));
        page.SetDeviceEndpoint(m_pSession.get());
        Pump();
        std::vector<Seen> seen = Look(page.m_hWnd);
        if (bWork)
            Work(page.m_hWnd);
        page.ReleaseDeviceEndpoint();
        page.DestroyWindow();
        return seen;
    }
    std::vector<std::vector<Seen>> VisitAll(bool bWork)
    {
        return {Visit<CChildDlgQfx>(IDD_DLG_QFX, bWork), Visit<CChildDlgEnhancement>(IDD_DLG_ENHANCEMENT, bWork),
                Visit<CChildDlgRVX>(IDD_DLG_RVX, bWork), Visit<CChildDlgEQ>(IDD_DLG_EQ, bWork)};
    }
    // The default topology afresh, with every group of every page showing,
    // and a session bound to it.
    void Reload()
    {
        Close();
        LoadFile(L"default.kvtopo");
        Set(L"speakers", L"reverb.enabled", L"1");
        wchar_t szError[256];
        ASSERT_TRUE(kvsim::SetSpeakerLayout(Node(L"speakers"), L"5.1", szError, 256));
        Open();
        Pump();
    }
};

TEST_F(FaultSoak, EveryDriverCallFailedInTurnLeavesEveryPageRecoverable)
{
    Reload();
    const auto before = VisitAll(false);

    // The interfaces the pages reach (the session's own are its tests'
    // business), each method slot past IUnknown's.
    const int nEvery = SoakRun() ? 1 : 50;
    int nCombination = 0, nFailed = 0, nRecovered = 0;
    for (DWORD i = DWORD(kvsim::Iface::Endpoint); i <= DWORD(kvsim::Iface::SpkConfig2); ++i) {
        const auto id = static_cast<kvsim::Iface>(i);
        if (id == kvsim::Iface::Adaptor || id == kvsim::Iface::NotifySource || id == kvsim::Iface::Defaults ||
            id == kvsim::Iface::PresetDefaults)
            continue;
        const wchar_t* iface = kvsim::IfaceName(id);
        for (DWORD dwSlot = 3; dwSlot <= 22; ++dwSlot) {
            if (nCombination++ % nEvery)
                continue;
            SCOPED_TRACE(kvtest::Narrow(iface) + " slot " + std::to_string(dwSlot));
            wchar_t szError[256];
            ASSERT_TRUE(kvsim::AddFault(id, dwSlot, -1, E_FAIL, -1, szError, 256));
            VisitAll(true);
            ++nFailed;
            ClearFaults();
            // What the working did (some writes went through) is undone.
            Reload();
            const auto after = VisitAll(false);
            EXPECT_EQ(before, after);
            nRecovered += before == after;
        }
    }
    std::printf("driver calls failed in turn: %d of %d (interface, method) pairs, every page made, bound and "
                "worked under each; %d came back as before\n",
                nFailed, nCombination, nRecovered);
}

} // namespace
} // namespace uitest
