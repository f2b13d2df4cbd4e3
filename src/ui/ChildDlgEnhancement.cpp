#include "ui/ChildDlgEnhancement.h"

#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "features/SNDIScale.h"
#include "support/ShowDebugString.h"
#include "ui/UIText.h"

#include <cwchar>
#include <initializer_list>

namespace {

constexpr UINT kSpeaker = 3;  // the speaker channel whose level the page shows

struct EventMessage {
    UINT eEvent;
    UINT nMsg;
};
constexpr EventMessage kEvents[] = {
    {KVEVT_BASSBOOST, WM_ENH_DRIVER_CHANGE_FIRST},
    {KVEVT_BASSMANAGEMENT, WM_ENH_DRIVER_CHANGE_FIRST + 1},  // and the subwoofer
    {KVEVT_MIXERFX, WM_ENH_DRIVER_CHANGE_FIRST + 2},
    {KVEVT_AGC, WM_ENH_DRIVER_CHANGE_LAST},
};

// A check box and the controls it switches: the box shows when the feature
// answered and works while the master switch is on; each control shows when
// its value was read and works while the feature is on.
struct Part {
    int nID;
    bool bShown;
};
void ShowToggleGroup(CWnd* pParent, int nCheck, BOOL bAvailable, BOOL bMasterOn, BOOL bOn,
                     std::initializer_list<Part> parts)
{
    CChildDlg::ShowItem(pParent, nCheck, bAvailable);
    for (const Part& part : parts)
        CChildDlg::ShowItem(pParent, part.nID, part.bShown);
    CChildDlg::EnableItem(pParent, nCheck, bAvailable && bMasterOn);
    for (const Part& part : parts)
        CChildDlg::EnableItem(pParent, part.nID, bOn);
}

// One slider's range and position as the driver reports them; the defaults
// stand where a read fails, and the slider is shown only when the value came.
struct SliderValue {
    int nMin = 0, nMax = 100, nPos = 100;
    bool bRead = false;
};

template <class I>
SliderValue ReadSlider(I* p, HRESULT (STDMETHODCALLTYPE I::*pfnRange)(float*, float*, float*, float*),
                       HRESULT (STDMETHODCALLTYPE I::*pfnValue)(float*), float* pfStep, int nDefaultMax)
{
    SliderValue v;
    v.nMax = nDefaultMax;
    float fMin = 0.0f, fMax = 0.0f, fStep = 1.0f, fExtra = 0.0f;
    if (SUCCEEDED((p->*pfnRange)(&fMin, &fMax, &fStep, &fExtra))) {
        *pfStep = fStep;
        v.nMin = kvscale::RoundAddHalf(fMin, fStep);
        v.nMax = kvscale::RoundAddHalf(fMax, fStep);
    }
    float fValue = 0.0f;
    if (SUCCEEDED((p->*pfnValue)(&fValue))) {
        v.nPos = kvscale::RoundAddHalf(fValue, *pfStep);
        v.bRead = true;
    }
    return v;
}

void SetUpRead(CSliderCtrl& slider, const SliderValue& v)
{
    if (v.bRead)
        CChildDlg::SetUpSlider(slider, v.nMin, v.nMax, v.nPos);
}

}  // namespace

BEGIN_MESSAGE_MAP(CChildDlgEnhancement, CChildDlg)
    ON_WM_HSCROLL()
    ON_BN_CLICKED(IDC_CHK_BASS_BOOST, OnBnClickedBassBoost)
    ON_BN_CLICKED(IDC_CHK_BASS_MANAGEMENT, OnBnClickedBassManagement)
    ON_BN_CLICKED(IDC_CHK_SUBWOOFER_GAIN, OnBnClickedSubWooferGain)
    ON_BN_CLICKED(IDC_CHK_VOLUME_LEVELING, OnBnClickedQVM)
    ON_MESSAGE(WM_ENH_DRIVER_CHANGE_FIRST, OnBassBoostChange)
    ON_MESSAGE(WM_ENH_DRIVER_CHANGE_FIRST + 1, OnBassManagementChange)
    ON_MESSAGE(WM_ENH_DRIVER_CHANGE_FIRST + 2, OnSpeakerLevelChange)
    ON_MESSAGE(WM_ENH_DRIVER_CHANGE_LAST, OnQVMChange)
    ON_MESSAGE(WM_SPK_CONFIG_CHANGE, OnSpkConfigChange)
END_MESSAGE_MAP()

CChildDlgEnhancement::CChildDlgEnhancement(CWnd* pParent)
{
    m_pParentWnd = pParent;
}

CChildDlgEnhancement::~CChildDlgEnhancement() = default;

void CChildDlgEnhancement::DoDataExchange(CDataExchange* pDX)
{
    CChildDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CHK_BASS_BOOST, m_chkBassBoost);
    DDX_Control(pDX, IDC_SLD_BASS_BOOST_LEVEL, m_sldBassBoostLevel);
    DDX_Control(pDX, IDC_SLD_BASS_BOOST_FREQ, m_sldBassBoostFreq);
    DDX_Control(pDX, IDC_CHK_BASS_MANAGEMENT, m_chkBassManagement);
    DDX_Control(pDX, IDC_SLD_CROSSOVER, m_sldCrossover);
    DDX_Control(pDX, IDC_CHK_SUBWOOFER_GAIN, m_chkSubWooferGain);
    DDX_Control(pDX, IDC_SLD_SPEAKER_LEVEL, m_sldSpeakerLevel);
    DDX_Control(pDX, IDC_CHK_VOLUME_LEVELING, m_chkQVM);
}

BOOL CChildDlgEnhancement::OnInitDialog()
{
    KVTRACE(L"\n CChildDlgEnhancement::OnInitDialog()");
    CChildDlg::OnInitDialog();
    m_hwHook.Skin(m_hWnd, "IDD_DLG_ENHANCEMENT.INI", m_szBFFName);
    AddSliderTooltips();
    return TRUE;
}

LRESULT CChildDlgEnhancement::OnDeviceEndpointChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgEnhancement::OnDeviceEndpointChange()");
    KVTRACE(L"\n CChildDlg::OnDeviceEndpointChange()");
    CloseDriver();
    m_pBassBoost = BindFeature<CSNDIBassBoost>(
        DriverCallback, &m_cbBassBoostHandle,
        L"\n CChildDlgEnhancement::OnDeviceEndpointChange() m_pBassBoost->Init() succeeded");
    m_pBassManagement = BindFeature<CSNDIBassManagement>(
        DriverCallback, &m_cbBassManagementHandle,
        L"\n CChildDlgEnhancement::OnDeviceEndpointChange() m_pBassManagement->Init() succeeded");
    m_pSubWooferGain = BindFeature<CSNDISubWooferGain>(
        DriverCallback, &m_cbSubWooferGainHandle,
        L"\n CChildDlgEnhancement::OnDeviceEndpointChange() m_pSubWooferGain->Init() succeeded");
    m_pSpeakerVolumeScaling = BindFeature<CSNDIMixerFx>(
        DriverCallback, &m_cbSpeakerLevelHandle,
        L"\n CChildDlgEnhancement::OnDeviceEndpointChange() m_pSpeakerVolumeScaling->Init() succeeded");
    m_pQVM = BindFeature<CAGC>(DriverCallback, &m_cbQVMHandle,
                               L"\n CChildDlgEnhancement::OnDeviceEndpointChange() m_pQVM->Init() succeeded");
    UpdateUI();
    return 0;
}

void CChildDlgEnhancement::CloseDriver()
{
    KVTRACE(L"\n CChildDlgEnhancement::CloseDriver()");
    DropFeature(m_pBassBoost, m_cbBassBoostHandle);
    DropFeature(m_pBassManagement, m_cbBassManagementHandle);
    DropFeature(m_pSubWooferGain, m_cbSubWooferGainHandle);
    DropFeature(m_pSpeakerVolumeScaling, m_cbSpeakerLevelHandle);
    DropFeature(m_pQVM, m_cbQVMHandle);
    KVTRACE(L"\n CChildDlg::CloseDriver()");
    KVTRACE(L"\n CChildDlgEnhancement::CloseDriver() ok");
}

LRESULT CChildDlgEnhancement::OnMasterOnOffChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgEnhancement::OnMasterOnOffChange()");
    UpdateUI();
    return 0;
}

void CChildDlgEnhancement::UpdateUI()
{
    if (!m_hWnd)
        return;
    KVTRACE(L"\n CChildDlgEnhancement::UpdateUI()");
    ShowItem(this, IDC_GRP_BASS, m_pBassBoost || m_pBassManagement);
    ShowItem(this, IDC_GRP_VOLUME_LEVELING, m_pQVM != nullptr);
    OnBassBoostChange();
    OnBassManagementChange();
    OnSpeakerLevelChange();
    OnQVMChange();
}

LRESULT CChildDlgEnhancement::OnSpkConfigChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgEnhancement::OnSpkConfigChange()");
    OnBassBoostChange();
    OnBassManagementChange();
    OnSpeakerLevelChange();
    return 0;
}

// ---- Refresh from the driver -------------------------------------------------------

LRESULT CChildDlgEnhancement::OnBassBoostChange(WPARAM, LPARAM)
{
    if (!m_hWnd)
        return 0;
    BOOL bMasterOn = TRUE, bEffectOn = FALSE;
    GetEffectInfo(KV_EFX_BASSBOOST, &bMasterOn, &bEffectOn);

    BOOL bOn = FALSE, bAvailable = FALSE;
    SliderValue level, freq;
    freq.nMax = 0;
    if (ISNDIBassBoost* p = m_pBassBoost ? m_pBassBoost->m_pInterface : nullptr) {
        bAvailable = TRUE;
        if (FAILED(p->IsEnabled(&bOn)))
            bOn = bAvailable = FALSE;
        level = ReadSlider(p, &ISNDIBassBoost::GetRange, &ISNDIBassBoost::GetValue, &m_fBassBoostLevelStep, 100);
        freq = ReadSlider(p, &ISNDIBassBoost::GetFrequencyRange, &ISNDIBassBoost::GetFrequency,
                          &m_fBassBoostFreqStep, 0);
    }
    ShowToggleGroup(this, IDC_CHK_BASS_BOOST, bAvailable, bMasterOn, bOn,
                    {{IDC_SLD_BASS_BOOST_LEVEL, level.bRead}, {IDC_SLD_BASS_BOOST_FREQ, freq.bRead},
                     {IDC_STC_BASS_BOOST_FREQ, freq.bRead}});
    if (!bAvailable)
        return 0;
    m_chkBassBoost.SetCheck(bOn || bEffectOn ? BST_CHECKED : BST_UNCHECKED);
    SetUpRead(m_sldBassBoostLevel, level);
    SetUpRead(m_sldBassBoostFreq, freq);
    return 0;
}

LRESULT CChildDlgEnhancement::OnBassManagementChange(WPARAM, LPARAM)
{
    if (!m_hWnd)
        return 0;
    BOOL bMasterOn = TRUE, bEffectOn = FALSE;
    GetEffectInfo(KV_EFX_BASSMANAGEMENT, &bMasterOn, &bEffectOn);

    BOOL bOn = FALSE, bAvailable = FALSE;
    SliderValue crossover;
    if (ISNDIBassManagement* p = m_pBassManagement ? m_pBassManagement->m_pInterface : nullptr) {
        bAvailable = TRUE;
        if (FAILED(p->IsEnabled(&bOn)))
            bOn = bAvailable = FALSE;
        crossover = ReadSlider(p, &ISNDIBassManagement::GetRange, &ISNDIBassManagement::GetValue, &m_fCrossoverStep, 100);
    }
    ShowToggleGroup(this, IDC_CHK_BASS_MANAGEMENT, bAvailable, bMasterOn, bOn,
                    {{IDC_SLD_CROSSOVER, crossover.bRead}, {IDC_STC_CROSSOVER, crossover.bRead}});
    if (bAvailable) {
        m_chkBassManagement.SetCheck(bOn || bEffectOn ? BST_CHECKED : BST_UNCHECKED);
        SetUpRead(m_sldCrossover, crossover);
    }

    // The subwoofer gain: on or off, labelled with its largest gain.
    BOOL bSubAvailable = FALSE, bSubChecked = FALSE;
    int nLabel = 0;
    if (ISNDISubWooferGain* p = m_pSubWooferGain ? m_pSubWooferGain->m_pInterface : nullptr) {
        DWORD dwState = 0;
        if (SUCCEEDED(p->GetState(&dwState))) {
            bSubAvailable = TRUE;
            bSubChecked = dwState == 1;
        }
        float fMin = 0.0f, fMax = 0.0f, fStep = 1.0f, fExtra = 0.0f;
        if (SUCCEEDED(p->GetRange(&fMin, &fMax, &fStep, &fExtra)))
            nLabel = kvscale::TruncateToInt(fMax);
    }
    ShowItem(this, IDC_CHK_SUBWOOFER_GAIN, bSubAvailable);
    EnableItem(this, IDC_CHK_SUBWOOFER_GAIN, bSubAvailable && bMasterOn);
    if (bSubAvailable) {
        m_chkSubWooferGain.SetWindowText(FormatOneInt(LoadUIString(IDS_SUBWOOFER_GAIN_FMT), nLabel).c_str());
        // Both ways: another program may have switched it off.
        m_chkSubWooferGain.SetCheck(bSubChecked ? BST_CHECKED : BST_UNCHECKED);
    }
    return 0;
}

LRESULT CChildDlgEnhancement::OnSpeakerLevelChange(WPARAM, LPARAM)
{
    if (!m_hWnd)
        return 0;
    BOOL bMasterOn = TRUE, bEffectOn = FALSE;
    GetEffectInfo(0, &bMasterOn, &bEffectOn);
    LONG nLevel = 100;
    BOOL bAvailable = FALSE;
    if (ISNDIMixerFx* p = m_pSpeakerVolumeScaling ? m_pSpeakerVolumeScaling->m_pInterface : nullptr)
        bAvailable = SUCCEEDED(p->GetLevel(kSpeaker, &nLevel));
    for (int nID : {IDC_SLD_SPEAKER_LEVEL, IDC_STC_SPEAKER_LEVEL}) {
        ShowItem(this, nID, bAvailable);
        EnableItem(this, nID, bAvailable && bMasterOn);
    }
    // The range is the template's own 0 to 100.
    if (bAvailable)
        m_sldSpeakerLevel.SetPos(static_cast<int>(nLevel));
    return 0;
}

LRESULT CChildDlgEnhancement::OnQVMChange(WPARAM, LPARAM)
{
    if (!m_hWnd)
        return 0;
    BOOL bMasterOn = TRUE, bEffectOn = FALSE;
    GetEffectInfo(KV_EFX_AGC, &bMasterOn, &bEffectOn);
    BOOL bOn = FALSE, bAvailable = FALSE;
    if (ISNDIAGC* p = m_pQVM ? m_pQVM->m_pInterface : nullptr) {
        bAvailable = SUCCEEDED(p->IsEnabled(&bOn));
        if (!bAvailable)
            bOn = FALSE;
    }
    ShowItem(this, IDC_CHK_VOLUME_LEVELING, bAvailable);
    EnableItem(this, IDC_CHK_VOLUME_LEVELING, bAvailable && bMasterOn);
    if (bAvailable)
        m_chkQVM.SetCheck(bOn || bEffectOn ? BST_CHECKED : BST_UNCHECKED);
    return 0;
}

// ---- User actions ----------------------------------------------------------------
// Each writes at once; the driver's notification refreshes the page.

void CChildDlgEnhancement::OnBnClickedBassBoost()
{
    if (ISNDIBassBoost* p = m_pBassBoost ? m_pBassBoost->m_pInterface : nullptr)
        m_chkBassBoost.GetCheck() == BST_CHECKED ? p->Enable() : p->Disable();
}

void CChildDlgEnhancement::OnBnClickedBassManagement()
{
    if (ISNDIBassManagement* p = m_pBassManagement ? m_pBassManagement->m_pInterface : nullptr)
        m_chkBassManagement.GetCheck() == BST_CHECKED ? p->Enable() : p->Disable();
}

void CChildDlgEnhancement::OnBnClickedSubWooferGain()
{
    if (ISNDISubWooferGain* p = m_pSubWooferGain ? m_pSubWooferGain->m_pInterface : nullptr)
        p->SetState(m_chkSubWooferGain.GetCheck() == BST_CHECKED ? 1 : 0);
}

void CChildDlgEnhancement::OnBnClickedQVM()
{
    if (ISNDIAGC* p = m_pQVM ? m_pQVM->m_pInterface : nullptr)
        m_chkQVM.GetCheck() == BST_CHECKED ? p->Enable() : p->Disable();
}

void CChildDlgEnhancement::OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar)
{
    if (pScrollBar) {
        const int nPosition = static_cast<int>(pScrollBar->SendMessage(TBM_GETPOS));
        ISNDIBassBoost* pBoost = m_pBassBoost ? m_pBassBoost->m_pInterface : nullptr;
        ISNDIBassManagement* pManagement = m_pBassManagement ? m_pBassManagement->m_pInterface : nullptr;
        ISNDIMixerFx* pMixer = m_pSpeakerVolumeScaling ? m_pSpeakerVolumeScaling->m_pInterface : nullptr;
        switch (pScrollBar->GetDlgCtrlID()) {
        case IDC_SLD_BASS_BOOST_LEVEL:
            if (pBoost)
                pBoost->SetValue(kvscale::ToDriver(nPosition, m_fBassBoostLevelStep));
            break;
        case IDC_SLD_BASS_BOOST_FREQ:
            if (pBoost)
                pBoost->SetFrequency(kvscale::ToDriver(nPosition, m_fBassBoostFreqStep));
            break;
        case IDC_SLD_CROSSOVER:
            if (pManagement)
                pManagement->SetValue(kvscale::ToDriver(nPosition, m_fCrossoverStep));
            break;
        case IDC_SLD_SPEAKER_LEVEL:
            if (pMixer)
                pMixer->SetLevel(kSpeaker, kvscale::TruncateToInt(nPosition * static_cast<double>(m_fSpeakerLevelScale)));
            break;
        default:
            break;
        }
    }
    CChildDlg::OnHScroll(nSBCode, nPos, pScrollBar);
}

// ---- Tooltips and notifications --------------------------------------------------

void CChildDlgEnhancement::DoTTNeedText(NMTTDISPINFOW* pTTT)
{
    if (!pTTT)
        return;
    const UINT nID = TooltipControlId(pTTT);
    CWnd* pSlider = GetDlgItem(static_cast<int>(nID));
    if (!pSlider || !pSlider->IsWindowEnabled())
        return;
    const int nPosition = static_cast<int>(pSlider->SendMessage(TBM_GETPOS));
    switch (nID) {
    case IDC_SLD_BASS_BOOST_LEVEL:
        swprintf(pTTT->szText, std::size(pTTT->szText), L"%.1f%ls",
                 static_cast<double>(kvscale::ToDriver(nPosition, m_fBassBoostLevelStep)),
                 LoadUIString(IDS_LEVEL_UNIT).c_str());
        break;
    case IDC_SLD_BASS_BOOST_FREQ:
    case IDC_SLD_CROSSOVER:
        swprintf(pTTT->szText, std::size(pTTT->szText), L"%dHz", nPosition);
        break;
    case IDC_SLD_SPEAKER_LEVEL:
        swprintf(pTTT->szText, std::size(pTTT->szText), L"%d%%", nPosition);
        break;
    default:
        break;
    }
}

LONG CALLBACK CChildDlgEnhancement::DriverCallback(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    KVTRACE(L"\n CChildDlgEnhancement::DriverCallback(eEvent=0x%x, dwHint=0x%x, dwArg=0x%x)", eEvent, dwHint, dwArg);
    auto* pThis = static_cast<CChildDlgEnhancement*>(pContext);
    for (const EventMessage& e : kEvents) {
        if (e.eEvent == eEvent && pThis && pThis->m_hWnd)
            pThis->PostDriverChange(e.nMsg, dwHint, dwArg);
    }
    return 0;
}
