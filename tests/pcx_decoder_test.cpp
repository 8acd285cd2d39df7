#include "imagelib/decoders/pcx_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/decoding.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using testsupport::ByteWriter;

struct PcxHeader {
    std::uint8_t manufacturer = 10;
    std::uint8_t encoding = 1;
    std::uint8_t bitsPerPixel = 8;
    std::uint16_t xMin = 0;
    std::uint16_t yMin = 0;
    std::uint16_t xMax = 0;
    std::uint16_t yMax = 0;
    std::vector<std::uint8_t> map = std::vector<std::uint8_t>(48, 0);
    std::uint8_t planes = 1;
    std::uint16_t bytesPerLine = 2;
};

ByteWriter PcxFile(const PcxHeader& header) {
    ByteWriter file;
    file.u8(header.manufacturer).u8(5).u8(header.encoding).u8(header.bitsPerPixel);
    file.le16(header.xMin).le16(header.yMin).le16(header.xMax).le16(header.yMax).le16(72).le16(72);
    file.bytes(header.map).u8(0).u8(header.planes).le16(header.bytesPerLine).le16(1).fill(58, 0);
    return file;
}

// Appends bytes without runs; values that look like run codes are written as
// runs of one.
void AppendLiterals(ByteWriter& file, const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t value : bytes) {
        if ((value & 0xC0) == 0xC0) file.u8(0xC1);
        file.u8(value);
    }
}

// A header map whose entry i is (red, green, blue) = (16 i, 255 - 16 i, i).
std::vector<std::uint8_t> DistinctHeaderMap() {
    std::vector<std::uint8_t> map;
    for (int i = 0; i < 16; ++i)
        map.insert(map.end(), {static_cast<std::uint8_t>(16 * i), static_cast<std::uint8_t>(255 - 16 * i),
                               static_cast<std::uint8_t>(i)});
    return map;
}

PaletteEntry HeaderMapColor(int index) {
    return {static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(255 - 16 * index),
            static_cast<std::uint8_t>(16 * index), 255};
}

using testsupport::AllPixels;
using testsupport::PixelAt;

void Decode(const std::vector<std::uint8_t>& file, CImageBitmap& bitmap, int wantedDepth = 32) {
    testsupport::DecodeBytes<CPCXDecoder>(file, bitmap, wantedDepth);
}

const auto ExpectFailure = testsupport::ExpectDecodeFailure<CPCXDecoder>;

const PaletteEntry kBlack{0, 0, 0, 255};
const PaletteEntry kWhite{255, 255, 255, 255};

}  // namespace

TEST(PCXDecoder, OneBitOnePlaneIsBlackAndWhiteWhateverTheHeaderSays) {
    PcxHeader header;
    header.bitsPerPixel = 1;
    header.xMax = 9;
    header.yMax = 1;
    header.map = DistinctHeaderMap();
    ByteWriter file = PcxFile(header);
    AppendLiterals(file, {0b10110000, 0b01111111, 0b00000001, 0b10000000});
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap, 8);
    ASSERT_EQ(bitmap.GetDepth(), 32);
    EXPECT_FALSE(bitmap.HasAlphaChannel());
    const PaletteEntry b = kBlack;
    const PaletteEntry w = kWhite;
    EXPECT_EQ(AllPixels(bitmap), (std::vector<PaletteEntry>{w, b, w, w, b, b, b, b, b, w,  //
                                                            b, b, b, b, b, b, b, w, w, b}));
}

TEST(PCXDecoder, OneBitPlanesCombineIntoIndexesWithPlaneZeroLowest) {
    for (int planes = 2; planes <= 4; ++planes) {
        SCOPED_TRACE(planes);
        const int width = 10;
        PcxHeader header;
        header.bitsPerPixel = 1;
        header.planes = static_cast<std::uint8_t>(planes);
        header.xMax = width - 1;
        header.yMax = 1;
        header.map = DistinctHeaderMap();
        std::vector<std::uint8_t> data;
        std::vector<PaletteEntry> expected;
        for (int y = 0; y < 2; ++y) {
            std::vector<int> indexes;
            for (int x = 0; x < width; ++x) indexes.push_back((x + 3 * y) % (1 << planes));
            for (int p = 0; p < planes; ++p) {
                // The six bits beyond the width are set in every plane; they
                // must not reach any pixel.
                std::uint8_t bytes[2] = {0, 0x3F};
                for (int x = 0; x < width; ++x)
                    if ((indexes[x] >> p) & 1) bytes[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                data.insert(data.end(), {bytes[0], bytes[1]});
            }
            for (int index : indexes) expected.push_back(HeaderMapColor(index));
        }
        ByteWriter file = PcxFile(header);
        AppendLiterals(file, data);
        CDIBBitmap bitmap;
        Decode(file.data(), bitmap);
        EXPECT_EQ(AllPixels(bitmap), expected);
    }
}

TEST(PCXDecoder, TwoAndFourBitPixelsUseTheHeaderMap) {
    PcxHeader twoBit;
    twoBit.bitsPerPixel = 2;
    twoBit.xMax = 4;
    twoBit.map = DistinctHeaderMap();
    ByteWriter file = PcxFile(twoBit);
    AppendLiterals(file, {0b00011011, 0b10111111});
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap);
    EXPECT_EQ(AllPixels(bitmap),
              (std::vector<PaletteEntry>{HeaderMapColor(0), HeaderMapColor(1), HeaderMapColor(2),
                                         HeaderMapColor(3), HeaderMapColor(2)}));

    PcxHeader fourBit = twoBit;
    fourBit.bitsPerPixel = 4;
    fourBit.xMax = 2;
    ByteWriter fourBitFile = PcxFile(fourBit);
    AppendLiterals(fourBitFile, {0xF1, 0x9E});
    Decode(fourBitFile.data(), bitmap);
    EXPECT_EQ(AllPixels(bitmap),
              (std::vector<PaletteEntry>{HeaderMapColor(15), HeaderMapColor(1), HeaderMapColor(9)}));
}

TEST(PCXDecoder, EightBitPixelsUseTheMapAfterSignature12) {
    PcxHeader header;
    header.xMax = 2;
    header.yMax = 1;
    header.bytesPerLine = 4;  // wider than the picture: the last byte stays out
    header.map = DistinctHeaderMap();
    ByteWriter file = PcxFile(header);
    AppendLiterals(file, {0, 200, 255, 7, 15, 16, 192, 7});
    file.u8(12);
    for (int i = 0; i < 256; ++i) file.u8(i).u8(255 - i).u8(i / 2);
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap);
    ASSERT_EQ(bitmap.GetWidth(), 3);
    const auto color = [](int i) {
        return PaletteEntry{static_cast<std::uint8_t>(i / 2), static_cast<std::uint8_t>(255 - i),
                            static_cast<std::uint8_t>(i), 255};
    };
    EXPECT_EQ(AllPixels(bitmap), (std::vector<PaletteEntry>{color(0), color(200), color(255), color(15),
                                                            color(16), color(192)}));
}

// The map is the file's last 769 bytes, where writers put it after padding
// the image data; older files without padding but with bytes after the map
// have it directly behind the image data.
TEST(PCXDecoder, TheColorMapIsAtTheEndOfTheFileOrDirectlyBehindTheImageData) {
    PcxHeader header;
    header.xMax = 1;
    ByteWriter file = PcxFile(header);
    AppendLiterals(file, {1, 2});
    const auto withMap = [](ByteWriter bytes, std::uint8_t shade) {
        bytes.u8(12);
        for (int i = 0; i < 256; ++i) bytes.u8(shade).u8(static_cast<std::uint8_t>(i)).u8(0);
        return bytes;
    };
    ByteWriter padded = file;
    padded.fill(20, 0);
    ByteWriter trailed = withMap(file, 9);
    trailed.fill(20, 0);
    const struct {
        const char* name;
        ByteWriter file;
        PaletteEntry second;
    } cases[] = {
        {"after padding", withMap(padded, 7), {0, 2, 7, 255}},
        {"directly behind, then other bytes", trailed, {0, 2, 9, 255}},
        {"directly behind, at the end", withMap(file, 5), {0, 2, 5, 255}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        CDIBBitmap bitmap;
        Decode(test.file.data(), bitmap);
        EXPECT_EQ(PixelAt(bitmap, 1, 0), test.second);
    }

    ByteWriter unmarked = padded;
    unmarked.u8(12).fill(769, 0);
    ExpectFailure(unmarked.data(), ERR_UNSUPPORTED_DATA, "Decoder error: bad color map signature.\n");
    ExpectFailure(file.data(), ERR_END_OF_FILE, "End of file reached while decoding.\n");
    file.u8(12).fill(767, 0);
    ExpectFailure(file.data(), ERR_END_OF_FILE, "End of file reached while decoding.\n");
}

// A fourth plane is alpha, ignored as in every other format.
TEST(PCXDecoder, ThreeOrFourEightBitPlanesAreRedGreenBlue) {
    for (std::uint8_t planes : {3, 4}) {
        SCOPED_TRACE(planes);
        PcxHeader header;
        header.planes = planes;
        header.xMax = 2;
        header.yMax = 1;
        header.bytesPerLine = 4;
        ByteWriter file = PcxFile(header);
        const std::vector<std::uint8_t> alpha = {0, 128, 255, 99};
        AppendLiterals(file, {10, 11, 12, 99, 20, 21, 22, 99, 30, 31, 32, 99});  // top row: red, green, blue
        if (planes == 4) AppendLiterals(file, alpha);
        AppendLiterals(file, {200, 0, 1, 99, 201, 0, 2, 99, 202, 0, 3, 99});
        if (planes == 4) AppendLiterals(file, alpha);
        CDIBBitmap bitmap;
        Decode(file.data(), bitmap, 8);
        ASSERT_EQ(bitmap.GetDepth(), 32);
        EXPECT_FALSE(bitmap.HasAlphaChannel());
        EXPECT_EQ(AllPixels(bitmap), (std::vector<PaletteEntry>{{30, 20, 10, 255},
                                                                {31, 21, 11, 255},
                                                                {32, 22, 12, 255},
                                                                {202, 201, 200, 255},
                                                                {0, 0, 0, 255},
                                                                {3, 2, 1, 255}}));
    }
}

TEST(PCXDecoder, RunsSpanLinesAndPlanesAndRunOfZeroWritesNothing) {
    PcxHeader header;
    header.planes = 3;
    header.xMax = 1;
    header.yMax = 1;
    ByteWriter file = PcxFile(header);
    // 12 bytes in all: a run of 0, a run of 5 across the first two planes of
    // the top line, and a run of 7 across the rest of the image.
    file.u8(0xC0).u8(0xEE).u8(0xC5).u8(0x40).u8(0xC7).u8(0x90);
    CDIBBitmap bitmap;
    Decode(file.data(), bitmap);
    const PaletteEntry top{0x90, 0x40, 0x40, 255};
    const PaletteEntry bottom{0x90, 0x90, 0x90, 255};
    EXPECT_EQ(AllPixels(bitmap), (std::vector<PaletteEntry>{{0x40, 0x40, 0x40, 255}, top, bottom, bottom}));
}

TEST(PCXDecoder, RunBeyondTheEndOfTheImageIsAnError) {
    PcxHeader header;
    header.xMax = 3;
    header.bytesPerLine = 4;
    ByteWriter file = PcxFile(header);
    file.u8(0x01).u8(0xC4).u8(0x02);
    ExpectFailure(file.data(), ERR_UNSUPPORTED_DATA, "Decoder error: repeat count spans end of image.\n");
}

TEST(PCXDecoder, HeaderErrorsCarryTheirCodes) {
    struct Case {
        PcxHeader header;
        int code;
        std::string message;
    };
    std::vector<Case> cases;
    const auto with = [](auto change) {
        PcxHeader header;
        header.xMax = 1;
        change(header);
        return header;
    };
    cases.push_back({with([](PcxHeader& h) { h.manufacturer = 11; }), ERR_WRONG_SIGNATURE,
                     "Decoder error: Error decoding pcx: Not a PCX file.\n"});
    cases.push_back({with([](PcxHeader& h) { h.encoding = 0; }), ERR_WRONG_SIGNATURE,
                     "Decoder error: File has unknown encoding scheme.\n"});
    cases.push_back({with([](PcxHeader& h) {
                         h.bitsPerPixel = 1;
                         h.planes = 5;
                     }),
                     ERR_FORMAT_UNKNOWN, "Decoder error: Can't handle image with more than 4 planes.\n"});
    for (const auto& combination :
         {std::pair{1, 0}, {1, 0xFF}, {8, 2}, {8, 5}, {2, 0}, {3, 1}, {16, 1}, {0xF8, 1}})
        cases.push_back({with([&](PcxHeader& h) {
                             h.bitsPerPixel = static_cast<std::uint8_t>(combination.first);
                             h.planes = static_cast<std::uint8_t>(combination.second);
                         }),
                         ERR_FORMAT_UNKNOWN,
                         "Decoder error: Can't handle bits per pixel image with planes.\n"});
    for (const auto& combination : {std::pair{2, 3}, {4, 3}, {4, 4}})
        cases.push_back({with([&](PcxHeader& h) {
                             h.bitsPerPixel = static_cast<std::uint8_t>(combination.first);
                             h.planes = static_cast<std::uint8_t>(combination.second);
                         }),
                         ERR_UNSUPPORTED_DATA, "Decoder error: Can't handle more than 1 bit per pixel.\n"});
    cases.push_back({with([](PcxHeader& h) {
                         h.xMin = 5;
                         h.xMax = 3;
                     }),
                     ERR_FORMAT_UNKNOWN,
                     "Decoder error: Error decoding pcx: Can't handle image size -1 x 1.\n"});
    cases.push_back({with([](PcxHeader& h) { h.bytesPerLine = 1; }), ERR_FORMAT_UNKNOWN,
                     "Decoder error: Error decoding pcx: 1 bytes per line are too few for a width of 2.\n"});
    cases.push_back({with([](PcxHeader& h) {
                         h.bitsPerPixel = 1;
                         h.xMax = 16;
                     }),
                     ERR_FORMAT_UNKNOWN,
                     "Decoder error: Error decoding pcx: 2 bytes per line are too few for a width of 17.\n"});
    cases.push_back({with([](PcxHeader& h) { h.bytesPerLine = 0; }), ERR_FORMAT_UNKNOWN,
                     "Decoder error: Error decoding pcx: 0 bytes per line are too few for a width of 2.\n"});
    cases.push_back({with([](PcxHeader& h) {
                         h.planes = 3;
                         h.bytesPerLine = 65535;
                         h.yMax = 65535;
                     }),
                     ERR_NO_MEMORY, "Decoder error: Out of memory for PCX image data.\n"});

    for (const Case& item : cases) {
        SCOPED_TRACE(item.message);
        ByteWriter file = PcxFile(item.header);
        file.fill(64, 1);
        ExpectFailure(file.data(), item.code, item.message);
    }
}

TEST(PCXDecoder, ShortDataEndsWithEndOfFile) {
    const std::string endOfFile = "End of file reached while decoding.\n";
    PcxHeader header;
    header.xMax = 3;
    header.yMax = 3;
    header.bytesPerLine = 4;
    ByteWriter file = PcxFile(header);
    ExpectFailure(std::vector<std::uint8_t>(file.data().begin(), file.data().begin() + 127), ERR_END_OF_FILE,
                  endOfFile);
    file.u8(0xC5).u8(1);
    ExpectFailure(file.data(), ERR_END_OF_FILE, endOfFile);
    // A large picture with a few bytes of data fails before it is allocated.
    header.xMax = 7999;
    header.yMax = 7999;
    header.bytesPerLine = 8000;
    ExpectFailure(PcxFile(header).u8(0xFF).u8(0).data(), ERR_END_OF_FILE, endOfFile);
}

TEST(PCXDecoder, CorpusFilesDecode) {
    const auto folder = testsupport::CorpusFolder("pcx");
    if (folder.empty()) GTEST_SKIP() << "no corpus";
    // Its run-length data fills only 1416559 of the 1421420 bytes its header
    // asks for before the 256-colour map begins, so the map is read as image
    // data and the file runs out.
    const std::string shortData = "GMARBLES.PCX";
    int decoded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::string extension = entry.path().extension().string();
        if (extension != ".pcx" && extension != ".PCX") continue;
        SCOPED_TRACE(name);
        const auto bytes = testsupport::ReadFileBytes(entry.path());
        CDIBBitmap bitmap;
        if (name == shortData) {
            try {
                Decode(bytes, bitmap);
                ADD_FAILURE() << "decoding succeeded";
            } catch (const CTextException& error) {
                EXPECT_EQ(error.GetCode(), ERR_END_OF_FILE);
            }
            continue;
        }
        ASSERT_NO_THROW(Decode(bytes, bitmap));
        EXPECT_EQ(bitmap.GetWidth(), (bytes[8] | (bytes[9] << 8)) - (bytes[4] | (bytes[5] << 8)) + 1);
        EXPECT_EQ(bitmap.GetHeight(), (bytes[10] | (bytes[11] << 8)) - (bytes[6] | (bytes[7] << 8)) + 1);
        ++decoded;
    }
    EXPECT_EQ(decoded, 10);
}

TEST(PCXDecoder, CorpusMonochromeFilesAreBlackAndWhite) {
    const auto folder = testsupport::CorpusFolder("pcx/twelvemonkeys");
    if (folder.empty()) GTEST_SKIP() << "no corpus";
    for (const char* name : {"CGA_BW.PCX", "DARKSTAR.PCX", "no-palette-monochrome.pcx"}) {
        SCOPED_TRACE(name);
        CDIBBitmap bitmap;
        Decode(testsupport::ReadFileBytes(folder / name), bitmap);
        int black = 0;
        int white = 0;
        for (const PaletteEntry& pixel : AllPixels(bitmap)) {
            if (pixel == kBlack) ++black;
            if (pixel == kWhite) ++white;
        }
        EXPECT_EQ(black + white, bitmap.GetWidth() * bitmap.GetHeight());
        EXPECT_GT(black, 0);
        EXPECT_GT(white, 0);
    }
}

TEST(PCXDecoder, CorpusCgaFilesTakeTheirHeaderMapAsPlainColors) {
    const auto folder = testsupport::CorpusFolder("pcx/twelvemonkeys");
    if (folder.empty()) GTEST_SKIP() << "no corpus";
    // These headers hold a CGA background and palette selector, not colours;
    // they are read as the first four colours of the map all the same.
    for (const char* name : {"CGA_FSD.PCX", "CGA_RGBI.PCX", "CGA_TST1.PCX"}) {
        SCOPED_TRACE(name);
        const auto bytes = testsupport::ReadFileBytes(folder / name);
        std::vector<PaletteEntry> headerColors;
        for (int i = 0; i < 4; ++i)
            headerColors.push_back({bytes[16 + 3 * i + 2], bytes[16 + 3 * i + 1], bytes[16 + 3 * i], 255});
        CDIBBitmap bitmap;
        Decode(bytes, bitmap);
        for (const PaletteEntry& pixel : AllPixels(bitmap))
            ASSERT_NE(std::find(headerColors.begin(), headerColors.end(), pixel), headerColors.end());
    }
}
