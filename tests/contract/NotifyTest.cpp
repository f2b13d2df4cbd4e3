// Notifications (what reaches whom, on which thread, never after Unadvise)
// and fault injection.
#include "ContractSupport.h"

#include <atomic>
#include <thread>

namespace contract {
namespace {

bool Is(const Note& n, UINT eEvent, UINT dwHint, UINT dwArg)
{
    return n.eEvent == eEvent && n.dwHint == dwHint && n.dwArg == dwArg;
}

TEST_F(ContractTest, EveryChangeReachesTheFeaturesSubscribersOnTheDriversThread)
{
    using Change = std::function<HRESULT(IUnknown*)>;
    struct Case {
        const char* what;
        const IID* iid;
        Change change;  // made through a second object of the same feature
        UINT eEvent, dwHint, dwArg;
    } const cases[] = {
        {"band", &IID_ISNDIEQ, [](IUnknown* p) { return CallSlot(p, 6, 2u, 3.0f); }, KVEVT_EQ, KVEQ_BAND, 2},
        {"preamp", &IID_ISNDIEQ, [](IUnknown* p) { return CallSlot(p, 9, -3.0f); }, KVEVT_EQ, KVEQ_PREAMP, 0},
        {"eq off", &IID_ISNDIEQ, [](IUnknown* p) { return CallSlot(p, 11); }, KVEVT_EQ, KVEQ_ONOFF, 0},
        {"eq on", &IID_ISNDIEQ, [](IUnknown* p) { return CallSlot(p, 10); }, KVEVT_EQ, KVEQ_ONOFF, KVEQ_ON},
        {"agc", &IID_ISNDIAGC, [](IUnknown* p) { return CallSlot(p, 3); }, KVEVT_AGC, KVHINT_ONOFF, 1},
        {"boost frequency", &IID_ISNDIBassBoost, [](IUnknown* p) { return CallSlot(p, 8, 100.0f); }, KVEVT_BASSBOOST,
         KVHINT_FREQUENCY, 0},
        {"boost level", &IID_ISNDIBassBoost, [](IUnknown* p) { return CallSlot(p, 5, 3.0f); }, KVEVT_BASSBOOST,
         KVHINT_VALUE, 0},
        {"crossover", &IID_ISNDIBassManagement, [](IUnknown* p) { return CallSlot(p, 5, 100.0f); },
         KVEVT_BASSMANAGEMENT, KVHINT_VALUE, 0},
        {"speaker level", &IID_ISNDIMixerFx, [](IUnknown* p) { return CallSlot(p, 5, 3u, LONG{40}); }, KVEVT_MIXERFX,
         KVHINT_VALUE, 3},
        {"detail", &IID_ISNDIPdp, [](IUnknown* p) { return CallSlot(p, 3); }, KVEVT_PDP, KVHINT_ONOFF, 1},
        {"select", &IID_ISNDIUpmix, [](IUnknown* p) { return CallSlot(p, 5, 1u); }, KVEVT_UPMIX, KVHINT_SELECT, 1},
        {"reverb", &IID_ISNDIRVXEnvironment, [](IUnknown* p) { return CallSlot(p, 5, 40.0f); }, KVEVT_RVX,
         KVHINT_VALUE, 0},
        {"layout", &IID_ISNDISpkConfig2, [](IUnknown* p) { return CallSlot(p, 7, 3u, DWORD{0}); }, KVEVT_SPKCONFIG,
         KVHINT_CURRENT, 3},
        {"custom preset", &IID_ISNDIEQPresetU, [](IUnknown* p) { return CallSlot(p, 9, L"<Custom>"); },
         KVEVT_EQPRESET, KVPRESET_ACTIVE, 0},
        {"delete preset", &IID_ISNDIEQPresetU, [](IUnknown* p) { return CallSlot(p, 10, L"user-1"); },
         KVEVT_EQPRESET, KVPRESET_REMOVED, 2},
    };
    int context = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Ref subscribed = SpeakersFeature(*c.iid), other = SpeakersFeature(*c.iid);
        CRecordingSink sink;
        UINT nCookie = Advise(subscribed, &sink, &context);
        ASSERT_NE(0u, nCookie);
        ASSERT_EQ(S_OK, c.change(other.get()));
        ASSERT_TRUE(sink.WaitFor(1, kNotifyMs));
        Note n = sink.Notes()[0];
        EXPECT_TRUE(Is(n, c.eEvent, c.dwHint, c.dwArg)) << std::hex << n.eEvent << " " << n.dwHint << " " << n.dwArg;
        EXPECT_EQ(&context, n.pContext);
        EXPECT_NE(GetCurrentThreadId(), n.dwThread) << "never on the caller's stack";
        EXPECT_EQ(S_OK, Unadvise(subscribed, nCookie));
    }
}

TEST_F(ContractTest, EventsReachTheSourcesTheyConcern)
{
    Ref ep = Speakers();
    Ref bm = Feature(ep, IID_ISNDIBassManagement), sub = Query(bm, IID_ISNDISubWooferGain);
    Ref eq = Feature(ep, IID_ISNDIEQ), presets = Feature(ep, IID_ISNDIEQPresetU);
    Ref upmix = Feature(ep, IID_ISNDIUpmix);
    Ref element0, element1, element1b;
    CallSlot(upmix.get(), 3, 0u, element0.Put<ISNDIElement>());
    CallSlot(upmix.get(), 3, 1u, element1.Put<ISNDIElement>());
    CallSlot(upmix.get(), 3, 1u, element1b.Put<ISNDIElement>());
    Ref endpointEnum = CreateClass(CLSID_KVEndpointEnum, IID_IKVEndpointEnum);
    Ref deviceEnum = CreateClass(CLSID_KVDeviceEnum, IID_IKVDeviceEnum);

    struct Watch {
        Watch(const char* w, const Ref* p) : what(w), obj(p) {}
        const char* what;
        const Ref* obj;
        CRecordingSink sink;
        UINT nCookie = 0;
    } watches[] = {{"bass management", &bm}, {"subwoofer", &sub}, {"equalizer", &eq}, {"presets", &presets},
                   {"element 0", &element0}, {"element 1", &element1}, {"endpoints", &endpointEnum},
                   {"devices", &deviceEnum}};
    for (Watch& w : watches) ASSERT_NE(0u, w.nCookie = Advise(*w.obj, &w.sink, nullptr)) << w.what;

    ASSERT_EQ(S_OK, CallSlot(sub.get(), 7, DWORD{1}));
    ASSERT_EQ(S_OK, CallSlot(presets.get(), 9, L"eq-rock"));
    ASSERT_EQ(S_OK, CallSlot(Query(element1b, IID_ISNDIVSUR3).get(), 6, 70.0f));
    ASSERT_TRUE(kvsim::SetPlugged(NodeIndex(kHeadphonesId), true, nullptr, 0));

    struct Expect {
        int nWatch;
        UINT eEvent, dwHint, dwArg;
    } const expected[] = {
        {0, KVEVT_BASSMANAGEMENT, KVHINT_STATE, 1},  // the subwoofer sits under bass management
        {1, KVEVT_BASSMANAGEMENT, KVHINT_STATE, 1},
        {2, KVEVT_EQ, KVEQ_REFRESH, 0},             // a preset changes the levels
        {3, KVEVT_EQPRESET, KVPRESET_ACTIVE, 0},
        {5, KVEVT_VSUR, KVHINT_VALUE, 1},
        {6, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0},
        {7, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 0},
    };
    for (const Expect& e : expected) {
        Watch& w = watches[e.nWatch];
        EXPECT_TRUE(w.sink.WaitFor(1, kNotifyMs, [&](const Note& n) { return Is(n, e.eEvent, e.dwHint, e.dwArg); }))
            << w.what;
    }
    EXPECT_FALSE(watches[4].sink.WaitFor(1, kQuietMs)) << "element 0 hears nothing of element 1";
    EXPECT_FALSE(watches[0].sink.WaitFor(1, 0, [](const Note& n) { return n.dwHint == KVPRESET_ACTIVE; }));
    for (Watch& w : watches) EXPECT_EQ(S_OK, Unadvise(*w.obj, w.nCookie)) << w.what;
}

TEST_F(ContractTest, CookiesAreUniqueAndUnadviseEndsTheSubscription)
{
    Ref eq = SpeakersFeature(IID_ISNDIEQ);
    CRecordingSink first, second;
    UINT c1 = Advise(eq, &first, nullptr), c2 = Advise(eq, &second, nullptr);
    ASSERT_NE(0u, c1);
    ASSERT_NE(0u, c2);
    EXPECT_NE(c1, c2);
    EXPECT_EQ(2, first.Refs()) << "the driver holds the sink";
    EXPECT_LT(Unadvise(eq, c1 + c2 + 1000), 0) << "unknown cookie";
    EXPECT_LT(Unadvise(SpeakersFeature(IID_ISNDIAGC), c1), 0) << "another feature's cookie";

    EXPECT_EQ(S_OK, Unadvise(eq, c1));
    EXPECT_EQ(1, first.Refs());
    EXPECT_LT(Unadvise(eq, c1), 0) << "already gone";
    for (int i = 0; i < 10; ++i) ASSERT_EQ(S_OK, CallSlot(eq.get(), 6, 0u, float(i)));
    EXPECT_TRUE(second.WaitFor(10, kNotifyMs));
    EXPECT_FALSE(first.WaitFor(1, 0));
    EXPECT_EQ(S_OK, Unadvise(eq, c2));
}

TEST_F(ContractTest, NoCallAfterUnadviseReturnsEvenWhileChangesPourIn)
{
    Ref eq = SpeakersFeature(IID_ISNDIEQ);
    CRecordingSink sink;
    std::atomic<int> nCalls{0};
    std::atomic<bool> bInSlowCall{false}, bUnadvised{false}, bLate{false};
    HANDLE hUnadvising = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Unadvise comes while the 20th call is running; a call still running
    // once Unadvise has returned is as wrong as a new one. The slow call lasts
    // until Unadvise is under way however late the test thread gets to it.
    sink.onNotify = [&](const Note&) {
        if (bUnadvised) bLate = true;
        if (++nCalls == 20) {
            bInSlowCall = true;
            WaitForSingleObject(hUnadvising, 10000);
            Sleep(200);
        }
        if (bUnadvised) bLate = true;
    };
    UINT nCookie = Advise(eq, &sink, nullptr);
    ASSERT_NE(0u, nCookie);
    CRecordingSink bystander;  // keeps the driver thread running past the Unadvise
    UINT nBystander = Advise(eq, &bystander, nullptr);
    std::thread writer([] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            Ref ep;
            Ref e = CreateClass(CLSID_KVEndpointEnum, IID_IKVEndpointEnum);
            CallSlot(e.get(), 7, 0u, 0u, DWORD{1}, ep.Put());
            Ref w = Feature(ep, IID_ISNDIEQ);
            for (int i = 0; i < 300; ++i) CallSlot(w.get(), 6, 1u, float(i % 24 - 12));
        }
        CoUninitialize();
    });
    for (int i = 0; i < 500 && !bInSlowCall; ++i) Sleep(10);
    SetEvent(hUnadvising);
    ASSERT_TRUE(bInSlowCall);
    EXPECT_EQ(S_OK, Unadvise(eq, nCookie));
    bUnadvised = true;
    writer.join();
    Sleep(kQuietMs);
    EXPECT_FALSE(bLate);
    EXPECT_EQ(20, nCalls.load());
    EXPECT_EQ(1, sink.Refs());
    EXPECT_EQ(S_OK, Unadvise(eq, nBystander));
    CloseHandle(hUnadvising);
}

TEST_F(ContractTest, ASinkMayCallBackIntoTheDriverAndUnadviseItself)
{
    Ref eq = SpeakersFeature(IID_ISNDIEQ);
    CRecordingSink sink;
    UINT nCookie = 0;
    std::atomic<HRESULT> hrRead{E_FAIL}, hrUnadvise{E_FAIL};
    IUnknown* pEq = eq.get();
    sink.onNotify = [&](const Note&) {
        float f = 0;
        hrRead = CallSlot(pEq, 5, 0u, &f);
        if (hrUnadvise != S_OK) hrUnadvise = Unadvise(eq, nCookie);
    };
    nCookie = Advise(eq, &sink, nullptr);
    ASSERT_NE(0u, nCookie);
    ASSERT_EQ(S_OK, CallSlot(eq.get(), 6, 0u, 1.0f));
    ASSERT_TRUE(sink.WaitFor(1, kNotifyMs));
    EXPECT_EQ(S_OK, hrRead.load());
    EXPECT_EQ(S_OK, hrUnadvise.load());
    ASSERT_EQ(S_OK, CallSlot(eq.get(), 6, 0u, 2.0f));
    EXPECT_FALSE(sink.WaitFor(2, kQuietMs));
    EXPECT_EQ(1, sink.Refs());
    // The thread that stopped itself is replaced on the next subscription.
    CRecordingSink again;
    UINT c2 = Advise(eq, &again, nullptr);
    ASSERT_EQ(S_OK, CallSlot(eq.get(), 6, 0u, 3.0f));
    EXPECT_TRUE(again.WaitFor(1, kNotifyMs));
    EXPECT_EQ(S_OK, Unadvise(eq, c2));
}

// ---- Fault injection -------------------------------------------------------------

TEST_F(ContractTest, AnInjectedFaultIsReturnedBySlotForItsCountOnly)
{
    using kvsim::Iface;
    Ref ep = Speakers();
    Ref eq = Feature(ep, IID_ISNDIEQ), spk = Feature(ep, IID_ISNDISpkConfig2);
    Ref element, item;
    CallSlot(Feature(ep, IID_ISNDIUpmix).get(), 3, 1u, element.Put<ISNDIElement>());
    CallSlot(Feature(ep, IID_ISNDIRVXPresetList).get(), 7, 0u, item.Put<ISNDIRVXPresetU>());
    Ref vsur3 = Query(element, IID_ISNDIVSUR3);
    Ref devEnum = CreateClass(CLSID_KVDeviceEnum, IID_IKVDeviceEnum);
    CRecordingSink sink;
    KVPRESETCONFIG block = KVMakePresetConfig();
    LPWSTR pszId = nullptr;
    UINT nCount = 0, nCookie = 0;
    DWORD dwRank = 0, dwMode = 0;
    HRESULT hr = S_OK;
    const int n = m_nSpeakers;
    struct Case {
        const char* what;
        Iface iface;
        DWORD dwSlot;
        int nNode;
        std::function<HRESULT()> call;
    } const cases[] = {
        {"GetFeature", Iface::Endpoint, 9, n, [&] { return Feature(ep, IID_ISNDIEQ, &hr), hr; }},
        {"GetEndpointId", Iface::Endpoint, 7, n, [&] { return CoTaskMemFree(pszId), CallSlot(ep.get(), 7, nullptr, &pszId); }},
        {"SetBandLevel", Iface::EQ, 6, n, [&] { return CallSlot(eq.get(), 6, 0u, 1.0f); }},
        {"notify source query", Iface::NotifySource, 0, n, [&] { return Query(eq, IID_ISNDINotifySource, &hr), hr; }},
        {"Advise", Iface::NotifySource, 3, n,
         [&] { return CallSlot(Query(eq, IID_ISNDINotifySource).get(), 3, nullptr, &nCookie, (INotifySink*)&sink); }},
        {"Restore", Iface::Defaults, 3, n, [&] { return CallSlot(Query(ep, IID_ISNDIDefaults).get(), 3); }},
        {"RestorePresets", Iface::PresetDefaults, 7, n,
         [&] { return CallSlot(Feature(ep, IID_ISNDIPresetDefaults).get(), 7, &block); }},
        {"GetCount", Iface::SpkConfig2, 3, n, [&] { return CallSlot(spk.get(), 3, &nCount); }},
        {"SetXDSurMode", Iface::VSUR3, 17, n, [&] { return CallSlot(vsur3.get(), 17, DWORD{4}); }},
        {"GetPresetInfo", Iface::RVXPresetU, 20, n, [&] { return CallSlot(item.get(), 20, &dwRank, &dwMode); }},
        {"GetEndpoint", Iface::EndpointEnum, 7, -1,
         [&] { return CallSlot(m_endpointEnum.get(), 7, 0u, 0u, DWORD{1}, Ref().Put()); }},
        {"Next", Iface::DeviceEnum, 9, -1, [&] { return CallSlot(devEnum.get(), 10), CallSlot(devEnum.get(), 9); }},
        {"CreateInstance", Iface::ClassFactory, 3, -1,
         [&] { return CreateClass(CLSID_KVDeviceEnum, IID_IKVDeviceEnum, &hr), hr; }},
    };
    const HRESULT hrInjected = static_cast<HRESULT>(0x8004F00D);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(kvsim::AddFault(c.iface, c.dwSlot, c.nNode, hrInjected, 2, nullptr, 0));
        EXPECT_EQ(hrInjected, c.call());
        EXPECT_EQ(hrInjected, c.call());
        EXPECT_EQ(S_OK, c.call()) << "the count is used up";
    }
    CoTaskMemFree(pszId);
    EXPECT_EQ(S_OK, Unadvise(eq, nCookie));
    // A fault for another node leaves this one alone.
    ASSERT_TRUE(kvsim::AddFault(Iface::EQ, 6, NodeIndex(kMicrophoneId), hrInjected, -1, nullptr, 0));
    EXPECT_EQ(S_OK, CallSlot(eq.get(), 6, 0u, 1.0f));
}

}  // namespace
}  // namespace contract
