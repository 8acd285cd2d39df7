// What the decoders make of the colour profiles files carry: a real one
// converts the pixels to sRGB, one that describes sRGB (or none) keeps the
// numbers to the byte, and a broken one is ignored with a note.
#include "imagelib/color/color_conversion.h"
#include "imagelib/color/color_profile_cost.h"
#include "imagelib/color/linear_light.h"
#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/resize_filter.h"
#include "support/color_profiles.h"
#include "support/image_writers.h"
#include "support/modern_writers.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace testsupport;

// The HEVC encoder that makes the HEIC pictures keeps a few of its tables
// until the process ends; the decoder side is checked as usual.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}

namespace {

constexpr int kSide = 16;

// Patches of sRGB colours, saturated and not, that every space here holds.
std::vector<std::uint8_t> Patches() {
    const std::uint8_t colors[][3] = {{200, 60, 40},   {40, 160, 70}, {50, 70, 190},   {128, 128, 128},
                                      {230, 210, 120}, {20, 20, 24},  {250, 250, 250}, {120, 40, 150}};
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const auto* color = colors[(y / 4 * 4 + x / 4) % 8];
            rgb.insert(rgb.end(), color, color + 3);
        }
    return rgb;
}

// A version 5 BMP of the picture that embeds `profile` after its pixels.
std::vector<std::uint8_t> BmpV5(const std::vector<std::uint8_t>& rgb,
                                const std::vector<std::uint8_t>& profile) {
    const auto v3 = MakeBmp24(kSide, kSide, [&](int x, int y) {
        const std::uint8_t* pixel = &rgb[(y * kSide + x) * 3];
        return Bgr{pixel[2], pixel[1], pixel[0]};
    });
    const std::vector<std::uint8_t> pixels(v3.begin() + 54, v3.end());
    ByteWriter bmp;
    bmp.text("BM")
        .le32(static_cast<std::uint32_t>(14 + 124 + pixels.size() + profile.size()))
        .le32(0)
        .le32(14 + 124);
    ByteWriter info;
    for (std::size_t i = 18; i < 54; ++i) info.u8(v3[i]);
    // Masks, 'MBED' (or 'sRGB' without a profile), endpoints and gammas, intent.
    info.fill(16, 0).le32(profile.empty() ? 0x73524742 : 0x4D424544).fill(48, 0).le32(4);
    info.le32(static_cast<std::uint32_t>(124 + pixels.size()))
        .le32(static_cast<std::uint32_t>(profile.size()))
        .le32(0);
    bmp.le32(124);
    for (const std::uint8_t byte : info.data()) bmp.u8(byte);
    for (const std::uint8_t byte : pixels) bmp.u8(byte);
    for (const std::uint8_t byte : profile) bmp.u8(byte);
    return bmp.data();
}

// The formats that keep every sample, so a conversion can be checked to
// the level. An empty profile makes a file without one.
const struct {
    const char* name;
    const char* harness;  // the fuzz harness the file seeds
    std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&,
                                            const std::vector<std::uint8_t>&)>
        encode;
} kLosslessFormats[] = {
    {"PNG", "png",
     [](const auto& rgb, const auto& profile) {
         PngPicture picture;
         picture.width = picture.height = kSide;
         picture.colorType = 2;
         picture.samples.assign(rgb.begin(), rgb.end());
         return profile.empty() ? EncodePng(picture) : WithPngProfile(EncodePng(picture), profile);
     }},
    {"TIFF", "tiff",
     [](const auto& rgb, const auto& profile) {
         TiffPicture picture;
         picture.width = picture.height = kSide;
         picture.samplesPerPixel = 3;
         picture.photometric = 2;
         picture.rowsPerStrip = 4;
         picture.pixels = rgb;
         return WriteTiff(picture, profile);
     }},
    {"WebP", "webp",
     [](const auto& rgb, const auto& profile) {
         const auto webp = EncodeWebP(
             kSide, kSide,
             [&](int x, int y) {
                 const std::uint8_t* pixel = &rgb[(y * kSide + x) * 3];
                 return Rgba{pixel[0], pixel[1], pixel[2], 255};
             },
             true);
         return profile.empty() ? webp : WithWebPProfile(webp, profile);
     }},
    {"BMP", "bmp", [](const auto& rgb, const auto& profile) { return BmpV5(rgb, profile); }},
};

struct Decoded {
    std::vector<PaletteEntry> pixels;
    std::string note;
};

std::vector<PaletteEntry> Pixels(const CImageBitmap& bitmap) {
    std::vector<PaletteEntry> pixels;
    if (bitmap.GetDepth() == 32) {
        for (int y = 0; y < bitmap.GetHeight(); ++y)
            for (int x = 0; x < bitmap.GetWidth(); ++x) {
                const std::uint8_t* p = bitmap.GetRows()[y] + 4 * x;
                pixels.push_back({p[0], p[1], p[2], p[3]});
            }
    } else {
        for (int y = 0; y < bitmap.GetHeight(); ++y)
            for (int x = 0; x < bitmap.GetWidth(); ++x)
                pixels.push_back(bitmap.GetPalette()[bitmap.GetRows()[y][x]]);
    }
    return pixels;
}

Decoded Decode(const std::vector<std::uint8_t>& file, bool colorManagement = true, int depth = 32) {
    CAnyFormatDecoder decoder;
    decoder.SetColorManagement(colorManagement);
    CDIBBitmap bitmap;
    decoder.DecodeMemory(file.data(), static_cast<std::int64_t>(file.size()), bitmap, depth);
    return {Pixels(bitmap), decoder.GetColorNote()};
}

int LargestDifference(const std::vector<PaletteEntry>& pixels, const std::vector<std::uint8_t>& rgb) {
    int largest = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i)
        largest =
            std::max({largest, std::abs(pixels[i].red - rgb[3 * i]),
                      std::abs(pixels[i].green - rgb[3 * i + 1]), std::abs(pixels[i].blue - rgb[3 * i + 2])});
    return largest;
}

TEST(ColorProfiles, AWideGamutPictureComesBackAsItsSrgbOriginalAndIsNamed) {
    const auto rgb = Patches();
    const auto profile = DisplayP3Profile();
    const auto p3 = ConvertFromSrgb(rgb, profile);
    for (const auto& format : kLosslessFormats) {
        const auto file = format.encode(p3, profile);
        KeepAsFuzzSeed(format.harness, "display_p3", file);
        const Decoded managed = Decode(file);
        EXPECT_LE(LargestDifference(managed.pixels, rgb), 2) << format.name;
        EXPECT_EQ(managed.note, "colour profile: Display P3 -> sRGB") << format.name;
        // Switched off, the numbers are read as sRGB, exactly as without a profile.
        const Decoded unmanaged = Decode(file, false);
        EXPECT_EQ(unmanaged.pixels, Decode(format.encode(p3, {})).pixels) << format.name;
        EXPECT_EQ(unmanaged.note, "") << format.name;
    }
    KeepAsFuzzSeed("color_profile", "display_p3.icc", profile);
    KeepAsFuzzSeed("heif", "display_p3.heic",
                   EncodeHeif(
                       kSide, kSide,
                       [](int x, int y) {
                           return Rgba{std::uint8_t(x * 16), std::uint8_t(y * 16), 90, 255};
                       },
                       HeifOptions{}, profile));
}

TEST(ColorProfiles, ProfilesOfSrgbOrNoneAtAllKeepTheNumbersToTheByte) {
    std::vector<std::vector<std::uint8_t>> profiles = {SrgbProfile()};
    if (const auto colord = ColordProfile("sRGB.icc"); !colord.empty()) profiles.push_back(colord);
    const auto rgb = MakePhotoLikeRgb(kSide, kSide);
    for (const auto& format : kLosslessFormats) {
        const Decoded plain = Decode(format.encode(rgb, {}));
        for (const auto& profile : profiles) {
            const Decoded tagged = Decode(format.encode(rgb, profile));
            EXPECT_EQ(tagged.pixels, plain.pixels) << format.name;
            EXPECT_EQ(tagged.note, "") << format.name;
        }
    }
    KeepAsFuzzSeed("color_profile", "srgb.icc", SrgbProfile());
}

TEST(ColorProfiles, AProfileThatCannotBeUsedIsIgnoredWithANote) {
    const auto rgb = MakePhotoLikeRgb(kSide, kSide);
    auto truncated = DisplayP3Profile();
    truncated.resize(truncated.size() / 2);
    const std::vector<std::uint8_t> garbage(600, 0xA5);
    // The header's size field says so too.
    const auto oversized = [](std::uint32_t bytes) {
        auto profile = DisplayP3Profile();
        profile.resize(bytes);
        for (int b = 0; b < 4; ++b)
            profile[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(bytes >> (24 - 8 * b));
        return profile;
    };
    const struct {
        const char* name;
        std::vector<std::uint8_t> profile;
        const char* note;
        bool notedByEveryFormat;
    } cases[] = {
        {"truncated", truncated, "colour profile ignored: it could not be read", false},
        {"garbage", garbage, "colour profile ignored: it could not be read", false},
        {"grey profile of a colour picture", GreyGamma22Profile(),
         "colour profile ignored: it does not describe the picture's colour model", false},
        {"over 4 MiB", oversized((4u << 20) + 1), "colour profile ignored: it is too large", true},
        // Beyond libpng's own limit.
        {"over 8 MB", oversized(8500000), "colour profile ignored: it is too large", true},
    };
    JpegPicture picture;
    picture.width = picture.height = kSide;
    picture.samples = rgb;
    const auto jpeg = EncodeJpeg(picture);
    const Decoded plain = Decode(jpeg);
    for (const auto& broken : cases) {
        const Decoded decoded = Decode(WithJpegProfile(jpeg, broken.profile));
        EXPECT_EQ(decoded.pixels, plain.pixels) << broken.name;
        EXPECT_EQ(decoded.note, broken.note) << broken.name;
        // The other formats keep the numbers, and say why only of a size:
        // libpng drops some broken profiles before we see them.
        for (const auto& format : kLosslessFormats) {
            const Decoded other = Decode(format.encode(rgb, broken.profile));
            EXPECT_EQ(other.pixels, Decode(format.encode(rgb, {})).pixels)
                << broken.name << ", " << format.name;
            EXPECT_TRUE(!broken.notedByEveryFormat || other.note == broken.note)
                << broken.name << ", " << format.name << ": " << other.note;
        }
    }
    KeepAsFuzzSeed("png", "profile_over_8mb.png", kLosslessFormats[0].encode(rgb, cases[4].profile));
    KeepAsFuzzSeed("jpeg", "truncated_profile.jpg", WithJpegProfile(jpeg, truncated));
    KeepAsFuzzSeed("jpeg", "display_p3.jpg", WithJpegProfile(jpeg, DisplayP3Profile()));
    KeepAsFuzzSeed("color_profile", "truncated.icc", truncated);
}

TEST(ColorProfiles, GreyPicturesConvertThroughGreyProfiles) {
    // Four blocks of grey. Gamma 2.2 is darker than sRGB near black: level 10
    // is sRGB 3.
    constexpr int kBlock = 8;
    const std::uint8_t levels[4] = {10, 128, 200, 255};
    const auto levelAt = [&](int x, int y) { return levels[y / kBlock * 2 + x / kBlock]; };
    const auto profile = GreyGamma22Profile();
    PngPicture picture;
    picture.width = picture.height = 2 * kBlock;
    picture.colorType = 0;
    for (int y = 0; y < 2 * kBlock; ++y)
        for (int x = 0; x < 2 * kBlock; ++x) picture.samples.push_back(levelAt(x, y));
    const auto png = WithPngProfile(EncodePng(picture), profile);
    const auto heif = [&](HeifCodec codec, bool monochrome) {
        HeifOptions options;
        options.codec = codec;
        options.monochrome = monochrome;
        return EncodeHeif(
            2 * kBlock, 2 * kBlock,
            [&](int x, int y) {
                const std::uint8_t level = levelAt(x, y);
                return Rgba{level, level, static_cast<std::uint8_t>(monochrome ? level : 255 - level), 255};
            },
            options, profile);
    };
    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
        int depth;
    } files[] = {
        {"PNG at 8 bits", png, 8},
        {"PNG at 32 bits", png, 32},
        {"monochrome HEIC", heif(HeifCodec::Hevc, true), 32},
        {"monochrome AVIF", heif(HeifCodec::Av1, true), 32},
    };
    for (const auto& file : files) {
        const Decoded decoded = Decode(file.file, true, file.depth);
        EXPECT_EQ(decoded.note, "colour profile: Grey 2.2 -> sRGB") << file.name;
        ASSERT_EQ(decoded.pixels.size(), static_cast<std::size_t>(4 * kBlock * kBlock)) << file.name;
        EXPECT_NEAR(decoded.pixels[kBlock / 2 * 2 * kBlock + kBlock / 2].red, 3, 1) << file.name;
        EXPECT_NEAR(decoded.pixels[kBlock / 2 * 2 * kBlock + kBlock * 3 / 2].red, 128, 2) << file.name;
        for (const PaletteEntry& pixel : decoded.pixels) {
            ASSERT_EQ(pixel.red, pixel.green) << file.name;
            ASSERT_EQ(pixel.red, pixel.blue) << file.name;
        }
    }
    // A colour picture is not described by a grey profile, whatever it says.
    const auto color = heif(HeifCodec::Hevc, false);
    const Decoded misfit = Decode(color);
    EXPECT_EQ(misfit.note, "colour profile ignored: it does not describe the picture's colour model");
    EXPECT_EQ(misfit.pixels, Decode(color, false).pixels);
    KeepAsFuzzSeed("png", "grey_gamma22.png", png);
    KeepAsFuzzSeed("heif", "grey_gamma22.heic", files[2].file);
    KeepAsFuzzSeed("color_profile", "grey_gamma22.icc", profile);
}

TEST(ColorProfiles, CmykPicturesConvertTheirInksThroughTheirProfile) {
    // Inks that differ from pixel to pixel, on a side that 16-pixel tiles
    // cut at the right edge. The profile says what the decoders assume
    // without one, so the colours come out alike either way: inks handed
    // over in the wrong order or the wrong way round would not.
    constexpr int kCmykSide = 40;
    std::vector<std::uint8_t> inks;
    for (int y = 0; y < kCmykSide; ++y)
        for (int x = 0; x < kCmykSide; ++x)
            inks.insert(inks.end(),
                        {static_cast<std::uint8_t>(6 * x), static_cast<std::uint8_t>(6 * y),
                         static_cast<std::uint8_t>(240 - 3 * (x + y)), static_cast<std::uint8_t>(x + y)});
    const auto profile = PlainInksProfile();
    const auto expected = ConvertToSrgb(inks, profile);
    JpegPicture jpeg;
    jpeg.width = jpeg.height = kCmykSide;
    jpeg.components = 4;
    jpeg.quality = 100;
    // Adobe's programs store inks inverted, as the JPEG decoder expects.
    for (const std::uint8_t ink : inks) jpeg.samples.push_back(static_cast<std::uint8_t>(255 - ink));
    const auto tiff = [&](std::uint32_t rowsPerStrip, std::uint32_t tileSide, bool planar) {
        TiffPicture picture;
        picture.width = picture.height = kCmykSide;
        picture.samplesPerPixel = 4;
        picture.photometric = 5;  // PHOTOMETRIC_SEPARATED, ink set CMYK
        picture.rowsPerStrip = rowsPerStrip;
        picture.tileWidth = picture.tileHeight = tileSide;
        picture.planarSeparate = planar;
        picture.pixels = inks;
        return
            [picture](const std::vector<std::uint8_t>& iccProfile) { return WriteTiff(picture, iccProfile); };
    };
    const struct {
        const char* name;
        std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> encode;
        int tolerance;  // the JPEG's inks are compressed
    } files[] = {
        {"JPEG", [&](const auto& iccProfile) { return WithJpegProfile(EncodeJpeg(jpeg), iccProfile); }, 5},
        {"TIFF in strips", tiff(8, 0, false), 2},
        {"TIFF in tiles", tiff(0, 16, false), 2},
        {"TIFF in tiled planes", tiff(0, 16, true), 2},
    };
    for (const auto& file : files) {
        const auto tagged = file.encode(profile);
        const Decoded plain = Decode(file.encode({}));
        const Decoded decoded = Decode(tagged);
        EXPECT_EQ(decoded.note, "colour profile: Plain inks -> sRGB") << file.name;
        EXPECT_LE(LargestDifference(decoded.pixels, expected), file.tolerance) << file.name;
        // The profile's table of 9 steps an ink follows the plain rule only so far.
        EXPECT_LE(LargestDifference(plain.pixels, expected), 6) << file.name;
        for (const PaletteEntry& pixel : decoded.pixels) ASSERT_EQ(pixel.alpha, 255) << file.name;
        // Switched off, or with a profile that does not fit, the decoder's
        // own conversion of the inks, to the byte.
        EXPECT_EQ(Decode(tagged, false).pixels, plain.pixels) << file.name;
        const Decoded misfit = Decode(file.encode(DisplayP3Profile()));
        EXPECT_EQ(misfit.pixels, plain.pixels) << file.name;
        EXPECT_EQ(misfit.note, "colour profile ignored: it does not describe the picture's colour model")
            << file.name;
    }
    KeepAsFuzzSeed("jpeg", "cmyk_profile.jpg", files[0].encode(profile));
    KeepAsFuzzSeed("tiff", "cmyk_profile.tif", files[1].encode(profile));
    KeepAsFuzzSeed("tiff", "cmyk_profile_planes.tif", files[3].encode(profile));
}

TEST(ColorProfiles, CalibratedSpacesInBmpHeadersAreUsedOnlyWhenTheyDescribeOne) {
    // Version 5 headers whose endpoints (2.30 fixed point XYZ) are those of
    // Adobe RGB (1998) under D50, with its gamma, and the same with
    // chromaticities stored where the endpoints belong, as some writers do.
    const auto adobeProfile = ColordProfile("AdobeRGB1998.icc");
    if (adobeProfile.empty()) GTEST_SKIP() << "colord-data's profiles are not installed";
    const double adobe[9] = {0.6097, 0.3111, 0.0195, 0.2053, 0.6257, 0.0609, 0.1492, 0.0632, 0.7446};
    const double chromaticities[9] = {0.64, 0.33, 0.03, 0.21, 0.71, 0.08, 0.15, 0.06, 0.79};
    const auto rgb = Patches();
    const auto adobeRgb = ConvertFromSrgb(rgb, adobeProfile);
    for (const auto* endpoints : {adobe, chromaticities}) {
        auto bmp = BmpV5(adobeRgb, {});
        const auto put = [&bmp](int field, std::uint32_t value) {
            for (int b = 0; b < 4; ++b) bmp[14 + field + b] = static_cast<std::uint8_t>(value >> (8 * b));
        };
        put(56, 0);  // LCS_CALIBRATED_RGB
        for (int i = 0; i < 9; ++i) put(60 + 4 * i, static_cast<std::uint32_t>(endpoints[i] * (1 << 30)));
        for (int i = 0; i < 3; ++i) put(96 + 4 * i, 563 * 256);  // gamma 563/256 in 16.16
        const Decoded decoded = Decode(bmp);
        if (endpoints == adobe) {
            EXPECT_EQ(decoded.note, "colour profile: calibrated RGB -> sRGB");
            EXPECT_LE(LargestDifference(decoded.pixels, rgb), 3);
        } else {
            EXPECT_EQ(decoded.note, "colour profile ignored: its endpoints add up to no white");
            EXPECT_EQ(decoded.pixels, Decode(BmpV5(adobeRgb, {})).pixels);
        }
    }
}

TEST(ColorProfiles, ScalingInLinearLightTakesItsLightFromTheConversionItself) {
    // Halved in linear light, each output pixel is the light of its 2x2
    // block: the average of lcms2's unrounded sRGB, encoded and rounded once.
    // Rounding to 8-bit code values first would miss by a tenth of a level
    // on average.
    std::uint32_t seed = 7;
    const auto next = [&seed] {
        return static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
    };
    constexpr int kWidth = 64;
    std::vector<std::uint8_t> rgb(kWidth * 2 * 3), grey(kWidth * 2), inks;
    for (std::uint8_t& sample : rgb) sample = next();
    for (std::uint8_t& sample : grey) sample = next();
    PngPicture color;
    color.width = kWidth;
    color.height = 2;
    color.colorType = 2;
    color.samples.assign(rgb.begin(), rgb.end());
    PngPicture mono = color;
    mono.colorType = 0;
    mono.samples.assign(grey.begin(), grey.end());
    // Inks in flat 8x8 blocks, which a JPEG keeps within a level.
    JpegPicture print;
    print.width = print.height = 16;
    print.components = 4;
    print.quality = 100;
    const std::uint8_t blocks[4][4] = {{0, 0, 0, 0}, {200, 30, 0, 10}, {20, 180, 220, 0}, {90, 60, 30, 120}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            for (int c = 0; c < 4; ++c) {
                inks.push_back(blocks[y / 8 * 2 + x / 8][c]);
                print.samples.push_back(static_cast<std::uint8_t>(255 - inks.back()));  // stored inverted
            }
    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
        std::vector<std::uint8_t> samples;
        std::vector<std::uint8_t> profile;
        int channels, width, height;
        double meanTolerance;
    } cases[] = {
        {"Display P3", WithPngProfile(EncodePng(color), DisplayP3Profile()), rgb, DisplayP3Profile(), 3,
         kWidth, 2, 0.05},
        {"grey", WithPngProfile(EncodePng(mono), GreyGamma22Profile()), grey, GreyGamma22Profile(), 1, kWidth,
         2, 0.05},
        {"plain inks", WithJpegProfile(EncodeJpeg(print), PlainInksProfile()), inks, PlainInksProfile(), 4,
         16, 16, 1.0},
    };
    // Colours beyond sRGB are cut to it pixel by pixel.
    const auto toLinear = [](double v) {
        v = std::clamp(v, 0.0, 1.0);
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const auto toCode = [](double v) {
        return std::lround(255 * (v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055));
    };
    for (const auto& c : cases) {
        CMemoryBitmap scaled;
        CTentResampler resampler({{c.width / 2, c.height / 2, &scaled}}, 2);
        resampler.SetLinearLight(true);
        CAnyFormatDecoder decoder;
        decoder.SetRowListener(&resampler);
        CDIBBitmap picture;
        decoder.DecodeMemory(c.file.data(), static_cast<std::int64_t>(c.file.size()), picture, 32);
        resampler.Finish(picture);
        const std::vector<double> srgb = ConvertToSrgbExactly(c.samples, c.profile);
        double total = 0;
        long largest = 0;
        for (int y = 0; y < c.height / 2; ++y)
            for (int x = 0; x < c.width / 2; ++x)
                for (int channel = 0; channel < 3; ++channel) {
                    double light = 0;
                    for (int i = 0; i < 4; ++i)
                        light += toLinear(srgb[static_cast<std::size_t>(
                                     ((2 * y + i / 2) * c.width + 2 * x + i % 2) * 3 + channel)]) /
                                 4;
                    const long miss = std::labs(scaled.GetRows()[y][4 * x + 2 - channel] - toCode(light));
                    total += static_cast<double>(miss);
                    largest = std::max(largest, miss);
                }
        EXPECT_LE(total / (3.0 * c.width * c.height / 4), c.meanTolerance) << c.name;
        EXPECT_LE(largest, c.channels == 4 ? 2 : 1) << c.name;
        // The picture itself comes out converted, as without a listener.
        EXPECT_EQ(Pixels(picture), Decode(c.file).pixels) << c.name;
    }
}

}  // namespace

TEST(ColorProfiles, MatrixProfilesConvertThroughTablesThatAgreeWithLcms) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> profile;
    } profiles[] = {
        {"Display P3", DisplayP3Profile()},
        {"Adobe RGB", ColordProfile("AdobeRGB1998.icc")},
        {"ProPhoto RGB", ColordProfile("ProPhotoRGB.icc")},
    };
    for (const auto& entry : profiles) {
        if (entry.profile.empty()) continue;
        const CColorConversion conversion =
            CColorConversion::FromIccProfile(entry.profile, ProfilePixels::kRgb);
        EXPECT_TRUE(conversion.Converts()) << entry.name;
        EXPECT_TRUE(conversion.UsesTables()) << entry.name;

        // Long runs take a quicker way than single pixels: both must agree,
        // alpha untouched, whatever the run's length.
        std::vector<std::uint8_t> run(4 * 1001);
        std::uint32_t seed = 12345;
        for (std::uint8_t& byte : run)
            byte = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
        const std::vector<std::uint8_t> original(run);
        std::vector<std::uint8_t> single(run);
        conversion.ConvertPixels(run.data(), run.size() / 4);
        for (std::size_t i = 0; i < single.size(); i += 4) {
            conversion.ConvertPixels(&single[i], 1);
            EXPECT_EQ(run[i + 3], original[i + 3]) << entry.name;
        }
        EXPECT_EQ(run, single) << entry.name;
    }
}

namespace {

// A seed of the colour profile harness that converts through an RGB profile
// as a picture's conversion does.
std::vector<std::uint8_t> AsPictureSeed(const std::vector<std::uint8_t>& profile) {
    std::vector<std::uint8_t> seed(profile.size() + 1, 4);
    std::copy(profile.begin(), profile.end(), seed.begin() + 1);
    return seed;
}

}  // namespace

TEST(ColorProfiles, ProfilesThatWouldCostMinutesAreRefusedBeforeLcmsSeesThem) {
    // Each recipe at 1x and 10x: what no camera or editor writes is refused
    // whatever its size, the rest costs its stages at every evaluation a
    // conversion makes (five grids of RGB, four of CMYK or grey), no more.
    constexpr std::uint64_t kRgbEvaluations = 33 * 33 * 33 * 5;
    constexpr std::uint64_t kCmykEvaluations = 17 * 17 * 17 * 17 * 4;
    constexpr std::uint64_t kSpentPerStage = 12 * kRgbEvaluations;  // a 3x3 matrix and offsets
    // A segmented curve costs two units a segment at every evaluation, and
    // at each of the 4096 points lcms2 tabulates it at when it reads it, for
    // every curve that points at it (here all, from both intents' tags).
    const auto curves = [](std::uint64_t segments, std::uint64_t curveCount, std::uint64_t evaluations,
                           std::uint64_t others) {
        return ((1 + 2 * segments) * curveCount + others) * evaluations +
               4096 * 2 * segments * curveCount * 2;
    };
    constexpr std::size_t kLargest = std::size_t{4} << 20;  // the largest profile a decoder keeps
    const struct {
        const char* name;
        std::vector<std::uint8_t> profile;
        int channels;
        const char* refusal;  // null: accepted, at `spent` units
        std::uint64_t spent;
    } cases[] = {
        {"a 15-input table", WideTableProfile(1, 15), 3,
         "its tables have more inputs than its colour space has channels", 0},
        {"ten 15-input tables", WideTableProfile(10, 15), 3, "its conversion has too many steps", 0},
        {"a 5-input table of a CMYK profile", WideTableProfile(1, 5, true), 4,
         "its tables have more inputs than its colour space has channels", 0},
        {"1 matrix", ManyMatricesProfile(1), 3, nullptr, kSpentPerStage},
        {"5 matrices", ManyMatricesProfile(5), 3, nullptr, 5 * kSpentPerStage},
        {"50 matrices", ManyMatricesProfile(50), 3, "its conversion has too many steps", 0},
        {"1000 matrices", ManyMatricesProfile(1000), 3, "its conversion has too many steps", 0},
        {"a table of three inputs", WideTableProfile(1, 3), 3, nullptr,
         (3 * 3 + 3 + (3 << 3)) * kRgbEvaluations},
        {"a matrix profile", DisplayP3Profile(), 3, nullptr, 0},
        {"a CMYK table", PlainInksProfile(), 4, nullptr, (4 + 9 + 3 + (3 << 4)) * kCmykEvaluations},
        {"curves of 8 segments", SegmentedCurvesProfile(3, 8, 1), 3, nullptr,
         curves(8, 3, kRgbEvaluations, 0)},
        {"curves of 80 segments", SegmentedCurvesProfile(3, 80, 1), 3, "its conversion would take too long",
         0},
        {"the largest profile, RGB curves of 480 segments", SegmentedCurvesProfile(3, 480, 2, 0, kLargest), 3,
         nullptr, curves(480, 6, kRgbEvaluations, 0)},
        {"the largest profile, RGB curves of 4800 segments", SegmentedCurvesProfile(3, 4800, 2, 0, kLargest),
         3, "its conversion would take too long", 0},
        {"the largest profile, CMYK curves of 192 segments", SegmentedCurvesProfile(4, 192, 2, 0, kLargest),
         4, nullptr, curves(192, 8, kCmykEvaluations, 4 * 3 + 3)},
        {"the largest profile, grey curves of 29000 segments",
         SegmentedCurvesProfile(1, 29000, 2, 0, kLargest), 1, nullptr, curves(29000, 2, 256 * 4, 1 * 3 + 3)},
        {"a sampled segment shared by 48 curves", SegmentedCurvesProfile(3, 2, 16, 20000, kLargest / 4), 3,
         nullptr, curves(2, 48, kRgbEvaluations, 0)},
        {"a sampled segment of 10 times the points shared by 48 curves",
         SegmentedCurvesProfile(3, 2, 16, 200000, kLargest / 4), 3, "its curves would take too much memory",
         0},
    };
    for (const auto& c : cases) {
        WorkBudget budget = WorkBudget::ForFile(c.profile.size(), 0, DecodeLimits());
        const auto refusal = CheckColorProfileCost(c.profile, c.channels, budget);
        EXPECT_EQ(refusal.value_or("accepted"), c.refusal != nullptr ? c.refusal : "accepted") << c.name;
        if (c.refusal == nullptr) {
            EXPECT_EQ(budget.Spent(), c.spent) << c.name;
        }
    }
    // Tighter limits refuse what the defaults let through, for its cost.
    DecodeLimits tight;
    tight.workUnitsFloor = 0;
    tight.workUnitsPerFileByte = 1;
    const auto matrices = ManyMatricesProfile(5);
    EXPECT_EQ(CColorConversion::FromIccProfile(matrices, ProfilePixels::kRgb, tight).Note(),
              "colour profile ignored: its conversion would take too long");
    // A printer's table of a few kilobytes is used, fine quality's second
    // transform and all.
    const auto smallTable = PlainInksProfile(5);
    ASSERT_LT(smallTable.size(), 6000u);
    EXPECT_TRUE(CColorConversion::FromIccProfile(smallTable, ProfilePixels::kCmyk).Converts());
    // Decoders say why, and keep the file's numbers.
    const auto rgb = MakePhotoLikeRgb(kSide, kSide);
    const auto plain = Decode(kLosslessFormats[0].encode(rgb, {}));
    const auto refused = Decode(kLosslessFormats[0].encode(rgb, cases[0].profile));
    EXPECT_EQ(refused.pixels, plain.pixels);
    EXPECT_EQ(refused.note, std::string("colour profile ignored: ") + cases[0].refusal);
    const auto wideTable = WideTableProfile(1, 8);
    KeepAsFuzzSeed("color_profile", "wide_table.icc", AsPictureSeed(wideTable));
    KeepAsFuzzSeed("color_profile", "many_matrices.icc", AsPictureSeed(ManyMatricesProfile(100)));
    KeepAsFuzzSeed("color_profile", "table_of_three_inputs.icc", AsPictureSeed(cases[7].profile));
    KeepAsFuzzSeed("color_profile", "segmented_curves.icc", AsPictureSeed(SegmentedCurvesProfile(3, 8, 2)));
    KeepAsFuzzSeed("color_profile", "shared_sampled_segment.icc",
                   AsPictureSeed(SegmentedCurvesProfile(3, 2, 16, 500)));
    KeepAsFuzzSeed("png", "wide_table_profile.png", kLosslessFormats[0].encode(rgb, wideTable));
}

TEST(ColorProfiles, MatrixProfilesConvertAsLcmsDoesInFloatingPoint) {
    // Colorants far beyond any real space wrap lcms2's 8-bit matrix path
    // around; a curve that is sRGB's only at the levels 0, 15, ..., 255 is not
    // sRGB. Each converts as lcms2 does in floating point, to code values
    // and to light alike.
    const struct {
        const char* name;
        std::vector<std::uint8_t> profile;
    } cases[] = {
        {"colorants x 8", ScaledColorantsProfile(8)},
        {"colorants x 20", ScaledColorantsProfile(20)},
        {"colorants x 1000", ScaledColorantsProfile(1000)},
        {"near sRGB", NearSrgbProfile()},
    };
    std::vector<std::uint8_t> rgb, pixels;
    for (int i = 0; i < 4096; ++i) {
        const std::uint8_t color[3] = {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i / 16),
                                       static_cast<std::uint8_t>(i % 16 * 3)};
        rgb.insert(rgb.end(), color, color + 3);
        pixels.insert(pixels.end(), {color[2], color[1], color[0], 255});
    }
    for (const auto& c : cases) {
        const CColorConversion conversion = CColorConversion::FromIccProfile(c.profile, ProfilePixels::kRgb);
        ASSERT_TRUE(conversion.Converts()) << c.name << ": " << conversion.Note();
        const std::vector<double> exact = ConvertToSrgbExactly(rgb, c.profile);
        std::vector<std::uint8_t> converted(pixels);
        conversion.ConvertPixels(converted.data(), converted.size() / 4);
        std::vector<std::uint16_t> light(pixels.size());
        conversion.ConvertToLinear(pixels.data(), pixels.size() / 4, light.data());
        int largest = 0;
        for (std::size_t i = 0; i < exact.size(); ++i) {
            const std::size_t at = i / 3 * 4 + 2 - i % 3;
            const double expected = std::clamp(exact[i], 0.0, 1.0) * 255;
            largest = std::max(largest, static_cast<int>(std::lround(std::abs(converted[at] - expected))));
            largest = std::max(largest, std::abs(SrgbFromLinear16(light[at]) - converted[at]));
        }
        EXPECT_LE(largest, 1) << c.name;
    }
    KeepAsFuzzSeed("color_profile", "scaled_colorants.icc", AsPictureSeed(cases[2].profile));
    KeepAsFuzzSeed("color_profile", "near_srgb.icc", AsPictureSeed(cases[3].profile));
}
