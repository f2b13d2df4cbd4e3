// What the state library's own files share and its users need not see.
#pragma once

#include "SimState.h"

#include <string>

namespace kvsim::detail {

// The mapped block once Open() has run; the internal paths use it directly so
// that initialisation inside Open() can post events and load the default.
SharedState* State();

// Appends one record; the caller holds the lock and wakes the readers later,
// once per batch.
void AppendEvent(int nNode, Source source, int nSub, UINT eEvent, UINT dwHint, UINT dwArg);
// Sets every registered reader's wake event, freeing the slots of readers
// whose process died; bCheckLiveness asks for a look at every process now
// rather than when it is next due.
void WakeReaders(bool bCheckLiveness = false);
// Lock held: let go of the wake events this process keeps open, for one
// slot or for all of them.
void ForgetWake(int nSlot);
void ForgetWakes();

// A parsed topology, built outside the lock and copied in whole.
struct Topology {
    DriverMode mode = DriverMode::Endpoint;
    int nNodes = 0;
    Node nodes[kMaxNodes];
};

// Parses text; on failure returns false with "line N: ..." in error.
bool ParseTopology(const wchar_t* text, Topology* pOut, std::wstring* pError);
// Replaces the state's topology with t (lock held): serials, defaults,
// adaptors, the OS device store and the topology events.
void ApplyTopology(const Topology& t, const wchar_t* sourceName);

// A device format the OS store can describe; pWhy says what is wrong otherwise.
bool CheckFormat(DWORD dwChannels, DWORD dwMask, DWORD dwRate, std::wstring* pWhy);

// Writes or refreshes one endpoint in the OS audio device store.
void PublishEndpoint(const Node& n);

// Shared text helpers.
void SetError(wchar_t* pError, int cchError, const std::wstring& text);
void CopyText(wchar_t* pDst, int cchDst, const wchar_t* pSrc);
bool ParseFloat(const std::wstring& text, float* pValue);
bool ParseUInt(const std::wstring& text, DWORD* pValue);   // decimal or 0x hex
bool ParseInt(const std::wstring& text, LONG* pValue);
bool ParseBool(const std::wstring& text, BOOL* pValue);    // 1/0, on/off, true/false, yes/no
std::wstring FormatFloat(float f);                         // shortest text that reads back exactly
std::wstring Format(const wchar_t* fmt, ...);
std::wstring FromAnsi(const char* psz, int cbMax);
std::wstring FromUtf8(const char* psz);
bool ToAnsi(const std::wstring& text, char* pDst, int cbDst);   // false when it does not fit
std::wstring GuidText(const GUID& g);           // upper case, with braces
bool ParseGuid(const std::wstring& text, GUID* pGuid);

// Speaker layout formats by the short names topology files use.
const wchar_t* FormatName(const GUID& g);   // nullptr for other GUIDs
bool FormatFromText(const std::wstring& text, GUID* pGuid);

// Quirk flags by name ("spk-count-huge", ..., as kQuirkNames lists them) or
// by their place in that list; QuirkFlag answers nullptr for unknown names.
constexpr int kQuirkCount = 6;
extern const wchar_t* const kQuirkNames[kQuirkCount];
BOOL* QuirkFlagAt(Quirks& q, int i);
BOOL* QuirkFlag(Quirks& q, const std::wstring& name);
std::wstring QuirkNameList();   // "spk-count-huge, unterminated-names, ...", for messages

}  // namespace kvsim::detail
