// The master switch, its stored mask, and ownership of the device against
// another effects suite.
#include "SessionTestSupport.h"

#include "device/EfxCoexistStateListener.h"

#include <atomic>
#include <cstring>
#include <cwchar>

namespace {

using namespace stest;

class Master : public SessionTest
{
protected:
    // Another suite's installer, in its own process.
    static void OtherSuite(DWORD dwTechnology, const wchar_t* pszName, const wchar_t* pszVendor = L"0x10EC")
    {
        ASSERT_EQ(0, kvtest::RunProgram(L"kvsim.exe", L"alcoexist " + std::to_wstring(dwTechnology) + L" \"" +
                                                          pszName + L"\" --vendor " + pszVendor));
    }
    static DWORD Technology(const wchar_t* pszKey)
    {
        DWORD dw = 0, cb = sizeof(dw);
        RegGetValueW(HKEY_LOCAL_MACHINE, pszKey, L"Technology", RRF_RT_REG_DWORD, nullptr,
                     &dw, &cb);
        return dw;
    }
    bool Foreign() const { return !m_pSession->m_bLumoraTechnology && !m_pSession->m_bMasterOn; }
    std::wstring OwnerName() const { return m_pSession->m_pEfxCoexistStateListener->GetTechnologyName(); }
};

TEST_F(Master, OffRemembersWhatWasOnAndOnRestoresExactlyThat)
{
    Open();  // bass boost and equalizer on, everything else off
    m_pSession->SetMasterOnOff(FALSE, TRUE);
    EXPECT_EQ(0x000Au, StoreValue(EndpointId(1), PKEY_KV_EffectInfo));
    EXPECT_EQ(0u, StoreValue(EndpointId(1), PKEY_KV_MasterOnOff));
    for (const wchar_t* pszFeature : {L"bassboost.enabled", L"eq.enabled", L"agc.enabled", L"pdp.enabled"})
        EXPECT_EQ(L"0", Get(L"speakers", pszFeature)) << kvtest::Narrow(pszFeature);

    // The same state again writes, posts and switches nothing.
    SetStoreValue(EndpointId(1), PKEY_KV_EffectInfo, 0x0A);
    Set(L"speakers", L"agc.enabled", L"1");
    m_pSession->SetMasterOnOff(FALSE, TRUE);
    EXPECT_EQ(L"1", Get(L"speakers", L"agc.enabled"));
    Set(L"speakers", L"agc.enabled", L"0");

    m_pSession->SetMasterOnOff(TRUE, TRUE);
    EXPECT_EQ(1u, StoreValue(EndpointId(1), PKEY_KV_MasterOnOff));
    EXPECT_EQ(L"1", Get(L"speakers", L"bassboost.enabled"));
    EXPECT_EQ(L"1", Get(L"speakers", L"eq.enabled"));
    for (const wchar_t* pszFeature : {L"agc.enabled", L"pdp.enabled", L"upmix.enabled", L"reverb.enabled",
                                      L"bassmgmt.enabled", L"rvxpresets.enabled"})
        EXPECT_EQ(L"0", Get(L"speakers", pszFeature)) << kvtest::Narrow(pszFeature);
    kvtest::PumpUntilIdle(200);
    EXPECT_EQ(2, m_recorder.Count(WM_MASTER_ONOFF_CHANGE));

    // Surround selects its element first; reverb presets follow the
    // environment when the driver says they do.
    m_pSession->SetMasterOnOff(FALSE, TRUE);
    SetStoreValue(EndpointId(1), PKEY_KV_EffectInfo, KV_EFX_UPMIX | KV_EFX_RVX);
    m_pSession->SetMasterOnOff(TRUE, TRUE);
    EXPECT_EQ(L"1", Get(L"speakers", L"upmix.selected"));
    EXPECT_EQ(L"1", Get(L"speakers", L"upmix.enabled"));
    EXPECT_EQ(L"1", Get(L"speakers", L"reverb.enabled"));
    EXPECT_EQ(L"1", Get(L"speakers", L"rvxpresets.enabled"));
    EXPECT_EQ(L"0", Get(L"speakers", L"eq.enabled"));
}

TEST_F(Master, AnotherSuiteTakesTheDeviceAndTheSwitchWinsItBack)
{
    Recorder mainWindow;
    Open();
    m_pSession->m_hWndMainEffects = mainWindow.Handle();

    OtherSuite(1, L"Other Suite");
    ASSERT_TRUE(PumpUntil([&] { return Foreign(); }));
    const ULONGLONG tOff = GetTickCount64();
    EXPECT_EQ(0, m_recorder.Count(WM_MASTER_ONOFF_CHANGE)) << "the windows are told later";
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Count(WM_MASTER_ONOFF_CHANGE) == 1; }, 4000));
    EXPECT_GE(m_recorder.Messages().back().tick - tOff, 1800u);
    EXPECT_EQ(L"Other Suite", OwnerName());

    // Between two foreign suites nothing is reported; our own name in any
    // letter case never replaces the owner's.
    OtherSuite(3, L"Third Suite");
    OtherSuite(3, L"AURALITH q-fx mb");
    PumpFor(500);
    EXPECT_EQ(L"Third Suite", OwnerName());
    EXPECT_TRUE(Foreign());

    // Switching on claims the device, and our own claim is no news.
    m_pSession->SetMasterOnOff(TRUE, TRUE);
    EXPECT_EQ(2u, Technology(kCoexistKey));
    PumpFor(500);
    EXPECT_TRUE(m_pSession->m_bMasterOn);
    EXPECT_TRUE(m_pSession->m_bLumoraTechnology);
    EXPECT_EQ(1, mainWindow.Count(WM_SHOW_MASTER_POPUP));
}

TEST_F(Master, TwoForeignClaimsWithinTheDelayTellTheWindowsOnce)
{
    Open();
    PostMessageW(m_pSession->m_hWndHidden, WM_EFX_COEXIST_STATE_CHANGE, 1, 0);
    PumpFor(1000);
    PostMessageW(m_pSession->m_hWndHidden, WM_EFX_COEXIST_STATE_CHANGE, 3, 0);
    PumpUntil([&] { return m_pSession->m_nTimerLumoraOff != 0; }, 1000);
    const ULONGLONG tSecond = GetTickCount64();
    PumpFor(3000);
    ASSERT_EQ(1, m_recorder.Count(WM_MASTER_ONOFF_CHANGE));
    EXPECT_GE(m_recorder.Messages()[0].tick - tSecond, 1800u);
}

// The races between the listener thread and the writers of the key are
// made to happen every time: the trace lines each thread writes at a known
// point of its work are where the other side's step is made to land.
namespace hook {
std::atomic<bool> g_bGap{false}, g_bClaim{false};
HANDLE g_hListenerRead = CreateEventW(nullptr, FALSE, FALSE, nullptr);

bool Has(const EXCEPTION_RECORD* r, const char* psz)
{
    const ULONG_PTR text = r->ExceptionInformation[1];
    if (r->ExceptionCode == 0x40010006)
        return strstr(reinterpret_cast<const char*>(text), psz) != nullptr;
    std::wstring wide(psz, psz + strlen(psz));
    return wcsstr(reinterpret_cast<const wchar_t*>(text), wide.c_str()) != nullptr;
}

LONG CALLBACK OnTrace(EXCEPTION_POINTERS* p)
{
    // Debugger output arrives as the wide or the narrow print exception.
    const EXCEPTION_RECORD* r = p->ExceptionRecord;
    if (r->NumberParameters < 2 || (r->ExceptionCode != 0x4001000A && r->ExceptionCode != 0x40010006))
        return EXCEPTION_CONTINUE_SEARCH;
    if (Has(r, "Listener::Run(), m_dwTechnology =")) {
        SetEvent(g_hListenerRead);
        if (g_bGap.exchange(false))
            kvtest::RunProgram(kvtest::ExeFileName(), L"--write-coexist 1 -");
    } else if (Has(r, "claim Technology=2 returns") && g_bClaim.exchange(false)) {
        WaitForSingleObject(g_hListenerRead, 2000);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}
} // namespace hook

// A claim writes two values. Between them, the listener reads what the first
// left: it must never see our claim half made and report another suite, not
// even for a moment (the windows would flicker and the pop-up come twice).
TEST_F(Master, AHalfMadeClaimIsNeverMistakenForAForeignOne)
{
    Recorder mainWindow;
    Open();
    m_pSession->m_hWndMainEffects = mainWindow.Handle();
    OtherSuite(1, L"Other Suite");
    ASSERT_TRUE(PumpUntil([&] { return Foreign(); }));
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Count(WM_MASTER_ONOFF_CHANGE) == 1; }, 4000));
    m_recorder.Clear();
    TraceCapture trace;
    PVOID hHandler = AddVectoredExceptionHandler(1, hook::OnTrace);
    ResetEvent(hook::g_hListenerRead);
    hook::g_bClaim = true;
    m_pSession->SetMasterOnOff(TRUE, TRUE);
    PumpFor(500);
    RemoveVectoredExceptionHandler(hHandler);
    EXPECT_FALSE(hook::g_bClaim) << "the claim was not made";
    EXPECT_TRUE(m_pSession->m_bMasterOn && m_pSession->m_bLumoraTechnology);
    EXPECT_EQ(1, m_recorder.Count(WM_MASTER_ONOFF_CHANGE));
    EXPECT_EQ(1, mainWindow.Count(WM_SHOW_MASTER_POPUP));
    EXPECT_EQ(0u, m_pSession->m_nTimerLumoraOff);
}

// Another suite writing its name and then its number: the number lands
// while the listener is still reading what the name's change left.
TEST_F(Master, AWriteLandingWhileTheListenerReadsIsNotLost)
{
    Open();
    TraceCapture trace;
    PVOID hHandler = AddVectoredExceptionHandler(1, hook::OnTrace);
    hook::g_bGap = true;
    ASSERT_EQ(0, kvtest::RunProgram(kvtest::ExeFileName(), L"--write-coexist - \"Other Suite\""));
    EXPECT_TRUE(PumpUntil([&] { return Foreign(); }, 3000));
    EXPECT_FALSE(hook::g_bGap) << "the listener never read";
    RemoveVectoredExceptionHandler(hHandler);
}

// The session reads the key once at bind; a write landing right after that
// read, while the listener thread has only just been started, must still be
// noticed. The listener is held before its first watch until the write is
// made, or for a second when the session waits for that watch.
TEST_F(Master, AWriteRightAfterTheReadAtBindIsNotLost)
{
    TraceCapture trace;
    HANDLE hWritten = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    TraceHook held(L"Listener::Run(), RegOpenKeyEx", [&] { WaitForSingleObject(hWritten, 1000); });
    TraceHook write(L"GetMasterOnOffInfoFromReg(), RegGetValue returns", [&] {
        const DWORD dwForeign = 1;
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kCoexistKey, L"Technology", REG_DWORD, &dwForeign, sizeof(dwForeign));
        SetEvent(hWritten);
    });
    Open();
    EXPECT_TRUE(PumpUntil([&] { return Foreign(); }, 3000)) << "the write after the read went unnoticed";
    EXPECT_TRUE(held.Fired() && write.Fired()) << "the two steps were not made to meet";
    CloseHandle(hWritten);
}

TEST_F(Master, VendorLumoraKeepsItsOwnKeys)
{
    // Another suite owns the device in this vendor's key, we in the other.
    kvtest::ScopedRegValue tech(kLumoraCoexistKey, L"Technology", DWORD(1));
    kvtest::ScopedRegValue name(kLumoraCoexistKey, L"TechnologyName", L"Vendor Suite");
    std::wstring topology = DefaultTopology();
    size_t at = topology.find(L"VEN_10EC&DEV_0899");
    topology.replace(at, 8, L"VEN_111D");
    Load(topology);
    Open();
    ASSERT_EQ(0x111Du, m_pSession->m_dwVendorID);
    EXPECT_TRUE(Foreign());
    EXPECT_EQ(L"Vendor Suite", OwnerName());

    m_pSession->SetMasterOnOff(TRUE, TRUE);
    ASSERT_EQ(2u, Technology(kLumoraCoexistKey));
    OtherSuite(1, L"Other Suite", L"0x10EC");
    PumpFor(500);
    EXPECT_TRUE(m_pSession->m_bMasterOn) << "the other vendor's key is not ours";
    OtherSuite(1, L"Other Suite", L"0x111D");
    ASSERT_TRUE(PumpUntil([&] { return Foreign(); }));

    m_pSession->SetMasterOnOff(TRUE, TRUE);
    EXPECT_EQ(2u, Technology(kLumoraCoexistKey));
    EXPECT_EQ(1u, Technology(kCoexistKey));
}

} // namespace
