// The trace facility: INI switches, debugger lines, the log file format.
#include "support/ShowDebugString.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <regex>

using namespace kvtest;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class TraceTest : public testing::Test
{
protected:
    void SetUp() override { m_dir = NewTempDirectory(); }
    void TearDown() override { RemoveTree(m_dir); }
    std::wstring LogPath() const { return m_dir + L"trace.log"; }

    std::wstring m_dir;
};

// The record prefix: CR LF, nine digits of tick count, "> ".
const std::wregex kRecord(LR"(\r\n-?\d{8,10}> )");

} // namespace

TEST_F(TraceTest, NoIniFileMeansSilence)
{
    DeleteFileW(ShowDebugString::kIniPath);
    DebugOutputCapture capture;
    ShowDebugString trace;
    trace.Print(0, L"\n CChildDlg::UpdateUI()");
    EXPECT_EQ(trace.m_dwFlags, 0u);
    EXPECT_EQ(trace.m_hLogFile, nullptr);
    EXPECT_THAT(capture.Lines(), IsEmpty());
}

TEST_F(TraceTest, SwitchStatesFromTheIni)
{
    struct Case {
        const wchar_t* showDebug;
        const wchar_t* logFile;  // "*" stands for a writable file
        DWORD flags;
        bool fileOpen;
    } cases[] = {
        {L"0", nullptr, 0, false},
        {L"0", L"*", 0, false},        // off wins over a log file
        {L"1", nullptr, 1, false},
        {L"7", nullptr, 1, false},     // any non-zero value switches on
        {L"1", L"ab", 1, false},       // two characters are not a path
        {L"1", L"abc", 3, true},       // three are (relative to the current directory)
        {L"1", L"*", 3, true},
        {L"1", L"Q:\\no\\such\\dir\\x.log", 3, false},  // cannot open: debugger only
    };
    for (const Case& c : cases) {
        std::wstring log = c.logFile && std::wstring(c.logFile) == L"*" ? LogPath() : (c.logFile ? c.logFile : L"");
        SCOPED_TRACE(Narrow(std::wstring(L"ShowDebug=") + c.showDebug + L" LogFile=" + log));
        ScopedTraceIni ini(c.showDebug, c.logFile ? log.c_str() : nullptr);
        {
            ShowDebugString trace;
            EXPECT_EQ(trace.m_dwFlags, c.flags);
            EXPECT_EQ(trace.m_hLogFile != nullptr, c.fileOpen);
        }
        if (std::wstring(log) == L"abc")
            DeleteFileW(L"abc");
    }
}

TEST_F(TraceTest, SectionIsTheHostExecutableName)
{
    DeleteFileW(ShowDebugString::kIniPath);
    WritePrivateProfileStringW(L"otherhost.exe", L"ShowDebug", L"1", ShowDebugString::kIniPath);
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, ShowDebugString::kIniPath);
    {
        ShowDebugString trace;
        EXPECT_EQ(trace.m_dwFlags, 0u);
    }
    WritePrivateProfileStringW(ExeFileName().c_str(), L"ShowDebug", L"1", ShowDebugString::kIniPath);
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, ShowDebugString::kIniPath);
    {
        ShowDebugString trace;
        EXPECT_EQ(trace.m_dwFlags, 1u);
    }
    DeleteFileW(ShowDebugString::kIniPath);
}

TEST_F(TraceTest, DebuggerLineIsPrefixMessageLineFeed)
{
    ScopedTraceIni ini(L"1", nullptr);
    ShowDebugString trace;
    DebugOutputCapture capture;
    trace.Print(0, L"\n m_dwLanguageID=%d", 1033);
    trace.Print(0xABCDEF12, L"x");
    EXPECT_THAT(capture.Lines(), ElementsAre(L"00000000 \n m_dwLanguageID=1033\n", L"abcdef12 x\n"));
}

TEST_F(TraceTest, WideStringPlaceholderTakesWideText)
{
    ScopedTraceIni ini(L"1", nullptr);
    ShowDebugString trace;
    DebugOutputCapture capture;
    trace.Print(0, L"\n CKVDeviceEndpoint::OpenDeviceEndpoint[%s](%d) 0x%x %s", L"UI", -5, 0xC0000001u, L"Lautsprecher");
    EXPECT_THAT(capture.Lines(),
                ElementsAre(L"00000000 \n CKVDeviceEndpoint::OpenDeviceEndpoint[UI](-5) 0xc0000001 Lautsprecher\n"));
}

TEST_F(TraceTest, OverlongMessageIsCutInsideTheLine)
{
    ScopedTraceIni ini(L"1", LogPath().c_str());
    ShowDebugString trace;
    DebugOutputCapture capture;
    std::wstring longText(5000, L'x');
    trace.Print(0, L"%s", longText.c_str());
    std::wstring exact(ShowDebugString::kMaxMessageChars, L'y');
    trace.Print(0, L"%s", exact.c_str());
    std::wstring oneShort(ShowDebugString::kMaxMessageChars - 1, L'z');
    trace.Print(0, L"%s", oneShort.c_str());

    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"00000000 " + std::wstring(ShowDebugString::kMaxMessageChars, L'x') + L"\n");
    EXPECT_EQ(lines[1], L"00000000 " + exact + L"\n");
    EXPECT_EQ(lines[2], L"00000000 " + oneShort + L"\n");
    EXPECT_EQ(lines[0].size() + 1, static_cast<size_t>(ShowDebugString::kLineChars));
}

TEST_F(TraceTest, LogFileHoldsHeaderThenOneRecordPerLine)
{
    {
        ScopedTraceIni ini(L"1", LogPath().c_str());
        ShowDebugString trace;
        trace.Print(0, L"\n CChildDlg::UpdateUI()");
        trace.Print(0, L"\n m_dwLanguageID=%d", 1031);
    }
    std::vector<BYTE> bytes = ReadFileBytes(LogPath());
    ASSERT_GE(bytes.size(), 4u);
    // UTF-16LE without a byte-order mark: the file starts with CR as 0D 00.
    EXPECT_EQ(bytes[0], 0x0D);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes.size() % 2, 0u);

    std::wstring text = ReadUtf16File(LogPath());
    // The session header is itself a record.
    std::wregex whole(LR"(\r\n-?\d{8,10}> \r\n ---New Session--- started on (\d{1,2})/(\d{1,2})/(\d{4}) at \d{1,2}:\d{1,2}:\d{1,2}\.\d{3}\r\n)"
                      LR"(\r\n-?\d{8,10}> 00000000 \n CChildDlg::UpdateUI\(\)\n)"
                      LR"(\r\n-?\d{8,10}> 00000000 \n m_dwLanguageID=1031\n)");
    std::wsmatch m;
    ASSERT_TRUE(std::regex_match(text, m, whole)) << Narrow(text);

    SYSTEMTIME st;
    GetLocalTime(&st);
    EXPECT_EQ(std::stoi(m[3].str()), st.wYear);  // day first, then month, then year
    EXPECT_EQ(std::stoi(m[2].str()), st.wMonth);
}

TEST_F(TraceTest, ExistingLogIsAppendedNeverTruncated)
{
    const std::wstring before = L"earlier run\r\n";
    ASSERT_TRUE(WriteFileBytes(LogPath(), before.data(), before.size() * sizeof(wchar_t)));
    for (int run = 0; run < 2; ++run) {
        ScopedTraceIni ini(L"1", LogPath().c_str());
        ShowDebugString trace;
        trace.Print(0, L"run %d", run);
    }
    std::wstring text = ReadUtf16File(LogPath());
    EXPECT_EQ(text.rfind(before, 0), 0u) << "the old content must stay at the start";
    size_t first = text.find(L"---New Session---");
    ASSERT_NE(first, std::wstring::npos);
    EXPECT_NE(text.find(L"---New Session---", first + 1), std::wstring::npos);
    EXPECT_LT(text.find(L"00000000 run 0\n"), text.find(L"00000000 run 1\n"));
}

TEST_F(TraceTest, LogFileIsReleasedOnDestruction)
{
    {
        ScopedTraceIni ini(L"1", LogPath().c_str());
        ShowDebugString trace;
        trace.Print(0, L"x");
    }
    HANDLE h = CreateFileW(LogPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "the trace still holds its log file";
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

TEST_F(TraceTest, RecordsFromSeveralThreadsAllArrive)
{
    {
        ScopedTraceIni ini(L"1", LogPath().c_str());
        ShowDebugString trace;
        auto worker = [](LPVOID p) -> DWORD {
            auto* t = static_cast<ShowDebugString*>(p);
            for (int i = 0; i < 200; ++i)
                t->Print(0, L"\n thread %u line %d", GetCurrentThreadId(), i);
            return 0;
        };
        HANDLE threads[4];
        for (HANDLE& h : threads)
            h = CreateThread(nullptr, 0, worker, &trace, 0, nullptr);
        WaitForMultipleObjects(4, threads, TRUE, INFINITE);
        for (HANDLE h : threads)
            CloseHandle(h);
    }
    std::wstring text = ReadUtf16File(LogPath());
    std::wregex line(LR"(00000000 \n thread \d+ line \d+\n)");
    auto n = std::distance(std::wsregex_iterator(text.begin(), text.end(), line), std::wsregex_iterator());
    EXPECT_EQ(n, 800);
    auto r = std::distance(std::wsregex_iterator(text.begin(), text.end(), kRecord), std::wsregex_iterator());
    EXPECT_EQ(r, 801) << "800 lines and the session header";
}
