// What the contract tests share: calls by method number through the raw
// vtable, scoped references, a recording sink, and a fixture that loads the
// test topology into this program's own driver instance.
#pragma once

#include "SimState.h"
#include "features/KVDriverInterfaces.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace contract {

constexpr HRESULT kInvalidated = static_cast<HRESULT>(0x88890004);

// Calls method number `slot` of the interface at p, as a caller that knows
// only the vtable order would.
template <class Ret = HRESULT, class... Args>
Ret CallSlot(void* p, int slot, Args... args)
{
    using Method = Ret(STDMETHODCALLTYPE*)(void*, Args...);
    Method* vtable = *static_cast<Method**>(p);
    return vtable[slot](p, args...);
}

// One interface reference for the scope.
class Ref {
public:
    Ref() = default;
    ~Ref() { Reset(); }
    Ref(Ref&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    Ref& operator=(Ref&& o) noexcept
    {
        std::swap(m_p, o.m_p);
        return *this;
    }
    IUnknown* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    template <class T = void>
    T** Put()  // the address to receive a new reference into
    {
        Reset();
        return reinterpret_cast<T**>(&m_p);
    }
    void Reset()
    {
        if (m_p) std::exchange(m_p, nullptr)->Release();
    }

private:
    IUnknown* m_p = nullptr;
};

struct Note {
    UINT eEvent, dwHint, dwArg;
    void* pContext;
    DWORD dwThread;
};

// Records every OnNotify with the thread it came on.
class CRecordingSink final : public INotifySink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_cRef); }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE OnNotify(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext) override;

    // True once at least n notes satisfy match (all notes when none given).
    bool WaitFor(size_t n, DWORD dwMs, std::function<bool(const Note&)> match = nullptr);
    std::vector<Note> Notes();
    LONG Refs() const { return m_cRef; }
    // Runs inside OnNotify, on the driver's thread.
    std::function<void(const Note&)> onNotify;

private:
    LONG m_cRef = 1;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Note> m_notes;
};

// Subscribes through the object's notify source; 0 when refused.
UINT Advise(const Ref& obj, INotifySink* pSink, void* pContext);
HRESULT Unadvise(const Ref& obj, UINT nCookie);

Ref CreateClass(const CLSID& clsid, const IID& iid, HRESULT* phr = nullptr);
Ref Query(const Ref& obj, const IID& iid, HRESULT* phr = nullptr);
// Method 9 of an endpoint or device, method 8 of an adaptor.
Ref Feature(const Ref& node, const IID& iid, HRESULT* phr = nullptr, int slot = 9);

// The test topology's nodes and their ids.
extern const wchar_t kSpeakersId[];
extern const wchar_t kHeadphonesId[];
extern const wchar_t kMicrophoneId[];
extern const wchar_t kDeviceName[];
extern const wchar_t kAdaptorId[];
void LoadTestTopology();
int NodeIndex(const wchar_t* id);
// A copy of node n's record, read under the state lock.
kvsim::Node NodeCopy(int n);
// Runs f on node n's record under the state lock.
void EditNode(int n, const std::function<void(kvsim::Node&)>& f);

// Each test starts from a freshly loaded topology (so objects of earlier tests
// are stale) with no faults armed.
class ContractTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Ref Speakers();     // the active render endpoint
    Ref Microphone();   // the capture endpoint
    Ref Device();       // the device of the device flavour
    Ref SpeakersFeature(const IID& iid) { return Feature(Speakers(), iid); }

    Ref m_endpointEnum;
    int m_nSpeakers = -1;
    int m_nDevice = -1;
};

// Waits this long for notifications that must not come.
constexpr DWORD kQuietMs = 700;
constexpr DWORD kNotifyMs = 5000;

}  // namespace contract
