// One endpoint's property store (effects or ordinary), reached through the
// OS policy-configuration service and read and written by property key.
#pragma once

#include "device/AudioPolicyConfig.h"

KV_DEFINE_GUID(IID_IAudioPropStore, 0xD81A7E53, 0xD02A, 0x4922, 0x97, 0x5E, 0x07, 0xB4, 0x8F, 0xFB, 0x21, 0xFC);

struct IAudioPropStore : IUnknown {
    KV_METHOD(GetValue)(const PROPERTYKEY& key, PROPVARIANT* pValue) = 0;
    KV_METHOD(SetValue)(const PROPERTYKEY& key, const PROPVARIANT& value) = 0;
};

// Per-endpoint properties the plug-in uses.
inline constexpr PROPERTYKEY PKEY_KV_MasterOnOff = {
    {0xC490355E, 0xD886, 0x407D, {0xBD, 0x7D, 0xBC, 0x0C, 0xE7, 0x79, 0xCC, 0x7F}}, 8};
inline constexpr PROPERTYKEY PKEY_KV_EffectInfo = {
    {0x0F739373, 0xAFD0, 0x4EB8, {0x9F, 0xAF, 0x01, 0xAB, 0xD6, 0xFB, 0xE5, 0x14}}, 8};
inline constexpr PROPERTYKEY PKEY_KV_DeviceInstancePath = {
    {0xB3F8FA53, 0x0004, 0x438E, {0x90, 0x03, 0x51, 0xA4, 0x6E, 0x13, 0x9B, 0xFC}}, 2};
inline constexpr PROPERTYKEY PKEY_KV_FormFactor = {
    {0x1DA5D803, 0xD492, 0x4EDD, {0x8C, 0x23, 0xE0, 0xC0, 0xFF, 0xEE, 0x7F, 0x0E}}, 0};

class CAudioPropStoreWrapper : public IAudioPropStore
{
public:
    CAudioPropStoreWrapper() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetValue(const PROPERTYKEY& key, PROPVARIANT* pValue) override;
    STDMETHODIMP SetValue(const PROPERTYKEY& key, const PROPVARIANT& value) override;
    virtual ~CAudioPropStoreWrapper();

    HRESULT Init(LPCWSTR pszEndpointId, IKVPolicyConfig* pPrimary, IKVPolicyConfigFallback* pFallback,
                 INT32 nStore);

    LPWSTR m_pszEndpointId = nullptr;
    IKVPolicyConfig* m_pPrimary = nullptr;
    IKVPolicyConfigFallback* m_pFallback = nullptr;
    INT32 m_nStore = 0;
    LONG m_cRef = 0;
};

// nStore: 1 the effects property store, 0 the ordinary one.
HRESULT OpenAudioPropStore(INT32 nStore, LPCWSTR pszEndpointId, IAudioPropStore** ppStore);

// A VT_UI4 variant, as every writer of these properties builds it.
inline PROPVARIANT MakeUI4Variant(ULONG ulValue)
{
    PROPVARIANT pv;
    PropVariantInit(&pv);
    pv.vt = VT_UI4;
    pv.ulVal = ulValue;
    return pv;
}
