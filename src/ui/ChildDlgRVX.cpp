#include "ui/ChildDlgRVX.h"

#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "features/SNDIScale.h"
#include "support/ShowDebugString.h"
#include "ui/UIText.h"

#include <cwchar>

namespace {

constexpr int kLastPresetButton = IDC_RAD_RVX_PRESET_0 + static_cast<int>(CChildDlgRVX::kPresetButtons) - 1;

// Traces each answer of the driver while the list is filled.
class CRVXEnumTrace : public CPresetEnumObserver
{
public:
    void OnConfig(HRESULT hr) override
    {
        KVTRACE(L"\n CChildDlgRVX::EnumRVXPresets(), pRVXPreset->SetPresetConfig returns 0x%x", static_cast<unsigned>(hr));
    }
    void OnLanguage(DWORD dwLanguage, HRESULT hr) override
    {
        KVTRACE(L"\n CChildDlgRVX::EnumRVXPresets(), pRVXPreset->SetLanguageConfig(%d) returns 0x%x",
                static_cast<int>(dwLanguage), static_cast<unsigned>(hr));
    }
    void OnPresetName(UINT nIndex, HRESULT hr, const wchar_t* pszName) override
    {
        KVTRACE(L"\n CChildDlgRVX::EnumRVXPresets(), pRVXPreset->GetPresetName(%d) returns 0x%x, szPresetName=%s",
                static_cast<int>(nIndex), static_cast<unsigned>(hr), pszName ? pszName : L"");
    }
};

}  // namespace

BEGIN_MESSAGE_MAP(CChildDlgRVX, CChildDlg)
    ON_WM_HSCROLL()
    ON_BN_CLICKED(IDC_CHK_RVX_ENVIRONMENT, OnBnClickedRVXEnvironment)
    ON_BN_CLICKED(IDC_RAD_RVX_NO_PRESET, OnBnClickedNoPreset)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_RAD_RVX_PRESET_0, kLastPresetButton, OnBnClickedPreset)
    ON_MESSAGE(WM_RVX_PRESET_CHANGE, OnRVXPresetChange)
    ON_MESSAGE(WM_RVX_ENVIRONMENT_CHANGE, OnRVXEnvironmentChange)
END_MESSAGE_MAP()

CChildDlgRVX::CChildDlgRVX(CWnd* pParent)
{
    m_pParentWnd = pParent;
}

// The entries and objects go with CloseDriver, which the owner always runs.
CChildDlgRVX::~CChildDlgRVX() = default;

void CChildDlgRVX::DoDataExchange(CDataExchange* pDX)
{
    CChildDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CHK_RVX_ENVIRONMENT, m_chkRVXEnvironment);
    DDX_Control(pDX, IDC_SLD_RVX_ENVIRONMENT, m_sldRVXEnvironment);
}

BOOL CChildDlgRVX::OnInitDialog()
{
    KVTRACE(L"\n CChildDlgRVX::OnInitDialog()");
    CChildDlg::OnInitDialog();
    m_hwHook.Skin(m_hWnd, "IDD_DLG_RVX.INI", m_szBFFName);
    AddSliderTooltips();
    return TRUE;
}

LRESULT CChildDlgRVX::OnMasterOnOffChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgRVX::OnMasterOnOffChange()");
    UpdateUI();
    return 0;
}

// ---- Binding -----------------------------------------------------------------------

LRESULT CChildDlgRVX::OnDeviceEndpointChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgRVX::OnDeviceEndpointChange()");
    KVTRACE(L"\n CChildDlg::OnDeviceEndpointChange()");
    CloseDriver();
    IKVDevice* pDevice = nullptr;
    IKVEndpoint* pEndpoint = nullptr;
    if (SessionBinding(&pDevice, &pEndpoint)) {
        m_pRVXPreset = new (std::nothrow) CSNDIRVXPresetU;
        if (m_pRVXPreset && m_pRVXPreset->Init(pDevice, 0, pEndpoint)) {
            KVTRACE(L"\n CChildDlgRVX::OnDeviceEndpointChange() m_pRVXPreset->Init() succeeded");
            m_cbPresetHandle = m_pRVXPreset->Advise(OnRVXDriverNotify, this);
            CRVXEnumTrace trace;
            EnumRVXPresets(m_pRVXPreset, PresetLanguage(), m_vecRVXPresets, &trace);
        } else {
            delete m_pRVXPreset;
            m_pRVXPreset = nullptr;
        }
        m_pRVXEnvironment = BindFeature<CSNDIRVXEnvironment>(
            OnRVXDriverNotify, &m_cbEnvironmentHandle,
            L"\n CChildDlgRVX::OnDeviceEndpointChange() m_pRVXEnvironment->Init() succeeded");
    }
    UpdateUI();
    return 0;
}

void CChildDlgRVX::CloseDriver()
{
    KVTRACE(L"\n CChildDlgRVX::CloseDriver()");
    ClearPresetList(m_vecRVXPresets);
    DropFeature(m_pRVXPreset, m_cbPresetHandle);
    DropFeature(m_pRVXEnvironment, m_cbEnvironmentHandle);
    KVTRACE(L"\n CChildDlg::CloseDriver()");
    KVTRACE(L"\n CChildDlgRVX::CloseDriver() ok");
}

// ---- Refresh -----------------------------------------------------------------------

void CChildDlgRVX::UpdateUI()
{
    if (!m_hWnd)
        return;
    KVTRACE(L"\n CChildDlgRVX::UpdateUI()");
    const BOOL bAny = m_pRVXEnvironment || m_pRVXPreset;
    ShowItem(this, IDC_GRP_RVX_ENVIRONMENT, bAny);
    ShowItem(this, IDC_GRP_RVX_PRESETS, bAny);
    UpdatePresetButtons();
    OnRVXPresetChange();
    OnRVXEnvironmentChange();
}

HRESULT CChildDlgRVX::PresetsEnabled(BOOL* pbOn) const
{
    *pbOn = FALSE;
    if (!m_pRVXPreset)
        return E_FAIL;
    if (ISNDIRVXPresetU* pWide = m_pRVXPreset->m_pWide)
        return pWide->IsEnabled(pbOn);
    if (ISNDIRVXPreset* pNarrow = m_pRVXPreset->m_pNarrow)
        return pNarrow->IsEnabled(pbOn);
    return E_FAIL;
}

void CChildDlgRVX::UpdatePresetButtons()
{
    if (!m_hWnd || !m_pRVXPreset)
        return;
    BOOL bOn = FALSE;
    if (FAILED(PresetsEnabled(&bOn))) {
        ShowPresetButtons(FALSE);
        return;
    }
    ShowPresetButtons(TRUE);
    for (size_t i = 0; i < m_vecRVXPresets.size() && i < kPresetButtons; ++i) {
        if (CWnd* pButton = GetDlgItem(IDC_RAD_RVX_PRESET_0 + static_cast<int>(i)))
            pButton->SetWindowText(m_vecRVXPresets[i]->m_szName);
    }
    UINT nIndex = kNoPreset;
    CheckPresetButton(GetActivePreset(&nIndex) ? nIndex : kNoPreset);
}

void CChildDlgRVX::ShowPresetButtons(BOOL bShow)
{
    if (!m_hWnd)
        return;
    // A button past the list's end would offer a preset the driver does not have.
    for (UINT i = 0; i < kPresetButtons; ++i)
        ShowItem(this, IDC_RAD_RVX_PRESET_0 + static_cast<int>(i), bShow && i < m_vecRVXPresets.size());
    ShowItem(this, IDC_RAD_RVX_NO_PRESET, bShow && !(m_pRVXPreset && m_pRVXPreset->FollowsEnvironment()));
}

void CChildDlgRVX::EnablePresetButtons(BOOL bEnable)
{
    EnableItem(this, IDC_RAD_RVX_NO_PRESET, bEnable);
    for (int nID = IDC_RAD_RVX_PRESET_0; nID <= kLastPresetButton; ++nID)
        EnableItem(this, nID, bEnable);
}

void CChildDlgRVX::CheckPresetButton(UINT nIndex)
{
    for (int nID = IDC_RAD_RVX_NO_PRESET; nID <= kLastPresetButton; ++nID) {
        if (CWnd* p = GetDlgItem(nID))
            p->SendMessage(BM_SETCHECK, BST_UNCHECKED);
    }
    int nChecked = 0;
    if (nIndex == kNoPreset)
        nChecked = IDC_RAD_RVX_NO_PRESET;
    else if (nIndex < kPresetButtons)
        nChecked = IDC_RAD_RVX_PRESET_0 + static_cast<int>(nIndex);
    if (CWnd* p = nChecked ? GetDlgItem(nChecked) : nullptr)
        p->SendMessage(BM_SETCHECK, BST_CHECKED);
}

BOOL CChildDlgRVX::GetActivePreset(UINT* pnIndex)
{
    int nIndex = -1;
    const HRESULT hr = FindActiveRVXPreset(m_pRVXPreset, m_vecRVXPresets, &nIndex);
    KVTRACE(L"\n CChildDlgRVX::GetActivePreset(),  m_pRVXPreset->GetActivePreset() returns 0x%x",
            static_cast<unsigned>(hr));
    if (FAILED(hr) || nIndex < 0 || !pnIndex)
        return FALSE;
    *pnIndex = static_cast<UINT>(nIndex);
    return TRUE;
}

LRESULT CChildDlgRVX::OnRVXPresetChange(WPARAM, LPARAM)
{
    if (!m_hWnd)
        return 0;
    BOOL bOn = FALSE, bShown = FALSE;
    if (m_pRVXPreset) {
        const HRESULT hr = PresetsEnabled(&bOn);
        KVTRACE(L"\n CChildDlgRVX::OnRVXPresetChange(),  m_pRVXPreset->IsEnabled() returns 0x%x, bOn=%d",
                static_cast<unsigned>(hr), bOn);
        UINT nIndex = kNoPreset;
        if (FAILED(hr)) {
            bOn = FALSE;
        } else {
            bShown = TRUE;
            if (!bOn || !GetActivePreset(&nIndex))
                nIndex = kNoPreset;
        }
        CheckPresetButton(nIndex);
    }
    ShowPresetButtons(bShown);
    // The environment decides, as in its own refresh: with the presets' own
    // switch deciding, choosing "none" would leave no button to choose again.
    BOOL bEnvironmentOn = FALSE;
    if (ISNDIRVXEnvironment* p = m_pRVXEnvironment ? m_pRVXEnvironment->m_pInterface : nullptr) {
        if (FAILED(p->IsEnabled(&bEnvironmentOn)))
            bEnvironmentOn = FALSE;
    }
    EnablePresetButtons(bEnvironmentOn && m_chkRVXEnvironment.GetCheck() == BST_CHECKED);
    return 0;
}

LRESULT CChildDlgRVX::OnRVXEnvironmentChange(WPARAM, LPARAM)
{
    if (!m_hWnd)
        return 0;
    BOOL bMasterOn = TRUE, bWasOn = FALSE;
    GetEffectInfo(KV_EFX_RVX, &bMasterOn, &bWasOn);
    BOOL bOn = FALSE, bBox = FALSE, bSlider = FALSE;
    int nMin = 0, nMax = 100, nPos = 0;
    if (m_pRVXEnvironment) {
        ISNDIRVXEnvironment* p = m_pRVXEnvironment->m_pInterface;
        const HRESULT hr = p ? p->IsEnabled(&bOn) : E_FAIL;
        KVTRACE(L"\n CChildDlgRVX::OnRVXEnvironmentChange(),  m_pRVXEnvironment->IsEnabled() returns 0x%x, bOn=%d",
                static_cast<unsigned>(hr), bOn);
        bBox = SUCCEEDED(hr);
        if (!bBox)
            bOn = FALSE;
        float fMin = 0.0f, fMax = 0.0f, fStep = 1.0f, fExtra = 0.0f;
        if (p && SUCCEEDED(p->GetRange(&fMin, &fMax, &fStep, &fExtra))) {
            m_fEnvironmentStep = fStep;
            nMax = kvscale::RoundAddHalf(fMax, fStep);
            nMin = kvscale::RoundHalfAway(fMin, fStep);
        }
        float fValue = 0.0f;
        if (p && SUCCEEDED(p->GetValue(&fValue))) {
            bSlider = TRUE;
            nPos = kvscale::RoundHalfAway(fValue, m_fEnvironmentStep);
        }
    }
    ShowItem(this, IDC_CHK_RVX_ENVIRONMENT, bBox);
    ShowItem(this, IDC_SLD_RVX_ENVIRONMENT, bSlider);
    ShowItem(this, IDC_STC_RVX_AMOUNT, bSlider);
    EnableItem(this, IDC_CHK_RVX_ENVIRONMENT, bBox && bMasterOn);
    EnableItem(this, IDC_SLD_RVX_ENVIRONMENT, bOn);
    EnableItem(this, IDC_STC_RVX_AMOUNT, bOn);
    EnablePresetButtons(bOn);
    if (!bBox)
        return 0;
    // With the master switch off the box shows what the environment was.
    m_chkRVXEnvironment.SetCheck(bOn || bWasOn ? BST_CHECKED : BST_UNCHECKED);
    if (bSlider)
        SetUpSlider(m_sldRVXEnvironment, nMin, nMax, nPos);
    return 0;
}

// ---- User actions ----------------------------------------------------------------

void CChildDlgRVX::OnBnClickedRVXEnvironment()
{
    const BOOL bChecked = m_chkRVXEnvironment.GetCheck() == BST_CHECKED;
    if (ISNDIRVXEnvironment* p = m_pRVXEnvironment ? m_pRVXEnvironment->m_pInterface : nullptr)
        bChecked ? p->Enable() : p->Disable();
    if (m_pRVXPreset && m_pRVXPreset->FollowsEnvironment()) {
        CWaitCursor wait;
        ISNDIRVXPresetU* pWide = m_pRVXPreset->m_pWide;
        bChecked ? pWide->Enable() : pWide->Disable();
    }
    // The driver's notification refreshes the controls.
}

void CChildDlgRVX::OnBnClickedNoPreset()
{
    if (!m_pRVXPreset)
        return;
    CWaitCursor wait;
    if (ISNDIRVXPresetU* pWide = m_pRVXPreset->m_pWide)
        pWide->Disable();
    else if (ISNDIRVXPreset* pNarrow = m_pRVXPreset->m_pNarrow)
        pNarrow->Disable();
}

void CChildDlgRVX::OnBnClickedPreset(UINT nID)
{
    const UINT nIndex = nID - IDC_RAD_RVX_PRESET_0;
    if (!m_pRVXPreset || nIndex >= m_vecRVXPresets.size())
        return;
    const CPreset* pPreset = m_vecRVXPresets[nIndex];
    HRESULT hr = E_FAIL;
    if (pPreset->WideKey() && m_pRVXPreset->m_pWide)
        hr = m_pRVXPreset->m_pWide->SetActivePreset(pPreset->WideKey());
    else if (pPreset->NarrowKey() && m_pRVXPreset->m_pNarrow)
        hr = m_pRVXPreset->m_pNarrow->SetActivePreset(pPreset->NarrowKey());
    if (SUCCEEDED(hr))
        CheckPresetButton(nIndex);
}

void CChildDlgRVX::OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar)
{
    if (pScrollBar && pScrollBar->GetDlgCtrlID() == IDC_SLD_RVX_ENVIRONMENT) {
        const int iPos = static_cast<int>(pScrollBar->SendMessage(TBM_GETPOS));
        if (ISNDIRVXEnvironment* p = m_pRVXEnvironment ? m_pRVXEnvironment->m_pInterface : nullptr)
            p->SetValue(kvscale::ToDriver(iPos, m_fEnvironmentStep));
    }
    CChildDlg::OnHScroll(nSBCode, nPos, pScrollBar);
}

// ---- Tooltips and notifications --------------------------------------------------

void CChildDlgRVX::DoTTNeedText(NMTTDISPINFOW* pTTT)
{
    if (!pTTT)
        return;
    if (TooltipControlId(pTTT) != IDC_SLD_RVX_ENVIRONMENT || !m_sldRVXEnvironment.GetSafeHwnd() ||
        !m_sldRVXEnvironment.IsWindowEnabled())
        return;
    const int iPos = m_sldRVXEnvironment.GetPos();
    const std::wstring strUnit = LoadUIString(IDS_LEVEL_UNIT);
    swprintf(pTTT->szText, std::size(pTTT->szText), L"%.1f%ls",
             static_cast<double>(kvscale::ToDriver(iPos, m_fEnvironmentStep)), strUnit.c_str());
    // A translation too long for the buffer is cut, not left unterminated.
    pTTT->szText[std::size(pTTT->szText) - 1] = L'\0';
}

LONG CALLBACK CChildDlgRVX::OnRVXDriverNotify(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    auto* pThis = static_cast<CChildDlgRVX*>(pContext);
    UINT nMsg = 0;
    if (eEvent == KVEVT_RVX)
        nMsg = WM_RVX_ENVIRONMENT_CHANGE;
    else if (eEvent == KVEVT_RVXPRESET || eEvent == KVEVT_RVXPRESET_NARROW)
        nMsg = WM_RVX_PRESET_CHANGE;
    if (nMsg && pThis && pThis->m_hWnd)
        pThis->PostDriverChange(nMsg, dwHint, dwArg);
    return 0;
}
