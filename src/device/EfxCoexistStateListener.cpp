#include "device/EfxCoexistStateListener.h"

#include "Framework.h"
#include "device/DriverText.h"
#include "device/KVDeviceEndpoint.h"
#include "support/ShowDebugString.h"

namespace {

const REGSAM k64 = KEY_WOW64_64KEY;

// Scope-bound HKLM key in the 64-bit view.
class CHklmKey
{
public:
    CHklmKey(const wchar_t* pszPath, REGSAM sam) : m_status(RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszPath, 0, sam | k64, &m_hKey)) {}
    ~CHklmKey()
    {
        if (m_status == ERROR_SUCCESS)
            RegCloseKey(m_hKey);
    }
    CHklmKey(const CHklmKey&) = delete;
    CHklmKey& operator=(const CHklmKey&) = delete;

    bool IsOpen() const { return m_status == ERROR_SUCCESS; }
    LSTATUS Status() const { return m_status; }
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
    LSTATUS m_status;
};

class CLockScope
{
public:
    explicit CLockScope(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~CLockScope() { LeaveCriticalSection(&m_cs); }
    CLockScope(const CLockScope&) = delete;
    CLockScope& operator=(const CLockScope&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};

// Long enough for a thread to start and open a key on a loaded machine; a
// thread that cannot start at all (the loader lock held) costs no more.
const DWORD kArmWaitMs = 2000;

// "TechnologyName" of base\ALCoexist; a longer name than the buffer fails.
LSTATUS ReadTechnologyName(HKEY hBase, wchar_t (&szName)[CEfxCoexistStateListener::kNameBytes / sizeof(wchar_t)])
{
    DWORD cb = sizeof(szName);
    szName[0] = L'\0';
    return RegGetValueW(hBase, kCoexistSubKey, L"TechnologyName", RRF_RT_REG_SZ, nullptr, szName, &cb);
}

} // namespace

const wchar_t* CoexistBaseKey(ULONGLONG dwVendorID)
{
    return static_cast<DWORD>(dwVendorID) == 0x111D ? L"Software\\Lumora Tech" : L"Software\\Halvex";
}

std::wstring CoexistKeyPath(ULONGLONG dwVendorID)
{
    return std::wstring(CoexistBaseKey(dwVendorID)) + L"\\" + kCoexistSubKey;
}

bool CoexistKeyExists(ULONGLONG dwVendorID)
{
    return CHklmKey(CoexistKeyPath(dwVendorID).c_str(), KEY_NOTIFY).IsOpen();
}

LSTATUS ReadCoexistDword(ULONGLONG dwVendorID, const wchar_t* pszValue, DWORD* pdwValue)
{
    CHklmKey base(CoexistBaseKey(dwVendorID), KEY_READ);
    if (!base.IsOpen())
        return base.Status();
    DWORD dw = 0, cb = sizeof(dw);
    LSTATUS st = RegGetValueW(base.Get(), kCoexistSubKey, pszValue, RRF_RT_REG_DWORD, nullptr, &dw, &cb);
    if (st == ERROR_SUCCESS)
        *pdwValue = dw;
    return st;
}

LSTATUS ReadTechnology(ULONGLONG dwVendorID, DWORD* pdwTechnology)
{
    return ReadCoexistDword(dwVendorID, L"Technology", pdwTechnology);
}

LSTATUS WriteCoexistDword(ULONGLONG dwVendorID, const wchar_t* pszValue, DWORD dwValue)
{
    HKEY hKey = nullptr;
    LSTATUS st = RegCreateKeyExW(HKEY_LOCAL_MACHINE, CoexistKeyPath(dwVendorID).c_str(), 0, nullptr, 0,
                                 KEY_SET_VALUE | k64, nullptr, &hKey, nullptr);
    if (st != ERROR_SUCCESS)
        return st;
    st = RegSetValueExW(hKey, pszValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
    RegCloseKey(hKey);
    return st;
}

CEfxCoexistStateListener::CEfxCoexistStateListener(HWND hWndNotify)
    : m_hStopEvent(nullptr), m_hThread(nullptr), m_bRunning(FALSE), m_hWndNotify(hWndNotify),
      m_dwTechnology(0xFFFFFFFF), m_dwVendorID(0x10EC)
{
    InitializeCriticalSection(&m_csTechnology);
    UpdateCurrentTechNameFromReg();
}

CEfxCoexistStateListener::~CEfxCoexistStateListener()
{
    Stop();
    if (m_hStopEvent) {
        CloseHandle(m_hStopEvent);
        m_hStopEvent = nullptr;
    }
    if (m_hLoopDone) {
        CloseHandle(m_hLoopDone);
        m_hLoopDone = nullptr;
    }
    if (m_hArmed) {
        CloseHandle(m_hArmed);
        m_hArmed = nullptr;
    }
    DeleteCriticalSection(&m_csTechnology);
}

BOOL CEfxCoexistStateListener::UpdateCurrentTechNameFromReg()
{
    CHklmKey watched(CoexistKeyPath(m_dwVendorID).c_str(), KEY_NOTIFY);
    if (!watched.IsOpen())
        return FALSE;
    CHklmKey base(CoexistBaseKey(m_dwVendorID), KEY_READ);
    KVTRACE(L"\n CEfxCoexistStateListener::UpdateCurrentTechNameFromReg() m_dwVendorID=0x%x",
            static_cast<unsigned>(m_dwVendorID));
    KVTRACE(L"\n CEfxCoexistStateListener::UpdateCurrentTechNameFromReg() RegOpenKeyEx=0x%x",
            static_cast<unsigned>(base.Status()));
    if (!base.IsOpen())
        return FALSE;
    wchar_t szName[kNameBytes / sizeof(wchar_t)];
    LSTATUS st = ReadTechnologyName(base.Get(), szName);
    if (st == ERROR_SUCCESS)
        SetTechnologyName(szName);
    KVTRACE(L"\n CEfxCoexistStateListener::UpdateCurrentTechNameFromReg() RegGetValue=0x%x, m_strTechnology=%s",
            static_cast<unsigned>(st), GetTechnologyName().c_str());
    return st == ERROR_SUCCESS;
}

LSTATUS CEfxCoexistStateListener::ReadTechnologyFromReg(DWORD* pdwTechnology)
{
    CLockScope lock(m_csTechnology);
    LSTATUS st = ReadTechnology(m_dwVendorID, pdwTechnology);
    if (st == ERROR_SUCCESS)
        m_dwTechnology = *pdwTechnology;
    return st;
}

void CEfxCoexistStateListener::Start()
{
    if (!m_hStopEvent)
        m_hStopEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_hLoopDone)
        m_hLoopDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_hArmed)
        m_hArmed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_hStopEvent || !m_hLoopDone || !m_hArmed || m_hThread)
        return;
    ResetEvent(m_hLoopDone);
    ResetEvent(m_hArmed);
    m_bRunning = TRUE;
    m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    if (!m_hThread) {
        m_bRunning = FALSE;
        return;
    }
    // The caller reads the key next: a write landing between that read and
    // the first watch would otherwise never be noticed.
    HANDLE waits[2] = {m_hArmed, m_hLoopDone};
    DWORD dw = WaitForMultipleObjects(2, waits, FALSE, kArmWaitMs);
    KVTRACE(L"\n CEfxCoexistStateListener::Start(), wait for the watch returns 0x%x", static_cast<unsigned>(dw));
}

void CEfxCoexistStateListener::Stop()
{
    if (!m_hStopEvent || !m_hThread)
        return;
    m_bRunning = FALSE;
    SetEvent(m_hStopEvent);
    if (AfxIsDllDetaching()) {
        // A thread cannot end while this thread holds the loader lock. Once
        // it has left its loop and let go of the key and COM, it runs none
        // of our code that matters, so it is ended where it stands.
        HANDLE waits[2] = {m_hLoopDone, m_hThread};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        TerminateThread(m_hThread, 0);
    }
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    CloseHandle(m_hStopEvent);
    m_hStopEvent = nullptr;
}

std::wstring CEfxCoexistStateListener::GetTechnologyName()
{
    CLockScope lock(m_csTechnology);
    return m_strTechnology;
}

void CEfxCoexistStateListener::SetTechnologyName(const wchar_t* pszName)
{
    CLockScope lock(m_csTechnology);
    m_strTechnology = pszName;
    if (m_strTechnology.empty())
        m_strTechnology.shrink_to_fit();
}

DWORD WINAPI CEfxCoexistStateListener::ThreadProc(void* pThis)
{
    CEfxCoexistStateListener* pListener = static_cast<CEfxCoexistStateListener*>(pThis);
    pListener->Run();
    SetEvent(pListener->m_hLoopDone);
    return 0;
}

void CEfxCoexistStateListener::Run()
{
    HRESULT hrCo = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        CHklmKey watched(CoexistKeyPath(m_dwVendorID).c_str(), KEY_NOTIFY);
        KVTRACE(L"\n CEfxCoexistStateListener::Run(), RegOpenKeyEx 0x%x", static_cast<unsigned>(watched.Status()));
        // Armed again before every read, so a write that lands while we read
        // (another suite writing name and value back to back) wakes us again.
        auto arm = [&]() {
            LSTATUS st = RegNotifyChangeKeyValue(watched.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, m_hStopEvent, TRUE);
            KVTRACE(L"\n CEfxCoexistStateListener::Run(), RegNotifyChangeKeyValue 0x%x", static_cast<unsigned>(st));
        };
        if (watched.IsOpen() && m_bRunning) {
            arm();
            SetEvent(m_hArmed);
            for (;;) {
                WaitForSingleObject(m_hStopEvent, INFINITE);
                if (!m_bRunning)
                    break;
                arm();
                CHklmKey base(CoexistBaseKey(m_dwVendorID), KEY_READ);
                DWORD dwTechnology = 0, dwOld = 0, cb = sizeof(dwTechnology);
                {
                    // The session's own read may overlap this one: whichever
                    // records last must also have read last.
                    CLockScope lock(m_csTechnology);
                    if (!base.IsOpen() || RegGetValueW(base.Get(), kCoexistSubKey, L"Technology", RRF_RT_REG_DWORD,
                                                       nullptr, &dwTechnology, &cb) != ERROR_SUCCESS)
                        continue;
                    KVTRACE(L"\n CEfxCoexistStateListener::Run(), m_dwTechnology = 0x%x, dwTechnology 0x%x",
                            static_cast<unsigned>(m_dwTechnology.load()), static_cast<unsigned>(dwTechnology));
                    wchar_t szName[kNameBytes / sizeof(wchar_t)];
                    if (ReadTechnologyName(base.Get(), szName) == ERROR_SUCCESS) {
                        if (!EqualNoCaseAscii(szName, kLumoraTechnologyName))
                            SetTechnologyName(szName);
                        else
                            KVTRACE(L"\n CEfxCoexistStateListener::Run(), Tech String is Lumora");
                    }
                    dwOld = m_dwTechnology.exchange(dwTechnology);
                }
                if (dwOld != dwTechnology && (dwOld == kTechnologyLumora || dwTechnology == kTechnologyLumora) &&
                    m_hWndNotify)
                    PostMessageW(m_hWndNotify, WM_EFX_COEXIST_STATE_CHANGE, dwTechnology, 0);
            }
        }
    }
    if (SUCCEEDED(hrCo))
        CoUninitialize();
}
