#include "engine/palm_palette.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

namespace {

std::tuple<int, int, int> Entry(const PalmPalette& palette, int index) {
    return {palette.red(index), palette.green(index), palette.blue(index)};
}

}  // namespace

TEST(PalmPalette, GreyPalettesRunFromWhiteToBlack) {
    const PalmPalette one(1);
    ASSERT_EQ(one.count(), 2);
    EXPECT_EQ(Entry(one, 0), std::make_tuple(255, 255, 255));
    EXPECT_EQ(Entry(one, 1), std::make_tuple(0, 0, 0));

    const PalmPalette two(2);
    ASSERT_EQ(two.count(), 4);
    const int twoBitLevels[] = {255, 170, 85, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Entry(two, i), std::make_tuple(twoBitLevels[i], twoBitLevels[i], twoBitLevels[i]));

    const PalmPalette four(4);
    ASSERT_EQ(four.count(), 16);
    EXPECT_EQ(Entry(four, 1), std::make_tuple(238, 238, 238));
    EXPECT_EQ(Entry(four, 14), std::make_tuple(17, 17, 17));
    EXPECT_EQ(Entry(four, 15), std::make_tuple(0, 0, 0));
}

TEST(PalmPalette, EightBitCubePutsLightBluesFirstWithGreenInnermost) {
    const PalmPalette palette(8);
    ASSERT_EQ(palette.count(), 256);
    EXPECT_EQ(Entry(palette, 0), std::make_tuple(255, 255, 255));
    EXPECT_EQ(Entry(palette, 1), std::make_tuple(255, 204, 255));
    EXPECT_EQ(Entry(palette, 5), std::make_tuple(255, 0, 255));
    EXPECT_EQ(Entry(palette, 6), std::make_tuple(255, 255, 204));
    EXPECT_EQ(Entry(palette, 18), std::make_tuple(204, 255, 255));
    EXPECT_EQ(Entry(palette, 35), std::make_tuple(204, 0, 153));
    EXPECT_EQ(Entry(palette, 107), std::make_tuple(0, 0, 153));
    EXPECT_EQ(Entry(palette, 108), std::make_tuple(255, 255, 102));
    EXPECT_EQ(Entry(palette, 179), std::make_tuple(102, 0, 0));
    EXPECT_EQ(Entry(palette, 214), std::make_tuple(0, 51, 0));
}

TEST(PalmPalette, EightBitTailHoldsGreysSystemColorsAndBlack) {
    const PalmPalette palette(8);
    const int greys[] = {17, 34, 68, 85, 119, 136, 170, 187, 221, 238};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Entry(palette, 215 + i), std::make_tuple(greys[i], greys[i], greys[i]));
    EXPECT_EQ(Entry(palette, 225), std::make_tuple(204, 204, 204));
    EXPECT_EQ(Entry(palette, 226), std::make_tuple(136, 0, 0));
    EXPECT_EQ(Entry(palette, 227), std::make_tuple(136, 0, 136));
    EXPECT_EQ(Entry(palette, 228), std::make_tuple(0, 136, 0));
    EXPECT_EQ(Entry(palette, 229), std::make_tuple(0, 136, 136));
    for (int i = 230; i < 256; ++i) EXPECT_EQ(Entry(palette, i), std::make_tuple(0, 0, 0)) << i;
}

TEST(PalmPalette, WhiteIsFirstAndBlackIsLastGreyOrFirstBlackEntry) {
    const std::pair<int, int> blackIndex[] = {{1, 1}, {2, 3}, {4, 15}, {8, 230}};
    for (auto [depth, black] : blackIndex) {
        const PalmPalette palette(depth);
        EXPECT_EQ(palette.nearestIndex(255, 255, 255), 0) << depth;
        EXPECT_EQ(palette.nearestIndex(0, 0, 0), black) << depth;
    }
}

TEST(PalmPalette, NearestColorTiesGoToTheLowestIndex) {
    const PalmPalette eight(8);
    EXPECT_EQ(eight.nearestIndex(204, 204, 204), 25);  // also at 225
    // (119,0,0) lies 17 from both (102,0,0) at 179 and (136,0,0) at 226.
    EXPECT_EQ(eight.nearestIndex(119, 0, 0), 179);
    EXPECT_EQ(eight.nearestIndex(136, 0, 1), 226);

    const PalmPalette one(1);
    EXPECT_EQ(one.nearestIndex(128, 128, 128), 0);
    EXPECT_EQ(one.nearestIndex(127, 127, 127), 1);
}

// Every entry looked at, in index order: what nearestIndex must agree with.
int SearchEveryEntry(const PalmPalette& palette, int red, int green, int blue) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < palette.count(); ++i) {
        const long dr = red - palette.red(i);
        const long dg = green - palette.green(i);
        const long db = blue - palette.blue(i);
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

TEST(PalmPalette, NearestColorAgreesWithASearchOfEveryEntry) {
    // Every value on one channel, crossed with every ninth on the others, the
    // values either side of each half-way point between cube levels, and
    // values outside the channel range.
    std::vector<int> coarse;
    for (int value = 0; value <= 255; value += 9) coarse.push_back(value);
    coarse.insert(coarse.end(), {25, 26, 76, 77, 127, 128, 136, 178, 179, 229, 230, 255, -40, 300});
    for (int depth : {1, 2, 4, 8}) {
        const PalmPalette palette(depth);
        int mismatches = 0;
        for (int fine = -3; fine <= 258; ++fine)
            for (int a : coarse)
                for (int b : coarse) {
                    const int colors[3][3] = {{fine, a, b}, {a, fine, b}, {a, b, fine}};
                    for (const auto& c : colors)
                        if (palette.nearestIndex(c[0], c[1], c[2]) !=
                                SearchEveryEntry(palette, c[0], c[1], c[2]) &&
                            ++mismatches <= 5)
                            ADD_FAILURE()
                                << "depth " << depth << " colour " << c[0] << "," << c[1] << "," << c[2];
                }
        EXPECT_EQ(mismatches, 0) << depth;
    }
}

TEST(PalmPalette, RefusesDepthsWithoutAPalette) {
    for (int depth : {0, 3, 16, 32}) EXPECT_THROW(PalmPalette{depth}, std::invalid_argument) << depth;
}
