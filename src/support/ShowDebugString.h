// The plug-in's trace: off unless "C:\ShowDebug.TXT" switches it on for the
// host program; then every line goes to the debugger output and optionally to
// a UTF-16LE log file.
#pragma once
#include <windows.h>

class ShowDebugString
{
public:
    enum : DWORD {
        FLAG_ON = 0x1,       // lines go to the debugger output
        FLAG_LOGFILE = 0x2,  // ... and to m_hLogFile
    };
    // One line: 8 hex digits, a blank, the message, a line feed, the terminator.
    static constexpr int kLineChars = 784;
    static constexpr int kPrefixChars = 9;
    static constexpr int kMaxMessageChars = kLineChars - kPrefixChars - 2;

    ShowDebugString();
    virtual ~ShowDebugString();

    ShowDebugString(const ShowDebugString&) = delete;
    ShowDebugString& operator=(const ShowDebugString&) = delete;

    // A message longer than kMaxMessageChars is cut there; the line still
    // ends with its line feed.
    void Print(DWORD dwId, const wchar_t* pszFormat, ...);
    void WriteToFile(const wchar_t* pszText);

    DWORD m_dwFlags;
    HANDLE m_hLogFile;

    static constexpr const wchar_t* kIniPath = L"C:\\ShowDebug.TXT";
};

extern ShowDebugString g_ShowDebugString;

#define KVTRACE(...) g_ShowDebugString.Print(0, __VA_ARGS__)
