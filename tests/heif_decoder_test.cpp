#include "imagelib/decoders/heif_decoder.h"
#include "engine/conversion_preview.h"
#include "imagelib/decoders/heif_boxes.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/decoding.h"
#include "support/modern_writers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using testsupport::HeifCodec;
using testsupport::HeifOptions;
using testsupport::PixelAt;
using testsupport::Rgba;

}  // namespace

// The HEVC encoder that makes the test pictures keeps a few of its tables
// until the process ends; the decoder side is checked as usual.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}

namespace {

// Four flat quadrants, each a colour the codecs keep within a few levels.
Rgba Quadrants(int x, int y, int width, int height) {
    const bool left = x < width / 2;
    const bool top = y < height / 2;
    if (top) return left ? Rgba{230, 20, 20, 255} : Rgba{20, 230, 20, 128};
    return left ? Rgba{20, 20, 230, 255} : Rgba{240, 240, 240, 255};
}

void ExpectClose(const PaletteEntry& pixel, const Rgba& wanted, bool grey, bool alpha,
                 const std::string& where) {
    const int tolerance = 12;
    if (grey) {
        EXPECT_EQ(pixel.red, pixel.green) << where;
        EXPECT_EQ(pixel.red, pixel.blue) << where;
    } else {
        EXPECT_NEAR(pixel.red, wanted.red, tolerance) << where;
        EXPECT_NEAR(pixel.green, wanted.green, tolerance) << where;
        EXPECT_NEAR(pixel.blue, wanted.blue, tolerance) << where;
    }
    EXPECT_NEAR(pixel.alpha, alpha ? wanted.alpha : 255, tolerance) << where;
}

}  // namespace

TEST(HEIFDecoder, DecodesHevcAndAv1InTheirColorFormsAndDepths) {
    const struct {
        const char* name;
        HeifOptions options;
    } cases[] = {
        {"hevc.heic", {HeifCodec::Hevc, false, false, 8, 1}},
        {"hevc_alpha.heic", {HeifCodec::Hevc, true, false, 8, 1}},
        {"hevc_10bit.heic", {HeifCodec::Hevc, false, false, 10, 1}},
        {"hevc_grey.heic", {HeifCodec::Hevc, false, true, 8, 1}},
        {"av1.avif", {HeifCodec::Av1, false, false, 8, 1}},
        {"av1_alpha_12bit.avif", {HeifCodec::Av1, true, false, 12, 1}},
        {"hevc_grey_10bit.heic", {HeifCodec::Hevc, false, true, 10, 1}},
    };
    constexpr int kWidth = 48, kHeight = 32;
    for (const auto& c : cases) {
        std::vector<std::uint8_t> file;
        ASSERT_NO_THROW(
            file = testsupport::EncodeHeif(
                kWidth, kHeight, [](int x, int y) { return Quadrants(x, y, kWidth, kHeight); }, c.options))
            << c.name;
        testsupport::KeepAsFuzzSeed("heif", c.name, file);
        const auto bitmap = testsupport::DecodeToNewBitmap<CHEIFDecoder>(file, 0);
        ASSERT_EQ(bitmap->GetDepth(), 32) << c.name;
        ASSERT_EQ(bitmap->GetWidth(), kWidth) << c.name;
        ASSERT_EQ(bitmap->GetHeight(), kHeight) << c.name;
        EXPECT_EQ(bitmap->HasAlphaChannel(), c.options.alpha) << c.name;
        for (const auto& [x, y] : {std::pair{6, 6}, {40, 6}, {6, 26}, {40, 26}})
            ExpectClose(PixelAt(*bitmap, x, y), Quadrants(x, y, kWidth, kHeight), c.options.monochrome,
                        c.options.alpha,
                        std::string(c.name) + " " + std::to_string(x) + "," + std::to_string(y));
    }
}

// The file asks for a quarter turn clockwise (orientation 6): the decoded
// picture is the upright one, with its sides swapped.
TEST(HEIFDecoder, AppliesTheTransformationsTheFileAsksFor) {
    constexpr int kWidth = 64, kHeight = 32;
    HeifOptions options;
    options.orientation = 6;
    const auto file = testsupport::EncodeHeif(
        kWidth, kHeight, [](int x, int y) { return Quadrants(x, y, kWidth, kHeight); }, options);
    const auto bitmap = testsupport::DecodeToNewBitmap<CHEIFDecoder>(file, 32);
    ASSERT_EQ(bitmap->GetWidth(), kHeight);
    ASSERT_EQ(bitmap->GetHeight(), kWidth);
    // The stored top-left quadrant ends up top right.
    ExpectClose(PixelAt(*bitmap, 26, 6), Quadrants(0, 0, kWidth, kHeight), false, false, "top right");
    ExpectClose(PixelAt(*bitmap, 6, 6), Quadrants(0, kHeight - 1, kWidth, kHeight), false, false, "top left");
}

namespace {

// A picture as the test expects it to come out: a block of 8 x 8 pixels per
// entry, so lossy coding keeps each block's middle close to its colour.
struct Blocks {
    int columns = 0, rows = 0;
    std::vector<Rgba> colors;  // row by row
    Rgba at(int column, int row) const { return colors[static_cast<std::size_t>(row * columns + column)]; }
};

Blocks Transformed(int columns, int rows, const std::function<Rgba(int, int)>& source) {
    Blocks out{columns, rows, {}};
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) out.colors.push_back(source(column, row));
    return out;
}

// irot: a quarter turn anticlockwise per step; imir as libheif reads it
// (and writes it for an orientation): axis 0 mirrors top and bottom, axis 1
// left and right; clap here keeps whole blocks.
Blocks Rotated(const Blocks& in, int steps) {
    Blocks out = in;
    for (int step = 0; step < steps; ++step)
        out = Transformed(out.rows, out.columns, [previous = out](int column, int row) {
            return previous.at(previous.columns - 1 - row, column);
        });
    return out;
}
Blocks Mirrored(const Blocks& in, int axis) {
    return Transformed(in.columns, in.rows, [&](int column, int row) {
        return axis == 1 ? in.at(in.columns - 1 - column, row) : in.at(column, in.rows - 1 - row);
    });
}
Blocks Cropped(const Blocks& in, int left, int top, int columns, int rows) {
    return Transformed(columns, rows, [&](int column, int row) { return in.at(left + column, top + row); });
}

void ExpectBlocks(const CImageBitmap& bitmap, const Blocks& wanted, const std::string& where) {
    ASSERT_EQ(bitmap.GetWidth(), wanted.columns * 8) << where;
    ASSERT_EQ(bitmap.GetHeight(), wanted.rows * 8) << where;
    for (int row = 0; row < wanted.rows; ++row)
        for (int column = 0; column < wanted.columns; ++column)
            ExpectClose(PixelAt(bitmap, column * 8 + 4, row * 8 + 4), wanted.at(column, row), false, false,
                        where + " block " + std::to_string(column) + "," + std::to_string(row));
}

}  // namespace

// Phones store portrait photos turned by a property of the file; libheif
// applies it while decoding, so the decoded size differs from the stored one.
TEST(HEIFDecoder, ShowsPicturesTurnedMirroredAndCroppedByTheirProperties) {
    Blocks stored{6, 4, {}};
    for (int row = 0; row < stored.rows; ++row)
        for (int column = 0; column < stored.columns; ++column)
            stored.colors.push_back(Rgba{static_cast<std::uint8_t>(30 + 40 * column),
                                         static_cast<std::uint8_t>(40 + 60 * row),
                                         static_cast<std::uint8_t>(220 - 35 * column), 255});
    const auto irot = [](int steps) {
        return testsupport::HeifProperty("irot", {}, static_cast<std::uint8_t>(steps));
    };
    const auto imir = [](int axis) {
        return testsupport::HeifProperty("imir", {}, static_cast<std::uint8_t>(axis));
    };
    // 24 x 16 pixels whose middle lies 4 pixels left of the picture's: blocks
    // 1 to 3 across and 1 to 2 down.
    const auto clap =
        testsupport::HeifProperty("clap", {24, 1, 16, 1, static_cast<std::uint32_t>(-4), 1, 0, 1});
    const struct {
        const char* name;
        std::vector<std::vector<std::uint8_t>> properties;
        Blocks wanted;
    } cases[] = {
        {"irot1", {irot(1)}, Rotated(stored, 1)},
        {"irot2", {irot(2)}, Rotated(stored, 2)},
        {"irot3", {irot(3)}, Rotated(stored, 3)},
        {"irot1_imir0", {irot(1), imir(0)}, Mirrored(Rotated(stored, 1), 0)},
        {"irot2_imir1", {irot(2), imir(1)}, Mirrored(Rotated(stored, 2), 1)},
        {"irot3_imir1", {irot(3), imir(1)}, Mirrored(Rotated(stored, 3), 1)},
        {"clap", {clap}, Cropped(stored, 1, 1, 3, 2)},
        {"clap_irot1", {clap, irot(1)}, Rotated(Cropped(stored, 1, 1, 3, 2), 1)},
    };
    testsupport::TemporaryFolder folder;
    for (const HeifCodec codec : {HeifCodec::Hevc, HeifCodec::Av1}) {
        HeifOptions options;
        options.codec = codec;
        const auto plain = testsupport::EncodeHeif(
            stored.columns * 8, stored.rows * 8, [&](int x, int y) { return stored.at(x / 8, y / 8); },
            options);
        for (const auto& c : cases) {
            const std::string name = std::string(c.name) + (codec == HeifCodec::Hevc ? ".heic" : ".avif");
            const auto file = testsupport::WithHeifTransformations(plain, c.properties);
            testsupport::KeepAsFuzzSeed("heif", name, file);
            ExpectBlocks(*testsupport::DecodeToNewBitmap<CHEIFDecoder>(file, 32), c.wanted, name);
            // The window's preview decodes through its own path.
            if (std::strcmp(c.name, "irot1_imir0") != 0) continue;
            testsupport::WriteFileBytes(folder / name, file);
            std::string error;
            const auto preview = decodePreviewSource((folder / name).string(), error);
            ASSERT_NE(preview.pixels, nullptr) << error;
            ExpectBlocks(*preview.pixels, c.wanted, "preview of " + name);
        }
    }
}

TEST(HEIFDecoder, BrokenSequenceOnlyAndOversizedFilesEndInClearErrors) {
    const auto file = testsupport::EncodeHeif(
        40, 30, [](int x, int y) { return Quadrants(x, y, 40, 30); }, HeifOptions{});
    auto truncated = file;
    truncated.resize(file.size() * 2 / 3);
    testsupport::ByteWriter sequence;
    sequence.be32(24).text("ftypmsf1").be32(0).text("msf1iso8");
    sequence.be32(16).text("moov").be32(8).text("mvhd");
    DecodeLimits narrow;
    narrow.maxSide = 35;
    const struct {
        std::vector<std::uint8_t> bytes;
        DecodeLimits limits;
        int code;
        const char* message;
    } cases[] = {
        {{}, {}, ERR_FORMAT_UNKNOWN, nullptr},
        {truncated, {}, ERR_FORMAT_UNKNOWN, nullptr},
        {sequence.data(),
         {},
         ERR_UNSUPPORTED_DATA,
         "Decoder error: HEIF decoder: The file holds only an image sequence, no still picture.\n"},
        {file, narrow, ERR_FORMAT_UNKNOWN, nullptr},
    };
    for (const auto& c : cases) {
        CHEIFDecoder decoder;
        decoder.SetLimits(c.limits);
        CDIBBitmap bitmap;
        try {
            decoder.DecodeMemory(c.bytes.data(), static_cast<std::int64_t>(c.bytes.size()), bitmap, 32);
            ADD_FAILURE() << "decoded " << c.bytes.size() << " bytes";
        } catch (const CTextException& error) {
            EXPECT_EQ(error.GetCode(), c.code) << error.GetMessage();
            if (c.message != nullptr) {
                EXPECT_STREQ(error.GetMessage(), c.message);
            }
        }
    }
}

// Each grid at a small size and ten times as many tiles: tiles with their
// own data decode, tiles that share it, or more tiles than a picture of the
// bitmap limit needs, are refused before libheif reads the file.
TEST(HEIFDecoder, GridsOfTilesOutOfProportionToTheFileAreRefused) {
    DecodeLimits smallPicture;
    // Room for the 128 x 128 bitmap, not for libheif's planes besides.
    smallPicture.maxBitmapBytes = 128 * 128 * 4 * 2;
    const struct {
        const char* name;
        testsupport::HeifGrid grid;
        int tenfold;  // the rows at ten times the tiles
        DecodeLimits limits;
        const char* refusal;
    } cases[] = {
        {"grid.heic", {4, 4, 64, false}, 40, {}, nullptr},
        {"grid_shared_tile.heic", {4, 4, 64, true}, 40, {}, "The image's tiles share their data."},
        {"grid_of_4160_tiles.heic",
         {65, 64, 64, false},
         0,
         {},
         "The image is made of 4160 tiles, more than the decoder allows."},
        {"grid_over_planes.heic",
         {2, 2, 64, false},
         0,
         smallPicture,
         "The image is larger than the decoder allows."},
    };
    for (const auto& c : cases) {
        for (const int rows : {c.grid.rows, c.tenfold}) {
            if (rows == 0) continue;
            testsupport::HeifGrid grid = c.grid;
            grid.rows = rows;
            const std::string where = std::string(c.name) + " with " + std::to_string(rows) + " rows";
            const auto file = testsupport::EncodeHeifGrid(grid);
            if (rows == c.grid.rows && file.size() < 100000)
                testsupport::KeepAsFuzzSeed("heif", c.name, file);
            CHEIFDecoder decoder;
            decoder.SetLimits(c.limits);
            CDIBBitmap bitmap;
            try {
                decoder.DecodeMemory(file.data(), static_cast<std::int64_t>(file.size()), bitmap, 32);
                EXPECT_EQ(c.refusal, nullptr) << where;
                EXPECT_EQ(bitmap.GetWidth(), grid.columns * grid.tileSide) << where;
                EXPECT_EQ(bitmap.GetHeight(), grid.rows * grid.tileSide) << where;
            } catch (const CTextException& error) {
                ASSERT_NE(c.refusal, nullptr) << where << ": " << error.GetMessage();
                EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN) << where;
                EXPECT_EQ(error.GetMessage(), std::string("Decoder error: HEIF decoder: ") + c.refusal + "\n")
                    << where;
            }
        }
    }
}

TEST(HEIFDecoder, CountsTheItemsAndTilesOfTheMetaBox) {
    const struct {
        testsupport::HeifGrid grid;
        HeifItemCensus wanted;
    } cases[] = {
        {{3, 2, 64, false}, {7, 6, false, true}},
        {{3, 2, 64, true}, {7, 6, true, true}},
        {{1, 1, 64, true}, {2, 1, false, true}},
    };
    for (const auto& c : cases) {
        const auto file = testsupport::EncodeHeifGrid(c.grid);
        const HeifItemCensus census = CountHeifItems(file.data(), file.size());
        EXPECT_EQ(census.longestItemList, c.wanted.longestItemList);
        EXPECT_EQ(census.mostDerivedPictures, c.wanted.mostDerivedPictures);
        EXPECT_EQ(census.picturesShareData, c.wanted.picturesShareData);
        EXPECT_TRUE(census.hasGrid);
        // Cut anywhere, the boxes are counted as far as they go.
        for (std::size_t cut = 0; cut < file.size(); cut += 7) CountHeifItems(file.data(), cut);
    }
    const auto single = testsupport::EncodeHeif(
        64, 64, [](int, int) { return Rgba{}; }, HeifOptions{});
    EXPECT_FALSE(CountHeifItems(single.data(), single.size()).hasGrid);
}
