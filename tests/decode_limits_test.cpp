#include "imagelib/limits/decode_limits.h"
#include "imagelib/decoders/bmp_decoder.h"
#include "imagelib/decoders/gif_decoder.h"
#include "imagelib/decoders/jpeg_decoder.h"
#include "imagelib/decoders/metafile_decoder.h"
#include "imagelib/decoders/png_decoder.h"
#include "imagelib/decoders/tga_decoder.h"
#include "imagelib/decoders/tiff_decoder.h"
#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/image_writers.h"
#include "support/metafile_writer.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every picture here is 40 x 30.
constexpr int kWidth = 40;
constexpr int kHeight = 30;

Bytes Bmp() {
    return testsupport::MakeBmp24(kWidth, kHeight, [](int, int) { return testsupport::Bgr{}; });
}

Bytes Gif() {
    testsupport::GifPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.globalMap = {{0, 0, 0}, {255, 255, 255}};
    picture.images.push_back({0, 0, kWidth, kHeight, false, {}, {}, Bytes(kWidth * kHeight, 1)});
    return testsupport::WriteGif(picture);
}

Bytes Png() {
    testsupport::PngPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.colorType = 2;  // RGB
    picture.samples.assign(kWidth * kHeight * 3, 128);
    return testsupport::EncodePng(picture);
}

Bytes Jpeg(bool progressive = false) {
    testsupport::JpegPicture picture{kWidth, kHeight, 3, testsupport::MakePhotoLikeRgb(kWidth, kHeight)};
    picture.progressive = progressive;
    return testsupport::EncodeJpeg(picture);
}

Bytes Tiff() {
    testsupport::TiffPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.pixels.assign(kWidth * kHeight, 7);
    return testsupport::WriteTiff(picture);
}

Bytes Tga() {
    testsupport::ByteWriter out;
    out.u8(0).u8(0).u8(2).le16(0).le16(0).u8(0).le16(0).le16(0).le16(kWidth).le16(kHeight).u8(24).u8(0);
    out.fill(kWidth * kHeight * 3, 0x40);
    return out.data();
}

template <class Decoder>
std::unique_ptr<CImageDecoder> Make() {
    return std::make_unique<Decoder>();
}

DecodeLimits WithSide(std::int64_t side) {
    DecodeLimits limits;
    limits.maxSide = side;
    return limits;
}

// A picture held whole is held with the resampler's rows beside it.
DecodeLimits WithHeldBytes(std::uint64_t bytes) {
    DecodeLimits limits;
    limits.maxHeldBitmapBytes = bytes + limits.resampledBytesPerRow * kHeight;
    return limits;
}

DecodeLimits WithBytes(std::uint64_t bytes) {
    DecodeLimits limits;
    limits.maxBitmapBytes = bytes;
    return limits;
}

}  // namespace

TEST(DecodeLimits, DefaultsAreTheLibrarysLongstandingLimits) {
    const DecodeLimits limits;
    EXPECT_EQ(limits.maxSide, 65536);
    EXPECT_EQ(limits.maxBitmapBytes, std::uint64_t{1} << 30);
    EXPECT_EQ(limits.maxHeldBitmapBytes, std::uint64_t{384} << 20);
    EXPECT_EQ(limits.resampledBytesPerRow, 3840u);
    EXPECT_EQ(limits.maxGifScreenPixelsWithoutData, 4096u * 4096u);
    EXPECT_EQ(limits.maxMetafileCanvasSide, 8192);
    EXPECT_EQ(limits.maxMetafileRecords, std::size_t{1} << 22);
    EXPECT_EQ(limits.maxMetafileObjects, 65536u);
    EXPECT_EQ(limits.maxMetafilePaletteEntries, 1024u);
    EXPECT_EQ(limits.maxBmpRunLengthPixelsWithoutData, 4096u * 4096u);
    EXPECT_EQ(limits.maxJpegScans, 1000);
    EXPECT_EQ(limits.maxPngChunkBytes, std::uint64_t{8} << 20);
    EXPECT_EQ(limits.maxPngCachedChunks, 0u);
    EXPECT_TRUE(limits.AllowsSize(65536, 65536));
    EXPECT_FALSE(limits.AllowsSize(65537, 1));
    EXPECT_FALSE(limits.AllowsSize(1, 0));
}

// Each picture decodes at its exact size and bytes, and is refused one below
// with the decoder's usual size error; through the any-format decoder the
// limits reach the decoder it picks.
TEST(DecodeLimits, APictureOverALoweredLimitEndsInTheDecodersUsualSizeError) {
    const char* outOfMemory = "Out of memory creating bitmap.";
    const struct {
        const char* name;
        Bytes file;
        std::function<std::unique_ptr<CImageDecoder>()> makeDecoder;
        DecodeLimits fits;
        DecodeLimits over;
        int code;
        std::string message;
    } cases[] = {
        {"bmp side", Bmp(), Make<CBMPDecoder>, WithSide(kWidth), WithSide(kWidth - 1), ERR_FORMAT_UNKNOWN,
         "Decoder error: Bitmap decoder: Image size 40x30 is out of range.\n"},
        {"gif side", Gif(), Make<CGIFDecoder>, WithSide(kWidth), WithSide(kWidth - 1), ERR_FORMAT_UNKNOWN,
         "Decoder error: GIF screen size 40 x 30 is not supported.\n"},
        {"tga side", Tga(), Make<CTGADecoder>, WithSide(kWidth), WithSide(kWidth - 1), ERR_FORMAT_UNKNOWN,
         "Decoder error: Can't handle TGA image size 40 x 30.\n"},
        {"png bytes", Png(), Make<CPNGDecoder>, WithBytes(kWidth * kHeight * 4),
         WithBytes(kWidth * kHeight * 4 - 1), ERR_NO_MEMORY, outOfMemory},
        {"tiff bytes", Tiff(), Make<CTIFFDecoder>, WithBytes(kWidth * kHeight * 4),
         WithBytes(kWidth * kHeight * 4 - 1), ERR_NO_MEMORY,
         "Decoder error: Out of memory allocating TIFF buffer.\n"},
        {"jpeg bytes through the any-format decoder", Jpeg(), Make<CAnyFormatDecoder>,
         WithBytes(kWidth * kHeight * 4), WithBytes(kWidth * kHeight * 4 - 1), ERR_NO_MEMORY, outOfMemory},
        {"held tga", Tga(), Make<CTGADecoder>, WithHeldBytes(kWidth * kHeight * 4),
         WithHeldBytes(kWidth * kHeight * 4 - 1), ERR_NO_MEMORY, outOfMemory},
        // The coefficients of 4:2:0: 6 x 4 blocks of luma, 3 x 2 of each chroma.
        {"progressive jpeg with its coefficients", Jpeg(true), Make<CJPEGDecoder>,
         WithHeldBytes(kWidth * kHeight * 4 + 36 * 128), WithHeldBytes(kWidth * kHeight * 4 + 36 * 128 - 1),
         ERR_NO_MEMORY, outOfMemory},
        {"gif side through the any-format decoder", Gif(), Make<CAnyFormatDecoder>, WithSide(kWidth),
         WithSide(kHeight), ERR_FORMAT_UNKNOWN, "Decoder error: GIF screen size 40 x 30 is not supported.\n"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const auto size = static_cast<std::int64_t>(test.file.size());
        const auto decoder = test.makeDecoder();
        CDIBBitmap bitmap;
        decoder->SetLimits(test.fits);
        decoder->DecodeMemory(test.file.data(), size, bitmap, 32);
        EXPECT_EQ(bitmap.GetWidth(), kWidth);
        decoder->SetLimits(test.over);
        try {
            decoder->DecodeMemory(test.file.data(), size, bitmap, 32);
            ADD_FAILURE() << "decoded over the limit";
        } catch (const CTextException& error) {
            EXPECT_EQ(error.GetCode(), test.code);
            EXPECT_EQ(error.GetMessage(), test.message);
        }
    }
}

// Over a limit the message stays the one callers know; people are told the
// picture's size and the limit it is over. A real allocation failure says
// what it always said.
TEST(DecodeLimits, APictureOverALimitIsDescribedForPeople) {
    const struct {
        DecodeLimits limits;
        std::int64_t width;
        std::int64_t height;
        int bpp;
        const char* text;
    } cases[] = {
        {{}, 17000, 17000, 32, "picture of 17000 x 17000 pixels is over the limit of 268 megapixels."},
        {{}, 17000, 17000, 8, ""},
        {{}, 70000, 10, 32, "picture of 70000 x 10 pixels is over the limit of 65536 pixels a side."},
        {WithBytes(kWidth * kHeight * 4 - 1), kWidth, kHeight, 32,
         "picture of 40 x 30 pixels is over the limit of 1199 pixels."},
        {{}, 0, 10, 32, ""},
    };
    for (const auto& test : cases)
        EXPECT_EQ(test.limits.DescribeOverLimit(test.width, test.height, test.bpp), test.text);
    // A picture held whole is also held to the memory of one conversion.
    EXPECT_EQ(DecodeLimits{}.DescribeOverHeldLimit(16384, 16384, 32),
              "picture of 16384 x 16384 pixels is over the limit of 95 megapixels of a picture held whole: "
              "it would need more than 512 MiB to convert.");
    EXPECT_EQ(DecodeLimits{}.DescribeOverHeldLimit(17000, 17000, 32), cases[0].text);
    EXPECT_EQ(WithBytes(kWidth * kHeight * 4 - 1).DescribeOverHeldLimit(kWidth, kHeight, 32), cases[3].text);

    CPNGDecoder decoder;
    decoder.SetLimits(WithBytes(kWidth * kHeight * 4 - 1));
    const Bytes png = Png();
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(png.data(), static_cast<std::int64_t>(png.size()), bitmap, 32);
        ADD_FAILURE() << "decoded over the limit";
    } catch (const CTextException& error) {
        EXPECT_STREQ(error.GetMessage(), "Out of memory creating bitmap.");
        EXPECT_STREQ(error.GetUserMessage(), "picture of 40 x 30 pixels is over the limit of 1199 pixels.");
    }
    EXPECT_STREQ(CTextException(ERR_NO_MEMORY, "Out of memory creating bitmap.").GetUserMessage(),
                 "Out of memory creating bitmap.");
}

// A metafile is not refused but drawn smaller, keeping its proportions; a
// header whose frame and device sizes multiply beyond 64 bits still gets a
// canvas within the limit.
TEST(DecodeLimits, MetafileCanvasesAreScaledDownToTheCanvasSide) {
    const struct {
        const char* name;
        Bytes file;
        const char* sourceName;
        std::int64_t canvasSide;
        int width;
        int height;
    } cases[] = {
        {"placeable", testsupport::WmfWriter().Rectangle(0, 0, 10, 10).PlaceableBytes(0, 0, 400, 300, 96),
         "x.wmf", 40, 40, 30},
        {"default side", testsupport::WmfWriter().Rectangle(0, 0, 10, 10).PlaceableBytes(0, 0, 400, 300, 96),
         "x.wmf", DecodeLimits{}.maxMetafileCanvasSide, 400, 300},
        // Half as high less a hair: 127.99 pixels of 256.
        {"huge frame", testsupport::EmfWriter(0, 0, INT_MAX, INT_MAX / 2, INT_MAX, INT_MAX, 1, 1).Bytes(),
         "x.emf", 256, 256, 127},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        testsupport::TemporaryFolder folder;
        const auto path = folder / test.sourceName;
        testsupport::WriteFileBytes(path, test.file);
        CMetafileDecoder decoder;
        DecodeLimits limits;
        limits.maxMetafileCanvasSide = test.canvasSide;
        decoder.SetLimits(limits);
        CDIBBitmap bitmap;
        decoder.DecodeFile(path.string(), bitmap, 32, nullptr);
        EXPECT_EQ(bitmap.GetWidth(), test.width);
        EXPECT_EQ(bitmap.GetHeight(), test.height);
    }
}
