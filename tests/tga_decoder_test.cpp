#include "imagelib/decoders/tga_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/decoding.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

using testsupport::ByteWriter;

struct TgaHeader {
    std::uint8_t idLength = 0;
    std::uint8_t colorMapType = 0;
    std::uint8_t imageType = 2;
    std::uint16_t firstEntry = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t entrySize = 0;
    std::uint16_t width = 1;
    std::uint16_t height = 1;
    std::uint8_t depth = 24;
    std::uint8_t descriptor = 0x20;
};

ByteWriter TgaFile(const TgaHeader& header) {
    ByteWriter file;
    file.u8(header.idLength).u8(header.colorMapType).u8(header.imageType);
    file.le16(header.firstEntry).le16(header.mapLength).u8(header.entrySize);
    file.le16(0).le16(0).le16(header.width).le16(header.height).u8(header.depth).u8(header.descriptor);
    return file;
}

// The bytes of one colour stored at `depth` bits.
std::vector<std::uint8_t> EncodeColor(const PaletteEntry& color, int depth) {
    switch (depth) {
        case 15:
        case 16: {
            std::uint32_t word = ((color.red >> 3) << 10) | ((color.green >> 3) << 5) | (color.blue >> 3);
            if (depth == 16 && color.alpha >= 0x80) word |= 0x8000;
            return {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)};
        }
        case 24:
            return {color.blue, color.green, color.red};
        default:
            return {color.blue, color.green, color.red, color.alpha};
    }
}

// What a colour stored at `depth` bits decodes to.
PaletteEntry StoredColor(const PaletteEntry& color, int depth) {
    switch (depth) {
        case 15:
        case 16: {
            const auto mask = [](std::uint8_t channel) { return static_cast<std::uint8_t>(channel & 0xF8); };
            const std::uint8_t alpha = depth == 15 ? 255 : (color.alpha >= 0x80 ? 0x80 : 0);
            return {mask(color.blue), mask(color.green), mask(color.red), alpha};
        }
        case 24:
            return {color.blue, color.green, color.red, 255};
        default:
            return color;
    }
}

using testsupport::AllPixels;
using testsupport::PixelAt;

void Decode(const std::vector<std::uint8_t>& file, CImageBitmap& bitmap, int wantedDepth = 32) {
    testsupport::DecodeBytes<CTGADecoder>(file, bitmap, wantedDepth);
}

const auto ExpectFailure = testsupport::ExpectDecodeFailure<CTGADecoder>;

// Run-length encodes one row of pixels (each given as its file bytes): equal
// neighbours become run packets, the rest literal packets.
void AppendRunLengthRow(ByteWriter& file, const std::vector<std::vector<std::uint8_t>>& row) {
    std::size_t i = 0;
    while (i < row.size()) {
        std::size_t same = 1;
        while (i + same < row.size() && row[i + same] == row[i]) ++same;
        if (same >= 2) {
            file.u8(0x80 | (same - 1)).bytes(row[i]);
            i += same;
            continue;
        }
        std::size_t literal = 1;
        while (i + literal < row.size() &&
               !(i + literal + 1 < row.size() && row[i + literal] == row[i + literal + 1]))
            ++literal;
        file.u8(literal - 1);
        for (std::size_t k = 0; k < literal; ++k) file.bytes(row[i + k]);
        i += literal;
    }
}

// A 3 x 2 picture, top row first, with a run in the top row.
const std::vector<std::vector<PaletteEntry>> kPicture = {
    {{0x10, 0x20, 0x30, 0xFF}, {0x10, 0x20, 0x30, 0xFF}, {0xF8, 0x00, 0x08, 0x40}},
    {{0x00, 0xF8, 0x88, 0x90}, {0xFF, 0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x00, 0x00}},
};

struct Variant {
    int imageType;
    int pixelDepth;
    int entrySize;  // colour-mapped types only
};

std::string Describe(const Variant& variant, int descriptor) {
    return "type " + std::to_string(variant.imageType) + ", " + std::to_string(variant.pixelDepth) +
           " bits, entries of " + std::to_string(variant.entrySize) + " bits, descriptor " +
           std::to_string(descriptor);
}

}  // namespace

TEST(TGADecoder, EveryTypeAndDepthDecodesInBothRowOrders) {
    std::vector<Variant> variants;
    for (int type : {2, 10})
        for (int depth : {15, 16, 24, 32}) variants.push_back({type, depth, 0});
    for (int type : {1, 9})
        for (int entrySize : {15, 16, 24, 32}) variants.push_back({type, 8, entrySize});
    for (int type : {3, 11}) variants.push_back({type, 8, 0});

    for (const Variant& variant : variants) {
        for (int descriptor : {0x00, 0x20}) {
            SCOPED_TRACE(Describe(variant, descriptor));
            const bool mapped = variant.imageType == 1 || variant.imageType == 9;
            const bool grey = variant.imageType == 3 || variant.imageType == 11;
            TgaHeader header;
            header.imageType = static_cast<std::uint8_t>(variant.imageType);
            header.width = 3;
            header.height = 2;
            header.depth = static_cast<std::uint8_t>(variant.pixelDepth);
            header.descriptor = static_cast<std::uint8_t>(descriptor);
            if (mapped) {
                header.colorMapType = 1;
                header.mapLength = 6;
                header.entrySize = static_cast<std::uint8_t>(variant.entrySize);
            }
            ByteWriter file = TgaFile(header);
            if (mapped)
                for (const auto& row : kPicture)
                    for (const PaletteEntry& color : row) file.bytes(EncodeColor(color, variant.entrySize));

            std::vector<std::vector<std::vector<std::uint8_t>>> fileRows;
            std::vector<PaletteEntry> expected;
            for (int y = 0; y < 2; ++y) {
                std::vector<std::vector<std::uint8_t>> fileRow;
                for (int x = 0; x < 3; ++x) {
                    const PaletteEntry& color = kPicture[y][x];
                    if (mapped) {
                        // The map holds the picture's colours in order, except
                        // that the run's two pixels share entry 0.
                        const int index = y == 0 && x == 1 ? 0 : y * 3 + x;
                        fileRow.push_back({static_cast<std::uint8_t>(index)});
                        expected.push_back(StoredColor(color, variant.entrySize));
                    } else if (grey) {
                        fileRow.push_back({color.red});
                        expected.push_back({color.red, color.red, color.red, 255});
                    } else {
                        fileRow.push_back(EncodeColor(color, variant.pixelDepth));
                        expected.push_back(StoredColor(color, variant.pixelDepth));
                    }
                }
                fileRows.push_back(fileRow);
            }
            if (descriptor == 0x00) std::swap(fileRows[0], fileRows[1]);
            for (const auto& row : fileRows) {
                if (variant.imageType >= 9) {
                    AppendRunLengthRow(file, row);
                } else {
                    for (const auto& pixel : row) file.bytes(pixel);
                }
            }

            CDIBBitmap bitmap;
            Decode(file.data(), bitmap);
            ASSERT_EQ(bitmap.GetWidth(), 3);
            ASSERT_EQ(bitmap.GetHeight(), 2);
            ASSERT_EQ(bitmap.GetDepth(), 32);
            EXPECT_EQ(bitmap.HasAlphaChannel(), variant.pixelDepth == 16 || variant.pixelDepth == 32);
            EXPECT_EQ(AllPixels(bitmap), expected);
        }
    }
}

TEST(TGADecoder, DescriptorBits4And5ChooseTheOriginAndOtherBitsAreIgnored) {
    // A 3 x 2 picture, top row first; pixel i has the colour {i, i, i}.
    for (int type : {2, 10}) {
        for (int descriptor : {0x00, 0x10, 0x20, 0x30, 0x0F, 0xEF}) {
            SCOPED_TRACE("type " + std::to_string(type) + ", descriptor " + std::to_string(descriptor));
            TgaHeader header;
            header.imageType = static_cast<std::uint8_t>(type);
            header.width = 3;
            header.height = 2;
            header.descriptor = static_cast<std::uint8_t>(descriptor);
            ByteWriter file = TgaFile(header);
            // Run-length data is one literal of all six pixels, across the row end.
            if (type == 10) file.u8(5);
            for (int fileRow = 0; fileRow < 2; ++fileRow) {
                for (int fileColumn = 0; fileColumn < 3; ++fileColumn) {
                    const int y = (descriptor & 0x20) != 0 ? fileRow : 1 - fileRow;
                    const int x = (descriptor & 0x10) != 0 ? 2 - fileColumn : fileColumn;
                    const auto level = static_cast<std::uint8_t>(y * 3 + x);
                    file.bytes({level, level, level});
                }
            }
            CDIBBitmap bitmap;
            Decode(file.data(), bitmap);
            std::vector<PaletteEntry> expected;
            for (std::uint8_t i = 0; i < 6; ++i) expected.push_back({i, i, i, 255});
            EXPECT_EQ(AllPixels(bitmap), expected);
        }
    }
}

TEST(TGADecoder, RunAndLiteralPackets) {
    TgaHeader header;
    header.imageType = 10;
    header.width = 7;
    ByteWriter file = TgaFile(header);
    file.u8(0x83).bytes({1, 2, 3});
    file.u8(0x02).bytes({4, 5, 6, 7, 8, 9, 10, 11, 12});
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap);
    const PaletteEntry run{1, 2, 3, 255};
    EXPECT_EQ(AllPixels(bitmap), (std::vector<PaletteEntry>{
                                     run, run, run, run, {4, 5, 6, 255}, {7, 8, 9, 255}, {10, 11, 12, 255}}));
}

TEST(TGADecoder, PacketsRunAcrossRowEndsAndAreCutAtThePicturesEnd) {
    TgaHeader header;
    header.imageType = 11;
    header.depth = 8;
    header.width = 2;
    header.height = 3;
    ByteWriter file = TgaFile(header);
    file.u8(0x82).u8(10);                   // a run of 3 over the first row and into the second
    file.u8(0x03).bytes({20, 21, 22, 23});  // 4 literals: the rest of the second row, the third, one too many
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap, 0);
    ASSERT_EQ(bitmap.GetDepth(), 8);
    const auto row = [&](int y) { return std::vector<int>{bitmap.GetRows()[y][0], bitmap.GetRows()[y][1]}; };
    EXPECT_EQ(row(0), (std::vector<int>{10, 10}));
    EXPECT_EQ(row(1), (std::vector<int>{10, 20}));
    EXPECT_EQ(row(2), (std::vector<int>{21, 22}));
}

TEST(TGADecoder, SixteenBitGreyWithEightAlphaBitsIsGreyAndAlpha) {
    for (int type : {3, 11}) {
        TgaHeader header;
        header.imageType = static_cast<std::uint8_t>(type);
        header.depth = 16;
        header.width = 2;
        header.descriptor = 0x28;
        ByteWriter file = TgaFile(header);
        if (type == 11) file.u8(0x01);
        file.bytes({0x40, 0xFF, 0xC0, 0x20});
        CDIBBitmap bitmap;
        Decode(file.data(), bitmap);
        EXPECT_TRUE(bitmap.HasAlphaChannel());
        EXPECT_EQ(AllPixels(bitmap),
                  (std::vector<PaletteEntry>{{0x40, 0x40, 0x40, 0xFF}, {0xC0, 0xC0, 0xC0, 0x20}}))
            << type;
    }
}

TEST(TGADecoder, SixteenBitPixelsCarryOneBitOfAlpha) {
    TgaHeader header;
    header.depth = 16;
    header.width = 2;
    ByteWriter file = TgaFile(header);
    file.le16(0x801F).le16(0x7C00);
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap);
    EXPECT_TRUE(bitmap.HasAlphaChannel());
    EXPECT_EQ(PixelAt(bitmap, 0, 0), (PaletteEntry{0xF8, 0, 0, 0x80}));
    EXPECT_EQ(PixelAt(bitmap, 1, 0), (PaletteEntry{0, 0, 0xF8, 0}));

    header.depth = 15;
    ByteWriter fifteen = TgaFile(header);
    fifteen.le16(0x801F).le16(0x03E0);
    Decode(fifteen.data(), bitmap);
    EXPECT_FALSE(bitmap.HasAlphaChannel());
    EXPECT_EQ(PixelAt(bitmap, 0, 0), (PaletteEntry{0xF8, 0, 0, 255}));
    EXPECT_EQ(PixelAt(bitmap, 1, 0), (PaletteEntry{0, 0xF8, 0, 255}));
}

TEST(TGADecoder, WantedDepthZeroKeepsEightBitFilesAtEightBits) {
    TgaHeader header;
    header.imageType = 3;
    header.depth = 8;
    header.width = 3;
    ByteWriter file = TgaFile(header);
    file.bytes({0, 128, 255});
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap, 0);
    ASSERT_EQ(bitmap.GetDepth(), 8);
    EXPECT_EQ(bitmap.GetRows()[0][1], 128);
    EXPECT_EQ(bitmap.GetPalette()[128], (PaletteEntry{128, 128, 128, 255}));

    header.depth = 24;
    ByteWriter trueColor = TgaFile(header);
    trueColor.fill(9, 7);
    Decode(trueColor.data(), bitmap, 0);
    EXPECT_EQ(bitmap.GetDepth(), 32);
}

TEST(TGADecoder, ColorMapStartingAtEntry16FillsEntries16To19) {
    TgaHeader header;
    header.imageType = 1;
    header.depth = 8;
    header.colorMapType = 1;
    header.firstEntry = 16;
    header.mapLength = 4;
    header.entrySize = 24;
    header.width = 3;
    ByteWriter file = TgaFile(header);
    for (int i = 0; i < 4; ++i) file.bytes({static_cast<std::uint8_t>(i), 0x40, 0x80});
    // Index 3 lies before the map and 200 after it: both stay inside the
    // palette and come out opaque black.
    file.bytes({17, 3, 200});

    CDIBBitmap eightBit;
    Decode(file.data(), eightBit, 0);
    ASSERT_EQ(eightBit.GetDepth(), 8);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(eightBit.GetPalette()[16 + i],
                  (PaletteEntry{static_cast<std::uint8_t>(i), 0x40, 0x80, 255}));
    EXPECT_EQ(eightBit.GetRows()[0][0], 17);

    CDIBBitmap bitmap;
    Decode(file.data(), bitmap);
    EXPECT_EQ(AllPixels(bitmap),
              (std::vector<PaletteEntry>{{1, 0x40, 0x80, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}}));
}

TEST(TGADecoder, ColorMapEntriesBeyondIndex255AreReadAndDropped) {
    TgaHeader header;
    header.imageType = 1;
    header.depth = 8;
    header.colorMapType = 1;
    header.firstEntry = 254;
    header.mapLength = 4;
    header.entrySize = 32;
    header.width = 2;
    ByteWriter file = TgaFile(header);
    for (int i = 0; i < 4; ++i) file.bytes({static_cast<std::uint8_t>(i), 1, 2, 3});
    file.bytes({255, 254});
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap);
    EXPECT_EQ(AllPixels(bitmap), (std::vector<PaletteEntry>{{1, 1, 2, 3}, {0, 1, 2, 3}}));
}

TEST(TGADecoder, GreyImagesUseTheGreyRampEvenWithAColorMap) {
    TgaHeader header;
    header.imageType = 3;
    header.depth = 8;
    header.colorMapType = 1;
    header.mapLength = 2;
    header.entrySize = 24;
    header.width = 2;
    ByteWriter file = TgaFile(header);
    file.bytes({9, 9, 9, 9, 9, 9}).bytes({0, 77});
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap);
    EXPECT_EQ(AllPixels(bitmap), (std::vector<PaletteEntry>{{0, 0, 0, 255}, {77, 77, 77, 255}}));
    Decode(file.data(), bitmap, 8);
    EXPECT_EQ(bitmap.GetPalette()[1], (PaletteEntry{1, 1, 1, 255}));
}

TEST(TGADecoder, IdentificationFieldIsSkipped) {
    TgaHeader header;
    header.idLength = 5;
    ByteWriter file = TgaFile(header);
    file.text("hello").bytes({1, 2, 3});
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap);
    EXPECT_EQ(PixelAt(bitmap, 0, 0), (PaletteEntry{1, 2, 3, 255}));
}

TEST(TGADecoder, UnknownImageTypesAreRejected) {
    for (int type : {0, 4, 8, 12, 32, 33, 255}) {
        TgaHeader header;
        header.imageType = static_cast<std::uint8_t>(type);
        ByteWriter file = TgaFile(header);
        file.bytes({1, 2, 3});
        ExpectFailure(file.data(), ERR_FORMAT_UNKNOWN, "Decoder error: Unknown TGA image type.\n");
    }
}

TEST(TGADecoder, HeaderValuesItCannotUseAreClearErrors) {
    TgaHeader noMap;
    noMap.imageType = 9;
    noMap.depth = 8;
    ExpectFailure(TgaFile(noMap).u8(0).u8(0).data(), ERR_FORMAT_UNKNOWN,
                  "Decoder error: Color-mapped TGA image has no color map.\n");

    TgaHeader oddEntries;
    oddEntries.imageType = 1;
    oddEntries.depth = 8;
    oddEntries.colorMapType = 1;
    oddEntries.mapLength = 1;
    oddEntries.entrySize = 12;
    ExpectFailure(TgaFile(oddEntries).fill(4, 0).data(), ERR_FORMAT_UNKNOWN,
                  "Decoder error: Unsupported TGA color map entry size 12.\n");

    TgaHeader oddDepth;
    oddDepth.depth = 12;
    ExpectFailure(TgaFile(oddDepth).fill(4, 0).data(), ERR_FORMAT_UNKNOWN,
                  "Decoder error: Unsupported TGA pixel depth 12.\n");

    TgaHeader noWidth;
    noWidth.width = 0;
    ExpectFailure(TgaFile(noWidth).fill(4, 0).data(), ERR_FORMAT_UNKNOWN,
                  "Decoder error: Can't handle TGA image size 0 x 1.\n");
}

TEST(TGADecoder, ShortDataEndsWithEndOfFile) {
    const std::string endOfFile = "End of file reached while decoding.\n";
    TgaHeader header;
    header.width = 2;
    header.height = 2;
    ExpectFailure(TgaFile(header).data(), ERR_END_OF_FILE, endOfFile);
    ExpectFailure(TgaFile(header).fill(11, 0).data(), ERR_END_OF_FILE, endOfFile);
    const std::vector<std::uint8_t> whole = TgaFile(header).data();
    ExpectFailure(std::vector<std::uint8_t>(whole.begin(), whole.begin() + 17), ERR_END_OF_FILE, endOfFile);

    header.idLength = 200;
    ExpectFailure(TgaFile(header).fill(12, 0).data(), ERR_END_OF_FILE, endOfFile);

    TgaHeader mapped;
    mapped.imageType = 1;
    mapped.depth = 8;
    mapped.colorMapType = 1;
    mapped.mapLength = 65535;
    mapped.entrySize = 24;
    ExpectFailure(TgaFile(mapped).fill(100, 0).data(), ERR_END_OF_FILE, endOfFile);

    TgaHeader runLength;
    runLength.imageType = 10;
    runLength.width = 4;
    runLength.height = 2;
    ExpectFailure(TgaFile(runLength).u8(0x83).bytes({1, 2, 3}).u8(0x82).bytes({1, 2, 3}).data(),
                  ERR_END_OF_FILE, endOfFile);
    // A huge picture with a few bytes of packets fails before it is allocated.
    runLength.width = 60000;
    runLength.height = 60000;
    ExpectFailure(TgaFile(runLength).u8(0xFF).bytes({1, 2, 3}).data(), ERR_END_OF_FILE, endOfFile);
}

TEST(TGADecoder, CorpusFilesDecodeOrFailCleanly) {
    const auto folder = testsupport::CorpusFolder("tga");
    if (folder.empty()) GTEST_SKIP() << "no corpus";
    const std::set<std::string> broken = {"error_color_map.tga", "error_no_image_data.tga",
                                          "error_truncated_image_data.tga"};
    int decoded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::string extension = entry.path().extension().string();
        if (extension != ".tga" && extension != ".TGA") continue;
        SCOPED_TRACE(name);
        const auto bytes = testsupport::ReadFileBytes(entry.path());
        CDIBBitmap bitmap;
        if (broken.count(name) != 0) {
            EXPECT_THROW(Decode(bytes, bitmap), CTextException);
            continue;
        }
        ASSERT_NO_THROW(Decode(bytes, bitmap));
        EXPECT_EQ(bitmap.GetWidth(), bytes[12] | (bytes[13] << 8));
        EXPECT_EQ(bitmap.GetHeight(), bytes[14] | (bytes[15] << 8));
        ++decoded;
    }
    EXPECT_EQ(decoded, 88);
}

TEST(TGADecoder, CorpusLogoMatchesItsReferencePixelsInEveryLayout) {
    const auto folder = testsupport::CorpusFolder("tga/tinytga");
    if (folder.empty()) GTEST_SKIP() << "no corpus";
    const int width = 240;
    const int height = 320;
    const auto rgb = testsupport::ReadFileBytes(folder / "logo_rgb888.raw");
    const auto words = testsupport::ReadFileBytes(folder / "logo_rgb555.raw");
    const auto greys = testsupport::ReadFileBytes(folder / "logo_gray8.raw");
    ASSERT_EQ(rgb.size(), static_cast<std::size_t>(width * height * 3));

    const auto check = [&](const std::string& name, auto expectedAt) {
        SCOPED_TRACE(name);
        CDIBBitmap bitmap;
        Decode(testsupport::ReadFileBytes(folder / name), bitmap);
        ASSERT_EQ(bitmap.GetWidth(), width);
        ASSERT_EQ(bitmap.GetHeight(), height);
        int mismatches = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (PixelAt(bitmap, x, y) != expectedAt(static_cast<std::size_t>(y * width + x)))
                    ++mismatches;
        EXPECT_EQ(mismatches, 0);
    };
    const auto fromRgb = [&](std::size_t i) {
        return PaletteEntry{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 255};
    };
    const auto fromWord = [&](std::size_t i) {
        const int word = words[2 * i] | (words[2 * i + 1] << 8);
        return StoredColor(
            {static_cast<std::uint8_t>((word << 3) & 0xF8), static_cast<std::uint8_t>((word >> 2) & 0xF8),
             static_cast<std::uint8_t>((word >> 7) & 0xF8), static_cast<std::uint8_t>(word >> 8)},
            16);
    };
    const auto fromGrey = [&](std::size_t i) { return PaletteEntry{greys[i], greys[i], greys[i], 255}; };

    for (const char* origin : {"bl", "tl"}) {
        const std::string suffix = std::string("_") + origin + ".tga";
        check("logo_type2_24bpp" + suffix, fromRgb);
        check("logo_type10_24bpp" + suffix, fromRgb);
        check("logo_type1_24bpp" + suffix, fromRgb);
        check("logo_type9_24bpp" + suffix, fromRgb);
        check("logo_type2_16bpp" + suffix, fromWord);
        check("logo_type10_16bpp" + suffix, fromWord);
        check("logo_type3" + suffix, fromGrey);
        check("logo_type11" + suffix, fromGrey);
    }
    check("logo_type2_24bpp_br.tga", fromRgb);
    check("logo_type2_24bpp_tr.tga", fromRgb);
}
