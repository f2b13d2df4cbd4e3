// A skinned message box: OK, or Yes and No, and an optional check box.
#pragma once
#include "Framework.h"
#include "support/HookWndWC.h"

#include <string>

class CMsgBoxDlg : public CDialog
{
public:
    CMsgBoxDlg();
    ~CMsgBoxDlg() override;

    BOOL OnInitDialog() override;

    CButton m_chkOption;
    HookWndWC m_hwHook;
    std::wstring m_strMessage;
    int m_nShowCheck = 0;  // show command for the check box
    INT_PTR m_nType = 0;   // MB_YESNO for Yes and No, anything else for OK

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;
};
