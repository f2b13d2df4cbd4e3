// The driver session is tested in-process against the simulated driver,
// reached through COM as the plug-in reaches it. Each test loads its own
// topology; the session's windows are recorded by a message-only window.
#pragma once

#include "device/KVDeviceEndpoint.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace stest {

extern const wchar_t kCoexistKey[];       // Software\Halvex\ALCoexist
extern const wchar_t kLumoraCoexistKey[]; // Software\Lumora Tech\ALCoexist

// An endpoint block for a topology: id suffix n, form factor, extra lines.
std::wstring RenderEndpoint(const std::wstring& alias, int n, int nFormFactor, const std::wstring& extra = L"");
std::wstring EndpointId(int n);
// Features the master switch drives, all off except those named "on".
std::wstring Features(bool bBassBoostOn = false, bool bEqOn = false);
// Speakers (n = 1) with every feature and a microphone on the same adaptor.
std::wstring DefaultTopology();

// A window that records what the session posts to it.
class Recorder
{
public:
    struct Message {
        UINT nMsg;
        WPARAM wParam;
        LPARAM lParam;
        ULONGLONG tick;
    };
    explicit Recorder(const wchar_t* pszName = nullptr, bool bTopLevel = false);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    HWND Handle() const { return m_hWnd; }
    std::vector<Message> Messages() const { return m_messages; }
    int Count(UINT nMsg) const;
    void Clear() { m_messages.clear(); }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND m_hWnd = nullptr;
    std::vector<Message> m_messages;
};

// Runs messages until the predicate holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD dwMaxMs = 5000);
void PumpFor(DWORD dwMs);

// Trace lines the process writes while in scope.
class TraceCapture
{
public:
    TraceCapture();
    ~TraceCapture();
    int Count(const std::wstring& text);
    bool Has(const std::wstring& text) { return Count(text) > 0; }
    // Where the first line holding text came, -1 if none did.
    int First(const std::wstring& text);

private:
    DWORD m_dwFlags;
    kvtest::DebugOutputCapture m_capture;
};

// Runs fn, once, on whichever thread next writes a trace line holding text
// while in scope: a step of another thread is made to land exactly there.
// Tracing must be on (a TraceCapture made first).
class TraceHook
{
public:
    TraceHook(std::wstring text, std::function<void()> fn);
    ~TraceHook();
    TraceHook(const TraceHook&) = delete;
    TraceHook& operator=(const TraceHook&) = delete;
    bool Fired() const { return m_bFired; }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* p);
    std::wstring m_text;
    std::string m_narrow;
    std::function<void()> m_fn;
    std::atomic<bool> m_bFired{false};
};

class SessionTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    void Load(const std::wstring& topology);
    // One of the topology files copied beside the programs, e.g. L"hostile-eq.kvtopo".
    void LoadFile(const wchar_t* name);
    // The simulated driver's built-in topology, the one a fresh machine has.
    void LoadBuiltIn();
    // A session as the application makes it, with the recorder registered as
    // a page would register its window.
    CKVDeviceEndpoint* Open();
    void Close();
    int Node(const wchar_t* alias) const;
    void Fail(const wchar_t* iface, DWORD dwSlot, HRESULT hr, int nNode = -1, LONG nCount = -1);
    void ClearFaults();
    std::wstring Get(const wchar_t* alias, const wchar_t* setting);
    void Set(const wchar_t* alias, const wchar_t* setting, const wchar_t* value);
    void Plug(const wchar_t* alias, bool bPlugged);
    // The per-endpoint store, as another process would read or write it.
    DWORD StoreValue(const std::wstring& id, const PROPERTYKEY& key);
    void SetStoreValue(const std::wstring& id, const PROPERTYKEY& key, DWORD dwValue);
    std::wstring BoundId() const { return m_pSession ? m_pSession->m_strDevice : std::wstring(); }

    std::unique_ptr<CKVDeviceEndpoint> m_pSession;
    Recorder m_recorder;
    std::unique_ptr<kvtest::ScopedRegValue> m_tech, m_techName;
};

} // namespace stest
