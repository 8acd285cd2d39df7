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

}  // namespace

TEST(StreamedMemory, ALargeJpegConvertsInAFractionOfItsDecodedSize) {
    if (kSanitizedBuild) GTEST_SKIP() << "the sanitizers' own memory makes the peak meaningless";
    testsupport::TemporaryFolder folder;
    const std::string input = (folder / "large.jpg").string();
    const std::string output = (folder / "large.pdb").string();
    const std::string errors = (folder / "errors.txt").string();
    ASSERT_TRUE(writeLargeJpeg(input, 6000, 4000));

    // The default holding is what is measured, whatever the caller's environment.
    unsetenv("KESTRIN_WHOLE_PICTURE");
    // The fine quality holds its rows between the passes at twice the bytes.
    for (const char* quality : {"classic", "fine"}) {
        SCOPED_TRACE(quality);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const char* arguments[] = {KESTRIN_CONVERT_PATH, "-q",           "-f",       "-d",        "8",
                                   "--dither",           "-t",           "combined", "--quality", quality,
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
