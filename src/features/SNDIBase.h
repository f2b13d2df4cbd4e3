// Feature object base: binding one driver feature interface through the
// session's device or endpoint object, and subscribing to its change
// notifications through a sink of ours.
#pragma once

#include "features/KVDriverInterfaces.h"

#include <atomic>
#include <vector>

// Runs on a driver thread; it may only post window messages.
typedef LONG (CALLBACK* SNDICALLBACK)(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext);

// The sink handed to the driver at Advise; it forwards to a plain function.
class CNotifySink : public INotifySink
{
public:
    explicit CNotifySink(SNDICALLBACK pfnCallback);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP OnNotify(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext) override;

    // Cleared when its subscriber lets go: a driver that failed to cancel the
    // subscription may still call, and must then reach nothing.
    std::atomic<SNDICALLBACK> m_pfnCallback;
    LONG m_cRef;

private:
    virtual ~CNotifySink() = default;  // only Release deletes
};

struct SNDICONNECTION {
    UINT nCookie;
    CNotifySink* pSink;   // one reference owned
};

class CAdvise
{
public:
    CAdvise() = default;
    virtual ~CAdvise();

    CAdvise(const CAdvise&) = delete;
    CAdvise& operator=(const CAdvise&) = delete;

    UINT Advise(SNDICALLBACK pfnCallback, void* pContext);
    BOOL Unadvise(UINT nCookie);
    BOOL UnadviseAll();

    ISNDINotifySource* m_pNotifySource = nullptr;
    std::vector<SNDICONNECTION*> m_arrConnections;
};

class CSNDIBase : public CAdvise
{
public:
    ~CSNDIBase() override;

    virtual BOOL Init(IKVDevice* pDevice, IKVEndpoint* pEndpoint);
    virtual BOOL Uninit();
    virtual UINT Advise(SNDICALLBACK pfnCallback, void* pContext);
    virtual BOOL Unadvise(UINT nCookie);
    virtual HRESULT ResetToDefault();

    // The bound feature: where subscriptions and defaults go.
    IUnknown* m_pUnknown = nullptr;

protected:
    // The common binding: the endpoint when there is one, else the device.
    static HRESULT GetFeature(IKVDevice* pDevice, IKVEndpoint* pEndpoint, REFIID riid, void** ppv);
    void ReleaseUnknown();
};

// Releases and nulls in one step, so every close is safe to repeat.
template <class T>
inline void SafeRelease(T*& p)
{
    if (p) {
        T* q = p;
        p = nullptr;
        q->Release();
    }
}
