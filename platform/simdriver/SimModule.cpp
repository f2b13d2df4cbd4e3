// The DLL's entry points: class objects, unloading and registration.
#include "SimCom.h"
#include "SimEnumerators.h"
#include "SimNotify.h"

#include <cwchar>

using kvsim::DriverMode;
using kvsim::Iface;

namespace simdrv {

namespace {

struct ClassEntry {
    const CLSID* pClsid;
    const wchar_t* pszName;
    HRESULT (*pCreate)(REFIID riid, void** ppv);
    // The driver mode that still offers the class.
    bool (*pOffered)(DriverMode mode);
};

const ClassEntry kClasses[] = {
    {&CLSID_KVEndpointEnum, L"KV simulated endpoint enumerator", CreateEndpointEnum,
     [](DriverMode m) { return m == DriverMode::Endpoint; }},
    {&CLSID_KVDeviceEnum, L"KV simulated device enumerator", CreateDeviceEnum,
     [](DriverMode m) { return m != DriverMode::None; }},
};

// The mode the shared state asks for; a machine without a state block offers
// nothing.
bool ClassOffered(const ClassEntry& c)
{
    kvsim::StateLock lock;
    const kvsim::SharedState* s = kvsim::Open();
    return s && c.pOffered(s->mode);
}

class CSimClassFactory final : public CSimObject<IClassFactory> {
public:
    explicit CSimClassFactory(const ClassEntry& c) : m_class(c) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        KVSIM_FAULT(Iface::ClassFactory, 3, -1);
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (pOuter) return CLASS_E_NOAGGREGATION;
        if (!ClassOffered(m_class)) return CLASS_E_CLASSNOTAVAILABLE;
        return m_class.pCreate(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL bLock) override
    {
        KVSIM_FAULT(Iface::ClassFactory, 4, -1);
        if (bLock)
            ModuleAddRef();
        else
            ModuleRelease();
        return S_OK;
    }

private:
    HRESULT Find(REFIID riid, IUnknown** ppUnk) override
    {
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppUnk = static_cast<IClassFactory*>(this);
        return S_OK;
    }

    const ClassEntry& m_class;
};

// ---- Registration -------------------------------------------------------------

const wchar_t kClsidRoot[] = L"Software\\Classes\\CLSID";

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey()
    {
        if (m_h) RegCloseKey(m_h);
    }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    HKEY* operator&() { return &m_h; }
    operator HKEY() const { return m_h; }

private:
    HKEY m_h = nullptr;
};

std::wstring ClsidText(const CLSID& clsid)
{
    wchar_t sz[40] = {};
    StringFromGUID2(clsid, sz, 40);
    return sz;
}

LSTATUS SetText(HKEY hKey, const wchar_t* pszName, const wchar_t* pszValue)
{
    return RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszValue),
                          static_cast<DWORD>((wcslen(pszValue) + 1) * sizeof(wchar_t)));
}

HRESULT RegisterServerClass(const ClassEntry& c, const wchar_t* pszPath)
{
    std::wstring key = std::wstring(kClsidRoot) + L"\\" + ClsidText(*c.pClsid);
    CRegKey hClass, hServer;
    LSTATUS st = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                                 nullptr, &hClass, nullptr);
    if (st == ERROR_SUCCESS) st = SetText(hClass, nullptr, c.pszName);
    if (st == ERROR_SUCCESS)
        st = RegCreateKeyExW(hClass, L"InprocServer32", 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr,
                             &hServer, nullptr);
    if (st == ERROR_SUCCESS) st = SetText(hServer, nullptr, pszPath);
    if (st == ERROR_SUCCESS) st = SetText(hServer, L"ThreadingModel", L"Both");
    return HRESULT_FROM_WIN32(st);
}

// A class that is not registered counts as unregistered.
HRESULT UnregisterServerClass(const ClassEntry& c)
{
    CRegKey hRoot;
    LSTATUS st = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClsidRoot, 0, KEY_READ | KEY_WRITE | DELETE | KEY_WOW64_64KEY,
                               &hRoot);
    if (st == ERROR_FILE_NOT_FOUND) return S_OK;
    if (st == ERROR_SUCCESS) st = RegDeleteTreeW(hRoot, ClsidText(*c.pClsid).c_str());
    return st == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(st);
}

}  // namespace

}  // namespace simdrv

using namespace simdrv;

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    // The driver thread is never waited for here: at process exit it is
    // already gone, and a FreeLibrary happens only once it has stopped.
    if (dwReason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(hInstance);
    else if (dwReason == DLL_PROCESS_DETACH && !pReserved) kvsim::Close();
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const ClassEntry& c : kClasses) {
        if (rclsid != *c.pClsid) continue;
        if (!ClassOffered(c)) return CLASS_E_CLASSNOTAVAILABLE;
        return CreateAndQuery<CSimClassFactory>(riid, ppv, c);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return (ModuleCount() == 0 && !NotifyBusy()) ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    wchar_t szPath[MAX_PATH];
    DWORD cch = GetModuleFileNameW(ModuleHandle(), szPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH) return E_FAIL;
    for (const ClassEntry& c : kClasses) {
        HRESULT hr = RegisterServerClass(c, szPath);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    HRESULT hrFirst = S_OK;
    for (const ClassEntry& c : kClasses) {
        HRESULT hr = UnregisterServerClass(c);
        if (FAILED(hr) && SUCCEEDED(hrFirst)) hrFirst = hr;
    }
    return hrFirst;
}
