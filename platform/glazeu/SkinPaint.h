// How each kind of control looks under a skin. Every painter reads the
// control's state from the control itself (check state, pushed, focus,
// enabled, style, text) at paint time, so the look follows whatever the
// plug-in or the user did, and nothing is kept that could fall behind.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace glazeu {

class CSkin;

// What a painter is told about a control rather than asking it: a message
// to a skinned control passes through the subclass chain, which under Wine
// costs more than the painting. The control's subclass keeps these up to
// date from the messages that change them.
struct CControlState {
    HFONT m_hFont = nullptr;    // the control's own font, as WM_SETFONT last gave it
    bool m_bHideAccel = false;  // access keys not underlined, as WM_UPDATEUISTATE last left it
    UINT m_uButtonState = 0;    // a button's BM_GETSTATE, asked past the skin's own subclass
};

// The whole client area: push buttons (and the toggle and page-button
// roles), check boxes, radio buttons, push-like buttons.
void PaintButton(HWND hWnd, HDC hdc, const CSkin& skin, const CControlState& state);
// Frame and caption only: the controls inside a group box are its siblings
// and paint themselves.
void PaintGroupBox(HWND hWnd, HDC hdc, const CSkin& skin, const CControlState& state);
// A text label, or an etched line or frame.
void PaintStatic(HWND hWnd, HDC hdc, const CSkin& skin, const CControlState& state);
// A label's border, where it has one (WM_NCPAINT, into the window DC).
void PaintStaticEdge(HWND hWnd, HDC hdcWindow, const CSkin& skin);
// Over what the combo box painted itself: its border and drop-down arrow;
// the text area stays the control's (its colours come from WM_CTLCOLOR*).
void PaintComboFrame(HWND hWnd, HDC hdc, const CSkin& skin);
// A trackbar's NM_CUSTOMDRAW, answered at its parent: background, channel,
// tics, thumb and focus rectangle, all at the first notification unless
// the trackbar is held.
LRESULT TrackbarCustomDraw(const NMCUSTOMDRAW& cd, const CSkin& skin);

} // namespace glazeu
