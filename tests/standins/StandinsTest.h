// What the stand-in tests share: their own simulated-driver instance and
// topology, and running programs.
#pragma once
#include <windows.h>
#include <wtypes.h>

#include <string>

namespace standins {

// Set before anything opens the simulated state; child processes inherit it.
constexpr wchar_t kInstance[] = L"standins_test";

constexpr wchar_t kSpeakersId[] = L"{0.0.0.00000000}.{5C1E2A7B-93D4-4F60-8B2E-7A11C0DE5101}";
constexpr wchar_t kHeadphonesId[] = L"{0.0.0.00000000}.{5C1E2A7B-93D4-4F60-8B2E-7A11C0DE5102}";
constexpr wchar_t kSpeakersPath[] = L"HDAUDIO\\FUNC_01&VEN_7F11&DEV_0042&SUBSYS_7F110042\\4&2A1B3C&0&0001";
constexpr int kSpeakersNode = 0;
// The master switch's value in the effects store.
constexpr PROPERTYKEY kMasterKey = {{0xC490355E, 0xD886, 0x407D, {0xBD, 0x7D, 0xBC, 0x0C, 0xE7, 0x79, 0xCC, 0x7F}}, 8};
constexpr int kHeadphonesNode = 1;

// The tests' topology; the headphones' name and form factor vary so a test can
// make the endpoint change.
std::wstring TopologyText(const wchar_t* pszHeadphonesName = L"Standins Headphones", DWORD dwHeadphonesForm = 3);
// Loads it; false (and a gtest failure naming the error) when refused.
bool LoadTopology(const std::wstring& text);

// The instance's part of the policy-configuration stand-in's registry stores.
std::wstring PropertyStoreKey();
void ClearPropertyStores();


// The child mode of this test program (see PolicyConfigTest.cpp).
int RunChild(int argc, char** argv);

}  // namespace standins
