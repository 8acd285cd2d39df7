#include "imagelib/decoders/pict_decoder.h"
#include "imagelib/byte_order.h"
#include "imagelib/decoders/jpeg_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/image_decoder.h"
#include "imagelib/text_exception.h"
#include "support/color_profiles.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <cstdio>  // jpeglib.h needs FILE

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testsupport::ByteWriter;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kOpaqueBlack = 0xFF000000;
constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFF;

struct Rgb {
    std::uint8_t red, green, blue;
};

// --- Building pictures ---------------------------------------------------------

// PackBits with runs of two or more equal units, literals otherwise.
Bytes PackBits(const Bytes& row, std::size_t unit = 1) {
    const std::size_t units = row.size() / unit;
    auto same = [&](std::size_t a, std::size_t b) {
        return std::equal(row.begin() + a * unit, row.begin() + (a + 1) * unit, row.begin() + b * unit);
    };
    auto appendUnits = [&](Bytes& out, std::size_t first, std::size_t count) {
        out.insert(out.end(), row.begin() + first * unit, row.begin() + (first + count) * unit);
    };
    Bytes out;
    std::size_t i = 0;
    while (i < units) {
        std::size_t run = 1;
        while (i + run < units && run < 128 && same(i, i + run)) ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(257 - run));
            appendUnits(out, i, 1);
            i += run;
            continue;
        }
        std::size_t end = i + 1;
        while (end < units && end - i < 128 && !(end + 1 < units && same(end, end + 1))) ++end;
        out.push_back(static_cast<std::uint8_t>(end - i - 1));
        appendUnits(out, i, end - i);
        i = end;
    }
    return out;
}

struct PixMapFields {
    int pixelSize = 8;
    int cmpCount = 1;
    int packType = 0;
};

class PictBuilder {
public:
    explicit PictBuilder(int version = 2) : m_version(version) {
        m_out.fill(512, 0).be16(0).be16(0).be16(0).be16(100).be16(100);
        if (version == 2) {
            m_out.be16(0x0011).be16(0x02FF);
            op(0x0C00).fill(24, 0);
        } else {
            m_out.u8(0x11).u8(0x01);
        }
    }

    // Starts an opcode; version 2 opcodes sit on even offsets from the start of the file.
    ByteWriter& op(unsigned opcode) {
        if (m_version == 1) return m_out.u8(opcode);
        if (m_out.size() % 2 != 0) m_out.u8(0);
        return m_out.be16(opcode);
    }

    ByteWriter& out() { return m_out; }

    PictBuilder& rect(int top, int left, int bottom, int right) {
        m_out.be16(static_cast<std::uint16_t>(top)).be16(static_cast<std::uint16_t>(left));
        m_out.be16(static_cast<std::uint16_t>(bottom)).be16(static_cast<std::uint16_t>(right));
        return *this;
    }

    PictBuilder& pixMapHeader(const PixMapFields& fields) {
        m_out.be16(0).be16(fields.packType).be32(0).be32(0x00480000).be32(0x00480000);
        m_out.be16(fields.pixelSize > 8 ? 16 : 0).be16(fields.pixelSize).be16(fields.cmpCount);
        m_out.be16(fields.pixelSize > 8 ? 8 : fields.pixelSize).be32(0).be32(0).be32(0);
        return *this;
    }

    // A colour table; without values the entries are numbered in order.
    PictBuilder& colorTable(const std::vector<Rgb>& colors, std::uint16_t flags = 0,
                            const std::vector<int>& values = {}) {
        m_out.be32(0).be16(flags).be16(static_cast<std::uint16_t>(colors.size() - 1));
        for (std::size_t i = 0; i < colors.size(); ++i) {
            m_out.be16(values.empty() ? static_cast<std::uint32_t>(i)
                                      : static_cast<std::uint32_t>(values[i]));
            m_out.be16(colors[i].red * 0x101u).be16(colors[i].green * 0x101u).be16(colors[i].blue * 0x101u);
        }
        return *this;
    }

    // Source and destination rectangles and the transfer mode.
    PictBuilder& copyBitsTail(int height, int width) {
        rect(0, 0, height, width).rect(0, 0, height, width);
        m_out.be16(0);
        return *this;
    }

    // Rows as the unpacker reads them for a row of `rowBytes` bytes.
    PictBuilder& rows(const std::vector<Bytes>& rows, int rowBytes, std::size_t unit = 1,
                      bool alwaysPacked = false) {
        for (const Bytes& row : rows) {
            if (rowBytes < 8 && !alwaysPacked) {
                m_out.bytes(row);
                continue;
            }
            const Bytes packed = PackBits(row, unit);
            if (rowBytes < 251) {
                m_out.u8(static_cast<std::uint32_t>(packed.size()));
            } else {
                m_out.be16(static_cast<std::uint32_t>(packed.size()));
            }
            m_out.bytes(packed);
        }
        return *this;
    }

    Bytes end() {
        op(m_version == 2 ? 0x00FF : 0xFF);
        return m_out.data();
    }

private:
    int m_version;
    ByteWriter m_out;
};

// A version 2 picture with one PackBitsRect of an 8-bit PixMap.
Bytes EightBitPicture(const std::vector<Bytes>& pixels, const std::vector<Rgb>& colors, int rowBytes = 0) {
    const int height = static_cast<int>(pixels.size());
    const int width = static_cast<int>(pixels[0].size());
    if (rowBytes == 0) rowBytes = width;
    PictBuilder pict;
    pict.op(0x98).be16(0x8000 | rowBytes);
    pict.rect(0, 0, height, width).pixMapHeader({8, 1, 0}).colorTable(colors).copyBitsTail(height, width);
    pict.rows(pixels, rowBytes);
    return pict.end();
}

// A DirectBitsRect of 32-bit pixels given as rows of planes (alpha first when cmpCount is 4).
Bytes DirectPicture(const std::vector<Bytes>& planeRows, int width, int cmpCount) {
    const int height = static_cast<int>(planeRows.size());
    PictBuilder pict;
    pict.op(0x9A).be32(0xFF).be16(0x8000 | (width * 4));
    pict.rect(0, 0, height, width).pixMapHeader({32, cmpCount, 4}).copyBitsTail(height, width);
    pict.rows(planeRows, width * 4, 1, true);
    return pict.end();
}

// --- Decoding --------------------------------------------------------------------

void Decode(const Bytes& data, CImageBitmap& bitmap, int depth, CJPEGDecoder* jpeg = nullptr) {
    CPICTDecoder decoder(jpeg);
    decoder.DecodeMemory(data.data(), static_cast<std::int64_t>(data.size()), bitmap, depth);
}

struct Failure {
    int code = 0;
    std::string message;
};

Failure DecodeFailure(const Bytes& data, int depth = 32, CJPEGDecoder* jpeg = nullptr) {
    CDIBBitmap bitmap;
    try {
        Decode(data, bitmap, depth, jpeg);
    } catch (const CTextException& error) {
        return {error.GetCode(), error.GetMessage()};
    }
    ADD_FAILURE() << "the picture decoded";
    return {};
}

std::string Raised(const std::string& text) {
    return "Decoder error: " + text + "\n";
}

std::uint32_t Pixel(const CImageBitmap& bitmap, int x, int y) {
    return ReadLE32(bitmap.GetRows()[y] + 4 * x);
}

std::uint32_t Argb(std::uint8_t alpha, Rgb color) {
    return (std::uint32_t{alpha} << 24) | (std::uint32_t{color.red} << 16) |
           (std::uint32_t{color.green} << 8) | color.blue;
}

const std::vector<Rgb> kThreeColors = {{10, 20, 30}, {200, 100, 50}, {1, 2, 3}};

// --- Version 1 and BitMaps ---------------------------------------------------------

TEST(PICTDecoder, Version1BitsRectIsBlackWhereBitsAreSetAtEveryDepth) {
    // 10 x 2, rows of 2 bytes: under 8 bytes, so stored unpacked.
    PictBuilder pict(1);
    pict.op(0x90).be16(2);
    pict.rect(0, 0, 2, 10).copyBitsTail(2, 10);
    pict.out().bytes({0b10100000, 0b01000000, 0b01010000, 0b10000000});
    const Bytes data = pict.end();

    CDIBBitmap direct;
    Decode(data, direct, 32);
    ASSERT_EQ(direct.GetDepth(), 32);
    ASSERT_EQ(direct.GetWidth(), 10);
    ASSERT_EQ(direct.GetHeight(), 2);
    EXPECT_EQ(Pixel(direct, 0, 0), kOpaqueBlack);
    EXPECT_EQ(Pixel(direct, 1, 0), kOpaqueWhite);
    EXPECT_EQ(Pixel(direct, 2, 0), kOpaqueBlack);
    EXPECT_EQ(Pixel(direct, 9, 0), kOpaqueBlack);
    EXPECT_EQ(Pixel(direct, 8, 0), kOpaqueWhite);
    EXPECT_EQ(Pixel(direct, 0, 1), kOpaqueWhite);
    EXPECT_EQ(Pixel(direct, 1, 1), kOpaqueBlack);
    EXPECT_EQ(Pixel(direct, 8, 1), kOpaqueBlack);
    EXPECT_FALSE(direct.HasAlphaChannel());

    CDIBBitmap indexed;
    Decode(data, indexed, 0);
    ASSERT_EQ(indexed.GetDepth(), 8);
    EXPECT_EQ(indexed.GetRows()[0][0], 1);
    EXPECT_EQ(indexed.GetRows()[0][1], 0);
    EXPECT_EQ(indexed.GetPalette()[0], (PaletteEntry{255, 255, 255, 255}));
    EXPECT_EQ(indexed.GetPalette()[1], (PaletteEntry{0, 0, 0, 255}));
}

TEST(PICTDecoder, PackedBitMapInAVersion2PictureAndItsMaskRegionAreRead) {
    // 64 x 2 one-bit BitMap behind PackBitsRgn: rows of 8 bytes are packed.
    PictBuilder pict;
    pict.op(0x99).be16(8);
    pict.rect(0, 0, 2, 64).copyBitsTail(2, 64);
    pict.out().be16(12).fill(10, 0x55);  // mask region
    pict.rows({Bytes(8, 0xFF), {0x80, 0, 0, 0, 0, 0, 0, 0x01}}, 8);
    CDIBBitmap bitmap;
    Decode(pict.end(), bitmap, 32);
    EXPECT_EQ(Pixel(bitmap, 5, 0), kOpaqueBlack);
    EXPECT_EQ(Pixel(bitmap, 0, 1), kOpaqueBlack);
    EXPECT_EQ(Pixel(bitmap, 1, 1), kOpaqueWhite);
    EXPECT_EQ(Pixel(bitmap, 63, 1), kOpaqueBlack);
}

// --- PixMaps -------------------------------------------------------------------------

TEST(PICTDecoder, EightBitPixMapTakesItsColorTableAtDepth32) {
    const Bytes data =
        EightBitPicture({{0, 1, 2, 1, 0, 0, 0, 0, 0, 2}, {2, 2, 2, 2, 2, 2, 2, 2, 2, 1}}, kThreeColors);
    CDIBBitmap bitmap;
    Decode(data, bitmap, 32);
    ASSERT_EQ(bitmap.GetDepth(), 32);
    EXPECT_EQ(Pixel(bitmap, 0, 0), Argb(255, kThreeColors[0]));
    EXPECT_EQ(Pixel(bitmap, 1, 0), Argb(255, kThreeColors[1]));
    EXPECT_EQ(Pixel(bitmap, 2, 0), Argb(255, kThreeColors[2]));
    EXPECT_EQ(Pixel(bitmap, 9, 0), Argb(255, kThreeColors[2]));
    EXPECT_EQ(Pixel(bitmap, 8, 1), Argb(255, kThreeColors[2]));
    EXPECT_EQ(Pixel(bitmap, 9, 1), Argb(255, kThreeColors[1]));
    EXPECT_FALSE(bitmap.HasAlphaChannel());
}

TEST(PICTDecoder, EightBitPixMapAtDepth0KeepsIndexesWithTheColorTableAsPalette) {
    const Bytes data =
        EightBitPicture({{0, 1, 2, 1, 0, 0, 0, 0, 0, 2}, {2, 2, 2, 2, 2, 2, 2, 2, 2, 1}}, kThreeColors);
    CDIBBitmap bitmap;
    Decode(data, bitmap, 0);
    ASSERT_EQ(bitmap.GetDepth(), 8);
    EXPECT_EQ((Bytes{bitmap.GetRows()[0], bitmap.GetRows()[0] + 10}), (Bytes{0, 1, 2, 1, 0, 0, 0, 0, 0, 2}));
    EXPECT_EQ((Bytes{bitmap.GetRows()[1], bitmap.GetRows()[1] + 10}), (Bytes{2, 2, 2, 2, 2, 2, 2, 2, 2, 1}));
    EXPECT_EQ(bitmap.GetPalette()[1], (PaletteEntry{50, 100, 200, 255}));
    EXPECT_EQ(bitmap.GetPalette()[2], (PaletteEntry{3, 2, 1, 255}));
    // Entries the table does not list are black.
    EXPECT_EQ(bitmap.GetPalette()[200], (PaletteEntry{0, 0, 0, 255}));
}

TEST(PICTDecoder, RowsUnderEightBytesAreStoredUnpacked) {
    // Width 4, rowBytes 4: the rows are the raw indexes, no counts.
    const Bytes data = EightBitPicture({{0, 1, 2, 0}, {2, 1, 0, 0}}, kThreeColors);
    CDIBBitmap bitmap;
    Decode(data, bitmap, 0);
    EXPECT_EQ((Bytes{bitmap.GetRows()[0], bitmap.GetRows()[0] + 4}), (Bytes{0, 1, 2, 0}));
    EXPECT_EQ((Bytes{bitmap.GetRows()[1], bitmap.GetRows()[1] + 4}), (Bytes{2, 1, 0, 0}));
}

TEST(PICTDecoder, RowsOf251BytesOrMoreCarrySixteenBitCounts) {
    for (const int width : {250, 251, 300}) {
        Bytes first(static_cast<std::size_t>(width));
        Bytes second(static_cast<std::size_t>(width), 1);
        for (int x = 0; x < width; ++x) first[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(x % 3);
        second.back() = 2;
        CDIBBitmap bitmap;
        Decode(EightBitPicture({first, second}, kThreeColors), bitmap, 0);
        EXPECT_EQ((Bytes{bitmap.GetRows()[0], bitmap.GetRows()[0] + width}), first) << width;
        EXPECT_EQ((Bytes{bitmap.GetRows()[1], bitmap.GetRows()[1] + width}), second) << width;
    }
}

TEST(PICTDecoder, DeviceColorTableFillsEntriesInOrderWhateverTheValues) {
    PictBuilder pict;
    pict.op(0x98).be16(0x8000 | 8);
    pict.rect(0, 0, 1, 8)
        .pixMapHeader({8, 1, 0})
        .colorTable(kThreeColors, 0x8000, {7, 7, 7})
        .copyBitsTail(1, 8);
    pict.rows({{0, 1, 2, 0, 1, 2, 0, 1}}, 8);
    CDIBBitmap bitmap;
    Decode(pict.end(), bitmap, 32);
    EXPECT_EQ(Pixel(bitmap, 0, 0), Argb(255, kThreeColors[0]));
    EXPECT_EQ(Pixel(bitmap, 1, 0), Argb(255, kThreeColors[1]));
    EXPECT_EQ(Pixel(bitmap, 2, 0), Argb(255, kThreeColors[2]));
}

TEST(PICTDecoder, NonDeviceColorTablePlacesEntriesByTheirValues) {
    PictBuilder pict;
    pict.op(0x98).be16(0x8000 | 8);
    pict.rect(0, 0, 1, 8).pixMapHeader({8, 1, 0}).colorTable(kThreeColors, 0, {2, 0, 1}).copyBitsTail(1, 8);
    pict.rows({{0, 1, 2, 0, 1, 2, 0, 1}}, 8);
    CDIBBitmap bitmap;
    Decode(pict.end(), bitmap, 32);
    EXPECT_EQ(Pixel(bitmap, 0, 0), Argb(255, kThreeColors[1]));
    EXPECT_EQ(Pixel(bitmap, 1, 0), Argb(255, kThreeColors[2]));
    EXPECT_EQ(Pixel(bitmap, 2, 0), Argb(255, kThreeColors[0]));
}

TEST(PICTDecoder, SubBytePixelsAreTakenMostSignificantBitsFirst) {
    // 2 bits per pixel, 12 x 1: three bytes, unpacked.
    PictBuilder pict;
    pict.op(0x98).be16(0x8000 | 3);
    pict.rect(0, 0, 1, 12)
        .pixMapHeader({2, 1, 0})
        .colorTable({{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
    pict.copyBitsTail(1, 12);
    pict.out().bytes({0b00011011, 0b11100100, 0b01010101});
    const Bytes data = pict.end();
    CDIBBitmap indexed;
    Decode(data, indexed, 0);
    ASSERT_EQ(indexed.GetDepth(), 8);
    EXPECT_EQ((Bytes{indexed.GetRows()[0], indexed.GetRows()[0] + 12}),
              (Bytes{0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 1, 1}));
    CDIBBitmap direct;
    Decode(data, direct, 32);
    EXPECT_EQ(Pixel(direct, 1, 0), 0xFFFF0000);
    EXPECT_EQ(Pixel(direct, 3, 0), 0xFF0000FF);

    // 4 bits per pixel, 16 x 1 (rowBytes 8: packed).
    PictBuilder four;
    four.op(0x98).be16(0x8000 | 8);
    four.rect(0, 0, 1, 16).pixMapHeader({4, 1, 0}).colorTable(kThreeColors).copyBitsTail(1, 16);
    four.rows({{0x01, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12}}, 8);
    CDIBBitmap fourBit;
    Decode(four.end(), fourBit, 0);
    EXPECT_EQ((Bytes{fourBit.GetRows()[0], fourBit.GetRows()[0] + 16}),
              (Bytes{0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2}));
}

TEST(PICTDecoder, PackBitsRowThatExpandsBeyondItsRowIsCut) {
    // Width 8: the first row's data expands to 20 bytes; the second row must still be read in step.
    PictBuilder pict;
    pict.op(0x98).be16(0x8000 | 8);
    pict.rect(0, 0, 2, 8).pixMapHeader({8, 1, 0}).colorTable(kThreeColors).copyBitsTail(2, 8);
    pict.out().u8(4).bytes(
        {static_cast<std::uint8_t>(257 - 20), 1, 0x80, 0x02});  // run of 20, no-op, then a dangling literal
    pict.rows({{2, 2, 2, 2, 0, 0, 0, 1}}, 8);
    CDIBBitmap bitmap;
    Decode(pict.end(), bitmap, 0);
    EXPECT_EQ((Bytes{bitmap.GetRows()[0], bitmap.GetRows()[0] + 8}), Bytes(8, 1));
    EXPECT_EQ((Bytes{bitmap.GetRows()[1], bitmap.GetRows()[1] + 8}), (Bytes{2, 2, 2, 2, 0, 0, 0, 1}));
}

// --- Direct pixels ---------------------------------------------------------------

TEST(PICTDecoder, DirectBitsWithThreeComponentsAreOpaqueWithoutAlphaFlag) {
    // Planes red, green, blue of width 3.
    const Bytes data =
        DirectPicture({{10, 20, 30, 40, 50, 60, 70, 80, 90}, {1, 1, 1, 2, 2, 2, 3, 3, 3}}, 3, 3);
    CDIBBitmap bitmap;
    Decode(data, bitmap, 0);
    ASSERT_EQ(bitmap.GetDepth(), 32);
    EXPECT_FALSE(bitmap.HasAlphaChannel());
    EXPECT_EQ(Pixel(bitmap, 0, 0), Argb(255, {10, 40, 70}));
    EXPECT_EQ(Pixel(bitmap, 2, 0), Argb(255, {30, 60, 90}));
    EXPECT_EQ(Pixel(bitmap, 1, 1), Argb(255, {1, 2, 3}));
}

TEST(PICTDecoder, DirectBitsWithFourComponentsTakeTheFirstPlaneAsAlpha) {
    const Bytes data = DirectPicture({{0, 128, 10, 20, 30, 40, 50, 60, 70, 80}}, 2, 4);
    CDIBBitmap bitmap;
    Decode(data, bitmap, 32);
    EXPECT_TRUE(bitmap.HasAlphaChannel());
    EXPECT_EQ(Pixel(bitmap, 0, 0), Argb(0, {10, 30, 50}));
    EXPECT_EQ(Pixel(bitmap, 1, 0), Argb(128, {20, 40, 60}));
}

TEST(PICTDecoder, DirectBitsWithWideRowsUseSixteenBitCounts) {
    // Width 70: 280 bytes a row as the width counts them.
    const int width = 70;
    Bytes planes(3 * width);
    for (int i = 0; i < 3 * width; ++i) planes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    CDIBBitmap bitmap;
    Decode(DirectPicture({planes, planes}, width, 3), bitmap, 32);
    EXPECT_EQ(Pixel(bitmap, 69, 1), Argb(255, {69, 139, 209}));
}

TEST(PICTDecoder, SixteenBitPixelsBecomeFiveBitComponentsShiftedLeft) {
    // Width 5, so the rows of 10 bytes are packed with 2-byte units.
    const std::vector<std::uint16_t> pixels = {0x7FFF, 0x7C00, 0x03E0, 0x001F, 0x0421};
    Bytes row;
    for (std::uint16_t pixel : pixels)
        row.insert(row.end(), {static_cast<std::uint8_t>(pixel >> 8), static_cast<std::uint8_t>(pixel)});
    PictBuilder pict;
    pict.op(0x9A).be32(0xFF).be16(0x8000 | 10);
    pict.rect(0, 0, 2, 5).pixMapHeader({16, 3, 0}).copyBitsTail(2, 5);
    pict.rows({row, Bytes(10, 0)}, 10, 2);
    const Bytes data = pict.end();
    CDIBBitmap bitmap;
    Decode(data, bitmap, 0);
    ASSERT_EQ(bitmap.GetDepth(), 32);
    EXPECT_EQ(Pixel(bitmap, 0, 0), Argb(255, {248, 248, 248}));
    EXPECT_EQ(Pixel(bitmap, 1, 0), Argb(255, {248, 0, 0}));
    EXPECT_EQ(Pixel(bitmap, 2, 0), Argb(255, {0, 248, 0}));
    EXPECT_EQ(Pixel(bitmap, 3, 0), Argb(255, {0, 0, 248}));
    EXPECT_EQ(Pixel(bitmap, 4, 0), Argb(255, {8, 8, 8}));
    EXPECT_EQ(Pixel(bitmap, 4, 1), Argb(255, {0, 0, 0}));

    const Failure failure = DecodeFailure(data, 8);
    EXPECT_EQ(failure.code, ERR_FORMAT_UNKNOWN);
    EXPECT_EQ(failure.message, Raised("Bad bits per pixel in expandBuf8."));
}

TEST(PICTDecoder, EightBitDirectPixMapWithoutColorTableIsGrey) {
    PictBuilder pict;
    pict.op(0x9A).be32(0xFF).be16(0x8000 | 8);
    pict.rect(0, 0, 1, 8).pixMapHeader({8, 1, 0}).copyBitsTail(1, 8);
    pict.rows({{0, 10, 200, 255, 0, 0, 0, 0}}, 8);
    const Bytes data = pict.end();
    CDIBBitmap direct;
    Decode(data, direct, 32);
    EXPECT_EQ(Pixel(direct, 1, 0), Argb(255, {10, 10, 10}));
    EXPECT_EQ(Pixel(direct, 3, 0), Argb(255, {255, 255, 255}));
    CDIBBitmap indexed;
    Decode(data, indexed, 0);
    EXPECT_EQ(indexed.GetRows()[0][2], 200);
    EXPECT_EQ(indexed.GetPalette()[200], (PaletteEntry{200, 200, 200, 255}));
}

TEST(PICTDecoder, BoundsAreSignedSoNegativeOriginsGiveThePlainSize) {
    PictBuilder pict;
    pict.op(0x98).be16(0x8000 | 4);
    pict.rect(-1, -2, 1, 2).pixMapHeader({8, 1, 0}).colorTable(kThreeColors).copyBitsTail(2, 4);
    pict.rows({{0, 1, 2, 0}, {1, 1, 1, 1}}, 4);
    CDIBBitmap bitmap;
    Decode(pict.end(), bitmap, 0);
    EXPECT_EQ(bitmap.GetWidth(), 4);
    EXPECT_EQ(bitmap.GetHeight(), 2);
    EXPECT_EQ(bitmap.GetRows()[1][3], 1);
}

// --- Walking the opcodes ------------------------------------------------------------

// Every kind of opcode the walk steps over, then an image that must come out right.
Bytes PictureWithEverythingBeforeTheImage() {
    PictBuilder pict;
    pict.op(0x0001).be16(10).be16(0).be16(0).be16(10).be16(10);  // rectangular clip
    pict.op(0x0001).be16(14).fill(12, 0xEE);                     // complex clip region
    pict.op(0x0000);                                             // NOP
    pict.op(0x001A).be16(0xFFFF).be16(0).be16(0);                // RGBFgCol
    pict.op(0x0009).fill(8, 0xAA);                               // PnPat
    pict.op(0x0011).u8(2);                                       // Version again
    pict.op(0x0028).be32(0x00100010).u8(3).text("abc");          // LongText
    pict.op(0x0029).u8(5).u8(2).text("de");                      // DHText
    pict.op(0x002A).u8(5).u8(1).text("f");                       // DVText
    pict.op(0x002B).u8(5).u8(6).u8(4).text("ghij");              // DHDVText
    pict.op(0x002C).be16(5).fill(5, 0x11);                       // reserved, length word
    pict.op(0x0031).fill(8, 0);                                  // paintRect
    pict.op(0x0061).fill(12, 0);                                 // paintArc
    pict.op(0x0071).be16(18).fill(16, 0x98);                     // paintPoly
    pict.op(0x0081).be16(12).fill(10, 0x98);                     // paintRgn
    pict.op(0x0089);                                             // paintSameRgn
    pict.op(0x00A0).be16(100);                                   // ShortComment
    pict.op(0x00A1).be16(100).be16(4).fill(4, 0x98);             // LongComment
    pict.op(0x00A5).be16(3).fill(3, 0x98);                       // reserved, length word
    pict.op(0x00B7);                                             // reserved, no data
    pict.op(0x00D2).be32(6).fill(6, 0x98);                       // reserved, 32-bit length
    pict.op(0x0300).fill(6, 0x98);                               // reserved, 2 x high byte
    pict.op(0x8042);                                             // reserved, no data
    pict.op(0x8100).be32(5).fill(5, 0x98);                       // reserved, 32-bit length
    pict.op(0x8201).be32(7).fill(7, 0x98);                       // uncompressed QuickTime
    // Pixel patterns: a dithered one, then a PixMap pattern of 8-bit pixels with packed rows.
    pict.op(0x0012).be16(2).fill(8, 0).be16(0xFFFF).be16(0).be16(0);
    pict.op(0x0013).be16(1).fill(8, 0).be16(0x8000 | 8);
    pict.rect(0, 0, 2, 8).pixMapHeader({8, 1, 0}).colorTable(kThreeColors);
    pict.rows({Bytes(8, 1), {0, 1, 2, 0, 1, 2, 0, 1}}, 8);
    // The image.
    pict.op(0x98).be16(0x8000 | 8);
    pict.rect(0, 0, 1, 8).pixMapHeader({8, 1, 0}).colorTable(kThreeColors).copyBitsTail(1, 8);
    pict.rows({{2, 1, 0, 2, 1, 0, 2, 1}}, 8);
    return pict.end();
}

TEST(PICTDecoder, StepsOverEveryKindOfDrawingOpcodeInStep) {
    CDIBBitmap bitmap;
    Decode(PictureWithEverythingBeforeTheImage(), bitmap, 0);
    EXPECT_EQ((Bytes{bitmap.GetRows()[0], bitmap.GetRows()[0] + 8}), (Bytes{2, 1, 0, 2, 1, 0, 2, 1}));
}

TEST(PICTDecoder, Version1StepsOverTextAndDithersInStep) {
    PictBuilder pict(1);
    pict.op(0x28).be32(0).u8(2).text("hi");
    pict.op(0x12).be16(2).fill(8, 0).be16(1).be16(2).be16(3);
    pict.op(0x03).be16(4);
    pict.op(0x90).be16(1);
    pict.rect(0, 0, 1, 8).copyBitsTail(1, 8);
    pict.out().u8(0x0F);
    CDIBBitmap bitmap;
    Decode(pict.end(), bitmap, 32);
    EXPECT_EQ(Pixel(bitmap, 0, 0), kOpaqueWhite);
    EXPECT_EQ(Pixel(bitmap, 7, 0), kOpaqueBlack);
}

TEST(PICTDecoder, TraceNamesEachOpcode) {
    testsupport::TemporaryFolder folder;
    const auto traceFile = folder / "trace.txt";
    SetTraceLevel(3);
    SetTraceFile(traceFile.string());
    CDIBBitmap bitmap;
    Decode(PictureWithEverythingBeforeTheImage(), bitmap, 32);
    SetTraceLevel(0);
    ClearTraceFile();
    std::ifstream in(traceFile);
    std::stringstream text;
    text << in.rdbuf();
    const std::string trace = text.str();
    for (const char* line :
         {"Decoding mac pict.\n", "PICT version 2 found.\n", "Opcode: Header.\n", "Opcode: Clip\n",
          "Opcode: LongText\n", "Opcode: DHDVText\n", "Opcode: reserved=0x2c\n", "Opcode: paintArc\n",
          "Skipping polygon or region.\n", "Opcode: LongComment\n", "Opcode: reserved 0xa5.\n",
          "Opcode: reserved 0x8100.\n", "Opcode: PnPixPat\n", "Palette Size:  3\n", "Opcode: PackBitsRect\n",
          "  Bounds: (0,0) (8,1).\n", "  pixelSize: 8\n", "  cmpCount: 1\n"}) {
        EXPECT_NE(trace.find(line), std::string::npos) << line;
    }
}

// --- Failures ------------------------------------------------------------------------

TEST(PICTDecoder, PictureWithoutRasterImageFails) {
    PictBuilder pict;
    pict.op(0x0030).be16(0).be16(0).be16(10).be16(10);
    pict.op(0x0028).be32(0).u8(5).text("hello");
    const Failure failure = DecodeFailure(pict.end());
    EXPECT_EQ(failure.code, ERR_FORMAT_NOT_COMPILED);
    EXPECT_EQ(failure.message, Raised("PICT contained only vector data!\n"));

    PictBuilder version1(1);
    version1.op(0x31).fill(8, 0);
    EXPECT_EQ(DecodeFailure(version1.end()).message, Raised("PICT contained only vector data!\n"));
}

TEST(PICTDecoder, MissingOrUnknownVersionIsAWrongSignature) {
    ByteWriter noVersion;
    noVersion.fill(522, 0).u8(0x12).u8(1);
    Failure failure = DecodeFailure(noVersion.data());
    EXPECT_EQ(failure.code, ERR_WRONG_SIGNATURE);
    EXPECT_EQ(failure.message, Raised("Error decoding pict: Version number missing."));

    for (const Bytes& version : {Bytes{0x11, 3}, Bytes{0x11, 2, 0xFE}, Bytes{0x11, 0}}) {
        ByteWriter bad;
        bad.fill(522, 0).bytes(version).fill(40, 0);
        failure = DecodeFailure(bad.data());
        EXPECT_EQ(failure.code, ERR_WRONG_SIGNATURE);
        EXPECT_EQ(failure.message, Raised("Illegal version number."));
    }
}

TEST(PICTDecoder, ColorTablesLargerThan256EntriesOrWithIndexesBeyondTheirSizeFail) {
    const std::string message = Raised("pixel value greater than colour table size.");
    std::vector<Rgb> huge(257, Rgb{1, 2, 3});
    PictBuilder big;
    big.op(0x98).be16(0x8000 | 8);
    big.rect(0, 0, 1, 8).pixMapHeader({8, 1, 0}).colorTable(huge).copyBitsTail(1, 8).rows({Bytes(8, 0)}, 8);
    Failure failure = DecodeFailure(big.end());
    EXPECT_EQ(failure.code, ERR_FORMAT_UNKNOWN);
    EXPECT_EQ(failure.message, message);

    for (const int value : {3, 255, 256, 0xFFFF}) {
        PictBuilder index;
        index.op(0x98).be16(0x8000 | 8);
        index.rect(0, 0, 1, 8).pixMapHeader({8, 1, 0}).colorTable(kThreeColors, 0, {0, 1, value});
        index.copyBitsTail(1, 8).rows({Bytes(8, 0)}, 8);
        failure = DecodeFailure(index.end());
        EXPECT_EQ(failure.code, ERR_FORMAT_UNKNOWN) << value;
        EXPECT_EQ(failure.message, message) << value;
    }
}

TEST(PICTDecoder, UnknownPixelPatternTypeFails) {
    PictBuilder pict;
    pict.op(0x0014).be16(3).fill(40, 0);
    const Failure failure = DecodeFailure(pict.end());
    EXPECT_EQ(failure.code, ERR_FORMAT_UNKNOWN);
    EXPECT_EQ(failure.message, Raised("Unknown pattern type in pixPat."));
}

TEST(PICTDecoder, UnknownPixelSizesAndComponentCountsFail) {
    for (const int pixelSize : {0, 3, 24, 64}) {
        PictBuilder pict;
        pict.op(0x98).be16(0x8000 | 8);
        pict.rect(0, 0, 1, 8).pixMapHeader({pixelSize, 1, 0}).colorTable(kThreeColors).copyBitsTail(1, 8);
        pict.rows({Bytes(8, 0)}, 8);
        const Failure failure = DecodeFailure(pict.end());
        EXPECT_EQ(failure.code, ERR_FORMAT_UNKNOWN);
        EXPECT_EQ(failure.message,
                  Raised("Illegal bpp value in unpackbits: " + std::to_string(pixelSize) + "\n"));
    }
    const Failure components = DecodeFailure(DirectPicture({Bytes(4, 0)}, 2, 2));
    EXPECT_EQ(components.code, ERR_FORMAT_UNKNOWN);
    EXPECT_EQ(components.message, Raised("Illegal component count in pict: 2."));
    // Direct pixels cannot be kept as 8-bit indexes.
    EXPECT_EQ(DecodeFailure(DirectPicture({Bytes(6, 0)}, 2, 3), 8).message,
              Raised("Bad bits per pixel in expandBuf8."));
}

TEST(PICTDecoder, EmptyOrInvertedBoundsFail) {
    for (const auto& [bottom, right] : std::vector<std::pair<int, int>>{{0, 8}, {1, 0}, {-3, 8}, {1, -8}}) {
        PictBuilder pict;
        pict.op(0x98).be16(0x8000 | 8);
        pict.rect(0, 0, bottom, right).pixMapHeader({8, 1, 0}).colorTable(kThreeColors).copyBitsTail(1, 8);
        pict.rows({Bytes(8, 0)}, 8);
        const Failure failure = DecodeFailure(pict.end());
        EXPECT_EQ(failure.code, ERR_FORMAT_UNKNOWN);
        EXPECT_EQ(failure.message, Raised("Illegal image size in pict: " + std::to_string(right) + " x " +
                                          std::to_string(bottom) + "."));
    }
}

TEST(PICTDecoder, HugeBoundsWithoutTheDataForTheirRowsFailBeforeAllocating) {
    PictBuilder direct;
    direct.op(0x9A).be32(0xFF).be16(0x8000);
    direct.rect(-32768, -32768, 32767, 32767).pixMapHeader({32, 3, 4}).copyBitsTail(1, 1);
    direct.out().fill(100, 0);
    EXPECT_EQ(DecodeFailure(direct.end()).code, ERR_END_OF_FILE);

    // Rows of 30000 bytes whose packed counts are all 0: every row would be
    // blank, but no encoder fills a row with less than its PackBits.
    PictBuilder empty;
    empty.op(0x98).be16(0x8000 | 30000);
    empty.rect(0, 0, 1000, 30000).pixMapHeader({8, 1, 0}).colorTable(kThreeColors).copyBitsTail(1, 1);
    empty.out().fill(2000, 0);
    EXPECT_EQ(DecodeFailure(empty.end()).code, ERR_END_OF_FILE);
}

TEST(PICTDecoder, RowsNarrowerThanTheirPixelsFail) {
    // Found by fuzzing: a BitMap 32514 pixels wide with rows of 116 bytes
    // made a few bytes of data stand for a 66 MB bitmap.
    PictBuilder bitMap;
    bitMap.op(0x99).be16(116);
    bitMap.rect(-513, -1, -1, 32513).copyBitsTail(1, 1);
    bitMap.out().be16(10).fill(8, 0).fill(1000, 0x56);
    Failure failure = DecodeFailure(bitMap.end());
    EXPECT_EQ(failure.code, ERR_FORMAT_UNKNOWN);
    EXPECT_EQ(failure.message, Raised("Rows of 116 bytes cannot hold 32514 pixels in pict."));

    PictBuilder sixteen;
    sixteen.op(0x98).be16(0x8000 | 9);
    sixteen.rect(0, 0, 1, 5).pixMapHeader({16, 3, 0}).colorTable(kThreeColors).copyBitsTail(1, 5);
    sixteen.rows({Bytes(10, 0)}, 9, 2);
    failure = DecodeFailure(sixteen.end());
    EXPECT_EQ(failure.message, Raised("Rows of 9 bytes cannot hold 5 pixels in pict."));
}

TEST(PICTDecoder, EveryTruncationEndsInACleanError) {
    const std::vector<Bytes> pictures = {
        PictureWithEverythingBeforeTheImage(),
        DirectPicture({{10, 20, 30, 40, 50, 60, 70, 80, 90}, {1, 1, 1, 2, 2, 2, 3, 3, 3}}, 3, 3),
        EightBitPicture(std::vector<Bytes>(3, Bytes(300, 7)), kThreeColors),
    };
    for (const Bytes& picture : pictures) {
        // The end opcode is not needed once the image is read.
        const std::size_t imageEnd = picture.size() - 3;
        for (std::size_t length = 0; length < imageEnd; ++length) {
            const Bytes cut(picture.begin(), picture.begin() + static_cast<std::ptrdiff_t>(length));
            CDIBBitmap bitmap;
            try {
                Decode(cut, bitmap, 32);
                ADD_FAILURE() << "decoded " << length << " of " << picture.size() << " bytes";
            } catch (const CTextException& error) {
                ASSERT_EQ(error.GetCode(), ERR_END_OF_FILE) << length;
                ASSERT_STREQ(error.GetMessage(), "End of file reached while decoding.\n");
            }
        }
    }
}

// --- Embedded QuickTime data ---------------------------------------------------------

Bytes QuickTimePicture(const Bytes& payload, std::uint32_t length = 0) {
    PictBuilder pict;
    pict.op(0x8200).be32(length != 0 ? length : static_cast<std::uint32_t>(payload.size()));
    pict.out().bytes(payload);
    pict.op(0x00A0).be16(0);
    return pict.end();
}

TEST(PICTDecoder, QuickTimeDataWithoutJpegIsUnrecognized) {
    Bytes payload(200, 0x42);
    payload[50] = 0xFF;
    payload[51] = 0xD8;  // not followed by 0xFF
    CJPEGDecoder jpeg;
    Failure failure = DecodeFailure(QuickTimePicture(payload), 32, &jpeg);
    EXPECT_EQ(failure.code, ERR_FORMAT_NOT_COMPILED);
    EXPECT_EQ(failure.message, Raised("PICT file contains unrecognized quicktime data.\n"));

    // A JPEG start just behind the opcode's data does not count.
    Bytes behind = payload;
    behind.insert(behind.end(), {0xFF, 0xD8, 0xFF, 0xE0});
    failure = DecodeFailure(QuickTimePicture(behind, 200), 32, &jpeg);
    EXPECT_EQ(failure.message, Raised("PICT file contains unrecognized quicktime data.\n"));

    // A length beyond the data runs into its end.
    EXPECT_EQ(DecodeFailure(QuickTimePicture(payload, 100000), 32, &jpeg).code, ERR_END_OF_FILE);
}

TEST(PICTDecoder, QuickTimeJpegNeedsAJpegDecoder) {
    Bytes payload(100, 0);
    payload.insert(payload.end(), {0xFF, 0xD8, 0xFF, 0xE0, 0, 16});
    const Failure failure = DecodeFailure(QuickTimePicture(payload), 32, nullptr);
    EXPECT_EQ(failure.code, ERR_FORMAT_NOT_COMPILED);
    EXPECT_EQ(failure.message, Raised("Library not compiled for PICT/JPEG."));
}

TEST(PICTDecoder, QuickTimeJpegIsHandedToTheJpegDecoder) {
    // A broken JPEG: the JPEG decoder's own error comes back.
    Bytes payload(100, 0);
    payload.insert(payload.end(), {0xFF, 0xD8, 0xFF, 0x01, 0x02, 0x03});
    CJPEGDecoder jpeg;
    const Failure failure = DecodeFailure(QuickTimePicture(payload), 32, &jpeg);
    EXPECT_EQ(failure.code, ERR_FORMAT_NOT_COMPILED);
    EXPECT_NE(failure.message, Raised("PICT file contains unrecognized quicktime data.\n"));
    EXPECT_NE(failure.message, Raised("Library not compiled for PICT/JPEG."));
}

// A JPEG made by libjpeg's compress side: the left half in `left`, the right
// half in `right`, both grey when `components` is 1.
Bytes EncodeJpeg(int width, int height, int components, Rgb left, Rgb right) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    Bytes row(static_cast<std::size_t>(width * components));
    for (int x = 0; x < width; ++x) {
        const Rgb color = x < width / 2 ? left : right;
        const std::uint8_t samples[] = {color.red, color.green, color.blue};
        std::copy(samples, samples + components, row.begin() + x * components);
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    Bytes jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return jpeg;
}

void ExpectNear(std::uint32_t pixel, Rgb color) {
    EXPECT_NEAR(static_cast<int>((pixel >> 16) & 0xFF), color.red, 4);
    EXPECT_NEAR(static_cast<int>((pixel >> 8) & 0xFF), color.green, 4);
    EXPECT_NEAR(static_cast<int>(pixel & 0xFF), color.blue, 4);
}

TEST(PICTDecoder, QuickTimeJpegGivesTheJpegsPixelsAndTheRestIsNotRead) {
    // An image description in front of the stream, and no end opcode after it.
    Bytes payload(86, 0x20);
    const Bytes jpeg = EncodeJpeg(16, 8, 3, {255, 0, 0}, {0, 0, 255});
    payload.insert(payload.end(), jpeg.begin(), jpeg.end());
    PictBuilder pict;
    pict.op(0x8200).be32(static_cast<std::uint32_t>(payload.size()));
    pict.out().bytes(payload).fill(33, 0x77);

    CJPEGDecoder jpegDecoder;
    CDIBBitmap bitmap;
    Decode(pict.out().data(), bitmap, 0, &jpegDecoder);
    ASSERT_EQ(bitmap.GetDepth(), 32);
    ASSERT_EQ(bitmap.GetWidth(), 16);
    ASSERT_EQ(bitmap.GetHeight(), 8);
    ExpectNear(Pixel(bitmap, 1, 1), {255, 0, 0});
    ExpectNear(Pixel(bitmap, 14, 6), {0, 0, 255});
}

TEST(PICTDecoder, QuickTimeJpegKeepsToThePicturesLimitsAndTheJpegDecoderGetsItsOwnBack) {
    const Bytes picture = QuickTimePicture(EncodeJpeg(16, 8, 3, {255, 0, 0}, {0, 0, 255}));
    CJPEGDecoder jpegDecoder;
    CPICTDecoder decoder(&jpegDecoder);
    DecodeLimits limits;
    limits.maxBitmapBytes = 16 * 8 * 4 - 1;
    decoder.SetLimits(limits);
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(picture.data(), static_cast<std::int64_t>(picture.size()), bitmap, 32);
        ADD_FAILURE() << "decoded over the limit";
    } catch (const CTextException& error) {
        EXPECT_EQ(error.GetCode(), ERR_NO_MEMORY);
        EXPECT_STREQ(error.GetMessage(), "Out of memory creating bitmap.");
    }
    EXPECT_EQ(jpegDecoder.GetLimits().maxBitmapBytes, DecodeLimits{}.maxBitmapBytes);
}

TEST(PICTDecoder, QuickTimeJpegsColorProfileIsNamedAsThePictures) {
    // After a picture whose JPEG carries a profile, one without a JPEG names none.
    const Bytes tagged = QuickTimePicture(testsupport::WithJpegProfile(
        EncodeJpeg(16, 8, 3, {255, 0, 0}, {0, 0, 255}), testsupport::DisplayP3Profile()));
    PictBuilder plain;
    plain.op(0x00A0).be16(0);
    const struct {
        Bytes picture;
        const char* note;
    } cases[] = {{tagged, "colour profile: Display P3 -> sRGB"}, {plain.end(), ""}};
    CJPEGDecoder jpegDecoder;
    CPICTDecoder decoder(&jpegDecoder);
    for (const auto& entry : cases) {
        CDIBBitmap bitmap;
        try {
            decoder.DecodeMemory(entry.picture.data(), static_cast<std::int64_t>(entry.picture.size()),
                                 bitmap, 32);
        } catch (const CTextException&) {
            // A picture without an image fails, after the walk.
        }
        EXPECT_EQ(decoder.GetColorNote(), entry.note);
    }
}

TEST(PICTDecoder, QuickTimeGreyJpegComesOutAtTheSettledDepth) {
    // A grey JPEG on its own would give 8 bits; inside a picture it follows the
    // wanted depth, 32 for 0 and 32, so a caller asking for 32 gets 32.
    const Bytes jpeg = EncodeJpeg(16, 8, 1, {40, 40, 40}, {200, 200, 200});
    CJPEGDecoder jpegDecoder;
    for (const int wanted : {0, 32}) {
        CDIBBitmap bitmap;
        Decode(QuickTimePicture(jpeg), bitmap, wanted, &jpegDecoder);
        ASSERT_EQ(bitmap.GetDepth(), 32) << wanted;
        ExpectNear(Pixel(bitmap, 0, 0), {40, 40, 40});
        ExpectNear(Pixel(bitmap, 15, 7), {200, 200, 200});
    }
    CDIBBitmap indexed;
    Decode(QuickTimePicture(jpeg), indexed, 8, &jpegDecoder);
    ASSERT_EQ(indexed.GetDepth(), 8);
    EXPECT_NEAR(indexed.GetRows()[0][0], 40, 4);
}

// --- Conformance pictures ---------------------------------------------------------------

TEST(PICTDecoder, ConformancePicturesDecodeOrFailAsTheyShould) {
    const auto folder = testsupport::CorpusFolder("pict/twelvemonkeys");
    if (folder.empty()) GTEST_SKIP() << "no conformance pictures";
    struct Expected {
        int width;
        int height;
        bool alpha;
    };
    const std::map<std::string, Expected> raster = {
        {"FC10.PCT", {2265, 2593, false}},
        {"VENUS.PCT", {300, 150, false}},
        {"demo.pict", {360, 178, false}},
        {"1.pict", {622, 10, false}},
        {"16bit.pict", {270, 269, false}},
        {"mire16.pict", {64, 64, false}},
        {"32bit.pict", {270, 269, false}},
        {"mire32.pict", {64, 64, false}},
        {"BLK.PCT", {200, 144, false}},
        {"BLU.PCT", {200, 144, false}},
        {"GRN.PCT", {200, 144, false}},
        {"RED.PCT", {200, 144, false}},
        {"WHT.PCT", {200, 144, false}},
        {"YEL.PCT", {200, 144, false}},
        {"TRU256.PCT", {256, 64, false}},
        {"FLAG_B24.PCT", {124, 124, false}},
        {"P564B1400.pict", {598, 88, false}},
        {"food.pct", {146, 194, true}},
        // QuickTime JPEG, through the JPEG decoder.
        {"J19.pict", {640, 192, false}},
        {"qt_jpeg.pict", {500, 662, false}},
        {"qt_mire.pict", {64, 64, false}},
    };
    const std::map<std::string, std::string> failing = {
        {"qt_png.pict", "PICT file contains unrecognized quicktime data.\n"},
        {"u2.pict", "PICT file contains unrecognized quicktime data.\n"},
        {"foo.pict", "PICT file contains unrecognized quicktime data.\n"},
        {"4.pict", "PICT contained only vector data!\n"},
        {"6.pict", "PICT contained only vector data!\n"},
        {"7.pict", "PICT contained only vector data!\n"},
        {"8.pict", "PICT contained only vector data!\n"},
        {"oom.pict", "PICT contained only vector data!\n"},
        {"cow.pict", "PICT contained only vector data!\n"},
        {"Picture14.pict", "PICT contained only vector data!\n"},
        {"CatDV==2.0=1=.pict", "PICT contained only vector data!\n"},
    };

    CJPEGDecoder jpegDecoder;
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++seen;
        CPICTDecoder decoder(&jpegDecoder);
        CDIBBitmap bitmap;
        if (auto it = raster.find(name); it != raster.end()) {
            ASSERT_NO_THROW(decoder.DecodeFile(entry.path().string(), bitmap, 32, nullptr));
            EXPECT_EQ(bitmap.GetWidth(), it->second.width);
            EXPECT_EQ(bitmap.GetHeight(), it->second.height);
            EXPECT_EQ(bitmap.GetDepth(), 32);
            EXPECT_EQ(bitmap.HasAlphaChannel(), it->second.alpha);
        } else if (auto fail = failing.find(name); fail != failing.end()) {
            try {
                decoder.DecodeFile(entry.path().string(), bitmap, 32, nullptr);
                ADD_FAILURE() << "decoded";
            } catch (const CTextException& error) {
                EXPECT_EQ(error.GetCode(), ERR_FORMAT_NOT_COMPILED);
                EXPECT_EQ(error.GetMessage(), Raised(fail->second));
            }
        } else {
            ADD_FAILURE() << "unexpected file";
        }
    }
    EXPECT_EQ(seen, 32);
}

TEST(PICTDecoder, ConformancePixelsMatchKnownColors) {
    const auto folder = testsupport::CorpusFolder("pict/twelvemonkeys");
    if (folder.empty()) GTEST_SKIP() << "no conformance pictures";
    CPICTDecoder decoder;
    // Plain colour swatches (32-bit direct pixels), as their files store them.
    const std::map<std::string, std::uint32_t> swatches = {
        {"BLK.PCT", 0xFF020202}, {"WHT.PCT", 0xFFFFFFFF}, {"RED.PCT", 0xFFFF0301}};
    for (const auto& [name, color] : swatches) {
        CDIBBitmap bitmap;
        decoder.DecodeFile((folder / name).string(), bitmap, 32, nullptr);
        EXPECT_EQ(Pixel(bitmap, 100, 70), color) << name;
    }
    // A test card of colour bars, red on top, in 32-bit and 16-bit pixels.
    CDIBBitmap mire;
    decoder.DecodeFile((folder / "mire32.pict").string(), mire, 32, nullptr);
    EXPECT_EQ(Pixel(mire, 32, 2), 0xFFFF0000);
    decoder.DecodeFile((folder / "mire16.pict").string(), mire, 32, nullptr);
    EXPECT_EQ(Pixel(mire, 32, 2), 0xFFF80000);
}

}  // namespace
