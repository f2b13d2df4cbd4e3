// The master switch: one two-part toggle that turns every effect of the
// maker's technology on or off through the session. Stand-alone it is the
// host's compact panel (window type 0); embedded in the main window it is
// drawn transparent and without its label.
#pragma once
#include "ui/ChildDlg.h"

class CChildDlgMasterOnOff : public CChildDlg
{
public:
    explicit CChildDlgMasterOnOff(CWnd* pParent = nullptr);
    ~CChildDlgMasterOnOff() override;

    BOOL OnInitDialog() override;
    void UpdateUI() override;
    LRESULT OnDeviceEndpointChange(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMasterOnOffChange(WPARAM wParam, LPARAM lParam) override;

    CButton m_btnMasterOff;  // checked and labelled while the master state is off
    CButton m_btnMasterOn;   // checked and labelled while it is on
    BOOL m_bTransparent = FALSE;  // set before the window exists
    BOOL m_bMasterOn = TRUE;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnBnClickedToggleMasterOnOff();

    DECLARE_MESSAGE_MAP()
};
