#include "SimSpeakers.h"

#include "SimDefaults.h"
#include "SimNotify.h"

using kvsim::Iface;
using kvsim::Node;
using kvsim::Source;

namespace simdrv {

namespace {

// One class for both interfaces (the newer extends the older). Faults are
// injected under the interface the object was asked for.
class CSimSpkConfig final : public CSimObject<ISNDISpkConfig2, CFeatureSupport> {
public:
    CSimSpkConfig(const CNodeRef& ref, Iface iface) { Bind(ref, iface, Source::SpkConfig); }

    HRESULT STDMETHODCALLTYPE GetCount(UINT* pnCount) override
    {
        KVSIM_FAULT(m_iface, 3, m_ref.nNode);
        if (!pnCount) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        *pnCount = a.node->quirks.bSpkCountHuge ? 0xFFFFFFFFu : static_cast<UINT>(Count(*a.node));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConfig(UINT nIndex, SpeakerConfigInfo* pInfo) override
    {
        KVSIM_FAULT(m_iface, 4, m_ref.nNode);
        if (!pInfo) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        if (nIndex >= static_cast<UINT>(Count(*a.node))) return E_INVALIDARG;
        const kvsim::SpeakerLayout& l = a.node->features.speakers.layouts[nIndex];
        CopyTextA(pInfo->szName, sizeof(pInfo->szName), l.szName, a.node->quirks.bUnterminatedNames != FALSE);
        pInfo->dwSpeakers = l.dwSpeakers;
        pInfo->dwLFE = l.dwLFE;
        pInfo->guidFormat = l.guidFormat;
        return S_OK;
    }
    KVSIM_UNUSED(5)
    HRESULT STDMETHODCALLTYPE GetCurrent(UINT* pnIndex) override
    {
        KVSIM_FAULT(m_iface, 6, m_ref.nNode);
        if (!pnIndex) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        *pnIndex = a.node->features.speakers.nCurrent;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCurrent(UINT nIndex, DWORD) override
    {
        KVSIM_FAULT(m_iface, 7, m_ref.nNode);
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        if (nIndex >= static_cast<UINT>(Count(*a.node))) return E_INVALIDARG;
        MakeCurrent(*a.node, nIndex);
        return S_OK;
    }
    KVSIM_UNUSED(8)
    // The first layout with that format id becomes current.
    HRESULT STDMETHODCALLTYPE SetCurrentByFormat(const GUID* pFormat, DWORD, DWORD, DWORD) override
    {
        KVSIM_FAULT(Iface::SpkConfig2, 9, m_ref.nNode);
        if (!pFormat) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        for (int i = 0; i < Count(*a.node); ++i) {
            if (a.node->features.speakers.layouts[i].guidFormat == *pFormat) {
                MakeCurrent(*a.node, static_cast<UINT>(i));
                return S_OK;
            }
        }
        return E_INVALIDARG;
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_ISNDISpkConfig) {
            *ppUnk = static_cast<ISNDISpkConfig2*>(this);
            return S_OK;
        }
        if (riid == IID_ISNDISpkConfig2) {
            CNodeAccess a(m_ref);
            if (FAILED(a.hr)) return a.hr;
            if (a.node->features.speakers.dwVersion < 2) return E_NOINTERFACE;
            *ppUnk = static_cast<ISNDISpkConfig2*>(this);
            return S_OK;
        }
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int nNode, Node& node) override { RestorePart(nNode, node, Part::Speakers); }

    static int Count(const Node& n)
    {
        int c = n.features.speakers.nLayouts;
        return c < 0 ? 0 : (c > kvsim::kMaxSpeakerLayouts ? kvsim::kMaxSpeakerLayouts : c);
    }
    void MakeCurrent(Node& n, UINT nIndex) const
    {
        n.features.speakers.nCurrent = nIndex;
        Post(KVHINT_CURRENT, nIndex);
    }
};

}  // namespace

HRESULT CreateSpeakerFeature(const CNodeRef& ref, const Node& node, REFIID riid, void** ppv)
{
    DWORD dwVersion = node.features.speakers.dwVersion;
    if (riid == IID_ISNDISpkConfig && dwVersion >= 1)
        return CreateAndQuery<CSimSpkConfig>(riid, ppv, ref, Iface::SpkConfig);
    if (riid == IID_ISNDISpkConfig2 && dwVersion >= 2)
        return CreateAndQuery<CSimSpkConfig>(riid, ppv, ref, Iface::SpkConfig2);
    return E_NOINTERFACE;
}

}  // namespace simdrv
