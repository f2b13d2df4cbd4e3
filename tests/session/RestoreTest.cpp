// Restoring defaults resets the bound hardware and leaves the master alone.
#include "SessionTestSupport.h"

#include "SimState.h"

namespace {

using namespace stest;

class Restore : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        Load(L"mode endpoint\n" + RenderEndpoint(L"speakers", 1, 1, Features(true, true)) +
             Capture(L"mic", 1, L"ADP-A", L"active") + Capture(L"line", 2, L"ADP-A", L"unplugged") +
             Capture(L"other", 3, L"ADP-B", L"active"));
    }
    static std::wstring Capture(const wchar_t* alias, int n, const wchar_t* adaptor, const wchar_t* state)
    {
        return std::wstring(L"endpoint ") + alias + L" capture\n    id {0.0.1.00000000}.{5E551000-0000-4000-8000-00000000010" +
               std::to_wstring(n) + L"}\n    name " + alias + L"\n    form-factor 4\n    adaptor " + adaptor + L"\n    state " + state +
               L"\n    agc enabled=1\n";
    }
    struct Counts {
        DWORD dwRestores, dwPresetRestores;
    };
    Counts NodeCounts(const wchar_t* alias)
    {
        int n = Node(alias);
        kvsim::StateLock lock;
        return {lock->nodes[n].dwRestoreCount, lock->nodes[n].dwPresetRestoreCount};
    }
    Counts AdaptorCounts(const wchar_t* id)
    {
        kvsim::StateLock lock;
        int i = kvsim::FindAdaptor(*lock, id);
        return {lock->adaptors[i].dwRestoreCount, lock->adaptors[i].dwPresetRestoreCount};
    }
};

TEST_F(Restore, ResetsAdaptorEndpointCapturesOfItsAdaptorAndPresets)
{
    Open();
    m_pSession->SetMasterOnOff(FALSE, TRUE);
    const ULONGLONG dwMask = m_pSession->m_dwEffectInfo;

    m_pSession->RestoreAudioDefault(0);
    EXPECT_EQ(1u, AdaptorCounts(L"ADP-A").dwRestores);
    EXPECT_EQ(1u, AdaptorCounts(L"ADP-A").dwPresetRestores);
    EXPECT_EQ(1u, NodeCounts(L"speakers").dwRestores);
    EXPECT_EQ(1u, NodeCounts(L"speakers").dwPresetRestores);
    EXPECT_EQ(1u, NodeCounts(L"mic").dwRestores);
    EXPECT_EQ(1u, NodeCounts(L"line").dwRestores) << "unplugged, same adaptor";
    EXPECT_EQ(0u, NodeCounts(L"other").dwRestores) << "another adaptor";
    EXPECT_EQ(0u, AdaptorCounts(L"ADP-B").dwRestores);

    EXPECT_FALSE(m_pSession->m_bMasterOn);
    EXPECT_EQ(dwMask, m_pSession->m_dwEffectInfo);
    EXPECT_EQ(0u, StoreValue(EndpointId(1), PKEY_KV_MasterOnOff));
    EXPECT_EQ(dwMask, StoreValue(EndpointId(1), PKEY_KV_EffectInfo));
    EXPECT_TRUE(m_pSession->m_bRestoringDefault);
}

TEST_F(Restore, AnAdaptorWithoutIdResetsNoCaptureEndpoint)
{
    Open();
    Fail(L"IKVAdaptor", 9, E_FAIL);
    m_pSession->RestoreAudioDefault(0);
    EXPECT_EQ(1u, AdaptorCounts(L"ADP-A").dwRestores);
    EXPECT_EQ(1u, NodeCounts(L"speakers").dwRestores);
    EXPECT_EQ(1u, NodeCounts(L"speakers").dwPresetRestores);
    EXPECT_EQ(0u, NodeCounts(L"mic").dwRestores);
    EXPECT_EQ(0u, NodeCounts(L"line").dwRestores);
}

// One quiet period, measured from the last restore, during which our own
// technology taking the device back raises no pop-up.
TEST_F(Restore, ASecondRestoreRestartsTheQuietPeriod)
{
    Recorder mainWindow;
    Open();
    m_pSession->m_hWndMainEffects = mainWindow.Handle();
    TraceCapture trace;
    m_pSession->RestoreAudioDefault(0);
    PumpFor(1500);
    m_pSession->RestoreAudioDefault(0);
    const ULONGLONG tSecond = GetTickCount64();

    PostMessageW(m_pSession->m_hWndHidden, WM_EFX_COEXIST_STATE_CHANGE, 1, 0);
    PostMessageW(m_pSession->m_hWndHidden, WM_EFX_COEXIST_STATE_CHANGE, 2, 0);
    ASSERT_TRUE(PumpUntil([&] { return !m_pSession->m_bRestoringDefault; }, 5000));
    EXPECT_GE(GetTickCount64() - tSecond, 2900u);
    EXPECT_EQ(1, trace.Count(L"userTimerProc() m_nTimerRestoreDefault"));
    EXPECT_EQ(0, mainWindow.Count(WM_SHOW_MASTER_POPUP));
    EXPECT_GE(m_recorder.Count(WM_MASTER_ONOFF_CHANGE), 1);

    PostMessageW(m_pSession->m_hWndHidden, WM_EFX_COEXIST_STATE_CHANGE, 1, 0);
    PostMessageW(m_pSession->m_hWndHidden, WM_EFX_COEXIST_STATE_CHANGE, 2, 0);
    EXPECT_TRUE(PumpUntil([&] { return mainWindow.Count(WM_SHOW_MASTER_POPUP) == 1; }, 2000));
}

TEST_F(Restore, TheDeviceFlavourResetsTheDeviceAndItsPresets)
{
    Load(L"mode device\ndevice codec\n    name Codec\n    adaptor ADP-D\n    agc enabled=1\n"
         L"    eqpresets wide=0 narrow=1 active=flat\n        preset key=flat name=Flat kind=builtin preamp=0\n");
    Open();
    m_pSession->RestoreAudioDefault(0);
    EXPECT_EQ(1u, NodeCounts(L"codec").dwRestores);
    EXPECT_EQ(1u, NodeCounts(L"codec").dwPresetRestores);
}

} // namespace
