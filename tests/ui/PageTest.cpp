// What every page shares: registration with the session, Enter and Escape,
// the effect-info answer, the skin path, tooltips.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "ui/ChildDlg.h"

#include <algorithm>

namespace uitest {
namespace {

// The base alone, on a page template: what every page inherits.
class BarePage : public CChildDlg
{
};

class Page : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        App().m_strBFFName.clear();
    }
    BarePage* NewPage()
    {
        m_page = std::make_unique<BarePage>();
        EXPECT_TRUE(m_page->Create(IDD_DLG_QFX, CWnd::FromHandle(Host())));
        return m_page.get();
    }
    void TearDown() override
    {
        Discard(m_page);
        UiTest::TearDown();
    }
    int Listed(HWND h) const
    {
        const auto& arr = m_pSession->m_arrNotifyWnd;
        return static_cast<int>(std::count(arr.begin(), arr.end(), h));
    }
    std::unique_ptr<BarePage> m_page;
};

TEST_F(Page, AttachingTwiceListsTheWindowOnceAndBindsAgain)
{
    Open();
    BarePage* p = NewPage();
    stest::TraceCapture trace;
    p->SetDeviceEndpoint(m_pSession.get());
    p->SetDeviceEndpoint(m_pSession.get());
    EXPECT_EQ(1, Listed(p->m_hWnd));
    EXPECT_EQ(4, trace.Count(L"CChildDlg::CloseDriver()")) << "dropped before each attach and each re-bind";

    // The session's messages reach the page's own operations.
    PostMessageW(p->m_hWnd, WM_DEVICE_ENDPOINT_CHANGE, 0, 0);
    PostMessageW(p->m_hWnd, WM_MASTER_ONOFF_CHANGE, 0, 0);
    Pump();
    EXPECT_EQ(5, trace.Count(L"CChildDlg::CloseDriver()"));
    EXPECT_EQ(1, trace.Count(L"CChildDlg::UpdateUI()"));

    p->ReleaseDeviceEndpoint();
    EXPECT_EQ(0, Listed(p->m_hWnd));
    EXPECT_EQ(nullptr, p->m_pKVDeviceEndpoint);
}

TEST_F(Page, ReleasingAPageNeverAttachedOnlyDropsItsDriverObjects)
{
    Open();
    BarePage* p = NewPage();
    const auto before = m_pSession->m_arrNotifyWnd;
    stest::TraceCapture trace;
    p->ReleaseDeviceEndpoint();
    EXPECT_EQ(1, trace.Count(L"CChildDlg::CloseDriver()"));
    EXPECT_EQ(before, m_pSession->m_arrNotifyWnd);

    // A page whose window does not exist yet is not listed.
    BarePage windowless;
    windowless.SetDeviceEndpoint(m_pSession.get());
    EXPECT_EQ(before, m_pSession->m_arrNotifyWnd);
    windowless.ReleaseDeviceEndpoint();
}

TEST_F(Page, EnterAndEscapeLeaveThePageOpen)
{
    BarePage* p = NewPage();
    p->ShowWindow(SW_SHOW);
    HWND hCheck = Item(p->m_hWnd, IDC_CHK_DETAIL_RESTORE);
    SetFocus(hCheck);
    Key(hCheck, VK_RETURN);
    Key(hCheck, VK_ESCAPE);
    SendMessageW(p->m_hWnd, WM_COMMAND, IDOK, 0);
    SendMessageW(p->m_hWnd, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(p->m_hWnd, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_TRUE(IsWindow(p->m_hWnd));
    EXPECT_TRUE(Visible(p->m_hWnd));
}

TEST_F(Page, EffectInfoTellsRememberedEffectsOnlyWhileTheMasterIsOff)
{
    BarePage* p = NewPage();
    BOOL bMaster = -1, bEffect = -1;
    p->GetEffectInfo(0x800, &bMaster, &bEffect);
    EXPECT_EQ(TRUE, bMaster) << "no session";
    EXPECT_EQ(FALSE, bEffect);

    Open();
    p->SetDeviceEndpoint(m_pSession.get());
    m_pSession->m_dwEffectInfo = 0x0A08;
    m_pSession->m_bMasterOn = FALSE;
    const struct {
        ULONGLONG mask;
        BOOL bEffect;
    } cases[] = {{0x800, TRUE}, {0x0300, FALSE}, {0x0A00, TRUE}, {0x2000, FALSE}, {0, TRUE}};
    for (const auto& c : cases) {
        p->GetEffectInfo(c.mask, &bMaster, &bEffect);
        EXPECT_EQ(FALSE, bMaster);
        EXPECT_EQ(c.bEffect, bEffect) << std::hex << c.mask;
    }
    p->GetEffectInfo(0x800, nullptr, nullptr);  // either answer may be unwanted

    m_pSession->m_bMasterOn = TRUE;
    p->GetEffectInfo(0x800, &bMaster, &bEffect);
    EXPECT_EQ(TRUE, bMaster);
    EXPECT_EQ(FALSE, bEffect);
}

TEST_F(Page, ALongSkinPathIsCutToFitAndTooltipsReachThePage)
{
    App().m_strBFFName = L"C:\\" + std::wstring(297, L'k');
    BarePage* p = NewPage();
    EXPECT_EQ(259u, wcslen(p->m_szBFFName));
    EXPECT_EQ(0, wcsncmp(p->m_szBFFName, App().m_strBFFName.c_str(), 259));

    stest::TraceCapture trace;
    NMTTDISPINFOW tt = {};
    tt.hdr.hwndFrom = p->m_hWnd;
    tt.hdr.code = TTN_NEEDTEXTW;
    EXPECT_EQ(1, SendMessageW(p->m_hWnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tt)));
    tt.hdr.code = NM_CLICK;
    EXPECT_EQ(0, SendMessageW(p->m_hWnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tt)));
    EXPECT_EQ(1, trace.Count(L"CChildDlg::DoTTNeedText()"));
    App().m_strBFFName.clear();
}

} // namespace
} // namespace uitest
