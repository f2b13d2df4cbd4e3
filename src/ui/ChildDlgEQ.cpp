#include "ui/ChildDlgEQ.h"

#include "KVEffRsc_ids.h"
#include "device/KVDeviceEndpoint.h"
#include "features/SNDIFeatures.h"
#include "features/SNDIScale.h"
#include "support/ShowDebugString.h"
#include "ui/EQPresetDlg.h"
#include "ui/MsgBoxDlg.h"
#include "ui/UIText.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <new>

namespace {

constexpr UINT kMaxBandIndex = 16;
constexpr UINT kBandLabelBytes = 128;

constexpr int kBandCtrlCount = IDC_SLD_EQ_BAND_9 - IDC_SLD_EQ_BAND_0 + 1;

void Enable(CWnd* pWnd, BOOL b)
{
    if (pWnd && pWnd->GetSafeHwnd())
        pWnd->EnableWindow(b);
}

void Show(CWnd* pWnd, BOOL b)
{
    if (pWnd && pWnd->GetSafeHwnd())
        pWnd->ShowWindow(b ? SW_SHOW : SW_HIDE);
}

// The edit field of a drop-down combo box.
HWND ComboEdit(HWND hCombo)
{
    COMBOBOXINFO cbi = {};
    cbi.cbSize = sizeof(cbi);
    return hCombo && ::GetComboBoxInfo(hCombo, &cbi) ? cbi.hwndItem : nullptr;
}

// A driver band label: at most 128 bytes in the ANSI code page, maybe
// without a terminator.
std::wstring LabelText(const char* pszLabel)
{
    wchar_t szWide[kBandLabelBytes + 1];
    NarrowToWide(pszLabel, kBandLabelBytes, szWide, std::size(szWide));
    return szWide;
}

}  // namespace

BEGIN_MESSAGE_MAP(CChildDlgEQ, CChildDlg)
    ON_WM_VSCROLL()
    ON_BN_CLICKED(IDC_CHK_EQ_ENABLE, OnBtnEQEnable)
    ON_CBN_SELCHANGE(IDC_CMB_EQ_PRESET, OnSelchangeEQPreset)
    ON_BN_CLICKED(IDC_BTN_EQ_PRESET_SAVE, OnBtnEQPresetSave)
    ON_BN_CLICKED(IDC_BTN_EQ_PRESET_DEL, OnBtnEQPresetDel)
    ON_MESSAGE(WM_EQ_DRIVER_CHANGE_FIRST, OnEQSNDIMessage)
    ON_MESSAGE(WM_EQ_DRIVER_CHANGE_LAST, OnEQPresetSNDIMessage)
    ON_MESSAGE(WM_DRAWITEM, OnDrawItem)
END_MESSAGE_MAP()

CChildDlgEQ::CChildDlgEQ(CWnd* pParent)
{
    m_pParentWnd = pParent;
}

// The owner has called CloseDriver; only the list's storage is left.
CChildDlgEQ::~CChildDlgEQ() = default;

void CChildDlgEQ::DoDataExchange(CDataExchange* pDX)
{
    CChildDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CMB_EQ_PRESET, m_cmbEQPreset);
    DDX_Control(pDX, IDC_CHK_EQ_ENABLE, m_chkEQEnable);
    DDX_Control(pDX, IDC_BTN_EQ_PRESET_SAVE, m_btnEQPresetSave);
    DDX_Control(pDX, IDC_BTN_EQ_PRESET_DEL, m_btnEQPresetDel);
}

BOOL CChildDlgEQ::OnInitDialog()
{
    KVTRACE(L"\n CChildDlgEQ::OnInitDialog()");
    CChildDlg::OnInitDialog();
    m_hwHook.Skin(m_hWnd, "IDD_DLG_EQ.INI", m_szBFFName);
    if (HWND hEdit = ComboEdit(m_cmbEQPreset.GetSafeHwnd()))
        ::SendMessageW(hEdit, EM_SETREADONLY, TRUE, 0);
    AddSliderTooltips();
    return TRUE;
}

void CChildDlgEQ::UpdateUI()
{
    if (!m_hWnd)
        return;
    KVTRACE(L"\n CChildDlgEQ::UpdateUI()");
    UpdateEQScreen();
}

LRESULT CChildDlgEQ::OnMasterOnOffChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgEQ::OnMasterOnOffChange()");
    UpdateUI();
    return 0;
}

// ---- Refresh -------------------------------------------------------------------

void CChildDlgEQ::SetScaleLabel(int nID, float fValue, const std::wstring& strUnit)
{
    wchar_t sz[64];
    swprintf(sz, std::size(sz), L"%d%ls", kvscale::TruncateToInt(fValue), strUnit.c_str());
    SetDlgItemText(nID, sz);
}

void CChildDlgEQ::InvalidateCurve()
{
    if (CWnd* p = GetDlgItem(IDC_STC_EQ_CURVE))
        ::InvalidateRect(p->GetSafeHwnd(), nullptr, FALSE);
}

void CChildDlgEQ::SetCurveActive(BOOL bEqualizerOn)
{
    BOOL bMasterOn = TRUE;
    GetEffectInfo(KV_EFX_EQ, &bMasterOn, nullptr);
    m_curve.SetActive(bEqualizerOn && bMasterOn);
    InvalidateCurve();
}

void CChildDlgEQ::ShowCustomPreset()
{
    SetCustomText();
    Invalidate(TRUE);
}

// Every slider move asks for this: setting the same text again would only
// repaint the box.
void CChildDlgEQ::SetCustomText()
{
    const std::wstring strCustom = LoadUIString(IDS_EQ_PRESET_CUSTOM);
    std::wstring strNow;
    m_cmbEQPreset.GetWindowText(strNow);
    if (strNow == strCustom && m_cmbEQPreset.GetCurSel() < 0)
        return;
    // No list entry stands for it, so none stays selected.
    m_cmbEQPreset.SetCurSel(-1);
    m_cmbEQPreset.SetWindowText(strCustom.c_str());
}

void CChildDlgEQ::UpdateEQScreen()
{
    KVTRACE(L"\n CChildDlgEQ::UpdateEQScreen(), m_pEQ=0x%x", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_pEQ)));
    if (!m_hWnd)
        return;

    BOOL bMasterOn = TRUE, bRecordedOn = FALSE;
    GetEffectInfo(KV_EFX_EQ, &bMasterOn, &bRecordedOn);

    ISNDIEQ* pEQ = m_pEQ ? m_pEQ->m_pInterface : nullptr;
    BOOL bEnabled = FALSE, bPresent = FALSE;
    if (pEQ) {
        bPresent = SUCCEEDED(pEQ->IsEnabled(&bEnabled));
        if (!bPresent)
            bEnabled = FALSE;
    }

    Show(&m_chkEQEnable, bPresent);
    ShowEQControls(bPresent);
    Enable(&m_chkEQEnable, bPresent && bMasterOn);
    EnableEQControls(bEnabled);
    m_chkEQEnable.SetCheck(bEnabled || bRecordedOn ? BST_CHECKED : BST_UNCHECKED);
    m_curve.SetActive(bEnabled && bMasterOn);

    if (!m_pEQ)
        return;

    const std::wstring strUnit = LoadUIString(IDS_LEVEL_UNIT);

    // Bands, until the driver stops describing them.
    float fMin = -12.0f, fMax = 12.0f;
    m_curve.Reset();
    m_nBandsMapped = 0;
    for (UINT b = 0;; ++b) {
        char szLabel[kBandLabelBytes + 1] = {};
        char szExtra[64 + 1] = {};
        if (!pEQ || FAILED(pEQ->GetBandInfo(b, szLabel, szExtra)))
            break;
        float fBandMin = 0.0f, fBandMax = 0.0f, fStep = 1.0f, fExtra = 0.0f;
        if (FAILED(pEQ->GetBandRange(b, &fBandMin, &fBandMax, &fStep, &fExtra)))
            break;
        fMin = fBandMin;
        fMax = fBandMax;
        if (b > kMaxBandIndex)
            break;
        int nMin = 0, nMax = 0;
        if (FAILED(m_pEQ->GetBandRange(b, &nMin, &nMax)))
            break;
        m_fBandStep = fStep;
        m_fBandSteps[b] = fStep;
        m_nBandOffsets[b] = kvscale::InvertedOffset(nMin, nMax);
        m_nBandsMapped = std::max(m_nBandsMapped, b + 1);
        float fLevel = 0.0f;
        if (FAILED(pEQ->GetBandLevel(b, &fLevel)) || FAILED(pEQ->GetBandLevel(b, &fLevel)))
            break;
        const int nStep = kvscale::RoundHalfAway(fLevel, m_pEQ->m_fStep[b]);
        const std::wstring strLabel = LabelText(szLabel);
        m_curve.SetBand(b, CEQResponseCurve::FrequencyFromLabel(strLabel.c_str()), fLevel);
        if (auto* pSlider = static_cast<CSliderCtrl*>(GetDlgItem(IDC_SLD_EQ_BAND_0 + static_cast<int>(b)));
            pSlider && b < static_cast<UINT>(kBandCtrlCount)) {
            m_nBandOffset = kvscale::InvertedOffset(nMin, nMax);
            pSlider->SetRange(kvscale::ClampToInt(static_cast<long long>(nMin) - m_nBandOffset),
                              kvscale::ClampToInt(static_cast<long long>(nMax) - m_nBandOffset), FALSE);
            pSlider->SetPos(kvscale::InvertedPosition(nMin, nMax, m_nBandOffset, nStep));
        }
        if (b < static_cast<UINT>(kBandCtrlCount) && GetDlgItem(IDC_STC_EQ_BAND_0 + static_cast<int>(b)))
            SetDlgItemText(IDC_STC_EQ_BAND_0 + static_cast<int>(b), strLabel.c_str());
    }
    SetScaleLabel(IDC_STC_EQ_SCALE_MAX, fMax, strUnit);
    SetScaleLabel(IDC_STC_EQ_SCALE_MID, (fMax + fMin) * 0.5f, strUnit);
    SetScaleLabel(IDC_STC_EQ_SCALE_MIN, fMin, strUnit);
    m_curve.SetScale(fMin, fMax);
    InvalidateCurve();

    // Pre-amplification.
    {
        float fPreMin = -24.0f, fPreMax = 0.0f, fStep = 1.0f, fExtra = 0.0f;
        int nMin = -24, nMax = 0;
        if (SUCCEEDED(pEQ->GetPreampRange(&fPreMin, &fPreMax, &fStep, &fExtra)))
            m_fPreampStep = fStep;
        else
            fPreMin = -24.0f, fPreMax = 0.0f;
        if (FAILED(m_pEQ->GetPreampRange(&nMin, &nMax)))
            nMin = -24, nMax = 0;
        float fLevel = 0.0f;
        const bool bLevel = SUCCEEDED(pEQ->GetPreamp(&fLevel)) && SUCCEEDED(pEQ->GetPreamp(&fLevel));
        if (auto* pSlider = static_cast<CSliderCtrl*>(GetDlgItem(IDC_SLD_EQ_PREAMP))) {
            m_nPreampOffset = kvscale::InvertedOffset(nMin, nMax);
            pSlider->SetRange(kvscale::ClampToInt(static_cast<long long>(nMin) - m_nPreampOffset),
                              kvscale::ClampToInt(static_cast<long long>(nMax) - m_nPreampOffset), FALSE);
            // Unreadable: the thumb stays where it was, within the new range.
            if (bLevel) {
                const int nStep = kvscale::RoundHalfAway(fLevel, m_pEQ->m_fStep[CSNDIEQ::kPreampEntry]);
                pSlider->SetPos(kvscale::InvertedPosition(nMin, nMax, m_nPreampOffset, nStep));
            }
        }
        SetScaleLabel(IDC_STC_EQ_PREAMP_MAX, fPreMax, strUnit);
        SetScaleLabel(IDC_STC_EQ_PREAMP_MIN, fPreMin, strUnit);
    }

    // Presets.
    ShowCustomPreset();
    if (!m_pEQPreset) {
        Enable(&m_cmbEQPreset, FALSE);
        Enable(&m_btnEQPresetSave, FALSE);
        Enable(&m_btnEQPresetDel, FALSE);
        return;
    }
    if (HWND hEdit = ComboEdit(m_cmbEQPreset.GetSafeHwnd()))
        ::SendMessageW(hEdit, EM_SETREADONLY, TRUE, 0);
    m_cmbEQPreset.ResetContent();
    for (size_t k = 0; k < m_vecEQPresets.size(); ++k)
        m_cmbEQPreset.InsertString(static_cast<int>(k), m_vecEQPresets[k]->m_szName);

    UINT nActive = 0;
    if (!IsNamedActive()) {
        ShowCustomPreset();
        if (bEnabled) {
            Enable(&m_btnEQPresetDel, FALSE);
            if (m_vecEQPresets.empty())
                Enable(&m_cmbEQPreset, FALSE);
        }
    } else if (SndiGetActivePreset(&nActive)) {
        if (static_cast<int>(nActive) < m_cmbEQPreset.GetCount())
            m_cmbEQPreset.SetCurSel(static_cast<int>(nActive));
        if (bEnabled && m_vecEQPresets[nActive]->m_dwKind != KV_PRESET_USER)
            Enable(&m_btnEQPresetDel, FALSE);
    } else {
        ShowCustomPreset();
    }
}

// ---- Presets ---------------------------------------------------------------------

namespace {

// Traces each answer of the driver while the list is filled.
class CEQEnumTrace : public CPresetEnumObserver
{
public:
    void OnConfig(HRESULT hr) override
    {
        KVTRACE(L"\n CChildDlgEQ::EnumEQPresets(), pEQPreset->SetPresetConfig returns 0x%x", static_cast<unsigned>(hr));
    }
    void OnLanguage(DWORD dwLanguage, HRESULT hr) override
    {
        KVTRACE(L"\n CChildDlgEQ::EnumEQPresets(), pEQPreset->SetLanguageConfig(%d) returns 0x%x",
                static_cast<int>(dwLanguage), static_cast<unsigned>(hr));
    }
    void OnEnumPreset(UINT nIndex, HRESULT hr) override
    {
        KVTRACE(L"\n CChildDlgEQ::EnumEQPresets(), pEQPreset->EnumPreset(%d) returns 0x%x", static_cast<int>(nIndex),
                static_cast<unsigned>(hr));
    }
    void OnPresetName(UINT nIndex, HRESULT hr, const wchar_t* pszName) override
    {
        KVTRACE(L"\n CChildDlgEQ::EnumEQPresets(), pEQPreset->GetPresetName(%d) returns 0x%x, szPresetName=%s",
                static_cast<int>(nIndex), static_cast<unsigned>(hr), pszName ? pszName : L"");
    }
};

}  // namespace

BOOL CChildDlgEQ::EnumEQPresets(CSNDIEQPresetU* pEQPreset)
{
    if (!pEQPreset)
        return FALSE;
    ClearPresets();
    CEQEnumTrace trace;
    return SUCCEEDED(::EnumEQPresets(pEQPreset, PresetLanguage(), m_vecEQPresets, &trace)) ? TRUE : FALSE;
}

void CChildDlgEQ::SortPresets()
{
    // Two presets keep the driver's order.
    if (m_vecEQPresets.size() <= 2)
        return;
    std::sort(m_vecEQPresets.begin(), m_vecEQPresets.end(), [](const CPreset* a, const CPreset* b) {
        if (a->m_dwKind != b->m_dwKind)
            return a->m_dwKind < b->m_dwKind;
        // Ordinal: UTF-16 units as unsigned numbers.
        for (UINT i = 0; i < CPreset::kNameChars; ++i) {
            const unsigned ca = static_cast<unsigned short>(a->m_szName[i]);
            const unsigned cb = static_cast<unsigned short>(b->m_szName[i]);
            if (ca != cb)
                return ca < cb;
            if (!ca)
                break;
        }
        return false;
    });
}

void CChildDlgEQ::ClearPresets()
{
    ClearPresetList(m_vecEQPresets);
}

BOOL CChildDlgEQ::SndiGetActivePreset(UINT* pIndex)
{
    int nIndex = -1;
    if (!pIndex || !m_pEQPreset || FAILED(FindActiveEQPreset(m_pEQPreset, m_vecEQPresets, &nIndex)) || nIndex < 0)
        return FALSE;
    *pIndex = static_cast<UINT>(nIndex);
    return TRUE;
}

BOOL CChildDlgEQ::IsNamedActive()
{
    BOOL bNamed = FALSE;
    if (!m_pEQPreset || FAILED(m_pEQPreset->IsNamedPresetActive(&bNamed)))
        return FALSE;
    return bNamed;
}

BOOL CChildDlgEQ::IsActiveUserPreset()
{
    UINT nIndex = 0;
    return m_pEQPreset && IsNamedActive() && SndiGetActivePreset(&nIndex) &&
           m_vecEQPresets[nIndex]->m_dwKind == KV_PRESET_USER;
}

HRESULT CChildDlgEQ::SetActivePresetKey(const CPreset* pPreset)
{
    if (!m_pEQPreset)
        return E_FAIL;
    if (ISNDIEQPresetU* pWide = m_pEQPreset->m_pWide) {
        const wchar_t* pszKey = pPreset ? pPreset->WideKey() : kCustomPresetW;
        return pszKey ? pWide->SetActivePreset(pszKey) : E_INVALIDARG;
    }
    if (ISNDIEQPreset* pNarrow = m_pEQPreset->m_pNarrow) {
        const char* pszKey = pPreset ? pPreset->NarrowKey() : kCustomPresetA;
        return pszKey ? pNarrow->SetActivePreset(pszKey) : E_INVALIDARG;
    }
    return E_FAIL;
}

HRESULT CChildDlgEQ::SavePresetName(const std::wstring& strName)
{
    if (!m_pEQPreset)
        return E_FAIL;
    if (ISNDIEQPresetU* pWide = m_pEQPreset->m_pWide) {
        wchar_t szKey[KV_PRESET_KEY_CB_WIDE / sizeof(wchar_t)] = {};
        return pWide->SavePreset(0, 0, 2, strName.c_str(), szKey);
    }
    if (ISNDIEQPreset* pNarrow = m_pEQPreset->m_pNarrow) {
        char szKey[KV_PRESET_KEY_CB_WIDE] = {};
        char* pKey = szKey;
        CNarrowText name(strName.c_str());
        return pNarrow->SavePreset(0, 0, 2, name.Counted(), &pKey);
    }
    return E_FAIL;
}

// ---- Controls --------------------------------------------------------------------

// The preset controls only while there are presets; then the scales,
// bands and pre-amplification (and, when shown, the drawn response).
template <class F>
void CChildDlgEQ::ForEachEQControl(BOOL b, bool bWithCurve, F apply)
{
    const BOOL bPresets = b && m_pEQPreset;
    apply(&m_cmbEQPreset, bPresets);
    apply(&m_btnEQPresetSave, bPresets);
    apply(&m_btnEQPresetDel, bPresets);
    for (int id : {IDC_STC_EQ_SCALE_MIN, IDC_STC_EQ_SCALE_MID, IDC_STC_EQ_SCALE_MAX, IDC_SLD_EQ_PREAMP,
                   IDC_STC_EQ_PREAMP, IDC_STC_EQ_PREAMP_MIN, IDC_STC_EQ_PREAMP_MAX})
        apply(GetDlgItem(id), b);
    for (int i = 0; i < kBandCtrlCount; ++i) {
        apply(GetDlgItem(IDC_SLD_EQ_BAND_0 + i), b);
        apply(GetDlgItem(IDC_STC_EQ_BAND_0 + i), b);
    }
    if (bWithCurve)
        apply(GetDlgItem(IDC_STC_EQ_CURVE), b);
}

// The drawing greys out instead of being disabled.
void CChildDlgEQ::EnableEQControls(BOOL bEnable)
{
    ForEachEQControl(bEnable, false, Enable);
}

void CChildDlgEQ::ShowEQControls(BOOL bShow)
{
    ForEachEQControl(bShow, true, Show);
}

// ---- User actions ----------------------------------------------------------------

void CChildDlgEQ::OnVScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar)
{
    const int nID = pScrollBar ? pScrollBar->GetDlgCtrlID() : 0;
    const bool bBand = nID >= IDC_SLD_EQ_BAND_0 && nID <= IDC_SLD_EQ_BAND_9;
    if (bBand || nID == IDC_SLD_EQ_PREAMP) {
        if (!m_pEQ)
            return;
        const int nPosition = static_cast<CSliderCtrl*>(pScrollBar)->GetPos();
        ISNDIEQ* pEQ = m_pEQ->m_pInterface;
        if (bBand) {
            const UINT b = static_cast<UINT>(nID - IDC_SLD_EQ_BAND_0);
            int nMin = -12, nMax = 12;
            if (!pEQ || FAILED(m_pEQ->GetBandRange(b, &nMin, &nMax)))
                nMin = -12, nMax = 12;
            const bool bMapped = b < m_nBandsMapped;
            const float fLevel = kvscale::InvertedValue(nMin, nMax, bMapped ? m_nBandOffsets[b] : m_nBandOffset,
                                                        nPosition, bMapped ? m_fBandSteps[b] : m_fBandStep);
            if (pEQ)
                pEQ->SetBandLevel(b, fLevel);
            m_curve.SetLevel(b, fLevel);
            InvalidateCurve();
        } else {
            int nMin = -24, nMax = 0;
            if (!pEQ || FAILED(m_pEQ->GetPreampRange(&nMin, &nMax)))
                nMin = -24, nMax = 0;
            const float fLevel = kvscale::InvertedValue(nMin, nMax, m_nPreampOffset, nPosition, m_fPreampStep);
            if (pEQ)
                pEQ->SetPreamp(fLevel);
        }
        if (m_pEQPreset && (m_pEQPreset->m_pWide || m_pEQPreset->m_pNarrow) && SUCCEEDED(SetActivePresetKey(nullptr))) {
            SetCustomText();
            Enable(&m_btnEQPresetSave, TRUE);
            Enable(&m_btnEQPresetDel, FALSE);
        }
    }
    CChildDlg::OnVScroll(nSBCode, nPos, pScrollBar);
}

void CChildDlgEQ::OnBtnEQEnable()
{
    // The driver's on/off notification updates the controls.
    const BOOL bChecked = m_chkEQEnable.GetCheck() == BST_CHECKED;
    if (ISNDIEQ* pEQ = m_pEQ ? m_pEQ->m_pInterface : nullptr) {
        if (bChecked)
            pEQ->Enable();
        else
            pEQ->Disable();
    }
}

void CChildDlgEQ::OnSelchangeEQPreset()
{
    if (!m_pEQPreset)
        return;
    const int i = m_cmbEQPreset.GetCurSel();
    if (i < 0 || static_cast<size_t>(i) >= m_vecEQPresets.size())
        return;
    const CPreset* pPreset = m_vecEQPresets[static_cast<size_t>(i)];
    const HRESULT hr = SetActivePresetKey(pPreset);
    KVTRACE(L"\n CChildDlgEQ::OnSelchangeEQPreset(), SetActivePreset returns 0x%x", static_cast<unsigned>(hr));
    if (SUCCEEDED(hr)) {
        if (pPreset->m_dwKind == KV_PRESET_BUILTIN)
            Enable(&m_btnEQPresetDel, FALSE);
        else if (pPreset->m_dwKind == KV_PRESET_USER)
            Enable(&m_btnEQPresetDel, TRUE);
    }
}

void CChildDlgEQ::OnBtnEQPresetDel()
{
    if (!m_pEQPreset)
        return;
    UINT nActivePreset = 0;
    const BOOL bResult = SndiGetActivePreset(&nActivePreset);
    KVTRACE(L"\n CChildDlgEQ::OnBtnEQPresetDel(), SndiGetActivePreset(), nActivePreset=%d, bResult=%d",
            static_cast<int>(nActivePreset), bResult);
    const CPreset* pEntry = bResult ? m_vecEQPresets[nActivePreset] : nullptr;
    KVTRACE(L"\n CChildDlgEQ::OnBtnEQPresetDel(), SndiGetActivePreset(), pEQPresetKey=0x%x",
            static_cast<unsigned>(reinterpret_cast<UINT_PTR>(pEntry)));
    if (!pEntry)
        return;

    // The list may be rebuilt while the question is open: keep what is asked about.
    const std::wstring strName = pEntry->m_szName;
    const DWORD dwKind = pEntry->m_dwKind;
    std::wstring strKeyW;
    std::string strKeyA;
    if (pEntry->WideKey())
        strKeyW = pEntry->WideKey();
    else if (pEntry->NarrowKey())
        strKeyA = pEntry->NarrowKey();

    const UINT nBinding = m_nBinding;
    CMsgBoxDlg dlg;
    dlg.m_strMessage = LoadUIString(IDS_EQ_PRESET_DELETE) + L"\n\n" + strName;
    dlg.m_nType = MB_YESNO;
    if (dlg.DoModal() != IDYES)
        return;
    // Re-bound meanwhile (another device): the key asked about is not its.
    if (nBinding != m_nBinding)
        return;

    if (!m_pEQPreset || !(m_pEQPreset->m_pWide || m_pEQPreset->m_pNarrow) || !IsNamedActive())
        return;
    if (dwKind == KV_PRESET_USER) {
        if (m_pEQPreset->m_pWide && !strKeyW.empty())
            m_pEQPreset->m_pWide->DeletePreset(strKeyW.c_str());
        else if (m_pEQPreset->m_pNarrow && !strKeyA.empty())
            m_pEQPreset->m_pNarrow->DeletePreset(strKeyA.c_str());
    }
    SetActivePresetKey(nullptr);
    ShowCustomPreset();
    Enable(&m_btnEQPresetSave, TRUE);
    Enable(&m_btnEQPresetDel, FALSE);
    if (m_vecEQPresets.empty())
        Enable(&m_cmbEQPreset, FALSE);
}

// ---- Save --------------------------------------------------------------------------

BOOL CChildDlgEQ::IsValidPresetName(const std::wstring& strName) const
{
    if (strName.empty() || strName.size() > CPreset::kNameChars - 1)
        return FALSE;
    for (wchar_t c : strName) {
        if (c == L'\t' || wcschr(L"\"*/:<>?\\|", c))
            return FALSE;
    }
    return TRUE;
}

BOOL CChildDlgEQ::FindPresetByName(const std::wstring& strName, DWORD* pdwKind) const
{
    for (const CPreset* p : m_vecEQPresets) {
        if (_wcsicmp(p->m_szName, strName.c_str()) == 0) {
            if (pdwKind)
                *pdwKind = p->m_dwKind;
            return TRUE;
        }
    }
    return FALSE;
}

void CChildDlgEQ::OnBtnEQPresetSave()
{
    if (!m_pEQPreset)
        return;
    CEQPresetDlg dlg;
    dlg.m_pEQPreset = m_pEQPreset;
    if (dlg.DoModal() != IDOK || !m_pEQPreset)
        return;

    std::wstring strName = dlg.m_strPresetName;
    const auto isSpace = [](wchar_t c) { return std::iswspace(c) != 0; };
    strName.erase(strName.begin(), std::find_if_not(strName.begin(), strName.end(), isSpace));
    strName.erase(std::find_if_not(strName.rbegin(), strName.rend(), isSpace).base(), strName.end());
    if (strName.empty())
        return;

    auto tell = [](UINT nID, INT_PTR nType) {
        CMsgBoxDlg box;
        box.m_strMessage = LoadUIString(nID);
        box.m_nType = nType;
        return box.DoModal();
    };
    if (!IsValidPresetName(strName)) {
        tell(IDS_PRESETSAVE_INVALID_NAME, MB_OK);
        return;
    }
    DWORD dwKind = 0;
    if (FindPresetByName(strName, &dwKind)) {
        if (dwKind == KV_PRESET_USER) {
            if (tell(IDS_PRESETSAVE_OVERWRITE, MB_YESNO) != IDYES)
                return;
        } else if (dwKind == KV_PRESET_BUILTIN) {
            tell(IDS_PRESETSAVE_BUILTIN_NAME, MB_OK);
            return;
        } else {
            return;
        }
    }
    if (!m_pEQPreset || FAILED(SavePresetName(strName)))
        return;
    m_cmbEQPreset.SetWindowText(strName.c_str());
    Invalidate(TRUE);
    Enable(&m_btnEQPresetSave, TRUE);
    Enable(&m_btnEQPresetDel, TRUE);
}

// ---- Driver notifications ----------------------------------------------------------

LONG CALLBACK CChildDlgEQ::DriverCallback(UINT eEvent, UINT dwHint, UINT dwArg, void* pContext)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    KVTRACE(L"\n CChildDlgEQ::DriverCallback(eEvent=0x%x, dwHint=0x%x, dwArg=0x%x)", eEvent, dwHint, dwArg);
    auto* pThis = static_cast<CChildDlgEQ*>(pContext);
    UINT nMsg = 0;
    if (eEvent == KVEVT_EQ)
        nMsg = WM_EQ_DRIVER_CHANGE_FIRST;
    else if (eEvent == KVEVT_EQPRESET || eEvent == KVEVT_EQPRESET_NARROW)
        nMsg = WM_EQ_DRIVER_CHANGE_LAST;
    if (nMsg && pThis && pThis->m_hWnd)
        pThis->PostDriverChange(nMsg, dwHint, dwArg);
    return 0;
}

LRESULT CChildDlgEQ::OnEQSNDIMessage(WPARAM wHint, LPARAM lArg)
{
    if (!m_pEQ)
        return 0;
    KVTRACE(L"\n CChildDlgEQ::OnEQSNDIMessage");
    const UINT dwHint = static_cast<UINT>(wHint);
    const UINT dwArg = static_cast<UINT>(lArg);
    ISNDIEQ* pEQ = m_pEQ->m_pInterface;

    switch (dwHint) {
    case KVEQ_REFRESH:
        UpdateEQScreen();
        break;
    case KVEQ_BAND: {
        const UINT b = dwArg;
        float fLevel = 0.0f;
        if (!pEQ || FAILED(pEQ->GetBandLevel(b, &fLevel)) || b > kMaxBandIndex || FAILED(pEQ->GetBandLevel(b, &fLevel)))
            break;
        const int nStep = kvscale::RoundHalfAway(fLevel, m_pEQ->m_fStep[b]);
        m_curve.SetLevel(b, fLevel);
        InvalidateCurve();
        auto* pSlider = b < static_cast<UINT>(kBandCtrlCount)
                            ? static_cast<CSliderCtrl*>(GetDlgItem(IDC_SLD_EQ_BAND_0 + static_cast<int>(b)))
                            : nullptr;
        if (!pSlider)
            break;
        int nMin = -12, nMax = 12;
        if (FAILED(m_pEQ->GetBandRange(b, &nMin, &nMax)))
            nMin = -12, nMax = 12;
        pSlider->SetPos(
            kvscale::InvertedPosition(nMin, nMax, b < m_nBandsMapped ? m_nBandOffsets[b] : m_nBandOffset, nStep));
        break;
    }
    case KVEQ_PREAMP: {
        float fLevel = 0.0f;
        if (!pEQ || FAILED(pEQ->GetPreamp(&fLevel)) || FAILED(pEQ->GetPreamp(&fLevel)))
            break;
        float& fPreampStep = m_pEQ->m_fStep[CSNDIEQ::kPreampEntry];
        const int nStep = kvscale::RoundHalfAway(fLevel, fPreampStep);
        auto* pSlider = static_cast<CSliderCtrl*>(GetDlgItem(IDC_SLD_EQ_PREAMP));
        if (!pSlider)
            break;
        int nMin = -24, nMax = 0;
        float fMin = 0.0f, fMax = 0.0f, fStep = 1.0f, fExtra = 0.0f;
        if (SUCCEEDED(pEQ->GetPreampRange(&fMin, &fMax, &fStep, &fExtra))) {
            nMin = kvscale::RoundHalfAway(fMin, fStep);
            nMax = kvscale::RoundHalfAway(fMax, fStep);
            fPreampStep = fStep;
        }
        pSlider->SetPos(kvscale::InvertedPosition(nMin, nMax, m_nPreampOffset, nStep));
        break;
    }
    case KVEQ_ONOFF: {
        const BOOL bOn = dwArg == KVEQ_ON;
        // With the master switch off this notice is the session disabling
        // the equalizer: keep showing that it is recorded as on, as the
        // refresh does, whichever of the two messages came first.
        BOOL bMasterOn = TRUE, bRecordedOn = FALSE;
        GetEffectInfo(KV_EFX_EQ, &bMasterOn, &bRecordedOn);
        m_chkEQEnable.SetCheck(bOn || bRecordedOn ? BST_CHECKED : BST_UNCHECKED);
        EnableEQControls(bOn);
        if (bOn)
            Enable(&m_btnEQPresetDel, IsActiveUserPreset());
        SetCurveActive(bOn);
        break;
    }
    default:
        break;
    }
    return 0;
}

LRESULT CChildDlgEQ::OnEQPresetSNDIMessage(WPARAM wHint, LPARAM)
{
    if (!m_pEQPreset)
        return 0;
    const UINT dwHint = static_cast<UINT>(wHint);
    BOOL bEnabled = FALSE;
    ISNDIEQ* pEQ = m_pEQ ? m_pEQ->m_pInterface : nullptr;
    if (!pEQ || FAILED(pEQ->IsEnabled(&bEnabled)))
        bEnabled = FALSE;

    if (dwHint == KVPRESET_ADDED || dwHint == KVPRESET_REMOVED) {
        ClearPresets();
        EnumEQPresets(m_pEQPreset);
        SortPresets();
        UpdateEQScreen();
        if (!m_pEQPreset)
            return 0;
    } else if (dwHint != KVPRESET_ACTIVE) {
        return 0;
    }

    if (m_vecEQPresets.empty()) {
        if (bEnabled) {
            Enable(&m_cmbEQPreset, FALSE);
            Enable(&m_btnEQPresetSave, TRUE);
            Enable(&m_btnEQPresetDel, FALSE);
        }
        return 0;
    }
    // A failed read leaves it TRUE: the box then keeps what it shows.
    BOOL bNamed = TRUE;
    m_pEQPreset->IsNamedPresetActive(&bNamed);
    KVTRACE(L"\n CChildDlgEQ::OnEQPresetSNDIMessage, bEQPresetEnable = %d", bNamed);
    UINT nIndex = 0;
    if (!bNamed) {
        SetCustomText();
        if (bEnabled) {
            Enable(&m_btnEQPresetSave, TRUE);
            Enable(&m_btnEQPresetDel, FALSE);
        }
    } else if (SndiGetActivePreset(&nIndex)) {
        if (static_cast<int>(nIndex) < m_cmbEQPreset.GetCount())
            m_cmbEQPreset.SetCurSel(static_cast<int>(nIndex));
        if (bEnabled) {
            Enable(&m_cmbEQPreset, TRUE);
            Enable(&m_btnEQPresetSave, TRUE);
            if (m_vecEQPresets[nIndex]->m_dwKind == KV_PRESET_USER)
                Enable(&m_btnEQPresetDel, TRUE);
        }
    }
    return 0;
}

// ---- Binding -----------------------------------------------------------------------

LRESULT CChildDlgEQ::OnDeviceEndpointChange(WPARAM, LPARAM)
{
    KVTRACE(L"\n CChildDlgEQ::OnDeviceEndpointChange()");
    KVTRACE(L"\n CChildDlg::OnDeviceEndpointChange()");
    CloseDriver();

    IKVDevice* pDevice = nullptr;
    IKVEndpoint* pEndpoint = nullptr;
    if (SessionBinding(&pDevice, &pEndpoint)) {
        CSNDIEQ* pEQ = new (std::nothrow) CSNDIEQ;
        if (pEQ) {
            const BOOL bInit = pEQ->Init(pDevice, pEndpoint);
            KVTRACE(L"\n CChildDlgEQ::UpdateDeviceEndpoint(), pEQ->Init returns %d", bInit);
            UINT nCookie = bInit ? pEQ->Advise(DriverCallback, this) : 0;
            if (bInit && !nCookie) {
                // Without notifications the page could not follow the
                // driver: leave the equalizer out.
                KVTRACE(L"\n CChildDlgEQ::UpdateDeviceEndpoint(), pEQ->Advise failed");
            }
            if (nCookie) {
                m_pEQ = pEQ;
                m_cbEQHandle = nCookie;
            } else {
                DropFeature(pEQ, nCookie);
            }
        }

        CSNDIEQPresetU* pPreset = new (std::nothrow) CSNDIEQPresetU;
        if (pPreset) {
            const BOOL bInit = pPreset->Init(pDevice, 0, pEndpoint);
            KVTRACE(L"\n CChildDlgEQ::UpdateDeviceEndpoint(), pEQPreset->Init returns %d", bInit);
            BOOL bEnum = FALSE;
            if (bInit) {
                m_cbEQPresetHandle = pPreset->Advise(DriverCallback, this);
                KVTRACE(L"\n CChildDlgEQ::UpdateDeviceEndpoint(), m_cbEQPresetHandle = %d",
                        static_cast<int>(m_cbEQPresetHandle));
                bEnum = EnumEQPresets(pPreset);
                KVTRACE(L"\n CChildDlgEQ::UpdateDeviceEndpoint(), EnumEQPresets returns %d", bEnum);
            }
            if (bEnum) {
                SortPresets();
                m_pEQPreset = pPreset;
            } else {
                DropFeature(pPreset, m_cbEQPresetHandle);
                ClearPresets();
            }
        }
    }
    UpdateUI();
    return 0;
}

void CChildDlgEQ::CloseDriver()
{
    KVTRACE(L"\n CChildDlgEQ::CloseDriver()");
    ++m_nBinding;
    ClearPresets();
    DropFeature(m_pEQ, m_cbEQHandle);
    DropFeature(m_pEQPreset, m_cbEQPresetHandle);
    KVTRACE(L"\n CChildDlg::CloseDriver()");
    KVTRACE(L"\n CChildDlgEQ::CloseDriver() ok");
}

// ---- Tooltips and drawing --------------------------------------------------------

void CChildDlgEQ::DoTTNeedText(NMTTDISPINFOW* pTTT)
{
    if (!pTTT)
        return;
    ISNDIEQ* pEQ = m_pEQ ? m_pEQ->m_pInterface : nullptr;
    if (!pEQ)
        return;
    const UINT nID = TooltipControlId(pTTT);
    float fLevel = 0.0f;
    HRESULT hr = E_FAIL;
    if (nID == IDC_SLD_EQ_PREAMP)
        hr = pEQ->GetPreamp(&fLevel);
    else if (nID >= IDC_SLD_EQ_BAND_0 && nID <= IDC_SLD_EQ_BAND_9)
        hr = pEQ->GetBandLevel(nID - IDC_SLD_EQ_BAND_0, &fLevel);
    if (FAILED(hr))
        return;
    swprintf(pTTT->szText, std::size(pTTT->szText), L"%.1f%ls", static_cast<double>(fLevel),
             LoadUIString(IDS_LEVEL_UNIT).c_str());
}

LRESULT CChildDlgEQ::OnDrawItem(WPARAM, LPARAM lParam)
{
    const auto* pDIS = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (!pDIS || pDIS->CtlID != IDC_STC_EQ_CURVE)
        return FALSE;
    // Drawn as a field, in the colours the skin gives an edit field.
    HDC hdc = pDIS->hDC;
    const int nSaved = ::SaveDC(hdc);
    const HBRUSH hbr = reinterpret_cast<HBRUSH>(::SendMessageW(m_hWnd, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(hdc),
                                                                reinterpret_cast<LPARAM>(pDIS->hwndItem)));
    const COLORREF crText = ::GetTextColor(hdc);
    COLORREF crBack = ::GetBkColor(hdc);
    LOGBRUSH lb = {};
    if (hbr && ::GetObjectW(hbr, sizeof(lb), &lb) == sizeof(lb) && lb.lbStyle == BS_SOLID)
        crBack = lb.lbColor;  // what the field really is filled with
    ::RestoreDC(hdc, nSaved);
    m_curve.Draw(hdc, pDIS->rcItem, crText, crBack);
    return TRUE;
}
