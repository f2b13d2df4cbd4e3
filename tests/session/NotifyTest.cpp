// Changes from driver threads, the endpoint library and other processes reach
// the session through its hidden window, and the session tells its windows.
#include "SessionTestSupport.h"

#include "SimState.h"

#include <thread>

namespace {

using namespace stest;

class Notify : public SessionTest
{
protected:
    // As a driver thread calls it.
    void DriverEvent(UINT eEvent, UINT dwHint = 0)
    {
        CKVDeviceEndpoint* p = m_pSession.get();
        std::thread([=] { CKVDeviceEndpoint::DriverCallback(eEvent, dwHint, 7, p); }).join();
    }
    static void EndpointLibraryMessage(UINT nMsg)
    {
        kvsim::PostEvent(-1, kvsim::Source::Topology, 0, kvsim::EventCodeFor(kvsim::Source::Topology),
                         KVHINT_TOPOLOGY, nMsg);
    }
};

TEST_F(Notify, EndpointChangesFromEitherSourceReEnumerateAlike)
{
    Open();
    TraceCapture trace;
    // Messages 1 and 4 mean nothing to the session; each of the others, and
    // driver event 2117, runs one enumeration that finds the same endpoint.
    int nExpected = 0;
    for (UINT nMsg : {1u, 0u, 4u, 2u, 3u}) {
        EndpointLibraryMessage(nMsg);
        if (nMsg == 0 || nMsg == 2 || nMsg == 3)
            ++nExpected;
        PumpUntil([&] { return trace.Count(L"endpoint no change") == nExpected; }, 3000);
        kvtest::PumpUntilIdle(200);
        EXPECT_EQ(nExpected, trace.Count(L"endpoint no change")) << "message " << nMsg;
    }
    EXPECT_EQ(0, trace.Count(L"DisplayNotificationCallbackInfo, msg=1"));
    EXPECT_EQ(0, trace.Count(L"DisplayNotificationCallbackInfo, msg=4"));

    DriverEvent(KVEVT_ENDPOINTS);
    PumpUntil([&] { return trace.Count(L"endpoint no change") == nExpected + 1; }, 3000);
    EXPECT_EQ(nExpected + 1, trace.Count(L"endpoint no change"));
    EXPECT_EQ(0, m_recorder.Count(WM_DEVICE_ENDPOINT_CHANGE));
}

TEST_F(Notify, SpeakerEventChecksTheMasterFirstThenTellsTheWindows)
{
    Open();
    m_pSession->SetMasterOnOff(FALSE, TRUE);
    kvtest::PumpUntilIdle(200);
    m_recorder.Clear();

    // Another process switched on through the store; the driver reports the
    // speaker layout.
    SetStoreValue(EndpointId(1), PKEY_KV_MasterOnOff, 1);
    DriverEvent(KVEVT_SPKCONFIG, 1);
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Count(WM_SPK_CONFIG_CHANGE) == 1; }));
    auto msgs = m_recorder.Messages();
    ASSERT_EQ(2u, msgs.size());
    EXPECT_EQ(WM_MASTER_ONOFF_CHANGE, msgs[0].nMsg);
    EXPECT_EQ(WM_SPK_CONFIG_CHANGE, msgs[1].nMsg);
    EXPECT_EQ(reinterpret_cast<LPARAM>(m_pSession->m_pEndpoint), msgs[1].lParam);
    EXPECT_TRUE(m_pSession->m_bMasterOn);

    // Switched on, no event reads the store or posts the master message.
    m_recorder.Clear();
    TraceCapture trace;
    DriverEvent(KVEVT_EQ, KVEQ_BAND);
    DriverEvent(KVEVT_SPKCONFIG, 1);
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Count(WM_SPK_CONFIG_CHANGE) == 1; }));
    kvtest::PumpUntilIdle(200);
    EXPECT_EQ(0, m_recorder.Count(WM_MASTER_ONOFF_CHANGE));
    EXPECT_EQ(0, trace.Count(L"OnDriverChange(), m_pIFxPropStore->GetValue()"));
}

TEST_F(Notify, PeersAreToldOfEachSwitchAndAreNotAnswered)
{
    Open();
    auto peer = std::make_unique<Recorder>(kPeerWindowName, true);
    auto peerCount = [&] { return peer->Count(g_uMasterOnOffChangedMsg); };

    m_pSession->SetMasterOnOff(FALSE, TRUE);
    m_pSession->SetMasterOnOff(FALSE, TRUE);
    kvtest::PumpUntilIdle(200);
    EXPECT_EQ(1, peerCount());
    EXPECT_EQ(1, m_recorder.Count(WM_MASTER_ONOFF_CHANGE));

    // A peer's notice, in its registered and numbered forms from another
    // process: the windows refresh, the peer hears nothing back.
    peer->Clear();
    m_recorder.Clear();
    PostMessageW(m_pSession->m_hWndHidden, g_uMasterOnOffChangedMsg, 0, 0);
    EXPECT_EQ(0, kvtest::RunProgram(L"KVPeer.exe", L"--post 4019"));
    EXPECT_TRUE(PumpUntil([&] { return m_recorder.Count(WM_MASTER_ONOFF_CHANGE) == 2; }));
    EXPECT_EQ(0, peerCount());

    // No peer: the switch only traces.
    peer.reset();
    TraceCapture trace;
    m_pSession->SetMasterOnOff(TRUE, TRUE);
    EXPECT_TRUE(trace.Has(L"IPC_MasterOnOffStatusUpdate(), hWnd=0x0"));
    EXPECT_TRUE(m_pSession->m_bMasterOn);
}

// Another of the maker's programs switches through the endpoint's store and
// tells every plug-in window; the session follows the store.
TEST_F(Notify, AProgramSwitchingThroughTheStoreIsFollowed)
{
    Open();
    EXPECT_EQ(0, kvtest::RunProgram(L"KVPeer.exe", L"--master off --endpoint " + EndpointId(1) + L" --mask 0x8"));
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Count(WM_MASTER_ONOFF_CHANGE) == 1; }));
    EXPECT_FALSE(m_pSession->m_bMasterOn);
    EXPECT_EQ(0x8u, m_pSession->m_dwEffectInfo);
    EXPECT_EQ(0, kvtest::RunProgram(L"KVPeer.exe", L"--master on --endpoint " + EndpointId(1)));
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Count(WM_MASTER_ONOFF_CHANGE) == 2; }));
    EXPECT_TRUE(m_pSession->m_bMasterOn);
}

} // namespace
