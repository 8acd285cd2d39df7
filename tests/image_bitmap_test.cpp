#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <gtest/gtest.h>

TEST(DIBBitmap, DefaultIsSixteenBySixteenAtEightBits) {
    CDIBBitmap bitmap;
    EXPECT_EQ(bitmap.GetWidth(), 16);
    EXPECT_EQ(bitmap.GetHeight(), 16);
    EXPECT_EQ(bitmap.GetDepth(), 8);
}

TEST(DIBBitmap, LineStrideIsPaddedToFourBytes) {
    CDIBBitmap bitmap;
    bitmap.Create(5, 3, 1, false);
    EXPECT_EQ(bitmap.GetLineStride(), 4u);
    bitmap.Create(5, 3, 8, false);
    EXPECT_EQ(bitmap.GetLineStride(), 8u);
    bitmap.Create(5, 3, 32, false);
    EXPECT_EQ(bitmap.GetLineStride(), 20u);
}

TEST(DIBBitmap, RowsAreStoredBottomUpBehindHeaderAndPalette) {
    CDIBBitmap bitmap;
    bitmap.Create(3, 4, 8, false);
    const std::uint8_t* block = bitmap.GetBlock();
    EXPECT_EQ(block[0], 40);
    EXPECT_EQ(block[4], 3);
    EXPECT_EQ(block[8], 4);
    EXPECT_EQ(block[12], 1);
    EXPECT_EQ(block[14], 8);
    const std::uint8_t* rowArea = block + 40 + 256 * 4;
    EXPECT_EQ(bitmap.GetRows()[3], rowArea);
    EXPECT_EQ(bitmap.GetRows()[0], rowArea + 3 * 4);
}

TEST(DIBBitmap, NewPalettesAreGreyRamps) {
    CDIBBitmap bitmap;
    bitmap.Create(2, 2, 8, false);
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        EXPECT_EQ(bitmap.GetPalette()[i], (PaletteEntry{level, level, level, 255}));
    }
    bitmap.Create(2, 2, 1, false);
    EXPECT_EQ(bitmap.GetPalette()[0], (PaletteEntry{0, 0, 0, 255}));
    EXPECT_EQ(bitmap.GetPalette()[1], (PaletteEntry{255, 255, 255, 255}));
    bitmap.Create(2, 2, 32, false);
    EXPECT_EQ(bitmap.GetPalette(), nullptr);
}

TEST(DIBBitmap, AbsurdSizesAreRefusedAsOutOfMemory) {
    CDIBBitmap bitmap;
    for (auto [width, height] : {std::pair{0, 10}, {10, 0}, {-1, 10}, {100000, 100000}, {65536, 65536}}) {
        try {
            bitmap.Create(width, height, 32, false);
            FAIL() << width << "x" << height << " was accepted";
        } catch (const CTextException& error) {
            EXPECT_EQ(error.GetCode(), ERR_NO_MEMORY);
            EXPECT_STREQ(error.GetMessage(), "Out of memory creating bitmap.");
        }
    }
}

TEST(ImageBitmapCopy, EightBitSourceExpandsThroughPalette) {
    CMemoryBitmap source;
    source.Create(2, 1, 8, false);
    source.GetPalette()[7] = PaletteEntry{1, 2, 3, 255};
    source.GetRows()[0][0] = 7;
    source.GetRows()[0][1] = 200;
    CDIBBitmap target;
    target.CopyFrom(source, 32);
    ASSERT_EQ(target.GetDepth(), 32);
    const std::uint8_t* row = target.GetRows()[0];
    EXPECT_EQ((std::vector<int>{row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7]}),
              (std::vector<int>{1, 2, 3, 255, 200, 200, 200, 255}));
}

TEST(ImageBitmapCopy, OneBitSourceUsesItsPaletteEntries) {
    CMemoryBitmap source;
    source.Create(9, 1, 1, false);
    source.GetPalette()[0] = PaletteEntry{0, 0, 255, 255};
    source.GetPalette()[1] = PaletteEntry{255, 0, 0, 255};
    source.GetRows()[0][0] = 0x80;
    source.GetRows()[0][1] = 0x80;
    CDIBBitmap target;
    target.CopyFrom(source, 32);
    const std::uint8_t* row = target.GetRows()[0];
    EXPECT_EQ(row[0], 255);      // set bit: entry 1, blue
    EXPECT_EQ(row[4 + 2], 255);  // clear bit: entry 0, red
    EXPECT_EQ(row[8 * 4], 255);  // ninth pixel sits in the second byte
}

TEST(ImageBitmapCopy, SameDepthCopiesPixelsAndPalette) {
    CDIBBitmap source;
    source.Create(3, 2, 8, false);
    source.GetRows()[1][2] = 9;
    source.GetPalette()[9] = PaletteEntry{9, 8, 7, 255};
    CMemoryBitmap target;
    target.CopyFrom(source, 0);
    EXPECT_EQ(target.GetWidth(), 3);
    EXPECT_EQ(target.GetRows()[1][2], 9);
    EXPECT_EQ(target.GetPalette()[9], (PaletteEntry{9, 8, 7, 255}));
}
