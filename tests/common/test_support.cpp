#include "test_support.h"

#include <shellapi.h>
#include <tlhelp32.h>

namespace kvtest {

namespace {
const REGSAM kAll64 = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
const wchar_t kTraceIni[] = L"C:\\ShowDebug.TXT";

std::mutex g_captureMutex;
std::vector<std::wstring>* g_pCaptured = nullptr;
} // namespace

ScopedRegValue::ScopedRegValue(const std::wstring& key, const std::wstring& name, std::optional<DWORD> value)
    : m_key(key), m_name(name)
{
    Save();
    HKEY h;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, kAll64, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return;
    if (value)
        RegSetValueExW(h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value), sizeof(DWORD));
    else
        RegDeleteValueW(h, name.c_str());
    RegCloseKey(h);
}

ScopedRegValue::ScopedRegValue(const std::wstring& key, const std::wstring& name, const std::wstring& text)
    : m_key(key), m_name(name)
{
    Save();
    HKEY h;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, kAll64, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}

void ScopedRegValue::Save()
{
    HKEY h;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &h) != ERROR_SUCCESS)
        return;
    DWORD cb = 0;
    if (RegQueryValueExW(h, m_name.c_str(), nullptr, &m_dwType, nullptr, &cb) == ERROR_SUCCESS) {
        m_old.resize(cb);
        m_bHad = RegQueryValueExW(h, m_name.c_str(), nullptr, &m_dwType, m_old.data(), &cb) == ERROR_SUCCESS;
    }
    RegCloseKey(h);
}

ScopedRegValue::~ScopedRegValue()
{
    HKEY h;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, kAll64, &h) != ERROR_SUCCESS)
        return;
    if (m_bHad)
        RegSetValueExW(h, m_name.c_str(), 0, m_dwType, m_old.data(), static_cast<DWORD>(m_old.size()));
    else
        RegDeleteValueW(h, m_name.c_str());
    RegCloseKey(h);
}

ScopedTraceIni::ScopedTraceIni(const wchar_t* pszShowDebug, const wchar_t* pszLogFile)
{
    const std::wstring section = ExeFileName();
    WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, kTraceIni);
    if (pszShowDebug)
        WritePrivateProfileStringW(section.c_str(), L"ShowDebug", pszShowDebug, kTraceIni);
    if (pszLogFile)
        WritePrivateProfileStringW(section.c_str(), L"LogFile", pszLogFile, kTraceIni);
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, kTraceIni); // flush the profile cache
}

ScopedTraceIni::~ScopedTraceIni()
{
    DeleteFileW(kTraceIni);
}

DebugOutputCapture::DebugOutputCapture()
{
    std::lock_guard<std::mutex> lock(g_captureMutex);
    g_pCaptured = new std::vector<std::wstring>();
    m_hHandler = AddVectoredExceptionHandler(1, Handler);
}

DebugOutputCapture::~DebugOutputCapture()
{
    RemoveVectoredExceptionHandler(m_hHandler);
    std::lock_guard<std::mutex> lock(g_captureMutex);
    delete g_pCaptured;
    g_pCaptured = nullptr;
}

std::vector<std::wstring> DebugOutputCapture::Lines()
{
    std::lock_guard<std::mutex> lock(g_captureMutex);
    return g_pCaptured ? *g_pCaptured : std::vector<std::wstring>();
}

// OutputDebugString raises a continuable exception that a debugger would take;
// a vectored handler sees it first, with the text as its arguments.
LONG CALLBACK DebugOutputCapture::Handler(EXCEPTION_POINTERS* p)
{
    const EXCEPTION_RECORD* r = p->ExceptionRecord;
    const DWORD kPrintA = 0x40010006, kPrintW = 0x4001000A;
    if ((r->ExceptionCode != kPrintA && r->ExceptionCode != kPrintW) || r->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    std::wstring text;
    if (r->ExceptionCode == kPrintW) {
        text.assign(reinterpret_cast<const wchar_t*>(r->ExceptionInformation[1]),
                    static_cast<size_t>(r->ExceptionInformation[0] ? r->ExceptionInformation[0] - 1 : 0));
    } else {
        const char* a = reinterpret_cast<const char*>(r->ExceptionInformation[1]);
        int n = MultiByteToWideChar(CP_ACP, 0, a, -1, nullptr, 0);
        if (n > 0) {
            text.resize(n - 1);
            MultiByteToWideChar(CP_ACP, 0, a, -1, text.data(), n);
        }
    }
    {
        std::lock_guard<std::mutex> lock(g_captureMutex);
        if (g_pCaptured)
            g_pCaptured->push_back(text);
    }
    return EXCEPTION_CONTINUE_EXECUTION;
}

std::wstring ExeFileName()
{
    wchar_t sz[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, sz, MAX_PATH);
    const wchar_t* p = wcsrchr(sz, L'\\');
    return p ? p + 1 : sz;
}

std::wstring ExeDirectory()
{
    wchar_t sz[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, sz, MAX_PATH);
    std::wstring s = sz;
    return s.substr(0, s.find_last_of(L'\\') + 1);
}

std::wstring NewTempDirectory()
{
    wchar_t tmp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, tmp);
    static LONG s_nCounter = 0;
    for (;;) {
        std::wstring dir = std::wstring(tmp) + L"kvtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                           std::to_wstring(InterlockedIncrement(&s_nCounter));
        if (CreateDirectoryW(dir.c_str(), nullptr))
            return dir + L"\\";
    }
}

bool RemoveTree(const std::wstring& dir)
{
    std::wstring from = dir;
    while (!from.empty() && from.back() == L'\\')
        from.pop_back();
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    return SHFileOperationW(&op) == 0;
}

std::vector<BYTE> ReadFileBytes(const std::wstring& path)
{
    std::vector<BYTE> data;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return data;
    LARGE_INTEGER size = {};
    GetFileSizeEx(h, &size);
    data.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!data.empty())
        ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
    data.resize(got);
    CloseHandle(h);
    return data;
}

std::wstring ReadUtf16File(const std::wstring& path)
{
    std::vector<BYTE> b = ReadFileBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(b.data()), b.size() / sizeof(wchar_t));
}

bool WriteFileBytes(const std::wstring& path, const void* data, size_t cb)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    BOOL ok = cb == 0 || WriteFile(h, data, static_cast<DWORD>(cb), &put, nullptr);
    CloseHandle(h);
    return ok && put == cb;
}

bool CopyInto(const std::wstring& file, const std::wstring& fromDir, const std::wstring& toDir)
{
    return CopyFileW((fromDir + file).c_str(), (toDir + file).c_str(), FALSE) != FALSE;
}

int CountThreads()
{
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 te{};
    te.dwSize = sizeof(te);
    int n = 0;
    for (BOOL b = Thread32First(hSnap, &te); b; b = Thread32Next(hSnap, &te))
        n += te.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(hSnap);
    return n;
}

long long HeapBytesInUse()
{
    HANDLE heaps[64];
    long long cb = 0;
    for (DWORD i = 0, n = GetProcessHeaps(64, heaps); i < n && i < 64; ++i) {
        PROCESS_HEAP_ENTRY e{};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &e))
            cb += (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) ? e.cbData : 0;
        HeapUnlock(heaps[i]);
    }
    return cb;
}

int CountHandles()
{
    int n = 0;
    for (ULONG_PTR v = 4, last = 4; v < last + 4096; v += 4) {  // well past the last live value
        DWORD dwFlags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(v), &dwFlags))
            ++n, last = v;
    }
    return n;
}

void PumpUntilIdle(DWORD dwMaxMs)
{
    const ULONGLONG end = GetTickCount64() + dwMaxMs;
    MSG msg;
    for (;;) {
        bool any = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount64() >= end)
            return;
        if (!any) {
            // One short grace period for messages posted from other threads.
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT) == WAIT_TIMEOUT)
                return;
        }
    }
}

std::string Narrow(const std::wstring& s)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

HANDLE StartProgram(const std::wstring& exe, const std::wstring& args)
{
    std::wstring path = ExeDirectory() + exe;
    std::wstring cmd = L"\"" + path + L"\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

int RunProgram(const std::wstring& exe, const std::wstring& args, DWORD dwTimeoutMs)
{
    HANDLE hProcess = StartProgram(exe, args);
    DWORD dwExit = DWORD(-1);
    if (hProcess && WaitForSingleObject(hProcess, dwTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(hProcess, &dwExit);
    if (hProcess)
        CloseHandle(hProcess);
    return int(dwExit);
}

} // namespace kvtest
