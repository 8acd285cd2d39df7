#include "imagelib/resample/resample_kernels.h"

#include "imagelib/resample/contribution_table.h"
#include "imagelib/resample/paired_across.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using resample::BoxCount;

// Runs `check` with each vector width this machine runs in effect, then
// restores the one before.
template <typename Check>
void ForEachVectorWidth(const Check& check) {
    const int before = resample::VectorWidth();
    for (const int bits : {512, 256, 128})
        if (resample::LimitVectorWidth(bits) == bits) check(bits);
    resample::LimitVectorWidth(before);
}

// Boxes of light summed as the row is read must be the very doubles of the
// widened row summed afterwards, whichever loop the machine runs: rows shorter
// than a step of the loops, boxes over the ends of the pieces a row is read
// in, a box wider than the row, and boxes at and past the widest whose light
// fits 32 bits.
TEST(ResampleKernels, LightSummedIntoBoxesAsReadEqualsTheWidenedRowSummed) {
    struct Case {
        int width, factor;
        bool white;
    };
    const Case cases[] = {
        {1, 1, false},     {15, 2, false},     {17, 18, false},      {6000, 18, false},     {1000, 5, false},
        {700, 256, false}, {1300, 257, false}, {65537, 65537, true}, {70001, 70000, false},
    };
    std::mt19937 random(7);
    for (const Case& c : cases) {
        std::vector<std::uint8_t> pixels(4 * static_cast<std::size_t>(c.width), 255);
        if (!c.white)
            for (std::uint8_t& byte : pixels) byte = static_cast<std::uint8_t>(random());
        std::vector<double> wide(pixels.size());
        resample::WidenLinearRow(pixels.data(), c.width, wide.data());
        const auto boxes = 4 * static_cast<std::size_t>(BoxCount(c.width, c.factor));
        std::vector<double> wanted(boxes), got(boxes);
        resample::ShrinkRowInBoxes(wide.data(), c.width, 1, c.factor, wanted.data(), false);
        resample::WidenLinearRowInBoxes(pixels.data(), c.width, c.factor, got.data());
        EXPECT_EQ(got, wanted) << c.width << " pixels in boxes of " << c.factor;
    }
}

// The pass across two output pixels at a time, or one a vector on the
// 256-bit unit, must give the bytes of the loop over one at a time: shrinks
// and enlargements, an odd last pixel, ends of weight 0 trimmed, negative
// weights clamped in light, and output pixels whose weights are all 0.
TEST(ResampleKernels, PairsOfOutputPixelsGiveTheBytesOfOneAtATime) {
    struct Case {
        const char* name;
        resample::ContributionTable table;
        int inWidth;
        bool linear;
    };
    const Case cases[] = {
        {"tent 4000 to 320", resample::TentContributions(320, 4000), 4000, false},
        {"tent 4000 to 161", resample::TentContributions(161, 4000), 4000, false},
        {"tent 100 to 333", resample::TentContributions(333, 100), 100, false},
        {"tent 1 to 1", resample::TentContributions(1, 1), 1, false},
        {"area 1000 to 78", resample::AreaContributions(78, 1000), 1000, true},
        {"area 50 to 201", resample::AreaContributions(201, 50), 50, true},
        {"lanczos 3000 to 97", resample::BoxedLanczosContributions(97, 3000), 3000, true},
        {"lanczos 600 boxes to 99", resample::LanczosContributions(99, 6000, 10), 600, true},
        {"no weight",
         resample::ContributionTable(5, 3,
                                     [](int i, std::vector<double>& weights) {
                                         weights.assign(static_cast<std::size_t>(i % 3),
                                                        i % 2 == 0 ? 0.0 : 1.0);
                                         return i;
                                     }),
         8, false},
    };
    std::mt19937 random(11);
    for (const Case& c : cases) {
        const resample::ContributionTable& table = c.table;
        std::vector<double> row(4 * static_cast<std::size_t>(c.inWidth + table.Taps()), 0.0);
        // Light in runs of black and full white, whose edges ring past both
        // ends of its range through negative weights.
        for (std::size_t i = 0; i < 4 * static_cast<std::size_t>(c.inWidth); ++i)
            row[i] = c.linear ? (random() % 3 == 0 ? 0.0 : 65535.0) : static_cast<double>(random() % 256);
        const std::size_t bytes = (c.linear ? 8 : 4) * static_cast<std::size_t>(table.Size());
        std::vector<std::uint8_t> wanted(bytes), got(bytes);
        resample::ResampleRowAcross(row.data(), table, table.Size(), wanted.data(), c.linear);
        ForEachVectorWidth([&](int bits) {
            const resample::PairedAcross paired(table);
            if (paired.Empty()) return;
            std::fill(got.begin(), got.end(), 0);
            paired.Resample(row.data(), got.data(), c.linear);
            EXPECT_EQ(got, wanted) << c.name << " on " << bits << " bits";
        });
    }
}

// Each byte of the pass down is its column's sum, row by row from the top,
// in doubles, rounded, at every vector width: rows as wide as a step of the
// loops and wider or narrower by a few pixels, shrinking and enlarging.
TEST(ResampleKernels, PassDownSumsEachColumnFromTheTop) {
    struct Case {
        int width, inHeight, outHeight;
    };
    const Case cases[] = {{1, 50, 7}, {7, 3, 10}, {8, 300, 22}, {9, 40, 40}, {23, 1000, 11}};
    std::mt19937 random(3);
    for (const Case& c : cases) {
        const resample::ContributionTable table = resample::TentContributions(c.outHeight, c.inHeight);
        const std::size_t stride = 4 * static_cast<std::size_t>(c.width);
        std::vector<std::uint8_t> intermediate(stride * static_cast<std::size_t>(c.inHeight));
        for (std::uint8_t& byte : intermediate) byte = static_cast<std::uint8_t>(random());
        std::vector<std::uint8_t> wanted(stride * static_cast<std::size_t>(c.outHeight));
        for (int y = 0; y < c.outHeight; ++y)
            for (std::size_t i = 0; i < stride; ++i) {
                double sum = 0.0;
                for (int k = table.Left(y); k <= table.Right(y); ++k)
                    sum += table.Weights(y)[k - table.Left(y)] *
                           intermediate[static_cast<std::size_t>(k) * stride + i];
                wanted[static_cast<std::size_t>(y) * stride + i] = static_cast<std::uint8_t>(sum + 0.5);
            }
        ForEachVectorWidth([&](int bits) {
            std::vector<std::uint8_t> got(wanted.size());
            std::vector<double> values(stride);
            resample::ResampleRowsDown(intermediate.data(), stride, c.width, table, got.data(), 0,
                                       c.outHeight, values.data(), false);
            EXPECT_EQ(got, wanted) << c.width << " wide, " << c.inHeight << " to " << c.outHeight << " on "
                                   << bits << " bits";
        });
    }
}

TEST(ResampleKernels, WidensEveryByteOfRowsOfAnyWidth) {
    std::mt19937 random(5);
    for (const int width : {1, 3, 4, 5, 4001}) {
        std::vector<std::uint8_t> pixels(4 * static_cast<std::size_t>(width));
        for (std::uint8_t& byte : pixels) byte = static_cast<std::uint8_t>(random());
        std::vector<double> wanted(pixels.begin(), pixels.end());
        wanted.insert(wanted.end(), 4, -1.0);
        ForEachVectorWidth([&](int bits) {
            std::vector<double> got(pixels.size() + 4, -1.0);
            resample::WidenRow(pixels.data(), width, got.data());
            EXPECT_EQ(got, wanted) << width << " pixels on " << bits << " bits";
        });
    }
}

}  // namespace
