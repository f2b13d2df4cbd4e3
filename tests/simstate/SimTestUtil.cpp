#include "SimTestUtil.h"

#include "test_support.h"

#include <cstring>

namespace simtest {

namespace {
// Before anything opens the state: this program's own instance, which the
// children it starts inherit.
const bool g_bInstance = SetEnvironmentVariableW(L"KVSIM_INSTANCE", kInstance);
}  // namespace

int Run(const std::wstring& cmdLine, const wchar_t* instance, std::string* pOut, DWORD dwTimeoutMs)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE hRead = nullptr, hWrite = nullptr;
    if (!CreatePipe(&hRead, &hWrite, &sa, 0))
        return -1;
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE hNul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                              OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = hNul;
    si.hStdOutput = hWrite;
    si.hStdError = hNul;
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = cmdLine;
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", instance);
    BOOL bStarted = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", kInstance);
    CloseHandle(hWrite);
    CloseHandle(hNul);
    if (!bStarted) {
        CloseHandle(hRead);
        return -1;
    }
    std::string out;
    char buf[4096];
    DWORD cb;
    while (ReadFile(hRead, buf, sizeof(buf), &cb, nullptr) && cb)
        out.append(buf, cb);
    CloseHandle(hRead);
    DWORD rc = DWORD(-1);
    if (WaitForSingleObject(pi.hProcess, dwTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &rc);
    else
        TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (pOut)
        *pOut = out;
    return int(rc);
}

HANDLE Start(const std::wstring& cmdLine, const wchar_t* instance)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE hNul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                              OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = hNul;
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = cmdLine;
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", instance);
    BOOL bStarted = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", kInstance);
    CloseHandle(hNul);
    if (!bStarted)
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

int Finish(HANDLE hProcess, DWORD dwTimeoutMs)
{
    if (!hProcess)
        return -1;
    DWORD rc = DWORD(-1);
    if (WaitForSingleObject(hProcess, dwTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(hProcess, &rc);
    else
        TerminateProcess(hProcess, 99);
    CloseHandle(hProcess);
    return int(rc);
}

std::wstring KvsimCommand(const std::wstring& args)
{
    return L"\"" + kvtest::ExeDirectory() + L"kvsim.exe\" " + args;
}

std::wstring SelfCommand(const std::wstring& args)
{
    return L"\"" + kvtest::ExeDirectory() + kvtest::ExeFileName() + L"\" " + args;
}

std::vector<kvsim::EventRecord> Drain(kvsim::EventReader& r, DWORD dwWaitMs)
{
    std::vector<kvsim::EventRecord> out;
    ULONGLONG deadline = GetTickCount64() + dwWaitMs;
    for (;;) {
        kvsim::EventRecord rec;
        while (r.Next(&rec))
            out.push_back(rec);
        ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return out;
        WaitForSingleObject(r.WakeEvent(), DWORD(deadline - now));
    }
}

Snapshot::Snapshot() : nodes(std::make_unique<kvsim::Node[]>(kvsim::kMaxNodes))
{
    kvsim::StateLock s;
    memcpy(nodes.get(), s->nodes, sizeof(s->nodes));
    mode = s->mode;
    generation = s->generation;
    nextSeq = s->nextSeq;
}

bool Snapshot::operator==(const Snapshot& o) const
{
    return memcmp(nodes.get(), o.nodes.get(), sizeof(kvsim::Node) * kvsim::kMaxNodes) == 0 && mode == o.mode &&
           generation == o.generation && nextSeq == o.nextSeq;
}

int NodeByAlias(const wchar_t* alias)
{
    kvsim::StateLock s;
    return kvsim::FindNode(*s, alias);
}

}  // namespace simtest
