#include "imagelib/resample/contribution_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using resample::AreaContributions;
using resample::BoxedLanczosContributions;
using resample::BoxShrinkFactor;
using resample::ContributionTable;
using resample::TentContributions;

constexpr double kUnchecked = std::numeric_limits<double>::quiet_NaN();
// Sampled at whole source pixels, a kernel whose width is not a whole number
// of them centres its weights only to within a fraction of a pixel; a
// half-pixel offset lies well beyond.
constexpr double kCentreTolerance = 0.1;

// Where the tent's weights centre output pixel i: on i / scale, as long as
// the tent lies within the source; the last pixels of an enlarged side repeat
// the edge.
double TentCentre(int i, double scale, int inSize) {
    const double centre = i / scale;
    if (scale >= 1.0) return std::min(centre, inSize - 1.0);
    const double width = 1.0 / scale;
    return centre - width >= 0.0 && centre + width <= inSize - 1.0 ? centre : kUnchecked;
}

// The area average centres each output pixel in the middle of its area.
double AreaCentre(int i, double scale, int inSize) {
    return std::clamp((i + 0.5) / scale - 0.5, 0.0, inSize - 1.0);
}

TEST(ContributionTable, WeightsSumToOneAroundEachOutputPixelsCentreWithinTheTaps) {
    struct Case {
        const char* name;
        ContributionTable (*build)(int, int);
        double (*centre)(int, double, int);
        int outSize;
        int inSize;
        int taps;
    };
    const Case cases[] = {
        {"tent enlarging", TentContributions, TentCentre, 7, 3, 3},
        {"tent keeping the size", TentContributions, TentCentre, 5, 5, 3},
        {"tent halving", TentContributions, TentCentre, 2, 4, 5},
        {"tent shrinking a photo", TentContributions, TentCentre, 320, 6000, 39},
        {"area enlarging", AreaContributions, AreaCentre, 7, 3, 2},
        {"area halving", AreaContributions, AreaCentre, 2, 4, 2},
        {"area by an uneven factor", AreaContributions, AreaCentre, 3, 7, 3},
        {"area shrinking a photo", AreaContributions, AreaCentre, 320, 6000, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ContributionTable table = c.build(c.outSize, c.inSize);
        ASSERT_EQ(table.Size(), c.outSize);
        EXPECT_EQ(table.Taps(), c.taps);
        const double scale = static_cast<double>(c.outSize) / c.inSize;
        for (int i = 0; i < c.outSize; ++i) {
            SCOPED_TRACE(i);
            ASSERT_GE(table.Left(i), 0);
            ASSERT_LE(table.Left(i), table.Right(i));
            ASSERT_LT(table.Right(i), c.inSize);
            ASSERT_LE(table.Right(i) - table.Left(i) + 1, table.Taps());
            const double* weights = table.Weights(i);
            double sum = 0.0;
            double moment = 0.0;
            for (int j = 0; j < table.Taps(); ++j) {
                EXPECT_GE(weights[j], 0.0);
                if (table.Left(i) + j > table.Right(i)) {
                    EXPECT_EQ(weights[j], 0.0);
                }
                sum += weights[j];
                moment += weights[j] * (table.Left(i) + j);
            }
            EXPECT_NEAR(sum, 1.0, 1e-12);
            const double centre = c.centre(i, scale, c.inSize);
            if (!std::isnan(centre)) {
                EXPECT_NEAR(moment, centre, kCentreTolerance);
            }
        }
    }
}

TEST(ContributionTable, BoxedLanczosIsCentredLikeTheAreaAndSharpensOnlyWhereItShrinks) {
    struct Case {
        const char* name;
        int outSize;
        int inSize;
        int boxFactor;
        bool negativeWeights;
    };
    const Case cases[] = {
        {"enlarging", 7, 3, 1, true},
        {"keeping the size", 5, 5, 1, false},
        {"shrinking by less than three times", 160, 470, 1, true},
        {"shrinking a photo", 110, 4000, 12, true},
        {"shrinking by an uneven factor", 160, 6001, 12, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BoxShrinkFactor(c.outSize, c.inSize), c.boxFactor);
        const ContributionTable table = BoxedLanczosContributions(c.outSize, c.inSize);
        ASSERT_EQ(table.Size(), c.outSize);
        const double scale = static_cast<double>(c.outSize) / c.inSize;
        // Three lobes each way, of boxes at most four times as wide as the
        // output pixel's share, and one box more.
        const double reach = 3.0 * std::max(1.0, 1.0 / scale) + c.boxFactor;
        bool negative = false;
        for (int i = 0; i < c.outSize; ++i) {
            SCOPED_TRACE(i);
            ASSERT_GE(table.Left(i), 0);
            ASSERT_LT(table.Right(i), c.inSize);
            double sum = 0.0;
            double moment = 0.0;
            for (int j = 0; j <= table.Right(i) - table.Left(i); ++j) {
                sum += table.Weights(i)[j];
                moment += table.Weights(i)[j] * (table.Left(i) + j);
                negative = negative || table.Weights(i)[j] < -1e-12;
            }
            EXPECT_NEAR(sum, 1.0, 1e-12);
            const double centre = (i + 0.5) / scale - 0.5;
            EXPECT_LE(table.Right(i) - table.Left(i), 2 * reach);
            // Where the edge is not repeated, and the last box is whole.
            if (centre - reach >= 0.0 && centre + reach <= c.inSize - c.inSize % c.boxFactor - 1.0) {
                EXPECT_NEAR(moment, centre, kCentreTolerance);
            }
            if (c.outSize == c.inSize) {
                EXPECT_NEAR(table.Weights(i)[i - table.Left(i)], 1.0, 1e-12);
            }
        }
        EXPECT_EQ(negative, c.negativeWeights);
    }
}

}  // namespace
