// Two processes with a session on the same endpoint, kept in step by a peer
// that relays each switch, as the maker's own background process does.
#include "SessionTestSupport.h"

#include <cstdio>

namespace stest {

namespace {

const wchar_t kReady[] = L"KVSessionTest.ready", kGo[] = L"KVSessionTest.go",
              kSwitched[] = L"KVSessionTest.switched", kReport[] = L"KVSessionTest.report";

HANDLE Event(const wchar_t* pszName)
{
    return CreateEventW(nullptr, TRUE, FALSE, pszName);
}

bool WaitPumping(HANDLE hEvent, DWORD dwMs)
{
    return PumpUntil([&] { return WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0; }, dwMs);
}

// Alternating switches, starting with off, with the queue run between them.
void Alternate(CKVDeviceEndpoint& session, int nSwitches)
{
    for (int i = 0; i < nSwitches; ++i) {
        session.SetMasterOnOff(i % 2 == 1, TRUE);
        kvtest::PumpUntilIdle(0);
    }
}

} // namespace

// The other process: a session whose window records what it is told; with
// switches > 0 it also switches when told to go. Its final state goes to
// the report file as "master=M told=N".
int RunSessionChild(int nSwitches, const wchar_t* pszReport)
{
    HANDLE hReady = Event(kReady), hGo = Event(kGo), hSwitched = Event(kSwitched), hReport = Event(kReport);
    int rc = 1;
    {
        Recorder window;
        CKVDeviceEndpoint session(0x0409);
        session.OpenDeviceEndpoint();
        session.m_arrNotifyWnd.push_back(window.Handle());
        SetEvent(hReady);
        if (nSwitches > 0 && WaitPumping(hGo, 30000))
            Alternate(session, nSwitches);
        SetEvent(hSwitched);
        if (WaitPumping(hReport, 60000)) {
            PumpFor(300);
            FILE* f = _wfopen(pszReport, L"w");
            if (f) {
                fprintf(f, "master=%d told=%d", session.m_bMasterOn ? 1 : 0, window.Count(WM_MASTER_ONOFF_CHANGE));
                fclose(f);
                rc = 0;
            }
        }
        session.CloseDeviceEndpoint();
    }
    for (HANDLE h : {hReady, hGo, hSwitched, hReport})
        CloseHandle(h);
    return rc;
}

namespace {

class CrossProcess : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        m_dir = kvtest::NewTempDirectory();
        for (HANDLE& h : m_events)
            h = nullptr;
        const wchar_t* names[] = {kReady, kGo, kSwitched, kReport};
        for (int i = 0; i < 4; ++i) {
            m_events[i] = Event(names[i]);
            ResetEvent(m_events[i]);
        }
        HANDLE hPeerReady = Event(L"KVSessionTest.peer");
        ResetEvent(hPeerReady);
        m_hPeer = kvtest::StartProgram(L"KVPeer.exe", L"--serve --relay --ready-event KVSessionTest.peer --log \"" +
                                                          m_dir + L"peer.log\"");
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hPeerReady, 10000));
        CloseHandle(hPeerReady);
    }
    void TearDown() override
    {
        kvtest::RunProgram(L"KVPeer.exe", L"--stop");
        if (m_hPeer) {
            WaitForSingleObject(m_hPeer, 5000);
            CloseHandle(m_hPeer);
        }
        for (HANDLE h : m_events)
            CloseHandle(h);
        kvtest::RemoveTree(m_dir);
        SessionTest::TearDown();
    }
    HANDLE StartChild(int nSwitches)
    {
        HANDLE h = kvtest::StartProgram(kvtest::ExeFileName(), L"--session-child " + std::to_wstring(nSwitches) +
                                                                   L" \"" + m_dir + L"child.txt\"");
        EXPECT_TRUE(WaitPumping(m_events[0], 15000)) << "the child's session";
        return h;
    }
    std::string ChildReport(HANDLE hChild)
    {
        SetEvent(m_events[3]);
        WaitForSingleObject(hChild, 15000);
        CloseHandle(hChild);
        std::vector<BYTE> bytes = kvtest::ReadFileBytes(m_dir + L"child.txt");
        return std::string(bytes.begin(), bytes.end());
    }

    std::wstring m_dir;
    HANDLE m_hPeer = nullptr;
    HANDLE m_events[4];
};

TEST_F(CrossProcess, ASwitchInOneProcessReachesTheOthersWindows)
{
    Open();
    HANDLE hChild = StartChild(0);
    m_pSession->SetMasterOnOff(FALSE, TRUE);
    PumpFor(300);
    EXPECT_EQ("master=0 told=1", ChildReport(hChild));
    EXPECT_FALSE(m_pSession->m_bMasterOn);
}

TEST_F(CrossProcess, BothSwitchingAtOnceEndInOneAgreedState)
{
    Open();
    HANDLE hChild = StartChild(199);  // ends off; we end on
    SetEvent(m_events[1]);
    Alternate(*m_pSession, 200);
    ASSERT_TRUE(WaitPumping(m_events[2], 60000));
    PumpFor(500);
    const DWORD dwStored = StoreValue(EndpointId(1), PKEY_KV_MasterOnOff);
    std::string report = ChildReport(hChild);
    EXPECT_EQ(dwStored, m_pSession->m_bMasterOn ? 1u : 0u);
    EXPECT_EQ(0u, report.find("master=" + std::to_string(dwStored))) << report;
}

} // namespace
} // namespace stest
