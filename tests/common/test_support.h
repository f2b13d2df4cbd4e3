// Helpers shared by the test programs: scoped registry values and trace INI
// switches, captured debugger output, message pumping, files.
#pragma once
#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kvtest {

// Sets (or removes) one value under HKLM in the 64-bit view for the scope,
// then puts back whatever was there before.
class ScopedRegValue
{
public:
    ScopedRegValue(const std::wstring& key, const std::wstring& name, std::optional<DWORD> value);
    ScopedRegValue(const std::wstring& key, const std::wstring& name, const std::wstring& text);
    ~ScopedRegValue();
    ScopedRegValue(const ScopedRegValue&) = delete;
    ScopedRegValue& operator=(const ScopedRegValue&) = delete;

private:
    void Save();
    std::wstring m_key, m_name;
    bool m_bHad = false;
    DWORD m_dwType = 0;
    std::vector<BYTE> m_old;
};

// Writes this program's section of "C:\ShowDebug.TXT" for the scope.
class ScopedTraceIni
{
public:
    ScopedTraceIni(const wchar_t* pszShowDebug, const wchar_t* pszLogFile);
    ~ScopedTraceIni();
    ScopedTraceIni(const ScopedTraceIni&) = delete;
    ScopedTraceIni& operator=(const ScopedTraceIni&) = delete;
};

// Collects what the process sends to the debugger output while in scope.
class DebugOutputCapture
{
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;
    std::vector<std::wstring> Lines();

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* p);
    PVOID m_hHandler;
};

std::wstring ExeFileName();          // "app_test.exe"
std::wstring ExeDirectory();         // with trailing backslash
std::wstring NewTempDirectory();     // unique, under %TEMP%
bool RemoveTree(const std::wstring& dir);
std::wstring ReadUtf16File(const std::wstring& path);
std::vector<BYTE> ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const void* data, size_t cb);
bool CopyInto(const std::wstring& file, const std::wstring& fromDir, const std::wstring& toDir);

// Open handles of this process. Wine answers 0 to GetProcessHandleCount, so
// handle values are probed instead.
int CountHandles();
// Threads of this process, and the bytes in use in its heaps (malloc's too):
// Wine answers 0 to PrivateUsage.
int CountThreads();
long long HeapBytesInUse();

// Runs the calling thread's messages until nothing is left to do.
void PumpUntilIdle(DWORD dwMaxMs = 2000);

std::string Narrow(const std::wstring& s);

// Runs a program from the test's folder: its exit code, -1 if it did not
// start or end within dwTimeoutMs. StartProgram does not wait; the caller
// closes the handle.
int RunProgram(const std::wstring& exe, const std::wstring& args, DWORD dwTimeoutMs = 30000);
HANDLE StartProgram(const std::wstring& exe, const std::wstring& args);

} // namespace kvtest
