// Speaker configuration: the driver's speaker layouts and the current one.
#pragma once

#include "SimCom.h"

namespace simdrv {

// GetFeature for ISNDISpkConfig (version 1 and up) and ISNDISpkConfig2
// (version 2), lock held; E_NOINTERFACE otherwise.
HRESULT CreateSpeakerFeature(const CNodeRef& ref, const kvsim::Node& node, REFIID riid, void** ppv);

}  // namespace simdrv
