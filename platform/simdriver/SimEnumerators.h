// The two classes callers create: the endpoint enumerator and the device
// enumerator (a cursor). Both are notification sources for KVEVT_ENDPOINTS.
#pragma once

#include "SimCom.h"

namespace simdrv {

HRESULT CreateEndpointEnum(REFIID riid, void** ppv);
HRESULT CreateDeviceEnum(REFIID riid, void** ppv);

}  // namespace simdrv
