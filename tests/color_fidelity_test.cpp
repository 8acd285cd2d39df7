// A photo stored in a wide colour space must reach the handheld as close to
// its sRGB original as the sRGB file itself does, in every format that
// carries a profile. Closeness is judged as the eye would: both pictures
// blurred a little in linear light, then the mean CIELAB distance (dE76) to
// the original scaled in linear light.
#include "engine/conversion_preview.h"
#include "support/color_profiles.h"
#include "support/image_writers.h"
#include "support/modern_writers.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
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

constexpr int kPhotoWidth = 320;
constexpr int kPhotoHeight = 220;
constexpr int kWidth = 160;
constexpr int kHeight = 110;
constexpr double kBlurSigma = 1.0;

using Linear = std::vector<std::array<double, 3>>;

double ToLinear(double value) {
    value /= 255.0;
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

// The original scaled to the handheld's size in linear light: each output
// pixel is the mean of its 2 x 2 source pixels.
Linear ScaledOriginal(const std::vector<std::uint8_t>& rgb) {
    Linear out(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx)
                        sum += ToLinear(rgb[((2 * y + dy) * kPhotoWidth + 2 * x + dx) * 3 + c]);
                out[y * kWidth + x][c] = sum / 4;
            }
    return out;
}

Linear Blurred(const Linear& picture) {
    const int radius = static_cast<int>(3 * kBlurSigma + 0.5);
    std::vector<double> kernel;
    double total = 0;
    for (int i = -radius; i <= radius; ++i)
        total += kernel.emplace_back(std::exp(-0.5 * i * i / kBlurSigma / kBlurSigma));
    for (double& weight : kernel) weight /= total;
    Linear out = picture;
    for (int pass = 0; pass < 2; ++pass) {
        const Linear in = out;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < 3; ++c) {
                    double sum = 0;
                    for (int i = -radius; i <= radius; ++i) {
                        const int sx = pass == 0 ? std::clamp(x + i, 0, kWidth - 1) : x;
                        const int sy = pass == 1 ? std::clamp(y + i, 0, kHeight - 1) : y;
                        sum += kernel[i + radius] * in[sy * kWidth + sx][c];
                    }
                    out[y * kWidth + x][c] = sum;
                }
    }
    return out;
}

std::array<double, 3> Lab(const std::array<double, 3>& linear) {
    const double xyz[3] = {(0.4124 * linear[0] + 0.3576 * linear[1] + 0.1805 * linear[2]) / 0.95047,
                           0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2],
                           (0.0193 * linear[0] + 0.1192 * linear[1] + 0.9505 * linear[2]) / 1.08883};
    double f[3];
    for (int i = 0; i < 3; ++i)
        f[i] = xyz[i] > 216.0 / 24389 ? std::cbrt(xyz[i]) : (24389.0 / 27 * xyz[i] + 16) / 116;
    return {116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])};
}

double MeanDeltaE(const Linear& reference, const CImageBitmap& shown) {
    Linear candidate(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t* pixel = shown.GetRows()[y] + 4 * x;
            candidate[y * kWidth + x] = {ToLinear(pixel[2]), ToLinear(pixel[1]), ToLinear(pixel[0])};
        }
    const Linear a = Blurred(reference);
    const Linear b = Blurred(candidate);
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto labA = Lab(a[i]);
        const auto labB = Lab(b[i]);
        sum += std::sqrt(std::pow(labA[0] - labB[0], 2) + std::pow(labA[1] - labB[1], 2) +
                         std::pow(labA[2] - labB[2], 2));
    }
    return sum / static_cast<double>(a.size());
}

struct Format {
    const char* name;
    const char* extension;
    // The file of the picture's red, green, blue samples, carrying `profile`
    // unless it is empty.
    std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>& rgb,
                                            const std::vector<std::uint8_t>& profile)>
        encode;
};

RgbaAt PixelsOf(const std::vector<std::uint8_t>& rgb) {
    return [&rgb](int x, int y) {
        const std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(y) * kPhotoWidth + x) * 3];
        return Rgba{pixel[0], pixel[1], pixel[2], 255};
    };
}

const Format kFormats[] = {
    {"JPEG", "jpg",
     [](const auto& rgb, const auto& profile) {
         JpegPicture picture;
         picture.width = kPhotoWidth;
         picture.height = kPhotoHeight;
         picture.samples = rgb;
         const auto jpeg = EncodeJpeg(picture);
         return profile.empty() ? jpeg : WithJpegProfile(jpeg, profile);
     }},
    {"PNG", "png",
     [](const auto& rgb, const auto& profile) {
         PngPicture picture;
         picture.width = kPhotoWidth;
         picture.height = kPhotoHeight;
         picture.colorType = 2;  // RGB
         picture.samples.assign(rgb.begin(), rgb.end());
         const auto png = EncodePng(picture);
         return profile.empty() ? png : WithPngProfile(png, profile);
     }},
    {"TIFF", "tif",
     [](const auto& rgb, const auto& profile) {
         TiffPicture picture;
         picture.width = kPhotoWidth;
         picture.height = kPhotoHeight;
         picture.samplesPerPixel = 3;
         picture.photometric = 2;  // RGB
         picture.rowsPerStrip = 16;
         picture.pixels = rgb;
         return WriteTiff(picture, profile);
     }},
    {"WebP", "webp",
     [](const auto& rgb, const auto& profile) {
         const auto webp = EncodeWebP(kPhotoWidth, kPhotoHeight, PixelsOf(rgb), false);
         return profile.empty() ? webp : WithWebPProfile(webp, profile);
     }},
    {"HEIC", "heic",
     [](const auto& rgb, const auto& profile) {
         return EncodeHeif(kPhotoWidth, kPhotoHeight, PixelsOf(rgb), HeifOptions{}, profile);
     }},
};

class ColorFidelity : public ::testing::Test {
protected:
    // The mean dE76 of what the handheld shows of `file` against the original.
    double Score(const Format& format, const std::vector<std::uint8_t>& file, bool colorManage) {
        const auto path = folder / (std::string("photo.") + format.extension);
        WriteFileBytes(path, file);
        ConversionSettings settings;
        settings.destination = kPalmOs3Or4;
        settings.colorManage = colorManage;
        std::string error;
        const auto picture = decodePreviewSource(path.string(), error, colorManage);
        EXPECT_NE(picture.pixels, nullptr) << error;
        if (picture.pixels == nullptr) return 1e9;
        const ConversionPreview preview = previewConversion(picture, path.string(), settings, "Colours");
        EXPECT_EQ(preview.error, "");
        if (preview.pictures.empty()) return 1e9;
        return MeanDeltaE(reference, *preview.pictures.front().pixels);
    }

    TemporaryFolder folder;
    const std::vector<std::uint8_t> original = MakePhotoLikeRgb(kPhotoWidth, kPhotoHeight, 7);
    const Linear reference = ScaledOriginal(original);
};

TEST_F(ColorFidelity, WideGamutCopiesScoreWithinHalfAUnitOfTheSrgbOriginal) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> profile;
    } spaces[] = {
        {"Display P3", DisplayP3Profile()},
        {"Adobe RGB (1998)", ColordProfile("AdobeRGB1998.icc")},
        {"ProPhoto RGB", ColordProfile("ProPhotoRGB.icc")},
    };
    for (const auto& space : spaces)
        if (space.profile.empty()) GTEST_SKIP() << "colord-data's profiles are not installed";

    for (const Format& format : kFormats) {
        const double srgb = Score(format, format.encode(original, {}), true);
        for (const auto& space : spaces) {
            const auto file = format.encode(ConvertFromSrgb(original, space.profile), space.profile);
            const double managed = Score(format, file, true);
            std::printf("%-5s %-17s sRGB %.2f  converted %.2f\n", format.name, space.name, srgb, managed);
            EXPECT_LE(managed, srgb + 0.5) << format.name << ", " << space.name;
            // Read as sRGB numbers, a ProPhoto picture is far off: the
            // scores tell the two apart.
            if (std::string(space.name) == "ProPhoto RGB") {
                const double unmanaged = Score(format, file, false);
                std::printf("%-5s %-17s read as sRGB %.2f\n", format.name, space.name, unmanaged);
                EXPECT_GT(unmanaged, srgb + 3) << format.name;
            }
        }
    }
}

}  // namespace
