// The stand-in tests' main: an instance and topology of their own, and a
// child mode the cross-process tests start this program in.
#include "StandinsTest.h"

#include "SimState.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <objbase.h>

#include <cstring>

namespace standins {

std::wstring TopologyText(const wchar_t* pszHeadphonesName, DWORD dwHeadphonesForm)
{
    return std::wstring(L"mode endpoint\nendpoint speakers render\n    id ") + kSpeakersId +
           L"\n    name \"Standins Speakers\"\n    form-factor 1\n    instance-path \"" + kSpeakersPath +
           L"\"\nendpoint headphones render\n    id " + kHeadphonesId + L"\n    name \"" + pszHeadphonesName +
           L"\"\n    form-factor " + std::to_wstring(dwHeadphonesForm) + L"\n";
}

bool LoadTopology(const std::wstring& text)
{
    wchar_t szError[256] = L"";
    bool bOk = kvsim::LoadTopologyText(text.c_str(), L"standins_test", szError, 256);
    EXPECT_TRUE(bOk) << "topology refused: " << kvtest::Narrow(szError);
    return bOk;
}

std::wstring PropertyStoreKey()
{
    return std::wstring(L"Software\\KVSim\\PropertyStore\\") + kInstance;
}

void ClearPropertyStores()
{
    HKEY hKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PropertyStoreKey().c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &hKey))
        return;
    RegDeleteTreeW(hKey, nullptr);
    RegCloseKey(hKey);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, PropertyStoreKey().c_str(), KEY_WOW64_64KEY, 0);
}

}  // namespace standins

namespace {

// The instance starts from nothing and leaves nothing in the machine's stores.
class CStandinsEnvironment : public testing::Environment
{
    void SetUp() override
    {
        standins::ClearPropertyStores();
        kvsim::Reset(true);
        ASSERT_TRUE(standins::LoadTopology(standins::TopologyText()));
    }
    void TearDown() override
    {
        kvsim::Reset(true);   // also takes our endpoints out of the OS device store
        standins::ClearPropertyStores();
    }
};

}  // namespace

int main(int argc, char** argv)
{
    SetEnvironmentVariableW(L"KVSIM_INSTANCE", standins::kInstance);
    if (argc > 1 && strcmp(argv[1], "--child") == 0)
        return standins::RunChild(argc, argv);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    testing::InitGoogleMock(&argc, argv);
    testing::AddGlobalTestEnvironment(new CStandinsEnvironment);
    int rc = RUN_ALL_TESTS();
    CoUninitialize();
    return rc;
}
