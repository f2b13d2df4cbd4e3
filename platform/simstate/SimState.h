// The simulated driver's machine-wide state.
//
// One fixed-size block lives in a named file mapping backed by a file in the
// prefix, so every process that loads the driver sees the same settings and
// the settings outlive the processes, as a real driver's would. A named mutex
// guards it; an event ring in the same block carries every change to every
// process, where each process's driver thread hands it to the local sinks.
//
// The instance name (environment variable KVSIM_INSTANCE, default "default")
// keeps parallel test programs apart: each names its own mapping, mutex,
// wake events and state file.
#pragma once

#include <windows.h>

namespace kvsim {

constexpr int kMaxNodes = 40;      // endpoints and devices together
constexpr int kMaxBands = 32;
constexpr int kMaxPresets = 48;    // per node, per preset family
constexpr int kMaxRvxItems = 8;    // items of the reverb preset list
constexpr int kMaxElements = 8;    // upmix processing elements
constexpr int kMaxSpeakerLayouts = 16;
constexpr int kMaxSpeakers = 8;    // mixer levels
constexpr int kMaxAdaptors = 8;
constexpr int kMaxFaults = 64;
constexpr int kMaxWakers = 32;     // event readers across all processes
constexpr int kEventRing = 4096;

constexpr int kIdCch = 128;        // endpoint and adaptor ids
constexpr int kNameCch = 256;      // names and labels, including the NUL
constexpr int kKeyCch = 160;       // preset keys: the callers' wide buffer
constexpr int kPathCch = 260;
constexpr int kAliasCch = 32;      // short node names in topology files and the control tool

enum class NodeKind : DWORD { Endpoint = 0, Device = 1 };
enum class Flow : DWORD { Render = 0, Capture = 1 };
// Matches the endpoint state mask bits: active 1, unplugged 8.
enum class NodeState : DWORD { Active = 1, Unplugged = 8 };
// Which enumerator classes exist.
enum class DriverMode : DWORD { Endpoint = 0, DeviceOnly = 1, None = 2 };

struct Range {
    float fMin, fMax, fStep, fExtra;
};

struct Toggle {            // a feature that is there or not, on or off
    BOOL bPresent;
    BOOL bEnabled;
};

struct Scalar {            // Toggle plus one ranged value
    BOOL bPresent;
    BOOL bEnabled;
    Range range;
    float fValue;
};

struct BassBoost {
    Scalar level;
    Range freqRange;
    float fFreq;
};

struct SubWoofer {         // reachable only through bass management
    BOOL bPresent;
    Range range;
    DWORD dwState;         // 1 = applied
};

struct MixerFx {
    BOOL bPresent;
    LONG nLevel[kMaxSpeakers];   // percent
};

struct Element {
    DWORD dwType;          // 6 = virtual surround
    BOOL bAccessDenied;    // GetType answers E_ACCESSDENIED yet fills the type
    BOOL bVsur3;           // offers ISNDIVSUR3
    Range range;           // stereo environment
    float fValue;
    DWORD dwMode;          // surround mode (2 or 4 on the page)
};

struct Upmix {
    BOOL bPresent;
    BOOL bEnabled;
    int nSelected;         // -1 none
    int nElements;
    Element elements[kMaxElements];
};

struct Band {
    char szLabel[64];      // ANSI, e.g. "31"
    Range range;
    float fLevel;
};

struct Preset {
    wchar_t szKey[kKeyCch];
    wchar_t szName[kNameCch];
    DWORD dwKind;          // 1 built-in, 2 user
    float fLevels[kMaxBands];   // equalizer presets: band levels
    float fPreamp;
    float fValue;          // reverb presets: environment amount
};

struct PresetFamily {
    BOOL bWide;            // offers the wide interface
    BOOL bNarrow;          // offers the narrow interface (devices only)
    int nPresets;
    Preset presets[kMaxPresets];
    wchar_t szActive[kKeyCch];  // "<Custom>" or a key
    DWORD dwLanguage;
    DWORD dwConfigCalls;   // SetPresetConfig calls, for tests
    BOOL bSetSelected;     // reverb: SelectPresetSet seen
    int nNextUserKey;      // numbering of saved presets
};

struct RvxItem {
    DWORD dwRank;
    DWORD dwMode;          // 4096 or 8192
};

struct Equalizer {
    BOOL bPresent;
    BOOL bEnabled;
    int nBands;
    Band bands[kMaxBands];
    Range preampRange;
    float fPreamp;
};

struct Reverb {
    Scalar env;
    BOOL bPresetsEnabled;  // the preset interface's own on/off
    int nItems;
    RvxItem items[kMaxRvxItems];
};

struct SpeakerLayout {
    char szName[128];
    DWORD dwSpeakers;
    DWORD dwLFE;
    GUID guidFormat;
};

struct SpeakerConfig {
    DWORD dwVersion;       // 0 none, 1 ISNDISpkConfig only, 2 also ISNDISpkConfig2
    int nLayouts;
    SpeakerLayout layouts[kMaxSpeakerLayouts];
    UINT nCurrent;
};

// Every setting of one endpoint or device; restored from `defaults`.
struct Features {
    Toggle agc;
    BassBoost bassBoost;
    Scalar bassManagement;
    SubWoofer subWoofer;
    MixerFx mixer;
    Scalar pdp;
    Upmix upmix;
    Equalizer eq;
    PresetFamily eqPresets;
    Reverb rvx;
    PresetFamily rvxPresets;
    SpeakerConfig speakers;
};

// Deliberately broken answers, for proving the callers bound what they read.
struct Quirks {
    BOOL bSpkCountHuge;       // GetCount reports 0xFFFFFFFF
    BOOL bUnterminatedNames;  // names and labels fill their buffers without a NUL
    BOOL bFullKeys;           // keys fill the whole key buffer without a NUL
    BOOL bEndlessPresets;     // EnumPreset / GetItem never fail
    BOOL bEndlessLists;       // endpoint, device and upmix element lists start over instead of ending
    BOOL bManyPresets;        // preset families report kManyPresets presets, most made up
};

struct DeviceFormat {
    WORD wChannels;
    DWORD dwChannelMask;
    DWORD dwSampleRate;
    BOOL bExtensible;         // FALSE: publish a plain 18-byte WAVEFORMATEX instead
};

struct Node {
    BOOL bUsed;
    DWORD dwSerial;           // new for every node a load or reset makes; objects
                              // handed out for an older serial answer
                              // 0x88890004 (device invalidated)
    NodeKind kind;
    Flow flow;
    NodeState state;
    DWORD dwFormFactor;       // 1 speakers, 3 headphones, ...
    wchar_t szId[kIdCch];     // OS endpoint id "{0.0.0.00000000}.{GUID}"; device name for devices
    wchar_t szName[kNameCch]; // friendly name
    wchar_t szAdaptor[kIdCch];
    wchar_t szInstancePath[kPathCch];
    DeviceFormat format;
    Features features;
    Features defaults;        // what ISNDIDefaults::Restore brings back
    Quirks quirks;
    DWORD dwRestoreCount;     // ISNDIDefaults::Restore on the node
    DWORD dwPresetRestoreCount;
    wchar_t szAlias[kAliasCch];  // e.g. "speakers"; unique within a topology
};

struct Adaptor {
    wchar_t szId[kIdCch];
    DWORD dwRestoreCount;
    DWORD dwPresetRestoreCount;
};

// Interfaces as fault injection names them.
enum class Iface : DWORD {
    EndpointEnum, DeviceEnum, Endpoint, Device, Adaptor, NotifySource, Defaults,
    PresetDefaults, AGC, BassBoost, BassManagement, SubWooferGain, MixerFx, Pdp,
    Upmix, Element, VSUR3, EQ, RVXEnvironment, EQPresetU, EQPreset, RVXPresetList,
    RVXPresetU, RVXPreset, SpkConfig, SpkConfig2, ClassFactory,
    PolicyConfig, PolicyConfigFallback,   // the policy-configuration stand-in
    Count
};

struct Fault {
    BOOL bUsed;
    Iface iface;
    DWORD dwSlot;             // method number, IUnknown's counted
    int nNode;                // -1 any node
    HRESULT hr;
    LONG nRemaining;          // -1 until cleared
};

// Which subscribers an event is for.
enum class Source : DWORD {
    EndpointEnum, DeviceEnum, AGC, BassBoost, BassManagement, SubWooferGain, MixerFx,
    Pdp, Upmix, Element, EQ, RVXEnvironment, EQPresetU, EQPreset, RVXPresetU, RVXPreset,
    SpkConfig,
    Topology   // for the endpoint library: dwArg is its msg, 0 appeared,
               // 2 disappeared, 3 changed (other values only on request)
};

struct EventRecord {
    ULONGLONG seq;
    int nNode;                // -1 for enumerator and topology events
    Source source;
    int nSub;                 // element or reverb item index (an upmix Disable:
                              // the element its caller named), else 0
    UINT eEvent, dwHint, dwArg;
};

struct Waker {
    BOOL bUsed;
    DWORD dwPid;
    DWORD dwSerial;           // names the wake event together with the pid
};

struct SharedState {
    DWORD dwMagic;
    DWORD dwVersion;
    DriverMode mode;
    ULONGLONG generation;     // bumped by every topology load, plug or unplug
    wchar_t szTopologyName[kPathCch];
    Node nodes[kMaxNodes];
    Adaptor adaptors[kMaxAdaptors];
    Fault faults[kMaxFaults];
    Waker wakers[kMaxWakers];
    ULONGLONG nextSeq;        // seq of the next event to post
    EventRecord ring[kEventRing];
    DWORD dwNextCookie;       // machine-wide, never 0
    ULONGLONG firstSeq;       // events before this were dropped by Reset
    LONG nArmedFaults;        // faults in use: none lets CheckFault answer without the lock
};

// ---- Access ---------------------------------------------------------------
// Every read or write of the shared block happens between Lock and Unlock
// (a scope-bound StateLock is the usual way). The lock is recursive within a
// thread and never held while calling out of the driver.

// Opens (creating on first use) this instance's block; initialises it from
// the built-in default topology when the backing file is new. Thread-safe,
// idempotent. Returns nullptr on failure.
SharedState* Open();
// For a DLL unloaded by FreeLibrary: gives back the view, the mapping and the
// lock, so loading it again opens them afresh. Nothing may use the state
// after this.
void Close();
// Tests and tools: drop every node, fault and event and go back to the
// built-in default topology (or, with bEmpty, to no endpoints at all).
// Registered readers stay registered and hear the topology events of the
// reset; cookies keep counting.
void Reset(bool bEmpty);
void Lock();
void Unlock();

class StateLock {
public:
    StateLock() { Lock(); }
    ~StateLock() { Unlock(); }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
    SharedState* operator->() const { return Open(); }
    SharedState& operator*() const { return *Open(); }
};

// The instance name in use ("default" unless KVSIM_INSTANCE is set).
// Characters other than letters, digits, '-', '_' and '.' become '_'.
const wchar_t* InstanceName();

// A machine-wide sink cookie from dwNextCookie; never 0.
UINT NewCookie();

// Which enumerator classes exist; posts KVEVT_ENDPOINTS to both enumerators.
void SetDriverMode(DriverMode mode);
const wchar_t* DriverModeName(DriverMode mode);   // L"endpoint", L"device", L"none"

// ---- Faults -----------------------------------------------------------------
// Called at the top of every driver method with its interface, method number
// and node. Returns the injected status (and uses up one count), or S_OK.
HRESULT CheckFault(Iface iface, DWORD dwSlot, int nNode);
const wchar_t* IfaceName(Iface iface);
bool IfaceFromName(const wchar_t* name, Iface* pIface);   // case-insensitive
// Arms a fault: nNode -1 for any node, nCount -1 until cleared, else >= 1.
// A second fault on the same interface, slot and node replaces the first.
bool AddFault(Iface iface, DWORD dwSlot, int nNode, HRESULT hr, LONG nCount, wchar_t* pError, int cchError);
void ClearFaults();

// ---- Events -------------------------------------------------------------------
// Appends to the ring and wakes every registered reader in every process.
// Callable with or without the lock held. The slot of a reader whose process
// died is freed by a post too: the next one, unless this process has woken
// that reader before; then within a second, or as soon as a slot is wanted.
void PostEvent(int nNode, Source source, int nSub, UINT eEvent, UINT dwHint, UINT dwArg);

// A reader of the ring: each has a wake event of its own, registered in the
// shared block so writers in any process can set it.
class EventReader {
public:
    EventReader();            // registers; starts at the current end of the ring
    ~EventReader();           // unregisters
    EventReader(const EventReader&) = delete;
    EventReader& operator=(const EventReader&) = delete;
    HANDLE WakeEvent() const { return m_hWake; }
    // Copies the next unread record; false when none is waiting. A reader that
    // fell more than a ring behind skips to the oldest record still held and
    // counts what it missed in Lost(). pdwNodeSerial, when given, receives the
    // serial its node has as the record is read (0: no such node in use).
    bool Next(EventRecord* pRecord, DWORD* pdwNodeSerial = nullptr);
    ULONGLONG Lost() const { return m_nLost; }
private:
    HANDLE m_hWake = nullptr;
    int m_nSlot = -1;
    ULONGLONG m_nNextSeq = 0;
    ULONGLONG m_nLost = 0;
};

// ---- Topology ---------------------------------------------------------------
// Replaces the whole topology. On a parse error nothing changes and *pError
// holds "line N: what is wrong". Publishes the new endpoints' device formats
// to the OS audio device store (taking out those of the previous topology
// that are gone) and posts the topology events. The format is described at
// the top of platform/simdriver/topologies/default.kvtopo.
bool LoadTopologyText(const wchar_t* text, const wchar_t* sourceName, wchar_t* pError, int cchError);
bool LoadTopologyFile(const wchar_t* path, wchar_t* pError, int cchError);
bool LoadDefaultTopology(wchar_t* pError, int cchError);
const char* DefaultTopologyText();   // UTF-8, the built-in topology

// Node lookups; -1 when absent. Ids compare case-insensitively.
int FindNodeById(const SharedState& s, const wchar_t* id);
int FindAdaptor(const SharedState& s, const wchar_t* id);
// The control tool's lookup: the id or the alias.
int FindNode(const SharedState& s, const wchar_t* idOrAlias);

// The eEvent a change of that source is reported with (0x810 for EQ, 0x817
// bass boost, 0x812 volume levelling, 0x813 bass management and subwoofer
// gain, 0x80C mixer, 0x811 detail restoration, 0x805 upmix, 0x818 element,
// 0x81D reverb, 0x1001/0x2001 equalizer presets wide/narrow, 0x1002/0x2002
// reverb presets wide/narrow, 0x80B speaker layouts, 0x845 enumerators and
// topology events).
UINT EventCodeFor(Source source);

// ---- Settings by name ---------------------------------------------------------
// What another application, the control tool and tests use to read or change
// one setting of a node, e.g. "eq.band.3" "6.5", "bassboost.enabled" "1",
// "upmix.element.1.mode" "4", "speakers.current" "2", "format" "6:0x3f".
// A change posts the same notification the driver's own interfaces would.
// On bad input nothing changes and *pError says why.
bool SetSetting(int nNode, const wchar_t* name, const wchar_t* value, wchar_t* pError, int cchError);
bool GetSetting(int nNode, const wchar_t* name, wchar_t* pValue, int cchValue, wchar_t* pError, int cchError);
// Makes the first layout of that format current ("stereo", "5.1", a {GUID}) as the
// OS would, with event 0x80B; an endpoint's mix format follows the speaker count.
bool SetSpeakerLayout(int nNode, const wchar_t* format, wchar_t* pError, int cchError);
// Plugs or unplugs an endpoint (state active / unplugged), posts the topology events.
bool SetPlugged(int nNode, bool bPlugged, wchar_t* pError, int cchError);
// Lock held. A preset change, posted to both flavours of that family; and a
// stored preset made current (its settings clamped to their ranges), with the
// notification of the feature it changes. Used by the driver's own preset
// interfaces as well as by the settings above, so both behave alike.
void PostPresetEvent(int nNode, bool bEqualizer, UINT dwHint, UINT dwArg);
void ApplyPreset(int nNode, Node& node, const Preset& preset, bool bEqualizer);
// The many-presets quirk: more presets than any block can hold. A family then
// reports kManyPresets: the stored ones, then user presets made up on demand,
// numbered from 1 ("extra-0001", named "Extra 0001"). Being stored nowhere,
// one made current leaves the settings as they are, and none can be deleted
// or overwritten; a saved preset takes the last one's place in the count.
constexpr int kManyPresets = 1000;
int ReportedPresetCount(const Node& node, const PresetFamily& family);
// The made-up preset with that key (exact) or, with bName, that
// name (ignoring case): its number, 0 when there is none.
int FindExtraPreset(const Node& node, const PresetFamily& family, const wchar_t* text, bool bName);
// Key and name of made-up preset nExtra; the rest is zero.
void MakeExtraPreset(int nExtra, Preset* pOut);
// A readable dump of the whole state, for the control tool's "show": the
// current settings as topology text that loads back, the rest as comments.
// Always NUL-terminated; cut short when the buffer is too small. Returns the
// length of the whole dump, so a caller can retry with a buffer that fits.
int Describe(wchar_t* pBuffer, int cchBuffer);
// Every setting name GetSetting answers for that node, one per line.
void ListSettings(int nNode, wchar_t* pBuffer, int cchBuffer);

}  // namespace kvsim
