#include "features/SNDIFeatures.h"
#include "features/SNDIScale.h"

// ---- CSNDISubWooferGain --------------------------------------------------------

BOOL CSNDISubWooferGain::Init(IKVDevice* pDevice, IKVEndpoint* pEndpoint)
{
    if (!pDevice && !pEndpoint)
        return FALSE;
    ISNDIBassManagement* pBass = nullptr;
    HRESULT hr = GetFeature(pDevice, pEndpoint, IID_ISNDIBassManagement, reinterpret_cast<void**>(&pBass));
    if (FAILED(hr) || !pBass)
        return FALSE;
    ISNDISubWooferGain* pGain = nullptr;
    hr = pBass->QueryInterface(IID_ISNDISubWooferGain, reinterpret_cast<void**>(&pGain));
    pBass->Release();
    if (FAILED(hr) || !pGain)
        return FALSE;
    m_pInterface = pGain;
    m_pUnknown = pGain;
    m_pUnknown->AddRef();
    return TRUE;
}

// ---- CSNDIEQ -------------------------------------------------------------------

CSNDIEQ::CSNDIEQ()
{
    for (UINT i = 0; i < kPreampEntry; ++i)
        m_fStep[i] = 1.0f;
    m_fStep[kPreampEntry] = 0.0f;
}

HRESULT CSNDIEQ::GetBandRange(UINT nBand, int* pnMin, int* pnMax)
{
    // 17 entries: bands 0-15 and the pre-amplification, which band 16 shares.
    if (nBand > kPreampEntry)
        return E_FAIL;
    if (!m_pInterface || !pnMin || !pnMax)
        return E_POINTER;
    float fMin = 0.0f, fMax = 0.0f, fStep = 1.0f, fExtra = 0.0f;
    HRESULT hr = m_pInterface->GetBandRange(nBand, &fMin, &fMax, &fStep, &fExtra);
    if (FAILED(hr))
        return hr;
    *pnMin = kvscale::RoundHalfAway(fMin, fStep);
    *pnMax = kvscale::RoundHalfAway(fMax, fStep);
    m_fStep[nBand] = fStep;
    return hr;
}

HRESULT CSNDIEQ::GetPreampRange(int* pnMin, int* pnMax)
{
    if (!m_pInterface || !pnMin || !pnMax)
        return E_POINTER;
    float fMin = 0.0f, fMax = 0.0f, fStep = 1.0f, fExtra = 0.0f;
    HRESULT hr = m_pInterface->GetPreampRange(&fMin, &fMax, &fStep, &fExtra);
    if (FAILED(hr))
        return hr;
    *pnMin = kvscale::RoundHalfAway(fMin, fStep);
    *pnMax = kvscale::RoundHalfAway(fMax, fStep);
    m_fStep[kPreampEntry] = fStep;
    return hr;
}

// ---- CSNDIVSUR, CSNDIVSUR3 -----------------------------------------------------

static bool ElementTypeReadable(HRESULT hr)
{
    // E_ACCESSDENIED still delivers the type.
    return SUCCEEDED(hr) || hr == E_ACCESSDENIED;
}

CSNDIVSUR::~CSNDIVSUR()
{
    SafeRelease(m_pElement);
    UnadviseAll();
    ReleaseUnknown();
}

BOOL CSNDIVSUR::Uninit()
{
    SafeRelease(m_pElement);
    return CSNDIBase::Uninit();
}

BOOL CSNDIVSUR::InitVSUR(ISNDIElement* pElement)
{
    if (!pElement)
        return FALSE;
    DWORD dwType = 0;
    if (!ElementTypeReadable(pElement->GetType(&dwType)))
        return FALSE;
    // Subscriptions belong to the element bound before, if any.
    UnadviseAll();
    SafeRelease(m_pElement);
    ReleaseUnknown();
    m_pElement = pElement;
    m_pElement->AddRef();
    m_pUnknown = pElement;
    m_pUnknown->AddRef();
    return TRUE;
}

CSNDIVSUR3::~CSNDIVSUR3()
{
    SafeRelease(m_pVSUR3);
}

BOOL CSNDIVSUR3::Uninit()
{
    SafeRelease(m_pVSUR3);
    return CSNDIVSUR::Uninit();
}

BOOL CSNDIVSUR3::InitVSUR(ISNDIElement* pElement)
{
    if (!pElement)
        return FALSE;
    DWORD dwType = 0;
    if (!ElementTypeReadable(pElement->GetType(&dwType)) || dwType != KV_ELEMENT_VSUR)
        return FALSE;
    ISNDIVSUR3* pVSUR3 = nullptr;
    if (FAILED(pElement->QueryInterface(IID_ISNDIVSUR3, reinterpret_cast<void**>(&pVSUR3))) || !pVSUR3)
        return FALSE;
    SafeRelease(m_pVSUR3);
    m_pVSUR3 = pVSUR3;
    if (!CSNDIVSUR::InitVSUR(pElement)) {
        SafeRelease(m_pVSUR3);
        return FALSE;
    }
    return TRUE;
}

// ---- CSNDIDevice, CSNDIEndpoint --------------------------------------------------

CSNDIDevice::~CSNDIDevice()
{
    SafeRelease(m_pDeviceEnum);
}

BOOL CSNDIDevice::Uninit()
{
    SafeRelease(m_pDeviceEnum);
    return CSNDIBase::Uninit();
}

CSNDIEndpoint::~CSNDIEndpoint()
{
    SafeRelease(m_pEndpointEnum);
}

BOOL CSNDIEndpoint::Uninit()
{
    SafeRelease(m_pEndpointEnum);
    m_nEnumIndex = 0;
    return CSNDIBase::Uninit();
}
