// Reading one section of a .bff skin file. The format is ours and is
// described in skins.desc, which generates every file the build ships.
#pragma once

#include <windows.h>

#include <string_view>

namespace glazeu {

// The roles a section gives to control ids. Nothing else in the library
// knows any id: the plug-in's dialogs name theirs in the skin file.
constexpr int kMaxRoleIds = 16;
struct CRoleIds {
    int m_nCount = 0;
    int m_nIds[kMaxRoleIds] = {};
    // The position of nId in the list, or -1.
    int IndexOf(int nId) const;
};

// a blended toward b by nPercent of the way; for the colours a file may
// leave out and for the states (pressed, disabled) no file names.
COLORREF Mix(COLORREF a, COLORREF b, int nPercent);

struct CSkinColors {
    COLORREF m_crBackground, m_crText, m_crDisabledText, m_crAccent, m_crAccentText, m_crFace, m_crBorder,
        m_crLine, m_crField, m_crFieldText, m_crChannel, m_crThumb;
};

// Everything a dialog's skin is made of, as read from the file.
struct CSkinLook {
    CSkinColors m_colors = {};
    CRoleIds m_toggle;        // the two halves of a two-state switch, left first
    CRoleIds m_pageButtons;   // buttons that pick a page; the disabled one is the current page
    wchar_t m_szFontFace[LF_FACESIZE] = {};  // empty: each control keeps its own font
    int m_nFontPixels = 0;                   // the font's cell height
};

// Files larger than this are refused whole rather than read in part: a cut
// line could still parse, as something else.
constexpr DWORD kMaxSkinFileBytes = 64 * 1024;

// Fills look from the section of the text. A section is used whole or not
// at all: when it is missing, lacks background, text or accent, or has a
// line that does not parse, the result is false and the dialog keeps the
// platform's look. The [file] header is held to the same rule, since its
// font applies to every section. Keys this version does not know are
// skipped, so newer files still load.
bool ParseSkinSection(std::string_view text, std::string_view section, CSkinLook& look);

// Reads the file (at most kMaxSkinFileBytes) and parses the section.
bool LoadSkinSection(const wchar_t* pszPath, const char* pszSection, CSkinLook& look);

} // namespace glazeu
