// Message map dispatch: which entry a message reaches, what the sender gets
// back, and what falls through to the default procedure.
#include "FrameworkTestUtil.h"

namespace {

constexpr UINT kMsgLevel = 4021;  // private messages as the plug-in uses them
constexpr UINT kMsgDerivedOnly = 4022;
constexpr UINT kMsgUnmapped = 2629;
constexpr UINT IDC_APPLY = 200, IDC_PRESET_FIRST = 210, IDC_PRESET_LAST = 214;
constexpr UINT IDC_FIELD_FIRST = 220, IDC_FIELD_LAST = 222;
constexpr UINT IDC_LINK = 240, IDC_BAND_FIRST = 250, IDC_BAND_LAST = 259;

const UINT g_uMsgRegistered = ::RegisterWindowMessageW(L"KVFrameworkTest.Registered");

class CProbeWnd : public CWnd {
public:
    explicit CProbeWnd(CEventLog& log) : m_log(log) {}
    BOOL Create() { return CreateEx(0, nullptr, L"probe", WS_POPUP, 0, 0, 200, 200, nullptr); }

    CEventLog& m_log;
    CWnd* m_pLastScrollBar = nullptr;
    const HBRUSH m_hBrush = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));

protected:
    virtual LRESULT OnLevel(WPARAM wParam, LPARAM lParam)
    {
        m_log.Add("base OnLevel");
        return static_cast<LRESULT>(wParam + lParam);
    }
    LRESULT OnRegistered(WPARAM, LPARAM) { m_log.Add("OnRegistered"); return 0x5A; }
    void OnApply() { m_log.Add("base OnApply"); }
    void OnPreset(UINT nID) { m_log.Add(Format("OnPreset %u", nID)); }
    void OnFieldChange(UINT nID) { m_log.Add(Format("OnFieldChange %u", nID)); }
    void OnLinkClick(NMHDR*, LRESULT* pResult) { *pResult = 77; }
    void OnBandClick(UINT nID, NMHDR*, LRESULT* pResult) { *pResult = nID; }
    HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor) override
    {
        m_log.Add(Format("OnCtlColor %u %s", nCtlColor, pWnd == this ? "self" : "other"));
        return nCtlColor == CTLCOLOR_STATIC ? m_hBrush : CWnd::OnCtlColor(hDC, pWnd, nCtlColor);
    }
    void OnHScroll(UINT nSBCode, UINT, CWnd* pScrollBar) override
    {
        m_log.Add(Format("OnHScroll %u", nSBCode));
        m_pLastScrollBar = pScrollBar;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProbeWnd, CWnd)
    ON_MESSAGE(kMsgLevel, OnLevel)
    ON_REGISTERED_MESSAGE(g_uMsgRegistered, OnRegistered)
    ON_COMMAND(IDC_APPLY, OnApply)
    ON_COMMAND_RANGE(IDC_PRESET_FIRST, IDC_PRESET_LAST, OnPreset)
    ON_CONTROL_RANGE(EN_CHANGE, IDC_FIELD_FIRST, IDC_FIELD_LAST, OnFieldChange)
    ON_NOTIFY(NM_CLICK, IDC_LINK, OnLinkClick)
    ON_NOTIFY_RANGE(NM_CLICK, IDC_BAND_FIRST, IDC_BAND_LAST, OnBandClick)
    ON_WM_HSCROLL()
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

// Overrides a virtual handler only the base's table names, adds an entry of
// its own and shadows one of the base's.
class CDerivedProbeWnd : public CProbeWnd {
public:
    using CProbeWnd::CProbeWnd;

protected:
    LRESULT OnLevel(WPARAM, LPARAM) override { m_log.Add("derived OnLevel"); return 1234; }
    LRESULT OnDerivedOnly(WPARAM, LPARAM) { return 9; }
    void OnApplyDerived() { m_log.Add("derived OnApply"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedProbeWnd, CProbeWnd)
    ON_MESSAGE(kMsgDerivedOnly, OnDerivedOnly)
    ON_COMMAND(IDC_APPLY, OnApplyDerived)
END_MESSAGE_MAP()

void SendCommand(CWnd& wnd, UINT nID, UINT nCode, HWND hWndCtrl)
{
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(nID, nCode), reinterpret_cast<LPARAM>(hWndCtrl));
}

LRESULT SendNotify(CWnd& wnd, UINT nID, UINT nCode)
{
    NMHDR nmhdr{wnd.m_hWnd, nID, nCode};
    return wnd.SendMessage(WM_NOTIFY, nID, reinterpret_cast<LPARAM>(&nmhdr));
}

class MessageMapTest : public FrameworkTest {
protected:
    void TearDown() override
    {
        m_probe.DestroyWindow();
        FrameworkTest::TearDown();
    }
    CProbeWnd m_probe{m_log};
};

TEST_F(MessageMapTest, MessagesReturnTheHandlersResultOrFallThrough)
{
    ASSERT_TRUE(m_probe.Create());
    EXPECT_EQ(5, m_probe.SendMessage(kMsgLevel, 2, 3));
    EXPECT_EQ(0x5A, m_probe.SendMessage(g_uMsgRegistered));
    EXPECT_EQ(0, m_probe.SendMessage(kMsgUnmapped));
    EXPECT_EQ(77, SendNotify(m_probe, IDC_LINK, NM_CLICK));
    EXPECT_EQ(0, SendNotify(m_probe, IDC_LINK, NM_DBLCLK));
    EXPECT_EQ(static_cast<LRESULT>(IDC_BAND_LAST), SendNotify(m_probe, IDC_BAND_LAST, NM_CLICK));
    EXPECT_EQ(0, SendNotify(m_probe, IDC_BAND_LAST + 1, NM_CLICK));
    HDC hDC = ::GetDC(m_probe.m_hWnd);
    const auto wDC = reinterpret_cast<WPARAM>(hDC);
    const auto lSelf = reinterpret_cast<LPARAM>(m_probe.m_hWnd);
    EXPECT_EQ(reinterpret_cast<LRESULT>(m_probe.m_hBrush), m_probe.SendMessage(WM_CTLCOLORSTATIC, wDC, lSelf));
    EXPECT_NE(0, m_probe.SendMessage(WM_CTLCOLORBTN, wDC, lSelf)) << "the base handler gives the default brush";
    ::ReleaseDC(m_probe.m_hWnd, hDC);
    ExpectSequence(m_log,
                   {"base OnLevel", "OnRegistered", Format("OnCtlColor %u self", CTLCOLOR_STATIC),
                    Format("OnCtlColor %u self", CTLCOLOR_BTN)},
                   "messages");

    // Unmapped messages reach the default procedure, which keeps the text.
    m_probe.SetWindowText(L"kept");
    std::wstring text;
    m_probe.GetWindowText(text);
    EXPECT_EQ(L"kept", text);
}

TEST_F(MessageMapTest, CommandsMatchOnIdAndNotificationCode)
{
    ASSERT_TRUE(m_probe.Create());
    HWND hCtrl = m_probe.m_hWnd;  // any non-null control handle
    SendCommand(m_probe, IDC_APPLY, 0, nullptr);             // menu
    SendCommand(m_probe, IDC_APPLY, 1, nullptr);             // accelerator
    SendCommand(m_probe, IDC_APPLY, BN_CLICKED, hCtrl);
    SendCommand(m_probe, IDC_APPLY, EN_CHANGE, hCtrl);
    SendCommand(m_probe, IDC_APPLY, CBN_SELCHANGE, hCtrl);   // code 1 from a control is no command
    SendCommand(m_probe, IDC_PRESET_FIRST, 0, nullptr);
    SendCommand(m_probe, IDC_PRESET_LAST, BN_CLICKED, hCtrl);
    SendCommand(m_probe, IDC_PRESET_LAST + 1, 0, nullptr);
    SendCommand(m_probe, IDC_FIELD_FIRST + 1, EN_CHANGE, hCtrl);
    SendCommand(m_probe, IDC_FIELD_LAST, EN_UPDATE, hCtrl);
    ExpectSequence(m_log,
                   {"base OnApply", "base OnApply", "base OnApply", Format("OnPreset %u", IDC_PRESET_FIRST),
                    Format("OnPreset %u", IDC_PRESET_LAST), Format("OnFieldChange %u", IDC_FIELD_FIRST + 1)},
                   "commands");
}

TEST_F(MessageMapTest, BaseEntryReachesDerivedOverrideAndDerivedEntriesComeFirst)
{
    CDerivedProbeWnd wnd(m_log);
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(1234, wnd.SendMessage(kMsgLevel, 2, 3));
    EXPECT_EQ(9, wnd.SendMessage(kMsgDerivedOnly));
    SendCommand(wnd, IDC_APPLY, 0, nullptr);
    SendCommand(wnd, IDC_PRESET_FIRST + 2, 0, nullptr);
    ExpectSequence(m_log, {"derived OnLevel", "derived OnApply", Format("OnPreset %u", IDC_PRESET_FIRST + 2)},
                   "derived dispatch");
    wnd.DestroyWindow();

    ASSERT_TRUE(m_probe.Create());
    EXPECT_EQ(0, m_probe.SendMessage(kMsgDerivedOnly)) << "a derived entry leaked into the base's table";
}

TEST_F(MessageMapTest, TrackbarScrollPassesItsWindowObject)
{
    ASSERT_TRUE(m_probe.Create());
    CSliderCtrl slider;
    ASSERT_TRUE(slider.CreateEx(0, TRACKBAR_CLASSW, nullptr, WS_CHILD, 0, 0, 100, 20, m_probe.m_hWnd));
    HWND hPlain = ::CreateWindowExW(0, TRACKBAR_CLASSW, nullptr, WS_CHILD, 0, 30, 100, 20, m_probe.m_hWnd,
                                    nullptr, nullptr, nullptr);

    slider.SendMessage(WM_KEYDOWN, VK_RIGHT, 0);  // the trackbar notifies its parent itself
    ASSERT_FALSE(m_log.Events().empty());
    EXPECT_EQ(Format("OnHScroll %u", TB_LINEDOWN), m_log.Events().front());
    EXPECT_EQ(&slider, m_probe.m_pLastScrollBar);

    ::SendMessageW(hPlain, WM_KEYDOWN, VK_RIGHT, 0);
    ASSERT_NE(nullptr, m_probe.m_pLastScrollBar);
    EXPECT_EQ(hPlain, m_probe.m_pLastScrollBar->m_hWnd) << "an unbound trackbar gets a temporary wrapper";
    m_log.Take();
    m_probe.DestroyWindow();
    EXPECT_EQ(nullptr, slider.m_hWnd) << "the child was unbound with its parent";
}

}  // namespace
