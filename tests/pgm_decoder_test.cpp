#include "imagelib/decoders/pgm_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/decoding.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using testsupport::ByteWriter;

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

void Decode(const std::vector<std::uint8_t>& file, CImageBitmap& bitmap, int wantedDepth = 32) {
    testsupport::DecodeBytes<CPGMDecoder>(file, bitmap, wantedDepth);
}

// The grey level of a pixel of a 32-bit bitmap, checking it is an opaque grey.
int GreyAt(const CImageBitmap& bitmap, int x, int y) {
    const std::uint8_t* pixel = bitmap.GetRows()[y] + 4 * x;
    EXPECT_EQ(pixel[0], pixel[1]);
    EXPECT_EQ(pixel[1], pixel[2]);
    EXPECT_EQ(pixel[3], 255);
    return pixel[0];
}

std::vector<int> AllGreys(const CImageBitmap& bitmap) {
    std::vector<int> levels;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) levels.push_back(GreyAt(bitmap, x, y));
    return levels;
}

const auto ExpectFailure = testsupport::ExpectDecodeFailure<CPGMDecoder>;

const char kEndOfFile[] = "End of file reached while decoding.\n";

}  // namespace

TEST(PGMDecoder, RawBlackAndWhitePixels) {
    CDIBBitmap bitmap;
    Decode(ByteWriter().text("P5 2 1 255 ").u8(0x00).u8(0xFF).data(), bitmap);
    ASSERT_EQ(bitmap.GetWidth(), 2);
    ASSERT_EQ(bitmap.GetHeight(), 1);
    EXPECT_EQ(bitmap.GetDepth(), 32);
    EXPECT_FALSE(bitmap.HasAlphaChannel());
    EXPECT_EQ(AllGreys(bitmap), (std::vector<int>{0, 255}));
}

TEST(PGMDecoder, WantedDepthZeroGivesEightBitsWithGreyPalette) {
    CDIBBitmap bitmap;
    Decode(ByteWriter().text("P5\n3 2\n15\n").bytes({0, 1, 7, 15, 3, 8}).data(), bitmap, 0);
    ASSERT_EQ(bitmap.GetDepth(), 8);
    const std::vector<std::uint8_t> top(bitmap.GetRows()[0], bitmap.GetRows()[0] + 3);
    const std::vector<std::uint8_t> bottom(bitmap.GetRows()[1], bitmap.GetRows()[1] + 3);
    EXPECT_EQ(top, (std::vector<std::uint8_t>{0, 17, 119}));
    EXPECT_EQ(bottom, (std::vector<std::uint8_t>{255, 51, 136}));
    EXPECT_EQ(bitmap.GetPalette()[119], (PaletteEntry{119, 119, 119, 255}));
}

TEST(PGMDecoder, RawSamplesAreScaledToTheMaximum) {
    CDIBBitmap bitmap;
    // Samples above the maximum wrap around: 16 * 255 / 15 = 272 becomes 16.
    Decode(ByteWriter().text("P5 4 1 15\n").bytes({15, 7, 0, 16}).data(), bitmap);
    EXPECT_EQ(AllGreys(bitmap), (std::vector<int>{255, 119, 0, 16}));
}

TEST(PGMDecoder, MaximumOfZeroIsTakenAs255) {
    CDIBBitmap bitmap;
    Decode(ByteWriter().text("P5 2 1 0\n").bytes({0x80, 0x01}).data(), bitmap);
    EXPECT_EQ(AllGreys(bitmap), (std::vector<int>{128, 1}));
}

TEST(PGMDecoder, RampsAtEveryMaximumScaleTo8Bits) {
    const struct {
        int maximum;
        std::vector<int> expected;
    } cases[] = {
        {255, {0, 63, 127, 191, 255}}, {1023, {0, 64, 127, 191, 255}}, {65535, {0, 64, 127, 191, 255}}};
    for (const auto& c : cases) {
        const int maximum = c.maximum;
        const std::vector<int> ramp = {0, maximum / 4, maximum / 2, maximum * 3 / 4, maximum};
        ByteWriter raw;
        raw.text("P5 5 1 " + std::to_string(maximum) + "\n");
        std::string plain = "P2 5 1 " + std::to_string(maximum);
        for (int sample : ramp) {
            if (maximum > 255)
                raw.be16(sample);
            else
                raw.u8(sample);
            plain += " " + std::to_string(sample);
        }
        CDIBBitmap bitmap;
        Decode(raw.data(), bitmap);
        EXPECT_EQ(AllGreys(bitmap), c.expected) << "P5 " << maximum;
        Decode(Bytes(plain), bitmap);
        EXPECT_EQ(AllGreys(bitmap), c.expected) << "P2 " << maximum;
    }
    // Two-byte samples need two bytes each, and may not exceed the maximum.
    ExpectFailure(ByteWriter().text("P5 2 1 1023\n").bytes({0x80, 0x01}).data(), ERR_END_OF_FILE, kEndOfFile);
    ExpectFailure(ByteWriter().text("P5 1 1 1023\n").be16(1024).data(), ERR_FORMAT_UNKNOWN,
                  "Decoder error: PGM decoder: Sample value above the maximum.\n");
    ExpectFailure(Bytes("P2 1 1 65536 7"), ERR_FORMAT_UNKNOWN,
                  "Decoder error: PGM decoder: Can't handle maximum value 65536.\n");
}

TEST(PGMDecoder, PlainSamplesOverSeveralLinesWithTabsAndCommentsMatchOneLine) {
    CDIBBitmap oneLine;
    Decode(Bytes("P2 3 2 255 0 10 20 30 40 255\n"), oneLine);
    CDIBBitmap spread;
    Decode(
        Bytes("P2\n# made by hand\n3\t# width\n# the height follows\n2\n255\n0\t10\r\n 20\n\n30 \t40\n255\n"),
        spread);
    EXPECT_EQ(AllGreys(oneLine), (std::vector<int>{0, 10, 20, 30, 40, 255}));
    EXPECT_EQ(AllGreys(spread), AllGreys(oneLine));
}

TEST(PGMDecoder, PlainSamplesAreScaledToTheMaximum) {
    CDIBBitmap bitmap;
    Decode(Bytes("P2 3 1 15 15 7 1\n"), bitmap);
    EXPECT_EQ(AllGreys(bitmap), (std::vector<int>{255, 119, 17}));
}

TEST(PGMDecoder, PlainLetterGivesZeroForItAndEveryLaterSample) {
    CDIBBitmap bitmap;
    Decode(Bytes("P2 4 1 255 200 x7 100 50\n"), bitmap);
    EXPECT_EQ(AllGreys(bitmap), (std::vector<int>{200, 0, 0, 0}));
}

TEST(PGMDecoder, PlainFilesTooShortForOneDigitPerSampleAreRefusedBeforeAllocating) {
    // Found by fuzzing: a stray byte reads as 0 for every later sample, so
    // these few bytes would otherwise make pictures of up to 848 million
    // pixels.
    ExpectFailure(Bytes("P241220\n 1225\n0\t11\r1220\n\x8b"), ERR_END_OF_FILE, kEndOfFile);
    ExpectFailure(Bytes("P2   4515 4515 2851\x10x7"), ERR_END_OF_FILE, kEndOfFile);
    ExpectFailure(ByteWriter()
                      .text("P2\n#bhy\n38101\n\t# w\n22255\n\t40\n2w11 2\t44\n45 2\t")
                      .bytes({0, 0, '\n', '2', 0xC2, '5', '\n'})
                      .data(),
                  ERR_END_OF_FILE, kEndOfFile);
    // Exactly one byte per sample is enough.
    CDIBBitmap bitmap;
    Decode(Bytes("P2 3 1 255 7x1"), bitmap);
    EXPECT_EQ(AllGreys(bitmap), (std::vector<int>{7, 0, 0}));
}

TEST(PGMDecoder, PlainFileMayEndRightAfterItsLastDigit) {
    CDIBBitmap bitmap;
    Decode(Bytes("P2 2 1 255 12 34"), bitmap);
    EXPECT_EQ(AllGreys(bitmap), (std::vector<int>{12, 34}));
}

TEST(PGMDecoder, WrongIdentifierIsRejected) {
    const std::string message = "Decoder error: PGM decoder: Is not the correct identifier P5 or P2.\n";
    for (const char* file : {"P6 1 1 255 x", "P3 1 1 255 1", "Q5 1 1 255 x", "p5 1 1 255 x"})
        ExpectFailure(Bytes(file), ERR_FORMAT_UNKNOWN, message);
}

TEST(PGMDecoder, UnexpectedHeaderByteEndsTheDecode) {
    ExpectFailure(Bytes("P5 2 x1 255 ab"), ERR_FORMAT_UNKNOWN,
                  "Decoder error: PGM decoder: Unexpected character 0x78 in header.\n");
    ExpectFailure(Bytes("P2 2 1 -255 1 2"), ERR_FORMAT_UNKNOWN,
                  "Decoder error: PGM decoder: Unexpected character 0x2D in header.\n");
    // Without the check this header would be searched for a digit to the end.
    ExpectFailure(ByteWriter().text("P5 2 1 ").fill(1000, 0).data(), ERR_FORMAT_UNKNOWN,
                  "Decoder error: PGM decoder: Unexpected character 0x00 in header.\n");
}

TEST(PGMDecoder, TruncatedFilesEndWithEndOfFile) {
    for (const char* file : {"P", "P5", "P5 2 1", "P5 2 1 255", "P5 2 1 255 a", "P2 2 2 255 1 2 3"})
        ExpectFailure(Bytes(file), ERR_END_OF_FILE, kEndOfFile);
}

TEST(PGMDecoder, OverflowingNumbersAreErrors) {
    ExpectFailure(Bytes("P5 99999999999 1 255 "), ERR_FORMAT_UNKNOWN,
                  "Decoder error: PGM decoder: Number in header is too large.\n");
    ExpectFailure(Bytes("P2 1 1 255 2147483648\n"), ERR_UNSUPPORTED_DATA,
                  "Decoder error: PGM decoder: Sample value is too large.\n");
    // The largest number that fits is still a sample (and wraps like any other).
    CDIBBitmap bitmap;
    Decode(Bytes("P2 1 1 255 2147483647\n"), bitmap);
    EXPECT_EQ(AllGreys(bitmap), (std::vector<int>{255}));
}

TEST(PGMDecoder, ZeroAndAbsurdSizesAreRejectedBeforeAllocating) {
    ExpectFailure(Bytes("P5 0 1 255 "), ERR_FORMAT_UNKNOWN,
                  "Decoder error: PGM decoder: Can't handle image size 0 x 1.\n");
    ExpectFailure(Bytes("P5 70000 1 255 "), ERR_FORMAT_UNKNOWN,
                  "Decoder error: PGM decoder: Can't handle image size 70000 x 1.\n");
    // A plausible size with too little data fails on the data, not on memory.
    ExpectFailure(Bytes("P5 60000 60000 255 abc"), ERR_END_OF_FILE, kEndOfFile);
}
