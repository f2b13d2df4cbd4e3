// The skin file: chosen once for the display of the first dialog after each
// window creation, by scale step and edition.
#include "app/KVEffectApp.h"
#include "support/HookWndWC.h"

#include <gmock/gmock.h>

namespace {

float OverallScale(int nDpi, float fCplScalingFactor)
{
    return static_cast<float>(nDpi / 96.0) * fCplScalingFactor;
}

TEST(SkinFile, StepsAreStrictlyAboveEachThresholdInBothFamilies)
{
    struct {
        int nDpi;
        float fFactor;
        const wchar_t* pszFirst;
        const wchar_t* pszSecond;
    } const cases[] = {
        {96, 1.0f, L"KVEffect.bff", L"KVEffect2.bff"},
        {120, 1.0f, L"KVEffect_125.bff", L"KVEffect2_125.bff"},
        {144, 1.0f, L"KVEffect_150.bff", L"KVEffect2_150.bff"},
        {168, 1.0f, L"KVEffect_150.bff", L"KVEffect2_150.bff"},
        {192, 1.0f, L"KVEffect_200.bff", L"KVEffect2_200.bff"},
        // "CplScalingFactor" 180 is exactly the float 1.8: not above it.
        {96, static_cast<float>(180 / 100.0), L"KVEffect_150.bff", L"KVEffect2_150.bff"},
        {96, static_cast<float>(80 / 100.0), L"KVEffect_80.bff", L"KVEffect2.bff"},
    };
    for (const auto& c : cases) {
        const float s = OverallScale(c.nDpi, c.fFactor);
        EXPECT_STREQ(c.pszFirst, SkinFileName(s, 0x10EC)) << c.nDpi << " dpi x " << c.fFactor;
        EXPECT_STREQ(c.pszSecond, SkinFileName(s, 0x111D)) << c.nDpi << " dpi x " << c.fFactor;
    }
}

TEST(SkinFile, TheFirstDialogChoosesAndLaterOnesReuseItsChoice)
{
    CKVEffectApp app;
    EXPECT_TRUE(app.GetBFFName(nullptr).empty()) << "no dialog, no choice yet";

    CWnd first, second;
    ASSERT_TRUE(first.CreateEx(0, L"STATIC", L"first", WS_POPUP, 0, 0, 10, 10, nullptr));
    ASSERT_TRUE(second.CreateEx(0, L"STATIC", L"second", WS_POPUP, 0, 0, 10, 10, nullptr));
    const std::wstring chosen = app.GetBFFName(&first);
    wchar_t szModule[MAX_PATH];
    GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    std::wstring dir(szModule);
    dir.erase(dir.find_last_of(L'\\') + 1);
    EXPECT_EQ(dir + L"KVEffect.bff", chosen) << "96 pixels per inch under Wine";

    app.m_fCplScalingFactor = 2.0f;
    EXPECT_EQ(chosen, app.GetBFFName(&second));
    EXPECT_EQ(chosen, app.GetBFFName(nullptr));
    app.m_strBFFName.clear();  // as the next InitPlugin does
    EXPECT_EQ(dir + L"KVEffect_200.bff", app.GetBFFName(&second));
    first.DestroyWindow();
    second.DestroyWindow();
}

} // namespace
