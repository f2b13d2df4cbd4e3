#include "ui/MainEffectsDlg.h"

#include "KVEffRsc_ids.h"
#include "app/KVEffectApp.h"
#include "device/EfxCoexistStateListener.h"
#include "device/KVDeviceEndpoint.h"
#include "support/ShowDebugString.h"
#include "ui/ChildDlgEQ.h"
#include "ui/ChildDlgEnhancement.h"
#include "ui/ChildDlgMasterOnOff.h"
#include "ui/ChildDlgQfx.h"
#include "ui/ChildDlgRVX.h"
#include "ui/MasterOnOffPopUpDlg.h"
#include "ui/UIText.h"

#include <algorithm>
#include <new>

BEGIN_MESSAGE_MAP(CMainEffectsDlg, CDialog)
    ON_COMMAND_RANGE(IDC_BTN_PAGE_QFX, IDC_BTN_PAGE_EQ, OnSelectPage)
    ON_MESSAGE(WM_SHOW_POPUP, OnShowPopUp)
    ON_MESSAGE(WM_SHOW_MASTER_POPUP, OnShowMasterPopUp)
END_MESSAGE_MAP()

CMainEffectsDlg::CMainEffectsDlg(CWnd* pParent) : CDialog(IDD_MAINEFFECTS_DLG, pParent) {}

CMainEffectsDlg::~CMainEffectsDlg()
{
    m_hwHook.Release();
    // An owner that skipped CloseMainEffectsDlg must not leak the pages or fonts.
    if (m_pChildDlg || m_pChildDlgMasterOnOff || m_pFontNormal || m_pFontBold || m_pKVDeviceEndpoint)
        CloseMainEffectsDlg();
}

BOOL CMainEffectsDlg::OnInitDialog()
{
    KVTRACE(L"\n CMainEffectsDlg::OnInitDialog()");
    CDialog::OnInitDialog();

    std::wstring strBFFName = KVGetBFFName(this);
    strBFFName.resize(std::min<size_t>(strBFFName.size(), MAX_PATH - 1));
    const INT_PTR nSkin = m_hwHook.Skin(m_hWnd, "IDD_MAINEFFECTS_DLG.INI", strBFFName.c_str());
    KVTRACE(L"\n CMainEffectsDlg::OnInitDialog() m_hwHook.Skin returns %d", static_cast<int>(nSkin));

    TakePlaceholder(IDC_PLACE_MASTER_ONOFF, m_rcMasterOnOff);
    TakePlaceholder(IDC_PLACE_CHILD_DLG, m_rcChildDlg);

    if (CWnd* pButton = GetDlgItem(IDC_BTN_PAGE_QFX)) {
        LOGFONTW lf = {};
        HFONT hFont = pButton->GetFont();
        if (!hFont)
            hFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
        if (::GetObjectW(hFont, sizeof(lf), &lf) == sizeof(lf)) {
            m_pFontNormal = new (std::nothrow) CFont;
            if (m_pFontNormal && !m_pFontNormal->CreateFontIndirect(&lf)) {
                delete m_pFontNormal;
                m_pFontNormal = nullptr;
            }
            lf.lfWeight = FW_BOLD;
            m_pFontBold = new (std::nothrow) CFont;
            if (m_pFontBold && !m_pFontBold->CreateFontIndirect(&lf)) {
                delete m_pFontBold;
                m_pFontBold = nullptr;
            }
        }
    }
    return TRUE;
}

void CMainEffectsDlg::TakePlaceholder(int nID, RECT& rc)
{
    CWnd* pPlace = GetDlgItem(nID);
    if (!pPlace)
        return;
    pPlace->GetWindowRect(&rc);
    ScreenToClient(&rc);
    pPlace->ShowWindow(SW_HIDE);
}

void CMainEffectsDlg::PlacePage(CWnd* pPage, const RECT& rc)
{
    pPage->SetWindowPos(nullptr, rc.left, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    pPage->ShowWindow(SW_SHOW);
}

LRESULT CMainEffectsDlg::SetDeviceEndpoint(CKVDeviceEndpoint* pKVDeviceEndpoint)
{
    m_pKVDeviceEndpoint = pKVDeviceEndpoint;
    if (m_pKVDeviceEndpoint && m_hWnd) {
        std::vector<HWND>& arr = m_pKVDeviceEndpoint->m_arrNotifyWnd;
        if (std::find(arr.begin(), arr.end(), m_hWnd) == arr.end())
            arr.push_back(m_hWnd);
        m_pKVDeviceEndpoint->m_hWndMainEffects = m_hWnd;
    }
    CloseChildDlgs();

    m_pChildDlg = new (std::nothrow) CChildDlgQfx;
    if (m_pChildDlg) {
        m_pChildDlg->Create(IDD_DLG_QFX, this);
        m_pChildDlg->SetDeviceEndpoint(m_pKVDeviceEndpoint);
        PlacePage(m_pChildDlg, m_rcChildDlg);
    }
    SetPageButtons(IDC_BTN_PAGE_QFX);

    // A second call replaces the master page rather than leaking it.
    CloseMasterOnOff();
    m_pChildDlgMasterOnOff = new (std::nothrow) CChildDlgMasterOnOff;
    if (m_pChildDlgMasterOnOff) {
        m_pChildDlgMasterOnOff->m_bTransparent = TRUE;
        m_pChildDlgMasterOnOff->Create(IDD_DLG_MASTER_ONOFF, this);
        m_pChildDlgMasterOnOff->SetDeviceEndpoint(m_pKVDeviceEndpoint);
        PlacePage(m_pChildDlgMasterOnOff, m_rcMasterOnOff);
        // Made last but shown first: Tab reaches the switch before the page
        // buttons, in the order of the layout.
        if (CWnd* pPlace = GetDlgItem(IDC_PLACE_MASTER_ONOFF))
            m_pChildDlgMasterOnOff->SetWindowPos(pPlace->GetSafeHwnd(), 0, 0, 0, 0,
                                                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return 1;
}

void CMainEffectsDlg::OnSelectPage(UINT nID)
{
    CloseChildDlgs();
    struct PageOfButton {
        UINT nButton;
        UINT nTemplate;
        CChildDlg* (*pfnNew)();
    };
    static const PageOfButton kPages[] = {
        {IDC_BTN_PAGE_QFX, IDD_DLG_QFX, []() -> CChildDlg* { return new (std::nothrow) CChildDlgQfx; }},
        {IDC_BTN_PAGE_ENHANCEMENT, IDD_DLG_ENHANCEMENT,
         []() -> CChildDlg* { return new (std::nothrow) CChildDlgEnhancement; }},
        {IDC_BTN_PAGE_RVX, IDD_DLG_RVX, []() -> CChildDlg* { return new (std::nothrow) CChildDlgRVX; }},
        {IDC_BTN_PAGE_EQ, IDD_DLG_EQ, []() -> CChildDlg* { return new (std::nothrow) CChildDlgEQ; }},
    };
    for (const PageOfButton& page : kPages) {
        if (page.nButton != nID)
            continue;
        m_pChildDlg = page.pfnNew();
        if (m_pChildDlg)
            m_pChildDlg->Create(page.nTemplate, this);
        break;
    }
    if (m_pChildDlg) {
        m_pChildDlg->SetDeviceEndpoint(m_pKVDeviceEndpoint);
        PlacePage(m_pChildDlg, m_rcChildDlg);
    }
    SetPageButtons(nID);
}

void CMainEffectsDlg::SetPageButtons(UINT nSelectedID)
{
    for (UINT nID = IDC_BTN_PAGE_QFX; nID <= IDC_BTN_PAGE_EQ; ++nID) {
        CWnd* pButton = GetDlgItem(static_cast<int>(nID));
        if (!pButton)
            continue;
        const bool bSelected = nID == nSelectedID;
        pButton->EnableWindow(bSelected ? FALSE : TRUE);
        if (CFont* pFont = bSelected ? m_pFontBold : m_pFontNormal)
            pButton->SetFont(*pFont, TRUE);
    }
}

void CMainEffectsDlg::CloseChildDlgs()
{
    KVTRACE(L"\n CMainEffectsDlg::CloseChildDlgs()");
    if (m_pChildDlg) {
        m_pChildDlg->ReleaseDeviceEndpoint();
        m_pChildDlg->DestroyWindow();
        delete m_pChildDlg;
        m_pChildDlg = nullptr;
    }
    KVTRACE(L"\n CMainEffectsDlg::CloseChildDlgs() ok");
}

void CMainEffectsDlg::CloseMasterOnOff()
{
    if (m_pChildDlgMasterOnOff) {
        m_pChildDlgMasterOnOff->ReleaseDeviceEndpoint();
        m_pChildDlgMasterOnOff->DestroyWindow();
        delete m_pChildDlgMasterOnOff;
        m_pChildDlgMasterOnOff = nullptr;
    }
}

void CMainEffectsDlg::CloseMainEffectsDlg()
{
    KVTRACE(L"\n CMainEffectsDlg::CloseMainEffectsDlg()");
    delete m_pFontNormal;
    m_pFontNormal = nullptr;
    delete m_pFontBold;
    m_pFontBold = nullptr;
    if (m_pKVDeviceEndpoint) {
        m_pKVDeviceEndpoint->RemoveNotifyWindow(m_hWnd);
        m_pKVDeviceEndpoint->m_hWndMainEffects = nullptr;
    }
    m_pKVDeviceEndpoint = nullptr;
    CloseChildDlgs();
    CloseMasterOnOff();
    KVTRACE(L"\n CMainEffectsDlg::CloseMainEffectsDlg() ok");
}

LRESULT CMainEffectsDlg::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_PAINT) {
        if (m_pChildDlgMasterOnOff && m_pChildDlgMasterOnOff->GetSafeHwnd())
            m_pChildDlgMasterOnOff->PostMessage(WM_PAINT, wParam, lParam);
        if (m_pChildDlg && m_pChildDlg->GetSafeHwnd())
            m_pChildDlg->PostMessage(WM_PAINT, wParam, lParam);
    } else if (nMsg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        return 0;
    } else if (nMsg == WM_SYSCOMMAND && wParam == SC_CLOSE) {
        KVTRACE(L"\n CMainEffectsDlg::WindowProc(%d) SC_CLOSE", WM_SYSCOMMAND);
    }
    return CDialog::WindowProc(nMsg, wParam, lParam);
}

LRESULT CMainEffectsDlg::OnShowMasterPopUp(WPARAM, LPARAM)
{
    if (!m_pKVDeviceEndpoint)
        return 0;
    {
        CMasterOnOffPopUpDlg dlg(m_pKVDeviceEndpoint->m_dwVendorID, 1);
        if (!dlg.m_bDisablePopUp) {
            std::wstring strTechnology;
            if (m_pKVDeviceEndpoint->m_pEfxCoexistStateListener)
                strTechnology = m_pKVDeviceEndpoint->m_pEfxCoexistStateListener->GetTechnologyName();
            if (!strTechnology.empty())
                dlg.m_strTechnology = strTechnology;
            dlg.DoModal();
        }
    }
    // The modal loop let the session's messages through; rebuild the page so
    // its feature objects are bound afresh either way.
    for (UINT nID = IDC_BTN_PAGE_QFX; nID <= IDC_BTN_PAGE_EQ; ++nID) {
        CWnd* pButton = GetDlgItem(static_cast<int>(nID));
        if (pButton && !pButton->IsWindowEnabled()) {
            OnSelectPage(nID);
            break;
        }
    }
    return 0;
}

LRESULT CMainEffectsDlg::OnShowPopUp(WPARAM, LPARAM)
{
    CMasterOnOffPopUpDlg dlg(m_pKVDeviceEndpoint ? m_pKVDeviceEndpoint->m_dwVendorID : kDefaultVendorID, 0);
    if (!dlg.m_bDisablePopUp)
        dlg.DoModal();
    return 0;
}
