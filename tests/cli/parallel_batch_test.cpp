// kestrin-convert -j: a batch converted by several workers gives the same
// databases, and the same refusals, as one converted picture by picture.
#include "convert_runner.h"
#include "support/image_writers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using testsupport::ByteWriter;
using testsupport::ReadFileBytes;
using testsupport::TemporaryFolder;
using testsupport::WriteFileBytes;

namespace {

std::vector<std::uint8_t> makeBmp(int width, int height, int seed) {
    return testsupport::MakeBmp24(width, height, [&](int x, int y) {
        return testsupport::Bgr{static_cast<std::uint8_t>(x * 9 + seed),
                                static_cast<std::uint8_t>((height - 1 - y) * 11),
                                static_cast<std::uint8_t>(200 - seed)};
    });
}

std::vector<std::uint8_t> makePng(int width, int height) {
    testsupport::PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.colorType = PNG_COLOR_TYPE_RGB;
    const std::vector<std::uint8_t> rgb = testsupport::MakePhotoLikeRgb(width, height, 3);
    picture.samples.assign(rgb.begin(), rgb.end());
    return testsupport::EncodePng(picture);
}

// A database without its creation and modification dates (bytes 36 to 43).
std::vector<std::uint8_t> withoutDates(std::vector<std::uint8_t> bytes) {
    if (bytes.size() >= 44) std::fill(bytes.begin() + 36, bytes.begin() + 44, 0);
    return bytes;
}

class ParallelBatch : public ::testing::Test {
protected:
    RunResult run(const std::vector<std::string>& arguments) {
        return runKestrinConvert(folder.path(), arguments);
    }

    std::string path(const std::string& name) const { return (folder / name).string(); }

    TemporaryFolder folder;
};

}  // namespace

TEST_F(ParallelBatch, TwoJobsWriteWhatOneJobWrites) {
    std::vector<std::string> inputs;
    for (int i = 0; i < 8; ++i) {
        inputs.push_back("picture" + std::to_string(i) + ".bmp");
        WriteFileBytes(path(inputs.back()), makeBmp(40 + i * 7, 30 + i * 3, i * 20));
    }
    inputs.push_back("photo.png");
    WriteFileBytes(path("photo.png"), makePng(120, 90));
    std::filesystem::create_directory(path("one"));
    std::filesystem::create_directory(path("two"));

    std::vector<std::string> arguments = {"-q", "-t", "combined", "--outdir"};
    auto withJobs = [&](const std::string& jobs, const std::string& folderName) {
        std::vector<std::string> all = arguments;
        all.push_back(folderName);
        all.push_back("-j");
        all.push_back(jobs);
        all.insert(all.end(), inputs.begin(), inputs.end());
        return all;
    };
    const RunResult one = run(withJobs("1", "one"));
    const RunResult two = run(withJobs("2", "two"));
    EXPECT_EQ(one.status, 0) << one.errors;
    EXPECT_EQ(two.status, 0) << two.errors;
    for (const std::string& input : inputs) {
        const std::string database = input.substr(0, input.find('.')) + ".pdb";
        SCOPED_TRACE(database);
        const auto expected = withoutDates(ReadFileBytes(path("one/" + database)));
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(withoutDates(ReadFileBytes(path("two/" + database))) == expected);
    }
}

TEST_F(ParallelBatch, PicturesThatShareADatabaseNameAreConvertedInTheOrderGiven) {
    WriteFileBytes(path("photo.bmp"), makeBmp(40, 30, 0));
    WriteFileBytes(path("photo.png"), makePng(64, 48));
    std::filesystem::create_directory(path("alone"));
    ASSERT_EQ(run({"-q", "--outdir", "alone", "photo.bmp"}).status, 0);
    const auto fromBmp = withoutDates(ReadFileBytes(path("alone/photo.pdb")));
    ASSERT_EQ(run({"-q", "-f", "--outdir", "alone", "photo.png"}).status, 0);
    const auto fromPng = withoutDates(ReadFileBytes(path("alone/photo.pdb")));
    ASSERT_NE(fromBmp, fromPng);

    // Both would write out/photo.pdb. Were they converted at once, either
    // could win, and neither would be refused.
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        std::filesystem::remove_all(path("out"));
        std::filesystem::create_directory(path("out"));
        const RunResult refused = run({"-q", "-j", "2", "--outdir", "out", "photo.bmp", "photo.png"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.errors.find("kestrin-convert: out/photo.pdb: already exists; use --force"),
                  std::string::npos)
            << refused.errors;
        EXPECT_TRUE(withoutDates(ReadFileBytes(path("out/photo.pdb"))) == fromBmp);

        const RunResult replaced = run({"-q", "-f", "-j", "2", "--outdir", "out", "photo.bmp", "photo.png"});
        EXPECT_EQ(replaced.status, 0) << replaced.errors;
        EXPECT_TRUE(withoutDates(ReadFileBytes(path("out/photo.pdb"))) == fromPng);
    }
}
