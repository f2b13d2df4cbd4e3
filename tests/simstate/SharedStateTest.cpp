// The shared block across processes: faults, the event ring, cookies, other
// processes' changes and events, dead readers, and damaged state files.
#include "SimTestUtil.h"

#include "features/KVDriverTypes.h"
#include "test_support.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace kvsim;
using simtest::Drain;
using simtest::NodeByAlias;

namespace {

constexpr int kWrites = 300;
const wchar_t kReadyEvent[] = L"Local\\simstate_test.writer_ready";
const wchar_t kChildArgs[] = L"--gtest_also_run_disabled_tests --gtest_filter=";

class SharedStateTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(Open(), nullptr);
        ClearFaults();
        Reset(false);
        m_nSpk = NodeByAlias(L"speakers");
        m_nMic = NodeByAlias(L"microphone");
    }
    void TearDown() override { ClearFaults(); }
    int m_nSpk = -1, m_nMic = -1;
    wchar_t m_szError[512] = L"";
};

TEST_F(SharedStateTest, FaultsHitTheirMethodAndNodeForTheirCount)
{
    ASSERT_TRUE(AddFault(Iface::EQ, 6, m_nSpk, E_FAIL, 2, m_szError, ARRAYSIZE(m_szError)));
    EXPECT_EQ(CheckFault(Iface::EQ, 6, m_nMic), S_OK);
    EXPECT_EQ(CheckFault(Iface::EQ, 5, m_nSpk), S_OK);
    EXPECT_EQ(CheckFault(Iface::EQPreset, 6, m_nSpk), S_OK);
    EXPECT_EQ(CheckFault(Iface::EQ, 6, m_nSpk), E_FAIL);
    EXPECT_EQ(CheckFault(Iface::EQ, 6, m_nSpk), E_FAIL);
    EXPECT_EQ(CheckFault(Iface::EQ, 6, m_nSpk), S_OK);   // used up

    // Any node, until cleared; arming the same again replaces it.
    ASSERT_TRUE(AddFault(Iface::ClassFactory, 3, -1, E_OUTOFMEMORY, -1, m_szError, ARRAYSIZE(m_szError)));
    ASSERT_TRUE(AddFault(Iface::ClassFactory, 3, -1, E_ACCESSDENIED, -1, m_szError, ARRAYSIZE(m_szError)));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(CheckFault(Iface::ClassFactory, 3, i % 2 ? m_nSpk : -1), E_ACCESSDENIED);
    ClearFaults();
    EXPECT_EQ(CheckFault(Iface::ClassFactory, 3, -1), S_OK);

    EXPECT_FALSE(AddFault(Iface::EQ, 6, -1, E_FAIL, 0, m_szError, ARRAYSIZE(m_szError)));
    EXPECT_FALSE(AddFault(Iface::Count, 6, -1, E_FAIL, 1, m_szError, ARRAYSIZE(m_szError)));
    for (int i = 0; i < kMaxFaults; ++i)
        ASSERT_TRUE(AddFault(Iface::EQ, DWORD(i), -1, E_FAIL, 1, m_szError, ARRAYSIZE(m_szError)));
    EXPECT_FALSE(AddFault(Iface::EQ, 99, -1, E_FAIL, 1, m_szError, ARRAYSIZE(m_szError)));
    EXPECT_NE(wcsstr(m_szError, L"full"), nullptr);
}

TEST_F(SharedStateTest, InterfaceNamesAreTheInterfacesOwn)
{
    EXPECT_STREQ(IfaceName(Iface::EQ), L"ISNDIEQ");
    EXPECT_STREQ(IfaceName(Iface::EndpointEnum), L"IKVEndpointEnum");
    EXPECT_STREQ(IfaceName(Iface::ClassFactory), L"ClassFactory");
    EXPECT_STREQ(IfaceName(Iface::PolicyConfig), L"PolicyConfig");
    for (DWORD i = 0; i < DWORD(Iface::Count); ++i) {
        Iface back = Iface::Count;
        EXPECT_TRUE(IfaceFromName(IfaceName(Iface(i)), &back)) << i;
        EXPECT_EQ(DWORD(back), i);
    }
    Iface eq;
    EXPECT_TRUE(IfaceFromName(L"isndieq", &eq));
    EXPECT_EQ(eq, Iface::EQ);
    EXPECT_FALSE(IfaceFromName(L"ISNDIEQX", &eq));
}

TEST_F(SharedStateTest, AReaderAFullRingBehindSkipsAheadAndCountsTheLoss)
{
    EventReader reader;
    ULONGLONG first;
    {
        StateLock s;
        first = s->nextSeq;
    }
    for (int i = 0; i < kEventRing + 10; ++i)
        PostEvent(m_nSpk, Source::EQ, 0, KVEVT_EQ, KVEQ_BAND, UINT(i));
    std::vector<EventRecord> got = Drain(reader);
    EXPECT_EQ(reader.Lost(), 10u);
    ASSERT_EQ(got.size(), size_t(kEventRing));
    EXPECT_EQ(got.front().seq, first + 10);
    EXPECT_EQ(got.front().dwArg, 10u);
    EXPECT_EQ(got.back().dwArg, UINT(kEventRing + 9));
    PostEvent(m_nSpk, Source::EQ, 0, KVEVT_EQ, KVEQ_PREAMP, 0);
    EXPECT_EQ(Drain(reader).size(), 1u);
    EXPECT_EQ(reader.Lost(), 10u);
}

TEST_F(SharedStateTest, ResetDropsEarlierEventsButReadersCarryOn)
{
    EventReader reader;
    PostEvent(m_nSpk, Source::EQ, 0, KVEVT_EQ, KVEQ_PREAMP, 0);
    Reset(true);
    std::vector<EventRecord> got = Drain(reader);
    ASSERT_FALSE(got.empty());
    for (const EventRecord& e : got)
        EXPECT_EQ(e.eEvent, UINT(KVEVT_ENDPOINTS)) << "seq " << e.seq;
    int nGone = 0;
    for (const EventRecord& e : got)
        nGone += e.source == Source::Topology && e.dwArg == 2;
    EXPECT_EQ(nGone, 2);   // speakers and microphone
    EXPECT_EQ(reader.Lost(), 0u);
    StateLock s;
    for (const Node& n : s->nodes)
        EXPECT_FALSE(n.bUsed);
}

TEST_F(SharedStateTest, CookiesSkipZero)
{
    {
        StateLock s;
        s->dwNextCookie = 0xFFFFFFFF;
    }
    EXPECT_EQ(NewCookie(), 0xFFFFFFFFu);
    EXPECT_EQ(NewCookie(), 1u);
    EXPECT_EQ(NewCookie(), 2u);
}

TEST_F(SharedStateTest, AnotherProcessSeesOurChangesAndWeSeeItsEvents)
{
    wchar_t err[256];
    ASSERT_TRUE(SetSetting(m_nSpk, L"eq.band.2", L"3.5", err, ARRAYSIZE(err)));
    std::string out;
    ASSERT_EQ(simtest::Run(simtest::KvsimCommand(L"get speakers eq.band.2"), simtest::kInstance, &out), 0);
    EXPECT_EQ(out, "3.5\n");

    EventReader reader;
    ASSERT_EQ(simtest::Run(simtest::KvsimCommand(L"set speakers eq.band.7 -4"), simtest::kInstance), 0);
    wchar_t value[32];
    ASSERT_TRUE(GetSetting(m_nSpk, L"eq.band.7", value, ARRAYSIZE(value), err, ARRAYSIZE(err)));
    EXPECT_STREQ(value, L"-4");
    // The other process has exited; its event was waiting for us all the same.
    std::vector<EventRecord> got = Drain(reader);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].source, Source::EQ);
    EXPECT_EQ(got[0].dwHint, UINT(KVEQ_BAND));
    EXPECT_EQ(got[0].dwArg, 7u);
    EXPECT_EQ(got[0].nNode, m_nSpk);
}

// Run as a child by the test below: writes bands 5-9 while the parent writes 0-4.
TEST(Child, DISABLED_Writer)
{
    EventReader reader;
    HANDLE hReady = OpenEventW(EVENT_MODIFY_STATE, FALSE, kReadyEvent);
    ASSERT_NE(hReady, nullptr);
    SetEvent(hReady);
    CloseHandle(hReady);
    int spk = NodeByAlias(L"speakers");
    wchar_t err[256];
    for (int i = 0; i < kWrites; ++i)
        ASSERT_TRUE(SetSetting(spk, (L"eq.band." + std::to_wstring(5 + i % 5)).c_str(), i % 2 ? L"1" : L"-1", err, 256));
    int nMine = 0, nTheirs = 0;
    ULONGLONG deadline = GetTickCount64() + 30000;
    while ((nMine < kWrites || nTheirs < kWrites) && GetTickCount64() < deadline)
        for (const EventRecord& e : Drain(reader, 200))
            if (e.source == Source::EQ && e.dwHint == KVEQ_BAND)
                (e.dwArg >= 5 ? nMine : nTheirs)++;
    EXPECT_EQ(nMine, kWrites);
    EXPECT_EQ(nTheirs, kWrites);
    EXPECT_EQ(reader.Lost(), 0u);
}

TEST_F(SharedStateTest, TwoProcessesWritingAtOnceLoseNothing)
{
    EventReader reader;
    HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, kReadyEvent);
    HANDLE hChild = simtest::Start(simtest::SelfCommand(std::wstring(kChildArgs) + L"Child.DISABLED_Writer"), simtest::kInstance);
    ASSERT_NE(hChild, nullptr);
    ASSERT_EQ(WaitForSingleObject(hReady, 60000), WAIT_OBJECT_0);
    CloseHandle(hReady);
    wchar_t err[256];
    for (int i = 0; i < kWrites; ++i)
        ASSERT_TRUE(SetSetting(m_nSpk, (L"eq.band." + std::to_wstring(i % 5)).c_str(), i % 2 ? L"2" : L"-2", err, 256));
    int nMine = 0, nTheirs = 0;
    ULONGLONG nextSeq = 0;
    ULONGLONG deadline = GetTickCount64() + 30000;
    while ((nMine < kWrites || nTheirs < kWrites) && GetTickCount64() < deadline) {
        for (const EventRecord& e : Drain(reader, 200)) {
            if (nextSeq) {
                EXPECT_EQ(e.seq, nextSeq);   // every record once, in order
            }
            nextSeq = e.seq + 1;
            if (e.source == Source::EQ && e.dwHint == KVEQ_BAND)
                (e.dwArg < 5 ? nMine : nTheirs)++;
        }
    }
    EXPECT_EQ(nMine, kWrites);
    EXPECT_EQ(nTheirs, kWrites);
    EXPECT_EQ(reader.Lost(), 0u);
    EXPECT_EQ(simtest::Finish(hChild), 0) << "the child missed events";
}

// Run as a child: registers a reader and dies without unregistering it.
TEST(Child, DISABLED_DiesWithAReader)
{
    new EventReader;
    ExitProcess(0);
}

// Run as a child: takes the shared lock and dies holding it.
TEST(Child, DISABLED_DiesHoldingTheLock)
{
    kvsim::Lock();
    ExitProcess(0);
}

// As a mutex is abandoned: a holder gone, thread or process, gives the lock
// up to the next waiter, which then finds the state as it was left.
TEST_F(SharedStateTest, ALockWhoseHolderIsGoneIsTakenOver)
{
    HANDLE hThread = CreateThread(nullptr, 0, [](void*) -> DWORD {
        kvsim::Lock();
        return 0;
    }, nullptr, 0, nullptr);
    ASSERT_NE(hThread, nullptr);
    WaitForSingleObject(hThread, INFINITE);
    CloseHandle(hThread);
    const ULONGLONG t0 = GetTickCount64();
    { StateLock s; EXPECT_TRUE(s->dwMagic != 0); }
    EXPECT_LT(GetTickCount64() - t0, 2000u) << "a thread's";

    HANDLE hChild = simtest::Start(simtest::SelfCommand(std::wstring(kChildArgs) + L"Child.DISABLED_DiesHoldingTheLock"),
                                   simtest::kInstance);
    ASSERT_NE(hChild, nullptr);
    ASSERT_EQ(simtest::Finish(hChild), 0);
    const ULONGLONG t1 = GetTickCount64();
    { StateLock s; EXPECT_TRUE(s->dwMagic != 0); }
    EXPECT_LT(GetTickCount64() - t1, 2000u) << "a process's";
}

int ReadersOf(DWORD dwPid)
{
    StateLock s;
    int n = 0;
    for (const Waker& w : s->wakers)
        n += w.bUsed && w.dwPid == dwPid;
    return n;
}

TEST_F(SharedStateTest, ADeadProcesssReaderIsFreedByTheNextPost)
{
    HANDLE hChild = simtest::Start(simtest::SelfCommand(std::wstring(kChildArgs) + L"Child.DISABLED_DiesWithAReader"),
                                   simtest::kInstance);
    ASSERT_NE(hChild, nullptr);
    DWORD dwPid = GetProcessId(hChild);
    ASSERT_EQ(simtest::Finish(hChild), 0);
    EXPECT_EQ(ReadersOf(dwPid), 1);
    PostEvent(-1, Source::Topology, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 7);
    EXPECT_EQ(ReadersOf(dwPid), 0);
}

// Run as a child: registers a reader, says so and waits to be woken; then
// unregisters it, or with KVSIM_TEST_DIE set dies holding it.
TEST(Child, DISABLED_ReaderWokenOnce)
{
    auto* pReader = new EventReader;
    HANDLE hReady = OpenEventW(EVENT_MODIFY_STATE, FALSE, kReadyEvent);
    ASSERT_NE(hReady, nullptr);
    SetEvent(hReady);
    CloseHandle(hReady);
    ASSERT_EQ(WaitForSingleObject(pReader->WakeEvent(), 30000), WAIT_OBJECT_0);
    if (GetEnvironmentVariableW(L"KVSIM_TEST_DIE", nullptr, 0))
        ExitProcess(0);
    delete pReader;
}

int SlotOf(DWORD dwPid)
{
    StateLock s;
    for (int i = 0; i < kMaxWakers; ++i)
        if (s->wakers[i].bUsed && s->wakers[i].dwPid == dwPid)
            return i;
    return -1;
}

// Starts the child above and posts once it is registered; its pid and slot.
HANDLE StartWokenReader(bool bDie, DWORD* pPid, int* pSlot)
{
    HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, kReadyEvent);
    SetEnvironmentVariableW(L"KVSIM_TEST_DIE", bDie ? L"1" : nullptr);
    HANDLE hChild = simtest::Start(simtest::SelfCommand(std::wstring(kChildArgs) + L"Child.DISABLED_ReaderWokenOnce"),
                                   simtest::kInstance);
    SetEnvironmentVariableW(L"KVSIM_TEST_DIE", nullptr);
    if (hChild && WaitForSingleObject(hReady, 60000) == WAIT_OBJECT_0) {
        *pPid = GetProcessId(hChild);
        *pSlot = SlotOf(*pPid);
        PostEvent(-1, Source::Topology, 0, KVEVT_ENDPOINTS, KVHINT_TOPOLOGY, 7);
    }
    CloseHandle(hReady);
    return hChild;
}

// A writer keeps the wake events it has set; they must follow the readers.
TEST_F(SharedStateTest, AReaderTakingAnotherProcesssSlotIsWokenNotTheOldOne)
{
    DWORD dwPid = 0;
    int nFirst = -1, nSecond = -2;
    ASSERT_EQ(simtest::Finish(StartWokenReader(false, &dwPid, &nFirst)), 0);
    EXPECT_EQ(simtest::Finish(StartWokenReader(false, &dwPid, &nSecond)), 0) << "the second reader was not woken";
    EXPECT_EQ(nSecond, nFirst);
}

TEST_F(SharedStateTest, ADeadReaderWhoseEventWeHoldIsFreedWhenASlotIsWanted)
{
    DWORD dwPid = 0;
    int nSlot = -1;
    ASSERT_EQ(simtest::Finish(StartWokenReader(true, &dwPid, &nSlot)), 0);
    ASSERT_GE(nSlot, 0);
    std::vector<std::unique_ptr<EventReader>> mine;
    for (int i = 0; i < kMaxWakers; ++i)
        mine.push_back(std::make_unique<EventReader>());
    EXPECT_EQ(ReadersOf(dwPid), 0);
    EXPECT_EQ(ReadersOf(GetCurrentProcessId()), kMaxWakers);
}

TEST_F(SharedStateTest, TheToolShowsHowOftenANodeOrAnAdaptorWasRestored)
{
    std::wstring adaptor;
    {
        StateLock s;
        s->nodes[m_nSpk].dwRestoreCount = 2;
        Adaptor& a = s->adaptors[FindAdaptor(*s, s->nodes[m_nSpk].szAdaptor)];
        a.dwPresetRestoreCount = 4;
        adaptor = L"\"" + std::wstring(a.szId) + L"\"";
    }
    for (const auto& [args, want] : {std::pair<std::wstring, std::string>{L"get speakers", "restores 2 preset-restores 0\n"},
                                     {L"get speakers restores", "restores 2 preset-restores 0\n"},
                                     {L"get " + adaptor + L" restores", "restores 0 preset-restores 4\n"},
                                     {L"get nobody restores", ""}}) {
        std::string out;
        EXPECT_EQ(simtest::Run(simtest::KvsimCommand(args), simtest::kInstance, &out), want.empty() ? 1 : 0);
        EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), want) << kvtest::Narrow(args);   // the last line
    }
}

std::wstring StateFile(const wchar_t* instance)
{
    wchar_t dir[MAX_PATH];
    GetEnvironmentVariableW(L"ProgramData", dir, MAX_PATH);
    return std::wstring(dir) + L"\\KVSim\\" + instance + L".state";
}

TEST_F(SharedStateTest, ADamagedOrForeignStateFileStartsAfreshAndAGoodOneIsKept)
{
    const wchar_t kOther[] = L"simstate_test_file";
    auto block = std::make_unique<SharedState>();
    ASSERT_TRUE(SetSetting(m_nSpk, L"eq.band.0", L"7", m_szError, ARRAYSIZE(m_szError)));
    {
        StateLock s;
        memcpy(block.get(), &*s, sizeof(SharedState));
    }
    struct Case {
        const char* what;
        const void* data;
        size_t cb;
        const char* band0;
    };
    const char junk[100] = "not a state file";
    auto damaged = std::make_unique<SharedState>(*block);
    damaged->nodes[m_nSpk].features.eq.nBands = 1000;
    auto foreign = std::make_unique<SharedState>(*block);
    foreign->dwVersion += 1;
    const Case cases[] = {
        {"a good file", block.get(), sizeof(SharedState), "7\n"},
        {"too short", junk, sizeof(junk), "0\n"},
        {"a count out of range", damaged.get(), sizeof(SharedState), "0\n"},
        {"another version", foreign.get(), sizeof(SharedState), "0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(kvtest::WriteFileBytes(StateFile(kOther), c.data, c.cb));
        std::string out;
        EXPECT_EQ(simtest::Run(simtest::KvsimCommand(L"get speakers eq.band.0"), kOther, &out), 0);
        EXPECT_EQ(out, c.band0);
    }
    // And what one process sets, the next one finds.
    EXPECT_EQ(simtest::Run(simtest::KvsimCommand(L"set speakers eq.band.0 -2.5"), kOther), 0);
    std::string out;
    EXPECT_EQ(simtest::Run(simtest::KvsimCommand(L"get speakers eq.band.0"), kOther, &out), 0);
    EXPECT_EQ(out, "-2.5\n");
    DeleteFileW(StateFile(kOther).c_str());
}

}  // namespace
