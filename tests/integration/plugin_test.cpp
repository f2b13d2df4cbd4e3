// KVEffect.dll as the host sees it: loaded by name, driven through its four
// exports, tracing into the log the INI names.
#include "KVEffRsc_ids.h"
#include "test_support.h"

#include <gmock/gmock.h>

using namespace kvtest;
using testing::HasSubstr;

namespace {

using InitPluginFn = HWND(WINAPI*)(HWND, int, const RECT*, int);
using UninitPluginFn = void(WINAPI*)(HWND);
using RestoreDefaultFn = void(WINAPI*)(DWORD);

const wchar_t kEditionKey[] = L"Software\\Lumora Tech\\AL Plugin for Orvex";

struct Plugin {
    explicit Plugin(const std::wstring& path)
    {
        h = LoadLibraryW(path.c_str());
        if (!h)
            return;
        pInitPlugin = reinterpret_cast<InitPluginFn>(GetProcAddress(h, "InitPlugin"));
        pInitPluginEx = reinterpret_cast<InitPluginFn>(GetProcAddress(h, "InitPluginEx"));
        pUninitPlugin = reinterpret_cast<UninitPluginFn>(GetProcAddress(h, "UninitPlugin"));
        pRestoreDefault = reinterpret_cast<RestoreDefaultFn>(GetProcAddress(h, "RestoreDefault"));
    }
    ~Plugin() { Unload(); }
    void Unload()
    {
        if (h)
            FreeLibrary(h);
        h = nullptr;
    }
    HMODULE h = nullptr;
    InitPluginFn pInitPlugin = nullptr;
    InitPluginFn pInitPluginEx = nullptr;
    UninitPluginFn pUninitPlugin = nullptr;
    RestoreDefaultFn pRestoreDefault = nullptr;
};

class PluginTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = NewTempDirectory();
        m_hParent = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 700,
                                    nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(m_hParent);
        RemoveTree(m_dir);
    }
    std::wstring Log() const { return ReadUtf16File(m_dir + L"trace.log"); }

    std::wstring m_dir;
    HWND m_hParent = nullptr;
};

std::wstring TextOf(HWND h)
{
    wchar_t sz[256] = {};
    GetWindowTextW(h, sz, 256);
    return sz;
}

// Every window text of a window and its children, to compare languages.
std::wstring AllTexts(HWND h)
{
    std::wstring all = TextOf(h);
    EnumChildWindows(h, [](HWND c, LPARAM p) -> BOOL {
        *reinterpret_cast<std::wstring*>(p) += L"|" + TextOf(c);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&all));
    return all;
}

} // namespace

TEST_F(PluginTest, ExportsTheFourEntryPoints)
{
    Plugin plugin(L"KVEffect.dll");
    ASSERT_NE(plugin.h, nullptr);
    EXPECT_NE(plugin.pInitPlugin, nullptr);
    EXPECT_NE(plugin.pInitPluginEx, nullptr);
    EXPECT_NE(plugin.pUninitPlugin, nullptr);
    EXPECT_NE(plugin.pRestoreDefault, nullptr);
}

TEST_F(PluginTest, TracesTheLifecycleIntoTheLogFile)
{
    ScopedTraceIni ini(L"1", (m_dir + L"trace.log").c_str());
    {
        Plugin plugin(L"KVEffect.dll");
        ASSERT_NE(plugin.h, nullptr);
        RECT rc = {10, 20, 300, 80};
        HWND h = plugin.pInitPlugin(m_hParent, 0, &rc, 0);
        ASSERT_NE(h, nullptr);
        plugin.pUninitPlugin(h);
        plugin.pRestoreDefault(3);
        plugin.pUninitPlugin(nullptr);
    }
    std::wstring log = Log();
    const wchar_t* expected[] = {
        L" ---New Session--- started on ",
        L"> 00000000 CKVEffectApp::InitInstance() in\n",
        L"> 00000000 CWinApp::InitInstance() in\n",
        L"> 00000000 \n m_dwLanguageID=",
        L"> 00000000 CKVEffectApp::KVInitPlugin(0), m_bCoInited = 1, left 10, top 20, right 300, bottom 80\n",
        L"> 00000000 CKVEffectApp::KVInitPluginEx(0), hWndMasterOnOff = 0x",
        L"> 00000000 \n CKVEffectApp::KVUninitPlugin(hWnd 0x",
        L"> 00000000 \n CKVEffectApp::KVUninitPlugin(delete m_pChildDlgMasterOnOff)\n",
        L"> 00000000 \n CKVEffectApp::KVUninitPlugin() delete the m_pKVDeviceEndpoint\n",
        L"> 00000000 \n CKVEffectApp::KVUninitPlugin(hWnd 0x0)\n",
        L"> 00000000 \n CKVEffectApp::KVUninitPlugin(hWnd 0x0) out, m_pChildDlgMasterOnOff=0x0, "
        L"m_pMainEffectsDlg=0x0, m_pKVDeviceEndpoint=0x0\n",
        L"> 00000000 CKVEffectApp::ExitInstance()\n",
    };
    size_t at = 0;
    for (const wchar_t* line : expected) {
        size_t found = log.find(line, at);
        ASSERT_NE(found, std::wstring::npos) << "missing, in order: " << Narrow(line) << "\nlog:\n" << Narrow(log);
        at = found;
    }
}

TEST_F(PluginTest, MissingResourceLibraryFailsTheLoad)
{
    ScopedTraceIni ini(L"1", (m_dir + L"trace.log").c_str());
    ASSERT_TRUE(CopyInto(L"KVEffect.dll", ExeDirectory(), m_dir));
    ASSERT_TRUE(CopyInto(L"KVLoadRs.dll", ExeDirectory(), m_dir));
    {
        Plugin plugin(m_dir + L"KVEffect.dll");
        EXPECT_EQ(plugin.h, nullptr);
    }
    std::wstring log = Log();
    EXPECT_THAT(Narrow(log), HasSubstr("> 00000000 Cannot find KVEffRsc.rsc resource file!\n"));
    EXPECT_LT(log.find(L"Cannot find KVEffRsc.rsc"), log.find(L"CKVEffectApp::ExitInstance()"));
    // The library is gone again: the folder can be removed.
    EXPECT_TRUE(DeleteFileW((m_dir + L"KVEffect.dll").c_str()));

    // With the resource library beside it, the same copy loads.
    ASSERT_TRUE(CopyInto(L"KVEffect.dll", ExeDirectory(), m_dir));
    ASSERT_TRUE(CopyInto(L"KVEffRsc.rsc", ExeDirectory(), m_dir));
    Plugin plugin(m_dir + L"KVEffect.dll");
    EXPECT_NE(plugin.h, nullptr);
}

TEST_F(PluginTest, TwinExportsBehaveAlike)
{
    Plugin plugin(L"KVEffect.dll");
    ASSERT_NE(plugin.h, nullptr);
    RECT rc = {10, 20, 300, 80};
    RECT placed[2];
    InitPluginFn fns[] = {plugin.pInitPlugin, plugin.pInitPluginEx};
    for (int i = 0; i < 2; ++i) {
        HWND h = fns[i](m_hParent, 0, &rc, 99);
        ASSERT_NE(h, nullptr);
        GetWindowRect(h, &placed[i]);
        MapWindowPoints(nullptr, m_hParent, reinterpret_cast<POINT*>(&placed[i]), 2);
        EXPECT_EQ(placed[i].left, 10);
        EXPECT_EQ(placed[i].top, 18);
        plugin.pUninitPlugin(h);
        EXPECT_FALSE(IsWindow(h));
    }
    EXPECT_TRUE(EqualRect(&placed[0], &placed[1]));
    EXPECT_EQ(plugin.pInitPlugin(m_hParent, 5, &rc, 0), nullptr);
    EXPECT_EQ(plugin.pInitPlugin(m_hParent, 0, nullptr, 0) != nullptr, true) << "no rectangle: placed at the origin";
    plugin.pUninitPlugin(nullptr);
}

TEST_F(PluginTest, AForcedLanguageMakesTheWindowsSpeakIt)
{
    // Every text both window kinds show, with the plug-in loaded afresh.
    auto textsOfBothWindows = [this]() {
        RECT rc = {0, 0, 800, 600};
        Plugin plugin(L"KVEffect.dll");
        HWND hMain = plugin.pInitPlugin(m_hParent, 1, &rc, 0);
        HWND hMaster = plugin.pInitPlugin(m_hParent, 0, &rc, 0);
        std::wstring texts = hMain && hMaster ? AllTexts(hMain) + AllTexts(hMaster) : std::wstring();
        plugin.pUninitPlugin(hMain);
        plugin.pUninitPlugin(hMaster);
        return texts;
    };
    ASSERT_THAT(textsOfBothWindows(), HasSubstr(L"|Enhancement|"));
    const struct {
        DWORD dwLanguage;
        const wchar_t* pszPageButton;
    } languages[] = {{1031, L"|Klangverbesserung|"}, {1036, L"|Am\u00E9lioration|"}};
    for (const auto& l : languages) {
        SCOPED_TRACE(l.dwLanguage);
        ScopedRegValue force(kEditionKey, L"ForceLanguageID", l.dwLanguage);
        std::wstring texts = textsOfBothWindows();
        EXPECT_THAT(texts, HasSubstr(l.pszPageButton)) << Narrow(texts);
    }
}

// The session's coexistence listener thread is stopped under the loader
// lock here, where no thread can end: the unload must still return.
TEST_F(PluginTest, UnloadWithWindowsOpenClosesThem)
{
    ScopedRegValue technology(L"Software\\Halvex\\ALCoexist", L"Technology", DWORD(2));
    ASSERT_EQ(0, RunProgram(L"kvsim.exe", L"load-default"));
    ScopedTraceIni ini(L"1", nullptr);
    DebugOutputCapture trace;
    Plugin plugin(L"KVEffect.dll");
    RECT rc = {0, 0, 800, 600};
    HWND hMain = plugin.pInitPlugin(m_hParent, 1, &rc, 0);
    HWND hMaster = plugin.pInitPlugin(m_hParent, 0, &rc, 0);
    ASSERT_TRUE(IsWindow(hMain));
    ASSERT_TRUE(IsWindow(hMaster));
    EXPECT_NE(nullptr, FindWindowW(nullptr, L"KVDEVICE_EP_HIDDENWINDOW_863422985_UI"));
    // Bound to the speakers, and the listener watching: the thread is there to stop.
    auto traced = [&](const wchar_t* pszText) {
        for (const std::wstring& line : trace.Lines())
            if (line.find(pszText) != std::wstring::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(traced(L"strEndpointID={0.0.0.00000000}.{360C911C-54C2-4BC6-A32E-050B41DC8739}"));
    EXPECT_TRUE(traced(L"CEfxCoexistStateListener::Run(), RegNotifyChangeKeyValue 0x0"));
    plugin.Unload();
    EXPECT_TRUE(traced(L"after stop m_pEfxCoexistStateListener"));
    EXPECT_EQ(nullptr, FindWindowW(nullptr, L"KVDEVICE_EP_HIDDENWINDOW_863422985_UI"));
    EXPECT_FALSE(IsWindow(hMain));
    EXPECT_FALSE(IsWindow(hMaster));
    EXPECT_EQ(GetWindow(m_hParent, GW_CHILD), nullptr);
}
