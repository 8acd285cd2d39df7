#include "imagelib/resample/resample_kernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using resample::BoxCount;

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

}  // namespace
