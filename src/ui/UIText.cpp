#include "ui/UIText.h"

#include "Framework.h"

std::wstring LoadUIString(UINT nID)
{
    // With a zero length LoadString hands out the resource's own text, which
    // is not terminated, so any length fits.
    const wchar_t* pText = nullptr;
    const int n = ::LoadStringW(AfxGetResourceHandle(), nID, reinterpret_cast<LPWSTR>(&pText), 0);
    return n > 0 && pText ? std::wstring(pText, static_cast<size_t>(n)) : std::wstring();
}

std::wstring FormatTwoStrings(const std::wstring& strFormat, const wchar_t* pszFirst, const wchar_t* pszSecond)
{
    const wchar_t* args[2] = {pszFirst ? pszFirst : L"", pszSecond ? pszSecond : L""};
    int nUsed = 0;
    std::wstring out;
    out.reserve(strFormat.size() + 64);
    for (size_t i = 0; i < strFormat.size(); ++i) {
        const wchar_t c = strFormat[i];
        if (c != L'%' || i + 1 >= strFormat.size()) {
            out += c;
            continue;
        }
        if (strFormat[i + 1] == L'%') {
            out += L'%';
            ++i;
        } else if (strFormat[i + 1] == L's' && nUsed < 2) {
            out += args[nUsed++];
            ++i;
        } else if (strFormat.compare(i + 1, 2, L"ls") == 0 && nUsed < 2) {
            out += args[nUsed++];
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}
