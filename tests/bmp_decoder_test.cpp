#include "imagelib/decoders/bmp_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

using testsupport::ByteWriter;

// Colours as 0xRRGGBB; decoded 32-bit pixels compare as 0xAARRGGBB.
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kBlue = 0xFF0000FF;

// The parts of a bitmap file; BuildBmp lays them out like a writer would.
struct BmpFile {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::int64_t coloursUsed = -1;       // -1: the number of table entries
    std::vector<std::uint32_t> table{};  // 0xRRGGBB entries
    std::vector<std::uint32_t> masks{};  // red, green, blue; right after the first 40 header bytes
    std::size_t gap = 0;                 // bytes between the table and the pixels
    std::int64_t pixelOffset = -1;       // -1: where the pixels really start
    std::vector<std::uint8_t> pixels{};
};

std::vector<std::uint8_t> BuildBmp(const BmpFile& file) {
    ByteWriter out;
    out.text("BM").le32(0).le16(0).le16(0).le32(0);
    out.le32(file.headerSize).le32(static_cast<std::uint32_t>(file.width));
    out.le32(static_cast<std::uint32_t>(file.height)).le16(1).le16(file.bitCount);
    const auto coloursUsed =
        file.coloursUsed >= 0 ? file.coloursUsed : static_cast<std::int64_t>(file.table.size());
    out.le32(file.compression)
        .le32(0)
        .le32(2835)
        .le32(2835)
        .le32(static_cast<std::uint32_t>(coloursUsed))
        .le32(0);
    for (std::uint32_t mask : file.masks) out.le32(mask);
    if (out.size() < 14 + file.headerSize) out.fill(14 + file.headerSize - out.size(), 0);
    for (std::uint32_t colour : file.table) out.u8(colour).u8(colour >> 8).u8(colour >> 16).u8(0);
    out.fill(file.gap, 0xEE);
    out.patchLe32(10, file.pixelOffset >= 0 ? static_cast<std::uint32_t>(file.pixelOffset)
                                            : static_cast<std::uint32_t>(out.size()));
    out.bytes(file.pixels);
    out.patchLe32(2, static_cast<std::uint32_t>(out.size()));
    return out.data();
}

void Decode(const std::vector<std::uint8_t>& bytes, CImageBitmap& bitmap, int wantedDepth = 32) {
    CBMPDecoder decoder;
    decoder.DecodeMemory(bytes.data(), static_cast<std::int64_t>(bytes.size()), bitmap, wantedDepth);
}

std::uint32_t Pixel(const CImageBitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.GetRows()[y] + 4 * x;
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Every pixel, top row first.
std::vector<std::uint32_t> Pixels(const CImageBitmap& bitmap) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) pixels.push_back(Pixel(bitmap, x, y));
    return pixels;
}

std::vector<std::uint32_t> DecodePixels(const BmpFile& file) {
    CDIBBitmap bitmap;
    Decode(BuildBmp(file), bitmap);
    return Pixels(bitmap);
}

void ExpectDecodeError(const std::vector<std::uint8_t>& bytes, int code, const std::string& text) {
    CDIBBitmap bitmap;
    try {
        Decode(bytes, bitmap);
        ADD_FAILURE() << "decoded, expected code " << code;
    } catch (const CTextException& error) {
        EXPECT_EQ(error.GetCode(), code);
        EXPECT_EQ(std::string(error.GetMessage()), text);
    }
}

const char kEndOfFile[] = "End of file reached while decoding.\n";

BmpFile EightBitFile(std::int32_t width, std::int32_t height, std::vector<std::uint8_t> pixels) {
    BmpFile file;
    file.width = width;
    file.height = height;
    file.bitCount = 8;
    file.table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    file.pixels = std::move(pixels);
    return file;
}

}  // namespace

TEST(BmpDecoder, RejectsDataWithoutTheSignature) {
    auto bytes = BuildBmp(BmpFile{.pixels = {1, 2, 3, 0}});
    bytes[0] = 'X';
    ExpectDecodeError(bytes, ERR_WRONG_SIGNATURE, "Decoder error: Bitmap decoder: This isn't a bitmap.\n");
}

TEST(BmpDecoder, RejectsInfoHeadersShorterThan40Bytes) {
    for (std::uint32_t size : {0u, 12u, 16u, 39u}) {
        ExpectDecodeError(BuildBmp(BmpFile{.headerSize = size, .pixels = std::vector<std::uint8_t>(60)}),
                          ERR_FORMAT_UNKNOWN,
                          "Decoder error: Bitmap decoder: BITMAPINFOHEADER has wrong size.\n");
    }
}

TEST(BmpDecoder, RejectsIllegalBitCounts) {
    for (std::uint16_t bitCount : {0, 2, 3, 12, 33, 64}) {
        BmpFile file{.bitCount = bitCount, .table = {0, 0, 0, 0}, .pixels = std::vector<std::uint8_t>(16)};
        ExpectDecodeError(BuildBmp(file), ERR_FORMAT_UNKNOWN,
                          "Decoder error: Decoding bmp: Illegal bpp value.\n");
    }
}

TEST(BmpDecoder, RejectsAbsurdDimensionsBeforeAllocating) {
    for (auto [width, height] : {std::pair{0, 1}, {1, 0}, {-4, 1}, {70000, 1}, {1, 70000}, {1, INT_MIN}}) {
        BmpFile file{.width = width, .height = height, .pixels = std::vector<std::uint8_t>(16)};
        CDIBBitmap bitmap;
        try {
            Decode(BuildBmp(file), bitmap);
            ADD_FAILURE() << width << "x" << height;
        } catch (const CTextException& error) {
            EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN) << width << "x" << height;
            EXPECT_NE(std::string(error.GetMessage()).find("out of range"), std::string::npos);
        }
    }
}

TEST(BmpDecoder, TruncatedPixelDataEndsInEndOfFileWithoutAllocatingThePicture) {
    // 60000 x 4000 pixels at 24 bits would be 720 MB; the file holds 3 bytes.
    ExpectDecodeError(BuildBmp(BmpFile{.width = 60000, .height = 4000, .pixels = {1, 2, 3}}), ERR_END_OF_FILE,
                      kEndOfFile);
    // One byte short of the last row's padding.
    ExpectDecodeError(BuildBmp(BmpFile{.width = 3, .height = 2, .pixels = std::vector<std::uint8_t>(23)}),
                      ERR_END_OF_FILE, kEndOfFile);
}

TEST(BmpDecoder, OneBitPixelsTakeTheirColoursFromTheTable) {
    // 10 pixels wide: two data bytes and two padding bytes per row.
    BmpFile file{.width = 10,
                 .height = 2,
                 .bitCount = 1,
                 .pixels = {0b10100000, 0b01000000, 0xEE, 0xEE,  //
                            0b01010000, 0b10000000, 0xEE, 0xEE}};
    auto expected = [](std::uint32_t clear, std::uint32_t set) {
        std::vector<std::uint32_t> pixels;
        for (std::uint32_t bit : {0u, 1u, 0u, 1u, 0u, 0u, 0u, 0u, 1u, 0u})
            pixels.push_back(bit ? set : clear);
        for (std::uint32_t bit : {1u, 0u, 1u, 0u, 0u, 0u, 0u, 0u, 0u, 1u})
            pixels.push_back(bit ? set : clear);
        return pixels;
    };
    file.table = {0x000000, 0xFFFFFF};
    EXPECT_EQ(DecodePixels(file), expected(kBlack, kWhite));
    // A white-then-black table is not inverted, and coloured tables keep their colours.
    file.table = {0xFFFFFF, 0x000000};
    EXPECT_EQ(DecodePixels(file), expected(kWhite, kBlack));
    file.table = {0xFF0000, 0x0000FF};
    EXPECT_EQ(DecodePixels(file), expected(kRed, kBlue));
}

TEST(BmpDecoder, OneBitAtChosenDepthKeepsTheBitsAsIndices) {
    BmpFile file{.width = 3,
                 .height = 1,
                 .bitCount = 1,
                 .table = {0xFF0000, 0x00FF00},
                 .pixels = {0b10100000, 0, 0, 0}};
    CDIBBitmap bitmap;
    Decode(BuildBmp(file), bitmap, 0);
    ASSERT_EQ(bitmap.GetDepth(), 8);
    EXPECT_EQ(bitmap.GetRows()[0][0], 1);
    EXPECT_EQ(bitmap.GetRows()[0][1], 0);
    EXPECT_EQ(bitmap.GetRows()[0][2], 1);
    EXPECT_EQ(bitmap.GetPalette()[0], (PaletteEntry{0, 0, 255, 255}));
    EXPECT_EQ(bitmap.GetPalette()[1], (PaletteEntry{0, 255, 0, 255}));
    EXPECT_EQ(bitmap.GetPalette()[2], (PaletteEntry{0, 0, 0, 255}));
}

TEST(BmpDecoder, FourBitRowsUseHighNibbleFirstAndSkipPadding) {
    BmpFile file{.width = 3,
                 .height = 2,
                 .bitCount = 4,
                 .table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
                 .pixels = {0x12, 0x30, 0xEE, 0xEE, 0x21, 0x00, 0xEE, 0xEE}};
    EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kGreen, kRed, kBlack, kRed, kGreen, kBlue}));
}

TEST(BmpDecoder, EightBitRowsAreStoredBottomUp) {
    const auto file = EightBitFile(3, 2, {1, 2, 3, 0xEE, 0, 1, 2, 0xEE});
    EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kBlack, kRed, kGreen, kRed, kGreen, kBlue}));
}

TEST(BmpDecoder, NegativeHeightMeansRowsAreStoredTopDown) {
    auto file = EightBitFile(3, -2, {1, 2, 3, 0xEE, 0, 1, 2, 0xEE});
    EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kRed, kGreen, kBlue, kBlack, kRed, kGreen}));
    BmpFile trueColour{.width = 1, .height = -2, .pixels = {1, 2, 3, 0, 4, 5, 6, 0}};
    EXPECT_EQ(DecodePixels(trueColour), (std::vector<std::uint32_t>{0xFF030201, 0xFF060504}));
}

TEST(BmpDecoder, EightBitAtChosenDepthCopiesTheWholeTable) {
    auto file = EightBitFile(2, 1, {3, 200, 0, 0});
    CDIBBitmap bitmap;
    Decode(BuildBmp(file), bitmap, 0);
    ASSERT_EQ(bitmap.GetDepth(), 8);
    EXPECT_EQ(bitmap.GetRows()[0][0], 3);
    EXPECT_EQ(bitmap.GetRows()[0][1], 200);
    EXPECT_EQ(bitmap.GetPalette()[3], (PaletteEntry{255, 0, 0, 255}));
    // Indices beyond the table are opaque black rather than whatever was there.
    EXPECT_EQ(bitmap.GetPalette()[200], (PaletteEntry{0, 0, 0, 255}));
}

TEST(BmpDecoder, ColourTableFollowsTheWholeInfoHeader) {
    for (std::uint32_t headerSize : {52u, 108u, 124u}) {
        auto file = EightBitFile(2, 1, {1, 3, 0, 0});
        file.headerSize = headerSize;
        EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kRed, kBlue})) << headerSize;
    }
}

TEST(BmpDecoder, ColourCountsAboveTheDepthAndAbove256AreReadPast) {
    auto file = EightBitFile(2, 1, {1, 3, 0, 0});
    file.coloursUsed = 300;
    file.table.resize(300, 0x123456);
    EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kRed, kBlue}));

    BmpFile small{.width = 2,
                  .height = 1,
                  .bitCount = 1,
                  .coloursUsed = 1,
                  .table = {0x00FF00},
                  .pixels = {0b01000000, 0, 0, 0}};
    EXPECT_EQ(DecodePixels(small), (std::vector<std::uint32_t>{kGreen, kBlack}));
}

TEST(BmpDecoder, ColourTableRunningPastTheDataEndsInEndOfFile) {
    auto file = EightBitFile(2, 1, {1, 3, 0, 0});
    file.coloursUsed = 0x40000000;
    ExpectDecodeError(BuildBmp(file), ERR_END_OF_FILE, kEndOfFile);
}

TEST(BmpDecoder, PixelDataIsFoundByItsOffset) {
    auto file = EightBitFile(2, 1, {1, 3, 0, 0});
    file.gap = 37;
    EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kRed, kBlue}));
    // A writer that declares a full table but stores two entries points the
    // pixels into the declared table.
    auto shortTable = EightBitFile(2, 1, {1, 0, 0, 0});
    shortTable.table = {0x000000, 0xFF0000};
    shortTable.coloursUsed = 0;
    shortTable.pixels.resize(1024, 0);
    EXPECT_EQ(DecodePixels(shortTable), (std::vector<std::uint32_t>{kRed, kBlack}));
    BmpFile trueColour{.headerSize = 124, .width = 1, .height = 1, .gap = 9, .pixels = {1, 2, 3, 0}};
    EXPECT_EQ(DecodePixels(trueColour), (std::vector<std::uint32_t>{0xFF030201}));
}

TEST(BmpDecoder, PixelOffsetsInsideTheHeadersOrPastTheDataAreErrors) {
    const char kInsideHeaders[] =
        "Decoder error: Bitmap decoder: Pixel data offset points into the headers.\n";
    for (std::int64_t offset : {0, 14, 53}) {
        ExpectDecodeError(BuildBmp(BmpFile{.pixelOffset = offset, .pixels = std::vector<std::uint8_t>(64)}),
                          ERR_FORMAT_UNKNOWN, kInsideHeaders);
    }
    ExpectDecodeError(
        BuildBmp(BmpFile{.headerSize = 108, .pixelOffset = 100, .pixels = std::vector<std::uint8_t>(64)}),
        ERR_FORMAT_UNKNOWN, kInsideHeaders);
    ExpectDecodeError(BuildBmp(BmpFile{.pixelOffset = 0xFFFFFFF0, .pixels = {1, 2, 3, 0}}), ERR_END_OF_FILE,
                      kEndOfFile);
}

TEST(BmpDecoder, SixteenBitPixelsAreFiveFiveFiveOrFiveSixFiveByTheGreenMask) {
    // One word with every channel at its top value but one bit, no replication into the low bits.
    const std::vector<std::uint8_t> word555 = {0xFF, 0x7F, 0, 0};  // 0x7FFF
    const std::vector<std::uint8_t> word565 = {0xFF, 0xFF, 0, 0};  // 0xFFFF
    BmpFile plain{.bitCount = 16, .pixels = word555};
    EXPECT_EQ(DecodePixels(plain), (std::vector<std::uint32_t>{0xFFF8F8F8}));
    BmpFile masks555{
        .bitCount = 16, .compression = 3, .masks = {0x7C00, 0x3E0, 0x1F}, .pixels = {0xE0, 0x7F, 0, 0}};
    EXPECT_EQ(DecodePixels(masks555), (std::vector<std::uint32_t>{0xFFF8F800}));
    BmpFile masks565{.bitCount = 16, .compression = 3, .masks = {0xF800, 0x7E0, 0x1F}, .pixels = word565};
    EXPECT_EQ(DecodePixels(masks565), (std::vector<std::uint32_t>{0xFFF8F8F8}));
    // The lowest of the six green bits is dropped.
    masks565.pixels = {0x20, 0x00, 0, 0};
    EXPECT_EQ(DecodePixels(masks565), (std::vector<std::uint32_t>{0xFF000000}));
    masks565.pixels = {0x40, 0x00, 0, 0};
    EXPECT_EQ(DecodePixels(masks565), (std::vector<std::uint32_t>{0xFF000800}));
    // A writer that declares masks but stores none has its first pixels read as masks.
    BmpFile noMasks{.bitCount = 16, .compression = 3, .pixels = {0xE0, 0x03, 0, 0}};
    EXPECT_EQ(DecodePixels(noMasks), (std::vector<std::uint32_t>{0xFF007800}));
    // With a long header the masks sit inside it.
    masks565.headerSize = 108;
    masks565.pixels = {0x1F, 0xF8, 0, 0};
    EXPECT_EQ(DecodePixels(masks565), (std::vector<std::uint32_t>{0xFFF800F8}));
}

TEST(BmpDecoder, TwentyFourBitRowsArePaddedToFourBytes) {
    // 3 pixels: 9 data bytes and 3 padding bytes per row.
    BmpFile file{.width = 3, .height = 2, .pixels = {0, 0, 255, 0, 255, 0, 255, 0, 0, 9, 9, 9,
                                                     1, 2, 3,   4, 5,   6, 7,   8, 9, 9, 9, 9}};
    EXPECT_EQ(DecodePixels(file),
              (std::vector<std::uint32_t>{0xFF030201, 0xFF060504, 0xFF090807, kRed, kGreen, kBlue}));
}

TEST(BmpDecoder, ThirtyTwoBitPixelsAreCopiedWithTheirFourthByte) {
    BmpFile file{.width = 2, .height = 1, .bitCount = 32, .pixels = {1, 2, 3, 4, 5, 6, 7, 0}};
    CDIBBitmap bitmap;
    Decode(BuildBmp(file), bitmap);
    EXPECT_EQ(Pixels(bitmap), (std::vector<std::uint32_t>{0x04030201, 0x00070605}));
    EXPECT_FALSE(bitmap.HasAlphaChannel());
}

TEST(BmpDecoder, TrueColourIsDecodedAt32BitsWhateverDepthIsWanted) {
    for (int wanted : {0, 8, 32}) {
        CDIBBitmap bitmap;
        Decode(BuildBmp(BmpFile{.pixels = {1, 2, 3, 0}}), bitmap, wanted);
        EXPECT_EQ(bitmap.GetDepth(), 32);
        EXPECT_EQ(Pixel(bitmap, 0, 0), 0xFF030201u);
    }
}

TEST(BmpDecoder, Rle8DecodesRunsLiteralsAndEscapes) {
    auto file = EightBitFile(5, 3, {});
    file.compression = 1;
    file.pixels = {3, 1, 0, 3, 2, 3, 0, 0xEE,  // run of three, odd literal with pad byte
                   0, 0,                       // end of line
                   2, 2, 0, 0,                 // short row: the rest stays as created
                   0, 4, 3, 2, 1, 0, 0, 1};    // even literal, end of bitmap
    CDIBBitmap bitmap;
    Decode(BuildBmp(file), bitmap);
    EXPECT_EQ(Pixels(bitmap), (std::vector<std::uint32_t>{kBlue, kGreen, kRed, kBlack, 0,  //
                                                          kGreen, kGreen, 0, 0, 0,         //
                                                          kRed, kRed, kRed, kGreen, kBlue}));
}

TEST(BmpDecoder, Rle8EndOfBitmapLeavesTheRemainingRowsAsCreated) {
    auto file = EightBitFile(2, 5, {});
    file.compression = 1;
    file.pixels = {2, 1, 0, 0, 2, 2, 0, 0, 2, 3, 0, 1, 2, 1, 0, 0};
    CDIBBitmap bitmap;
    Decode(BuildBmp(file), bitmap);
    EXPECT_EQ(Pixels(bitmap),
              (std::vector<std::uint32_t>{0, 0, 0, 0, kBlue, kBlue, kGreen, kGreen, kRed, kRed}));
}

TEST(BmpDecoder, Rle8RunsPastTheRowOrTheLastRowAreCut) {
    auto file = EightBitFile(2, 2, {});
    file.compression = 1;
    file.pixels = {200, 1, 0, 9, 1,   1, 1, 1, 1, 1, 1, 1, 1, 0xEE,  // runs far past the first row
                   0,   0, 1, 2, 0,   0,                             // second row
                   255, 3, 0, 0, 255, 3, 0, 5, 1, 1, 1, 1, 1, 0xEE,  // rows that do not exist
                   0,   1};
    CDIBBitmap bitmap;
    Decode(BuildBmp(file), bitmap);
    EXPECT_EQ(Pixels(bitmap), (std::vector<std::uint32_t>{kGreen, 0, kRed, kRed}));
}

TEST(BmpDecoder, RunLengthDeltaEscapeIsNotSupported) {
    for (std::uint16_t bitCount : {4, 8}) {
        BmpFile file{.width = 4,
                     .height = 2,
                     .bitCount = bitCount,
                     .compression = bitCount == 4 ? 2u : 1u,
                     .table = {0, 0xFF0000},
                     .pixels = {2, 1, 0, 2, 1, 1, 0, 1}};
        ExpectDecodeError(BuildBmp(file), ERR_FORMAT_NOT_COMPILED,
                          "Decoder error: Encountered delta escape.\n");
    }
}

TEST(BmpDecoder, RunLengthDataEndingWithoutEndOfBitmapEndsInEndOfFile) {
    auto file = EightBitFile(2, 1, {2, 1, 0, 0});
    file.compression = 1;
    ExpectDecodeError(BuildBmp(file), ERR_END_OF_FILE, kEndOfFile);
}

TEST(BmpDecoder, LargeRunLengthPicturesNeedDataToMatch) {
    // 5000 x 5000 pixels from a dozen bytes would be a 100 MB bitmap of nothing.
    auto file = EightBitFile(5000, 5000, {255, 1, 0, 0, 255, 2, 0, 1});
    file.compression = 1;
    ExpectDecodeError(BuildBmp(file), ERR_UNSUPPORTED_DATA,
                      "Decoder error: Bitmap decoder: Compressed data is too short for the image size.\n");
    // Up to 4096 x 4096 pixels, data ending early is accepted.
    file.width = 4096;
    file.height = 4096;
    CDIBBitmap bitmap;
    Decode(BuildBmp(file), bitmap, 0);
    EXPECT_EQ(bitmap.GetRows()[4095][254], 1);
    EXPECT_EQ(bitmap.GetRows()[4095][255], 0);
}

TEST(BmpDecoder, RunLengthBitmapsCannotBeTopDown) {
    auto file = EightBitFile(2, -1, {2, 1, 0, 1});
    file.compression = 1;
    ExpectDecodeError(BuildBmp(file), ERR_FORMAT_UNKNOWN,
                      "Decoder error: Bitmap decoder: Compressed bitmap cannot be stored top-down.\n");
}

TEST(BmpDecoder, Rle4AlternatesNibblesAndPadsOddLiteralByteCounts) {
    BmpFile file{.width = 7,
                 .height = 2,
                 .bitCount = 4,
                 .compression = 2,
                 .table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
                 .pixels = {5, 0x12,                 // run of five: 1 2 1 2 1
                            0, 3, 0x32, 0x10, 0, 0,  // three literals in two bytes, no pad; the last is cut
                            0, 5, 0x01, 0x23, 0x10, 0xEE,  // five literals in three bytes, one pad
                            9, 0x30, 0, 1}};               // run cut at the row end
    EXPECT_EQ(DecodePixels(file),
              (std::vector<std::uint32_t>{kBlack, kRed, kGreen, kBlue, kRed, kBlue, kBlack,  //
                                          kRed, kGreen, kRed, kGreen, kRed, kBlue, kGreen}));
}

TEST(BmpDecoder, Rle4LeavesPixelsTheDataNeverReachedAsCreated) {
    BmpFile file{.width = 4,
                 .height = 2,
                 .bitCount = 4,
                 .compression = 2,
                 .table = {0x000000, 0xFF0000},
                 .pixels = {2, 0x11, 0, 0, 1, 0x10, 0, 1}};
    EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kRed, 0, 0, 0, kRed, kRed, 0, 0}));
}

TEST(BmpDecoder, DecodesFromAFileAsFromMemory) {
    testsupport::TemporaryFolder folder;
    const auto path = (folder / "picture.bmp").string();
    testsupport::WriteFileBytes(path, BuildBmp(EightBitFile(3, 1, {1, 2, 3, 0})));
    CBMPDecoder decoder;
    CDIBBitmap bitmap;
    decoder.DecodeFile(path, bitmap, 32, nullptr);
    EXPECT_EQ(Pixels(bitmap), (std::vector<std::uint32_t>{kRed, kGreen, kBlue}));
}
