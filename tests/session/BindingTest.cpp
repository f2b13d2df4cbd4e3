// Which endpoint or device the session binds, and what binding sets up.
#include "SessionTestSupport.h"

#include "SimState.h"
#include "device/EfxCoexistStateListener.h"

#include <algorithm>
#include <cwctype>

namespace {

using namespace stest;

class Binding : public SessionTest {};

TEST_F(Binding, SpeakersBeforeHeadphonesBeforeAnyLowerIndexFirst)
{
    Load(L"mode endpoint\n" + RenderEndpoint(L"other", 1, 5) + RenderEndpoint(L"phones", 2, 3) +
         RenderEndpoint(L"spkA", 3, 1) + RenderEndpoint(L"spkB", 4, 1));
    Open();
    EXPECT_EQ(EndpointId(3), BoundId());

    // Each loss reaches the session through the endpoint library.
    struct {
        const wchar_t* pszUnplug;
        int nNext;
    } const steps[] = {{L"spkA", 4}, {L"spkB", 2}, {L"phones", 1}};
    for (const auto& step : steps) {
        Plug(step.pszUnplug, false);
        EXPECT_TRUE(PumpUntil([&] { return BoundId() == EndpointId(step.nNext); })) << kvtest::Narrow(step.pszUnplug);
    }

    m_recorder.Clear();
    Plug(L"other", false);
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Count(WM_DEVICE_ENDPOINT_CHANGE) == 1; }));
    auto msg = m_recorder.Messages().back();
    EXPECT_EQ(0u, msg.wParam);
    EXPECT_EQ(0, msg.lParam);
    EXPECT_EQ(0u, m_pSession->m_dwVendorID);
    EXPECT_TRUE(BoundId().empty());
    EXPECT_EQ(nullptr, m_pSession->m_EQ.p);
    EXPECT_EQ(nullptr, m_pSession->m_pIFxPropStore);
}

TEST_F(Binding, AnEndpointWhoseIdCannotBeReadIsNeverBound)
{
    Load(L"mode endpoint\n" + RenderEndpoint(L"other", 1, 5) + RenderEndpoint(L"spkA", 2, 1) +
         RenderEndpoint(L"spkB", 3, 1));
    Fail(L"IKVEndpoint", 7, E_FAIL, Node(L"spkA"));
    Open();
    EXPECT_EQ(EndpointId(3), BoundId());

    Fail(L"IKVEndpoint", 7, E_FAIL);
    Open();
    EXPECT_TRUE(BoundId().empty());
    EXPECT_EQ(nullptr, m_pSession->m_pEndpoint);
}

TEST_F(Binding, IdsDifferingOnlyInCaseAreTheSameEndpoint)
{
    Open();
    const std::wstring bound = BoundId();
    std::wstring lower = DefaultTopology();
    std::wstring id = EndpointId(1), idLower = id;
    std::transform(idLower.begin(), idLower.end(), idLower.begin(), ::towlower);
    ASSERT_NE(id, idLower);
    lower.replace(lower.find(id), id.size(), idLower);
    Load(lower);

    TraceCapture trace;
    CKVDeviceEndpoint::DriverCallback(KVEVT_ENDPOINTS, 0, 0, m_pSession.get());
    PumpUntil([&] { return trace.Has(L"endpoint no change"); }, 2000);
    kvtest::PumpUntilIdle(300);
    EXPECT_EQ(1, trace.Count(L"endpoint no change"));
    EXPECT_EQ(0, m_recorder.Count(WM_DEVICE_ENDPOINT_CHANGE));
    EXPECT_EQ(bound, BoundId());
}

TEST_F(Binding, FirstBindSetsUpEverythingTheMasterSwitchUses)
{
    Open();
    CKVDeviceEndpoint& s = *m_pSession;
    EXPECT_TRUE(s.m_bEndpoint);
    EXPECT_FALSE(s.m_bDeviceXP);
    EXPECT_NE(nullptr, FindWindowW(nullptr, kHiddenWindowName));
    EXPECT_NE(0u, g_uMasterOnOffChangedMsg);
    EXPECT_EQ(&s, g_pKVDeviceEndpoint);
    EXPECT_NE(nullptr, s.m_hNotify) << "registered with the endpoint library";
    EXPECT_NE(nullptr, s.m_pIFxPropStore);
    EXPECT_NE(nullptr, s.m_pIEpPropStore);
    EXPECT_EQ(0x10ECu, s.m_dwVendorID);
    ASSERT_NE(nullptr, s.m_pEfxCoexistStateListener);
    EXPECT_NE(nullptr, s.m_pEfxCoexistStateListener->m_hThread);
    for (bool bBound : {s.m_SpkConfig.p != nullptr, s.m_Pdp.p != nullptr, s.m_Upmix.p != nullptr,
                        s.m_BassBoost.p != nullptr, s.m_BassManagement.p != nullptr, s.m_AGC.p != nullptr,
                        s.m_RVXEnvironment.p != nullptr, s.m_RVXPreset.p != nullptr, s.m_EQ.p != nullptr})
        EXPECT_TRUE(bBound);
    EXPECT_NE(0u, s.m_EQ.nCookie);
    EXPECT_EQ(1, s.m_nUpmixIndex) << "the element of type 6";
    {
        kvsim::StateLock lock;
        const kvsim::PresetFamily& rvx = lock->nodes[Node(L"speakers")].features.rvxPresets;
        EXPECT_TRUE(rvx.bSetSelected);
        EXPECT_EQ(1u, rvx.dwConfigCalls);
        EXPECT_EQ(0x0409u, rvx.dwLanguage);
    }

    // Closing twice is harmless and leaves nothing behind.
    s.CloseDeviceEndpoint();
    s.CloseDeviceEndpoint();
    EXPECT_EQ(nullptr, FindWindowW(nullptr, kHiddenWindowName));
    EXPECT_EQ(nullptr, s.m_pEfxCoexistStateListener);
    EXPECT_EQ(nullptr, s.m_pEndpoint);
    EXPECT_EQ(nullptr, s.m_EQ.p);
    EXPECT_EQ(nullptr, s.m_hNotify);
    EXPECT_EQ(nullptr, g_pKVDeviceEndpoint);
    EXPECT_TRUE(s.m_arrNotifyWnd.empty());
}

TEST_F(Binding, NothingToBindLeavesTheSessionOpenAndUnbound)
{
    kvtest::ScopedRegValue foreign(kCoexistKey, L"Technology", DWORD(1));
    Load(L"mode endpoint\nendpoint mic capture\n    id {0.0.1.00000000}.{5E551000-0000-4000-8000-000000000101}\n"
         L"    name Microphone\n    form-factor 4\n    state active\n");
    // The session empties its list of windows as it opens: the recorder goes
    // in right after that, so a post while it first enumerates would be seen.
    TraceCapture trace;
    TraceHook early(L"CKVDeviceEndpoint::EnumEndpoint()",
                    [&] { g_pKVDeviceEndpoint->m_arrNotifyWnd.push_back(m_recorder.Handle()); });
    Open();
    kvtest::PumpUntilIdle(200);
    EXPECT_TRUE(early.Fired());
    EXPECT_TRUE(m_recorder.Messages().empty()) << m_recorder.Messages()[0].nMsg;
    EXPECT_TRUE(BoundId().empty());
    ASSERT_NE(nullptr, m_pSession->m_pEfxCoexistStateListener);
    EXPECT_EQ(nullptr, m_pSession->m_pEfxCoexistStateListener->m_hThread) << "no listener thread";
    EXPECT_TRUE(m_pSession->m_bMasterOn);
    EXPECT_TRUE(m_pSession->m_bLumoraTechnology);

    // Without an enumerator class there is no session to open at all.
    kvsim::SetDriverMode(kvsim::DriverMode::None);
    Close();
    CKVDeviceEndpoint none(0x0409);
    EXPECT_FALSE(none.OpenDeviceEndpoint());
    EXPECT_EQ(nullptr, none.m_hWndHidden);
    EXPECT_EQ(nullptr, none.m_pEfxCoexistStateListener);
}

TEST_F(Binding, TheDeviceFlavourBindsTheFirstDeviceThatDescribesItself)
{
    Load(L"mode device\ndevice first\n    name \"Broken Codec\"\n    adaptor ADP-D\n    agc enabled=1\n"
         L"device codec\n    name \"Narrow Codec\"\n    adaptor ADP-D\n    agc enabled=1\n"
         L"    quirks unterminated-names\n");
    Fail(L"IKVDevice", 7, E_FAIL, Node(L"first"));
    Open();
    EXPECT_FALSE(m_pSession->m_bEndpoint);
    EXPECT_TRUE(m_pSession->m_bDeviceXP);
    // Its name fills the record without a terminator: read to the field's end.
    EXPECT_EQ(0u, BoundId().find(L"Narrow Codec"));
    EXPECT_EQ(sizeof(KVDEVICEINFO::szName), BoundId().size());
    EXPECT_NE(nullptr, m_pSession->m_pDevice);
    EXPECT_EQ(nullptr, m_pSession->m_pEndpoint);
    ASSERT_NE(nullptr, m_pSession->m_AGC.p);
    EXPECT_NE(nullptr, m_pSession->m_AGC.p->m_pInterface);
    EXPECT_NE(0u, m_pSession->m_nDeviceCookie);
}

TEST_F(Binding, TheHostileEqualizerFileBindsItsDevice)
{
    LoadFile(L"hostile-eq.kvtopo");
    Open();
    EXPECT_TRUE(m_pSession->m_bDeviceXP);
    EXPECT_EQ(0u, BoundId().find(L"Codec With A Crowded Equalizer"));
    ASSERT_NE(nullptr, m_pSession->m_EQ.p);
    EXPECT_NE(nullptr, m_pSession->m_EQ.p->m_pInterface);
}

TEST_F(Binding, VendorIdComesFromTheInstancePath)
{
    const std::wstring longTail(190, L'A');  // as long as a path may be
    struct {
        std::wstring path;
        unsigned vendor;
    } const cases[] = {
        {L"{1}.USB\\VID_1234&PID_5678&MI_00\\7&1A2B3C&0&0000", 0x1234},
        {L"{1}.HDAUDIO\\FUNC_01&VEN_111D&DEV_76E7&SUBSYS_103C3600&REV_1001\\4&1&0001", 0x111D},
        {L"{1}.hdaudio\\func_01&ven_10ec&dev_0899&subsys_10ec1234&rev_1000\\4&2b1e5c3a&0&0001", 0x10EC},
        {L"{1}.PCI\\VEN_8086&DEV_A170&SUBSYS_86941043&REV_31\\3&11583659&0&FB", 0x8086},
        {L"{1}.BTHENUM\\{61118058-486C-4BB0-B4B8-ACE4DCADEC44}_VID&0002054C", 0},
        {L"{1}.USB\\VID_ABCD", 0xABCD},  // a partial match keeps what it read
        {L"SWD\\MMDEVAPI\\SOMETHING", 0},
        {L"{1}.HDAUDIO\\FUNC_01&VEN_10EC&DEV_0899&SUBSYS_10EC1234&REV_1000\\" + longTail, 0x10EC},
    };
    for (const auto& c : cases) {
        std::wstring topology = DefaultTopology();
        size_t at = topology.find(L"instance-path ") + 14;
        topology.replace(at, topology.find(L'\n', at) - at, c.path);
        Load(topology);
        Open();
        EXPECT_EQ(c.vendor, m_pSession->m_dwVendorID) << kvtest::Narrow(c.path);
    }
}

} // namespace
