// Records, ids and event codes shared with the audio driver's COM server.
// The plug-in and the simulated driver both include this file, so a layout
// change shows up on both sides of the contract at once.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstddef>

// GUIDs as inline constants so every translation unit can use them without a
// separate definition file.
#define KV_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

// ---- Classes -------------------------------------------------------------
KV_DEFINE_GUID(CLSID_KVEndpointEnum, 0x1155AB2C, 0x0D17, 0x4CA5, 0x8D, 0x9D, 0xD7, 0xE3, 0x91, 0xE6, 0x98, 0x54);
KV_DEFINE_GUID(CLSID_KVDeviceEnum, 0x06DE7160, 0xFCD9, 0x40EE, 0xBD, 0x0C, 0x65, 0xFE, 0x5A, 0x70, 0xA6, 0x98);

// ---- Enumerators, device, endpoint, adaptor ------------------------------
KV_DEFINE_GUID(IID_IKVEndpointEnum, 0xB63046B3, 0x39B0, 0x4A9A, 0x88, 0x1C, 0x9D, 0x54, 0x60, 0x57, 0xD9, 0xC8);
KV_DEFINE_GUID(IID_IKVDeviceEnum, 0x3E47F87F, 0x6DB2, 0x4C3F, 0x9C, 0x54, 0x54, 0xC0, 0x2A, 0x93, 0x95, 0xF3);
// The driver hands these three out directly; nobody asks for them by id, but
// QueryInterface still needs something to answer to.
KV_DEFINE_GUID(IID_IKVEndpoint, 0x5B3C1D2E, 0x7A41, 0x4C8E, 0x9E, 0x01, 0x3A, 0x6B, 0x11, 0x72, 0xC4, 0x01);
KV_DEFINE_GUID(IID_IKVDevice, 0x5B3C1D2E, 0x7A41, 0x4C8E, 0x9E, 0x01, 0x3A, 0x6B, 0x11, 0x72, 0xC4, 0x02);
KV_DEFINE_GUID(IID_IKVAdaptor, 0x5B3C1D2E, 0x7A41, 0x4C8E, 0x9E, 0x01, 0x3A, 0x6B, 0x11, 0x72, 0xC4, 0x03);

// ---- Notification and defaults -------------------------------------------
KV_DEFINE_GUID(IID_ISNDINotifySource, 0x4E953B53, 0x09B5, 0x4EEB, 0xB4, 0x1B, 0xF9, 0x4C, 0x59, 0x0D, 0x27, 0x36);
KV_DEFINE_GUID(IID_INotifySink, 0x6CB33A03, 0xF351, 0x4C59, 0x90, 0x89, 0xAE, 0x18, 0x1E, 0xAC, 0x6B, 0x43);
KV_DEFINE_GUID(IID_ISNDIDefaults, 0x206FF35C, 0xB244, 0x451A, 0xAE, 0xBE, 0x0F, 0x4B, 0xA9, 0x2E, 0xE9, 0xDF);
KV_DEFINE_GUID(IID_ISNDIPresetDefaults, 0x201F73FE, 0xA5E1, 0x4015, 0x95, 0x7B, 0x5D, 0xC7, 0x4C, 0x8D, 0x6E, 0xDB);

// ---- Features --------------------------------------------------------------
KV_DEFINE_GUID(IID_ISNDIAGC, 0x1B10F7AC, 0x578A, 0x4E53, 0xA8, 0xA8, 0x48, 0x6A, 0xA4, 0x6B, 0x9D, 0xC3);
KV_DEFINE_GUID(IID_ISNDIBassBoost, 0x366E47F2, 0x4826, 0x4B70, 0xB3, 0xF3, 0xD4, 0x5E, 0xB7, 0xD9, 0xBE, 0x77);
KV_DEFINE_GUID(IID_ISNDIBassManagement, 0xB140AF69, 0x5F08, 0x44B9, 0xB0, 0x33, 0xD9, 0x47, 0x27, 0xFA, 0x33, 0xCB);
KV_DEFINE_GUID(IID_ISNDISubWooferGain, 0x19A10F22, 0x0086, 0x4ED4, 0xAC, 0xE2, 0x47, 0x81, 0xF1, 0xC8, 0x00, 0xB3);
KV_DEFINE_GUID(IID_ISNDIMixerFx, 0x092A9A37, 0xD6DF, 0x43D2, 0x9C, 0xB5, 0xA8, 0x17, 0x8A, 0xDC, 0x54, 0x94);
KV_DEFINE_GUID(IID_ISNDIPdp, 0x36F354C3, 0x6ABA, 0x4153, 0xBF, 0xDA, 0x8C, 0x9A, 0x15, 0xA4, 0x88, 0x1A);
KV_DEFINE_GUID(IID_ISNDIUpmix, 0x24A019C9, 0xCC42, 0x4D0A, 0xB2, 0xB6, 0xC9, 0xB9, 0x36, 0x63, 0x4D, 0x08);
// Elements come from ISNDIUpmix::GetElement, never by id.
KV_DEFINE_GUID(IID_ISNDIElement, 0x5B3C1D2E, 0x7A41, 0x4C8E, 0x9E, 0x01, 0x3A, 0x6B, 0x11, 0x72, 0xC4, 0x04);
KV_DEFINE_GUID(IID_ISNDIVSUR3, 0x896811BE, 0xF919, 0x4F41, 0x86, 0x2C, 0x15, 0xE9, 0xFC, 0xBD, 0x82, 0x38);
KV_DEFINE_GUID(IID_ISNDIEQ, 0x825162D9, 0x8507, 0x42B0, 0xB8, 0x22, 0xEC, 0xD7, 0x3D, 0x79, 0x8F, 0xE4);
KV_DEFINE_GUID(IID_ISNDIRVXEnvironment, 0xC140B58B, 0x6F84, 0x41D8, 0x87, 0xAF, 0x71, 0x07, 0x37, 0x0D, 0x4E, 0x76);

// ---- Presets and speaker configuration -----------------------------------
KV_DEFINE_GUID(IID_ISNDIEQPresetU, 0x6B258F1E, 0xBB31, 0x4AE0, 0xBE, 0x3C, 0x79, 0xB3, 0x47, 0x3A, 0x6F, 0xD1);
KV_DEFINE_GUID(IID_ISNDIEQPreset, 0x87807E97, 0x1C34, 0x482D, 0x8F, 0x34, 0x2F, 0xA8, 0xEA, 0x85, 0x19, 0xF7);
KV_DEFINE_GUID(IID_ISNDIRVXPresetList, 0xA15E92D1, 0xB71C, 0x45A2, 0x8E, 0x80, 0x62, 0xD5, 0x36, 0xC6, 0x2E, 0x21);
// List items are handed out by ISNDIRVXPresetList::GetItem, never by id.
KV_DEFINE_GUID(IID_ISNDIRVXPresetU, 0x5B3C1D2E, 0x7A41, 0x4C8E, 0x9E, 0x01, 0x3A, 0x6B, 0x11, 0x72, 0xC4, 0x05);
KV_DEFINE_GUID(IID_ISNDIRVXPreset, 0x8A2B077F, 0x3EF5, 0x4185, 0xBB, 0xD0, 0xE8, 0xFD, 0x94, 0xF7, 0xED, 0xAE);
KV_DEFINE_GUID(IID_ISNDISpkConfig, 0x764D8FF3, 0x530C, 0x4417, 0xA2, 0x88, 0x4A, 0x1E, 0x06, 0x28, 0x47, 0x11);
KV_DEFINE_GUID(IID_ISNDISpkConfig2, 0x62516197, 0xCB95, 0x42E2, 0x8C, 0x02, 0x22, 0x68, 0xE5, 0xF1, 0x67, 0x96);

// The reverb preset set the plug-in selects before enumerating.
KV_DEFINE_GUID(KV_RVX_PRESET_SET, 0x94FD0699, 0xDB8D, 0x4D32, 0x9C, 0x4A, 0x0C, 0x65, 0xAF, 0x32, 0x71, 0x15);

// ---- Speaker layout format ids -------------------------------------------
KV_DEFINE_GUID(KVFMT_STEREO, 0x59639116, 0x11D1, 0xD955, 0xA0, 0x00, 0x9D, 0x9D, 0x73, 0x7F, 0x8E, 0xC9);
KV_DEFINE_GUID(KVFMT_QUAD, 0x9D74D2A0, 0x11D1, 0xDAE5, 0xA0, 0x00, 0x9D, 0x9D, 0x73, 0x7F, 0x8E, 0xC9);
KV_DEFINE_GUID(KVFMT_QUAD_SIDE, 0xA726A544, 0x7752, 0x401C, 0x8B, 0x45, 0x22, 0x9B, 0xCD, 0x3D, 0xAC, 0x83);
KV_DEFINE_GUID(KVFMT_5POINT1, 0xB591EC40, 0x11D1, 0xDBC3, 0xA0, 0x00, 0x9D, 0x9D, 0x73, 0x7F, 0x8E, 0xC9);
KV_DEFINE_GUID(KVFMT_5POINT1_SIDE, 0x19FE276B, 0xD009, 0x4141, 0xB0, 0x6C, 0xFD, 0x73, 0xC8, 0x58, 0x7C, 0xE0);
KV_DEFINE_GUID(KVFMT_6POINT1, 0x1B2D3721, 0x11D6, 0x5795, 0xD0, 0x00, 0x86, 0x9C, 0xD7, 0x3B, 0x8E, 0xB7);
KV_DEFINE_GUID(KVFMT_6POINT1_SIDE, 0xF1972D70, 0xF5E3, 0x4AB7, 0xA9, 0x8B, 0xF5, 0xE2, 0x7F, 0xAE, 0xEF, 0x11);
KV_DEFINE_GUID(KVFMT_7POINT1, 0x48FCFB81, 0x480E, 0x11D7, 0x9C, 0x86, 0x00, 0xD0, 0xB7, 0x8E, 0x3B, 0xD7);
KV_DEFINE_GUID(KVFMT_GENERIC, 0x7EE5CE0C, 0x1160, 0x4B2F, 0x86, 0x27, 0xC4, 0x66, 0xAF, 0x64, 0x24, 0x28);
KV_DEFINE_GUID(KVFMT_EFFECT, 0x8C0F8B81, 0x11D1, 0xDE1A, 0x45, 0x44, 0x24, 0xB7, 0x00, 0x00, 0x54, 0x53);

// ---- Records ---------------------------------------------------------------
#pragma pack(push, 4)

// Filled by IKVDevice::GetDeviceInfo; only the size and the name are read.
struct KVDEVICEINFO {
    DWORD cbSize;            // 516
    BYTE  reserved[64];
    char  szName[448];       // ANSI code page, NUL-terminated
};
static_assert(sizeof(KVDEVICEINFO) == 516);
static_assert(offsetof(KVDEVICEINFO, szName) == 68);

// One speaker layout as the driver describes it.
struct SpeakerConfigInfo {
    char  szName[128];       // narrow, NUL-terminated
    DWORD dwSpeakers;        // full-range speakers
    DWORD dwLFE;             // 1 with a subwoofer channel
    GUID  guidFormat;
};
static_assert(sizeof(SpeakerConfigInfo) == 152);
static_assert(offsetof(SpeakerConfigInfo, guidFormat) == 136);

// Passed to SetPresetConfig and to the preset-defaults reset.
struct KVPRESETCONFIG {
    DWORD dwFirst;           // 1
    BYTE  reserved1[20];
    DWORD dwSecond;          // 1
    BYTE  reserved2[20];
};
static_assert(sizeof(KVPRESETCONFIG) == 48);
static_assert(offsetof(KVPRESETCONFIG, dwSecond) == 24);

#pragma pack(pop)

// A narrow text handed to the driver with its capacity.
struct KVCOUNTEDSTR {
    DWORD cbCapacity;        // bytes available at psz
    char* psz;
};

inline KVPRESETCONFIG KVMakePresetConfig()
{
    KVPRESETCONFIG cfg = {};
    cfg.dwFirst = 1;
    cfg.dwSecond = 1;
    return cfg;
}

// Buffer sizes the callers hand to the preset interfaces.
enum : UINT {
    KV_PRESET_KEY_CB_WIDE = 320,    // 160 UTF-16 units
    KV_PRESET_KEY_CB_NARROW = 128,
    KV_PRESET_NAME_CCH = 128,
    KV_BAND_LABEL_CB = 128,
    KV_BAND_EXTRA_CB = 64,
};

// Preset kinds reported by EnumPreset.
enum : DWORD { KV_PRESET_BUILTIN = 1, KV_PRESET_USER = 2 };

// Reverb preset modes from GetPresetInfo.
enum : DWORD { KV_RVX_MODE_DEFAULT = 4096, KV_RVX_MODE_FOLLOWS_ENV = 8192 };

// The upmix element type that carries virtual surround.
enum : DWORD { KV_ELEMENT_VSUR = 6 };

// Endpoint enumeration arguments.
enum : UINT { KV_FLOW_RENDER = 0, KV_FLOW_CAPTURE = 1 };
enum : DWORD { KV_STATE_ACTIVE = 1, KV_STATE_UNPLUGGED = 8 };

// ---- Notification events (eEvent) ------------------------------------------
enum : UINT {
    KVEVT_UPMIX = 0x805,
    KVEVT_SPKCONFIG = 0x80B,
    KVEVT_MIXERFX = 0x80C,
    KVEVT_EQ = 0x810,
    KVEVT_PDP = 0x811,
    KVEVT_AGC = 0x812,
    KVEVT_BASSMANAGEMENT = 0x813,
    KVEVT_BASSBOOST = 0x817,
    KVEVT_VSUR = 0x818,
    KVEVT_RVX = 0x81D,
    KVEVT_ENDPOINTS = 0x845,
    KVEVT_EQPRESET = 0x1001,         // from the wide preset interfaces
    KVEVT_RVXPRESET = 0x1002,
    KVEVT_EQPRESET_NARROW = 0x2001,  // from the narrow ones
    KVEVT_RVXPRESET_NARROW = 0x2002,
};

// Equalizer sub-codes (dwHint of KVEVT_EQ).
enum : UINT {
    KVEQ_REFRESH = 0x80000202,
    KVEQ_BAND = 0xC0000001,          // dwArg = band index
    KVEQ_PREAMP = 0xC0000002,
    KVEQ_ONOFF = 0x80000100,         // dwArg = KVEQ_ON or anything else for off
    KVEQ_ON = 0x80000101,
};

// Preset sub-codes (dwHint of the preset events).
enum : UINT {
    KVPRESET_ADDED = 0x80000001,     // dwArg = new count
    KVPRESET_REMOVED = 0x80000002,   // dwArg = new count
    KVPRESET_ACTIVE = 0x80000003,
};

// Sub-codes of the other feature events. No caller interprets them; they make
// traces readable and let tests tell one change from another.
enum : UINT {
    KVHINT_VALUE = 1,                // dwArg = element or speaker, else 0
    KVHINT_ONOFF = 2,                // dwArg = 1 on, 0 off
    KVHINT_FREQUENCY = 3,
    KVHINT_STATE = 4,                // subwoofer gain applied or not
    KVHINT_MODE = 5,                 // surround mode
    KVHINT_SELECT = 6,               // upmix element selected; dwArg = index
    KVHINT_CURRENT = 7,              // speaker layout; dwArg = driver index
    KVHINT_DEFAULTS = 8,             // settings restored
    KVHINT_TOPOLOGY = 9,             // endpoint set changed
};
