#include "imagelib/decoders/jpeg_decoder.h"

#include "imagelib/image_bitmap.h"
#include "imagelib/image_source.h"
#include "imagelib/limits/work_budget.h"
#include "imagelib/resample/tent_resampler.h"
#include "imagelib/text_exception.h"
#include "support/color_profiles.h"
#include "support/image_writers.h"
#include "support/modern_writers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <cstdio>  // jpeglib.h needs FILE

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

using testsupport::DecodedJpeg;
using testsupport::JpegPicture;

JpegPicture ColorPicture(int width, int height, bool subsample, bool progressive = false) {
    JpegPicture picture;
    picture.width = width;
    picture.height = height;
    picture.components = 3;
    picture.samples = testsupport::MakePhotoLikeRgb(width, height);
    picture.subsample = subsample;
    picture.progressive = progressive;
    return picture;
}

JpegPicture GreyPicture(int width, int height) {
    JpegPicture picture;
    picture.width = width;
    picture.height = height;
    picture.components = 1;
    const std::vector<std::uint8_t> rgb = testsupport::MakePhotoLikeRgb(width, height, 7);
    for (std::size_t i = 0; i < rgb.size(); i += 3) picture.samples.push_back(rgb[i + 1]);
    return picture;
}

void Decode(CJPEGDecoder& decoder, const std::vector<std::uint8_t>& stream, CImageBitmap& bitmap, int depth) {
    decoder.DecodeMemory(stream.data(), static_cast<std::int64_t>(stream.size()), bitmap, depth);
}

CTextException DecodeFailure(CJPEGDecoder& decoder, const std::vector<std::uint8_t>& stream) {
    CDIBBitmap bitmap;
    try {
        Decode(decoder, stream, bitmap, 32);
    } catch (const CTextException& error) {
        return error;
    }
    throw std::runtime_error("decoding did not fail");
}

// Compares a 32-bit bitmap with libjpeg's own RGB (or grey) reading of the
// stream; rows [firstRow, lastRow) only when given.
void ExpectSameAsReference(const CImageBitmap& bitmap, const DecodedJpeg& reference, int firstRow = 0,
                           int lastRow = -1) {
    ASSERT_EQ(bitmap.GetDepth(), 32);
    ASSERT_EQ(bitmap.GetWidth(), reference.width);
    ASSERT_EQ(bitmap.GetHeight(), reference.height);
    if (lastRow < 0) lastRow = reference.height;
    for (int y = firstRow; y < lastRow; ++y) {
        const std::uint8_t* row = bitmap.GetRows()[y];
        for (int x = 0; x < reference.width; ++x) {
            const std::uint8_t* want =
                &reference
                     .samples[static_cast<std::size_t>((y * reference.width + x) * reference.components)];
            const std::uint8_t red = want[0];
            const std::uint8_t green = reference.components == 3 ? want[1] : want[0];
            const std::uint8_t blue = reference.components == 3 ? want[2] : want[0];
            ASSERT_EQ(row[4 * x + 0], blue) << "at " << x << "," << y;
            ASSERT_EQ(row[4 * x + 1], green) << "at " << x << "," << y;
            ASSERT_EQ(row[4 * x + 2], red) << "at " << x << "," << y;
            ASSERT_EQ(row[4 * x + 3], 255) << "at " << x << "," << y;
        }
    }
}

// Mean absolute difference between the bitmap and the samples it was made from.
double MeanErrorAgainstSource(const CImageBitmap& bitmap, const JpegPicture& picture) {
    double total = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* got = bitmap.GetRows()[y] + 4 * x;
            const std::uint8_t* want =
                &picture.samples[static_cast<std::size_t>(3 * (y * picture.width + x))];
            total += std::abs(got[2] - want[0]) + std::abs(got[1] - want[1]) + std::abs(got[0] - want[2]);
        }
    }
    return total / (3.0 * picture.width * picture.height);
}

// ---------------------------------------------------------------------------

class ColorJpeg : public ::testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(ColorJpeg, DecodesTo32BitsLikeLibjpeg) {
    const auto [subsample, progressive] = GetParam();
    const JpegPicture picture = ColorPicture(83, 61, subsample, progressive);
    const std::vector<std::uint8_t> stream = testsupport::EncodeJpeg(picture);
    CJPEGDecoder decoder;
    CDIBBitmap bitmap;
    Decode(decoder, stream, bitmap, 0);
    EXPECT_FALSE(bitmap.HasAlphaChannel());
    ExpectSameAsReference(bitmap, testsupport::DecodeJpegReference(stream));
    EXPECT_LT(MeanErrorAgainstSource(bitmap, picture), 4.0);
}

INSTANTIATE_TEST_SUITE_P(Jpeg, ColorJpeg, ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Subsampled420" : "Full444") +
                                    (std::get<1>(info.param) ? "Progressive" : "Baseline");
                         });

TEST(JpegDecoder, ColorImageSettlesEveryRequestTo32Bits) {
    const std::vector<std::uint8_t> stream = testsupport::EncodeJpeg(ColorPicture(20, 10, true));
    CJPEGDecoder decoder;
    for (int depth : {0, 8, 32}) {
        CDIBBitmap bitmap;
        Decode(decoder, stream, bitmap, depth);
        EXPECT_EQ(bitmap.GetDepth(), 32) << "requested " << depth;
    }
}

TEST(JpegDecoder, RgbStoredWithoutColorTransformDecodes) {
    JpegPicture picture = ColorPicture(40, 24, false);
    picture.storeRgb = true;
    picture.quality = 95;
    const std::vector<std::uint8_t> stream = testsupport::EncodeJpeg(picture);
    CJPEGDecoder decoder;
    CDIBBitmap bitmap;
    Decode(decoder, stream, bitmap, 32);
    ExpectSameAsReference(bitmap, testsupport::DecodeJpegReference(stream));
    EXPECT_LT(MeanErrorAgainstSource(bitmap, picture), 4.0);
}

TEST(JpegDecoder, GreyImageGivesSamplesAt8BitsAndGreyPixelsAt32) {
    const JpegPicture picture = GreyPicture(37, 29);
    const std::vector<std::uint8_t> stream = testsupport::EncodeJpeg(picture);
    const DecodedJpeg reference = testsupport::DecodeJpegReference(stream);
    ASSERT_EQ(reference.components, 1);
    CJPEGDecoder decoder;

    CDIBBitmap eight;
    Decode(decoder, stream, eight, 0);
    ASSERT_EQ(eight.GetDepth(), 8);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            ASSERT_EQ(eight.GetRows()[y][x],
                      reference.samples[static_cast<std::size_t>(y * picture.width + x)]);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(eight.GetPalette()[i],
                  (PaletteEntry{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 255}));

    CDIBBitmap full;
    Decode(decoder, stream, full, 32);
    ExpectSameAsReference(full, reference);

    // Requests the rows could not hold settle to 8 bits.
    CDIBBitmap odd;
    Decode(decoder, stream, odd, 24);
    EXPECT_EQ(odd.GetDepth(), 8);
}

// Four flat 16 x 16 blocks of known ink, stored as Photoshop stores it:
// 255 means no ink.
JpegPicture InkBlocks(bool ycck) {
    const std::uint8_t inks[4][4] = {
        {0, 0, 0, 0},       // no ink: white
        {255, 0, 0, 0},     // full cyan: red 0
        {0, 128, 255, 0},   // half magenta, full yellow
        {30, 60, 90, 200},  // some of everything with black
    };
    JpegPicture picture;
    picture.width = 32;
    picture.height = 32;
    picture.components = 4;
    picture.quality = 100;
    picture.ycck = ycck;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            for (int c = 0; c < 4; ++c)
                picture.samples.push_back(static_cast<std::uint8_t>(255 - inks[(y / 16) * 2 + x / 16][c]));
    return picture;
}

TEST(JpegDecoder, AdobeCmykAndYcckAreConvertedToRgb) {
    // red = (255 - cyan) * (255 - black) / 255, and so on.
    const int expected[4][3] = {{255, 255, 255}, {0, 255, 255}, {255, 127, 0}, {49, 42, 36}};
    for (bool ycck : {false, true}) {
        SCOPED_TRACE(ycck ? "YCCK" : "CMYK");
        CJPEGDecoder decoder;
        CDIBBitmap bitmap;
        Decode(decoder, testsupport::EncodeJpeg(InkBlocks(ycck)), bitmap, 0);
        ASSERT_EQ(bitmap.GetDepth(), 32);
        for (int block = 0; block < 4; ++block) {
            const int x = (block % 2) * 16 + 8;
            const int y = (block / 2) * 16 + 8;
            const std::uint8_t* pixel = bitmap.GetRows()[y] + 4 * x;
            EXPECT_NEAR(pixel[2], expected[block][0], 3) << "block " << block;
            EXPECT_NEAR(pixel[1], expected[block][1], 3) << "block " << block;
            EXPECT_NEAR(pixel[0], expected[block][2], 3) << "block " << block;
            EXPECT_EQ(pixel[3], 255);
        }
    }
}

TEST(JpegDecoder, TruncatedStreamDecodesWithAWarning) {
    const JpegPicture picture = ColorPicture(64, 256, true);
    const std::vector<std::uint8_t> stream = testsupport::EncodeJpeg(picture);
    const std::vector<std::uint8_t> half(stream.begin(),
                                         stream.begin() + static_cast<std::ptrdiff_t>(stream.size() / 2));
    CJPEGDecoder decoder;
    CDIBBitmap bitmap;
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(Decode(decoder, half, bitmap, 0));
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_NE(warnings.find("Premature end of JPEG file"), std::string::npos) << warnings;
    // The rows before the cut are those of the whole stream.
    ExpectSameAsReference(bitmap, testsupport::DecodeJpegReference(stream), 0, 16);
}

TEST(JpegDecoder, FailedStreamLeavesTheDecoderReadyForTheNext) {
    const std::vector<std::uint8_t> good = testsupport::EncodeJpeg(ColorPicture(30, 20, true));
    const DecodedJpeg reference = testsupport::DecodeJpegReference(good);
    CJPEGDecoder decoder;

    const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    CTextException error = DecodeFailure(decoder, png);
    EXPECT_EQ(error.GetCode(), ERR_FORMAT_NOT_COMPILED);
    EXPECT_STREQ(error.GetMessage(), "Decoder error: Not a JPEG file: starts with 0x89 0x50\n\n");
    CDIBBitmap first;
    Decode(decoder, good, first, 0);
    ExpectSameAsReference(first, reference);

    // A frame header with no components fails inside the header.
    std::vector<std::uint8_t> badFrame = good;
    for (std::size_t i = 2; i + 9 < badFrame.size(); ++i) {
        if (badFrame[i] == 0xFF && badFrame[i + 1] == 0xC0) {
            badFrame[i + 9] = 0;
            break;
        }
    }
    error = DecodeFailure(decoder, badFrame);
    EXPECT_EQ(error.GetCode(), ERR_FORMAT_NOT_COMPILED);
    EXPECT_EQ(std::string(error.GetMessage()).rfind("Decoder error: ", 0), 0u) << error.GetMessage();
    CDIBBitmap second;
    Decode(decoder, good, second, 0);
    ExpectSameAsReference(second, reference);

    // Nothing at all.
    error = DecodeFailure(decoder, {});
    EXPECT_EQ(error.GetCode(), ERR_FORMAT_NOT_COMPILED);
    CDIBBitmap third;
    Decode(decoder, good, third, 0);
    ExpectSameAsReference(third, reference);
}

// The offset of the given marker's segment, searched from the end.
std::size_t FindLastMarker(const std::vector<std::uint8_t>& stream, std::uint8_t marker) {
    for (std::size_t i = stream.size() - 2; i > 0; --i)
        if (stream[i] == 0xFF && stream[i + 1] == marker) return i;
    throw std::runtime_error("marker not found");
}

TEST(JpegDecoder, RefusesAbsurdSizesBeforeAllocating) {
    std::vector<std::uint8_t> stream = testsupport::EncodeJpeg(ColorPicture(16, 16, true, true));
    const std::size_t frame = FindLastMarker(stream, 0xC2);
    for (std::size_t i : {frame + 5, frame + 7}) {
        stream[i] = 0xFD;
        stream[i + 1] = 0xE8;  // 65000
    }
    CJPEGDecoder decoder;
    const CTextException error = DecodeFailure(decoder, stream);
    EXPECT_EQ(error.GetCode(), ERR_NO_MEMORY);
    EXPECT_STREQ(error.GetMessage(), "Out of memory creating bitmap.");
}

TEST(JpegDecoder, RefusesStreamsWithThousandsOfScans) {
    // The last scan again and again: libjpeg only warns about each repeat.
    const std::vector<std::uint8_t> stream = testsupport::EncodeJpeg(ColorPicture(16, 16, true, true));
    const std::size_t lastScan = FindLastMarker(stream, 0xDA);
    std::vector<std::uint8_t> repeated(stream.begin(), stream.end() - 2);
    for (int i = 0; i < 1100; ++i)
        repeated.insert(repeated.end(), stream.begin() + static_cast<std::ptrdiff_t>(lastScan),
                        stream.end() - 2);
    repeated.push_back(0xFF);
    repeated.push_back(0xD9);
    CJPEGDecoder decoder;
    testing::internal::CaptureStderr();
    const CTextException error = DecodeFailure(decoder, repeated);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(error.GetCode(), ERR_FORMAT_NOT_COMPILED);
    EXPECT_STREQ(error.GetMessage(), "Decoder error: JPEG image has more than 1000 scans\n\n");
}

TEST(JpegDecoder, EmbeddedStreamIsReadFromTheSourcesPosition) {
    const std::vector<std::uint8_t> stream = testsupport::EncodeJpeg(ColorPicture(48, 256, true));
    const DecodedJpeg reference = testsupport::DecodeJpegReference(stream);
    std::vector<std::uint8_t> picture(100, 0xAB);
    picture.insert(picture.end(), stream.begin(), stream.end());
    CJPEGDecoder decoder;

    CMemorySource whole;
    whole.Open(picture.data(), static_cast<std::int64_t>(picture.size()));
    whole.ReadBytes(100);
    CDIBBitmap bitmap;
    decoder.DecodeSource(whole, bitmap, 0);
    ExpectSameAsReference(bitmap, reference);

    // Only the source's own bytes are used, even where more follow in memory.
    CMemorySource cut;
    cut.Open(picture.data(), static_cast<std::int64_t>(100 + stream.size() / 2));
    cut.ReadBytes(100);
    testing::internal::CaptureStderr();
    CDIBBitmap partial;
    decoder.DecodeSource(cut, partial, 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Premature end of JPEG file"), std::string::npos);
    ExpectSameAsReference(partial, reference, 0, 8);
}

class RecordingSink : public CProgressSink {
public:
    void OnProgress(double fraction) override { fractions.push_back(fraction); }
    std::vector<double> fractions;
};

class ThrowingSink : public CProgressSink {
public:
    void OnProgress(double) override {
        if (++calls == 3) throw CTextException(ERR_UNSUPPORTED_DATA, "stopped");
    }
    int calls = 0;
};

TEST(JpegDecoder, ProgressRisesOverAProgressiveImagesPasses) {
    testsupport::TemporaryFolder folder;
    testsupport::WriteFileBytes(folder / "photo.jpg",
                                testsupport::EncodeJpeg(ColorPicture(256, 256, true, true)));
    RecordingSink sink;
    CJPEGDecoder decoder;
    CDIBBitmap bitmap;
    decoder.DecodeFile((folder / "photo.jpg").string(), bitmap, 32, &sink);
    ASSERT_GE(sink.fractions.size(), 10u);
    EXPECT_TRUE(std::is_sorted(sink.fractions.begin(), sink.fractions.end()));
    EXPECT_GT(sink.fractions.front(), 0.0);
    EXPECT_LT(sink.fractions.front(), 0.2);
    EXPECT_EQ(sink.fractions.back(), 1.0);
    // A value near the middle: the passes are reported as they go.
    EXPECT_TRUE(std::any_of(sink.fractions.begin(), sink.fractions.end(),
                            [](double f) { return f > 0.3 && f < 0.7; }));
}

TEST(JpegDecoder, ExceptionFromTheProgressSinkPassesThroughAndTheDecoderRecovers) {
    testsupport::TemporaryFolder folder;
    const std::vector<std::uint8_t> stream = testsupport::EncodeJpeg(ColorPicture(128, 128, true, true));
    testsupport::WriteFileBytes(folder / "photo.jpg", stream);
    ThrowingSink sink;
    CJPEGDecoder decoder;
    CDIBBitmap bitmap;
    try {
        decoder.DecodeFile((folder / "photo.jpg").string(), bitmap, 32, &sink);
        FAIL() << "the sink's exception was swallowed";
    } catch (const CTextException& error) {
        EXPECT_EQ(error.GetCode(), ERR_UNSUPPORTED_DATA);
        EXPECT_STREQ(error.GetMessage(), "stopped");
    }
    CDIBBitmap again;
    Decode(decoder, stream, again, 32);
    ExpectSameAsReference(again, testsupport::DecodeJpegReference(stream));
}

}  // namespace

namespace {

// An APP2 marker: the ICC tag, sequence number and count, then the payload.
struct App2 {
    int sequence = 0;  // -1: not an ICC chunk, -2: shorter than the tag
    int count = 0;
    std::size_t from = 0, to = 0;  // of the profile
};

std::vector<std::uint8_t> WithApp2Markers(const std::vector<std::uint8_t>& jpeg,
                                          const std::vector<App2>& markers,
                                          const std::vector<std::uint8_t>& profile) {
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    for (const App2& marker : markers) {
        std::vector<std::uint8_t> body;
        if (marker.sequence == -2) {
            body.assign({'I', 'C', 'C'});
        } else {
            const char* tag = marker.sequence == -1 ? "XMP_PROFILE" : "ICC_PROFILE";
            body.assign(tag, tag + 12);
            body.push_back(static_cast<std::uint8_t>(std::max(marker.sequence, 0)));
            body.push_back(static_cast<std::uint8_t>(marker.count));
            body.insert(body.end(), profile.begin() + static_cast<std::ptrdiff_t>(marker.from),
                        profile.begin() + static_cast<std::ptrdiff_t>(marker.to));
        }
        const std::size_t length = body.size() + 2;
        out.insert(out.end(),
                   {0xFF, 0xE2, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
        out.insert(out.end(), body.begin(), body.end());
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// libjpeg's own assembly of the saved markers, to hold ours against.
bool LibjpegAssemblesProfile(const std::vector<std::uint8_t>& stream,
                             const std::vector<std::uint8_t>& profile) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    errors.emit_message = [](j_common_ptr, int) {};
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, stream.data(), static_cast<unsigned long>(stream.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    JOCTET* assembled = nullptr;
    unsigned length = 0;
    const bool read = jpeg_read_icc_profile(&info, &assembled, &length) != 0;
    const bool same = read && std::vector<std::uint8_t>(assembled, assembled + length) == profile;
    std::free(assembled);
    jpeg_destroy_decompress(&info);
    return same;
}

}  // namespace

TEST(JpegDecoder, AssemblesProfileChunksAsLibjpegDoes) {
    const std::vector<std::uint8_t> profile = testsupport::DisplayP3Profile();
    const std::size_t third = profile.size() / 3, end = profile.size();
    const App2 first{1, 3, 0, third}, second{2, 3, third, 2 * third}, last{3, 3, 2 * third, end};
    const auto jpeg = testsupport::EncodeJpeg(ColorPicture(16, 16, true));
    enum Outcome { kUsed, kUnreadable, kNone };
    const struct {
        const char* name;
        std::vector<App2> markers;
        Outcome outcome;
    } cases[] = {
        {"in order", {first, second, last}, kUsed},
        {"reversed", {last, second, first}, kUsed},
        {"among other APP2 markers", {{-1, 0, 0, 9}, first, {-2}, second, last, {-1, 0, 0, 0}}, kUsed},
        {"with an empty chunk",
         {{1, 4, 0, 0}, {2, 4, 0, third}, {3, 4, third, 2 * third}, {4, 4, 2 * third, end}},
         kUsed},
        {"one missing", {first, last}, kUnreadable},
        {"one twice", {first, second, second, last}, kUnreadable},
        {"counts differ", {first, {2, 4, third, 2 * third}, last}, kUnreadable},
        {"sequence number 0", {{0, 3, 0, third}, second, last}, kUnreadable},
        {"sequence number past the count", {first, second, {4, 3, 2 * third, end}}, kUnreadable},
        {"only empty chunks", {{1, 1, 0, 0}}, kNone},
    };
    for (const auto& c : cases) {
        const auto stream = WithApp2Markers(jpeg, c.markers, profile);
        if (c.outcome != kNone) {
            EXPECT_EQ(LibjpegAssemblesProfile(stream, profile), c.outcome == kUsed) << c.name;
        }
        CJPEGDecoder decoder;
        CDIBBitmap bitmap;
        testing::internal::CaptureStderr();
        Decode(decoder, stream, bitmap, 32);
        testing::internal::GetCapturedStderr();
        const std::string note = decoder.GetColorNote();
        if (c.outcome == kUsed)
            EXPECT_TRUE(!note.empty() && note.find("ignored") == std::string::npos) << c.name << ": " << note;
        else
            EXPECT_EQ(note, c.outcome == kNone ? "" : "colour profile ignored: it could not be read")
                << c.name;
    }
}

// Small APP2 markers by the thousand, at one size and ten times it: the
// work grows with the file, and a budget too small for them refuses it.
TEST(JpegDecoder, ManyMarkersCostWorkInProportionToTheFile) {
    const auto jpeg = testsupport::EncodeJpeg(ColorPicture(16, 16, true));
    DecodeLimits noFloor;
    noFloor.workUnitsFloor = 0;
    DecodeLimits tight = noFloor;
    tight.workUnitsPerFileByte = 2;
    double perByte[2] = {0, 0};
    for (const int scale : {1, 10}) {
        const auto stream = WithApp2Markers(jpeg, std::vector<App2>(1000 * scale, App2{-2}), {});
        if (scale == 1) testsupport::KeepAsFuzzSeed("jpeg", "many_app2_markers.jpg", stream);
        CJPEGDecoder decoder;
        decoder.SetLimits(noFloor);
        CDIBBitmap bitmap;
        Decode(decoder, stream, bitmap, 32);
        EXPECT_GT(decoder.GetWorkSpent(), 0u);
        EXPECT_LE(decoder.GetWorkSpent(), WorkBudget::ForFile(stream.size(), 0, noFloor).Allowance());
        perByte[scale == 1 ? 0 : 1] =
            static_cast<double>(decoder.GetWorkSpent()) / static_cast<double>(stream.size());
        decoder.SetLimits(tight);
        EXPECT_STREQ(DecodeFailure(decoder, stream).GetMessage(),
                     "Decoder error: JPEG image has more markers than its size allows\n\n");
    }
    EXPECT_LE(perByte[1], 1.1 * perByte[0]);
}

TEST(JpegDecoder, ShrinksWhileDecodingOnlyAsFarAsTheFineScalingTakes) {
    // libjpeg's eighths up to a half, the smallest that keeps six pixels of
    // the part seen for every pixel of every target.
    using resample::ResampleKernel;
    const std::vector<std::pair<int, int>> small = {{40, 30}};
    const std::vector<std::pair<int, int>> both = {{40, 30}, {80, 60}};
    const struct {
        int width, height;
        std::vector<std::pair<int, int>> targets;
        ResampleKernel kernel;
        int orientation;
        PictureFit fit;
        int decodedWidth, decodedHeight;
    } cases[] = {
        {500, 376, small, ResampleKernel::kLanczosInLight, 1, PictureFit::Stretch, 250, 188},
        {500, 376, both, ResampleKernel::kLanczosInLight, 1, PictureFit::Stretch, 500, 376},
        {1000, 752, both, ResampleKernel::kLanczosInLight, 1, PictureFit::Stretch, 500, 376},
        {2000, 1504, small, ResampleKernel::kLanczosInLight, 1, PictureFit::Stretch, 250, 188},
        // The classic scaling's bytes are those of the picture as stored.
        {2000, 1504, small, ResampleKernel::kTent, 1, PictureFit::Stretch, 2000, 1504},
        {2000, 1504, small, ResampleKernel::kAreaInLight, 1, PictureFit::Stretch, 2000, 1504},
        // Turned, the picture's height becomes the targets' width.
        {376, 500, small, ResampleKernel::kLanczosInLight, 6, PictureFit::Stretch, 188, 250},
        {752, 1000, small, ResampleKernel::kLanczosInLight, 1, PictureFit::Stretch, 282, 375},
        // 6/8 would do, but costs more than the picture as stored.
        {376, 500, small, ResampleKernel::kLanczosInLight, 1, PictureFit::Stretch, 376, 500},
        // Padded, the picture fills only a band of the target.
        {1000, 300, small, ResampleKernel::kLanczosInLight, 1, PictureFit::Pad, 250, 75},
        {1000, 300, small, ResampleKernel::kLanczosInLight, 1, PictureFit::Stretch, 1000, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << " to " << c.targets.size() << " targets, kernel "
                     << static_cast<int>(c.kernel) << ", orientation " << c.orientation << ", fit "
                     << static_cast<int>(c.fit));
        const auto stream = testsupport::EncodeJpeg(ColorPicture(c.width, c.height, true));
        std::vector<CMemoryBitmap> scaled(c.targets.size());
        std::vector<ResizeTarget> targets;
        for (std::size_t i = 0; i < c.targets.size(); ++i)
            targets.push_back({c.targets[i].first, c.targets[i].second, &scaled[i]});
        CTentResampler resampler(targets, 1);
        resampler.SetKernel(c.kernel);
        resampler.SetOrientation(c.orientation);
        resampler.SetFraming(PictureFraming{c.fit});
        CJPEGDecoder decoder;
        decoder.SetRowListener(&resampler);
        CDIBBitmap bitmap;
        Decode(decoder, stream, bitmap, 32);
        EXPECT_EQ(bitmap.GetWidth(), c.decodedWidth);
        EXPECT_EQ(bitmap.GetHeight(), c.decodedHeight);
        resampler.Finish(bitmap);
        for (std::size_t i = 0; i < c.targets.size(); ++i) {
            EXPECT_EQ(scaled[i].GetWidth(), c.targets[i].first);
            EXPECT_EQ(scaled[i].GetHeight(), c.targets[i].second);
        }
    }
}
