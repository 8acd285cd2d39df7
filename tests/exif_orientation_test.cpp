// The orientation tag is read from files of strangers: every damaged block
// or container means "as stored", never an error, and nothing outside the
// data is read.
#include "imagelib/orientation/exif_orientation.h"
#include "imagelib/orientation/picture_orientation.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

using testsupport::ByteWriter;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::uint32_t value;  // a SHORT sits in the first two bytes of the field
};

// A TIFF-structured block whose first directory holds `entries`; the
// directory count can be overridden to lie.
Bytes ExifBlock(bool bigEndian, const std::vector<Entry>& entries, std::uint32_t directoryOffset = 8,
                int claimedCount = -1) {
    ByteWriter w;
    auto u16 = [&](std::uint32_t v) -> ByteWriter& { return bigEndian ? w.be16(v) : w.le16(v); };
    auto u32 = [&](std::uint32_t v) -> ByteWriter& { return bigEndian ? w.be32(v) : w.le32(v); };
    w.text(bigEndian ? "MM" : "II");
    u16(42);
    u32(directoryOffset);
    u16(claimedCount >= 0 ? static_cast<std::uint32_t>(claimedCount)
                          : static_cast<std::uint32_t>(entries.size()));
    for (const Entry& e : entries) {
        u16(e.tag);
        u16(e.type);
        u32(e.count);
        if (e.type == 3) {
            u16(e.value);
            u16(0);
        } else {
            u32(e.value);
        }
    }
    u32(0);
    return w.data();
}

Bytes OrientationBlock(int value, bool bigEndian = false) {
    return ExifBlock(bigEndian, {{0x0100, 4, 1, 640}, {0x0112, 3, 1, static_cast<std::uint32_t>(value)}});
}

Bytes Cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

Bytes Changed(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

Bytes WithExifName(const Bytes& block) {
    // Built in one allocation: growing a six-byte vector trips GCC 12's
    // array-bounds warning at -O3.
    static constexpr std::uint8_t kName[] = {'E', 'x', 'i', 'f', 0, 0};
    Bytes named(sizeof kName + block.size());
    std::copy(std::begin(kName), std::end(kName), named.begin());
    std::copy(block.begin(), block.end(), named.begin() + sizeof kName);
    return named;
}

Bytes JpegSegment(std::uint8_t marker, const Bytes& payload) {
    return ByteWriter()
        .u8(0xFF)
        .u8(marker)
        .be16(static_cast<std::uint32_t>(payload.size() + 2))
        .bytes(payload)
        .data();
}

Bytes Jpeg(const std::vector<Bytes>& segments) {
    ByteWriter w;
    w.u8(0xFF).u8(0xD8);
    for (const Bytes& segment : segments) w.bytes(segment);
    return w.u8(0xFF).u8(0xD9).data();
}

// The lookup reads chunk frames only; checksums are left as zeros.
Bytes PngChunk(const std::string& type, const Bytes& data) {
    return ByteWriter().be32(static_cast<std::uint32_t>(data.size())).text(type).bytes(data).be32(0).data();
}

Bytes Png(const std::vector<Bytes>& chunks) {
    ByteWriter w;
    w.bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    for (const Bytes& chunk : chunks) w.bytes(chunk);
    return w.data();
}

Bytes RiffChunk(const std::string& name, const Bytes& data) {
    ByteWriter w;
    w.text(name).le32(static_cast<std::uint32_t>(data.size())).bytes(data);
    if (data.size() % 2 != 0) w.u8(0);
    return w.data();
}

// `sizeAdjustment` makes the RIFF size lie.
Bytes Webp(const std::vector<Bytes>& chunks, int sizeAdjustment = 0) {
    ByteWriter body;
    body.text("WEBP");
    for (const Bytes& chunk : chunks) body.bytes(chunk);
    return ByteWriter()
        .text("RIFF")
        .le32(static_cast<std::uint32_t>(static_cast<int>(body.size()) + sizeAdjustment))
        .bytes(body.data())
        .data();
}

const Bytes kImageData(13, 0x5A);  // odd, so the RIFF chunk gets padded

}  // namespace

TEST(ExifOrientation, ReadsTheFirstDirectoryInBothByteOrdersAndDistrustsTheRest) {
    const Bytes six = OrientationBlock(6);
    struct Case {
        const char* name;
        Bytes block;
        int expected;
    } cases[] = {
        {"little-endian", six, 6},
        {"big-endian", OrientationBlock(8, true), 8},
        {"every valid value", OrientationBlock(7), 7},
        {"value 0", OrientationBlock(0), 1},
        {"value 9", OrientationBlock(9), 1},
        {"no orientation entry", ExifBlock(false, {{0x0100, 4, 1, 640}}), 1},
        {"orientation as LONG", ExifBlock(false, {{0x0112, 4, 1, 6}}), 6},
        {"orientation as big-endian LONG", ExifBlock(true, {{0x0112, 4, 1, 8}}), 8},
        {"LONG orientation whose low half is valid", ExifBlock(false, {{0x0112, 4, 1, 0x10006}}), 1},
        {"LONG orientation 9", ExifBlock(false, {{0x0112, 4, 1, 9}}), 1},
        {"orientation as SLONG", ExifBlock(false, {{0x0112, 9, 1, 6}}), 1},
        {"orientation with two values", ExifBlock(false, {{0x0112, 3, 2, 6}}), 1},
        {"directory offset inside the header", ExifBlock(false, {{0x0112, 3, 1, 6}}, 4), 1},
        {"directory offset past the block", ExifBlock(false, {{0x0112, 3, 1, 6}}, 0xFFFFFFF0u), 1},
        {"entry count larger than the block", ExifBlock(false, {{0x0112, 3, 1, 6}}, 8, 0xFFFF), 1},
        {"block cut inside the entry", Cut(six, 8 + 2 + 12 + 10), 1},
        {"block cut inside the header", Cut(six, 7), 1},
        {"wrong magic number", Changed(six, 2, 43), 1},
        {"mixed byte-order mark", Changed(six, 1, 'M'), 1},
        {"empty", {}, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadExifOrientation(c.block.data(), c.block.size()), c.expected) << c.name;
}

TEST(ExifOrientation, IsFoundInEachContainerWhereverItMayStand) {
    const Bytes exif6 = OrientationBlock(6);
    const Bytes app0 = JpegSegment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 0, 0});
    const Bytes xmp = JpegSegment(0xE1, {'h', 't', 't', 'p', ':', '/', '/', 0});
    const Bytes scan = ByteWriter().u8(0xFF).u8(0xDA).be16(2).data();
    Bytes runsPastEnd = Jpeg({app0, JpegSegment(0xE1, WithExifName(exif6))});
    runsPastEnd.resize(runsPastEnd.size() - 6);
    const Bytes ihdr = PngChunk("IHDR", Bytes(13, 0));
    const Bytes idat = PngChunk("IDAT", kImageData);
    const Bytes iend = PngChunk("IEND", {});
    const Bytes vp8l = RiffChunk("VP8L", kImageData);
    const Bytes vp8x = RiffChunk("VP8X", Bytes(10, 0));

    using Finder = int (*)(const std::uint8_t*, std::size_t);
    struct Case {
        const char* name;
        Finder find;
        Bytes file;
        int expected;
    } cases[] = {
        {"JPEG APP1 after APP0", FindJpegOrientation, Jpeg({app0, JpegSegment(0xE1, WithExifName(exif6))}),
         6},
        {"JPEG EXIF after an XMP APP1, with fill bytes", FindJpegOrientation,
         Jpeg({xmp, {0xFF}, JpegSegment(0xE1, WithExifName(OrientationBlock(3, true)))}), 3},
        {"JPEG APP1 without the EXIF name", FindJpegOrientation, Jpeg({JpegSegment(0xE1, exif6)}), 1},
        {"JPEG EXIF after the scan", FindJpegOrientation,
         Jpeg({scan, JpegSegment(0xE1, WithExifName(exif6))}), 1},
        {"JPEG segment running past the end", FindJpegOrientation, runsPastEnd, 1},
        {"JPEG segment length below two", FindJpegOrientation, Jpeg({{0xFF, 0xE0, 0x00, 0x01}}), 1},
        {"PNG eXIf after the image data", FindPngOrientation,
         Png({ihdr, idat, PngChunk("eXIf", exif6), iend}), 6},
        {"PNG eXIf with the EXIF name", FindPngOrientation,
         Png({ihdr, PngChunk("eXIf", WithExifName(exif6)), idat}), 6},
        {"PNG eXIf after IEND", FindPngOrientation, Png({ihdr, idat, iend, PngChunk("eXIf", exif6)}), 1},
        {"PNG chunk longer than the file", FindPngOrientation,
         Png({ihdr, ByteWriter().be32(0x7FFFFFF0).text("IDAT").data(), PngChunk("eXIf", exif6)}), 1},
        {"WebP EXIF after padded image data", FindWebpOrientation,
         Webp({vp8x, vp8l, RiffChunk("EXIF", exif6)}), 6},
        {"WebP EXIF with the EXIF name", FindWebpOrientation,
         Webp({vp8l, RiffChunk("EXIF", WithExifName(exif6))}), 6},
        {"WebP EXIF past the RIFF size", FindWebpOrientation, Webp({vp8l, RiffChunk("EXIF", exif6)}, -20), 1},
        {"WebP RIFF size past the file", FindWebpOrientation, Webp({vp8l, RiffChunk("EXIF", exif6)}, 1000),
         6},
        {"WebP chunk larger than the file", FindWebpOrientation,
         Webp({ByteWriter().text("VP8L").le32(0xFFFFFFFF).data(), RiffChunk("EXIF", exif6)}), 1},
        {"TIFF", FindTiffOrientation, exif6, 6},
    };
    for (const Case& c : cases) EXPECT_EQ(c.find(c.file.data(), c.file.size()), c.expected) << c.name;
}

TEST(PictureOrientation, LeavesOnlyTheTransposeOfATiffToDoAndIgnoresOtherFormats) {
    struct Case {
        std::string name;
        Bytes file;
        int expected;
    } cases[] = {
        {"photo.jpg", Jpeg({JpegSegment(0xE1, WithExifName(OrientationBlock(6)))}), 6},
        {"photo.webp", Webp({RiffChunk("VP8 ", kImageData), RiffChunk("EXIF", OrientationBlock(8))}), 8},
        {"scan.tif", OrientationBlock(3), 1},
        {"scan.tif", OrientationBlock(5), 5},
        {"scan.tif", OrientationBlock(6), 7},
        {"scan.tif", OrientationBlock(7), 5},
        {"scan.tif", OrientationBlock(8), 7},
        {"scan.tif", ExifBlock(true, {{0x0112, 4, 1, 6}}), 7},
        // Metafiles are chosen by name, whatever their bytes.
        {"drawing.WMF", Jpeg({JpegSegment(0xE1, WithExifName(OrientationBlock(6)))}), 1},
        {"image.bmp", ByteWriter().text("BM").fill(60, 0).data(), 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadPictureOrientation(c.name, c.file.data(), static_cast<std::int64_t>(c.file.size())),
                  c.expected)
            << c.name << " " << c.file.size();
}
