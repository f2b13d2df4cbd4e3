// Every window the plug-in shows holds its texts whole and keeps its controls
// apart, in every language and with each skin made for this process's DPI. A
// text is measured in the font it is drawn in (the skin's, which replaces the
// control's own) against the room its control leaves it as the skin paints it.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "SimState.h"
#include "device/EfxCoexistStateListener.h"
#include "ui/ChildDlgEQ.h"
#include "ui/EQPresetDlg.h"
#include "ui/MainEffectsDlg.h"
#include "ui/MasterOnOffPopUpDlg.h"
#include "ui/MsgBoxDlg.h"
#include "ui/UIText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace uitest {
namespace {

const wchar_t kHostGuiKey[] = L"Software\\Halvex\\Audio\\GUI_INFORMATION";

bool IsGroupBox(HWND h)
{
    return HasClass(h, L"Button") && (GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

RECT WindowRectOf(HWND h)
{
    RECT rc = {};
    GetWindowRect(h, &rc);
    return rc;
}

std::wstring WholeText(HWND h)
{
    std::wstring s(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    s.resize(static_cast<size_t>(GetWindowTextW(h, s.data(), static_cast<int>(s.size()))));
    return s;
}

std::string SizeText(int cx, int cy)
{
    return std::to_string(cx) + "x" + std::to_string(cy);
}

// The skin's fonts, made as the skin makes them from its file's
// "font = FACE, PIXELS"; it draws every label in them instead of the
// control's own, bold where that is bold.
class SkinFonts
{
public:
    explicit SkinFonts(const std::wstring& path)
    {
        std::ifstream in(path.c_str());
        char szFace[LF_FACESIZE] = "";
        int nPixels = 0;
        for (std::string line; std::getline(in, line);) {
            if (sscanf(line.c_str(), "font = %31[^,], %d", szFace, &nPixels) == 2)
                break;
        }
        const std::wstring face(szFace, szFace + strlen(szFace));
        m_hNormal = Make(face, nPixels, FW_NORMAL);
        m_hBold = Make(face, nPixels, FW_BOLD);
    }
    ~SkinFonts()
    {
        DeleteObject(m_hNormal);
        DeleteObject(m_hBold);
    }
    bool Ok() const { return m_hNormal && m_hBold; }
    HFONT For(HWND h) const { return IsBold(h) ? m_hBold : m_hNormal; }

private:
    static HFONT Make(const std::wstring& face, int nPixels, int nWeight)
    {
        if (face.empty() || nPixels <= 0)
            return nullptr;
        return CreateFontW(nPixels, 0, 0, 0, nWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    }
    HFONT m_hNormal = nullptr, m_hBold = nullptr;
};

// The room a label has in its control as the skin paints it (SkinPaint.cpp):
// the client area less a push button's margins, a check box's mark and the
// gap after it, a group box's caption indent. False for controls without a
// label.
bool RoomFor(HWND h, HDC hdc, SIZE& room, UINT& uFlags)
{
    RECT rc;
    GetClientRect(h, &rc);
    room = {rc.right, rc.bottom};
    const LONG lStyle = GetWindowLongW(h, GWL_STYLE);
    TEXTMETRICW tm = {};
    GetTextMetricsW(hdc, &tm);
    const int nUnit = std::max<int>(8, tm.tmHeight);
    if (HasClass(h, L"Button")) {
        uFlags = (lStyle & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
        const LONG lType = lStyle & BS_TYPEMASK;
        if (lType == BS_GROUPBOX) {
            room.cx -= 2 * std::max(6, nUnit * 2 / 3);
        } else if (lType == BS_PUSHBUTTON || lType == BS_DEFPUSHBUTTON || (lStyle & BS_PUSHLIKE)) {
            room.cx -= 2 * std::max(2, nUnit / 5);
            room.cy -= 2;
        } else if (lType <= BS_AUTORADIOBUTTON) {
            const int nBox = std::min<int>(nUnit * 11 / 13, rc.bottom);
            room.cx -= nBox + std::max(4, nBox / 2);
        } else {
            return false;
        }
        return true;
    }
    if (!HasClass(h, L"Static"))
        return false;
    switch (lStyle & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT: uFlags = DT_WORDBREAK; break;
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP: uFlags = DT_SINGLELINE; break;
    default: return false;
    }
    if (lStyle & SS_CENTERIMAGE)
        uFlags = DT_SINGLELINE;
    uFlags |= DT_EXPANDTABS | ((lStyle & SS_NOPREFIX) ? DT_NOPREFIX : 0);
    return true;
}

// "" when the text fits the room, else what does not fit where.
std::string Cut(HDC hdc, const std::wstring& text, SIZE room, UINT uFlags)
{
    RECT rc = {0, 0, room.cx, 0};
    DrawTextW(hdc, text.c_str(), -1, &rc, uFlags | DT_CALCRECT);
    if (rc.right <= room.cx && rc.bottom <= room.cy)
        return {};
    return "'" + kvtest::Narrow(text) + "' needs " + SizeText(rc.right, rc.bottom) + ", has " +
           SizeText(room.cx, room.cy);
}

std::string CutLabel(HWND h, const SkinFonts& fonts)
{
    const std::wstring text = WholeText(h);
    if (text.empty())
        return {};
    HDC hdc = GetDC(h);
    HGDIOBJ hOld = SelectObject(hdc, fonts.For(h));
    SIZE room;
    UINT uFlags = 0;
    std::string cut = RoomFor(h, hdc, room, uFlags) ? Cut(hdc, text, room, uFlags) : std::string();
    SelectObject(hdc, hOld);
    ReleaseDC(h, hdc);
    return cut;
}

// A list the user cannot scroll sideways in shows each item whole in its
// field, in the combo box's own font: the skin only paints around it.
std::string CutItem(HWND h)
{
    if (GetWindowLongW(h, GWL_STYLE) & CBS_AUTOHSCROLL)
        return {};
    COMBOBOXINFO cbi = {};
    cbi.cbSize = sizeof(cbi);
    if (!GetComboBoxInfo(h, &cbi))
        return "no combo box info";
    RECT field = cbi.rcItem;
    HWND hField = cbi.hwndItem && cbi.hwndItem != h ? cbi.hwndItem : h;
    if (hField != h)
        SendMessageW(hField, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&field));
    HDC hdc = GetDC(hField);
    HGDIOBJ hOld = SelectObject(hdc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
    std::string cut;
    const int n = static_cast<int>(SendMessageW(h, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n && cut.empty(); ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(h, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        item.resize(static_cast<size_t>(SendMessageW(h, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
        cut = Cut(hdc, item, {field.right - field.left, field.bottom - field.top}, DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(hdc, hOld);
    ReleaseDC(hField, hdc);
    return cut;
}

// Every visible control of hDlg and of the dialogs inside it: its label
// whole, inside its dialog, apart from its siblings but for a group box
// around the controls it holds.
void CheckDialog(HWND hDlg, const std::string& where, const SkinFonts& fonts, std::vector<std::string>& problems)
{
    RECT rcClient;
    GetClientRect(hDlg, &rcClient);
    MapWindowPoints(hDlg, nullptr, reinterpret_cast<POINT*>(&rcClient), 2);
    std::vector<HWND> shown;
    for (HWND h = GetWindow(hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (!Visible(h))
            continue;
        shown.push_back(h);
        const std::string at = where + " " + std::to_string(GetDlgCtrlID(h)) + ": ";
        if (HasClass(h, L"#32770")) {
            CheckDialog(h, where, fonts, problems);
        } else {
            const std::string cut = HasClass(h, L"ComboBox") ? CutItem(h) : CutLabel(h, fonts);
            if (!cut.empty())
                problems.push_back(at + cut);
        }
        RECT rc = WindowRectOf(h), rcInside;
        if (!IntersectRect(&rcInside, &rc, &rcClient) || !EqualRect(&rcInside, &rc))
            problems.push_back(at + "sticks out of its dialog");
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const RECT a = WindowRectOf(shown[i]), b = WindowRectOf(shown[j]);
            RECT both;
            if (!IntersectRect(&both, &a, &b))
                continue;
            if ((IsGroupBox(shown[i]) && EqualRect(&both, &b)) || (IsGroupBox(shown[j]) && EqualRect(&both, &a)))
                continue;
            problems.push_back(where + " " + std::to_string(GetDlgCtrlID(shown[i])) + " and " +
                               std::to_string(GetDlgCtrlID(shown[j])) + " overlap");
        }
    }
}

// Checks the dialog dlg shows, then closes it.
template <class TDialog>
void CheckModal(TDialog& dlg, const std::string& where, const SkinFonts& fonts, std::vector<std::string>& problems)
{
    ModalAnswer answer([&](HWND h) {
        CheckDialog(h, where, fonts, problems);
        SendMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    dlg.DoModal();
    if (answer.Seen() != 1)
        problems.push_back(where + ": not shown");
}

struct Language {
    const wchar_t* pszLocale;
    DWORD dwLanguage;
};
const Language kLanguages[] = {{L"en-US", 0x0409}, {L"de-DE", 0x0407}, {L"fr-FR", 0x040C}};

// The host's scaling factors: each picks the skin made for this process's
// DPI or the one below it (see SkinFileName). A factor above 100 picks a
// skin made for a larger layout than the windows have, which follows the DPI
// alone: at 96 DPI, 150 draws 19-pixel text into 13-pixel labels. What such
// a factor should do to the windows is not settled, so it is not held here.
const DWORD kScalings[] = {80, 100};

class Layout : public UiTest
{
protected:
    // Both windows through the host's calls, then every page, the save
    // dialog and the message box in each of its uses.
    void CheckEveryWindow(const std::string& where, std::vector<std::string>& problems)
    {
        CKVEffectApp& app = App();
        RECT rc = {8, 80, 0, 0};
        HWND hMain = app.KVInitPluginEx(Host(), CKVEffectApp::TYPE_MAIN_EFFECTS, rc, 0);
        rc.top = 10;
        HWND hPanel = app.KVInitPluginEx(Host(), CKVEffectApp::TYPE_MASTER_ONOFF, rc, 0);
        ASSERT_TRUE(hMain && hPanel);
        Pump();
        const SkinFonts fonts(app.m_strBFFName);
        ASSERT_TRUE(fonts.Ok()) << kvtest::Narrow(app.m_strBFFName);
        // The switch's label is on its lit half: on, then off.
        CheckDialog(hPanel, where + " panel", fonts, problems);
        Click(hPanel, IDC_BTN_MASTER_OFF);
        CheckDialog(hPanel, where + " panel off", fonts, problems);
        Click(hPanel, IDC_BTN_MASTER_ON);
        const struct {
            int nID;
            const char* pszName;
        } pages[] = {{IDC_BTN_PAGE_QFX, "surround"},
                     {IDC_BTN_PAGE_ENHANCEMENT, "enhancement"},
                     {IDC_BTN_PAGE_RVX, "reverb"},
                     {IDC_BTN_PAGE_EQ, "equalizer"}};
        for (const auto& p : pages) {
            Click(hMain, p.nID);
            CheckDialog(hMain, where + " " + p.pszName, fonts, problems);
        }
        {
            CEQPresetDlg save;
            save.m_pEQPreset = static_cast<CChildDlgEQ*>(app.m_pMainEffectsDlg->m_pChildDlg)->m_pEQPreset;
            CheckModal(save, where + " save", fonts, problems);
        }
        {
            CMasterOnOffPopUpDlg popUp(app.m_dwVendorID, 1);
            popUp.m_strTechnology = kLumoraTechnologyName;
            CheckModal(popUp, where + " pop-up", fonts, problems);
        }
        for (UINT nID : {IDS_PRESETSAVE_INVALID_NAME, IDS_PRESETSAVE_OVERWRITE}) {
            CMsgBoxDlg box;
            box.m_strMessage = LoadUIString(nID);
            box.m_nType = nID == IDS_PRESETSAVE_OVERWRITE ? MB_YESNO : MB_OK;
            CheckModal(box, where + " message " + std::to_string(nID), fonts, problems);
        }
        app.KVUninitPlugin(hPanel);
        app.KVUninitPlugin(hMain);
    }
};

TEST_F(Layout, InEveryLanguageEveryTextFitsAndNoControlsOverlap)
{
    // Everything a page can show: surround speakers, the reverb on.
    LoadFile(L"default.kvtopo");
    wchar_t szError[128] = L"";
    ASSERT_TRUE(kvsim::SetSpeakerLayout(Node(L"speakers"), L"5.1", szError, 128)) << kvtest::Narrow(szError);
    Set(L"speakers", L"reverb.enabled", L"1");

    CKVEffectApp& app = App();
    const HINSTANCE hEnglish = AfxGetResourceHandle();
    const DWORD dwLanguageBefore = app.m_dwLanguageID;
    const float fScalingBefore = app.m_fCplScalingFactor;
    const std::wstring strSkinBefore = app.m_strBFFName;
    const std::wstring path = kvtest::ExeDirectory() + L"KVEffRsc.rsc";
    HDC hdc = GetDC(nullptr);
    const std::string dpi = std::to_string(GetDeviceCaps(hdc, LOGPIXELSX)) + " DPI";
    ReleaseDC(nullptr, hdc);
    std::vector<std::string> problems;
    for (const Language& l : kLanguages) {
        KVMUIRESLIB lib = {};
        ASSERT_EQ(S_OK, KVLoadMUIAwareResourceLibrary(path.c_str(), l.pszLocale, 0, 0, &lib));
        AfxSetResourceHandle(lib.hModule);
        app.m_dwLanguageID = l.dwLanguage;
        for (DWORD dwScaling : kScalings) {
            kvtest::ScopedRegValue scaling(kHostGuiKey, L"CplScalingFactor", dwScaling);
            CheckEveryWindow(kvtest::Narrow(l.pszLocale) + " " + dpi + " " + std::to_string(dwScaling) + "%",
                             problems);
        }
        AfxSetResourceHandle(hEnglish);
        KVFreeMUIAwareResourceLibrary(lib);
    }
    app.m_dwLanguageID = dwLanguageBefore;
    app.m_fCplScalingFactor = fScalingBefore;
    app.m_strBFFName = strSkinBefore;
    std::string all;
    for (const std::string& p : problems)
        all += p + "\n";
    EXPECT_TRUE(problems.empty()) << all;
}

} // namespace
} // namespace uitest
