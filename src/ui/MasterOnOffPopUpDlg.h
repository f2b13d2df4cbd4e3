// The pop-up that tells the user one effects technology has taken the audio
// device from the other. Its check box stops it from being shown again; that
// choice lives in the coexistence key, shared with every process.
#pragma once
#include "Framework.h"
#include "support/HookWndWC.h"

#include <string>

class CMasterOnOffPopUpDlg : public CDialog
{
public:
    // Mode 1: the maker's technology took the device back (message 4021);
    // mode 0 names the two technologies the other way round (message 4022).
    CMasterOnOffPopUpDlg(ULONGLONG dwVendorID, int nMode);
    ~CMasterOnOffPopUpDlg() override;

    BOOL OnInitDialog() override;
    void GetPopupStatusFromReg();
    void SavePopupStatusToReg();

    CButton m_chkDisablePopUp;
    HookWndWC m_hwHook;
    int m_nMode;
    ULONGLONG m_dwVendorID;
    int m_bDisablePopUp = 0;
    std::wstring m_strTechnology;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;
};
