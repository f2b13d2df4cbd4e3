// Comparisons the way the driver's ids and the registry's names are meant:
// only ASCII letters fold, whatever the user's locale.
#pragma once

#include <windows.h>

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
