// A photo converts as its owner sees it: every orientation of one picture
// gives the bitmaps of the upright picture, and without auto-orientation the
// bytes are those of a plain decode and stretch.
#include "engine/picture_layout.h"
#include "engine/palm_bitmap.h"
#include "engine/source_loader.h"
#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/resize_filter.h"
#include "support/image_writers.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using testsupport::ByteWriter;
using testsupport::TemporaryFolder;
using testsupport::WriteFileBytes;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 48;
constexpr int kHeight = 32;

// Flat 8x8 blocks of distinct colours: JPEG keeps them exactly whichever way
// the blocks are turned, so the turned files decode to the same pixels.
Bytes UprightRgb() {
    Bytes rgb;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int block = (y / 8) * (kWidth / 8) + x / 8;
            rgb.insert(rgb.end(),
                       {static_cast<std::uint8_t>(block * 10), static_cast<std::uint8_t>(255 - block * 7),
                        static_cast<std::uint8_t>((block * 53) & 0xFF)});
        }
    return rgb;
}

struct StoredPicture {
    int width;
    int height;
    Bytes rgb;
};

// What a camera holding the picture turned stores, so that orientation tag
// `orientation` shows it upright: seen pixel (x, y) is stored pixel at(x, y).
StoredPicture StoredFor(int orientation) {
    const bool swaps = orientation >= 5;
    StoredPicture stored{swaps ? kHeight : kWidth, swaps ? kWidth : kHeight, Bytes(kWidth * kHeight * 3)};
    const int w = stored.width;
    const int h = stored.height;
    const Bytes upright = UprightRgb();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::pair<int, int> at[9] = {
                {},     {x, y},         {w - 1 - x, y},         {w - 1 - x, h - 1 - y}, {x, h - 1 - y},
                {y, x}, {y, h - 1 - x}, {w - 1 - y, h - 1 - x}, {w - 1 - y, x}};
            const auto [sx, sy] = at[orientation];
            std::copy_n(upright.begin() + 3 * (y * kWidth + x), 3, stored.rgb.begin() + 3 * (sy * w + sx));
        }
    return stored;
}

Bytes ExifBlock(int orientation) {
    return ByteWriter()
        .text("MM")
        .be16(42)
        .be32(8)
        .be16(1)
        .be16(0x0112)
        .be16(3)
        .be32(1)
        .be16(static_cast<std::uint32_t>(orientation))
        .be16(0)
        .be32(0)
        .data();
}

Bytes TaggedJpeg(int orientation) {
    const StoredPicture stored = StoredFor(orientation);
    testsupport::JpegPicture picture;
    picture.width = stored.width;
    picture.height = stored.height;
    picture.samples = stored.rgb;
    picture.quality = 100;
    picture.subsample = false;
    Bytes jpeg = testsupport::EncodeJpeg(picture);
    Bytes exif{'E', 'x', 'i', 'f', 0, 0};
    const Bytes block = ExifBlock(orientation);
    exif.insert(exif.end(), block.begin(), block.end());
    const Bytes app1 =
        ByteWriter().u8(0xFF).u8(0xE1).be16(static_cast<std::uint32_t>(exif.size() + 2)).bytes(exif).data();
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    return jpeg;
}

// The eXIf chunk goes in just before IEND, after the image data.
Bytes TaggedPng(int orientation) {
    const StoredPicture stored = StoredFor(orientation);
    testsupport::PngPicture picture;
    picture.width = stored.width;
    picture.height = stored.height;
    picture.colorType = PNG_COLOR_TYPE_RGB;
    picture.samples.assign(stored.rgb.begin(), stored.rgb.end());
    Bytes png = testsupport::EncodePng(picture);
    const Bytes block = ExifBlock(orientation);
    Bytes chunk =
        ByteWriter().be32(static_cast<std::uint32_t>(block.size())).text("eXIf").bytes(block).data();
    const auto crc =
        static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4)));
    chunk = ByteWriter().bytes(chunk).be32(crc).data();
    png.insert(png.end() - 12, chunk.begin(), chunk.end());
    return png;
}

Bytes TaggedTiff(int orientation) {
    const StoredPicture stored = StoredFor(orientation);
    testsupport::TiffPicture picture;
    picture.width = static_cast<std::uint32_t>(stored.width);
    picture.height = static_cast<std::uint32_t>(stored.height);
    picture.samplesPerPixel = 3;
    picture.photometric = 2;  // RGB
    picture.orientation = static_cast<std::uint16_t>(orientation);
    picture.pixels = stored.rgb;
    return testsupport::WriteTiff(picture);
}

// The low- and double-density bitmaps of one conversion, 8 bits, raw.
struct Converted {
    Bytes low;
    Bytes high;
    friend bool operator==(const Converted&, const Converted&) = default;
};

Converted ConvertOnce(const std::string& path, const PictureLayout& layout) {
    SilentNotifier notifier;
    CachingSourceLoader loader(path, 0, notifier, {{160, 110}, {320, 220}}, layout);
    PalmBitmapV2 low(8, 160, 110, true);
    PalmBitmapV3 high(8, 320, 220, PalmBitmapV3::kDoubleDensity);
    EXPECT_TRUE(loader.load(low));
    EXPECT_TRUE(loader.load(high));
    return {Bytes(low.pixels().begin(), low.pixels().end()),
            Bytes(high.pixels().begin(), high.pixels().end())};
}

Converted ConvertObjectByObject(const std::string& path, const PictureLayout& layout) {
    SilentNotifier notifier;
    PalmBitmapV2 low(8, 160, 110, true);
    PalmBitmapV3 high(8, 320, 220, PalmBitmapV3::kDoubleDensity);
    EXPECT_TRUE(low.loadFromFile(path, 0, notifier, layout));
    EXPECT_TRUE(high.loadFromFile(path, 0, notifier, layout));
    return {Bytes(low.pixels().begin(), low.pixels().end()),
            Bytes(high.pixels().begin(), high.pixels().end())};
}

// A plain decode and stretch, which knows nothing of orientation.
Bytes DecodeAndStretch(const std::string& path) {
    CAnyFormatDecoder decoder;
    CDIBBitmap picture;
    decoder.DecodeFile(path, picture, 32, nullptr);
    CTentResizeFilter(160, 110).ApplyInPlace(picture);
    PalmBitmapV2 low(8, 160, 110, true);
    EXPECT_TRUE(low.loadFromBitmap(picture, 0));
    return Bytes(low.pixels().begin(), low.pixels().end());
}

}  // namespace

TEST(PictureLayout, EveryOrientationOfAPictureConvertsToTheUprightPicture) {
    TemporaryFolder folder;
    using Writer = Bytes (*)(int);
    const std::pair<const char*, Writer> formats[] = {
        {"jpg", TaggedJpeg}, {"png", TaggedPng}, {"tif", TaggedTiff}};
    for (const auto& [extension, write] : formats) {
        const std::string uprightPath = (folder / (std::string("1.") + extension)).string();
        WriteFileBytes(uprightPath, write(1));
        const Converted upright = ConvertOnce(uprightPath, {});
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(testing::Message() << extension << " orientation " << orientation);
            const std::string path = (folder / (std::to_string(orientation) + "." + extension)).string();
            WriteFileBytes(path, write(orientation));
            EXPECT_TRUE(ConvertOnce(path, {}) == upright);
            EXPECT_TRUE(ConvertObjectByObject(path, {}) == upright);
            PictureLayout asStored;
            asStored.autoOrient = false;
            const Converted unturned = ConvertOnce(path, asStored);
            EXPECT_EQ(unturned.low, DecodeAndStretch(path));
            EXPECT_EQ(unturned == upright,
                      orientation == 1 || (orientation <= 4 && std::string(extension) == "tif"));
        }
    }
}
