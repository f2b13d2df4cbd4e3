// Feature objects are tested against the simulated driver, reached through
// COM like the plug-in reaches it; each test loads its own topology.
#pragma once

#include "features/SNDIBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ftest {

extern const wchar_t kSpeakersId[];

// The base topology: one endpoint "spk" and one device "dev" with the given
// feature lines; the defaults offer everything on the endpoint and the narrow
// flavours on the device.
std::wstring Topology(const std::wstring& endpointFeatures, const std::wstring& deviceFeatures);
std::wstring DefaultEndpointFeatures();
std::wstring DefaultDeviceFeatures();

// Loads a topology and binds the first render endpoint and the first device.
class DriverTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    void Load(const std::wstring& topology);
    int Node(const wchar_t* alias) const;
    // A fault on one method of one interface of one node (-1 any), for n calls.
    void Fail(const wchar_t* iface, DWORD dwSlot, HRESULT hr, int nNode = -1, LONG nCount = -1);
    // How many calls of an injected fault are left: tells whether it was hit.
    LONG FaultRemaining(const wchar_t* iface, DWORD dwSlot);
    // Changes a setting as another application would.
    void Set(const wchar_t* alias, const wchar_t* name, const wchar_t* value);

    IKVEndpoint* m_pEndpoint = nullptr;
    IKVDevice* m_pDevice = nullptr;

private:
    void Release();
    IKVEndpointEnum* m_pEnum = nullptr;
    IKVDeviceEnum* m_pDeviceEnum = nullptr;
};

// Collects what subscriptions receive, from whatever thread.
struct Notice {
    UINT eEvent, dwHint, dwArg;
    void* pContext;
    DWORD dwThread;
};
class NoticeLog
{
public:
    static LONG CALLBACK Callback(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext);
    static void Clear();
    // Waits until a notice with that event (and hint, unless ~0) arrived.
    static bool WaitFor(UINT eEvent, UINT dwHint = ~0u, DWORD dwMs = 5000);
    static std::vector<Notice> Snapshot();
};

}  // namespace ftest
