// The effect features: volume levelling, bass boost, bass management with its
// subwoofer gain, speaker levels, detail restoration, upmix with its
// processing elements (and their virtual surround), equalizer, reverb.
#pragma once

#include "SimCom.h"

namespace simdrv {

// GetFeature for the effect interfaces the node offers (lock held);
// E_NOINTERFACE for any other id or a feature the node lacks.
HRESULT CreateEffectFeature(const CNodeRef& ref, const kvsim::Node& node, REFIID riid, void** ppv);

}  // namespace simdrv
