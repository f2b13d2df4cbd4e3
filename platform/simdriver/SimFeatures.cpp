#include "SimFeatures.h"

#include "SimDefaults.h"
#include "SimNotify.h"

#include <cstring>

using kvsim::Iface;
using kvsim::Node;
using kvsim::Source;

namespace simdrv {

namespace {

// The field of the node a method works on; nSub is the element index.
#define FIELD(expr) [](Node& n, int nSub) -> auto& { (void)nSub; return n.features.expr; }
#define FAULT(slot) KVSIM_FAULT(m_iface, (slot), m_ref.nNode)

template <class I, class T>
HRESULT Offer(T* pThis, IUnknown** ppUnk)
{
    *ppUnk = static_cast<I*>(pThis);
    return S_OK;
}

// ---- Volume levelling ---------------------------------------------------------

class CSimAGC final : public CSimObject<ISNDIAGC, CFeatureSupport> {
public:
    explicit CSimAGC(const CNodeRef& ref) { Bind(ref, Iface::AGC, Source::AGC); }

    HRESULT STDMETHODCALLTYPE Enable() override { FAULT(3); return SetOnOff(FIELD(agc.bEnabled), TRUE); }
    HRESULT STDMETHODCALLTYPE Disable() override { FAULT(4); return SetOnOff(FIELD(agc.bEnabled), FALSE); }
    HRESULT STDMETHODCALLTYPE IsEnabled(BOOL* pb) override { FAULT(5); return GetBool(FIELD(agc.bEnabled), pb); }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIAGC) return Offer<ISNDIAGC>(this, ppUnk);
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestorePart(nNode, node, Part::AGC); }
};

// ---- Bass boost ---------------------------------------------------------------

class CSimBassBoost final : public CSimObject<ISNDIBassBoost, CFeatureSupport> {
public:
    explicit CSimBassBoost(const CNodeRef& ref) { Bind(ref, Iface::BassBoost, Source::BassBoost); }

    HRESULT STDMETHODCALLTYPE GetRange(float* a, float* b, float* c, float* d) override
    {
        FAULT(3);
        return GetRangeOf(FIELD(bassBoost.level.range), a, b, c, d);
    }
    HRESULT STDMETHODCALLTYPE GetValue(float* p) override { FAULT(4); return GetFloat(FIELD(bassBoost.level.fValue), p); }
    HRESULT STDMETHODCALLTYPE SetValue(float f) override
    {
        FAULT(5);
        return SetFloat(FIELD(bassBoost.level.fValue), FIELD(bassBoost.level.range), f, KVHINT_VALUE, 0);
    }
    HRESULT STDMETHODCALLTYPE GetFrequencyRange(float* a, float* b, float* c, float* d) override
    {
        FAULT(6);
        return GetRangeOf(FIELD(bassBoost.freqRange), a, b, c, d);
    }
    HRESULT STDMETHODCALLTYPE GetFrequency(float* p) override { FAULT(7); return GetFloat(FIELD(bassBoost.fFreq), p); }
    HRESULT STDMETHODCALLTYPE SetFrequency(float f) override
    {
        FAULT(8);
        return SetFloat(FIELD(bassBoost.fFreq), FIELD(bassBoost.freqRange), f, KVHINT_FREQUENCY, 0);
    }
    HRESULT STDMETHODCALLTYPE Enable() override { FAULT(9); return SetOnOff(FIELD(bassBoost.level.bEnabled), TRUE); }
    HRESULT STDMETHODCALLTYPE Disable() override { FAULT(10); return SetOnOff(FIELD(bassBoost.level.bEnabled), FALSE); }
    HRESULT STDMETHODCALLTYPE IsEnabled(BOOL* pb) override { FAULT(11); return GetBool(FIELD(bassBoost.level.bEnabled), pb); }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIBassBoost) return Offer<ISNDIBassBoost>(this, ppUnk);
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestorePart(nNode, node, Part::BassBoost); }
};

// ---- Bass management and subwoofer gain ------------------------------------------
// The subwoofer gain is an object of its own, reached by QueryInterface on
// bass management (and back), so that its subscribers are its own.

HRESULT CreateBassManagement(const CNodeRef& ref, REFIID riid, void** ppv);

class CSimSubWoofer final : public CSimObject<ISNDISubWooferGain, CFeatureSupport> {
public:
    explicit CSimSubWoofer(const CNodeRef& ref) { Bind(ref, Iface::SubWooferGain, Source::SubWooferGain); }

    HRESULT STDMETHODCALLTYPE GetRange(float* a, float* b, float* c, float* d) override
    {
        FAULT(3);
        return GetRangeOf(FIELD(subWoofer.range), a, b, c, d);
    }
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    HRESULT STDMETHODCALLTYPE GetState(DWORD* pdwState) override
    {
        FAULT(6);
        if (!pdwState) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        *pdwState = a.node->features.subWoofer.dwState;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetState(DWORD dwState) override
    {
        FAULT(7);
        if (dwState > 1) return E_INVALIDARG;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        a.node->features.subWoofer.dwState = dwState;
        Post(KVHINT_STATE, dwState);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_ISNDIBassManagement) return CreateBassManagement(m_ref, riid, ppv);
        return CSimObject::QueryInterface(riid, ppv);
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDISubWooferGain) return Offer<ISNDISubWooferGain>(this, ppUnk);
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestorePart(nNode, node, Part::SubWoofer); }
};

class CSimBassManagement final : public CSimObject<ISNDIBassManagement, CFeatureSupport> {
public:
    explicit CSimBassManagement(const CNodeRef& ref) { Bind(ref, Iface::BassManagement, Source::BassManagement); }

    HRESULT STDMETHODCALLTYPE GetRange(float* a, float* b, float* c, float* d) override
    {
        FAULT(3);
        return GetRangeOf(FIELD(bassManagement.range), a, b, c, d);
    }
    HRESULT STDMETHODCALLTYPE GetValue(float* p) override { FAULT(4); return GetFloat(FIELD(bassManagement.fValue), p); }
    HRESULT STDMETHODCALLTYPE SetValue(float f) override
    {
        FAULT(5);
        return SetFloat(FIELD(bassManagement.fValue), FIELD(bassManagement.range), f, KVHINT_VALUE, 0);
    }
    HRESULT STDMETHODCALLTYPE Enable() override { FAULT(6); return SetOnOff(FIELD(bassManagement.bEnabled), TRUE); }
    HRESULT STDMETHODCALLTYPE Disable() override { FAULT(7); return SetOnOff(FIELD(bassManagement.bEnabled), FALSE); }
    HRESULT STDMETHODCALLTYPE IsEnabled(BOOL* pb) override { FAULT(8); return GetBool(FIELD(bassManagement.bEnabled), pb); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_ISNDISubWooferGain) return CSimObject::QueryInterface(riid, ppv);
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        KVSIM_FAULT(Iface::SubWooferGain, 0, m_ref.nNode);
        {
            CNodeAccess a(m_ref);
            if (FAILED(a.hr)) return a.hr;
            if (!a.node->features.subWoofer.bPresent) return E_NOINTERFACE;
        }
        return CreateAndQuery<CSimSubWoofer>(riid, ppv, m_ref);
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIBassManagement) return Offer<ISNDIBassManagement>(this, ppUnk);
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestorePart(nNode, node, Part::BassManagement); }
};

HRESULT CreateBassManagement(const CNodeRef& ref, REFIID riid, void** ppv)
{
    return CreateAndQuery<CSimBassManagement>(riid, ppv, ref);
}

// ---- Speaker levels -----------------------------------------------------------

class CSimMixerFx final : public CSimObject<ISNDIMixerFx, CFeatureSupport> {
public:
    explicit CSimMixerFx(const CNodeRef& ref) { Bind(ref, Iface::MixerFx, Source::MixerFx); }

    KVSIM_UNUSED(3)
    HRESULT STDMETHODCALLTYPE GetLevel(UINT nSpeaker, LONG* pnLevel) override
    {
        FAULT(4);
        if (!pnLevel) return E_POINTER;
        if (nSpeaker >= static_cast<UINT>(kvsim::kMaxSpeakers)) return E_INVALIDARG;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        *pnLevel = a.node->features.mixer.nLevel[nSpeaker];
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetLevel(UINT nSpeaker, LONG nLevel) override
    {
        FAULT(5);
        if (nSpeaker >= static_cast<UINT>(kvsim::kMaxSpeakers) || nLevel < 0 || nLevel > 100) return E_INVALIDARG;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        a.node->features.mixer.nLevel[nSpeaker] = nLevel;
        Post(KVHINT_VALUE, nSpeaker);
        return S_OK;
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIMixerFx) return Offer<ISNDIMixerFx>(this, ppUnk);
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestorePart(nNode, node, Part::Mixer); }
};

// ---- Detail restoration --------------------------------------------------------

class CSimPdp final : public CSimObject<ISNDIPdp, CFeatureSupport> {
public:
    explicit CSimPdp(const CNodeRef& ref) { Bind(ref, Iface::Pdp, Source::Pdp); }

    HRESULT STDMETHODCALLTYPE Enable() override { FAULT(3); return SetOnOff(FIELD(pdp.bEnabled), TRUE); }
    HRESULT STDMETHODCALLTYPE Disable() override { FAULT(4); return SetOnOff(FIELD(pdp.bEnabled), FALSE); }
    HRESULT STDMETHODCALLTYPE IsEnabled(BOOL* pb) override { FAULT(5); return GetBool(FIELD(pdp.bEnabled), pb); }
    HRESULT STDMETHODCALLTYPE GetRange(float* a, float* b, float* c, float* d) override
    {
        FAULT(6);
        return GetRangeOf(FIELD(pdp.range), a, b, c, d);
    }
    HRESULT STDMETHODCALLTYPE GetValue(float* p) override { FAULT(7); return GetFloat(FIELD(pdp.fValue), p); }
    HRESULT STDMETHODCALLTYPE SetValue(float f) override
    {
        FAULT(8);
        return SetFloat(FIELD(pdp.fValue), FIELD(pdp.range), f, KVHINT_VALUE, 0);
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIPdp) return Offer<ISNDIPdp>(this, ppUnk);
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestorePart(nNode, node, Part::Pdp); }
};

// ---- Upmix processing elements and their virtual surround --------------------------
// One object per element; it is ISNDIVSUR3 too when the element offers it.
// Its subscriptions hear only that element (sub = element index).

class CSimElement final : public CSimObject<ISNDIElement, ISNDIVSUR3, CFeatureSupport> {
public:
    CSimElement(const CNodeRef& ref, int nElement) { Bind(ref, Iface::Element, Source::Element, nElement); }

    // ISNDIElement
    HRESULT STDMETHODCALLTYPE GetType(DWORD* pdwType) override
    {
        FAULT(3);
        if (!pdwType) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        const kvsim::Element& e = a.node->features.upmix.elements[m_nSub];
        *pdwType = e.dwType;
        return e.bAccessDenied ? E_ACCESSDENIED : S_OK;
    }

    // ISNDIVSUR3
    KVSIM_UNUSED(3)
    HRESULT STDMETHODCALLTYPE GetRange(float* a, float* b, float* c, float* d) override
    {
        KVSIM_FAULT(Iface::VSUR3, 4, m_ref.nNode);
        return GetRangeOf(FIELD(upmix.elements[nSub].range), a, b, c, d);
    }
    HRESULT STDMETHODCALLTYPE GetValue(float* p) override
    {
        KVSIM_FAULT(Iface::VSUR3, 5, m_ref.nNode);
        return GetFloat(FIELD(upmix.elements[nSub].fValue), p);
    }
    HRESULT STDMETHODCALLTYPE SetValue(float f) override
    {
        KVSIM_FAULT(Iface::VSUR3, 6, m_ref.nNode);
        return SetFloat(FIELD(upmix.elements[nSub].fValue), FIELD(upmix.elements[nSub].range), f, KVHINT_VALUE,
                        static_cast<UINT>(m_nSub));
    }
    KVSIM_UNUSED(7)
    KVSIM_UNUSED(8)
    KVSIM_UNUSED(9)
    KVSIM_UNUSED(10)
    KVSIM_UNUSED(11)
    KVSIM_UNUSED(12)
    KVSIM_UNUSED(13)
    KVSIM_UNUSED(14)
    KVSIM_UNUSED(15)
    HRESULT STDMETHODCALLTYPE GetXDSurMode(DWORD* pdwMode) override
    {
        KVSIM_FAULT(Iface::VSUR3, 16, m_ref.nNode);
        if (!pdwMode) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        *pdwMode = a.node->features.upmix.elements[m_nSub].dwMode;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetXDSurMode(DWORD dwMode) override
    {
        KVSIM_FAULT(Iface::VSUR3, 17, m_ref.nNode);
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        a.node->features.upmix.elements[m_nSub].dwMode = dwMode;
        Post(KVHINT_MODE, dwMode);
        return S_OK;
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIElement) return Offer<ISNDIElement>(this, ppUnk);
        if (riid == IID_ISNDIVSUR3) {
            CNodeAccess a(m_ref);
            if (FAILED(a.hr)) return a.hr;
            if (!a.node->features.upmix.elements[m_nSub].bVsur3) return E_NOINTERFACE;
            return Offer<ISNDIVSUR3>(this, ppUnk);
        }
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestoreElement(nNode, node, m_nSub); }
};

class CSimUpmix final : public CSimObject<ISNDIUpmix, CFeatureSupport> {
public:
    explicit CSimUpmix(const CNodeRef& ref) { Bind(ref, Iface::Upmix, Source::Upmix); }

    HRESULT STDMETHODCALLTYPE GetElement(UINT nIndex, ISNDIElement** ppElement) override
    {
        FAULT(3);
        if (!ppElement) return E_POINTER;
        *ppElement = nullptr;
        {
            CNodeAccess a(m_ref);
            if (FAILED(a.hr)) return a.hr;
            const UINT nElements = static_cast<UINT>(a.node->features.upmix.nElements);
            if (a.node->quirks.bEndlessLists && nElements > 0) nIndex %= nElements;
            if (nIndex >= nElements) return KVSIM_E_NOMORE;
        }
        return CreateAndQuery<CSimElement>(IID_ISNDIElement, reinterpret_cast<void**>(ppElement), m_ref,
                                           static_cast<int>(nIndex));
    }
    KVSIM_UNUSED(4)
    HRESULT STDMETHODCALLTYPE SelectElement(UINT nIndex) override
    {
        FAULT(5);
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        kvsim::Upmix& u = a.node->features.upmix;
        if (nIndex >= static_cast<UINT>(u.nElements)) return E_INVALIDARG;
        u.nSelected = static_cast<int>(nIndex);
        Post(KVHINT_SELECT, nIndex);
        return S_OK;
    }
    KVSIM_UNUSED(6)
    HRESULT STDMETHODCALLTYPE Enable() override { FAULT(7); return SetOnOff(FIELD(upmix.bEnabled), TRUE); }
    // Callers differ in what they pass; the whole feature goes off, and the
    // event carries the element named so that a caller's choice can be seen.
    HRESULT STDMETHODCALLTYPE Disable(UINT nElement) override
    {
        FAULT(8);
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        a.node->features.upmix.bEnabled = FALSE;
        PostAs(Source::Upmix, static_cast<int>(nElement), KVHINT_ONOFF, 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsEnabled(BOOL* pb) override { FAULT(9); return GetBool(FIELD(upmix.bEnabled), pb); }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIUpmix) return Offer<ISNDIUpmix>(this, ppUnk);
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestorePart(nNode, node, Part::Upmix); }
};

// ---- Equalizer --------------------------------------------------------------------

class CSimEQ final : public CSimObject<ISNDIEQ, CFeatureSupport> {
public:
    explicit CSimEQ(const CNodeRef& ref) { Bind(ref, Iface::EQ, Source::EQ); }

    HRESULT STDMETHODCALLTYPE GetBandInfo(UINT nBand, char* pszLabel, char* pszExtra) override
    {
        FAULT(3);
        if (!pszLabel) return E_POINTER;
        kvsim::Band* pBand = nullptr;
        CNodeAccess a(m_ref);
        HRESULT hr = FindBand(a, nBand, &pBand);
        if (FAILED(hr)) return hr;
        bool bFill = a.node->quirks.bUnterminatedNames != FALSE;
        char label[sizeof(pBand->szLabel) + 1] = {};  // bounded by the stored label, terminated or not
        memcpy(label, pBand->szLabel, sizeof(pBand->szLabel));
        CopyTextA(pszLabel, KV_BAND_LABEL_CB, label, bFill);
        if (pszExtra) CopyTextA(pszExtra, KV_BAND_EXTRA_CB, "Hz", bFill);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBandRange(UINT nBand, float* pMin, float* pMax, float* pStep, float* pExtra) override
    {
        FAULT(4);
        if (!pMin || !pMax || !pStep || !pExtra) return E_POINTER;
        kvsim::Band* pBand = nullptr;
        CNodeAccess a(m_ref);
        HRESULT hr = FindBand(a, nBand, &pBand);
        if (FAILED(hr)) return hr;
        *pMin = pBand->range.fMin;
        *pMax = pBand->range.fMax;
        *pStep = pBand->range.fStep;
        *pExtra = pBand->range.fExtra;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBandLevel(UINT nBand, float* pLevel) override
    {
        FAULT(5);
        if (!pLevel) return E_POINTER;
        kvsim::Band* pBand = nullptr;
        CNodeAccess a(m_ref);
        HRESULT hr = FindBand(a, nBand, &pBand);
        if (FAILED(hr)) return hr;
        *pLevel = pBand->fLevel;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBandLevel(UINT nBand, float fLevel) override
    {
        FAULT(6);
        kvsim::Band* pBand = nullptr;
        CNodeAccess a(m_ref);
        HRESULT hr = FindBand(a, nBand, &pBand);
        if (FAILED(hr)) return hr;
        if (!InRange(pBand->range, fLevel)) return E_INVALIDARG;
        pBand->fLevel = ClampTo(pBand->range, fLevel);
        Post(KVEQ_BAND, nBand);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPreampRange(float* a, float* b, float* c, float* d) override
    {
        FAULT(7);
        return GetRangeOf(FIELD(eq.preampRange), a, b, c, d);
    }
    HRESULT STDMETHODCALLTYPE GetPreamp(float* p) override { FAULT(8); return GetFloat(FIELD(eq.fPreamp), p); }
    HRESULT STDMETHODCALLTYPE SetPreamp(float f) override
    {
        FAULT(9);
        return SetFloat(FIELD(eq.fPreamp), FIELD(eq.preampRange), f, KVEQ_PREAMP, 0);
    }
    HRESULT STDMETHODCALLTYPE Enable() override { FAULT(10); return Switch(TRUE); }
    HRESULT STDMETHODCALLTYPE Disable() override { FAULT(11); return Switch(FALSE); }
    HRESULT STDMETHODCALLTYPE IsEnabled(BOOL* pb) override { FAULT(12); return GetBool(FIELD(eq.bEnabled), pb); }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIEQ) return Offer<ISNDIEQ>(this, ppUnk);
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestorePart(nNode, node, Part::EQ); }

    static HRESULT FindBand(CNodeAccess& a, UINT nBand, kvsim::Band** ppBand)
    {
        if (FAILED(a.hr)) return a.hr;
        const kvsim::Equalizer& eq = a.node->features.eq;
        if (nBand >= static_cast<UINT>(eq.nBands) || nBand >= static_cast<UINT>(kvsim::kMaxBands))
            return E_INVALIDARG;
        *ppBand = &a.node->features.eq.bands[nBand];
        return S_OK;
    }
    // The equalizer reports its switch with its own sub-codes.
    HRESULT Switch(BOOL bOn)
    {
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        a.node->features.eq.bEnabled = bOn;
        Post(KVEQ_ONOFF, bOn ? UINT{KVEQ_ON} : 0u);
        return S_OK;
    }
};

// ---- Reverb environment -------------------------------------------------------------

class CSimRvxEnvironment final : public CSimObject<ISNDIRVXEnvironment, CFeatureSupport> {
public:
    explicit CSimRvxEnvironment(const CNodeRef& ref) { Bind(ref, Iface::RVXEnvironment, Source::RVXEnvironment); }

    HRESULT STDMETHODCALLTYPE GetRange(float* a, float* b, float* c, float* d) override
    {
        FAULT(3);
        return GetRangeOf(FIELD(rvx.env.range), a, b, c, d);
    }
    HRESULT STDMETHODCALLTYPE GetValue(float* p) override { FAULT(4); return GetFloat(FIELD(rvx.env.fValue), p); }
    HRESULT STDMETHODCALLTYPE SetValue(float f) override
    {
        FAULT(5);
        return SetFloat(FIELD(rvx.env.fValue), FIELD(rvx.env.range), f, KVHINT_VALUE, 0);
    }
    HRESULT STDMETHODCALLTYPE Enable() override { FAULT(6); return SetOnOff(FIELD(rvx.env.bEnabled), TRUE); }
    HRESULT STDMETHODCALLTYPE Disable() override { FAULT(7); return SetOnOff(FIELD(rvx.env.bEnabled), FALSE); }
    HRESULT STDMETHODCALLTYPE IsEnabled(BOOL* pb) override { FAULT(8); return GetBool(FIELD(rvx.env.bEnabled), pb); }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDIRVXEnvironment) return Offer<ISNDIRVXEnvironment>(this, ppUnk);
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestorePart(nNode, node, Part::Reverb); }
};

}  // namespace

HRESULT CreateEffectFeature(const CNodeRef& ref, const Node& node, REFIID riid, void** ppv)
{
    const kvsim::Features& f = node.features;
    if (riid == IID_ISNDIAGC && f.agc.bPresent) return CreateAndQuery<CSimAGC>(riid, ppv, ref);
    if (riid == IID_ISNDIBassBoost && f.bassBoost.level.bPresent) return CreateAndQuery<CSimBassBoost>(riid, ppv, ref);
    if (riid == IID_ISNDIBassManagement && f.bassManagement.bPresent) return CreateBassManagement(ref, riid, ppv);
    if (riid == IID_ISNDIMixerFx && f.mixer.bPresent) return CreateAndQuery<CSimMixerFx>(riid, ppv, ref);
    if (riid == IID_ISNDIPdp && f.pdp.bPresent) return CreateAndQuery<CSimPdp>(riid, ppv, ref);
    if (riid == IID_ISNDIUpmix && f.upmix.bPresent) return CreateAndQuery<CSimUpmix>(riid, ppv, ref);
    if (riid == IID_ISNDIEQ && f.eq.bPresent) return CreateAndQuery<CSimEQ>(riid, ppv, ref);
    if (riid == IID_ISNDIRVXEnvironment && f.rvx.env.bPresent) return CreateAndQuery<CSimRvxEnvironment>(riid, ppv, ref);
    return E_NOINTERFACE;
}

}  // namespace simdrv
