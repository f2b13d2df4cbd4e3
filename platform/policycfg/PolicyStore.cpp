#include "PolicyStore.h"

#include "ScopedKey.h"

#include <objbase.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace policystore {
namespace {

// What the topology owns in the ordinary store; nobody may overwrite it.
constexpr PROPERTYKEY kFormFactorKey = {
    {0x1DA5D803, 0xD492, 0x4EDD, {0x8C, 0x23, 0xE0, 0xC0, 0xFF, 0xEE, 0x7F, 0x0E}}, 0};
constexpr PROPERTYKEY kInstancePathKey = {
    {0xB3F8FA53, 0x0004, 0x438E, {0x90, 0x03, 0x51, 0xA4, 0x6E, 0x13, 0x9B, 0xFC}}, 2};

constexpr DWORD kHeaderBytes = 4;   // VARTYPE, then two reserved bytes

bool SameKey(const PROPERTYKEY& a, const PROPERTYKEY& b)
{
    return a.pid == b.pid && IsEqualGUID(a.fmtid, b.fmtid);
}

// What the topology says about one endpoint, copied out under the state lock
// so the registry work below runs without it.
struct EndpointFacts {
    int nNode = -1;
    wchar_t szId[kvsim::kIdCch] = {};
    DWORD dwFormFactor = 0;
    wchar_t szInstancePath[kvsim::kPathCch] = {};
};

bool FindEndpoint(LPCWSTR pszId, EndpointFacts* pFacts)
{
    if (!pszId || !kvsim::Open())
        return false;
    kvsim::StateLock state;
    int n = kvsim::FindNodeById(*state, pszId);
    if (n < 0 || state->nodes[n].kind != kvsim::NodeKind::Endpoint)
        return false;
    const kvsim::Node& node = state->nodes[n];
    pFacts->nNode = n;
    wcsncpy(pFacts->szId, node.szId, kvsim::kIdCch - 1);
    pFacts->dwFormFactor = node.dwFormFactor;
    wcsncpy(pFacts->szInstancePath, node.szInstancePath, kvsim::kPathCch - 1);
    return true;
}

// Key names may not hold a backslash; '%' is escaped too so the mapping stays one to one.
std::wstring EscapeKeyName(const wchar_t* psz)
{
    std::wstring out;
    for (; *psz; ++psz) {
        if (*psz == L'\\')
            out += L"%5C";
        else if (*psz == L'%')
            out += L"%25";
        else
            out += *psz;
    }
    return out;
}

std::wstring StoreKeyPath(const EndpointFacts& facts, INT32 nStore)
{
    return std::wstring(kRootKey) + L"\\" + EscapeKeyName(kvsim::InstanceName()) + L"\\" +
           EscapeKeyName(facts.szId) + (nStore == 1 ? L"\\Fx" : L"\\Ep");
}

std::wstring ValueName(const PROPERTYKEY& key)
{
    wchar_t szGuid[40] = {};
    StringFromGUID2(key.fmtid, szGuid, 40);
    return std::wstring(szGuid) + L"," + std::to_wstring(key.pid);
}

HRESULT Encode(const PROPVARIANT& value, std::vector<BYTE>* pData)
{
    const BYTE* pPayload = nullptr;
    size_t cbPayload = 0;
    switch (value.vt) {
    case VT_UI4:
    case VT_I4:
        pPayload = reinterpret_cast<const BYTE*>(&value.ulVal);
        cbPayload = 4;
        break;
    case VT_BOOL:
        pPayload = reinterpret_cast<const BYTE*>(&value.boolVal);
        cbPayload = 2;
        break;
    case VT_LPWSTR:
        if (!value.pwszVal)
            return E_INVALIDARG;
        pPayload = reinterpret_cast<const BYTE*>(value.pwszVal);
        cbPayload = (wcslen(value.pwszVal) + 1) * sizeof(wchar_t);
        break;
    case VT_BLOB:
        if (value.blob.cbSize && !value.blob.pBlobData)
            return E_INVALIDARG;
        pPayload = value.blob.pBlobData;
        cbPayload = value.blob.cbSize;
        break;
    default:
        return E_INVALIDARG;
    }
    if (cbPayload > MAXDWORD - kHeaderBytes)   // more than one registry value holds
        return E_INVALIDARG;
    pData->assign(kHeaderBytes + cbPayload, 0);
    memcpy(pData->data(), &value.vt, sizeof(value.vt));
    if (cbPayload)
        memcpy(pData->data() + kHeaderBytes, pPayload, cbPayload);
    return S_OK;
}

// Anything that does not look like what Encode writes is refused rather than
// handed out half-read.
HRESULT Decode(const std::vector<BYTE>& data, PROPVARIANT* pValue)
{
    const HRESULT hrBad = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    if (data.size() < kHeaderBytes)
        return hrBad;
    VARTYPE vt;
    memcpy(&vt, data.data(), sizeof(vt));
    const BYTE* pPayload = data.data() + kHeaderBytes;
    const size_t cbPayload = data.size() - kHeaderBytes;
    switch (vt) {
    case VT_UI4:
    case VT_I4:
        if (cbPayload != 4)
            return hrBad;
        memcpy(&pValue->ulVal, pPayload, 4);
        break;
    case VT_BOOL:
        if (cbPayload != 2)
            return hrBad;
        memcpy(&pValue->boolVal, pPayload, 2);
        break;
    case VT_LPWSTR: {
        const size_t cch = cbPayload / sizeof(wchar_t);
        if (cch == 0 || cbPayload % sizeof(wchar_t))
            return hrBad;
        auto* psz = static_cast<wchar_t*>(CoTaskMemAlloc(cbPayload));
        if (!psz)
            return E_OUTOFMEMORY;
        memcpy(psz, pPayload, cbPayload);
        if (psz[cch - 1] != L'\0' || wcslen(psz) != cch - 1) {
            CoTaskMemFree(psz);
            return hrBad;
        }
        pValue->pwszVal = psz;
        break;
    }
    case VT_BLOB:
        pValue->blob.cbSize = static_cast<ULONG>(cbPayload);
        pValue->blob.pBlobData = nullptr;
        if (cbPayload) {
            pValue->blob.pBlobData = static_cast<BYTE*>(CoTaskMemAlloc(cbPayload));
            if (!pValue->blob.pBlobData) {
                pValue->blob.cbSize = 0;
                return E_OUTOFMEMORY;
            }
            memcpy(pValue->blob.pBlobData, pPayload, cbPayload);
        }
        break;
    default:
        return hrBad;
    }
    pValue->vt = vt;
    return S_OK;
}

HRESULT ReadStored(const EndpointFacts& facts, INT32 nStore, const PROPERTYKEY& key, PROPVARIANT* pValue)
{
    CScopedKey hKey;
    LSTATUS st = RegOpenKeyExW(HKEY_LOCAL_MACHINE, StoreKeyPath(facts, nStore).c_str(), 0,
                               KEY_QUERY_VALUE | KEY_WOW64_64KEY, hKey.Receive());
    if (st == ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    if (st != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(st);

    const std::wstring name = ValueName(key);
    std::vector<BYTE> data;
    DWORD dwType = 0, cb = 0;
    st = RegQueryValueExW(hKey, name.c_str(), nullptr, &dwType, nullptr, &cb);
    // Another process may rewrite the value between the two reads; retry then.
    for (int nTry = 0; st == ERROR_SUCCESS; ++nTry) {
        data.resize(cb);
        st = RegQueryValueExW(hKey, name.c_str(), nullptr, &dwType, data.empty() ? nullptr : data.data(), &cb);
        if (st == ERROR_SUCCESS) {
            data.resize(cb);
            break;
        }
        // Still growing after the last try: an error, never a half-read value.
        if (st == ERROR_MORE_DATA && nTry < 3)
            st = ERROR_SUCCESS;
    }
    if (st == ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    if (st != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(st);
    if (dwType != REG_BINARY)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    return Decode(data, pValue);
}

HRESULT ReadFromTopology(const EndpointFacts& facts, const PROPERTYKEY& key, PROPVARIANT* pValue)
{
    if (SameKey(key, kFormFactorKey)) {
        pValue->vt = VT_UI4;
        pValue->ulVal = facts.dwFormFactor;
        return S_OK;
    }
    const size_t cch = wcslen(facts.szInstancePath);
    if (cch == 0)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    auto* psz = static_cast<wchar_t*>(CoTaskMemAlloc((cch + 1) * sizeof(wchar_t)));
    if (!psz)
        return E_OUTOFMEMORY;
    memcpy(psz, facts.szInstancePath, (cch + 1) * sizeof(wchar_t));
    pValue->vt = VT_LPWSTR;
    pValue->pwszVal = psz;
    return S_OK;
}

bool OwnedByTopology(INT32 nStore, const PROPERTYKEY& key)
{
    return nStore == 0 && (SameKey(key, kFormFactorKey) || SameKey(key, kInstancePathKey));
}

// The checks both methods share, in the order callers can rely on: injected
// fault, null pointers, selector, endpoint.
HRESULT Prepare(kvsim::Iface iface, DWORD dwSlot, LPCWSTR pszEndpointId, INT32 nStore,
                const void* pKey, const void* pValue, EndpointFacts* pFacts)
{
    const bool bKnown = FindEndpoint(pszEndpointId, pFacts);
    HRESULT hr = kvsim::CheckFault(iface, dwSlot, pFacts->nNode);
    if (FAILED(hr))
        return hr;
    if (!pszEndpointId || !pKey || !pValue)
        return E_POINTER;
    if (nStore != 0 && nStore != 1)
        return E_INVALIDARG;
    if (!bKnown)
        return kvsim::Open() ? HRESULT_FROM_WIN32(ERROR_BAD_UNIT) : E_FAIL;
    return S_OK;
}

}  // namespace

HRESULT GetValue(kvsim::Iface iface, DWORD dwSlot, LPCWSTR pszEndpointId, INT32 nStore,
                 const PROPERTYKEY* pKey, PROPVARIANT* pValue)
{
    if (pValue)
        PropVariantInit(pValue);
    EndpointFacts facts;
    HRESULT hr = Prepare(iface, dwSlot, pszEndpointId, nStore, pKey, pValue, &facts);
    if (FAILED(hr))
        return hr;
    hr = OwnedByTopology(nStore, *pKey) ? ReadFromTopology(facts, *pKey, pValue)
                                        : ReadStored(facts, nStore, *pKey, pValue);
    if (FAILED(hr))
        PropVariantInit(pValue);   // Decode leaves nothing allocated on failure
    return hr;
}

HRESULT SetValue(kvsim::Iface iface, DWORD dwSlot, LPCWSTR pszEndpointId, INT32 nStore,
                 const PROPERTYKEY* pKey, const PROPVARIANT* pValue)
{
    EndpointFacts facts;
    HRESULT hr = Prepare(iface, dwSlot, pszEndpointId, nStore, pKey, pValue, &facts);
    if (FAILED(hr))
        return hr;
    if (OwnedByTopology(nStore, *pKey))
        return E_ACCESSDENIED;
    std::vector<BYTE> data;
    hr = Encode(*pValue, &data);
    if (FAILED(hr))
        return hr;

    CScopedKey hKey;
    LSTATUS st = RegCreateKeyExW(HKEY_LOCAL_MACHINE, StoreKeyPath(facts, nStore).c_str(), 0, nullptr, 0,
                                 KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, hKey.Receive(), nullptr);
    if (st == ERROR_SUCCESS)
        st = RegSetValueExW(hKey, ValueName(*pKey).c_str(), 0, REG_BINARY, data.data(),
                            static_cast<DWORD>(data.size()));
    return HRESULT_FROM_WIN32(st);
}

}  // namespace policystore
