#include "engine/conversion_job.h"
#include "engine/palm_database_reader.h"
#include "support/color_profiles.h"
#include "support/image_writers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <thread>

using testsupport::ByteWriter;
using testsupport::ReadFileBytes;
using testsupport::TemporaryFolder;
using testsupport::WriteFileBytes;

namespace {

// A 24-bit bottom-up BMP with a colourful pattern, so every depth and the
// dithering have something to do.
std::vector<std::uint8_t> makeBmp(int width, int height) {
    return testsupport::MakeBmp24(width, height, [&](int x, int y) {
        return testsupport::Bgr{static_cast<std::uint8_t>((x * 255) / width),
                                static_cast<std::uint8_t>((y * 255) / height),
                                static_cast<std::uint8_t>(((x + y) * 37) & 0xFF)};
    });
}

class RecordingFrontEnd : public UserNotifier, public ProgressLog {
public:
    void showMessage(const std::string& text, MessageIcon icon) override {
        messages.push_back(text);
        icons.push_back(icon);
    }
    void open(const std::string& text) override {
        caption = text;
        isOpen = true;
    }
    void appendLine(const std::string& text) override { lines.push_back(text); }
    void close() override { isOpen = false; }

    std::vector<std::string> messages;
    std::vector<MessageIcon> icons;
    std::vector<std::string> lines;
    std::string caption;
    bool isOpen = false;
};

class ConversionJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        input = (folder / "picture.bmp").string();
        WriteFileBytes(input, makeBmp(37, 23));
        job.inputPath = input;
        job.outputPath = (folder / "out.pdb").string();
        job.imageName = "Harbour";
        job.notifier = &frontEnd;
        job.progress = &frontEnd;
    }

    // Files in the folder other than the input: what a run left behind.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            if (entry.path().filename() != "picture.bmp") names.push_back(entry.path().filename().string());
        return names;
    }

    TemporaryFolder folder;
    std::string input;
    ConversionJob job;
    RecordingFrontEnd frontEnd;
};

std::vector<std::uint8_t> withoutDates(std::vector<std::uint8_t> bytes) {
    std::fill(bytes.begin() + 36, bytes.begin() + 44, 0);
    return bytes;
}

}  // namespace

TEST_F(ConversionJobTest, EveryChoiceDepthDitherAndCompressionGivesAConsistentDatabase) {
    for (int choice = 0; choice < 4; ++choice) {
        for (int depth : {1, 2, 4, 8}) {
            for (ColorReduction reduction : {ColorReduction::kRaw, ColorReduction::kDithering}) {
                for (int compression : {0, 1, 99}) {
                    SCOPED_TRACE(testing::Message()
                                 << "choice " << choice << " depth " << depth << " dither "
                                 << static_cast<int>(reduction) << " compression " << compression);
                    job.settings.destination = static_cast<DestinationOs>(choice);
                    job.settings.depth = static_cast<ColorDepth>(depth);
                    job.settings.reduction = reduction;
                    job.settings.compression = static_cast<CompressionMode>(compression);
                    ASSERT_TRUE(job.run());
                    const auto bytes = ReadFileBytes(job.outputPath);
                    const PalmDatabaseRecord database = readPalmDatabase(bytes);
                    EXPECT_EQ(database.name, "Harbour");
                    EXPECT_EQ(database.type, "pict");
                    EXPECT_EQ(database.creator, "Vxmr");
                    ASSERT_EQ(database.resources.size(), choice < 2 ? 1u : 2u);
                    const auto& first = database.resources[0];
                    EXPECT_EQ(first.offset, choice < 2 ? 90u : 100u);
                    if (choice == 0 || choice == 3) {
                        EXPECT_EQ(first.type, "Tbmp");
                        EXPECT_EQ(first.id, 2400);
                        ASSERT_EQ(first.bitmaps.size(), depth == 1 ? 1u : 2u);
                        EXPECT_EQ(first.bitmaps.front().pixelSize, 1);
                        EXPECT_FALSE(first.bitmaps.front().littleEndian);
                    }
                    if (choice == 2) {
                        ASSERT_EQ(first.bitmaps.size(), 2u);
                        EXPECT_EQ(first.bitmaps[0].height, 55);
                        EXPECT_EQ(first.bitmaps[1].width, 320);
                        EXPECT_EQ(first.bitmaps[1].height, 110);
                        EXPECT_EQ(first.bitmaps[1].density, 144);
                        EXPECT_EQ(database.resources[1].id, 2701);
                    }
                    if (choice == 3) {
                        EXPECT_EQ(database.resources[1].type, "abmp");
                    }
                    for (const auto& resource : database.resources)
                        for (const auto& bitmap : resource.bitmaps) {
                            EXPECT_EQ(bitmap.compressed && compression == 0, false);
                            if (compression == 1) {
                                EXPECT_TRUE(bitmap.compressed);
                            }
                            EXPECT_EQ(bitmap.blockLength % 4, 0u);
                        }
                    // The last resource runs exactly to the end of the file.
                    const auto& last = database.resources.back();
                    const auto& lastBitmap = last.bitmaps.back();
                    EXPECT_EQ(lastBitmap.pixelSize, depth);
                    EXPECT_EQ(lastBitmap.offset + static_cast<std::size_t>(lastBitmap.headerSize) +
                                  lastBitmap.payloadLength,
                              bytes.size());
                }
            }
        }
    }
    EXPECT_TRUE(frontEnd.messages.empty());
}

TEST_F(ConversionJobTest, TheSamePictureGivesTheSameBytesApartFromTheDate) {
    job.settings.destination = kPalmOs3To5Combined;
    job.settings.reduction = ColorReduction::kDithering;
    job.settings.compression = kCompressionMostEfficient;
    ASSERT_TRUE(job.run());
    const auto first = ReadFileBytes(job.outputPath);
    ASSERT_TRUE(job.run());
    EXPECT_EQ(withoutDates(first), withoutDates(ReadFileBytes(job.outputPath)));
}

TEST_F(ConversionJobTest, ASuccessfulRunLogsFourLinesUnderItsCaption) {
    ASSERT_TRUE(job.run());
    EXPECT_EQ(frontEnd.caption, "Creating " + job.outputPath + "...");
    EXPECT_EQ(frontEnd.lines,
              (std::vector<std::string>{"Creating database file...", "Writing database header...",
                                        "Creating image...", "Closing database file..."}));
    EXPECT_FALSE(frontEnd.isOpen);
    EXPECT_EQ(leftovers(), std::vector<std::string>{"out.pdb"});
}

TEST_F(ConversionJobTest, TheLogNamesTheColorProfileItConvertsThrough) {
    testsupport::JpegPicture picture;
    picture.width = 37;
    picture.height = 23;
    picture.samples = testsupport::MakePhotoLikeRgb(37, 23);
    job.inputPath = (folder / "p3.jpg").string();
    WriteFileBytes(job.inputPath, testsupport::WithJpegProfile(testsupport::EncodeJpeg(picture),
                                                               testsupport::DisplayP3Profile()));
    for (const bool managed : {true, false}) {
        frontEnd.lines.clear();
        job.settings.colorManage = managed;
        ASSERT_TRUE(job.run());
        std::vector<std::string> expected{"Creating database file...", "Writing database header...",
                                          "Creating image...", "Closing database file..."};
        if (managed) expected.insert(expected.begin() + 3, "colour profile: Display P3 -> sRGB");
        EXPECT_EQ(frontEnd.lines, expected);
    }
}

TEST_F(ConversionJobTest, AWrittenDatabaseReplacesTheOldOneOnlyWhenCommitted) {
    const std::vector<std::uint8_t> old = testsupport::MinimalPalmDatabase();
    WriteFileBytes(job.outputPath, old);
    std::unique_ptr<PendingDatabase> database = job.write();
    ASSERT_NE(database, nullptr);
    // Written in full beside the old database, which is still there.
    EXPECT_EQ(ReadFileBytes(job.outputPath), old);
    EXPECT_EQ(leftovers().size(), 2u);
    EXPECT_TRUE(frontEnd.isOpen);

    // Committed on another thread, as a batch does.
    bool committed = false;
    std::thread([&] { committed = ConversionJob::commit(std::move(database)); }).join();
    EXPECT_TRUE(committed);
    EXPECT_EQ(leftovers(), std::vector<std::string>{"out.pdb"});
    EXPECT_EQ(readPalmDatabaseFile(job.outputPath).resources.size(), 2u);
    EXPECT_FALSE(frontEnd.isOpen);
    EXPECT_TRUE(frontEnd.messages.empty());

    // A written database that is dropped instead leaves the output alone.
    WriteFileBytes(job.outputPath, old);
    ASSERT_NE(job.write(), nullptr);
    EXPECT_EQ(ReadFileBytes(job.outputPath), old);
    EXPECT_EQ(leftovers(), std::vector<std::string>{"out.pdb"});
    EXPECT_FALSE(ConversionJob::commit(nullptr));
}

TEST_F(ConversionJobTest, AMissingInputShowsTheOpenErrorAndLeavesNoFile) {
    job.inputPath = (folder / "missing.bmp").string();
    EXPECT_FALSE(job.run());
    ASSERT_EQ(frontEnd.messages.size(), 1u);
    EXPECT_EQ(frontEnd.messages[0], "Error 4 decoding " + job.inputPath + ": Decoder error: Opening " +
                                        job.inputPath + " failed\n");
    EXPECT_EQ(frontEnd.icons[0], MessageIcon::Error);
    EXPECT_EQ(frontEnd.lines.back(), "Deleting database file due to errors during conversion...");
    EXPECT_TRUE(leftovers().empty());
    EXPECT_FALSE(frontEnd.isOpen);
}

TEST_F(ConversionJobTest, AnUnknownFileTypeKeepsAnExistingDatabase) {
    WriteFileBytes(input, std::vector<std::uint8_t>(100, 0x55));
    WriteFileBytes(job.outputPath, testsupport::MinimalPalmDatabase());
    job.settings.destination = kPalmOs3Or4;
    EXPECT_FALSE(job.run());
    ASSERT_EQ(frontEnd.messages.size(), 1u);
    EXPECT_EQ(frontEnd.messages[0], "Error 8 decoding " + input + ": Decoder error: Unknown file type.\n");
    EXPECT_EQ(ReadFileBytes(job.outputPath), testsupport::MinimalPalmDatabase());
    EXPECT_EQ(leftovers(), std::vector<std::string>{"out.pdb"});
}

TEST_F(ConversionJobTest, AnOutputThatCannotBeCreatedIsReported) {
    for (const std::string& path :
         {(folder / "no-such-folder" / "out.pdb").string(), folder.path().string(), std::string()}) {
        frontEnd = RecordingFrontEnd{};
        job.outputPath = path;
        EXPECT_FALSE(job.run());
        ASSERT_EQ(frontEnd.messages.size(), 1u);
        EXPECT_EQ(frontEnd.messages[0], "Output file " + path + " could not be created.");
        EXPECT_EQ(frontEnd.lines, std::vector<std::string>{"Creating database file..."});
        EXPECT_FALSE(frontEnd.isOpen);
    }
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(ConversionJobTest, AFullDiskRemovesThePartialFileAndKeepsTheOldOne) {
    WriteFileBytes(job.outputPath, testsupport::MinimalPalmDatabase());
    job.settings.destination = kPalmOs5HighRes;
    job.settings.compression = kCompressionNone;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Far less than the 40 kB the high-resolution database needs.
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool converted = job.run();
        const bool reported =
            frontEnd.messages.size() == 1 &&
            frontEnd.messages[0].rfind("Output file " + job.outputPath + " could not be written: ", 0) == 0;
        _exit(!converted && reported ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFileBytes(job.outputPath), testsupport::MinimalPalmDatabase());
    EXPECT_EQ(leftovers(), std::vector<std::string>{"out.pdb"});
}

TEST_F(ConversionJobTest, ChoiceTwoWritesTwoResourcesOfEqualLength) {
    job.settings.destination = kPalmOs5HighRes;
    job.settings.compression = kCompressionNone;
    ASSERT_TRUE(job.run());
    const auto database = readPalmDatabaseFile(job.outputPath);
    ASSERT_EQ(database.resources.size(), 2u);
    EXPECT_EQ(database.resources[0].length, database.resources[1].length);
}
