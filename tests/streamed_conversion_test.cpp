// A conversion that holds the picture as a window of rows must write the
// database of one that holds it whole, to the byte, and must really have held
// a window for the pictures that can stream.
#include "engine/conversion_preview.h"
#include "engine/output_file.h"
#include "engine/palm_database.h"
#include "engine/pixel_packer.h"
#include "engine/source_loader.h"
#include "support/color_profiles.h"
#include "support/image_writers.h"
#include "support/modern_writers.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

using testsupport::ByteWriter;
using testsupport::TemporaryFolder;

namespace {

// Small, yet higher than any window the resampler offers a picture of this
// size (one thread: the decoder's batch and 32 rows); odd both ways, so that
// the last batch, strip and chroma block are all partial.
constexpr int kWidth = 181;
constexpr int kHeight = 123;
constexpr std::uint32_t kFixedDate = 0xD0D0D0D0;

class RecordingNotifier : public UserNotifier {
public:
    void showMessage(const std::string& text, MessageIcon) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

// Test files of one size, all of the same photo-like content.
class PictureMaker {
public:
    PictureMaker(int width, int height)
        : m_width(width), m_height(height), m_rgb(testsupport::MakePhotoLikeRgb(width, height, 3)) {}

    std::vector<std::uint8_t> jpeg(int components, bool progressive) const {
        testsupport::JpegPicture picture;
        picture.width = m_width;
        picture.height = m_height;
        picture.components = components;
        picture.samples = m_rgb;
        if (components == 1)
            for (std::size_t i = 0; i < picture.samples.size() / 3; ++i)
                picture.samples[i] = picture.samples[3 * i + 1];
        picture.samples.resize(pixelCount() * static_cast<std::size_t>(components));
        picture.progressive = progressive;
        return testsupport::EncodeJpeg(picture);
    }

    // A baseline JPEG whose EXIF block says it is to be turned a quarter.
    std::vector<std::uint8_t> turnedJpeg() const {
        ByteWriter exif;
        exif.text("Exif").fill(2, 0).text("II").le16(42).le32(8).le16(1);
        exif.le16(0x0112).le16(3).le32(1).le16(6).le16(0).le32(0);
        const std::vector<std::uint8_t> plain = jpeg(3, false);
        ByteWriter file;
        file.be16(0xFFD8).be16(0xFFE1).be16(static_cast<std::uint32_t>(exif.size() + 2)).bytes(exif.data());
        file.data().insert(file.data().end(), plain.begin() + 2, plain.end());
        return file.data();
    }

    std::vector<std::uint8_t> png(bool alpha, bool interlaced) const {
        testsupport::PngPicture picture;
        picture.width = m_width;
        picture.height = m_height;
        picture.colorType = alpha ? 6 : 2;
        picture.interlaced = interlaced;
        for (std::size_t i = 0; i < m_rgb.size(); ++i) {
            picture.samples.push_back(m_rgb[i]);
            if (alpha && i % 3 == 2)
                picture.samples.push_back(static_cast<std::uint16_t>((i / 3 * 7) & 0xFF));
        }
        return testsupport::EncodePng(picture);
    }

    std::vector<std::uint8_t> tiff(std::uint16_t photometric, std::uint16_t compression, bool planar,
                                   std::uint32_t rowsPerStrip) const {
        testsupport::TiffPicture picture;
        picture.width = static_cast<std::uint32_t>(m_width);
        picture.height = static_cast<std::uint32_t>(m_height);
        picture.samplesPerPixel = 3;
        picture.photometric = photometric;
        picture.compression = compression;
        picture.planarSeparate = planar;
        picture.rowsPerStrip = rowsPerStrip;
        picture.pixels = m_rgb;
        return testsupport::WriteTiff(picture);
    }

    // Uncompressed YCbCr with the chroma halved both ways, as stored: each
    // 2x2 block's four luma samples, then its Cb and Cr. Made in a file, as
    // the suites' TIFF writer wants whole pixels.
    std::vector<std::uint8_t> subsampledYCbCrTiff(const std::string& path) const {
        constexpr int kRowsPerStrip = 16;
        TIFF* tiff = TIFFOpen(path.c_str(), "w");
        if (tiff == nullptr) return {};
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, m_width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, m_height);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip);
        // Blocks over the right and bottom edges repeat the last column and row.
        const auto sample = [&](int x, int y, int channel) {
            return pixel(std::min(x, m_width - 1), std::min(y, m_height - 1))[channel];
        };
        for (int top = 0; top < m_height; top += kRowsPerStrip) {
            std::vector<std::uint8_t> strip;
            for (int y = top; y < std::min(top + kRowsPerStrip, m_height); y += 2) {
                for (int x = 0; x < m_width; x += 2) {
                    for (int i = 0; i < 4; ++i) strip.push_back(sample(x + i % 2, y + i / 2, 1));
                    strip.push_back(sample(x, y, 2));
                    strip.push_back(sample(x, y, 0));
                }
            }
            TIFFWriteEncodedStrip(tiff, static_cast<std::uint32_t>(top / kRowsPerStrip), strip.data(),
                                  static_cast<tmsize_t>(strip.size()));
        }
        TIFFClose(tiff);
        return testsupport::ReadFileBytes(path);
    }

    std::vector<std::uint8_t> webp(bool lossless) const {
        return testsupport::EncodeWebP(
            m_width, m_height,
            [&](int x, int y) {
                const std::uint8_t* p = pixel(x, y);
                return testsupport::Rgba{p[0], p[1], p[2]};
            },
            lossless);
    }
    std::vector<std::uint8_t> bmp24() const {
        return testsupport::MakeBmp24(m_width, m_height, [&](int x, int y) {
            const std::uint8_t* p = pixel(x, y);
            return testsupport::Bgr{p[2], p[1], p[0]};
        });
    }

    // 32 bits a pixel, the top row first (a negative height).
    std::vector<std::uint8_t> bmp32TopDown() const {
        const auto pixelBytes = static_cast<std::uint32_t>(4 * pixelCount());
        ByteWriter file;
        file.text("BM").le32(54 + pixelBytes).le32(0).le32(54);
        file.le32(40).le32(static_cast<std::uint32_t>(m_width)).le32(static_cast<std::uint32_t>(-m_height));
        file.le16(1).le16(32).le32(0).le32(pixelBytes).le32(2835).le32(2835).le32(0).le32(0);
        for (std::size_t i = 0; i < m_rgb.size(); i += 3)
            file.u8(m_rgb[i + 2]).u8(m_rgb[i + 1]).u8(m_rgb[i]).u8(0);
        return file.data();
    }

    // A 32-bit Targa, uncompressed, rows top down or bottom up.
    std::vector<std::uint8_t> tga32(bool topDown) const {
        ByteWriter file;
        file.u8(0).u8(0).u8(2).fill(9, 0).le16(static_cast<std::uint32_t>(m_width));
        file.le16(static_cast<std::uint32_t>(m_height)).u8(32).u8(topDown ? 0x28 : 0x08);
        for (int row = 0; row < m_height; ++row)
            for (int x = 0; x < m_width; ++x) {
                const std::uint8_t* rgb = pixel(x, topDown ? row : m_height - 1 - row);
                file.u8(rgb[2]).u8(rgb[1]).u8(rgb[0]).u8(255);
            }
        return file.data();
    }

    // A GIF screen with a margin of background, its upper part an image of
    // one map (a green ramp), its lower part one of another (a red ramp), the
    // picture's green and red as the indices.
    std::vector<std::uint8_t> gifOfTwoMaps() const {
        testsupport::GifPicture picture;
        picture.width = m_width;
        picture.height = m_height;
        picture.background = 3;
        std::vector<testsupport::GifColor> greens, reds;
        for (int i = 0; i < 256; ++i) {
            const auto level = static_cast<std::uint8_t>(i);
            greens.push_back({0, level, 40});
            reds.push_back({level, 0, 90});
        }
        picture.globalMap = greens;
        const int split = m_height / 2;
        for (const auto& [top, height, map, channel] :
             {std::tuple{2, split - 2, greens, 1}, std::tuple{split, m_height - split - 3, reds, 0}}) {
            testsupport::GifImage image{5, top, m_width - 9, height, top > 2, map, {}, {}};
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x)
                    image.pixels.push_back(pixel(image.left + x, top + y)[channel]);
            picture.images.push_back(image);
        }
        return testsupport::WriteGif(picture);
    }

private:
    // Red, green and blue.
    const std::uint8_t* pixel(int x, int y) const {
        return m_rgb.data() + 3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
                                   static_cast<std::size_t>(x));
    }
    std::size_t pixelCount() const {
        return static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
    }

    int m_width;
    int m_height;
    std::vector<std::uint8_t> m_rgb;
};

struct Converted {
    bool complete = false;
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> messages;
    int windowRows = 0;
};

// Converts as a run does, with one decode, holding the picture as asked.
Converted convert(const std::string& input, const ConversionSettings& settings, int dither,
                  PictureHolding holding, const std::string& output, const DecodeLimits& limits = {}) {
    RecordingNotifier notifier;
    CachingSourceLoader loader(input, dither, notifier, plannedPictureSizes(settings),
                               settings.pictureLayout(), limits);
    loader.setPictureHolding(holding);
    loader.setQuality(settings.quality);
    Converted converted;
    {
        OutputFile file;
        EXPECT_TRUE(file.open(output));
        PalmDatabase::writeHeader(file, "Streamed", settings.destination, kFixedDate);
        converted.complete = PalmDatabase::writeImages(file, settings, loader);
        file.close();
    }
    converted.bytes = testsupport::ReadFileBytes(output);
    converted.messages = notifier.messages;
    converted.windowRows = loader.windowUse().rows;
    EXPECT_EQ(loader.decodeCount(), 1);
    return converted;
}

struct BothWays {
    Converted whole;
    Converted streamed;
};

// Writes `input` into the folder and converts it held whole and streamed;
// the outcome, database and messages must be the same either way.
BothWays convertBothWays(const TemporaryFolder& folder, const std::string& name,
                         const std::vector<std::uint8_t>& input, const ConversionSettings& settings,
                         int dither) {
    const std::string path = (folder / name).string();
    testsupport::WriteFileBytes(path, input);
    BothWays result{
        convert(path, settings, dither, PictureHolding::kWholePicture, (folder / "whole.pdb").string()),
        convert(path, settings, dither, PictureHolding::kStreamWherePossible,
                (folder / "streamed.pdb").string())};
    EXPECT_EQ(result.streamed.complete, result.whole.complete);
    EXPECT_EQ(result.streamed.messages, result.whole.messages);
    EXPECT_TRUE(result.streamed.bytes == result.whole.bytes) << "the databases differ";
    return result;
}

// The window's preview of `name` with `settings` shows the pixels of the
// database the last conversion wrote (streamed.pdb).
void expectPreviewShowsDatabase(const TemporaryFolder& folder, const std::string& name,
                                const ConversionSettings& settings) {
    const std::string path = (folder / name).string();
    std::string error;
    const ConversionPreview preview =
        previewConversion(decodePreviewSource(path, error), path, settings, "Streamed");
    const ConversionPreview written = previewDatabaseFile((folder / "streamed.pdb").string());
    ASSERT_EQ(preview.pictures.size(), written.pictures.size()) << preview.error << error;
    for (std::size_t i = 0; i < written.pictures.size(); ++i) {
        const CImageBitmap& shown = *preview.pictures[i].pixels;
        const CImageBitmap& stored = *written.pictures[i].pixels;
        ASSERT_EQ(shown.GetHeight(), stored.GetHeight());
        for (int y = 0; y < stored.GetHeight(); ++y)
            ASSERT_EQ(std::memcmp(shown.GetRows()[y], stored.GetRows()[y], 4 * stored.GetWidth()), 0)
                << "row " << y;
    }
}

struct Input {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool streams = true;
    PictureFit fit = PictureFit::Stretch;
    CropGravity gravity = CropGravity::Center;
    PixelRect cropBox{};
};

// A TIFF whose fifth strip is said to lie far past the end of the file.
std::vector<std::uint8_t> withLostStrip(std::vector<std::uint8_t> tiff) {
    const auto strips = testsupport::TiffStripLocations(tiff);
    ByteWriter offsets;
    offsets.le32(static_cast<std::uint32_t>(strips.at(3).first))
        .le32(static_cast<std::uint32_t>(strips.at(4).first));
    const auto at = std::search(tiff.begin(), tiff.end(), offsets.data().begin(), offsets.data().end());
    EXPECT_NE(at, tiff.end());
    if (at != tiff.end()) at[7] = 0x7F;
    return tiff;
}

}  // namespace

TEST(StreamedConversion, WritesTheWholePictureDatabaseForEverySettingAndStreamsWhereItCan) {
    TemporaryFolder folder;
    const PictureMaker make(kWidth, kHeight);
    const PictureMaker tall(kHeight, kWidth);
    const Input inputs[] = {
        {"baseline.jpg", make.jpeg(3, false)},
        {"grey.jpg", make.jpeg(1, false)},
        {"rgb.png", make.png(false, false)},
        {"rgba.png", make.png(true, false)},
        {"strips.tif", make.tiff(PHOTOMETRIC_RGB, COMPRESSION_NONE, false, 16)},
        {"ycbcr-jpeg.tif", make.tiff(PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, false, 16)},
        {"ycbcr.tif", make.subsampledYCbCrTiff((folder / "made.tif").string())},
        {"jpeg.tif", make.tiff(PHOTOMETRIC_RGB, COMPRESSION_JPEG, false, 16)},
        {"planar.tif", make.tiff(PHOTOMETRIC_RGB, COMPRESSION_NONE, true, 16)},
        // libtiff reads a large uncompressed strip in pieces, as if it were several.
        {"chopped.tif", make.tiff(PHOTOMETRIC_RGB, COMPRESSION_NONE, false, kHeight)},
        {"bottom-up.bmp", make.bmp24()},
        {"top-down.bmp", make.bmp32TopDown()},
        {"lossy.webp", make.webp(false)},
        {"lossless.webp", make.webp(true)},
        {"top-down.tga", make.tga32(true)},
        {"two-maps.gif", make.gifOfTwoMaps()},
        {"progressive.jpg", make.jpeg(3, true), false},
        {"bottom-up.tga", make.tga32(false), false},
        {"interlaced.png", make.png(false, true), false},
        {"one-strip.tif", make.tiff(PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, false, kHeight), false},
        {"turned.jpg", make.turnedJpeg(), false},
        // Cut at the sides, every row kept; a smart crop measures the rows as they pass.
        {"cropped.jpg", make.jpeg(3, false), true, PictureFit::Crop},
        {"smart.jpg", make.jpeg(3, false), true, PictureFit::Crop, CropGravity::Smart},
        // Cut by rows: those above and below the part are dropped as they pass.
        {"tall-cropped.jpg", tall.jpeg(3, false), true, PictureFit::Crop},
        {"tall-north.png", tall.png(false, false), true, PictureFit::Crop, CropGravity::North},
        {"tall-south.bmp", tall.bmp24(), true, PictureFit::Crop, CropGravity::South},
        {"boxed.tif", tall.tiff(PHOTOMETRIC_RGB, COMPRESSION_NONE, false, 16), true, PictureFit::Stretch,
         CropGravity::Center, PixelRect{7, 40, 100, 90}},
        // Converted to sRGB as the rows arrive.
        {"p3.jpg", testsupport::WithJpegProfile(make.jpeg(3, false), testsupport::DisplayP3Profile())},
        {"p3.png", testsupport::WithPngProfile(make.png(false, false), testsupport::DisplayP3Profile())},
        {"p3-turned.jpg", testsupport::WithJpegProfile(make.turnedJpeg(), testsupport::DisplayP3Profile()),
         false},
        {"p3-cropped.jpg", testsupport::WithJpegProfile(make.jpeg(3, false), testsupport::DisplayP3Profile()),
         true, PictureFit::Crop},
        {"p3-smart.jpg", testsupport::WithJpegProfile(make.jpeg(3, false), testsupport::DisplayP3Profile()),
         true, PictureFit::Crop, CropGravity::Smart},
        {"p3-tall-south.jpg",
         testsupport::WithJpegProfile(tall.jpeg(3, false), testsupport::DisplayP3Profile()), true,
         PictureFit::Crop, CropGravity::South},
        {"p3-boxed.png", testsupport::WithPngProfile(tall.png(false, false), testsupport::DisplayP3Profile()),
         true, PictureFit::Crop, CropGravity::Center, PixelRect{0, 30, 123, 120}},
        {"p3-turned-smart.jpg",
         testsupport::WithJpegProfile(make.turnedJpeg(), testsupport::DisplayP3Profile()), false,
         PictureFit::Crop, CropGravity::Smart},
    };
    // Every input meets every destination both dithered and not; the twelve
    // depth and compression pairs go round, so that across the inputs each
    // of them meets every destination and dithering, at a twelfth of the
    // writes of the full product.
    constexpr int kDepths[] = {1, 2, 4, 8};
    constexpr int kCompressions[] = {0, 1, 99};
    int inputIndex = 0;
    for (const Input& input : inputs) {
        for (int choice = 0; choice < 4; ++choice) {
            for (int dither : {0, kDitherFloydSteinberg}) {
                const int pair = (inputIndex + 3 * (2 * choice + (dither != 0 ? 1 : 0))) % 12;
                ConversionSettings settings{.destination = static_cast<DestinationOs>(choice)};
                settings.depth = static_cast<ColorDepth>(kDepths[pair / 3]);
                settings.compression = static_cast<CompressionMode>(kCompressions[pair % 3]);
                settings.fit = input.fit;
                settings.gravity = input.gravity;
                settings.cropBox = input.cropBox;
                // Colour-managed rows reach the fine quality's scaling as light.
                const bool tagged = std::string_view(input.name).starts_with("p3");
                if (tagged && choice % 2 == 1) settings.quality = PictureQuality::kFine;
                settings.reduction = dither != 0 ? ColorReduction::kDithering : ColorReduction::kRaw;
                SCOPED_TRACE(testing::Message()
                             << input.name << " choice " << choice << " dither " << dither << " depth "
                             << settings.depth << " compression " << settings.compression << " quality "
                             << static_cast<int>(settings.quality));
                const auto [whole, streamed] =
                    convertBothWays(folder, input.name, input.bytes, settings, dither);
                ASSERT_TRUE(whole.complete && whole.messages.empty());
                // The window's preview, from the picture it keeps, shows what was written.
                if (tagged) expectPreviewShowsDatabase(folder, input.name, settings);
                EXPECT_EQ(whole.windowRows, 0);
                if (input.streams) {
                    EXPECT_GT(streamed.windowRows, 0);
                    EXPECT_LT(streamed.windowRows, kHeight);
                } else {
                    EXPECT_EQ(streamed.windowRows, 0);
                }
            }
        }
        ++inputIndex;
    }
}

TEST(StreamedConversion, PicturesResampledOnHelperThreadsWriteTheWholePictureDatabase) {
    // Over a million pixels: the resampler has helper threads, which read
    // rows of the window while the decoder rewrites the rows behind them.
    constexpr int kLargeWidth = 1100;
    constexpr int kLargeHeight = 960;
    TemporaryFolder folder;
    const PictureMaker make(kLargeWidth, kLargeHeight);
    const Input inputs[] = {
        {"baseline.jpg", make.jpeg(3, false)},
        {"rgb.png", make.png(false, false)},
        {"ycbcr.tif", make.subsampledYCbCrTiff((folder / "made.tif").string())},
        {"bottom-up.bmp", make.bmp24()},
        {"lossy.webp", make.webp(false)},
        // Converted to sRGB by the helpers as they take the rows.
        {"p3.jpg", testsupport::WithJpegProfile(make.jpeg(3, false), testsupport::DisplayP3Profile())},
        {"p3.png", testsupport::WithPngProfile(make.png(false, false), testsupport::DisplayP3Profile())},
        {"turned.jpg", make.turnedJpeg(), false},
        {"padded.jpg", make.jpeg(3, false), true, PictureFit::Pad},
        // Rows above the part are dropped while the helpers resample the part.
        {"p3-tall.jpg",
         testsupport::WithJpegProfile(PictureMaker(kLargeHeight, kLargeWidth).jpeg(3, false),
                                      testsupport::DisplayP3Profile()),
         true, PictureFit::Crop},
    };
    for (PictureQuality quality : {PictureQuality::kClassic, PictureQuality::kFine}) {
        for (const Input& input : inputs) {
            SCOPED_TRACE(testing::Message() << input.name << " quality " << static_cast<int>(quality));
            const ConversionSettings settings{
                .destination = kPalmOs5HighRes, .fit = input.fit, .quality = quality};
            const auto [whole, streamed] =
                convertBothWays(folder, input.name, input.bytes, settings, kDitherFloydSteinberg);
            ASSERT_TRUE(whole.complete && whole.messages.empty());
            if (input.streams) {
                EXPECT_GT(streamed.windowRows, 0);
                EXPECT_LT(streamed.windowRows, kLargeHeight);
            } else {
                EXPECT_EQ(streamed.windowRows, 0);
            }
        }
    }
}

TEST(StreamedConversion, DamagedFilesEndAsTheyDoHeldWhole) {
    TemporaryFolder folder;
    const PictureMaker make(kWidth, kHeight);
    const std::vector<std::uint8_t> jpeg = make.jpeg(3, false);
    const std::vector<std::uint8_t> png = make.png(false, false);
    const std::vector<std::uint8_t> bmp = make.bmp24();
    const std::vector<std::uint8_t> webp = make.webp(false);
    const std::vector<std::uint8_t> tallJpeg = PictureMaker(kHeight, kWidth).jpeg(3, false);
    std::vector<std::uint8_t> scrambledBmp = make.bmp32TopDown();
    std::vector<std::uint8_t> scrambledJpeg = jpeg;
    std::vector<std::uint8_t> scrambledTiff = make.tiff(PHOTOMETRIC_RGB, COMPRESSION_JPEG, false, 16);
    for (auto* bytes : {&scrambledBmp, &scrambledJpeg, &scrambledTiff})
        for (std::size_t i = bytes->size() / 2; i < bytes->size() / 2 + 64; ++i) (*bytes)[i] ^= 0x5A;
    const Input inputs[] = {
        {"cut.jpg", {jpeg.begin(), jpeg.begin() + jpeg.size() * 3 / 5}},
        {"cut.png", {png.begin(), png.begin() + png.size() * 3 / 5}},
        {"cut.bmp", {bmp.begin(), bmp.begin() + bmp.size() * 3 / 5}},
        {"cut.webp", {webp.begin(), webp.begin() + webp.size() * 3 / 5}},
        {"scrambled.jpg", scrambledJpeg},
        {"scrambled.bmp", scrambledBmp},
        {"scrambled.tif", scrambledTiff},
        {"lost-strip.tif", withLostStrip(make.tiff(PHOTOMETRIC_RGB, COMPRESSION_NONE, false, 16))},
        {"lost-ycbcr-strip.tif", withLostStrip(make.subsampledYCbCrTiff((folder / "made.tif").string()))},
        {"cut-p3.jpg", testsupport::WithJpegProfile({jpeg.begin(), jpeg.begin() + jpeg.size() * 3 / 5},
                                                    testsupport::DisplayP3Profile())},
        // The data ends within the part kept.
        {"cut-tall.jpg",
         {tallJpeg.begin(), tallJpeg.begin() + tallJpeg.size() * 3 / 5},
         true,
         PictureFit::Crop,
         CropGravity::South},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.name);
        const ConversionSettings settings{
            .destination = kPalmOs5HighRes, .fit = input.fit, .gravity = input.gravity};
        convertBothWays(folder, input.name, input.bytes, settings, kDitherFloydSteinberg);
    }
}

TEST(StreamedConversion, OnlyPicturesHeldWholeAreHeldToTheByteLimit) {
    TemporaryFolder folder;
    const PictureMaker make(kWidth, kHeight);
    // Under the picture's 89052 bytes, over any window of its rows.
    DecodeLimits limits;
    limits.maxBitmapBytes = 40000;
    DecodeLimits withoutData = limits;
    withoutData.maxStreamedPixelsPerFileByte = 1;
    const struct {
        Input input;
        PictureHolding holding;
        DecodeLimits limits;
        bool converts;
    } cases[] = {
        {{"baseline.jpg", make.jpeg(3, false)}, PictureHolding::kStreamWherePossible, limits, true},
        {{"rgb.png", make.png(false, false)}, PictureHolding::kStreamWherePossible, limits, true},
        {{"tall-cropped.jpg", PictureMaker(kHeight, kWidth).jpeg(3, false), true, PictureFit::Crop},
         PictureHolding::kStreamWherePossible,
         limits,
         true},
        {{"strips.tif", make.tiff(PHOTOMETRIC_RGB, COMPRESSION_NONE, false, 16)},
         PictureHolding::kStreamWherePossible,
         limits,
         true},
        {{"held.jpg", make.jpeg(3, false)}, PictureHolding::kWholePicture, limits, false},
        {{"progressive.jpg", make.jpeg(3, true)}, PictureHolding::kStreamWherePossible, limits, false},
        {{"turned.jpg", make.turnedJpeg()}, PictureHolding::kStreamWherePossible, limits, false},
        {{"interlaced.png", make.png(false, true)}, PictureHolding::kStreamWherePossible, limits, false},
        // A picture over the limit asks for file data in proportion.
        {{"short.jpg", make.jpeg(3, false)}, PictureHolding::kStreamWherePossible, withoutData, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.name);
        const std::string path = (folder / c.input.name).string();
        testsupport::WriteFileBytes(path, c.input.bytes);
        const Converted converted =
            convert(path, ConversionSettings{.destination = kPalmOs5HighRes, .fit = c.input.fit},
                    kDitherFloydSteinberg, c.holding, (folder / "limited.pdb").string(), c.limits);
        EXPECT_EQ(converted.complete, c.converts);
        if (c.converts) {
            EXPECT_GT(converted.windowRows, 0);
            EXPECT_TRUE(converted.messages.empty());
        } else {
            ASSERT_EQ(converted.messages.size(), 1u);
            EXPECT_NE(converted.messages[0].find("over the limit of 10000 pixels"), std::string::npos)
                << converted.messages[0];
        }
    }
}

// The fine quality decodes a photo many times the size of the bitmaps at a
// reduced scale; the preview shows those pixels too, not a full decode's.
TEST(StreamedConversion, PreviewOfAReducedDecodeShowsTheDatabase) {
    TemporaryFolder folder;
    ConversionSettings settings{.destination = kPalmOs3Or4};
    settings.quality = PictureQuality::kFine;
    settings.reduction = ColorReduction::kDithering;
    const auto [whole, streamed] = convertBothWays(
        folder, "large.jpg", PictureMaker(2000, 1400).jpeg(3, false), settings, kDitherFloydSteinberg);
    ASSERT_TRUE(streamed.complete);
    expectPreviewShowsDatabase(folder, "large.jpg", settings);
}
