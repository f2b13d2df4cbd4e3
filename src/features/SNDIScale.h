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

// Add 0.5 whatever the sign, then truncate toward zero.
inline int RoundAddHalf(float fValue, float fStep)
{
    if (fStep == 0.0f)
        return 0;
    return TruncateToInt(static_cast<double>(fValue / fStep) + 0.5);
}

// Back to the driver: position times the remembered granularity, in float.
inline float ToDriver(int nPosition, float fStep)
{
    return static_cast<float>(nPosition) * fStep;
}

}  // namespace kvscale
