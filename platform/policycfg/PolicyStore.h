// The per-endpoint property stores behind both service interfaces. Values
// live in the registry (HKLM, 64-bit view) so every process of the machine
// sees the same stores, and they outlive the processes:
//   Software\KVSim\PropertyStore\<instance>\<endpoint id>\Fx  (selector 1)
//   Software\KVSim\PropertyStore\<instance>\<endpoint id>\Ep  (selector 0)
// one REG_BINARY value per "{fmtid},pid": the VARTYPE in a 4-byte header,
// then the payload (4 bytes for VT_UI4/VT_I4, 2 for VT_BOOL, the UTF-16
// string with its terminator for VT_LPWSTR, the bytes for VT_BLOB).
//
// Failures: E_POINTER for null arguments, E_INVALIDARG for other selectors or
// value types, HRESULT_FROM_WIN32(ERROR_BAD_UNIT) for an endpoint id the
// simulated topology does not know, HRESULT_FROM_WIN32(ERROR_NOT_FOUND) for a
// property never written, E_ACCESSDENIED when writing what the topology owns
// (form factor and device instance path in the ordinary store). Nothing is
// stored on any failure.
#pragma once

#include "SimState.h"

#include <propidl.h>

namespace policystore {

constexpr wchar_t kRootKey[] = L"Software\\KVSim\\PropertyStore";

// Both start with kvsim::CheckFault(iface, dwSlot, node of the endpoint).
HRESULT GetValue(kvsim::Iface iface, DWORD dwSlot, LPCWSTR pszEndpointId, INT32 nStore,
                 const PROPERTYKEY* pKey, PROPVARIANT* pValue);
HRESULT SetValue(kvsim::Iface iface, DWORD dwSlot, LPCWSTR pszEndpointId, INT32 nStore,
                 const PROPERTYKEY* pKey, const PROPVARIANT* pValue);

}  // namespace policystore
