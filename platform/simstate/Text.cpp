// Text helpers shared by the topology parser, the settings and the dump.
#include "SimInternal.h"

#include "features/KVDriverTypes.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <cwchar>

namespace kvsim::detail {

void CopyText(wchar_t* pDst, int cchDst, const wchar_t* pSrc)
{
    if (!pDst || cchDst <= 0)
        return;
    // The rest is cleared too: some quirks hand out whole buffers.
    int n = 0;
    for (; n < cchDst - 1 && pSrc[n]; ++n)
        pDst[n] = pSrc[n];
    wmemset(pDst + n, 0, cchDst - n);
}

void SetError(wchar_t* pError, int cchError, const std::wstring& text)
{
    CopyText(pError, cchError, text.c_str());
}

std::wstring Format(const wchar_t* fmt, ...)
{
    std::wstring out(128, L'\0');
    for (;;) {
        va_list args;
        va_start(args, fmt);
        // msvcrt's own function: %s and %ls are both wide here.
        int n = _vsnwprintf(&out[0], out.size(), fmt, args);
        va_end(args);
        if (n >= 0 && size_t(n) < out.size()) {
            out.resize(n);
            return out;
        }
        out.resize(out.size() * 2);
    }
}

bool ParseFloat(const std::wstring& text, float* pValue)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    double d = wcstod(text.c_str(), &end);
    if (*end || !std::isfinite(d) || std::fabs(d) > 3.0e38)
        return false;
    *pValue = float(d);
    return true;
}

bool ParseUInt(const std::wstring& text, DWORD* pValue)
{
    if (text.empty() || text[0] == L'-' || text[0] == L'+' || iswspace(text[0]))
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    unsigned long long v = wcstoull(text.c_str(), &end, 0);
    if (*end || errno || v > 0xFFFFFFFFull)
        return false;
    *pValue = DWORD(v);
    return true;
}

bool ParseInt(const std::wstring& text, LONG* pValue)
{
    if (text.empty() || iswspace(text[0]))
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    long long v = wcstoll(text.c_str(), &end, 0);
    if (*end || errno || v < -2147483648LL || v > 2147483647LL)
        return false;
    *pValue = LONG(v);
    return true;
}

bool ParseBool(const std::wstring& text, BOOL* pValue)
{
    static const wchar_t* const kTrue[] = {L"1", L"on", L"true", L"yes"};
    static const wchar_t* const kFalse[] = {L"0", L"off", L"false", L"no"};
    for (const wchar_t* t : kTrue)
        if (_wcsicmp(text.c_str(), t) == 0)
            return *pValue = TRUE, true;
    for (const wchar_t* f : kFalse)
        if (_wcsicmp(text.c_str(), f) == 0)
            return *pValue = FALSE, true;
    return false;
}

std::wstring FormatFloat(float f)
{
    std::wstring s;
    for (int prec = 6; prec <= 9; ++prec) {
        s = Format(L"%.*g", prec, double(f));
        if (float(wcstod(s.c_str(), nullptr)) == f)
            break;
    }
    return s;
}

std::wstring FromAnsi(const char* psz, int cbMax)
{
    int cb = int(strnlen(psz, cbMax));
    std::wstring out(cb, L'\0');
    int n = cb ? MultiByteToWideChar(CP_ACP, 0, psz, cb, &out[0], cb) : 0;
    out.resize(n);
    return out;
}

std::wstring FromUtf8(const char* psz)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, psz, -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, psz, -1, &out[0], n);
    out.resize(n - 1);
    return out;
}

bool ToAnsi(const std::wstring& text, char* pDst, int cbDst)
{
    int cb = text.empty() ? 0 : WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (cb < 0 || cb > cbDst - 1)
        return false;
    if (cb)
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), pDst, cb, nullptr, nullptr);
    memset(pDst + cb, 0, cbDst - cb);
    return true;
}

std::wstring GuidText(const GUID& g)
{
    return Format(L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

bool ParseGuid(const std::wstring& text, GUID* pGuid)
{
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (text.size() != 38 || text[0] != L'{' || text[37] != L'}')
        return false;
    BYTE b[16];
    int nb = 0;
    for (size_t i = 1; i < 37;) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i++] != L'-')
                return false;
            continue;
        }
        int v = 0;
        for (int k = 0; k < 2; ++k, ++i) {
            wchar_t c = text[i];
            int d = (c >= L'0' && c <= L'9') ? c - L'0'
                  : (c >= L'a' && c <= L'f') ? c - L'a' + 10
                  : (c >= L'A' && c <= L'F') ? c - L'A' + 10 : -1;
            if (d < 0)
                return false;
            v = v * 16 + d;
        }
        b[nb++] = BYTE(v);
    }
    pGuid->Data1 = (DWORD(b[0]) << 24) | (DWORD(b[1]) << 16) | (DWORD(b[2]) << 8) | b[3];
    pGuid->Data2 = WORD((b[4] << 8) | b[5]);
    pGuid->Data3 = WORD((b[6] << 8) | b[7]);
    memcpy(pGuid->Data4, b + 8, 8);
    return true;
}

namespace {
struct NamedFormat {
    const wchar_t* name;
    const GUID* guid;
};
const NamedFormat kFormats[] = {
    {L"stereo", &KVFMT_STEREO}, {L"quad", &KVFMT_QUAD}, {L"quad-side", &KVFMT_QUAD_SIDE},
    {L"5.1", &KVFMT_5POINT1}, {L"5.1-side", &KVFMT_5POINT1_SIDE}, {L"6.1", &KVFMT_6POINT1},
    {L"6.1-side", &KVFMT_6POINT1_SIDE}, {L"7.1", &KVFMT_7POINT1}, {L"generic", &KVFMT_GENERIC},
    {L"effect", &KVFMT_EFFECT},
};
}  // namespace

const wchar_t* FormatName(const GUID& g)
{
    for (const NamedFormat& f : kFormats)
        if (IsEqualGUID(g, *f.guid))
            return f.name;
    return nullptr;
}

bool FormatFromText(const std::wstring& text, GUID* pGuid)
{
    for (const NamedFormat& f : kFormats) {
        if (_wcsicmp(text.c_str(), f.name) == 0) {
            *pGuid = *f.guid;
            return true;
        }
    }
    return ParseGuid(text, pGuid);
}

const wchar_t* const kQuirkNames[kQuirkCount] = {L"spk-count-huge", L"unterminated-names", L"full-keys",
                                                 L"endless-presets", L"endless-lists", L"many-presets"};

BOOL* QuirkFlagAt(Quirks& q, int i)
{
    BOOL* flags[kQuirkCount] = {&q.bSpkCountHuge, &q.bUnterminatedNames, &q.bFullKeys,
                                &q.bEndlessPresets, &q.bEndlessLists, &q.bManyPresets};
    return flags[i];
}

BOOL* QuirkFlag(Quirks& q, const std::wstring& name)
{
    for (int i = 0; i < kQuirkCount; ++i)
        if (_wcsicmp(name.c_str(), kQuirkNames[i]) == 0)
            return QuirkFlagAt(q, i);
    return nullptr;
}

std::wstring QuirkNameList()
{
    std::wstring list;
    for (const wchar_t* name : kQuirkNames)
        list += (list.empty() ? L"" : L", ") + std::wstring(name);
    return list;
}

}  // namespace kvsim::detail
