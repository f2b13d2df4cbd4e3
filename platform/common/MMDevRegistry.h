// Simulated audio endpoints for the stand-in driver. Wine's own device
// enumerator builds its device list from the machine's Core Audio device store
// (HKLM\Software\Microsoft\Windows\CurrentVersion\MMDevices\Audio), so an
// endpoint described there is found by IMMDeviceEnumerator::GetDevice and its
// property store reports the format written here, while every other Core Audio
// object stays Wine's.
//
// What Wine makes of such an endpoint:
//  - the enumerator reads the store once per process, when mmdevapi hands out
//    its first class object; endpoints registered later are not seen by that
//    process, but property values are read afresh on every GetValue;
//  - GetState reports DEVICE_STATE_NOTPRESENT whatever is registered, and every
//    process that loads the enumerator rewrites DeviceState to that and the
//    form factor to Speakers/Microphone, since no Wine driver owns the device;
//  - GetDevice matches ids case-sensitively against the upper-case form, so
//    only upper-case GUIDs are accepted;
//  - nothing is listed when the prefix selects no audio driver at all
//    (HKCU\Software\Wine\Drivers "Audio" empty).
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

// Endpoint ids have the form "{0.0.0.00000000}.{GUID}" (render) or
// "{0.0.1.00000000}.{GUID}" (capture), GUID in upper case as GetId returns it.
// Writes or refreshes one endpoint so that GetDevice(endpointId) finds it and
// PKEY_AudioEngine_DeviceFormat yields a 16-bit PCM WAVEFORMATEXTENSIBLE with
// the given layout (with extensible false, a plain 18-byte WAVEFORMATEX, for
// showing how callers treat such formats). capture must agree with the id.
// Fails with E_ACCESSDENIED when the id belongs to an endpoint that was not
// registered here.
HRESULT MMDevRegisterEndpoint(const wchar_t* endpointId, bool capture, const wchar_t* friendlyName,
                              DWORD formFactor, WORD channels, DWORD channelMask, DWORD sampleRate,
                              bool active, bool extensible = true);

// Removes an endpoint registered here. S_FALSE when there is none; E_ACCESSDENIED
// for an endpoint that was not registered here.
HRESULT MMDevRemoveEndpoint(const wchar_t* endpointId);
