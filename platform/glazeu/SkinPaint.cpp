#include "SkinPaint.h"

#include "Skin.h"

#include <algorithm>
#include <string>

namespace glazeu {

namespace {

// Puts back every object, colour and clip a painter set in the DC.
class CSavedDC
{
public:
    explicit CSavedDC(HDC hdc) : m_hdc(hdc), m_nSaved(SaveDC(hdc)) {}
    ~CSavedDC() { RestoreDC(m_hdc, m_nSaved); }
    CSavedDC(const CSavedDC&) = delete;
    CSavedDC& operator=(const CSavedDC&) = delete;

private:
    HDC m_hdc;
    int m_nSaved;
};

// What every control painter starts from: the DC put back afterwards, the
// skin's colours, and the control's client rectangle and style.
struct CControlPaint {
    CControlPaint(HWND hWnd, HDC hdc, const CSkin& skin)
        : m_saved(hdc), m_colors(skin.Colors()), m_lStyle(GetWindowLongW(hWnd, GWL_STYLE))
    {
        GetClientRect(hWnd, &m_rc);
    }
    CSavedDC m_saved;
    const CSkinColors& m_colors;
    const LONG m_lStyle;
    RECT m_rc = {};
};

// The colours of a button face in one state.
struct CFace {
    COLORREF m_crFill, m_crBorder, m_crText;
};

// The text the window keeps, read without WM_GETTEXT (see CControlState);
// at most 4096 characters.
std::wstring WindowText(HWND hWnd)
{
    wchar_t szShort[128];
    const int n = InternalGetWindowText(hWnd, szShort, 128);
    if (n < 127)
        return std::wstring(szShort, static_cast<size_t>(std::max(0, n)));
    std::wstring s(4097, L'\0');
    s.resize(static_cast<size_t>(std::max(0, InternalGetWindowText(hWnd, s.data(), 4097))));
    return s;
}

void Fill(HDC hdc, const RECT& rc, COLORREF cr)
{
    SetDCBrushColor(hdc, cr);
    FillRect(hdc, &rc, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Frame(HDC hdc, const RECT& rc, COLORREF cr)
{
    SetDCBrushColor(hdc, cr);
    FrameRect(hdc, &rc, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// Outlined in crBorder and filled with crFill; a radius of 0 gives square corners.
void Box(HDC hdc, const RECT& rc, int nRadius, COLORREF crFill, COLORREF crBorder)
{
    SelectObject(hdc, GetStockObject(DC_BRUSH));
    SelectObject(hdc, GetStockObject(DC_PEN));
    SetDCBrushColor(hdc, crFill);
    SetDCPenColor(hdc, crBorder);
    RoundRect(hdc, rc.left, rc.top, rc.right, rc.bottom, nRadius * 2, nRadius * 2);
}

// Underlined access keys only once the user has asked for them, as the
// platform's own controls do.
UINT PrefixFlags(const CControlState& state)
{
    return state.m_bHideAccel ? DT_HIDEPREFIX : 0;
}

// Selects the control's font under the skin; returns its cell height.
int SelectFont(HDC hdc, const CControlState& state, const CSkin& skin)
{
    SelectObject(hdc, skin.FontFor(state.m_hFont));
    TEXTMETRICW tm;
    return GetTextMetricsW(hdc, &tm) ? std::max<int>(8, tm.tmHeight) : skin.Pixels();
}

// Always drawn when the control has the focus, whatever the keyboard cue
// state says: the skin must not hide where the keyboard is.
void FocusAround(HDC hdc, RECT rc, const RECT& rcClient)
{
    IntersectRect(&rc, &rc, &rcClient);
    if (!IsRectEmpty(&rc)) {
        SetTextColor(hdc, RGB(0, 0, 0));
        SetBkColor(hdc, RGB(255, 255, 255));
        DrawFocusRect(hdc, &rc);
    }
}

// Draws a button's text as its BS_ alignment and BS_MULTILINE ask; returns
// the rectangle the text covers.
RECT DrawLabel(HDC hdc, const RECT& rc, LONG lStyle, const std::wstring& text, UINT uDefaultAlign, UINT uPrefix)
{
    UINT uAlign = uDefaultAlign;
    switch (lStyle & BS_CENTER) {
    case BS_LEFT: uAlign = DT_LEFT; break;
    case BS_RIGHT: uAlign = DT_RIGHT; break;
    case BS_CENTER: uAlign = DT_CENTER; break;
    }
    const UINT uFlags = uAlign | uPrefix | ((lStyle & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE);
    RECT rcCalc = rc;
    DrawTextW(hdc, text.c_str(), -1, &rcCalc, uFlags | DT_CALCRECT);
    const int cx = std::min(rcCalc.right - rcCalc.left, rc.right - rc.left);
    const int cy = std::min(rcCalc.bottom - rcCalc.top, rc.bottom - rc.top);
    int x = rc.left, y = rc.top + (rc.bottom - rc.top - cy) / 2;
    if (uAlign == DT_CENTER)
        x += (rc.right - rc.left - cx) / 2;
    else if (uAlign == DT_RIGHT)
        x = rc.right - cx;
    if ((lStyle & BS_VCENTER) == BS_TOP)
        y = rc.top;
    else if ((lStyle & BS_VCENTER) == BS_BOTTOM)
        y = rc.bottom - cy;
    RECT rcDraw = {rc.left, y, rc.right, y + cy};
    DrawTextW(hdc, text.c_str(), -1, &rcDraw, uFlags);
    return {x, y, x + cx, y + cy};
}

CFace FaceFor(const CSkinColors& c, bool bOn, bool bPushed, bool bEnabled, bool bDefault)
{
    if (bOn && !bEnabled) {
        const COLORREF crFill = Mix(c.m_crAccent, c.m_crBackground, 55);
        return {crFill, crFill, Mix(c.m_crAccentText, crFill, 45)};
    }
    if (bOn)
        return {bPushed ? Mix(c.m_crAccent, c.m_crText, 20) : c.m_crAccent, c.m_crAccent, c.m_crAccentText};
    if (!bEnabled)
        return {Mix(c.m_crFace, c.m_crBackground, 50), Mix(c.m_crBorder, c.m_crBackground, 50), c.m_crDisabledText};
    if (bPushed)
        return {Mix(c.m_crFace, c.m_crAccent, 30), c.m_crAccent, c.m_crText};
    return {c.m_crFace, bDefault ? c.m_crAccent : c.m_crBorder, c.m_crText};
}

// A push-button face with its label. nSegment places one segment of a row
// of buttons that join into one shape (a switch): only the row's outer
// corners are round, and neighbours share the line between them.
void PaintFace(HDC hdc, const RECT& rc, const CFace& face, int nRadius, int nSegment, int nSegments, LONG lStyle,
               const std::wstring& text, UINT uPrefix, bool bFocus)
{
    CSavedDC saved(hdc);
    RECT rcBox = rc;
    if (nSegments > 1) {
        IntersectClipRect(hdc, rc.left, rc.top, rc.right, rc.bottom);
        if (nSegment > 0)
            rcBox.left -= nRadius * 2;
        if (nSegment < nSegments - 1)
            rcBox.right += nRadius * 2 + 1;
    }
    Box(hdc, rcBox, nRadius, face.m_crFill, face.m_crBorder);
    SetTextColor(hdc, face.m_crText);
    RECT rcText = rc;
    InflateRect(&rcText, -std::max(2, nRadius), -1);
    DrawLabel(hdc, rcText, lStyle, text, DT_CENTER, uPrefix);
    if (bFocus) {
        RECT rcFocus = rc;
        InflateRect(&rcFocus, -3, -3);
        FocusAround(hdc, rcFocus, rc);
    }
}

void PaintCheckMark(HDC hdc, const RECT& rcBox, COLORREF cr)
{
    const int n = rcBox.right - rcBox.left;
    LOGBRUSH lb = {BS_SOLID, cr, 0};
    HPEN hPen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                             static_cast<DWORD>(std::max(1, n / 7)), &lb, 0, nullptr);
    if (!hPen)
        return;
    HGDIOBJ hOld = SelectObject(hdc, hPen);
    const POINT pts[3] = {{rcBox.left + n * 23 / 100, rcBox.top + n * 52 / 100},
                          {rcBox.left + n * 42 / 100, rcBox.top + n * 71 / 100},
                          {rcBox.left + n * 77 / 100, rcBox.top + n * 31 / 100}};
    Polyline(hdc, pts, 3);
    SelectObject(hdc, hOld);
    DeleteObject(hPen);
}

bool IsEtched(LONG lStyle)
{
    const LONG lType = lStyle & SS_TYPEMASK;
    return lType == SS_ETCHEDHORZ || lType == SS_ETCHEDVERT || lType == SS_ETCHEDFRAME;
}

// An etched line or frame, placed by the window's outer rectangle: some
// versions give these statics a border of their own, and the line belongs
// where that border is.
void PaintEtched(HDC hdc, const RECT& rcWindow, LONG lStyle, const CSkinColors& c)
{
    Fill(hdc, rcWindow, c.m_crBackground);
    switch (lStyle & SS_TYPEMASK) {
    case SS_ETCHEDHORZ:
        Fill(hdc, {rcWindow.left, rcWindow.top, rcWindow.right, rcWindow.top + 1}, c.m_crLine);
        break;
    case SS_ETCHEDVERT:
        Fill(hdc, {rcWindow.left, rcWindow.top, rcWindow.left + 1, rcWindow.bottom}, c.m_crLine);
        break;
    default:
        Frame(hdc, rcWindow, c.m_crLine);
        break;
    }
}

// A check box or radio button: the mark's box, then the label beside it.
void PaintCheck(HDC hdc, const RECT& rc, const CSkinColors& c, int nUnit, bool bRadio, UINT uState, bool bEnabled,
                bool bFocus, LONG lStyle, const std::wstring& text, UINT uPrefix)
{
    const int nBox = std::min<int>(nUnit * 11 / 13, rc.bottom - rc.top);
    const int nGap = std::max(4, nBox / 2);
    const bool bRightBox = (lStyle & BS_LEFTTEXT) != 0;
    RECT rcBox;
    rcBox.left = bRightBox ? rc.right - nBox : rc.left;
    rcBox.top = rc.top + (rc.bottom - rc.top - nBox) / 2;
    if ((lStyle & BS_VCENTER) == BS_TOP)
        rcBox.top = rc.top + std::max(0, (nUnit - nBox) / 2);
    else if ((lStyle & BS_VCENTER) == BS_BOTTOM)
        rcBox.top = rc.bottom - nBox - std::max(0, (nUnit - nBox) / 2);
    rcBox.right = rcBox.left + nBox;
    rcBox.bottom = rcBox.top + nBox;

    const bool bChecked = (uState & BST_CHECKED) != 0, bMixed = (uState & BST_INDETERMINATE) != 0;
    COLORREF crBorder = (uState & BST_PUSHED) || bChecked ? c.m_crAccent : c.m_crBorder;
    COLORREF crFill = bChecked && !bRadio ? c.m_crAccent : c.m_crField;
    COLORREF crMark = bRadio ? c.m_crAccent : c.m_crAccentText;
    if (!bEnabled) {
        crBorder = Mix(crBorder, c.m_crBackground, 50);
        crFill = Mix(crFill, c.m_crBackground, 50);
        crMark = Mix(crMark, crFill, 40);
    }
    if (bRadio) {
        SelectObject(hdc, GetStockObject(DC_BRUSH));
        SelectObject(hdc, GetStockObject(DC_PEN));
        SetDCBrushColor(hdc, crFill);
        SetDCPenColor(hdc, crBorder);
        Ellipse(hdc, rcBox.left, rcBox.top, rcBox.right, rcBox.bottom);
        if (bChecked) {
            RECT rcDot = rcBox;
            InflateRect(&rcDot, -std::max(2, nBox * 27 / 100), -std::max(2, nBox * 27 / 100));
            SetDCBrushColor(hdc, crMark);
            SetDCPenColor(hdc, crMark);
            Ellipse(hdc, rcDot.left, rcDot.top, rcDot.right, rcDot.bottom);
        }
    } else {
        Box(hdc, rcBox, std::max(1, nBox / 6), crFill, crBorder);
        if (bChecked) {
            PaintCheckMark(hdc, rcBox, crMark);
        } else if (bMixed) {
            RECT rcMixed = rcBox;
            InflateRect(&rcMixed, -nBox / 4, -nBox / 4);
            Fill(hdc, rcMixed, bEnabled ? c.m_crAccent : crBorder);
        }
    }

    RECT rcText = rc;
    if (bRightBox)
        rcText.right = rcBox.left - nGap;
    else
        rcText.left = rcBox.right + nGap;
    SetTextColor(hdc, bEnabled ? c.m_crText : c.m_crDisabledText);
    RECT rcFocus = DrawLabel(hdc, rcText, lStyle, text, DT_LEFT, uPrefix);
    if (IsRectEmpty(&rcFocus))
        rcFocus = rcBox;
    InflateRect(&rcFocus, 2, 1);
    if (bFocus)
        FocusAround(hdc, rcFocus, rc);
}

void DrawChannel(HDC hdc, HWND hTrackbar, RECT rc, bool bVertical, bool bEnabled, const CSkin& skin)
{
    const CSkinColors& c = skin.Colors();
    const int t = std::max(3, skin.Pixels() / 4);
    if (bVertical) {
        rc.left = (rc.left + rc.right) / 2 - t / 2;
        rc.right = rc.left + t;
    } else {
        rc.top = (rc.top + rc.bottom) / 2 - t / 2;
        rc.bottom = rc.top + t;
    }
    const COLORREF crChannel = bEnabled ? c.m_crChannel : Mix(c.m_crChannel, c.m_crBackground, 50);
    Box(hdc, rc, t / 2, crChannel, crChannel);
    // A horizontal slider shows how far it is turned up.
    RECT rcThumb = {};
    if (!bVertical && bEnabled && SendMessageW(hTrackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&rcThumb)) >= 0) {
        RECT rcDone = rc;
        rcDone.right = std::min<LONG>(rc.right, (rcThumb.left + rcThumb.right) / 2);
        if (rcDone.right > rcDone.left)
            Box(hdc, rcDone, t / 2, c.m_crAccent, c.m_crAccent);
    }
}

RECT ChannelRect(HWND hTrackbar, bool bVertical)
{
    RECT rc = {};
    SendMessageW(hTrackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&rc));
    // Some versions report a vertical trackbar's channel lying down.
    if (bVertical && rc.right - rc.left > rc.bottom - rc.top)
        rc = {rc.top, rc.left, rc.bottom, rc.right};
    return rc;
}

// The tics where the trackbar itself puts them: both ends and every tic it
// holds, on the sides its style names.
void DrawTics(HDC hdc, HWND hTrackbar, LONG lStyle, bool bEnabled, const CSkinColors& c)
{
    const bool bVertical = (lStyle & TBS_VERT) != 0;
    const LONG nMin = static_cast<LONG>(SendMessageW(hTrackbar, TBM_GETRANGEMIN, 0, 0));
    const LONG nMax = static_cast<LONG>(SendMessageW(hTrackbar, TBM_GETRANGEMAX, 0, 0));
    const LONG nRange = std::max<LONG>(1, nMax - nMin);
    RECT rcThumb = {};
    SendMessageW(hTrackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&rcThumb));
    const RECT rcChannel = ChannelRect(hTrackbar, bVertical);
    const int nHalfThumb = bVertical ? (rcThumb.bottom - rcThumb.top) / 2 : (rcThumb.right - rcThumb.left) / 2;
    const int nFrom = (bVertical ? rcChannel.top : rcChannel.left) + nHalfThumb + 1;
    const int nTo = (bVertical ? rcChannel.bottom : rcChannel.right) - nHalfThumb;
    const bool bBefore = (lStyle & TBS_BOTH) || (lStyle & TBS_TOP), bAfter = (lStyle & TBS_BOTH) || !(lStyle & TBS_TOP);

    SelectObject(hdc, GetStockObject(DC_PEN));
    SetDCPenColor(hdc, bEnabled ? c.m_crBorder : Mix(c.m_crBorder, c.m_crBackground, 50));
    const auto tic = [&](LONG nPos, int nLength) {
        const int at = nFrom + static_cast<int>(static_cast<LONGLONG>(nTo - nFrom) * (nPos - nMin) / nRange);
        for (int side = 0; side < 2; ++side) {
            if (!(side ? bAfter : bBefore))
                continue;
            const int base = bVertical ? (side ? rcThumb.right + 2 : rcThumb.left - 2)
                                       : (side ? rcThumb.bottom + 2 : rcThumb.top - 2);
            const int end = side ? base + nLength : base - nLength;
            if (bVertical) {
                MoveToEx(hdc, base, at, nullptr);
                LineTo(hdc, end, at);
            } else {
                MoveToEx(hdc, at, base, nullptr);
                LineTo(hdc, at, end);
            }
        }
    };
    tic(nMin, 4);
    tic(nMax, 4);
    const LONG nInner = static_cast<LONG>(SendMessageW(hTrackbar, TBM_GETNUMTICS, 0, 0)) - 2;
    const DWORD* pTics = reinterpret_cast<const DWORD*>(SendMessageW(hTrackbar, TBM_GETPTICS, 0, 0));
    for (LONG i = 0; pTics && i < nInner; ++i)
        tic(static_cast<LONG>(pTics[i]), 3);
}

void DrawThumb(HDC hdc, const RECT& rc, bool bEnabled, bool bDragged, const CSkinColors& c)
{
    COLORREF crFill = bDragged ? Mix(c.m_crThumb, c.m_crText, 25) : c.m_crThumb;
    COLORREF crBorder = Mix(c.m_crThumb, c.m_crBackground, 35);
    if (!bEnabled)
        crFill = crBorder = Mix(c.m_crChannel, c.m_crDisabledText, 40);
    Box(hdc, rc, std::min(rc.right - rc.left, rc.bottom - rc.top) / 2, crFill, crBorder);
}

} // namespace

void PaintButton(HWND hWnd, HDC hdc, const CSkin& skin, const CControlState& state)
{
    const CControlPaint paint(hWnd, hdc, skin);
    const CSkinColors& c = paint.m_colors;
    const RECT rc = paint.m_rc;
    const LONG lStyle = paint.m_lStyle;
    const UINT uState = state.m_uButtonState;
    const bool bEnabled = IsWindowEnabled(hWnd) != FALSE, bFocus = (uState & BST_FOCUS) != 0;
    const bool bPushed = (uState & BST_PUSHED) != 0, bOn = (uState & (BST_CHECKED | BST_INDETERMINATE)) != 0;
    const std::wstring text = WindowText(hWnd);
    const UINT uPrefix = PrefixFlags(state);
    const int nId = GetDlgCtrlID(hWnd);

    Fill(hdc, rc, c.m_crBackground);
    const int nUnit = SelectFont(hdc, state, skin);
    SetBkMode(hdc, TRANSPARENT);
    const int nRadius = std::max(2, nUnit / 5);
    const CRoleIds& toggle = skin.Look().m_toggle;
    const int nSegment = toggle.IndexOf(nId);
    if (nSegment >= 0) {
        PaintFace(hdc, rc, FaceFor(c, bOn, bPushed, bEnabled, false), nRadius, nSegment, toggle.m_nCount, lStyle, text,
                  uPrefix, bFocus);
    } else if (skin.Look().m_pageButtons.IndexOf(nId) >= 0) {
        // The plug-in disables the current page's button: it is the one lit up.
        PaintFace(hdc, rc, FaceFor(c, !bEnabled, bPushed, true, false), nRadius, 0, 1, lStyle, text, uPrefix, bFocus);
    } else {
        const LONG lType = lStyle & BS_TYPEMASK;
        const bool bRadio = lType == BS_RADIOBUTTON || lType == BS_AUTORADIOBUTTON;
        if (lType == BS_PUSHBUTTON || lType == BS_DEFPUSHBUTTON || (lStyle & BS_PUSHLIKE))
            PaintFace(hdc, rc, FaceFor(c, bOn, bPushed, bEnabled, lType == BS_DEFPUSHBUTTON), nRadius, 0, 1, lStyle,
                      text, uPrefix, bFocus);
        else
            PaintCheck(hdc, rc, c, nUnit, bRadio, uState, bEnabled, bFocus, lStyle, text, uPrefix);
    }
}

void PaintGroupBox(HWND hWnd, HDC hdc, const CSkin& skin, const CControlState& state)
{
    const CControlPaint paint(hWnd, hdc, skin);
    const CSkinColors& c = paint.m_colors;
    const RECT rc = paint.m_rc;
    const bool bEnabled = IsWindowEnabled(hWnd) != FALSE;
    const std::wstring text = WindowText(hWnd);
    const int nUnit = SelectFont(hdc, state, skin);
    const int nRadius = std::max(2, nUnit / 5);

    SelectObject(hdc, GetStockObject(NULL_BRUSH));
    SelectObject(hdc, GetStockObject(DC_PEN));
    SetDCPenColor(hdc, bEnabled ? c.m_crLine : Mix(c.m_crLine, c.m_crBackground, 50));
    RoundRect(hdc, rc.left, rc.top + nUnit / 2, rc.right, rc.bottom, nRadius * 2, nRadius * 2);
    if (text.empty())
        return;
    const UINT uFlags = DT_SINGLELINE | DT_LEFT | DT_END_ELLIPSIS | PrefixFlags(state);
    const int nPad = std::max(2, nUnit / 5), nIndent = std::max(6, nUnit * 2 / 3);
    RECT rcCaption = {rc.left + nIndent, rc.top, rc.right - nIndent, rc.top + nUnit};
    DrawTextW(hdc, text.c_str(), -1, &rcCaption, uFlags | DT_CALCRECT);
    rcCaption.right = std::min<LONG>(rcCaption.right, rc.right - nIndent);
    RECT rcClear = rcCaption;
    InflateRect(&rcClear, nPad, 0);
    Fill(hdc, rcClear, c.m_crBackground);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, bEnabled ? c.m_crAccent : c.m_crDisabledText);
    DrawTextW(hdc, text.c_str(), -1, &rcCaption, uFlags);
}

void PaintStatic(HWND hWnd, HDC hdc, const CSkin& skin, const CControlState& state)
{
    const CControlPaint paint(hWnd, hdc, skin);
    const CSkinColors& c = paint.m_colors;
    RECT rc = paint.m_rc;
    const LONG lStyle = paint.m_lStyle;
    if (IsEtched(lStyle)) {
        RECT rcWindow;
        GetWindowRect(hWnd, &rcWindow);
        MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT*>(&rcWindow), 2);
        PaintEtched(hdc, rcWindow, lStyle, c);
        return;
    }
    Fill(hdc, rc, c.m_crBackground);
    UINT uFlags = DT_EXPANDTABS;
    switch (lStyle & SS_TYPEMASK) {
    case SS_CENTER: uFlags |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: uFlags |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_SIMPLE: uFlags |= DT_SINGLELINE; break;
    case SS_LEFTNOWORDWRAP: break;
    default: uFlags |= DT_WORDBREAK; break;
    }
    uFlags |= (lStyle & SS_NOPREFIX) ? DT_NOPREFIX : PrefixFlags(state);
    if (lStyle & SS_CENTERIMAGE)
        uFlags |= DT_VCENTER | DT_SINGLELINE;
    switch (lStyle & SS_ELLIPSISMASK) {
    case SS_ENDELLIPSIS: uFlags |= DT_END_ELLIPSIS; break;
    case SS_PATHELLIPSIS: uFlags |= DT_PATH_ELLIPSIS; break;
    case SS_WORDELLIPSIS: uFlags |= DT_WORD_ELLIPSIS; break;
    }
    SelectFont(hdc, state, skin);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, IsWindowEnabled(hWnd) ? c.m_crText : c.m_crDisabledText);
    DrawTextW(hdc, WindowText(hWnd).c_str(), -1, &rc, uFlags);
}

void PaintStaticEdge(HWND hWnd, HDC hdcWindow, const CSkin& skin)
{
    const CControlPaint paint(hWnd, hdcWindow, skin);
    const CSkinColors& c = paint.m_colors;
    const LONG lStyle = paint.m_lStyle;
    RECT rcWindow, rcClient = paint.m_rc;
    GetWindowRect(hWnd, &rcWindow);
    MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&rcClient), 2);
    OffsetRect(&rcClient, -rcWindow.left, -rcWindow.top);
    OffsetRect(&rcWindow, -rcWindow.left, -rcWindow.top);
    ExcludeClipRect(hdcWindow, rcClient.left, rcClient.top, rcClient.right, rcClient.bottom);
    if (IsEtched(lStyle)) {
        PaintEtched(hdcWindow, rcWindow, lStyle, c);
    } else {
        Fill(hdcWindow, rcWindow, c.m_crBackground);
        Frame(hdcWindow, rcWindow, c.m_crBorder);
    }
}

void PaintComboFrame(HWND hWnd, HDC hdc, const CSkin& skin)
{
    COMBOBOXINFO cbi = {};
    cbi.cbSize = sizeof(cbi);
    if (!GetComboBoxInfo(hWnd, &cbi))
        return;
    const CControlPaint paint(hWnd, hdc, skin);
    const CSkinColors& c = paint.m_colors;
    const RECT rc = paint.m_rc;
    RECT rcText = cbi.rcItem;
    if (cbi.hwndItem && cbi.hwndItem != hWnd && GetWindowRect(cbi.hwndItem, &rcText))
        MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT*>(&rcText), 2);
    ExcludeClipRect(hdc, rcText.left, rcText.top, rcText.right, rcText.bottom);

    const HWND hFocus = GetFocus();
    const bool bEnabled = IsWindowEnabled(hWnd) != FALSE;
    const bool bFocus = hFocus && (hFocus == hWnd || IsChild(hWnd, hFocus));
    const bool bOpen = SendMessageW(hWnd, CB_GETDROPPEDSTATE, 0, 0) || (cbi.stateButton & STATE_SYSTEM_PRESSED);
    Fill(hdc, rc, c.m_crField);
    if (bOpen)
        Fill(hdc, cbi.rcButton, Mix(c.m_crField, c.m_crAccent, 25));
    Frame(hdc, rc, !bEnabled ? Mix(c.m_crBorder, c.m_crBackground, 50) : bFocus || bOpen ? c.m_crAccent : c.m_crBorder);

    // A chevron in the middle of the button, two pixels thick once there is room.
    const RECT& b = cbi.rcButton;
    const int s = std::max<int>(2, std::min(b.right - b.left, b.bottom - b.top) / 5);
    const int cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2 - s / 2;
    SelectObject(hdc, GetStockObject(DC_PEN));
    SetDCPenColor(hdc, bEnabled ? c.m_crText : c.m_crDisabledText);
    for (int i = 0; i < (s > 2 ? 2 : 1); ++i) {
        const POINT pts[3] = {{cx - s, cy + i}, {cx, cy + s + i}, {cx + s + 1, cy - 1 + i}};
        Polyline(hdc, pts, 3);
    }
}

// The whole trackbar at its first notification, as its items would be drawn
// one by one, with the focus rectangle it would draw after them: one
// notification instead of five, each a message through the dialog's
// subclass chain.
void DrawTrackbar(const NMCUSTOMDRAW& cd, HWND hFocus, LONG lStyle, bool bEnabled, const CSkin& skin)
{
    CSavedDC saved(cd.hdc);
    const HWND hTrackbar = cd.hdr.hwndFrom;
    const bool bVertical = (lStyle & TBS_VERT) != 0;
    DrawChannel(cd.hdc, hTrackbar, ChannelRect(hTrackbar, bVertical), bVertical, bEnabled, skin);
    if (!(lStyle & TBS_NOTICKS))
        DrawTics(cd.hdc, hTrackbar, lStyle, bEnabled, skin.Colors());
    RECT rcThumb = {};
    if (!(lStyle & TBS_NOTHUMB) && SendMessageW(hTrackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&rcThumb)) >= 0)
        DrawThumb(cd.hdc, rcThumb, bEnabled, false, skin.Colors());
    if (hFocus == hTrackbar && !(SendMessageW(hTrackbar, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
        SetTextColor(cd.hdc, RGB(0, 0, 0));
        SetBkColor(cd.hdc, RGB(255, 255, 255));
        DrawFocusRect(cd.hdc, &cd.rc);
    }
}

LRESULT TrackbarCustomDraw(const NMCUSTOMDRAW& cd, const CSkin& skin)
{
    const CSkinColors& c = skin.Colors();
    const HWND hTrackbar = cd.hdr.hwndFrom;
    const LONG lStyle = GetWindowLongW(hTrackbar, GWL_STYLE);
    const bool bEnabled = IsWindowEnabled(hTrackbar) != FALSE;
    switch (cd.dwDrawStage) {
    case CDDS_PREPAINT: {
        Fill(cd.hdc, cd.rc, c.m_crBackground);
        // While held, only the trackbar knows how its thumb is held: it is
        // asked item by item.
        GUITHREADINFO gti = {};
        gti.cbSize = sizeof(gti);
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(hTrackbar, nullptr), &gti) || gti.hwndCapture == hTrackbar)
            return CDRF_NOTIFYITEMDRAW;
        DrawTrackbar(cd, gti.hwndFocus, lStyle, bEnabled, skin);
        return CDRF_SKIPDEFAULT;
    }
    case CDDS_PREERASE:  // already filled above
        return CDRF_SKIPDEFAULT;
    case CDDS_ITEMPREPAINT:
        break;
    default:
        return CDRF_DODEFAULT;
    }
    CSavedDC saved(cd.hdc);
    switch (cd.dwItemSpec) {
    case TBCD_CHANNEL:
        DrawChannel(cd.hdc, hTrackbar, cd.rc, (lStyle & TBS_VERT) != 0, bEnabled, skin);
        break;
    case TBCD_TICS:
        DrawTics(cd.hdc, hTrackbar, lStyle, bEnabled, c);
        break;
    case TBCD_THUMB:
        DrawThumb(cd.hdc, cd.rc, bEnabled, (cd.uItemState & (CDIS_HOT | CDIS_SELECTED)) != 0, c);
        break;
    default:
        return CDRF_DODEFAULT;
    }
    return CDRF_SKIPDEFAULT;
}

} // namespace glazeu
