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
    std::int64_t colorsUsed = -1;        // -1: the number of table entries
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
    const auto colorsUsed =
        file.colorsUsed >= 0 ? file.colorsUsed : static_cast<std::int64_t>(file.table.size());
    out.le32(file.compression)
        .le32(0)
        .le32(2835)
        .le32(2835)
        .le32(static_cast<std::uint32_t>(colorsUsed))
        .le32(0);
    for (std::uint32_t mask : file.masks) out.le32(mask);
    if (out.size() < 14 + file.headerSize) out.fill(14 + file.headerSize - out.size(), 0);
    for (std::uint32_t color : file.table) out.u8(color).u8(color >> 8).u8(color >> 16).u8(0);
    out.fill(file.gap, 0xEE);
    out.patchLe32(10, file.pixelOffset >= 0 ? static_cast<std::uint32_t>(file.pixelOffset)
                                            : static_cast<std::uint32_t>(out.size()));
    out.bytes(file.pixels);
    out.patchLe32(2, static_cast<std::uint32_t>(out.size()));
    return out.data();
}

// An OS/2 file with the 2 x 2 8-bit picture of OS2Pixels: a 12-byte core
// header (3-byte table entries) or a 2.x header of `headerSize` bytes, alone
// or as the first entry of a bitmap array.
std::vector<std::uint8_t> BuildOs2Bmp(std::uint32_t headerSize, bool inArray) {
    ByteWriter out;
    if (inArray) out.text("BA").le32(40).le32(0).le16(0).le16(0);
    const std::size_t fileStart = out.size();
    out.text("BM").le32(0).le16(0).le16(0).le32(0);
    if (headerSize == 12) {
        out.le32(12).le16(2).le16(2).le16(1).le16(8);
    } else {
        out.le32(headerSize).le32(2).le32(2).le16(1).le16(8);
        out.fill(headerSize - 16, 0);
    }
    for (std::uint32_t color : {0x000000u, 0xFF0000u, 0x00FF00u, 0x0000FFu}) {
        out.u8(color).u8(color >> 8).u8(color >> 16);
        if (headerSize != 12) out.u8(0);
    }
    // A core table has no count: the pixels start behind the 4 entries stored.
    if (headerSize != 12) out.fill(252 * 4, 0x77);
    out.patchLe32(fileStart + 10, static_cast<std::uint32_t>(out.size()));
    out.bytes({1, 2, 0, 0, 3, 0, 0, 0});
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

TEST(BmpDecoder, RejectsInfoHeadersShorterThan16BytesButTheCoreHeader) {
    for (std::uint32_t size : {0u, 11u, 13u, 15u}) {
        ExpectDecodeError(BuildBmp(BmpFile{.headerSize = size, .pixels = std::vector<std::uint8_t>(60)}),
                          ERR_FORMAT_UNKNOWN,
                          "Decoder error: Bitmap decoder: BITMAPINFOHEADER has wrong size.\n");
    }
}

TEST(BmpDecoder, ReadsOs2HeadersAndBitmapArrays) {
    for (std::uint32_t headerSize : {12u, 16u, 24u, 64u}) {
        for (bool inArray : {false, true}) {
            CDIBBitmap bitmap;
            Decode(BuildOs2Bmp(headerSize, inArray), bitmap);
            EXPECT_EQ(Pixels(bitmap), (std::vector<std::uint32_t>{kBlue, kBlack, kRed, kGreen}))
                << headerSize << (inArray ? " in an array" : "");
        }
    }
}

TEST(BmpDecoder, TwoBitRowsPackFourPixelsABytePaddedToFourBytes) {
    BmpFile file{.width = 5,
                 .height = 2,
                 .bitCount = 2,
                 .table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
                 .pixels = {0x1B, 0x40, 0, 0, 0xE4, 0xC0, 0, 0}};
    EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kBlue, kGreen, kRed, kBlack, kBlue,  //
                                                              kBlack, kRed, kGreen, kBlue, kRed}));
}

TEST(BmpDecoder, CompressionsThatAreNotDecodedAreNamed) {
    const struct {
        std::uint16_t bitCount;
        std::uint32_t compression;
        const char* text;
    } cases[] = {
        {1, 3, "Decoder error: Bitmap decoder: Huffman-compressed bitmaps are not supported.\n"},
        {0, 4, "Decoder error: Bitmap decoder: JPEG-compressed bitmaps are not supported.\n"},
        {0, 5, "Decoder error: Bitmap decoder: PNG-compressed bitmaps are not supported.\n"},
    };
    for (const auto& c : cases)
        ExpectDecodeError(BuildBmp(BmpFile{.bitCount = c.bitCount,
                                           .compression = c.compression,
                                           .table = {0, 0xFFFFFF},
                                           .pixels = std::vector<std::uint8_t>(16)}),
                          ERR_FORMAT_NOT_COMPILED, c.text);
}

TEST(BmpDecoder, RejectsIllegalBitCounts) {
    for (std::uint16_t bitCount : {0, 3, 12, 33, 64}) {
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

TEST(BmpDecoder, OneBitPixelsTakeTheirColorsFromTheTable) {
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
    BmpFile trueColor{.width = 1, .height = -2, .pixels = {1, 2, 3, 0, 4, 5, 6, 0}};
    EXPECT_EQ(DecodePixels(trueColor), (std::vector<std::uint32_t>{0xFF030201, 0xFF060504}));
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

TEST(BmpDecoder, ColorTableFollowsTheWholeInfoHeader) {
    for (std::uint32_t headerSize : {52u, 108u, 124u}) {
        auto file = EightBitFile(2, 1, {1, 3, 0, 0});
        file.headerSize = headerSize;
        EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kRed, kBlue})) << headerSize;
    }
}

TEST(BmpDecoder, ColorCountsAboveTheDepthAndAbove256AreReadPast) {
    auto file = EightBitFile(2, 1, {1, 3, 0, 0});
    file.colorsUsed = 300;
    file.table.resize(300, 0x123456);
    EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kRed, kBlue}));

    BmpFile small{.width = 2,
                  .height = 1,
                  .bitCount = 1,
                  .colorsUsed = 1,
                  .table = {0x00FF00},
                  .pixels = {0b01000000, 0, 0, 0}};
    EXPECT_EQ(DecodePixels(small), (std::vector<std::uint32_t>{kGreen, kBlack}));
}

TEST(BmpDecoder, ColorTableRunningPastTheDataEndsInEndOfFile) {
    auto file = EightBitFile(2, 1, {1, 3, 0, 0});
    file.colorsUsed = 0x40000000;
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
    shortTable.colorsUsed = 0;
    shortTable.pixels.resize(1024, 0);
    EXPECT_EQ(DecodePixels(shortTable), (std::vector<std::uint32_t>{kRed, kBlack}));
    BmpFile trueColor{.headerSize = 124, .width = 1, .height = 1, .gap = 9, .pixels = {1, 2, 3, 0}};
    EXPECT_EQ(DecodePixels(trueColor), (std::vector<std::uint32_t>{0xFF030201}));
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
    // A writer that declares masks but stores none has its first pixels read as
    // masks: here a 5-bit red mask, no green, no blue.
    BmpFile noMasks{.bitCount = 16, .compression = 3, .pixels = {0xE0, 0x03, 0, 0}};
    EXPECT_EQ(DecodePixels(noMasks), (std::vector<std::uint32_t>{0xFFFF0000}));
    // With a long header the masks sit inside it.
    masks565.headerSize = 108;
    masks565.pixels = {0x1F, 0xF8, 0, 0};
    EXPECT_EQ(DecodePixels(masks565), (std::vector<std::uint32_t>{0xFFF800F8}));
}

TEST(BmpDecoder, ColorMasksOfAnyContiguousLayoutAreScaledTo8Bits) {
    struct Case {
        const char* layout;
        std::uint16_t bitCount;
        std::uint32_t compression;
        std::uint32_t headerSize;
        std::vector<std::uint32_t> masks;  // red, green, blue, alpha
        std::uint32_t word;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"R8 at the top, G8 inside", 32, 3, 40, {0xFF000000, 0x00000FF0, 0x00FF0000}, 0x12560340, 0xFF123456},
        {"X8R8G8B8 in the low byte", 32, 3, 40, {0xFF000000, 0x00FF0000, 0x0000FF00}, 0x12345699, 0xFF123456},
        {"B8G8R8 with the top byte as alpha", 32, 3, 40, {0xFF0000, 0xFF00, 0xFF}, 0x04030201, 0x04030201},
        {"alpha bit fields", 32, 6, 40, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0x80123456, 0x80123456},
        {"10-10-10-2", 32, 3, 124, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}, 0x7FF80000, 0x55FF8000},
        {"11-11-10", 32, 3, 40, {0xFFE00000, 0x001FFC00, 0x000003FF}, 0xFFF00001, 0xFFFF8000},
        {"7-18-7", 32, 3, 40, {0xFE000000, 0x01FFFF80, 0x0000007F}, 0xFFFFFFC0, 0xFFFFFF81},
        {"all masks zero: the default layout", 32, 3, 40, {0, 0, 0}, 0x04030201, 0x04030201},
        {"4-4-4-4", 16, 3, 124, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0x8F3C, 0x88FF33CC},
        {"5-5-5-1: classic levels", 16, 3, 108, {0x7C00, 0x03E0, 0x001F, 0x8000}, 0x001F, 0x000000F8},
        {"2-3-1", 16, 3, 40, {0x30, 0x0E, 0x01}, 0x2B, 0xFFAAB6FF},
        {"8-8 without blue", 16, 3, 40, {0xFF00, 0x00FF, 0}, 0x1234, 0xFF123400},
    };
    for (const Case& c : cases) {
        ByteWriter pixel;
        if (c.bitCount == 16)
            pixel.le16(c.word).le16(0);
        else
            pixel.le32(c.word);
        const BmpFile file{.headerSize = c.headerSize,
                           .bitCount = c.bitCount,
                           .compression = c.compression,
                           .masks = c.masks,
                           .pixels = pixel.data()};
        EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{c.expected})) << c.layout;
    }
    ExpectDecodeError(
        BuildBmp(
            BmpFile{.bitCount = 16, .compression = 3, .masks = {0x0F0F, 0xF0, 0}, .pixels = {0, 0, 0, 0}}),
        ERR_FORMAT_UNKNOWN, "Decoder error: Bitmap decoder: Color mask 0x00000F0F is not contiguous.\n");
    ExpectDecodeError(
        BuildBmp(BmpFile{
            .bitCount = 16, .compression = 3, .masks = {0x1F0000, 0x3E0, 0x1F}, .pixels = {0, 0, 0, 0}}),
        ERR_FORMAT_UNKNOWN,
        "Decoder error: Bitmap decoder: Color mask 0x001F0000 does not fit in 16-bit pixels.\n");
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

TEST(BmpDecoder, TrueColorIsDecodedAt32BitsWhateverDepthIsWanted) {
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

TEST(BmpDecoder, RunLengthDeltasSkipPixelsThatTakeTheFirstColor) {
    const std::uint32_t kGrey = 0xFF808080;  // table entry 0
    for (std::uint16_t bitCount : {4, 8}) {
        SCOPED_TRACE(bitCount);
        const std::uint8_t red = bitCount == 4 ? 0x11 : 1;
        BmpFile file{.width = 4,
                     .height = 3,
                     .bitCount = bitCount,
                     .compression = bitCount == 4 ? 2u : 1u,
                     .table = {0x808080, 0xFF0000},
                     .pixels = {1, red, 0, 2, 2, 0, 1, red,  // one pixel, two to the right, one more
                                0, 0,   0, 2, 1, 1, 1, red,  // next row: one right and one up, one pixel
                                0, 0,   0, 2, 0, 0, 0, 1}};  // a delta that goes nowhere
        EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{kGrey, kRed, 0, 0,           //
                                                                  kGrey, kGrey, kGrey, kGrey,  //
                                                                  kRed, kGrey, kGrey, kRed}));
        // Deltas past the row's end or the last row lead nowhere valid.
        for (std::vector<std::uint8_t> delta : {std::vector<std::uint8_t>{0, 2, 5, 0}, {0, 2, 0, 4}}) {
            file.pixels = delta;
            file.pixels.insert(file.pixels.end(), {0, 1});
            ExpectDecodeError(BuildBmp(file), ERR_FORMAT_UNKNOWN,
                              "Decoder error: Bitmap decoder: Delta escape leads outside the picture.\n");
        }
    }
}

TEST(BmpDecoder, Rle24DecodesRunsLiteralsAndDeltas) {
    BmpFile file{.width = 4,
                 .height = 2,
                 .bitCount = 24,
                 .compression = 4,
                 .pixels = {2, 0, 0, 255,                               // a run of two red pixels
                            0, 3, 1, 2,   3, 4, 5, 6, 7,   8, 9, 0xEE,  // three literals and a pad byte
                            0, 0, 0, 2,   1, 0, 1, 0, 255, 0,           // next row: skip one, then green
                            0, 1}};
    EXPECT_EQ(DecodePixels(file), (std::vector<std::uint32_t>{0, kGreen, 0, 0,  //
                                                              kRed, kRed, 0xFF030201, 0xFF060504}));
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
