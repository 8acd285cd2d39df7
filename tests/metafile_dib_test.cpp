#include "imagelib/metafile/metafile_dib.h"
#include "support/metafile_writer.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <vector>

using metafile::CRecordView;
using metafile::DecodeDib;
using metafile::ReadBitmap16Header;
using metafile::ReadDibHeader;

namespace {

constexpr std::uint32_t kOpaqueRed = 0xFFFF0000;
constexpr std::uint32_t kOpaqueGreen = 0xFF00FF00;
constexpr std::uint32_t kOpaqueBlue = 0xFF0000FF;
constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFF;
constexpr std::uint32_t kOpaqueBlack = 0xFF000000;

// A BITMAPINFOHEADER with an optional colour table (0x00RRGGBB entries).
testsupport::ByteWriter InfoHeader(int width, int height, int bpp, int compression,
                                   const std::vector<std::uint32_t>& table = {}, std::uint32_t used = 0) {
    testsupport::ByteWriter w;
    w.le32(40).le32(static_cast<std::uint32_t>(width)).le32(static_cast<std::uint32_t>(height)).le16(1);
    w.le16(static_cast<std::uint32_t>(bpp))
        .le32(static_cast<std::uint32_t>(compression))
        .le32(0)
        .le32(0)
        .le32(0);
    w.le32(used).le32(0);
    for (std::uint32_t c : table) w.u8(c & 0xFF).u8((c >> 8) & 0xFF).u8((c >> 16) & 0xFF).u8(0);
    return w;
}

CRecordView View(const std::vector<std::uint8_t>& bytes) {
    return CRecordView(bytes.data(), bytes.size());
}

// Reads a packed DIB and decodes all of it.
std::vector<std::uint32_t> DecodeAll(const std::vector<std::uint8_t>& dib, int* width = nullptr) {
    const auto header = ReadDibHeader(View(dib), metafile::kDibRgbColors, nullptr);
    if (!header) return {};
    if (width != nullptr) *width = header->width;
    const auto image =
        DecodeDib(*header, View(dib).From(header->infoSize), 0, 0, header->width, header->height, false);
    return image ? image->pixels : std::vector<std::uint32_t>{};
}

}  // namespace

TEST(MetafileDib, IndexedDepthsGoThroughTheColorTableBottomRowLast) {
    // 1 bit: 3 x 2, rows bottom-up, each padded to four bytes.
    auto one = InfoHeader(3, 2, 1, 0, {0xFF0000, 0x00FF00});
    one.u8(0b01000000).fill(3, 0).u8(0b10100000).fill(3, 0);
    EXPECT_EQ(DecodeAll(one.data()), (std::vector<std::uint32_t>{kOpaqueGreen, kOpaqueRed, kOpaqueGreen,
                                                                 kOpaqueRed, kOpaqueGreen, kOpaqueRed}));
    // 4 bits, with only two table entries used: index 2 has no colour and is black.
    auto four = InfoHeader(3, 1, 4, 0, {0xFF0000, 0x0000FF}, 2);
    four.u8(0x01).u8(0x20).fill(2, 0);
    EXPECT_EQ(DecodeAll(four.data()), (std::vector<std::uint32_t>{kOpaqueRed, kOpaqueBlue, kOpaqueBlack}));
    // 8 bits, top-down (negative height).
    auto eight = InfoHeader(2, -2, 8, 0, {0xFFFFFF, 0x00FF00}, 2);
    eight.u8(1).u8(0).fill(2, 0).u8(0).u8(1).fill(2, 0);
    EXPECT_EQ(DecodeAll(eight.data()),
              (std::vector<std::uint32_t>{kOpaqueGreen, kOpaqueWhite, kOpaqueWhite, kOpaqueGreen}));
}

TEST(MetafileDib, DirectDepthsAndBitFieldsScaleTheirChannels) {
    auto rgb555 = InfoHeader(2, 1, 16, 0);
    rgb555.le16(0x7C00).le16(0x03E0);
    EXPECT_EQ(DecodeAll(rgb555.data()), (std::vector<std::uint32_t>{kOpaqueRed, kOpaqueGreen}));
    auto rgb565 = InfoHeader(2, 1, 16, 3);
    rgb565.le32(0xF800).le32(0x07E0).le32(0x001F).le16(0x001F).le16(0x07E0);
    EXPECT_EQ(DecodeAll(rgb565.data()), (std::vector<std::uint32_t>{kOpaqueBlue, kOpaqueGreen}));
    auto rgb24 = InfoHeader(1, 1, 24, 0);
    rgb24.u8(0x30).u8(0x20).u8(0x10).u8(0);
    EXPECT_EQ(DecodeAll(rgb24.data()), (std::vector<std::uint32_t>{0xFF102030}));
    auto rgb32 = InfoHeader(1, 1, 32, 0);
    rgb32.u8(0x30).u8(0x20).u8(0x10).u8(0x00);  // the fourth byte is not alpha
    EXPECT_EQ(DecodeAll(rgb32.data()), (std::vector<std::uint32_t>{0xFF102030}));
}

TEST(MetafileDib, AlphaIsKeptOnlyWhenAskedAndStaysPremultiplied) {
    auto rgba = InfoHeader(1, 1, 32, 0);
    rgba.u8(0x40).u8(0x40).u8(0xFF).u8(0x80);  // red above its alpha gets clamped
    const auto bytes = rgba.data();
    const auto header = ReadDibHeader(View(bytes), metafile::kDibRgbColors, nullptr);
    ASSERT_TRUE(header);
    const CRecordView bits = View(bytes).From(header->infoSize);
    EXPECT_EQ(DecodeDib(*header, bits, 0, 0, 1, 1, true)->pixels[0], 0x80804040u);
    EXPECT_EQ(DecodeDib(*header, bits, 0, 0, 1, 1, false)->pixels[0], 0xFFFF4040u);
}

TEST(MetafileDib, SubRectanglesCountRowsFromTheTop) {
    std::vector<std::uint32_t> pixels;
    for (int i = 0; i < 12; ++i) pixels.push_back(static_cast<std::uint32_t>(i));
    const auto dib = testsupport::MakeDib24(4, 3, pixels);
    const auto header = ReadDibHeader(View(dib), metafile::kDibRgbColors, nullptr);
    ASSERT_TRUE(header);
    const auto part = DecodeDib(*header, View(dib).From(header->infoSize), 1, 1, 2, 2, false);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->pixels, (std::vector<std::uint32_t>{0xFF000005, 0xFF000006, 0xFF000009, 0xFF00000A}));
    EXPECT_FALSE(DecodeDib(*header, View(dib).From(header->infoSize), 3, 0, 2, 1, false));
    EXPECT_FALSE(DecodeDib(*header, View(dib).From(header->infoSize), 0, -1, 1, 1, false));
}

TEST(MetafileDib, RunLengthBitmapsExpandRunsDeltasAndAbsoluteRuns) {
    // RLE8, 4 x 2: bottom row a run of three 1s then an absolute run, top row
    // after a delta, pixel 0 skipped (transparent).
    auto rle8 = InfoHeader(4, 2, 8, 1, {0xFF0000, 0x00FF00, 0x0000FF}, 3);
    rle8.u8(3)
        .u8(1)
        .u8(0)
        .u8(0)  // run, end of line... (x = 3 left unwritten)
        .u8(0)
        .u8(2)
        .u8(1)
        .u8(0)  // delta: one to the right, same row
        .u8(0)
        .u8(3)
        .u8(2)
        .u8(0)
        .u8(2)
        .u8(0)  // absolute run of three, padded
        .u8(0)
        .u8(1);  // end of bitmap
    const auto pixels = DecodeAll(rle8.data());
    ASSERT_EQ(pixels.size(), 8u);
    EXPECT_EQ(pixels[4], kOpaqueGreen);  // bottom row
    EXPECT_EQ(pixels[6], kOpaqueGreen);
    EXPECT_EQ(pixels[7], 0u);  // never written
    EXPECT_EQ(pixels[0], 0u);  // skipped by the delta
    EXPECT_EQ(pixels[1], kOpaqueBlue);
    EXPECT_EQ(pixels[2], kOpaqueRed);
    EXPECT_EQ(pixels[3], kOpaqueBlue);
    // RLE4 alternates the two nibbles of a run.
    auto rle4 = InfoHeader(3, 1, 4, 2, {0xFF0000, 0x00FF00}, 2);
    rle4.u8(3).u8(0x10).u8(0).u8(1);
    EXPECT_EQ(DecodeAll(rle4.data()), (std::vector<std::uint32_t>{kOpaqueGreen, kOpaqueRed, kOpaqueGreen}));
}

TEST(MetafileDib, DamagedHeadersAreRefused) {
    const auto refused = [](const testsupport::ByteWriter& w) {
        return !ReadDibHeader(View(w.data()), metafile::kDibRgbColors, nullptr);
    };
    EXPECT_TRUE(refused(InfoHeader(0, 1, 24, 0)));           // no width
    EXPECT_TRUE(refused(InfoHeader(1, 0, 24, 0)));           // no height
    EXPECT_TRUE(refused(InfoHeader(1, 1, 7, 0)));            // odd depth
    EXPECT_TRUE(refused(InfoHeader(1, 1, 24, 4)));           // embedded JPEG
    EXPECT_TRUE(refused(InfoHeader(1, -1, 8, 1, {0})));      // top-down run-length
    EXPECT_TRUE(refused(InfoHeader(1, 1, 8, 0, {}, 5000)));  // colour table past the data
    testsupport::ByteWriter shortHeader;
    shortHeader.le32(40).le32(1);
    EXPECT_TRUE(refused(shortHeader));
    testsupport::ByteWriter hugeSize;
    hugeSize.le32(0xFFFFFFF0).fill(36, 0);
    EXPECT_TRUE(refused(hugeSize));
}

TEST(MetafileDib, BitsShorterThanThePictureOrRunsTooSmallForTheAreaDecodeNothing) {
    auto truncated = InfoHeader(100, 100, 24, 0);
    truncated.fill(100, 0);
    EXPECT_TRUE(DecodeAll(truncated.data()).empty());
    // A run-length header claiming 60000 x 60000 pixels over four bytes.
    auto vast = InfoHeader(60000, 60000, 8, 1, {0xFF0000}, 1);
    vast.u8(255).u8(0).u8(0).u8(1);
    EXPECT_TRUE(DecodeAll(vast.data()).empty());
}

TEST(MetafileDib, PaletteIndicesAreLookedUpInTheSelectedPalette) {
    auto indexed = InfoHeader(2, 1, 8, 0, {}, 2);
    indexed.le16(7).le16(3).u8(0).u8(1).fill(2, 0);
    const auto bytes = indexed.data();
    const auto lookup = [](std::uint16_t index) -> std::uint32_t { return index == 7 ? 0x123456 : 0x654321; };
    const auto header = ReadDibHeader(View(bytes), metafile::kDibPaletteColors, lookup);
    ASSERT_TRUE(header);
    const auto image = DecodeDib(*header, View(bytes).From(header->infoSize), 0, 0, 2, 1, false);
    EXPECT_EQ(image->pixels, (std::vector<std::uint32_t>{0xFF123456, 0xFF654321}));
}

TEST(MetafileDib, OldMonochromeBitmapsAreTopDownBlackAndWhite) {
    testsupport::ByteWriter bitmap;
    bitmap.le16(0).le16(3).le16(2).le16(2).u8(1).u8(1);  // 3 x 2, two bytes per row
    bitmap.u8(0b10100000).u8(0).u8(0b01000000).u8(0);
    const auto bytes = bitmap.data();
    const auto header = ReadBitmap16Header(View(bytes));
    ASSERT_TRUE(header);
    const auto image = DecodeDib(*header, View(bytes).From(header->infoSize), 0, 0, 3, 2, false);
    EXPECT_EQ(image->pixels, (std::vector<std::uint32_t>{kOpaqueWhite, kOpaqueBlack, kOpaqueWhite,
                                                         kOpaqueBlack, kOpaqueWhite, kOpaqueBlack}));
    testsupport::ByteWriter eightBit;
    eightBit.le16(0).le16(3).le16(2).le16(4).u8(1).u8(8);  // needs the device's palette
    EXPECT_FALSE(ReadBitmap16Header(View(eightBit.data())));
}
