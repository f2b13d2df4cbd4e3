#include "ui/UIText.h"

#include <cwchar>

#include "Framework.h"

std::wstring LoadUIString(UINT nID)
{
    // With a zero length LoadString hands out the resource's own text, which
    // is not terminated, so any length fits.
    const wchar_t* pText = nullptr;
    const int n = ::LoadStringW(AfxGetResourceHandle(), nID, reinterpret_cast<LPWSTR>(&pText), 0);
    return n > 0 && pText ? std::wstring(pText, static_cast<size_t>(n)) : std::wstring();
}

namespace {

// Fills the placeholders named in conversions (longest first) with args in order,
// and %% with %; anything else is copied as it stands.
std::wstring Substitute(const std::wstring& strFormat, std::initializer_list<std::wstring> args,
                        std::initializer_list<const wchar_t*> conversions)
{
    auto arg = args.begin();
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
            continue;
        }
        bool bFilled = false;
        for (const wchar_t* conversion : conversions) {
            const size_t n = wcslen(conversion);
            if (arg != args.end() && strFormat.compare(i + 1, n, conversion) == 0) {
                out += *arg++;
                i += n;
                bFilled = true;
                break;
            }
        }
        if (!bFilled)
            out += c;
    }
    return out;
}

}  // namespace

std::wstring FormatTwoStrings(const std::wstring& strFormat, const wchar_t* pszFirst, const wchar_t* pszSecond)
{
    return Substitute(strFormat, {pszFirst ? pszFirst : L"", pszSecond ? pszSecond : L""}, {L"ls", L"s"});
}

std::wstring FormatOneInt(const std::wstring& strFormat, int nValue)
{
    return Substitute(strFormat, {std::to_wstring(nValue)}, {L"d", L"i"});
}
