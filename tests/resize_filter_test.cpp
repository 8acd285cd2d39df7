#include "imagelib/resize_filter.h"
#include "imagelib/color/color_conversion.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/attention_map.h"
#include "imagelib/orientation/exif_orientation.h"
#include "imagelib/orientation/picture_framing.h"
#include "imagelib/resample/tent_resampler.h"
#include "imagelib/text_exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

namespace {

// Fills a 32-bit bitmap from one byte value per pixel (all four bytes alike).
void FillGrey(CImageBitmap& bitmap, int width, int height, const std::vector<std::uint8_t>& values) {
    bitmap.Create(width, height, 32, false);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int b = 0; b < 4; ++b)
                bitmap.GetRows()[y][4 * x + b] = values[static_cast<std::size_t>(y * width + x)];
}

std::vector<std::uint8_t> Bytes(const CImageBitmap& bitmap) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        bytes.insert(bytes.end(), bitmap.GetRows()[y], bitmap.GetRows()[y] + 4 * bitmap.GetWidth());
    return bytes;
}

// One byte per pixel (byte 0 of each), top row first.
std::vector<std::uint8_t> FirstBytes(const CImageBitmap& bitmap) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) bytes.push_back(bitmap.GetRows()[y][4 * x]);
    return bytes;
}

// A second reading of the resampling rule, kept deliberately plain: for one
// line of samples, the weights of output pixel i over source k.
std::vector<std::uint8_t> ResampleLine(const std::vector<std::uint8_t>& in, int outSize) {
    const int inSize = static_cast<int>(in.size());
    const double scale = static_cast<double>(outSize) / inSize;
    const double support = scale < 1.0 ? 1.0 / scale : 1.0;
    const double factor = scale < 1.0 ? scale : 1.0;
    const int most = 2 * static_cast<int>(std::ceil(support)) + 1;
    std::vector<std::uint8_t> out;
    for (int i = 0; i < outSize; ++i) {
        const double centre = i / scale;
        int left = std::max(0, static_cast<int>(std::floor(centre - support)));
        int right = std::min(inSize - 1, static_cast<int>(std::ceil(centre + support)));
        if (right - left + 1 > most) ++left;
        std::vector<double> weights;
        double sum = 0.0;
        for (int k = left; k <= right; ++k) {
            const double distance = std::fabs((centre - k) * factor);
            weights.push_back(factor * (distance < 1.0 ? 1.0 - distance : 0.0));
            sum += weights.back();
        }
        double value = 0.0;
        for (int k = left; k <= right; ++k) {
            const double weight = sum > 0.0 ? weights[static_cast<std::size_t>(k - left)] / sum : 0.0;
            // Two statements, so no compiler fuses the multiply into the add.
            const double contribution = weight * in[static_cast<std::size_t>(k)];
            value += contribution;
        }
        out.push_back(static_cast<std::uint8_t>(value + 0.5));
    }
    return out;
}

// Rows first, then columns, byte by byte.
std::vector<std::uint8_t> ReferenceResize(const CImageBitmap& source, int newWidth, int newHeight) {
    const int width = source.GetWidth();
    const int height = source.GetHeight();
    std::vector<std::uint8_t> across(static_cast<std::size_t>(height * newWidth * 4));
    for (int y = 0; y < height; ++y)
        for (int b = 0; b < 4; ++b) {
            std::vector<std::uint8_t> line;
            for (int x = 0; x < width; ++x) line.push_back(source.GetRows()[y][4 * x + b]);
            const auto resampled = ResampleLine(line, newWidth);
            for (int x = 0; x < newWidth; ++x)
                across[static_cast<std::size_t>((y * newWidth + x) * 4 + b)] = resampled[x];
        }
    std::vector<std::uint8_t> result(static_cast<std::size_t>(newHeight * newWidth * 4));
    for (int x = 0; x < newWidth; ++x)
        for (int b = 0; b < 4; ++b) {
            std::vector<std::uint8_t> line;
            for (int y = 0; y < height; ++y)
                line.push_back(across[static_cast<std::size_t>((y * newWidth + x) * 4 + b)]);
            const auto resampled = ResampleLine(line, newHeight);
            for (int y = 0; y < newHeight; ++y)
                result[static_cast<std::size_t>((y * newWidth + x) * 4 + b)] = resampled[y];
        }
    return result;
}

}  // namespace

TEST(TentResizeFilter, EnlargingInterpolatesWithoutHalfPixelOffset) {
    CDIBBitmap bitmap;
    FillGrey(bitmap, 2, 1, {0, 200});
    CTentResizeFilter(4, 1).ApplyInPlace(bitmap);
    EXPECT_EQ(bitmap.GetWidth(), 4);
    EXPECT_EQ(bitmap.GetHeight(), 1);
    EXPECT_EQ(Bytes(bitmap), (std::vector<std::uint8_t>{0, 0, 0, 0, 100, 100, 100, 100,  //
                                                        200, 200, 200, 200, 200, 200, 200, 200}));
}

TEST(TentResizeFilter, ShrinkingWidensTheTent) {
    // Output 0: 2/3 of 30 + 1/3 of 60. Output 1: 1/4 of 60 + 1/2 of 90 + 1/4 of 120.
    CDIBBitmap bitmap;
    FillGrey(bitmap, 4, 1, {30, 60, 90, 120});
    CTentResizeFilter(2, 1).ApplyInPlace(bitmap);
    EXPECT_EQ(FirstBytes(bitmap), (std::vector<std::uint8_t>{40, 90}));
    // The same along columns.
    FillGrey(bitmap, 1, 4, {30, 60, 90, 120});
    CTentResizeFilter(1, 2).ApplyInPlace(bitmap);
    EXPECT_EQ(FirstBytes(bitmap), (std::vector<std::uint8_t>{40, 90}));
}

TEST(TentResizeFilter, SameSizeLeavesThePictureUnchanged) {
    CDIBBitmap bitmap;
    bitmap.Create(7, 5, 32, true);
    std::mt19937 random(7);
    for (int y = 0; y < 5; ++y)
        for (int i = 0; i < 28; ++i) bitmap.GetRows()[y][i] = static_cast<std::uint8_t>(random());
    const auto before = Bytes(bitmap);
    CTentResizeFilter(7, 5).ApplyInPlace(bitmap);
    EXPECT_EQ(Bytes(bitmap), before);
    EXPECT_TRUE(bitmap.HasAlphaChannel());
}

TEST(TentResizeFilter, OnePixelFillsAnySize) {
    CDIBBitmap bitmap;
    bitmap.Create(1, 1, 32, false);
    const std::uint8_t pixel[4] = {10, 20, 30, 40};
    std::copy(pixel, pixel + 4, bitmap.GetRows()[0]);
    CTentResizeFilter(13, 6).ApplyInPlace(bitmap);
    ASSERT_EQ(bitmap.GetWidth(), 13);
    ASSERT_EQ(bitmap.GetHeight(), 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 13; ++x)
            ASSERT_TRUE(std::equal(pixel, pixel + 4, bitmap.GetRows()[y] + 4 * x)) << x << "," << y;
}

TEST(TentResizeFilter, AlphaIsResampledLikeTheColors) {
    CDIBBitmap bitmap;
    bitmap.Create(2, 1, 32, true);
    const std::uint8_t pixels[8] = {0, 0, 0, 0, 200, 100, 50, 255};
    std::copy(pixels, pixels + 8, bitmap.GetRows()[0]);
    CTentResizeFilter(4, 1).ApplyInPlace(bitmap);
    EXPECT_EQ(Bytes(bitmap), (std::vector<std::uint8_t>{0, 0, 0, 0, 100, 50, 25, 128,  //
                                                        200, 100, 50, 255, 200, 100, 50, 255}));
    EXPECT_TRUE(bitmap.HasAlphaChannel());
}

TEST(TentResizeFilter, MatchesAnIndependentReadingToTheByte) {
    // Rounding the intermediate rows to bytes makes the order of the passes
    // visible: columns first would give different bytes for some of these.
    std::mt19937 random(2024);
    CDIBBitmap source;
    source.Create(37, 23, 32, false);
    for (int y = 0; y < 23; ++y)
        for (int i = 0; i < 37 * 4; ++i) source.GetRows()[y][i] = static_cast<std::uint8_t>(random());
    for (auto [width, height] :
         {std::pair{160, 110}, {11, 7}, {5, 40}, {37, 1}, {1, 23}, {320, 220}, {36, 22}}) {
        CDIBBitmap result;
        CTentResizeFilter(width, height).Apply(source, result);
        ASSERT_EQ(result.GetWidth(), width);
        ASSERT_EQ(result.GetHeight(), height);
        EXPECT_EQ(Bytes(result), ReferenceResize(source, width, height)) << width << "x" << height;
    }
}

TEST(TentResizeFilter, ApplyLeavesTheSourceUnchanged) {
    CDIBBitmap source;
    FillGrey(source, 3, 2, {1, 2, 3, 4, 5, 6});
    const auto before = Bytes(source);
    CMemoryBitmap result;
    CTentResizeFilter(5, 5).Apply(source, result);
    EXPECT_EQ(Bytes(source), before);
    EXPECT_EQ(result.GetWidth(), 5);
    // Applying a bitmap onto itself resizes it in place.
    CTentResizeFilter(6, 4).Apply(source, source);
    EXPECT_EQ(source.GetWidth(), 6);
    EXPECT_EQ(source.GetHeight(), 4);
}

TEST(TentResizeFilter, AbsurdSizesFailAsOutOfMemoryAndLeaveTheBitmapAlone) {
    CDIBBitmap bitmap;
    FillGrey(bitmap, 2, 2, {1, 2, 3, 4});
    for (auto [width, height] : {std::pair{0, 10}, {10, -1}, {100000, 10}, {65536, 65536}}) {
        try {
            CTentResizeFilter(width, height).ApplyInPlace(bitmap);
            ADD_FAILURE() << width << "x" << height;
        } catch (const CTextException& error) {
            EXPECT_EQ(error.GetCode(), ERR_NO_MEMORY);
            EXPECT_STREQ(error.GetMessage(), "Out of memory creating bitmap.");
        }
        EXPECT_EQ(FirstBytes(bitmap), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    }
}

TEST(TentResizeFilter, RefusesBitmapsThatAreNot32Bits) {
    CDIBBitmap bitmap;
    bitmap.Create(4, 4, 8, false);
    try {
        CTentResizeFilter(8, 8).ApplyInPlace(bitmap);
        FAIL();
    } catch (const CTextException& error) {
        EXPECT_EQ(error.GetCode(), ERR_UNSUPPORTED_DATA);
    }
    EXPECT_EQ(bitmap.GetWidth(), 4);
}

namespace {

CDIBBitmap& RandomPicture(CDIBBitmap& picture, int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    picture.Create(width, height, 32, false);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < width * 4; ++i) picture.GetRows()[y][i] = static_cast<std::uint8_t>(random());
    return picture;
}

}  // namespace

TEST(TentResizeFilter, GivesTheSameBytesOnAnyNumberOfThreads) {
    CDIBBitmap source;
    RandomPicture(source, 211, 157, 7);
    for (int threads : {1, 2, 3, 8, 0}) {
        CMemoryBitmap small;
        CMemoryBitmap large;
        const std::vector<ResizeTarget> targets{{23, 17, &small}, {250, 40, &large}};
        CTentResizeFilter::ApplyToSizes(source, targets, threads);
        EXPECT_EQ(Bytes(small), ReferenceResize(source, 23, 17)) << threads;
        EXPECT_EQ(Bytes(large), ReferenceResize(source, 250, 40)) << threads;
    }
}

TEST(TentResampler, RowsReportedWhileDecodingGiveTheBytesOfAWholePicture) {
    CDIBBitmap source;
    RandomPicture(source, 97, 203, 11);
    const auto expectedSmall = ReferenceResize(source, 16, 11);
    const auto expectedLarge = ReferenceResize(source, 32, 22);
    for (int threads : {2, 3}) {
        CMemoryBitmap small;
        CMemoryBitmap large;
        CTentResampler resampler({{16, 11, &small}, {32, 22, &large}}, threads);
        // Rows arrive as a decoder would announce them: in uneven steps, with
        // a repeated count, and not all of them before the decode ends.
        for (int rows : {1, 2, 2, 19, 40, 41, 120, 180}) resampler.RowsDecoded(source, rows);
        resampler.Finish(source);
        EXPECT_EQ(Bytes(small), expectedSmall) << threads;
        EXPECT_EQ(Bytes(large), expectedLarge) << threads;
    }
}

TEST(TentResampler, AWindowOfRowsGivesTheBytesOfTheWholePicture) {
    constexpr int kWidth = 97;
    constexpr int kHeight = 403;
    // A decoder that stops early leaves its last rows, or all of them, as the
    // bitmap was created.
    for (int written : {380, 0}) {
        CDIBBitmap whole;
        RandomPicture(whole, kWidth, kHeight, 12);
        for (int y = written; y < kHeight; ++y) std::memset(whole.GetRows()[y], 0, 4 * kWidth);
        const auto expectedSmall = ReferenceResize(whole, 16, 11);
        const auto expectedLarge = ReferenceResize(whole, 32, 22);
        for (int threads : {1, 2, 3}) {
            CMemoryBitmap small;
            CMemoryBitmap large;
            CTentResampler resampler({{16, 11, &small}, {32, 22, &large}}, threads);
            resampler.SetRowWindows(true);
            constexpr int kBatch = 7;
            const int window = resampler.WindowRows(kWidth, kHeight, kBatch);
            ASSERT_GT(window, kBatch);
            ASSERT_LT(window, kHeight);
            CMemoryBitmap rows;
            rows.CreateWindow(kWidth, kHeight, 32, false, window);
            // Batches of uneven sizes, each written only once the last report
            // has returned, as the decoders do.
            const int steps[] = {kBatch, 3, 1, 5};
            for (int y = 0, step = 0; y < written; ++step) {
                const int end = std::min(written, y + steps[step % 4]);
                for (; y < end; ++y) std::memcpy(rows.GetRows()[y], whole.GetRows()[y], 4 * kWidth);
                resampler.RowsDecoded(rows, end);
            }
            resampler.Finish(rows);
            EXPECT_EQ(Bytes(small), expectedSmall) << written << " rows, " << threads << " threads";
            EXPECT_EQ(Bytes(large), expectedLarge) << written << " rows, " << threads << " threads";
        }
    }
}

TEST(TentResampler, FinishingWithAnotherBitmapResamplesThatOne) {
    CDIBBitmap streamed;
    RandomPicture(streamed, 64, 64, 1);
    CDIBBitmap finished;
    RandomPicture(finished, 50, 70, 2);
    CMemoryBitmap result;
    CTentResampler resampler({{10, 10, &result}}, 2);
    resampler.RowsDecoded(streamed, 64);
    resampler.Finish(finished);
    EXPECT_EQ(Bytes(result), ReferenceResize(finished, 10, 10));
}

TEST(TentResampler, ADecodeThatFailsHalfwayLeavesNothingRunning) {
    CDIBBitmap source;
    RandomPicture(source, 300, 400, 3);
    CMemoryBitmap result;
    {
        CTentResampler resampler({{30, 40, &result}}, 2);
        resampler.RowsDecoded(source, 150);
    }
    // The destination was never touched.
    EXPECT_EQ(result.GetWidth(), CMemoryBitmap().GetWidth());
}

TEST(TentResampler, RefusesWhatTheFilterRefuses) {
    CDIBBitmap eightBit;
    eightBit.Create(20, 20, 8, false);
    CMemoryBitmap result;
    CTentResampler resampler({{5, 5, &result}}, 2);
    resampler.RowsDecoded(eightBit, 20);
    try {
        resampler.Finish(eightBit);
        ADD_FAILURE();
    } catch (const CTextException& error) {
        EXPECT_EQ(error.GetCode(), ERR_UNSUPPORTED_DATA);
    }
    CDIBBitmap source;
    RandomPicture(source, 20, 20, 4);
    CTentResampler absurd({{5, 5, &result}, {100000, 10, &result}}, 2);
    absurd.RowsDecoded(source, 10);
    EXPECT_THROW(absurd.Finish(source), CTextException);
    EXPECT_EQ(result.GetWidth(), CMemoryBitmap().GetWidth());
}

namespace {

// The picture as orientation tag `orientation` says it is seen: pixel (x, y)
// seen comes from stored pixel at(x, y).
CDIBBitmap& Turned(const CImageBitmap& stored, int orientation, CDIBBitmap& seen) {
    const int w = stored.GetWidth();
    const int h = stored.GetHeight();
    const bool swaps = orientation >= 5;
    seen.Create(swaps ? h : w, swaps ? w : h, 32, stored.HasAlphaChannel());
    for (int y = 0; y < seen.GetHeight(); ++y)
        for (int x = 0; x < seen.GetWidth(); ++x) {
            const std::pair<int, int> at[9] = {
                {},     {x, y},         {w - 1 - x, y},         {w - 1 - x, h - 1 - y}, {x, h - 1 - y},
                {y, x}, {y, h - 1 - x}, {w - 1 - y, h - 1 - x}, {w - 1 - y, x}};
            const auto [sx, sy] = at[orientation];
            std::copy_n(stored.GetRows()[sy] + 4 * sx, 4, seen.GetRows()[y] + 4 * x);
        }
    return seen;
}

CDIBBitmap& Part(const CImageBitmap& source, const PixelRect& rect, CDIBBitmap& part) {
    part.Create(rect.width, rect.height, 32, source.HasAlphaChannel());
    for (int y = 0; y < rect.height; ++y)
        std::copy_n(source.GetRows()[rect.top + y] + 4 * rect.left, 4 * rect.width, part.GetRows()[y]);
    return part;
}

}  // namespace

TEST(TentResampler, ResamplesThePictureAsItsOrientationTurnsIt) {
    CDIBBitmap stored;
    RandomPicture(stored, 37, 23, 5);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        CDIBBitmap seen;
        Turned(stored, orientation, seen);
        for (int threads : {1, 2}) {
            CMemoryBitmap small;
            CMemoryBitmap large;
            CTentResampler resampler({{16, 11, &small}, {50, 60, &large}}, threads);
            resampler.SetOrientation(orientation);
            // Rows of a picture still to be turned are not final rows.
            resampler.RowsDecoded(stored, 10);
            resampler.Finish(stored);
            EXPECT_EQ(Bytes(small), ReferenceResize(seen, 16, 11)) << orientation << " " << threads;
            EXPECT_EQ(Bytes(large), ReferenceResize(seen, 50, 60)) << orientation << " " << threads;
        }
    }
}

TEST(PictureFraming, CropsWholeSourcePixelsAndPadsAtTheReferenceSizeTimesTheDensity) {
    const PictureFraming pad{PictureFit::Pad, 160, 110, {}};
    const PictureFraming crop{PictureFit::Crop, 160, 110, {}};
    const PictureFraming stretch{PictureFit::Stretch, 160, 110, {}};
    struct Case {
        PictureFraming framing;
        int sourceWidth, sourceHeight;
        PixelRect part, low, high;
    } cases[] = {
        {pad, 400, 300, {0, 0, 400, 300}, {7, 0, 146, 110}, {14, 0, 292, 220}},
        {pad, 300, 400, {0, 0, 300, 400}, {39, 0, 82, 110}, {78, 0, 164, 220}},
        {pad, 1000, 100, {0, 0, 1000, 100}, {0, 47, 160, 16}, {0, 94, 320, 32}},
        {pad, 5000, 1, {0, 0, 5000, 1}, {0, 55, 160, 1}, {0, 110, 320, 2}},
        {pad, 320, 220, {0, 0, 320, 220}, {0, 0, 160, 110}, {0, 0, 320, 220}},
        {crop, 400, 300, {0, 13, 400, 275}, {0, 0, 160, 110}, {0, 0, 320, 220}},
        {crop, 300, 400, {0, 97, 300, 206}, {0, 0, 160, 110}, {0, 0, 320, 220}},
        {crop, 1000, 100, {427, 0, 146, 100}, {0, 0, 160, 110}, {0, 0, 320, 220}},
        {crop, 1, 5000, {0, 2500, 1, 1}, {0, 0, 160, 110}, {0, 0, 320, 220}},
        {stretch, 300, 400, {0, 0, 300, 400}, {0, 0, 160, 110}, {0, 0, 320, 220}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << static_cast<int>(c.framing.fit) << " " << c.sourceWidth << "x" << c.sourceHeight);
        const PixelRect part = FramedSourceRect(c.framing, c.sourceWidth, c.sourceHeight);
        EXPECT_EQ(part, c.part);
        EXPECT_EQ(FramedPlacement(c.framing, part.width, part.height, 160, 110), c.low);
        EXPECT_EQ(FramedPlacement(c.framing, part.width, part.height, 320, 220), c.high);
    }
}

TEST(PictureFraming, GravityAndCropBoxChooseThePartKept) {
    const auto crop = [](CropGravity gravity, PixelRect box = {}, bool turn = false) {
        return PictureFraming{PictureFit::Crop, 160, 110, {}, gravity, box, turn};
    };
    using G = CropGravity;
    struct Case {
        PictureFraming framing;
        int sourceWidth, sourceHeight;
        PixelRect part;
    } cases[] = {
        {crop(G::Center), 600, 400, {9, 0, 582, 400}},
        {crop(G::North), 600, 400, {9, 0, 582, 400}},
        {crop(G::East), 600, 400, {18, 0, 582, 400}},
        {crop(G::West), 600, 400, {0, 0, 582, 400}},
        {crop(G::SouthEast), 600, 400, {18, 0, 582, 400}},
        {crop(G::NorthWest), 600, 400, {0, 0, 582, 400}},
        {crop(G::Center), 400, 600, {0, 163, 400, 275}},
        {crop(G::North), 400, 600, {0, 0, 400, 275}},
        {crop(G::South), 400, 600, {0, 325, 400, 275}},
        {crop(G::East), 400, 600, {0, 163, 400, 275}},
        {crop(G::NorthEast), 400, 600, {0, 0, 400, 275}},
        {crop(G::SouthWest), 400, 600, {0, 325, 400, 275}},
        {crop(G::Center, {}, true), 400, 600, {0, 9, 400, 582}},
        {crop(G::North, {}, true), 600, 400, {9, 0, 582, 400}},
        {crop(G::Center, {10, 20, 300, 100}), 600, 400, {87, 20, 146, 100}},
        {crop(G::West, {10, 20, 300, 100}), 600, 400, {10, 20, 146, 100}},
        {crop(G::South, {550, 350, 500, 500}), 600, 400, {550, 366, 50, 34}},
        {{PictureFit::Stretch, 160, 110, {}, G::Center, {10, 20, 300, 100}}, 600, 400, {10, 20, 300, 100}},
        {{PictureFit::Pad, 160, 110, {}, G::Center, {590, 0, 30, 30}}, 600, 400, {590, 0, 10, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.framing.gravity) << " " << c.sourceWidth << "x"
                                        << c.sourceHeight << " box " << c.framing.cropBox.left);
        EXPECT_EQ(FramedSourceRect(c.framing, c.sourceWidth, c.sourceHeight), c.part);
    }
    EXPECT_THROW(FramedSourceRect(crop(G::Center, {600, 0, 5, 5}), 600, 400), CTextException);
}

TEST(TentResampler, TurnsAPictureTallerThanWideToFillAsATurnedOrientationWould) {
    CDIBBitmap stored;
    RandomPicture(stored, 23, 41, 9);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const bool tall = !SwapsSides(orientation);
        CMemoryBitmap filled;
        CTentResampler resampler({{16, 11, &filled}}, 1);
        resampler.SetOrientation(orientation);
        resampler.SetFraming({PictureFit::Crop, 16, 11, {}, CropGravity::North, {}, true});
        resampler.Finish(stored);
        CMemoryBitmap turned;
        CTentResampler reference({{16, 11, &turned}}, 1);
        reference.SetOrientation(tall ? QuarterTurnedClockwise(orientation) : orientation);
        reference.SetFraming({PictureFit::Crop, 16, 11, {}, tall ? CropGravity::East : CropGravity::North});
        reference.Finish(stored);
        EXPECT_EQ(Bytes(filled), Bytes(turned));
        EXPECT_EQ(resampler.KeptPart(), tall ? (PixelRect{0, 0, 23, 33}) : (PixelRect{4, 0, 33, 23}));
    }
}

// A dull ground, light to dark from top to bottom with a faint stripe every
// few rows, and a subject drawn on it: a face-coloured disc with dark eyes
// on a saturated square.
CDIBBitmap& PictureWithSubject(CDIBBitmap& picture, int width, int height, const PixelRect& subject) {
    picture.Create(width, height, 32, false);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = picture.GetRows()[y] + 4 * x;
            const auto grey = static_cast<std::uint8_t>(170 - 60 * y / height + (y % 7 == 0 ? 6 : 0));
            pixel[0] = pixel[1] = pixel[2] = grey;
            pixel[3] = 255;
            const int dx = x - subject.left, dy = y - subject.top;
            if (dx < 0 || dy < 0 || dx >= subject.width || dy >= subject.height) continue;
            const int cx = 2 * dx - subject.width, cy = 2 * dy - subject.height;
            const bool face = cx * cx + cy * cy < subject.width * subject.width / 2;
            const bool eye = face && dy > subject.height / 3 && dy < subject.height / 2 &&
                             (std::abs(cx) - subject.width / 3) * (std::abs(cx) - subject.width / 3) < 9;
            const PaletteEntry color = eye    ? PaletteEntry{30, 30, 40, 255}
                                       : face ? PaletteEntry{140, 170, 225, 255}
                                              : PaletteEntry{200, 40, 30, 255};
            pixel[0] = color.blue, pixel[1] = color.green, pixel[2] = color.red;
        }
    return picture;
}

// Feeds `picture` to `resampler` through a window of rows, as a streaming
// decoder would, and finishes; false when no window was offered and the
// picture was finished whole.
bool FinishThroughAWindow(CTentResampler& resampler, const CImageBitmap& picture) {
    constexpr int kBatch = 5;
    resampler.SetRowWindows(true);
    const int window = resampler.WindowRows(picture.GetWidth(), picture.GetHeight(), kBatch);
    if (window == 0) {
        resampler.Finish(picture);
        return false;
    }
    CMemoryBitmap rows;
    rows.CreateWindow(picture.GetWidth(), picture.GetHeight(), 32, false, window);
    for (int y = 0; y < picture.GetHeight();) {
        const int end = std::min(picture.GetHeight(), y + kBatch);
        for (; y < end; ++y) std::memcpy(rows.GetRows()[y], picture.GetRows()[y], 4 * picture.GetWidth());
        resampler.RowsDecoded(rows, end);
    }
    resampler.Finish(rows);
    return true;
}

// Mean difference of the bytes of two bitmaps of the same size.
double MeanDifference(const CImageBitmap& a, const CImageBitmap& b) {
    const auto left = Bytes(a), right = Bytes(b);
    double sum = 0;
    for (std::size_t i = 0; i < left.size(); ++i) sum += std::abs(int{left[i]} - int{right[i]});
    return left.empty() ? 0.0 : sum / static_cast<double>(left.size());
}

TEST(TentResampler, SmartCropKeepsASubjectAtEverySide) {
    struct Case {
        int width, height;
        PixelRect subject;
        int orientation;
    } cases[] = {
        {900, 300, {10, 100, 90, 90}, 1}, {900, 300, {790, 150, 90, 90}, 1},
        {300, 900, {100, 20, 90, 90}, 1}, {300, 900, {150, 790, 90, 90}, 1},
        {1200, 400, {0, 0, 120, 120}, 1}, {400, 1200, {280, 1080, 120, 120}, 1},
        {300, 900, {100, 20, 90, 90}, 6},  // seen 900 x 300, the subject at the right
    };
    const PictureFraming framing{PictureFit::Crop, 160, 110, {}, CropGravity::Smart};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.subject.left << ","
                                        << c.subject.top << " orientation " << c.orientation);
        CDIBBitmap picture;
        PictureWithSubject(picture, c.width, c.height, c.subject);
        PixelRect subject = c.subject;
        if (c.orientation == 6) subject = TurnedRect(subject, c.height, true);
        const AttentionMap attention(picture, c.orientation);
        const bool swapped = c.orientation == 6;
        const PixelRect chosen =
            FramedSourceRect(framing, swapped ? c.height : c.width, swapped ? c.width : c.height, &attention);
        std::vector<std::uint8_t> first;
        // Held whole and streamed through a window (the turned picture is
        // always held whole), on one and two threads: the same part, the
        // same bytes.
        for (const bool streamed : {false, true})
            for (int threads : {1, 2}) {
                SCOPED_TRACE(testing::Message() << (streamed ? "streamed" : "held") << ", " << threads);
                CMemoryBitmap low, high;
                CTentResampler resampler({{160, 110, &low}, {320, 220, &high}}, threads);
                resampler.SetOrientation(c.orientation);
                resampler.SetFraming(framing);
                if (!streamed) {
                    resampler.Finish(picture);
                } else if (!FinishThroughAWindow(resampler, picture)) {
                    EXPECT_EQ(c.orientation, 6);
                }
                const PixelRect kept = resampler.KeptPart();
                EXPECT_EQ(kept, chosen);
                EXPECT_TRUE(kept.left <= subject.left && kept.top <= subject.top &&
                            subject.left + subject.width <= kept.left + kept.width &&
                            subject.top + subject.height <= kept.top + kept.height)
                    << kept.left << "," << kept.top << " " << kept.width << "x" << kept.height;
                if (first.empty()) first = Bytes(low);
                EXPECT_EQ(Bytes(low), first);
                // Both densities show the part kept: close to it resampled alone.
                CMemoryBitmap boxedLow, boxedHigh;
                CTentResampler reference({{160, 110, &boxedLow}, {320, 220, &boxedHigh}}, 1);
                reference.SetOrientation(c.orientation);
                reference.SetFraming({PictureFit::Stretch, 160, 110, {}, CropGravity::Center, kept});
                reference.Finish(picture);
                EXPECT_LT(MeanDifference(low, boxedLow), 3.0);
                EXPECT_LT(MeanDifference(high, boxedHigh), 3.0);
            }
    }
}

TEST(TentResampler, APictureCutAtItsSidesOrRowsStreamsWithTheBytesOfThePictureHeld) {
    CDIBBitmap wide, tall;
    RandomPicture(wide, 400, 150, 21);
    RandomPicture(tall, 150, 400, 22);
    // Rows above and below a part are dropped as they pass.
    const struct {
        const CImageBitmap& picture;
        PictureFraming framing;
        resample::ResampleKernel kernel = resample::ResampleKernel::kTent;
    } cases[] = {
        {wide, {PictureFit::Crop, 16, 11, {}, CropGravity::Center}},
        {wide, {PictureFit::Crop, 16, 11, {}, CropGravity::East}},
        {wide, {PictureFit::Pad, 16, 11, {1, 2, 3, 255}, CropGravity::Center}},
        {wide, {PictureFit::Crop, 16, 11, {}, CropGravity::Center, {37, 0, 250, 150}}},
        {tall, {PictureFit::Crop, 16, 11, {}, CropGravity::Center}},
        {tall, {PictureFit::Crop, 16, 11, {}, CropGravity::South}, resample::ResampleKernel::kLanczosInLight},
        {tall, {PictureFit::Crop, 16, 11, {}, CropGravity::NorthWest}},
        {tall, {PictureFit::Stretch, 16, 11, {}, CropGravity::Center, {3, 37, 140, 250}}},
    };
    for (const auto& c : cases)
        for (int threads : {1, 2}) {
            const PictureFraming& framing = c.framing;
            const CImageBitmap& picture = c.picture;
            SCOPED_TRACE(testing::Message() << picture.GetWidth() << " wide " << static_cast<int>(framing.fit)
                                            << " " << static_cast<int>(framing.gravity) << " box "
                                            << framing.cropBox.top << ", " << threads << " threads");
            CMemoryBitmap heldLow, heldHigh, low, high;
            CTentResampler held({{16, 11, &heldLow}, {32, 22, &heldHigh}}, threads);
            held.SetFraming(framing);
            held.SetKernel(c.kernel);
            held.Finish(picture);
            CTentResampler streamed({{16, 11, &low}, {32, 22, &high}}, threads);
            streamed.SetFraming(framing);
            streamed.SetKernel(c.kernel);
            EXPECT_TRUE(FinishThroughAWindow(streamed, picture));
            EXPECT_EQ(Bytes(low), Bytes(heldLow));
            EXPECT_EQ(Bytes(high), Bytes(heldHigh));
            EXPECT_EQ(streamed.KeptPart(), held.KeptPart());
        }
}

TEST(TentResampler, FramesTheTurnedPictureAndFillsTheBordersWithTheBackground) {
    CDIBBitmap stored;
    RandomPicture(stored, 23, 41, 9);
    const PaletteEntry olive{0, 0x80, 0x80, 255};
    for (PictureFit fit : {PictureFit::Pad, PictureFit::Crop}) {
        for (int orientation : {1, 6}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(fit) << " " << orientation);
            CDIBBitmap seen;
            Turned(stored, orientation, seen);
            const PictureFraming framing{fit, 16, 11, olive};
            CDIBBitmap part;
            Part(seen, FramedSourceRect(framing, seen.GetWidth(), seen.GetHeight()), part);
            for (int threads : {1, 2}) {
                CMemoryBitmap low;
                CMemoryBitmap high;
                CTentResampler resampler({{16, 11, &low}, {32, 22, &high}}, threads);
                resampler.SetOrientation(orientation);
                resampler.SetFraming(framing);
                resampler.RowsDecoded(stored, stored.GetHeight());
                resampler.Finish(stored);
                for (CMemoryBitmap* target : {&low, &high}) {
                    const PixelRect placement = FramedPlacement(framing, part.GetWidth(), part.GetHeight(),
                                                                target->GetWidth(), target->GetHeight());
                    CDIBBitmap inside;
                    EXPECT_EQ(Bytes(Part(*target, placement, inside)),
                              ReferenceResize(part, placement.width, placement.height));
                    int borderPixels = 0;
                    for (int y = 0; y < target->GetHeight(); ++y)
                        for (int x = 0; x < target->GetWidth(); ++x) {
                            if (x >= placement.left && x < placement.left + placement.width &&
                                y >= placement.top && y < placement.top + placement.height)
                                continue;
                            ++borderPixels;
                            const std::uint8_t* pixel = target->GetRows()[y] + 4 * x;
                            EXPECT_EQ((PaletteEntry{pixel[0], pixel[1], pixel[2], pixel[3]}), olive);
                        }
                    EXPECT_EQ(borderPixels > 0, fit == PictureFit::Pad);
                }
            }
        }
    }
}

TEST(TentResampler, LinearLightAveragesLightNotCodeValues) {
    // Pixel (x, y) of each source, one byte value for all four bytes.
    struct Case {
        const char* what;
        int width, height, newWidth, newHeight;
        std::uint8_t (*source)(int x, int y);
        std::uint8_t expected;  // every output pixel's colour bytes
    };
    const Case cases[] = {
        // Half black, half white is half the light: code 188, not 128.
        {"checkerboard halved", 8, 6, 4, 3,
         [](int x, int y) -> std::uint8_t { return (x + y) % 2 ? 255 : 0; }, 188},
        // A 40x shrink still sees every pixel: stripes do not alias.
        {"stripes shrunk 42x", 168, 84, 4, 2, [](int x, int) -> std::uint8_t { return x % 2 ? 255 : 0; },
         188},
        {"flat grey enlarged", 3, 2, 7, 5, [](int, int) -> std::uint8_t { return 77; }, 77},
    };
    for (const Case& c : cases) {
        CDIBBitmap source;
        source.Create(c.width, c.height, 32, false);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) std::memset(source.GetRows()[y] + 4 * x, c.source(x, y), 4);
        CMemoryBitmap scaled;
        CTentResizeFilter filter(c.newWidth, c.newHeight);
        filter.SetLinearLight(true);
        filter.Apply(source, scaled);
        const std::vector<std::uint8_t> bytes = Bytes(scaled);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (i % 4 != 3) {
                ASSERT_EQ(bytes[i], c.expected) << c.what << " byte " << i;
            }
    }
    // At the same size every code value comes back as it was.
    CDIBBitmap ramp;
    std::vector<std::uint8_t> values(256);
    for (int i = 0; i < 256; ++i) values[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    FillGrey(ramp, 16, 16, values);
    CMemoryBitmap same;
    CTentResizeFilter filter(16, 16);
    filter.SetLinearLight(true);
    filter.Apply(ramp, same);
    EXPECT_EQ(Bytes(same), Bytes(ramp));
}

TEST(TentResampler, ASourceInTheFileColorsIsConvertedAsItIsReadWhicheverWayItIsSeen) {
    const CalibratedRgbSpace p3{0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290, {0, 0, 0}, "P3"};
    const CColorConversion conversion = CColorConversion::FromCalibratedRgb(p3);
    ASSERT_TRUE(conversion.Converts());
    std::mt19937 random(5);
    CDIBBitmap file;
    file.Create(37, 23, 32, false);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 4 * 37; ++x) file.GetRows()[y][x] = static_cast<std::uint8_t>(random());
    const std::vector<std::uint8_t> fileBytes = Bytes(file);
    CDIBBitmap srgb;
    srgb.CopyFrom(file, 0);
    for (int y = 0; y < 23; ++y) conversion.ConvertPixels(srgb.GetRows()[y], 37);

    for (int orientation = 1; orientation <= 8; ++orientation)
        for (const bool linear : {false, true}) {
            CMemoryBitmap converted, expected;
            CTentResampler reading({{11, 7, &converted}});
            reading.SetOrientation(orientation);
            reading.SetLinearLight(linear);
            reading.SetSourceConversion(&conversion);
            reading.Finish(file);
            CTentResampler plain({{11, 7, &expected}});
            plain.SetOrientation(orientation);
            plain.SetLinearLight(linear);
            plain.Finish(srgb);
            // Code values come out the same; light is taken before it is
            // rounded to them, and may round the other way.
            const std::vector<std::uint8_t> got = Bytes(converted), wanted = Bytes(expected);
            ASSERT_EQ(got.size(), wanted.size());
            for (std::size_t i = 0; i < got.size(); ++i)
                ASSERT_LE(std::abs(got[i] - wanted[i]), linear ? 1 : 0)
                    << "orientation " << orientation << " linear " << linear << " byte " << i;
        }
    EXPECT_EQ(Bytes(file), fileBytes) << "the source was changed";
}

namespace {

constexpr resample::ResampleKernel kSharp = resample::ResampleKernel::kLanczosInLight;

// The sharp kernel's picture of a source given whole, as stored, stretched.
std::vector<std::uint8_t> SharpResize(const CImageBitmap& source, int width, int height) {
    CMemoryBitmap result;
    CTentResampler resampler({{width, height, &result}}, 1);
    resampler.SetKernel(kSharp);
    resampler.Finish(source);
    return Bytes(result);
}

}  // namespace

TEST(TentResampler, TheSharpKernelSeesATurnedFramedOrStreamedPictureAsTheWholePictureSeen) {
    CDIBBitmap stored;
    RandomPicture(stored, 97, 203, 3);
    for (PictureFit fit : {PictureFit::Stretch, PictureFit::Pad, PictureFit::Crop})
        for (int orientation : {1, 6, 7})
            for (int threads : {1, 2}) {
                SCOPED_TRACE(testing::Message()
                             << static_cast<int>(fit) << " " << orientation << " " << threads);
                CDIBBitmap seen, part;
                Turned(stored, orientation, seen);
                const PictureFraming framing{fit, 16, 11, {}};
                Part(seen, FramedSourceRect(framing, seen.GetWidth(), seen.GetHeight()), part);
                CMemoryBitmap low, high;
                CTentResampler resampler({{16, 11, &low}, {32, 22, &high}}, threads);
                resampler.SetOrientation(orientation);
                resampler.SetFraming(framing);
                resampler.SetKernel(kSharp);
                resampler.RowsDecoded(stored, stored.GetHeight());
                resampler.Finish(stored);
                for (CMemoryBitmap* target : {&low, &high}) {
                    const PixelRect placement = FramedPlacement(framing, part.GetWidth(), part.GetHeight(),
                                                                target->GetWidth(), target->GetHeight());
                    CDIBBitmap inside;
                    EXPECT_EQ(Bytes(Part(*target, placement, inside)),
                              SharpResize(part, placement.width, placement.height));
                }
            }
    // Streamed through a window of rows, on any number of threads.
    for (int threads : {1, 2, 3}) {
        CMemoryBitmap low, high;
        CTentResampler resampler({{16, 11, &low}, {32, 22, &high}}, threads);
        resampler.SetRowWindows(true);
        resampler.SetKernel(kSharp);
        const int window = resampler.WindowRows(stored.GetWidth(), stored.GetHeight(), 5);
        ASSERT_GT(window, 5);
        CMemoryBitmap rows;
        rows.CreateWindow(stored.GetWidth(), stored.GetHeight(), 32, false, window);
        for (int y = 0; y < stored.GetHeight(); ++y) {
            std::memcpy(rows.GetRows()[y], stored.GetRows()[y],
                        4 * static_cast<std::size_t>(stored.GetWidth()));
            if (y % 5 == 4 || y + 1 == stored.GetHeight()) resampler.RowsDecoded(rows, y + 1);
        }
        resampler.Finish(rows);
        EXPECT_EQ(Bytes(low), SharpResize(stored, 16, 11)) << threads;
        EXPECT_EQ(Bytes(high), SharpResize(stored, 32, 22)) << threads;
    }
}

TEST(TentResampler, TheSharpKernelKeepsTheLightOfWhatItCannotShowAndClampsItsRinging) {
    struct Case {
        const char* what;
        int width, height, newWidth, newHeight;
        std::uint8_t (*source)(int x, int y);
        // Output pixel (x, y)'s expected colour bytes; -1 where unchecked.
        int (*expected)(int x, int y);
    };
    const Case cases[] = {
        {"flat grey shrunk", 97, 203, 16, 11, [](int, int) -> std::uint8_t { return 77; },
         [](int, int) { return 77; }},
        {"flat grey enlarged", 3, 2, 7, 5, [](int, int) -> std::uint8_t { return 77; },
         [](int, int) { return 77; }},
        // Half black, half white is half the light; boxes see every pixel.
        {"stripes shrunk 42x", 168, 84, 4, 2, [](int x, int) -> std::uint8_t { return x % 2 ? 255 : 0; },
         [](int, int) { return 188; }},
        // Pixels 6 and 9 weigh the line's box negatively: light beyond white
        // beside a dark line, below black beside a bright one, both clamped
        // rather than wrapped. The kernel does not reach past 3 and 12.
        {"dark line on white", 64, 8, 16, 2, [](int x, int) -> std::uint8_t { return x == 30 ? 0 : 255; },
         [](int x, int) { return x == 6 || x == 9 || x <= 3 || x >= 12 ? 255 : -1; }},
        {"bright line on black", 64, 8, 16, 2, [](int x, int) -> std::uint8_t { return x == 30 ? 255 : 0; },
         [](int x, int) { return x == 6 || x == 9 || x <= 3 || x >= 12 ? 0 : -1; }},
    };
    for (const Case& c : cases) {
        CDIBBitmap source;
        source.Create(c.width, c.height, 32, false);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) std::memset(source.GetRows()[y] + 4 * x, c.source(x, y), 4);
        const std::vector<std::uint8_t> bytes = SharpResize(source, c.newWidth, c.newHeight);
        for (int y = 0; y < c.newHeight; ++y)
            for (int x = 0; x < c.newWidth; ++x)
                for (int b = 0; b < 3; ++b)
                    if (c.expected(x, y) >= 0) {
                        ASSERT_EQ(bytes[static_cast<std::size_t>(4 * (y * c.newWidth + x) + b)],
                                  c.expected(x, y))
                            << c.what << " at " << x << "," << y;
                    }
    }
}
