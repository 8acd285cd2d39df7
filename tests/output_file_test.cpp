#include "engine/output_file.h"
#include "engine/conversion_job.h"
#include "engine/picture_png_file.h"
#include "engine/temporary_file.h"
#include "imagelib/image_bitmap.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(OutputFile, WordsAndLongsFollowTheByteOrderFlag) {
    testsupport::TemporaryFolder folder;
    const auto path = folder / "order.bin";
    OutputFile file;
    ASSERT_TRUE(file.open(path.string()));
    file.writeByte(true, 0xAB);
    file.writeWord(false, 0x1234);
    file.writeWord(true, 0x1234);
    file.writeLong(false, 0x12345678);
    file.writeLong(true, 0x12345678);
    file.close();
    EXPECT_EQ(testsupport::ReadFileBytes(path),
              (Bytes{0xAB, 0x12, 0x34, 0x34, 0x12, 0x12, 0x34, 0x56, 0x78, 0x78, 0x56, 0x34, 0x12}));
}

TEST(OutputFile, FlagBitsRunFromBitSevenOrFromBitZero) {
    testsupport::TemporaryFolder folder;
    const auto path = folder / "flags.bin";
    OutputFile file;
    ASSERT_TRUE(file.open(path.string()));
    file.writeFlagBits(false, true, false, false, false, false, false, false, false);
    file.writeFlagBits(true, true, false, false, false, false, false, false, false);
    file.writeFlagBits(false, true, false, true, false, false, false, false, true);
    file.writeFlagBits(true, true, false, true, false, false, false, false, true);
    file.close();
    EXPECT_EQ(testsupport::ReadFileBytes(path), (Bytes{0x80, 0x01, 0xA1, 0x85}));
}

TEST(OutputFile, SeeksBackToPatchAndOnToTheEnd) {
    testsupport::TemporaryFolder folder;
    const auto path = folder / "patch.bin";
    testsupport::WriteFileBytes(path, Bytes(50, 0xEE));  // truncated by open
    OutputFile file;
    ASSERT_TRUE(file.open(path.string()));
    file.writeBytes(Bytes(10, 0));
    file.seek(2);
    file.writeWord(false, 0xBEEF);
    EXPECT_EQ(file.position(), 4u);
    file.seekToEnd();
    EXPECT_EQ(file.position(), 10u);
    file.writeByte(false, 1);
    file.close();
    EXPECT_EQ(testsupport::ReadFileBytes(path), (Bytes{0, 0, 0xBE, 0xEF, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_TRUE(OutputFile::remove(path.string()));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(OutputFile::remove(path.string()));
}

TEST(OutputFile, OpenFailureReportsTheSystemReason) {
    testsupport::TemporaryFolder folder;
    OutputFile file;
    EXPECT_FALSE(file.open((folder / "missing" / "x.pdb").string()));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.openErrorText(), "No such file or directory");
    EXPECT_THROW(file.writeByte(false, 0), OutputFileError);
}

TEST(OutputFile, FullDiskRaisesAnErrorNamingFileAndReason) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    OutputFile file;
    ASSERT_TRUE(file.open("/dev/full"));
    try {
        file.writeLong(false, 1);
        FAIL() << "the write to a full device succeeded";
    } catch (const OutputFileError& error) {
        EXPECT_EQ(error.systemError(), ENOSPC);
        EXPECT_EQ(error.path(), "/dev/full");
        EXPECT_STREQ(error.what(), "Error writing /dev/full: No space left on device");
    }
}

// Runs in a child process, so the size limit cannot hurt the test runner.
[[noreturn]] void WriteBeyondFileSizeLimit(const std::string& path) {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 100;
    setrlimit(RLIMIT_FSIZE, &limit);
    OutputFile file;
    if (!file.open(path)) std::_Exit(2);
    try {
        // Half of it fits: the short write is followed by the failing one.
        file.writeBytes(Bytes(200, 7));
    } catch (const OutputFileError& error) {
        std::_Exit(error.systemError() == EFBIG ? 0 : 3);
    }
    std::_Exit(4);
}

TEST(OutputFileDeathTest, FileSizeLimitRaisesAnErrorInsteadOfEndingTheProcess) {
    testsupport::TemporaryFolder folder;
    const auto path = folder / "limited.pdb";
    EXPECT_EXIT(WriteBeyondFileSizeLimit(path.string()), testing::ExitedWithCode(0), "");
    EXPECT_EQ(std::filesystem::file_size(path), 100u);
}

// Two files still being written and one renamed into place when a signal
// ends the program.
void EndBySignalWhileWriting(const std::filesystem::path& folder, int signalNumber) {
    const std::string done = createTemporaryFileBeside((folder / "done.pdb").string());
    if (!renameTemporaryFile(done, (folder / "done.pdb").string())) std::_Exit(3);
    if (createTemporaryFileBeside((folder / "a.pdb").string()).empty()) std::_Exit(3);
    if (createTemporaryFileBeside((folder / "b.png").string()).empty()) std::_Exit(3);
    std::raise(signalNumber);
    std::_Exit(4);
}

TEST(OutputFileDeathTest, EndingSignalsRemoveTheTemporaryFilesAndStillEndTheProgram) {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        testsupport::TemporaryFolder folder;
        EXPECT_EXIT(EndBySignalWhileWriting(folder.path(), signalNumber),
                    testing::KilledBySignal(signalNumber), "");
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"done.pdb"}) << "signal " << signalNumber;
    }
}

namespace fs = std::filesystem;

// Every message of a run, for the checks of what it said.
class RecordedMessages : public UserNotifier {
public:
    void showMessage(const std::string& text, MessageIcon) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// What is at a name: nothing, a link and where it leads, or a file's bytes.
std::string Snapshot(const fs::path& path) {
    const fs::file_status status = fs::symlink_status(path);
    if (fs::is_symlink(status)) return "link to " + fs::read_symlink(path).string();
    if (!fs::is_regular_file(status)) return "nothing";
    const Bytes bytes = testsupport::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

using testsupport::MinimalPalmDatabase;

const Bytes kPngStart{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0};

struct OutputCase {
    const char* what;
    // Puts what the case needs at the output's name; gives the name.
    std::function<std::string(const fs::path& folder, const fs::path& picture)> prepare;
    bool replaceExisting;
    bool writtenMeanwhile;  // by someone else, between writing and commit
    bool written;
    const char* message;                      // the start of the last message when not written
    Bytes meanwhile = MinimalPalmDatabase();  // what is written meanwhile
};

TEST(TemporaryFile, DatabaseTakesItsNameOnlyWhereItMay) {
    const auto named = [](std::size_t bytes, bool existing, const Bytes& content = MinimalPalmDatabase()) {
        return [bytes, existing, content](const fs::path& folder, const fs::path&) {
            const fs::path name = folder / (std::string(bytes - 4, 'n') + ".pdb");
            if (existing) testsupport::WriteFileBytes(name, content);
            return name.string();
        };
    };
    const auto linked = [](const char* target, bool hard) {
        return [target, hard](const fs::path& folder, const fs::path& picture) {
            if (hard) fs::create_hard_link(picture, folder / "out.pdb");
            if (!hard)
                fs::create_symlink(target != nullptr ? fs::path(target) : picture.filename(),
                                   folder / "out.pdb");
            return (folder / "out.pdb").string();
        };
    };
    const OutputCase cases[] = {
        {"a dangling link at the name", linked("nowhere", false), false, false, false, "is a symbolic link"},
        {"the picture's own path", [](const fs::path&, const fs::path& picture) { return picture.string(); },
         true, false, false, "Output file"},
        {"a hard link to the picture", linked(nullptr, true), true, false, false, "Output file"},
        {"a link to the picture", linked(nullptr, false), true, false, false, "Output file"},
        {"a name of 238 bytes", named(238, false), false, false, true, ""},
        {"a name of 255 bytes", named(255, false), false, false, true, ""},
        {"a name of 238 bytes replacing a file", named(238, true), true, false, true, ""},
        {"a name of 255 bytes replacing a file", named(255, true), true, false, true, ""},
        {"a database written meanwhile", named(7, false), false, true, false, "exists"},
        {"a database written meanwhile, replaced", named(7, false), true, true, true, ""},
        // Only a Palm database is ever replaced.
        {"a photo at the name", named(7, true, Bytes{0xFF, 0xD8, 0xFF}), true, false, false,
         "nnn.pdb exists and is not a Palm database, so it is not replaced."},
        {"a PNG at the name", named(7, true, kPngStart), true, false, false, "is not a Palm database"},
        {"a link to a database",
         [](const fs::path& folder, const fs::path&) {
             testsupport::WriteFileBytes(folder / "db.pdb", MinimalPalmDatabase());
             fs::create_symlink("db.pdb", folder / "out.pdb");
             return (folder / "out.pdb").string();
         },
         true, false, false, "out.pdb is a symbolic link, so it is not replaced."},
        {"a photo written meanwhile", named(7, false), true, true, false, "Output file",
         Bytes{0xFF, 0xD8, 0xFF}},
    };
    const Bytes pictureBytes = testsupport::MakeBmp24(8, 6, [](int x, int y) {
        return testsupport::Bgr{static_cast<std::uint8_t>(x * 30), static_cast<std::uint8_t>(y * 40), 99};
    });
    for (const OutputCase& test : cases) {
        SCOPED_TRACE(test.what);
        testsupport::TemporaryFolder folder;
        const fs::path picture = folder / "picture.bmp";
        testsupport::WriteFileBytes(picture, pictureBytes);
        RecordedMessages messages;
        ConversionJob job;
        job.inputPath = picture.string();
        job.outputPath = test.prepare(folder.path(), picture);
        job.imageName = "Picture";
        job.replaceExisting = test.replaceExisting;
        job.existingOutputMessage = "exists";
        job.notifier = &messages;

        const std::vector<std::string> before = FolderNames(folder.path());
        std::unique_ptr<PendingDatabase> database = job.write();
        if (test.writtenMeanwhile) testsupport::WriteFileBytes(job.outputPath, test.meanwhile);
        const std::string atTheName = Snapshot(job.outputPath);
        EXPECT_EQ(ConversionJob::commit(std::move(database)), test.written);

        EXPECT_EQ(testsupport::ReadFileBytes(picture), pictureBytes);
        if (test.written) {
            EXPECT_TRUE(messages.messages.empty());
            EXPECT_EQ(Snapshot(job.outputPath).substr(0, 8), "Picture" + std::string(1, '\0'));
        } else {
            const std::string last = messages.messages.empty() ? "" : messages.messages.back();
            EXPECT_NE(last.find(test.message), std::string::npos) << last;
            EXPECT_EQ(Snapshot(job.outputPath), atTheName);
        }
        // No temporary file is left, and nothing else appears.
        std::vector<std::string> expected = before;
        if (test.written || test.writtenMeanwhile)
            expected.push_back(fs::path(job.outputPath).filename().string());
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        EXPECT_EQ(FolderNames(folder.path()), expected);
    }
}

// What a stranger who may write the folder does the moment a temporary file
// appears: moves it away and puts a link to another file in its place.
fs::path g_victim;
void SwapTemporaryForLink(const std::string& temporaryPath) {
    fs::rename(temporaryPath, temporaryPath + ".moved");
    fs::create_symlink(g_victim, temporaryPath);
}

TEST(TemporaryFile, TemporarySwappedForALinkWritesNothingElsewhere) {
    CMemoryBitmap picture;
    picture.Create(3, 2, 32, false);
    const Bytes victimBytes{'m', 'i', 'n', 'e'};
    const struct {
        bool database;
        bool existingOutput;  // a file of the kind, replaced as --force asks
    } cases[] = {{true, false}, {true, true}, {false, false}, {false, true}};
    for (const auto& test : cases) {
        SCOPED_TRACE(std::string(test.database ? "database" : "PNG") +
                     (test.existingOutput ? " over a file" : ""));
        testsupport::TemporaryFolder folder;
        g_victim = folder / "victim";
        testsupport::WriteFileBytes(g_victim, victimBytes);
        const fs::path output = folder / (test.database ? "out.pdb" : "out.png");
        if (test.existingOutput)
            testsupport::WriteFileBytes(output, test.database ? MinimalPalmDatabase() : kPngStart);
        const std::string outputBefore = Snapshot(output);
        temporary_file_testing::setCreatedHook(SwapTemporaryForLink);
        std::string failure;
        if (test.database) {
            testsupport::WriteFileBytes(folder / "picture.bmp", testsupport::MakeBmp24(4, 4, [](int, int) {
                                            return testsupport::Bgr{};
                                        }));
            RecordedMessages messages;
            ConversionJob job;
            job.inputPath = (folder / "picture.bmp").string();
            job.outputPath = output.string();
            job.imageName = "Picture";
            job.replaceExisting = test.existingOutput;
            job.notifier = &messages;
            EXPECT_FALSE(job.run());
            if (!messages.messages.empty()) failure = messages.messages.back();
        } else {
            try {
                writePicturePng(picture, output.string(), "", test.existingOutput);
            } catch (const std::runtime_error& error) {
                failure = error.what();
            }
        }
        temporary_file_testing::setCreatedHook(nullptr);
        EXPECT_NE(failure.find("replaced by another file"), std::string::npos) << failure;
        EXPECT_EQ(testsupport::ReadFileBytes(g_victim), victimBytes);
        EXPECT_EQ(Snapshot(output), outputBefore);
    }
}

// What a stranger who may write the folder does between the commit's check
// of the temporary's name and its move: exchanges the temporary with a link
// of theirs (and may exchange them back too late).
fs::path g_strangersLink;
void ExchangeTemporaryWithLink(const std::string& temporaryPath, const std::string&) {
    ::renameat2(AT_FDCWD, temporaryPath.c_str(), AT_FDCWD, g_strangersLink.c_str(), RENAME_EXCHANGE);
}

TEST(TemporaryFile, TemporaryExchangedForALinkAtTheCommitNeverTakesTheTargetsPlace) {
    const struct {
        bool replaceExisting;
        bool existingOutput;
    } cases[] = {{true, true}, {true, false}, {false, false}};
    for (const auto& test : cases) {
        SCOPED_TRACE(std::string(test.replaceExisting ? "replacing" : "not replacing") +
                     (test.existingOutput ? " a file" : " nothing"));
        testsupport::TemporaryFolder folder;
        const fs::path victim = folder / "victim";
        testsupport::WriteFileBytes(victim, Bytes{'m', 'i', 'n', 'e'});
        g_strangersLink = folder / "link";
        fs::create_symlink(victim, g_strangersLink);
        const fs::path output = folder / "out.pdb";
        if (test.existingOutput) testsupport::WriteFileBytes(output, Bytes{'o', 'l', 'd'});
        TemporaryFile file;
        ASSERT_TRUE(file.create(output.string()));
        ASSERT_EQ(::write(file.handle(), "new", 3), 3);
        temporary_file_testing::setCommittingHook(ExchangeTemporaryWithLink);
        const TemporaryFile::CommitResult result = file.commit(test.replaceExisting);
        temporary_file_testing::setCommittingHook(nullptr);
        EXPECT_EQ(result, TemporaryFile::CommitResult::kTemporaryReplaced);
        EXPECT_EQ(Snapshot(output), test.existingOutput ? "old" : "nothing");
        EXPECT_EQ(Snapshot(victim), "mine");
    }
}

// Many more temporary files at once than conversions usually run.
void EndBySignalWithManyTemporaries(const fs::path& folder) {
    for (int i = 0; i < 100; ++i) {
        auto* file = new TemporaryFile;  // left to the signal
        if (!file->create((folder / ("picture" + std::to_string(i) + ".pdb")).string())) std::_Exit(3);
    }
    std::raise(SIGTERM);
    std::_Exit(4);
}

TEST(OutputFileDeathTest, EndingSignalRemovesEveryTemporaryFileHoweverMany) {
    testsupport::TemporaryFolder folder;
    EXPECT_EXIT(EndBySignalWithManyTemporaries(folder.path()), testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(FolderNames(folder.path()), std::vector<std::string>{});
}

}  // namespace
