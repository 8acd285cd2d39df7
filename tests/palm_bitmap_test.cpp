#include "engine/palm_bitmap.h"

#include "engine/output_file.h"
#include "imagelib/image_bitmap.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// What `write` puts into a fresh file.
Bytes Written(const std::function<void(OutputFile&)>& write) {
    testsupport::TemporaryFolder folder;
    const auto path = folder / "bitmap.bin";
    OutputFile file;
    EXPECT_TRUE(file.open(path.string()));
    write(file);
    file.close();
    return testsupport::ReadFileBytes(path);
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

// 8 x 3 at 8 bits: row 1 changes bytes 2 and 7 of row 0, row 2 repeats row 1.
template <class Bitmap>
void FillSmallPicture(Bitmap& bitmap) {
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 0x33, 4, 5, 6, 7, 0x77, 1, 2, 0x33, 4, 5, 6, 7, 0x77};
    std::copy(pixels.begin(), pixels.end(), bitmap.pixels().begin());
}

}  // namespace

TEST(PalmBitmap, ConstructionChecksDepthAndWholeFourByteRows) {
    const PalmBitmapV2 oneBit(1, 160, 110, false);
    EXPECT_EQ(oneBit.rowBytes(), 20);
    EXPECT_EQ(oneBit.rawLength(), 2200u);
    EXPECT_EQ(oneBit.palette().depth(), 1);
    const PalmBitmapV3 eightBit(8, 320, 220, PalmBitmapV3::kDoubleDensity);
    EXPECT_EQ(eightBit.rowBytes(), 320);
    EXPECT_EQ(eightBit.rawLength(), 70400u);

    EXPECT_THROW(PalmBitmapV2(3, 160, 110, false), std::invalid_argument);
    EXPECT_THROW(PalmBitmapV2(8, 0, 110, false), std::invalid_argument);
    EXPECT_THROW(PalmBitmapV2(8, 160, 0, false), std::invalid_argument);
    EXPECT_THROW(PalmBitmapV3(1, 16, 2, 144), std::invalid_argument);  // 2-byte rows
    EXPECT_NO_THROW(PalmBitmapV3(8, 4, 1, 144));
}

TEST(PalmBitmapV2, HeaderFollowsTheByteOrderAndMarksLittleEndianByVersion) {
    PalmBitmapV2 bigEndian(1, 160, 110, false);
    PalmBitmapV2 littleEndian(1, 160, 110, true);
    const Bytes big = Written([&](OutputFile& file) { bigEndian.writeTo(file, false, kCompressionNone); });
    const Bytes little =
        Written([&](OutputFile& file) { littleEndian.writeTo(file, false, kCompressionNone); });
    ASSERT_EQ(big.size(), 16u + 2200u);
    EXPECT_EQ(Slice(big, 0, 16), (Bytes{0x00, 0xA0, 0x00, 0x6E, 0x00, 0x14, 0, 0, 1, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(little, 0, 16),
              (Bytes{0xA0, 0x00, 0x6E, 0x00, 0x14, 0x00, 0, 0, 1, 130, 0, 0, 0, 0, 0, 0}));
}

TEST(PalmBitmapV2, NextBitmapOffsetPointsBehindThePayloadInFourByteUnits) {
    PalmBitmapV2 preImage(1, 160, 110, false);
    Bytes bytes = Written([&](OutputFile& file) { preImage.writeTo(file, true, kCompressionNone); });
    EXPECT_EQ(Slice(bytes, 10, 2), (Bytes{0x02, 0x2A}));  // 2200 / 4 + 4 = 554

    PalmBitmapV2 half(8, 160, 55, true);
    bytes = Written([&](OutputFile& file) { half.writeTo(file, true, kCompressionNone); });
    EXPECT_EQ(Slice(bytes, 10, 2), (Bytes{0x9C, 0x08}));  // 8800 / 4 + 4 = 2204

    // A blank 1-bit picture compresses to a 352-byte block: 352 / 4 + 4 = 92.
    bytes = Written([&](OutputFile& file) { preImage.writeTo(file, true, kCompressionScanline); });
    ASSERT_EQ(bytes.size(), 16u + 352u);
    EXPECT_EQ(Slice(bytes, 0, 18),
              (Bytes{0x00, 0xA0, 0x00, 0x6E, 0x00, 0x14, 0x80, 0, 1, 2, 0x00, 0x5C, 0, 0, 0, 0, 0x01, 0x60}));
}

TEST(PalmBitmapV2, CompressedLittleEndianBitmapSetsBitZeroOfTheFlagByte) {
    PalmBitmapV2 bitmap(8, 8, 3, true);
    FillSmallPicture(bitmap);
    const Bytes bytes =
        Written([&](OutputFile& file) { bitmap.writeTo(file, false, kCompressionMostEfficient); });
    const Bytes expected = testsupport::ByteWriter()
                               .bytes({8, 0, 3, 0, 8, 0, 0x01, 0, 8, 130, 0, 0, 0, 0, 0, 0})
                               .le16(16)  // 2 + 9 + 3 + 1 = 15, filled to 16
                               .bytes({0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0x21, 0x33, 0x77, 0x00})
                               .fill(1, 0)
                               .data();
    EXPECT_EQ(bytes, expected);
    EXPECT_TRUE(bitmap.compressed());
}

TEST(PalmBitmapV3, GoldenLittleEndianBitmapRawAndCompressed) {
    PalmBitmapV3 bitmap(8, 8, 3, PalmBitmapV3::kDoubleDensity);
    FillSmallPicture(bitmap);
    const Bytes header = {8, 0, 3, 0, 8, 0, 0x00, 0, 8, 131, 24, 0, 0, 0, 0x90, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};

    const Bytes raw = Written([&](OutputFile& file) { bitmap.writeTo(file, false, kCompressionNone); });
    Bytes expected = testsupport::ByteWriter().bytes(header).data();
    expected.insert(expected.end(), bitmap.pixels().begin(), bitmap.pixels().end());
    EXPECT_EQ(raw, expected);
    EXPECT_FALSE(bitmap.compressed());

    Bytes compressedHeader = header;
    compressedHeader[6] = 0x01;
    expected = testsupport::ByteWriter()
                   .bytes(compressedHeader)
                   .bytes({0x14, 0x00, 0x00, 0x00})  // 4 + 9 + 3 + 1 = 17, filled to 20
                   .bytes({0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0x21, 0x33, 0x77, 0x00})
                   .fill(3, 0)
                   .data();
    EXPECT_EQ(Written([&](OutputFile& file) { bitmap.writeTo(file, false, kCompressionScanline); }),
              expected);
    EXPECT_TRUE(bitmap.compressed());
    // The estimate (1 + 13 = 14) is below the raw 24 bytes.
    EXPECT_EQ(Written([&](OutputFile& file) { bitmap.writeTo(file, false, kCompressionMostEfficient); }),
              expected);
}

TEST(PalmBitmap, MostEfficientKeepsRawDataWhenTheEstimateIsNotSmaller) {
    // Row 1 changes 5 of 8 bytes: 9 + 6 = 15 counted bytes against 16 raw.
    // Version 3 starts its count at 1, reaches 16, and stays raw.
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9, 9, 6, 7, 8};
    PalmBitmapV2 version2(8, 8, 2, false);
    PalmBitmapV3 version3(8, 8, 2, PalmBitmapV3::kDoubleDensity);
    std::copy(pixels.begin(), pixels.end(), version2.pixels().begin());
    std::copy(pixels.begin(), pixels.end(), version3.pixels().begin());
    Written([&](OutputFile& file) { version2.writeTo(file, false, kCompressionMostEfficient); });
    const Bytes bytes =
        Written([&](OutputFile& file) { version3.writeTo(file, false, kCompressionMostEfficient); });
    EXPECT_TRUE(version2.compressed());
    EXPECT_FALSE(version3.compressed());
    EXPECT_EQ(bytes.size(), 24u + 16u);
}

TEST(PalmBitmap, UnknownCompressionModesWriteRawPixels) {
    PalmBitmapV2 bitmap(1, 160, 110, false);
    for (int mode : {2, -1, 98, 100}) {
        Written([&](OutputFile& file) { bitmap.writeTo(file, false, kCompressionScanline); });
        ASSERT_TRUE(bitmap.compressed());
        const Bytes bytes = Written([&](OutputFile& file) { bitmap.writeTo(file, false, mode); });
        EXPECT_FALSE(bitmap.compressed()) << mode;
        EXPECT_EQ(bytes.size(), 16u + 2200u) << mode;
        EXPECT_EQ(bytes[6], 0x00) << mode;
    }
}

TEST(PalmBitmap, RefusesWritesTheFormatCannotExpress) {
    PalmBitmapV3 full(8, 320, 220, PalmBitmapV3::kDoubleDensity);  // 70400 raw bytes
    EXPECT_THROW(Written([&](OutputFile& file) { full.writeTo(file, false, kCompressionNone); }),
                 std::length_error);
    PalmBitmapV3 half(8, 320, 110, PalmBitmapV3::kDoubleDensity);
    EXPECT_THROW(Written([&](OutputFile& file) { half.writeTo(file, true, kCompressionNone); }),
                 std::invalid_argument);
}

TEST(PalmBitmap, SplitHalvesGivesTheTopAndBottomRows) {
    PalmBitmapV3 full(8, 320, 220, PalmBitmapV3::kDoubleDensity);
    for (std::size_t i = 0; i < full.rawLength(); ++i) full.pixels()[i] = static_cast<std::uint8_t>(i / 320);
    PalmBitmapV3 top(8, 320, 110, PalmBitmapV3::kDoubleDensity);
    PalmBitmapV3 bottom(8, 320, 110, PalmBitmapV3::kDoubleDensity);
    full.splitHalves(top, bottom);
    ASSERT_EQ(top.rawLength(), 35200u);
    EXPECT_EQ(top.pixels()[0], 0);
    EXPECT_EQ(top.pixels()[35199], 109);
    EXPECT_EQ(bottom.pixels()[0], 110);
    EXPECT_EQ(bottom.pixels()[35199], 219);

    PalmBitmapV2 low(4, 160, 110, true);
    PalmBitmapV2 wrongHeight(4, 160, 54, true);
    PalmBitmapV2 wrongDepth(8, 160, 55, true);
    PalmBitmapV2 lowHalf(4, 160, 55, true);
    EXPECT_THROW(low.splitHalves(wrongHeight, lowHalf), std::invalid_argument);
    EXPECT_THROW(low.splitHalves(lowHalf, wrongDepth), std::invalid_argument);
    EXPECT_THROW(low.splitHalves(lowHalf, lowHalf), std::invalid_argument);
}

TEST(PalmBitmap, LoadFromBitmapNeedsAThirtyTwoBitPictureOfExactlyItsSize) {
    PalmBitmapV2 bitmap(1, 32, 2, false);
    std::fill(bitmap.pixels().begin(), bitmap.pixels().end(), 0x5A);
    CDIBBitmap picture;
    picture.Create(32, 3, 32, false);
    EXPECT_FALSE(bitmap.loadFromBitmap(picture, 0));
    picture.Create(32, 2, 8, false);
    EXPECT_FALSE(bitmap.loadFromBitmap(picture, 0));
    EXPECT_EQ(bitmap.pixels()[0], 0x5A);

    picture.Create(32, 2, 32, false);
    for (int y = 0; y < 2; ++y) std::fill_n(picture.GetRows()[y], 32 * 4, std::uint8_t{0});  // black
    ASSERT_TRUE(bitmap.loadFromBitmap(picture, 0));
    EXPECT_TRUE(
        std::all_of(bitmap.pixels().begin(), bitmap.pixels().end(), [](auto b) { return b == 0xFF; }));
}
