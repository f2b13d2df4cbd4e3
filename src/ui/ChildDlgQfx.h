// The surround page, the one the main window opens on: detail restoration,
// the speaker configuration switch, and virtual surround (an element of the
// driver's upmix feature) with its stereo environment and surround mode.
#pragma once
#include "features/SNDIFeatures.h"
#include "features/SpkConfig2.h"
#include "ui/ChildDlg.h"

class CChildDlgQfx : public CChildDlg
{
public:
    explicit CChildDlgQfx(CWnd* pParent = nullptr);
    ~CChildDlgQfx() override;

    BOOL OnInitDialog() override;
    void UpdateUI() override;
    void CloseDriver() override;
    LRESULT OnDeviceEndpointChange(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMasterOnOffChange(WPARAM wParam, LPARAM lParam) override;
    void DoTTNeedText(NMTTDISPINFOW* pTTT) override;

    static LONG CALLBACK DriverCallback(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext);

    CButton m_chkLustrex;
    CSliderCtrl m_sldLustrex;
    CButton m_chkSpkConfig;
    CButton m_chkVSUR;
    CSliderCtrl m_sldStereoEnv;
    CComboBox m_cmbUpmixMode;
    CSNDIPdp* m_pSndiPDP = nullptr;
    UINT m_cbPDPHandle = 0;
    float m_fPDPStep = 1.0f;
    CSpkConfig2* m_pSpkConfig = nullptr;
    CSNDIUpmix* m_pSndiUpmix = nullptr;
    UINT m_cbUpmixHandle = 0;
    CSNDIVSUR3* m_pSndiVSUR3 = nullptr;
    UINT m_cbVSURHandle = 0;
    int m_nVSURIndex = -1;
    float m_fGranityStereoEnv = 1.0f;
    float m_fMinStereoEnv = 0.0f;
    float m_fMaxStereoEnv = 100.0f;

    LRESULT OnLustrexChange(WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT OnSpkConfigChange(WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT OnVSURChange(WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar) override;
    void OnBtnLustrex();
    void OnBtnSpkConfig();
    void OnBnClickedVSUR();
    void OnCbnSelchangeComboUpmixMode();

    DECLARE_MESSAGE_MAP()

private:
    // The stereo environment's range in steps, from the three members.
    void StereoEnvRange(int* pnMin, int* pnMax) const;
    void FindVirtualSurround();
};
