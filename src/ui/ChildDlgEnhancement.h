// The enhancement page: bass boost (level and frequency), bass management
// (crossover) with the subwoofer gain, one speaker's level and volume
// levelling. A control shows only when the driver offers its feature; every
// change goes straight to the driver, whose notifications refresh the page.
#pragma once
#include "features/SNDIFeatures.h"
#include "ui/ChildDlg.h"

class CChildDlgEnhancement : public CChildDlg
{
public:
    explicit CChildDlgEnhancement(CWnd* pParent = nullptr);
    ~CChildDlgEnhancement() override;

    BOOL OnInitDialog() override;
    void UpdateUI() override;
    void CloseDriver() override;
    LRESULT OnDeviceEndpointChange(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMasterOnOffChange(WPARAM wParam, LPARAM lParam) override;
    void DoTTNeedText(NMTTDISPINFOW* pTTT) override;

    static LONG CALLBACK DriverCallback(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext);

    CButton m_chkBassBoost;
    CSliderCtrl m_sldBassBoostLevel;
    CSliderCtrl m_sldBassBoostFreq;
    CButton m_chkBassManagement;
    CSliderCtrl m_sldCrossover;
    CButton m_chkSubWooferGain;
    CSliderCtrl m_sldSpeakerLevel;
    CButton m_chkQVM;
    CSNDIBassBoost* m_pBassBoost = nullptr;
    UINT m_cbBassBoostHandle = 0;
    float m_fBassBoostLevelStep = 1.0f;
    float m_fBassBoostFreqStep = 1.0f;
    CSNDIBassManagement* m_pBassManagement = nullptr;
    UINT m_cbBassManagementHandle = 0;
    float m_fCrossoverStep = 1.0f;
    CSNDISubWooferGain* m_pSubWooferGain = nullptr;
    UINT m_cbSubWooferGainHandle = 0;
    CSNDIMixerFx* m_pSpeakerVolumeScaling = nullptr;
    UINT m_cbSpeakerLevelHandle = 0;
    float m_fSpeakerLevelScale = 1.0f;
    CAGC* m_pQVM = nullptr;
    UINT m_cbQVMHandle = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar) override;
    void OnBnClickedBassBoost();
    void OnBnClickedBassManagement();
    void OnBnClickedSubWooferGain();
    void OnBnClickedQVM();
    LRESULT OnBassBoostChange(WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT OnBassManagementChange(WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT OnSpeakerLevelChange(WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT OnQVMChange(WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT OnSpkConfigChange(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
