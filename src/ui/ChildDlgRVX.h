// The reverb page: the environment's switch and amount, and up to eight of
// the driver's built-in reverb presets on radio buttons (or none).
#pragma once
#include "features/SNDIFeatures.h"
#include "features/SNDIPresets.h"
#include "ui/ChildDlg.h"

class CChildDlgRVX : public CChildDlg
{
public:
    explicit CChildDlgRVX(CWnd* pParent = nullptr);
    ~CChildDlgRVX() override;

    BOOL OnInitDialog() override;
    void UpdateUI() override;
    void CloseDriver() override;
    LRESULT OnDeviceEndpointChange(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMasterOnOffChange(WPARAM wParam, LPARAM lParam) override;
    void DoTTNeedText(NMTTDISPINFOW* pTTT) override;

    static LONG CALLBACK OnRVXDriverNotify(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext);

    // The "none" entry of CheckPresetButton.
    static constexpr UINT kNoPreset = static_cast<UINT>(-1);
    static constexpr UINT kPresetButtons = 8;

    CButton m_chkRVXEnvironment;
    CSliderCtrl m_sldRVXEnvironment;
    CSNDIRVXEnvironment* m_pRVXEnvironment = nullptr;
    UINT m_cbEnvironmentHandle = 0;
    CSNDIRVXPresetU* m_pRVXPreset = nullptr;
    UINT m_cbPresetHandle = 0;
    float m_fEnvironmentStep = 1.0f;
    CPresetList m_vecRVXPresets;

    LRESULT OnRVXPresetChange(WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT OnRVXEnvironmentChange(WPARAM wParam = 0, LPARAM lParam = 0);
    void UpdatePresetButtons();
    void ShowPresetButtons(BOOL bShow);
    void EnablePresetButtons(BOOL bEnable);
    void CheckPresetButton(UINT nIndex);
    BOOL GetActivePreset(UINT* pnIndex);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar) override;
    void OnBnClickedRVXEnvironment();
    void OnBnClickedNoPreset();
    void OnBnClickedPreset(UINT nID);

    DECLARE_MESSAGE_MAP()

private:
    // The bound preset interface's IsEnabled; E_FAIL without one.
    HRESULT PresetsEnabled(BOOL* pbOn) const;
};
