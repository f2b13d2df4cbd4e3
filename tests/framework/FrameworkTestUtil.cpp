#include "FrameworkTestUtil.h"

#include <cstdarg>
#include <cstdio>

std::vector<std::string> CEventLog::Take()
{
    std::vector<std::string> events;
    events.swap(m_events);
    return events;
}

void ExpectSequence(CEventLog& log, const std::vector<std::string>& expected, const char* context)
{
    const std::vector<std::string> actual = log.Take();
    if (actual == expected)
        return;
    std::string report = Format("%s: message sequence differs\n", context);
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        const std::string want = i < expected.size() ? expected[i] : "(nothing)";
        const std::string got = i < actual.size() ? actual[i] : "(nothing)";
        report += Format("  %c %-36s got %s\n", want == got ? ' ' : '*', want.c_str(), got.c_str());
    }
    ADD_FAILURE() << report;
}

std::string Format(const char* fmt, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof(buffer), fmt, args);
    va_end(args);
    return buffer;
}

void PumpMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

BOOL CLogWnd::CreatePopup()
{
    return CreateEx(0, nullptr, L"log", WS_POPUP, 0, 0, 100, 100, nullptr);
}

BOOL CLogWnd::CreateChild(CWnd& parent)
{
    return CreateEx(0, nullptr, L"child", WS_CHILD, 0, 0, 50, 50, parent.m_hWnd);
}

LRESULT CLogWnd::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_NCCREATE: m_log.Add(m_name + ":WM_NCCREATE"); break;
    case WM_CREATE: m_log.Add(m_name + ":WM_CREATE"); break;
    case WM_DESTROY: m_log.Add(m_name + ":WM_DESTROY"); break;
    case WM_NCDESTROY: m_log.Add(m_name + ":WM_NCDESTROY"); break;
    }
    return CWnd::WindowProc(nMsg, wParam, lParam);
}

void CLogWnd::PostNcDestroy()
{
    m_log.Add(m_name + (m_hWnd ? ":PostNcDestroy(still bound)" : ":PostNcDestroy"));
    // The callback may delete this object, so it runs from a local copy.
    if (auto onPostNcDestroy = std::move(m_onPostNcDestroy))
        onPostNcDestroy();
}

void FrameworkTest::SetUp()
{
    AfxInitExeModule();
    m_nBoundAtStart = AfxGetStaticModuleState()->m_mapHWND.GetPermanentCount();
}

void FrameworkTest::TearDown()
{
    PumpMessages();
    EXPECT_EQ(m_nBoundAtStart, AfxGetStaticModuleState()->m_mapHWND.GetPermanentCount())
        << "a window stayed bound after the test";
}
