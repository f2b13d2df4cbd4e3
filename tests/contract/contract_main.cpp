// The contract tests' own main: the same program also runs as the second
// process of the two-process tests (--child), with no test framework.
#include "ContractSupport.h"

#include <gmock/gmock.h>
#include <objbase.h>

#include <cstring>

namespace contract {
int RunChild(int argc, char** argv);  // TwoProcessTest.cpp
}

namespace {

// Leaves no endpoints of ours in the prefix's audio device store.
class CEmptyStateAtExit : public testing::Environment {
public:
    void TearDown() override { kvsim::Reset(true); }
};

}  // namespace

int main(int argc, char** argv)
{
    // Before anything opens the state: this program's own driver instance,
    // which the child inherits.
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", L"contract-test");
    if (argc >= 2 && strcmp(argv[1], "--child") == 0) return contract::RunChild(argc, argv);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    testing::InitGoogleMock(&argc, argv);
    testing::AddGlobalTestEnvironment(new CEmptyStateAtExit);
    int rc = RUN_ALL_TESTS();
    CoUninitialize();
    return rc;
}
