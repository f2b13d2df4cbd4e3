// Texts the windows take from the resource library, and the vendor ids that
// choose between the two editions' texts.
#pragma once
#include <windows.h>

#include <string>

inline constexpr ULONGLONG kDefaultVendorID = 0x10EC;  // when there is no session
inline constexpr ULONGLONG kAltVendorID = 0x111D;      // the edition with its own texts and keys

// The string from the current resource library; empty when it is missing.
std::wstring LoadUIString(UINT nID);

// Fills the first two string placeholders (%s or %ls) of a translated format
// with pszFirst and pszSecond, and %% with %. Anything else is copied as it
// stands, so a faulty translation shows odd text instead of reading stray
// arguments.
std::wstring FormatTwoStrings(const std::wstring& strFormat, const wchar_t* pszFirst, const wchar_t* pszSecond);
// The same for one %d (or %i) filled with nValue.
std::wstring FormatOneInt(const std::wstring& strFormat, int nValue);
