// A conversion that holds the picture as a window of rows must write the
// database of one that holds it whole, to the byte, and must really have held
// a window for the pictures that can stream.
#include "engine/output_file.h"
#include "engine/palm_database.h"
#include "engine/source_loader.h"
#include "imagelib/image_bitmap.h"
#include "support/image_writers.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <string>
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

class NullNotifier : public UserNotifier {
public:
    void showMessage(const std::string& text, MessageIcon) override { ADD_FAILURE() << text; }
};

// Writes down how the decoded picture was held.
class WindowRecordingLoader : public CachingSourceLoader {
public:
    using CachingSourceLoader::CachingSourceLoader;
    int windowRows = -1;

protected:
    void decodeSource(const std::string& inputPath, CDIBBitmap& picture,
                      CDecodedRowListener& rowListener) override {
        CachingSourceLoader::decodeSource(inputPath, picture, rowListener);
        windowRows = picture.GetWindowRows();
    }
};

std::vector<std::uint8_t> writeDatabase(const std::string& path, const ConversionSettings& settings,
                                        BitmapLoader& loader) {
    {
        OutputFile file;
        EXPECT_TRUE(file.open(path));
        PalmDatabase::writeHeader(file, "Streamed", settings.destination, kFixedDate);
        EXPECT_TRUE(PalmDatabase::writeImages(file, settings, loader));
        file.close();
    }
    return testsupport::ReadFileBytes(path);
}

std::vector<std::uint8_t> photoRgb() {
    return testsupport::MakePhotoLikeRgb(kWidth, kHeight, 3);
}

std::vector<std::uint8_t> makeJpeg(int components, bool progressive) {
    testsupport::JpegPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.components = components;
    picture.samples = photoRgb();
    if (components == 1)
        for (std::size_t i = 0; i < picture.samples.size() / 3; ++i)
            picture.samples[i] = picture.samples[3 * i + 1];
    picture.samples.resize(std::size_t{kWidth} * kHeight * static_cast<std::size_t>(components));
    picture.progressive = progressive;
    return testsupport::EncodeJpeg(picture);
}

// A baseline JPEG whose EXIF block says it is to be turned a quarter.
std::vector<std::uint8_t> makeTurnedJpeg() {
    ByteWriter exif;
    exif.text("Exif").fill(2, 0).text("II").le16(42).le32(8).le16(1);
    exif.le16(0x0112).le16(3).le32(1).le16(6).le16(0).le32(0);
    const std::vector<std::uint8_t> plain = makeJpeg(3, false);
    ByteWriter file;
    file.be16(0xFFD8).be16(0xFFE1).be16(static_cast<std::uint32_t>(exif.size() + 2)).bytes(exif.data());
    file.data().insert(file.data().end(), plain.begin() + 2, plain.end());
    return file.data();
}

std::vector<std::uint8_t> makePng(bool alpha, bool interlaced) {
    testsupport::PngPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.colourType = alpha ? 6 : 2;
    picture.interlaced = interlaced;
    const std::vector<std::uint8_t> rgb = photoRgb();
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        picture.samples.push_back(rgb[i]);
        if (alpha && i % 3 == 2) picture.samples.push_back(static_cast<std::uint16_t>((i / 3 * 7) & 0xFF));
    }
    return testsupport::EncodePng(picture);
}

std::vector<std::uint8_t> makeTiff(std::uint16_t photometric, std::uint16_t compression, bool planar,
                                   std::uint32_t rowsPerStrip) {
    testsupport::TiffPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.samplesPerPixel = 3;
    picture.photometric = photometric;
    picture.compression = compression;
    picture.planarSeparate = planar;
    picture.rowsPerStrip = rowsPerStrip;
    picture.pixels = photoRgb();
    return testsupport::WriteTiff(picture);
}

// Uncompressed YCbCr with the chroma halved both ways, as stored: each 2x2
// block's four luma samples, then its Cb and Cr.
std::vector<std::uint8_t> makeSubsampledYCbCrTiff(const std::string& path) {
    constexpr std::uint32_t kRowsPerStrip = 16;
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) return {};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip);
    const std::vector<std::uint8_t> rgb = photoRgb();
    // Blocks over the right and bottom edges repeat the last column and row.
    const auto sample = [&](int x, int y, int channel) {
        return rgb[3 * (std::size_t{kWidth} * std::min(y, kHeight - 1) + std::min(x, kWidth - 1)) + channel];
    };
    for (int top = 0; top < kHeight; top += kRowsPerStrip) {
        std::vector<std::uint8_t> strip;
        for (int y = top; y < std::min(top + static_cast<int>(kRowsPerStrip), kHeight); y += 2) {
            for (int x = 0; x < kWidth; x += 2) {
                for (int i = 0; i < 4; ++i) strip.push_back(sample(x + i % 2, y + i / 2, 1));
                strip.push_back(sample(x, y, 2));
                strip.push_back(sample(x, y, 0));
            }
        }
        TIFFWriteEncodedStrip(tiff, static_cast<std::uint32_t>(top) / kRowsPerStrip, strip.data(),
                              static_cast<tmsize_t>(strip.size()));
    }
    TIFFClose(tiff);
    return testsupport::ReadFileBytes(path);
}

std::vector<std::uint8_t> makeBmp24() {
    const std::vector<std::uint8_t> rgb = photoRgb();
    return testsupport::MakeBmp24(kWidth, kHeight, [&](int x, int y) {
        const std::uint8_t* p = rgb.data() + 3 * (std::size_t{kWidth} * y + x);
        return testsupport::Bgr{p[2], p[1], p[0]};
    });
}

// 32 bits a pixel, the top row first (a negative height).
std::vector<std::uint8_t> makeBmp32TopDown() {
    const std::uint32_t pixelBytes = 4u * kWidth * kHeight;
    ByteWriter file;
    file.text("BM").le32(54 + pixelBytes).le32(0).le32(54);
    file.le32(40).le32(kWidth).le32(static_cast<std::uint32_t>(-kHeight)).le16(1).le16(32).le32(0);
    file.le32(pixelBytes).le32(2835).le32(2835).le32(0).le32(0);
    const std::vector<std::uint8_t> rgb = photoRgb();
    for (std::size_t i = 0; i < rgb.size(); i += 3) file.u8(rgb[i + 2]).u8(rgb[i + 1]).u8(rgb[i]).u8(0);
    return file.data();
}

struct Input {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool streams;
    PictureFit fit = PictureFit::Stretch;
};

}  // namespace

TEST(StreamedConversion, WritesTheWholePictureDatabaseForEverySettingAndStreamsWhereItCan) {
    TemporaryFolder folder;
    const Input inputs[] = {
        {"baseline.jpg", makeJpeg(3, false), true},
        {"grey.jpg", makeJpeg(1, false), true},
        {"rgb.png", makePng(false, false), true},
        {"rgba.png", makePng(true, false), true},
        {"strips.tif", makeTiff(PHOTOMETRIC_RGB, COMPRESSION_NONE, false, 16), true},
        {"ycbcr-jpeg.tif", makeTiff(PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, false, 16), true},
        {"ycbcr.tif", makeSubsampledYCbCrTiff((folder / "made.tif").string()), true},
        {"jpeg.tif", makeTiff(PHOTOMETRIC_RGB, COMPRESSION_JPEG, false, 16), true},
        {"planar.tif", makeTiff(PHOTOMETRIC_RGB, COMPRESSION_NONE, true, 16), true},
        // libtiff reads a large uncompressed strip in pieces, as if it were several.
        {"chopped.tif", makeTiff(PHOTOMETRIC_RGB, COMPRESSION_NONE, false, kHeight), true},
        {"bottom-up.bmp", makeBmp24(), true},
        {"top-down.bmp", makeBmp32TopDown(), true},
        {"progressive.jpg", makeJpeg(3, true), false},
        {"interlaced.png", makePng(false, true), false},
        {"one-strip.tif", makeTiff(PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, false, kHeight), false},
        {"turned.jpg", makeTurnedJpeg(), false},
        {"cropped.jpg", makeJpeg(3, false), false, PictureFit::Crop},
    };
    // Every input meets every destination both dithered and not; the twelve
    // depth and compression pairs go round, so that across the inputs each
    // of them meets every destination and dithering, at a twelfth of the
    // writes of the full product.
    constexpr int kDepths[] = {1, 2, 4, 8};
    constexpr int kCompressions[] = {0, 1, 99};
    NullNotifier notifier;
    int inputIndex = 0;
    for (const Input& input : inputs) {
        const std::string path = (folder / input.name).string();
        testsupport::WriteFileBytes(path, input.bytes);
        for (int choice = 0; choice < 4; ++choice) {
            for (int dither : {0, 4}) {
                const int pair = (inputIndex + 3 * (2 * choice + dither / 4)) % 12;
                ConversionSettings settings{.destination = static_cast<DestinationOs>(choice)};
                settings.depth = static_cast<ColourDepth>(kDepths[pair / 3]);
                settings.compression = static_cast<CompressionMode>(kCompressions[pair % 3]);
                settings.fit = input.fit;
                SCOPED_TRACE(testing::Message()
                             << input.name << " choice " << choice << " dither " << dither << " depth "
                             << settings.depth << " compression " << settings.compression);
                const auto convert = [&](PictureHolding holding, const char* name) {
                    WindowRecordingLoader loader(path, dither, notifier, plannedPictureSizes(settings),
                                                 settings.pictureLayout());
                    loader.setPictureHolding(holding);
                    const std::vector<std::uint8_t> bytes =
                        writeDatabase((folder / name).string(), settings, loader);
                    EXPECT_EQ(loader.decodeCount(), 1);
                    return std::make_pair(bytes, loader.windowRows);
                };
                const auto [whole, wholeWindow] = convert(PictureHolding::kWholePicture, "whole.pdb");
                const auto [streamed, streamedWindow] =
                    convert(PictureHolding::kStreamWherePossible, "streamed.pdb");
                ASSERT_TRUE(streamed == whole) << "the databases differ";
                EXPECT_EQ(wholeWindow, 0);
                if (input.streams) {
                    EXPECT_GT(streamedWindow, 0);
                    EXPECT_LT(streamedWindow, kHeight);
                } else {
                    EXPECT_EQ(streamedWindow, 0);
                }
            }
        }
        ++inputIndex;
    }
}
