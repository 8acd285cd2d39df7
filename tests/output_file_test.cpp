#include "engine/output_file.h"
#include "engine/temporary_file.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
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
        EXPECT_EXIT(EndBySignalWhileWriting(folder.path(), signalNumber), testing::KilledBySignal(signalNumber), "");
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"done.pdb"}) << "signal " << signalNumber;
    }
}

}  // namespace
