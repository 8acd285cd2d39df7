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
#include <ctime>
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
    // libheif 1.15 turns the picture but not its alpha, which the item of
    // its own does not ask for.
    HeifOptions withAlpha;
    withAlpha.alpha = true;
    const auto alphaUnturned = testsupport::WithHeifTransformations(
        testsupport::EncodeHeif(
            40, 30, [](int x, int y) { return Quadrants(x, y, 40, 30); }, withAlpha),
        {testsupport::HeifProperty("irot", {}, 1)});
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
        {alphaUnturned,
         {},
         ERR_UNSUPPORTED_DATA,
         "Decoder error: HEIF decoder: The image's alpha is not the size of its picture.\n"},
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

// Each grid at a small size and ten times as many tiles: tiles decode
// whether or not they share their data, and only the primary image's tiles
// count; tiles that make the codecs decode far more pixels than the picture
// holds, or more tiles than a picture of the bitmap limit needs, are refused
// before libheif reads the file.
TEST(HEIFDecoder, GridsOfTilesOutOfProportionToTheFileAreRefused) {
    DecodeLimits smallPicture;
    // Room for the 128 x 128 bitmap, not for libheif's planes besides.
    smallPicture.maxBitmapBytes = 128 * 128 * 4 * 2;
    const struct {
        const char* name;
        testsupport::HeifGrid grid;
        int tenfold;  // the rows at ten times the tiles
        DecodeLimits limits;
        const char* refusal;      // "{pixels}": the tiles' pixels
        const char* explanation;  // what a person is told, if not the refusal
    } cases[] = {
        {"grid.heic", {4, 4, 64}, 40, {}, nullptr, nullptr},
        {"grid_shared_tile.heic", {4, 4, 64, true}, 40, {}, nullptr, nullptr},
        {"tile_beside_grid_of_shared_tiles.heic", {4, 3, 64, true, 0, true, true}, 30, {}, nullptr, nullptr},
        {"grid_of_tiles_over_its_picture.heic",
         {8, 8, 256, true, 256},
         80,
         {},
         "The image's tiles add up to {pixels} pixels, out of proportion to the picture and the file.",
         nullptr},
        {"tiles_coded_larger_than_stored.heic",
         {8, 8, 256, true, 512, false, false, 64},
         80,
         {},
         "The image's tiles add up to {pixels} pixels, out of proportion to the picture and the file.",
         nullptr},
        {"tiles_of_many_pictures.heic",
         {4, 4, 256, true, 0, false, false, 0, HeifCodec::Hevc, 8},
         40,
         {},
         "The image's tiles add up to {pixels} pixels, out of proportion to the picture and the file.",
         nullptr},
        {"grid.avif", {2, 2, 64, false, 0, false, false, 0, HeifCodec::Av1}, 20, {}, nullptr, nullptr},
        {"av1_tiles_coded_larger_than_stored.avif",
         {8, 8, 256, true, 512, false, false, 64, HeifCodec::Av1},
         80,
         {},
         "The image's tiles add up to {pixels} pixels, out of proportion to the picture and the file.",
         nullptr},
        {"grid_of_4160_tiles.heic",
         {65, 64, 64},
         0,
         {},
         "The image is made of 4160 tiles, more than the decoder allows.",
         nullptr},
        {"grid_over_planes.heic",
         {2, 2, 64},
         0,
         smallPicture,
         "The image is larger than the decoder allows.",
         "picture of 128 x 128 pixels is over the limit of 14563 pixels for a HEIF picture like this one: "
         "libheif holds 9 bytes a pixel while it decodes it."},
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
                EXPECT_EQ(bitmap.GetWidth(),
                          grid.tileIsPrimary ? grid.tileSide : grid.columns * grid.tileSide)
                    << where;
                EXPECT_EQ(bitmap.GetHeight(), grid.tileIsPrimary ? grid.tileSide : grid.rows * grid.tileSide)
                    << where;
            } catch (const CTextException& error) {
                ASSERT_NE(c.refusal, nullptr) << where << ": " << error.GetMessage();
                EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN) << where;
                std::string refusal = c.refusal;
                const std::size_t pixels = refusal.find("{pixels}");
                if (pixels != std::string::npos)
                    refusal.replace(pixels, 8,
                                    std::to_string(static_cast<std::uint64_t>(grid.columns * grid.rows) *
                                                   static_cast<std::uint64_t>(grid.tileSide * grid.tileSide) *
                                                   static_cast<std::uint64_t>(grid.picturesPerTile)));
                EXPECT_EQ(error.GetMessage(), "Decoder error: HEIF decoder: " + refusal + "\n") << where;
                if (c.explanation != nullptr) {
                    EXPECT_STREQ(error.GetUserMessage(), c.explanation) << where;
                }
            }
        }
    }
}

namespace {

std::vector<std::uint8_t> Boxed(const char* type, const std::vector<std::uint8_t>& body) {
    return testsupport::ByteWriter()
        .be32(static_cast<std::uint32_t>(8 + body.size()))
        .text(type)
        .bytes(body)
        .data();
}

// A file of a meta box (with its handler and primary item 1) around
// `children`, without pictures.
std::vector<std::uint8_t> MetaOnly(const std::vector<std::vector<std::uint8_t>>& children) {
    testsupport::ByteWriter meta;
    meta.be32(0);
    meta.bytes(Boxed("hdlr", testsupport::ByteWriter().be32(0).be32(0).text("pict").fill(13, 0).data()));
    meta.bytes(Boxed("pitm", testsupport::ByteWriter().be32(0).be16(1).data()));
    for (const auto& child : children) meta.bytes(child);
    return testsupport::ByteWriter()
        .bytes(Boxed("ftyp", testsupport::ByteWriter().text("heic").be32(0).text("mif1heic").data()))
        .bytes(Boxed("meta", meta.data()))
        .data();
}

// Item locations of version 1 whose fields are all absent: each entry 8
// bytes that state `extents` extents of construction `method`; the box states
// `missing` entries more than it holds.
std::vector<std::uint8_t> LocationsWithoutFields(std::uint32_t items, std::uint32_t extents,
                                                 std::uint32_t method, std::uint32_t missing = 0) {
    testsupport::ByteWriter body;
    body.be32(0x01000000).be16(0).be16(items + missing);
    for (std::uint32_t item = 1; item <= items; ++item) body.be16(item).be16(method).be16(0).be16(extents);
    return MetaOnly({Boxed("iloc", body.data())});
}

// Two items of `extents` one-byte extents each, and `references` derived
// images each made of both.
std::vector<std::uint8_t> ReferencesToManyExtents(std::uint32_t extents, std::uint32_t references) {
    testsupport::ByteWriter locations;
    locations.be32(0).u8(0x44).u8(0).be16(2);
    for (std::uint32_t item = 1; item <= 2; ++item) {
        locations.be16(item).be16(0).be16(extents);
        for (std::uint32_t extent = 0; extent < extents; ++extent)
            locations.be32(1000 + 2 * extent + item).be32(1);
    }
    testsupport::ByteWriter derivations;
    derivations.be32(0);
    for (std::uint32_t derived = 0; derived < references; ++derived)
        derivations.bytes(
            Boxed("dimg", testsupport::ByteWriter().be16(100 + derived).be16(2).be16(1).be16(2).data()));
    return MetaOnly({Boxed("iloc", locations.data()), Boxed("iref", derivations.data())});
}

// A derived image that states `stated` pictures and lists two.
std::vector<std::uint8_t> ReferencesCutShort(std::uint32_t stated) {
    const auto dimg = Boxed("dimg", testsupport::ByteWriter().be16(1).be16(stated).be16(2).be16(3).data());
    return MetaOnly({Boxed("iref", testsupport::ByteWriter().be32(0).bytes(dimg).data())});
}

}  // namespace

// Every count a list states must be paid for by its box before the census
// walks or keeps anything: each recipe small and ten times as large (and a
// hundred), refused or read in time in proportion to its size.
TEST(HEIFDecoder, ListsThatStateMoreThanTheirBoxesHoldAreRefusedBeforeTheyAreWalked) {
    const struct {
        const char* name;
        std::function<std::vector<std::uint8_t>(std::uint32_t scale)> file;
        const char* refusal;         // null: left to libheif
        std::uint32_t largest = 10;  // the largest scale tried
    } cases[] = {
        {"locations_without_fields.heic",
         [](std::uint32_t scale) { return LocationsWithoutFields(105 * scale, 65535, 0); },
         "The item locations repeat an extent of no size."},
        {"locations_without_fields_in_items.heic",
         [](std::uint32_t scale) { return LocationsWithoutFields(640 * scale, 65535, 2); },
         "The item locations repeat an extent of no size."},
        {"locations_of_8193_items.heic", [](std::uint32_t) { return LocationsWithoutFields(8193, 65535, 2); },
         "The file lists 8193 items, more than the decoder allows."},
        {"locations_cut_short.heic",
         [](std::uint32_t scale) { return LocationsWithoutFields(4 * scale, 1, 0, 1); },
         "The item locations list more than their box holds."},
        {"references_cut_short.heic", [](std::uint32_t scale) { return ReferencesCutShort(300 * scale); },
         "The item references list more than their box holds."},
        {"references_to_many_extents.heic",
         [](std::uint32_t scale) { return ReferencesToManyExtents(160 * scale, 120 * scale); }, nullptr, 100},
    };
    for (const auto& c : cases) {
        for (const std::uint32_t scale : {1u, 10u, 100u}) {
            if (scale > c.largest) continue;
            const std::string where = std::string(c.name) + " at " + std::to_string(scale) + "x";
            const auto file = c.file(scale);
            if (scale == 1) testsupport::KeepAsFuzzSeed("heif", c.name, file);
            const std::clock_t start = std::clock();
            CHEIFDecoder decoder;
            CDIBBitmap bitmap;
            try {
                decoder.DecodeMemory(file.data(), static_cast<std::int64_t>(file.size()), bitmap, 32);
                ADD_FAILURE() << where << " decoded";
            } catch (const CTextException& error) {
                EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN) << where;
                if (c.refusal != nullptr) {
                    EXPECT_EQ(error.GetMessage(),
                              std::string("Decoder error: HEIF decoder: ") + c.refusal + "\n")
                        << where;
                }
            }
            // Walking the lists stated took seconds at ten times, comparing
            // every reference's extents at a hundred.
            EXPECT_LT(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC, 0.5) << where;
        }
    }
}

TEST(HEIFDecoder, CountsTheItemsTilesAndDecodeWorkOfTheMetaBox) {
    const struct {
        testsupport::HeifGrid grid;
        HeifItemCensus wanted;
    } cases[] = {
        {{3, 2, 64}, {7, 6, 6 * 64 * 64, 256 * 192, true, true}},
        {{3, 2, 64, true, 100}, {7, 6, 6 * 64 * 64, 164 * 164, true, true}},
        {{3, 2, 64, true, 0, true, true}, {7, 6, 64 * 64, 128 * 128, false, false}},
        {{1, 1, 64, true}, {2, 1, 64 * 64, 128 * 128, true, true}},
        // The tiles decode at 64 pixels a side whatever they claim.
        {{3, 2, 64, false, 0, false, false, 16}, {7, 6, 6 * 64 * 64, 208 * 144, true, true}},
    };
    for (const auto& c : cases) {
        const auto file = testsupport::EncodeHeifGrid(c.grid);
        const HeifItemCensus census = CountHeifItems(file.data(), file.size(), 8192);
        EXPECT_EQ(census.longestItemList, c.wanted.longestItemList);
        EXPECT_EQ(census.mostDerivedPictures, c.wanted.mostDerivedPictures);
        EXPECT_EQ(census.primaryDecodedPixels, c.wanted.primaryDecodedPixels);
        EXPECT_EQ(census.primaryCoveredPixels, c.wanted.primaryCoveredPixels);
        EXPECT_EQ(census.primaryIsDerived, c.wanted.primaryIsDerived);
        EXPECT_EQ(census.primaryIsGrid, c.wanted.primaryIsGrid);
        EXPECT_EQ(census.malformed, nullptr);
        // Cut anywhere, the boxes are counted as far as they go.
        for (std::size_t cut = 0; cut < file.size(); cut += 7) CountHeifItems(file.data(), cut, 8192);
    }
    const auto single = testsupport::EncodeHeif(
        64, 64, [](int, int) { return Rgba{}; }, HeifOptions{});
    const HeifItemCensus census = CountHeifItems(single.data(), single.size(), 8192);
    EXPECT_FALSE(census.primaryIsGrid);
    EXPECT_EQ(census.primaryDecodedPixels, 64u * 64u);
}
