// One feature object per driver effect. Most are the common binding with a
// fixed interface; the equalizer, the subwoofer gain and virtual surround add
// behaviour of their own.
#pragma once

#include "features/SNDIBase.h"

// The common form: bind the typed interface by id through GetFeature, and
// keep it as the subscription interface too.
template <class I, const IID& riid>
class CSNDIFeature : public CSNDIBase
{
public:
    ~CSNDIFeature() override { ReleaseTyped(); }

    BOOL Init(IKVDevice* pDevice, IKVEndpoint* pEndpoint) override
    {
        if (!pDevice && !pEndpoint)
            return FALSE;
        I* pTyped = nullptr;
        HRESULT hr = GetFeature(pDevice, pEndpoint, riid, reinterpret_cast<void**>(&pTyped));
        if (FAILED(hr) || !pTyped)
            return FALSE;
        m_pInterface = pTyped;
        m_pUnknown = pTyped;
        m_pUnknown->AddRef();
        return TRUE;
    }

    BOOL Uninit() override
    {
        ReleaseTyped();
        return CSNDIBase::Uninit();
    }

    I* m_pInterface = nullptr;

protected:
    void ReleaseTyped()
    {
        SafeRelease(m_pInterface);
        UnadviseAll();
        ReleaseUnknown();
    }
};

class CAGC : public CSNDIFeature<ISNDIAGC, IID_ISNDIAGC> {};
class CSNDIBassBoost : public CSNDIFeature<ISNDIBassBoost, IID_ISNDIBassBoost> {};
class CSNDIBassManagement : public CSNDIFeature<ISNDIBassManagement, IID_ISNDIBassManagement> {};
class CSNDIMixerFx : public CSNDIFeature<ISNDIMixerFx, IID_ISNDIMixerFx> {};
class CSNDIPdp : public CSNDIFeature<ISNDIPdp, IID_ISNDIPdp> {};
class CSNDIUpmix : public CSNDIFeature<ISNDIUpmix, IID_ISNDIUpmix> {};
class CSNDIRVXEnvironment : public CSNDIFeature<ISNDIRVXEnvironment, IID_ISNDIRVXEnvironment> {};

// Reached through the bass management interface, never by GetFeature.
class CSNDISubWooferGain : public CSNDIFeature<ISNDISubWooferGain, IID_ISNDISubWooferGain>
{
public:
    BOOL Init(IKVDevice* pDevice, IKVEndpoint* pEndpoint) override;
};

class CSNDIEQ : public CSNDIFeature<ISNDIEQ, IID_ISNDIEQ>
{
public:
    static constexpr UINT kPreampEntry = 16;
    CSNDIEQ();

    // Range in slider steps (half away from zero); remembers the granularity.
    HRESULT GetBandRange(UINT nBand, int* pnMin, int* pnMax);
    HRESULT GetPreampRange(int* pnMin, int* pnMax);

    float m_fStep[17];
};

// A processing element of the upmix; subscriptions go to the element itself.
class CSNDIVSUR : public CSNDIBase
{
public:
    ~CSNDIVSUR() override;
    BOOL Uninit() override;
    virtual BOOL InitVSUR(ISNDIElement* pElement);

    ISNDIElement* m_pElement = nullptr;
};

class CSNDIVSUR3 : public CSNDIVSUR
{
public:
    ~CSNDIVSUR3() override;
    BOOL Uninit() override;
    BOOL InitVSUR(ISNDIElement* pElement) override;

    ISNDIVSUR3* m_pVSUR3 = nullptr;
};

// The session's own device-level and endpoint-level objects: the session
// puts the enumerators in them and only subscribes and closes.
class CSNDIDevice : public CSNDIBase
{
public:
    ~CSNDIDevice() override;
    BOOL Uninit() override;
    IKVDeviceEnum* m_pDeviceEnum = nullptr;
};

class CSNDIEndpoint : public CSNDIBase
{
public:
    ~CSNDIEndpoint() override;
    BOOL Uninit() override;
    IKVEndpointEnum* m_pEndpointEnum = nullptr;
    UINT m_nEnumIndex = 0;
};
