// Text from the driver and the registry: ids and names compared the way
// they are meant (only ASCII letters fold, whatever the user's locale), and
// task-allocator strings read no further than their allocation.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <cwchar>
#include <string>

inline wchar_t AsciiUpper(wchar_t c)
{
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - (L'a' - L'A')) : c;
}

inline bool EqualNoCaseAscii(const wchar_t* a, const wchar_t* b)
{
    if (!a || !b)
        return a == b;
    for (; *a && *b; ++a, ++b) {
        if (AsciiUpper(*a) != AsciiUpper(*b))
            return false;
    }
    return *a == *b;
}

// The longest id taken from the driver; a string without a terminator is cut
// at its allocation, or here.
inline constexpr size_t kMaxDriverTextChars = 1024;

// Takes a task-allocator string from the driver and frees it.
inline std::wstring TakeTaskString(LPWSTR psz)
{
    if (!psz)
        return std::wstring();
    size_t cchMax = kMaxDriverTextChars;
    IMalloc* pMalloc = nullptr;
    if (SUCCEEDED(CoGetMalloc(1, &pMalloc)) && pMalloc) {
        SIZE_T cb = pMalloc->GetSize(psz);
        if (cb != static_cast<SIZE_T>(-1) && cb / sizeof(wchar_t) < cchMax)
            cchMax = cb / sizeof(wchar_t);
        pMalloc->Release();
    }
    std::wstring s(psz, wcsnlen(psz, cchMax));
    CoTaskMemFree(psz);
    return s;
}
