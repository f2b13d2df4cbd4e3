#include "ContractSupport.h"

#include "test_support.h"

#include <chrono>

namespace contract {

const wchar_t kSpeakersId[] = L"{0.0.0.00000000}.{C0A7AC70-0001-4000-8000-00000000C001}";
const wchar_t kHeadphonesId[] = L"{0.0.0.00000000}.{C0A7AC70-0001-4000-8000-00000000C002}";
const wchar_t kMicrophoneId[] = L"{0.0.1.00000000}.{C0A7AC70-0001-4000-8000-00000000C003}";
const wchar_t kDeviceName[] = L"Contract Device";
const wchar_t kAdaptorId[] = L"HDAUDIO\\FUNC_01&VEN_10EC&DEV_0001&SUBSYS_00000000&REV_1000\\CONTRACT";

namespace {

// Small on purpose: three bands, few presets, so that the tables below can
// name every expected value.
const wchar_t kTopology[] = LR"(mode endpoint

endpoint speakers render
    id {0.0.0.00000000}.{C0A7AC70-0001-4000-8000-00000000C001}
    name "Contract Speakers"
    form-factor 1
    adaptor HDAUDIO\FUNC_01&VEN_10EC&DEV_0001&SUBSYS_00000000&REV_1000\CONTRACT
    state active
    format channels=2 mask=0x3 rate=48000
    agc enabled=0
    bassboost enabled=0 range=0:12:1 value=6 freq-range=40:160:10 freq=80
    bassmgmt enabled=0 range=40:200:10 value=80
    subwoofer range=-10:10:1 state=0
    mixer levels=100,100,100,100,100,100,100,100
    pdp enabled=0 range=0:100:1 value=50
    upmix enabled=0 selected=-1
        element type=1 range=0:100:1 value=0 mode=0
        element type=6 access-denied=1 vsur3=1 range=0:100:1 value=50 mode=2
    eq enabled=1 preamp-range=-24:0:0.5 preamp=0
        band label=31 range=-12:12:0.5 level=0
        band label=1k range=-12:12:0.5 level=0
        band label=16k range=-12:12:0.5 level=0
    eqpresets wide=1 narrow=0 active=eq-flat
        preset key=eq-flat name=Flat kind=builtin levels=0,0,0 preamp=0
        preset key=eq-rock name=Rock kind=builtin levels=5,-1,4 preamp=-4
        preset key=user-1 name="My Evening" kind=user levels=2,1,2 preamp=-1.5
    reverb enabled=0 range=0:100:1 value=30 presets-enabled=1
        item rank=1 mode=4096
        item rank=3 mode=8192
    rvxpresets wide=1 narrow=0 active=rvx-room
        preset key=rvx-room name=Room kind=builtin value=20
        preset key=rvx-hall name=Hall kind=builtin value=45
    speakers version=2 current=0
        layout name=Stereo speakers=2 lfe=0 format=stereo
        layout name="5.1 Speaker" speakers=5 lfe=1 format=5.1
        layout name="5.1 Again" speakers=5 lfe=1 format=5.1
        layout name="Virtual Surround" speakers=2 lfe=0 format=effect

endpoint headphones render
    id {0.0.0.00000000}.{C0A7AC70-0001-4000-8000-00000000C002}
    name "Contract Headphones"
    form-factor 3
    adaptor HDAUDIO\FUNC_01&VEN_10EC&DEV_0001&SUBSYS_00000000&REV_1000\CONTRACT
    state unplugged
    agc enabled=1

endpoint microphone capture
    id {0.0.1.00000000}.{C0A7AC70-0001-4000-8000-00000000C003}
    name "Contract Microphone"
    form-factor 4
    adaptor HDAUDIO\FUNC_01&VEN_10EC&DEV_0001&SUBSYS_00000000&REV_1000\CONTRACT
    state active
    agc enabled=1
    eqpresets wide=1 narrow=0 active=mic-1
        preset key=mic-1 name=Voice kind=user preamp=0

device legacy
    name "Contract Device"
    eq enabled=0 preamp-range=-12:0:1 preamp=0
        band label=100 range=-6:6:1 level=0
    eqpresets wide=0 narrow=1 active=eq-flat
        preset key=eq-flat name=Flat kind=builtin levels=0 preamp=0
        preset key=dev-user name="Mine" kind=user levels=3 preamp=-1
    reverb enabled=0 range=0:100:1 value=10 presets-enabled=0
    rvxpresets wide=0 narrow=1 active=<Custom>
        preset key=rvx-small name=Small kind=builtin value=15
    speakers version=1 current=0
        layout name=Stereo speakers=2 lfe=0 format=stereo
)";

}  // namespace

HRESULT CRecordingSink::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_INotifySink) return E_NOINTERFACE;
    *ppv = static_cast<INotifySink*>(this);
    AddRef();
    return S_OK;
}

// Sinks live on the test's stack; the count only shows what the driver holds.
ULONG CRecordingSink::Release() { return InterlockedDecrement(&m_cRef); }

HRESULT CRecordingSink::OnNotify(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext)
{
    Note n{eEvent, dwHint, dwArg, pContext, GetCurrentThreadId()};
    if (onNotify) onNotify(n);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_notes.push_back(n);
    }
    m_cv.notify_all();
    return S_OK;
}

bool CRecordingSink::WaitFor(size_t n, DWORD dwMs, std::function<bool(const Note&)> match)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(dwMs), [&] {
        size_t c = 0;
        for (const Note& note : m_notes) c += (!match || match(note)) ? 1 : 0;
        return c >= n;
    });
}

std::vector<Note> CRecordingSink::Notes()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_notes;
}

UINT Advise(const Ref& obj, INotifySink* pSink, void* pContext)
{
    Ref source = Query(obj, IID_ISNDINotifySource);
    UINT nCookie = 0;
    if (!source || FAILED(CallSlot(source.get(), 3, pContext, &nCookie, pSink))) return 0;
    return nCookie;
}

HRESULT Unadvise(const Ref& obj, UINT nCookie)
{
    HRESULT hr = E_NOINTERFACE;
    Ref source = Query(obj, IID_ISNDINotifySource, &hr);
    return source ? CallSlot(source.get(), 5, nCookie) : hr;
}

Ref CreateClass(const CLSID& clsid, const IID& iid, HRESULT* phr)
{
    Ref r;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, r.Put());
    if (phr) *phr = hr;
    return r;
}

Ref Query(const Ref& obj, const IID& iid, HRESULT* phr)
{
    Ref r;
    HRESULT hr = obj ? obj.get()->QueryInterface(iid, r.Put()) : E_POINTER;
    if (phr) *phr = hr;
    return r;
}

Ref Feature(const Ref& node, const IID& iid, HRESULT* phr, int slot)
{
    Ref r;
    HRESULT hr = node ? CallSlot(node.get(), slot, &iid, r.Put()) : E_POINTER;
    if (phr) *phr = hr;
    if (FAILED(hr)) r.Reset();
    return r;
}

void LoadTestTopology()
{
    wchar_t error[256] = L"";
    ASSERT_TRUE(kvsim::LoadTopologyText(kTopology, L"contract", error, 256)) << kvtest::Narrow(error);
}

int NodeIndex(const wchar_t* id)
{
    kvsim::StateLock lock;
    return kvsim::FindNodeById(*lock, id);
}

kvsim::Node NodeCopy(int n)
{
    kvsim::StateLock lock;
    return lock->nodes[n];
}

void EditNode(int n, const std::function<void(kvsim::Node&)>& f)
{
    kvsim::StateLock lock;
    f(lock->nodes[n]);
}

void ContractTest::SetUp()
{
    LoadTestTopology();
    kvsim::ClearFaults();
    m_nSpeakers = NodeIndex(kSpeakersId);
    m_nDevice = NodeIndex(kDeviceName);
    ASSERT_GE(m_nSpeakers, 0);
    ASSERT_GE(m_nDevice, 0);
    HRESULT hr = E_FAIL;
    m_endpointEnum = CreateClass(CLSID_KVEndpointEnum, IID_IKVEndpointEnum, &hr);
    ASSERT_EQ(S_OK, hr) << "is KVSimDrv.dll registered?";
}

void ContractTest::TearDown()
{
    kvsim::ClearFaults();
}

Ref ContractTest::Speakers()
{
    Ref ep;
    EXPECT_EQ(S_OK, CallSlot(m_endpointEnum.get(), 7, 0u, UINT{KV_FLOW_RENDER}, DWORD{KV_STATE_ACTIVE}, ep.Put()));
    return ep;
}

Ref ContractTest::Microphone()
{
    Ref ep;
    EXPECT_EQ(S_OK, CallSlot(m_endpointEnum.get(), 7, 0u, UINT{KV_FLOW_CAPTURE}, DWORD{KV_STATE_ACTIVE}, ep.Put()));
    return ep;
}

Ref ContractTest::Device()
{
    Ref devEnum = CreateClass(CLSID_KVDeviceEnum, IID_IKVDeviceEnum);
    Ref dev;
    if (!devEnum) return dev;
    CallSlot(devEnum.get(), 10);  // reset
    if (CallSlot(devEnum.get(), 9) == S_OK) CallSlot(devEnum.get(), 11, dev.Put());
    return dev;
}

}  // namespace contract
