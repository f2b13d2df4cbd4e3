#include "ui/ChildDlg.h"

#include "app/KVEffectApp.h"
#include "device/KVDeviceEndpoint.h"
#include "support/ShowDebugString.h"

#include <algorithm>
#include <cwchar>

// Both dispatch through the virtual operation, so a page's override runs.
BEGIN_MESSAGE_MAP(CChildDlg, CDialog)
    ON_MESSAGE(WM_DEVICE_ENDPOINT_CHANGE, OnDeviceEndpointChange)
    ON_MESSAGE(WM_MASTER_ONOFF_CHANGE, OnMasterOnOffChange)
END_MESSAGE_MAP()

CChildDlg::~CChildDlg()
{
    m_hwHook.Release();
}

BOOL CChildDlg::OnInitDialog()
{
    KVTRACE(L"\n CChildDlg::OnInitDialog()");
    CDialog::OnInitDialog();
    const std::wstring strBFFName = KVGetBFFName(this);
    const size_t n = std::min<size_t>(strBFFName.size(), std::size(m_szBFFName) - 1);
    wmemcpy(m_szBFFName, strBFFName.c_str(), n);
    m_szBFFName[n] = L'\0';
    return TRUE;
}

LRESULT CChildDlg::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_NOTIFY)
        return OnTTNeedText(reinterpret_cast<NMHDR*>(lParam), wParam, lParam);
    if (nMsg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        return 0;
    // The pointer over a child, passed up by the child's default handling.
    if (nMsg == WM_SETCURSOR)
        RelayToSliderTips(reinterpret_cast<HWND>(wParam), HIWORD(lParam));
    // Gone before the sliders it watches: left to go after them, it left a
    // few records of each slider behind at every page (Wine's tooltips).
    if (nMsg == WM_DESTROY && m_ctlSliderTips.GetSafeHwnd())
        m_ctlSliderTips.DestroyWindow();
    // Taken before the handler reads the driver, so that a change made while
    // it reads is posted again.
    if (nMsg >= WM_QFX_DRIVER_CHANGE && nMsg <= WM_EQ_DRIVER_CHANGE_LAST)
        TakePending(nMsg, wParam, lParam);
    return CDialog::WindowProc(nMsg, wParam, lParam);
}

BOOL CChildDlg::PostDriverChange(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    HWND hWnd = m_hWnd;
    if (!hWnd)
        return FALSE;
    AcquireSRWLockExclusive(&m_pendingLock);
    if (FindPending(nMsg, wParam, lParam) >= 0) {
        ReleaseSRWLockExclusive(&m_pendingLock);
        return TRUE;
    }
    // Past the table's room every notification is posted as it comes.
    const bool bTracked = m_nPending < kMaxPending;
    if (bTracked)
        m_pending[m_nPending++] = {nMsg, wParam, lParam};
    const BOOL bPosted = ::PostMessageW(hWnd, nMsg, wParam, lParam);
    if (!bPosted && bTracked)
        --m_nPending;  // still the last entry: the lock is held
    ReleaseSRWLockExclusive(&m_pendingLock);
    return bPosted;
}

void CChildDlg::TakePending(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    AcquireSRWLockExclusive(&m_pendingLock);
    const int i = FindPending(nMsg, wParam, lParam);
    if (i >= 0)
        m_pending[i] = m_pending[--m_nPending];
    ReleaseSRWLockExclusive(&m_pendingLock);
}

int CChildDlg::FindPending(UINT nMsg, WPARAM wParam, LPARAM lParam) const
{
    for (int i = 0; i < m_nPending; ++i) {
        const PendingPost& p = m_pending[i];
        if (p.nMsg == nMsg && p.wParam == wParam && p.lParam == lParam)
            return i;
    }
    return -1;
}

LRESULT CChildDlg::SetDeviceEndpoint(CKVDeviceEndpoint* pKVDeviceEndpoint)
{
    CloseDriver();
    m_pKVDeviceEndpoint = pKVDeviceEndpoint;
    if (m_pKVDeviceEndpoint && m_hWnd) {
        std::vector<HWND>& arr = m_pKVDeviceEndpoint->m_arrNotifyWnd;
        if (std::find(arr.begin(), arr.end(), m_hWnd) == arr.end())
            arr.push_back(m_hWnd);
    }
    return OnDeviceEndpointChange(0, 0);
}

void CChildDlg::UpdateUI()
{
    if (m_hWnd)
        KVTRACE(L"\n CChildDlg::UpdateUI()");
}

void CChildDlg::CloseDriver()
{
    KVTRACE(L"\n CChildDlg::CloseDriver()");
}

void CChildDlg::ReleaseDeviceEndpoint()
{
    CloseDriver();
    if (m_pKVDeviceEndpoint && m_hWnd)
        m_pKVDeviceEndpoint->RemoveNotifyWindow(m_hWnd);
    m_pKVDeviceEndpoint = nullptr;
}

LRESULT CChildDlg::OnDeviceEndpointChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlg::OnDeviceEndpointChange()");
    CloseDriver();
    return 0;
}

LRESULT CChildDlg::OnMasterOnOffChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlg::OnMasterOnOffChange()");
    UpdateUI();
    return 0;
}

void CChildDlg::GetEffectInfo(ULONGLONG dwEffectMask, BOOL* pbMasterOn, BOOL* pbEffectOn)
{
    BOOL bMasterOn = TRUE, bEffectOn = FALSE;
    if (m_pKVDeviceEndpoint) {
        bMasterOn = m_pKVDeviceEndpoint->m_bMasterOn;
        if (!bMasterOn) {
            const ULONGLONG dwEffectInfo = m_pKVDeviceEndpoint->m_dwEffectInfo;
            KVTRACE(L"\n[%s] LPARAM CKVDeviceEndpoint::GetEffectInfo() 0x%x", L"UI", static_cast<unsigned>(dwEffectInfo));
            bEffectOn = (dwEffectInfo & dwEffectMask) == dwEffectMask;
        }
    }
    if (pbMasterOn)
        *pbMasterOn = bMasterOn;
    if (pbEffectOn)
        *pbEffectOn = bEffectOn;
}

void CChildDlg::DoTTNeedText(NMTTDISPINFOW*)
{
    KVTRACE(L"\n CChildDlg::DoTTNeedText()");
}

BOOL CChildDlg::OnTTNeedText(NMHDR* pNMHDR, WPARAM, LPARAM)
{
    if (!pNMHDR || pNMHDR->code != TTN_NEEDTEXTW)
        return FALSE;
    DoTTNeedText(reinterpret_cast<NMTTDISPINFOW*>(pNMHDR));
    return TRUE;
}

BOOL CChildDlg::SessionBinding(IKVDevice** ppDevice, IKVEndpoint** ppEndpoint) const
{
    *ppDevice = m_pKVDeviceEndpoint ? m_pKVDeviceEndpoint->m_pDevice : nullptr;
    *ppEndpoint = m_pKVDeviceEndpoint ? m_pKVDeviceEndpoint->m_pEndpoint : nullptr;
    return *ppDevice || *ppEndpoint;
}

DWORD CChildDlg::PresetLanguage() const
{
    constexpr DWORD kEnglish = 1033;
    return m_pKVDeviceEndpoint ? static_cast<DWORD>(m_pKVDeviceEndpoint->m_dwLanguageID) : kEnglish;
}

void CChildDlg::TraceLine(const wchar_t* pszLine)
{
    if (pszLine)
        KVTRACE(L"%s", pszLine);
}

void CChildDlg::AddSliderTooltips()
{
    if (!m_hWnd || (!m_ctlSliderTips.GetSafeHwnd() && !m_ctlSliderTips.Create(this)))
        return;
    for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        wchar_t szClass[32] = {};
        ::GetClassNameW(hChild, szClass, static_cast<int>(std::size(szClass)));
        if (_wcsicmp(szClass, TRACKBAR_CLASSW) == 0)
            m_ctlSliderTips.AddTool(CWnd::FromHandle(hChild), LPSTR_TEXTCALLBACKW, 0);
    }
}

// The tooltip hears of the pointer from the page rather than by subclassing
// each slider: comctl32's subclass looks itself up in a window property on
// every message the slider gets, a trip to the server under Wine.
void CChildDlg::RelayToSliderTips(HWND hChild, UINT nMouseMsg)
{
    if (!m_ctlSliderTips.GetSafeHwnd() || !hChild || nMouseMsg < WM_MOUSEFIRST || nMouseMsg > WM_MOUSELAST)
        return;
    const DWORD dwPos = ::GetMessagePos();
    POINT pt = {static_cast<short>(LOWORD(dwPos)), static_cast<short>(HIWORD(dwPos))};
    MSG msg = {hChild, nMouseMsg, 0, 0, static_cast<DWORD>(::GetMessageTime()), pt};
    ::ScreenToClient(hChild, &pt);
    msg.lParam = MAKELPARAM(pt.x, pt.y);
    m_ctlSliderTips.RelayEvent(&msg);
}

// A range a driver may make huge (a tiny granularity) would ask the slider
// for millions of ticks; past a thousand they are spaced out.
static int TickFrequency(int nMin, int nMax)
{
    int nFreq = nMax / 10;  // below 1: no ticks between the ends
    if (nFreq < 1)
        return 0;
    const long long nSpan = static_cast<long long>(nMax) - nMin;
    if (nSpan / nFreq > 1000)
        nFreq = static_cast<int>(nSpan / 1000 + 1);
    return nFreq;
}

void CChildDlg::SetUpSlider(CSliderCtrl& slider, int nMin, int nMax, int nPos)
{
    if (!slider.GetSafeHwnd())
        return;
    slider.SetRange(nMin, nMax, TRUE);
    slider.SetLineSize(1);
    slider.SetPageSize(10);
    slider.SetTicFreq(TickFrequency(nMin, nMax));
    slider.SetPos(nPos);
}

void CChildDlg::ShowItem(CWnd* pParent, int nID, BOOL bShow)
{
    if (CWnd* p = pParent->GetDlgItem(nID))
        p->ShowWindow(bShow ? SW_SHOW : SW_HIDE);
}

void CChildDlg::EnableItem(CWnd* pParent, int nID, BOOL bEnable)
{
    if (CWnd* p = pParent->GetDlgItem(nID))
        p->EnableWindow(bEnable);
}

UINT TooltipControlId(const NMTTDISPINFOW* pTTT)
{
    if (!pTTT)
        return 0;
    if (pTTT->uFlags & TTF_IDISHWND)
        return static_cast<UINT>(::GetDlgCtrlID(reinterpret_cast<HWND>(pTTT->hdr.idFrom)));
    return static_cast<UINT>(pTTT->hdr.idFrom);
}
