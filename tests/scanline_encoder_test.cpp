#include "engine/scanline_encoder.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The rows of a blank 1-bit 160 x 110 picture as stored after the length
// field: the first row in full (flags FF FF F0), then three empty flags a row.
Bytes BlankOneBitRows() {
    testsupport::ByteWriter rows;
    rows.u8(0xFF).fill(8, 0).u8(0xFF).fill(8, 0).u8(0xF0).fill(4, 0);
    for (int row = 1; row < 110; ++row) rows.fill(3, 0);
    return rows.data();
}

Bytes Encode(const Bytes& pixels, std::uint16_t rowBytes, std::uint16_t height, bool version3,
             bool littleEndian) {
    ScanlineEncoder encoder;
    encoder.encode(rowBytes, height, pixels, version3, littleEndian);
    EXPECT_EQ(encoder.blockLength(), encoder.bytes().size());
    return encoder.bytes();
}

}  // namespace

TEST(ScanlineEncoder, BlankOneBitPictureInEveryLengthFieldForm) {
    const Bytes blank(20 * 110, 0);
    EXPECT_EQ(ScanlineEncoder::estimateSize(20, 110, blank, 0), 350);
    EXPECT_EQ(ScanlineEncoder::estimateSize(20, 110, blank, 1), 351);

    // 2 + 23 + 109 x 3 = 352, already a multiple of 4.
    const Bytes rows = BlankOneBitRows();
    EXPECT_EQ(Encode(blank, 20, 110, false, false),
              testsupport::ByteWriter().u8(0x01).u8(0x60).bytes(rows).data());
    EXPECT_EQ(Encode(blank, 20, 110, false, true),
              testsupport::ByteWriter().u8(0x60).u8(0x01).bytes(rows).data());
    // 4 + 350 = 354, filled up to 356.
    EXPECT_EQ(Encode(blank, 20, 110, true, true),
              testsupport::ByteWriter().le16(356).le16(0).bytes(rows).fill(2, 0).data());
    EXPECT_EQ(Encode(blank, 20, 110, true, false),
              testsupport::ByteWriter().be16(0).be16(356).bytes(rows).fill(2, 0).data());
}

TEST(ScanlineEncoder, OnlyBytesThatDifferFromTheRowAboveAreStored) {
    // 12-byte rows: groups of 8 and 4; bits beyond a short group stay 0.
    Bytes pixels(24);
    for (int i = 0; i < 12; ++i) pixels[i] = pixels[12 + i] = static_cast<std::uint8_t>(i + 1);
    pixels[12 + 0] = 0xA0;   // group 1, bit 7
    pixels[12 + 9] = 0xA9;   // group 2, bit 6
    pixels[12 + 11] = 0xAB;  // group 2, bit 4
    const Bytes expected = testsupport::ByteWriter()
                               .be16(24)
                               .u8(0xFF)
                               .bytes({1, 2, 3, 4, 5, 6, 7, 8})
                               .u8(0xF0)
                               .bytes({9, 10, 11, 12})
                               .u8(0x80)
                               .u8(0xA0)
                               .u8(0x50)
                               .u8(0xA9)
                               .u8(0xAB)
                               .fill(3, 0)  // 21 bytes, filled up to 24
                               .data();
    EXPECT_EQ(Encode(pixels, 12, 2, false, false), expected);
    EXPECT_EQ(ScanlineEncoder::estimateSize(12, 2, pixels, 0), 19);
}

TEST(ScanlineEncoder, PicturesThatChangeEveryRowGrowBeyondTheirRawSize) {
    Bytes pixels(20 * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i / 20 + 1);
    EXPECT_EQ(ScanlineEncoder::estimateSize(20, 3, pixels, 0), 3 * (20 + 3));
    const Bytes block = Encode(pixels, 20, 3, false, false);
    EXPECT_EQ(block.size(), 72u);  // 2 + 69, filled to a multiple of 4
    EXPECT_EQ(block[71], 0);
}

TEST(ScanlineEncoder, BlockLengthIsAlwaysAMultipleOfFour) {
    for (std::uint16_t rowBytes : {1, 3, 8, 9, 17}) {
        for (std::uint16_t height : {1, 2, 5}) {
            Bytes pixels(static_cast<std::size_t>(rowBytes) * height);
            for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 % 3);
            for (bool version3 : {false, true}) {
                ScanlineEncoder encoder;
                encoder.encode(rowBytes, height, pixels, version3, true);
                EXPECT_EQ(encoder.blockLength() % 4, 0) << rowBytes << "x" << height;
                EXPECT_GE(encoder.blockLength(),
                          ScanlineEncoder::estimateSize(rowBytes, height, pixels, 0) + (version3 ? 4 : 2));
            }
        }
    }
}

TEST(ScanlineEncoder, EstimateIsCutTo16BitsAndOverlongBlocksAreRefused) {
    // 9 rows of 8000 bytes, each row new: 9 x (8000 + 1000) = 81000 bytes.
    Bytes pixels(8000 * 9);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i / 8000);
    EXPECT_EQ(ScanlineEncoder::countCompressedBytes(8000, 9, pixels, 0), 81000u);
    EXPECT_EQ(ScanlineEncoder::estimateSize(8000, 9, pixels, 0), 81000 - 65536);
    ScanlineEncoder encoder;
    EXPECT_THROW(encoder.encode(8000, 9, pixels, true, true), std::length_error);
}

TEST(ScanlineEncoder, RefusesPixelBuffersShorterThanTheRows) {
    const Bytes pixels(10);
    ScanlineEncoder encoder;
    EXPECT_THROW(encoder.encode(4, 3, pixels, false, false), std::invalid_argument);
    EXPECT_THROW(ScanlineEncoder::estimateSize(4, 3, pixels, 0), std::invalid_argument);
    EXPECT_EQ(encoder.blockLength(), 0);
}
