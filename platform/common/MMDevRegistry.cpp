#include "MMDevRegistry.h"

#include <objbase.h>
#include <mmdeviceapi.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

const wchar_t kStoreKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";
const wchar_t kRenderKey[] = L"Render";
const wchar_t kCaptureKey[] = L"Capture";
const wchar_t kPropertiesKey[] = L"Properties";
const wchar_t kDeviceStateValue[] = L"DeviceState";
// Marks keys written here so that removal can never take one of Wine's devices.
const wchar_t kOwnedValue[] = L"KVSimOwned";

const wchar_t kRenderPrefix[] = L"{0.0.0.00000000}.";
const wchar_t kCapturePrefix[] = L"{0.0.1.00000000}.";
constexpr size_t kPrefixLength = ARRAYSIZE(kRenderPrefix) - 1;
constexpr size_t kGuidLength = 38;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"

// Property values are named "{fmtid},pid", in the case Wine itself writes them.
const wchar_t kPropFriendlyName[] = L"{A45C254E-DF1C-4EFD-8020-67D146A850E0},14";
const wchar_t kPropDeviceDesc[] = L"{A45C254E-DF1C-4EFD-8020-67D146A850E0},2";
const wchar_t kPropInterfaceFriendlyName[] = L"{026E516E-B814-414B-83CD-856D6FEF4822},2";
const wchar_t kPropFormFactor[] = L"{1DA5D803-D492-4EDD-8C23-E0C0FFEE7F0E},0";
const wchar_t kPropPhysicalSpeakers[] = L"{1DA5D803-D492-4EDD-8C23-E0C0FFEE7F0E},3";
const wchar_t kPropDeviceFormat[] = L"{F19F064D-082C-4E27-BC73-6882A1BB8E4C},0";
const wchar_t kPropOemFormat[] = L"{E4870E26-3CC5-4CD2-BA46-CA0A9A70ED04},0";

// KSDATAFORMAT_SUBTYPE_PCM, spelled out to spare a link against ksuser/uuid.
const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr WORD kBitsPerSample = 16;

HRESULT FromStatus(LSTATUS status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

// Wine's mmdevapi reads the 64-bit view even from 32-bit processes.
constexpr REGSAM kView = KEY_WOW64_64KEY;

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { if (m_key) RegCloseKey(m_key); }

    HKEY get() const { return m_key; }
    HKEY* put() { return &m_key; }

private:
    HKEY m_key = nullptr;
};

LSTATUS OpenFlowRoot(bool capture, bool create, REGSAM access, RegKey& key)
{
    std::wstring path = std::wstring(kStoreKey) + L"\\" + (capture ? kCaptureKey : kRenderKey);
    if (create)
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access | kView, nullptr,
                               key.put(), nullptr);
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | kView, key.put());
}

bool IsOwned(HKEY endpointKey)
{
    DWORD value = 0, size = sizeof(value);
    return RegGetValueW(endpointKey, nullptr, kOwnedValue, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
               ERROR_SUCCESS &&
           value == 1;
}

LSTATUS SetDword(HKEY key, const wchar_t* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LSTATUS SetString(HKEY key, const wchar_t* name, const wchar_t* value)
{
    DWORD size = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), size);
}

// Wine turns REG_BINARY into VT_BLOB of the value's exact size.
LSTATUS SetBinary(HKEY key, const wchar_t* name, const void* data, DWORD size)
{
    return RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

std::wstring GuidKeyName(const GUID& guid)
{
    wchar_t text[kGuidLength + 1] = {};
    StringFromGUID2(guid, text, ARRAYSIZE(text));
    return text;
}

// Deletes one endpoint key under an open flow root if it is ours.
HRESULT RemoveOwned(HKEY root, const wchar_t* name)
{
    {
        RegKey endpoint;
        LSTATUS status = RegOpenKeyExW(root, name, 0, KEY_QUERY_VALUE | kView, endpoint.put());
        if (status == ERROR_FILE_NOT_FOUND)
            return S_FALSE;
        if (status != ERROR_SUCCESS)
            return FromStatus(status);
        if (!IsOwned(endpoint.get()))
            return E_ACCESSDENIED;
    }
    LSTATUS status = RegDeleteTreeW(root, name);
    return status == ERROR_FILE_NOT_FOUND ? S_FALSE : FromStatus(status);
}

} // namespace

// Splits an endpoint id into its data flow and GUID. E_INVALIDARG if malformed.
static HRESULT ParseEndpointId(const wchar_t* endpointId, bool* capture, GUID* guid)
{
    if (!endpointId || !capture || !guid)
        return E_POINTER;
    if (wcslen(endpointId) != kPrefixLength + kGuidLength)
        return E_INVALIDARG;

    bool isCapture;
    if (!wcsncmp(endpointId, kRenderPrefix, kPrefixLength))
        isCapture = false;
    else if (!wcsncmp(endpointId, kCapturePrefix, kPrefixLength))
        isCapture = true;
    else
        return E_INVALIDARG;

    // IIDFromString accepts only the braced form and never consults the registry.
    GUID parsed;
    if (FAILED(IIDFromString(endpointId + kPrefixLength, &parsed)))
        return E_INVALIDARG;
    *capture = isCapture;
    *guid = parsed;
    return S_OK;
}

static WAVEFORMATEXTENSIBLE MakeDeviceFormat(WORD channels, DWORD channelMask, DWORD sampleRate)
{
    WAVEFORMATEXTENSIBLE format = {};
    format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    format.Format.nChannels = channels;
    format.Format.nSamplesPerSec = sampleRate;
    format.Format.wBitsPerSample = kBitsPerSample;
    format.Format.nBlockAlign = static_cast<WORD>(channels * (kBitsPerSample / 8));
    format.Format.nAvgBytesPerSec = sampleRate * format.Format.nBlockAlign;
    format.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    format.Samples.wValidBitsPerSample = kBitsPerSample;
    format.dwChannelMask = channelMask;
    format.SubFormat = kSubtypePcm;
    return format;
}

HRESULT MMDevRegisterEndpoint(const wchar_t* endpointId, bool capture, const wchar_t* friendlyName,
                              DWORD formFactor, WORD channels, DWORD channelMask, DWORD sampleRate,
                              bool active, bool extensible)
{
    static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40, "device format blob must be 40 bytes");

    if (!friendlyName)
        return E_POINTER;
    bool idIsCapture = false;
    GUID guid;
    HRESULT hr = ParseEndpointId(endpointId, &idIsCapture, &guid);
    if (FAILED(hr))
        return hr;
    const std::wstring keyName = GuidKeyName(guid);
    // GetDevice compares the whole id case-sensitively with Wine's upper-case form.
    if (idIsCapture != capture || keyName != endpointId + kPrefixLength)
        return E_INVALIDARG;
    // Wine skips a stored endpoint without a friendly name.
    if (!*friendlyName || channels == 0 || sampleRate == 0)
        return E_INVALIDARG;
    const ULONGLONG blockAlign = ULONGLONG(channels) * (kBitsPerSample / 8);
    if (blockAlign > 0xFFFF || blockAlign * sampleRate > 0xFFFFFFFFull)
        return E_INVALIDARG;

    RegKey root;
    LSTATUS status = OpenFlowRoot(capture, true, KEY_CREATE_SUB_KEY, root);
    if (status != ERROR_SUCCESS)
        return FromStatus(status);

    RegKey endpoint;
    DWORD disposition = 0;
    status = RegCreateKeyExW(root.get(), keyName.c_str(), 0, nullptr, 0,
                             KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | kView, nullptr,
                             endpoint.put(), &disposition);
    if (status != ERROR_SUCCESS)
        return FromStatus(status);
    if (disposition == REG_OPENED_EXISTING_KEY && !IsOwned(endpoint.get()))
        return E_ACCESSDENIED;
    // Claimed first, so that a registration cut short can still be removed.
    status = SetDword(endpoint.get(), kOwnedValue, 1);
    if (status == ERROR_SUCCESS)
        status = SetDword(endpoint.get(), kDeviceStateValue,
                          active ? DEVICE_STATE_ACTIVE : DEVICE_STATE_NOTPRESENT);
    if (status != ERROR_SUCCESS)
        return FromStatus(status);

    RegKey properties;
    status = RegCreateKeyExW(endpoint.get(), kPropertiesKey, 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr,
                             properties.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return FromStatus(status);

    const WAVEFORMATEXTENSIBLE format = MakeDeviceFormat(channels, channelMask, sampleRate);
    // Without the extension: the plain head, tagged PCM, with no extra bytes.
    WAVEFORMATEX plain = format.Format;
    plain.wFormatTag = WAVE_FORMAT_PCM;
    plain.cbSize = 0;
    const HKEY props = properties.get();
    status = extensible ? SetBinary(props, kPropDeviceFormat, &format, sizeof(format))
                        : SetBinary(props, kPropDeviceFormat, &plain, sizeof(plain));
    if (status == ERROR_SUCCESS)
        status = SetBinary(props, kPropOemFormat, &format, sizeof(format));
    if (status == ERROR_SUCCESS)
        status = SetDword(props, kPropFormFactor, formFactor);
    if (status == ERROR_SUCCESS && !capture)
        status = SetDword(props, kPropPhysicalSpeakers, channelMask);
    if (status == ERROR_SUCCESS)
        status = SetString(props, kPropDeviceDesc, friendlyName);
    if (status == ERROR_SUCCESS)
        status = SetString(props, kPropInterfaceFriendlyName, friendlyName);
    // Last, because the name is what makes Wine pick the endpoint up: a process
    // starting meanwhile sees either nothing or the whole description.
    if (status == ERROR_SUCCESS)
        status = SetString(props, kPropFriendlyName, friendlyName);
    return FromStatus(status);
}

HRESULT MMDevRemoveEndpoint(const wchar_t* endpointId)
{
    bool capture = false;
    GUID guid;
    HRESULT hr = ParseEndpointId(endpointId, &capture, &guid);
    if (FAILED(hr))
        return hr;

    RegKey root;
    LSTATUS status = OpenFlowRoot(capture, false, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | DELETE, root);
    if (status == ERROR_FILE_NOT_FOUND)
        return S_FALSE;
    if (status != ERROR_SUCCESS)
        return FromStatus(status);
    return RemoveOwned(root.get(), GuidKeyName(guid).c_str());
}
