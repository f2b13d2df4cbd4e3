// Classes, registration, unloading, the enumerators and the node objects.
#include "ContractSupport.h"
#include "test_support.h"

namespace contract {
namespace {

using kvsim::DriverMode;

std::wstring EndpointId(const Ref& ep)
{
    LPWSTR psz = nullptr;
    DWORD dwFlags = 0;
    std::wstring id = CallSlot(ep.get(), 7, &dwFlags, &psz) == S_OK && psz ? psz : L"";
    CoTaskMemFree(psz);
    return id;
}

TEST_F(ContractTest, DriverModeDecidesWhichClassesExist)
{
    struct Case {
        DriverMode mode;
        HRESULT hrEndpoint, hrDevice;
    } const cases[] = {{DriverMode::Endpoint, S_OK, S_OK},
                       {DriverMode::DeviceOnly, CLASS_E_CLASSNOTAVAILABLE, S_OK},
                       {DriverMode::None, CLASS_E_CLASSNOTAVAILABLE, CLASS_E_CLASSNOTAVAILABLE}};
    for (const Case& c : cases) {
        kvsim::SetDriverMode(c.mode);
        HRESULT hr = E_FAIL;
        CreateClass(CLSID_KVEndpointEnum, IID_IKVEndpointEnum, &hr);
        EXPECT_EQ(c.hrEndpoint, hr) << "endpoint class, mode " << int(c.mode);
        CreateClass(CLSID_KVDeviceEnum, IID_IKVDeviceEnum, &hr);
        EXPECT_EQ(c.hrDevice, hr) << "device class, mode " << int(c.mode);
    }
    kvsim::SetDriverMode(DriverMode::Endpoint);
}

TEST_F(ContractTest, ClassesAreRegisteredInProcessBothThreaded)
{
    for (const CLSID* clsid : {&CLSID_KVEndpointEnum, &CLSID_KVDeviceEnum}) {
        wchar_t szClsid[40], szPath[MAX_PATH] = L"", szModel[32] = L"";
        StringFromGUID2(*clsid, szClsid, 40);
        std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + szClsid + L"\\InprocServer32";
        HKEY hKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &hKey));
        DWORD cbPath = sizeof(szPath), cbModel = sizeof(szModel);
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(hKey, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, szPath, &cbPath));
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(hKey, nullptr, L"ThreadingModel", RRF_RT_REG_SZ, nullptr, szModel, &cbModel));
        RegCloseKey(hKey);
        EXPECT_STREQ(L"Both", szModel);
        size_t n = wcslen(szPath);
        EXPECT_TRUE(n > 13 && _wcsicmp(szPath + n - 13, L"\\KVSimDrv.dll") == 0) << kvtest::Narrow(szPath);
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(szPath));
    }
}

TEST_F(ContractTest, CanUnloadOnlyWithoutObjectsAndSubscriptions)
{
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnload>(GetProcAddress(GetModuleHandleW(L"KVSimDrv.dll"), "DllCanUnloadNow"));
    ASSERT_NE(nullptr, canUnload);
    EXPECT_EQ(S_FALSE, canUnload()) << "the fixture's enumerator lives";
    CRecordingSink sink;
    UINT nCookie = Advise(SpeakersFeature(IID_ISNDIEQ), &sink, nullptr);
    ASSERT_NE(0u, nCookie);
    m_endpointEnum.Reset();
    EXPECT_EQ(S_FALSE, canUnload()) << "a subscription without any object still holds the DLL";
    // Subscriptions belong to the feature, so another object of it ends this one.
    m_endpointEnum = CreateClass(CLSID_KVEndpointEnum, IID_IKVEndpointEnum);
    EXPECT_EQ(S_OK, Unadvise(SpeakersFeature(IID_ISNDIEQ), nCookie));
    EXPECT_EQ(1, sink.Refs());
    m_endpointEnum.Reset();
    EXPECT_EQ(S_OK, canUnload());
}

TEST_F(ContractTest, EndpointEnumListsByFlowAndStateInTopologyOrder)
{
    struct Case {
        UINT nFlow;
        DWORD dwMask;
        std::vector<const wchar_t*> ids;
    } const cases[] = {
        {KV_FLOW_RENDER, KV_STATE_ACTIVE, {kSpeakersId}},
        {KV_FLOW_RENDER, KV_STATE_UNPLUGGED, {kHeadphonesId}},
        {KV_FLOW_RENDER, KV_STATE_ACTIVE | KV_STATE_UNPLUGGED, {kSpeakersId, kHeadphonesId}},
        {KV_FLOW_CAPTURE, KV_STATE_ACTIVE | KV_STATE_UNPLUGGED, {kMicrophoneId}},
        {KV_FLOW_CAPTURE, KV_STATE_UNPLUGGED, {}},
        {7, KV_STATE_ACTIVE, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flow " << c.nFlow << " mask " << c.dwMask);
        UINT i = 0;
        for (; i < c.ids.size(); ++i) {
            Ref ep;
            ASSERT_EQ(S_OK, CallSlot(m_endpointEnum.get(), 7, i, c.nFlow, c.dwMask, ep.Put<IKVEndpoint>()));
            EXPECT_EQ(std::wstring(c.ids[i]), EndpointId(ep));
        }
        Ref past;
        EXPECT_LT(CallSlot(m_endpointEnum.get(), 7, i, c.nFlow, c.dwMask, past.Put<IKVEndpoint>()), 0);
        EXPECT_FALSE(past);
    }
}

TEST_F(ContractTest, DeviceEnumIsACursorOverTheDevices)
{
    Ref devEnum = CreateClass(CLSID_KVDeviceEnum, IID_IKVDeviceEnum), dev;
    ASSERT_TRUE(devEnum);
    EXPECT_EQ(S_OK, CallSlot(devEnum.get(), 10));             // reset
    EXPECT_EQ(S_OK, CallSlot(devEnum.get(), 7));              // not empty
    EXPECT_NE(S_OK, CallSlot(devEnum.get(), 11, dev.Put()));  // nothing before the first
    EXPECT_EQ(S_OK, CallSlot(devEnum.get(), 9));              // to the first and only device,
    EXPECT_NE(S_OK, CallSlot(devEnum.get(), 8));              // which is the last
    ASSERT_EQ(S_OK, CallSlot(devEnum.get(), 11, dev.Put()));
    KVDEVICEINFO info = {};
    info.cbSize = sizeof(info);
    EXPECT_EQ(S_OK, CallSlot(dev.get(), 7, &info));
    EXPECT_STREQ("Contract Device", reinterpret_cast<const char*>(&info) + 68);
    EXPECT_LT(CallSlot(devEnum.get(), 9), 0);                 // past the end
    EXPECT_NE(S_OK, CallSlot(devEnum.get(), 11, dev.Put()));

    kvsim::Reset(true);  // no nodes at all
    EXPECT_EQ(S_OK, CallSlot(devEnum.get(), 10));
    EXPECT_NE(S_OK, CallSlot(devEnum.get(), 7));
    EXPECT_NE(S_OK, CallSlot(devEnum.get(), 8));
    EXPECT_LT(CallSlot(devEnum.get(), 9), 0);
}

TEST_F(ContractTest, EndpointGivesItsAdaptorWhoseDefaultsOnlyCount)
{
    Ref ep = Speakers(), adaptor;
    ASSERT_EQ(S_OK, CallSlot(ep.get(), 10, adaptor.Put<IKVAdaptor>()));
    LPWSTR psz = nullptr;
    DWORD dwReserved = 0;
    ASSERT_EQ(S_OK, CallSlot(adaptor.get(), 9, &dwReserved, &psz));
    EXPECT_STREQ(kAdaptorId, psz);
    CoTaskMemFree(psz);
    HRESULT hr = S_OK;
    EXPECT_FALSE(Feature(adaptor, IID_ISNDIEQ, &hr, 8));
    EXPECT_LT(hr, 0);
    EXPECT_TRUE(Feature(adaptor, IID_ISNDIPresetDefaults, nullptr, 8));

    EXPECT_EQ(S_OK, CallSlot(Feature(ep, IID_ISNDIAGC).get(), 3));  // a setting away from its default
    EXPECT_EQ(S_OK, CallSlot(Query(adaptor, IID_ISNDIDefaults).get(), 3));
    kvsim::StateLock lock;
    EXPECT_EQ(1u, lock->adaptors[kvsim::FindAdaptor(*lock, kAdaptorId)].dwRestoreCount);
    EXPECT_EQ(0u, lock->nodes[m_nSpeakers].dwRestoreCount);
    EXPECT_TRUE(lock->nodes[m_nSpeakers].features.agc.bEnabled);
}

TEST_F(ContractTest, ObjectsOfAReplacedTopologyRefuseEveryCall)
{
    Ref ep = Speakers(), element;
    Ref eq = Feature(ep, IID_ISNDIEQ), presets = Feature(ep, IID_ISNDIEQPresetU);
    ASSERT_EQ(S_OK, CallSlot(Feature(ep, IID_ISNDIUpmix).get(), 3, 1u, element.Put<ISNDIElement>()));
    CRecordingSink sink;
    UINT nCookie = Advise(eq, &sink, nullptr);
    ASSERT_NE(0u, nCookie);

    LoadTestTopology();
    float f = 0;
    DWORD dw = 0;
    wchar_t key[160];
    LPWSTR psz = nullptr;
    Ref out;
    UINT nCookie2 = 0;
    EXPECT_EQ(kInvalidated, CallSlot(eq.get(), 8, &f));
    EXPECT_EQ(kInvalidated, CallSlot(eq.get(), 6, 0u, 1.0f));
    EXPECT_EQ(kInvalidated, CallSlot(ep.get(), 7, &dw, &psz));
    EXPECT_EQ(kInvalidated, CallSlot(ep.get(), 9, &IID_ISNDIEQ, out.Put()));
    EXPECT_EQ(kInvalidated, CallSlot(element.get(), 3, &dw));
    EXPECT_EQ(kInvalidated, CallSlot(presets.get(), 7, 0u, &dw, key));
    EXPECT_EQ(kInvalidated, CallSlot(Query(eq, IID_ISNDINotifySource).get(), 3, nullptr, &nCookie2,
                                     static_cast<INotifySink*>(&sink)));
    // The new node's changes do not reach the old subscription, which can
    // still be cancelled.
    EXPECT_EQ(S_OK, CallSlot(SpeakersFeature(IID_ISNDIEQ).get(), 6, 0u, 2.0f));
    EXPECT_FALSE(sink.WaitFor(1, kQuietMs));
    EXPECT_EQ(S_OK, Unadvise(eq, nCookie));
    EXPECT_EQ(1, sink.Refs());
}

}  // namespace
}  // namespace contract
