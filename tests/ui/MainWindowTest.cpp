// The main effects window: placing its pages, switching them, the master
// pop-up, closing.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "ui/ChildDlg.h"
#include "ui/ChildDlgMasterOnOff.h"
#include "ui/MainEffectsDlg.h"

#include <algorithm>

namespace uitest {
namespace {

class MainWindow : public UiTest
{
protected:
    CMainEffectsDlg* NewWindow(CKVDeviceEndpoint* pSession)
    {
        m_dlg = std::make_unique<CMainEffectsDlg>(CWnd::FromHandle(Host()));
        EXPECT_TRUE(m_dlg->Create(IDD_MAINEFFECTS_DLG, CWnd::FromHandle(Host())));
        m_dlg->SetDeviceEndpoint(pSession);
        m_dlg->ShowWindow(SW_SHOW);
        Pump();
        return m_dlg.get();
    }
    void TearDown() override
    {
        if (m_dlg) {
            m_dlg->CloseMainEffectsDlg();
            m_dlg->DestroyWindow();
            m_dlg.reset();
        }
        UiTest::TearDown();
    }
    bool Listed(HWND h) const
    {
        const auto& arr = m_pSession->m_arrNotifyWnd;
        return std::find(arr.begin(), arr.end(), h) != arr.end();
    }
    // The selected page button: the one disabled and bold while the rest are not.
    int Selected() const
    {
        int nSelected = 0;
        for (int id = IDC_BTN_PAGE_QFX; id <= IDC_BTN_PAGE_EQ; ++id) {
            const bool bOn = !Enabled(m_dlg->m_hWnd, id) && IsBold(Item(m_dlg->m_hWnd, id));
            const bool bOff = Enabled(m_dlg->m_hWnd, id) && !IsBold(Item(m_dlg->m_hWnd, id));
            if (!bOn && !bOff)
                return -1;
            if (bOn)
                nSelected = nSelected ? -1 : id;
        }
        return nSelected;
    }
    POINT PageCorner(HWND hPage) const
    {
        RECT rc;
        GetWindowRect(hPage, &rc);
        MapWindowPoints(nullptr, m_dlg->m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        return {rc.left, rc.top};
    }
    std::unique_ptr<CMainEffectsDlg> m_dlg;
};

TEST_F(MainWindow, AttachingShowsTheSurroundPageAndTheMasterSwitchAtTheirPlaces)
{
    Open();
    CMainEffectsDlg* d = NewWindow(m_pSession.get());
    EXPECT_FALSE(Visible(d->m_hWnd, IDC_PLACE_MASTER_ONOFF));
    EXPECT_FALSE(Visible(d->m_hWnd, IDC_PLACE_CHILD_DLG));
    EXPECT_EQ(IDC_BTN_PAGE_QFX, Selected());
    ASSERT_NE(nullptr, d->m_pChildDlg);
    ASSERT_NE(nullptr, d->m_pChildDlgMasterOnOff);
    const POINT page = PageCorner(d->m_pChildDlg->m_hWnd), master = PageCorner(d->m_pChildDlgMasterOnOff->m_hWnd);
    EXPECT_EQ(d->m_rcChildDlg.left, page.x);
    EXPECT_EQ(d->m_rcChildDlg.top, page.y);
    EXPECT_EQ(d->m_rcMasterOnOff.left, master.x);
    EXPECT_EQ(d->m_rcMasterOnOff.top, master.y);
    EXPECT_TRUE(Visible(d->m_pChildDlg->m_hWnd));
    EXPECT_TRUE(d->m_pChildDlgMasterOnOff->m_bTransparent);
    EXPECT_EQ(d->m_hWnd, m_pSession->m_hWndMainEffects);
    EXPECT_TRUE(Listed(d->m_hWnd));
    EXPECT_TRUE(Listed(d->m_pChildDlg->m_hWnd));
    EXPECT_TRUE(Listed(d->m_pChildDlgMasterOnOff->m_hWnd));
}

TEST_F(MainWindow, APageButtonReplacesThePageAndBecomesTheSelectedOne)
{
    Open();
    CMainEffectsDlg* d = NewWindow(m_pSession.get());
    const HWND hSurround = d->m_pChildDlg->m_hWnd;
    const size_t nListed = m_pSession->m_arrNotifyWnd.size();
    Click(d->m_hWnd, IDC_BTN_PAGE_EQ);
    EXPECT_FALSE(IsWindow(hSurround));
    EXPECT_FALSE(Listed(hSurround));
    EXPECT_EQ(nListed, m_pSession->m_arrNotifyWnd.size());
    EXPECT_EQ(IDC_BTN_PAGE_EQ, Selected());
    ASSERT_NE(nullptr, d->m_pChildDlg);
    EXPECT_NE(nullptr, GetDlgItem(d->m_pChildDlg->m_hWnd, IDC_SLD_EQ_BAND_0)) << "the equalizer's template";

    for (int id : {IDC_BTN_PAGE_ENHANCEMENT, IDC_BTN_PAGE_RVX, IDC_BTN_PAGE_QFX}) {
        Click(d->m_hWnd, id);
        EXPECT_EQ(id, Selected());
        EXPECT_TRUE(Visible(d->m_pChildDlg->m_hWnd));
    }
    EXPECT_EQ(nListed, m_pSession->m_arrNotifyWnd.size());
}

TEST_F(MainWindow, EnterEscapeAndTheCloseCommandLeaveItOpen)
{
    Open();
    CMainEffectsDlg* d = NewWindow(m_pSession.get());
    HWND hButton = Item(d->m_hWnd, IDC_BTN_PAGE_RVX);
    SetFocus(hButton);
    Key(hButton, VK_ESCAPE);
    SendMessageW(d->m_hWnd, WM_COMMAND, IDOK, 0);
    SendMessageW(d->m_hWnd, WM_COMMAND, IDCANCEL, 0);
    stest::TraceCapture trace;
    SendMessageW(d->m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_TRUE(Visible(d->m_hWnd));
    EXPECT_EQ(1, trace.Count(L"CMainEffectsDlg::WindowProc(274) SC_CLOSE"));
}

TEST_F(MainWindow, TheMasterPopUpRebuildsThePageShownOrNot)
{
    Open();
    CMainEffectsDlg* d = NewWindow(m_pSession.get());
    Click(d->m_hWnd, IDC_BTN_PAGE_RVX);
    {
        // Disabled: no pop-up, yet the page is made anew and bound again.
        kvtest::ScopedRegValue off(stest::kCoexistKey, L"DisablePopUp", DWORD(1));
        const HWND hBefore = d->m_pChildDlg->m_hWnd;
        ModalAnswer answer([](HWND h) { EndDialog(h, IDCANCEL); });
        SendMessageW(d->m_hWnd, WM_SHOW_MASTER_POPUP, 0, 0);
        EXPECT_EQ(0, answer.Seen());
        EXPECT_FALSE(IsWindow(hBefore));
        EXPECT_EQ(IDC_BTN_PAGE_RVX, Selected());
        EXPECT_TRUE(Listed(d->m_pChildDlg->m_hWnd));
    }
    kvtest::ScopedRegValue on(stest::kCoexistKey, L"DisablePopUp", std::optional<DWORD>(0));
    std::wstring text;
    ModalAnswer answer([&](HWND h) {
        text = Text(h, IDC_STC_MSGBOX_TEXT);
        SendMessageW(Item(h, IDOK), BM_CLICK, 0, 0);
    });
    PostMessageW(d->m_hWnd, WM_SHOW_MASTER_POPUP, 0, 0);
    Pump(1000);
    EXPECT_EQ(1, answer.Seen());
    EXPECT_NE(std::wstring::npos, text.find(L"Auralith Q-fx MB")) << kvtest::Narrow(text);
    EXPECT_EQ(IDC_BTN_PAGE_RVX, Selected());
}

TEST_F(MainWindow, WithoutASessionPagesStillWorkAndTheSessionsRequestIsIgnored)
{
    CMainEffectsDlg* d = NewWindow(nullptr);
    EXPECT_EQ(IDC_BTN_PAGE_QFX, Selected());
    ModalAnswer answer([](HWND h) { EndDialog(h, IDCANCEL); });
    SendMessageW(d->m_hWnd, WM_SHOW_MASTER_POPUP, 0, 0);
    EXPECT_EQ(0, answer.Seen());
    Click(d->m_hWnd, IDC_BTN_PAGE_ENHANCEMENT);
    EXPECT_EQ(IDC_BTN_PAGE_ENHANCEMENT, Selected());
    EXPECT_FALSE(Visible(d->m_pChildDlgMasterOnOff->m_hWnd, IDC_BTN_MASTER_ON));
}

TEST_F(MainWindow, ClosingTwiceChangesNothingTheSecondTime)
{
    Open();
    CMainEffectsDlg* d = NewWindow(m_pSession.get());
    d->CloseMainEffectsDlg();
    EXPECT_EQ(nullptr, d->m_pChildDlg);
    EXPECT_EQ(nullptr, d->m_pChildDlgMasterOnOff);
    EXPECT_EQ(nullptr, d->m_pFontBold);
    EXPECT_FALSE(Listed(d->m_hWnd));
    EXPECT_EQ(nullptr, m_pSession->m_hWndMainEffects);
    const auto listed = m_pSession->m_arrNotifyWnd;
    stest::TraceCapture trace;
    d->CloseMainEffectsDlg();
    EXPECT_EQ(listed, m_pSession->m_arrNotifyWnd);
    EXPECT_EQ(1, trace.Count(L"CMainEffectsDlg::CloseMainEffectsDlg() ok"));
    EXPECT_EQ(1, trace.Count(L"CMainEffectsDlg::CloseChildDlgs() ok"));
}

} // namespace
} // namespace uitest
