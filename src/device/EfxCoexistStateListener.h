// Watches the registry key that records which effects suite owns the audio
// device, and tells the session's hidden window when ownership moves to or
// from the maker's technology.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

// "Technology" value meaning the maker's technology owns the device.
inline constexpr DWORD kTechnologyLumora = 2;
inline constexpr wchar_t kLumoraTechnologyName[] = L"Auralith Q-fx MB";
inline constexpr wchar_t kCoexistSubKey[] = L"ALCoexist";

// The key ALCoexist lives under; vendor 0x111D keeps its own.
const wchar_t* CoexistBaseKey(ULONGLONG dwVendorID);
// base\ALCoexist, for opening the key itself.
std::wstring CoexistKeyPath(ULONGLONG dwVendorID);
// Whether base\ALCoexist exists (it is opened for notification only).
bool CoexistKeyExists(ULONGLONG dwVendorID);
// Reads "Technology" through the base key; the registry's result code.
LSTATUS ReadTechnology(ULONGLONG dwVendorID, DWORD* pdwTechnology);
// Any DWORD of base\ALCoexist, read through the base key; written to the
// key itself, created when missing.
LSTATUS ReadCoexistDword(ULONGLONG dwVendorID, const wchar_t* pszValue, DWORD* pdwValue);
LSTATUS WriteCoexistDword(ULONGLONG dwVendorID, const wchar_t* pszValue, DWORD dwValue);

class CEfxCoexistStateListener
{
public:
    // "TechnologyName" is read into a buffer of this many bytes.
    static constexpr DWORD kNameBytes = 260;

    explicit CEfxCoexistStateListener(HWND hWndNotify);
    virtual ~CEfxCoexistStateListener();

    CEfxCoexistStateListener(const CEfxCoexistStateListener&) = delete;
    CEfxCoexistStateListener& operator=(const CEfxCoexistStateListener&) = delete;

    BOOL UpdateCurrentTechNameFromReg();
    // Reads "Technology" and records it as the value last seen, in one step
    // against the thread's own read and record; the registry's result code.
    LSTATUS ReadTechnologyFromReg(DWORD* pdwTechnology);
    // Returns once the thread watches the key (or has given up), so a write
    // after a read that follows is always noticed.
    void Start();
    void Stop();
    std::wstring GetTechnologyName();

    HANDLE m_hStopEvent;
    HANDLE m_hThread;
    std::atomic<BOOL> m_bRunning;
    HWND m_hWndNotify;
    std::atomic<DWORD> m_dwTechnology;
    std::wstring m_strTechnology;
    ULONGLONG m_dwVendorID;

private:
    static DWORD WINAPI ThreadProc(void* pThis);
    void Run();
    void SetTechnologyName(const wchar_t* pszName);

    CRITICAL_SECTION m_csTechnology;
    // Set by the thread once it has left its loop and released what it held.
    HANDLE m_hLoopDone = nullptr;
    // Set by the thread once its first watch of the key is armed.
    HANDLE m_hArmed = nullptr;
};
