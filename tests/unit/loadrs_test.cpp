// The resource loader stand-in: locale names, language ids, and choosing the
// localised library with its English fallback.
#include "KVLoadRs.h"
#include "test_support.h"

#include <gmock/gmock.h>

using namespace kvtest;

namespace {

std::wstring RscPath() { return ExeDirectory() + L"KVEffRsc.rsc"; }

LANGID ResourceLanguageOf(HMODULE h)
{
    // The version of the string table the module carries tells its language.
    LANGID found = 0;
    EnumResourceLanguagesW(h, MAKEINTRESOURCEW(6) /* RT_STRING */, MAKEINTRESOURCEW(1),
                           [](HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR p) -> BOOL {
                               *reinterpret_cast<LANGID*>(p) = lang;
                               return FALSE;
                           },
                           reinterpret_cast<LONG_PTR>(&found));
    if (!found)
        EnumResourceLanguagesW(h, MAKEINTRESOURCEW(5) /* RT_DIALOG */, MAKEINTRESOURCEW(9),
                               [](HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR p) -> BOOL {
                                   *reinterpret_cast<LANGID*>(p) = lang;
                                   return FALSE;
                               },
                               reinterpret_cast<LONG_PTR>(&found));
    return found;
}

} // namespace

TEST(LoadRs, OsLocaleNameAndItsBuffer)
{
    wchar_t sz[260];
    LANGID lang = 0;
    SetEnvironmentVariableW(L"KV_OS_UI_LOCALE", L"de-DE");
    EXPECT_EQ(KVGetUserDefaultUILanguageOfOperatingSystem(sz, 260, &lang), S_OK);
    EXPECT_STREQ(sz, L"de-DE");
    EXPECT_EQ(lang, 0x0407);
    EXPECT_LT(KVGetUserDefaultUILanguageOfOperatingSystem(sz, 5, nullptr), 0) << "needs room for the terminator";
    EXPECT_STREQ(sz, L"");
    EXPECT_EQ(KVGetUserDefaultUILanguageOfOperatingSystem(nullptr, 260, nullptr), E_INVALIDARG);
    SetEnvironmentVariableW(L"KV_OS_UI_LOCALE", nullptr);
    EXPECT_EQ(KVGetUserDefaultUILanguageOfOperatingSystem(sz, 260, nullptr), S_OK);
    EXPECT_GT(wcslen(sz), 1u);
}

TEST(LoadRs, LocaleNamesConvertToLanguageIds)
{
    struct Case {
        const wchar_t* name;
        bool ok;
        LCID lcid;
    } cases[] = {{L"en-US", true, 1033}, {L"de-DE", true, 1031}, {L"fr-FR", true, 1036},
                 {L"", false, 0},        {L"xx-bogus", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        LCID lcid = 0xFFFF;
        HRESULT hr = KVConvertLocaleNameToLCID(c.name, &lcid);
        EXPECT_EQ(SUCCEEDED(hr), c.ok);
        if (c.ok) {
            EXPECT_EQ(lcid, c.lcid);
        }
    }
    EXPECT_LT(KVConvertLocaleNameToLCID(nullptr, nullptr), 0);
}

TEST(LoadRs, PicksTheLocalisedLibraryAndFallsBackToEnglish)
{
    struct Case {
        const wchar_t* locale;
        LANGID language;
    } cases[] = {{L"de-DE", 0x0407}, {L"fr-FR", 0x040C}, {L"en-US", 0x0409}, {L"it-IT", 0x0409}, {nullptr, 0x0409}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale ? Narrow(c.locale) : "no locale");
        KVMUIRESLIB lib;
        ASSERT_GE(KVLoadMUIAwareResourceLibrary(RscPath().c_str(), c.locale, 0, 0, &lib), 0);
        ASSERT_NE(lib.hModule, nullptr);
        EXPECT_EQ(ResourceLanguageOf(lib.hModule), c.language);
        EXPECT_EQ(KVFreeMUIAwareResourceLibrary(lib), S_OK);
    }
}

TEST(LoadRs, RefusesWhatItCannotLoad)
{
    std::wstring dir = NewTempDirectory();
    KVMUIRESLIB lib;
    // A localised library without its neutral one is no installation.
    CreateDirectoryW((dir + L"de-DE").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((ExeDirectory() + L"de-DE\\KVEffRsc.rsc.mui").c_str(),
                          (dir + L"de-DE\\KVEffRsc.rsc.mui").c_str(), FALSE));
    EXPECT_LT(KVLoadMUIAwareResourceLibrary((dir + L"KVEffRsc.rsc").c_str(), L"de-DE", 0, 0, &lib), 0);
    EXPECT_EQ(lib.hModule, nullptr);

    // A file that is not a library at all.
    const char junk[] = "not a library";
    ASSERT_TRUE(WriteFileBytes(dir + L"KVEffRsc.rsc", junk, sizeof(junk)));
    lib.hModule = reinterpret_cast<HMODULE>(1);
    EXPECT_LT(KVLoadMUIAwareResourceLibrary((dir + L"KVEffRsc.rsc").c_str(), L"fr-FR", 0, 0, &lib), 0);
    EXPECT_EQ(lib.hModule, nullptr) << "a failed load leaves no handle behind";

    EXPECT_EQ(KVLoadMUIAwareResourceLibrary(RscPath().c_str(), L"en-US", 1, 0, &lib), E_INVALIDARG);
    EXPECT_EQ(KVLoadMUIAwareResourceLibrary(RscPath().c_str(), L"en-US", 0, 0, nullptr), E_POINTER);
    EXPECT_EQ(KVFreeMUIAwareResourceLibrary(KVMUIRESLIB{}), E_INVALIDARG);
    EXPECT_EQ(KVFreeMUIAwareResourceLibrary(KVMUIRESLIB{GetModuleHandleW(nullptr), nullptr, nullptr}), E_INVALIDARG)
        << "only records the loader filled are freed";
    RemoveTree(dir);
}
