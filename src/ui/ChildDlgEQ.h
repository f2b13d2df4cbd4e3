// The equalizer page: an on/off switch, up to ten band sliders with the
// driver's labels, a common gain scale, pre-amplification with its own
// scale, the preset selector with Save and Delete, and a drawing of the
// combined response. Everything follows the driver's notifications, so a
// change made by any program shows here.
#pragma once
#include "features/SNDIPresets.h"
#include "ui/ChildDlg.h"
#include "ui/EQResponseCurve.h"

#include <string>

class CSNDIEQ;

class CChildDlgEQ : public CChildDlg
{
public:
    explicit CChildDlgEQ(CWnd* pParent = nullptr);
    ~CChildDlgEQ() override;

    BOOL OnInitDialog() override;
    void UpdateUI() override;
    void CloseDriver() override;
    LRESULT OnDeviceEndpointChange(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMasterOnOffChange(WPARAM wParam, LPARAM lParam) override;
    void DoTTNeedText(NMTTDISPINFOW* pTTT) override;

    void UpdateEQScreen();
    BOOL EnumEQPresets(CSNDIEQPresetU* pEQPreset);
    void SortPresets();
    void ClearPresets();
    BOOL SndiGetActivePreset(UINT* pIndex);
    BOOL IsActiveUserPreset();
    void EnableEQControls(BOOL bEnable);
    void ShowEQControls(BOOL bShow);
    BOOL IsValidPresetName(const std::wstring& strName) const;
    BOOL FindPresetByName(const std::wstring& strName, DWORD* pdwKind) const;

    static LONG CALLBACK DriverCallback(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext);

    CComboBox m_cmbEQPreset;
    CButton m_chkEQEnable;
    CButton m_btnEQPresetSave;
    CButton m_btnEQPresetDel;
    CSNDIEQ* m_pEQ = nullptr;
    UINT m_cbEQHandle = 0;
    CSNDIEQPresetU* m_pEQPreset = nullptr;
    UINT m_cbEQPresetHandle = 0;
    float m_fPreampStep = 1.0f;
    float m_fBandStep = 1.0f;
    CPresetList m_vecEQPresets;
    int m_nBandOffset = 0;
    int m_nPreampOffset = 0;

    // The response drawing's own copy of what the sliders show.
    CEQResponseCurve m_curve;
    // Each band's own offset and granularity from the last refresh. The two
    // shared members above hold the last band's; a band with another range
    // mapped through them would send and show the wrong level.
    int m_nBandOffsets[CEQResponseCurve::kMaxBands] = {};
    float m_fBandSteps[CEQResponseCurve::kMaxBands] = {};
    UINT m_nBandsMapped = 0;
    UINT m_nBinding = 0;  // counts CloseDriver calls, so a question can tell it outlived its objects

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    void OnVScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar) override;
    void OnBtnEQEnable();
    void OnSelchangeEQPreset();
    void OnBtnEQPresetSave();
    void OnBtnEQPresetDel();
    LRESULT OnEQSNDIMessage(WPARAM dwHint, LPARAM dwArg);
    LRESULT OnEQPresetSNDIMessage(WPARAM dwHint, LPARAM dwArg);
    LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    // Through whichever flavour the preset object holds; null means "<Custom>".
    HRESULT SetActivePresetKey(const CPreset* pPreset);
    HRESULT SavePresetName(const std::wstring& strName);
    BOOL IsNamedActive();
    void ShowCustomPreset();
    void SetCustomText();
    void SetScaleLabel(int nID, float fValue, const std::wstring& strUnit);
    void SetCurveActive(BOOL bEqualizerOn);
    template <class F>
    void ForEachEQControl(BOOL b, bool bWithCurve, F apply);
    void InvalidateCurve();
};
