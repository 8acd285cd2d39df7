#include "cli/palm_file_commands.h"
#include "engine/palm_bitmap.h"
#include "engine/palm_database.h"
#include "engine/palm_picture.h"
#include "imagelib/image_bitmap.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// Left half white, right half black, whatever the size and depth.
testsupport::PaintedLoader HalvesLoader() {
    return testsupport::PaintedLoader([](int x, int, const PalmBitmap& bitmap) {
        const std::uint8_t level = x < bitmap.width() / 2 ? 255 : 0;
        return PaletteEntry{level, level, level, 255};
    });
}

TEST(PalmFileInfo, GoldenLayoutOfADatabaseAndABareBitmap) {
    testsupport::TemporaryFolder folder;
    testsupport::PaintedLoader loader = HalvesLoader();
    // 2026-12-08 10:15:03 in the device's epoch.
    const std::uint32_t date = 3879569703u;
    testsupport::WriteFileBytes(
        folder / "halves.pdb",
        PalmDatabase::writeToMemory(
            "Halves",
            {.destination = kPalmOs5HighRes, .depth = kFourBits, .compression = kCompressionScanline}, loader,
            date));
    testsupport::ByteWriter bare;  // version 3, 16 bits, big-endian, transparent, RLE
    bare.be16(2)
        .be16(1)
        .be16(4)
        .u8(0xA0)
        .u8(0)
        .u8(16)
        .u8(3)
        .u8(24)
        .u8(1)
        .u8(0)
        .u8(1)
        .be16(108)
        .be32(0xF800)
        .be32(0);
    bare.be32(4 + 3).u8(2).be16(0xF800);
    testsupport::WriteFileBytes(folder / "bare.palm", bare.data());
    testsupport::WriteFileBytes(folder / "broken.pdb", {1, 2, 3});

    std::ostringstream out, errors;
    const std::string halves = (folder / "halves.pdb").string(), bareBitmap = (folder / "bare.palm").string(),
                      broken = (folder / "broken.pdb").string();
    EXPECT_EQ(printPalmFileInfo({halves, broken, bareBitmap}, out, errors), 1);
    EXPECT_EQ(
        out.str(),
        "file: " + halves +
            "\n"
            "kind: database\n"
            "name: Halves\n"
            "type: pict\n"
            "creator: Vxmr\n"
            "attributes: 0x0001\n"
            "version: 0\n"
            "created: 2026-12-08 10:15:03\n"
            "modified: 2026-12-08 10:15:03\n"
            "resources: 2\n"
            "resource: type=abmp id=2700 offset=100 length=3036\n"
            "  bitmap: version=2 byte-order=little size=160x55 depth=4 density=72 compression=scanline "
            "colour-table=none transparency=none offset=100 header-bytes=16 data-bytes=632 pixel-bytes=4400\n"
            "  bitmap: version=3 byte-order=little size=320x110 depth=4 density=144 compression=scanline "
            "colour-table=none transparency=none offset=748 header-bytes=24 data-bytes=2364 "
            "pixel-bytes=17600\n"
            "resource: type=abmp id=2701 offset=3136 length=3036\n"
            "  bitmap: version=2 byte-order=little size=160x55 depth=4 density=72 compression=scanline "
            "colour-table=none transparency=none offset=3136 header-bytes=16 data-bytes=632 "
            "pixel-bytes=4400\n"
            "  bitmap: version=3 byte-order=little size=320x110 depth=4 density=144 compression=scanline "
            "colour-table=none transparency=none offset=3784 header-bytes=24 data-bytes=2364 "
            "pixel-bytes=17600\n"
            "\n"
            "file: " +
            bareBitmap +
            "\n"
            "kind: bitmap\n"
            "  bitmap: version=3 byte-order=big size=2x1 depth=16 density=108 compression=rle "
            "colour-table=none "
            "transparency=colour-0xF800 offset=0 header-bytes=24 data-bytes=7 pixel-bytes=4\n");
    EXPECT_EQ(
        errors.str(),
        "kestrin-convert: " + broken +
            ": Neither a Palm database nor a Palm bitmap: Bitmap header is cut off (bitmap at offset 0)\n");
}

// Names are stored in the handheld's character set; a terminal wants UTF-8.
TEST(PalmFileInfo, ShowsTheNameInUtf8) {
    testsupport::TemporaryFolder folder;
    testsupport::PaintedLoader loader = HalvesLoader();
    testsupport::WriteFileBytes(folder / "sea.pdb",
                                PalmDatabase::writeToMemory("Caf\xE9 \x93Sea\x94 \x80", {}, loader, 0));
    std::ostringstream out, errors;
    EXPECT_EQ(printPalmFileInfo({(folder / "sea.pdb").string()}, out, errors), 0);
    EXPECT_NE(out.str().find("name: Caf\u00E9 \u201CSea\u201D \u20AC\n"), std::string::npos) << out.str();
}

TEST(PalmFileInfo, DensityNames) {
    EXPECT_EQ(parseDensity("low"), kLowDensity);
    EXPECT_EQ(parseDensity("high"), kHighestDensity);
    EXPECT_EQ(parseDensity("216"), 216);
    EXPECT_EQ(parseDensity("100"), std::nullopt);
    EXPECT_EQ(parseDensity("Low"), std::nullopt);
}

}  // namespace
