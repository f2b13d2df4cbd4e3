#include "ui/ChildDlgQfx.h"

#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "features/SNDIScale.h"
#include "support/ShowDebugString.h"
#include "ui/UIText.h"

#include <cwchar>

namespace {

constexpr DWORD kVirtualSurroundType = 6;
constexpr DWORD kModeWide = 2;   // item 0
constexpr DWORD kModeFull = 4;   // item 1
// A list that never ends is cut here.
constexpr UINT kMaxElements = 256;

// The layouts with rear speakers, where the surround mode means something;
// the two-speaker, generic and effect layouts are not among them.
constexpr GUID kOtherSurroundLayout = {0x4F20B661, 0x11D2, 0x4187, {0x80, 0x00, 0x62, 0x82, 0x9C, 0x2C, 0x85, 0x48}};
const GUID* const kSurroundLayouts[] = {
    &KVFMT_QUAD,      &KVFMT_5POINT1,      &KVFMT_6POINT1,      &KVFMT_7POINT1,
    &kOtherSurroundLayout, &KVFMT_QUAD_SIDE, &KVFMT_5POINT1_SIDE, &KVFMT_6POINT1_SIDE,
};

bool IsSurroundLayout(const GUID& format)
{
    for (const GUID* p : kSurroundLayouts) {
        if (IsEqualGUID(format, *p))
            return true;
    }
    return false;
}

}  // namespace

BEGIN_MESSAGE_MAP(CChildDlgQfx, CChildDlg)
    ON_WM_HSCROLL()
    ON_BN_CLICKED(IDC_CHK_DETAIL_RESTORE, OnBtnLustrex)
    ON_BN_CLICKED(IDC_CHK_SPK_CONFIG, OnBtnSpkConfig)
    ON_BN_CLICKED(IDC_CHK_VSUR, OnBnClickedVSUR)
    ON_CBN_SELCHANGE(IDC_CMB_SURROUND_MODE, OnCbnSelchangeComboUpmixMode)
    ON_MESSAGE(WM_QFX_DRIVER_CHANGE, OnLustrexChange)
    ON_MESSAGE(WM_SPK_CONFIG_CHANGE, OnSpkConfigChange)
    ON_MESSAGE(WM_QFX_UPMIX_CHANGE, OnVSURChange)
END_MESSAGE_MAP()

CChildDlgQfx::CChildDlgQfx(CWnd* pParent)
{
    m_pParentWnd = pParent;
}

CChildDlgQfx::~CChildDlgQfx() = default;

void CChildDlgQfx::DoDataExchange(CDataExchange* pDX)
{
    CChildDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CHK_DETAIL_RESTORE, m_chkLustrex);
    DDX_Control(pDX, IDC_SLD_DETAIL_RESTORE, m_sldLustrex);
    DDX_Control(pDX, IDC_CHK_SPK_CONFIG, m_chkSpkConfig);
    DDX_Control(pDX, IDC_CHK_VSUR, m_chkVSUR);
    DDX_Control(pDX, IDC_SLD_STEREO_ENV, m_sldStereoEnv);
    DDX_Control(pDX, IDC_CMB_SURROUND_MODE, m_cmbUpmixMode);
}

BOOL CChildDlgQfx::OnInitDialog()
{
    KVTRACE(L"\n CChildDlgQfx::OnInitDialog()");
    CChildDlg::OnInitDialog();
    m_hwHook.Skin(m_hWnd, "IDD_DLG_QFX.INI", m_szBFFName);
    AddSliderTooltips();
    return TRUE;
}

LRESULT CChildDlgQfx::OnMasterOnOffChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgQfx::OnMasterOnOffChange()");
    UpdateUI();
    return 0;
}

// ---- Binding -----------------------------------------------------------------------

LRESULT CChildDlgQfx::OnDeviceEndpointChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgQfx::OnDeviceEndpointChange()");
    KVTRACE(L"\n CChildDlg::OnDeviceEndpointChange()");
    CloseDriver();
    m_pSndiPDP = BindFeature<CSNDIPdp>(DriverCallback, &m_cbPDPHandle,
                                       L"\n CChildDlgQfx::OnDeviceEndpointChange() m_pSndiPDP->Init() succeeded");
    IKVDevice* pDevice = nullptr;
    IKVEndpoint* pEndpoint = nullptr;
    if (SessionBinding(&pDevice, &pEndpoint)) {
        // The page reads the speaker configuration but is told of its
        // changes by the session.
        m_pSpkConfig = new (std::nothrow) CSpkConfig2;
        if (m_pSpkConfig && m_pSpkConfig->Init(pDevice, pEndpoint)) {
            KVTRACE(L"\n CChildDlgQfx::OnDeviceEndpointChange() m_pSpkConfig->Init() succeeded");
        } else {
            delete m_pSpkConfig;
            m_pSpkConfig = nullptr;
        }
    }
    m_pSndiUpmix = BindFeature<CSNDIUpmix>(DriverCallback, &m_cbUpmixHandle,
                                           L"\n CChildDlgQfx::OnDeviceEndpointChange() m_pSndiUpmix->Init() succeeded");
    FindVirtualSurround();
    UpdateUI();
    return 0;
}

void CChildDlgQfx::FindVirtualSurround()
{
    ISNDIUpmix* pUpmix = m_pSndiUpmix ? m_pSndiUpmix->m_pInterface : nullptr;
    if (!pUpmix)
        return;
    for (UINT i = 0; i < kMaxElements; ++i) {
        ISNDIElement* pElement = nullptr;
        if (FAILED(pUpmix->GetElement(i, &pElement)) || !pElement)
            break;
        DWORD dwType = 0;
        if (FAILED(pElement->GetType(&dwType))) {
            pElement->Release();
            break;
        }
        if (dwType != kVirtualSurroundType) {
            pElement->Release();
            continue;
        }
        m_nVSURIndex = static_cast<int>(i);
        if (!m_pSndiVSUR3) {
            m_pSndiVSUR3 = new (std::nothrow) CSNDIVSUR3;
            if (m_pSndiVSUR3 && m_pSndiVSUR3->InitVSUR(pElement)) {
                KVTRACE(L"\n CChildDlgQfx::OnDeviceEndpointChange() m_pSndiVSUR3->InitVSUR() succeeded");
                m_cbVSURHandle = m_pSndiVSUR3->Advise(DriverCallback, this);
            } else {
                delete m_pSndiVSUR3;
                m_pSndiVSUR3 = nullptr;
            }
        }
        pElement->Release();
        break;
    }
}

void CChildDlgQfx::CloseDriver()
{
    KVTRACE(L"\n CChildDlgQfx::CloseDriver()");
    DropFeature(m_pSndiPDP, m_cbPDPHandle);
    UINT nNoCookie = 0;
    DropFeature(m_pSpkConfig, nNoCookie);
    DropFeature(m_pSndiUpmix, m_cbUpmixHandle);
    m_nVSURIndex = -1;
    DropFeature(m_pSndiVSUR3, m_cbVSURHandle);
    if (m_hWnd && m_cmbUpmixMode.GetSafeHwnd())
        m_cmbUpmixMode.ResetContent();
    KVTRACE(L"\n CChildDlg::CloseDriver()");
    KVTRACE(L"\n CChildDlgQfx::CloseDriver() ok");
}

// ---- Refresh -----------------------------------------------------------------------

void CChildDlgQfx::UpdateUI()
{
    if (!m_hWnd)
        return;
    KVTRACE(L"\n CChildDlgQfx::UpdateUI()");
    const BOOL bAny = m_pSndiPDP || m_pSndiUpmix || m_pSndiVSUR3;
    ShowItem(this, IDC_GRP_DETAIL, bAny);
    ShowItem(this, IDC_GRP_SURROUND, bAny);
    OnLustrexChange();
    OnSpkConfigChange();
    OnVSURChange();
}

LRESULT CChildDlgQfx::OnLustrexChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgQfx::OnLustrexChange()");
    if (!m_hWnd)
        return 0;
    BOOL bMasterOn = TRUE, bRecordedOn = FALSE;
    GetEffectInfo(KV_EFX_PDP, &bMasterOn, &bRecordedOn);
    BOOL bPresent = FALSE, bOn = FALSE, bLevel = FALSE;
    int nMin = 0, nMax = 100, n = 100;
    if (ISNDIPdp* p = m_pSndiPDP ? m_pSndiPDP->m_pInterface : nullptr) {
        bPresent = SUCCEEDED(p->IsEnabled(&bOn));
        if (!bPresent)
            bOn = FALSE;
        float fMin = 0.0f, fMax = 0.0f, fStep = 1.0f, fExtra = 0.0f;
        if (SUCCEEDED(p->GetRange(&fMin, &fMax, &fStep, &fExtra))) {
            m_fPDPStep = fStep;
            nMin = kvscale::RoundAddHalf(fMin, fStep);
            nMax = kvscale::RoundAddHalf(fMax, fStep);
        }
        float fValue = 0.0f;
        if (SUCCEEDED(p->GetValue(&fValue))) {
            bLevel = TRUE;
            n = kvscale::RoundAddHalf(fValue, m_fPDPStep);
        }
    }
    ShowItem(this, IDC_CHK_DETAIL_RESTORE, bPresent);
    ShowItem(this, IDC_SLD_DETAIL_RESTORE, bLevel);
    EnableItem(this, IDC_CHK_DETAIL_RESTORE, bPresent && bMasterOn);
    EnableItem(this, IDC_SLD_DETAIL_RESTORE, bOn);
    if (bPresent) {
        m_chkLustrex.SetCheck(bOn || bRecordedOn ? BST_CHECKED : BST_UNCHECKED);
        if (bLevel)
            SetUpSlider(m_sldLustrex, nMin, nMax, n);
    }
    KVTRACE(L"\n CChildDlgQfx::OnLustrexChange() ok");
    return 0;
}

LRESULT CChildDlgQfx::OnSpkConfigChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgQfx::OnSpkConfigChange()");
    if (!m_hWnd)
        return 0;
    BOOL bMasterOn = TRUE, bRecordedOn = FALSE;
    GetEffectInfo(KV_EFX_SPKCONFIG, &bMasterOn, &bRecordedOn);
    BOOL bActive = FALSE;
    const BOOL bOK = m_pSpkConfig && m_pSpkConfig->m_pEndpoint &&
                     SUCCEEDED(m_pSpkConfig->IsEffectConfigActive(&bActive, nullptr));
    ShowItem(this, IDC_CHK_SPK_CONFIG, bOK);
    EnableItem(this, IDC_CHK_SPK_CONFIG, bOK && bMasterOn);
    if (bOK)
        m_chkSpkConfig.SetCheck(bActive || bRecordedOn ? BST_CHECKED : BST_UNCHECKED);
    // The surround mode depends on the speaker layout.
    OnVSURChange();
    KVTRACE(L"\n CChildDlgQfx::OnSpkConfigChange() ok");
    return 0;
}

void CChildDlgQfx::StereoEnvRange(int* pnMin, int* pnMax) const
{
    *pnMin = kvscale::RoundHalfAway(m_fMinStereoEnv, m_fGranityStereoEnv);
    *pnMax = kvscale::RoundAddHalf(m_fMaxStereoEnv, m_fGranityStereoEnv);
}

LRESULT CChildDlgQfx::OnVSURChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgQfx::OnVSURChange()");
    if (!m_hWnd)
        return 0;
    BOOL bMasterOn = TRUE, bRecordedOn = FALSE;
    GetEffectInfo(KV_EFX_UPMIX, &bMasterOn, &bRecordedOn);

    BOOL bUpmix = FALSE, bOn = FALSE;
    if (ISNDIUpmix* p = m_pSndiUpmix ? m_pSndiUpmix->m_pInterface : nullptr) {
        bUpmix = SUCCEEDED(p->IsEnabled(&bOn));
        if (!bUpmix)
            bOn = FALSE;
    }

    BOOL bValue = FALSE, bMode = FALSE;
    int nModeIndex = 0, nMin = 0, nMax = 100, n = 100;
    if (m_pSndiVSUR3) {
        ISNDIVSUR3* p = m_pSndiVSUR3->m_pVSUR3;
        float fMin = 0.0f, fMax = 0.0f, fStep = 1.0f, fExtra = 0.0f;
        if (p && SUCCEEDED(p->GetRange(&fMin, &fMax, &fStep, &fExtra))) {
            m_fGranityStereoEnv = fStep;
            m_fMinStereoEnv = fMin;
            m_fMaxStereoEnv = fMax;
            StereoEnvRange(&nMin, &nMax);
        }
        float fValue = 0.0f;
        if (p && SUCCEEDED(p->GetValue(&fValue))) {
            bValue = TRUE;
            n = kvscale::RoundHalfAway(fValue, m_fGranityStereoEnv);
        }
        if (m_cmbUpmixMode.GetCount() == 0) {
            COMBOBOXINFO cbi = {};
            cbi.cbSize = sizeof(cbi);
            if (::GetComboBoxInfo(m_cmbUpmixMode.GetSafeHwnd(), &cbi) && cbi.hwndItem)
                ::SendMessageW(cbi.hwndItem, EM_SETREADONLY, TRUE, 0);
            m_cmbUpmixMode.InsertString(0, LoadUIString(IDS_SURROUND_MODE_2).c_str());
            m_cmbUpmixMode.SendMessage(CB_SETITEMDATA, 0, kModeWide);
            m_cmbUpmixMode.InsertString(1, LoadUIString(IDS_SURROUND_MODE_4).c_str());
            m_cmbUpmixMode.SendMessage(CB_SETITEMDATA, 1, kModeFull);
        }
        DWORD dwMode = kModeWide;
        if (p && SUCCEEDED(p->GetXDSurMode(&dwMode))) {
            bMode = TRUE;
            nModeIndex = dwMode == kModeFull ? 1 : 0;
        }
    }

    BOOL bLayout = FALSE;
    if (m_pSpkConfig) {
        int nPosition = 0;
        SpeakerConfigInfo info = {};
        if (SUCCEEDED(m_pSpkConfig->GetCurrentSpeakerConfig(&nPosition)) && nPosition >= 0 &&
            SUCCEEDED(m_pSpkConfig->GetSpeakerConfig(static_cast<UINT>(nPosition), &info)))
            bLayout = IsSurroundLayout(info.guidFormat);
    }
    const BOOL bModeShown = bMode && bLayout;

    ShowItem(this, IDC_CHK_VSUR, bUpmix);
    for (int nID : {IDC_SLD_STEREO_ENV, IDC_STC_STEREO_ENV, IDC_STC_STEREO_ENV_LEFT, IDC_STC_STEREO_ENV_RIGHT})
        ShowItem(this, nID, bValue);
    ShowItem(this, IDC_CMB_SURROUND_MODE, bModeShown);
    ShowItem(this, IDC_STC_SURROUND_MODE, bModeShown);
    EnableItem(this, IDC_CHK_VSUR, bUpmix && bMasterOn);
    for (int nID : {IDC_SLD_STEREO_ENV, IDC_STC_STEREO_ENV, IDC_STC_STEREO_ENV_LEFT, IDC_STC_STEREO_ENV_RIGHT})
        EnableItem(this, nID, bOn);
    EnableItem(this, IDC_CMB_SURROUND_MODE, bMode && bOn);
    EnableItem(this, IDC_STC_SURROUND_MODE, bMode && bOn);

    if (bUpmix) {
        m_chkVSUR.SetCheck(bOn || bRecordedOn ? BST_CHECKED : BST_UNCHECKED);
        if (bValue) {
            const int nPos = kvscale::InvertedPosition(nMin, nMax, 0, n);
            SetUpSlider(m_sldStereoEnv, nMin, nMax, nPos);
            KVTRACE(L"\n CChildDlgQfx::OnVSURChange() nMaxValue = %d, nMinValue = %d, nPos = %d", nMax, nMin, nPos);
        }
        if (bModeShown && nModeIndex < m_cmbUpmixMode.GetCount())
            m_cmbUpmixMode.SetCurSel(nModeIndex);
    }
    KVTRACE(L"\n CChildDlgQfx::OnVSURChange() ok");
    return 0;
}

// ---- User actions ----------------------------------------------------------------

void CChildDlgQfx::OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar)
{
    if (pScrollBar) {
        const int iPos = static_cast<int>(pScrollBar->SendMessage(TBM_GETPOS));
        switch (pScrollBar->GetDlgCtrlID()) {
        case IDC_SLD_DETAIL_RESTORE:
            if (ISNDIPdp* p = m_pSndiPDP ? m_pSndiPDP->m_pInterface : nullptr)
                p->SetValue(kvscale::ToDriver(iPos, m_fPDPStep));
            break;
        case IDC_SLD_STEREO_ENV:
            if (m_pSndiVSUR3) {
                int nMin = 0, nMax = 0;
                StereoEnvRange(&nMin, &nMax);
                const float fActualValue = kvscale::InvertedValue(nMin, nMax, 0, iPos, m_fGranityStereoEnv);
                KVTRACE(L"\n CChildDlgQfx::OnHScroll(), iPos=%d, m_fMaxStereoEnv = %.2f, m_fMinStereoEnv = %.2f, "
                        L"m_fGranityStereoEnv = %.2f, fActualValue=%.2f",
                        iPos, static_cast<double>(m_fMaxStereoEnv), static_cast<double>(m_fMinStereoEnv),
                        static_cast<double>(m_fGranityStereoEnv), static_cast<double>(fActualValue));
                if (m_pSndiVSUR3->m_pVSUR3)
                    m_pSndiVSUR3->m_pVSUR3->SetValue(fActualValue);
                KVTRACE(L"\n CChildDlgQfx::OnHScroll(), iPos=%d, set fActualValue=%.1f", iPos,
                        static_cast<double>(fActualValue));
            }
            break;
        default:
            break;
        }
    }
    CChildDlg::OnHScroll(nSBCode, nPos, pScrollBar);
}

void CChildDlgQfx::OnBtnLustrex()
{
    if (ISNDIPdp* p = m_pSndiPDP ? m_pSndiPDP->m_pInterface : nullptr)
        m_chkLustrex.GetCheck() == BST_CHECKED ? p->Enable() : p->Disable();
}

void CChildDlgQfx::OnBtnSpkConfig()
{
    if (m_pSpkConfig)
        m_pSpkConfig->SetEffectConfig(m_chkSpkConfig.GetCheck() == BST_CHECKED);
}

void CChildDlgQfx::OnBnClickedVSUR()
{
    KVTRACE(L"\n CChildDlgQfx::OnBnClickedVSUR()");
    ISNDIUpmix* p = m_pSndiUpmix && m_nVSURIndex != -1 ? m_pSndiUpmix->m_pInterface : nullptr;
    if (!p)
        return;
    const UINT nIndex = static_cast<UINT>(m_nVSURIndex);
    if (m_chkVSUR.GetCheck() == BST_CHECKED) {
        if (SUCCEEDED(p->SelectElement(nIndex)))
            p->Enable();
    } else {
        p->Disable(nIndex);
    }
}

void CChildDlgQfx::OnCbnSelchangeComboUpmixMode()
{
    KVTRACE(L"\n CChildDlgQfx::OnCbnSelchangeComboUpmixMode()");
    const int nSel = m_cmbUpmixMode.GetCurSel();
    const DWORD dwMode = nSel >= 0 ? static_cast<DWORD>(m_cmbUpmixMode.SendMessage(CB_GETITEMDATA, nSel)) : kModeWide;
    if (m_pSndiVSUR3) {
        if (m_pSndiVSUR3->m_pVSUR3)
            m_pSndiVSUR3->m_pVSUR3->SetXDSurMode(dwMode);
        KVTRACE(L"\n CChildDlgQfx::OnCbnSelchangeComboUpmixMode(), SetXDSurMode(%d)", static_cast<int>(dwMode));
    }
}

// ---- Tooltips and notifications --------------------------------------------------

void CChildDlgQfx::DoTTNeedText(NMTTDISPINFOW* pTTT)
{
    if (!pTTT)
        return;
    const UINT nID = TooltipControlId(pTTT);
    CWnd* pSlider = GetDlgItem(static_cast<int>(nID));
    if (!pSlider || !pSlider->IsWindowEnabled())
        return;
    const int iPos = static_cast<int>(pSlider->SendMessage(TBM_GETPOS));
    if (nID == IDC_SLD_DETAIL_RESTORE) {
        swprintf(pTTT->szText, std::size(pTTT->szText), L"%d%%", iPos);
    } else if (nID == IDC_SLD_STEREO_ENV && m_pSndiVSUR3) {
        // Capped at 100, with no lower bound.
        const float g = m_fGranityStereoEnv;
        const float fLow = m_fMinStereoEnv / g, fHigh = m_fMaxStereoEnv / g;
        int nPercent = kvscale::TruncateToInt((static_cast<float>(iPos) - fLow) * 100.0f / (fHigh - fLow) + 0.5f);
        if (nPercent > 100)
            nPercent = 100;
        swprintf(pTTT->szText, std::size(pTTT->szText), L"%d%%", nPercent);
    }
}

LONG CALLBACK CChildDlgQfx::DriverCallback(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    KVTRACE(L"\n CChildDlgQfx::DriverCallback(eEvent=0x%x, dwHint=0x%x, dwArg=0x%x)", eEvent, dwHint, dwArg);
    auto* pThis = static_cast<CChildDlgQfx*>(pContext);
    UINT nMsg = 0;
    if (eEvent == KVEVT_UPMIX || eEvent == KVEVT_VSUR)
        nMsg = WM_QFX_UPMIX_CHANGE;
    else if (eEvent == KVEVT_SPKCONFIG)
        nMsg = WM_SPK_CONFIG_CHANGE;
    else if (eEvent == KVEVT_PDP)
        nMsg = WM_QFX_DRIVER_CHANGE;
    if (nMsg && pThis && pThis->m_hWnd)
        pThis->PostDriverChange(nMsg, dwHint, dwArg);
    return 0;
}
