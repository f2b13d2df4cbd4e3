// KVAudEp.dll: what it reports for the simulation's topology changes, from
// which thread, and never once unregistering has returned.
#include "StandinsTest.h"

#include "KVAudEp.h"
#include "SimState.h"
#include "features/KVDriverTypes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// The calls one registration received.
struct CRecorder {
    std::mutex mutex;
    std::vector<int> msgs;
    std::atomic<int> nOnCallerThread{0}, nLate{0};
    DWORD dwCaller = GetCurrentThreadId();
    HANDLE hNotify = nullptr;
    bool bUnregisterInCall = false;
    bool bLinger = false;   // stay a while in each call, so unregistering meets calls in progress
    std::atomic<bool> bUnregistered{false};

    static tagKVAUDENDPOINTRESULT CALLBACK Callback(tagKVREGISTERNOTIFYPROCMSG msg, ULONGLONG, ULONGLONG context)
    {
        auto* p = reinterpret_cast<CRecorder*>(context);
        p->nLate += p->bUnregistered;
        p->nOnCallerThread += GetCurrentThreadId() == p->dwCaller;
        {
            std::lock_guard<std::mutex> lock(p->mutex);
            p->msgs.push_back(msg);
        }
        if (p->bUnregisterInCall && !p->bUnregistered)
            p->bUnregistered = KVUnregisterNotificationCallback(p->hNotify) == KVAUDENDPOINT_OK;
        for (ULONGLONG end = GetTickCount64() + 1; p->bLinger && GetTickCount64() <= end;)
            ;
        p->nLate += p->bLinger && p->bUnregistered;   // Unregister returned while this call ran
        return KVAUDENDPOINT_OK;
    }
    tagKVAUDENDPOINTRESULT Register()
    {
        return KVRegisterNotificationCallback(Callback, reinterpret_cast<ULONGLONG>(this), &hNotify);
    }
    tagKVAUDENDPOINTRESULT Unregister()
    {
        tagKVAUDENDPOINTRESULT r = KVUnregisterNotificationCallback(hNotify);
        bUnregistered = true;
        return r;
    }
    std::vector<int> Msgs()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return msgs;
    }
    // Waits for a call with nMsg after the first `from` calls; the count so far.
    size_t WaitFor(int nMsg, size_t from = 0, DWORD dwMs = 5000)
    {
        for (ULONGLONG end = GetTickCount64() + dwMs; GetTickCount64() < end; Sleep(5)) {
            std::vector<int> m = Msgs();
            for (size_t i = from; i < m.size(); ++i)
                if (m[i] == nMsg)
                    return m.size();
        }
        ADD_FAILURE() << "no msg " << nMsg;
        return from;
    }
};

void PostTopology(UINT nMsg)
{
    kvsim::PostEvent(-1, kvsim::Source::Topology, 0, KVEVT_ENDPOINTS, 0, nMsg);
}

TEST(AudEpTest, PlugUnplugAndChangesArriveOnTheLibrarysThreadWithEachContext)
{
    CRecorder a, b;
    ASSERT_EQ(KVAUDENDPOINT_OK, a.Register());
    ASSERT_EQ(KVAUDENDPOINT_OK, b.Register());
    wchar_t szError[128];
    ASSERT_TRUE(kvsim::SetPlugged(standins::kHeadphonesNode, false, szError, 128));
    size_t n = a.WaitFor(KVNOTIFY_ENDPOINT_REMOVED);
    ASSERT_TRUE(kvsim::SetPlugged(standins::kHeadphonesNode, true, szError, 128));
    n = a.WaitFor(KVNOTIFY_ENDPOINT_ADDED, n);
    ASSERT_TRUE(standins::LoadTopology(standins::TopologyText(L"Renamed Headphones")));
    n = a.WaitFor(KVNOTIFY_ENDPOINT_CHANGED, n);
    ASSERT_TRUE(standins::LoadTopology(standins::TopologyText()));
    // Records of other sources are not reported; any msg passes unchanged.
    kvsim::PostEvent(standins::kSpeakersNode, kvsim::Source::EQ, 0, KVEVT_EQ, 0, 77);
    PostTopology(7);
    a.WaitFor(7, n);
    b.WaitFor(7, n);
    EXPECT_EQ(KVAUDENDPOINT_OK, a.Unregister());
    EXPECT_EQ(KVAUDENDPOINT_OK, b.Unregister());
    EXPECT_EQ(KVAUDENDPOINT_INVALID_HANDLE, b.Unregister()) << "already freed";
    EXPECT_EQ(KVAUDENDPOINT_INVALID_ARGUMENT, KVRegisterNotificationCallback(nullptr, 0, &b.hNotify));
    EXPECT_EQ(nullptr, b.hNotify);
    EXPECT_EQ(a.Msgs(), b.Msgs());
    EXPECT_EQ(0, a.nOnCallerThread + b.nOnCallerThread);
    for (int nMsg : a.Msgs())
        EXPECT_NE(77, nMsg);
}

TEST(AudEpTest, ACallbackMayUnregisterItselfAsTheLastRegistration)
{
    // Nobody can wait for the dispatch thread then: it ends by itself, and a
    // new registration gets a new one.
    CRecorder last, next;
    last.bUnregisterInCall = true;
    ASSERT_EQ(KVAUDENDPOINT_OK, last.Register());
    PostTopology(2);
    last.WaitFor(2);
    ASSERT_EQ(KVAUDENDPOINT_OK, next.Register());
    PostTopology(3);
    next.WaitFor(3);
    EXPECT_EQ(KVAUDENDPOINT_OK, next.Unregister());
    EXPECT_EQ(std::vector<int>{2}, last.Msgs());
    EXPECT_TRUE(last.bUnregistered);
}

// Registrations come and go against a stream of records, with the dispatch
// thread stopping and restarting (alone) or running on (beside a keeper).
TEST(AudEpTest, NoCallStartsOrRunsOnceUnregisterHasReturned)
{
    std::atomic<bool> bStop{false};
    std::thread poster([&] {
        for (int i = 0; i < 200000 && !bStop; ++i) {
            PostTopology(3);
            if (i % 16 == 0)
                Sleep(1);
        }
    });
    std::vector<std::unique_ptr<CRecorder>> recorders;   // alive to the end: a late call must find its own
    CRecorder keeper;
    size_t nDelivered = 0;
    for (int i = 0; i < 120; ++i) {
        if (i == 60) {
            EXPECT_EQ(KVAUDENDPOINT_OK, keeper.Register());
        }
        recorders.push_back(std::make_unique<CRecorder>());
        CRecorder& r = *recorders.back();
        r.bLinger = true;
        EXPECT_EQ(KVAUDENDPOINT_OK, r.Register());
        for (int k = 0; i % 3 == 0 && k < 500 && r.Msgs().empty(); ++k)   // then leave mid-stream
            Sleep(1);
        EXPECT_EQ(KVAUDENDPOINT_OK, r.Unregister());
        nDelivered += r.Msgs().size();
    }
    EXPECT_EQ(KVAUDENDPOINT_OK, keeper.Unregister());
    Sleep(100);
    bStop = true;
    poster.join();
    int nLate = 0;
    for (const auto& r : recorders)
        nLate += r->nLate;
    EXPECT_EQ(0, nLate);
    EXPECT_GT(nDelivered, 0u) << "the stream reached the callbacks";
}

}  // namespace
