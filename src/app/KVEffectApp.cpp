#include "app/KVEffectApp.h"

#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "support/HookWndWC.h"
#include "support/ShowDebugString.h"
#include "ui/ChildDlgMasterOnOff.h"
#include "ui/MainEffectsDlg.h"

#include <new>

namespace {

const REGSAM kRead64 = KEY_READ | KEY_WOW64_64KEY;
const wchar_t kResourceLibraryName[] = L"KVEffRsc.rsc";

// Scope-bound registry key, so every path closes what it opened.
class CRegKey64
{
public:
    CRegKey64(HKEY hRoot, const wchar_t* pszPath) { m_bOpen = RegOpenKeyExW(hRoot, pszPath, 0, kRead64, &m_hKey) == ERROR_SUCCESS; }
    ~CRegKey64() { if (m_bOpen) RegCloseKey(m_hKey); }
    CRegKey64(const CRegKey64&) = delete;
    CRegKey64& operator=(const CRegKey64&) = delete;

    bool IsOpen() const { return m_bOpen; }
    // Only a REG_DWORD counts; any other type or size is a failed read.
    bool ReadDword(const wchar_t* pszSubKey, const wchar_t* pszValue, DWORD& dwOut) const
    {
        DWORD dw = 0, cb = sizeof(dw);
        if (RegGetValueW(m_hKey, pszSubKey, pszValue, RRF_RT_REG_DWORD, nullptr, &dw, &cb) != ERROR_SUCCESS)
            return false;
        dwOut = dw;
        return true;
    }

private:
    HKEY m_hKey = nullptr;
    bool m_bOpen = false;
};

unsigned HandleValue(const void* p)
{
    return static_cast<unsigned>(reinterpret_cast<UINT_PTR>(p));
}

} // namespace

CKVEffectApp::CKVEffectApp()
    : m_bCoInited(0), m_hOldResource(nullptr), m_dwLanguageID(0x0409), m_dwVendorID(0x10EC),
      m_fCplScalingFactor(1.0f), m_resLib{}, m_pKVDeviceEndpoint(nullptr), m_pMainEffectsDlg(nullptr),
      m_pChildDlgMasterOnOff(nullptr)
{
}

CKVEffectApp::~CKVEffectApp() = default;

BOOL CKVEffectApp::InitInstance()
{
    KVTRACE(L"CKVEffectApp::InitInstance() in");
    CWinApp::InitInstance();
    KVTRACE(L"CWinApp::InitInstance() in");

    DWORD dwForceLanguageID = 0;
    {
        CRegKey64 key(HKEY_LOCAL_MACHINE, L"Software\\Lumora Tech");
        if (key.IsOpen()) {
            DWORD dwVendor = 0;
            if (key.ReadDword(L"AL Plugin for Orvex", L"VendorID", dwVendor) && dwVendor != 0)
                m_dwVendorID = dwVendor;
            if (!key.ReadDword(L"AL Plugin for Orvex", L"ForceLanguageID", dwForceLanguageID))
                dwForceLanguageID = 0;
        }
    }
    if (dwForceLanguageID != 0)
        SetThreadUILanguage(LOWORD(dwForceLanguageID));

    m_hOldResource = AfxGetResourceHandle();

    wchar_t* pszLocale = new (std::nothrow) wchar_t[MAX_PATH];
    if (pszLocale) {
        pszLocale[0] = L'\0';
        LANGID langUnused = 0;
        KVGetUserDefaultUILanguageOfOperatingSystem(pszLocale, MAX_PATH, &langUnused);

        wchar_t szPath[MAX_PATH] = {};
        DWORD n = GetModuleFileNameW(AfxGetInstanceHandle(), szPath, MAX_PATH);
        std::wstring path(szPath, n < MAX_PATH ? n : 0);
        size_t slash = path.find_last_of(L'\\');
        path = (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + kResourceLibraryName;

        if (SUCCEEDED(KVLoadMUIAwareResourceLibrary(path.c_str(), pszLocale, 0, 0, &m_resLib))) {
            LCID lcid = 0;
            if (SUCCEEDED(KVConvertLocaleNameToLCID(pszLocale, &lcid))) {
                m_dwLanguageID = lcid;
                KVTRACE(L"\n m_dwLanguageID=%d", static_cast<int>(m_dwLanguageID));
            }
        }
        delete[] pszLocale;
    }
    if (dwForceLanguageID != 0)
        m_dwLanguageID = dwForceLanguageID;

    if (!m_resLib.hModule) {
        KVTRACE(L"Cannot find KVEffRsc.rsc resource file!");
        return FALSE;
    }
    AfxSetResourceHandle(m_resLib.hModule);

    m_bCoInited = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) ? 1 : 0;
    m_strBFFName.clear();
    return TRUE;
}

int CKVEffectApp::ExitInstance()
{
    KVTRACE(L"CKVEffectApp::ExitInstance()");
    if (m_pMainEffectsDlg) {
        KVTRACE(L"CKVEffectApp::ExitInstance(), call uninit m_pMainEffectsDlg");
        KVUninitPlugin(m_pMainEffectsDlg->GetSafeHwnd());
    }
    if (m_pChildDlgMasterOnOff) {
        KVTRACE(L"CKVEffectApp::ExitInstance(), call uninit m_pChildDlgMasterOnOff");
        KVUninitPlugin(m_pChildDlgMasterOnOff->GetSafeHwnd());
    }
    if (m_bCoInited)
        CoUninitialize();
    m_bCoInited = 0;

    // Cleared after freeing so a second ExitInstance cannot free the library twice.
    if (m_resLib.hModule) {
        KVFreeMUIAwareResourceLibrary(m_resLib);
        m_resLib = KVMUIRESLIB{};
    }
    if (m_hOldResource)
        AfxSetResourceHandle(m_hOldResource);
    return CWinApp::ExitInstance();
}

void CKVEffectApp::ReadCplScalingFactor()
{
    CRegKey64 key(HKEY_LOCAL_MACHINE, L"Software\\Halvex\\Audio");
    DWORD dwFactor = 0;
    if (key.IsOpen() && key.ReadDword(L"GUI_INFORMATION", L"CplScalingFactor", dwFactor) && dwFactor != 0)
        m_fCplScalingFactor = static_cast<float>(static_cast<double>(dwFactor) / 100.0);
}

void CKVEffectApp::CreateDeviceEndpoint()
{
    if (m_pKVDeviceEndpoint)
        return;
    m_pKVDeviceEndpoint = new (std::nothrow) CKVDeviceEndpoint(m_dwLanguageID);
    if (m_pKVDeviceEndpoint)
        m_pKVDeviceEndpoint->OpenDeviceEndpoint();
}

void CKVEffectApp::DestroyMainEffectsDlg()
{
    m_pMainEffectsDlg->CloseMainEffectsDlg();
    m_pMainEffectsDlg->DestroyWindow();
    delete m_pMainEffectsDlg;
    m_pMainEffectsDlg = nullptr;
}

void CKVEffectApp::DestroyChildDlgMasterOnOff()
{
    m_pChildDlgMasterOnOff->ReleaseDeviceEndpoint();
    m_pChildDlgMasterOnOff->DestroyWindow();
    delete m_pChildDlgMasterOnOff;
    m_pChildDlgMasterOnOff = nullptr;
}

HWND CKVEffectApp::KVInitPluginEx(HWND hParent, int nType, RECT rc, int /*nIgnored*/)
{
    KVTRACE(L"CKVEffectApp::KVInitPlugin(%d), m_bCoInited = %d, left %d, top %d, right %d, bottom %d", nType,
            m_bCoInited, static_cast<int>(rc.left), static_cast<int>(rc.top), static_cast<int>(rc.right),
            static_cast<int>(rc.bottom));
    ReadCplScalingFactor();
    m_strBFFName.clear();
    CreateDeviceEndpoint();

    const UINT kPlace = SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW;
    if (nType == TYPE_MASTER_ONOFF) {
        if (m_pChildDlgMasterOnOff) {
            DestroyChildDlgMasterOnOff();
            KVTRACE(L"\n CKVEffectApp::KVInitPluginEx(delete m_pChildDlgMasterOnOff)");
        }
        CWnd* pParent = CWnd::FromHandle(hParent);
        HWND hWnd = nullptr;
        m_pChildDlgMasterOnOff = new (std::nothrow) CChildDlgMasterOnOff(pParent);
        if (m_pChildDlgMasterOnOff) {
            m_pChildDlgMasterOnOff->Create(IDD_DLG_MASTER_ONOFF, pParent);
            m_pChildDlgMasterOnOff->SetDeviceEndpoint(m_pKVDeviceEndpoint);
            hWnd = m_pChildDlgMasterOnOff->GetSafeHwnd();
            if (hWnd)
                ::SetWindowPos(hWnd, nullptr, rc.left, rc.top - 2, 0, 0, kPlace);
        }
        KVTRACE(L"CKVEffectApp::KVInitPluginEx(%d), hWndMasterOnOff = 0x%x", 0, HandleValue(hWnd));
        return hWnd;
    }
    if (nType == TYPE_MAIN_EFFECTS) {
        if (m_pMainEffectsDlg) {
            DestroyMainEffectsDlg();
            KVTRACE(L"\n CKVEffectApp::KVInitPluginEx(delete m_pMainEffectsDlg)");
        }
        CWnd* pParent = CWnd::FromHandle(hParent);
        HWND hWnd = nullptr;
        m_pMainEffectsDlg = new (std::nothrow) CMainEffectsDlg(pParent);
        if (m_pMainEffectsDlg) {
            m_pMainEffectsDlg->Create(IDD_MAINEFFECTS_DLG, pParent);
            m_pMainEffectsDlg->SetDeviceEndpoint(m_pKVDeviceEndpoint);
            hWnd = m_pMainEffectsDlg->GetSafeHwnd();
            if (hWnd)
                ::SetWindowPos(hWnd, nullptr, rc.left, rc.top, 0, 0, kPlace);
        }
        KVTRACE(L"CKVEffectApp::KVInitPluginEx(%d), hWndMainEffect = 0x%x", 1, HandleValue(hWnd));
        return hWnd;
    }
    return nullptr;
}

void CKVEffectApp::KVUninitPlugin(HWND hWnd)
{
    KVTRACE(L"\n CKVEffectApp::KVUninitPlugin(hWnd 0x%x)", HandleValue(hWnd));
    if (m_pMainEffectsDlg) {
        KVTRACE(L"\n CKVEffectApp::KVUninitPlugin(m_pMainEffectsDlg->GetSafeHwnd() 0x%x)",
                HandleValue(m_pMainEffectsDlg->GetSafeHwnd()));
        if (hWnd == m_pMainEffectsDlg->GetSafeHwnd()) {
            DestroyMainEffectsDlg();
            KVTRACE(L"\n CKVEffectApp::KVUninitPlugin(delete m_pMainEffectsDlg)");
        }
    }
    if (m_pChildDlgMasterOnOff) {
        KVTRACE(L"\n CKVEffectApp::KVUninitPlugin(m_pChildDlgMasterOnOff->GetSafeHwnd() 0x%x)",
                HandleValue(m_pChildDlgMasterOnOff->GetSafeHwnd()));
        if (hWnd == m_pChildDlgMasterOnOff->GetSafeHwnd()) {
            DestroyChildDlgMasterOnOff();
            KVTRACE(L"\n CKVEffectApp::KVUninitPlugin(delete m_pChildDlgMasterOnOff)");
        }
    }
    if (!m_pMainEffectsDlg && !m_pChildDlgMasterOnOff) {
        KVTRACE(L"\n CKVEffectApp::KVUninitPlugin() delete the m_pKVDeviceEndpoint");
        if (m_pKVDeviceEndpoint) {
            m_pKVDeviceEndpoint->CloseDeviceEndpoint();
            delete m_pKVDeviceEndpoint;
            m_pKVDeviceEndpoint = nullptr;
        }
    }
    KVTRACE(L"\n CKVEffectApp::KVUninitPlugin(hWnd 0x%x) out, m_pChildDlgMasterOnOff=0x%x, m_pMainEffectsDlg=0x%x, "
            L"m_pKVDeviceEndpoint=0x%x",
            HandleValue(hWnd), HandleValue(m_pChildDlgMasterOnOff), HandleValue(m_pMainEffectsDlg),
            HandleValue(m_pKVDeviceEndpoint));
}

std::wstring CKVEffectApp::GetBFFName(CWnd* pDlg)
{
    if (!m_strBFFName.empty() || !pDlg)
        return m_strBFFName;
    wchar_t szPath[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(AfxGetInstanceHandle(), szPath, MAX_PATH);
    std::wstring dir(szPath, n < MAX_PATH ? n : 0);
    dir.erase(dir.find_last_of(L'\\') + 1);

    float fScaleX = 1.0f;
    HWND hWnd = pDlg->GetSafeHwnd();
    if (HDC hDC = ::GetDC(hWnd)) {
        fScaleX = static_cast<float>(static_cast<double>(GetDeviceCaps(hDC, LOGPIXELSX)) / 96.0);
        ::ReleaseDC(hWnd, hDC);
    }
    const float fOverallScaleX = fScaleX * m_fCplScalingFactor;
    KVTRACE(L"\n CKVEffectApp::GetBFFName(), fScaleX = %2f, fOverallScaleX = %2f", static_cast<double>(fScaleX),
            static_cast<double>(fOverallScaleX));
    m_strBFFName = dir + SkinFileName(fOverallScaleX, m_dwVendorID);
    return m_strBFFName;
}

std::wstring KVGetBFFName(CWnd* pDlg)
{
    auto* pApp = static_cast<CKVEffectApp*>(AfxGetApp());
    return pApp ? pApp->GetBFFName(pDlg) : std::wstring();
}

void CKVEffectApp::RestoreDefault(DWORD dwSelector)
{
    CreateDeviceEndpoint();
    if (m_pKVDeviceEndpoint)
        m_pKVDeviceEndpoint->RestoreAudioDefault(dwSelector);
}
