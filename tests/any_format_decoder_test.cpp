#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using testsupport::ByteWriter;
using testsupport::TemporaryFolder;
using Format = CAnyFormatDecoder::Format;

std::vector<std::uint8_t> WithPrefix(std::initializer_list<std::uint8_t> prefix, std::size_t size = 64) {
    std::vector<std::uint8_t> bytes(prefix);
    bytes.resize(std::max(size, bytes.size()), 0);
    return bytes;
}

int Detect(const std::vector<std::uint8_t>& bytes) {
    return CAnyFormatDecoder::DetectFormat(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

// A Targa header: colour-map type, image type, map entry size, pixel depth.
std::vector<std::uint8_t> TargaHeader(std::uint8_t mapType, std::uint8_t imageType, std::uint8_t entrySize,
                                      std::uint8_t depth) {
    std::vector<std::uint8_t> bytes(18 + 4, 0);
    bytes[1] = mapType;
    bytes[2] = imageType;
    bytes[7] = entrySize;
    bytes[16] = depth;
    return bytes;
}

std::vector<std::uint8_t> PictData(std::size_t size, std::initializer_list<std::uint8_t> opcode) {
    std::vector<std::uint8_t> bytes(size, 0);
    std::copy(opcode.begin(), opcode.end(), bytes.begin() + 522);
    return bytes;
}

std::vector<std::uint8_t> EpsHeader(std::initializer_list<std::uint8_t> signature, std::uint32_t offset,
                                    std::uint32_t length) {
    ByteWriter out;
    out.bytes(signature).le32(32).le32(0).le32(0).le32(0).le32(offset).le32(length).le16(0xFFFF);
    out.fill(64, 0);
    return out.data();
}

std::vector<std::uint8_t> SmallBmp() {
    ByteWriter out;
    out.text("BM").le32(58).le32(0).le32(54);
    out.le32(40).le32(1).le32(1).le16(1).le16(24).le32(0).le32(0).le32(0).le32(0).le32(0).le32(0);
    out.u8(1).u8(2).u8(3).u8(0);
    return out.data();
}

// Decodes with the library trace on and returns what it wrote; the decoder's
// own error, if any, is ignored (the routing is what is looked at).
std::string TraceOfDecoding(const std::function<void(CAnyFormatDecoder&, CDIBBitmap&)>& decode) {
    TemporaryFolder folder;
    const auto tracePath = (folder / "trace.txt").string();
    CAnyFormatDecoder decoder;
    CDIBBitmap bitmap;
    SetTraceFile(tracePath);
    SetTraceLevel(2);
    try {
        decode(decoder, bitmap);
    } catch (const CTextException&) {
    }
    SetTraceLevel(0);
    ClearTraceFile();
    std::ifstream in(tracePath);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string TraceOfMemory(const std::vector<std::uint8_t>& bytes) {
    return TraceOfDecoding([&](CAnyFormatDecoder& decoder, CDIBBitmap& bitmap) {
        decoder.DecodeMemory(bytes.data(), static_cast<std::int64_t>(bytes.size()), bitmap, 32);
    });
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(DetectFormat, RecognisesEachSignature) {
    EXPECT_EQ(Detect(WithPrefix({'B', 'M'})), Format::FORMAT_BMP);
    EXPECT_EQ(Detect(WithPrefix({'G', 'I', 'F', '8', '9', 'a'})), Format::FORMAT_GIF);
    EXPECT_EQ(Detect(WithPrefix({'I', 'I', 0x2A, 0})), Format::FORMAT_TIFF);
    EXPECT_EQ(Detect(WithPrefix({'M', 'M', 0, 0x2A})), Format::FORMAT_TIFF);
    EXPECT_EQ(Detect(WithPrefix({0xFF, 0xD8, 0xFF, 0xE0})), Format::FORMAT_JPEG);
    EXPECT_EQ(Detect(WithPrefix({0x89, 'P', 'N', 'G', 0x0D, 0x0A})), Format::FORMAT_PNG);
    EXPECT_EQ(Detect(WithPrefix({0x0A, 5, 1, 8})), Format::FORMAT_PCX);
    EXPECT_EQ(Detect(WithPrefix({'P', '2', '\n'})), Format::FORMAT_PGM);
    EXPECT_EQ(Detect(WithPrefix({'P', '5', '\n'})), Format::FORMAT_PGM);
}

TEST(DetectFormat, NetpbmFormatsOtherThanGreyMapsGoToTheirOwnDecoder) {
    for (std::uint8_t kind : {'1', '3', '4', '6', '7'})
        EXPECT_EQ(Detect(WithPrefix({'P', kind, '\n'})), Format::FORMAT_PNM) << kind;
    for (std::uint8_t kind : {'0', '8', 'X'})
        EXPECT_EQ(Detect(WithPrefix({'P', kind, '\n'})), Format::FORMAT_UNKNOWN) << kind;
    EXPECT_EQ(Detect(WithPrefix({0x0A, 5, 0, 8})), Format::FORMAT_UNKNOWN);  // PCX without RLE encoding
}

namespace {

// An ISO media file-type box: size, "ftyp", major brand, minor version,
// compatible brands.
std::vector<std::uint8_t> FileTypeBox(const std::string& major, const std::vector<std::string>& compatible,
                                      std::size_t claimedSize = 0) {
    ByteWriter out;
    out.be32(static_cast<std::uint32_t>(claimedSize != 0 ? claimedSize : 16 + 4 * compatible.size()))
        .text("ftyp")
        .text(major)
        .be32(0);
    for (const auto& brand : compatible) out.text(brand);
    out.fill(64, 0);
    return out.data();
}

}  // namespace

TEST(DetectFormat, WebPAndHeifBrandsAreRecognisedBySignature) {
    const struct {
        std::vector<std::uint8_t> bytes;
        int format;
    } cases[] = {
        {WithPrefix({'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'E', 'B', 'P'}), Format::FORMAT_WEBP},
        {WithPrefix({'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'A', 'V', 'E'}), Format::FORMAT_UNKNOWN},
        {FileTypeBox("heic", {}), Format::FORMAT_HEIF},
        {FileTypeBox("avif", {"mif1", "miaf"}), Format::FORMAT_HEIF},
        {FileTypeBox("isom", {"mp41", "avis"}), Format::FORMAT_HEIF},
        {FileTypeBox("mp42", {"isom", "mif1"}), Format::FORMAT_HEIF},
        {FileTypeBox("mp42", {"isom", "mp41"}), Format::FORMAT_UNKNOWN},
        // A brand past the end of the box is not one of its brands.
        {FileTypeBox("mp42", {"isom", "heic"}, 20), Format::FORMAT_UNKNOWN},
        {FileTypeBox("heic", {}, 12), Format::FORMAT_UNKNOWN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Detect(c.bytes), c.format) << std::string(c.bytes.begin(), c.bytes.begin() + 24);
}

// The new signatures are tested after every older test: data that an older
// test claims keeps its decoder.
TEST(DetectFormat, NewerSignaturesNeverTakeDataFromOlderFormats) {
    for (const auto& start : {WithPrefix({'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'E', 'B', 'P'}),
                              FileTypeBox("heic", {}), WithPrefix({'P', '6'})}) {
        auto pict = PictData(600, {0x00, 0x11, 0x02, 0xFF});
        std::copy(start.begin(), start.begin() + 16, pict.begin());
        EXPECT_EQ(Detect(pict), Format::FORMAT_PICT);
    }
}

TEST(DetectFormat, TargaIsRecognisedByPlausibleHeaderValues) {
    EXPECT_EQ(Detect(TargaHeader(0, 2, 0, 24)), Format::FORMAT_TGA);
    EXPECT_EQ(Detect(TargaHeader(1, 9, 24, 8)), Format::FORMAT_TGA);
    EXPECT_EQ(Detect(TargaHeader(0, 11, 32, 16)), Format::FORMAT_TGA);
    EXPECT_EQ(Detect(TargaHeader(0, 4, 0, 24)), Format::FORMAT_UNKNOWN);  // image type 4 does not exist
    EXPECT_EQ(Detect(TargaHeader(2, 2, 0, 24)), Format::FORMAT_UNKNOWN);
    EXPECT_EQ(Detect(TargaHeader(0, 2, 12, 24)), Format::FORMAT_UNKNOWN);
    EXPECT_EQ(Detect(TargaHeader(0, 2, 0, 12)), Format::FORMAT_UNKNOWN);
    // "BM" is tested first.
    auto bitmapLike = TargaHeader(0, 2, 0, 24);
    bitmapLike[0] = 'B';
    bitmapLike[1] = 'M';
    EXPECT_EQ(Detect(bitmapLike), Format::FORMAT_BMP);
    // Data too short to hold a pixel depth is never Targa.
    auto shortData = TargaHeader(0, 2, 0, 24);
    EXPECT_EQ(CAnyFormatDecoder::DetectFormat(shortData.data(), 16), Format::FORMAT_UNKNOWN);
}

TEST(DetectFormat, MacPictureIsLookedForBehindItsPreambleOnlyInLongData) {
    EXPECT_EQ(Detect(PictData(541, {0x00, 0x11, 0x02, 0xFF})), Format::FORMAT_PICT);
    EXPECT_EQ(Detect(PictData(541, {0x00, 0x11, 0x01, 0x77})), Format::FORMAT_PICT);
    EXPECT_EQ(Detect(PictData(541, {0x11, 0x01, 0x01, 0x00})), Format::FORMAT_PICT);
    EXPECT_EQ(Detect(PictData(541, {0x11, 0x01, 0x02, 0x00})), Format::FORMAT_UNKNOWN);
    EXPECT_EQ(Detect(PictData(540, {0x00, 0x11, 0x02, 0xFF})), Format::FORMAT_UNKNOWN);
    // Signatures at the start win over a picture opcode, and the picture wins over JPEG.
    auto gifFirst = PictData(600, {0x00, 0x11, 0x02, 0xFF});
    std::copy_n("GIF8", 4, gifFirst.begin());
    EXPECT_EQ(Detect(gifFirst), Format::FORMAT_GIF);
    auto pictFirst = PictData(600, {0x00, 0x11, 0x02, 0xFF});
    pictFirst[0] = 0xFF;
    pictFirst[1] = 0xD8;
    pictFirst[2] = 0xFF;
    EXPECT_EQ(Detect(pictFirst), Format::FORMAT_PICT);
}

TEST(DetectFormat, EpsNeedsAPreviewOffsetAndLength) {
    EXPECT_EQ(Detect(EpsHeader({0xC5, 0xD0, 0xD3, 0xC6}, 100, 200)), Format::FORMAT_EPS_TIFF);
    EXPECT_EQ(Detect(EpsHeader({0xC6, 0xD3, 0xD0, 0xC5}, 100, 200)), Format::FORMAT_EPS_TIFF);
    EXPECT_EQ(Detect(EpsHeader({0xC5, 0xD0, 0xD3, 0xC6}, 100, 0)), Format::FORMAT_UNKNOWN);
    EXPECT_EQ(Detect(EpsHeader({0xC5, 0xD0, 0xD3, 0xC6}, 0, 200)), Format::FORMAT_UNKNOWN);
}

TEST(DetectFormat, ShortAndEmptyDataReadNothingPastTheirEnd) {
    const std::vector<std::uint8_t> two = {'B', 'M'};
    EXPECT_EQ(Detect(two), Format::FORMAT_BMP);
    const std::vector<std::uint8_t> three = {'P', '5', ' '};
    EXPECT_EQ(Detect(three), Format::FORMAT_PGM);
    EXPECT_EQ(CAnyFormatDecoder::DetectFormat(nullptr, 0), Format::FORMAT_UNKNOWN);
    EXPECT_EQ(CAnyFormatDecoder::DetectFormat(two.data(), 1), Format::FORMAT_UNKNOWN);
}

TEST(AnyFormatDecoder, DecodesABitmapFromMemory) {
    const auto bytes = SmallBmp();
    CAnyFormatDecoder decoder;
    CDIBBitmap bitmap;
    decoder.DecodeMemory(bytes.data(), static_cast<std::int64_t>(bytes.size()), bitmap, 32);
    ASSERT_EQ(bitmap.GetDepth(), 32);
    EXPECT_EQ(bitmap.GetRows()[0][0], 1);
    EXPECT_EQ(bitmap.GetRows()[0][2], 3);
}

TEST(AnyFormatDecoder, UnknownDataIsRefused) {
    CAnyFormatDecoder decoder;
    CDIBBitmap bitmap;
    for (const auto& bytes : {std::vector<std::uint8_t>{'P', '8'}, std::vector<std::uint8_t>(100, 0x55),
                              std::vector<std::uint8_t>{}, EpsHeader({0xC5, 0xD0, 0xD3, 0xC6}, 100, 0)}) {
        try {
            decoder.DecodeMemory(bytes.data(), static_cast<std::int64_t>(bytes.size()), bitmap, 32);
            ADD_FAILURE() << "decoded";
        } catch (const CTextException& error) {
            EXPECT_EQ(error.GetCode(), ERR_UNKNOWN_FILE_TYPE);
            EXPECT_STREQ(error.GetMessage(), "Decoder error: Unknown file type.\n");
        }
    }
}

TEST(AnyFormatDecoder, RoutesEachFormatToItsDecoder) {
    const struct {
        std::vector<std::uint8_t> bytes;
        const char* trace;
    } cases[] = {
        {SmallBmp(), "Windows bitmap recognized.\n"},
        {PictData(600, {0x00, 0x11, 0x02, 0xFF}), "Mac PICT recognized.\n"},
        {TargaHeader(0, 2, 0, 24), "TGA file recognized.\n"},
        {WithPrefix({'I', 'I', 0x2A, 0}), "TIFF file recognized.\n"},
        {WithPrefix({0xFF, 0xD8, 0xFF, 0xE0}), "JPEG file recognized.\n"},
        {WithPrefix({0x89, 'P', 'N', 'G'}), "PNG file recognized.\n"},
        {EpsHeader({0xC5, 0xD0, 0xD3, 0xC6}, 30, 10), "TIFF preview in EPS file recognized.\n"},
        {WithPrefix({0x0A, 5, 1, 8}), "PCX file recognized.\n"},
        {WithPrefix({'P', '5', '\n'}), "PGM file recognized.\n"},
        {WithPrefix({'G', 'I', 'F', '8', '7', 'a'}), "GIF file recognized.\n"},
        {WithPrefix({'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'E', 'B', 'P'}), "WebP file recognized.\n"},
        {FileTypeBox("avif", {}), "HEIF file recognized.\n"},
        {WithPrefix({'P', '6', '\n'}), "PNM file recognized.\n"},
    };
    for (const auto& routing : cases) {
        const std::string trace = TraceOfMemory(routing.bytes);
        EXPECT_TRUE(Contains(trace, routing.trace)) << routing.trace << " not in: " << trace;
        EXPECT_EQ(trace.find("recognized"), trace.rfind("recognized")) << trace;
    }
}

TEST(AnyFormatDecoder, MetafilesAreRecognisedByNameWhateverTheirBytes) {
    TemporaryFolder folder;
    std::filesystem::create_directory(folder / "old.Emf");
    const struct {
        std::filesystem::path path;
        const char* trace;
    } cases[] = {
        {folder / "picture.wmf.bmp", "WMF file recognized.\n"},
        {folder / "PICTURE.WMF", "WMF file recognized.\n"},
        {folder / "old.Emf" / "pic.png", "EMF file recognized.\n"},
        {folder / "drawing.emf", "EMF file recognized.\n"},
    };
    for (const auto& routing : cases) {
        testsupport::WriteFileBytes(routing.path, SmallBmp());
        const std::string trace = TraceOfDecoding([&](CAnyFormatDecoder& decoder, CDIBBitmap& bitmap) {
            decoder.DecodeFile(routing.path.string(), bitmap, 32, nullptr);
        });
        EXPECT_TRUE(Contains(trace, routing.trace)) << routing.path << ": " << trace;
        EXPECT_FALSE(Contains(trace, "Windows bitmap recognized.")) << routing.path;
    }
    // The same bytes under an ordinary name are a bitmap.
    testsupport::WriteFileBytes(folder / "wmf.bmp", SmallBmp());
    CAnyFormatDecoder decoder;
    CDIBBitmap bitmap;
    decoder.DecodeFile((folder / "wmf.bmp").string(), bitmap, 32, nullptr);
    EXPECT_EQ(bitmap.GetWidth(), 1);
}

TEST(AnyFormatDecoder, EpsPreviewOffsetPastTheEndIsAnEndOfFile) {
    const auto bytes = EpsHeader({0xC5, 0xD0, 0xD3, 0xC6}, 5000, 10);
    CAnyFormatDecoder decoder;
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(bytes.data(), static_cast<std::int64_t>(bytes.size()), bitmap, 32);
        FAIL();
    } catch (const CTextException& error) {
        EXPECT_EQ(error.GetCode(), ERR_END_OF_FILE);
        EXPECT_STREQ(error.GetMessage(), "End of file reached while decoding.\n");
    }
}

TEST(AnyFormatDecoder, DecoderErrorsPassThroughUnchanged) {
    auto bytes = SmallBmp();
    bytes[14] = 13;  // no info header has this size
    CAnyFormatDecoder decoder;
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(bytes.data(), static_cast<std::int64_t>(bytes.size()), bitmap, 32);
        FAIL();
    } catch (const CTextException& error) {
        EXPECT_EQ(error.GetCode(), ERR_FORMAT_UNKNOWN);
        EXPECT_STREQ(error.GetMessage(), "Decoder error: Bitmap decoder: BITMAPINFOHEADER has wrong size.\n");
    }
}
