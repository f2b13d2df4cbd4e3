#include "device/AudioPropStoreWrapper.h"

#include <cwchar>
#include <new>

CAudioPropStoreWrapper::~CAudioPropStoreWrapper()
{
    if (m_pFallback) {
        m_pFallback->Release();
        m_pFallback = nullptr;
    }
    if (m_pPrimary) {
        m_pPrimary->Release();
        m_pPrimary = nullptr;
    }
    delete[] m_pszEndpointId;
    m_pszEndpointId = nullptr;
}

STDMETHODIMP CAudioPropStoreWrapper::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAudioPropStore)) {
        *ppv = static_cast<IAudioPropStore*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CAudioPropStoreWrapper::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CAudioPropStoreWrapper::Release()
{
    LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP CAudioPropStoreWrapper::GetValue(const PROPERTYKEY& key, PROPVARIANT* pValue)
{
    if (m_pPrimary)
        return m_pPrimary->GetValue(m_pszEndpointId, m_nStore, &key, pValue);
    if (m_pFallback)
        return m_pFallback->GetValue(m_pszEndpointId, m_nStore, &key, pValue);
    return E_FAIL;
}

STDMETHODIMP CAudioPropStoreWrapper::SetValue(const PROPERTYKEY& key, const PROPVARIANT& value)
{
    // The service takes a non-const pointer but only copies the value.
    PROPVARIANT* pValue = const_cast<PROPVARIANT*>(&value);
    if (m_pPrimary)
        return m_pPrimary->SetValue(m_pszEndpointId, m_nStore, &key, pValue);
    if (m_pFallback)
        return m_pFallback->SetValue(m_pszEndpointId, m_nStore, &key, pValue);
    return E_FAIL;
}

HRESULT CAudioPropStoreWrapper::Init(LPCWSTR pszEndpointId, IKVPolicyConfig* pPrimary,
                                     IKVPolicyConfigFallback* pFallback, INT32 nStore)
{
    if (!pszEndpointId)
        return E_FAIL;
    size_t cch = wcslen(pszEndpointId) + 1;
    m_pszEndpointId = new (std::nothrow) wchar_t[cch];
    if (!m_pszEndpointId)
        return E_FAIL;
    wmemcpy(m_pszEndpointId, pszEndpointId, cch);
    if (pPrimary) {
        m_pPrimary = pPrimary;
        m_pPrimary->AddRef();
    } else if (pFallback) {
        m_pFallback = pFallback;
        m_pFallback->AddRef();
    } else {
        return E_FAIL;
    }
    m_nStore = nStore;
    return S_OK;
}

HRESULT OpenAudioPropStore(INT32 nStore, LPCWSTR pszEndpointId, IAudioPropStore** ppStore)
{
    if (!ppStore)
        return E_POINTER;
    *ppStore = nullptr;
    IKVPolicyConfig* pPrimary = nullptr;
    IKVPolicyConfigFallback* pFallback = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_KVPolicyConfig, nullptr, CLSCTX_INPROC_SERVER, IID_IKVPolicyConfig,
                                  reinterpret_cast<void**>(&pPrimary));
    if (FAILED(hr)) {
        pPrimary = nullptr;
        hr = CoCreateInstance(CLSID_KVPolicyConfig, nullptr, CLSCTX_INPROC_SERVER, IID_IKVPolicyConfigFallback,
                              reinterpret_cast<void**>(&pFallback));
        if (FAILED(hr))
            return hr;
    }
    CAudioPropStoreWrapper* pWrapper = new (std::nothrow) CAudioPropStoreWrapper;
    if (!pWrapper) {
        hr = E_OUTOFMEMORY;
    } else {
        pWrapper->AddRef();
        hr = pWrapper->Init(pszEndpointId, pPrimary, pFallback, nStore);
        if (SUCCEEDED(hr))
            hr = pWrapper->QueryInterface(IID_IAudioPropStore, reinterpret_cast<void**>(ppStore));
        // A wrapper whose initialisation failed goes here.
        pWrapper->Release();
    }
    if (pPrimary)
        pPrimary->Release();
    if (pFallback)
        pFallback->Release();
    return hr;
}
