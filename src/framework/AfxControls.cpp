#include "AfxControls.h"

int CComboBox::GetLBText(int nIndex, std::wstring& rString) const
{
    rString.clear();
    const int nLength = GetLBTextLen(nIndex);
    if (nLength == CB_ERR)
        return CB_ERR;
    rString.resize(static_cast<size_t>(nLength) + 1);
    const int nCopied = static_cast<int>(
        SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(rString.data())));
    rString.resize(nCopied > 0 ? static_cast<size_t>(nCopied) : 0);
    return nCopied;
}

// ---- CFont ------------------------------------------------------------------

CFont::~CFont()
{
    DeleteObject();
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* lpLogFont)
{
    DeleteObject();
    m_hFont = ::CreateFontIndirectW(lpLogFont);
    return m_hFont != nullptr;
}

BOOL CFont::CreatePointFont(int nPointSize, LPCWSTR lpszFaceName, HDC hDC)
{
    HDC hScreenDC = hDC ? nullptr : ::GetDC(nullptr);
    const int nPixelsPerInch = ::GetDeviceCaps(hDC ? hDC : hScreenDC, LOGPIXELSY);
    if (hScreenDC)
        ::ReleaseDC(nullptr, hScreenDC);

    LOGFONTW lf{};
    lf.lfHeight = -::MulDiv(nPointSize, nPixelsPerInch, 720);  // tenths of a point, 72 points an inch
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    if (lpszFaceName)
        ::lstrcpynW(lf.lfFaceName, lpszFaceName, LF_FACESIZE);
    return CreateFontIndirect(&lf);
}

int CFont::GetLogFont(LOGFONTW* pLogFont) const
{
    return m_hFont ? ::GetObjectW(m_hFont, sizeof(LOGFONTW), pLogFont) : 0;
}

BOOL CFont::DeleteObject()
{
    if (!m_hFont)
        return FALSE;
    const BOOL bOk = ::DeleteObject(m_hFont);
    m_hFont = nullptr;
    return bOk;
}

// ---- CToolTipCtrl -----------------------------------------------------------

namespace {

// The smallest tool record every comctl32 version accepts; the full one is
// refused by version 5, which a host without a manifest gives us.
TTTOOLINFOW ToolFor(CWnd* pWnd)
{
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = TTF_IDISHWND;
    HWND hWndParent = ::GetParent(pWnd->m_hWnd);
    ti.hwnd = hWndParent ? hWndParent : pWnd->m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(pWnd->m_hWnd);
    return ti;
}

}  // namespace

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX | dwStyle,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd->GetSafeHwnd());
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCWSTR lpszText, UINT uFlags)
{
    if (!pWnd->GetSafeHwnd())
        return FALSE;
    TTTOOLINFOW ti = ToolFor(pWnd);
    ti.uFlags |= uFlags;
    ti.lpszText = const_cast<LPWSTR>(lpszText);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::DelTool(CWnd* pWnd)
{
    if (!pWnd->GetSafeHwnd())
        return;
    TTTOOLINFOW ti = ToolFor(pWnd);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::UpdateTipText(LPCWSTR lpszText, CWnd* pWnd)
{
    if (!pWnd->GetSafeHwnd())
        return;
    TTTOOLINFOW ti = ToolFor(pWnd);
    ti.lpszText = const_cast<LPWSTR>(lpszText);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}
