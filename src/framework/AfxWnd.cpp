#include "AfxWnd.h"

#include "AfxDialog.h"
#include "AfxInternal.h"

using namespace afx_internal;

// CWnd's own table is empty: its ON_WM_ handlers are defaults for derived
// tables to name.
const AFX_MSGMAP* CWnd::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY s_entries[] = {{0, 0, 0, 0, nullptr, AfxSig_end, nullptr}};
    static const AFX_MSGMAP s_map = {nullptr, s_entries};
    return &s_map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const
{
    return GetThisMessageMap();
}

// ---- handle map -------------------------------------------------------------

CHandleMap::~CHandleMap()
{
    DeleteTemporaries();
}

CWnd* CHandleMap::LookupPermanent(HWND hWnd) const
{
    ::AcquireSRWLockShared(&m_lock);
    auto it = m_permanent.find(hWnd);
    CWnd* pWnd = it == m_permanent.end() ? nullptr : it->second;
    ::ReleaseSRWLockShared(&m_lock);
    return pWnd;
}

BOOL CHandleMap::SetPermanent(HWND hWnd, CWnd* pWnd)
{
    ::AcquireSRWLockExclusive(&m_lock);
    const bool bInserted = m_permanent.emplace(hWnd, pWnd).second;
    ::ReleaseSRWLockExclusive(&m_lock);
    return bInserted;
}

void CHandleMap::RemovePermanent(HWND hWnd, CWnd* pWnd)
{
    ::AcquireSRWLockExclusive(&m_lock);
    auto it = m_permanent.find(hWnd);
    if (it != m_permanent.end() && it->second == pWnd)
        m_permanent.erase(it);
    ::ReleaseSRWLockExclusive(&m_lock);
}

CWnd* CHandleMap::FromHandleTemporary(HWND hWnd)
{
    if (!::IsWindow(hWnd))
        return nullptr;
    ::AcquireSRWLockExclusive(&m_lock);
    CWnd* pWnd;
    auto it = m_temporary.find(hWnd);
    if (it != m_temporary.end()) {
        pWnd = it->second;
    } else {
        SweepTemporaries();
        pWnd = new CWnd;
        pWnd->m_hWnd = hWnd;
        pWnd->m_bTemporary = true;
        m_temporary.emplace(hWnd, pWnd);
    }
    ::ReleaseSRWLockExclusive(&m_lock);
    return pWnd;
}

void CHandleMap::SweepTemporaries()
{
    for (auto it = m_temporary.begin(); it != m_temporary.end();) {
        if (::IsWindow(it->first)) {
            ++it;
        } else {
            delete it->second;
            it = m_temporary.erase(it);
        }
    }
}

void CHandleMap::DeleteTemporaries()
{
    ::AcquireSRWLockExclusive(&m_lock);
    for (auto& entry : m_temporary)
        delete entry.second;
    m_temporary.clear();
    ::ReleaseSRWLockExclusive(&m_lock);
}

size_t CHandleMap::GetPermanentCount() const
{
    ::AcquireSRWLockShared(&m_lock);
    const size_t n = m_permanent.size();
    ::ReleaseSRWLockShared(&m_lock);
    return n;
}

size_t CHandleMap::GetTemporaryCount() const
{
    ::AcquireSRWLockShared(&m_lock);
    const size_t n = m_temporary.size();
    ::ReleaseSRWLockShared(&m_lock);
    return n;
}

// ---- window procedure and class ---------------------------------------------

namespace afx_internal {

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = LookupPermanentAnyState(hWnd);
    if (!pWnd) {
        // First message of a framework-class window that CreateEx is making.
        pWnd = TakePendingBind(false);
        if (!pWnd || !pWnd->Bind(hWnd))
            return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
        pWnd->m_pfnSuper = ::DefWindowProcW;
    }

    AFX_MANAGE_STATE(pWnd->m_pModuleState);
    const CCurrentMsg msg{nMsg, wParam, lParam};
    void* pPrevMsg = SetCurrentMsg(&msg);
    const LRESULT lResult = pWnd->WindowProc(nMsg, wParam, lParam);
    RestoreCurrentMsg(pPrevMsg);

    // The last message: unbind, then let the owner clean up (it may delete
    // the object, so nothing here touches it afterwards).
    if (nMsg == WM_NCDESTROY)
        pWnd->OnNcDestroyed();
    return lResult;
}

namespace {

constexpr wchar_t kFrameworkClass[] = L"KVFrameworkWnd";

bool RegisterFrameworkWindowClass()
{
    // Looked up each time rather than remembered: a DLL detach removes it.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(ThisModule(), kFrameworkClass, &wc))
        return true;
    wc.lpfnWndProc = AfxWndProc;
    wc.hInstance = ThisModule();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFrameworkClass;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

LPCWSTR FrameworkWindowClass()
{
    return RegisterFrameworkWindowClass() ? kFrameworkClass : nullptr;
}

void UnregisterFrameworkWindowClass()
{
    // A DLL's classes outlive it unless it removes them.
    ::UnregisterClassW(kFrameworkClass, ThisModule());
}

}  // namespace afx_internal

// ---- binding ----------------------------------------------------------------

CWnd::~CWnd()
{
    if (!m_hWnd || m_bTemporary)
        return;
    if (::IsWindow(m_hWnd) && ::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId())
        ::DestroyWindow(m_hWnd);  // unbinds at WM_NCDESTROY when routed here
    if (m_hWnd)
        Detach();
}

HWND CWnd::GetSafeHwnd() const
{
    // Callers may use this on a null object; hide the pointer's origin so the
    // compiler keeps the test that a plain `this` check would let it drop.
    const CWnd* pThis = this;
    asm volatile("" : "+r"(pThis));
    return pThis ? pThis->m_hWnd : nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    return LookupPermanentAnyState(hWnd);
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    if (CWnd* pWnd = LookupPermanentAnyState(hWnd))
        return pWnd;
    return AfxGetModuleState()->m_mapHWND.FromHandleTemporary(hWnd);
}

BOOL CWnd::Bind(HWND hWnd)
{
    if (!hWnd || m_hWnd || m_bTemporary || LookupPermanentAnyState(hWnd))
        return FALSE;
    AFX_MODULE_STATE* pState = AfxGetModuleState();
    if (!pState->m_mapHWND.SetPermanent(hWnd, this))
        return FALSE;
    m_hWnd = hWnd;
    m_pModuleState = pState;
    return TRUE;
}

BOOL CWnd::Attach(HWND hWnd)
{
    return ::IsWindow(hWnd) && Bind(hWnd);
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (!hWnd || m_bTemporary)
        return nullptr;
    if (m_pfnSuper && ::IsWindow(hWnd) &&
        reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)) == AfxWndProc)
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pModuleState->m_mapHWND.RemovePermanent(hWnd, this);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    m_pModuleState = nullptr;
    return hWnd;
}

void CWnd::OnNcDestroyed()
{
    m_pModuleState->m_mapHWND.RemovePermanent(m_hWnd, this);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    m_pModuleState = nullptr;
    PostNcDestroy();
}

BOOL CWnd::BindAndRoute(HWND hWnd)
{
    if (!Bind(hWnd))
        return FALSE;
    auto pfnOld = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
    if (!pfnOld) {  // not ours to subclass (another process's window)
        Detach();
        return FALSE;
    }
    // An unbound framework-class window already runs AfxWndProc.
    m_pfnSuper = pfnOld == AfxWndProc ? ::DefWindowProcW : pfnOld;
    return TRUE;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    return ::IsWindow(hWnd) && BindAndRoute(hWnd);
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    HWND hWndParent = pParent->GetSafeHwnd();
    return hWndParent && SubclassWindow(::GetDlgItem(hWndParent, static_cast<int>(nID)));
}

HWND CWnd::UnsubclassWindow()
{
    return Detach();
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                    LPVOID lpParam)
{
    if (m_hWnd || m_bTemporary)
        return FALSE;
    if (!lpszClassName) {
        LPCWSTR lpszOurs = FrameworkWindowClass();
        if (!lpszOurs)
            return FALSE;
        HWND hWnd;
        {
            CPendingBindScope bind(this, false);  // claimed by the window's first message
            hWnd = ::CreateWindowExW(dwExStyle, lpszOurs, lpszWindowName, dwStyle, x, y, nWidth, nHeight,
                                     hWndParent, nIDorHMenu, ThisModule(), lpParam);
        }
        if (hWnd && m_hWnd != hWnd) {  // its first message found no object waiting
            ::DestroyWindow(hWnd);
            return FALSE;
        }
        return hWnd != nullptr;
    }
    HWND hWnd = ::CreateWindowExW(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth, nHeight,
                                  hWndParent, nIDorHMenu, AfxGetInstanceHandle(), lpParam);
    if (!hWnd)
        return FALSE;
    if (!BindAndRoute(hWnd)) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    HWND hWnd = m_hWnd;
    if (!hWnd)
        return FALSE;
    // A routed window unbinds itself at WM_NCDESTROY, and its owner may
    // delete the object there, so only an unrouted one is detached here.
    const bool bUnbindHere = !m_pfnSuper && !m_bTemporary;
    const BOOL bOk = ::DestroyWindow(hWnd);
    if (bOk && bUnbindHere)
        Detach();
    return bOk;
}

void CWnd::PostNcDestroy() {}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    if (!m_hWnd)
        return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

// ---- dispatch ---------------------------------------------------------------

LRESULT CWnd::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnWndMsg(nMsg, wParam, lParam, &lResult))
        lResult = DefWindowProc(nMsg, wParam, lParam);
    return lResult;
}

LRESULT CWnd::DefWindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, nMsg, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, nMsg, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const CCurrentMsg* pMsg = GetCurrentMsg();
    return pMsg ? DefWindowProc(pMsg->nMsg, pMsg->wParam, pMsg->lParam) : 0;
}

namespace {

bool Matches(const AFX_MSGMAP_ENTRY& e, UINT nMsg, UINT nCode, UINT nID)
{
    if (e.pnRegistered)
        return *e.pnRegistered != 0 && *e.pnRegistered == nMsg;
    if (e.nSig == AfxSig_ctlcolor)
        return nMsg >= WM_CTLCOLORMSGBOX && nMsg <= WM_CTLCOLORSTATIC;
    if (e.nMessage != nMsg)
        return false;
    if (e.nSig == AfxSig_l_wl || (nMsg != WM_COMMAND && nMsg != WM_NOTIFY))
        return true;
    return e.nCode == nCode && nID >= e.nID && nID <= e.nLastID;
}

}  // namespace

BOOL CWnd::OnWndMsg(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    UINT nCode = 0;
    UINT nID = 0;
    if (nMsg == WM_COMMAND) {
        nID = LOWORD(wParam);
        // Menus send code 0 and accelerators 1, both without a control.
        nCode = lParam ? HIWORD(wParam) : 0;
    } else if (nMsg == WM_NOTIFY) {
        const auto* pNMHDR = reinterpret_cast<const NMHDR*>(lParam);
        if (!pNMHDR)
            return FALSE;
        nID = static_cast<UINT>(pNMHDR->idFrom);
        nCode = pNMHDR->code;
    }

    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nSig != AfxSig_end; ++pEntry) {
            if (Matches(*pEntry, nMsg, nCode, nID)) {
                *pResult = Invoke(*pEntry, nMsg, wParam, lParam, nID);
                return TRUE;
            }
        }
    }
    return FALSE;
}

// Results follow what Windows expects: the handler's LRESULT for private
// messages, *pResult for notifications, the brush for WM_CTLCOLOR*, 0 else.
LRESULT CWnd::Invoke(const AFX_MSGMAP_ENTRY& e, UINT nMsg, WPARAM wParam, LPARAM lParam, UINT nID)
{
    switch (e.nSig) {
    case AfxSig_l_wl:
        return (this->*reinterpret_cast<AFX_PMSG_L_WL>(e.pfn))(wParam, lParam);
    case AfxSig_v:
        (this->*e.pfn)();
        return 0;
    case AfxSig_v_u:
        (this->*reinterpret_cast<AFX_PMSG_V_U>(e.pfn))(nID);
        return 0;
    case AfxSig_notify: {
        LRESULT lResult = 0;
        (this->*reinterpret_cast<AFX_PMSG_NOTIFY>(e.pfn))(reinterpret_cast<NMHDR*>(lParam), &lResult);
        return lResult;
    }
    case AfxSig_notify_u: {
        LRESULT lResult = 0;
        (this->*reinterpret_cast<AFX_PMSG_NOTIFY_U>(e.pfn))(nID, reinterpret_cast<NMHDR*>(lParam), &lResult);
        return lResult;
    }
    case AfxSig_scroll:
        (this->*reinterpret_cast<AFX_PMSG_SCROLL>(e.pfn))(LOWORD(wParam), HIWORD(wParam),
                                                          FromHandle(reinterpret_cast<HWND>(lParam)));
        return 0;
    case AfxSig_timer:
        (this->*reinterpret_cast<AFX_PMSG_TIMER>(e.pfn))(static_cast<UINT_PTR>(wParam));
        return 0;
    case AfxSig_ctlcolor:
        return reinterpret_cast<LRESULT>((this->*reinterpret_cast<AFX_PMSG_CTLCOLOR>(e.pfn))(
            reinterpret_cast<HDC>(wParam), FromHandle(reinterpret_cast<HWND>(lParam)), nMsg - WM_CTLCOLORMSGBOX));
    case AfxSig_show:
        (this->*reinterpret_cast<AFX_PMSG_SHOW>(e.pfn))(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));
        return 0;
    case AfxSig_end:
        break;
    }
    return 0;
}

void CWnd::OnHScroll(UINT, UINT, CWnd*) { Default(); }
void CWnd::OnVScroll(UINT, UINT, CWnd*) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnPaint() { Default(); }
HBRUSH CWnd::OnCtlColor(HDC, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }

// ---- thin wrappers ----------------------------------------------------------

namespace {

int TextOf(HWND hWnd, std::wstring& rString)
{
    rString.clear();
    if (!hWnd)
        return 0;
    const int nLength = ::GetWindowTextLengthW(hWnd);
    rString.resize(static_cast<size_t>(nLength) + 1);
    const int nCopied = ::GetWindowTextW(hWnd, rString.data(), nLength + 1);
    rString.resize(nCopied > 0 ? static_cast<size_t>(nCopied) : 0);
    return static_cast<int>(rString.size());
}

}  // namespace

BOOL CWnd::ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
BOOL CWnd::EnableWindow(BOOL bEnable) { return ::EnableWindow(m_hWnd, bEnable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }

BOOL CWnd::SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
{
    return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
}

BOOL CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint)
{
    return ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

BOOL CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint)
{
    return MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top,
                      bRepaint);
}

void CWnd::GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
void CWnd::GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
void CWnd::ScreenToClient(LPPOINT lpPoint) const { ::ScreenToClient(m_hWnd, lpPoint); }
void CWnd::ClientToScreen(LPPOINT lpPoint) const { ::ClientToScreen(m_hWnd, lpPoint); }

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::ClientToScreen(LPRECT lpRect) const
{
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(lpRect), 2);
}

BOOL CWnd::SetWindowText(LPCWSTR lpszString) { return ::SetWindowTextW(m_hWnd, lpszString); }
int CWnd::GetWindowText(std::wstring& rString) const { return TextOf(m_hWnd, rString); }
int CWnd::GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
DWORD CWnd::GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
CWnd* CWnd::GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }
int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

LRESULT CWnd::SendMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, nMsg, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, nMsg, wParam, lParam);
}

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

void CWnd::SetFont(HFONT hFont, BOOL bRedraw)
{
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), bRedraw);
}

HFONT CWnd::GetFont() const { return reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)); }
void CWnd::Invalidate(BOOL bErase) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
BOOL CWnd::UpdateWindow() { return ::UpdateWindow(m_hWnd); }

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
{
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
HDC CWnd::GetDC() { return ::GetDC(m_hWnd); }
int CWnd::ReleaseDC(HDC hDC) { return ::ReleaseDC(m_hWnd, hDC); }
BOOL CWnd::CheckDlgButton(int nIDButton, UINT nCheck) { return ::CheckDlgButton(m_hWnd, nIDButton, nCheck); }
UINT CWnd::IsDlgButtonChecked(int nIDButton) const { return ::IsDlgButtonChecked(m_hWnd, nIDButton); }
BOOL CWnd::SetDlgItemText(int nID, LPCWSTR lpszString) { return ::SetDlgItemTextW(m_hWnd, nID, lpszString); }

int CWnd::GetDlgItemText(int nID, std::wstring& rString) const
{
    return TextOf(::GetDlgItem(m_hWnd, nID), rString);
}
