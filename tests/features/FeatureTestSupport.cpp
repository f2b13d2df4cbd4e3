#include "FeatureTestSupport.h"

#include "SimState.h"
#include "test_support.h"

#include <mutex>

namespace ftest {

namespace {

// Before anything opens the simulated driver's state, so this program has its own.
const bool g_bInstance = SetEnvironmentVariableW(L"KVSIM_INSTANCE", L"features_test") != 0;

std::mutex g_mutex;
std::vector<Notice> g_notices;
HANDLE g_hNotice = CreateEventW(nullptr, FALSE, FALSE, nullptr);

}  // namespace

const wchar_t kSpeakersId[] = L"{0.0.0.00000000}.{7D9E1A10-5A3B-4C1D-8E2F-00000000F0A1}";

std::wstring DefaultEndpointFeatures()
{
    return LR"(
    agc enabled=1
    bassboost enabled=0 range=0:12:1 value=6 freq-range=40:160:10 freq=80
    bassmgmt enabled=0 range=40:200:10 value=80
    subwoofer range=-10:10:1 state=0
    mixer levels=100,90
    pdp enabled=0 range=0:100:1 value=50
    upmix enabled=1 selected=-1
        element type=5 access-denied=1 range=0:100:1 value=0 mode=0
        element type=6 access-denied=1 vsur3=1 range=0:100:1 value=50 mode=2
    eq enabled=1 preamp-range=-24:0:0.5 preamp=0
        band label=31 range=-12.25:12:0.5 level=0
        band label=62 range=-12:12:0.5 level=0
    eqpresets wide=1 narrow=0 active=flat
        preset key=flat name=Flat kind=builtin levels=0,0 preamp=0
        preset key=mine name=Mine kind=user levels=1,2 preamp=0
    reverb enabled=0 range=0:100:1 value=30 presets-enabled=1
        item rank=0 mode=4096
        item rank=3 mode=8192
        item rank=3 mode=4096
    rvxpresets wide=1 narrow=0 active=room
        preset key=room name=Room kind=builtin value=20
        preset key=user name=User kind=user value=40
        preset key=hall name=Hall kind=builtin value=60
    speakers version=2 current=0
        layout name=b speakers=2 lfe=0 format=stereo
        layout name=A speakers=4 lfe=0 format=quad
        layout name=a speakers=5 lfe=1 format=5.1
        layout name=E speakers=2 lfe=0 format=effect
)";
}

std::wstring DefaultDeviceFeatures()
{
    return LR"(
    agc enabled=0
    eq enabled=1 preamp-range=-12:0:1 preamp=0
        band label=60 range=-10:10:1 level=0
    eqpresets wide=0 narrow=1 active=flat
        preset key=flat name=Flat kind=builtin levels=0 preamp=0
        preset key=loud name=Loud kind=user levels=5 preamp=-5
    rvxpresets wide=0 narrow=1 active=none
        preset key=none name=None kind=builtin value=0
    speakers version=1 current=0
        layout name=Stereo speakers=2 lfe=0 format=stereo
)";
}

std::wstring Topology(const std::wstring& endpointFeatures, const std::wstring& deviceFeatures)
{
    return std::wstring(L"mode endpoint\nendpoint spk render\n    id ") + kSpeakersId +
           L"\n    name \"Feature Speakers\"\n    form-factor 1\n    adaptor ADP-FEATURES\n    state active\n"
           L"    format channels=2 mask=0x3 rate=48000\n" +
           endpointFeatures + L"\ndevice dev\n    name \"Narrow Codec\"\n    adaptor ADP-DEVICE\n" + deviceFeatures +
           L"\n";
}

void DriverTest::SetUp()
{
    ASSERT_TRUE(g_bInstance);
    NoticeLog::Clear();
    Load(Topology(DefaultEndpointFeatures(), DefaultDeviceFeatures()));
}

void DriverTest::TearDown()
{
    Release();
    kvsim::ClearFaults();
}

void DriverTest::Release()
{
    SafeRelease(m_pEndpoint);
    SafeRelease(m_pDevice);
    SafeRelease(m_pEnum);
    SafeRelease(m_pDeviceEnum);
}

void DriverTest::Load(const std::wstring& topology)
{
    Release();
    wchar_t szError[256] = L"";
    ASSERT_TRUE(kvsim::LoadTopologyText(topology.c_str(), L"features_test", szError, 256)) << kvtest::Narrow(szError);
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_KVEndpointEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IKVEndpointEnum,
                                     reinterpret_cast<void**>(&m_pEnum)));
    ASSERT_EQ(S_OK, m_pEnum->GetEndpoint(0, KV_FLOW_RENDER, KV_STATE_ACTIVE, &m_pEndpoint));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_KVDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IKVDeviceEnum,
                                     reinterpret_cast<void**>(&m_pDeviceEnum)));
    ASSERT_EQ(S_OK, m_pDeviceEnum->Reset());
    ASSERT_EQ(S_OK, m_pDeviceEnum->Next());
    ASSERT_EQ(S_OK, m_pDeviceEnum->GetCurrent(&m_pDevice));
}

int DriverTest::Node(const wchar_t* alias) const
{
    kvsim::StateLock lock;
    return kvsim::FindNode(*lock, alias);
}

void DriverTest::Fail(const wchar_t* iface, DWORD dwSlot, HRESULT hr, int nNode, LONG nCount)
{
    kvsim::Iface id;
    ASSERT_TRUE(kvsim::IfaceFromName(iface, &id));
    wchar_t szError[256] = L"";
    ASSERT_TRUE(kvsim::AddFault(id, dwSlot, nNode, hr, nCount, szError, 256)) << kvtest::Narrow(szError);
}

LONG DriverTest::FaultRemaining(const wchar_t* iface, DWORD dwSlot)
{
    kvsim::Iface id;
    EXPECT_TRUE(kvsim::IfaceFromName(iface, &id));
    kvsim::StateLock lock;
    for (const kvsim::Fault& f : lock->faults)
        if (f.bUsed && f.iface == id && f.dwSlot == dwSlot)
            return f.nRemaining;
    return 0;
}

void DriverTest::Set(const wchar_t* alias, const wchar_t* name, const wchar_t* value)
{
    wchar_t szError[256] = L"";
    ASSERT_TRUE(kvsim::SetSetting(Node(alias), name, value, szError, 256)) << kvtest::Narrow(szError);
}

LONG CALLBACK NoticeLog::Callback(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_notices.push_back({eEvent, dwHint, dwArg, pContext, GetCurrentThreadId()});
    }
    SetEvent(g_hNotice);
    return 0;
}

void NoticeLog::Clear()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_notices.clear();
}

bool NoticeLog::WaitFor(UINT eEvent, UINT dwHint, DWORD dwMs)
{
    DWORD dwEnd = GetTickCount() + dwMs;
    for (;;) {
        for (const Notice& n : Snapshot())
            if (n.eEvent == eEvent && (dwHint == ~0u || n.dwHint == dwHint))
                return true;
        LONG left = LONG(dwEnd - GetTickCount());
        if (left <= 0)
            return false;
        WaitForSingleObject(g_hNotice, DWORD(left));
    }
}

std::vector<Notice> NoticeLog::Snapshot()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_notices;
}

}  // namespace ftest
