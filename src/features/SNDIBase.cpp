#include "features/SNDIBase.h"

// ---- CNotifySink -----------------------------------------------------------

CNotifySink::CNotifySink(SNDICALLBACK pfnCallback) : m_pfnCallback(pfnCallback), m_cRef(1) {}

STDMETHODIMP CNotifySink::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_INotifySink)) {
        *ppv = static_cast<INotifySink*>(this);
        AddRef();
        return S_OK;
    }
    // COM callers may Release whatever comes back; never leave garbage there.
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CNotifySink::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CNotifySink::Release()
{
    LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP CNotifySink::OnNotify(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext)
{
    SNDICALLBACK pfnCallback = m_pfnCallback.load();
    return pfnCallback ? pfnCallback(eEvent, dwHint, dwArg, pContext) : S_OK;
}

// ---- CAdvise -----------------------------------------------------------------

CAdvise::~CAdvise()
{
    UnadviseAll();
}

UINT CAdvise::Advise(SNDICALLBACK pfnCallback, void* pContext)
{
    if (!m_pNotifySource)
        return 0;
    CNotifySink* pSink = new (std::nothrow) CNotifySink(pfnCallback);
    if (!pSink)
        return 0;
    UINT nCookie = 0;
    HRESULT hr = m_pNotifySource->Advise(pContext, &nCookie, pSink);
    if (FAILED(hr)) {
        pSink->Release();  // never handed out, so this is the last reference
        return 0;
    }
    SNDICONNECTION* pConn = new (std::nothrow) SNDICONNECTION{nCookie, pSink};
    if (!pConn) {
        // Without a record we could not cancel it later; cancel it now.
        m_pNotifySource->Unadvise(nCookie);
        pSink->Release();
        return 0;
    }
    m_arrConnections.push_back(pConn);
    return nCookie;
}

BOOL CAdvise::Unadvise(UINT nCookie)
{
    if (!m_pNotifySource || nCookie == 0)
        return FALSE;
    if (FAILED(m_pNotifySource->Unadvise(nCookie)))
        return FALSE;
    for (auto it = m_arrConnections.begin(); it != m_arrConnections.end(); ++it) {
        if ((*it)->nCookie == nCookie) {
            SNDICONNECTION* pConn = *it;
            m_arrConnections.erase(it);
            pConn->pSink->m_pfnCallback = nullptr;
            pConn->pSink->Release();
            delete pConn;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CAdvise::UnadviseAll()
{
    for (SNDICONNECTION* pConn : m_arrConnections) {
        if (m_pNotifySource)
            m_pNotifySource->Unadvise(pConn->nCookie);
        pConn->pSink->m_pfnCallback = nullptr;
        pConn->pSink->Release();
        delete pConn;
    }
    m_arrConnections.clear();
    m_arrConnections.shrink_to_fit();
    SafeRelease(m_pNotifySource);
    return TRUE;
}

// ---- CSNDIBase -----------------------------------------------------------------

CSNDIBase::~CSNDIBase()
{
    UnadviseAll();
    ReleaseUnknown();
}

BOOL CSNDIBase::Init(IKVDevice*, IKVEndpoint*)
{
    if (m_pUnknown)
        m_pUnknown->AddRef();
    return TRUE;
}

BOOL CSNDIBase::Uninit()
{
    UnadviseAll();
    ReleaseUnknown();
    return TRUE;
}

UINT CSNDIBase::Advise(SNDICALLBACK pfnCallback, void* pContext)
{
    if (!m_pUnknown)
        return 0;
    if (!m_pNotifySource &&
        FAILED(m_pUnknown->QueryInterface(IID_ISNDINotifySource, reinterpret_cast<void**>(&m_pNotifySource)))) {
        m_pNotifySource = nullptr;
        return 0;
    }
    return CAdvise::Advise(pfnCallback, pContext);
}

BOOL CSNDIBase::Unadvise(UINT nCookie)
{
    return CAdvise::Unadvise(nCookie);
}

HRESULT CSNDIBase::ResetToDefault()
{
    if (!m_pUnknown)
        return E_FAIL;
    ISNDIDefaults* pDefaults = nullptr;
    HRESULT hr = m_pUnknown->QueryInterface(IID_ISNDIDefaults, reinterpret_cast<void**>(&pDefaults));
    if (FAILED(hr) || !pDefaults)
        return FAILED(hr) ? hr : E_NOINTERFACE;
    hr = pDefaults->Restore();
    pDefaults->Release();
    return hr;
}

HRESULT CSNDIBase::GetFeature(IKVDevice* pDevice, IKVEndpoint* pEndpoint, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (pEndpoint)
        return pEndpoint->GetFeature(riid, ppv);
    if (pDevice)
        return pDevice->GetFeature(riid, ppv);
    return E_POINTER;
}

void CSNDIBase::ReleaseUnknown()
{
    SafeRelease(m_pUnknown);
}
