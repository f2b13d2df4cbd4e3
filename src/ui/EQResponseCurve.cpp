#include "ui/EQResponseCurve.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cwctype>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSampleRate = 48000.0;
constexpr double kOctaveQ = 1.41;  // an octave-spaced graphic equalizer

COLORREF Blend(COLORREF crFore, COLORREF crBack, int nPercent)
{
    auto mix = [nPercent](int f, int b) { return (f * nPercent + b * (100 - nPercent)) / 100; };
    return RGB(mix(GetRValue(crFore), GetRValue(crBack)), mix(GetGValue(crFore), GetGValue(crBack)),
               mix(GetBValue(crFore), GetBValue(crBack)));
}

}  // namespace

namespace {

// Beyond what any scale shows; keeps a hostile level from overflowing.
float DrawableLevel(float fLevel)
{
    return std::isfinite(fLevel) ? std::clamp(fLevel, -60.0f, 60.0f) : 0.0f;
}

}  // namespace

void CEQResponseCurve::Reset()
{
    m_nBands = 0;
}

void CEQResponseCurve::SetBand(UINT nBand, double fHz, float fLevel)
{
    if (nBand >= kMaxBands)
        return;
    m_fHz[nBand] = std::isfinite(fHz) && fHz > 0.0 ? fHz : 0.0;
    m_fLevel[nBand] = DrawableLevel(fLevel);
    m_nBands = std::max(m_nBands, nBand + 1);
}

void CEQResponseCurve::SetLevel(UINT nBand, float fLevel)
{
    if (nBand < m_nBands)
        m_fLevel[nBand] = DrawableLevel(fLevel);
}

void CEQResponseCurve::SetScale(float fMin, float fMax)
{
    if (std::isfinite(fMin) && std::isfinite(fMax) && fMin < fMax) {
        m_fScaleMin = fMin;
        m_fScaleMax = fMax;
    } else {
        m_fScaleMin = -12.0f;
        m_fScaleMax = 12.0f;
    }
}

double CEQResponseCurve::CentreOf(UINT nBand) const
{
    if (m_fHz[nBand] > 0.0)
        return std::clamp(m_fHz[nBand], 1.0, 0.45 * kSampleRate);
    // A label without a frequency: spread such bands over the usual octaves.
    const double t = m_nBands > 1 ? static_cast<double>(nBand) / (m_nBands - 1) : 0.5;
    return 31.0 * std::pow(16000.0 / 31.0, t);
}

double CEQResponseCurve::QualityOf(UINT nBand) const
{
    // The bandwidth reaches halfway (geometrically) to the neighbours.
    double fRatio = 0.0;
    if (nBand > 0 && nBand + 1 < m_nBands)
        fRatio = std::sqrt(CentreOf(nBand + 1) / CentreOf(nBand - 1));
    else if (nBand + 1 < m_nBands)
        fRatio = CentreOf(nBand + 1) / CentreOf(nBand);
    else if (nBand > 0)
        fRatio = CentreOf(nBand) / CentreOf(nBand - 1);
    const double fOctaves = fRatio > 0.0 ? std::fabs(std::log2(fRatio)) : 0.0;
    if (!(fOctaves > 0.05))
        return kOctaveQ;
    const double p = std::pow(2.0, fOctaves);
    // A little wider than the spacing, so neighbours blend into one smooth curve.
    return std::clamp(0.75 * std::sqrt(p) / (p - 1.0), 0.3, 8.0);
}

void CEQResponseCurve::Prepare(Biquad (&filters)[kMaxBands], UINT* pnFilters) const
{
    UINT n = 0;
    for (UINT b = 0; b < m_nBands; ++b) {
        if (m_fLevel[b] == 0.0f)
            continue;
        // The usual peaking filter: unity far from the centre, the band's
        // level at it.
        const double A = std::pow(10.0, m_fLevel[b] / 40.0);
        const double w0 = 2 * kPi * CentreOf(b) / kSampleRate;
        const double alpha = std::sin(w0) / (2 * QualityOf(b));
        Biquad& f = filters[n++];
        f.num[0] = 1 + alpha * A;
        f.num[1] = f.den[1] = -2 * std::cos(w0);
        f.num[2] = 1 - alpha * A;
        f.den[0] = 1 + alpha / A;
        f.den[2] = 1 - alpha / A;
    }
    *pnFilters = n;
}

double CEQResponseCurve::Evaluate(const Biquad* pFilters, UINT nFilters, double fHz)
{
    const double w = 2 * kPi * std::clamp(fHz, 1.0, 0.49 * kSampleRate) / kSampleRate;
    const double c1 = std::cos(w), c2 = std::cos(2 * w), s1 = std::sin(w), s2 = std::sin(2 * w);
    auto power = [&](const double (&c)[3]) {
        const double re = c[0] + c[1] * c1 + c[2] * c2;
        const double im = c[1] * s1 + c[2] * s2;
        return re * re + im * im;
    };
    double fRatio = 1.0;
    for (UINT i = 0; i < nFilters; ++i)
        fRatio *= power(pFilters[i].num) / power(pFilters[i].den);
    return 10.0 * std::log10(fRatio);
}

double CEQResponseCurve::ResponseAt(double fHz) const
{
    Biquad filters[kMaxBands];
    UINT n = 0;
    Prepare(filters, &n);
    return Evaluate(filters, n, fHz);
}

double CEQResponseCurve::FrequencyFromLabel(const wchar_t* pszLabel)
{
    if (!pszLabel)
        return 0.0;
    const wchar_t* p = pszLabel;
    while (*p && std::iswspace(*p))
        ++p;
    wchar_t* pEnd = nullptr;
    double f = std::wcstod(p, &pEnd);
    if (pEnd == p || !std::isfinite(f) || f <= 0.0)
        return 0.0;
    while (*pEnd && std::iswspace(*pEnd))
        ++pEnd;
    if (*pEnd == L'k' || *pEnd == L'K')
        f *= 1000.0;
    return f <= 1.0e6 ? f : 0.0;
}

void CEQResponseCurve::Draw(HDC hdc, const RECT& rc, COLORREF crText, COLORREF crBack) const
{
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    if (cx <= 2 || cy <= 2)
        return;
    // Drawn off screen first: the curve follows a dragged slider.
    HDC hdcMem = CreateCompatibleDC(hdc);
    HBITMAP hbm = hdcMem ? CreateCompatibleBitmap(hdc, cx, cy) : nullptr;
    if (!hbm) {
        if (hdcMem)
            DeleteDC(hdcMem);
        return;
    }
    HGDIOBJ hbmOld = SelectObject(hdcMem, hbm);

    const COLORREF crGrid = Blend(crText, crBack, 22);
    const COLORREF crCurve = m_bActive ? crText : Blend(crText, crBack, 40);
    const COLORREF crFill = Blend(crText, crBack, m_bActive ? 14 : 6);
    const int nPen = std::max(1, cy / 40);

    HBRUSH hbrBack = CreateSolidBrush(crBack);
    RECT rcAll = {0, 0, cx, cy};
    FillRect(hdcMem, &rcAll, hbrBack);
    DeleteObject(hbrBack);

    const double fLogLow = std::log10(kLowHz), fLogSpan = std::log10(kHighHz) - fLogLow;
    const float fSpan = m_fScaleMax - m_fScaleMin;
    auto yOf = [&](double fDb) {
        const double t = (fDb - m_fScaleMin) / fSpan;
        return (cy - 1) - static_cast<int>(std::lround(std::clamp(t, 0.0, 1.0) * (cy - 1)));
    };
    const int yZero = yOf(std::clamp(0.0, static_cast<double>(m_fScaleMin), static_cast<double>(m_fScaleMax)));

    HPEN hpenGrid = CreatePen(PS_SOLID, 1, crGrid);
    HGDIOBJ hpenOld = SelectObject(hdcMem, hpenGrid);
    for (double fDecade : {100.0, 1000.0, 10000.0}) {
        const int x = static_cast<int>((std::log10(fDecade) - fLogLow) / fLogSpan * (cx - 1));
        MoveToEx(hdcMem, x, 0, nullptr);
        LineTo(hdcMem, x, cy);
    }
    MoveToEx(hdcMem, 0, yZero, nullptr);
    LineTo(hdcMem, cx, yZero);

    // One point every two pixels is smooth at any size.
    const int nPoints = std::max(2, cx / 2 + 1);
    POINT pts[1024];
    const int n = std::min(nPoints, 1024);
    Biquad filters[kMaxBands];
    UINT nFilters = 0;
    Prepare(filters, &nFilters);
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / (n - 1);
        pts[i].x = static_cast<LONG>(std::lround(t * (cx - 1)));
        pts[i].y = yOf(Evaluate(filters, nFilters, std::pow(10.0, fLogLow + t * fLogSpan)));
    }
    // The area between the curve and 0 dB, lightly shaded.
    POINT poly[1024 + 2];
    std::copy(pts, pts + n, poly);
    poly[n] = {pts[n - 1].x, yZero};
    poly[n + 1] = {pts[0].x, yZero};
    HBRUSH hbrFill = CreateSolidBrush(crFill);
    HPEN hpenFill = CreatePen(PS_SOLID, 1, crFill);
    HGDIOBJ hbrOld = SelectObject(hdcMem, hbrFill);
    SelectObject(hdcMem, hpenFill);
    Polygon(hdcMem, poly, n + 2);

    HPEN hpenCurve = CreatePen(PS_SOLID, nPen, crCurve);
    SelectObject(hdcMem, hpenCurve);
    Polyline(hdcMem, pts, n);

    SelectObject(hdcMem, hbrOld);
    SelectObject(hdcMem, hpenOld);
    DeleteObject(hbrFill);
    DeleteObject(hpenFill);
    DeleteObject(hpenCurve);
    DeleteObject(hpenGrid);

    // A thin frame, so a flat curve still reads as a drawing.
    HBRUSH hbrFrame = CreateSolidBrush(crGrid);
    FrameRect(hdcMem, &rcAll, hbrFrame);
    DeleteObject(hbrFrame);

    BitBlt(hdc, rc.left, rc.top, cx, cy, hdcMem, 0, 0, SRCCOPY);
    SelectObject(hdcMem, hbmOld);
    DeleteObject(hbm);
    DeleteDC(hdcMem);
}
