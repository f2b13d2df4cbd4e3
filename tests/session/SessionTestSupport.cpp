#include "SessionTestSupport.h"

#include "SimState.h"
#include "support/ShowDebugString.h"

#include <algorithm>
#include <mutex>

namespace stest {

const wchar_t kCoexistKey[] = L"Software\\Halvex\\ALCoexist";
const wchar_t kLumoraCoexistKey[] = L"Software\\Lumora Tech\\ALCoexist";

std::wstring EndpointId(int n)
{
    wchar_t sz[80];
    swprintf(sz, 80, L"{0.0.0.00000000}.{5E551000-0000-4000-8000-%012d}", n);
    return sz;
}

std::wstring RenderEndpoint(const std::wstring& alias, int n, int nFormFactor, const std::wstring& extra)
{
    return L"endpoint " + alias + L" render\n    id " + EndpointId(n) + L"\n    name " + alias +
           L"\n    form-factor " + std::to_wstring(nFormFactor) +
           L"\n    adaptor ADP-A\n    instance-path "
           L"{1}.HDAUDIO\\FUNC_01&VEN_10EC&DEV_0899&SUBSYS_10EC1234&REV_1000\\4&2B1E5C3A&0&0001\n"
           L"    state active\n    format channels=2 mask=0x3 rate=48000\n" +
           extra;
}

std::wstring Features(bool bBassBoostOn, bool bEqOn)
{
    return std::wstring(L"    agc enabled=0\n    bassboost enabled=") + (bBassBoostOn ? L"1" : L"0") +
           L" range=0:12:1 value=6 freq-range=40:160:10 freq=80\n"
           L"    bassmgmt enabled=0 range=40:200:10 value=80\n"
           L"    pdp enabled=0 range=0:100:1 value=50\n"
           L"    upmix enabled=0 selected=-1\n"
           L"        element type=1 range=0:100:1 value=0 mode=0\n"
           L"        element type=6 vsur3=1 range=0:100:1 value=50 mode=2\n"
           L"    eq enabled=" + (bEqOn ? L"1" : L"0") + L" preamp-range=-24:0:0.5 preamp=0\n"
           L"        band label=31 range=-12:12:0.5 level=0\n"
           L"    eqpresets wide=1 narrow=0 active=flat\n"
           L"        preset key=flat name=Flat kind=builtin levels=0 preamp=0\n"
           L"    reverb enabled=0 range=0:100:1 value=30 presets-enabled=0\n"
           L"        item rank=2 mode=8192\n"
           L"    rvxpresets wide=1 narrow=0 active=room\n"
           L"        preset key=room name=Room kind=builtin value=20\n"
           L"    speakers version=2 current=0\n"
           L"        layout name=Stereo speakers=2 lfe=0 format=stereo\n"
           L"        layout name=Virtual speakers=2 lfe=0 format=effect\n";
}

std::wstring DefaultTopology()
{
    return L"mode endpoint\n" + RenderEndpoint(L"speakers", 1, 1, Features(true, true)) +
           L"endpoint mic capture\n    id {0.0.1.00000000}.{5E551000-0000-4000-8000-000000000101}\n"
           L"    name Microphone\n    form-factor 4\n    adaptor ADP-A\n    state active\n    agc enabled=1\n";
}

// ---- Recorder -------------------------------------------------------------------

Recorder::Recorder(const wchar_t* pszName, bool bTopLevel)
{
    static ATOM s_atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SessionTestRecorder";
        return RegisterClassW(&wc);
    }();
    m_hWnd = CreateWindowExW(0, MAKEINTATOM(s_atom), pszName, WS_POPUP, 0, 0, 0, 0,
                             bTopLevel ? nullptr : HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Recorder::~Recorder()
{
    DestroyWindow(m_hWnd);
}

int Recorder::Count(UINT nMsg) const
{
    int n = 0;
    for (const Message& m : m_messages)
        n += m.nMsg == nMsg;
    return n;
}

LRESULT CALLBACK Recorder::Proc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    Recorder* p = reinterpret_cast<Recorder*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    const bool bOurs = (nMsg >= 4019 && nMsg <= 4040) || (nMsg >= 0xC000 && nMsg <= 0xFFFF);
    if (p && bOurs) {
        p->m_messages.push_back({nMsg, wParam, lParam, GetTickCount64()});
        return 0;
    }
    return DefWindowProcW(hWnd, nMsg, wParam, lParam);
}

// ---- Pumping and traces -------------------------------------------------------------

bool PumpUntil(const std::function<bool()>& done, DWORD dwMaxMs)
{
    const ULONGLONG end = GetTickCount64() + dwMaxMs;
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now < 10 ? end - now : 10), QS_ALLINPUT);
    }
}

void PumpFor(DWORD dwMs)
{
    PumpUntil([] { return false; }, dwMs);
}

TraceCapture::TraceCapture() : m_dwFlags(g_ShowDebugString.m_dwFlags)
{
    g_ShowDebugString.m_dwFlags = ShowDebugString::FLAG_ON;
}

TraceCapture::~TraceCapture()
{
    g_ShowDebugString.m_dwFlags = m_dwFlags;
}

int TraceCapture::Count(const std::wstring& text)
{
    int n = 0;
    for (const std::wstring& line : m_capture.Lines())
        n += line.find(text) != std::wstring::npos;
    return n;
}

int TraceCapture::First(const std::wstring& text)
{
    const std::vector<std::wstring> lines = m_capture.Lines();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::wstring::npos)
            return static_cast<int>(i);
    return -1;
}

namespace {
std::mutex g_hooksMutex;
std::vector<TraceHook*> g_hooks;
PVOID g_hHooksHandler = nullptr;
} // namespace

TraceHook::TraceHook(std::wstring text, std::function<void()> fn)
    : m_text(std::move(text)), m_narrow(kvtest::Narrow(m_text)), m_fn(std::move(fn))
{
    std::lock_guard<std::mutex> lock(g_hooksMutex);
    if (g_hooks.empty())
        g_hHooksHandler = AddVectoredExceptionHandler(1, Handler);
    g_hooks.push_back(this);
}

TraceHook::~TraceHook()
{
    std::lock_guard<std::mutex> lock(g_hooksMutex);
    g_hooks.erase(std::find(g_hooks.begin(), g_hooks.end(), this));
    if (g_hooks.empty())
        RemoveVectoredExceptionHandler(g_hHooksHandler);
}

// fn runs outside the lock: it may trace, or make a hook of its own.
LONG CALLBACK TraceHook::Handler(EXCEPTION_POINTERS* p)
{
    // Debugger output arrives as the wide or the narrow print exception.
    const EXCEPTION_RECORD* r = p->ExceptionRecord;
    const bool bWide = r->ExceptionCode == 0x4001000A;
    if ((!bWide && r->ExceptionCode != 0x40010006) || r->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const void* pLine = reinterpret_cast<const void*>(r->ExceptionInformation[1]);
    std::vector<TraceHook*> due;
    {
        std::lock_guard<std::mutex> lock(g_hooksMutex);
        for (TraceHook* h : g_hooks) {
            const bool bHas = bWide ? wcsstr(static_cast<const wchar_t*>(pLine), h->m_text.c_str()) != nullptr
                                    : strstr(static_cast<const char*>(pLine), h->m_narrow.c_str()) != nullptr;
            if (bHas && !h->m_bFired.exchange(true))
                due.push_back(h);
        }
    }
    for (TraceHook* h : due)
        h->m_fn();
    return EXCEPTION_CONTINUE_SEARCH;
}

// ---- The fixture -------------------------------------------------------------------

void SessionTest::SetUp()
{
    // Our technology owns the device unless a test says otherwise.
    m_tech = std::make_unique<kvtest::ScopedRegValue>(kCoexistKey, L"Technology", DWORD(2));
    m_techName = std::make_unique<kvtest::ScopedRegValue>(kCoexistKey, L"TechnologyName", L"Auralith Q-fx MB");
    Load(DefaultTopology());
}

void SessionTest::TearDown()
{
    Close();
    kvsim::ClearFaults();
    m_techName.reset();
    m_tech.reset();
}

// Stored state outlives processes: every test starts switched on.
static void SwitchStoresOn()
{
    std::vector<std::wstring> ids;
    {
        kvsim::StateLock lock;
        for (const kvsim::Node& n : lock->nodes)
            if (n.bUsed && n.szId[0])
                ids.push_back(n.szId);
    }
    // Devices have no store of their own; their writes just fail.
    for (const std::wstring& id : ids) {
        IAudioPropStore* pStore = nullptr;
        if (FAILED(OpenAudioPropStore(1, id.c_str(), &pStore)))
            continue;
        pStore->SetValue(PKEY_KV_MasterOnOff, MakeUI4Variant(1));
        pStore->SetValue(PKEY_KV_EffectInfo, MakeUI4Variant(0));
        pStore->Release();
    }
}

void SessionTest::Load(const std::wstring& topology)
{
    wchar_t szError[256] = L"";
    ASSERT_TRUE(kvsim::LoadTopologyText(topology.c_str(), L"session_test", szError, 256)) << kvtest::Narrow(szError);
    SwitchStoresOn();
}

void SessionTest::LoadFile(const wchar_t* name)
{
    const std::wstring path = kvtest::ExeDirectory() + L"topologies\\" + name;
    wchar_t szError[256] = L"";
    ASSERT_TRUE(kvsim::LoadTopologyFile(path.c_str(), szError, 256)) << kvtest::Narrow(szError);
    SwitchStoresOn();
}

void SessionTest::LoadBuiltIn()
{
    wchar_t szError[256] = L"";
    ASSERT_TRUE(kvsim::LoadDefaultTopology(szError, 256)) << kvtest::Narrow(szError);
    SwitchStoresOn();
}

CKVDeviceEndpoint* SessionTest::Open()
{
    Close();
    m_pSession = std::make_unique<CKVDeviceEndpoint>(0x0409);
    m_pSession->OpenDeviceEndpoint();
    m_pSession->m_arrNotifyWnd.push_back(m_recorder.Handle());
    return m_pSession.get();
}

void SessionTest::Close()
{
    if (m_pSession)
        m_pSession->CloseDeviceEndpoint();
    m_pSession.reset();
    kvtest::PumpUntilIdle(200);
    m_recorder.Clear();
}

int SessionTest::Node(const wchar_t* alias) const
{
    kvsim::StateLock lock;
    return kvsim::FindNode(*lock, alias);
}

void SessionTest::Fail(const wchar_t* iface, DWORD dwSlot, HRESULT hr, int nNode, LONG nCount)
{
    kvsim::Iface id;
    ASSERT_TRUE(kvsim::IfaceFromName(iface, &id)) << kvtest::Narrow(iface);
    wchar_t szError[256] = L"";
    ASSERT_TRUE(kvsim::AddFault(id, dwSlot, nNode, hr, nCount, szError, 256)) << kvtest::Narrow(szError);
}

void SessionTest::ClearFaults()
{
    kvsim::ClearFaults();
}

std::wstring SessionTest::Get(const wchar_t* alias, const wchar_t* setting)
{
    wchar_t szValue[256] = L"", szError[256] = L"";
    EXPECT_TRUE(kvsim::GetSetting(Node(alias), setting, szValue, 256, szError, 256)) << kvtest::Narrow(szError);
    return szValue;
}

void SessionTest::Set(const wchar_t* alias, const wchar_t* setting, const wchar_t* value)
{
    wchar_t szError[256] = L"";
    ASSERT_TRUE(kvsim::SetSetting(Node(alias), setting, value, szError, 256)) << kvtest::Narrow(szError);
}

void SessionTest::Plug(const wchar_t* alias, bool bPlugged)
{
    wchar_t szError[256] = L"";
    ASSERT_TRUE(kvsim::SetPlugged(Node(alias), bPlugged, szError, 256)) << kvtest::Narrow(szError);
}

DWORD SessionTest::StoreValue(const std::wstring& id, const PROPERTYKEY& key)
{
    IAudioPropStore* pStore = nullptr;
    DWORD dw = 0xFFFFFFFF;
    if (SUCCEEDED(OpenAudioPropStore(1, id.c_str(), &pStore))) {
        PROPVARIANT pv;
        PropVariantInit(&pv);
        if (SUCCEEDED(pStore->GetValue(key, &pv)) && pv.vt == VT_UI4)
            dw = pv.ulVal;
        PropVariantClear(&pv);
        pStore->Release();
    }
    return dw;
}

void SessionTest::SetStoreValue(const std::wstring& id, const PROPERTYKEY& key, DWORD dwValue)
{
    IAudioPropStore* pStore = nullptr;
    ASSERT_EQ(S_OK, OpenAudioPropStore(1, id.c_str(), &pStore));
    EXPECT_EQ(S_OK, pStore->SetValue(key, MakeUI4Variant(dwValue)));
    pStore->Release();
}

} // namespace stest
