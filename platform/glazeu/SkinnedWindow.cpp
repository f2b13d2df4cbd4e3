#include "SkinnedWindow.h"

#include "SharedGdi.h"
#include "Skin.h"
#include "SkinPaint.h"

#include <commctrl.h>

#include <new>
#include <unordered_map>

namespace glazeu {

namespace {

// What a skinned window is to the painters.
enum class EKind { Dialog, Button, GroupBox, Static, ComboBox };

// One per skinned window.
struct CWindowSkin {
    INT_PTR m_hOwner;
    CSkin* m_pSkin;
    EKind m_eKind;
    CControlState m_state;
};

// The procedure each skinned window had before ours, and its skin; null
// once given back while another procedure stood above ours, which then only
// passes messages on until the window goes. comctl32's subclassing would
// keep this in a window property, which Wine fetches from its server on
// every message; this table is the process's own.
struct CSubclass {
    WNDPROC m_pfnPrev;
    CWindowSkin* m_pSkin;
};
SRWLOCK g_subclassLock = SRWLOCK_INIT;
std::unordered_map<HWND, CSubclass> g_subclasses;

bool FindSubclass(HWND hWnd, CSubclass& found)
{
    AcquireSRWLockShared(&g_subclassLock);
    auto it = g_subclasses.find(hWnd);
    const bool bFound = it != g_subclasses.end();
    if (bFound)
        found = it->second;
    ReleaseSRWLockShared(&g_subclassLock);
    return bFound;
}

volatile LONG g_nActiveCalls = 0;
// Asks a window of another thread to give its skin back; registered at the
// first skin, since registering is not for DllMain.
UINT g_uUnskinMessage = 0;

// Counts the skins taken off windows, so that a procedure which ran other
// code can tell cheaply whether the skin it started with may be gone:
// looking it up again is a trip to the server under Wine.
volatile LONG g_nDetached = 0;

// Counts a call of our window procedure for as long as it runs.
class CActiveCall
{
public:
    CActiveCall() { InterlockedIncrement(&g_nActiveCalls); }
    ~CActiveCall() { InterlockedDecrement(&g_nActiveCalls); }
    CActiveCall(const CActiveCall&) = delete;
    CActiveCall& operator=(const CActiveCall&) = delete;
};

CWindowSkin* SkinOf(HWND hWnd);
CWindowSkin* SkinStillOn(HWND hWnd, CWindowSkin& w, LONG nDetachedBefore);
bool IsClass(HWND hWnd, const wchar_t* pszClass);
bool Detach(HWND hWnd, CWindowSkin* p);
void Paint(HWND hWnd, HDC hdc, const CWindowSkin& w);
void ReadState(HWND hWnd, CControlState& state);
void PaintNow(HWND hWnd, const CWindowSkin& w);
void Validate(HWND hWnd);
bool PaintsWhole(EKind eKind);
bool PaintsItself(UINT uMsg, EKind eKind);
bool HasBorder(HWND hWnd);
HBRUSH OnCtlColor(UINT uMsg, HDC hdc, HWND hControl, const CSkin& skin);

LRESULT DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, const CWindowSkin& w);
LRESULT ControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, CWindowSkin& w);

// The window's own procedure, past the skin.
LRESULT CallPrevious(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CSubclass sub;
    return FindSubclass(hWnd, sub) ? CallWindowProcW(sub.m_pfnPrev, hWnd, uMsg, wParam, lParam)
                                   : DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

// The window procedures: what a skinned dialog and a skinned control react
// to. Everything else goes on to the window's own procedure unchanged.

LRESULT CALLBACK SkinProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CActiveCall active;
    CSubclass sub;
    if (!FindSubclass(hWnd, sub))
        return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    CWindowSkin* p = sub.m_pSkin;
    if (uMsg == WM_NCDESTROY) {
        if (p) {
            ForgetWindow(p->m_hOwner, hWnd);
            Detach(hWnd, p);
        }
        AcquireSRWLockExclusive(&g_subclassLock);
        g_subclasses.erase(hWnd);
        ReleaseSRWLockExclusive(&g_subclassLock);
        return CallWindowProcW(sub.m_pfnPrev, hWnd, uMsg, wParam, lParam);
    }
    if (!p)
        return CallWindowProcW(sub.m_pfnPrev, hWnd, uMsg, wParam, lParam);
    if (uMsg == g_uUnskinMessage && uMsg) {
        return UnskinWindow(hWnd, static_cast<INT_PTR>(lParam), false) ? 1 : 0;
    }
    return p->m_eKind == EKind::Dialog ? DialogProc(hWnd, uMsg, wParam, lParam, *p)
                                       : ControlProc(hWnd, uMsg, wParam, lParam, *p);
}

LRESULT DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, const CWindowSkin& w)
{
    switch (uMsg) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<LRESULT>(
            OnCtlColor(uMsg, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), *w.m_pSkin));
    case WM_NOTIFY: {
        // The plug-in's dialogs pass WM_NOTIFY to their tooltips only, so a
        // trackbar's custom drawing is answered here, before they see it.
        const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
        if (pHdr && pHdr->code == static_cast<UINT>(NM_CUSTOMDRAW) && GetParent(pHdr->hwndFrom) == hWnd &&
            IsClass(pHdr->hwndFrom, TRACKBAR_CLASSW))
            return TrackbarCustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lParam), *w.m_pSkin);
        break;
    }
    }
    return CallPrevious(hWnd, uMsg, wParam, lParam);
}

LRESULT ControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, CWindowSkin& w)
{
    const EKind eKind = w.m_eKind;
    const LONG nDetached = g_nDetached;
    // Before the control sees it: a label repaints itself within WM_SETFONT.
    if (uMsg == WM_SETFONT)
        w.m_state.m_hFont = reinterpret_cast<HFONT>(wParam);
    if (uMsg == WM_ERASEBKGND && eKind != EKind::ComboBox)
        return 1;  // WM_PAINT covers all that is ours to cover
    if (uMsg == WM_NCPAINT && eKind == EKind::Static && HasBorder(hWnd)) {
        if (HDC hdc = GetWindowDC(hWnd)) {
            PaintStaticEdge(hWnd, hdc, *w.m_pSkin);
            ReleaseDC(hWnd, hdc);
        }
        return 0;
    }
    if (uMsg == WM_PAINT && PaintsWhole(eKind) && !HasBorder(hWnd)) {
        // BeginPaint would first send WM_NCPAINT and WM_ERASEBKGND, each a
        // trip through the subclass chain, for a frame it has not got and a
        // background the skin covers anyway.
        if (HDC hdc = GetDC(hWnd)) {
            Paint(hWnd, hdc, w);
            ReleaseDC(hWnd, hdc);
        }
        Validate(hWnd);
        return 0;
    }
    if (uMsg == WM_PAINT || uMsg == WM_PRINTCLIENT) {
        // A combo box paints itself first, into the same DC; then the skin goes over its edges.
        PAINTSTRUCT ps;
        HDC hdc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(hWnd, &ps);
        if (eKind == EKind::ComboBox)
            CallPrevious(hWnd, uMsg, reinterpret_cast<WPARAM>(hdc), lParam);
        if (CWindowSkin* p = SkinStillOn(hWnd, w, nDetached))
            Paint(hWnd, hdc, *p);
        if (!wParam)
            EndPaint(hWnd, &ps);
        return 0;
    }
    // While a button is held, it repaints only as the pointer crosses its edge.
    const bool bHeld = uMsg == WM_MOUSEMOVE && eKind == EKind::Button && GetCapture() == hWnd;
    const LRESULT nBefore = bHeld ? CallPrevious(hWnd, BM_GETSTATE, 0, 0) : 0;
    const LRESULT lr = CallPrevious(hWnd, uMsg, wParam, lParam);
    const bool bRepaint =
        PaintsItself(uMsg, eKind) || (bHeld && CallPrevious(hWnd, BM_GETSTATE, 0, 0) != nBefore);
    if (uMsg != WM_UPDATEUISTATE && !bRepaint)
        return lr;
    if (CWindowSkin* p = SkinStillOn(hWnd, w, nDetached)) {
        if (uMsg == WM_UPDATEUISTATE)
            ReadState(hWnd, p->m_state);
        if (bRepaint)
            PaintNow(hWnd, *p);
    }
    return lr;
}

// ---------------------------------------------------------------------------

// Looked up afresh after every call that could run other code: the window
// may have been destroyed or given back meanwhile.
CWindowSkin* SkinOf(HWND hWnd)
{
    CSubclass sub;
    return FindSubclass(hWnd, sub) ? sub.m_pSkin : nullptr;
}

// The window's skin after a call that could have run other code: w itself
// while no skin has been taken off any window since.
CWindowSkin* SkinStillOn(HWND hWnd, CWindowSkin& w, LONG nDetachedBefore)
{
    return g_nDetached == nDetachedBefore ? &w : SkinOf(hWnd);
}

// Class names compare without case and without a side-by-side version prefix.
bool IsClass(HWND hWnd, const wchar_t* pszClass)
{
    wchar_t szName[80];
    if (!hWnd || !GetClassNameW(hWnd, szName, 80))
        return false;
    const wchar_t* pszBase = wcsrchr(szName, L'!');
    return lstrcmpiW(pszBase ? pszBase + 1 : szName, pszClass) == 0;
}

bool Classify(HWND hWnd, EKind& eKind)
{
    const LONG lStyle = GetWindowLongW(hWnd, GWL_STYLE);
    if (IsClass(hWnd, WC_BUTTONW)) {
        if (lStyle & (BS_BITMAP | BS_ICON))  // pictures stay the platform's
            return false;
        switch (lStyle & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_AUTORADIOBUTTON:
            eKind = EKind::Button;
            return true;
        case BS_GROUPBOX:
            eKind = EKind::GroupBox;
            return true;
        }
        return false;  // owner-drawn, split and command-link buttons
    }
    if (IsClass(hWnd, WC_STATICW)) {
        switch (lStyle & SS_TYPEMASK) {
        case SS_LEFT:
        case SS_CENTER:
        case SS_RIGHT:
        case SS_SIMPLE:
        case SS_LEFTNOWORDWRAP:
        case SS_ETCHEDHORZ:
        case SS_ETCHEDVERT:
        case SS_ETCHEDFRAME:
            eKind = EKind::Static;
            return true;
        }
        return false;  // pictures, owner-drawn and filled rectangles
    }
    if (IsClass(hWnd, WC_COMBOBOXW) && (lStyle & 3) != CBS_SIMPLE) {
        eKind = EKind::ComboBox;
        return true;
    }
    return false;  // trackbars are drawn through their parent; edits and lists take WM_CTLCOLOR*
}

void ReadState(HWND hWnd, CControlState& state)
{
    state.m_hFont = reinterpret_cast<HFONT>(SendMessageW(hWnd, WM_GETFONT, 0, 0));
    state.m_bHideAccel = (SendMessageW(hWnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) != 0;
}

// Takes the skin off; false when our procedure has to stay in the window's
// chain because another was put above it.
bool Detach(HWND hWnd, CWindowSkin* p)
{
    InterlockedIncrement(&g_nDetached);
    bool bOut = false;
    AcquireSRWLockExclusive(&g_subclassLock);
    auto it = g_subclasses.find(hWnd);
    if (it != g_subclasses.end()) {
        it->second.m_pSkin = nullptr;
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hWnd, GWLP_WNDPROC)) == SkinProc) {
            SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.m_pfnPrev));
            g_subclasses.erase(it);
            bOut = true;
        }
    }
    ReleaseSRWLockExclusive(&g_subclassLock);
    p->m_pSkin->Release();
    delete p;
    return bOut;
}

bool Attach(HWND hWnd, EKind eKind, CSkin& skin, INT_PTR hOwner, std::vector<HWND>& added)
{
    if (CWindowSkin* p = SkinOf(hWnd)) {
        if (p->m_hOwner != hOwner) {
            ForgetWindow(p->m_hOwner, hWnd);
            p->m_hOwner = hOwner;
            added.push_back(hWnd);
        }
        skin.AddRef();
        p->m_pSkin->Release();
        p->m_pSkin = &skin;
        p->m_eKind = eKind;
        ReadState(hWnd, p->m_state);
        return true;
    }
    CWindowSkin* p = new (std::nothrow) CWindowSkin{hOwner, &skin, eKind, {}};
    if (!p)
        return false;
    ReadState(hWnd, p->m_state);
    bool bDone = false;
    AcquireSRWLockExclusive(&g_subclassLock);
    try {
        auto [it, bNew] = g_subclasses.try_emplace(hWnd, CSubclass{nullptr, p});
        if (!bNew) {
            // Our procedure is still in the chain from an earlier skin.
            it->second.m_pSkin = p;
            bDone = true;
        } else if (WNDPROC pfnPrev = reinterpret_cast<WNDPROC>(
                       SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SkinProc)))) {
            it->second.m_pfnPrev = pfnPrev;
            bDone = true;
        } else {
            g_subclasses.erase(it);
        }
    } catch (const std::bad_alloc&) {
    }
    ReleaseSRWLockExclusive(&g_subclassLock);
    if (!bDone) {
        delete p;
        return false;
    }
    skin.AddRef();
    added.push_back(hWnd);
    return true;
}

void PaintDirect(HWND hWnd, HDC hdc, const CWindowSkin& w, const CControlState& state)
{
    switch (w.m_eKind) {
    case EKind::Button: PaintButton(hWnd, hdc, *w.m_pSkin, state); break;
    case EKind::Static: PaintStatic(hWnd, hdc, *w.m_pSkin, state); break;
    case EKind::GroupBox: PaintGroupBox(hWnd, hdc, *w.m_pSkin, state); break;
    case EKind::ComboBox: PaintComboFrame(hWnd, hdc, *w.m_pSkin); break;
    case EKind::Dialog: break;
    }
}

// Buttons and labels are painted off screen and copied in one go, so a
// repaint never flickers; a group box or a combo box is painted in place,
// since copying its whole rectangle would wipe what lies inside. Only from
// within the window's own subclass procedure, where a button's state can be
// asked past the skin's subclass.
void Paint(HWND hWnd, HDC hdc, const CWindowSkin& w)
{
    CControlState state = w.m_state;
    if (w.m_eKind == EKind::Button)
        state.m_uButtonState = static_cast<UINT>(CallPrevious(hWnd, BM_GETSTATE, 0, 0));
    RECT rc;
    GetClientRect(hWnd, &rc);
    const bool bWhole = PaintsWhole(w.m_eKind);
    const COffscreen offscreen(bWhole ? rc.right : 0, bWhole ? rc.bottom : 0);
    if (!offscreen.Dc()) {
        PaintDirect(hWnd, hdc, w, state);
        return;
    }
    PaintDirect(hWnd, offscreen.Dc(), w, state);
    BitBlt(hdc, 0, 0, rc.right, rc.bottom, offscreen.Dc(), 0, 0, SRCCOPY);
}

void PaintNow(HWND hWnd, const CWindowSkin& w)
{
    if (!IsWindowVisible(hWnd))
        return;
    // What the control invalidated on the way is painted now: a WM_PAINT
    // would only paint it again. A combo box paints its own inside, and a
    // border is painted apart from the client area.
    const bool bValidate = w.m_eKind != EKind::ComboBox && !HasBorder(hWnd);
    if (HDC hdc = GetDC(hWnd)) {
        Paint(hWnd, hdc, w);
        ReleaseDC(hWnd, hdc);
    }
    if (bValidate)
        Validate(hWnd);
}

// For a window without a frame whose client area the skin has just painted:
// nothing is left to erase or to paint, in it or around it.
void Validate(HWND hWnd)
{
    RedrawWindow(hWnd, nullptr, nullptr, RDW_VALIDATE | RDW_NOFRAME);
}

// Buttons and labels: a group box has only its frame and caption to paint,
// a combo box only its edges.
bool PaintsWhole(EKind eKind)
{
    return eKind == EKind::Button || eKind == EKind::Static;
}

// Messages after which a control may have drawn itself straight onto the
// screen rather than through WM_PAINT: the skin paints over at once.
// WM_SETFONT is not one: controls only invalidate for it.
bool PaintsItself(UINT uMsg, EKind eKind)
{
    switch (uMsg) {
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
    case WM_SYSCOLORCHANGE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CAPTURECHANGED:
        return true;
    case BM_SETCHECK:
    case BM_SETSTATE:
    case BM_SETSTYLE:
    case BM_CLICK:
        return eKind == EKind::Button || eKind == EKind::GroupBox;
    case WM_COMMAND:  // the edit field inside gained or lost the focus
    case CB_SHOWDROPDOWN:
    case CB_SETCURSEL:
        return eKind == EKind::ComboBox;
    }
    return false;
}

bool HasBorder(HWND hWnd)
{
    RECT rcWindow, rcClient;
    GetWindowRect(hWnd, &rcWindow);
    GetClientRect(hWnd, &rcClient);
    return rcWindow.right - rcWindow.left != rcClient.right || rcWindow.bottom - rcWindow.top != rcClient.bottom;
}

HBRUSH OnCtlColor(UINT uMsg, HDC hdc, HWND hControl, const CSkin& skin)
{
    const CSkinColors& c = skin.Colors();
    // Read-only and disabled edit fields ask with WM_CTLCOLORSTATIC, and so
    // does a disabled combo box's field; they keep the field's colours.
    const bool bField = uMsg == WM_CTLCOLOREDIT || uMsg == WM_CTLCOLORLISTBOX ||
                        (uMsg == WM_CTLCOLORSTATIC &&
                         (IsClass(hControl, WC_EDITW) || IsClass(GetParent(hControl), WC_COMBOBOXW)));
    const bool bEnabled = !hControl || IsWindowEnabled(hControl);
    SetTextColor(hdc, !bEnabled ? c.m_crDisabledText : bField ? c.m_crFieldText : c.m_crText);
    SetBkColor(hdc, bField ? c.m_crField : c.m_crBackground);
    return bField ? skin.FieldBrush() : skin.BackgroundBrush();
}

} // namespace

int SkinDialog(HWND hDlg, CSkin& skin, INT_PTR hOwner, std::vector<HWND>& added)
{
    // Subclassing is for the window's own thread.
    if (!IsWindow(hDlg) || GetWindowThreadProcessId(hDlg, nullptr) != GetCurrentThreadId())
        return 0;
    if (!g_uUnskinMessage)
        g_uUnskinMessage = RegisterWindowMessageW(L"GlazeU.Unskin");
    if (!Attach(hDlg, EKind::Dialog, skin, hOwner, added))
        return 0;
    int n = 1;
    for (HWND h = GetWindow(hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        EKind eKind;
        if (Classify(h, eKind) && Attach(h, eKind, skin, hOwner, added))
            ++n;
    }
    // A dialog skinned before it is shown (in WM_INITDIALOG, as the plug-in
    // does) is painted whole when it is shown.
    if (IsWindowVisible(hDlg))
        RedrawWindow(hDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return n;
}

bool UnskinWindow(HWND hWnd, INT_PTR hOwner, bool bMayWait)
{
    if (!IsWindow(hWnd))
        return true;
    if (GetWindowThreadProcessId(hWnd, nullptr) != GetCurrentThreadId()) {
        DWORD_PTR dwResult = 0;
        return bMayWait && g_uUnskinMessage &&
               SendMessageTimeoutW(hWnd, g_uUnskinMessage, 0, hOwner, SMTO_BLOCK | SMTO_ABORTIFHUNG, 5000,
                                   &dwResult) &&
               dwResult == 1;
    }
    CWindowSkin* p = SkinOf(hWnd);
    if (!p || p->m_hOwner != hOwner)
        return true;
    const bool bOut = Detach(hWnd, p);
    RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return bOut;
}

LONG ActiveWindowCalls()
{
    return g_nActiveCalls;
}

} // namespace glazeu
