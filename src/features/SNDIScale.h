// Driver values and slider positions: one mapping for every page.
// A position is a count of granularity steps; the pages differ only in which
// of the two roundings they apply to which end of a range.
#pragma once

#include <cmath>
#include <climits>

namespace kvscale {

// Clamps instead of overflowing when a hostile driver reports a tiny step.
inline int TruncateToInt(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (d <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(d);  // toward zero
}

// Half away from zero: +0.5 for a positive quotient, -0.5 otherwise.
inline int RoundHalfAway(float fValue, float fStep)
{
    if (fStep == 0.0f)
        return 0;
    double q = static_cast<double>(fValue / fStep);
    return TruncateToInt(q > 0.0 ? q + 0.5 : q - 0.5);
}

// Add 0.5 whatever the sign, then round down; divided in double. Truncating
// toward zero instead would put a negative whole step one step nearer zero
// (-3.0 at granularity 0.5 shown as -2.5), so that a position sent to the
// driver and read back would creep toward zero.
inline int RoundAddHalf(float fValue, float fStep)
{
    if (fStep == 0.0f)
        return 0;
    return TruncateToInt(std::floor(static_cast<double>(fValue) / fStep + 0.5));
}

// Back to the driver: position times the remembered granularity, in float.
inline float ToDriver(int nPosition, float fStep)
{
    return static_cast<float>(nPosition) * fStep;
}

// Inverted sliders (the largest value at the top of a vertical slider). A
// range of nMin..nMax steps is shifted by this offset so that it does not
// start below zero unless it lies wholly below zero.
inline int InvertedOffset(int nMin, int nMax)
{
    return nMax < 0 ? nMax : (nMin < 0 ? nMin : 0);
}

// Clamps what a hostile range would push past an int.
inline int ClampToInt(long long n)
{
    return n > INT_MAX ? INT_MAX : (n < INT_MIN ? INT_MIN : static_cast<int>(n));
}

// Step n's position on the shifted slider.
inline int InvertedPosition(int nMin, int nMax, int nOffset, int nStep)
{
    return ClampToInt(static_cast<long long>(nMin) + nMax - nOffset - nStep);
}

// A position's value: its step, as a whole number, times the granularity.
inline float InvertedValue(int nMin, int nMax, int nOffset, int nPosition, float fStep)
{
    return static_cast<float>(static_cast<long long>(nMin) + nMax - nOffset - nPosition) * fStep;
}

}  // namespace kvscale
