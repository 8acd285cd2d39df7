#include "imagelib/decoders/gif_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/decoding.h"
#include "support/modern_writers.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

namespace {

using testsupport::GifColor;
using testsupport::GifImage;
using testsupport::GifPicture;
using testsupport::WriteGif;

using Bytes = std::vector<std::uint8_t>;

const auto Decode = testsupport::DecodeToNewBitmap<CGIFDecoder>;
const auto DecodeFailure = testsupport::DecodeFailure<CGIFDecoder>;

const auto Pixel = testsupport::PixelWord;

const std::vector<GifColor> kFourColors = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

GifImage MakeImage(int left, int top, int width, int height, int (*index)(int x, int y)) {
    GifImage image;
    image.left = left;
    image.top = top;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.pixels.push_back(static_cast<std::uint8_t>(index(x, y)));
    return image;
}

int Diagonal(int x, int y) {
    return (x + y) % 3;
}

GifPicture Screen(int width, int height, int background) {
    GifPicture picture;
    picture.width = width;
    picture.height = height;
    picture.background = background;
    picture.globalMap = kFourColors;
    return picture;
}

// The offset of the first image descriptor of a file written without
// extensions in front of it.
std::size_t FirstImageDescriptor(const Bytes& gif) {
    std::size_t offset = 13;
    if (gif[10] & 0x80) offset += 3 * (std::size_t{1} << ((gif[10] & 7) + 1));
    EXPECT_EQ(gif[offset], 0x2C);
    return offset;
}

void PatchLe16(Bytes& bytes, std::size_t offset, unsigned value) {
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

// ---------------------------------------------------------------------------

TEST(GifDecoder, ImageInsideTheScreenLeavesTheBackgroundAround) {
    GifPicture picture = Screen(10, 10, 3);
    picture.images.push_back(MakeImage(3, 3, 4, 4, Diagonal));
    const auto bitmap = Decode(WriteGif(picture), 0);
    ASSERT_EQ(bitmap->GetDepth(), 8);
    ASSERT_EQ(bitmap->GetWidth(), 10);
    ASSERT_EQ(bitmap->GetHeight(), 10);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 3 && x < 7 && y >= 3 && y < 7;
            EXPECT_EQ(bitmap->GetRows()[y][x], inside ? Diagonal(x - 3, y - 3) : 3) << x << "," << y;
        }
    }
    // Depth 0 keeps the GIF's own palette.
    EXPECT_EQ(bitmap->GetPalette()[0], (PaletteEntry{0, 0, 255, 255}));
    EXPECT_EQ(bitmap->GetPalette()[2], (PaletteEntry{255, 0, 0, 255}));
    EXPECT_FALSE(bitmap->HasAlphaChannel());
}

TEST(GifDecoder, GlobalMapColorsA32BitScreenOpaque) {
    GifPicture picture = Screen(3, 2, 0);
    picture.images.push_back(MakeImage(0, 0, 3, 2, [](int x, int y) { return x + y; }));
    const auto bitmap = Decode(WriteGif(picture), 32);
    ASSERT_EQ(bitmap->GetDepth(), 32);
    EXPECT_FALSE(bitmap->HasAlphaChannel());
    EXPECT_EQ(Pixel(*bitmap, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(Pixel(*bitmap, 1, 0), 0xFF00FF00u);
    EXPECT_EQ(Pixel(*bitmap, 2, 0), 0xFF0000FFu);
    EXPECT_EQ(Pixel(*bitmap, 2, 1), 0xFFFFFFFFu);
}

TEST(GifDecoder, InterlacedImagesEqualTheirNonInterlacedTwins) {
    for (int height : {1, 3, 8, 11, 17}) {
        GifPicture plain = Screen(5, height, 0);
        plain.images.push_back(MakeImage(0, 0, 5, height, [](int x, int y) { return (x * 3 + y * 5) % 4; }));
        GifPicture interlaced = plain;
        interlaced.images[0].interlaced = true;
        const Bytes plainBytes = WriteGif(plain);
        const Bytes interlacedBytes = WriteGif(interlaced);
        ASSERT_NE(plainBytes, interlacedBytes);
        const auto expected = Decode(plainBytes, 0);
        const auto actual = Decode(interlacedBytes, 0);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(expected->GetRows()[y][x], (x * 3 + y * 5) % 4);
                EXPECT_EQ(actual->GetRows()[y][x], (x * 3 + y * 5) % 4)
                    << "height " << height << " row " << y;
            }
        }
    }
}

TEST(GifDecoder, ExtensionsAreReadPastWithoutEffect) {
    GifPicture picture = Screen(2, 1, 0);
    picture.comment = std::string(300, 'c');  // more than one sub-block
    picture.images.push_back(MakeImage(0, 0, 2, 1, [](int x, int) { return x; }));
    picture.images[0].transparentIndex = 1;
    const auto bitmap = Decode(WriteGif(picture), 32);
    EXPECT_FALSE(bitmap->HasAlphaChannel());
    EXPECT_EQ(Pixel(*bitmap, 1, 0), 0xFF00FF00u);  // the transparent index keeps its colour
}

// Each image keeps the colours of its own map, or of the global one; a
// screen of more than one palette is a 32-bit picture whatever depth was
// wanted, and one palette alone keeps the 8-bit screen of that palette.
TEST(GifDecoder, EveryImageIsColoredThroughItsOwnMap) {
    const std::vector<GifColor> local = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    GifPicture overlapping = Screen(4, 2, 0);
    overlapping.images.push_back(MakeImage(0, 0, 3, 2, [](int, int) { return 1; }));
    overlapping.images.push_back(MakeImage(2, 0, 2, 2, [](int, int) { return 2; }));
    overlapping.images.back().localMap = local;
    GifPicture localThenGlobal = Screen(3, 1, 0);
    localThenGlobal.images.push_back(MakeImage(0, 0, 1, 1, [](int, int) { return 1; }));
    localThenGlobal.images.back().localMap = local;
    localThenGlobal.images.push_back(MakeImage(1, 0, 1, 1, [](int, int) { return 2; }));
    GifPicture coveringLocal = Screen(2, 1, 3);
    coveringLocal.images.push_back(MakeImage(0, 0, 2, 1, [](int x, int) { return x; }));
    coveringLocal.images.back().localMap = local;
    const struct {
        const char* name;
        GifPicture picture;
        int depthAtZero;
        std::vector<std::uint32_t> pixels;  // the top row
    } cases[] = {
        {"a later image over an earlier one",
         overlapping,
         32,
         {0xFF00FF00u, 0xFF00FF00u, 0xFF46505Au, 0xFF46505Au}},
        {"a local map, then the global one", localThenGlobal, 32, {0xFF28323Cu, 0xFF0000FFu, 0xFFFF0000u}},
        {"one image of its own map over the whole screen", coveringLocal, 8, {0xFF0A141Eu, 0xFF28323Cu}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const Bytes file = WriteGif(entry.picture);
        const auto wanted = Decode(file, 0);
        EXPECT_EQ(wanted->GetDepth(), entry.depthAtZero);
        for (const auto& bitmap : {Decode(file, 32), Decode(file, 0)}) {
            CMemoryBitmap colors;
            colors.CopyFrom(*bitmap, 32);
            for (std::size_t x = 0; x < entry.pixels.size(); ++x)
                EXPECT_EQ(Pixel(colors, static_cast<int>(x), 0), entry.pixels[x]) << x;
        }
    }
    // The earlier image's second row is still its own green.
    const Bytes twoMaps = WriteGif(overlapping);
    EXPECT_EQ(Pixel(*Decode(twoMaps, 32), 0, 1), 0xFF00FF00u);
    testsupport::KeepAsFuzzSeed("gif", "two_color_maps.gif", twoMaps);
}

TEST(GifDecoder, LocalMapAloneIsEnough) {
    GifPicture picture;
    picture.width = 2;
    GifImage image = MakeImage(0, 0, 2, 1, [](int x, int) { return x; });
    image.localMap = {{1, 2, 3}, {4, 5, 6}};
    picture.images.push_back(image);
    const auto bitmap = Decode(WriteGif(picture), 32);
    EXPECT_EQ(Pixel(*bitmap, 1, 0), 0xFF040506u);
}

TEST(GifDecoder, FileWithoutAnyColorMapIsAGreyRampOverItsCodeSize) {
    GifPicture picture = Screen(3, 1, 0);
    picture.images.push_back(MakeImage(0, 0, 3, 1, [](int x, int) { return x; }));
    // Written with a map of four colours: LZW codes of two bits.
    const Bytes withoutMap = testsupport::RemoveGifGlobalMap(WriteGif(picture));
    testsupport::KeepAsFuzzSeed("gif", "no_color_map.gif", withoutMap);
    const auto grey = Decode(withoutMap, 0);
    ASSERT_EQ(grey->GetDepth(), 8);
    EXPECT_EQ(grey->GetPalette()[1], (PaletteEntry{85, 85, 85, 255}));
    const auto bitmap = Decode(withoutMap, 32);
    EXPECT_EQ(Pixel(*bitmap, 0, 0), 0xFF000000u);
    EXPECT_EQ(Pixel(*bitmap, 1, 0), 0xFF555555u);
    EXPECT_EQ(Pixel(*bitmap, 2, 0), 0xFFAAAAAAu);
}

TEST(GifDecoder, KeptLibraryMessagesAreCountedInsteadOfPrinted) {
    GifPicture picture = Screen(2, 1, 0);
    picture.images.push_back(MakeImage(0, 0, 2, 1, [](int x, int) { return x + 1; }));
    Bytes bytes = WriteGif(picture);
    bytes.insert(bytes.end() - 1, 40, 0x42);
    CGIFDecoder decoder;
    decoder.SetKeepLibraryMessages(true);
    CDIBBitmap bitmap;
    testing::internal::CaptureStderr();
    decoder.DecodeMemory(bytes.data(), static_cast<std::int64_t>(bytes.size()), bitmap, 32);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(decoder.GetLibraryMessages().Lines(),
              std::vector<std::string>{"GIF-LIB error: Wrong record type detected. (repeated 40 times)"});
    // The next decode starts with none.
    const Bytes good = WriteGif(picture);
    decoder.DecodeMemory(good.data(), static_cast<std::int64_t>(good.size()), bitmap, 32);
    EXPECT_TRUE(decoder.GetLibraryMessages().Lines().empty());
}

TEST(GifDecoder, ImageOutsideTheScreenIsClippedAndReported) {
    GifPicture picture = Screen(10, 10, 3);
    picture.images.push_back(MakeImage(7, 8, 6, 5, [](int, int) { return 1; }));
    picture.images.push_back(MakeImage(20, 20, 2, 2, [](int, int) { return 2; }));  // wholly outside
    picture.images.push_back(MakeImage(0, 0, 1, 1, [](int, int) { return 0; }));
    const Bytes bytes = WriteGif(picture);
    testing::internal::CaptureStderr();
    const auto bitmap = Decode(bytes, 0);
    const std::string reports = testing::internal::GetCapturedStderr();
    EXPECT_NE(reports.find("Image 1 is not confined to screen dimension, aborted.\n"), std::string::npos)
        << reports;
    EXPECT_NE(reports.find("Image 2 is not confined to screen dimension, aborted.\n"), std::string::npos)
        << reports;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const int expected = x == 0 && y == 0 ? 0 : x >= 7 && y >= 8 ? 1 : 3;
            EXPECT_EQ(bitmap->GetRows()[y][x], expected) << x << "," << y;
        }
    }
}

TEST(GifDecoder, ImageWithoutPixelsIsPassedOver) {
    GifPicture picture = Screen(2, 1, 3);
    picture.images.push_back(MakeImage(0, 0, 1, 1, [](int, int) { return 1; }));
    picture.images.push_back(MakeImage(1, 0, 1, 1, [](int, int) { return 2; }));
    Bytes bytes = WriteGif(picture);
    PatchLe16(bytes, FirstImageDescriptor(bytes) + 5, 0);  // first image: width 0
    const auto bitmap = Decode(bytes, 0);
    EXPECT_EQ(bitmap->GetRows()[0][0], 3);
    EXPECT_EQ(bitmap->GetRows()[0][1], 2);
}

TEST(GifDecoder, StrayBytesBetweenRecordsAreReportedAndPassedOver) {
    GifPicture picture = Screen(2, 1, 0);
    picture.images.push_back(MakeImage(0, 0, 2, 1, [](int x, int) { return x + 1; }));
    Bytes bytes = WriteGif(picture);
    bytes.insert(bytes.end() - 1, {0x00, 0x42});
    testing::internal::CaptureStderr();
    const auto bitmap = Decode(bytes, 0);
    const std::string reports = testing::internal::GetCapturedStderr();
    EXPECT_NE(reports.find("\nGIF-LIB error: Wrong record type detected.\n"), std::string::npos) << reports;
    EXPECT_EQ(bitmap->GetRows()[0][1], 2);
}

TEST(GifDecoder, EveryTruncationEndsInEndOfFile) {
    GifPicture picture = Screen(9, 7, 0);
    picture.comment = "made for the test";
    picture.images.push_back(MakeImage(0, 0, 9, 7, [](int x, int y) { return (x * y) % 4; }));
    picture.images.push_back(MakeImage(2, 2, 3, 3, Diagonal));
    picture.images.back().interlaced = true;
    const Bytes whole = WriteGif(picture);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        testing::internal::CaptureStderr();
        const CTextException error = DecodeFailure(cut, 32);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(error.GetCode(), ERR_END_OF_FILE) << size;
        EXPECT_STREQ(error.GetMessage(), "End of file reached while decoding.\n") << size;
    }
}

TEST(GifDecoder, DataThatIsNotGifFailsAtOpen) {
    testing::internal::CaptureStderr();
    const CTextException error = DecodeFailure({'G', 'I', 'X', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}, 32);
    const std::string reports = testing::internal::GetCapturedStderr();
    EXPECT_EQ(error.GetCode(), ERR_WRONG_SIGNATURE);
    EXPECT_EQ(std::string(error.GetMessage()).rfind("Decoder error: GIF file could not be opened: ", 0), 0u)
        << error.GetMessage();
    EXPECT_NE(reports.find("GIF-LIB error: "), std::string::npos);
}

TEST(GifDecoder, ScreenSizesBeyondTheLimitsAreRefusedBeforeDecoding) {
    GifPicture picture = Screen(2, 2, 0);
    picture.images.push_back(MakeImage(0, 0, 2, 2, Diagonal));
    const Bytes small = WriteGif(picture);

    Bytes empty = small;
    PatchLe16(empty, 6, 0);
    EXPECT_EQ(DecodeFailure(empty, 32).GetCode(), ERR_FORMAT_UNKNOWN);
    EXPECT_STREQ(DecodeFailure(empty, 0).GetMessage(),
                 "Decoder error: GIF screen size 0 x 2 is not supported.\n");

    Bytes huge = small;
    PatchLe16(huge, 6, 65535);
    PatchLe16(huge, 8, 65535);
    for (int depth : {0, 32}) {
        const CTextException error = DecodeFailure(huge, depth);
        EXPECT_EQ(error.GetCode(), ERR_NO_MEMORY) << depth;
        EXPECT_STREQ(error.GetMessage(), "Out of memory creating bitmap.") << depth;
    }
}

TEST(GifDecoder, OneDecoderDecodesAgainAfterAFailure) {
    GifPicture picture = Screen(2, 1, 0);
    picture.images.push_back(MakeImage(0, 0, 2, 1, [](int x, int) { return x; }));
    const Bytes good = WriteGif(picture);
    const Bytes cut(good.begin(), good.end() - 3);
    CGIFDecoder decoder;
    CDIBBitmap bitmap;
    EXPECT_THROW(decoder.DecodeMemory(cut.data(), static_cast<std::int64_t>(cut.size()), bitmap, 32),
                 CTextException);
    decoder.DecodeMemory(good.data(), static_cast<std::int64_t>(good.size()), bitmap, 32);
    EXPECT_EQ(Pixel(bitmap, 1, 0), 0xFF00FF00u);
}

// ---------------------------------------------------------------------------
// The public GIF suites. Their expected frames follow browser rules
// (transparency, disposal, one frame per image), which this decoder does not
// apply, so only the structure is compared.

std::set<std::string> FilesThatMayFail() {
    // pygif's broken and edge cases, named in the corpus notes; every file of
    // imagetestsuite is malformed on purpose.
    std::set<std::string> names;
    for (const char* name : {"no-data",
                             "zero-width",
                             "zero-height",
                             "zero-size",
                             "image-zero-width",
                             "image-zero-height",
                             "image-zero-size",
                             "image-outside-bg",
                             "invalid-background",
                             "invalid-code",
                             "invalid-colors",
                             "invalid-transparent",
                             "missing-pixels",
                             "extra-pixels",
                             "extra-data",
                             "no-clear",
                             "no-eoi",
                             "no-clear-and-eoi",
                             "overflow-codes",
                             "overflow-codes-max",
                             "max-width",
                             "max-height",
                             "max-size",
                             "invalid-ascii-comment",
                             "invalid-utf8-comment",
                             "nul-comment",
                             "nul-application-extension",
                             "unknown-extension",
                             "unknown-application-extension"})
        names.insert(std::string("pygif/") + name + ".gif");
    return names;
}

TEST(GifDecoderCorpus, ValidFilesDecodeToTheirScreenAndBrokenOnesFailCleanly) {
    const auto folder = testsupport::CorpusFolder("gif");
    if (folder.empty()) GTEST_SKIP() << "no corpus";
    const std::set<std::string> mayFail = FilesThatMayFail();
    int decoded = 0;
    int failed = 0;
    testing::internal::CaptureStderr();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".gif") continue;
        const std::string name =
            entry.path().parent_path().filename().string() + "/" + entry.path().filename().string();
        const bool malformed = name.rfind("imagetestsuite/", 0) == 0 || mayFail.count(name) != 0;
        const Bytes bytes = testsupport::ReadFileBytes(entry.path());
        try {
            const auto bitmap = Decode(bytes, 32);
            ++decoded;
            ASSERT_GE(bytes.size(), 10u) << name;
            EXPECT_EQ(bitmap->GetWidth(), ReadLE16(bytes.data() + 6)) << name;
            EXPECT_EQ(bitmap->GetHeight(), ReadLE16(bytes.data() + 8)) << name;
            EXPECT_EQ(bitmap->GetDepth(), 32) << name;
        } catch (const CTextException& error) {
            ++failed;
            EXPECT_TRUE(malformed) << name << ": " << error.GetMessage();
            EXPECT_NE(std::string(error.GetMessage()), "") << name;
        }
    }
    testing::internal::GetCapturedStderr();
    EXPECT_GT(decoded, 60);
    RecordProperty("decoded", decoded);
    RecordProperty("failed", failed);
}

}  // namespace

TEST(GifDecoder, AHugeScreenFromAFewBytesIsRefusedBeforeItIsFilled) {
    GifPicture picture = Screen(2, 1, 0);
    picture.images.push_back(MakeImage(0, 0, 2, 1, [](int x, int) { return x; }));
    Bytes gif = WriteGif(picture);
    PatchLe16(gif, 6, 20000);
    PatchLe16(gif, 8, 12000);
    const CTextException error = DecodeFailure(gif, 32);
    EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN);
    EXPECT_STREQ(error.GetMessage(), "Decoder error: GIF screen size 20000 x 12000 is not supported.\n");

    // A screen of 4096 x 4096 still needs no data of its own.
    PatchLe16(gif, 6, 4096);
    PatchLe16(gif, 8, 4096);
    EXPECT_EQ(Decode(gif, 8)->GetWidth(), 4096);

    // Every row of an image is decoded, so a screen of one pixel may not hide
    // a huge image either.
    GifPicture tiny = Screen(1, 1, 0);
    tiny.images.push_back(MakeImage(0, 0, 1, 1, [](int, int) { return 1; }));
    for (const auto& [width, height] : {std::pair{65535u, 65535u}, {20000u, 12000u}}) {
        Bytes hidden = WriteGif(tiny);
        const std::size_t image = FirstImageDescriptor(hidden);
        PatchLe16(hidden, image + 5, width);
        PatchLe16(hidden, image + 7, height);
        if (width == 65535u) testsupport::KeepAsFuzzSeed("gif", "huge_image_in_tiny_screen.gif", hidden);
        EXPECT_STREQ(DecodeFailure(hidden, 32).GetMessage(),
                     ("Decoder error: GIF image size " + std::to_string(width) + " x " +
                      std::to_string(height) + " is not supported.\n")
                         .c_str());
    }
}
