// Change notification and defaults, as every feature object offers them.
//
// A subscription belongs to what the object stands for, (node, source, sub),
// not to the object: it hears changes made through any object of that
// feature, in this process or another. One driver thread per process reads the
// machine-wide event ring and calls the matching sinks; it runs while this
// process has subscriptions. Dispatch and Unadvise share one recursive lock,
// so once Unadvise has returned its sink is never called again, and a sink may
// call back into the driver from OnNotify.
//
// An event reaches the subscribers of its own source on its node; a
// subwoofer gain change (0x813) also reaches the bass management subscribers.
// Element events reach only that element's subscribers (sub = element index);
// for every other source the sub is not compared (all reverb preset items
// share their node's presets). A preset change is posted once per flavour
// (wide 0x1001/0x1002, narrow 0x2001/0x2002), as the settings tool does.
#pragma once

#include "SimCom.h"

namespace simdrv {

class CFeatureSupport : public ISNDINotifySource, public ISNDIDefaults {
public:
    // ISNDINotifySource
    HRESULT STDMETHODCALLTYPE Advise(void* pContext, UINT* pCookie, INotifySink* pSink) override;
    KVSIM_UNUSED(4)
    HRESULT STDMETHODCALLTYPE Unadvise(UINT nCookie) override;
    // ISNDIDefaults
    HRESULT STDMETHODCALLTYPE Restore() override;

protected:
    virtual ~CFeatureSupport() = default;
    void Bind(const CNodeRef& ref, kvsim::Iface iface, kvsim::Source source, int nSub = 0,
              bool bDefaults = true);
    // The notify-source and defaults entries of the interface table.
    HRESULT FindSupport(REFIID riid, IUnknown** ppUnk);
    // Brings this feature back to the node's defaults (lock held, posts).
    virtual void RestoreFeature(int nNode, kvsim::Node& node) = 0;

    // Posts a change of this feature (or of another source of the same node).
    void Post(UINT dwHint, UINT dwArg) const { PostAs(m_source, m_nSub, dwHint, dwArg); }
    void PostAs(kvsim::Source source, int nSub, UINT dwHint, UINT dwArg) const;

    // The common shapes of feature methods. The accessors pick the field of
    // the node (and sub) the method works on.
    using BoolField = BOOL& (*)(kvsim::Node&, int nSub);
    using FloatField = float& (*)(kvsim::Node&, int nSub);
    using RangeField = kvsim::Range& (*)(kvsim::Node&, int nSub);
    HRESULT GetBool(BoolField field, BOOL* pb) const;
    HRESULT SetOnOff(BoolField field, BOOL bOn) const;  // posts KVHINT_ONOFF, 1 or 0
    HRESULT GetRangeOf(RangeField field, float* pMin, float* pMax, float* pStep, float* pExtra) const;
    HRESULT GetFloat(FloatField field, float* pValue) const;
    // Refuses values outside the range (state unchanged); posts (hint, arg).
    HRESULT SetFloat(FloatField field, RangeField range, float fValue, UINT dwHint, UINT dwArg) const;

    CNodeRef m_ref;
    kvsim::Iface m_iface = kvsim::Iface::Count;
    kvsim::Source m_source = kvsim::Source::EndpointEnum;
    int m_nSub = 0;
    bool m_bDefaults = true;
};

// True while this process has subscriptions or a driver thread.
bool NotifyBusy();

}  // namespace simdrv
