// Every control can be reached with Tab in the order of the layout and worked
// from the keyboard; a control without text of its own comes right after its
// label, which is where screen readers look for its name.
#include "UiHarness.h"

#include <gmock/gmock.h>

#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "ui/ChildDlgMasterOnOff.h"
#include "ui/MainEffectsDlg.h"

namespace uitest {
namespace {

INT_PTR CALLBACK PlainDlgProc(HWND, UINT nMsg, WPARAM, LPARAM)
{
    return nMsg == WM_INITDIALOG;
}

RECT ScreenRect(HWND h)
{
    RECT rc;
    GetWindowRect(h, &rc);
    return rc;
}

// b comes after a in reading order: on a lower row, or on the same row
// (the two overlap vertically) further right.
bool ReadsAfter(HWND a, HWND b)
{
    const RECT ra = ScreenRect(a), rb = ScreenRect(b);
    if (rb.top >= ra.bottom - 2)
        return true;
    const bool bSameRow = rb.top < ra.bottom && ra.top < rb.bottom;
    return bSameRow && rb.left > ra.left;
}

bool IsLabel(HWND h)
{
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    if (Text(h).empty())
        return false;
    if (HasClass(h, L"Static"))
        return (style & SS_TYPEMASK) <= SS_RIGHT || (style & SS_TYPEMASK) == SS_LEFTNOWORDWRAP;
    return HasClass(h, L"Button") && (style & BS_TYPEMASK) != BS_GROUPBOX;
}

// Tab stops in Tab's order that break reading order, and textless tab stops
// whose previous sibling is no label. The second half of the master toggle
// shares the label of the first: to the user they are one switch.
std::vector<std::string> Problems(HWND hDlg, const char* pszName)
{
    std::vector<std::string> out;
    std::vector<HWND> order;
    HWND hFirst = GetNextDlgTabItem(hDlg, nullptr, FALSE);
    for (HWND h = hFirst; h && order.size() < 200;) {
        order.push_back(h);
        h = GetNextDlgTabItem(hDlg, h, FALSE);
        if (h == hFirst)
            break;
    }
    if (order.empty())
        out.push_back(std::string(pszName) + ": nothing to tab to");
    for (size_t i = 1; i < order.size(); ++i)
        if (!ReadsAfter(order[i - 1], order[i]))
            out.push_back(std::string(pszName) + ": " + std::to_string(GetDlgCtrlID(order[i])) + " comes after " +
                          std::to_string(GetDlgCtrlID(order[i - 1])));
    for (HWND h : order) {
        const bool bTextless = Text(h).empty() || HasClass(h, L"ComboBox");
        if (!bTextless || GetDlgCtrlID(h) == IDC_BTN_MASTER_ON)
            continue;
        HWND hPrev = GetWindow(h, GW_HWNDPREV);
        if (!hPrev || !IsLabel(hPrev))
            out.push_back(std::string(pszName) + ": " + std::to_string(GetDlgCtrlID(h)) + " has no label before it");
    }
    return out;
}

using Keyboard = UiTest;

TEST_F(Keyboard, EveryTemplateTabsInReadingOrderWithItsLabels)
{
    HINSTANCE hRes = (App(), AfxGetResourceHandle());
    const struct {
        int nID;
        const char* pszName;
    } templates[] = {{IDD_MAINEFFECTS_DLG, "main"},    {IDD_DLG_MASTER_ONOFF, "master"},
                     {IDD_DLG_QFX, "surround"},        {IDD_DLG_ENHANCEMENT, "enhancement"},
                     {IDD_DLG_RVX, "reverb"},          {IDD_DLG_EQ, "equalizer"},
                     {IDD_DIALOG_PRESETSAVE, "save"},  {IDD_DIALOG_MESSAGEBOX, "message box"}};
    std::vector<std::string> problems;
    for (const auto& t : templates) {
        HWND h = CreateDialogParamW(hRes, MAKEINTRESOURCEW(t.nID), Host(), PlainDlgProc, 0);
        ASSERT_NE(nullptr, h) << t.pszName;
        // The message box is only ever shown with OK or with Yes and No.
        const bool bMessageBox = t.nID == IDD_DIALOG_MESSAGEBOX;
        if (bMessageBox)
            ShowWindow(GetDlgItem(h, IDOK), SW_HIDE);
        for (const std::string& p : Problems(h, t.pszName))
            problems.push_back(p);
        if (bMessageBox) {
            ShowWindow(GetDlgItem(h, IDOK), SW_SHOW);
            ShowWindow(GetDlgItem(h, IDYES), SW_HIDE);
            ShowWindow(GetDlgItem(h, IDNO), SW_HIDE);
            for (const std::string& p : Problems(h, "message box with OK"))
                problems.push_back(p);
        }
        DestroyWindow(h);
    }
    EXPECT_THAT(problems, testing::IsEmpty());
}

TEST_F(Keyboard, TheWholeWindowTabsFromTheSwitchThroughThePageButtonsIntoThePage)
{
    Open();
    CMainEffectsDlg dlg(CWnd::FromHandle(Host()));
    ASSERT_TRUE(dlg.Create(IDD_MAINEFFECTS_DLG, CWnd::FromHandle(Host())));
    dlg.SetDeviceEndpoint(m_pSession.get());
    dlg.ShowWindow(SW_SHOW);
    Pump();
    for (int id : {IDC_BTN_PAGE_QFX, IDC_BTN_PAGE_EQ}) {
        Click(dlg.m_hWnd, id);
        EXPECT_THAT(Problems(dlg.m_hWnd, id == IDC_BTN_PAGE_QFX ? "main+surround" : "main+equalizer"),
                    testing::IsEmpty());
    }
    const std::vector<int> order = TabOrder(dlg.m_hWnd);
    ASSERT_GE(order.size(), 5u);
    EXPECT_EQ(IDC_BTN_MASTER_OFF, order[0]);
    EXPECT_EQ(IDC_BTN_MASTER_ON, order[1]);
    EXPECT_EQ(IDC_BTN_PAGE_QFX, order[2]) << "the selected page's button is disabled and skipped";
    dlg.CloseMainEffectsDlg();
    dlg.DestroyWindow();
}

TEST_F(Keyboard, SpaceWorksTheToggleAndArrowsMoveASlider)
{
    Open();
    CChildDlgMasterOnOff page;
    ASSERT_TRUE(page.Create(IDD_DLG_MASTER_ONOFF, CWnd::FromHandle(Host())));
    page.SetDeviceEndpoint(m_pSession.get());
    page.ShowWindow(SW_SHOW);
    Pump();
    HWND hOn = Item(page.m_hWnd, IDC_BTN_MASTER_ON);
    SetFocus(hOn);
    Key(hOn, VK_SPACE);
    EXPECT_EQ(FALSE, m_pSession->m_bMasterOn);
    EXPECT_EQ(BST_CHECKED, Checked(page.m_hWnd, IDC_BTN_MASTER_OFF));
    HWND hOff = Item(page.m_hWnd, IDC_BTN_MASTER_OFF);
    SetFocus(hOff);
    Key(hOff, VK_SPACE);
    EXPECT_EQ(TRUE, m_pSession->m_bMasterOn);
    page.ReleaseDeviceEndpoint();
    page.DestroyWindow();

    HWND hDlg = CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDD_DLG_EQ), Host(), PlainDlgProc, 0);
    HWND hBand = Item(hDlg, IDC_SLD_EQ_BAND_0);
    SendMessageW(hBand, TBM_SETRANGE, TRUE, MAKELPARAM(0, 48));
    SendMessageW(hBand, TBM_SETPOS, TRUE, 24);
    SetFocus(hBand);
    Key(hBand, VK_UP);
    EXPECT_EQ(23, SendMessageW(hBand, TBM_GETPOS, 0, 0));
    HWND hCheck = Item(hDlg, IDC_CHK_EQ_ENABLE);
    SetFocus(hCheck);
    Key(hCheck, VK_SPACE);
    EXPECT_EQ(BST_CHECKED, Checked(hDlg, IDC_CHK_EQ_ENABLE));
    DestroyWindow(hDlg);
}

} // namespace
} // namespace uitest
