#include "imagelib/decoders/bmp_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/decoders/bmp_color_masks.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

// File header: "BM", file size, two reserved words, offset of the pixel data.
constexpr std::int64_t kFileHeaderBytes = 14;
constexpr std::uint16_t kBitmapSignature = 0x4D42;
constexpr int kPixelOffsetField = 10;

// An OS/2 bitmap array ("BA") holds versions of one picture for several
// displays, each behind a 14-byte array header; the first one is decoded.
// Offsets inside count from the start of the array.
constexpr std::uint16_t kBitmapArraySignature = 0x4142;
constexpr std::int64_t kArrayHeaderBytes = 14;

// The 12-byte core header of OS/2 1.x and Windows 2.x: 16-bit unsigned sizes,
// no compression, colour table entries of 3 bytes.
constexpr std::int64_t kCoreHeaderBytes = 12;
constexpr int kCoreWidthField = 4;
constexpr int kCoreHeightField = 6;
constexpr int kCoreBitCountField = 10;
constexpr std::int64_t kCoreColorEntryBytes = 3;

// OS/2 2.x headers may end after any field from the bit count on (16 bytes)
// up to their full 64 bytes; the fields left out are 0.
constexpr std::int64_t kShortestInfoHeaderBytes = 16;

// Info header: only its first 40 bytes are read. Longer headers (52, 56, 64,
// 108, 124 bytes) add masks, OS/2 fields and colour-space data; the colour
// table follows the whole header and the pixels are found by offset.
constexpr std::int64_t kInfoHeaderBytes = 40;
constexpr int kWidthField = 4;
constexpr int kHeightField = 8;
constexpr int kBitCountField = 14;
constexpr int kCompressionField = 16;
constexpr int kColorsUsedField = 32;

// Version 4 and 5 headers: the colour space the pixels are in.
constexpr std::int64_t kInfoHeaderV4Bytes = 108;
constexpr std::int64_t kInfoHeaderV5Bytes = 124;
constexpr int kColorSpaceTypeField = 56;
constexpr int kEndpointsField = 60;     // red, green, blue CIEXYZ, each 2.30 fixed point
constexpr int kGammaField = 96;         // red, green, blue, each 16.16 fixed point
constexpr int kProfileDataField = 112;  // from the start of the info header
constexpr int kProfileSizeField = 116;
constexpr std::uint32_t kCalibratedRgb = 0;
constexpr std::uint32_t kEmbeddedProfile = 0x4D424544;  // 'MBED'; a linked one ('LINK') is not followed
constexpr double kD50X = 0.3457, kD50Y = 0.3585, kD65X = 0.3127, kD65Y = 0.3290, kWhiteTolerance = 0.01;

// Compression values. OS/2 gives 3 and 4 other meanings, told apart by the
// depth they come with: 3 at 1 bit per pixel is Huffman 1D, 4 at 24 bits RLE24.
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kJpeg = 4;
constexpr std::uint32_t kRle24 = 4;
constexpr std::uint32_t kPng = 5;
constexpr std::uint32_t kAlphaBitFields = 6;

// Colour masks (red, green, blue and, with alpha bit fields or a header of
// 56 bytes or more, alpha) sit right after the first 40 header bytes, inside
// the longer headers.
constexpr std::int64_t kMaskBytes = 16;
constexpr std::int64_t kInfoHeaderWithAlphaMaskBytes = 56;

constexpr std::int64_t kColorTableEntryBytes = 4;
constexpr std::int64_t kMaxStoredColors = 256;

// Two bytes of run-length data give at most 255 pixels. Pictures larger than
// the limits' run-length allowance must bring enough data to describe
// themselves, so a few bytes cannot demand a bitmap of a gigabyte.
constexpr std::int64_t kMaxPixelsPerRunLengthByte = 128;

// Run-length escapes (a zero count followed by one of these).
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

bool IsLegalBitCount(int bitCount) {
    return bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
           bitCount == 24 || bitCount == 32;
}

enum class PixelLayout { kIndexed, kRle4, kRle8, kRle24, kBgr24, kMasked };

// What the decoder keeps of the headers for one call.
struct BitmapHeader {
    std::int64_t arrayBytes = 0;  // the bitmap array header before the file header, if any
    std::int64_t pixelOffset = 0;
    std::int64_t headerSize = 0;
    std::int64_t headerBytesRead = 0;
    bool core = false;
    std::int64_t width = 0;
    std::int64_t height = 0;  // always positive; see topDown
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    PixelLayout layout = PixelLayout::kIndexed;

    bool RunLength() const {
        return layout == PixelLayout::kRle4 || layout == PixelLayout::kRle8 || layout == PixelLayout::kRle24;
    }
    std::int64_t HeadersEnd() const { return arrayBytes + kFileHeaderBytes + headerSize; }
};

// Fails with the source's own end-of-data error when fewer than n bytes are
// left, so nothing is allocated for data that is not there.
void RequireData(CImageSource& source, std::int64_t n) {
    if (source.GetRemaining() < n) source.ReadBytes(n);
}

// Writes decoded pixels into the bitmap: palette indices as bytes at 8 bits
// per pixel, or through the palette at 32.
class PixelWriter {
public:
    PixelWriter(CImageBitmap& bitmap, const BitmapHeader& header, const std::vector<PaletteEntry>& palette)
        : m_rows(bitmap.GetRows()),
          m_depth(bitmap.GetDepth()),
          m_height(header.height),
          m_topDown(header.topDown),
          m_palette(palette) {}

    // Row j of the file, counted in storage order.
    std::uint8_t* Row(std::int64_t fileRow) const {
        return m_rows[m_topDown ? fileRow : m_height - 1 - fileRow];
    }

    void PutIndex(std::uint8_t* row, std::int64_t x, std::uint8_t index) const {
        if (m_depth == 8) {
            row[x] = index;
            return;
        }
        const PaletteEntry& color = m_palette[index];
        PutColor(row, x, color.blue, color.green, color.red, color.alpha);
    }

    static void PutColor(std::uint8_t* row, std::int64_t x, std::uint8_t blue, std::uint8_t green,
                         std::uint8_t red, std::uint8_t alpha) {
        std::uint8_t* pixel = row + 4 * x;
        pixel[0] = blue;
        pixel[1] = green;
        pixel[2] = red;
        pixel[3] = alpha;
    }

private:
    std::uint8_t** m_rows;
    int m_depth;
    std::int64_t m_height;
    bool m_topDown;
    const std::vector<PaletteEntry>& m_palette;
};

// How the pixels are stored, from the depth and the compression; variants
// this decoder cannot read end here with an error that names them.
PixelLayout ChooseLayout(const BitmapHeader& header) {
    if (header.bitCount == 0 && header.compression == kJpeg)
        RaiseError(ERR_FORMAT_NOT_COMPILED, "Bitmap decoder: JPEG-compressed bitmaps are not supported.");
    if (header.bitCount == 0 && header.compression == kPng)
        RaiseError(ERR_FORMAT_NOT_COMPILED, "Bitmap decoder: PNG-compressed bitmaps are not supported.");
    if (!IsLegalBitCount(header.bitCount)) RaiseError(ERR_FORMAT_UNKNOWN, "Decoding bmp: Illegal bpp value.");
    switch (header.bitCount) {
        case 1:
            if (header.compression == kBitFields)
                RaiseError(ERR_FORMAT_NOT_COMPILED,
                           "Bitmap decoder: Huffman-compressed bitmaps are not supported.");
            return PixelLayout::kIndexed;
        case 4:
            return header.compression != 0 ? PixelLayout::kRle4 : PixelLayout::kIndexed;
        case 8:
            return header.compression != 0 ? PixelLayout::kRle8 : PixelLayout::kIndexed;
        case 24:
            return header.compression == kRle24 ? PixelLayout::kRle24 : PixelLayout::kBgr24;
        case 16:
        case 32:
            return PixelLayout::kMasked;
        default:
            return PixelLayout::kIndexed;
    }
}

BitmapHeader ReadHeaders(CImageSource& source, const DecodeLimits& limits) {
    BitmapHeader header;
    const std::uint8_t* fileHeader = source.ReadBytes(kFileHeaderBytes);
    if (ReadLE16(fileHeader) == kBitmapArraySignature) {
        header.arrayBytes = kArrayHeaderBytes;
        fileHeader = source.ReadBytes(kFileHeaderBytes);
    }
    if (ReadLE16(fileHeader) != kBitmapSignature)
        RaiseError(ERR_WRONG_SIGNATURE, "Bitmap decoder: This isn't a bitmap.");
    TraceLine(2, "Bitmap file signature found\n");
    header.pixelOffset = ReadLE32(fileHeader + kPixelOffsetField);

    header.headerSize = ReadLE32(source.PeekBytes(4));
    header.core = header.headerSize == kCoreHeaderBytes;
    if (!header.core && header.headerSize < kShortestInfoHeaderBytes)
        RaiseError(ERR_FORMAT_UNKNOWN, "Bitmap decoder: BITMAPINFOHEADER has wrong size.");
    TraceLine(2, "Bitmap header is ok.\n");
    // A shortened header reads as a whole one whose missing fields are 0.
    header.headerBytesRead = std::min(header.headerSize, kInfoHeaderBytes);
    std::uint8_t info[kInfoHeaderBytes] = {};
    std::memcpy(info, source.ReadBytes(header.headerBytesRead),
                static_cast<std::size_t>(header.headerBytesRead));

    std::int64_t height = 0;
    if (header.core) {
        header.width = ReadLE16(info + kCoreWidthField);
        height = ReadLE16(info + kCoreHeightField);
        header.bitCount = ReadLE16(info + kCoreBitCountField);
    } else {
        header.width = ReadLE32Signed(info + kWidthField);
        height = ReadLE32Signed(info + kHeightField);
        header.bitCount = ReadLE16(info + kBitCountField);
        header.compression = ReadLE32(info + kCompressionField);
        header.colorsUsed = ReadLE32(info + kColorsUsedField);
    }
    header.topDown = height < 0;
    header.height = std::abs(height);

    header.layout = ChooseLayout(header);
    if (!limits.AllowsSize(header.width, header.height))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Bitmap decoder: Image size %lldx%lld is out of range.",
                         static_cast<long long>(header.width), static_cast<long long>(height));
    // Compressed bitmaps are always stored bottom-up; a negative height there
    // is a broken file, not a layout.
    if (header.RunLength() && header.topDown)
        RaiseError(ERR_FORMAT_UNKNOWN, "Bitmap decoder: Compressed bitmap cannot be stored top-down.");
    return header;
}

// Reads the colour table that follows the whole info header into a 256-entry
// palette. Entries past 256 must be present but are not kept. Nothing of the
// table is consumed, because some writers point the pixel data into it (they
// store fewer entries than they declare).
void ReadColorTable(CImageSource& source, const BitmapHeader& header, std::vector<PaletteEntry>& palette) {
    TraceLine(3, "Reading palette.\n");
    source.ReadBytes(header.headerSize - header.headerBytesRead);
    std::int64_t entries = header.colorsUsed == 0 ? std::int64_t{1} << header.bitCount
                                                  : static_cast<std::int64_t>(header.colorsUsed);
    const std::int64_t entryBytes = header.core ? kCoreColorEntryBytes : kColorTableEntryBytes;
    // A core header cannot say how many colours it stores; the pixels
    // start right behind the ones it does.
    if (header.core && header.pixelOffset >= header.HeadersEnd())
        entries = std::min(entries, (header.pixelOffset - header.HeadersEnd()) / entryBytes);
    RequireData(source, entries * entryBytes);
    const std::int64_t stored = std::min(entries, kMaxStoredColors);
    const std::uint8_t* table = source.PeekBytes(stored * entryBytes);
    // Entries the table does not define decode as opaque black.
    palette.assign(kMaxStoredColors, PaletteEntry{0, 0, 0, 255});
    for (std::int64_t i = 0; i < stored; ++i) {
        const std::uint8_t* entry = table + i * entryBytes;
        palette[static_cast<std::size_t>(i)] = PaletteEntry{entry[0], entry[1], entry[2], 255};
    }
}

// The masks of a 16- or 32-bit file: stored ones for bit fields (any
// compression at 16 bits), otherwise 5-5-5 or blue, green, red bytes. A file
// whose colour masks are all zero stores none.
BmpColorMasks ReadColorMasks(CImageSource& source, const BitmapHeader& header) {
    const BmpColorMasks defaults = header.bitCount == 16 ? BmpColorMasks{0x7C00, 0x3E0, 0x1F, 0}
                                                         : BmpColorMasks{0xFF0000, 0xFF00, 0xFF, 0};
    const bool stored = header.bitCount == 16
                            ? header.compression != 0
                            : header.compression == kBitFields || header.compression == kAlphaBitFields;
    if (!stored) return defaults;
    // Looked at, not consumed: a writer that declares masks without
    // storing them points the pixel data at where they would be.
    const std::uint8_t* fields = source.PeekBytes(kMaskBytes);
    BmpColorMasks masks{ReadLE32(fields), ReadLE32(fields + 4), ReadLE32(fields + 8), 0};
    if (header.compression == kAlphaBitFields || header.headerSize >= kInfoHeaderWithAlphaMaskBytes)
        masks.alpha = ReadLE32(fields + 12);
    if (masks.red == 0 && masks.green == 0 && masks.blue == 0) {
        masks.red = defaults.red;
        masks.green = defaults.green;
        masks.blue = defaults.blue;
    }
    return masks;
}

// Run-length data is trusted for nothing: pixels past the end of a row and
// rows past the last one are dropped, while the escapes are still followed so
// that a missing end-of-bitmap is reported as the data has it. A delta moves
// on by columns and rows; the pixels it passes take the first palette colour
// (RLE24 has none: there they stay as created), and one that leads outside
// the picture is an error.
void DecodeRunLengthRows(CImageSource& source, const BitmapHeader& header, const PixelWriter& writer) {
    const int bitCount = header.bitCount;
    TraceLine(2, bitCount == 4   ? "Decoding RLE4-compressed bitmap.\n"
                 : bitCount == 8 ? "Decoding RLE8-compressed bitmap.\n"
                                 : "Decoding RLE24-compressed bitmap.\n");
    const std::int64_t valueBytes = bitCount == 24 ? 3 : 1;
    std::int64_t y = 0;
    std::int64_t x = 0;
    // Pixel i of a run (whose value `bytes` holds) or of a literal (stored in `bytes`).
    auto put = [&](const std::uint8_t* bytes, int i, bool run) {
        if (y < header.height && x < header.width) {
            std::uint8_t* row = writer.Row(y);
            if (bitCount == 24) {
                const std::uint8_t* pixel = run ? bytes : bytes + 3 * i;
                PixelWriter::PutColor(row, x, pixel[0], pixel[1], pixel[2], 255);
            } else if (bitCount == 8) {
                writer.PutIndex(row, x, run ? bytes[0] : bytes[i]);
            } else {
                const std::uint8_t byte = run ? bytes[0] : bytes[i >> 1];
                writer.PutIndex(row, x, static_cast<std::uint8_t>((i & 1) == 0 ? byte >> 4 : byte & 0x0F));
            }
        }
        ++x;
    };
    auto skipTo = [&](std::int64_t toX, std::int64_t toY) {
        if (toX > header.width || toY > header.height)
            RaiseError(ERR_FORMAT_UNKNOWN, "Bitmap decoder: Delta escape leads outside the picture.");
        for (std::int64_t row = y; bitCount != 24 && row <= toY && row < header.height; ++row) {
            const std::int64_t end = row == toY ? toX : header.width;
            for (std::int64_t column = row == y ? x : 0; column < end; ++column)
                writer.PutIndex(writer.Row(row), column, 0);
        }
        x = toX;
        y = toY;
    };
    for (;;) {
        const std::uint8_t count = *source.ReadBytes(1);
        if (count > 0) {
            const std::uint8_t* value = source.ReadBytes(valueBytes);
            for (int i = 0; i < count; ++i) put(value, i, true);
            continue;
        }
        const std::uint8_t escape = *source.ReadBytes(1);
        if (escape == kEndOfLine) {
            ++y;
            x = 0;
        } else if (escape == kEndOfBitmap) {
            return;
        } else if (escape == kDelta) {
            const std::uint8_t* offset = source.ReadBytes(2);
            skipTo(x + offset[0], y + offset[1]);
        } else {
            const std::int64_t literalBytes = bitCount == 4 ? (escape + 1) / 2 : escape * valueBytes;
            const std::uint8_t* literal = source.ReadBytes(literalBytes);
            for (int i = 0; i < escape; ++i) put(literal, i, false);
            // Literals are padded to whole 16-bit words.
            if ((literalBytes & 1) != 0) source.ReadBytes(1);
        }
    }
}

// Rows decoded between two reports to the row listener.
constexpr int kRowBatch = 16;

// Uncompressed rows lie in the data at fixed places, so they are decoded top
// row first whichever way the file stores them, and finished rows are handed
// on while the rest decode. The source is still consumed a row at a time, for
// the progress it reports. `decodeRow` turns one stored row into a bitmap row.
template <typename DecodeRow>
void DecodeStoredRows(CImageSource& source, const BitmapHeader& header, CImageBitmap& bitmap,
                      CDecodedRowListener* listener, std::int64_t stride, DecodeRow decodeRow) {
    const std::uint8_t* first = source.GetCurrentPointer();
    for (std::int64_t y = 0; y < header.height; ++y) {
        source.ReadBytes(stride);
        const std::int64_t fileRow = header.topDown ? y : header.height - 1 - y;
        decodeRow(first + fileRow * stride, bitmap.GetRows()[y]);
        if (listener != nullptr && ((y + 1) % kRowBatch == 0 || y + 1 == header.height))
            listener->RowsDecoded(bitmap, static_cast<int>(y + 1));
    }
}

void DecodeUncompressedRows(CImageSource& source, const BitmapHeader& header, CImageBitmap& bitmap,
                            CDecodedRowListener* listener, const PixelWriter& writer,
                            const BmpMaskedPixelReader* maskedReader, std::int64_t stride) {
    const std::int64_t width = header.width;
    switch (header.layout) {
        case PixelLayout::kIndexed: {
            TraceLine(2, header.bitCount == 1   ? "Decoding 1 bit per pixel bitmap.\n"
                         : header.bitCount == 2 ? "Decoding 2 bit per pixel bitmap.\n"
                         : header.bitCount == 4 ? "Decoding uncompressed 4 bit per pixel bitmap.\n"
                                                : "Decoding uncompressed 8 bit per pixel bitmap.\n");
            // Pixels are packed most significant bits first. At 1 bit a clear
            // bit is colour table entry 0 and a set bit entry 1, so
            // white-on-black and coloured tables keep their colours.
            const int bits = header.bitCount;
            const int perByte = 8 / bits;
            const auto mask = static_cast<std::uint8_t>((1 << bits) - 1);
            return DecodeStoredRows(
                source, header, bitmap, listener, stride, [&](const std::uint8_t* data, std::uint8_t* row) {
                    for (std::int64_t x = 0; x < width; ++x) {
                        const int shift = 8 - bits * (static_cast<int>(x % perByte) + 1);
                        writer.PutIndex(row, x,
                                        static_cast<std::uint8_t>((data[x / perByte] >> shift) & mask));
                    }
                });
        }
        case PixelLayout::kBgr24:
            TraceLine(2, "Decoding true-color bitmap.\n");
            return DecodeStoredRows(source, header, bitmap, listener, stride,
                                    [&](const std::uint8_t* data, std::uint8_t* out) {
                                        for (std::int64_t x = 0; x < width; ++x, data += 3)
                                            PixelWriter::PutColor(out, x, data[0], data[1], data[2], 255);
                                    });
        default:
            TraceLine(2, "Decoding true-color bitmap.\n");
            return DecodeStoredRows(source, header, bitmap, listener, stride,
                                    [&](const std::uint8_t* data, std::uint8_t* out) {
                                        maskedReader->ReadRow(data, width, out);
                                    });
    }
}

}  // namespace

void CBMPDecoder::UseHeaderColorSpace(const std::uint8_t* info, std::int64_t bytesFromInfo,
                                      std::int64_t headerSize) {
    const std::uint32_t type = ReadLE32(info + kColorSpaceTypeField);
    if (type == kEmbeddedProfile && headerSize >= kInfoHeaderV5Bytes) {
        const std::int64_t offset = ReadLE32(info + kProfileDataField);
        const std::int64_t size = ReadLE32(info + kProfileSizeField);
        if (static_cast<std::uint64_t>(size) > GetLimits().maxColorProfileBytes)
            IgnoreColorProfile("it is too large");
        else if (offset < headerSize || size == 0 || offset > bytesFromInfo || size > bytesFromInfo - offset)
            IgnoreColorProfile("it lies outside the file");
        else
            UseColorProfile({info + offset, static_cast<std::size_t>(size)}, ProfilePixels::kRgb);
        return;
    }
    if (type != kCalibratedRgb) return;
    // Many writers leave the endpoints and gammas of a calibrated space at
    // zero: such a header describes nothing.
    double xyz[9];
    double gamma[3];
    for (int i = 0; i < 9; ++i) xyz[i] = ReadLE32(info + kEndpointsField + 4 * i) / double(1 << 30);
    for (int i = 0; i < 3; ++i) gamma[i] = ReadLE32(info + kGammaField + 4 * i) / 65536.0;
    const double white[3] = {xyz[0] + xyz[3] + xyz[6], xyz[1] + xyz[4] + xyz[7], xyz[2] + xyz[5] + xyz[8]};
    auto sum = [](const double* v) { return v[0] + v[1] + v[2]; };
    if (sum(xyz) <= 0 || sum(xyz + 3) <= 0 || sum(xyz + 6) <= 0 || gamma[0] <= 0 || gamma[1] <= 0 ||
        gamma[2] <= 0)
        return;
    CalibratedRgbSpace space;
    space.redX = xyz[0] / sum(xyz);
    space.redY = xyz[1] / sum(xyz);
    space.greenX = xyz[3] / sum(xyz + 3);
    space.greenY = xyz[4] / sum(xyz + 3);
    space.blueX = xyz[6] / sum(xyz + 6);
    space.blueY = xyz[7] / sum(xyz + 6);
    space.whiteX = white[0] / sum(white);
    space.whiteY = white[1] / sum(white);
    // The endpoints of a real calibrated space add up to its white, D50 or
    // D65; some writers store chromaticities there instead, which describe
    // no space at all.
    const auto near = [&](double x, double y) {
        return std::abs(space.whiteX - x) < kWhiteTolerance && std::abs(space.whiteY - y) < kWhiteTolerance;
    };
    if (!near(kD50X, kD50Y) && !near(kD65X, kD65Y)) {
        IgnoreColorProfile("its endpoints add up to no white");
        return;
    }
    for (int i = 0; i < 3; ++i) space.gamma[i] = gamma[i];
    space.name = "calibrated RGB";
    UseColorSpace(space);
}

void CBMPDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                              CImageSource& source) {
    const std::int64_t start = source.GetBytesRead();
    auto position = [&] { return source.GetBytesRead() - start; };

    const std::uint8_t* fileStart = source.GetCurrentPointer();
    const std::int64_t fileBytes = source.GetRemaining();
    const BitmapHeader header = ReadHeaders(source, GetLimits());
    const std::int64_t infoStart = header.arrayBytes + kFileHeaderBytes;
    if (GetColorManagement() && header.headerSize >= kInfoHeaderV4Bytes && header.HeadersEnd() <= fileBytes)
        UseHeaderColorSpace(fileStart + infoStart, fileBytes - infoStart, header.headerSize);
    const bool indexed = header.bitCount <= 8;

    if (indexed) ReadColorTable(source, header, palette);
    std::optional<BmpMaskedPixelReader> maskedReader;
    if (header.layout == PixelLayout::kMasked)
        maskedReader.emplace(ReadColorMasks(source, header), header.bitCount);

    // The pixel data is found by its stored offset, which skips longer headers,
    // masks, tables and gaps alike. It may not start inside the info header.
    if (header.pixelOffset < header.HeadersEnd())
        RaiseError(ERR_FORMAT_UNKNOWN, "Bitmap decoder: Pixel data offset points into the headers.");
    source.ReadBytes(header.pixelOffset - position());

    // Uncompressed rows are padded to whole 4-byte words. Refuse data that is
    // too short before allocating the bitmap for it.
    const std::int64_t rowBytes = (header.width * header.bitCount + 7) / 8;
    const std::int64_t stride = (rowBytes + 3) & ~std::int64_t{3};
    if (!header.RunLength()) {
        RequireData(source, stride * header.height);
    } else if (static_cast<std::uint64_t>(header.width * header.height) >
                   GetLimits().maxBmpRunLengthPixelsWithoutData &&
               header.width * header.height / kMaxPixelsPerRunLengthByte > source.GetRemaining()) {
        RaiseError(ERR_UNSUPPORTED_DATA, "Bitmap decoder: Compressed data is too short for the image size.");
    }

    // True colour is always decoded at 32 bits per pixel.
    const int depth = indexed ? ChooseDepth(bpp, header.bitCount) : 32;
    if (depth != 8 && depth != 32)
        RaiseErrorFormat(ERR_UNSUPPORTED_DATA, "Decoding bmp: Cannot decode to %d bits per pixel.", depth);
    bpp = depth;

    // Run-length rows arrive in the order the file stores them, bottom up.
    if (header.RunLength())
        CreateBitmapWithin(GetLimits(), bitmap, static_cast<int>(header.width),
                           static_cast<int>(header.height), depth, false);
    else
        CreateRowBitmap(bitmap, static_cast<int>(header.width), static_cast<int>(header.height), depth, false,
                        kRowBatch);
    if (depth == 8) bitmap.SetPaletteEntries(palette.data());
    bitmap.Lock(false, true);
    try {
        const PixelWriter writer(bitmap, header, palette);
        if (header.RunLength())
            DecodeRunLengthRows(source, header, writer);
        else
            DecodeUncompressedRows(source, header, bitmap, RowReporter(), writer,
                                   maskedReader ? &*maskedReader : nullptr, stride);
    } catch (...) {
        bitmap.Unlock();
        throw;
    }
    bitmap.Unlock();
    TraceLine(3, "Decoding finished.\n");
}
