// Shared pieces of the framework tests: a message log compared in order, a
// logging window, and a fixture that checks no window stays bound.
#pragma once

#include "Framework.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// Events in the order they happened, compared against an expected sequence.
class CEventLog {
public:
    void Add(const std::string& event) { m_events.push_back(event); }
    std::vector<std::string> Take();
    const std::vector<std::string>& Events() const { return m_events; }

private:
    std::vector<std::string> m_events;
};

// Fails with both sequences side by side; clears the log.
void ExpectSequence(CEventLog& log, const std::vector<std::string>& expected, const char* context);

std::string Format(const char* fmt, ...);

void PumpMessages();

// Logs the lifetime messages of a window as "name:WM_X".
class CLogWnd : public CWnd {
public:
    CLogWnd(CEventLog& log, std::string name) : m_log(log), m_name(std::move(name)) {}

    BOOL CreatePopup();                 // hidden framework-class popup
    BOOL CreateChild(CWnd& parent);     // framework-class child

    CEventLog& m_log;
    std::string m_name;
    std::function<void()> m_onPostNcDestroy;

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;
};

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    CEventLog m_log;

private:
    size_t m_nBoundAtStart = 0;
};
