// The OS audio policy-configuration service, as far as the plug-in uses it:
// per-endpoint property values read and written by endpoint id. Systems offer
// one of two interfaces on the same class; callers try the primary one first.
// Method order is the contract (0-2 being IUnknown's); slots nobody calls are
// UnusedN so the called ones sit at their numbers.
#pragma once

#include "features/KVDriverInterfaces.h"   // KV_DEFINE_GUID, KV_METHOD, KV_UNUSED

#include <propidl.h>
#include <wtypes.h>

KV_DEFINE_GUID(CLSID_KVPolicyConfig, 0x294935CE, 0xF637, 0x4E7C, 0xA4, 0x1B, 0xAB, 0x25, 0x54, 0x60, 0xB8, 0x62);
KV_DEFINE_GUID(IID_IKVPolicyConfig, 0x568B9108, 0x44BF, 0x40B4, 0x90, 0x06, 0x86, 0xAF, 0xE5, 0xB5, 0xA6, 0x20);
KV_DEFINE_GUID(IID_IKVPolicyConfigFallback, 0xF8679F50, 0x850A, 0x41CF, 0x9C, 0x72, 0x43, 0x0F, 0x29, 0x02, 0x90, 0xC8);

// Store selectors.
constexpr INT32 KVPOLICY_STORE_ENDPOINT = 0;   // the endpoint's ordinary property store
constexpr INT32 KVPOLICY_STORE_EFFECTS = 1;    // the endpoint's effects property store

// GetValue fills *pValue (the caller clears it with PropVariantClear); a
// property that was never written fails with HRESULT_FROM_WIN32(ERROR_NOT_FOUND)
// and leaves VT_EMPTY. SetValue copies *pValue and does not change it.
struct IKVPolicyConfig : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_UNUSED(7);
    KV_UNUSED(8);
    KV_UNUSED(9);
    KV_METHOD(GetValue)(LPCWSTR pszEndpointId, INT32 nStore, const PROPERTYKEY* pKey, PROPVARIANT* pValue) = 0;  // 10
    KV_METHOD(SetValue)(LPCWSTR pszEndpointId, INT32 nStore, const PROPERTYKEY* pKey, PROPVARIANT* pValue) = 0;  // 11
};

struct IKVPolicyConfigFallback : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_UNUSED(7);
    KV_UNUSED(8);
    KV_UNUSED(9);
    KV_UNUSED(10);
    KV_METHOD(GetValue)(LPCWSTR pszEndpointId, INT32 nStore, const PROPERTYKEY* pKey, PROPVARIANT* pValue) = 0;  // 11
    KV_METHOD(SetValue)(LPCWSTR pszEndpointId, INT32 nStore, const PROPERTYKEY* pKey, PROPVARIANT* pValue) = 0;  // 12
};
