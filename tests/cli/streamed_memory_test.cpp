// A large photo converts with memory that does not grow with the picture.
// This guards against the whole decoded picture quietly coming back: a
// 6000x4000 JPEG to the combined target peaks near 113 MiB when it is held
// whole and near 21 MiB when it streams through the resampler.
#include "support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedBuild = true;
#elif defined(__has_feature)
constexpr bool kSanitizedBuild = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitizedBuild = false;
#endif

extern char** environ;

namespace {

// A photo-like baseline JPEG made a row at a time: a child's peak memory
// starts from what this process holds when it starts the child, so the test
// never holds the picture itself.
bool writeLargeJpeg(const std::string& path, int width, int height) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned grain =
                (static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(y) * 19349663u) % 17;
            const int band = ((x + y) / 40) % 64;
            row[3 * static_cast<std::size_t>(x)] = static_cast<JSAMPLE>(x * 240 / width + grain);
            row[3 * static_cast<std::size_t>(x) + 1] = static_cast<JSAMPLE>(y * 240 / height + grain);
            row[3 * static_cast<std::size_t>(x) + 2] =
                static_cast<JSAMPLE>(64 + (band < 32 ? band : 63 - band) * 5);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

struct Outcome {
    int status = -1;
    long peakKiB = 0;  // ru_maxrss
    std::string said;
};

// Runs kestrin-convert quietly with `arguments`, keeping what it says.
Outcome convert(const std::vector<std::string>& arguments, const std::string& errors) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<const char*> argv = {KESTRIN_CONVERT_PATH, "-q", "-f"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    Outcome outcome;
    pid_t child = 0;
    const int spawned = posix_spawn(&child, KESTRIN_CONVERT_PATH, &actions, nullptr,
                                    const_cast<char**>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (spawned != 0 || wait4(child, &status, 0, &usage) != child) return outcome;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.peakKiB = usage.ru_maxrss;
    const std::vector<std::uint8_t> said = testsupport::ReadFileBytes(errors);
    outcome.said.assign(said.begin(), said.end());
    return outcome;
}

using Bytes = std::vector<std::uint8_t>;

void putLE16(Bytes& bytes, int value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

// A 16384 x 16384 screen without a global map holding `images` 1 x 1 images
// of maps of their own, padded with comments to `size` bytes.
Bytes sparseGif(int images, std::size_t size) {
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    putLE16(gif, 16384);
    putLE16(gif, 16384);
    gif.insert(gif.end(), {0, 0, 0});
    for (int i = 0; i < images; ++i) {
        gif.push_back(0x2C);
        putLE16(gif, i * 997 % 16384);
        putLE16(gif, i * 1319 % 16384);
        putLE16(gif, 1);
        putLE16(gif, 1);
        gif.push_back(0x80);  // a map of two entries
        gif.insert(gif.end(), {static_cast<std::uint8_t>(i * 40), 200, 100, 0, 0, 0});
        gif.insert(gif.end(), {2, 2, 0x44, 0x01, 0});  // clear, 0, end
    }
    while (gif.size() + 260 < size) {
        gif.insert(gif.end(), {0x21, 0xFE, 255});
        gif.insert(gif.end(), 255, 'x');
        gif.push_back(0);
    }
    gif.push_back(0x3B);
    return gif;
}

// A 32-bit Targa of run packets of 128 pixels, stored bottom up.
Bytes targaOfRuns(int side) {
    Bytes tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    putLE16(tga, side);
    putLE16(tga, side);
    tga.push_back(32);
    tga.push_back(0x08);
    const std::size_t packets = (static_cast<std::size_t>(side) * static_cast<std::size_t>(side) + 127) / 128;
    for (std::size_t i = 0; i < packets; ++i) tga.insert(tga.end(), {0xFF, 0x10, 0x80, 0xF0, 0xFF});
    return tga;
}

// A 1 x 1 PNG whose next chunk declares 1 GiB and ends there.
Bytes pngOfAHugeChunk(const char* type) {
    Bytes png = {0x89, 'P', 'N', 'G',  '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I',
                 'H',  'D', 'R', 0,    0,    0,    1,    0,    0, 0, 1, 8,  0,
                 0,    0,   0,   0x3A, 0x7E, 0x9B, 0x55, 0x40, 0, 0, 0};
    for (int i = 0; i < 4; ++i) png.push_back(static_cast<std::uint8_t>(type[i]));
    png.resize(png.size() + 8, 0);
    return png;
}

}  // namespace

// Files that declare far more than their data draws cost what the data
// justifies, at one size and ten times it, or are refused before anything
// large is allocated: a GIF screen around a few tiny images is not held at
// full size, a Targa held whole is held to the memory of one conversion, and
// libpng never allocates a chunk's declared length.
TEST(StreamedMemory, PicturesFromAFewBytesCostWhatTheirDataJustify) {
    if (kSanitizedBuild) GTEST_SKIP() << "the sanitizers' own memory makes the peak meaningless";
    unsetenv("KESTRIN_WHOLE_PICTURE");
    testsupport::TemporaryFolder folder;
    const std::string output = (folder / "out.pdb").string();
    const std::string errors = (folder / "errors.txt").string();
    const char* heldWhole = "of a picture held whole: it would need more than 512 MiB to convert";
    const struct {
        const char* name;
        std::function<Bytes()> make;
        int status;
        long peakMiB;
        const char* said;
    } cases[] = {
        {"sparse.gif", [] { return sparseGif(2, 67 << 10); }, 0, 128, ""},
        {"sparse10.gif", [] { return sparseGif(20, 670 << 10); }, 0, 128, ""},
        {"runs.tga", [] { return targaOfRuns(5181); }, 0, 192, ""},
        {"runs10.tga", [] { return targaOfRuns(16384); }, 1, 64, heldWhole},
        {"text.png", [] { return pngOfAHugeChunk("tEXt"); }, 1, 64, "End of file reached"},
        {"palette.png", [] { return pngOfAHugeChunk("sPLT"); }, 1, 64, "End of file reached"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string input = (folder / test.name).string();
        testsupport::WriteFileBytes(input, test.make());
        for (const char* quality : {"classic", "fine"}) {
            SCOPED_TRACE(quality);
            const Outcome outcome = convert({"--quality", quality, input, output}, errors);
            EXPECT_EQ(outcome.status, test.status) << outcome.said;
            EXPECT_LT(outcome.peakKiB, test.peakMiB * 1024);
            EXPECT_NE(outcome.said.find(test.said), std::string::npos) << outcome.said;
        }
    }
}

TEST(StreamedMemory, ALargeJpegConvertsInAFractionOfItsDecodedSize) {
    if (kSanitizedBuild) GTEST_SKIP() << "the sanitizers' own memory makes the peak meaningless";
    testsupport::TemporaryFolder folder;
    const std::string input = (folder / "large.jpg").string();
    const std::string output = (folder / "large.pdb").string();
    const std::string errors = (folder / "errors.txt").string();
    ASSERT_TRUE(writeLargeJpeg(input, 6000, 4000));

    // The default holding is what is measured, whatever the caller's environment.
    unsetenv("KESTRIN_WHOLE_PICTURE");
    // The fine quality holds its rows between the passes at twice the bytes;
    // a smart crop streams too, measuring what draws the eye as rows come.
    const struct {
        const char* quality;
        const char* fit;
        const char* gravity;
    } runs[] = {
        {"classic", "stretch", "center"}, {"fine", "stretch", "center"}, {"classic", "crop", "smart"}};
    for (const auto& run : runs) {
        SCOPED_TRACE(testing::Message() << run.quality << " " << run.fit << " " << run.gravity);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const char* arguments[] = {
            KESTRIN_CONVERT_PATH, "-q",           "-f",        "-d",    "8",     "--dither",  "-t",
            "combined",           "--quality",    run.quality, "--fit", run.fit, "--gravity", run.gravity,
            input.c_str(),        output.c_str(), nullptr};
        pid_t child = 0;
        const int spawned = posix_spawn(&child, KESTRIN_CONVERT_PATH, &actions, nullptr,
                                        const_cast<char**>(arguments), environ);
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_EQ(spawned, 0);
        int status = 0;
        rusage usage{};
        ASSERT_EQ(wait4(child, &status, 0, &usage), child);

        const std::vector<std::uint8_t> said = testsupport::ReadFileBytes(errors);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::string(said.begin(), said.end());
        EXPECT_GT(std::filesystem::file_size(output), 0u);
        // ru_maxrss is in KiB.
        EXPECT_LT(usage.ru_maxrss, 64 * 1024);
    }
}
