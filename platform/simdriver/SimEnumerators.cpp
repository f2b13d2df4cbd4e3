#include "SimEnumerators.h"

#include "SimNodes.h"
#include "SimNotify.h"

using kvsim::Iface;
using kvsim::Node;
using kvsim::NodeKind;
using kvsim::Source;

namespace simdrv {

namespace {

const CNodeRef kNoNode{};

// ---- Endpoints ----------------------------------------------------------------

class CSimEndpointEnum final : public CSimObject<IKVEndpointEnum, CFeatureSupport> {
public:
    CSimEndpointEnum() { Bind(kNoNode, Iface::EndpointEnum, Source::EndpointEnum, 0, false); }

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    // The nIndex-th endpoint of that flow whose state is in the mask, in
    // topology order.
    HRESULT STDMETHODCALLTYPE GetEndpoint(UINT nIndex, UINT nDataFlow, DWORD dwStateMask, IKVEndpoint** ppEndpoint) override
    {
        KVSIM_FAULT(Iface::EndpointEnum, 7, -1);
        if (!ppEndpoint) return E_POINTER;
        *ppEndpoint = nullptr;
        if (nDataFlow != KV_FLOW_RENDER && nDataFlow != KV_FLOW_CAPTURE) return E_INVALIDARG;
        CNodeRef ref;
        {
            CNodeAccess a(kNoNode);
            if (FAILED(a.hr)) return a.hr;
            auto listed = [&](const Node& n) {
                return n.bUsed && n.kind == NodeKind::Endpoint && static_cast<UINT>(n.flow) == nDataFlow &&
                       (static_cast<DWORD>(n.state) & dwStateMask);
            };
            UINT nListed = 0;
            bool bEndless = false;
            for (const Node& n : a.state->nodes) {
                if (!listed(n)) continue;
                ++nListed;
                bEndless |= n.quirks.bEndlessLists != FALSE;
            }
            if (bEndless && nListed > 0) nIndex %= nListed;
            UINT nSeen = 0;
            for (int i = 0; i < kvsim::kMaxNodes && ref.nNode < 0; ++i)
                if (listed(a.state->nodes[i]) && nSeen++ == nIndex) ref = RefTo(*a.state, i);
        }
        if (ref.nNode < 0) return KVSIM_E_NOMORE;
        return CreateEndpoint(ref, ppEndpoint);
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_IKVEndpointEnum) {
            *ppUnk = static_cast<IKVEndpointEnum*>(this);
            return S_OK;
        }
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int, Node&) override {}
};

// ---- Devices ------------------------------------------------------------------
// The cursor is a position among the device nodes in topology order: -1 is
// before the first, the count past the last.

class CSimDeviceEnum final : public CSimObject<IKVDeviceEnum, CFeatureSupport> {
public:
    CSimDeviceEnum() { Bind(kNoNode, Iface::DeviceEnum, Source::DeviceEnum, 0, false); }

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    HRESULT STDMETHODCALLTYPE IsEmpty() override
    {
        KVSIM_FAULT(Iface::DeviceEnum, 7, -1);
        CNodeAccess a(kNoNode);
        if (FAILED(a.hr)) return a.hr;
        return DeviceCount(*a.state) > 0 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE IsLast() override
    {
        KVSIM_FAULT(Iface::DeviceEnum, 8, -1);
        CNodeAccess a(kNoNode);
        if (FAILED(a.hr)) return a.hr;
        if (Endless(*a.state)) return S_OK;
        return m_nPos + 1 >= DeviceCount(*a.state) ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Next() override
    {
        KVSIM_FAULT(Iface::DeviceEnum, 9, -1);
        CNodeAccess a(kNoNode);
        if (FAILED(a.hr)) return a.hr;
        int nCount = DeviceCount(*a.state);
        if (Endless(*a.state) && nCount > 0) {
            m_nPos = (m_nPos + 1) % nCount;
            return S_OK;
        }
        if (m_nPos + 1 >= nCount) {
            m_nPos = nCount;
            return KVSIM_E_NOMORE;
        }
        ++m_nPos;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        KVSIM_FAULT(Iface::DeviceEnum, 10, -1);
        CNodeAccess a(kNoNode);  // the cursor is guarded by the state lock too
        m_nPos = -1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrent(IKVDevice** ppDevice) override
    {
        KVSIM_FAULT(Iface::DeviceEnum, 11, -1);
        if (!ppDevice) return E_POINTER;
        *ppDevice = nullptr;
        CNodeRef ref;
        {
            CNodeAccess a(kNoNode);
            if (FAILED(a.hr)) return a.hr;
            int nSeen = 0;
            for (int i = 0; i < kvsim::kMaxNodes && ref.nNode < 0; ++i) {
                if (!IsDevice(a.state->nodes[i])) continue;
                if (nSeen++ == m_nPos) ref = RefTo(*a.state, i);
            }
        }
        if (ref.nNode < 0) return KVSIM_E_NOMORE;
        return CreateDevice(ref, ppDevice);
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_IKVDeviceEnum) {
            *ppUnk = static_cast<IKVDeviceEnum*>(this);
            return S_OK;
        }
        return FindSupport(riid, ppUnk);
    }
    void RestoreFeature(int, Node&) override {}

    static bool IsDevice(const Node& n) { return n.bUsed && n.kind == NodeKind::Device; }
    static bool Endless(const kvsim::SharedState& s)
    {
        for (const Node& n : s.nodes)
            if (IsDevice(n) && n.quirks.bEndlessLists) return true;
        return false;
    }
    static int DeviceCount(const kvsim::SharedState& s)
    {
        int c = 0;
        for (const Node& n : s.nodes) c += IsDevice(n) ? 1 : 0;
        return c;
    }

    int m_nPos = -1;
};

}  // namespace

HRESULT CreateEndpointEnum(REFIID riid, void** ppv) { return CreateAndQuery<CSimEndpointEnum>(riid, ppv); }
HRESULT CreateDeviceEnum(REFIID riid, void** ppv) { return CreateAndQuery<CSimDeviceEnum>(riid, ppv); }

}  // namespace simdrv
