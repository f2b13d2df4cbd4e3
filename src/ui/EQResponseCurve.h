// The equalizer's combined response over frequency, as the page's sliders
// set it: one peaking filter per band at the frequency its label names,
// summed in decibels, drawn on a log-frequency axis. It works only from the
// values the page hands it and never asks the driver.
#pragma once
#include <windows.h>

class CEQResponseCurve
{
public:
    static constexpr UINT kMaxBands = 17;
    static constexpr double kLowHz = 20.0;
    static constexpr double kHighHz = 20000.0;

    // Forgets every band; the curve is flat until bands are set again.
    void Reset();
    // Band b's centre (0: not known, placed by its index) and level in dB.
    void SetBand(UINT nBand, double fHz, float fLevel);
    void SetLevel(UINT nBand, float fLevel);
    // The gain scale the sliders show; the drawing uses the same one.
    void SetScale(float fMin, float fMax);
    void SetActive(bool bActive) { m_bActive = bActive; }
    bool IsActive() const { return m_bActive; }
    UINT BandCount() const { return m_nBands; }

    // Combined gain at a frequency, in dB.
    double ResponseAt(double fHz) const;

    // "31", "1k", "3.6k", "16 kHz", "500Hz": the centre in hertz, or 0.
    static double FrequencyFromLabel(const wchar_t* pszLabel);

    // Paints into rc: background, grid, the curve; greyed while inactive.
    void Draw(HDC hdc, const RECT& rc, COLORREF crText, COLORREF crBack) const;

private:
    struct Biquad {
        double num[3], den[3];
    };
    // One filter per band that is not flat; the drawing evaluates them at
    // every point, so they are worked out once.
    void Prepare(Biquad (&filters)[kMaxBands], UINT* pnFilters) const;
    static double Evaluate(const Biquad* pFilters, UINT nFilters, double fHz);
    double CentreOf(UINT nBand) const;
    double QualityOf(UINT nBand) const;

    UINT m_nBands = 0;
    double m_fHz[kMaxBands] = {};
    float m_fLevel[kMaxBands] = {};
    float m_fScaleMin = -12.0f;
    float m_fScaleMax = 12.0f;
    bool m_bActive = false;
};
