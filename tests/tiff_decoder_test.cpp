#include "imagelib/decoders/tiff_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/image_decoder.h"
#include "imagelib/image_source.h"
#include "imagelib/text_exception.h"
#include "support/color_profiles.h"
#include "support/decoding.h"
#include "support/modern_writers.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <string>

namespace {

using testsupport::TiffPicture;
using testsupport::WriteTiff;

using Bytes = std::vector<std::uint8_t>;

const auto Decode = testsupport::DecodeToNewBitmap<CTIFFDecoder>;
const auto DecodeFailure = testsupport::DecodeFailure<CTIFFDecoder>;

const auto Pixel = testsupport::PixelWord;

std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

// An RGB picture whose every pixel differs: red follows x, green follows y.
TiffPicture RgbPicture(std::uint32_t width, std::uint32_t height) {
    TiffPicture picture;
    picture.width = width;
    picture.height = height;
    picture.samplesPerPixel = 3;
    picture.photometric = PHOTOMETRIC_RGB;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            picture.pixels.push_back(static_cast<std::uint8_t>(x * 7));
            picture.pixels.push_back(static_cast<std::uint8_t>(y * 11));
            picture.pixels.push_back(static_cast<std::uint8_t>(x + y));
        }
    }
    return picture;
}

void ExpectRgbPixels(const CImageBitmap& bitmap, std::uint32_t width, std::uint32_t height) {
    ASSERT_EQ(bitmap.GetWidth(), static_cast<int>(width));
    ASSERT_EQ(bitmap.GetHeight(), static_cast<int>(height));
    ASSERT_EQ(bitmap.GetDepth(), 32);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            ASSERT_EQ(Pixel(bitmap, x, y), Argb(255, (x * 7) & 255, (y * 11) & 255, (x + y) & 255))
                << "at " << x << "," << y;
}

// A single-sample picture whose samples are given one per entry.
TiffPicture GreyPicture(std::uint32_t width, std::uint32_t height, std::uint16_t bits,
                        const std::vector<unsigned>& samples) {
    TiffPicture picture;
    picture.width = width;
    picture.height = height;
    picture.bitsPerSample = bits;
    const std::size_t rowBytes = testsupport::TiffRowBytes(picture);
    picture.pixels.assign(rowBytes * height, 0);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned sample = samples[y * width + x];
            const std::size_t bit = std::size_t{x} * bits;
            for (unsigned b = 0; b < bits; ++b) {
                if ((sample >> (bits - 1 - b)) & 1)
                    picture.pixels[y * rowBytes + (bit + b) / 8] |=
                        static_cast<std::uint8_t>(0x80 >> ((bit + b) % 8));
            }
        }
    }
    return picture;
}

void SetColorMap(TiffPicture& picture, const std::function<std::uint16_t(int, int)>& value) {
    const int entries = 1 << picture.bitsPerSample;
    picture.photometric = PHOTOMETRIC_PALETTE;
    for (int k = 0; k < entries; ++k) {
        picture.colorMapRed.push_back(value(k, 0));
        picture.colorMapGreen.push_back(value(k, 1));
        picture.colorMapBlue.push_back(value(k, 2));
    }
}

// Rewrites a single-valued SHORT or LONG tag of the first directory of a
// little-endian classic TIFF file as a LONG holding `value`.
void PatchTag(Bytes& tiff, std::uint16_t tag, std::uint32_t value) {
    const std::uint32_t directory = ReadLE32(tiff.data() + 4);
    const std::uint16_t count = ReadLE16(tiff.data() + directory);
    for (std::uint16_t i = 0; i < count; ++i) {
        std::uint8_t* entry = tiff.data() + directory + 2 + 12 * i;
        if (ReadLE16(entry) != tag) continue;
        entry[2] = TIFF_LONG;
        entry[3] = 0;
        for (int b = 0; b < 4; ++b) entry[8 + b] = static_cast<std::uint8_t>(value >> (8 * b));
        return;
    }
    ADD_FAILURE() << "tag " << tag << " not found";
}

std::vector<std::uint32_t> AllPixels(const CImageBitmap& bitmap) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) pixels.push_back(Pixel(bitmap, x, y));
    return pixels;
}

// Sets the last value of an array of SHORT or LONG values, stored apart
// from the first directory of a little-endian classic TIFF file, to 0.
void ZeroLastArrayEntry(Bytes& tiff, std::uint16_t tag) {
    const std::uint32_t directory = ReadLE32(tiff.data() + 4);
    const std::uint16_t count = ReadLE16(tiff.data() + directory);
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = tiff.data() + directory + 2 + 12 * i;
        if (ReadLE16(entry) != tag) continue;
        const std::size_t width = ReadLE16(entry + 2) == TIFF_SHORT ? 2 : 4;
        const std::size_t last = ReadLE32(entry + 8) + width * (ReadLE32(entry + 4) - 1);
        std::fill_n(tiff.begin() + static_cast<std::ptrdiff_t>(last), width, 0);
        return;
    }
    ADD_FAILURE() << "tag " << tag << " not found";
}

// ---------------------------------------------------------------------------

TEST(TiffDecoder, RgbImageBecomes32BitTopRowFirstWithoutAlpha) {
    const TiffPicture picture = RgbPicture(5, 4);
    const auto bitmap = Decode(WriteTiff(picture), 32);
    ExpectRgbPixels(*bitmap, 5, 4);
    EXPECT_FALSE(bitmap->HasAlphaChannel());
}

TEST(TiffDecoder, TopDownBitmapsGetTheSamePixels) {
    // A CDIBBitmap's rows are filled in place; other bitmaps through a raster.
    const Bytes tiff = WriteTiff(RgbPicture(5, 4));
    CMemoryBitmap bitmap;
    CTIFFDecoder decoder;
    decoder.DecodeMemory(tiff.data(), static_cast<std::int64_t>(tiff.size()), bitmap, 32);
    ExpectRgbPixels(bitmap, 5, 4);
}

TEST(TiffDecoder, LowColorRequestsLeaveRgbImagesToTheRgbaPath) {
    const TiffPicture picture = RgbPicture(3, 3);
    ExpectRgbPixels(*Decode(WriteTiff(picture), 0), 3, 3);
    ExpectRgbPixels(*Decode(WriteTiff(picture), 8), 3, 3);
}

TEST(TiffDecoder, CompressedAndTiledImagesGiveTheSamePixels) {
    for (std::uint16_t compression : {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS}) {
        TiffPicture picture = RgbPicture(37, 29);
        picture.compression = compression;
        picture.rowsPerStrip = 8;
        SCOPED_TRACE(compression);
        ExpectRgbPixels(*Decode(WriteTiff(picture), 32), 37, 29);
    }
    TiffPicture tiled = RgbPicture(40, 35);
    tiled.tileWidth = 16;
    tiled.tileHeight = 16;
    tiled.compression = COMPRESSION_LZW;
    ExpectRgbPixels(*Decode(WriteTiff(tiled), 32), 40, 35);
}

TEST(TiffDecoder, AlphaSampleSetsTheAlphaFlag) {
    for (std::uint16_t kind : {EXTRASAMPLE_ASSOCALPHA, EXTRASAMPLE_UNASSALPHA}) {
        TiffPicture picture;
        picture.width = 2;
        picture.height = 1;
        picture.samplesPerPixel = 4;
        picture.photometric = PHOTOMETRIC_RGB;
        picture.extraSample = kind;
        // Both kinds show the stored colours, as every other format does:
        // unassociated alpha is not multiplied into them.
        picture.pixels = {40, 30, 20, 255, 16, 8, 4, 128, 200, 100, 50, 0};
        picture.width = 3;
        const Bytes file = WriteTiff(picture);
        if (kind == EXTRASAMPLE_UNASSALPHA)
            testsupport::KeepAsFuzzSeed("tiff", "rgba_unassociated.tif", file);
        const auto bitmap = Decode(file, 32);
        EXPECT_TRUE(bitmap->HasAlphaChannel()) << kind;
        EXPECT_EQ(AllPixels(*bitmap), (std::vector<std::uint32_t>{Argb(255, 40, 30, 20), Argb(128, 16, 8, 4),
                                                                  Argb(0, 200, 100, 50)}))
            << kind;
    }
}

TEST(TiffDecoder, BilevelMinIsWhiteAtDepthZeroKeepsOneBitWithWhiteFirst) {
    TiffPicture picture = GreyPicture(10, 2, 1, {1, 0, 1, 1, 0, 0, 0, 0, 1, 0,  //
                                                 0, 1, 0, 0, 0, 0, 0, 0, 0, 1});
    picture.photometric = PHOTOMETRIC_MINISWHITE;
    const auto bitmap = Decode(WriteTiff(picture), 0);
    ASSERT_EQ(bitmap->GetDepth(), 1);
    EXPECT_EQ(bitmap->GetPalette()[0], (PaletteEntry{255, 255, 255, 255}));
    EXPECT_EQ(bitmap->GetPalette()[1], (PaletteEntry{0, 0, 0, 255}));
    EXPECT_EQ(bitmap->GetRows()[0][0], 0xB0);
    EXPECT_EQ(bitmap->GetRows()[0][1] & 0xC0, 0x80);
    EXPECT_EQ(bitmap->GetRows()[1][0], 0x40);
    EXPECT_EQ(bitmap->GetRows()[1][1] & 0xC0, 0x40);
}

TEST(TiffDecoder, BilevelBothPhotometricsAt32BitsShowTheirColors) {
    for (std::uint16_t photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
        TiffPicture picture = GreyPicture(3, 1, 1, {1, 0, 1});
        picture.photometric = photometric;
        picture.compression = COMPRESSION_CCITTFAX4;
        const auto bitmap = Decode(WriteTiff(picture), 32);
        const std::uint32_t one = photometric == PHOTOMETRIC_MINISWHITE ? 0xFF000000 : 0xFFFFFFFF;
        const std::uint32_t zero = one ^ 0x00FFFFFF;
        EXPECT_EQ(Pixel(*bitmap, 0, 0), one) << photometric;
        EXPECT_EQ(Pixel(*bitmap, 1, 0), zero) << photometric;
        EXPECT_EQ(Pixel(*bitmap, 2, 0), one) << photometric;
    }
}

TEST(TiffDecoder, BilevelMinIsBlackAtDepthZeroHasBlackFirst) {
    TiffPicture picture = GreyPicture(9, 1, 1, {1, 0, 0, 0, 0, 0, 0, 1, 1});
    picture.photometric = PHOTOMETRIC_MINISBLACK;
    const auto bitmap = Decode(WriteTiff(picture), 0);
    ASSERT_EQ(bitmap->GetDepth(), 1);
    EXPECT_EQ(bitmap->GetPalette()[0], (PaletteEntry{0, 0, 0, 255}));
    EXPECT_EQ(bitmap->GetPalette()[1], (PaletteEntry{255, 255, 255, 255}));
    EXPECT_EQ(bitmap->GetRows()[0][0], 0x81);
    EXPECT_EQ(bitmap->GetRows()[0][1] & 0x80, 0x80);
}

TEST(TiffDecoder, GreyAtDepthEightIsOnePaletteIndexPerByte) {
    TiffPicture grey = GreyPicture(3, 1, 8, {0, 100, 255});
    grey.compression = COMPRESSION_LZW;
    const auto bitmap = Decode(WriteTiff(grey), 8);
    ASSERT_EQ(bitmap->GetDepth(), 8);
    EXPECT_EQ(bitmap->GetRows()[0][1], 100);
    EXPECT_EQ(bitmap->GetPalette()[100], (PaletteEntry{100, 100, 100, 255}));

    // Two-bit samples are spread out to one index per byte over a 4-step ramp.
    const auto twoBit = Decode(WriteTiff(GreyPicture(5, 1, 2, {3, 1, 2, 0, 3})), 0);
    ASSERT_EQ(twoBit->GetDepth(), 8);
    const std::uint8_t* row = twoBit->GetRows()[0];
    EXPECT_EQ((Bytes{row, row + 5}), (Bytes{3, 1, 2, 0, 3}));
    EXPECT_EQ(twoBit->GetPalette()[1], (PaletteEntry{85, 85, 85, 255}));
    EXPECT_EQ(twoBit->GetPalette()[3], (PaletteEntry{255, 255, 255, 255}));
}

TEST(TiffDecoder, FourBitPaletteOfOddWidthUnpacksTheLastHighNibble) {
    TiffPicture picture = GreyPicture(5, 2, 4,
                                      {1, 2, 3, 4, 15,  //
                                       5, 6, 7, 8, 9});
    SetColorMap(picture,
                [](int k, int channel) { return static_cast<std::uint16_t>((k * 16 + channel) * 257); });
    const auto bitmap = Decode(WriteTiff(picture), 0);
    ASSERT_EQ(bitmap->GetDepth(), 8);
    const std::uint8_t* top = bitmap->GetRows()[0];
    const std::uint8_t* bottom = bitmap->GetRows()[1];
    EXPECT_EQ((Bytes{top, top + 5}), (Bytes{1, 2, 3, 4, 15}));
    EXPECT_EQ((Bytes{bottom, bottom + 5}), (Bytes{5, 6, 7, 8, 9}));
    // 16-bit map values scale down to 8 bits.
    EXPECT_EQ(bitmap->GetPalette()[15], (PaletteEntry{242, 241, 240, 255}));
}

TEST(TiffDecoder, ColorMapsOfSixteenAndEightBitValues) {
    TiffPicture wide = GreyPicture(2, 1, 8, {0, 1});
    SetColorMap(wide, [](int k, int channel) -> std::uint16_t {
        if (k == 0) return channel == 0 ? 65535 : channel == 1 ? 32896 : 0;
        return k == 1 ? 257 : 0;
    });
    const auto sixteen = Decode(WriteTiff(wide), 0);
    EXPECT_EQ(sixteen->GetPalette()[0], (PaletteEntry{0, 128, 255, 255}));
    EXPECT_EQ(sixteen->GetPalette()[1], (PaletteEntry{1, 1, 1, 255}));

    // Some writers store 8-bit values: a map with nothing above 255 is kept.
    TiffPicture narrow = GreyPicture(2, 1, 8, {0, 1});
    SetColorMap(narrow,
                [](int k, int channel) { return static_cast<std::uint16_t>(k == 1 ? 200 + channel : 0); });
    const auto eight = Decode(WriteTiff(narrow), 0);
    EXPECT_EQ(eight->GetPalette()[1], (PaletteEntry{202, 201, 200, 255}));
    EXPECT_EQ(eight->GetRows()[0][1], 1);
}

TEST(TiffDecoder, PaletteImageAt32BitsUsesItsMap) {
    TiffPicture picture = GreyPicture(2, 1, 8, {0, 1});
    SetColorMap(picture, [](int k, int channel) {
        return static_cast<std::uint16_t>(k == 1 ? (channel + 1) * 0x4000 : 0);
    });
    const auto bitmap = Decode(WriteTiff(picture), 32);
    ASSERT_EQ(bitmap->GetDepth(), 32);
    EXPECT_EQ(Pixel(*bitmap, 0, 0), Argb(255, 0, 0, 0));
    EXPECT_EQ(Pixel(*bitmap, 1, 0), Argb(255, 0x40, 0x80, 0xC0));
}

TEST(TiffDecoder, UnexpectedPhotometricIsTracedAndGetsAGreyRamp) {
    TiffPicture mask = GreyPicture(4, 1, 1, {1, 0, 0, 1});
    mask.photometric = PHOTOMETRIC_MASK;
    const Bytes bytes = WriteTiff(mask);
    testsupport::TemporaryFolder folder;
    CDIBBitmap bitmap;
    CTIFFDecoder decoder;
    SetTraceLevel(2);
    SetTraceFile((folder / "trace.txt").string());
    decoder.DecodeMemory(bytes.data(), static_cast<std::int64_t>(bytes.size()), bitmap, 0);
    ClearTraceFile();
    SetTraceLevel(0);
    const Bytes trace = testsupport::ReadFileBytes(folder / "trace.txt");
    EXPECT_NE(std::string(trace.begin(), trace.end())
                  .find("unexpected PhotometricInterpretation in CTIFFDecoder::DoLoColor()"),
              std::string::npos);
    ASSERT_EQ(bitmap.GetDepth(), 1);
    EXPECT_EQ(bitmap.GetRows()[0][0] & 0xF0, 0x90);
    EXPECT_EQ(bitmap.GetPalette()[1], (PaletteEntry{255, 255, 255, 255}));
}

TEST(TiffDecoder, TiledGreyImageGoesThroughTheRgbaPath) {
    TiffPicture picture = GreyPicture(20, 18, 8, std::vector<unsigned>(20 * 18, 77));
    picture.tileWidth = 16;
    picture.tileHeight = 16;
    const auto bitmap = Decode(WriteTiff(picture), 0);
    ASSERT_EQ(bitmap->GetDepth(), 32);
    EXPECT_EQ(Pixel(*bitmap, 19, 17), Argb(255, 77, 77, 77));
}

// A grey picture of samples of `bits` as `format` (SAMPLEFORMAT_*) keeps
// them: wider than a byte in the machine's order, others packed.
TiffPicture WideGreyPicture(std::uint16_t bits, std::uint16_t format, const std::vector<double>& samples) {
    if (bits < 16) {
        std::vector<unsigned> packed(samples.begin(), samples.end());
        return GreyPicture(static_cast<std::uint32_t>(samples.size()), 1, bits, packed);
    }
    TiffPicture picture;
    picture.width = static_cast<std::uint32_t>(samples.size());
    picture.bitsPerSample = bits;
    picture.sampleFormat = format;
    for (const double sample : samples) {
        std::uint8_t bytes[8] = {};
        if (format == SAMPLEFORMAT_IEEEFP && bits == 32) {
            const auto value = static_cast<float>(sample);
            std::memcpy(bytes, &value, 4);
        } else if (format == SAMPLEFORMAT_INT) {
            const auto value = static_cast<std::int32_t>(sample);
            std::memcpy(bytes, &value, 4);
        } else {
            const auto value = static_cast<std::uint32_t>(sample);
            std::memcpy(bytes, &value, 4);
        }
        picture.pixels.insert(picture.pixels.end(), bytes, bytes + bits / 8);
    }
    return picture;
}

// Inks that differ from pixel to pixel, at 16 bits and the 8-bit inks
// libtiff makes of them ((v + 128) / 257).
std::pair<TiffPicture, TiffPicture> CmykTwins(std::uint32_t side) {
    TiffPicture wide;
    wide.width = wide.height = side;
    wide.samplesPerPixel = 4;
    wide.bitsPerSample = 16;
    wide.photometric = PHOTOMETRIC_SEPARATED;
    TiffPicture narrow = wide;
    narrow.bitsPerSample = 8;
    for (std::uint32_t i = 0; i < side * side * 4; ++i) {
        const auto ink = static_cast<std::uint16_t>((i * 7919u) % 65536u);
        const auto bytes = reinterpret_cast<const std::uint8_t*>(&ink);
        wide.pixels.insert(wide.pixels.end(), bytes, bytes + 2);
        narrow.pixels.push_back(static_cast<std::uint8_t>((ink + 128u) / 257u));
    }
    return {wide, narrow};
}

// Layouts libtiff's RGBA interface refuses are read by the decoder itself:
// grey levels scaled from the range the file declares, floats from 0 to 1,
// both clipped; and BigTIFF files are read like classic ones.
TEST(TiffDecoder, LayoutsBeyondTheRgbaInterfaceDecode) {
    const auto withRange = [](TiffPicture picture, double low, double high) {
        picture.minSampleValue = low;
        picture.maxSampleValue = high;
        return picture;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        TiffPicture picture;
        std::vector<std::uint8_t> greys;
    } cases[] = {
        {"12-bit grey", WideGreyPicture(12, SAMPLEFORMAT_UINT, {0, 4095, 2048, 1000}), {0, 255, 128, 62}},
        {"32-bit grey", WideGreyPicture(32, SAMPLEFORMAT_UINT, {0, 4294967295.0, 1u << 31}), {0, 255, 128}},
        {"32-bit grey of a declared range",
         withRange(WideGreyPicture(32, SAMPLEFORMAT_UINT, {500, 1000, 1500, 2000, 3000}), 1000, 2000),
         {0, 0, 128, 255, 255}},
        {"signed 16-bit grey",
         WideGreyPicture(16, SAMPLEFORMAT_INT, {-32768, -1, 0, 32767}),
         {0, 127, 128, 255}},
        {"signed 32-bit grey",
         WideGreyPicture(32, SAMPLEFORMAT_INT, {-2147483648.0, 0, 2147483647}),
         {0, 128, 255}},
        {"floating-point grey",
         WideGreyPicture(32, SAMPLEFORMAT_IEEEFP, {-0.5, 0, 0.25, 1, 2, nan}),
         {0, 0, 64, 255, 255, 0}},
        {"floating-point grey of a declared range",
         withRange(WideGreyPicture(32, SAMPLEFORMAT_IEEEFP, {-1, 0, 1}), -1, 1),
         {0, 128, 255}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        TiffPicture whiteIsZero = entry.picture;
        whiteIsZero.photometric = PHOTOMETRIC_MINISWHITE;
        const Bytes file = WriteTiff(entry.picture);
        if (entry.picture.bitsPerSample >= 16) {
            std::string seed = entry.name;
            std::replace(seed.begin(), seed.end(), ' ', '_');
            testsupport::KeepAsFuzzSeed("tiff", seed + ".tif", file);
        }
        for (int depth : {0, 32}) {
            const auto bitmap = Decode(file, depth);
            const auto inverted = Decode(WriteTiff(whiteIsZero), depth);
            ASSERT_EQ(bitmap->GetDepth(), 32);
            for (std::size_t x = 0; x < entry.greys.size(); ++x) {
                const std::uint32_t grey = entry.greys[x];
                EXPECT_EQ(Pixel(*bitmap, static_cast<int>(x), 0), Argb(255, grey, grey, grey)) << x;
                EXPECT_EQ(Pixel(*inverted, static_cast<int>(x), 0) & 0xFF, 255 - grey) << x;
            }
        }
    }

    // 16-bit inks come out as their 8-bit twins do, through the profile or
    // without one, in strips, tiles and planes alike.
    const auto profile = testsupport::PlainInksProfile();
    for (const bool tiled : {false, true}) {
        auto [wide, narrow] = CmykTwins(20);
        wide.tileWidth = wide.tileHeight = tiled ? 16 : 0;
        wide.planarSeparate = tiled;
        wide.rowsPerStrip = 7;
        for (const auto& iccProfile : {std::vector<std::uint8_t>{}, profile}) {
            SCOPED_TRACE(testing::Message() << "tiled " << tiled << ", profile " << !iccProfile.empty());
            const Bytes file = WriteTiff(wide, iccProfile);
            if (tiled && !iccProfile.empty()) testsupport::KeepAsFuzzSeed("tiff", "cmyk16_planes.tif", file);
            EXPECT_EQ(AllPixels(*Decode(file, 32)), AllPixels(*Decode(WriteTiff(narrow, iccProfile), 32)));
        }
    }

    TiffPicture big = RgbPicture(6, 5);
    big.bigTiff = true;
    big.compression = COMPRESSION_LZW;
    const Bytes bigTiff = WriteTiff(big);
    ASSERT_EQ(bigTiff[2], 43);
    testsupport::KeepAsFuzzSeed("tiff", "bigtiff.tif", bigTiff);
    ExpectRgbPixels(*Decode(bigTiff, 32), 6, 5);
    CAnyFormatDecoder anyFormat;
    CDIBBitmap detected;
    anyFormat.DecodeMemory(bigTiff.data(), static_cast<std::int64_t>(bigTiff.size()), detected, 32);
    ExpectRgbPixels(detected, 6, 5);
}

// One row of pixels of `samplesPerPixel` samples of `bits` as `format`:
// whole-byte samples in the machine's order, others packed from the most
// significant bit; floating-point samples of 16 bits as IEEE halves.
TiffPicture SampleRow(std::uint16_t photometric, std::uint16_t samplesPerPixel, std::uint16_t bits,
                      std::uint16_t format, const std::vector<double>& samples) {
    TiffPicture picture;
    picture.width = static_cast<std::uint32_t>(samples.size() / samplesPerPixel);
    picture.samplesPerPixel = samplesPerPixel;
    picture.bitsPerSample = bits;
    picture.photometric = photometric;
    picture.sampleFormat = format;
    picture.pixels.assign(testsupport::TiffRowBytes(picture), 0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double sample = samples[i];
        std::uint8_t bytes[8] = {};
        if (format == SAMPLEFORMAT_IEEEFP && bits == 16) {
            int exponent = 0;
            const double mantissa = std::frexp(sample, &exponent);
            const auto half =
                sample == 0
                    ? 0
                    : static_cast<std::uint16_t>((exponent + 14) << 10 | int((mantissa * 2 - 1) * 1024));
            std::memcpy(bytes, &half, 2);
        } else if (format == SAMPLEFORMAT_IEEEFP && bits == 32) {
            const auto value = static_cast<float>(sample);
            std::memcpy(bytes, &value, 4);
        } else if (format == SAMPLEFORMAT_IEEEFP) {
            std::memcpy(bytes, &sample, 8);
        } else if (bits % 8 == 0) {
            const auto value = static_cast<std::uint32_t>(sample);
            std::memcpy(bytes, &value, 4);
        } else {
            const auto value = static_cast<std::uint32_t>(sample);
            for (unsigned b = 0; b < bits; ++b)
                if ((value >> (bits - 1 - b)) & 1)
                    picture.pixels[(i * bits + b) / 8] |=
                        static_cast<std::uint8_t>(0x80 >> ((i * bits + b) % 8));
            continue;
        }
        std::memcpy(picture.pixels.data() + i * bits / 8, bytes, bits / 8);
    }
    return picture;
}

// Layouts other readers take: deep and floating-point RGB scaled as deep
// grey is, wide palettes, and alpha beside grey of a few bits, kept as stored.
TEST(TiffDecoder, DeepFloatingPointAndWidePaletteLayoutsDecode) {
    const auto primaries = [](double most) {
        return std::vector<double>{most, 0, 0, 0, most, 0, 0, 0, most};
    };
    const std::vector<std::uint32_t> red_green_blue = {Argb(255, 255, 0, 0), Argb(255, 0, 255, 0),
                                                       Argb(255, 0, 0, 255)};
    struct Case {
        std::string name;
        TiffPicture picture;
        std::vector<std::uint32_t> pixels;
    };
    std::vector<Case> cases;
    for (const std::uint16_t bits : {2, 4, 10, 12, 14, 24, 32})
        cases.push_back(
            {std::to_string(bits) + "-bit RGB",
             SampleRow(PHOTOMETRIC_RGB, 3, bits, SAMPLEFORMAT_UINT, primaries(std::ldexp(1.0, bits) - 1)),
             red_green_blue});
    for (const std::uint16_t bits : {16, 32, 64})
        cases.push_back({std::to_string(bits) + "-bit floating-point RGB",
                         SampleRow(PHOTOMETRIC_RGB, 3, bits, SAMPLEFORMAT_IEEEFP, primaries(1)),
                         red_green_blue});
    cases.push_back({"64-bit floating-point grey",
                     SampleRow(PHOTOMETRIC_MINISBLACK, 1, 64, SAMPLEFORMAT_IEEEFP, {0, 0.25, 1}),
                     {Argb(255, 0, 0, 0), Argb(255, 64, 64, 64), Argb(255, 255, 255, 255)}});
    TiffPicture unassociated = SampleRow(PHOTOMETRIC_RGB, 4, 32, SAMPLEFORMAT_IEEEFP, {1, 0.5, 0, 0.5});
    unassociated.extraSample = EXTRASAMPLE_UNASSALPHA;
    cases.push_back({"floating-point RGB with alpha", unassociated, {Argb(128, 255, 128, 0)}});
    TiffPicture greyAlpha = SampleRow(PHOTOMETRIC_MINISBLACK, 2, 4, SAMPLEFORMAT_UINT, {15, 0, 0, 15, 8, 8});
    greyAlpha.extraSample = EXTRASAMPLE_UNASSALPHA;
    cases.push_back({"4-bit grey with alpha",
                     greyAlpha,
                     {Argb(0, 255, 255, 255), Argb(255, 0, 0, 0), Argb(136, 136, 136, 136)}});
    TiffPicture palette = SampleRow(PHOTOMETRIC_PALETTE, 1, 16, SAMPLEFORMAT_UINT, {0, 65535, 300});
    SetColorMap(palette, [](int k, int channel) {
        return static_cast<std::uint16_t>(channel == 0 ? k : channel == 1 ? 65535 - k : 0);
    });
    cases.push_back(
        {"16-bit palette", palette, {Argb(255, 0, 255, 0), Argb(255, 255, 0, 0), Argb(255, 1, 253, 0)}});

    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        const Bytes file = WriteTiff(entry.picture);
        std::string seed = entry.name;
        std::replace(seed.begin(), seed.end(), ' ', '_');
        // A 16-bit map alone is 384 KiB; the seed's palette is narrower.
        if (entry.picture.photometric != PHOTOMETRIC_PALETTE)
            testsupport::KeepAsFuzzSeed("tiff", seed + ".tif", file);
        const auto bitmap = Decode(file, 32);
        EXPECT_EQ(AllPixels(*bitmap), entry.pixels);
        EXPECT_EQ(bitmap->HasAlphaChannel(), entry.picture.extraSample.has_value());
    }

    TiffPicture tenBitPalette = SampleRow(PHOTOMETRIC_PALETTE, 1, 10, SAMPLEFORMAT_UINT, {1023, 5});
    SetColorMap(tenBitPalette,
                [](int k, int channel) { return static_cast<std::uint16_t>(k * 64 + channel); });
    const Bytes tenBitFile = WriteTiff(tenBitPalette);
    testsupport::KeepAsFuzzSeed("tiff", "10-bit_palette.tif", tenBitFile);
    EXPECT_EQ(Pixel(*Decode(tenBitFile, 32), 0, 0), Argb(255, 254, 254, 254));

    // Separate planes, in strips read side by side or in tiles, give the
    // pixels of contiguous samples.
    std::vector<double> samples;
    for (int i = 0; i < 9 * 7 * 3; ++i) samples.push_back((i * 37 % 101) / 100.0);
    TiffPicture contiguous = SampleRow(PHOTOMETRIC_RGB, 3, 32, SAMPLEFORMAT_IEEEFP, samples);
    contiguous.width = 9;
    contiguous.height = 7;
    contiguous.pixels.resize(testsupport::TiffRowBytes(contiguous) * 7);
    std::memcpy(contiguous.pixels.data(),
                SampleRow(PHOTOMETRIC_RGB, 3, 32, SAMPLEFORMAT_IEEEFP, samples).pixels.data(),
                contiguous.pixels.size());
    const auto expected = AllPixels(*Decode(WriteTiff(contiguous), 32));
    TiffPicture planes = contiguous;
    planes.planarSeparate = true;
    planes.rowsPerStrip = 3;
    planes.compression = COMPRESSION_ADOBE_DEFLATE;
    const Bytes planeFile = WriteTiff(planes);
    testsupport::KeepAsFuzzSeed("tiff", "float_rgb_planes.tif", planeFile);
    EXPECT_EQ(AllPixels(*Decode(planeFile, 32)), expected);
    planes.tileWidth = planes.tileHeight = 16;
    EXPECT_EQ(AllPixels(*Decode(WriteTiff(planes), 32)), expected);
}

// A deflate-compressed grey picture with one strip per row; strip `damaged`
// is overwritten with bytes zlib refuses.
Bytes GreyWithDamagedStrip(std::uint32_t height, std::size_t damaged) {
    std::vector<unsigned> samples;
    for (std::uint32_t i = 0; i < 8 * height; ++i) samples.push_back(i % 200);
    TiffPicture picture = GreyPicture(8, height, 8, samples);
    picture.compression = COMPRESSION_ADOBE_DEFLATE;
    Bytes tiff = WriteTiff(picture);
    const auto strips = testsupport::TiffStripLocations(tiff);
    EXPECT_EQ(strips.size(), height);
    if (damaged < strips.size())
        for (std::uint64_t i = 0; i < strips[damaged].second; ++i) tiff[strips[damaged].first + i] = 0xFF;
    return tiff;
}

TEST(TiffDecoder, DamagedStripLateInALowColorImageIsTolerated) {
    const auto bitmap = Decode(GreyWithDamagedStrip(9, 7), 0);
    ASSERT_EQ(bitmap->GetDepth(), 8);
    EXPECT_EQ(bitmap->GetRows()[6][3], (6 * 8 + 3) % 200);
    EXPECT_EQ(bitmap->GetRows()[8][3], (8 * 8 + 3) % 200);
}

TEST(TiffDecoder, DamagedStripInTheFirstThirdFailsWithLibtiffsMessage) {
    const CTextException error = DecodeFailure(GreyWithDamagedStrip(9, 2), 0);
    EXPECT_EQ(error.GetCode(), ERR_UNSUPPORTED_DATA);
    const std::string text = error.GetMessage();
    EXPECT_EQ(text.rfind("Decoder error: ", 0), 0u) << text;
    EXPECT_GT(text.size(), std::string("Decoder error: \n\n").size()) << text;
    EXPECT_EQ(text.substr(text.size() - 2), "\n\n") << text;
}

TEST(TiffDecoder, RgbaPathToleratesUndecodableStripsButNotMissingData) {
    // libtiff's RGBA reader, told not to stop on errors, keeps what it has.
    for (std::size_t damaged : {std::size_t{0}, std::size_t{7}}) {
        const auto bitmap = Decode(GreyWithDamagedStrip(9, damaged), 32);
        EXPECT_EQ(Pixel(*bitmap, 3, 8), Argb(255, 67, 67, 67)) << damaged;
    }

    TiffPicture picture = RgbPicture(4, 4);
    picture.rowsPerStrip = 4;
    Bytes tiff = WriteTiff(picture);
    PatchTag(tiff, TIFFTAG_STRIPOFFSETS, 0x7FFFFFF0);
    const CTextException error = DecodeFailure(tiff, 32);
    EXPECT_EQ(error.GetCode(), ERR_WRONG_SIGNATURE);
    EXPECT_EQ(std::string(error.GetMessage()).rfind("Decoder error: ", 0), 0u) << error.GetMessage();
}

// The warning a decode leaves, and the pixels it made.
std::pair<std::string, std::vector<std::uint32_t>> DecodeWithWarning(const Bytes& tiff, int depth = 32) {
    CDIBBitmap bitmap;
    CTIFFDecoder decoder;
    decoder.DecodeMemory(tiff.data(), static_cast<std::int64_t>(tiff.size()), bitmap, depth);
    return {decoder.GetPictureWarning(), depth == 32 ? AllPixels(bitmap) : std::vector<std::uint32_t>{}};
}

// A file declaring a large picture costs what it holds, not what it
// declares: one where not a row can be there fails before anything is sized
// from the header, and one whose data stops keeps the rows it has and says
// where it ended. Each at its own size and ten times that.
TEST(TiffDecoder, PicturesThatEndEarlyCostTheirDataAndSaySo) {
    for (const std::uint32_t scale : {1u, 10u}) {
        SCOPED_TRACE(scale);
        TiffPicture strip = WideGreyPicture(32, SAMPLEFORMAT_IEEEFP, std::vector<double>(16, 0.5));
        Bytes stripFile = WriteTiff(strip);
        for (const std::uint16_t tag : {TIFFTAG_IMAGEWIDTH, TIFFTAG_IMAGELENGTH, TIFFTAG_ROWSPERSTRIP})
            PatchTag(stripFile, tag, 16384);
        PatchTag(stripFile, TIFFTAG_STRIPBYTECOUNTS, scale);
        TiffPicture tile = WideGreyPicture(32, SAMPLEFORMAT_IEEEFP, {0.5});
        tile.tileWidth = tile.tileHeight = 16;
        Bytes tileFile = WriteTiff(tile);
        PatchTag(tileFile, TIFFTAG_TILEWIDTH, 43680);
        PatchTag(tileFile, TIFFTAG_TILELENGTH, 16384);
        PatchTag(tileFile, TIFFTAG_TILEBYTECOUNTS, scale);
        if (scale == 1) {
            testsupport::KeepAsFuzzSeed("tiff", "declared_16384_one_byte.tif", stripFile);
            testsupport::KeepAsFuzzSeed("tiff", "declared_huge_tile.tif", tileFile);
        }
        for (const Bytes& file : {stripFile, tileFile})
            EXPECT_STREQ(DecodeFailure(file, 32).GetMessage(),
                         "Decoder error: TIFF image data could not be read.\n");

        // Four rows in one deflated strip that claims 64 or 640.
        TiffPicture rows = WideGreyPicture(32, SAMPLEFORMAT_IEEEFP, {0, 0.5, 1, 0.25});
        rows.height = 4;
        rows.rowsPerStrip = 4;
        rows.compression = COMPRESSION_ADOBE_DEFLATE;
        rows.pixels = Bytes(4 * rows.pixels.size(), 0);
        for (std::size_t i = 0; i < 4; ++i)
            std::memcpy(rows.pixels.data() + 16 * i,
                        WideGreyPicture(32, SAMPLEFORMAT_IEEEFP, {0, 0.5, 1, 0.25}).pixels.data(), 16);
        Bytes rowsFile = WriteTiff(rows);
        PatchTag(rowsFile, TIFFTAG_IMAGELENGTH, 64 * scale);
        PatchTag(rowsFile, TIFFTAG_ROWSPERSTRIP, 64 * scale);
        const auto [warning, pixels] = DecodeWithWarning(rowsFile);
        EXPECT_EQ(warning,
                  "the picture ends early: rows 5 to " + std::to_string(64 * scale) + " are missing");
        ASSERT_EQ(pixels.size(), 4 * 64 * scale);
        EXPECT_EQ(pixels[4 * 3 + 1], Argb(255, 128, 128, 128));
        EXPECT_EQ(pixels[4 * 4 + 1], 0u);
    }

    // A broken strip ends the picture where it stands: later strips are not
    // read as if nothing had happened.
    TiffPicture signedGrey = WideGreyPicture(16, SAMPLEFORMAT_INT, {-32768, 0, 32767});
    signedGrey.height = 9;
    signedGrey.compression = COMPRESSION_ADOBE_DEFLATE;
    const Bytes row = signedGrey.pixels;
    for (int y = 1; y < 9; ++y) signedGrey.pixels.insert(signedGrey.pixels.end(), row.begin(), row.end());
    Bytes damaged = WriteTiff(signedGrey);
    const auto strips = testsupport::TiffStripLocations(damaged);
    ASSERT_EQ(strips.size(), 9u);
    for (std::uint64_t i = 0; i < strips[5].second; ++i) damaged[strips[5].first + i] = 0xFF;
    const auto [warning, pixels] = DecodeWithWarning(damaged);
    EXPECT_EQ(warning, "the picture ends early: rows 6 to 9 are missing");
    EXPECT_EQ(pixels[3 * 4 + 2], Argb(255, 255, 255, 255));
    EXPECT_EQ(pixels[3 * 5 + 2], 0u);

    // A tile of no bytes ends the picture at its row of tiles.
    TiffPicture tiles = WideGreyPicture(32, SAMPLEFORMAT_IEEEFP, std::vector<double>(16, 0.5));
    tiles.height = 48;
    tiles.tileWidth = tiles.tileHeight = 16;
    tiles.pixels.resize(tiles.pixels.size() * 48, 0);
    Bytes lastTileEmpty = WriteTiff(tiles);
    ZeroLastArrayEntry(lastTileEmpty, TIFFTAG_TILEBYTECOUNTS);
    EXPECT_EQ(DecodeWithWarning(lastTileEmpty).first, "the picture ends early: rows 33 to 48 are missing");

    // A strip of no bytes at the file's start is missing, not there.
    Bytes empty = WriteTiff(GreyPicture(8, 9, 8, std::vector<unsigned>(72, 100)));
    ZeroLastArrayEntry(empty, TIFFTAG_STRIPOFFSETS);
    ZeroLastArrayEntry(empty, TIFFTAG_STRIPBYTECOUNTS);
    EXPECT_EQ(DecodeWithWarning(empty, 8).first, "the picture ends early: row 9 is missing");
}

TEST(TiffDecoder, LongOrientationTurnsThePictureAsAShortOneDoes) {
    for (const bool sampleRows : {false, true}) {
        TiffPicture picture =
            sampleRows ? WideGreyPicture(16, SAMPLEFORMAT_INT, {-32768, -16384, 0, 32767}) : RgbPicture(4, 1);
        picture.orientation = ORIENTATION_BOTRIGHT;
        const Bytes asShort = WriteTiff(picture);
        Bytes asLong = asShort;
        PatchTag(asLong, TIFFTAG_ORIENTATION, ORIENTATION_BOTRIGHT);
        EXPECT_EQ(AllPixels(*Decode(asLong, 32)), AllPixels(*Decode(asShort, 32))) << sampleRows;
        EXPECT_NE(AllPixels(*Decode(asLong, 32)),
                  AllPixels(*Decode(
                      WriteTiff(sampleRows ? WideGreyPicture(16, SAMPLEFORMAT_INT, {-32768, -16384, 0, 32767})
                                           : RgbPicture(4, 1)),
                      32)));
    }
}

TEST(TiffDecoder, DataThatIsNotTiffFailsWithLibtiffsOwnText) {
    const Bytes notTiff = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0};
    const CTextException error = DecodeFailure(notTiff, 32);
    EXPECT_EQ(error.GetCode(), ERR_WRONG_SIGNATURE);
    EXPECT_NE(std::string(error.GetMessage()).find("Not a TIFF"), std::string::npos) << error.GetMessage();

    EXPECT_EQ(DecodeFailure({}, 32).GetCode(), ERR_WRONG_SIGNATURE);
    EXPECT_EQ(DecodeFailure({'I', 'I', 42}, 32).GetCode(), ERR_WRONG_SIGNATURE);
}

TEST(TiffDecoder, TruncatedFilesFailCleanly) {
    TiffPicture picture = RgbPicture(30, 30);
    picture.compression = COMPRESSION_LZW;
    const Bytes whole = WriteTiff(picture);
    for (std::size_t size : {std::size_t{8}, std::size_t{20}, whole.size() / 2, whole.size() - 1}) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        for (int depth : {0, 32}) {
            try {
                Decode(cut, depth);
            } catch (const CTextException& error) {
                EXPECT_NE(std::string(error.GetMessage()), "") << size;
            }
        }
    }
}

TEST(TiffDecoder, AbsurdDimensionsAreRefusedBeforeAllocating) {
    Bytes huge = WriteTiff(RgbPicture(2, 2));
    PatchTag(huge, TIFFTAG_IMAGEWIDTH, 30000);
    PatchTag(huge, TIFFTAG_IMAGELENGTH, 30000);
    const CTextException tooBig = DecodeFailure(huge, 32);
    EXPECT_EQ(tooBig.GetCode(), ERR_NO_MEMORY);
    EXPECT_STREQ(tooBig.GetMessage(), "Decoder error: Out of memory allocating TIFF buffer.\n");

    Bytes wide = WriteTiff(GreyPicture(2, 1, 8, {1, 2}));
    PatchTag(wide, TIFFTAG_IMAGEWIDTH, 100000);
    for (int depth : {0, 32}) {
        const CTextException error = DecodeFailure(wide, depth);
        EXPECT_EQ(error.GetCode(), ERR_UNSUPPORTED_DATA) << depth;
        EXPECT_STREQ(error.GetMessage(), "Decoder error: TIFF image size 100000 x 1 is not supported.\n");
    }
}

// An EPS file with a TIFF preview: a 30-byte header, the PostScript, then
// the preview, whose offsets count from its own first byte.
Bytes EpsWithPreview(const Bytes& tiff) {
    const std::string postscript = "%!PS-Adobe-3.0 EPSF-3.0\n%%EOF\n";
    testsupport::ByteWriter eps;
    eps.le32(0xC6D3D0C5).le32(30).le32(static_cast<std::uint32_t>(postscript.size())).le32(0).le32(0);
    eps.le32(static_cast<std::uint32_t>(30 + postscript.size()))
        .le32(static_cast<std::uint32_t>(tiff.size()));
    eps.le16(0xFFFF).text(postscript).bytes(tiff);
    return eps.data();
}

TEST(TiffDecoder, StreamStartsAtTheSourcesReadPosition) {
    // The any-format decoder hands over an EPS file positioned at its preview.
    const Bytes tiff = WriteTiff(RgbPicture(6, 5));
    const Bytes eps = EpsWithPreview(tiff);
    CMemorySource source;
    source.Open(eps.data(), static_cast<std::int64_t>(eps.size()));
    source.ReadBytes(ReadLE32(eps.data() + 20));
    CDIBBitmap bitmap;
    CTIFFDecoder decoder;
    decoder.DecodeSource(source, bitmap, 32);
    ExpectRgbPixels(bitmap, 6, 5);
}

TEST(TiffDecoder, EpsPreviewDecodesThroughFormatDetection) {
    const Bytes eps = EpsWithPreview(WriteTiff(RgbPicture(6, 5)));
    CDIBBitmap bitmap;
    CAnyFormatDecoder decoder;
    decoder.DecodeMemory(eps.data(), static_cast<std::int64_t>(eps.size()), bitmap, 32);
    ExpectRgbPixels(bitmap, 6, 5);
}

TEST(TiffDecoder, DecodesFromAFile) {
    testsupport::TemporaryFolder folder;
    testsupport::WriteFileBytes(folder / "picture.tif", WriteTiff(RgbPicture(4, 4)));
    CDIBBitmap bitmap;
    CTIFFDecoder decoder;
    decoder.DecodeFile((folder / "picture.tif").string(), bitmap, 32, nullptr);
    ExpectRgbPixels(bitmap, 4, 4);
}

// ---------------------------------------------------------------------------
// The public libtiff test pictures.

// Reads an 8-bit binary PNM reference (P4, P5 or P6) as 0xAARRGGBB pixels.
std::vector<std::uint32_t> ReadNetpbm(const std::filesystem::path& path, int& width, int& height) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    in >> magic >> width >> height;
    int maximum = 1;
    if (magic != "P4") in >> maximum;
    in.get();
    auto sample = [&]() { return static_cast<std::uint32_t>(in.get()); };
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y) {
        std::uint32_t bits = 0;
        for (int x = 0; x < width; ++x) {
            if (magic == "P4") {
                if (x % 8 == 0) bits = sample();
                pixels.push_back((bits >> (7 - x % 8)) & 1 ? 0xFF000000 : 0xFFFFFFFF);
            } else if (magic == "P5") {
                const std::uint32_t v = sample();
                pixels.push_back(Argb(255, v, v, v));
            } else {
                const std::uint32_t r = sample();
                const std::uint32_t g = sample();
                const std::uint32_t b = sample();
                pixels.push_back(Argb(255, r, g, b));
            }
        }
    }
    return pixels;
}

TEST(TiffDecoderCorpus, MatchesTheReferencePixels) {
    const auto folder = testsupport::CorpusFolder("tiff/libtiff");
    if (folder.empty()) GTEST_SKIP() << "no corpus";
    const std::pair<const char*, const char*> pairs[] = {{"rgb-3c-8b.tiff", "rgb-3c-8b.ppm"},
                                                         {"minisblack-1c-8b.tiff", "minisblack-1c-8b.pgm"},
                                                         {"miniswhite-1c-1b.tiff", "miniswhite-1c-1b.pbm"}};
    for (const auto& [name, reference] : pairs) {
        SCOPED_TRACE(name);
        int width = 0;
        int height = 0;
        const std::vector<std::uint32_t> expected = ReadNetpbm(folder / reference, width, height);
        CDIBBitmap bitmap;
        CTIFFDecoder decoder;
        decoder.DecodeFile((folder / name).string(), bitmap, 32, nullptr);
        ASSERT_EQ(bitmap.GetWidth(), width);
        ASSERT_EQ(bitmap.GetHeight(), height);
        int differences = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) differences += Pixel(bitmap, x, y) != expected[y * width + x];
        EXPECT_EQ(differences, 0);
    }
}

TEST(TiffDecoderCorpus, ValidFilesDecodeAndBrokenOnesFailCleanly) {
    const auto folder = testsupport::CorpusFolder("tiff/libtiff");
    if (folder.empty()) GTEST_SKIP() << "no corpus";
    // Regression files of libtiff: looping directories, bad fax data, samples
    // the RGBA interface refuses. They may decode or fail, but only cleanly.
    // The fax file without EOL codes has lines libtiff only warns about; read
    // line by line at depth 0 its first line fails, which ends the decode.
    const std::set<std::string> broken = {"test_ifd_loop_to_self.tif",
                                          "test_ifd_loop_to_first.tif",
                                          "test_ifd_loop_subifd.tif",
                                          "test_two_ifds.tif",
                                          "testfax3_bug_513.tiff",
                                          "deflate-last-strip-extra-data.tiff",
                                          "test_float64_predictor2_le_lzw.tif",
                                          "test_float64_predictor2_be_lzw.tif"};
    int decoded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::string extension = entry.path().extension().string();
        if (extension != ".tif" && extension != ".tiff") continue;
        for (int depth : {0, 32}) {
            SCOPED_TRACE(name + " at depth " + std::to_string(depth));
            CDIBBitmap bitmap;
            CTIFFDecoder decoder;
            try {
                decoder.DecodeFile(entry.path().string(), bitmap, depth, nullptr);
                EXPECT_GT(bitmap.GetWidth(), 0);
                ++decoded;
            } catch (const CTextException& error) {
                const bool lowColorFax = depth == 0 && name == "testfax3_bug54_1dnoEOL.tif";
                EXPECT_TRUE(broken.count(name) || lowColorFax) << error.GetMessage();
                EXPECT_EQ(std::string(error.GetMessage()).rfind("Decoder error: ", 0), 0u)
                    << error.GetMessage();
            }
        }
    }
    EXPECT_GT(decoded, 40);
}

}  // namespace
