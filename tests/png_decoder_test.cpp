#include "imagelib/decoders/png_decoder.h"

#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/image_writers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <tuple>

namespace {

using testsupport::PngPicture;

struct Bgra {
    std::uint8_t blue, green, red, alpha;
    friend bool operator==(const Bgra&, const Bgra&) = default;
};

std::ostream& operator<<(std::ostream& out, const Bgra& c) {
    return out << "(b" << int(c.blue) << " g" << int(c.green) << " r" << int(c.red) << " a" << int(c.alpha)
               << ")";
}

Bgra PixelAt(const CImageBitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.GetRows()[y] + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

// Repeatable sample values that reach the top and bottom of the range.
std::vector<std::uint16_t> MakeSamples(std::size_t count, int bitDepth, unsigned seed) {
    const std::uint32_t limit = (1u << bitDepth) - 1;
    std::vector<std::uint16_t> samples(count);
    std::uint32_t state = seed;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        std::uint32_t value = (state >> 8) & limit;
        if (i % 7 == 0) value = 0;
        if (i % 11 == 0) value = limit;
        samples[i] = static_cast<std::uint16_t>(value);
    }
    return samples;
}

// A sample of the given depth as the 8 bits a 32-bit pixel shows.
std::uint8_t ToEightBits(std::uint16_t value, int bitDepth) {
    if (bitDepth == 16) return static_cast<std::uint8_t>(value >> 8);
    return static_cast<std::uint8_t>(value * 255 / ((1u << bitDepth) - 1));
}

PngPicture MakePicture(int colorType, int bitDepth, bool interlaced, int width = 13, int height = 9) {
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.colorType = colorType;
    picture.bitDepth = bitDepth;
    picture.interlaced = interlaced;
    const std::size_t count = static_cast<std::size_t>(width * height * testsupport::PngChannels(colorType));
    picture.samples = MakeSamples(count, bitDepth, static_cast<unsigned>(colorType * 100 + bitDepth));
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < (1 << bitDepth); ++i)
            picture.palette.push_back({static_cast<std::uint8_t>(i * 37 + 5),
                                       static_cast<std::uint8_t>(255 - i),
                                       static_cast<std::uint8_t>(i * 11)});
    }
    return picture;
}

// The colour a picture's pixel should decode to at 32 bits.
Bgra ExpectedPixel(const PngPicture& picture, int x, int y) {
    const int channels = testsupport::PngChannels(picture.colorType);
    const std::uint16_t* s = &picture.samples[static_cast<std::size_t>((y * picture.width + x) * channels)];
    const int depth = picture.bitDepth;
    switch (picture.colorType) {
        case PNG_COLOR_TYPE_GRAY: {
            const std::uint8_t grey = ToEightBits(s[0], depth);
            const bool keyed = picture.transparentColor && (*picture.transparentColor)[0] == s[0];
            return {grey, grey, grey, static_cast<std::uint8_t>(keyed ? 0 : 255)};
        }
        case PNG_COLOR_TYPE_GRAY_ALPHA: {
            const std::uint8_t grey = ToEightBits(s[0], depth);
            return {grey, grey, grey, ToEightBits(s[1], depth)};
        }
        case PNG_COLOR_TYPE_RGB:
            return {ToEightBits(s[2], depth), ToEightBits(s[1], depth), ToEightBits(s[0], depth), 255};
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return {ToEightBits(s[2], depth), ToEightBits(s[1], depth), ToEightBits(s[0], depth),
                    ToEightBits(s[3], depth)};
        default: {
            const auto& color = picture.palette.at(s[0]);
            const std::uint8_t alpha = s[0] < picture.paletteAlpha.size() ? picture.paletteAlpha[s[0]] : 255;
            return {color[2], color[1], color[0], alpha};
        }
    }
}

void Decode(const std::vector<std::uint8_t>& file, CImageBitmap& bitmap, int depth) {
    CPNGDecoder decoder;
    decoder.DecodeMemory(file.data(), static_cast<std::int64_t>(file.size()), bitmap, depth);
}

CTextException DecodeFailure(const std::vector<std::uint8_t>& file, int depth = 32) {
    CDIBBitmap bitmap;
    try {
        Decode(file, bitmap, depth);
    } catch (const CTextException& error) {
        return error;
    }
    throw std::runtime_error("decoding did not fail");
}

// ---------------------------------------------------------------------------

// colour type, bit depth, interlaced
class EveryPngLayout : public ::testing::TestWithParam<std::tuple<int, int, bool>> {};

TEST_P(EveryPngLayout, DecodesAt32BitsToTheSamplesColors) {
    const auto [colorType, bitDepth, interlaced] = GetParam();
    const PngPicture picture = MakePicture(colorType, bitDepth, interlaced);
    CDIBBitmap bitmap;
    Decode(testsupport::EncodePng(picture), bitmap, 32);

    ASSERT_EQ(bitmap.GetDepth(), 32);
    ASSERT_EQ(bitmap.GetWidth(), picture.width);
    ASSERT_EQ(bitmap.GetHeight(), picture.height);
    EXPECT_EQ(bitmap.HasAlphaChannel(), (colorType & PNG_COLOR_MASK_ALPHA) != 0);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            ASSERT_EQ(PixelAt(bitmap, x, y), ExpectedPixel(picture, x, y)) << "at " << x << "," << y;
}

TEST_P(EveryPngLayout, DecodesAtDepthZeroToIndicesOrTrueColor) {
    const auto [colorType, bitDepth, interlaced] = GetParam();
    const PngPicture picture = MakePicture(colorType, bitDepth, interlaced);
    CDIBBitmap bitmap;
    Decode(testsupport::EncodePng(picture), bitmap, 0);

    const bool eightBit = colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_PALETTE;
    ASSERT_EQ(bitmap.GetDepth(), eightBit ? 8 : 32);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Bgra expected = ExpectedPixel(picture, x, y);
            if (!eightBit) {
                ASSERT_EQ(PixelAt(bitmap, x, y), expected);
                continue;
            }
            // One byte per pixel: the palette index, or the grey sample (its
            // high byte for 16 bits), shown through the bitmap's palette.
            const std::uint16_t sample = picture.samples[static_cast<std::size_t>(y * picture.width + x)];
            const std::uint8_t value = bitmap.GetRows()[y][x];
            ASSERT_EQ(value, bitDepth == 16 ? sample >> 8 : sample) << "at " << x << "," << y;
            const PaletteEntry& entry = bitmap.GetPalette()[value];
            ASSERT_EQ((Bgra{entry.blue, entry.green, entry.red, entry.alpha}), expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Png, EveryPngLayout,
                         ::testing::Combine(::testing::Values(PNG_COLOR_TYPE_GRAY),
                                            ::testing::Values(1, 2, 4, 8, 16), ::testing::Bool()),
                         [](const auto& info) {
                             return "Grey" + std::to_string(std::get<1>(info.param)) +
                                    (std::get<2>(info.param) ? "Interlaced" : "");
                         });
INSTANTIATE_TEST_SUITE_P(PngPalette, EveryPngLayout,
                         ::testing::Combine(::testing::Values(PNG_COLOR_TYPE_PALETTE),
                                            ::testing::Values(1, 2, 4, 8), ::testing::Bool()),
                         [](const auto& info) {
                             return "Palette" + std::to_string(std::get<1>(info.param)) +
                                    (std::get<2>(info.param) ? "Interlaced" : "");
                         });
INSTANTIATE_TEST_SUITE_P(PngTrueColor, EveryPngLayout,
                         ::testing::Combine(::testing::Values(PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_GRAY_ALPHA,
                                                              PNG_COLOR_TYPE_RGB_ALPHA),
                                            ::testing::Values(8, 16), ::testing::Bool()),
                         [](const auto& info) {
                             const int type = std::get<0>(info.param);
                             const std::string name = type == PNG_COLOR_TYPE_RGB          ? "Rgb"
                                                      : type == PNG_COLOR_TYPE_GRAY_ALPHA ? "GreyAlpha"
                                                                                          : "Rgba";
                             return name + std::to_string(std::get<1>(info.param)) +
                                    (std::get<2>(info.param) ? "Interlaced" : "");
                         });

TEST(PngDecoder, GreyPalettesAreRampsOfTheSampleDepth) {
    const std::vector<std::pair<int, std::vector<int>>> ramps = {
        {1, {0, 255}},
        {2, {0, 85, 170, 255}},
        {4, {0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170, 187, 204, 221, 238, 255}}};
    for (const auto& [bitDepth, levels] : ramps) {
        CDIBBitmap bitmap;
        Decode(testsupport::EncodePng(MakePicture(PNG_COLOR_TYPE_GRAY, bitDepth, false)), bitmap, 0);
        for (std::size_t i = 0; i < levels.size(); ++i) {
            const PaletteEntry& entry = bitmap.GetPalette()[i];
            EXPECT_EQ(entry, (PaletteEntry{std::uint8_t(levels[i]), std::uint8_t(levels[i]),
                                           std::uint8_t(levels[i]), 255}))
                << bitDepth << "-bit entry " << i;
        }
    }
    CDIBBitmap sixteen;
    Decode(testsupport::EncodePng(MakePicture(PNG_COLOR_TYPE_GRAY, 16, false)), sixteen, 0);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(sixteen.GetPalette()[i].red, i);
}

TEST(PngDecoder, ShortPaletteLeavesTheRestOfTheBitmapPaletteGrey) {
    PngPicture picture = MakePicture(PNG_COLOR_TYPE_PALETTE, 8, false, 4, 2);
    picture.palette.resize(3);
    picture.samples = {0, 1, 2, 2, 1, 0, 0, 1};
    CDIBBitmap bitmap;
    Decode(testsupport::EncodePng(picture), bitmap, 0);
    EXPECT_EQ(bitmap.GetPalette()[2],
              (PaletteEntry{picture.palette[2][2], picture.palette[2][1], picture.palette[2][0], 255}));
    EXPECT_EQ(bitmap.GetPalette()[3], (PaletteEntry{3, 3, 3, 255}));
    EXPECT_EQ(bitmap.GetPalette()[255], (PaletteEntry{255, 255, 255, 255}));
}

TEST(PngDecoder, TransparencyChunkBecomesAlphaForGreyAndPaletteAt32Bits) {
    PngPicture palette = MakePicture(PNG_COLOR_TYPE_PALETTE, 4, false);
    palette.paletteAlpha = {0, 128, 255, 7};
    CDIBBitmap fromPalette;
    Decode(testsupport::EncodePng(palette), fromPalette, 32);
    EXPECT_TRUE(fromPalette.HasAlphaChannel());
    for (int y = 0; y < palette.height; ++y)
        for (int x = 0; x < palette.width; ++x)
            ASSERT_EQ(PixelAt(fromPalette, x, y), ExpectedPixel(palette, x, y));

    PngPicture grey = MakePicture(PNG_COLOR_TYPE_GRAY, 16, true);
    grey.transparentColor = std::array<std::uint16_t, 3>{grey.samples[0], 0, 0};
    CDIBBitmap fromGrey;
    Decode(testsupport::EncodePng(grey), fromGrey, 32);
    EXPECT_TRUE(fromGrey.HasAlphaChannel());
    EXPECT_EQ(PixelAt(fromGrey, 0, 0).alpha, 0);
    for (int y = 0; y < grey.height; ++y)
        for (int x = 0; x < grey.width; ++x) ASSERT_EQ(PixelAt(fromGrey, x, y), ExpectedPixel(grey, x, y));

    // At 8 bits the indices stay and the transparency is dropped.
    CDIBBitmap indexed;
    Decode(testsupport::EncodePng(palette), indexed, 0);
    EXPECT_EQ(indexed.GetDepth(), 8);
    EXPECT_EQ(indexed.GetPalette()[0].alpha, 255);
}

TEST(PngDecoder, TransparentColorOfAnRgbImageIsIgnored) {
    PngPicture picture = MakePicture(PNG_COLOR_TYPE_RGB, 8, false);
    picture.transparentColor =
        std::array<std::uint16_t, 3>{picture.samples[0], picture.samples[1], picture.samples[2]};
    CDIBBitmap bitmap;
    Decode(testsupport::EncodePng(picture), bitmap, 32);
    EXPECT_FALSE(bitmap.HasAlphaChannel());
    EXPECT_EQ(PixelAt(bitmap, 0, 0), ExpectedPixel(picture, 0, 0));
    EXPECT_EQ(PixelAt(bitmap, 0, 0).alpha, 255);
}

TEST(PngDecoder, EightBitRequestForTrueColorSettlesTo32) {
    for (int colorType : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_GRAY_ALPHA}) {
        const PngPicture picture = MakePicture(colorType, 8, false);
        CDIBBitmap bitmap;
        Decode(testsupport::EncodePng(picture), bitmap, 8);
        ASSERT_EQ(bitmap.GetDepth(), 32);
        EXPECT_EQ(PixelAt(bitmap, 5, 3), ExpectedPixel(picture, 5, 3));
    }
    // Any request other than 32 gives grey and palette images their 8 bits.
    CDIBBitmap grey;
    Decode(testsupport::EncodePng(MakePicture(PNG_COLOR_TYPE_GRAY, 8, false)), grey, 24);
    EXPECT_EQ(grey.GetDepth(), 8);
}

TEST(PngDecoder, TruncatedFileFailsWithEndOfFile) {
    const std::vector<std::uint8_t> file =
        testsupport::EncodePng(MakePicture(PNG_COLOR_TYPE_RGB, 8, true, 40, 30));
    for (std::size_t cut : {std::size_t{0}, std::size_t{5}, std::size_t{20}, std::size_t{40}, file.size() / 2,
                            file.size() - 13, file.size() - 1}) {
        const std::vector<std::uint8_t> shortened(file.begin(),
                                                  file.begin() + static_cast<std::ptrdiff_t>(cut));
        const CTextException error = DecodeFailure(shortened);
        EXPECT_EQ(error.GetCode(), ERR_END_OF_FILE) << "cut at " << cut;
        EXPECT_STREQ(error.GetMessage(), "End of file reached while decoding.\n") << "cut at " << cut;
    }
}

// Rewrites the CRC of the chunk starting at `offset` after its data changed.
void FixChunkCrc(std::vector<std::uint8_t>& file, std::size_t offset) {
    const std::uint32_t length = (std::uint32_t{file[offset]} << 24) | (file[offset + 1] << 16) |
                                 (file[offset + 2] << 8) | file[offset + 3];
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, file.data() + offset + 4, length + 4));
    for (int i = 0; i < 4; ++i)
        file[offset + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
}

// Offset of the first chunk of the given type.
std::size_t FindChunk(const std::vector<std::uint8_t>& file, const char* type) {
    for (std::size_t offset = 8; offset + 8 <= file.size();) {
        const std::uint32_t length = (std::uint32_t{file[offset]} << 24) | (file[offset + 1] << 16) |
                                     (file[offset + 2] << 8) | file[offset + 3];
        if (std::equal(type, type + 4, file.begin() + static_cast<std::ptrdiff_t>(offset + 4))) return offset;
        offset += 12 + length;
    }
    throw std::runtime_error(std::string("no chunk ") + type);
}

TEST(PngDecoder, CorruptFilesFailWithLibpngsMessage) {
    const std::vector<std::uint8_t> good =
        testsupport::EncodePng(MakePicture(PNG_COLOR_TYPE_RGB, 8, false, 40, 30));

    std::vector<std::uint8_t> notPng(100, 0x41);
    CTextException error = DecodeFailure(notPng);
    EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN);
    EXPECT_STREQ(error.GetMessage(), "Decoder error: Not a PNG file\n");

    std::vector<std::uint8_t> badCrc = good;
    badCrc[FindChunk(good, "IHDR") + 8 + 13] ^= 0xFF;
    error = DecodeFailure(badCrc);
    EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN);
    EXPECT_STREQ(error.GetMessage(), "Decoder error: IHDR: CRC error\n");

    // Broken compressed data behind a valid checksum.
    std::vector<std::uint8_t> badData = good;
    const std::size_t idat = FindChunk(good, "IDAT");
    for (std::size_t i = idat + 10; i < idat + 30; ++i) badData[i] = 0xFF;
    FixChunkCrc(badData, idat);
    error = DecodeFailure(badData);
    EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN);
    EXPECT_EQ(std::string(error.GetMessage()).rfind("Decoder error: ", 0), 0u) << error.GetMessage();

    std::vector<std::uint8_t> badDepth = good;
    badDepth[FindChunk(good, "IHDR") + 16] = 3;
    FixChunkCrc(badDepth, FindChunk(good, "IHDR"));
    error = DecodeFailure(badDepth);
    EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN);
}

// A PNG that claims the given size: signature, header, and the start of an
// image data chunk, which is as far as the decoder reads before allocating.
std::vector<std::uint8_t> HeaderOnlyPng(std::uint32_t width, std::uint32_t height, int colorType) {
    std::vector<std::uint8_t> file = testsupport::EncodePng(MakePicture(colorType, 8, false, 2, 2));
    const std::size_t ihdr = FindChunk(file, "IHDR");
    for (int i = 0; i < 4; ++i) {
        file[ihdr + 8 + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
        file[ihdr + 12 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
    }
    FixChunkCrc(file, ihdr);
    return file;
}

TEST(PngDecoder, RefusesAbsurdSizesBeforeAllocating) {
    CTextException error = DecodeFailure(HeaderOnlyPng(70000, 10, PNG_COLOR_TYPE_RGB));
    EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN);
    EXPECT_STREQ(error.GetMessage(), "Decoder error: Invalid IHDR data\n");

    error = DecodeFailure(HeaderOnlyPng(60000, 60000, PNG_COLOR_TYPE_RGB_ALPHA));
    EXPECT_EQ(error.GetCode(), ERR_NO_MEMORY);
    EXPECT_STREQ(error.GetMessage(), "Out of memory creating bitmap.");
}

class RecordingSink : public CProgressSink {
public:
    void OnProgress(double fraction) override { fractions.push_back(fraction); }
    std::vector<double> fractions;
};

class ThrowingSink : public CProgressSink {
public:
    void OnProgress(double) override { throw std::runtime_error("stop"); }
};

TEST(PngDecoder, DecodesFromAFileReportingProgress) {
    testsupport::TemporaryFolder folder;
    PngPicture picture = MakePicture(PNG_COLOR_TYPE_RGB, 16, false, 60, 50);
    testsupport::WriteFileBytes(folder / "picture.png", testsupport::EncodePng(picture));
    RecordingSink sink;
    CPNGDecoder decoder;
    CDIBBitmap bitmap;
    decoder.DecodeFile((folder / "picture.png").string(), bitmap, 32, &sink);
    EXPECT_EQ(PixelAt(bitmap, 59, 49), ExpectedPixel(picture, 59, 49));
    ASSERT_GE(sink.fractions.size(), 2u);
    EXPECT_TRUE(std::is_sorted(sink.fractions.begin(), sink.fractions.end()));
    EXPECT_EQ(sink.fractions.back(), 1.0);
}

TEST(PngDecoder, ExceptionFromTheProgressSinkPassesThroughUnchanged) {
    testsupport::TemporaryFolder folder;
    testsupport::WriteFileBytes(folder / "picture.png",
                                testsupport::EncodePng(MakePicture(PNG_COLOR_TYPE_RGB, 16, false, 60, 50)));
    ThrowingSink sink;
    CPNGDecoder decoder;
    CDIBBitmap bitmap;
    EXPECT_THROW(decoder.DecodeFile((folder / "picture.png").string(), bitmap, 32, &sink),
                 std::runtime_error);
}

// ---------------------------------------------------------------------------
// PngSuite

// The file without its colour-space chunks: libpng's simplified reading
// converts samples to sRGB where a file states another gamma, and this decoder
// keeps the stored samples.
std::vector<std::uint8_t> WithoutColorSpaceChunks(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> out(file.begin(), file.begin() + 8);
    for (std::size_t offset = 8; offset + 12 <= file.size();) {
        const std::uint32_t length = (std::uint32_t{file[offset]} << 24) | (file[offset + 1] << 16) |
                                     (file[offset + 2] << 8) | file[offset + 3];
        const std::string type(file.begin() + static_cast<std::ptrdiff_t>(offset + 4),
                               file.begin() + static_cast<std::ptrdiff_t>(offset + 8));
        const std::size_t end = std::min(file.size(), offset + 12 + length);
        if (type != "gAMA" && type != "cHRM" && type != "sRGB" && type != "iCCP")
            out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(offset),
                       file.begin() + static_cast<std::ptrdiff_t>(end));
        offset = end;
    }
    return out;
}

TEST(PngSuite, EveryValidFileDecodesAsLibpngReadsIt) {
    const std::filesystem::path folder = testsupport::CorpusFolder("pngsuite");
    if (folder.empty()) GTEST_SKIP() << "PngSuite not available";
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png" || name[0] == 'x') continue;
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> file = testsupport::ReadFileBytes(entry.path());
        CDIBBitmap at32;
        CDIBBitmap atZero;
        ASSERT_NO_THROW(Decode(file, at32, 32));
        ASSERT_NO_THROW(Decode(file, atZero, 0));
        ASSERT_EQ(at32.GetDepth(), 32);
        if (atZero.GetDepth() == 8) {
            CDIBBitmap expanded;
            expanded.CopyFrom(atZero, 32);
            atZero.CopyFrom(expanded, 0);
        }

        const auto reference = testsupport::DecodePngReference(WithoutColorSpaceChunks(file));
        ASSERT_TRUE(reference.has_value());
        ASSERT_EQ(at32.GetWidth(), reference->width);
        ASSERT_EQ(at32.GetHeight(), reference->height);
        const int colorType = file[25];
        for (int y = 0; y < reference->height; ++y) {
            for (int x = 0; x < reference->width; ++x) {
                const std::size_t at = static_cast<std::size_t>(4 * (y * reference->width + x));
                Bgra want{};
                bool colorComparable = true;
                if (reference->sixteenBit) {
                    // The decoder keeps the high byte of 16-bit samples. The
                    // reference premultiplies translucent colours.
                    const std::uint16_t* rgba = &reference->rgba16[at];
                    want = {std::uint8_t(rgba[2] >> 8), std::uint8_t(rgba[1] >> 8),
                            std::uint8_t(rgba[0] >> 8), std::uint8_t(rgba[3] >> 8)};
                    colorComparable = rgba[3] == 65535;
                } else {
                    const std::uint8_t* bgra = &reference->bgra[at];
                    want = {bgra[0], bgra[1], bgra[2], bgra[3]};
                }
                // An RGB image's transparent colour is not turned into alpha.
                if (colorType == PNG_COLOR_TYPE_RGB) want.alpha = 255;
                const Bgra got = PixelAt(at32, x, y);
                const Bgra got8 = PixelAt(atZero, x, y);
                ASSERT_EQ(got.alpha, want.alpha) << "at " << x << "," << y;
                if (!colorComparable) continue;
                ASSERT_EQ((Bgra{got.blue, got.green, got.red, want.alpha}), want) << "at " << x << "," << y;
                ASSERT_EQ((Bgra{got8.blue, got8.green, got8.red, want.alpha}), want)
                    << "depth 0 at " << x << "," << y;
            }
        }
        ++compared;
    }
    EXPECT_GT(compared, 100);
}

TEST(PngSuite, EveryBrokenFileFailsWithCode2) {
    const std::filesystem::path folder = testsupport::CorpusFolder("pngsuite");
    if (folder.empty()) GTEST_SKIP() << "PngSuite not available";
    int broken = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png" || name[0] != 'x') continue;
        SCOPED_TRACE(name);
        const CTextException error = DecodeFailure(testsupport::ReadFileBytes(entry.path()));
        EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN) << error.GetMessage();
        EXPECT_EQ(std::string(error.GetMessage()).rfind("Decoder error: ", 0), 0u) << error.GetMessage();
        ++broken;
    }
    EXPECT_EQ(broken, 14);
}

}  // namespace
