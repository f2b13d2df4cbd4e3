// The endpoint, device and adaptor objects the enumerators hand out, and the
// preset defaults each of them offers.
#pragma once

#include "SimCom.h"

namespace simdrv {

HRESULT CreateEndpoint(const CNodeRef& ref, IKVEndpoint** ppEndpoint);
HRESULT CreateDevice(const CNodeRef& ref, IKVDevice** ppDevice);

}  // namespace simdrv
