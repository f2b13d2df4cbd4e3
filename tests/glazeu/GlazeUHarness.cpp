#include "GlazeUHarness.h"

#include "KVEffRsc_ids.h"
#include "test_support.h"

#include <commctrl.h>
#include <tlhelp32.h>

namespace glazeutest {

CGlazeU::CGlazeU()
{
    m_hDll = LoadLibraryW(L"GlazeU.DLL");
    if (m_hDll)
        m_pfn = reinterpret_cast<decltype(m_pfn)>(GetProcAddress(m_hDll, "CallHookWnd"));
}

CGlazeU::~CGlazeU()
{
    Free();
}

void CGlazeU::Free()
{
    if (m_hDll)
        FreeLibrary(m_hDll);
    m_hDll = nullptr;
    m_pfn = nullptr;
}

INT_PTR CGlazeU::Call(INT_PTR nCode, INT_PTR hHook, INT_PTR a, INT_PTR b, INT_PTR c) const
{
    return m_pfn ? m_pfn(nCode, hHook, a, b, c) : 0;
}

INT_PTR CGlazeU::Skin(INT_PTR hHook, HWND hWnd, const char* pszSection, const std::wstring& path) const
{
    return Call(0x1000, hHook, reinterpret_cast<INT_PTR>(hWnd), reinterpret_cast<INT_PTR>(pszSection),
                reinterpret_cast<INT_PTR>(path.c_str()));
}

CDialogTemplate::CDialogTemplate(short cx, short cy, WORD wPointSize)
{
    Word(1);
    Word(0xFFFF);
    Dword(0);  // help id
    Dword(0);  // extended style
    Dword(DS_SETFONT | DS_CONTROL | WS_CHILD | WS_VISIBLE);
    m_nCountAt = m_bytes.size();
    Word(0);
    for (short n : {short(0), short(0), cx, cy})
        Word(static_cast<WORD>(n));
    Word(0);  // no menu
    Word(0);  // the dialog class
    Word(0);  // no title
    Word(wPointSize);
    Word(FW_NORMAL);
    Word(0);  // not italic, default character set
    Text(L"MS Shell Dlg");
}

CDialogTemplate& CDialogTemplate::Add(const wchar_t* pszClass, const wchar_t* pszText, int nId, DWORD dwStyle, short x,
                                      short y, short cx, short cy)
{
    Align();
    Dword(0);
    Dword(0);
    Dword(dwStyle | WS_CHILD | WS_VISIBLE);
    for (short n : {x, y, cx, cy})
        Word(static_cast<WORD>(n));
    Dword(static_cast<DWORD>(nId));
    Text(pszClass);
    Text(pszText);
    Word(0);  // no creation data
    ++*reinterpret_cast<WORD*>(&m_bytes[m_nCountAt]);
    return *this;
}

HWND CDialogTemplate::Create(HWND hParent, int x, int y) const
{
    // Stands in for the plug-in's dialog procedures: the skin must need nothing from them.
    const DLGPROC proc = [](HWND, UINT uMsg, WPARAM, LPARAM) -> INT_PTR { return uMsg == WM_INITDIALOG; };
    HWND hDlg = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                           reinterpret_cast<const DLGTEMPLATE*>(m_bytes.data()), hParent, proc, 0);
    if (hDlg)
        SetWindowPos(hDlg, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return hDlg;
}

void CDialogTemplate::Dword(DWORD d)
{
    Word(LOWORD(d));
    Word(HIWORD(d));
}

void CDialogTemplate::Text(const wchar_t* psz)
{
    do
        Word(*psz);
    while (*psz++);
}

void CDialogTemplate::Align()
{
    while (m_bytes.size() % 4)
        m_bytes.push_back(0);
}

HWND Host()
{
    static HWND s_hHost = CreateWindowExW(0, L"STATIC", L"GlazeU test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1280,
                                          960, nullptr, nullptr, nullptr, nullptr);
    return s_hHost;
}

std::wstring BinFile(const wchar_t* pszName)
{
    return kvtest::ExeDirectory() + pszName;
}

std::wstring WriteSkinFile(const std::string& text)
{
    // One folder for the program, removed when it ends.
    static struct CFolder {
        std::wstring m_dir = kvtest::NewTempDirectory();
        ~CFolder() { kvtest::RemoveTree(m_dir); }
    } s_folder;
    static int s_n = 0;
    const std::wstring path = s_folder.m_dir + L"\\skin" + std::to_wstring(++s_n) + L".bff";
    kvtest::WriteFileBytes(path, text.data(), text.size());
    return path;
}

HWND CreateSampleDialog(HWND hParent, WORD wPointSize)
{
    const DWORD kHSlider = WS_TABSTOP | TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS;
    const DWORD kVSlider = WS_TABSTOP | TBS_VERT | TBS_BOTH | TBS_NOTICKS;
    CDialogTemplate t(318, 180, wPointSize);
    t.Add(L"Button", L"Clarity", IDC_GRP_DETAIL, BS_GROUPBOX, 7, 4, 150, 46)
        .Add(L"Button", L"Restore lost detail", IDC_CHK_DETAIL_RESTORE, BS_AUTOCHECKBOX | WS_TABSTOP, 16, 17, 134, 10)
        .Add(TRACKBAR_CLASSW, L"", IDC_SLD_DETAIL_RESTORE, kHSlider, 14, 28, 138, 18)
        .Add(L"Button", L"Presets", IDC_GRP_RVX_PRESETS, BS_GROUPBOX, 7, 54, 150, 50)
        .Add(L"Button", L"None", IDC_RAD_RVX_NO_PRESET, BS_RADIOBUTTON | WS_TABSTOP, 16, 67, 64, 10)
        .Add(L"Button", L"Hall", IDC_RAD_RVX_PRESET_0, BS_RADIOBUTTON, 84, 67, 64, 10)
        .Add(L"Button", L"Arena", IDC_RAD_RVX_PRESET_1, BS_RADIOBUTTON, 16, 83, 64, 10)
        .Add(L"Button", L"Room", IDC_RAD_RVX_PRESET_2, BS_RADIOBUTTON | WS_DISABLED, 84, 83, 64, 10)
        .Add(L"Static", L"Surround mode", IDC_STC_SURROUND_MODE, SS_LEFT, 7, 112, 60, 8)
        .Add(L"ComboBox", L"", IDC_CMB_SURROUND_MODE, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 70, 110, 87, 60)
        .Add(L"Button", L"Bass management", IDC_CHK_BASS_MANAGEMENT, BS_AUTOCHECKBOX | WS_DISABLED, 7, 128, 150, 10)
        .Add(TRACKBAR_CLASSW, L"", IDC_SLD_CROSSOVER, kHSlider | WS_DISABLED, 5, 140, 152, 18)
        .Add(L"Button", L"Save...", IDC_BTN_EQ_PRESET_SAVE, BS_PUSHBUTTON | WS_TABSTOP, 7, 162, 48, 14)
        .Add(L"Button", L"Delete", IDC_BTN_EQ_PRESET_DEL, BS_PUSHBUTTON | WS_DISABLED, 59, 162, 48, 14)
        .Add(L"Button", L"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 111, 162, 46, 14)
        .Add(L"Button", L"Equalizer", IDC_CHK_EQ_ENABLE, BS_AUTOCHECKBOX | WS_TABSTOP, 170, 6, 80, 10)
        .Add(L"Static", L"12 dB", IDC_STC_EQ_SCALE_MAX, SS_RIGHT, 164, 26, 24, 8)
        .Add(L"Static", L"-12 dB", IDC_STC_EQ_SCALE_MIN, SS_RIGHT, 164, 128, 24, 8)
        .Add(L"Static", L"", IDC_STATIC, SS_ETCHEDVERT, 160, 22, 1, 140);
    for (int i = 0; i < 6; ++i) {
        t.Add(TRACKBAR_CLASSW, L"", IDC_SLD_EQ_BAND_0 + i, kVSlider | (i == 5 ? WS_DISABLED : 0),
              static_cast<short>(192 + i * 20), 22, 18, 116);
        static const wchar_t* const kBands[] = {L"31", L"62", L"125", L"250", L"500", L"1k"};
        t.Add(L"Static", kBands[i], IDC_STC_EQ_BAND_0 + i, SS_CENTER | SS_NOPREFIX, static_cast<short>(190 + i * 20),
              142, 22, 8);
    }
    HWND hDlg = t.Create(hParent);
    if (!hDlg)
        return nullptr;
    CheckDlgButton(hDlg, IDC_CHK_DETAIL_RESTORE, BST_CHECKED);
    CheckDlgButton(hDlg, IDC_CHK_EQ_ENABLE, BST_CHECKED);
    CheckDlgButton(hDlg, IDC_RAD_RVX_PRESET_0, BST_CHECKED);
    CheckDlgButton(hDlg, IDC_CHK_BASS_MANAGEMENT, BST_CHECKED);
    for (int nId : {IDC_SLD_DETAIL_RESTORE, IDC_SLD_CROSSOVER}) {
        SendDlgItemMessageW(hDlg, nId, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
        SendDlgItemMessageW(hDlg, nId, TBM_SETTICFREQ, 1, 0);
        SendDlgItemMessageW(hDlg, nId, TBM_SETPOS, TRUE, nId == IDC_SLD_CROSSOVER ? 3 : 6);
    }
    static const int kGains[] = {6, 10, 14, 12, 8, 12};
    for (int i = 0; i < 6; ++i) {
        SendDlgItemMessageW(hDlg, IDC_SLD_EQ_BAND_0 + i, TBM_SETRANGE, TRUE, MAKELPARAM(0, 24));
        SendDlgItemMessageW(hDlg, IDC_SLD_EQ_BAND_0 + i, TBM_SETPOS, TRUE, kGains[i]);
    }
    for (const wchar_t* psz : {L"Front speakers", L"Front and rear speakers"})
        SendDlgItemMessageW(hDlg, IDC_CMB_SURROUND_MODE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(psz));
    SendDlgItemMessageW(hDlg, IDC_CMB_SURROUND_MODE, CB_SETCURSEL, 1, 0);
    return hDlg;
}

HWND CreateMainDialog(HWND hParent, WORD wPointSize)
{
    CDialogTemplate t(332, 242, wPointSize);
    t.Add(L"Static", L"", IDC_PLACE_MASTER_ONOFF, SS_ETCHEDFRAME, 7, 3, 224, 26)
        .Add(L"Static", L"", IDC_STATIC, SS_ETCHEDHORZ, 7, 31, 318, 1)
        .Add(L"Button", L"Surround", IDC_BTN_PAGE_QFX, BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 7, 35, 78, 16)
        .Add(L"Button", L"Enhancement", IDC_BTN_PAGE_ENHANCEMENT, BS_PUSHBUTTON | WS_TABSTOP, 87, 35, 78, 16)
        .Add(L"Button", L"Reverb", IDC_BTN_PAGE_RVX, BS_PUSHBUTTON | WS_TABSTOP, 167, 35, 78, 16)
        .Add(L"Button", L"Equalizer", IDC_BTN_PAGE_EQ, BS_PUSHBUTTON | WS_TABSTOP, 247, 35, 78, 16)
        .Add(L"Static", L"", IDC_STATIC, SS_ETCHEDHORZ, 7, 53, 318, 1)
        .Add(L"Static", L"", IDC_PLACE_CHILD_DLG, SS_ETCHEDFRAME, 7, 56, 318, 180);
    HWND hDlg = t.Create(hParent);
    if (!hDlg)
        return nullptr;
    ShowWindow(GetDlgItem(hDlg, IDC_PLACE_MASTER_ONOFF), SW_HIDE);
    ShowWindow(GetDlgItem(hDlg, IDC_PLACE_CHILD_DLG), SW_HIDE);
    // One bold font per size for the program, as the plug-in keeps one per window.
    static HFONT s_hBold[64] = {};
    HFONT& hBold = s_hBold[wPointSize % 64];
    LOGFONTW lf;
    if (!hBold && GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hDlg, WM_GETFONT, 0, 0)), sizeof(lf), &lf)) {
        lf.lfWeight = FW_BOLD;
        hBold = CreateFontIndirectW(&lf);
    }
    SendDlgItemMessageW(hDlg, IDC_BTN_PAGE_QFX, WM_SETFONT, reinterpret_cast<WPARAM>(hBold), TRUE);
    return hDlg;
}

HWND CreateMasterDialog(HWND hParent, WORD wPointSize)
{
    CDialogTemplate t(224, 26, wPointSize);
    t.Add(L"Static", L"All effects", IDC_MASTER_FOCUS, SS_LEFT, 7, 9, 60, 8)
        .Add(L"Button", L"", IDC_BTN_MASTER_OFF, BS_CHECKBOX | BS_PUSHLIKE | WS_TABSTOP, 70, 6, 36, 14)
        .Add(L"Button", L"On", IDC_BTN_MASTER_ON, BS_CHECKBOX | BS_PUSHLIKE | WS_TABSTOP, 106, 6, 36, 14)
        .Add(L"Static", L"Auralith Q-fx MB", IDC_STC_TECHNOLOGY, SS_LEFT | SS_NOPREFIX, 148, 9, 70, 8);
    HWND hDlg = t.Create(hParent);
    if (hDlg)
        CheckDlgButton(hDlg, IDC_BTN_MASTER_ON, BST_CHECKED);
    return hDlg;
}

COLORREF PixelAt(HWND hWnd, int x, int y)
{
    RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HDC hdc = GetDC(hWnd);
    const COLORREF cr = GetPixel(hdc, x, y);
    ReleaseDC(hWnd, hdc);
    return cr;
}

COLORREF BrushColor(HBRUSH hbr)
{
    LOGBRUSH lb = {};
    return hbr && GetObjectW(hbr, sizeof(lb), &lb) == sizeof(lb) ? lb.lbColor : CLR_INVALID;
}

COLORREF DialogBrushColor(HWND hDlg)
{
    HDC hdc = GetDC(hDlg);
    const auto hbr = reinterpret_cast<HBRUSH>(
        SendMessageW(hDlg, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(hDlg)));
    ReleaseDC(hDlg, hdc);
    return BrushColor(hbr);
}

RECT RectIn(HWND hParent, HWND hChild)
{
    RECT rc = {};
    GetWindowRect(hChild, &rc);
    MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::vector<BYTE> ClientImage(HWND hWnd)
{
    RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return ShownImage(hWnd);
}

std::vector<BYTE> ShownImage(HWND hWnd)
{
    RECT rc;
    GetClientRect(hWnd, &rc);
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = rc.right;
    bih.biHeight = rc.bottom;  // bottom-up, as BMP files keep their rows
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    void* pBits = nullptr;
    HDC hdc = GetDC(hWnd);
    HBITMAP hbm = CreateDIBSection(hdc, reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS, &pBits, nullptr, 0);
    HDC hdcMem = CreateCompatibleDC(hdc);
    HGDIOBJ hOld = SelectObject(hdcMem, hbm);
    std::vector<BYTE> image;
    // Under Wine a copy from the window DC reads back children too; PrintWindow would not.
    if (hbm && BitBlt(hdcMem, 0, 0, rc.right, rc.bottom, hdc, 0, 0, SRCCOPY)) {
        GdiFlush();
        const DWORD cbBits = (static_cast<DWORD>(rc.right) * 3 + 3) / 4 * 4 * static_cast<DWORD>(rc.bottom);
        image.assign(reinterpret_cast<BYTE*>(&bih), reinterpret_cast<BYTE*>(&bih) + sizeof(bih));
        image.insert(image.end(), static_cast<BYTE*>(pBits), static_cast<BYTE*>(pBits) + cbBits);
    }
    SelectObject(hdcMem, hOld);
    DeleteDC(hdcMem);
    if (hbm)
        DeleteObject(hbm);
    ReleaseDC(hWnd, hdc);
    return image;
}

bool SaveScreenshot(HWND hWnd, const std::wstring& path)
{
    const std::vector<BYTE> image = ClientImage(hWnd);
    if (image.empty())
        return false;
    BITMAPFILEHEADER bfh = {0x4D42, static_cast<DWORD>(sizeof(bfh) + image.size()), 0, 0,
                            sizeof(bfh) + sizeof(BITMAPINFOHEADER)};
    std::vector<BYTE> file(reinterpret_cast<BYTE*>(&bfh), reinterpret_cast<BYTE*>(&bfh) + sizeof(bfh));
    file.insert(file.end(), image.begin(), image.end());
    return kvtest::WriteFileBytes(path, file.data(), file.size());
}

std::vector<HGDIOBJ> GdiObjects()
{
    // The table's cells as both Windows x64 and Wine lay them out: the
    // handle of cell i is i | (wUpper << 16), and a live cell has a type.
    struct CGdiCell {
        ULONG64 pKernel;
        USHORT wProcessId, wCount, wUpper;
        UCHAR nType, nFlags;
        ULONG64 pUser;
    };
    const BYTE* pPeb = *reinterpret_cast<BYTE* const*>(reinterpret_cast<const BYTE*>(NtCurrentTeb()) + 0x60);
    const CGdiCell* pTable = *reinterpret_cast<CGdiCell* const*>(pPeb + 0xF8);
    std::vector<HGDIOBJ> objects;
    for (ULONG i = 0; pTable && i < 0x10000; ++i) {
        const auto h = reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(i | (ULONG(pTable[i].wUpper) << 16)));
        if (pTable[i].nType && GetObjectType(h))
            objects.push_back(h);
    }
    return objects;
}

int CountModules()
{
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return -1;
    MODULEENTRY32W me = {};
    me.dwSize = sizeof(me);
    int n = 0;
    for (BOOL b = Module32FirstW(hSnap, &me); b; b = Module32NextW(hSnap, &me))
        ++n;
    CloseHandle(hSnap);
    return n;
}

} // namespace glazeutest
