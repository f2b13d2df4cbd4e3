// KVPolicyCfg.dll: the stand-in for the OS audio policy-configuration
// service. Its entry points: the class object, unloading and registration.
#include "PolicyConfig.h"
#include "ScopedKey.h"
#include "SimState.h"
#include "device/AudioPolicyConfig.h"

#include <cwchar>
#include <string>

namespace {

HMODULE g_hModule = nullptr;

constexpr wchar_t kClsidKey[] = L"Software\\Classes\\CLSID\\{294935CE-F637-4E7C-A41B-AB255460B862}";
constexpr wchar_t kServerKey[] =
    L"Software\\Classes\\CLSID\\{294935CE-F637-4E7C-A41B-AB255460B862}\\InprocServer32";

// One static factory for the one class; its count only keeps the module loaded.
class CClassFactory final : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&g_cModuleRefs) + 1; }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&g_cModuleRefs) + 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pOuter)
            return CLASS_E_NOAGGREGATION;
        return CreatePolicyConfig(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL bLock) override
    {
        if (bLock)
            InterlockedIncrement(&g_cModuleRefs);
        else
            InterlockedDecrement(&g_cModuleRefs);
        return S_OK;
    }
};

CClassFactory g_factory;

bool ModulePath(std::wstring* pPath)
{
    wchar_t sz[MAX_PATH * 4];
    DWORD cch = GetModuleFileNameW(g_hModule, sz, ARRAYSIZE(sz));
    if (cch == 0 || cch >= ARRAYSIZE(sz))
        return false;
    pPath->assign(sz, cch);
    return true;
}

LSTATUS SetString(HKEY hKey, const wchar_t* pszName, const std::wstring& value)
{
    return RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        DisableThreadLibraryCalls(hInstance);
    } else if (dwReason == DLL_PROCESS_DETACH && !pReserved) {
        kvsim::Close();  // unloaded by COM: loading again opens the state afresh
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_KVPolicyConfig))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return g_cModuleRefs == 0 ? S_OK : S_FALSE;
}

// Overwrites whatever the class had: on this machine the stand-in is the service.
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    std::wstring path;
    if (!ModulePath(&path))
        return E_FAIL;
    CScopedKey hClass, hServer;
    LSTATUS st = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kClsidKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                                 nullptr, hClass.Receive(), nullptr);
    if (st == ERROR_SUCCESS)
        st = SetString(hClass, nullptr, L"KVSim audio policy configuration");
    if (st == ERROR_SUCCESS)
        st = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kServerKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                             nullptr, hServer.Receive(), nullptr);
    if (st == ERROR_SUCCESS)
        st = SetString(hServer, nullptr, path);
    if (st == ERROR_SUCCESS)
        st = SetString(hServer, L"ThreadingModel", L"Both");
    return HRESULT_FROM_WIN32(st);
}

// Removes the class only while it points at this file, so unregistering a
// copy elsewhere cannot take away a registration that is not ours. Repeating
// it is harmless.
extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    std::wstring path;
    if (!ModulePath(&path))
        return E_FAIL;
    {
        CScopedKey hServer;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServerKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                          hServer.Receive()) != ERROR_SUCCESS)
            return S_OK;
        wchar_t szRegistered[MAX_PATH * 4] = {};
        DWORD cb = sizeof(szRegistered) - sizeof(wchar_t);
        if (RegGetValueW(hServer, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, szRegistered, &cb) != ERROR_SUCCESS ||
            _wcsicmp(szRegistered, path.c_str()) != 0)
            return S_OK;
    }
    CScopedKey hClass;
    LSTATUS st = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClsidKey, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, hClass.Receive());
    if (st == ERROR_SUCCESS)
        st = RegDeleteTreeW(hClass, nullptr);
    hClass.Close();
    if (st == ERROR_SUCCESS)
        st = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kClsidKey, KEY_WOW64_64KEY, 0);
    return st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(st);
}
