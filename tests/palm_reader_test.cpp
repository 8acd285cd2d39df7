#include "engine/palm_bitmap.h"
#include "engine/palm_database.h"
#include "engine/palm_database_reader.h"
#include "engine/palm_palette.h"
#include "engine/palm_picture.h"
#include "imagelib/image_bitmap.h"
#include "support/modern_writers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<std::uint8_t, 3>;
using testsupport::ByteWriter;

std::vector<Rgb> Render(const PalmDatabaseRecord& database, int density = kHighestDensity,
                        const DecodeLimits& limits = {}) {
    CMemoryBitmap picture;
    renderViewerPicture(database, density, picture, limits);
    std::vector<Rgb> rgb;
    for (int y = 0; y < picture.GetHeight(); ++y)
        for (int x = 0; x < picture.GetWidth(); ++x) {
            const std::uint8_t* pixel = picture.GetRows()[y] + 4 * x;
            rgb.push_back({pixel[2], pixel[1], pixel[0]});
        }
    return rgb;
}

// ---- the outside check -------------------------------------------------------

Bytes RunCommand(const std::string& command) {
    Bytes output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::uint8_t buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.insert(output.end(), buffer, buffer + got);
        if (pclose(pipe) != 0) output.clear();
    }
    return output;
}

bool HaveNetpbm() {
    return !RunCommand("command -v pnmtopalm palmtopnm ppmtoppm pamdepth").empty();
}

// A PPM, or a PGM when every pixel is grey: netpbm writes grey levels only
// from grey pictures.
Bytes Pnm(int width, int height, const std::vector<Rgb>& pixels) {
    const bool grey =
        std::all_of(pixels.begin(), pixels.end(), [](const Rgb& p) { return p[0] == p[1] && p[1] == p[2]; });
    const std::string header =
        (grey ? "P5\n" : "P6\n") + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    Bytes bytes(header.begin(), header.end());
    for (const Rgb& pixel : pixels)
        bytes.insert(bytes.end(), pixel.begin(), grey ? pixel.begin() + 1 : pixel.end());
    return bytes;
}

// The pixels of a binary PPM of maxval 255.
std::vector<Rgb> PpmPixels(const Bytes& ppm) {
    std::size_t position = 0;
    int fields = 0;
    while (position < ppm.size() && fields < 4) {  // magic, width, height, maxval
        while (position < ppm.size() && std::isspace(ppm[position])) ++position;
        while (position < ppm.size() && !std::isspace(ppm[position])) ++position;
        ++fields;
    }
    std::vector<Rgb> pixels;
    for (++position; position + 3 <= ppm.size(); position += 3)
        pixels.push_back({ppm[position], ppm[position + 1], ppm[position + 2]});
    return pixels;
}

// netpbm draws these entries of the 8-bit system palette with 192 and 128
// where the device uses 204 and 136.
const std::map<int, Rgb> kNetpbmSystemColors = {{225, {192, 192, 192}},
                                                {226, {128, 0, 0}},
                                                {227, {128, 0, 128}},
                                                {228, {0, 128, 0}},
                                                {229, {0, 128, 128}}};

Rgb SystemColor(int depth, int index) {
    if (depth == 8 && kNetpbmSystemColors.count(index)) return kNetpbmSystemColors.at(index);
    const PalmPalette palette(depth);
    return {palette.red(index), palette.green(index), palette.blue(index)};
}

std::uint8_t ReverseBits(std::uint8_t value) {
    std::uint8_t result = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (value & (1 << bit)) result = static_cast<std::uint8_t>(result | (0x80 >> bit));
    return result;
}

// Rewrites one big-endian bitmap as netpbm writes it into the little-endian
// form: every header field, the colour table's count, the block length and
// raw 16-bit pixels swapped, the flags in the reverse bit order.
Bytes ToLittleEndian(Bytes b) {
    const auto swap16 = [&](std::size_t at) { std::swap(b[at], b[at + 1]); };
    const auto swap32 = [&](std::size_t at) {
        std::swap(b[at], b[at + 3]);
        std::swap(b[at + 1], b[at + 2]);
    };
    const int version = b[9], depth = b[8];
    const std::uint8_t flags = b[6];
    swap16(0), swap16(2), swap16(4);
    b[6] = ReverseBits(flags);
    b[9] = static_cast<std::uint8_t>(b[9] | 0x80);
    std::size_t position = 16;
    if (version == 3) {
        if (depth == 16) b[11] = 2;  // 5-6-5, low byte first
        swap16(14), swap32(16), swap32(20);
        position = b[10];
    } else {
        swap16(10);
    }
    if (flags & 0x40) {
        const std::size_t count = (b[position] << 8) | b[position + 1];
        swap16(position);
        position += 2 + 4 * count;
    }
    if (version != 3 && (flags & 0x04)) position += 8;
    if (flags & 0x80) {
        version == 3 ? swap32(position) : swap16(position);
    } else if (depth == 16) {
        for (; position + 1 < b.size(); position += 2) swap16(position);
    }
    return b;
}

struct NetpbmCase {
    const char* name;
    int depth;
    const char* options;
    int version;  // the version netpbm picks
    bool littleEndian = false;
};

class NetpbmCrossCheck : public testing::TestWithParam<NetpbmCase> {};

TEST_P(NetpbmCrossCheck, ReadsThePixelsPalmtopnmGives) {
    if (!HaveNetpbm()) GTEST_SKIP() << "netpbm is not installed";
    const NetpbmCase& test = GetParam();
    const bool colorTable = std::string(test.options).find("colormap") != std::string::npos;
    constexpr int kWidth = 13, kHeight = 7;  // rows that end inside a byte at every depth

    std::mt19937 random(static_cast<unsigned>(test.depth * 31 + test.version));
    std::vector<int> indexes;
    std::vector<Rgb> pixels;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        if (test.depth == 16 || colorTable) {
            // A few colours repeated, so that the compressions find runs.
            const unsigned seed = random() % 24;
            pixels.push_back({static_cast<std::uint8_t>(seed * 37), static_cast<std::uint8_t>(seed * 91),
                              static_cast<std::uint8_t>(255 - seed * 10)});
        } else {
            // netpbm refuses 8-bit indexes from 231 up; 230 is the first black.
            const int count = test.depth == 8 ? 231 : 1 << test.depth;
            indexes.push_back(static_cast<int>(random() % static_cast<unsigned>(count)));
            pixels.push_back(SystemColor(test.depth, indexes.back()));
        }
    }
    testsupport::TemporaryFolder folder;
    testsupport::WriteFileBytes(folder / "in.pnm", Pnm(kWidth, kHeight, pixels));
    const std::string transparent = "rgb:" + [&] {
        char text[16];
        std::snprintf(text, sizeof text, "%02x/%02x/%02x", pixels[0][0], pixels[0][1], pixels[0][2]);
        return std::string(text);
    }();
    std::string options = test.options;
    if (const auto at = options.find("TRANSPARENT"); at != std::string::npos)
        options.replace(at, 11, transparent);
    Bytes palm = RunCommand("pnmtopalm -depth " + std::to_string(test.depth) + " " + options + " " +
                            (folder / "in.pnm").string() + " 2>/dev/null");
    ASSERT_FALSE(palm.empty());
    ASSERT_EQ(palm[9], test.version);
    testsupport::WriteFileBytes(folder / "in.palm", palm);
    const std::vector<Rgb> expected =
        PpmPixels(RunCommand("palmtopnm " + (folder / "in.palm").string() + " | ppmtoppm | pamdepth 255"));
    ASSERT_EQ(expected.size(), pixels.size());
    if (test.littleEndian) palm = ToLittleEndian(palm);

    const PalmDatabaseRecord read = readPalmDatabase(palm);
    ASSERT_TRUE(read.bareBitmap);
    ASSERT_EQ(read.resources.size(), 1u);
    ASSERT_EQ(read.resources[0].bitmaps.size(), 1u);
    const PalmBitmapRecord& bitmap = read.resources[0].bitmaps[0];
    EXPECT_EQ(bitmap.littleEndian, test.littleEndian);
    EXPECT_EQ(bitmap.hasColorTable, colorTable);
    const std::vector<Rgb> rendered = Render(read);
    ASSERT_EQ(rendered.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("pixel " + std::to_string(i));
        if (indexes.empty() || !kNetpbmSystemColors.count(indexes[i])) {
            EXPECT_EQ(rendered[i], expected[i]);
        } else {
            EXPECT_EQ(bitmap.pixels[(i / kWidth) * static_cast<std::size_t>(bitmap.rowBytes) + i % kWidth],
                      indexes[i]);
        }
    }
    if (options.find("transparent") != std::string::npos) {
        EXPECT_TRUE(bitmap.hasTransparency);
        if (test.depth == 8) {
            EXPECT_EQ(bitmap.transparentValue, static_cast<std::uint32_t>(indexes[0]));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryVersionDepthAndCompression, NetpbmCrossCheck,
    testing::Values(
        NetpbmCase{"Raw1", 1, "", 0}, NetpbmCase{"Raw2", 2, "", 1}, NetpbmCase{"Raw4", 4, "", 1},
        NetpbmCase{"Raw8", 8, "", 1}, NetpbmCase{"Raw16", 16, "", 1},
        NetpbmCase{"Scanline1", 1, "-scanline_compression", 2}, NetpbmCase{"Rle2", 2, "-rle_compression", 2},
        NetpbmCase{"PackBits4", 4, "-packbits_compression", 2},
        NetpbmCase{"Scanline8", 8, "-scanline_compression", 2}, NetpbmCase{"Rle8", 8, "-rle_compression", 2},
        NetpbmCase{"PackBits8", 8, "-packbits_compression", 2}, NetpbmCase{"ColourTable8", 8, "-colormap", 1},
        NetpbmCase{"Transparent8", 8, "-transparent TRANSPARENT", 2},
        NetpbmCase{"Transparent16", 16, "-transparent TRANSPARENT", 2},
        NetpbmCase{"Density144", 8, "-density 144", 3},
        NetpbmCase{"Density144PackBits", 8, "-density 144 -packbits_compression", 3},
        NetpbmCase{"Density144Raw16", 16, "-density 144", 3}, NetpbmCase{"LittleEndianRaw4", 4, "", 1, true},
        NetpbmCase{"LittleEndianScanline8", 8, "-scanline_compression", 2, true},
        NetpbmCase{"LittleEndianRle8", 8, "-rle_compression", 2, true},
        NetpbmCase{"LittleEndianColourTable", 8, "-colormap -packbits_compression", 2, true},
        NetpbmCase{"LittleEndianRaw16", 16, "", 1, true},
        NetpbmCase{"LittleEndianDensity144Raw16", 16, "-density 144", 3, true}),
    [](const testing::TestParamInfo<NetpbmCase>& info) { return std::string(info.param.name); });

// ---- bitmaps built by hand -----------------------------------------------------

// The 16-bit colours used below, 5-6-5, and what they show as.
constexpr std::uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kGrey = 0x8410;
const Rgb kRedRgb{255, 0, 0}, kGreenRgb{0, 255, 0}, kBlueRgb{0, 0, 255}, kGreyRgb{131, 129, 131};

struct HandBuiltCase {
    const char* name;
    Bytes bytes;
    int width, height;
    std::vector<Rgb> pixels;  // of the picture shown at the highest density
};

Bytes LittleEndian16BitPackBits() {
    // Version 3, 5-6-5 low byte first, 3 x 2, PackBits: a literal row, then a run.
    ByteWriter b;
    b.le16(3).le16(2).le16(6).u8(0x01).u8(0).u8(16).u8(0x83).u8(24).u8(2).u8(0).u8(2).le16(72).le32(0).le32(
        0);
    b.le32(4 + 7 + 3).u8(2).le16(kRed).le16(kGreen).le16(kBlue).u8(0xFE).le16(kGrey);
    return b.data();
}

Bytes BigEndian16BitRle() {
    // Version 2 with its 5-6-5 layout, 3 x 2, RLE: count and a big-endian pixel.
    ByteWriter b;
    b.be16(3).be16(2).be16(6).u8(0x84).u8(0).u8(16).u8(2).be16(0).u8(0).u8(1).be16(0);
    b.u8(5).u8(6).u8(5).u8(0).be32(0);
    b.be16(2 + 9).u8(2).be16(kBlue).u8(1).be16(kRed).u8(3).be16(kGreen);
    return b.data();
}

Bytes LittleEndianColorTableRle() {
    // Version 2, little-endian, 4-bit with a three-entry table of its own.
    ByteWriter b;
    b.le16(3).le16(1).le16(2).u8(0x03).u8(0).u8(4).u8(0x82).le16(0).u8(0).u8(1).le16(0);
    b.le16(3).bytes({0, 255, 0, 0}).bytes({1, 0, 255, 0}).bytes({2, 0, 0, 255});
    b.le16(2 + 4).u8(1).u8(0x21).u8(1).u8(0x00);
    return b.data();
}

Bytes OldFamilyWithPlaceholder() {
    // A low-density 8-bit bitmap, the placeholder, and a double-density one.
    ByteWriter b;
    b.be16(1).be16(1).be16(2).be16(0).u8(8).u8(1).be16(5).be32(0);  // next: 20 bytes on
    b.bytes({125, 0}).fill(2, 0);
    b.be16(0).be16(0).be16(0).be16(0).u8(0xFF).u8(1).be16(0).be32(0);
    b.be16(2).be16(1).be16(2).be16(0).u8(8).u8(3).u8(24).u8(0).u8(0).u8(0).be16(144).be32(0).be32(0);
    b.bytes({230, 0});
    return b.data();
}

const Rgb kWhite{255, 255, 255}, kBlack{0, 0, 0};

class HandBuiltBitmaps : public testing::TestWithParam<HandBuiltCase> {};

TEST_P(HandBuiltBitmaps, ShowTheirPixels) {
    const HandBuiltCase& test = GetParam();
    const PalmDatabaseRecord read = readPalmDatabase(test.bytes);
    CMemoryBitmap picture;
    renderViewerPicture(read, kHighestDensity, picture);
    EXPECT_EQ(picture.GetWidth(), test.width);
    EXPECT_EQ(picture.GetHeight(), test.height);
    EXPECT_EQ(Render(read), test.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, HandBuiltBitmaps,
    testing::Values(HandBuiltCase{"LittleEndian16BitPackBits",
                                  LittleEndian16BitPackBits(),
                                  3,
                                  2,
                                  {kRedRgb, kGreenRgb, kBlueRgb, kGreyRgb, kGreyRgb, kGreyRgb}},
                    HandBuiltCase{"BigEndian16BitRle",
                                  BigEndian16BitRle(),
                                  3,
                                  2,
                                  {kBlueRgb, kBlueRgb, kRedRgb, kGreenRgb, kGreenRgb, kGreenRgb}},
                    HandBuiltCase{"LittleEndianColourTableRle",
                                  LittleEndianColorTableRle(),
                                  3,
                                  1,
                                  {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}}},
                    HandBuiltCase{
                        "OldFamilyWithPlaceholder", OldFamilyWithPlaceholder(), 2, 1, {kBlack, kWhite}}),
    [](const testing::TestParamInfo<HandBuiltCase>& info) { return std::string(info.param.name); });

TEST(PalmReader, OldFamilySkipsThePlaceholderAndOffersBothDensities) {
    const PalmDatabaseRecord read = readPalmDatabase(OldFamilyWithPlaceholder());
    ASSERT_EQ(read.resources[0].bitmaps.size(), 2u);
    EXPECT_EQ(viewerDensities(read), (std::vector<int>{72, 144}));
    EXPECT_EQ(Render(read, kLowDensity), (std::vector<Rgb>{{255, 0, 0}}));
}

// ---- broken files --------------------------------------------------------------

Bytes Bitmap8(int width, int height, int rowBytes, std::uint8_t flags, int compression, const Bytes& data) {
    ByteWriter b;
    b.be16(static_cast<std::uint32_t>(width)).be16(static_cast<std::uint32_t>(height));
    b.be16(static_cast<std::uint32_t>(rowBytes)).u8(flags).u8(0).u8(8).u8(2).be16(0).u8(0);
    b.u8(static_cast<std::uint32_t>(compression)).be16(0).bytes(data);
    return b.data();
}

struct BrokenCase {
    const char* name;
    Bytes bytes;
    const char* error;  // part of the message
    DecodeLimits limits = {};
};

DecodeLimits Sides(std::int64_t side) {
    DecodeLimits limits;
    limits.maxSide = side;
    return limits;
}

// A database whose `entries` resources all point at the one bitmap.
Bytes DatabaseAround(const Bytes& bitmap, std::uint32_t entries = 1) {
    ByteWriter b;
    b.text("x").fill(31, 0).be16(1).be16(0).fill(24, 0).text("pictVxmr").fill(8, 0).be16(entries);
    for (std::uint32_t i = 0; i < entries; ++i) b.text("Tbmp").be16(1000 + i).be32(80 + 10 * entries);
    b.be16(0).bytes(bitmap);
    return b.data();
}

DecodeLimits Bytes60() {
    DecodeLimits limits;
    limits.maxBitmapBytes = 60;
    return limits;
}

class BrokenFiles : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenFiles, EndInAClearError) {
    const BrokenCase& test = GetParam();
    try {
        const PalmDatabaseRecord read = readPalmDatabase(test.bytes, test.limits);
        CMemoryBitmap picture;
        renderViewerPicture(read, kHighestDensity, picture, test.limits);
        FAIL() << "read without complaint";
    } catch (const PalmFormatError& error) {
        EXPECT_NE(std::string(error.what()).find(test.error), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, BrokenFiles,
    testing::Values(
        // A few bytes of compressed data cannot make a picture of 60 megabytes.
        BrokenCase{"HugeScanlinePicture", Bitmap8(8000, 8000, 8000, 0x80, 0, {0, 6, 0xFF, 1, 2, 3}),
                   "cannot fill"},
        BrokenCase{"HugeRlePicture", Bitmap8(8000, 8000, 8000, 0x80, 1, {0, 4, 255, 1}), "cannot fill"},
        BrokenCase{"HugePackBitsPicture", Bitmap8(8000, 8000, 8000, 0x80, 2, {0, 4, 0x81, 1}), "cannot fill"},
        BrokenCase{"ShortRows", Bitmap8(5, 1, 4, 0, 0, {1, 2, 3, 4}), "Row length 4 cannot hold 5 pixels"},
        BrokenCase{"ShortPixelData", Bitmap8(4, 2, 4, 0, 0, {1, 2, 3, 4}), "Pixel data is cut off"},
        BrokenCase{"BlockBeyondTheData", Bitmap8(4, 1, 4, 0x80, 0, {0, 40, 0xF0, 1, 2, 3, 4}),
                   "does not fit"},
        BrokenCase{"FirstRowRefersAbove", Bitmap8(4, 1, 4, 0x80, 0, {0, 6, 0x70, 1, 2, 3}), "row above"},
        BrokenCase{"RunPastTheLastRow", Bitmap8(4, 1, 4, 0x80, 2, {0, 4, 0xFC, 9}), "past the last row"},
        BrokenCase{"UnknownCompression", Bitmap8(4, 1, 4, 0x80, 7, {0, 2}), "Unknown compression type 7"},
        BrokenCase{"IndirectBitmap", Bitmap8(4, 1, 4, 0x10, 0, {1, 2, 3, 4}), "Indirect"},
        BrokenCase{"NextBitmapBeyondTheFile",
                   [] {
                       Bytes b = Bitmap8(4, 1, 4, 0, 0, {1, 2, 3, 4});
                       b[11] = 200;
                       return b;
                   }(),
                   "does not lead to another bitmap"},
        BrokenCase{"UnknownVersion",
                   [] {
                       Bytes b = Bitmap8(4, 1, 4, 0, 0, {1, 2, 3, 4});
                       b[9] = 7;
                       return b;
                   }(),
                   "Unknown bitmap version 7"},
        BrokenCase{"OddPixelSize",
                   [] {
                       Bytes b = Bitmap8(4, 1, 4, 0, 0, {1, 2, 3, 4});
                       b[8] = 3;
                       return b;
                   }(),
                   "Unsupported pixel size 3"},
        BrokenCase{"OversizedColourTable", Bitmap8(4, 1, 4, 0x40, 0, {1, 44, 0, 0}),
                   "Colour table of 300 entries"},
        BrokenCase{"OverTheCallersLimit", Bitmap8(200, 1, 200, 0, 0, Bytes(200, 0)), "larger than allowed",
                   Sides(100)},
        BrokenCase{"CutOffHeader", Bytes{0, 4, 0, 1, 0, 4, 0}, "Bitmap header is cut off"},
        BrokenCase{"DatabaseWithBrokenBitmap", DatabaseAround(Bitmap8(4, 2, 4, 0, 0, {1, 2, 3, 4})),
                   "Resource \"Tbmp\" 1000: Pixel data is cut off"},
        // Resources sharing their data still count once each against the limit.
        BrokenCase{"SharedDataOverTheLimit", DatabaseAround(Bitmap8(5, 2, 6, 0, 0, Bytes(12, 0)), 3),
                   "Resource \"Tbmp\" 1002: Bitmap is larger than allowed", Bytes60()}),
    [](const testing::TestParamInfo<BrokenCase>& info) { return std::string(info.param.name); });

// ---- work in proportion to the file ---------------------------------------------

// `count` family members of 1 x 1 pixel, each pointing at the next: version 1
// big-endian, or version 2 little-endian.
Bytes ChainedFamily(int count, bool littleEndian) {
    ByteWriter b;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t next = i + 1 < count ? 5 : 0;  // in words
        if (littleEndian)
            b.le16(1).le16(1).le16(2).le16(0).u8(1).u8(0x82).le16(next).le16(0).le16(0);
        else
            b.be16(1).be16(1).be16(2).be16(0).u8(1).u8(1).be16(next).be32(0);
        b.be16(0x8000).be16(0);
    }
    return b.data();
}

// A version-3 bitmap of 1 x 1 pixel whose compressed block holds `filler`
// runs that write nothing before the one that writes its two bytes.
Bytes FilledBitmap(int filler, int compression) {
    ByteWriter data;
    const Bytes empty = compression == 1 ? Bytes{0, 0} : Bytes{0x80};
    for (int i = 0; i < filler; ++i) data.bytes(empty);
    data.bytes(compression == 1 ? Bytes{2, 9} : Bytes{0xFF, 9});
    ByteWriter b;
    b.be16(1).be16(1).be16(2).u8(0x80).u8(0).u8(8).u8(3).u8(24).u8(0).u8(0).u8(
        static_cast<std::uint32_t>(compression));
    b.be16(72).be32(0).be32(0).be32(static_cast<std::uint32_t>(4 + data.size())).bytes(data.data());
    return b.data();
}

// Each recipe asks for one small job again and again. Made at ten times the
// size, it is read or refused by a limit, and the work counted grows no more
// than the file.
TEST(PalmReader, WorkGrowsWithTheFileNeverFaster) {
    const struct {
        const char* name;
        std::function<Bytes(int scale)> make;
        const char* refusal;  // of the larger file; nullptr when both are read
    } recipes[] = {
        {"chained_family_v1", [](int scale) { return ChainedFamily(20 * scale, false); },
         "holds more than 32 bitmaps"},
        {"chained_family_v2_le", [](int scale) { return ChainedFamily(20 * scale, true); },
         "holds more than 32 bitmaps"},
        {"shared_rle_empty_runs",
         [](int scale) { return DatabaseAround(FilledBitmap(50 * scale, 1), 10 * scale); },
         "more empty runs"},
        {"shared_packbits_filler",
         [](int scale) { return DatabaseAround(FilledBitmap(50 * scale, 2), 10 * scale); },
         "more empty runs"},
        {"shared_bitmap",
         [](int scale) { return DatabaseAround(Bitmap8(16, 16, 16, 0, 0, Bytes(256, 7)), 200 * scale); },
         "holds more than 1024 bitmaps"},
        {"plain_bitmap",
         [](int scale) { return Bitmap8(16 * scale, 16, 16 * scale, 0, 0, Bytes(256 * scale, 7)); }, nullptr},
    };
    for (const auto& recipe : recipes) {
        std::uint64_t work[2] = {};
        for (const int scale : {1, 10}) {
            SCOPED_TRACE(std::string(recipe.name) + " x" + std::to_string(scale));
            const Bytes bytes = recipe.make(scale);
            if (scale == 1)
                testsupport::KeepAsFuzzSeed("palm_reader", std::string(recipe.name) + ".palm", bytes);
            PalmReadBudget budget(bytes.size(), {});
            try {
                readPalmDatabase(bytes, budget);
                EXPECT_TRUE(scale == 1 || recipe.refusal == nullptr);
            } catch (const PalmFormatError& error) {
                ASSERT_NE(recipe.refusal, nullptr) << error.what();
                EXPECT_NE(std::string(error.what()).find(recipe.refusal), std::string::npos) << error.what();
            }
            work[scale == 1 ? 0 : 1] = budget.work().Spent();
        }
        EXPECT_LE(work[1], 11 * work[0]) << recipe.name;
    }
}

// ---- databases of our own --------------------------------------------------------

class StripesLoader : public BitmapLoader {
public:
    bool load(PalmBitmap& bitmap) override {
        const PalmPalette& palette = bitmap.palette();
        CMemoryBitmap picture;
        picture.Create(bitmap.width(), bitmap.height(), 32, false);
        for (int y = 0; y < bitmap.height(); ++y)
            for (int x = 0; x < bitmap.width(); ++x) {
                // Stripes that differ in every quarter, so halves in the wrong
                // order or a wrong density would show.
                const int index = (x / 7 + 3 * (4 * y / bitmap.height())) % palette.count();
                std::uint8_t* pixel = picture.GetRows()[y] + 4 * x;
                pixel[0] = palette.blue(index);
                pixel[1] = palette.green(index);
                pixel[2] = palette.red(index);
                pixel[3] = 255;
            }
        shown[{bitmap.width(), bitmap.depth()}] = Colors(picture);
        return bitmap.loadFromBitmap(picture, 0);
    }

    static std::vector<Rgb> Colors(const CMemoryBitmap& picture) {
        std::vector<Rgb> rgb;
        for (int y = 0; y < picture.GetHeight(); ++y)
            for (int x = 0; x < picture.GetWidth(); ++x) {
                const std::uint8_t* pixel = picture.GetRows()[y] + 4 * x;
                rgb.push_back({pixel[2], pixel[1], pixel[0]});
            }
        return rgb;
    }

    std::map<std::pair<int, int>, std::vector<Rgb>> shown;  // by width and depth
};

TEST(PalmReader, ShowsWhatEveryDestinationWrote) {
    struct Case {
        int choice, depth;
        std::vector<int> densities;
        int lowDepth;  // of the low-density picture shown
    };
    const Case cases[] = {
        {kPalmOs3Or4, 4, {72}, 4},  // the deepest member, not the 1-bit pre-image
        {kPalmOs5LowRes, 2, {72}, 2},
        {kPalmOs5HighRes, 8, {72, 144}, 8},  // both halves, stacked
        {kPalmOs3To5Combined, 8, {72}, 8},   // "abmp" before "Tbmp"
    };
    for (const Case& test : cases) {
        for (int compression : {kCompressionNone, kCompressionScanline}) {
            SCOPED_TRACE("choice " + std::to_string(test.choice) + ", compression " +
                         std::to_string(compression));
            StripesLoader loader;
            const Bytes bytes =
                PalmDatabase::writeToMemory("Stripes",
                                            {.destination = static_cast<DestinationOs>(test.choice),
                                             .depth = static_cast<ColorDepth>(test.depth),
                                             .compression = static_cast<CompressionMode>(compression)},
                                            loader, 0);
            const PalmDatabaseRecord read = readPalmDatabase(bytes);
            EXPECT_EQ(read.name, "Stripes");
            EXPECT_EQ(viewerDensities(read), test.densities);
            EXPECT_EQ(Render(read, kLowDensity), (loader.shown[{160, test.lowDepth}]));
            if (test.densities.size() == 2) {
                EXPECT_EQ(Render(read), (loader.shown[{320, test.depth}]));
            }
        }
    }
}

}  // namespace
