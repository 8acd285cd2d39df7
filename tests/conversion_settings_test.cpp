#include "engine/conversion_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(ConversionSettings, EachDepthHasItsListPositionAndItsStoredNumber) {
    const struct {
        ColorDepth depth;
        std::int32_t listPosition;
        std::int32_t stored;
    } cases[] = {
        {kOneBit, 0, 0},
        {kTwoBits, 1, 3},  // older builds read 3 as 8 bits
        {kFourBits, 2, 1},
        {kEightBits, 3, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        ConversionSettings settings;
        settings.depth = c.depth;
        EXPECT_EQ(settings.depthListPosition(), c.listPosition);
        EXPECT_EQ(settings.storedDepth(), c.stored);

        ConversionSettings fromList;
        fromList.chooseDepthByListPosition(c.listPosition);
        EXPECT_EQ(fromList.depth, c.depth);
        EXPECT_EQ(fromList.storedDepth(), c.stored);

        ConversionSettings fromFile;
        fromFile.chooseDepthByStoredValue(c.stored);
        EXPECT_EQ(fromFile.depth, c.depth);
        EXPECT_EQ(fromFile.depthListPosition(), c.listPosition);
        EXPECT_FALSE(fromFile.unlistedDepthPosition.has_value());
    }
}

}  // namespace
