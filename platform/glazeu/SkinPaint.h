// How each kind of control looks under a skin. Every painter reads the
// control's state from the control itself (check state, pushed, focus,
// enabled, style, text) at paint time, so the look follows whatever the
// plug-in or the user did, and nothing is kept that could fall behind.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace glazeu {

class CSkin;

// The whole client area: push buttons (and the toggle and page-button
// roles), check boxes, radio buttons, push-like buttons.
void PaintButton(HWND hWnd, HDC hdc, const CSkin& skin);
// Frame and caption only: the controls inside a group box are its siblings
// and paint themselves.
void PaintGroupBox(HWND hWnd, HDC hdc, const CSkin& skin);
// A text label, or an etched line or frame.
void PaintStatic(HWND hWnd, HDC hdc, const CSkin& skin);
// A label's border, where it has one (WM_NCPAINT, into the window DC).
void PaintStaticEdge(HWND hWnd, HDC hdcWindow, const CSkin& skin);
// Over what the combo box painted itself: its border and drop-down arrow;
// the text area stays the control's (its colours come from WM_CTLCOLOR*).
void PaintComboFrame(HWND hWnd, HDC hdc, const CSkin& skin);
// A trackbar's NM_CUSTOMDRAW, answered at its parent: background, channel,
// tics and thumb. The trackbar still draws its own focus rectangle.
LRESULT TrackbarCustomDraw(const NMCUSTOMDRAW& cd, const CSkin& skin);

} // namespace glazeu
