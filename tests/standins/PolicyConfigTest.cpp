// KVPolicyCfg.dll through COM, as the plug-in reaches it: both interfaces by
// slot, both stores, the topology's values, refusals, faults, two processes.
#include "StandinsTest.h"

#include "SimState.h"
#include "device/AudioPolicyConfig.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <cwchar>

namespace {

using standins::kHeadphonesId;
using standins::kSpeakersId;

using standins::kMasterKey;
constexpr PROPERTYKEY kFormFactorKey = {{0x1DA5D803, 0xD492, 0x4EDD, {0x8C, 0x23, 0xE0, 0xC0, 0xFF, 0xEE, 0x7F, 0x0E}}, 0};
constexpr PROPERTYKEY kPathKey = {{0xB3F8FA53, 0x0004, 0x438E, {0x90, 0x03, 0x51, 0xA4, 0x6E, 0x13, 0x9B, 0xFC}}, 2};
constexpr INT32 kFx = KVPOLICY_STORE_EFFECTS, kEp = KVPOLICY_STORE_ENDPOINT;
const HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
const HRESULT kUnknownEndpoint = HRESULT_FROM_WIN32(ERROR_BAD_UNIT);

struct CPropVariant : PROPVARIANT {
    CPropVariant() { PropVariantInit(this); }
    ~CPropVariant() { PropVariantClear(this); }
};

PROPVARIANT Make(VARTYPE vt, ULONG n = 0, wchar_t* psz = nullptr)
{
    PROPVARIANT v;
    PropVariantInit(&v);
    v.vt = vt;
    v.ulVal = n;
    if (vt == VT_LPWSTR)
        v.pwszVal = psz;
    return v;
}

// A value as text, so a mismatch shows both sides whatever the type.
std::string Show(HRESULT hr, const PROPVARIANT& v)
{
    if (FAILED(hr))
        return "failed " + std::to_string(ULONG(hr)) + (v.vt == VT_EMPTY ? "" : " but filled");
    std::string s = "vt " + std::to_string(v.vt) + ":";
    if (v.vt == VT_LPWSTR)
        return s + kvtest::Narrow(v.pwszVal);
    if (v.vt == VT_BLOB)
        return s + std::string(reinterpret_cast<const char*>(v.blob.pBlobData), v.blob.cbSize);
    return s + std::to_string(v.vt == VT_BOOL ? ULONG(USHORT(v.boolVal)) : v.ulVal);
}
std::string Failed(HRESULT hr) { return Show(hr, Make(VT_EMPTY)); }

template <class T>
HRESULT Create(REFIID riid, T** pp)
{
    return CoCreateInstance(CLSID_KVPolicyConfig, nullptr, CLSCTX_INPROC_SERVER, riid, reinterpret_cast<void**>(pp));
}

// Calls through the vtable by number, as the plug-in's slot contract says.
using Method = HRESULT(STDMETHODCALLTYPE*)(void*, LPCWSTR, INT32, const PROPERTYKEY*, PROPVARIANT*);
Method Slot(void* p, int n) { return reinterpret_cast<Method>((*static_cast<void***>(p))[n]); }

class PolicyConfigTest : public testing::Test
{
protected:
    void SetUp() override
    {
        standins::ClearPropertyStores();
        ASSERT_EQ(S_OK, Create(IID_IKVPolicyConfig, &m_p)) << "./kv registers KVPolicyCfg.dll with regsvr32";
    }
    void TearDown() override
    {
        if (m_p)
            m_p->Release();
        kvsim::ClearFaults();
    }
    HRESULT Set(LPCWSTR id, INT32 nStore, const PROPERTYKEY& key, PROPVARIANT v)
    {
        return m_p->SetValue(id, nStore, &key, &v);
    }
    std::string Get(LPCWSTR id, INT32 nStore, const PROPERTYKEY& key)
    {
        CPropVariant v;
        HRESULT hr = m_p->GetValue(id, nStore, &key, &v);
        return Show(hr, v);
    }
    IKVPolicyConfig* m_p = nullptr;
};

TEST_F(PolicyConfigTest, EachEndpointHasTwoSeparateStoresFoundWithoutCase)
{
    ASSERT_EQ(S_OK, Set(kSpeakersId, kFx, kMasterKey, Make(VT_UI4, 1)));
    EXPECT_EQ(Failed(kNotFound), Get(kSpeakersId, kEp, kMasterKey));
    EXPECT_EQ(Failed(kNotFound), Get(kHeadphonesId, kFx, kMasterKey));
    ASSERT_EQ(S_OK, Set(kSpeakersId, kEp, kMasterKey, Make(VT_UI4, 2)));
    EXPECT_EQ("vt 19:1", Get(kSpeakersId, kFx, kMasterKey));
    EXPECT_EQ("vt 19:2", Get(kSpeakersId, kEp, kMasterKey));
    std::wstring lower = kSpeakersId;
    for (wchar_t& c : lower)
        c = towlower(c);
    EXPECT_EQ("vt 19:1", Get(lower.c_str(), kFx, kMasterKey));
}

TEST_F(PolicyConfigTest, EveryStoredTypeReadsBackAsWritten)
{
    static wchar_t szText[] = L"Gro\u00DFe B\u00FChne", szEmpty[] = L"";
    static BYTE blob[] = {'a', 0, 'b', 0xFF};
    PROPVARIANT blobValue = Make(VT_BLOB), emptyBlob = Make(VT_BLOB);
    blobValue.blob = BLOB{sizeof(blob), blob};
    const PROPVARIANT values[] = {Make(VT_UI4, 0xFFFFFFFF), Make(VT_I4, ULONG(-5)), Make(VT_BOOL, 0xFFFF),
                                  Make(VT_BOOL, 0), Make(VT_LPWSTR, 0, szText), Make(VT_LPWSTR, 0, szEmpty),
                                  blobValue, emptyBlob};
    PROPERTYKEY key = kMasterKey;
    for (const PROPVARIANT& v : values) {
        key.pid++;
        // A key of its own, then one key overwritten with every type in turn.
        for (const PROPERTYKEY& k : {key, kMasterKey}) {
            ASSERT_EQ(S_OK, Set(kHeadphonesId, kFx, k, v)) << Show(S_OK, v);
            EXPECT_EQ(Show(S_OK, v), Get(kHeadphonesId, kFx, k));
        }
    }
}

TEST_F(PolicyConfigTest, RefusedCallsStoreNothingAndReadNothing)
{
    const wchar_t kUnknownId[] = L"{0.0.0.00000000}.{5C1E2A7B-93D4-4F60-8B2E-7A11C0DE51FF}";
    EXPECT_EQ(kUnknownEndpoint, Set(kUnknownId, kFx, kMasterKey, Make(VT_UI4, 1)));
    EXPECT_EQ(Failed(kUnknownEndpoint), Get(kUnknownId, kFx, kMasterKey));

    PROPVARIANT nullBlob = Make(VT_BLOB);
    nullBlob.blob.cbSize = 4;
    for (const PROPVARIANT& v : {Make(VT_EMPTY), Make(VT_R8), Make(VT_UI8), Make(VT_LPSTR), Make(VT_VECTOR | VT_UI4),
                                 Make(VT_LPWSTR), nullBlob})
        EXPECT_EQ(E_INVALIDARG, Set(kSpeakersId, kFx, kMasterKey, v)) << "vt " << v.vt;
    EXPECT_EQ(E_INVALIDARG, Set(kSpeakersId, 2, kMasterKey, Make(VT_UI4, 1))) << "no such store";
    // The topology owns these in the ordinary store.
    EXPECT_EQ(E_ACCESSDENIED, Set(kSpeakersId, kEp, kFormFactorKey, Make(VT_UI4, 3)));
    EXPECT_EQ(E_ACCESSDENIED, Set(kSpeakersId, kEp, kPathKey, Make(VT_UI4, 3)));

    HKEY hKey;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, standins::PropertyStoreKey().c_str(), 0,
                                           KEY_READ | KEY_WOW64_64KEY, &hKey));
}

TEST_F(PolicyConfigTest, FormFactorAndInstancePathComeFromTheTopology)
{
    EXPECT_EQ("vt 19:1", Get(kSpeakersId, kEp, kFormFactorKey));
    EXPECT_EQ("vt 19:3", Get(kHeadphonesId, kEp, kFormFactorKey));
    EXPECT_EQ("vt 31:" + kvtest::Narrow(standins::kSpeakersPath), Get(kSpeakersId, kEp, kPathKey));
    EXPECT_EQ(Failed(kNotFound), Get(kHeadphonesId, kEp, kPathKey)) << "none in the topology";
    ASSERT_TRUE(standins::LoadTopology(standins::TopologyText(L"Standins Headphones", 5)));
    EXPECT_EQ("vt 19:5", Get(kHeadphonesId, kEp, kFormFactorKey)) << "read afresh";
    ASSERT_TRUE(standins::LoadTopology(standins::TopologyText()));
    // In the effects store the same key is an ordinary value.
    EXPECT_EQ(S_OK, Set(kSpeakersId, kFx, kFormFactorKey, Make(VT_UI4, 9)));
    EXPECT_EQ("vt 19:9", Get(kSpeakersId, kFx, kFormFactorKey));
    EXPECT_EQ("vt 19:1", Get(kSpeakersId, kEp, kFormFactorKey));
}

TEST_F(PolicyConfigTest, FallbackServesTheSameStoresWhenThePrimaryCannotBeCreated)
{
    wchar_t szError[128];
    ASSERT_TRUE(kvsim::AddFault(kvsim::Iface::PolicyConfig, 0, -1, E_NOINTERFACE, -1, szError, 128));
    IKVPolicyConfig* pPrimary = nullptr;
    EXPECT_EQ(E_NOINTERFACE, Create(IID_IKVPolicyConfig, &pPrimary));
    IKVPolicyConfigFallback* pFallback = nullptr;
    ASSERT_EQ(S_OK, Create(IID_IKVPolicyConfigFallback, &pFallback));
    kvsim::ClearFaults();

    PROPVARIANT seven = Make(VT_UI4, 7), eight = Make(VT_UI4, 8);
    EXPECT_EQ(S_OK, Slot(pFallback, 12)(pFallback, kSpeakersId, kFx, &kMasterKey, &seven));
    EXPECT_EQ("vt 19:7", Get(kSpeakersId, kFx, kMasterKey));
    EXPECT_EQ(S_OK, Slot(m_p, 11)(m_p, kSpeakersId, kFx, &kMasterKey, &eight));
    CPropVariant viaFallback, viaPrimary;
    EXPECT_EQ(S_OK, Slot(pFallback, 11)(pFallback, kSpeakersId, kFx, &kMasterKey, &viaFallback));
    EXPECT_EQ(S_OK, Slot(m_p, 10)(m_p, kSpeakersId, kFx, &kMasterKey, &viaPrimary));
    EXPECT_EQ(8u, viaFallback.ulVal);
    EXPECT_EQ(8u, viaPrimary.ulVal);

    // A fault names its interface, slot and node, and is used up.
    ASSERT_TRUE(kvsim::AddFault(kvsim::Iface::PolicyConfigFallback, 12, standins::kHeadphonesNode, E_UNEXPECTED, 1,
                                szError, 128));
    EXPECT_EQ(S_OK, pFallback->SetValue(kSpeakersId, kFx, &kMasterKey, &seven));
    EXPECT_EQ(S_OK, Set(kHeadphonesId, kFx, kMasterKey, seven)) << "the primary's slot 11 is another method";
    EXPECT_EQ(E_UNEXPECTED, pFallback->SetValue(kHeadphonesId, kFx, &kMasterKey, &eight));
    EXPECT_EQ("vt 19:7", Get(kHeadphonesId, kFx, kMasterKey)) << "the failed call wrote nothing";
    EXPECT_EQ(S_OK, pFallback->SetValue(kHeadphonesId, kFx, &kMasterKey, &eight));
    pFallback->Release();
}

TEST_F(PolicyConfigTest, AValueWrittenInOneProcessIsReadInAnother)
{
    ASSERT_EQ(S_OK, Set(kSpeakersId, kFx, kMasterKey, Make(VT_UI4, 1234)));
    ASSERT_EQ(0, kvtest::RunProgram(kvtest::ExeFileName(), L"--child 1234 5678"));
    EXPECT_EQ("vt 19:5678", Get(kSpeakersId, kFx, kMasterKey));
}

}  // namespace

namespace standins {

// `--child EXPECTED NEW`: the speakers' master value must read EXPECTED; then
// it writes NEW. Exit code 0 when both worked.
int RunChild(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int rc = 3;
    IKVPolicyConfig* p = nullptr;
    if (SUCCEEDED(Create(IID_IKVPolicyConfig, &p))) {
        CPropVariant v;
        PROPVARIANT w = Make(VT_UI4, strtoul(argv[3], nullptr, 10));
        if (p->GetValue(kSpeakersId, kFx, &kMasterKey, &v) == S_OK && v.vt == VT_UI4 &&
            v.ulVal == strtoul(argv[2], nullptr, 10))
            rc = p->SetValue(kSpeakersId, kFx, &kMasterKey, &w) == S_OK ? 0 : 5;
        else
            rc = 4;
        p->Release();
    }
    CoUninitialize();
    return rc;
}

}  // namespace standins
