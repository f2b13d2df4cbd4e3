// The master switch page: the toggle flips at once, the session follows, the
// page follows the session; without a bound device the toggle is gone.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "device/AudioPropStoreWrapper.h"
#include "ui/ChildDlgMasterOnOff.h"

namespace uitest {
namespace {

class MasterPage : public UiTest
{
protected:
    CChildDlgMasterOnOff* NewPage(bool bTransparent, CKVDeviceEndpoint* pSession)
    {
        m_page = std::make_unique<CChildDlgMasterOnOff>();
        m_page->m_bTransparent = bTransparent;
        EXPECT_TRUE(m_page->Create(IDD_DLG_MASTER_ONOFF, CWnd::FromHandle(Host())));
        m_page->SetDeviceEndpoint(pSession);
        m_page->ShowWindow(SW_SHOW);
        Pump();
        return m_page.get();
    }
    void TearDown() override
    {
        Discard(m_page);
        UiTest::TearDown();
    }
    // What the toggle shows: "on", "off", or "" while hidden.
    std::string Shown() const
    {
        HWND h = m_page->m_hWnd;
        if (!Visible(h, IDC_BTN_MASTER_ON) || !Visible(h, IDC_BTN_MASTER_OFF))
            return "";
        const bool bOn = Checked(h, IDC_BTN_MASTER_ON) == BST_CHECKED && !Text(h, IDC_BTN_MASTER_ON).empty();
        const bool bOff = Checked(h, IDC_BTN_MASTER_OFF) == BST_CHECKED && !Text(h, IDC_BTN_MASTER_OFF).empty();
        return bOn == bOff ? "mixed" : (bOn ? "on" : "off");
    }
    std::unique_ptr<CChildDlgMasterOnOff> m_page;
};

TEST_F(MasterPage, AClickFlipsTheToggleBeforeTheDriverAndThenFollowsTheSession)
{
    Open();
    CChildDlgMasterOnOff* p = NewPage(false, m_pSession.get());
    ASSERT_EQ("on", Shown());

    stest::TraceCapture trace;
    SendMessageW(Item(p->m_hWnd, IDC_BTN_MASTER_OFF), BM_CLICK, 0, 0);
    const int nShown = trace.First(L"CChildDlgMasterOnOff::UpdateUI()");
    const int nDriver = trace.First(L"CKVDeviceEndpoint::SetMasterOnOff(");
    ASSERT_GE(nShown, 0);
    EXPECT_LT(nShown, nDriver) << "the page flips before the driver is touched";
    EXPECT_EQ("off", Shown()) << "before any message is pumped";
    Pump();
    EXPECT_EQ("off", Shown());
    EXPECT_EQ(FALSE, m_pSession->m_bMasterOn);
    EXPECT_EQ(L"0", Get(L"speakers", L"bassboost.enabled"));
    EXPECT_EQ(0u, StoreValue(stest::EndpointId(1), PKEY_KV_MasterOnOff));
    EXPECT_GE(trace.Count(L"CChildDlgMasterOnOff::OnMasterOnOffChange()"), 1) << "4023 came back";

    // Another window switched the session on; 4023 brings the page along.
    m_pSession->SetMasterOnOff(TRUE, TRUE);
    Pump();
    EXPECT_EQ("on", Shown());
    EXPECT_EQ(L"1", Get(L"speakers", L"bassboost.enabled"));
    EXPECT_EQ(GetDlgItem(p->m_hWnd, IDC_MASTER_FOCUS), GetFocus());
}

TEST_F(MasterPage, WithoutABoundDeviceTheToggleIsHiddenAndUnchecked)
{
    CChildDlgMasterOnOff* p = NewPage(false, nullptr);
    EXPECT_EQ("", Shown());
    EXPECT_EQ(BST_UNCHECKED, Checked(p->m_hWnd, IDC_BTN_MASTER_ON));
    EXPECT_EQ(BST_UNCHECKED, Checked(p->m_hWnd, IDC_BTN_MASTER_OFF));
    EXPECT_TRUE(Visible(p->m_hWnd, IDC_STC_TECHNOLOGY)) << "the label stays";
    // Clicking a hidden half (as a script could) flips only the page.
    SendMessageW(Item(p->m_hWnd, IDC_BTN_MASTER_ON), BM_CLICK, 0, 0);
    EXPECT_EQ(FALSE, p->m_bMasterOn);
    m_page->ReleaseDeviceEndpoint();
    m_page->DestroyWindow();

    Load(L"mode endpoint\n");
    Open();
    p = NewPage(false, m_pSession.get());
    EXPECT_EQ("", Shown()) << "a session with nothing bound";
    EXPECT_EQ(TRUE, p->m_bMasterOn);
}

TEST_F(MasterPage, StandAloneShowsTheTechnologyEmbeddedHidesIt)
{
    Open();
    CChildDlgMasterOnOff* p = NewPage(false, m_pSession.get());
    EXPECT_TRUE(Visible(p->m_hWnd, IDC_STC_TECHNOLOGY));
    EXPECT_EQ(L"Auralith Q-fx MB", Text(p->m_hWnd, IDC_STC_TECHNOLOGY));
    m_page->ReleaseDeviceEndpoint();
    m_page->DestroyWindow();

    p = NewPage(true, m_pSession.get());
    EXPECT_FALSE(Visible(p->m_hWnd, IDC_STC_TECHNOLOGY));
    EXPECT_EQ("on", Shown());
}

} // namespace
} // namespace uitest
