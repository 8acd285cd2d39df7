#include "imagelib/decoders/heif_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/decoding.h"
#include "support/modern_writers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using testsupport::HeifCodec;
using testsupport::HeifOptions;
using testsupport::PixelAt;
using testsupport::Rgba;

}  // namespace

// The HEVC encoder that makes the test pictures keeps a few of its tables
// until the process ends; the decoder side is checked as usual.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}

namespace {

// Four flat quadrants, each a colour the codecs keep within a few levels.
Rgba Quadrants(int x, int y, int width, int height) {
    const bool left = x < width / 2;
    const bool top = y < height / 2;
    if (top) return left ? Rgba{230, 20, 20, 255} : Rgba{20, 230, 20, 128};
    return left ? Rgba{20, 20, 230, 255} : Rgba{240, 240, 240, 255};
}

void ExpectClose(const PaletteEntry& pixel, const Rgba& wanted, bool grey, bool alpha, const std::string& where) {
    const int tolerance = 12;
    if (grey) {
        EXPECT_EQ(pixel.red, pixel.green) << where;
        EXPECT_EQ(pixel.red, pixel.blue) << where;
    } else {
        EXPECT_NEAR(pixel.red, wanted.red, tolerance) << where;
        EXPECT_NEAR(pixel.green, wanted.green, tolerance) << where;
        EXPECT_NEAR(pixel.blue, wanted.blue, tolerance) << where;
    }
    EXPECT_NEAR(pixel.alpha, alpha ? wanted.alpha : 255, tolerance) << where;
}

}  // namespace

TEST(HEIFDecoder, DecodesHevcAndAv1InTheirColourFormsAndDepths) {
    const struct {
        const char* name;
        HeifOptions options;
    } cases[] = {
        {"hevc.heic", {HeifCodec::Hevc, false, false, 8, 1}},
        {"hevc_alpha.heic", {HeifCodec::Hevc, true, false, 8, 1}},
        {"hevc_10bit.heic", {HeifCodec::Hevc, false, false, 10, 1}},
        {"hevc_grey.heic", {HeifCodec::Hevc, false, true, 8, 1}},
        {"av1.avif", {HeifCodec::Av1, false, false, 8, 1}},
        {"av1_alpha_12bit.avif", {HeifCodec::Av1, true, false, 12, 1}},
        {"hevc_grey_10bit.heic", {HeifCodec::Hevc, false, true, 10, 1}},
    };
    constexpr int kWidth = 48, kHeight = 32;
    for (const auto& c : cases) {
        std::vector<std::uint8_t> file;
        ASSERT_NO_THROW(file = testsupport::EncodeHeif(
                            kWidth, kHeight, [](int x, int y) { return Quadrants(x, y, kWidth, kHeight); }, c.options))
            << c.name;
        testsupport::KeepAsFuzzSeed("heif", c.name, file);
        const auto bitmap = testsupport::DecodeToNewBitmap<CHEIFDecoder>(file, 0);
        ASSERT_EQ(bitmap->GetDepth(), 32) << c.name;
        ASSERT_EQ(bitmap->GetWidth(), kWidth) << c.name;
        ASSERT_EQ(bitmap->GetHeight(), kHeight) << c.name;
        EXPECT_EQ(bitmap->HasAlphaChannel(), c.options.alpha) << c.name;
        for (const auto& [x, y] : {std::pair{6, 6}, {40, 6}, {6, 26}, {40, 26}})
            ExpectClose(PixelAt(*bitmap, x, y), Quadrants(x, y, kWidth, kHeight), c.options.monochrome,
                        c.options.alpha, std::string(c.name) + " " + std::to_string(x) + "," + std::to_string(y));
    }
}

// The file asks for a quarter turn clockwise (orientation 6): the decoded
// picture is the upright one, with its sides swapped.
TEST(HEIFDecoder, AppliesTheTransformationsTheFileAsksFor) {
    constexpr int kWidth = 64, kHeight = 32;
    HeifOptions options;
    options.orientation = 6;
    const auto file = testsupport::EncodeHeif(
        kWidth, kHeight, [](int x, int y) { return Quadrants(x, y, kWidth, kHeight); }, options);
    const auto bitmap = testsupport::DecodeToNewBitmap<CHEIFDecoder>(file, 32);
    ASSERT_EQ(bitmap->GetWidth(), kHeight);
    ASSERT_EQ(bitmap->GetHeight(), kWidth);
    // The stored top-left quadrant ends up top right.
    ExpectClose(PixelAt(*bitmap, 26, 6), Quadrants(0, 0, kWidth, kHeight), false, false, "top right");
    ExpectClose(PixelAt(*bitmap, 6, 6), Quadrants(0, kHeight - 1, kWidth, kHeight), false, false, "top left");
}

TEST(HEIFDecoder, BrokenSequenceOnlyAndOversizedFilesEndInClearErrors) {
    const auto file = testsupport::EncodeHeif(
        40, 30, [](int x, int y) { return Quadrants(x, y, 40, 30); }, HeifOptions{});
    auto truncated = file;
    truncated.resize(file.size() * 2 / 3);
    testsupport::ByteWriter sequence;
    sequence.be32(24).text("ftypmsf1").be32(0).text("msf1iso8");
    sequence.be32(16).text("moov").be32(8).text("mvhd");
    DecodeLimits narrow;
    narrow.maxSide = 35;
    const struct {
        std::vector<std::uint8_t> bytes;
        DecodeLimits limits;
        int code;
        const char* message;
    } cases[] = {
        {{}, {}, ERR_FORMAT_UNKNOWN, nullptr},
        {truncated, {}, ERR_FORMAT_UNKNOWN, nullptr},
        {sequence.data(), {}, ERR_UNSUPPORTED_DATA,
         "Decoder error: HEIF decoder: The file holds only an image sequence, no still picture.\n"},
        {file, narrow, ERR_FORMAT_UNKNOWN, nullptr},
    };
    for (const auto& c : cases) {
        CHEIFDecoder decoder;
        decoder.SetLimits(c.limits);
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
