// Helpers for the state library's tests: their own instance, child processes,
// draining a reader, comparing the block before and after a refusal.
#pragma once

#include "SimState.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace simtest {

constexpr wchar_t kInstance[] = L"simstate_test";

// Runs a command line with KVSIM_INSTANCE set to instance; returns the exit
// code (or -1) and what it wrote to stdout.
int Run(const std::wstring& cmdLine, const wchar_t* instance, std::string* pOut = nullptr, DWORD dwTimeoutMs = 60000);
// Starts a command line with stdout and stderr going nowhere; the caller
// waits for it with Finish.
HANDLE Start(const std::wstring& cmdLine, const wchar_t* instance);
int Finish(HANDLE hProcess, DWORD dwTimeoutMs = 60000);
std::wstring KvsimCommand(const std::wstring& args);   // "<bin>\kvsim.exe args"
std::wstring SelfCommand(const std::wstring& args);    // this test program

// Everything waiting for the reader now, and what arrives within dwWaitMs.
std::vector<kvsim::EventRecord> Drain(kvsim::EventReader& r, DWORD dwWaitMs = 0);

// A copy of what a refused change must leave untouched.
struct Snapshot {
    Snapshot();
    bool operator==(const Snapshot& o) const;
    std::unique_ptr<kvsim::Node[]> nodes;
    kvsim::DriverMode mode;
    ULONGLONG generation, nextSeq;
};

int NodeByAlias(const wchar_t* alias);

}  // namespace simtest
