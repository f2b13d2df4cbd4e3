// What every COM object of the simulated driver shares: the IUnknown base,
// the module's count of live objects, the binding of an object to the node it
// was made for, and the bounded text copies the interfaces hand out.
#pragma once

#include "SimState.h"
#include "features/KVDriverInterfaces.h"

#include <new>
#include <string>
#include <utility>

namespace simdrv {

// A call on an object whose node was replaced by a topology load or reset.
constexpr HRESULT KVSIM_E_INVALIDATED = static_cast<HRESULT>(0x88890004);  // AUDCLNT_E_DEVICE_INVALIDATED
// Past the last item of an enumeration.
constexpr HRESULT KVSIM_E_NOMORE = static_cast<HRESULT>(0x80070103);       // ERROR_NO_MORE_ITEMS

// Objects, subscriptions and server locks alive in this process; the DLL may
// be unloaded only at zero.
void ModuleAddRef();
void ModuleRelease();
LONG ModuleCount();
HMODULE ModuleHandle();

// The first line of every driver method: an injected failure is returned as is.
#define KVSIM_FAULT(iface, slot, node)                                      \
    do {                                                                    \
        HRESULT hrFault_ = kvsim::CheckFault((iface), (slot), (node));      \
        if (hrFault_ != S_OK) return hrFault_;                              \
    } while (0)

#define KVSIM_UNUSED(n) \
    HRESULT STDMETHODCALLTYPE Unused##n() override { return E_NOTIMPL; }

// IUnknown for a class implementing Ifaces. The count starts at 1; the
// derived class's Find is its interface table.
template <class... Ifaces>
class CSimObject : public Ifaces... {
public:
    CSimObject(const CSimObject&) = delete;
    CSimObject& operator=(const CSimObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        IUnknown* pUnk = nullptr;
        HRESULT hr = Find(riid, &pUnk);
        if (hr != S_OK || !pUnk) return FAILED(hr) ? hr : E_NOINTERFACE;
        pUnk->AddRef();
        *ppv = pUnk;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG c = InterlockedDecrement(&m_cRef);
        if (c == 0) delete this;
        return static_cast<ULONG>(c);
    }

protected:
    CSimObject() { ModuleAddRef(); }
    virtual ~CSimObject() { ModuleRelease(); }
    // S_OK with the interface pointer (no reference added), E_NOINTERFACE,
    // or an injected failure.
    virtual HRESULT Find(REFIID riid, IUnknown** ppUnk) = 0;

private:
    LONG m_cRef = 1;
};

// Makes an object and hands it out through QueryInterface, so a refused
// interface frees it again.
template <class T, class... Args>
HRESULT CreateAndQuery(REFIID riid, void** ppv, Args&&... args)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    T* p = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!p) return E_OUTOFMEMORY;
    HRESULT hr = p->QueryInterface(riid, ppv);
    p->Release();
    return hr;
}

// The node an object was made for, with the serial it had then.
struct CNodeRef {
    int nNode = -1;
    DWORD dwSerial = 0;
};

// Holds the state lock for its scope and finds the referenced node; hr says
// why not (block unavailable, node replaced). A reference to no node (-1)
// resolves to the block alone.
class CNodeAccess {
public:
    explicit CNodeAccess(const CNodeRef& ref);
    CNodeAccess(const CNodeAccess&) = delete;
    CNodeAccess& operator=(const CNodeAccess&) = delete;

private:
    kvsim::StateLock m_lock;  // first: the lookups below happen under it

public:
    kvsim::SharedState* state = nullptr;
    kvsim::Node* node = nullptr;
    HRESULT hr = S_OK;
};

// A reference to node n as it is now (lock held).
CNodeRef RefTo(const kvsim::SharedState& s, int n);

// ---- Text ------------------------------------------------------------------
// All copies are bounded by the destination; bFill is the unterminated-text
// quirk: the whole buffer is filled with non-NUL characters.
void CopyTextW(wchar_t* pDst, size_t cchDst, const wchar_t* pSrc, bool bFill);
void CopyTextA(char* pDst, size_t cbDst, const char* pSrc, bool bFill);
// Converts to the ANSI code page, cut at a character boundary.
void WideToAnsi(char* pDst, size_t cbDst, const wchar_t* pSrc, bool bFill);
// Reads at most cbMax bytes of pSrc (less at a NUL) from the ANSI code page.
std::wstring AnsiToWide(const char* pSrc, size_t cbMax);
// A CoTaskMem copy of pSrc.
HRESULT DupTaskString(const wchar_t* pSrc, LPWSTR* ppOut);

bool InRange(const kvsim::Range& r, float f);
float ClampTo(const kvsim::Range& r, float f);

}  // namespace simdrv
