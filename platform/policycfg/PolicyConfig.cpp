#include "PolicyConfig.h"

#include "PolicyStore.h"
#include "device/AudioPolicyConfig.h"

#include <new>

LONG g_cModuleRefs = 0;

namespace {

// What both objects share; TInterface fixes the vtable, kIface and kGetSlot
// the names fault injection uses for its methods.
template <class TInterface, const IID& kIid, kvsim::Iface kIface, DWORD kGetSlot>
class CPolicyConfigBase : public TInterface
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        // A fault here makes CoCreateInstance for this interface fail.
        HRESULT hr = kvsim::CheckFault(kIface, 0, -1);
        if (FAILED(hr))
            return hr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, kIid))
            return E_NOINTERFACE;
        *ppv = static_cast<TInterface*>(this);
        AddRef();
        return S_OK;
    }
    // Counting cannot fail, so these two take no injected faults.
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_cRef); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG cRef = InterlockedDecrement(&m_cRef);
        if (cRef == 0)
            delete this;
        return cRef;
    }

    HRESULT STDMETHODCALLTYPE GetValue(LPCWSTR pszEndpointId, INT32 nStore, const PROPERTYKEY* pKey,
                                       PROPVARIANT* pValue) override
    {
        return policystore::GetValue(kIface, kGetSlot, pszEndpointId, nStore, pKey, pValue);
    }
    HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR pszEndpointId, INT32 nStore, const PROPERTYKEY* pKey,
                                       PROPVARIANT* pValue) override
    {
        return policystore::SetValue(kIface, kGetSlot + 1, pszEndpointId, nStore, pKey, pValue);
    }

protected:
    CPolicyConfigBase() { InterlockedIncrement(&g_cModuleRefs); }
    virtual ~CPolicyConfigBase() { InterlockedDecrement(&g_cModuleRefs); }

    static HRESULT NotImplemented(DWORD dwSlot)
    {
        HRESULT hr = kvsim::CheckFault(kIface, dwSlot, -1);
        return FAILED(hr) ? hr : E_NOTIMPL;
    }

private:
    LONG m_cRef = 1;
};

#define KV_NOT_IMPLEMENTED(n) \
    HRESULT STDMETHODCALLTYPE Unused##n() override { return NotImplemented(n); }

class CPolicyConfig final
    : public CPolicyConfigBase<IKVPolicyConfig, IID_IKVPolicyConfig, kvsim::Iface::PolicyConfig, 10>
{
public:
    KV_NOT_IMPLEMENTED(3)
    KV_NOT_IMPLEMENTED(4)
    KV_NOT_IMPLEMENTED(5)
    KV_NOT_IMPLEMENTED(6)
    KV_NOT_IMPLEMENTED(7)
    KV_NOT_IMPLEMENTED(8)
    KV_NOT_IMPLEMENTED(9)
};

class CPolicyConfigFallback final
    : public CPolicyConfigBase<IKVPolicyConfigFallback, IID_IKVPolicyConfigFallback,
                               kvsim::Iface::PolicyConfigFallback, 11>
{
public:
    KV_NOT_IMPLEMENTED(3)
    KV_NOT_IMPLEMENTED(4)
    KV_NOT_IMPLEMENTED(5)
    KV_NOT_IMPLEMENTED(6)
    KV_NOT_IMPLEMENTED(7)
    KV_NOT_IMPLEMENTED(8)
    KV_NOT_IMPLEMENTED(9)
    KV_NOT_IMPLEMENTED(10)
};

}  // namespace

HRESULT CreatePolicyConfig(REFIID riid, void** ppv)
{
    IUnknown* pObject;
    if (IsEqualIID(riid, IID_IKVPolicyConfigFallback))
        pObject = new (std::nothrow) CPolicyConfigFallback;
    else
        pObject = new (std::nothrow) CPolicyConfig;
    if (!pObject)
        return E_OUTOFMEMORY;
    HRESULT hr = pObject->QueryInterface(riid, ppv);
    pObject->Release();
    return hr;
}
