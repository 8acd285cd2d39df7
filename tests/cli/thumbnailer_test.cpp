#include "convert_runner.h"
#include "engine/palm_bitmap.h"
#include "engine/palm_database.h"
#include "imagelib/image_bitmap.h"
#include "support/modern_writers.h"
#include "support/test_support.h"

#include <png.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

// The HEVC encoder that makes a test picture keeps a few of its tables until
// the process ends.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}

namespace {

int RunThumbnailer(const std::filesystem::path& folder, const std::string& arguments) {
    const std::string command = "cd " + quoteForShell(folder.string()) + " && " +
                                quoteForShell(KESTRIN_THUMBNAILER_PATH) + " " + arguments +
                                " </dev/null >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Width, height and the top-left pixel of a PNG, or zeros when it is none.
std::array<int, 5> PngSummary(const std::filesystem::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    return {static_cast<int>(image.width), static_cast<int>(image.height), pixels[0], pixels[1], pixels[2]};
}

// A high-resolution database of one colour: red, the 8-bit palette's index 125.
testsupport::PaintedLoader RedLoader() {
    return testsupport::PaintedLoader([](int, int, const PalmBitmap&) {
        return PaletteEntry{0, 0, 255, 255};
    });
}

TEST(Thumbnailer, FitsTheWholePictureIntoTheSizeAskedFor) {
    testsupport::TemporaryFolder folder;
    testsupport::PaintedLoader loader = RedLoader();
    testsupport::WriteFileBytes(
        folder / "red.pdb",
        PalmDatabase::writeToMemory(
            "Red", {.destination = kPalmOs5HighRes, .compression = kCompressionScanline}, loader, 0));
    testsupport::WriteFileBytes(folder / "broken.pdb", {1, 2, 3});
    testsupport::WriteFileBytes(folder / "kept.png", {42});
    struct Case {
        std::string arguments;
        int status;
        std::array<int, 5> png;  // of out.png, zeros when there is none
    };
    const Case cases[] = {
        {"red.pdb out.png", 0, {128, 88, 255, 0, 0}},  // default size, both halves
        {"-s 256 red.pdb out.png", 0, {256, 176, 255, 0, 0}},
        {"-s 1024 red.pdb out.png", 0, {320, 220, 255, 0, 0}},  // never enlarged
        {"broken.pdb out.png", 1, {}},
        {"broken.pdb kept.png", 1, {}},
        {"-s 0 red.pdb out.png", 2, {}},
        {"red.pdb", 2, {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.arguments);
        std::filesystem::remove(folder / "out.png");
        EXPECT_EQ(RunThumbnailer(folder.path(), test.arguments), test.status);
        EXPECT_EQ(PngSummary(folder / "out.png"), test.png);
        EXPECT_EQ(testsupport::ReadFileBytes(folder / "kept.png"), std::vector<std::uint8_t>{42});
    }
    // Nothing but the files made here: no temporary file left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 3);
}

// A portrait photo stored on its side with a quarter turn in its file: the
// turned picture goes through the conversion into the thumbnail. Stored left
// half red and right half blue, turned a quarter anticlockwise it is blue
// above red, with the pad's white beside it.
TEST(Thumbnailer, ShowsAHeifPictureTurnedAsItsFileAsks) {
    testsupport::TemporaryFolder folder;
    const auto stored = testsupport::EncodeHeif(
        64, 32,
        [](int x, int) {
            return x < 32 ? testsupport::Rgba{255, 0, 0, 255} : testsupport::Rgba{0, 0, 255, 255};
        },
        {});
    testsupport::WriteFileBytes(
        folder / "portrait.heic",
        testsupport::WithHeifTransformations(stored, {testsupport::HeifProperty("irot", {}, 1)}));
    ASSERT_EQ(runKestrinConvert(folder.path(), {"-q", "-d", "8", "-t", "os5-high", "--fit", "pad",
                                                "--background", "white", "portrait.heic", "portrait.pdb"})
                  .status,
              0);
    ASSERT_EQ(RunThumbnailer(folder.path(), "portrait.pdb out.png"), 0);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (folder / "out.png").c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    const auto at = [&](unsigned x, unsigned y) {
        const std::uint8_t* pixel = &pixels[3 * (y * image.width + x)];
        return std::array<int, 3>{pixel[0] / 64, pixel[1] / 64, pixel[2] / 64};
    };
    const unsigned middle = image.width / 2;
    EXPECT_EQ(at(middle, image.height / 5), (std::array<int, 3>{0, 0, 3}));
    EXPECT_EQ(at(middle, image.height * 4 / 5), (std::array<int, 3>{3, 0, 0}));
    EXPECT_EQ(at(2, image.height / 2), (std::array<int, 3>{3, 3, 3}));
}

}  // namespace
