// The conversion run decodes its source once and scales it once per size; the
// databases must be exactly those of decoding and scaling for every bitmap
// object on its own.
#include "engine/conversion_job.h"
#include "engine/output_file.h"
#include "engine/palm_bitmap.h"
#include "engine/palm_database.h"
#include "engine/pixel_packer.h"
#include "engine/source_loader.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/image_writers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using testsupport::ByteWriter;
using testsupport::ReadFileBytes;
using testsupport::TemporaryFolder;
using testsupport::WriteFileBytes;

namespace {

constexpr std::uint32_t kFixedDate = 0xD0D0D0D0;

// A 24-bit bottom-up BMP with gradients and a little hashed noise, so that
// every depth, the dithering and the compression all have work to do. Its
// size makes the filter shrink one side and stretch the other.
std::vector<std::uint8_t> makeBmp(int width, int height) {
    return testsupport::MakeBmp24(width, height, [&](int x, int y) {
        const unsigned noise =
            (static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(y) * 19349663u) % 23;
        return testsupport::Bgr{static_cast<std::uint8_t>((x * 255) / width),
                                static_cast<std::uint8_t>((y * 255) / height),
                                static_cast<std::uint8_t>((((x + y) * 37) & 0xFF) ^ noise)};
    });
}

class RecordingNotifier : public UserNotifier {
public:
    void showMessage(const std::string& text, MessageIcon) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

// Writes a whole database with a fixed date through the given loader.
struct WrittenDatabase {
    bool complete = false;
    std::vector<std::uint8_t> bytes;
};

WrittenDatabase writeDatabase(const std::string& path, const ConversionSettings& settings,
                              BitmapLoader& loader) {
    WrittenDatabase result;
    {
        OutputFile file;
        EXPECT_TRUE(file.open(path));
        PalmDatabase::writeHeader(file, "Decode once", settings.destination, kFixedDate);
        result.complete = PalmDatabase::writeImages(file, settings, loader);
        file.close();
    }
    result.bytes = ReadFileBytes(path);
    return result;
}

// Hands the loads on, and writes down the size of every object loaded.
class SizeRecordingLoader : public BitmapLoader {
public:
    bool load(PalmBitmap& bitmap) override {
        sizes.push_back({bitmap.width(), bitmap.height()});
        return true;
    }
    std::vector<PictureSize> sizes;
};

// Stands in for a decoder that hands back a picture the resize filter refuses.
class EightBitDecodingLoader : public CachingSourceLoader {
public:
    using CachingSourceLoader::CachingSourceLoader;

protected:
    void decodeSource(const std::string&, CDIBBitmap& picture, CDecodedRowListener&) override {
        picture.Create(40, 30, 8, false);
    }
};

class DecodeOnceTest : public ::testing::Test {
protected:
    void SetUp() override {
        input = (folder / "source.bmp").string();
        WriteFileBytes(input, makeBmp(203, 97));
    }

    TemporaryFolder folder;
    std::string input;
};

}  // namespace

TEST_F(DecodeOnceTest, EveryPlanDepthDitherAndCompressionGivesTheBytesOfLoadingObjectByObject) {
    const std::string single = (folder / "single.pdb").string();
    const std::string cached = (folder / "cached.pdb").string();
    for (int choice = 0; choice < 4; ++choice) {
        for (int depth : {1, 2, 4, 8}) {
            for (int dither : {0, 4}) {
                for (int compression : {0, 1, 99}) {
                    SCOPED_TRACE(testing::Message() << "choice " << choice << " depth " << depth << " dither "
                                                    << dither << " compression " << compression);
                    ConversionSettings settings;
                    settings.destination = static_cast<DestinationOs>(choice);
                    settings.depth = static_cast<ColorDepth>(depth);
                    settings.compression = static_cast<CompressionMode>(compression);
                    RecordingNotifier notifier;

                    SourceLoader objectByObject(input, dither, notifier);
                    const WrittenDatabase expected = writeDatabase(single, settings, objectByObject);
                    CachingSourceLoader once(input, dither, notifier, plannedPictureSizes(settings));
                    const WrittenDatabase actual = writeDatabase(cached, settings, once);

                    ASSERT_TRUE(expected.complete);
                    ASSERT_TRUE(actual.complete);
                    ASSERT_EQ(actual.bytes, expected.bytes);
                    EXPECT_EQ(once.decodeCount(), 1);
                    EXPECT_TRUE(notifier.messages.empty());
                }
            }
        }
    }
}

TEST_F(DecodeOnceTest, ARunWritesTheObjectByObjectDatabaseApartFromTheDate) {
    for (int choice = 0; choice < 4; ++choice) {
        SCOPED_TRACE(testing::Message() << "choice " << choice);
        ConversionSettings settings;
        settings.destination = static_cast<DestinationOs>(choice);
        settings.depth = kEightBits;
        settings.compression = kCompressionMostEfficient;
        RecordingNotifier notifier;
        SourceLoader objectByObject(input, kDitherFloydSteinberg, notifier);
        std::vector<std::uint8_t> expected =
            writeDatabase((folder / "single.pdb").string(), settings, objectByObject).bytes;

        ConversionJob job;
        job.settings = settings;
        job.settings.reduction = ColorReduction::kDithering;
        job.inputPath = input;
        job.outputPath = (folder / "run.pdb").string();
        job.imageName = "Decode once";
        job.notifier = &notifier;
        ASSERT_TRUE(job.run());
        std::vector<std::uint8_t> actual = ReadFileBytes(job.outputPath);

        ASSERT_EQ(actual.size(), expected.size());
        // Bytes 36 to 43 hold the creation and modification dates.
        std::fill(actual.begin() + 36, actual.begin() + 44, 0);
        std::fill(expected.begin() + 36, expected.begin() + 44, 0);
        EXPECT_EQ(actual, expected);
        EXPECT_TRUE(notifier.messages.empty());
    }
}

TEST_F(DecodeOnceTest, LargePicturesScaledWhileTheyDecodeGiveTheBytesOfLoadingObjectByObject) {
    // Large enough for the rows to be resampled on helper threads while the
    // decoder is still at work; every way the decoders deliver rows.
    constexpr int kWidth = 1300;
    constexpr int kHeight = 900;
    const std::vector<std::uint8_t> rgb = testsupport::MakePhotoLikeRgb(kWidth, kHeight, 7);
    const auto jpeg = [&](bool progressive) {
        testsupport::JpegPicture picture;
        picture.width = kWidth;
        picture.height = kHeight;
        picture.samples = rgb;
        picture.progressive = progressive;
        return testsupport::EncodeJpeg(picture);
    };
    const auto png = [&](bool interlaced) {
        testsupport::PngPicture picture;
        picture.width = kWidth;
        picture.height = kHeight;
        picture.colorType = 2;  // RGB
        picture.interlaced = interlaced;
        picture.samples.assign(rgb.begin(), rgb.end());
        return testsupport::EncodePng(picture);
    };
    const std::pair<std::string, std::vector<std::uint8_t>> files[] = {{"baseline.jpg", jpeg(false)},
                                                                       {"progressive.jpg", jpeg(true)},
                                                                       {"plain.png", png(false)},
                                                                       {"interlaced.png", png(true)}};
    for (const auto& [name, bytes] : files) {
        const std::string photo = (folder / name).string();
        WriteFileBytes(photo, bytes);
        for (int choice : {kPalmOs5HighRes, kPalmOs3To5Combined}) {
            SCOPED_TRACE(testing::Message() << name << " choice " << choice);
            ConversionSettings settings{.compression = kCompressionNone};
            settings.destination = static_cast<DestinationOs>(choice);
            settings.depth = kEightBits;
            RecordingNotifier notifier;
            SourceLoader objectByObject(photo, kDitherFloydSteinberg, notifier);
            const WrittenDatabase expected =
                writeDatabase((folder / "single.pdb").string(), settings, objectByObject);
            CachingSourceLoader once(photo, kDitherFloydSteinberg, notifier, plannedPictureSizes(settings));
            const WrittenDatabase actual = writeDatabase((folder / "cached.pdb").string(), settings, once);
            ASSERT_TRUE(actual.complete);
            EXPECT_EQ(actual.bytes, expected.bytes);
            EXPECT_TRUE(notifier.messages.empty());
        }
    }
}

TEST(PlannedPictureSizes, AreTheSizesEveryPlanLoadsInTheOrderItLoadsThem) {
    for (int choice = 0; choice < 4; ++choice) {
        for (int depth : {1, 2, 4, 8}) {
            SCOPED_TRACE(testing::Message() << "choice " << choice << " depth " << depth);
            ConversionSettings settings{.compression = kCompressionNone};
            settings.destination = static_cast<DestinationOs>(choice);
            settings.depth = static_cast<ColorDepth>(depth);
            SizeRecordingLoader loader;
            TemporaryFolder folder;
            OutputFile file;
            ASSERT_TRUE(file.open((folder / "plan.pdb").string()));
            ASSERT_TRUE(PalmDatabase::writeImages(file, settings, loader));
            file.close();

            std::vector<PictureSize> firstUses;
            for (const PictureSize& size : loader.sizes)
                if (std::find(firstUses.begin(), firstUses.end(), size) == firstUses.end())
                    firstUses.push_back(size);
            EXPECT_EQ(firstUses, plannedPictureSizes(settings));
        }
    }
    ConversionSettings unknown;
    unknown.destination = static_cast<DestinationOs>(4);
    EXPECT_TRUE(plannedPictureSizes(unknown).empty());
}

TEST_F(DecodeOnceTest, AFailedDecodeIsShownOnceAndStopsEveryPlan) {
    const std::string missing = (folder / "missing.bmp").string();
    for (int choice = 0; choice < 4; ++choice) {
        SCOPED_TRACE(testing::Message() << "choice " << choice);
        ConversionSettings settings{.compression = kCompressionNone};
        settings.destination = static_cast<DestinationOs>(choice);
        RecordingNotifier expectedMessages;
        SourceLoader objectByObject(missing, 4, expectedMessages);
        const WrittenDatabase expected =
            writeDatabase((folder / "single.pdb").string(), settings, objectByObject);

        RecordingNotifier messages;
        CachingSourceLoader once(missing, 4, messages, plannedPictureSizes(settings));
        const WrittenDatabase actual = writeDatabase((folder / "cached.pdb").string(), settings, once);

        EXPECT_FALSE(actual.complete);
        EXPECT_EQ(actual.bytes, expected.bytes);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages, expectedMessages.messages);
        EXPECT_EQ(messages.messages[0],
                  "Error 4 decoding " + missing + ": Decoder error: Opening " + missing + " failed\n");
        // Later loads neither decode again nor say it twice.
        PalmBitmapV2 another(8, 160, 110, true);
        EXPECT_FALSE(once.load(another));
        EXPECT_EQ(once.decodeCount(), 1);
        EXPECT_EQ(messages.messages.size(), 1u);
    }
}

TEST_F(DecodeOnceTest, AFailedResizeIsShownOnceAndStopsEveryPlan) {
    for (int choice = 0; choice < 4; ++choice) {
        SCOPED_TRACE(testing::Message() << "choice " << choice);
        ConversionSettings settings{.compression = kCompressionNone};
        settings.destination = static_cast<DestinationOs>(choice);
        RecordingNotifier messages;
        EightBitDecodingLoader once(input, 4, messages, plannedPictureSizes(settings));
        const WrittenDatabase written = writeDatabase((folder / "cached.pdb").string(), settings, once);

        EXPECT_FALSE(written.complete);
        // Nothing behind the header and the resource list.
        EXPECT_EQ(written.bytes.size(), PalmDatabase::firstResourceOffset(choice));
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0], "Error " + std::to_string(ERR_UNSUPPORTED_DATA) + " resizing " +
                                            input + ": Resize filter: Only 32-bit bitmaps can be resized.");
        EXPECT_EQ(once.decodeCount(), 1);
    }
}

TEST_F(DecodeOnceTest, ObjectsOfOneSizeEachDitherTheirOwnCopy) {
    RecordingNotifier messages;
    CachingSourceLoader once(input, 4, messages, {{160, 110}});
    PalmBitmapV2 first(8, 160, 110, false);
    PalmBitmapV2 second(8, 160, 110, true);
    PalmBitmapV2 fromFile(8, 160, 110, true);
    ASSERT_TRUE(once.load(first));
    ASSERT_TRUE(once.load(second));
    ASSERT_TRUE(fromFile.loadFromFile(input, 4, messages));
    EXPECT_TRUE(std::ranges::equal(first.pixels(), fromFile.pixels()));
    EXPECT_TRUE(std::ranges::equal(second.pixels(), fromFile.pixels()));
    EXPECT_EQ(once.decodeCount(), 1);
}

TEST_F(DecodeOnceTest, AnUnplannedSizeIsDecodedAgainAndStillRight) {
    RecordingNotifier messages;
    CachingSourceLoader once(input, 0, messages, {{160, 110}});
    PalmBitmapV2 planned(4, 160, 110, false);
    PalmBitmapV3 unplanned(4, 320, 220, PalmBitmapV3::kDoubleDensity);
    PalmBitmapV3 fromFile(4, 320, 220, PalmBitmapV3::kDoubleDensity);
    ASSERT_TRUE(once.load(planned));
    ASSERT_TRUE(once.load(unplanned));
    ASSERT_TRUE(fromFile.loadFromFile(input, 0, messages));
    EXPECT_TRUE(std::ranges::equal(unplanned.pixels(), fromFile.pixels()));
    EXPECT_EQ(once.decodeCount(), 2);
    EXPECT_TRUE(messages.messages.empty());
}
