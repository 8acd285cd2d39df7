// The public BMP conformance suite: good files against their reference
// renderings, bad files end in an error or, where the fault lies in a field
// this decoder does not use, decode safely; questionable files either way.
#include "imagelib/decoders/bmp_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, top row first
};

std::optional<Picture> ReadPng(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return std::nullopt;
    image.format = PNG_FORMAT_BGRA;
    Picture picture;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    std::vector<std::uint8_t> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4)
        picture.pixels.push_back(static_cast<std::uint32_t>(bytes[i]) |
                                 (static_cast<std::uint32_t>(bytes[i + 1]) << 8) |
                                 (static_cast<std::uint32_t>(bytes[i + 2]) << 16) |
                                 (static_cast<std::uint32_t>(bytes[i + 3]) << 24));
    return picture;
}

Picture Decode(const fs::path& path) {
    CBMPDecoder decoder;
    CDIBBitmap bitmap;
    decoder.DecodeFile(path.string(), bitmap, 32, nullptr);
    Picture picture{bitmap.GetWidth(), bitmap.GetHeight(), {}};
    for (int y = 0; y < bitmap.GetHeight(); ++y) {
        const std::uint8_t* row = bitmap.GetRows()[y];
        for (int x = 0; x < bitmap.GetWidth(); ++x, row += 4)
            picture.pixels.push_back(
                static_cast<std::uint32_t>(row[0]) | (static_cast<std::uint32_t>(row[1]) << 8) |
                (static_cast<std::uint32_t>(row[2]) << 16) | (static_cast<std::uint32_t>(row[3]) << 24));
    }
    return picture;
}

// Decodes, or returns the library's error code.
std::optional<int> DecodeFailure(const fs::path& path) {
    try {
        Decode(path);
        return std::nullopt;
    } catch (const CTextException& error) {
        return error.GetCode();
    }
}

enum class Match {
    Exact,         // every colour byte as in the reference
    HighFiveBits,  // 16-bit files: the low bits of each channel are left 0, not filled from the high bits
    Quantized,     // channels narrower than the rendering's 8 bits: each within 4 of it
};

bool Matches(std::uint32_t decoded, std::uint32_t reference, Match match) {
    if (match == Match::HighFiveBits) return (decoded & 0x00FFFFFF) == (reference & 0x00F8F8F8);
    for (int shift = 0; shift < 24; shift += 8) {
        const int difference =
            static_cast<int>((decoded >> shift) & 0xFF) - static_cast<int>((reference >> shift) & 0xFF);
        if (std::abs(difference) > (match == Match::Quantized ? 4 : 0)) return false;
    }
    return true;
}

// Compares colours only, and only where the rendering is not fully
// transparent: the fourth byte of 32-bit files is taken as stored, which the
// renderings do not show, and transparent pixels have no colour there.
void ExpectMatches(const Picture& decoded, const Picture& reference, Match match, const std::string& name) {
    ASSERT_EQ(decoded.width, reference.width) << name;
    ASSERT_EQ(decoded.height, reference.height) << name;
    int mismatches = 0;
    for (std::size_t i = 0; i < decoded.pixels.size(); ++i)
        if ((reference.pixels[i] >> 24) != 0 && !Matches(decoded.pixels[i], reference.pixels[i], match))
            ++mismatches;
    EXPECT_EQ(mismatches, 0) << name << " differs from its rendering in " << mismatches << " pixels";
}

struct Expectation {
    const char* file;
    const char* reference;
    Match match = Match::Exact;
};

// Decodes each file of the subfolder and compares it with its rendering.
template <std::size_t N>
void ExpectRenderings(const fs::path& folder, const char* subfolder, const Expectation (&expectations)[N]) {
    for (const Expectation& expectation : expectations) {
        const auto reference = ReadPng(folder / "ref" / expectation.reference);
        ASSERT_TRUE(reference.has_value()) << expectation.reference;
        Picture decoded;
        try {
            decoded = Decode(folder / subfolder / expectation.file);
        } catch (const CTextException& error) {
            ADD_FAILURE() << expectation.file << ": " << error.GetMessage();
            continue;
        }
        ExpectMatches(decoded, *reference, expectation.match, expectation.file);
    }
}

}  // namespace

TEST(BmpSuite, GoodFilesDecodeToTheirRenderings) {
    const fs::path folder = testsupport::CorpusFolder("bmpsuite");
    if (folder.empty()) GTEST_SKIP() << "corpus not available";
    const Expectation expectations[] = {
        {"pal1.bmp", "pal1.png"},
        // The colour table decides what a 1-bit pixel looks like, so reversed
        // and coloured tables come out as their renderings.
        {"pal1wb.bmp", "pal1.png"},
        {"pal1bg.bmp", "pal1bg.png"},
        {"pal4.bmp", "pal4.png"},
        {"pal4gs.bmp", "pal4gs.png"},
        {"pal4rle.bmp", "pal4.png"},
        {"pal8.bmp", "pal8.png"},
        {"pal8-0.bmp", "pal8.png"},
        {"pal8gs.bmp", "pal8gs.png"},
        {"pal8nonsquare.bmp", "pal8nonsquare-e.png"},
        // A 12-byte header, with colour table entries of 3 bytes.
        {"pal8os2.bmp", "pal8.png"},
        {"pal8rle.bmp", "pal8.png"},
        {"pal8topdown.bmp", "pal8.png"},
        // The colour table follows the whole 108- or 124-byte header.
        {"pal8v4.bmp", "pal8.png"},
        {"pal8v5.bmp", "pal8.png"},
        {"pal8w124.bmp", "pal8w124.png"},
        {"pal8w125.bmp", "pal8w125.png"},
        {"pal8w126.bmp", "pal8w126.png"},
        {"rgb16.bmp", "rgb16.png", Match::HighFiveBits},
        {"rgb16bfdef.bmp", "rgb16.png", Match::HighFiveBits},
        {"rgb16-565.bmp", "rgb16-565.png", Match::HighFiveBits},
        {"rgb16-565pal.bmp", "rgb16-565.png", Match::HighFiveBits},
        {"rgb24.bmp", "rgb24.png"},
        {"rgb24pal.bmp", "rgb24.png"},
        {"rgb32.bmp", "rgb24.png"},
        {"rgb32bf.bmp", "rgb24.png"},
        {"rgb32bfdef.bmp", "rgb24.png"},
    };
    ExpectRenderings(folder, "g", expectations);
}

TEST(BmpSuite, EveryGoodFileIsCovered) {
    const fs::path folder = testsupport::CorpusFolder("bmpsuite");
    if (folder.empty()) GTEST_SKIP() << "corpus not available";
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder / "g")) {
        if (entry.path().extension() == ".bmp") ++count;
    }
    EXPECT_EQ(count, 27);
}

TEST(BmpSuite, BadFilesEndInAnErrorOrDecodeSafely) {
    const fs::path folder = testsupport::CorpusFolder("bmpsuite");
    if (folder.empty()) GTEST_SKIP() << "corpus not available";
    const std::map<std::string, int> failures = {
        {"badbitcount.bmp", ERR_FORMAT_UNKNOWN},  // 30000 bits per pixel
        {"badpalettesize.bmp", ERR_END_OF_FILE},  // a colour table of 305 million entries
        {"badwidth.bmp", ERR_FORMAT_UNKNOWN},     // negative width
        {"reallybig.bmp", ERR_FORMAT_UNKNOWN},    // 3000000 x 2000000 pixels
        {"rletopdown.bmp", ERR_FORMAT_UNKNOWN},   // compressed rows cannot be top-down
        {"shortfile.bmp", ERR_END_OF_FILE},
        // Run-length data whose delta escapes lead out of the picture.
        {"badrle.bmp", ERR_FORMAT_UNKNOWN},
        {"badrlebis.bmp", ERR_FORMAT_UNKNOWN},
        {"badrleter.bmp", ERR_FORMAT_UNKNOWN},
        {"badrle4.bmp", ERR_FORMAT_UNKNOWN},
        {"badrle4bis.bmp", ERR_FORMAT_UNKNOWN},
        {"badrle4ter.bmp", ERR_FORMAT_UNKNOWN},
    };
    // Faults in fields the decoder never uses, or cases it defines: they decode.
    const std::set<std::string> decodes = {
        "badbitssize.bmp",  // image size field (ignored)
        "baddens1.bmp",     // resolution fields (ignored)
        "baddens2.bmp",
        "badfilesize.bmp",    // file size field (ignored)
        "badheadersize.bmp",  // a 66-byte header: any header of 40 bytes or more is read
        "badplanes.bmp",      // planes field (ignored)
        "pal8badindex.bmp",   // indices past the colour table decode as opaque black
        "rgb16-880.bmp",      // no blue mask: blue reads as 0
    };
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(folder / "b")) {
        const std::string name = entry.path().filename().string();
        ++seen;
        const auto failure = DecodeFailure(entry.path());
        if (const auto expected = failures.find(name); expected != failures.end()) {
            EXPECT_EQ(failure, expected->second) << name;
        } else {
            EXPECT_TRUE(decodes.count(name) == 1) << name << " is not listed";
            EXPECT_EQ(failure, std::nullopt) << name;
        }
    }
    EXPECT_EQ(seen, static_cast<int>(failures.size() + decodes.size()));
}

TEST(BmpSuite, QuestionableFilesDecodeOrFailCleanly) {
    const fs::path folder = testsupport::CorpusFolder("bmpsuite");
    if (folder.empty()) GTEST_SKIP() << "corpus not available";
    int failed = 0;
    int decoded = 0;
    for (const auto& entry : fs::directory_iterator(folder / "q")) {
        // Anything but CTextException escaping fails the test by itself.
        if (DecodeFailure(entry.path()).has_value())
            ++failed;
        else
            ++decoded;
    }
    EXPECT_EQ(failed + decoded, 43);

    // Compressions that are not decoded, and 64 bits per pixel, are refused.
    for (const char* name : {"pal1huffmsb.bmp", "rgb24jpeg.bmp", "rgb24png.bmp"})
        EXPECT_EQ(DecodeFailure(folder / "q" / name), ERR_FORMAT_NOT_COMPILED) << name;
    EXPECT_EQ(DecodeFailure(folder / "q" / "rgba64.bmp"), ERR_FORMAT_UNKNOWN);
    const Expectation expectations[] = {
        // A gap before the pixels, an oversized table, OS/2 headers of 12, 16,
        // 40 and 64 bytes.
        {"pal8offs.bmp", "pal8.png"},
        {"pal8oversizepal.bmp", "pal8.png"},
        {"pal8os2-hs.bmp", "pal8.png"},
        {"pal8os2-sz.bmp", "pal8.png"},
        {"pal8os2sp.bmp", "pal8.png"},
        {"pal8os2v2.bmp", "pal8.png"},
        {"pal8os2v2-16.bmp", "pal8.png"},
        {"pal8os2v2-40sz.bmp", "pal8.png"},
        {"pal8os2v2-sz.bmp", "pal8.png"},
        {"rgb24largepal.bmp", "rgb24.png"},
        {"rgb24rle24.bmp", "pal8.png"},
        {"pal2.bmp", "pal2.png"},
        {"pal2color.bmp", "pal2color.png"},
        // Pixels a delta skips take the first palette colour.
        {"pal4rletrns.bmp", "pal4rletrns-0.png"},
        {"pal8rletrns.bmp", "pal8rletrns-0.png"},
        // Pixels the data never reaches stay as created: transparent black.
        {"pal4rlecut.bmp", "pal4rlecut.png"},
        {"pal8rlecut.bmp", "pal8rlecut.png"},
        // Colour masks of every width, with and without alpha.
        {"rgb16-231.bmp", "rgb16-231.png"},
        {"rgb16-3103.bmp", "rgb16-3103.png"},
        {"rgba16-1924.bmp", "rgba16-1924.png"},
        {"rgba16-4444.bmp", "rgba16-4444.png"},
        {"rgba16-5551.bmp", "rgba16-5551.png", Match::HighFiveBits},
        {"rgb32-7187.bmp", "rgb24.png", Match::Quantized},
        {"rgb32-111110.bmp", "rgb24.png", Match::Quantized},
        {"rgb32-xbgr.bmp", "rgb24.png"},
        {"rgb32h52.bmp", "rgb24.png"},
        {"rgba32-1.bmp", "rgba32.png"},
        {"rgba32-2.bmp", "rgba32.png"},
        {"rgba32abf.bmp", "rgba32.png"},
        {"rgba32h56.bmp", "rgba32.png"},
        {"rgba32-1010102.bmp", "rgba32-1010102.png"},
        {"rgba32-61754.bmp", "rgba32.png", Match::Quantized},
        {"rgba32-81284.bmp", "rgba32.png", Match::Quantized},
    };
    ExpectRenderings(folder, "q", expectations);
    // An OS/2 bitmap array decodes as its first bitmap.
    const auto pal8 = ReadPng(folder / "ref" / "pal8.png");
    ASSERT_TRUE(pal8.has_value());
    ExpectMatches(Decode(folder / "x" / "ba-bm.bmp"), *pal8, Match::Exact, "ba-bm.bmp");
}
