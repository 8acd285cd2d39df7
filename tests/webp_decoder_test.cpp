#include "imagelib/decoders/webp_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/decoding.h"
#include "support/modern_writers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using testsupport::AllPixels;
using testsupport::PixelAt;
using testsupport::Rgba;

// Noise with nearly every alpha level (not 0, whose colour the encoder may
// drop): lossless, it does not compress below the
// slice the incremental decode is fed, so rows arrive in several steps.
Rgba Noise(int x, int y) {
    auto value = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
    value ^= value >> 13;
    value *= 0x5BD1E995u;
    value ^= value >> 15;
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value | 1)};
}

std::vector<PaletteEntry> Expected(int width, int height, Rgba (*pixelAt)(int, int)) {
    std::vector<PaletteEntry> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgba p = pixelAt(x, y);
            pixels.push_back({p.blue, p.green, p.red, p.alpha});
        }
    return pixels;
}

class RowRecorder : public CDecodedRowListener {
public:
    void RowsDecoded(const CImageBitmap&, int rowCount) noexcept override { counts.push_back(rowCount); }
    std::vector<int> counts;
};

void Decode(const std::vector<std::uint8_t>& file, CImageBitmap& bitmap, CDecodedRowListener* listener) {
    CWebPDecoder decoder;
    decoder.SetRowListener(listener);
    decoder.DecodeMemory(file.data(), static_cast<std::int64_t>(file.size()), bitmap, 0);
}

}  // namespace

// Both kinds of bitmap (bottom-up and top-down rows), each decoded whole and
// fed in slices to a listener.
TEST(WebPDecoder, LosslessPicturesKeepEveryPixelWithAndWithoutARowListener) {
    constexpr int kWidth = 193, kHeight = 150;
    const auto file = testsupport::EncodeWebP(kWidth, kHeight, Noise, true);
    ASSERT_GT(file.size(), std::size_t{64} * 1024);
    for (const bool topDown : {false, true}) {
        for (const bool listen : {false, true}) {
            std::unique_ptr<CImageBitmap> bitmap;
            if (topDown)
                bitmap = std::make_unique<CMemoryBitmap>();
            else
                bitmap = std::make_unique<CDIBBitmap>();
            RowRecorder recorder;
            Decode(file, *bitmap, listen ? &recorder : nullptr);
            ASSERT_EQ(bitmap->GetDepth(), 32);
            EXPECT_TRUE(bitmap->HasAlphaChannel());
            EXPECT_EQ(AllPixels(*bitmap), Expected(kWidth, kHeight, Noise)) << topDown << listen;
            if (listen) {
                ASSERT_GT(recorder.counts.size(), 1u);
                EXPECT_TRUE(std::is_sorted(recorder.counts.begin(), recorder.counts.end()));
                EXPECT_EQ(recorder.counts.back(), kHeight);
            }
        }
    }
}

TEST(WebPDecoder, LossyPicturesComeOutOpaqueAndClose) {
    const auto quadrants = [](int x, int y) {
        return x < 32 ? (y < 32 ? Rgba{255, 0, 0} : Rgba{0, 255, 0})
                      : (y < 32 ? Rgba{0, 0, 255} : Rgba{255, 255, 255});
    };
    const auto file = testsupport::EncodeWebP(64, 64, quadrants, false);
    testsupport::KeepAsFuzzSeed("webp", "lossy.webp", file);
    const auto bitmap = testsupport::DecodeToNewBitmap<CWebPDecoder>(file, 0);
    EXPECT_FALSE(bitmap->HasAlphaChannel());
    for (const auto& [x, y] : {std::pair{8, 8}, {50, 8}, {8, 50}, {50, 50}}) {
        const PaletteEntry pixel = PixelAt(*bitmap, x, y);
        const Rgba wanted = quadrants(x, y);
        EXPECT_NEAR(pixel.red, wanted.red, 8) << x << "," << y;
        EXPECT_NEAR(pixel.green, wanted.green, 8) << x << "," << y;
        EXPECT_NEAR(pixel.blue, wanted.blue, 8) << x << "," << y;
        EXPECT_EQ(pixel.alpha, 255);
    }
}

TEST(WebPDecoder, AnAnimationGivesItsFirstFrameOverTransparentBlack) {
    const testsupport::RgbaAt leftHalfRed = [](int x, int) {
        return x < 4 ? Rgba{255, 0, 0} : Rgba{0, 0, 0, 0};
    };
    const testsupport::RgbaAt allBlue = [](int, int) { return Rgba{0, 0, 255}; };
    const auto file = testsupport::EncodeAnimatedWebP(8, 6, {leftHalfRed, allBlue});
    testsupport::KeepAsFuzzSeed("webp", "animated.webp", file);
    const auto bitmap = testsupport::DecodeToNewBitmap<CWebPDecoder>(file, 32);
    ASSERT_EQ(bitmap->GetWidth(), 8);
    ASSERT_EQ(bitmap->GetHeight(), 6);
    EXPECT_TRUE(bitmap->HasAlphaChannel());
    EXPECT_EQ(PixelAt(*bitmap, 1, 5), (PaletteEntry{0, 0, 255, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 6, 2), (PaletteEntry{0, 0, 0, 0}));
}

TEST(WebPDecoder, BrokenTruncatedAndOversizedFilesEndInClearErrors) {
    const auto file = testsupport::EncodeWebP(40, 30, Noise, true);
    testsupport::KeepAsFuzzSeed("webp", "lossless_alpha.webp", file);
    auto truncated = file;
    truncated.resize(file.size() / 2);
    auto corrupted = file;
    for (std::size_t i = 30; i < corrupted.size(); i += 3) corrupted[i] ^= 0x5A;
    DecodeLimits narrow;
    narrow.maxSide = 39;
    const struct {
        std::vector<std::uint8_t> bytes;
        DecodeLimits limits;
        int code;
        const char* message;
    } cases[] = {
        {{}, {}, ERR_END_OF_FILE, "Decoder error: WebP decoder: The data ends before the picture.\n"},
        {truncated, {}, ERR_END_OF_FILE, "Decoder error: WebP decoder: The data ends before the picture.\n"},
        {corrupted, {}, ERR_FORMAT_UNKNOWN, nullptr},
        {file, narrow, ERR_FORMAT_UNKNOWN, "Decoder error: WebP decoder: Can't handle image size 40 x 30.\n"},
    };
    for (const auto& c : cases) {
        for (RowRecorder* listener :
             {static_cast<RowRecorder*>(nullptr), std::make_unique<RowRecorder>().release()}) {
            std::unique_ptr<RowRecorder> owner(listener);
            CWebPDecoder decoder;
            decoder.SetLimits(c.limits);
            decoder.SetRowListener(listener);
            CDIBBitmap bitmap;
            try {
                decoder.DecodeMemory(c.bytes.data(), static_cast<std::int64_t>(c.bytes.size()), bitmap, 32);
                ADD_FAILURE() << "decoded " << c.bytes.size() << " bytes";
            } catch (const CTextException& error) {
                EXPECT_EQ(error.GetCode(), c.code) << error.GetMessage();
                if (c.message != nullptr) {
                    EXPECT_STREQ(error.GetMessage(), c.message);
                }
            }
        }
    }
}
