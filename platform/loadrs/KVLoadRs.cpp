// Stand-in for the maker's resource loader. Localised resources live in
// "<dir>\<locale>\<name>.mui" beside the neutral (English) library "<dir>\<name>",
// as with the system's own MUI layout.
#include "KVLoadRs.h"

#include <cwchar>
#include <string>

namespace {

const void* const kRecordSignature = reinterpret_cast<const void*>(static_cast<UINT_PTR>(0x5352564B)); // "KVRS"

// Lets a test machine pretend its OS was installed in another language.
const wchar_t kOsLocaleVariable[] = L"KV_OS_UI_LOCALE";

std::wstring LocaleOf(LANGID langId)
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(langId, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) <= 0)
        return {};
    return name;
}

// The maker's edition key may force one language for all its components.
LANGID ForcedLanguage()
{
    HKEY hKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Lumora Tech\\AL Plugin for Orvex", 0,
                      KEY_READ | KEY_WOW64_64KEY, &hKey) != ERROR_SUCCESS)
        return 0;
    DWORD dwValue = 0, cb = sizeof(dwValue);
    LSTATUS st = RegGetValueW(hKey, nullptr, L"ForceLanguageID", RRF_RT_REG_DWORD, nullptr, &dwValue, &cb);
    RegCloseKey(hKey);
    return st == ERROR_SUCCESS ? LOWORD(dwValue) : 0;
}

bool FileExists(const std::wstring& path)
{
    DWORD attr = GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

HMODULE LoadAsResources(const std::wstring& path)
{
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

// "<dir>\<locale>\<file>.mui" for "<dir>\<file>".
std::wstring MuiPathFor(const std::wstring& neutral, const std::wstring& locale)
{
    size_t slash = neutral.find_last_of(L"\\/");
    std::wstring dir = slash == std::wstring::npos ? std::wstring() : neutral.substr(0, slash + 1);
    std::wstring file = slash == std::wstring::npos ? neutral : neutral.substr(slash + 1);
    return dir + locale + L"\\" + file + L".mui";
}

} // namespace

extern "C" HRESULT WINAPI KVGetUserDefaultUILanguageOfOperatingSystem(LPWSTR pszLocale, DWORD cchLocale,
                                                                      LANGID* pLangId)
{
    if (!pszLocale || cchLocale == 0)
        return E_INVALIDARG;
    pszLocale[0] = L'\0';

    wchar_t forced[LOCALE_NAME_MAX_LENGTH] = {};
    std::wstring locale;
    DWORD n = GetEnvironmentVariableW(kOsLocaleVariable, forced, LOCALE_NAME_MAX_LENGTH);
    if (n > 0 && n < LOCALE_NAME_MAX_LENGTH)
        locale = forced;
    else
        locale = LocaleOf(GetUserDefaultUILanguage());
    if (locale.empty())
        return E_FAIL;
    if (locale.size() >= cchLocale)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

    wcscpy_s(pszLocale, cchLocale, locale.c_str());
    if (pLangId)
        *pLangId = LANGIDFROMLCID(LocaleNameToLCID(pszLocale, 0));
    return S_OK;
}

extern "C" HRESULT WINAPI KVConvertLocaleNameToLCID(LPCWSTR pszLocale, LCID* pLcid)
{
    if (!pszLocale || !pLcid || !*pszLocale)
        return E_INVALIDARG;
    LCID lcid = LocaleNameToLCID(pszLocale, 0);
    if (lcid == 0)
        return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_INVALID_PARAMETER);
    *pLcid = lcid;
    return S_OK;
}

extern "C" HRESULT WINAPI KVLoadMUIAwareResourceLibrary(LPCWSTR pszPath, LPCWSTR pszLocale, DWORD dwFlags,
                                                        DWORD dwReserved, KVMUIRESLIB* pResLib)
{
    if (!pResLib)
        return E_POINTER;
    *pResLib = KVMUIRESLIB{};
    if (!pszPath || !*pszPath || dwFlags != 0 || dwReserved != 0)
        return E_INVALIDARG;

    // Without the neutral library there is no installation to localise.
    const std::wstring neutral = pszPath;
    if (!FileExists(neutral))
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

    // Most specific wish first: a thread that chose its own UI language, the
    // maker's forced language (a thread override does not stick everywhere),
    // then the language the caller asked for.
    std::wstring candidates[3];
    LANGID threadLang = GetThreadUILanguage();
    if (threadLang != GetUserDefaultUILanguage())
        candidates[0] = LocaleOf(threadLang);
    if (LANGID forced = ForcedLanguage())
        candidates[1] = LocaleOf(forced);
    if (pszLocale)
        candidates[2] = pszLocale;

    for (const std::wstring& locale : candidates) {
        if (locale.empty())
            continue;
        std::wstring mui = MuiPathFor(neutral, locale);
        if (!FileExists(mui))
            continue;
        if (HMODULE h = LoadAsResources(mui)) {
            pResLib->hModule = h;
            pResLib->pReserved1 = reinterpret_cast<void*>(static_cast<UINT_PTR>(LocaleNameToLCID(locale.c_str(), 0)));
            pResLib->pReserved2 = const_cast<void*>(kRecordSignature);
            return S_OK;
        }
    }

    HMODULE h = LoadAsResources(neutral);
    if (!h)
        return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_BAD_EXE_FORMAT);
    pResLib->hModule = h;
    pResLib->pReserved1 = reinterpret_cast<void*>(static_cast<UINT_PTR>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
    pResLib->pReserved2 = const_cast<void*>(kRecordSignature);
    // S_FALSE: usable, but not in the language asked for.
    return pszLocale && _wcsicmp(pszLocale, L"en-US") != 0 ? S_FALSE : S_OK;
}

extern "C" HRESULT WINAPI KVFreeMUIAwareResourceLibrary(KVMUIRESLIB resLib)
{
    if (!resLib.hModule || resLib.pReserved2 != kRecordSignature)
        return E_INVALIDARG;
    return FreeLibrary(resLib.hModule) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}
