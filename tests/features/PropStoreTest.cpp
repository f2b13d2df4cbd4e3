// The per-endpoint property stores, through the policy-configuration service.
#include "FeatureTestSupport.h"

#include "device/AudioPropStoreWrapper.h"

namespace {

class PropStore : public ftest::DriverTest {};

ULONG ReadUI4(IAudioPropStore* p, const PROPERTYKEY& key, HRESULT* phr)
{
    PROPVARIANT pv;
    PropVariantInit(&pv);
    *phr = p->GetValue(key, &pv);
    ULONG ul = pv.ulVal;
    PropVariantClear(&pv);
    return ul;
}

TEST_F(PropStore, TheTwoStoresOfAnEndpointAreSeparate)
{
    IAudioPropStore* pFx = nullptr;
    IAudioPropStore* pEp = nullptr;
    ASSERT_EQ(S_OK, OpenAudioPropStore(1, ftest::kSpeakersId, &pFx));
    ASSERT_EQ(S_OK, OpenAudioPropStore(0, ftest::kSpeakersId, &pEp));
    ASSERT_EQ(S_OK, pFx->SetValue(PKEY_KV_MasterOnOff, MakeUI4Variant(0)));
    ASSERT_EQ(S_OK, pFx->SetValue(PKEY_KV_EffectInfo, MakeUI4Variant(0x80A)));
    HRESULT hr;
    EXPECT_EQ(0x80Au, ReadUI4(pFx, PKEY_KV_EffectInfo, &hr));
    EXPECT_EQ(S_OK, hr);
    ReadUI4(pEp, PKEY_KV_EffectInfo, &hr);
    EXPECT_LT(hr, 0) << "an effects value leaked into the ordinary store";

    // The ordinary store describes the endpoint from the topology.
    EXPECT_EQ(1u, ReadUI4(pEp, PKEY_KV_FormFactor, &hr));
    EXPECT_EQ(S_OK, hr);
    PROPVARIANT pv;
    PropVariantInit(&pv);
    ASSERT_EQ(S_OK, pEp->GetValue(PKEY_KV_DeviceInstancePath, &pv));
    ASSERT_EQ(VT_LPWSTR, pv.vt);
    EXPECT_STREQ(L"ADP-FEATURES", pv.pwszVal);
    PropVariantClear(&pv);

    void* pv2 = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, pFx->QueryInterface(IID_ISNDIDefaults, &pv2));
    EXPECT_EQ(nullptr, pv2);
    EXPECT_EQ(S_OK, pFx->QueryInterface(IID_IUnknown, &pv2));
    static_cast<IUnknown*>(pv2)->Release();
    EXPECT_EQ(0u, pFx->Release());
    EXPECT_EQ(0u, pEp->Release());
}

TEST_F(PropStore, FallsBackToTheOlderServiceInterface)
{
    Fail(L"PolicyConfig", 0, E_NOINTERFACE);
    IAudioPropStore* pFx = nullptr;
    ASSERT_EQ(S_OK, OpenAudioPropStore(1, ftest::kSpeakersId, &pFx));
    auto* pWrapper = static_cast<CAudioPropStoreWrapper*>(pFx);
    EXPECT_EQ(nullptr, pWrapper->m_pPrimary);
    EXPECT_NE(nullptr, pWrapper->m_pFallback);
    ASSERT_EQ(S_OK, pFx->SetValue(PKEY_KV_MasterOnOff, MakeUI4Variant(1)));
    HRESULT hr;
    EXPECT_EQ(1u, ReadUI4(pFx, PKEY_KV_MasterOnOff, &hr));
    pFx->Release();

    // Neither interface: the open fails and hands out nothing.
    Fail(L"PolicyConfigFallback", 0, E_NOINTERFACE);
    IAudioPropStore* pNone = reinterpret_cast<IAudioPropStore*>(1);
    EXPECT_LT(OpenAudioPropStore(1, ftest::kSpeakersId, &pNone), 0);
    EXPECT_EQ(nullptr, pNone);
}

TEST_F(PropStore, AnUnknownEndpointReadsNothing)
{
    IAudioPropStore* p = nullptr;
    ASSERT_EQ(S_OK, OpenAudioPropStore(1, L"{0.0.0.00000000}.{00000000-0000-0000-0000-000000000000}", &p));
    HRESULT hr;
    ReadUI4(p, PKEY_KV_MasterOnOff, &hr);
    EXPECT_LT(hr, 0);
    EXPECT_LT(p->SetValue(PKEY_KV_MasterOnOff, MakeUI4Variant(1)), 0);
    p->Release();
    EXPECT_EQ(E_FAIL, OpenAudioPropStore(1, nullptr, &p));
}

}  // namespace
