// The audio driver's COM interfaces as the plug-in calls them.
// Method order is the contract: each interface lists its methods in vtable
// order, and a slot nobody calls is declared as UnusedN so that every method
// that is called sits at its fixed number (0-2 being IUnknown's).
#pragma once

#include "features/KVDriverTypes.h"

#include <unknwn.h>

// Also used by the other contract headers.
#define KV_METHOD(name) virtual HRESULT STDMETHODCALLTYPE name
#define KV_UNUSED(n) virtual HRESULT STDMETHODCALLTYPE Unused##n() = 0

struct IKVEndpoint;
struct IKVDevice;
struct IKVAdaptor;
struct INotifySink;
struct ISNDIElement;
struct ISNDIRVXPresetU;

// ---- Enumerators -------------------------------------------------------------

struct IKVEndpointEnum : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    // 7: S_OK while an endpoint of that flow and state exists at the index.
    KV_METHOD(GetEndpoint)(UINT nIndex, UINT nDataFlow, DWORD dwStateMask, IKVEndpoint** ppEndpoint) = 0;
};

// A cursor over the driver's devices: Reset, then Next and GetCurrent.
struct IKVDeviceEnum : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_METHOD(IsEmpty)() = 0;                         // 7: 0 when there is something to enumerate
    KV_METHOD(IsLast)() = 0;                          // 8: nonzero at the last device
    KV_METHOD(Next)() = 0;                            // 9: negative past the end
    KV_METHOD(Reset)() = 0;                           // 10
    KV_METHOD(GetCurrent)(IKVDevice** ppDevice) = 0;  // 11: 0 when it yields a device
};

// ---- Device, endpoint, adaptor -------------------------------------------------

struct IKVEndpoint : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    // 7: the OS endpoint id, allocated with CoTaskMemAlloc.
    KV_METHOD(GetEndpointId)(DWORD* pdwFlags, LPWSTR* ppszId) = 0;
    KV_UNUSED(8);
    KV_METHOD(GetFeature)(REFIID riid, void** ppv) = 0;        // 9
    KV_METHOD(GetAdaptor)(IKVAdaptor** ppAdaptor) = 0;         // 10
};

struct IKVDevice : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_METHOD(GetDeviceInfo)(KVDEVICEINFO* pInfo) = 0;         // 7
    KV_UNUSED(8);
    KV_METHOD(GetFeature)(REFIID riid, void** ppv) = 0;        // 9
};

struct IKVAdaptor : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_UNUSED(7);
    KV_METHOD(GetFeature)(REFIID riid, void** ppv) = 0;        // 8
    // 9: the adaptor id, allocated with CoTaskMemAlloc.
    KV_METHOD(GetAdaptorId)(DWORD* pdwReserved, LPWSTR* ppszId) = 0;
};

// ---- Notification and defaults -------------------------------------------------

// Implemented by the plug-in; the driver calls it from a thread of its own.
struct INotifySink : IUnknown {
    KV_METHOD(OnNotify)(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext) = 0;  // 3
};

struct ISNDINotifySource : IUnknown {
    KV_METHOD(Advise)(void* pContext, UINT* pCookie, INotifySink* pSink) = 0;  // 3
    KV_UNUSED(4);
    // 5: once this succeeds the sink is never called again.
    KV_METHOD(Unadvise)(UINT nCookie) = 0;
};

struct ISNDIDefaults : IUnknown {
    KV_METHOD(Restore)() = 0;  // 3
};

struct ISNDIPresetDefaults : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_METHOD(RestorePresets)(const KVPRESETCONFIG* pConfig) = 0;  // 7
};

// ---- Features ------------------------------------------------------------------
// A range is minimum, maximum, granularity and a fourth value nobody reads.

struct ISNDIAGC : IUnknown {
    KV_METHOD(Enable)() = 0;                 // 3
    KV_METHOD(Disable)() = 0;                // 4
    KV_METHOD(IsEnabled)(BOOL* pb) = 0;      // 5
};

struct ISNDIBassBoost : IUnknown {
    KV_METHOD(GetRange)(float* pMin, float* pMax, float* pStep, float* pExtra) = 0;           // 3
    KV_METHOD(GetValue)(float* pValue) = 0;                                                   // 4
    KV_METHOD(SetValue)(float fValue) = 0;                                                    // 5
    KV_METHOD(GetFrequencyRange)(float* pMin, float* pMax, float* pStep, float* pExtra) = 0;  // 6
    KV_METHOD(GetFrequency)(float* pValue) = 0;                                               // 7
    KV_METHOD(SetFrequency)(float fValue) = 0;                                                // 8
    KV_METHOD(Enable)() = 0;                                                                  // 9
    KV_METHOD(Disable)() = 0;                                                                 // 10
    KV_METHOD(IsEnabled)(BOOL* pb) = 0;                                                       // 11
};

struct ISNDIBassManagement : IUnknown {
    KV_METHOD(GetRange)(float* pMin, float* pMax, float* pStep, float* pExtra) = 0;  // 3
    KV_METHOD(GetValue)(float* pValue) = 0;                                          // 4
    KV_METHOD(SetValue)(float fValue) = 0;                                           // 5
    KV_METHOD(Enable)() = 0;                                                         // 6
    KV_METHOD(Disable)() = 0;                                                        // 7
    KV_METHOD(IsEnabled)(BOOL* pb) = 0;                                              // 8
};

struct ISNDISubWooferGain : IUnknown {
    KV_METHOD(GetRange)(float* pMin, float* pMax, float* pStep, float* pExtra) = 0;  // 3
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_METHOD(GetState)(DWORD* pdwState) = 0;   // 6: 1 = gain applied
    KV_METHOD(SetState)(DWORD dwState) = 0;     // 7
};

struct ISNDIMixerFx : IUnknown {
    KV_UNUSED(3);
    KV_METHOD(GetLevel)(UINT nSpeaker, LONG* pnLevel) = 0;  // 4: percent
    KV_METHOD(SetLevel)(UINT nSpeaker, LONG nLevel) = 0;    // 5
};

struct ISNDIPdp : IUnknown {
    KV_METHOD(Enable)() = 0;                                                         // 3
    KV_METHOD(Disable)() = 0;                                                        // 4
    KV_METHOD(IsEnabled)(BOOL* pb) = 0;                                              // 5
    KV_METHOD(GetRange)(float* pMin, float* pMax, float* pStep, float* pExtra) = 0;  // 6
    KV_METHOD(GetValue)(float* pValue) = 0;                                          // 7
    KV_METHOD(SetValue)(float fValue) = 0;                                           // 8
};

struct ISNDIElement : IUnknown {
    // 3: E_ACCESSDENIED still delivers the type.
    KV_METHOD(GetType)(DWORD* pdwType) = 0;
};

struct ISNDIUpmix : IUnknown {
    KV_METHOD(GetElement)(UINT nIndex, ISNDIElement** ppElement) = 0;  // 3
    KV_UNUSED(4);
    KV_METHOD(SelectElement)(UINT nIndex) = 0;                         // 5
    KV_UNUSED(6);
    KV_METHOD(Enable)() = 0;                                           // 7
    // 8: the surround page names the element; other callers pass nothing,
    // so the driver must not depend on the argument.
    KV_METHOD(Disable)(UINT nElement = 0) = 0;
    KV_METHOD(IsEnabled)(BOOL* pb) = 0;                                // 9
};

struct ISNDIVSUR3 : IUnknown {
    KV_UNUSED(3);
    KV_METHOD(GetRange)(float* pMin, float* pMax, float* pStep, float* pExtra) = 0;  // 4
    KV_METHOD(GetValue)(float* pValue) = 0;                                          // 5
    KV_METHOD(SetValue)(float fValue) = 0;                                           // 6
    KV_UNUSED(7);
    KV_UNUSED(8);
    KV_UNUSED(9);
    KV_UNUSED(10);
    KV_UNUSED(11);
    KV_UNUSED(12);
    KV_UNUSED(13);
    KV_UNUSED(14);
    KV_UNUSED(15);
    KV_METHOD(GetXDSurMode)(DWORD* pdwMode) = 0;  // 16
    KV_METHOD(SetXDSurMode)(DWORD dwMode) = 0;    // 17
};

struct ISNDIEQ : IUnknown {
    // 3: label (128 bytes, ANSI code page) and a 64-byte text nobody reads.
    KV_METHOD(GetBandInfo)(UINT nBand, char* pszLabel, char* pszExtra) = 0;
    KV_METHOD(GetBandRange)(UINT nBand, float* pMin, float* pMax, float* pStep, float* pExtra) = 0;  // 4
    KV_METHOD(GetBandLevel)(UINT nBand, float* pLevel) = 0;                                         // 5
    KV_METHOD(SetBandLevel)(UINT nBand, float fLevel) = 0;                                          // 6
    KV_METHOD(GetPreampRange)(float* pMin, float* pMax, float* pStep, float* pExtra) = 0;           // 7
    KV_METHOD(GetPreamp)(float* pLevel) = 0;                                                        // 8
    KV_METHOD(SetPreamp)(float fLevel) = 0;                                                         // 9
    KV_METHOD(Enable)() = 0;                                                                        // 10
    KV_METHOD(Disable)() = 0;                                                                       // 11
    KV_METHOD(IsEnabled)(BOOL* pb) = 0;                                                             // 12
};

struct ISNDIRVXEnvironment : IUnknown {
    KV_METHOD(GetRange)(float* pMin, float* pMax, float* pStep, float* pExtra) = 0;  // 3
    KV_METHOD(GetValue)(float* pValue) = 0;                                          // 4
    KV_METHOD(SetValue)(float fValue) = 0;                                           // 5
    KV_METHOD(Enable)() = 0;                                                         // 6
    KV_METHOD(Disable)() = 0;                                                        // 7
    KV_METHOD(IsEnabled)(BOOL* pb) = 0;                                              // 8
};

// ---- Presets -------------------------------------------------------------------
// Wide keys travel in 320-byte buffers, narrow ones through the address of a
// pointer to a 128-byte buffer ("narrow out-buffer").

struct ISNDIEQPresetU : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_METHOD(EnumPreset)(UINT nIndex, DWORD* pdwKind, LPWSTR pszKey) = 0;          // 7
    KV_METHOD(GetActivePreset)(LPWSTR pszKey) = 0;                                  // 8
    KV_METHOD(SetActivePreset)(LPCWSTR pszKey) = 0;                                 // 9
    KV_METHOD(DeletePreset)(LPCWSTR pszKey) = 0;                                    // 10
    KV_METHOD(SavePreset)(DWORD dw1, DWORD dw2, DWORD dw3, LPCWSTR pszName, LPWSTR pszNewKey) = 0;  // 11
    KV_UNUSED(12);
    KV_METHOD(SetPresetConfig)(const KVPRESETCONFIG* pConfig) = 0;                  // 13
    KV_METHOD(GetPresetName)(LPCWSTR pszKey, LPWSTR pszName) = 0;                   // 14: 128 units
    KV_METHOD(SetLanguageConfig)(DWORD dwLanguage) = 0;                             // 15
};

struct ISNDIEQPreset : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_METHOD(EnumPreset)(UINT nIndex, DWORD* pdwKind, char** ppszKey) = 0;         // 7
    KV_METHOD(GetActivePreset)(char** ppszKey) = 0;                                 // 8
    KV_METHOD(SetActivePreset)(const char* pszKey) = 0;                             // 9
    KV_METHOD(DeletePreset)(const char* pszKey) = 0;                                // 10
    KV_METHOD(SavePreset)(DWORD dw1, DWORD dw2, DWORD dw3, KVCOUNTEDSTR* pName, char** ppszNewKey) = 0;  // 11
    KV_UNUSED(12);
    KV_METHOD(SetPresetConfig)(const KVPRESETCONFIG* pConfig) = 0;                  // 13
    KV_METHOD(GetPresetName)(const char* pszKey, KVCOUNTEDSTR* pName) = 0;          // 14
    KV_METHOD(SetLanguageConfig)(DWORD dwLanguage) = 0;                             // 15
};

struct ISNDIRVXPresetU : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_METHOD(EnumPreset)(UINT nIndex, DWORD* pdwKind, LPWSTR pszKey) = 0;  // 7
    KV_METHOD(GetActivePreset)(LPWSTR pszKey) = 0;                          // 8
    KV_METHOD(SetActivePreset)(LPCWSTR pszKey) = 0;                         // 9
    KV_UNUSED(10);
    KV_UNUSED(11);
    KV_UNUSED(12);
    KV_METHOD(SetPresetConfig)(const KVPRESETCONFIG* pConfig) = 0;          // 13
    KV_METHOD(GetPresetName)(LPCWSTR pszKey, LPWSTR pszName) = 0;           // 14
    KV_METHOD(SetLanguageConfig)(DWORD dwLanguage) = 0;                     // 15
    KV_METHOD(SelectPresetSet)(const GUID* pSet) = 0;                       // 16
    KV_METHOD(Enable)() = 0;                                                // 17
    KV_METHOD(Disable)() = 0;                                               // 18
    KV_METHOD(IsEnabled)(BOOL* pb) = 0;                                     // 19
    // 20: callers preset the mode to 4096; 8192 = switched with the environment.
    KV_METHOD(GetPresetInfo)(DWORD* pdwRank, DWORD* pdwMode) = 0;
};

struct ISNDIRVXPreset : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_METHOD(EnumPreset)(UINT nIndex, DWORD* pdwKind, char** ppszKey) = 0;  // 7
    KV_METHOD(GetActivePreset)(char** ppszKey) = 0;                          // 8
    KV_METHOD(SetActivePreset)(const char* pszKey) = 0;                      // 9
    KV_UNUSED(10);
    KV_UNUSED(11);
    KV_UNUSED(12);
    KV_METHOD(SetPresetConfig)(const KVPRESETCONFIG* pConfig) = 0;           // 13
    KV_METHOD(SelectPresetSet)(const GUID* pSet) = 0;                        // 14
    KV_METHOD(Enable)() = 0;                                                 // 15
    KV_METHOD(Disable)() = 0;                                                // 16
    KV_METHOD(IsEnabled)(BOOL* pb) = 0;                                      // 17
    KV_METHOD(GetPresetName)(const char* pszKey, KVCOUNTEDSTR* pName) = 0;   // 18
    KV_METHOD(SetLanguageConfig)(DWORD dwLanguage) = 0;                      // 19
};

struct ISNDIRVXPresetList : IUnknown {
    KV_UNUSED(3);
    KV_UNUSED(4);
    KV_UNUSED(5);
    KV_UNUSED(6);
    KV_METHOD(GetItem)(UINT nIndex, ISNDIRVXPresetU** ppItem) = 0;  // 7
};

// ---- Speaker configuration -----------------------------------------------------

struct ISNDISpkConfig : IUnknown {
    KV_METHOD(GetCount)(UINT* pnCount) = 0;                             // 3
    KV_METHOD(GetConfig)(UINT nIndex, SpeakerConfigInfo* pInfo) = 0;    // 4
    KV_UNUSED(5);
    KV_METHOD(GetCurrent)(UINT* pnIndex) = 0;                           // 6
    KV_METHOD(SetCurrent)(UINT nIndex, DWORD dwReserved) = 0;           // 7
};

struct ISNDISpkConfig2 : ISNDISpkConfig {
    KV_UNUSED(8);
    // 9: callers pass 0, 0, 1 after the id.
    KV_METHOD(SetCurrentByFormat)(const GUID* pFormat, DWORD dw1, DWORD dw2, DWORD dw3) = 0;
};


