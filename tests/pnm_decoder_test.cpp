#include "imagelib/decoders/pnm_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/decoding.h"
#include "support/modern_writers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// The 32-bit pixels of a decode as 0xAARRGGBB words, top row first.
std::vector<std::uint32_t> Words(const CImageBitmap& bitmap) {
    std::vector<std::uint32_t> words;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) words.push_back(testsupport::PixelWord(bitmap, x, y));
    return words;
}

}  // namespace

TEST(PNMDecoder, DecodesEachFormToTheSamePixels) {
    using namespace std::string_literals;
    const struct {
        const char* name;
        std::string file;
        int width;
        int height;
        bool alpha;
        std::vector<std::uint32_t> pixels;
    } cases[] = {
        // Bitmaps: 1 is black; plain digits may run together.
        {"plain.pbm",
         "P1\n# two by two\n3 2\n1 0 1\n011",
         3,
         2,
         false,
         {0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFF000000}},
        {"raw.pbm",
         "P4 10 2\n\xA0\x40\x00\xC0"s,
         10,
         2,
         false,
         {0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
          0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
          0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFF000000}},
        // Samples scale to 0..255 with rounding: 7 of 15 is 119.
        {"plain.ppm", "P3 2 1 15\n15 0 7\t0 0\n15", 2, 1, false, {0xFFFF0077, 0xFF0000FF}},
        {"raw.ppm", "P6 2 1 255\n\x10\x20\x30\xFF\x00\x80"s, 2, 1, false, {0xFF102030, 0xFFFF0080}},
        {"raw16.ppm", "P6 1 1 65535\n\xFF\xFF\x80\x00\x00\x00"s, 1, 1, false, {0xFFFF8000}},
        {"grey_alpha.pam",
         "P7\nWIDTH 2\nHEIGHT 1\nDEPTH 2\nMAXVAL 255\nTUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n\x40\x80\xFF\x00"s,
         2,
         1,
         true,
         {0x80404040, 0x00FFFFFF}},
        {"rgba.pam",
         "P7\n# comment\nWIDTH 1\nHEIGHT 2\nDEPTH 4\nMAXVAL 3\nTUPLTYPE RGB_ALPHA\nENDHDR\n\x03\x00\x01\x02\x00\x03\x00\x03"s,
         1,
         2,
         true,
         {0xAAFF0055, 0xFF00FF00}},
        {"long_comment.pam",
         "P7\n# "s + std::string(1000, 'c') + "\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\n  #" +
             std::string(1000, ' ') + "\nENDHDR\n\x7F",
         1,
         1,
         false,
         {0xFF7F7F7F}},
        {"rgb16.pam",
         "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 1000\nTUPLTYPE RGB\nENDHDR\n\x03\xE8\x01\xF4\x00\x00"s,
         1,
         1,
         false,
         {0xFFFF8000}},
    };
    for (const auto& c : cases) {
        const auto bytes = Bytes(c.file);
        testsupport::KeepAsFuzzSeed("pnm", c.name, bytes);
        const auto bitmap = testsupport::DecodeToNewBitmap<CPNMDecoder>(bytes, 32);
        ASSERT_EQ(bitmap->GetWidth(), c.width) << c.name;
        ASSERT_EQ(bitmap->GetHeight(), c.height) << c.name;
        EXPECT_EQ(bitmap->HasAlphaChannel(), c.alpha) << c.name;
        EXPECT_EQ(Words(*bitmap), c.pixels) << c.name;
    }
}

TEST(PNMDecoder, GreyPicturesGive8BitsUnless32AreWanted) {
    const auto pam = Bytes(
        std::string("P7\nWIDTH 2\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\n") + "\x10\xF0");
    for (const auto& bytes : {pam, Bytes("P1 2 1 0 1")}) {
        const auto bitmap = testsupport::DecodeToNewBitmap<CPNMDecoder>(bytes, 0);
        ASSERT_EQ(bitmap->GetDepth(), 8);
        EXPECT_EQ(bitmap->GetRows()[0][0] + bitmap->GetRows()[0][1], bytes[1] == '7' ? 0x10 + 0xF0 : 255);
    }
    EXPECT_EQ(testsupport::DecodeToNewBitmap<CPNMDecoder>(Bytes("P6 1 1 255\n\x01\x02\x03"), 8)->GetDepth(),
              32);
}

TEST(PNMDecoder, RefusesBrokenHeadersSamplesAndSizes) {
    const struct {
        std::string file;
        int code;
        const char* message;
    } cases[] = {
        {"P6 2 1 255\n\x01\x02", ERR_END_OF_FILE, "End of file reached while decoding.\n"},
        {"P3 1 1 255\n1 2", ERR_END_OF_FILE, "End of file reached while decoding.\n"},
        {"P6 2 x 255\n", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: Expected a number in the header.\n"},
        {"P6 1 1 0\n\x01\x02\x03", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: Can't handle maximum value 0.\n"},
        {"P6 1 1 65536\n", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: Can't handle maximum value 65536.\n"},
        {"P3 1 1 100\n1 2 101", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: Sample value above the maximum.\n"},
        {"P6 1 1 100\n\x01\x02\x65", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: Sample value above the maximum.\n"},
        {"P1 2 1 0 2", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: Unexpected character 0x32 in samples.\n"},
        {"P6 70000 1 255\n", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: Can't handle image size 70000 x 1.\n"},
        {"P6 99999999999 1 255\n", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: Number in header is too large.\n"},
        {"P4 16000 16000\n", ERR_END_OF_FILE, "End of file reached while decoding.\n"},
        {"P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\n\x01\x02\x03",
         ERR_FORMAT_UNKNOWN, "Decoder error: PNM decoder: Unsupported PAM tuple type.\n"},
        {"P7\nWIDTH 1\nHEIGHT 1\nMAXVAL 255\nENDHDR\n\x01", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: PAM depth must be 1 to 4.\n"},
        {"P7\nWIDTH 1\nSIZE 1\nENDHDR\n", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: Unknown keyword in PAM header.\n"},
        {"P7\nWIDTH 1\n", ERR_END_OF_FILE, "End of file reached while decoding.\n"},
        {"P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nENDHDR\n\x01\x02\x03", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: PAM header lacks MAXVAL.\n"},
        {"P7\nWIDTH 1\nDEPTH 3\nMAXVAL 255\nENDHDR\n\x01\x02\x03", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: PAM header lacks HEIGHT.\n"},
        {"P7\nWIDTH 1" + std::string(300, '0') + "\n", ERR_FORMAT_UNKNOWN,
         "Decoder error: PNM decoder: PAM header line is too long.\n"},
        {"P2 1 1 255\n1", ERR_FORMAT_UNKNOWN, "Decoder error: PNM decoder: Is not a netpbm picture.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        testsupport::ExpectDecodeFailure<CPNMDecoder>(Bytes(c.file), c.code, c.message);
    }
}
