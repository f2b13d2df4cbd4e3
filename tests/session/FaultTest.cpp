// A failing or noisy driver: every call the session makes may fail, and the
// session must neither crash nor hang, and must bind again once it recovers.
#include "SessionTestSupport.h"

#include "SimState.h"

namespace {

using namespace stest;

class Faults : public SessionTest
{
protected:
    // Everything the session does with a bound endpoint.
    void Exercise()
    {
        Open();
        m_pSession->SetMasterOnOff(FALSE, TRUE);
        m_pSession->SetMasterOnOff(TRUE, TRUE);
        m_pSession->RestoreAudioDefault(0);
        CKVDeviceEndpoint::DriverCallback(KVEVT_ENDPOINTS, 0, 0, m_pSession.get());
        CKVDeviceEndpoint::DriverCallback(KVEVT_SPKCONFIG, 0, 0, m_pSession.get());
        kvtest::PumpUntilIdle(100);
        Close();
    }
    // No driver objects of ours are left once the session is gone.
    static bool DriverIdle()
    {
        using CanUnload = HRESULT(STDAPICALLTYPE*)();
        auto pfn = reinterpret_cast<CanUnload>(GetProcAddress(GetModuleHandleW(L"KVSimDrv.dll"), "DllCanUnloadNow"));
        return pfn && PumpUntil([&] { return pfn() == S_OK; }, 3000);
    }
};

TEST_F(Faults, EveryDriverCallMayFailAndTheSessionRecovers)
{
    // Every feature on, so the master switch calls each one both ways.
    std::wstring allOn = DefaultTopology();
    for (size_t at; (at = allOn.find(L"enabled=0")) != std::wstring::npos;)
        allOn[at + 8] = L'1';
    // With the method named, the failure is traced under the feature's name.
    struct {
        const wchar_t* pszIface;
        DWORD dwSlot;
        const wchar_t* pszTraced;
    } const calls[] = {
        {L"ClassFactory", 3}, {L"IKVEndpointEnum", 7}, {L"IKVEndpoint", 7}, {L"IKVEndpoint", 9},
        {L"IKVEndpoint", 10}, {L"IKVAdaptor", 8}, {L"IKVAdaptor", 9}, {L"ISNDIDefaults", 0},
        {L"ISNDIDefaults", 3}, {L"ISNDIPresetDefaults", 7}, {L"ISNDINotifySource", 3},
        {L"PolicyConfig", 10}, {L"PolicyConfig", 11}, {L"ISNDIUpmix", 3}, {L"ISNDIElement", 3},
        {L"ISNDIUpmix", 5, L"SelectElement"}, {L"ISNDIUpmix", 7, L"Enable"}, {L"ISNDIUpmix", 8, L"Disable"},
        {L"ISNDIUpmix", 9, L"IsEnabled"}, {L"ISNDIBassBoost", 9, L"Enable"}, {L"ISNDIBassBoost", 10, L"Disable"},
        {L"ISNDIBassBoost", 11, L"IsEnabled"}, {L"ISNDIEQ", 10, L"Enable"}, {L"ISNDIEQ", 11, L"Disable"},
        {L"ISNDIEQ", 12, L"IsEnabled"}, {L"ISNDIPdp", 3, L"Enable"}, {L"ISNDIPdp", 4, L"Disable"},
        {L"ISNDIPdp", 5, L"IsEnabled"}, {L"ISNDIAGC", 3, L"Enable"}, {L"ISNDIAGC", 4, L"Disable"},
        {L"ISNDIAGC", 5, L"IsEnabled"}, {L"ISNDIBassManagement", 6, L"Enable"},
        {L"ISNDIBassManagement", 7, L"Disable"}, {L"ISNDIBassManagement", 8, L"IsEnabled"},
        {L"ISNDIRVXEnvironment", 6, L"Enable"}, {L"ISNDIRVXEnvironment", 7, L"Disable"},
        {L"ISNDIRVXEnvironment", 8, L"IsEnabled"}, {L"ISNDIRVXPresetList", 7}, {L"ISNDIRVXPresetU", 13},
        {L"ISNDIRVXPresetU", 15}, {L"ISNDIRVXPresetU", 16}, {L"ISNDIRVXPresetU", 17, L"Enable"},
        {L"ISNDIRVXPresetU", 18, L"Disable"}, {L"ISNDIRVXPresetU", 20}, {L"ISNDISpkConfig", 3},
        {L"ISNDISpkConfig2", 3}, {L"ISNDISpkConfig2", 4}, {L"ISNDISpkConfig2", 6}, {L"ISNDISpkConfig2", 9},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(kvtest::Narrow(call.pszIface) + " slot " + std::to_string(call.dwSlot));
        Load(allOn);
        TraceCapture trace;
        Fail(call.pszIface, call.dwSlot, E_FAIL);
        Exercise();
        ClearFaults();
        if (call.pszTraced)
            EXPECT_TRUE(trace.Has(std::wstring(call.pszIface + 5) + L" " + call.pszTraced + L" returns 0x80004005"));
        Open();
        EXPECT_EQ(EndpointId(1), BoundId());
        ASSERT_NE(nullptr, m_pSession->m_EQ.p);
        EXPECT_NE(nullptr, m_pSession->m_EQ.p->m_pInterface);
        Close();
        EXPECT_TRUE(DriverIdle());
    }
}

TEST_F(Faults, EveryDeviceCallMayFailAndTheSessionRecovers)
{
    Load(L"mode device\ndevice codec\n    name Codec\n    adaptor ADP-D\n    agc enabled=1\n");
    for (DWORD dwSlot : {7u, 8u, 9u, 10u, 11u}) {
        Fail(L"IKVDeviceEnum", dwSlot, E_FAIL);
        Exercise();
        ClearFaults();
    }
    Fail(L"IKVDevice", 7, E_FAIL);
    Exercise();
    ClearFaults();
    Open();
    EXPECT_EQ(L"Codec", BoundId());
    Close();
    EXPECT_TRUE(DriverIdle());
}

// Endpoints coming and going in a burst, each noticed by the endpoint
// library and the driver: the session ends bound to what is there.
TEST_F(Faults, ABurstOfPlugEventsEndsBoundToTheRightEndpoint)
{
    Load(L"mode endpoint\n" + RenderEndpoint(L"speakers", 1, 1, Features()) + RenderEndpoint(L"phones", 2, 3));
    Open();
    Plug(L"speakers", false);  // one rebind each way first, so every cache is warm
    ASSERT_TRUE(PumpUntil([&] { return BoundId() == EndpointId(2); }));
    Plug(L"speakers", true);
    ASSERT_TRUE(PumpUntil([&] { return BoundId() == EndpointId(1); }));
    kvtest::PumpUntilIdle(500);
    const int nHandles = kvtest::CountHandles();
    for (int i = 0; i < 500; ++i) {
        Plug(L"speakers", i % 2 == 1);
        if (i % 50 == 0)
            kvtest::PumpUntilIdle(10);
    }
    ASSERT_TRUE(PumpUntil([&] { return BoundId() == EndpointId(1); }, 10000));
    kvtest::PumpUntilIdle(500);
    EXPECT_EQ(EndpointId(1), BoundId());
    EXPECT_NE(nullptr, m_pSession->m_EQ.p);
    EXPECT_NE(nullptr, m_pSession->m_SpkConfig.p);
    EXPECT_EQ(nHandles, kvtest::CountHandles());
    Close();
    EXPECT_TRUE(DriverIdle());
}

// A driver whose lists never end: every walk over them stops at its bound.
TEST_F(Faults, EndlessListsAreCutShort)
{
    std::wstring features = Features();
    features.replace(features.find(L"type=6"), 6, L"type=2");
    Load(L"mode endpoint\n" + RenderEndpoint(L"odd", 1, 5, L"    quirks endless-lists\n" + features) +
         L"endpoint mic capture\n    id {0.0.1.00000000}.{5E551000-0000-4000-8000-000000000101}\n"
         L"    name Microphone\n    form-factor 4\n    adaptor ADP-A\n    state active\n    quirks endless-lists\n");
    Open();
    EXPECT_EQ(EndpointId(1), BoundId()) << "found by the last pass";
    EXPECT_EQ(-1, m_pSession->m_nUpmixIndex);
    m_pSession->RestoreAudioDefault(0);
    {
        kvsim::StateLock lock;
        EXPECT_EQ(CKVDeviceEndpoint::kMaxEnumerated, lock->nodes[Node(L"mic")].dwRestoreCount);
    }
    Close();

    Load(L"mode device\ndevice codec\n    name Codec\n    quirks endless-lists\n    agc enabled=1\n");
    Fail(L"IKVDevice", 7, E_FAIL);
    Open();
    EXPECT_TRUE(BoundId().empty());
}

// Last: the subscription the driver failed to cancel stays with it.
TEST_F(Faults, ASubscriptionTheDriverFailedToCancelReachesNothing)
{
    Fail(L"ISNDINotifySource", 5, E_FAIL);
    Exercise();
    ClearFaults();
    TraceCapture trace;
    Set(L"speakers", L"bassboost.value", L"3");
    Set(L"speakers", L"eq.enabled", L"0");
    PumpFor(300);
    EXPECT_EQ(0, trace.Count(L"DriverCallback()"));
}

} // namespace
