#include "imagelib/image_source.h"
#include "imagelib/image_decoder.h"
#include "imagelib/text_exception.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace {

using testsupport::TemporaryFolder;
using testsupport::WriteFileBytes;

class RecordingSink : public CProgressSink {
public:
    void OnProgress(double fraction) override { reports.push_back(fraction); }
    std::vector<double> reports;
};

void ExpectTextException(const std::function<void()>& action, int code, const std::string& text) {
    try {
        action();
        ADD_FAILURE() << "no exception, expected code " << code;
    } catch (const CTextException& error) {
        EXPECT_EQ(error.GetCode(), code);
        EXPECT_EQ(std::string(error.GetMessage()), text);
    }
}

int OpenDescriptorCount() {
    int count = 0;
    if (DIR* folder = opendir("/proc/self/fd")) {
        while (readdir(folder) != nullptr) ++count;
        closedir(folder);
    }
    return count;
}

std::vector<std::uint8_t> Counting(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return bytes;
}

// A decoder that reads a fixed number of bytes, then optionally fails.
class ReadingDecoder : public CImageDecoder {
public:
    std::int64_t bytesToRead = 0;
    std::function<void()> afterReading;
    std::string seenName;
    std::int64_t seenSize = -1;

protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override {
        seenName = source.GetName();
        seenSize = source.GetSize();
        palette.assign(256, PaletteEntry{});
        source.ReadBytes(bytesToRead);
        bitmap.Create(1, 1, bpp == 0 ? 8 : bpp, false);
        if (afterReading) afterReading();
    }
};

const char kEndOfFile[] = "End of file reached while decoding.\n";

}  // namespace

TEST(ImageSource, ReadingExactlyToTheLastByteSucceedsAndOneMoreFails) {
    const auto data = Counting(10);
    CMemorySource source;
    ASSERT_EQ(source.Open(data.data(), 10), 0);
    EXPECT_EQ(source.ReadBytes(4), data.data());
    EXPECT_EQ(source.ReadBytes(6), data.data() + 4);
    EXPECT_EQ(source.GetRemaining(), 0);
    EXPECT_NE(source.ReadBytes(0), nullptr);
    ExpectTextException([&] { source.ReadBytes(1); }, ERR_END_OF_FILE, kEndOfFile);
}

TEST(ImageSource, FailedReadLeavesThePositionInsideTheData) {
    const auto data = Counting(10);
    CMemorySource source;
    source.Open(data.data(), 10);
    source.ReadBytes(3);
    ExpectTextException([&] { source.ReadBytes(8); }, ERR_END_OF_FILE, kEndOfFile);
    ExpectTextException([&] { source.ReadBytes(INT64_MAX); }, ERR_END_OF_FILE, kEndOfFile);
    ExpectTextException([&] { source.ReadBytes(-1); }, ERR_END_OF_FILE, kEndOfFile);
    EXPECT_EQ(source.GetRemaining(), 0);
    EXPECT_EQ(source.PeekBytes(4)[0], 0);
}

TEST(ImageSource, PeekingConsumesNothingAndReadsZerosPastTheEnd) {
    const auto data = Counting(5);
    CMemorySource source;
    source.Open(data.data(), 5);
    source.ReadBytes(2);
    const std::uint8_t* peeked = source.PeekBytes(600);
    EXPECT_EQ(peeked[0], data[2]);
    EXPECT_EQ(peeked[2], data[4]);
    for (int i = 3; i < 600; ++i) ASSERT_EQ(peeked[i], 0) << i;
    EXPECT_EQ(source.GetBytesRead(), 2);
    EXPECT_EQ(source.PeekBytes(3), data.data() + 2);
    EXPECT_EQ(source.GetCurrentPointer(), data.data() + 2);
}

TEST(ImageSource, PeekingAbsurdlyFarPastTheEndIsRefused) {
    const auto data = Counting(5);
    CMemorySource source;
    source.Open(data.data(), 5);
    ExpectTextException([&] { source.PeekBytes(INT64_MAX); }, ERR_END_OF_FILE, kEndOfFile);
}

TEST(ImageSource, EmptyAndMissingMemoryReadsAsZeros) {
    CMemorySource source;
    ASSERT_EQ(source.Open(nullptr, 100), 0);
    EXPECT_EQ(source.GetSize(), 0);
    EXPECT_EQ(source.GetName(), "Mem");
    const std::uint8_t* peeked = source.PeekBytes(30);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(peeked[i], 0);
    ExpectTextException([&] { source.ReadBytes(1); }, ERR_END_OF_FILE, kEndOfFile);
}

TEST(ImageSource, OneLargeReadReportsProgressOnceAndCloseReportsAgain) {
    const auto data = Counting(3000);
    RecordingSink sink;
    CMemorySource source(&sink);
    source.Open(data.data(), 3000);
    source.ReadBytes(3000);
    EXPECT_EQ(sink.reports, (std::vector<double>{1.0}));
    source.Close();
    EXPECT_EQ(sink.reports, (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(source.GetSize(), 0);
    EXPECT_EQ(source.GetName(), "");
}

TEST(ImageSource, SmallReadsReportOnlyWhenCrossingA1024ByteBoundary) {
    const auto data = Counting(3000);
    RecordingSink sink;
    CMemorySource source(&sink);
    source.Open(data.data(), 3000);
    for (int i = 0; i < 10; ++i) source.ReadBytes(100);
    EXPECT_TRUE(sink.reports.empty());
    source.ReadBytes(100);
    ASSERT_EQ(sink.reports.size(), 1u);
    EXPECT_DOUBLE_EQ(sink.reports[0], 1100.0 / 3000.0);
    // A read that fails still reports, but never more than the whole source.
    EXPECT_THROW(source.ReadBytes(5000), CTextException);
    EXPECT_EQ(sink.reports.back(), 1.0);
}

TEST(FileSource, MapsTheFileAndNamesItByPath) {
    TemporaryFolder folder;
    const auto path = (folder / "picture.bin").string();
    const auto data = Counting(100);
    WriteFileBytes(path, data);
    CFileSource source;
    ASSERT_EQ(source.Open(path), 0);
    EXPECT_EQ(source.GetName(), path);
    EXPECT_EQ(source.GetSize(), 100);
    const std::uint8_t* bytes = source.ReadBytes(100);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes));
    ExpectTextException([&] { source.ReadBytes(1); }, ERR_END_OF_FILE, kEndOfFile);
}

TEST(FileSource, PeekPastTheEndOfAPageSizedFileReadsZeros) {
    // A mapping of a whole number of pages has no zero tail to read into.
    TemporaryFolder folder;
    const auto path = (folder / "page.bin").string();
    const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const auto data = std::vector<std::uint8_t>(pageSize, 0xAB);
    WriteFileBytes(path, data);
    CFileSource source;
    ASSERT_EQ(source.Open(path), 0);
    source.ReadBytes(static_cast<std::int64_t>(pageSize) - 2);
    const std::uint8_t* peeked = source.PeekBytes(4096);
    EXPECT_EQ(peeked[0], 0xAB);
    EXPECT_EQ(peeked[1], 0xAB);
    for (int i = 2; i < 4096; ++i) ASSERT_EQ(peeked[i], 0) << i;
}

TEST(FileSource, OpenFailuresGiveTheirCodes) {
    TemporaryFolder folder;
    const auto existing = (folder / "existing.bin").string();
    WriteFileBytes(existing, Counting(10));
    const auto empty = (folder / "empty.bin").string();
    WriteFileBytes(empty, {});

    CFileSource source;
    EXPECT_EQ(source.Open((folder / "no-such-folder" / "file.bmp").string()), ERR_PATH_NOT_FOUND);
    EXPECT_EQ(source.Open(existing + "/file.bmp"), ERR_PATH_NOT_FOUND);  // a file used as a folder
    EXPECT_EQ(source.Open((folder / "missing.bmp").string()), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(source.Open(empty), ERR_ACCESS_DENIED);
    EXPECT_EQ(source.Open(folder.path().string()), ERR_ACCESS_DENIED);  // a folder cannot be mapped
    EXPECT_EQ(source.Open("/dev/null"), ERR_ACCESS_DENIED);
    EXPECT_EQ(source.Open(existing), 0);
}

TEST(FileSource, UnreadableFileGivesAccessDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not apply to root";
    TemporaryFolder folder;
    const auto path = (folder / "locked.bin").string();
    WriteFileBytes(path, Counting(10));
    std::filesystem::permissions(path, std::filesystem::perms::none);
    CFileSource source;
    EXPECT_EQ(source.Open(path), ERR_ACCESS_DENIED);
}

TEST(ImageDecoder, DecodeFileReportsOpenFailuresWithThePath) {
    TemporaryFolder folder;
    ReadingDecoder decoder;
    CDIBBitmap bitmap;
    const auto missingFolder = (folder / "gone" / "a.bmp").string();
    ExpectTextException([&] { decoder.DecodeFile(missingFolder, bitmap, 32, nullptr); }, ERR_PATH_NOT_FOUND,
                        "Decoder error: Opening " + missingFolder + " failed\n");
    const auto missingFile = (folder / "a.bmp").string();
    ExpectTextException([&] { decoder.DecodeFile(missingFile, bitmap, 32, nullptr); }, ERR_FILE_NOT_FOUND,
                        "Decoder error: Opening " + missingFile + " failed\n");
    const auto empty = (folder / "empty.bmp").string();
    WriteFileBytes(empty, {});
    ExpectTextException([&] { decoder.DecodeFile(empty, bitmap, 32, nullptr); }, ERR_ACCESS_DENIED,
                        "Decoder error: Opening " + empty + " failed\n");
}

TEST(ImageDecoder, LongTextsAreCutTo255Characters) {
    TemporaryFolder folder;
    ReadingDecoder decoder;
    CDIBBitmap bitmap;
    const auto path = (folder / std::string(200, 'n') / std::string(200, 'm')).string();
    try {
        decoder.DecodeFile(path, bitmap, 32, nullptr);
        FAIL();
    } catch (const CTextException& error) {
        EXPECT_EQ(error.GetCode(), ERR_PATH_NOT_FOUND);
        const std::string message = error.GetMessage();
        EXPECT_EQ(message.size(), 255u);
        EXPECT_EQ(message, ("Decoder error: Opening " + path).substr(0, 255));
    }
    ExpectTextException([] { RaiseError(ERR_FORMAT_UNKNOWN, std::string(300, 'x')); }, ERR_FORMAT_UNKNOWN,
                        ("Decoder error: " + std::string(300, 'x')).substr(0, 255));
}

TEST(ImageDecoder, FileSourceIsClosedOnSuccessAndOnFailure) {
    TemporaryFolder folder;
    const auto path = (folder / "data.bin").string();
    WriteFileBytes(path, Counting(3000));
    ReadingDecoder decoder;
    CDIBBitmap bitmap;
    RecordingSink sink;
    const int descriptorsBefore = OpenDescriptorCount();

    decoder.bytesToRead = 3000;
    decoder.DecodeFile(path, bitmap, 0, &sink);
    EXPECT_EQ(decoder.seenName, path);
    EXPECT_EQ(decoder.seenSize, 3000);
    EXPECT_EQ(sink.reports, (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(bitmap.GetDepth(), 8);
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);

    decoder.bytesToRead = 3001;
    EXPECT_THROW(decoder.DecodeFile(path, bitmap, 0, nullptr), CTextException);
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);

    decoder.bytesToRead = 10;
    decoder.afterReading = [] { RaiseError(ERR_UNSUPPORTED_DATA, "no"); };
    ExpectTextException([&] { decoder.DecodeFile(path, bitmap, 0, nullptr); }, ERR_UNSUPPORTED_DATA,
                        "Decoder error: no\n");
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
}

TEST(ImageDecoder, DecodeMemoryNamesTheSourceMem) {
    const auto data = Counting(20);
    ReadingDecoder decoder;
    CDIBBitmap bitmap;
    decoder.bytesToRead = 20;
    decoder.DecodeMemory(data.data(), 20, bitmap, 32);
    EXPECT_EQ(decoder.seenName, "Mem");
    EXPECT_EQ(bitmap.GetDepth(), 32);
    decoder.bytesToRead = 21;
    ExpectTextException([&] { decoder.DecodeMemory(data.data(), 20, bitmap, 32); }, ERR_END_OF_FILE,
                        kEndOfFile);
}

TEST(ImageDecoder, AllocationFailuresInsideADecoderBecomeTextExceptions) {
    const auto data = Counting(20);
    ReadingDecoder decoder;
    CDIBBitmap bitmap;
    decoder.afterReading = [] { throw std::bad_alloc(); };
    ExpectTextException([&] { decoder.DecodeMemory(data.data(), 20, bitmap, 32); }, ERR_NO_MEMORY,
                        "Decoder error: Out of memory.\n");
}

TEST(Trace, IsSilentUntilAFileAndLevelAreSet) {
    TemporaryFolder folder;
    const auto path = (folder / "trace.txt").string();
    TraceLine(0, "not written\n");
    SetTraceFile(path);
    TraceLine(1, "too detailed\n");
    TraceLine(0, "level zero\n");
    SetTraceLevel(2);
    TraceFormat(2, "value %d\n", 42);
    TraceLine(3, "too detailed\n");
    SetTraceLevel(0);
    ClearTraceFile();
    TraceLine(0, "not written\n");

    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "level zero\nvalue 42\n");
}

TEST(Trace, DestroyingADecoderForgetsTheTraceFile) {
    TemporaryFolder folder;
    const auto path = (folder / "trace.txt").string();
    SetTraceFile(path);
    { ReadingDecoder decoder; }
    TraceLine(0, "not written\n");
    EXPECT_FALSE(std::filesystem::exists(path));
}
