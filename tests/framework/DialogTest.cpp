// Dialogs: binding around WM_INITDIALOG, data exchange, modeless pages that
// Enter and Escape must not close, modal loops and their nesting.
#include "FrameworkTestUtil.h"
#include "FrameworkTestRes.h"

namespace {

constexpr UINT kMsgEnd = 4023;  // wParam: the modal result
constexpr UINT kMsgRun = 4024;  // posted by OnInitDialog: runs the test's step inside the dialog's loop

class CLoggingDlg : public CDialog {
public:
    CLoggingDlg(CEventLog& log, std::string name, UINT nIDTemplate = 0, CWnd* pParent = nullptr)
        : CDialog(nIDTemplate, pParent), m_log(log), m_name(std::move(name))
    {
    }

    void OnOK() override
    {
        m_log.Add(m_name + ":OnOK");
        CDialog::OnOK();
    }
    void OnCancel() override
    {
        m_log.Add(m_name + ":OnCancel");
        CDialog::OnCancel();
    }

    CEventLog& m_log;
    std::string m_name;
    std::function<void(CLoggingDlg&)> m_onRun;

protected:
    BOOL OnInitDialog() override
    {
        m_log.Add(m_name + (CWnd::FromHandlePermanent(m_hWnd) == this ? ":OnInitDialog" : ":OnInitDialog(unbound)"));
        const BOOL bResult = CDialog::OnInitDialog();
        if (m_onRun)
            PostMessage(kMsgRun);
        return bResult;
    }
    LRESULT OnEnd(WPARAM wParam, LPARAM)
    {
        m_log.Add(m_name + ":end");
        EndDialog(static_cast<int>(wParam));
        return 0;
    }
    LRESULT OnRun(WPARAM, LPARAM)
    {
        m_onRun(*this);
        return 0;
    }
    void OnDestroy() override
    {
        m_log.Add(m_name + ":WM_DESTROY");
        CDialog::OnDestroy();
    }
    void PostNcDestroy() override { m_log.Add(m_name + (m_hWnd ? ":PostNcDestroy(still bound)" : ":PostNcDestroy")); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLoggingDlg, CDialog)
    ON_MESSAGE(kMsgEnd, OnEnd)
    ON_MESSAGE(kMsgRun, OnRun)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

class CPageDlg : public CLoggingDlg {
public:
    explicit CPageDlg(CEventLog& log) : CLoggingDlg(log, "page") {}

    std::wstring m_strName = L"Room";
    int m_nCount = 42;
    int m_nEnable = BST_CHECKED;
    std::wstring m_strDevice = L"Headphones";
    int m_nMode = 1;
    bool m_bExchangeMissingControl = false;
    CSliderCtrl m_level;
    CComboBox m_device;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_LEVEL, m_level);
        DDX_Control(pDX, IDC_DEVICE, m_device);
        DDX_Text(pDX, IDC_NAME, m_strName);
        DDX_Text(pDX, IDC_COUNT, m_nCount);
        DDX_Check(pDX, IDC_ENABLE, m_nEnable);
        DDX_CBString(pDX, IDC_DEVICE, m_strDevice);
        DDX_CBIndex(pDX, IDC_MODE, m_nMode);
        if (m_bExchangeMissingControl)
            DDX_Text(pDX, 999, m_strName);
    }
    BOOL OnInitDialog() override
    {
        for (const wchar_t* pszDevice : {L"Speakers", L"Headphones", L"Line out"})
            SendDlgItemMessageW(m_hWnd, IDC_DEVICE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszDevice));
        for (const wchar_t* pszMode : {L"Off", L"Music", L"Movie"})
            SendDlgItemMessageW(m_hWnd, IDC_MODE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszMode));
        return CLoggingDlg::OnInitDialog();
    }
    void OnNameChange() { m_log.Add("page:EN_CHANGE name"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPageDlg, CLoggingDlg)
    ON_EN_CHANGE(IDC_NAME, OnNameChange)
END_MESSAGE_MAP()

class CNameDlg : public CLoggingDlg {
public:
    using CLoggingDlg::CLoggingDlg;
    std::wstring m_strName = L"initial";

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_NAME, m_strName); }
};

std::wstring ItemText(const CWnd& wnd, int nID)
{
    std::wstring text;
    wnd.GetDlgItemText(nID, text);
    return text;
}

std::string Enabled(const CWnd& wnd, const char* name)
{
    return std::string(name) + (wnd.IsWindowEnabled() ? " enabled" : " disabled");
}

class DialogTest : public FrameworkTest {
protected:
    void SetUp() override
    {
        FrameworkTest::SetUp();
        ASSERT_TRUE(m_host.CreatePopup());
        m_log.Take();
    }
    void TearDown() override
    {
        m_host.DestroyWindow();
        m_log.Take();
        FrameworkTest::TearDown();
    }

    CLogWnd m_host{m_log, "host"};
};

TEST_F(DialogTest, ModelessPageIsBoundBeforeInitDialogAndUnboundAtDestroy)
{
    CPageDlg page(m_log);
    ASSERT_TRUE(page.Create(IDD_PAGE, &m_host));
    ExpectSequence(m_log, {"page:OnInitDialog", "page:EN_CHANGE name"}, "creating a child page");
    EXPECT_EQ(m_host.m_hWnd, ::GetParent(page.m_hWnd));
    EXPECT_TRUE(page.GetStyle() & WS_CHILD);
    EXPECT_FALSE(page.IsModal());

    page.DestroyWindow();
    ExpectSequence(m_log, {"page:WM_DESTROY", "page:PostNcDestroy"}, "destroying a child page");
    EXPECT_EQ(nullptr, page.m_hWnd);
    EXPECT_EQ(nullptr, page.m_level.m_hWnd) << "its controls were unbound with it";
}

TEST_F(DialogTest, DataExchangeLoadsAndSaves)
{
    CPageDlg page(m_log);
    ASSERT_TRUE(page.Create(IDD_PAGE, &m_host));

    EXPECT_EQ(L"Room", ItemText(page, IDC_NAME));
    EXPECT_EQ(L"42", ItemText(page, IDC_COUNT));
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), page.IsDlgButtonChecked(IDC_ENABLE));
    EXPECT_EQ(1, page.m_device.GetCurSel());
    EXPECT_EQ(1, static_cast<int>(SendDlgItemMessageW(page, IDC_MODE, CB_GETCURSEL, 0, 0)));
    EXPECT_EQ(&page.m_level, page.GetDlgItem(IDC_LEVEL));
    EXPECT_EQ(&page.m_device, CWnd::FromHandlePermanent(::GetDlgItem(page, IDC_DEVICE)));

    page.SetDlgItemText(IDC_NAME, L"Studio");
    page.SetDlgItemText(IDC_COUNT, L" -7 ");
    page.CheckDlgButton(IDC_ENABLE, BST_UNCHECKED);
    page.m_device.SetWindowText(L"USB DAC");
    SendDlgItemMessageW(page, IDC_MODE, CB_SETCURSEL, 2, 0);
    ASSERT_TRUE(page.UpdateData(TRUE));
    EXPECT_EQ(L"Studio", page.m_strName);
    EXPECT_EQ(-7, page.m_nCount);
    EXPECT_EQ(BST_UNCHECKED, page.m_nEnable);
    EXPECT_EQ(L"USB DAC", page.m_strDevice);
    EXPECT_EQ(2, page.m_nMode);
    EXPECT_EQ(&page.m_level, page.GetDlgItem(IDC_LEVEL)) << "DDX_Control binds once";

    for (const wchar_t* pszBad : {L"12x", L"", L"99999999999"}) {
        page.SetDlgItemText(IDC_COUNT, pszBad);
        EXPECT_FALSE(page.UpdateData(TRUE)) << testing::PrintToString(std::wstring(pszBad));
        EXPECT_EQ(-7, page.m_nCount);
    }

    // Loading a device: a listed one is selected whatever its case, any
    // other only shows as text.
    page.m_strDevice = L"speakers";
    page.UpdateData(FALSE);
    EXPECT_EQ(0, page.m_device.GetCurSel());
    page.m_strDevice = L"Optical";
    page.UpdateData(FALSE);
    EXPECT_EQ(CB_ERR, page.m_device.GetCurSel());
    std::wstring text;
    page.m_device.GetWindowText(text);
    EXPECT_EQ(L"Optical", text);

    page.m_bExchangeMissingControl = true;
    EXPECT_FALSE(page.UpdateData(FALSE)) << "a control missing from the template must fail the exchange";
    page.DestroyWindow();
    m_log.Take();
}

TEST_F(DialogTest, EnterEscapeAndCloseDoNotCloseAModelessPage)
{
    CLoggingDlg page(m_log, "page");
    ASSERT_TRUE(page.Create(IDD_POPUP_PAGE, &m_host));  // owned, not a child
    m_log.Take();
    HWND hEdit = ::GetDlgItem(page, IDC_NAME);

    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(page, IDOK)));
    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(page, IDCANCEL)));
    MSG enter{hEdit, WM_KEYDOWN, VK_RETURN, 0x001C0001, 0, {}};
    EXPECT_TRUE(::IsDialogMessageW(page, &enter));
    MSG escape{hEdit, WM_KEYDOWN, VK_ESCAPE, 0x00010001, 0, {}};
    EXPECT_TRUE(::IsDialogMessageW(page, &escape));
    page.SendMessage(WM_CLOSE);
    PumpMessages();
    ExpectSequence(m_log, {"page:OnOK", "page:OnCancel", "page:OnOK", "page:OnCancel", "page:OnCancel"},
                   "Enter, Escape and close on a modeless page");
    EXPECT_TRUE(::IsWindow(page.m_hWnd));
    EXPECT_EQ(&page, CWnd::FromHandlePermanent(page.m_hWnd));
    page.DestroyWindow();
    m_log.Take();
}

TEST_F(DialogTest, ModalEndsFromAPostedMessageAndGivesTheOwnerBack)
{
    // No DS_SETFONT: WM_INITDIALOG is the first message, and binds.
    CLoggingDlg dlg(m_log, "modal", IDD_MODAL_NOFONT, &m_host);
    dlg.m_onRun = [&](CLoggingDlg& d) {
        m_log.Add(::GetWindow(d, GW_OWNER) == m_host.m_hWnd ? "owned by host" : "not owned by host");
        m_log.Add(Enabled(m_host, "host"));
        m_log.Add(d.IsModal() ? "modal" : "not modal");
        d.PostMessage(kMsgEnd, 17);
    };
    EXPECT_EQ(17, dlg.DoModal());
    ExpectSequence(m_log,
                   {"modal:OnInitDialog", "owned by host", "host disabled", "modal", "modal:end", "modal:WM_DESTROY",
                    "modal:PostNcDestroy"},
                   "modal ended by a posted message");
    EXPECT_TRUE(m_host.IsWindowEnabled());
    EXPECT_EQ(nullptr, dlg.m_hWnd);
    EXPECT_FALSE(dlg.IsModal());
}

TEST_F(DialogTest, ModalOkSavesDataBeforeClosing)
{
    CNameDlg dlg(m_log, "modal", IDD_MODAL, &m_host);
    dlg.m_onRun = [](CLoggingDlg& d) {
        d.SetDlgItemText(IDC_NAME, L"typed");
        d.PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(d, IDOK)));
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(L"typed", dlg.m_strName);
    ExpectSequence(m_log, {"modal:OnInitDialog", "modal:OnOK", "modal:WM_DESTROY", "modal:PostNcDestroy"},
                   "OK on a modal dialog");
}

TEST_F(DialogTest, ModalOpenedFromAModalHandlerNestsAndUnwindsInOrder)
{
    CLoggingDlg outer(m_log, "outer", IDD_MODAL, &m_host);
    CLoggingDlg inner(m_log, "inner", IDD_MODAL);  // no parent: owned by the active dialog
    inner.m_onRun = [&](CLoggingDlg& d) {
        m_log.Add(::GetWindow(d, GW_OWNER) == outer.m_hWnd ? "inner owned by outer" : "inner not owned by outer");
        m_log.Add(Enabled(outer, "outer"));
        d.EndDialog(7);  // straight from a handler
    };
    outer.m_onRun = [&](CLoggingDlg& d) {
        const INT_PTR nInner = inner.DoModal();
        m_log.Add(Format("inner returned %d", static_cast<int>(nInner)));
        m_log.Add(Enabled(outer, "outer"));
        m_log.Add(d.IsModal() ? "outer still modal" : "outer not modal");
        d.EndDialog(static_cast<int>(nInner) + 1);
    };
    EXPECT_EQ(8, outer.DoModal());
    ExpectSequence(m_log,
                   {"outer:OnInitDialog", "inner:OnInitDialog", "inner owned by outer", "outer disabled",
                    "inner:WM_DESTROY", "inner:PostNcDestroy", "inner returned 7", "outer enabled",
                    "outer still modal", "outer:WM_DESTROY", "outer:PostNcDestroy"},
                   "nested modal dialogs");
    EXPECT_TRUE(m_host.IsWindowEnabled());
}

}  // namespace
