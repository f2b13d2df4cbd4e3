#include "SimNodes.h"

#include "SimDefaults.h"
#include "SimFeatures.h"
#include "SimPresets.h"
#include "SimSpeakers.h"

#include <cstring>

using kvsim::Iface;
using kvsim::Node;

namespace simdrv {

namespace {

// The adaptor an object was made for: found by id, through the node it was
// reached from (so a topology reload invalidates it like the node).
struct CAdaptorAccess : CNodeAccess {
    CAdaptorAccess(const CNodeRef& ref, const std::wstring& id) : CNodeAccess(ref)
    {
        if (FAILED(hr)) return;
        int i = kvsim::FindAdaptor(*state, id.c_str());
        if (i < 0) {
            hr = KVSIM_E_INVALIDATED;
            return;
        }
        adaptor = &state->adaptors[i];
    }
    kvsim::Adaptor* adaptor = nullptr;
};

bool SameId(const wchar_t* a, const wchar_t* b)
{
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// ---- Preset defaults ----------------------------------------------------------
// Of one node, or (with an adaptor id) of every node on that adaptor.

class CSimPresetDefaults final : public CSimObject<ISNDIPresetDefaults> {
public:
    CSimPresetDefaults(const CNodeRef& ref, std::wstring adaptorId) : m_ref(ref), m_adaptorId(std::move(adaptorId)) {}

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    // The block is taken as passed.
    HRESULT STDMETHODCALLTYPE RestorePresets(const KVPRESETCONFIG* pConfig) override
    {
        KVSIM_FAULT(Iface::PresetDefaults, 7, m_ref.nNode);
        if (!pConfig) return E_POINTER;
        if (m_adaptorId.empty()) {
            CNodeAccess a(m_ref);
            if (FAILED(a.hr)) return a.hr;
            RestoreNode(m_ref.nNode, *a.node);
            ++a.node->dwPresetRestoreCount;
            return S_OK;
        }
        CAdaptorAccess a(m_ref, m_adaptorId);
        if (FAILED(a.hr)) return a.hr;
        for (int i = 0; i < kvsim::kMaxNodes; ++i) {
            Node& n = a.state->nodes[i];
            if (n.bUsed && SameId(n.szAdaptor, a.adaptor->szId)) RestoreNode(i, n);
        }
        ++a.adaptor->dwPresetRestoreCount;
        return S_OK;
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid != IID_IUnknown && riid != IID_ISNDIPresetDefaults) return E_NOINTERFACE;
        *ppUnk = static_cast<ISNDIPresetDefaults*>(this);
        return S_OK;
    }
    static void RestoreNode(int nNode, Node& n)
    {
        simdrv::RestorePresets(nNode, n, PresetKind::EQ);
        simdrv::RestorePresets(nNode, n, PresetKind::Reverb);
    }

    CNodeRef m_ref;
    std::wstring m_adaptorId;
};

// What GetFeature offers on an endpoint or a device.
HRESULT NodeFeature(const CNodeRef& ref, REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    CNodeAccess a(ref);
    if (FAILED(a.hr)) return a.hr;
    if (riid == IID_ISNDIPresetDefaults) return CreateAndQuery<CSimPresetDefaults>(riid, ppv, ref, std::wstring());
    HRESULT hr = CreateEffectFeature(ref, *a.node, riid, ppv);
    if (hr == E_NOINTERFACE) hr = CreatePresetFeature(ref, *a.node, riid, ppv);
    if (hr == E_NOINTERFACE) hr = CreateSpeakerFeature(ref, *a.node, riid, ppv);
    return hr;
}

// ISNDIDefaults::Restore of an endpoint or device: every setting of the node.
HRESULT RestoreNodeDefaults(const CNodeRef& ref)
{
    KVSIM_FAULT(Iface::Defaults, 3, ref.nNode);
    CNodeAccess a(ref);
    if (FAILED(a.hr)) return a.hr;
    RestoreAllParts(ref.nNode, *a.node);
    ++a.node->dwRestoreCount;
    return S_OK;
}

// ---- Adaptor --------------------------------------------------------------------

class CSimAdaptor final : public CSimObject<IKVAdaptor, ISNDIDefaults> {
public:
    CSimAdaptor(const CNodeRef& ref, std::wstring id) : m_ref(ref), m_id(std::move(id)) {}

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    KVSIM_UNUSED(7)
    HRESULT STDMETHODCALLTYPE GetFeature(REFIID riid, void** ppv) override
    {
        KVSIM_FAULT(Iface::Adaptor, 8, m_ref.nNode);
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        CAdaptorAccess a(m_ref, m_id);
        if (FAILED(a.hr)) return a.hr;
        if (riid != IID_ISNDIPresetDefaults) return E_NOINTERFACE;
        return CreateAndQuery<CSimPresetDefaults>(riid, ppv, m_ref, m_id);
    }
    HRESULT STDMETHODCALLTYPE GetAdaptorId(DWORD*, LPWSTR* ppszId) override
    {
        KVSIM_FAULT(Iface::Adaptor, 9, m_ref.nNode);
        if (!ppszId) return E_POINTER;
        *ppszId = nullptr;
        wchar_t id[kvsim::kIdCch];
        {
            CAdaptorAccess a(m_ref, m_id);
            if (FAILED(a.hr)) return a.hr;
            CopyTextW(id, kvsim::kIdCch, a.adaptor->szId, false);
        }
        return DupTaskString(id, ppszId);
    }
    // The adaptor's own defaults: it keeps no settings, so only the count moves.
    HRESULT STDMETHODCALLTYPE Restore() override
    {
        KVSIM_FAULT(Iface::Defaults, 3, m_ref.nNode);
        CAdaptorAccess a(m_ref, m_id);
        if (FAILED(a.hr)) return a.hr;
        ++a.adaptor->dwRestoreCount;
        return S_OK;
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_IKVAdaptor) {
            *ppUnk = static_cast<IKVAdaptor*>(this);
            return S_OK;
        }
        if (riid == IID_ISNDIDefaults) {
            KVSIM_FAULT(Iface::Defaults, 0, m_ref.nNode);
            *ppUnk = static_cast<ISNDIDefaults*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    CNodeRef m_ref;
    std::wstring m_id;
};

// ---- Endpoint ---------------------------------------------------------------------

class CSimEndpoint final : public CSimObject<IKVEndpoint, ISNDIDefaults> {
public:
    explicit CSimEndpoint(const CNodeRef& ref) : m_ref(ref) {}

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    HRESULT STDMETHODCALLTYPE GetEndpointId(DWORD* pdwFlags, LPWSTR* ppszId) override
    {
        KVSIM_FAULT(Iface::Endpoint, 7, m_ref.nNode);
        if (!ppszId) return E_POINTER;
        *ppszId = nullptr;
        if (pdwFlags) *pdwFlags = 0;
        wchar_t id[kvsim::kIdCch];
        {
            CNodeAccess a(m_ref);
            if (FAILED(a.hr)) return a.hr;
            CopyTextW(id, kvsim::kIdCch, a.node->szId, false);
        }
        return DupTaskString(id, ppszId);
    }
    KVSIM_UNUSED(8)
    HRESULT STDMETHODCALLTYPE GetFeature(REFIID riid, void** ppv) override
    {
        KVSIM_FAULT(Iface::Endpoint, 9, m_ref.nNode);
        return NodeFeature(m_ref, riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE GetAdaptor(IKVAdaptor** ppAdaptor) override
    {
        KVSIM_FAULT(Iface::Endpoint, 10, m_ref.nNode);
        if (!ppAdaptor) return E_POINTER;
        *ppAdaptor = nullptr;
        std::wstring id;
        {
            CNodeAccess a(m_ref);
            if (FAILED(a.hr)) return a.hr;
            int i = kvsim::FindAdaptor(*a.state, a.node->szAdaptor);
            if (!a.node->szAdaptor[0] || i < 0) return E_NOINTERFACE;
            id = a.state->adaptors[i].szId;
        }
        return CreateAndQuery<CSimAdaptor>(IID_IKVAdaptor, reinterpret_cast<void**>(ppAdaptor), m_ref, id);
    }
    HRESULT STDMETHODCALLTYPE Restore() override { return RestoreNodeDefaults(m_ref); }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_IKVEndpoint) {
            *ppUnk = static_cast<IKVEndpoint*>(this);
            return S_OK;
        }
        if (riid == IID_ISNDIDefaults) {
            KVSIM_FAULT(Iface::Defaults, 0, m_ref.nNode);
            *ppUnk = static_cast<ISNDIDefaults*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    CNodeRef m_ref;
};

// ---- Device -------------------------------------------------------------------------

class CSimDevice final : public CSimObject<IKVDevice, ISNDIDefaults> {
public:
    explicit CSimDevice(const CNodeRef& ref) : m_ref(ref) {}

    KVSIM_UNUSED(3)
    KVSIM_UNUSED(4)
    KVSIM_UNUSED(5)
    KVSIM_UNUSED(6)
    // Only the name is filled; callers differ in what they put in cbSize, so
    // it is not checked.
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(KVDEVICEINFO* pInfo) override
    {
        KVSIM_FAULT(Iface::Device, 7, m_ref.nNode);
        if (!pInfo) return E_POINTER;
        CNodeAccess a(m_ref);
        if (FAILED(a.hr)) return a.hr;
        const Node& n = *a.node;
        memset(pInfo->reserved, 0, sizeof(pInfo->reserved));
        WideToAnsi(pInfo->szName, sizeof(pInfo->szName), n.szId[0] ? n.szId : n.szName,
                   n.quirks.bUnterminatedNames != FALSE);
        return S_OK;
    }
    KVSIM_UNUSED(8)
    HRESULT STDMETHODCALLTYPE GetFeature(REFIID riid, void** ppv) override
    {
        KVSIM_FAULT(Iface::Device, 9, m_ref.nNode);
        return NodeFeature(m_ref, riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE Restore() override { return RestoreNodeDefaults(m_ref); }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid == IID_IUnknown || riid == IID_IKVDevice) {
            *ppUnk = static_cast<IKVDevice*>(this);
            return S_OK;
        }
        if (riid == IID_ISNDIDefaults) {
            KVSIM_FAULT(Iface::Defaults, 0, m_ref.nNode);
            *ppUnk = static_cast<ISNDIDefaults*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    CNodeRef m_ref;
};

}  // namespace

HRESULT CreateEndpoint(const CNodeRef& ref, IKVEndpoint** ppEndpoint)
{
    return CreateAndQuery<CSimEndpoint>(IID_IKVEndpoint, reinterpret_cast<void**>(ppEndpoint), ref);
}

HRESULT CreateDevice(const CNodeRef& ref, IKVDevice** ppDevice)
{
    return CreateAndQuery<CSimDevice>(IID_IKVDevice, reinterpret_cast<void**>(ppDevice), ref);
}

}  // namespace simdrv
