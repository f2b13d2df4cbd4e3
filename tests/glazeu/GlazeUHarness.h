// What the skin library's tests share: the library loaded and driven as the
// plug-in does it, dialogs built in memory under one host window, and ways
// to read back what is on the screen and what the process holds.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace glazeutest {

// GlazeU.DLL through LoadLibrary and its one export, as HookWndWC uses it.
class CGlazeU
{
public:
    CGlazeU();   // loads the library
    ~CGlazeU();  // frees it, if still loaded
    CGlazeU(const CGlazeU&) = delete;
    CGlazeU& operator=(const CGlazeU&) = delete;

    INT_PTR Call(INT_PTR nCode, INT_PTR hHook, INT_PTR a = 0, INT_PTR b = 0, INT_PTR c = 0) const;
    INT_PTR Create() const { return Call(1, 0); }
    INT_PTR Skin(INT_PTR hHook, HWND hWnd, const char* pszSection, const std::wstring& path) const;
    INT_PTR PrepareRelease(INT_PTR hHook) const { return Call(4, hHook); }
    INT_PTR Destroy(INT_PTR hHook) const { return Call(2, hHook); }
    void Free();
    bool Loaded() const { return m_pfn != nullptr; }

private:
    HMODULE m_hDll = nullptr;
    INT_PTR(WINAPI* m_pfn)(INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR) = nullptr;
};

// A dialog template (DLGTEMPLATEEX) built in memory; dialog units as usual.
class CDialogTemplate
{
public:
    CDialogTemplate(short cx, short cy, WORD wPointSize);
    CDialogTemplate& Add(const wchar_t* pszClass, const wchar_t* pszText, int nId, DWORD dwStyle, short x, short y,
                         short cx, short cy);
    // A visible child dialog of hParent at (x, y) pixels.
    HWND Create(HWND hParent, int x = 0, int y = 0) const;

private:
    void Word(WORD w) { m_bytes.insert(m_bytes.end(), reinterpret_cast<BYTE*>(&w), reinterpret_cast<BYTE*>(&w) + 2); }
    void Dword(DWORD d);
    void Text(const wchar_t* psz);
    void Align();
    std::vector<BYTE> m_bytes;
    size_t m_nCountAt = 0;
};

// The one top-level window of the program: hiding or destroying a shown
// top-level window costs seconds under Wine without a window manager.
HWND Host();

// The skin files beside the test program.
std::wstring BinFile(const wchar_t* pszName);
// Writes text into a fresh temporary folder; returns the file's path.
std::wstring WriteSkinFile(const std::string& text);

// Dialogs shaped like the plug-in's, with the ids of KVEffRsc_ids.h. A page
// with every kind of control the skin paints, in every state:
HWND CreateSampleDialog(HWND hParent, WORD wPointSize = 8);
// the main window's frame, its first page current (that button disabled and
// bold, as the plug-in marks it) and its placeholders hidden:
HWND CreateMainDialog(HWND hParent, WORD wPointSize = 8);
// the master switch, on: the checked right half carries the label.
HWND CreateMasterDialog(HWND hParent, WORD wPointSize = 8);

// Paints everything now, then reads one pixel of the window as shown.
COLORREF PixelAt(HWND hWnd, int x, int y);
COLORREF BrushColor(HBRUSH hbr);
// What WM_CTLCOLORDLG gives the dialog's background.
COLORREF DialogBrushColor(HWND hDlg);
RECT RectIn(HWND hParent, HWND hChild);

// The window's client area as shown now, children included: a 24-bit DIB,
// its header first; empty on failure.
std::vector<BYTE> ShownImage(HWND hWnd);
// The same once everything has been painted afresh.
std::vector<BYTE> ClientImage(HWND hWnd);
// Saves the window's client area, children included, as a 24-bit BMP.
bool SaveScreenshot(HWND hWnd, const std::wstring& path);

// Live GDI objects of the process, read from the GDI handle table the
// system maps into every process (Wine answers 0 to GetGuiResources).
std::vector<HGDIOBJ> GdiObjects();
int CountModules();

} // namespace glazeutest
