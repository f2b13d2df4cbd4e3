// The application object: edition key, language, resource library, the
// scaling factor, and the windows and session the host's calls create.
#include "app/KVEffectApp.h"
#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "test_support.h"
#include "ui/ChildDlgMasterOnOff.h"
#include "ui/MainEffectsDlg.h"

#include <gmock/gmock.h>

using namespace kvtest;

namespace {

const wchar_t kEditionKey[] = L"Software\\Lumora Tech\\AL Plugin for Orvex";
const wchar_t kHostGuiKey[] = L"Software\\Halvex\\Audio\\GUI_INFORMATION";

// Pretends the OS was installed in the given language for the scope.
class ScopedOsLocale
{
public:
    explicit ScopedOsLocale(const wchar_t* pszLocale) { SetEnvironmentVariableW(L"KV_OS_UI_LOCALE", pszLocale); }
    ~ScopedOsLocale() { SetEnvironmentVariableW(L"KV_OS_UI_LOCALE", nullptr); }
};

std::wstring LoadText(HINSTANCE hRes, UINT id)
{
    const wchar_t* p = nullptr;
    int n = LoadStringW(hRes, id, reinterpret_cast<LPWSTR>(&p), 0);
    return n > 0 ? std::wstring(p, n) : std::wstring();
}

// Size of a template when created on its own, the size the plug-in must keep.
SIZE TemplateSize(HINSTANCE hRes, UINT id, HWND hParent)
{
    HWND h = CreateDialogParamW(hRes, MAKEINTRESOURCEW(id), hParent,
                                [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    RECT rc = {};
    GetWindowRect(h, &rc);
    DestroyWindow(h);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

class AppTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_hParent = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 900, 700, nullptr, nullptr,
                                    nullptr, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(m_hParent);
        PumpUntilIdle(200);
    }
    HWND m_hParent = nullptr;
};

// Runs InitInstance on a fresh application object and ExitInstance at the end.
class InitializedApp
{
public:
    InitializedApp() { m_bInit = m_app.InitInstance(); }
    ~InitializedApp() { m_app.ExitInstance(); }
    CKVEffectApp* operator->() { return &m_app; }
    CKVEffectApp& operator*() { return m_app; }
    BOOL m_bInit;

private:
    CKVEffectApp m_app;
};

} // namespace

TEST_F(AppTest, StartsWithTheDocumentedDefaults)
{
    CKVEffectApp app;
    EXPECT_EQ(app.m_bCoInited, 0);
    EXPECT_EQ(app.m_hOldResource, nullptr);
    EXPECT_EQ(app.m_dwLanguageID, 1033u);
    EXPECT_EQ(app.m_dwVendorID, 0x10ECu);
    EXPECT_EQ(app.m_fCplScalingFactor, 1.0f);
    EXPECT_EQ(app.m_resLib.hModule, nullptr);
    EXPECT_EQ(app.m_pKVDeviceEndpoint, nullptr);
    EXPECT_EQ(app.m_pMainEffectsDlg, nullptr);
    EXPECT_EQ(app.m_pChildDlgMasterOnOff, nullptr);
}

TEST_F(AppTest, InitInstanceLoadsResourcesAndExitInstanceUndoesIt)
{
    HINSTANCE hBefore = AfxGetResourceHandle();
    {
        InitializedApp app;
        ASSERT_TRUE(app.m_bInit);
        EXPECT_EQ(app->m_hOldResource, hBefore);
        ASSERT_NE(app->m_resLib.hModule, nullptr);
        EXPECT_EQ(AfxGetResourceHandle(), app->m_resLib.hModule);
        EXPECT_EQ(app->m_bCoInited, 1) << "S_FALSE on an initialised thread still counts";
        app->ExitInstance();
        EXPECT_EQ(AfxGetResourceHandle(), hBefore);
        EXPECT_EQ(app->m_bCoInited, 0);
        EXPECT_EQ(app->m_resLib.hModule, nullptr);
    } // a second ExitInstance must be harmless
    EXPECT_EQ(AfxGetResourceHandle(), hBefore);
}

TEST_F(AppTest, VendorIdFromTheEditionKey)
{
    struct Case {
        std::optional<DWORD> value;
        DWORD expected;
    } cases[] = {{std::nullopt, 0x10EC}, {0u, 0x10EC}, {0x111Du, 0x111D}, {0x10ECu, 0x10EC}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? std::to_string(*c.value) : "absent");
        ScopedRegValue vendor(kEditionKey, L"VendorID", c.value);
        InitializedApp app;
        EXPECT_EQ(app->m_dwVendorID, c.expected);
    }
    ScopedRegValue wrongType(kEditionKey, L"VendorID", std::wstring(L"4381"));
    InitializedApp app;
    EXPECT_EQ(app->m_dwVendorID, 0x10ECu) << "a string value is not a vendor id";
}

TEST_F(AppTest, LanguageFollowsTheOsLocaleUnlessForced)
{
    struct Case {
        const wchar_t* osLocale;
        std::optional<DWORD> forced;
        DWORD language;
        const wchar_t* pszOff;  // the master switch's off half, in the texts loaded
    } cases[] = {
        {L"en-US", std::nullopt, 1033, L"Off"},
        {L"de-DE", std::nullopt, 1031, L"Aus"},
        {L"fr-FR", std::nullopt, 1036, L"D\u00E9sactiv\u00E9"},
        {L"it-IT", std::nullopt, 1040, L"Off"},  // no Italian texts: English ones, Italian language id
        {L"fr-FR", 1031u, 1031, L"Aus"},         // forced wins over the converted locale
        {L"en-US", 1036u, 1036, L"D\u00E9sactiv\u00E9"},
        {L"en-US", 0u, 1033, L"Off"},            // 0 forces nothing
        {L"xx-bogus", std::nullopt, 1033, L"Off"}, // unconvertible locale keeps the default
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.osLocale) + (c.forced ? " forced " + std::to_string(*c.forced) : ""));
        ScopedOsLocale os(c.osLocale);
        ScopedRegValue force(kEditionKey, L"ForceLanguageID", c.forced);
        InitializedApp app;
        ASSERT_TRUE(app.m_bInit);
        EXPECT_EQ(app->m_dwLanguageID, c.language);
        EXPECT_EQ(LoadText(AfxGetResourceHandle(), IDS_MASTER_OFF), c.pszOff);
    }
}

TEST_F(AppTest, ScalingFactorFromTheHostKey)
{
    CKVEffectApp app;
    struct Step {
        std::optional<DWORD> value;
        float expected;
    } steps[] = {
        {std::nullopt, 1.0f}, {150u, 1.5f}, {0u, 1.5f},  // 0 leaves the factor as it was
        {125u, 1.25f},        {100u, 1.0f}, {200u, 2.0f},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.value ? std::to_string(*s.value) : "absent");
        ScopedRegValue factor(kHostGuiKey, L"CplScalingFactor", s.value);
        app.KVInitPluginEx(m_hParent, 7, RECT{}, 0);
        EXPECT_FLOAT_EQ(app.m_fCplScalingFactor, s.expected);
    }
    ScopedRegValue wrongType(kHostGuiKey, L"CplScalingFactor", std::wstring(L"300"));
    app.KVInitPluginEx(m_hParent, 7, RECT{}, 0);
    EXPECT_FLOAT_EQ(app.m_fCplScalingFactor, 2.0f) << "a string value is ignored";
    app.KVUninitPlugin(nullptr);
}

TEST_F(AppTest, UnknownTypeCreatesTheSessionButNoWindow)
{
    CKVEffectApp app;
    app.m_strBFFName = L"C:\\stale.bff";
    for (int type : {2, -1, 100}) {
        EXPECT_EQ(app.KVInitPluginEx(m_hParent, type, RECT{1, 2, 3, 4}, 0), nullptr);
        EXPECT_TRUE(app.m_strBFFName.empty());
        EXPECT_NE(app.m_pKVDeviceEndpoint, nullptr);
        EXPECT_EQ(app.m_pMainEffectsDlg, nullptr);
        EXPECT_EQ(app.m_pChildDlgMasterOnOff, nullptr);
    }
    app.KVUninitPlugin(nullptr);
    EXPECT_EQ(app.m_pKVDeviceEndpoint, nullptr);
}

TEST_F(AppTest, RestoreDefaultLeavesASessionThatAWindowlessUninitDeletes)
{
    CKVEffectApp app;
    app.RestoreDefault(0x12345678);
    CKVDeviceEndpoint* pSession = app.m_pKVDeviceEndpoint;
    ASSERT_NE(pSession, nullptr);
    app.RestoreDefault(0);
    EXPECT_EQ(app.m_pKVDeviceEndpoint, pSession) << "a second restore reuses the session";
    app.KVUninitPlugin(m_hParent);  // a handle that is none of ours
    EXPECT_EQ(app.m_pKVDeviceEndpoint, nullptr);
    app.KVUninitPlugin(nullptr);    // nothing left: harmless
}

TEST_F(AppTest, MasterPanelSitsTwoPixelsAboveTheRectangleAtTemplateSize)
{
    InitializedApp app;
    ASSERT_TRUE(app.m_bInit);
    HWND h = app->KVInitPluginEx(m_hParent, 0, RECT{10, 20, 300, 80}, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetParent(h), m_hParent);
    EXPECT_TRUE(IsWindowVisible(h) || !IsWindowVisible(m_hParent));
    EXPECT_TRUE(GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE);

    RECT rc;
    GetWindowRect(h, &rc);
    MapWindowPoints(nullptr, m_hParent, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, 10);
    EXPECT_EQ(rc.top, 18);
    SIZE expected = TemplateSize(AfxGetResourceHandle(), IDD_DLG_MASTER_ONOFF, m_hParent);
    EXPECT_EQ(rc.right - rc.left, expected.cx) << "the panel keeps its template size";
    EXPECT_EQ(rc.bottom - rc.top, expected.cy);
    app->KVUninitPlugin(h);
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(AppTest, SecondMainWindowReplacesTheFirstAndKeepsTheSession)
{
    InitializedApp app;
    ASSERT_TRUE(app.m_bInit);
    HWND h1 = app->KVInitPluginEx(m_hParent, 1, RECT{5, 6, 700, 500}, 0);
    ASSERT_NE(h1, nullptr);
    CKVDeviceEndpoint* pSession = app->m_pKVDeviceEndpoint;
    EXPECT_EQ(app->m_pMainEffectsDlg->m_pKVDeviceEndpoint, pSession);

    RECT rc;
    GetWindowRect(h1, &rc);
    MapWindowPoints(nullptr, m_hParent, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, 5);
    EXPECT_EQ(rc.top, 6);

    HWND h2 = app->KVInitPluginEx(m_hParent, 1, RECT{5, 6, 700, 500}, 0);
    ASSERT_NE(h2, nullptr);
    EXPECT_FALSE(IsWindow(h1)) << "the first window is destroyed before the second is made";
    EXPECT_EQ(app->m_pKVDeviceEndpoint, pSession);
    app->KVUninitPlugin(h2);
    EXPECT_EQ(app->m_pKVDeviceEndpoint, nullptr);
}

TEST_F(AppTest, BothWindowsShareOneSessionUntilTheLastCloses)
{
    InitializedApp app;
    ASSERT_TRUE(app.m_bInit);
    HWND hMaster = app->KVInitPluginEx(m_hParent, 0, RECT{0, 10, 300, 60}, 0);
    HWND hMain = app->KVInitPluginEx(m_hParent, 1, RECT{0, 80, 700, 500}, 0);
    ASSERT_NE(hMaster, nullptr);
    ASSERT_NE(hMain, nullptr);
    CKVDeviceEndpoint* pSession = app->m_pKVDeviceEndpoint;
    ASSERT_NE(pSession, nullptr);
    EXPECT_EQ(app->m_pChildDlgMasterOnOff->m_pKVDeviceEndpoint, pSession);
    EXPECT_EQ(app->m_pMainEffectsDlg->m_pKVDeviceEndpoint, pSession);

    app->KVUninitPlugin(m_hParent);  // foreign: nothing closes
    EXPECT_TRUE(IsWindow(hMaster));
    EXPECT_TRUE(IsWindow(hMain));
    EXPECT_EQ(app->m_pKVDeviceEndpoint, pSession);

    app->KVUninitPlugin(hMain);
    EXPECT_FALSE(IsWindow(hMain));
    EXPECT_EQ(app->m_pKVDeviceEndpoint, pSession);
    app->KVUninitPlugin(hMaster);
    EXPECT_FALSE(IsWindow(hMaster));
    EXPECT_EQ(app->m_pKVDeviceEndpoint, nullptr);
}

TEST_F(AppTest, FourthArgumentChangesNothing)
{
    InitializedApp app;
    ASSERT_TRUE(app.m_bInit);
    RECT placed[3];
    int i = 0;
    for (int ignored : {0, 1, -123456}) {
        HWND h = app->KVInitPluginEx(m_hParent, 0, RECT{30, 40, 300, 80}, ignored);
        ASSERT_NE(h, nullptr);
        GetWindowRect(h, &placed[i]);
        MapWindowPoints(nullptr, m_hParent, reinterpret_cast<POINT*>(&placed[i]), 2);
        ++i;
    }
    EXPECT_TRUE(EqualRect(&placed[0], &placed[1]) && EqualRect(&placed[1], &placed[2]));
    app->KVUninitPlugin(app->m_pChildDlgMasterOnOff->GetSafeHwnd());
}

TEST_F(AppTest, ExitInstanceClosesWindowsStillOpen)
{
    InitializedApp app;
    ASSERT_TRUE(app.m_bInit);
    HWND hMaster = app->KVInitPluginEx(m_hParent, 0, RECT{0, 10, 300, 60}, 0);
    HWND hMain = app->KVInitPluginEx(m_hParent, 1, RECT{0, 80, 700, 500}, 0);
    app->ExitInstance();
    EXPECT_FALSE(IsWindow(hMaster));
    EXPECT_FALSE(IsWindow(hMain));
    EXPECT_EQ(app->m_pMainEffectsDlg, nullptr);
    EXPECT_EQ(app->m_pChildDlgMasterOnOff, nullptr);
    EXPECT_EQ(app->m_pKVDeviceEndpoint, nullptr);
}
