// Two processes write the same equalizer at once: each must hear every write
// of both, and the shared state must end with the last writes. The second
// process is this program again, started with --child.
#include "ContractSupport.h"
#include "test_support.h"

#include <cstdio>
#include <string>

namespace contract {

namespace {

constexpr int kWrites = 300;
constexpr DWORD kWaitMs = 60000;

// Each process writes its own band (parent 0, child 1) and the shared preamp.
float BandValue(int i) { return -12.0f + 0.5f * float(i % 49); }
float PreampValue(int nRole, int i) { return -0.5f * float((i + nRole * 7) % 49); }

std::wstring EventName(const wchar_t* what, DWORD dwPid)
{
    return std::wstring(L"kvcontract-") + what + L"-" + std::to_wstring(dwPid);
}

// Subscribes, lets `meet` synchronise the two processes, writes, then waits
// to hear every write of both. Returns "" or what went wrong.
std::string RunWriter(int nRole, const std::function<bool()>& meet)
{
    Ref ep, enumerator = CreateClass(CLSID_KVEndpointEnum, IID_IKVEndpointEnum);
    if (!enumerator || CallSlot(enumerator.get(), 7, 0u, 0u, DWORD{1}, ep.Put()) != S_OK) return "no endpoint";
    Ref eq = Feature(ep, IID_ISNDIEQ);
    CRecordingSink sink;
    UINT nCookie = Advise(eq, &sink, nullptr);
    if (!nCookie) return "Advise failed";
    std::string why;
    if (!meet()) why = "the other process did not come";
    for (int i = 0; i < kWrites && why.empty(); ++i) {
        if (CallSlot(eq.get(), 6, UINT(nRole), BandValue(i)) != S_OK ||
            CallSlot(eq.get(), 9, PreampValue(nRole, i)) != S_OK)
            why = "a write failed";
    }
    auto band = [](UINT b) { return [b](const Note& n) { return n.dwHint == KVEQ_BAND && n.dwArg == b; }; };
    auto preamp = [](const Note& n) { return n.dwHint == KVEQ_PREAMP; };
    if (why.empty() && !(sink.WaitFor(kWrites, kWaitMs, band(0)) && sink.WaitFor(kWrites, kWaitMs, band(1)) &&
                         sink.WaitFor(2 * kWrites, kWaitMs, preamp)))
        why = "notifications missing";
    Sleep(kQuietMs);
    size_t nBand0 = 0, nBand1 = 0, nPreamp = 0;
    for (const Note& n : sink.Notes()) {
        nBand0 += band(0)(n);
        nBand1 += band(1)(n);
        nPreamp += preamp(n);
    }
    if (why.empty() && (nBand0 != kWrites || nBand1 != kWrites || nPreamp != 2 * kWrites))
        why = "heard " + std::to_string(nBand0) + "/" + std::to_string(nBand1) + "/" + std::to_string(nPreamp);
    if (Unadvise(eq, nCookie) != S_OK && why.empty()) why = "Unadvise failed";
    return why;
}

TEST_F(ContractTest, TwoProcessesWritingAtOnceHearEachOtherAndAgreeOnTheEnd)
{
    const DWORD dwPid = GetCurrentProcessId();
    HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, EventName(L"ready", dwPid).c_str());
    HANDLE hGo = CreateEventW(nullptr, TRUE, FALSE, EventName(L"go", dwPid).c_str());
    ASSERT_TRUE(hReady && hGo);
    HANDLE hChild = kvtest::StartProgram(kvtest::ExeFileName(), L"--child " + std::to_wstring(dwPid));
    ASSERT_NE(nullptr, hChild);

    std::string why = RunWriter(0, [&] {
        bool bMet = WaitForSingleObject(hReady, kWaitMs) == WAIT_OBJECT_0;
        SetEvent(hGo);
        return bMet;
    });
    EXPECT_EQ("", why) << "parent";
    DWORD dwExit = 99;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hChild, kWaitMs));
    GetExitCodeProcess(hChild, &dwExit);
    EXPECT_EQ(0u, dwExit) << "child (its reason is on stderr)";
    CloseHandle(hChild);
    CloseHandle(hReady);
    CloseHandle(hGo);

    const kvsim::Equalizer eq = NodeCopy(m_nSpeakers).features.eq;
    EXPECT_FLOAT_EQ(BandValue(kWrites - 1), eq.bands[0].fLevel);
    EXPECT_FLOAT_EQ(BandValue(kWrites - 1), eq.bands[1].fLevel);
    EXPECT_TRUE(eq.fPreamp == PreampValue(0, kWrites - 1) || eq.fPreamp == PreampValue(1, kWrites - 1))
        << eq.fPreamp;
}

}  // namespace

// argv: --child PARENTPID
int RunChild(int argc, char** argv)
{
    if (argc < 3) return 2;
    const DWORD dwParent = static_cast<DWORD>(strtoul(argv[2], nullptr, 10));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HANDLE hReady = OpenEventW(EVENT_MODIFY_STATE, FALSE, EventName(L"ready", dwParent).c_str());
    HANDLE hGo = OpenEventW(SYNCHRONIZE, FALSE, EventName(L"go", dwParent).c_str());
    std::string why = (!hReady || !hGo) ? "no events" : RunWriter(1, [&] {
        SetEvent(hReady);
        return WaitForSingleObject(hGo, kWaitMs) == WAIT_OBJECT_0;
    });
    if (hReady) CloseHandle(hReady);
    if (hGo) CloseHandle(hGo);
    CoUninitialize();
    if (!why.empty()) fprintf(stderr, "contract child: %s\n", why.c_str());
    return why.empty() ? 0 : 1;
}

}  // namespace contract
