// Binding, subscription and the close path every feature object shares.
#include "FeatureTestSupport.h"

#include "SimState.h"
#include "features/SNDIFeatures.h"

namespace {

using ftest::NoticeLog;

class FeatureBase : public ftest::DriverTest {};

TEST_F(FeatureBase, BindsThroughTheEndpointAndNeverAsksTheDeviceThen)
{
    CAGC agc;
    EXPECT_FALSE(agc.Init(nullptr, nullptr));
    EXPECT_EQ(nullptr, agc.m_pUnknown);

    // Armed but untouched: a device call would use it up.
    Fail(L"IKVDevice", 9, E_FAIL, -1, 1);
    CAGC both;
    ASSERT_TRUE(both.Init(m_pDevice, m_pEndpoint));
    EXPECT_EQ(static_cast<IUnknown*>(both.m_pInterface), both.m_pUnknown);
    EXPECT_EQ(1, FaultRemaining(L"IKVDevice", 9));

    // A refusal by the endpoint is final, even though the device offers it.
    Fail(L"IKVEndpoint", 9, E_NOINTERFACE);
    CAGC refused;
    EXPECT_FALSE(refused.Init(m_pDevice, m_pEndpoint));
    EXPECT_EQ(nullptr, refused.m_pUnknown);
    EXPECT_EQ(1, FaultRemaining(L"IKVDevice", 9));

    // Without an endpoint the device is asked, and uses the fault up.
    CAGC onDevice;
    EXPECT_FALSE(onDevice.Init(m_pDevice, nullptr));
    EXPECT_EQ(0, FaultRemaining(L"IKVDevice", 9));
    EXPECT_TRUE(onDevice.Init(m_pDevice, nullptr));
}

TEST_F(FeatureBase, AFeatureTheDriverLacksFailsInit)
{
    CSNDIMixerFx onDevice;  // the device offers no mixer
    EXPECT_FALSE(onDevice.Init(m_pDevice, nullptr));
    Load(ftest::Topology(L"    agc enabled=1\n    bassmgmt enabled=0 range=40:200:10 value=80\n",
                         ftest::DefaultDeviceFeatures()));
    CSNDIBassManagement bass;
    EXPECT_TRUE(bass.Init(nullptr, m_pEndpoint));
    // Bass management without the subwoofer gain behind it.
    CSNDISubWooferGain gain;
    EXPECT_FALSE(gain.Init(nullptr, m_pEndpoint));
    EXPECT_EQ(nullptr, gain.m_pUnknown);
    EXPECT_EQ(nullptr, gain.m_pInterface);
}

TEST_F(FeatureBase, NotificationsArriveOnADriverThreadWithTheirContext)
{
    CSNDIEQ eq;
    ASSERT_TRUE(eq.Init(nullptr, m_pEndpoint));
    int ctxA = 0, ctxB = 0;
    UINT nFirst = eq.Advise(NoticeLog::Callback, &ctxA);
    UINT nSecond = eq.Advise(NoticeLog::Callback, &ctxB);
    ASSERT_NE(0u, nFirst);
    ASSERT_NE(0u, nSecond);
    EXPECT_NE(nFirst, nSecond);
    ASSERT_EQ(2u, eq.m_arrConnections.size());

    ASSERT_EQ(S_OK, eq.m_pInterface->SetBandLevel(1, 3.5f));
    ASSERT_TRUE(NoticeLog::WaitFor(KVEVT_EQ, KVEQ_BAND));
    Sleep(100);  // both subscriptions
    std::vector<ftest::Notice> seen = NoticeLog::Snapshot();
    ASSERT_EQ(2u, seen.size());
    for (const ftest::Notice& n : seen) {
        EXPECT_EQ(1u, n.dwArg);
        EXPECT_NE(GetCurrentThreadId(), n.dwThread) << "called on the writer's stack";
    }
    EXPECT_TRUE((seen[0].pContext == &ctxA && seen[1].pContext == &ctxB) ||
                (seen[0].pContext == &ctxB && seen[1].pContext == &ctxA));

    // Dropping the first leaves the second in place.
    EXPECT_TRUE(eq.Unadvise(nFirst));
    ASSERT_EQ(1u, eq.m_arrConnections.size());
    EXPECT_EQ(nSecond, eq.m_arrConnections[0]->nCookie);
    EXPECT_FALSE(eq.Unadvise(nFirst));  // asked again: unknown now
    EXPECT_FALSE(eq.Unadvise(0));

    NoticeLog::Clear();
    Set(L"spk", L"eq.preamp", L"-3");  // as another application would
    ASSERT_TRUE(NoticeLog::WaitFor(KVEVT_EQ, KVEQ_PREAMP));
    Sleep(100);
    seen = NoticeLog::Snapshot();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(&ctxB, seen[0].pContext);
}

TEST_F(FeatureBase, SubscribingFailsCleanly)
{
    CAGC unbound;
    EXPECT_EQ(0u, unbound.Advise(NoticeLog::Callback, nullptr));
    EXPECT_EQ(nullptr, unbound.m_pNotifySource);

    CAGC agc;
    ASSERT_TRUE(agc.Init(nullptr, m_pEndpoint));
    Fail(L"ISNDINotifySource", 3, E_OUTOFMEMORY, -1, 1);
    EXPECT_EQ(0u, agc.Advise(NoticeLog::Callback, nullptr));
    EXPECT_TRUE(agc.m_arrConnections.empty());
    EXPECT_NE(0u, agc.Advise(NoticeLog::Callback, nullptr));  // the driver recovered
}

TEST_F(FeatureBase, ARefusedUnadviseKeepsTheRecordUntilUnadviseAll)
{
    CSNDIPdp pdp;
    ASSERT_TRUE(pdp.Init(nullptr, m_pEndpoint));
    int ctx = 0;
    UINT nCookie = pdp.Advise(NoticeLog::Callback, &ctx);
    ASSERT_NE(0u, nCookie);
    Fail(L"ISNDINotifySource", 5, E_FAIL);
    EXPECT_FALSE(pdp.Unadvise(nCookie));
    EXPECT_EQ(1u, pdp.m_arrConnections.size());

    // The driver keeps its sink after UnadviseAll: calling it stays safe and
    // reaches nothing, since its subscriber may be gone. Another subscription
    // shows the call was made.
    EXPECT_TRUE(pdp.UnadviseAll());
    EXPECT_TRUE(pdp.m_arrConnections.empty());
    EXPECT_EQ(nullptr, pdp.m_pNotifySource);
    kvsim::ClearFaults();
    CSNDIPdp witness;
    ASSERT_TRUE(witness.Init(nullptr, m_pEndpoint));
    int ctxWitness = 0;
    ASSERT_NE(0u, witness.Advise(NoticeLog::Callback, &ctxWitness));
    Set(L"spk", L"pdp.value", L"70");
    EXPECT_TRUE(NoticeLog::WaitFor(KVEVT_PDP));
    Sleep(200);
    for (const ftest::Notice& n : NoticeLog::Snapshot())
        EXPECT_NE(&ctx, n.pContext);
}

TEST_F(FeatureBase, UninitAndDestructionAreSafeToRepeat)
{
    auto* pUpmix = new CSNDIUpmix;
    ASSERT_TRUE(pUpmix->Init(m_pDevice, m_pEndpoint));
    ASSERT_NE(0u, pUpmix->Advise(NoticeLog::Callback, nullptr));
    EXPECT_TRUE(pUpmix->Uninit());
    EXPECT_EQ(nullptr, pUpmix->m_pInterface);
    EXPECT_EQ(nullptr, pUpmix->m_pUnknown);
    EXPECT_EQ(nullptr, pUpmix->m_pNotifySource);
    EXPECT_TRUE(pUpmix->Uninit());
    EXPECT_EQ(E_FAIL, pUpmix->ResetToDefault());
    delete pUpmix;

    // Destroyed while bound and subscribed: nothing is called afterwards.
    {
        CSNDIBassBoost boost;
        ASSERT_TRUE(boost.Init(nullptr, m_pEndpoint));
        ASSERT_NE(0u, boost.Advise(NoticeLog::Callback, nullptr));
    }
    NoticeLog::Clear();
    Set(L"spk", L"bassboost.value", L"3");
    EXPECT_FALSE(NoticeLog::WaitFor(KVEVT_BASSBOOST, ~0u, 300));
}

TEST_F(FeatureBase, ResetToDefaultRestoresTheFeature)
{
    CSNDIBassBoost boost;
    ASSERT_TRUE(boost.Init(nullptr, m_pEndpoint));
    ASSERT_EQ(S_OK, boost.m_pInterface->SetValue(2.0f));
    EXPECT_GE(boost.ResetToDefault(), 0);
    float f = 0.0f;
    ASSERT_EQ(S_OK, boost.m_pInterface->GetValue(&f));
    EXPECT_FLOAT_EQ(6.0f, f);
}

TEST(NotifySink, AnswersOnlyItsOwnInterfaces)
{
    auto* pSink = new CNotifySink(ftest::NoticeLog::Callback);
    void* pv = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, pSink->QueryInterface(IID_ISNDIDefaults, &pv));
    EXPECT_EQ(nullptr, pv);
    ASSERT_EQ(S_OK, pSink->QueryInterface(IID_INotifySink, &pv));
    EXPECT_EQ(static_cast<INotifySink*>(pSink), pv);
    EXPECT_EQ(1u, pSink->Release());
    EXPECT_EQ(0u, pSink->Release());
}

}  // namespace

namespace {

template <class T>
CSNDIBase* Make() { return new T; }

TEST_F(FeatureBase, EveryCommonClassBindsAndHearsItsOwnFeature)
{
    const struct {
        const char* pszClass;
        CSNDIBase* (*pfnMake)();
        const wchar_t* pszSetting;
        const wchar_t* pszValue;
        UINT eEvent;
    } cases[] = {
        {"CAGC", Make<CAGC>, L"agc.enabled", L"0", KVEVT_AGC},
        {"CSNDIBassBoost", Make<CSNDIBassBoost>, L"bassboost.freq", L"120", KVEVT_BASSBOOST},
        {"CSNDIBassManagement", Make<CSNDIBassManagement>, L"bassmgmt.value", L"100", KVEVT_BASSMANAGEMENT},
        {"CSNDISubWooferGain", Make<CSNDISubWooferGain>, L"subwoofer.state", L"1", KVEVT_BASSMANAGEMENT},
        {"CSNDIMixerFx", Make<CSNDIMixerFx>, L"mixer.3", L"50", KVEVT_MIXERFX},
        {"CSNDIPdp", Make<CSNDIPdp>, L"pdp.enabled", L"1", KVEVT_PDP},
        {"CSNDIUpmix", Make<CSNDIUpmix>, L"upmix.enabled", L"0", KVEVT_UPMIX},
        {"CSNDIEQ", Make<CSNDIEQ>, L"eq.band.0", L"2", KVEVT_EQ},
        {"CSNDIRVXEnvironment", Make<CSNDIRVXEnvironment>, L"reverb.value", L"55", KVEVT_RVX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszClass);
        CSNDIBase* p = c.pfnMake();
        ASSERT_TRUE(p->Init(nullptr, m_pEndpoint));
        ASSERT_NE(0u, p->Advise(NoticeLog::Callback, p));
        NoticeLog::Clear();
        Set(L"spk", c.pszSetting, c.pszValue);
        EXPECT_TRUE(NoticeLog::WaitFor(c.eEvent));
        EXPECT_TRUE(p->Uninit());
        delete p;
    }
}

TEST_F(FeatureBase, TheSessionsDeviceObjectHearsTheDeviceSetChange)
{
    CSNDIDevice device;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_KVDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IKVDeviceEnum,
                                     reinterpret_cast<void**>(&device.m_pDeviceEnum)));
    device.m_pUnknown = device.m_pDeviceEnum;
    device.m_pUnknown->AddRef();
    int ctx = 0;
    UINT nCookie = device.Advise(NoticeLog::Callback, &ctx);
    ASSERT_NE(0u, nCookie);
    Load(ftest::Topology(ftest::DefaultEndpointFeatures(), L"    agc enabled=1\n"));
    EXPECT_TRUE(NoticeLog::WaitFor(KVEVT_ENDPOINTS));
    EXPECT_TRUE(device.Unadvise(nCookie));
    EXPECT_TRUE(device.Uninit());
    EXPECT_EQ(nullptr, device.m_pDeviceEnum);

    CSNDIEndpoint endpoint;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_KVEndpointEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IKVEndpointEnum,
                                     reinterpret_cast<void**>(&endpoint.m_pEndpointEnum)));
    endpoint.m_nEnumIndex = 3;
    EXPECT_TRUE(endpoint.Uninit());
    EXPECT_EQ(nullptr, endpoint.m_pEndpointEnum);
    EXPECT_EQ(0u, endpoint.m_nEnumIndex);
}

}  // namespace
