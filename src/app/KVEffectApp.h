// The plug-in's application object: owns the driver session and the two kinds
// of window the host can ask for, and the language and resources they use.
#pragma once
#include "Framework.h"
#include "KVLoadRs.h"

#include <string>

class CKVDeviceEndpoint;
class CMainEffectsDlg;
class CChildDlgMasterOnOff;

class CKVEffectApp : public CWinApp
{
public:
    enum : int { TYPE_MASTER_ONOFF = 0, TYPE_MAIN_EFFECTS = 1 };

    CKVEffectApp();
    ~CKVEffectApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    HWND KVInitPluginEx(HWND hParent, int nType, RECT rc, int nIgnored);
    void KVUninitPlugin(HWND hWnd);
    void RestoreDefault(DWORD dwSelector);
    // The skin file for the display of the first dialog after each window
    // creation by the host; later dialogs reuse it. Empty for a null dialog
    // before any choice.
    std::wstring GetBFFName(CWnd* pDlg);

    BOOL m_bCoInited;
    HINSTANCE m_hOldResource;
    DWORD m_dwLanguageID;
    DWORD m_dwVendorID;
    float m_fCplScalingFactor;
    std::wstring m_strBFFName;
    KVMUIRESLIB m_resLib;
    CKVDeviceEndpoint* m_pKVDeviceEndpoint;
    CMainEffectsDlg* m_pMainEffectsDlg;
    CChildDlgMasterOnOff* m_pChildDlgMasterOnOff;

private:
    void CreateDeviceEndpoint();
    void ReadCplScalingFactor();
    void DestroyMainEffectsDlg();
    void DestroyChildDlgMasterOnOff();
};

// The one application object of this library.
extern CKVEffectApp theApp;

// The skin file path through the running application object (the module's
// own, found through the framework so that code linked into a test program
// finds that program's); empty without one.
std::wstring KVGetBFFName(CWnd* pDlg);
