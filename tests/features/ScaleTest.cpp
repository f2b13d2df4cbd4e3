// The two roundings and the way back to the driver, which every page shares.
#include "features/SNDIScale.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct Case {
    float fValue, fStep;
    int nHalfAway, nAddHalf;
};

TEST(Scale, RoundingsDifferOnlyForNegativeHalves)
{
    const Case cases[] = {
        {12.0f, 0.5f, 24, 24},      // maximum 12 with granularity 0.5
        {-12.25f, 0.5f, -25, -24},  // the documented split
        {-12.0f, 0.5f, -24, -24},   // a whole step stays that step on either side of zero
        {-12.75f, 0.5f, -26, -25},
        {0.0f, 1.0f, 0, 0},
        {0.24f, 0.5f, 0, 0},
        {0.25f, 0.5f, 1, 1},
        {-0.25f, 0.5f, -1, 0},
        {100.0f, 1.0f, 100, 100},
        {7.5f, 2.5f, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fValue << " / " << c.fStep);
        EXPECT_EQ(c.nHalfAway, kvscale::RoundHalfAway(c.fValue, c.fStep));
        EXPECT_EQ(c.nAddHalf, kvscale::RoundAddHalf(c.fValue, c.fStep));
    }
}

TEST(Scale, HostileStepsStayBounded)
{
    // A zero step would divide by zero; a tiny one would overflow the int.
    EXPECT_EQ(0, kvscale::RoundHalfAway(5.0f, 0.0f));
    EXPECT_EQ(0, kvscale::RoundAddHalf(5.0f, 0.0f));
    EXPECT_EQ(INT_MAX, kvscale::RoundHalfAway(1e30f, 1e-30f));
    EXPECT_EQ(INT_MIN, kvscale::RoundHalfAway(-1e30f, 1e-30f));
    EXPECT_EQ(0, kvscale::RoundHalfAway(__builtin_nanf(""), 1.0f));
}

TEST(Scale, PositionTimesStepGoesBackToTheDriver)
{
    EXPECT_FLOAT_EQ(-12.5f, kvscale::ToDriver(-25, 0.5f));
    EXPECT_FLOAT_EQ(800.0f, kvscale::ToDriver(80, 10.0f));
    for (int n = -48; n <= 48; ++n)
        EXPECT_EQ(n, kvscale::RoundHalfAway(kvscale::ToDriver(n, 0.5f), 0.5f)) << n;
}

// Vertical sliders put the largest value at the top; a range below zero
// ends at position 0, and hostile ranges stay within an int.
TEST(Scale, InvertedSlidersRoundTripAndStayBounded)
{
    struct Case { int nMin, nMax, nOffset; };
    for (const Case& c : {Case{-12, 12, -12}, Case{-20, -4, -4}, Case{0, 10, 0}, Case{-48, 0, -48}}) {
        EXPECT_EQ(c.nOffset, kvscale::InvertedOffset(c.nMin, c.nMax));
        EXPECT_EQ(c.nMin - c.nOffset, kvscale::InvertedPosition(c.nMin, c.nMax, c.nOffset, c.nMax)) << "top";
        for (int n = c.nMin; n <= c.nMax; ++n) {
            const int p = kvscale::InvertedPosition(c.nMin, c.nMax, c.nOffset, n);
            EXPECT_FLOAT_EQ(n * 0.5f, kvscale::InvertedValue(c.nMin, c.nMax, c.nOffset, p, 0.5f));
        }
    }
    EXPECT_EQ(INT_MAX, kvscale::InvertedPosition(INT_MAX, INT_MAX, 0, INT_MIN));
    EXPECT_LT(kvscale::InvertedValue(INT_MIN, INT_MIN, 0, INT_MAX, 1.0f), -1e9f);
}

}  // namespace
