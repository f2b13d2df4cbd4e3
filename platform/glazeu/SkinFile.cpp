#include "SkinFile.h"

#include <memory>
#include <new>

namespace glazeu {

namespace {

// A line longer than this is hostile, not a skin.
constexpr size_t kMaxLineChars = 1024;

struct CColorKey {
    const char* m_pszName;
    COLORREF CSkinColors::*m_pcr;
    unsigned m_uBit;
};

const CColorKey kColorKeys[] = {
    {"background", &CSkinColors::m_crBackground, 1u << 0},
    {"text", &CSkinColors::m_crText, 1u << 1},
    {"accent", &CSkinColors::m_crAccent, 1u << 2},
    {"disabledtext", &CSkinColors::m_crDisabledText, 1u << 3},
    {"accenttext", &CSkinColors::m_crAccentText, 1u << 4},
    {"face", &CSkinColors::m_crFace, 1u << 5},
    {"border", &CSkinColors::m_crBorder, 1u << 6},
    {"line", &CSkinColors::m_crLine, 1u << 7},
    {"field", &CSkinColors::m_crField, 1u << 8},
    {"fieldtext", &CSkinColors::m_crFieldText, 1u << 9},
    {"channel", &CSkinColors::m_crChannel, 1u << 10},
    {"thumb", &CSkinColors::m_crThumb, 1u << 11},
};
constexpr unsigned kRequiredColors = 0x7;  // background, text, accent
constexpr unsigned kBitToggle = 1u << 12, kBitPageButtons = 1u << 13;
constexpr unsigned kBitFamily = 1u << 0, kBitScale = 1u << 1, kBitFont = 1u << 2;

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool IsKey(std::string_view s)
{
    if (s.empty() || s.size() > 32)
        return false;
    for (char c : s) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    }
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool ParseColor(std::string_view v, COLORREF& cr)
{
    if (v.size() != 7 || v[0] != '#')
        return false;
    int n[6];
    for (int i = 0; i < 6; ++i) {
        if ((n[i] = HexDigit(v[i + 1])) < 0)
            return false;
    }
    cr = RGB(n[0] * 16 + n[1], n[2] * 16 + n[3], n[4] * 16 + n[5]);
    return true;
}

bool ParseInt(std::string_view v, int nMin, int nMax, int& n)
{
    if (v.empty() || v.size() > 6)
        return false;
    n = 0;
    for (char c : v) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    return n >= nMin && n <= nMax;
}

// "1022, 1023": control ids, at least one.
bool ParseIds(std::string_view v, CRoleIds& ids)
{
    ids = {};
    for (;;) {
        const size_t comma = v.find(',');
        int nId;
        if (ids.m_nCount == kMaxRoleIds || !ParseInt(Trim(v.substr(0, comma)), 1, 0xFFFF, nId))
            return false;
        ids.m_nIds[ids.m_nCount++] = nId;
        if (comma == std::string_view::npos)
            return true;
        v.remove_prefix(comma + 1);
    }
}

bool IsPrintable(std::string_view v)
{
    for (char c : v) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

// "Tahoma, 13": a face name (UTF-8) and the cell height in pixels.
bool ParseFont(std::string_view v, CSkinLook& look)
{
    const size_t comma = v.rfind(',');
    if (comma == std::string_view::npos)
        return false;
    const std::string_view face = Trim(v.substr(0, comma));
    if (face.empty() || face.size() >= LF_FACESIZE || !IsPrintable(face) ||
        !ParseInt(Trim(v.substr(comma + 1)), 6, 96, look.m_nFontPixels))
        return false;
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, face.data(), static_cast<int>(face.size()),
                                      look.m_szFontFace, LF_FACESIZE - 1);
    if (n <= 0)
        return false;
    look.m_szFontFace[n] = L'\0';
    return true;
}

bool ParseFileKey(std::string_view key, std::string_view value, unsigned& uSeen, CSkinLook& look)
{
    unsigned uBit = 0;
    bool bOk = true;
    int nScale;
    if (EqualsNoCase(key, "family"))
        uBit = kBitFamily, bOk = !value.empty() && value.size() <= 64 && IsPrintable(value);
    else if (EqualsNoCase(key, "scale"))
        uBit = kBitScale, bOk = ParseInt(value, 10, 1000, nScale);
    else if (EqualsNoCase(key, "font"))
        uBit = kBitFont, bOk = ParseFont(value, look);
    if (!bOk || (uSeen & uBit))
        return false;
    uSeen |= uBit;
    return true;
}

bool ParseSectionKey(std::string_view key, std::string_view value, unsigned& uSeen, CSkinLook& look)
{
    for (const CColorKey& k : kColorKeys) {
        if (EqualsNoCase(key, k.m_pszName)) {
            if ((uSeen & k.m_uBit) || !ParseColor(value, look.m_colors.*k.m_pcr))
                return false;
            uSeen |= k.m_uBit;
            return true;
        }
    }
    if (EqualsNoCase(key, "toggle")) {
        if ((uSeen & kBitToggle) || !ParseIds(value, look.m_toggle))
            return false;
        uSeen |= kBitToggle;
    } else if (EqualsNoCase(key, "pagebuttons")) {
        if ((uSeen & kBitPageButtons) || !ParseIds(value, look.m_pageButtons))
            return false;
        uSeen |= kBitPageButtons;
    }
    return true;
}

// Readable text on an accent fill: black or white, whichever stands out.
COLORREF TextOn(COLORREF cr)
{
    const int nLuma = (GetRValue(cr) * 299 + GetGValue(cr) * 587 + GetBValue(cr) * 114) / 1000;
    return nLuma > 150 ? RGB(0, 0, 0) : RGB(255, 255, 255);
}

// The colours a section may leave out, from the three it must give.
void DeriveMissingColors(unsigned uSeen, CSkinColors& c)
{
    const auto fill = [uSeen, &c](COLORREF CSkinColors::*pcr, COLORREF crDerived) {
        for (const CColorKey& k : kColorKeys) {
            if (k.m_pcr == pcr && !(uSeen & k.m_uBit))
                c.*pcr = crDerived;
        }
    };
    fill(&CSkinColors::m_crDisabledText, Mix(c.m_crText, c.m_crBackground, 50));
    fill(&CSkinColors::m_crAccentText, TextOn(c.m_crAccent));
    fill(&CSkinColors::m_crFace, Mix(c.m_crBackground, c.m_crText, 10));
    fill(&CSkinColors::m_crBorder, Mix(c.m_crBackground, c.m_crText, 30));
    fill(&CSkinColors::m_crLine, c.m_crBorder);
    fill(&CSkinColors::m_crField, Mix(c.m_crBackground, c.m_crText, 5));
    fill(&CSkinColors::m_crFieldText, c.m_crText);
    fill(&CSkinColors::m_crChannel, c.m_crBorder);
    fill(&CSkinColors::m_crThumb, c.m_crAccent);
}

} // namespace

COLORREF Mix(COLORREF a, COLORREF b, int nPercent)
{
    const auto channel = [nPercent](int x, int y) { return static_cast<BYTE>(x + (y - x) * nPercent / 100); };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

int CRoleIds::IndexOf(int nId) const
{
    for (int i = 0; i < m_nCount; ++i) {
        if (m_nIds[i] == nId)
            return i;
    }
    return -1;
}

bool ParseSkinSection(std::string_view text, std::string_view section, CSkinLook& look)
{
    enum { kOther, kFile, kTarget } where = kOther;
    bool bFileSeen = false, bTargetSeen = false;
    unsigned uFileKeys = 0, uSectionKeys = 0;
    look = {};
    if (section.empty())
        return false;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")  // a byte-order mark left by an editor
        text.remove_prefix(3);

    while (!text.empty()) {
        const size_t eol = text.find('\n');
        const std::string_view raw = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        const std::string_view line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        const bool bLineOk = raw.size() <= kMaxLineChars;
        if (line[0] == '[') {
            // A later section of the same name, or a second header, is ignored.
            const std::string_view name = Trim(line.substr(1, line.size() - 2));
            if (!bLineOk || line.back() != ']') {
                if (where != kOther)
                    return false;
            } else if (!bFileSeen && EqualsNoCase(name, "file")) {
                where = kFile, bFileSeen = true;
            } else if (!bTargetSeen && EqualsNoCase(name, section)) {
                where = kTarget, bTargetSeen = true;
            } else {
                where = kOther;
            }
            continue;
        }
        if (where == kOther)
            continue;
        const size_t eq = line.find('=');
        if (!bLineOk || eq == std::string_view::npos)
            return false;
        const std::string_view key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
        if (!IsKey(key))
            return false;
        if (where == kFile ? !ParseFileKey(key, value, uFileKeys, look)
                           : !ParseSectionKey(key, value, uSectionKeys, look))
            return false;
    }
    if (!bTargetSeen || (uSectionKeys & kRequiredColors) != kRequiredColors)
        return false;
    DeriveMissingColors(uSectionKeys, look.m_colors);
    return true;
}

bool LoadSkinSection(const wchar_t* pszPath, const char* pszSection, CSkinLook& look)
{
    if (!pszPath || !pszSection || !*pszPath || wcsnlen(pszPath, 32768) == 32768)
        return false;
    const size_t cchSection = strnlen(pszSection, 256);
    if (cchSection == 256)
        return false;
    HANDLE hFile = CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    std::unique_ptr<char[]> pText;
    DWORD cbRead = 0;
    bool bRead = GetFileSizeEx(hFile, &size) && size.QuadPart <= kMaxSkinFileBytes &&
                 (pText.reset(new (std::nothrow) char[kMaxSkinFileBytes]), pText) &&
                 ReadFile(hFile, pText.get(), kMaxSkinFileBytes, &cbRead, nullptr);
    CloseHandle(hFile);
    return bRead && ParseSkinSection(std::string_view(pText.get(), cbRead), std::string_view(pszSection, cchSection),
                                     look);
}

} // namespace glazeu
