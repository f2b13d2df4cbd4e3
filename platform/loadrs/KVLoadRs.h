// Resource loader shared by the maker's control-panel components: finds the
// operating system's UI language and loads the matching localised resource
// library next to a neutral one.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Filled by KVLoadMUIAwareResourceLibrary and handed back whole to
// KVFreeMUIAwareResourceLibrary. Only hModule is the caller's to use.
typedef struct KVMUIRESLIB {
    HMODULE hModule;     // module that holds the resources to use
    void*   pReserved1;  // loader's own: language the module was chosen for
    void*   pReserved2;  // loader's own: record signature
} KVMUIRESLIB;

// Locale name of the OS user-interface language, e.g. L"en-US".
// pLangId (optional) receives the matching language id.
HRESULT WINAPI KVGetUserDefaultUILanguageOfOperatingSystem(LPWSTR pszLocale, DWORD cchLocale, LANGID* pLangId);

HRESULT WINAPI KVConvertLocaleNameToLCID(LPCWSTR pszLocale, LCID* pLcid);

// Loads pszPath's localised resources for pszLocale from "<dir>\<locale>\<file>.mui",
// falling back to the neutral file itself. dwFlags and dwReserved must be 0.
HRESULT WINAPI KVLoadMUIAwareResourceLibrary(LPCWSTR pszPath, LPCWSTR pszLocale, DWORD dwFlags,
                                             DWORD dwReserved, KVMUIRESLIB* pResLib);

HRESULT WINAPI KVFreeMUIAwareResourceLibrary(KVMUIRESLIB resLib);

#ifdef __cplusplus
}
#endif
