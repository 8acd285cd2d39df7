#include "imagelib/decoders/bmp_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdlib>

namespace {

// File header: "BM", file size, two reserved words, offset of the pixel data.
constexpr std::int64_t kFileHeaderBytes = 14;
constexpr std::uint16_t kBitmapSignature = 0x4D42;
constexpr int kPixelOffsetField = 10;

// Info header: only its first 40 bytes are read. Longer headers (52, 56, 108,
// 124 bytes) add masks and colour-space data this decoder does not need; the
// colour table follows the whole header and the pixels are found by offset.
constexpr std::int64_t kInfoHeaderBytes = 40;
constexpr int kWidthField = 4;
constexpr int kHeightField = 8;
constexpr int kBitCountField = 14;
constexpr int kCompressionField = 16;
constexpr int kColoursUsedField = 32;

// 16-bit files with a non-zero compression carry red, green and blue masks
// right after the first 40 header bytes; only the green mask is looked at.
// Version 4 and 5 headers: the colour space the pixels are in.
constexpr std::int64_t kInfoHeaderV4Bytes = 108;
constexpr std::int64_t kInfoHeaderV5Bytes = 124;
constexpr int kColorSpaceTypeField = 56;
constexpr int kEndpointsField = 60;  // red, green, blue CIEXYZ, each 2.30 fixed point
constexpr int kGammaField = 96;      // red, green, blue, each 16.16 fixed point
constexpr int kProfileDataField = 112;  // from the start of the info header
constexpr int kProfileSizeField = 116;
constexpr std::uint32_t kCalibratedRgb = 0;
constexpr std::uint32_t kEmbeddedProfile = 0x4D424544;  // 'MBED'; a linked one ('LINK') is not followed
constexpr double kD50X = 0.3457, kD50Y = 0.3585, kD65X = 0.3127, kD65Y = 0.3290, kWhiteTolerance = 0.01;
constexpr std::int64_t kMaskBytes = 12;
constexpr std::uint32_t kGreenMask555 = 0x3E0;

constexpr std::int64_t kColourTableEntryBytes = 4;
constexpr std::int64_t kMaxStoredColours = 256;

// Two bytes of run-length data give at most 255 pixels. Pictures larger than
// the limits' run-length allowance must bring enough data to describe
// themselves, so a few bytes cannot demand a bitmap of a gigabyte.
constexpr std::int64_t kMaxPixelsPerRunLengthByte = 128;

// Run-length escapes (a zero count followed by one of these).
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

bool IsLegalBitCount(int bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

// What the decoder keeps of the headers for one call.
struct BitmapHeader {
    std::int64_t pixelOffset = 0;
    std::int64_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;  // always positive; see topDown
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    bool is555 = true;
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
        const PaletteEntry& colour = m_palette[index];
        std::uint8_t* pixel = row + 4 * x;
        pixel[0] = colour.blue;
        pixel[1] = colour.green;
        pixel[2] = colour.red;
        pixel[3] = colour.alpha;
    }

private:
    std::uint8_t** m_rows;
    int m_depth;
    std::int64_t m_height;
    bool m_topDown;
    const std::vector<PaletteEntry>& m_palette;
};

BitmapHeader ReadHeaders(CImageSource& source, const DecodeLimits& limits) {
    BitmapHeader header;
    const std::uint8_t* fileHeader = source.ReadBytes(kFileHeaderBytes);
    if (ReadLE16(fileHeader) != kBitmapSignature)
        RaiseError(ERR_WRONG_SIGNATURE, "Bitmap decoder: This isn't a bitmap.");
    TraceLine(2, "Bitmap file signature found\n");
    header.pixelOffset = ReadLE32(fileHeader + kPixelOffsetField);

    const std::uint8_t* info = source.ReadBytes(kInfoHeaderBytes);
    header.headerSize = ReadLE32(info);
    if (header.headerSize < kInfoHeaderBytes)
        RaiseError(ERR_FORMAT_UNKNOWN, "Bitmap decoder: BITMAPINFOHEADER has wrong size.");
    TraceLine(2, "Bitmap header is ok.\n");

    header.width = ReadLE32Signed(info + kWidthField);
    const std::int64_t height = ReadLE32Signed(info + kHeightField);
    header.topDown = height < 0;
    header.height = std::abs(height);
    header.bitCount = ReadLE16(info + kBitCountField);
    header.compression = ReadLE32(info + kCompressionField);
    header.coloursUsed = ReadLE32(info + kColoursUsedField);

    if (!IsLegalBitCount(header.bitCount)) RaiseError(ERR_FORMAT_UNKNOWN, "Decoding bmp: Illegal bpp value.");
    if (!limits.AllowsSize(header.width, header.height))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Bitmap decoder: Image size %lldx%lld is out of range.",
                         static_cast<long long>(header.width), static_cast<long long>(height));
    // Compressed bitmaps are always stored bottom-up; a negative height there
    // is a broken file, not a layout.
    const bool runLength = header.compression != 0 && (header.bitCount == 4 || header.bitCount == 8);
    if (runLength && header.topDown)
        RaiseError(ERR_FORMAT_UNKNOWN, "Bitmap decoder: Compressed bitmap cannot be stored top-down.");
    return header;
}

// Reads the colour table that follows the whole info header into a 256-entry
// palette. Entries past 256 must be present but are not kept. Nothing of the
// table is consumed, because some writers point the pixel data into it (they
// store fewer entries than they declare).
void ReadColourTable(CImageSource& source, const BitmapHeader& header, std::vector<PaletteEntry>& palette) {
    TraceLine(3, "Reading palette.\n");
    source.ReadBytes(header.headerSize - kInfoHeaderBytes);
    const std::int64_t entries = header.coloursUsed == 0 ? std::int64_t{1} << header.bitCount
                                                         : static_cast<std::int64_t>(header.coloursUsed);
    RequireData(source, entries * kColourTableEntryBytes);
    const std::int64_t stored = std::min(entries, kMaxStoredColours);
    const std::uint8_t* table = source.PeekBytes(stored * kColourTableEntryBytes);
    // Entries the table does not define decode as opaque black.
    palette.assign(kMaxStoredColours, PaletteEntry{0, 0, 0, 255});
    for (std::int64_t i = 0; i < stored; ++i) {
        const std::uint8_t* entry = table + i * kColourTableEntryBytes;
        palette[static_cast<std::size_t>(i)] = PaletteEntry{entry[0], entry[1], entry[2], 255};
    }
}

// Run-length data is trusted for nothing: pixels past the end of a row and
// rows past the last one are dropped, while the escapes are still followed so
// that a missing end-of-bitmap or a delta is reported as the data has it.
void DecodeRle8Rows(CImageSource& source, const BitmapHeader& header, const PixelWriter& writer) {
    TraceLine(2, "Decoding RLE8-compressed bitmap.\n");
    std::int64_t y = 0;
    std::int64_t x = 0;
    auto put = [&](std::uint8_t index) {
        if (y < header.height && x < header.width) writer.PutIndex(writer.Row(y), x, index);
        ++x;
    };
    for (;;) {
        const std::uint8_t* pair = source.ReadBytes(2);
        const std::uint8_t count = pair[0];
        const std::uint8_t value = pair[1];
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(value);
        } else if (value == kEndOfLine) {
            ++y;
            x = 0;
        } else if (value == kEndOfBitmap) {
            return;
        } else if (value == kDelta) {
            RaiseError(ERR_FORMAT_NOT_COMPILED, "Encountered delta escape.");
        } else {
            const std::uint8_t* literal = source.ReadBytes(value);
            for (int i = 0; i < value; ++i) put(literal[i]);
            if ((value & 1) != 0) source.ReadBytes(1);
        }
    }
}

// RLE4 pixels are gathered in a row buffer and written when the row ends. Only
// the pixels the data reached are written; the rest of the row stays as created.
void DecodeRle4Rows(CImageSource& source, const BitmapHeader& header, const PixelWriter& writer) {
    TraceLine(2, "Decoding RLE4-compressed bitmap.\n");
    std::vector<std::uint8_t> rowBuffer(static_cast<std::size_t>(header.width));
    std::int64_t y = 0;
    std::int64_t x = 0;
    auto put = [&](std::uint8_t index) {
        if (x < header.width) rowBuffer[static_cast<std::size_t>(x)] = index;
        ++x;
    };
    auto flushRow = [&] {
        if (y < header.height) {
            std::uint8_t* row = writer.Row(y);
            const std::int64_t reached = std::min(x, header.width);
            for (std::int64_t i = 0; i < reached; ++i)
                writer.PutIndex(row, i, rowBuffer[static_cast<std::size_t>(i)]);
        }
    };
    for (;;) {
        const std::uint8_t* pair = source.ReadBytes(2);
        const std::uint8_t count = pair[0];
        const std::uint8_t value = pair[1];
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(static_cast<std::uint8_t>((i & 1) == 0 ? value >> 4 : value & 0x0F));
        } else if (value == kEndOfLine) {
            flushRow();
            ++y;
            x = 0;
        } else if (value == kEndOfBitmap) {
            flushRow();
            return;
        } else if (value == kDelta) {
            RaiseError(ERR_FORMAT_NOT_COMPILED, "Encountered delta escape.");
        } else {
            const int literalBytes = (value + 1) / 2;
            const std::uint8_t* literal = source.ReadBytes(literalBytes);
            for (int i = 0; i < value; ++i) {
                const std::uint8_t byte = literal[i >> 1];
                put(static_cast<std::uint8_t>((i & 1) == 0 ? byte >> 4 : byte & 0x0F));
            }
            if ((literalBytes & 1) != 0) source.ReadBytes(1);
        }
    }
}

// One stored row of 16, 24 or 32 bits per pixel as 32-bit pixels.
void DecodeTrueColourRow(const BitmapHeader& header, const std::uint8_t* data, std::uint8_t* out) {
    for (std::int64_t x = 0; x < header.width; ++x, out += 4) {
        switch (header.bitCount) {
            case 16: {
                // The low bits of each channel stay 0; the high bits are not
                // replicated into them.
                const std::uint16_t word = ReadLE16(data + 2 * x);
                out[0] = static_cast<std::uint8_t>((word << 3) & 0xF8);
                if (header.is555) {
                    out[1] = static_cast<std::uint8_t>((word >> 2) & 0xF8);
                    out[2] = static_cast<std::uint8_t>((word >> 7) & 0xF8);
                } else {
                    out[1] = static_cast<std::uint8_t>((word >> 3) & 0xF8);
                    out[2] = static_cast<std::uint8_t>((word >> 8) & 0xF8);
                }
                out[3] = 255;
                break;
            }
            case 24:
                out[0] = data[3 * x];
                out[1] = data[3 * x + 1];
                out[2] = data[3 * x + 2];
                out[3] = 255;
                break;
            default:
                // 32 bits: the fourth byte is taken as it is stored.
                out[0] = data[4 * x];
                out[1] = data[4 * x + 1];
                out[2] = data[4 * x + 2];
                out[3] = data[4 * x + 3];
                break;
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
                            CDecodedRowListener* listener, const PixelWriter& writer, std::int64_t stride) {
    const std::int64_t width = header.width;
    switch (header.bitCount) {
        case 1:
            TraceLine(2, "Decoding 1 bit per pixel bitmap.\n");
            // A clear bit is colour table entry 0 and a set bit entry 1, so
            // white-on-black and coloured tables keep their colours.
            return DecodeStoredRows(source, header, bitmap, listener, stride,
                                    [&](const std::uint8_t* data, std::uint8_t* row) {
                                        for (std::int64_t x = 0; x < width; ++x)
                                            writer.PutIndex(row, x,
                                                            static_cast<std::uint8_t>((data[x >> 3] >> (7 - (x & 7))) & 1));
                                    });
        case 4:
            TraceLine(2, "Decoding uncompressed 4 bit per pixel bitmap.\n");
            return DecodeStoredRows(source, header, bitmap, listener, stride,
                                    [&](const std::uint8_t* data, std::uint8_t* row) {
                                        for (std::int64_t x = 0; x < width; ++x) {
                                            const std::uint8_t byte = data[x >> 1];
                                            writer.PutIndex(row, x,
                                                            static_cast<std::uint8_t>((x & 1) == 0 ? byte >> 4 : byte & 0x0F));
                                        }
                                    });
        case 8:
            TraceLine(2, "Decoding uncompressed 8 bit per pixel bitmap.\n");
            return DecodeStoredRows(source, header, bitmap, listener, stride,
                                    [&](const std::uint8_t* data, std::uint8_t* row) {
                                        for (std::int64_t x = 0; x < width; ++x) writer.PutIndex(row, x, data[x]);
                                    });
        default:
            TraceLine(2, "Decoding true-color bitmap.\n");
            return DecodeStoredRows(source, header, bitmap, listener, stride,
                                    [&](const std::uint8_t* data, std::uint8_t* out) {
                                        DecodeTrueColourRow(header, data, out);
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
    if (sum(xyz) <= 0 || sum(xyz + 3) <= 0 || sum(xyz + 6) <= 0 || gamma[0] <= 0 || gamma[1] <= 0 || gamma[2] <= 0)
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
    BitmapHeader header = ReadHeaders(source, GetLimits());
    if (GetColorManagement() && header.headerSize >= kInfoHeaderV4Bytes &&
        kFileHeaderBytes + header.headerSize <= fileBytes)
        UseHeaderColorSpace(fileStart + kFileHeaderBytes, fileBytes - kFileHeaderBytes, header.headerSize);
    const bool indexed = header.bitCount <= 8;
    const bool runLength = indexed && header.compression != 0 && header.bitCount != 1;

    if (indexed) ReadColourTable(source, header, palette);
    if (header.bitCount == 16 && header.compression != 0) {
        // Looked at, not consumed: a writer that declares masks without
        // storing them points the pixel data at where they would be.
        const std::uint8_t* masks = source.PeekBytes(kMaskBytes);
        header.is555 = ReadLE32(masks + 4) == kGreenMask555;
    }

    // The pixel data is found by its stored offset, which skips longer headers,
    // masks, tables and gaps alike. It may not start inside the info header.
    if (header.pixelOffset < kFileHeaderBytes + header.headerSize)
        RaiseError(ERR_FORMAT_UNKNOWN, "Bitmap decoder: Pixel data offset points into the headers.");
    source.ReadBytes(header.pixelOffset - position());

    // Uncompressed rows are padded to whole 4-byte words. Refuse data that is
    // too short before allocating the bitmap for it.
    const std::int64_t rowBytes = (header.width * header.bitCount + 7) / 8;
    const std::int64_t stride = (rowBytes + 3) & ~std::int64_t{3};
    if (!runLength) {
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
    if (runLength)
        CreateBitmapWithin(GetLimits(), bitmap, static_cast<int>(header.width), static_cast<int>(header.height),
                           depth, false);
    else
        CreateRowBitmap(bitmap, static_cast<int>(header.width), static_cast<int>(header.height), depth, false,
                        kRowBatch);
    if (depth == 8) bitmap.SetPaletteEntries(palette.data());
    bitmap.Lock(false, true);
    try {
        const PixelWriter writer(bitmap, header, palette);
        if (header.bitCount == 4 && runLength)
            DecodeRle4Rows(source, header, writer);
        else if (header.bitCount == 8 && runLength)
            DecodeRle8Rows(source, header, writer);
        else
            DecodeUncompressedRows(source, header, bitmap, RowReporter(), writer, stride);
    } catch (...) {
        bitmap.Unlock();
        throw;
    }
    bitmap.Unlock();
    TraceLine(3, "Decoding finished.\n");
}
