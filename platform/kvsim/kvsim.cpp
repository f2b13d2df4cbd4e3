// kvsim: the simulated driver's control tool. It changes the machine-wide
// state the way another application or the hardware would (a setting from
// another program, a jack plugged, a topology swapped, a fault armed) and
// shows what the driver holds and announces.
//
// Exit status: 0 done, 1 refused (bad topology, unknown endpoint or setting,
// bad value), 2 bad command line. On 1 and 2 the state is as it was.
#include "SimInternal.h"
#include "SimState.h"

#include "features/KVDriverTypes.h"

#include <memory>
#include <string>
#include <vector>

using namespace kvsim;
using kvsim::detail::Format;

namespace {

const wchar_t kHelp[] =
    L"kvsim - control tool of the simulated audio driver\n"
    L"\n"
    L"usage: kvsim COMMAND [ARGS]\n"
    L"  show                           print the whole state (as topology text that loads back)\n"
    L"  load FILE                      replace the topology with a .kvtopo file (bare names are\n"
    L"                                 also looked up in the topologies folder beside kvsim.exe)\n"
    L"  load-default                   go back to the built-in topology, keeping faults and events\n"
    L"  reset [--empty]                drop faults and events and load the built-in topology\n"
    L"                                 (or no endpoints at all)\n"
    L"  mode endpoint|device|none      which enumerators the driver offers\n"
    L"  plug ID | unplug ID            plug or unplug an endpoint's jack\n"
    L"  speakers ID FORMAT             change the speaker setup as a user would in the OS:\n"
    L"                                 stereo, quad, 5.1, 7.1, ... (event 0x80B, mix format)\n"
    L"  set ID SETTING VALUE           change a setting as another application would\n"
    L"  get ID [SETTING]               print one setting, or all of them\n"
    L"  get ID restores                \"restores N preset-restores N\": how often the node's or\n"
    L"                                 the adaptor's (ID: adaptor id) defaults were restored\n"
    L"  quirk ID NAME on|off           spk-count-huge, unterminated-names, full-keys, endless-presets,\n"
    L"                                 endless-lists, many-presets\n"
    L"  fail IFACE SLOT HRESULT [--node ID] [--count N]\n"
    L"                                 make a driver method fail (slot: vtable number, IUnknown\n"
    L"                                 counted; HRESULT: 0x8000FFFF or E_FAIL etc.; count: default\n"
    L"                                 until cleared)\n"
    L"  clear-faults                   remove every armed fault\n"
    L"  alcoexist TECHNOLOGY NAME [--vendor 0x10EC|0x111D]\n"
    L"  alcoexist --remove [--vendor 0x10EC|0x111D]\n"
    L"                                 announce (or withdraw) another effects suite, as its\n"
    L"                                 installer would\n"
    L"  audep-msg N                    post message N to the endpoint library's listeners\n"
    L"  events [--follow MS]           print the events held, then those arriving for MS\n"
    L"                                 milliseconds (0: until interrupted)\n"
    L"  help                           this text\n"
    L"\n"
    L"ID is an endpoint id, a device name or a node's short name (e.g. speakers).\n"
    L"Settings: state, format (channels:mask[:rate]), agc.enabled, bassboost.enabled|value|freq,\n"
    L"bassmgmt.enabled|value, subwoofer.state, mixer.N, pdp.enabled|value, upmix.enabled|selected,\n"
    L"upmix.element.N.value|mode, eq.enabled|preamp, eq.band.N, eqpresets.active, reverb.enabled|value,\n"
    L"rvxpresets.enabled|active, speakers.current, quirk.NAME.\n"
    L"The instance is %ls (environment variable KVSIM_INSTANCE).\n";

// Console handles get WriteConsoleW; pipes and files get UTF-8.
void Write(DWORD dwStd, const std::wstring& text)
{
    HANDLE h = GetStdHandle(dwStd);
    if (h == nullptr || h == INVALID_HANDLE_VALUE || text.empty())
        return;
    DWORD mode, n;
    if (GetConsoleMode(h, &mode)) {
        WriteConsoleW(h, text.data(), DWORD(text.size()), &n, nullptr);
        return;
    }
    int cb = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(cb, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), cb, nullptr, nullptr);
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
}

void Out(const std::wstring& text) { Write(STD_OUTPUT_HANDLE, text); }

// Bad input on the command line: exit status 2.
struct Usage {
    std::wstring what;
};
// Refused by the driver's state: exit status 1.
struct Refused {
    std::wstring what;
};

class Command {
public:
    Command(int argc, wchar_t** argv) : m_args(argv + 1, argv + argc) {}

    int Run()
    {
        if (m_args.empty())
            throw Usage{L"no command given"};
        std::wstring cmd = Take(L"a command");
        if (cmd == L"help" || cmd == L"--help" || cmd == L"-h" || cmd == L"/?")
            return Out(Format(kHelp, InstanceName())), 0;
        if (!Open())
            throw Refused{L"the simulated driver's state cannot be opened"};
        if (cmd == L"show")
            Show();
        else if (cmd == L"load")
            Load(Take(L"a topology file"));
        else if (cmd == L"load-default")
            End(), Check(LoadDefaultTopology(m_szError, kErrorCch));
        else if (cmd == L"reset")
            Reset(Flag(L"--empty"));
        else if (cmd == L"mode")
            Mode(Take(L"endpoint, device or none"));
        else if (cmd == L"plug" || cmd == L"unplug")
            Plug(cmd == L"plug");
        else if (cmd == L"set")
            Set();
        else if (cmd == L"speakers")
            Speakers();
        else if (cmd == L"get")
            Get();
        else if (cmd == L"quirk")
            Quirk();
        else if (cmd == L"fail")
            Fail();
        else if (cmd == L"clear-faults")
            End(), ClearFaults();
        else if (cmd == L"alcoexist")
            Coexist();
        else if (cmd == L"audep-msg")
            AudepMessage(Number(Take(L"a message number")));
        else if (cmd == L"events")
            Events();
        else
            throw Usage{Format(L"unknown command '%ls'", cmd.c_str())};
        return 0;
    }

private:
    static constexpr int kErrorCch = 1024;

    std::wstring Take(const wchar_t* what)
    {
        if (m_args.empty())
            throw Usage{Format(L"missing %ls", what)};
        std::wstring a = m_args.front();
        m_args.erase(m_args.begin());
        return a;
    }

    // Every command checks its whole line before it changes anything.
    void End()
    {
        if (!m_args.empty())
            throw Usage{Format(L"unexpected '%ls'", m_args[0].c_str())};
    }

    bool Flag(const wchar_t* name)
    {
        for (size_t i = 0; i < m_args.size(); ++i) {
            if (m_args[i] == name) {
                m_args.erase(m_args.begin() + i);
                return true;
            }
        }
        return false;
    }

    // An option with a value, e.g. --count 3; empty when absent.
    std::wstring Option(const wchar_t* name)
    {
        for (size_t i = 0; i < m_args.size(); ++i) {
            if (m_args[i] == name) {
                if (i + 1 >= m_args.size())
                    throw Usage{Format(L"%ls needs a value", name)};
                std::wstring v = m_args[i + 1];
                m_args.erase(m_args.begin() + i, m_args.begin() + i + 2);
                return v;
            }
        }
        return L"";
    }

    static DWORD Number(const std::wstring& text)
    {
        DWORD v;
        if (!detail::ParseUInt(text, &v))
            throw Usage{Format(L"'%ls' is not a number", text.c_str())};
        return v;
    }

    void Check(bool bOk)
    {
        if (!bOk)
            throw Refused{m_szError};
    }

    int NodeOf(const std::wstring& id)
    {
        StateLock s;
        int n = FindNode(*s, id.c_str());
        if (n < 0) {
            std::wstring known;
            for (const Node& node : s->nodes)
                if (node.bUsed)
                    known += Format(L" %ls", node.szAlias);
            throw Refused{Format(L"no endpoint or device '%ls' (there are:%ls)", id.c_str(),
                                 known.empty() ? L" none" : known.c_str())};
        }
        return n;
    }

    void Show()
    {
        End();
        int cch = 1 << 20;
        auto buf = std::make_unique<wchar_t[]>(cch);
        int cchNeeded = Describe(buf.get(), cch);
        if (cchNeeded >= cch) {   // a big topology: once more with room for all of it
            cch = cchNeeded + 1;
            buf = std::make_unique<wchar_t[]>(cch);
            Describe(buf.get(), cch);
        }
        Out(buf.get());
    }

    void Load(const std::wstring& file)
    {
        End();
        std::wstring path = file;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && file.find_first_of(L"\\/:") == std::wstring::npos) {
            wchar_t exe[MAX_PATH];
            DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
            std::wstring dir(exe, n);
            std::wstring beside = dir.substr(0, dir.find_last_of(L'\\') + 1) + L"topologies\\" + file;
            if (GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES)
                path = beside;
        }
        if (!LoadTopologyFile(path.c_str(), m_szError, kErrorCch))
            throw Refused{path + L": " + m_szError};
    }

    void Reset(bool bEmpty)
    {
        End();
        kvsim::Reset(bEmpty);
    }

    void Plug(bool bPlug)
    {
        int n = NodeOf(Take(L"an endpoint"));
        End();
        Check(SetPlugged(n, bPlug, m_szError, kErrorCch));
    }

    void AudepMessage(DWORD dwMsg)
    {
        End();
        PostEvent(-1, Source::Topology, 0, EventCodeFor(Source::Topology), KVHINT_TOPOLOGY, dwMsg);
    }

    void Mode(const std::wstring& m)
    {
        End();
        if (m == L"endpoint")
            SetDriverMode(DriverMode::Endpoint);
        else if (m == L"device")
            SetDriverMode(DriverMode::DeviceOnly);
        else if (m == L"none")
            SetDriverMode(DriverMode::None);
        else
            throw Usage{Format(L"mode is endpoint, device or none, not '%ls'", m.c_str())};
    }

    void Speakers()
    {
        int n = NodeOf(Take(L"an endpoint"));
        std::wstring format = Take(L"a layout format");
        End();
        Check(SetSpeakerLayout(n, format.c_str(), m_szError, kErrorCch));
    }

    void Set()
    {
        int n = NodeOf(Take(L"an endpoint"));
        std::wstring name = Take(L"a setting");
        std::wstring value = Take(L"a value");
        End();
        Check(SetSetting(n, name.c_str(), value.c_str(), m_szError, kErrorCch));
    }

    // "restores N preset-restores N": how often ISNDIDefaults::Restore and the
    // preset-defaults reset ran on a node or an adaptor; empty when id names
    // neither. *pbAdaptor tells an adaptor, which has nothing else to show.
    static std::wstring RestoreLine(const std::wstring& id, bool* pbAdaptor)
    {
        StateLock s;
        int n = FindNode(*s, id.c_str());
        int a = n < 0 ? FindAdaptor(*s, id.c_str()) : -1;
        *pbAdaptor = a >= 0;
        if (n >= 0)
            return Format(L"restores %lu preset-restores %lu\n", s->nodes[n].dwRestoreCount,
                          s->nodes[n].dwPresetRestoreCount);
        if (a >= 0)
            return Format(L"restores %lu preset-restores %lu\n", s->adaptors[a].dwRestoreCount,
                          s->adaptors[a].dwPresetRestoreCount);
        return L"";
    }

    void Get()
    {
        std::wstring id = Take(L"an endpoint");
        bool bAdaptor = false;
        std::wstring restores = RestoreLine(id, &bAdaptor);
        if (!restores.empty() && (m_args.empty() ? bAdaptor : m_args[0] == L"restores")) {
            if (!m_args.empty())
                Take(L"a setting");
            End();
            Out(restores);
            return;
        }
        int n = NodeOf(id);
        wchar_t value[kKeyCch + 64];
        if (!m_args.empty()) {
            std::wstring name = Take(L"a setting");
            End();
            Check(GetSetting(n, name.c_str(), value, ARRAYSIZE(value), m_szError, kErrorCch));
            Out(std::wstring(value) + L"\n");
            return;
        }
        auto names = std::make_unique<wchar_t[]>(1 << 14);
        ListSettings(n, names.get(), 1 << 14);
        std::wstring out;
        for (const wchar_t* p = names.get(); *p;) {
            const wchar_t* e = wcschr(p, L'\n');
            std::wstring name(p, e);
            if (GetSetting(n, name.c_str(), value, ARRAYSIZE(value), m_szError, kErrorCch))
                out += name + L" " + value + L"\n";
            p = e + 1;
        }
        Out(out + restores);
    }

    void Quirk()
    {
        int n = NodeOf(Take(L"an endpoint"));
        std::wstring name = L"quirk." + Take(L"a quirk name");
        std::wstring onoff = Take(L"on or off");
        End();
        if (onoff != L"on" && onoff != L"off")
            throw Usage{Format(L"a quirk is on or off, not '%ls'", onoff.c_str())};
        Check(SetSetting(n, name.c_str(), onoff.c_str(), m_szError, kErrorCch));
    }

    static HRESULT ParseHresult(const std::wstring& text)
    {
        static const struct {
            const wchar_t* name;
            HRESULT hr;
        } kNames[] = {
            {L"S_OK", S_OK}, {L"S_FALSE", S_FALSE}, {L"E_FAIL", E_FAIL}, {L"E_NOTIMPL", E_NOTIMPL},
            {L"E_NOINTERFACE", E_NOINTERFACE}, {L"E_POINTER", E_POINTER}, {L"E_ABORT", E_ABORT},
            {L"E_ACCESSDENIED", E_ACCESSDENIED}, {L"E_INVALIDARG", E_INVALIDARG},
            {L"E_OUTOFMEMORY", E_OUTOFMEMORY}, {L"E_UNEXPECTED", E_UNEXPECTED}, {L"E_HANDLE", E_HANDLE},
            {L"RPC_E_DISCONNECTED", RPC_E_DISCONNECTED}, {L"CLASS_E_CLASSNOTAVAILABLE", CLASS_E_CLASSNOTAVAILABLE},
            {L"REGDB_E_CLASSNOTREG", REGDB_E_CLASSNOTREG},
        };
        for (const auto& n : kNames)
            if (_wcsicmp(text.c_str(), n.name) == 0)
                return n.hr;
        DWORD v;
        if (!detail::ParseUInt(text, &v))
            throw Usage{Format(L"'%ls' is neither a status number nor a name like E_FAIL", text.c_str())};
        return HRESULT(v);
    }

    void Fail()
    {
        std::wstring nodeText = Option(L"--node");
        std::wstring countText = Option(L"--count");
        std::wstring ifaceName = Take(L"an interface name");
        DWORD dwSlot = Number(Take(L"a method slot"));
        HRESULT hr = ParseHresult(Take(L"a status"));
        End();
        Iface iface;
        if (!IfaceFromName(ifaceName.c_str(), &iface)) {
            std::wstring all;
            for (DWORD i = 0; i < DWORD(Iface::Count); ++i)
                all += Format(L" %ls", IfaceName(Iface(i)));
            throw Usage{Format(L"unknown interface '%ls'; known:%ls", ifaceName.c_str(), all.c_str())};
        }
        if (dwSlot > 255)
            throw Usage{Format(L"slot %lu: no interface has that many methods", dwSlot)};
        LONG nCount = -1;
        if (!countText.empty() && (!detail::ParseInt(countText, &nCount) || nCount < 1))
            throw Usage{Format(L"--count takes a number of calls from 1 up, not '%ls'", countText.c_str())};
        int nNode = nodeText.empty() ? -1 : NodeOf(nodeText);
        Check(AddFault(iface, dwSlot, nNode, hr, nCount, m_szError, kErrorCch));
    }

    // As another effects suite's installer leaves its mark for ours to see.
    void Coexist()
    {
        std::wstring vendor = Option(L"--vendor");
        bool bRemove = Flag(L"--remove");
        DWORD dwVendor = vendor.empty() ? 0x10EC : Number(vendor);
        const wchar_t* key = dwVendor == 0x10EC ? L"Software\\Halvex\\ALCoexist"
                           : dwVendor == 0x111D ? L"Software\\Lumora Tech\\ALCoexist" : nullptr;
        if (!key)
            throw Usage{Format(L"--vendor is 0x10EC or 0x111D, not '%ls'", vendor.c_str())};
        DWORD dwTech = 0;
        std::wstring name;
        if (!bRemove) {
            dwTech = Number(Take(L"a technology number"));
            name = Take(L"a technology name");
        }
        End();
        HKEY h;
        LSTATUS st = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &h, nullptr);
        if (st == ERROR_SUCCESS) {
            if (bRemove) {
                RegDeleteValueW(h, L"Technology");
                RegDeleteValueW(h, L"TechnologyName");
            } else {
                st = RegSetValueExW(h, L"Technology", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwTech), sizeof(dwTech));
                if (st == ERROR_SUCCESS)
                    st = RegSetValueExW(h, L"TechnologyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                                        DWORD((name.size() + 1) * sizeof(wchar_t)));
            }
            RegCloseKey(h);
        }
        if (st != ERROR_SUCCESS)
            throw Refused{Format(L"cannot write HKLM\\%ls (error %ld)", key, st)};
    }

    static const wchar_t* SourceName(Source s)
    {
        static const wchar_t* const k[] = {L"EndpointEnum", L"DeviceEnum", L"AGC", L"BassBoost", L"BassManagement",
                                           L"SubWooferGain", L"MixerFx", L"Pdp", L"Upmix", L"Element", L"EQ",
                                           L"RVXEnvironment", L"EQPresetU", L"EQPreset", L"RVXPresetU", L"RVXPreset",
                                           L"SpkConfig", L"Topology"};
        return DWORD(s) < ARRAYSIZE(k) ? k[DWORD(s)] : L"?";
    }

    static std::wstring EventLine(const EventRecord& r, const SharedState& s)
    {
        const wchar_t* node = r.nNode >= 0 && r.nNode < kMaxNodes && s.nodes[r.nNode].bUsed ? s.nodes[r.nNode].szAlias : L"-";
        return Format(L"%llu %ls %ls sub %d event 0x%X hint 0x%X arg %u\n", r.seq, node, SourceName(r.source), r.nSub,
                      r.eEvent, r.dwHint, r.dwArg);
    }

    void Events()
    {
        std::wstring follow = Option(L"--follow");
        DWORD dwFollowMs = follow.empty() ? 0 : Number(follow);
        End();
        // The reader first, so nothing falls between what is held and what arrives.
        std::unique_ptr<EventReader> reader;
        if (!follow.empty())
            reader = std::make_unique<EventReader>();
        std::wstring out;
        {
            StateLock s;
            ULONGLONG end = s->nextSeq;
            ULONGLONG first = end > kEventRing ? end - kEventRing : 0;
            if (first < s->firstSeq)
                first = s->firstSeq;
            for (ULONGLONG q = first; q < end; ++q)
                out += EventLine(s->ring[q % kEventRing], *s);
        }
        Out(out);
        if (!reader)
            return;
        ULONGLONG start = GetTickCount64();
        for (;;) {
            DWORD dwWait = INFINITE;
            if (dwFollowMs) {
                ULONGLONG passed = GetTickCount64() - start;
                if (passed >= dwFollowMs)
                    break;
                dwWait = DWORD(dwFollowMs - passed);
            }
            WaitForSingleObject(reader->WakeEvent(), dwWait);
            EventRecord r;
            out.clear();
            ULONGLONG lost = reader->Lost();
            while (reader->Next(&r)) {
                StateLock s;
                out += EventLine(r, *s);
            }
            if (reader->Lost() != lost)
                out += Format(L"(%llu events lost)\n", reader->Lost() - lost);
            Out(out);
        }
    }

    std::vector<std::wstring> m_args;
    wchar_t m_szError[kErrorCch] = L"";
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        return Command(argc, argv).Run();
    } catch (const Usage& u) {
        Write(STD_ERROR_HANDLE, L"kvsim: " + u.what + L"\n(kvsim help lists the commands)\n");
        return 2;
    } catch (const Refused& r) {
        Write(STD_ERROR_HANDLE, L"kvsim: " + r.what + L"\n");
        return 1;
    }
}
