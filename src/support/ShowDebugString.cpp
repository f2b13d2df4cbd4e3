#include "support/ShowDebugString.h"

#include <cstdarg>
#include <cwchar>

ShowDebugString g_ShowDebugString;

namespace {

// msvcrt's formatter: "%s" in a wide format takes a wide string, as every
// trace line expects. (The C99 wide formatters read "%s" as narrow.)
int FormatV(wchar_t* pBuf, size_t cch, const wchar_t* pszFormat, va_list args)
{
    return _vsnwprintf(pBuf, cch, pszFormat, args);
}

int Format(wchar_t* pBuf, size_t cch, const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int n = FormatV(pBuf, cch, pszFormat, args);
    va_end(args);
    return n;
}

} // namespace

ShowDebugString::ShowDebugString()
    : m_dwFlags(0), m_hLogFile(nullptr)
{
    wchar_t szExe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    const wchar_t* pszSection = wcsrchr(szExe, L'\\');
    pszSection = pszSection ? pszSection + 1 : szExe;

    if (GetPrivateProfileIntW(pszSection, L"ShowDebug", 0, kIniPath) == 0) {
        m_dwFlags = 0;
        return;
    }

    wchar_t szLogFile[MAX_PATH] = {};
    if (GetPrivateProfileStringW(pszSection, L"LogFile", L"", szLogFile, MAX_PATH, kIniPath) <= 2) {
        m_dwFlags = FLAG_ON;
        return;
    }

    m_dwFlags = FLAG_ON | FLAG_LOGFILE;
    HANDLE hFile = CreateFileW(szLogFile, FILE_WRITE_DATA, FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    m_hLogFile = hFile;
    SetFilePointer(m_hLogFile, 0, nullptr, FILE_END);

    SYSTEMTIME st;
    GetLocalTime(&st);
    wchar_t szHeader[128];
    if (Format(szHeader, 128, L"\r\n ---New Session--- started on %d/%d/%d at %d:%d:%d.%03d\r\n", st.wDay,
               st.wMonth, st.wYear, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds) > 0)
        WriteToFile(szHeader);
}

ShowDebugString::~ShowDebugString()
{
    if (m_hLogFile) {
        CloseHandle(m_hLogFile);
        m_hLogFile = nullptr;
    }
}

void ShowDebugString::Print(DWORD dwId, const wchar_t* pszFormat, ...)
{
    if (!(m_dwFlags & FLAG_ON))
        return;

    wchar_t szLine[kLineChars];
    Format(szLine, kPrefixChars + 1, L"%08x ", dwId);

    int nMessage = 0;
    if (pszFormat) {
        va_list args;
        va_start(args, pszFormat);
        nMessage = FormatV(szLine + kPrefixChars, kMaxMessageChars, pszFormat, args);
        va_end(args);
        // -1 (or a full buffer without terminator) means the message was cut.
        if (nMessage < 0 || nMessage > kMaxMessageChars)
            nMessage = kMaxMessageChars;
    }
    szLine[kPrefixChars + nMessage] = L'\n';
    szLine[kPrefixChars + nMessage + 1] = L'\0';

    OutputDebugStringW(szLine);
    if ((m_dwFlags & FLAG_LOGFILE) && m_hLogFile)
        WriteToFile(szLine);
}

void ShowDebugString::WriteToFile(const wchar_t* pszText)
{
    if (!m_hLogFile || !pszText)
        return;
    wchar_t szPrefix[32];
    int nPrefix = Format(szPrefix, 32, L"\r\n%09d> ", static_cast<int>(GetTickCount()));
    if (nPrefix < 0)
        return;
    DWORD dwWritten = 0;
    WriteFile(m_hLogFile, szPrefix, static_cast<DWORD>(nPrefix) * sizeof(wchar_t), &dwWritten, nullptr);
    WriteFile(m_hLogFile, pszText, static_cast<DWORD>(wcslen(pszText)) * sizeof(wchar_t), &dwWritten, nullptr);
}
