// The full effects window the host embeds (window type 1): the master switch
// on top, a row of page buttons, and one effect page at a time. It owns the
// pages and is where the session asks for the master pop-up.
#pragma once
#include "Framework.h"
#include "support/HookWndWC.h"

class CKVDeviceEndpoint;
class CChildDlg;
class CChildDlgMasterOnOff;

class CMainEffectsDlg : public CDialog
{
public:
    explicit CMainEffectsDlg(CWnd* pParent);
    ~CMainEffectsDlg() override;

    BOOL OnInitDialog() override;
    LRESULT SetDeviceEndpoint(CKVDeviceEndpoint* pKVDeviceEndpoint);
    void CloseMainEffectsDlg();
    void CloseChildDlgs();

    HookWndWC m_hwHook;
    RECT m_rcMasterOnOff = {};
    RECT m_rcChildDlg = {};
    CKVDeviceEndpoint* m_pKVDeviceEndpoint = nullptr;
    CChildDlg* m_pChildDlg = nullptr;
    CChildDlgMasterOnOff* m_pChildDlgMasterOnOff = nullptr;
    CFont* m_pFontNormal = nullptr;
    CFont* m_pFontBold = nullptr;

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    void OnSelectPage(UINT nID);
    LRESULT OnShowPopUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnShowMasterPopUp(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void TakePlaceholder(int nID, RECT& rc);
    void PlacePage(CWnd* pPage, const RECT& rc);
    void SetPageButtons(UINT nSelectedID);
    void CloseMasterOnOff();
};
