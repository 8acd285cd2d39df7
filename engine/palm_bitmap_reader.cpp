#include "engine/palm_bitmap_reader.h"

#include "engine/palm_decompression.h"
#include "imagelib/byte_order.h"
#include "imagelib/limits/checked_arithmetic.h"

#include <algorithm>
#include <string>

namespace {

// Header layout shared by every version: width, height, rowBytes, the flag
// word, then pixelSize and version.
constexpr std::size_t kVersionByte = 9;
constexpr std::size_t kShortHeaderSize = 16;  // versions 0, 1 and 2
constexpr std::size_t kVersion3HeaderSize = 24;
constexpr std::size_t kDirectInfoSize = 8;  // the 16-bit colour layout before version 3
constexpr int kPlaceholderPixelSize = 0xFF;
constexpr std::size_t kMaxColorTableEntries = 256;
constexpr std::uint8_t kLittleEndianMark = 0x80;

// Flags in a big-endian flag byte; a little-endian header holds them in the
// reverse bit order.
constexpr std::uint8_t kCompressedFlag = 0x80;
constexpr std::uint8_t kHasColorTableFlag = 0x40;
constexpr std::uint8_t kHasTransparencyFlag = 0x20;
constexpr std::uint8_t kIndirectFlag = 0x10;
constexpr std::uint8_t kDirectColorFlag = 0x04;
constexpr std::uint8_t kIndirectColorTableFlag = 0x02;

std::uint8_t reverseBits(std::uint8_t value) {
    std::uint8_t result = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (value & (1u << bit)) result = static_cast<std::uint8_t>(result | (0x80u >> bit));
    return result;
}

std::string at(std::size_t offset) {
    return " (bitmap at offset " + std::to_string(offset) + ")";
}

class HeaderReader {
public:
    HeaderReader(std::span<const std::uint8_t> bytes, std::size_t offset, bool littleEndian)
        : m_bytes(bytes), m_offset(offset), m_littleEndian(littleEndian) {}

    std::uint8_t byte(std::size_t at) const { return m_bytes[m_offset + at]; }
    std::uint16_t word(std::size_t at) const {
        return m_littleEndian ? ReadLE16(&m_bytes[m_offset + at]) : ReadBE16(&m_bytes[m_offset + at]);
    }
    std::uint32_t dword(std::size_t at) const {
        return m_littleEndian ? ReadLE32(&m_bytes[m_offset + at]) : ReadBE32(&m_bytes[m_offset + at]);
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_offset;
    bool m_littleEndian;
};

bool isSupportedDepth(int depth) {
    return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
}

// Reads the header fields; returns the flag byte in big-endian bit order.
std::uint8_t readHeader(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t end,
                        PalmBitmapRecord& bitmap) {
    if (end - offset < kShortHeaderSize) throw PalmFormatError("Bitmap header is cut off" + at(offset));
    const std::uint8_t versionByte = bytes[offset + kVersionByte];
    bitmap.littleEndian = (versionByte & kLittleEndianMark) != 0;
    bitmap.version = versionByte & ~kLittleEndianMark;
    if (bitmap.version > 3)
        throw PalmFormatError("Unknown bitmap version " + std::to_string(bitmap.version) + at(offset));
    const HeaderReader header(bytes, offset, bitmap.littleEndian);
    bitmap.width = header.word(0);
    bitmap.height = header.word(2);
    bitmap.rowBytes = header.word(4);
    const std::uint8_t flags = bitmap.littleEndian ? reverseBits(header.byte(6)) : header.byte(6);
    bitmap.pixelSize = bitmap.version == 0 ? 1 : header.byte(8);
    bitmap.headerSize = static_cast<int>(kShortHeaderSize);
    bitmap.compressed = (flags & kCompressedFlag) != 0;
    bitmap.hasColorTable = (flags & kHasColorTableFlag) != 0;
    bitmap.hasTransparency = (flags & kHasTransparencyFlag) != 0;
    if (bitmap.compressed) bitmap.compressionType = kPalmScanlineCompression;

    if (bitmap.version == 1 || bitmap.version == 2) bitmap.nextOffset = std::size_t{header.word(10)} * 4;
    if (bitmap.version == 2) {
        bitmap.transparentValue = header.byte(12);
        if (bitmap.compressed) bitmap.compressionType = header.byte(13);
    }
    if (bitmap.version == 3) {
        if (end - offset < kVersion3HeaderSize)
            throw PalmFormatError("Bitmap header is cut off" + at(offset));
        bitmap.headerSize = header.byte(10);
        if (bitmap.headerSize < static_cast<int>(kVersion3HeaderSize))
            throw PalmFormatError("Version-3 header size " + std::to_string(bitmap.headerSize) +
                                  " is smaller than 24" + at(offset));
        bitmap.pixelFormat = header.byte(11);
        if (bitmap.compressed) bitmap.compressionType = header.byte(13);
        bitmap.density = header.word(14);
        bitmap.transparentValue = header.dword(16);
        bitmap.nextOffset = header.dword(20);
    }
    return flags;
}

void checkHeader(const PalmBitmapRecord& bitmap, std::uint8_t flags, const DecodeLimits& limits) {
    const std::string where = at(bitmap.offset);
    if (!isSupportedDepth(bitmap.pixelSize))
        throw PalmFormatError("Unsupported pixel size " + std::to_string(bitmap.pixelSize) + where);
    if (bitmap.width == 0 || bitmap.height == 0) throw PalmFormatError("Bitmap has no pixels" + where);
    if (!limits.AllowsSize(bitmap.width, bitmap.height))
        throw PalmFormatError("Bitmap of " + std::to_string(bitmap.width) + " x " +
                              std::to_string(bitmap.height) + " pixels is larger than allowed" + where);
    const std::size_t neededRowBytes = (static_cast<std::size_t>(bitmap.width) * bitmap.pixelSize + 7) / 8;
    if (static_cast<std::size_t>(bitmap.rowBytes) < neededRowBytes)
        throw PalmFormatError("Row length " + std::to_string(bitmap.rowBytes) + " cannot hold " +
                              std::to_string(bitmap.width) + " pixels of " +
                              std::to_string(bitmap.pixelSize) + " bits" + where);
    const auto pictureBytes = CheckedMultiply(static_cast<std::uint64_t>(bitmap.width) * 4, bitmap.height);
    const auto pixelBytes = CheckedMultiply(bitmap.rowBytes, bitmap.height);
    if (!pictureBytes || *pictureBytes > limits.maxBitmapBytes || *pixelBytes > limits.maxBitmapBytes)
        throw PalmFormatError("Bitmap is larger than allowed" + where);
    if (flags & (kIndirectFlag | kIndirectColorTableFlag))
        throw PalmFormatError("Indirect bitmap keeps its data outside the file" + where);
    if (bitmap.compressed && bitmap.compressionType != kPalmScanlineCompression &&
        bitmap.compressionType != kPalmRleCompression && bitmap.compressionType != kPalmPackBitsCompression)
        throw PalmFormatError("Unknown compression type " + std::to_string(bitmap.compressionType) + where);
    if (bitmap.version == 3 && bitmap.pixelFormat > kPalmIndexedLittleEndian)
        throw PalmFormatError("Unknown pixel format " + std::to_string(bitmap.pixelFormat) + where);
    if (bitmap.version == 3 && bitmap.density == 0) throw PalmFormatError("Bitmap density is 0" + where);
    if (bitmap.pixelSize == 16 && bitmap.hasColorTable)
        throw PalmFormatError("16-bit bitmap carries a colour table" + where);
}

// Reads the colour table and the colour layout of 16-bit bitmaps before
// version 3; returns where the pixel data begins.
std::size_t readTables(std::span<const std::uint8_t> bytes, std::size_t end, std::uint8_t flags,
                       PalmBitmapRecord& bitmap) {
    const std::string where = at(bitmap.offset);
    std::size_t position = bitmap.offset + static_cast<std::size_t>(bitmap.headerSize);
    if (position > end) throw PalmFormatError("Bitmap header is cut off" + where);
    if (bitmap.hasColorTable) {
        if (end - position < 2) throw PalmFormatError("Colour table is cut off" + where);
        const HeaderReader table(bytes, position, bitmap.littleEndian);
        const std::size_t count = table.word(0);
        if (count > kMaxColorTableEntries)
            throw PalmFormatError("Colour table of " + std::to_string(count) + " entries" + where);
        if ((end - position - 2) / 4 < count) throw PalmFormatError("Colour table is cut off" + where);
        // Each entry is an index byte (unused) and red, green and blue.
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* entry = &bytes[position + 2 + 4 * i];
            bitmap.colorTable.push_back({entry[1], entry[2], entry[3]});
        }
        position += 2 + 4 * count;
    }
    // Only version-3 headers describe 16-bit pixels themselves; before that,
    // a layout follows the colour table.
    if (bitmap.version != 3 && bitmap.pixelSize == 16 && (flags & kDirectColorFlag)) {
        if (end - position < kDirectInfoSize)
            throw PalmFormatError("16-bit colour layout is cut off" + where);
        const std::uint8_t* info = &bytes[position];
        if (info[0] != 5 || info[1] != 6 || info[2] != 5)
            throw PalmFormatError("16-bit colour layout " + std::to_string(info[0]) + "-" +
                                  std::to_string(info[1]) + "-" + std::to_string(info[2]) + " is not 5-6-5" +
                                  where);
        // The transparent colour is stored as red, green and blue bytes.
        bitmap.transparentValue =
            static_cast<std::uint32_t>(((info[5] >> 3) << 11) | ((info[6] >> 2) << 5) | (info[7] >> 3));
        position += kDirectInfoSize;
    }
    return position;
}

void readPixels(std::span<const std::uint8_t> bytes, std::size_t position, std::size_t end,
                PalmBitmapRecord& bitmap) {
    const std::string where = at(bitmap.offset);
    const auto rowBytes = static_cast<std::size_t>(bitmap.rowBytes);
    const auto height = static_cast<std::size_t>(bitmap.height);
    if (!bitmap.compressed) {
        const std::size_t rawLength = rowBytes * height;
        if (rawLength > end - position) throw PalmFormatError("Pixel data is cut off" + where);
        bitmap.payloadLength = rawLength;
        const auto data = bytes.subspan(position, rawLength);
        bitmap.pixels.assign(data.begin(), data.end());
        return;
    }
    // The block starts with its length, the length field included: two bytes
    // before version 3, four from then on.
    const std::size_t fieldSize = bitmap.version == 3 ? 4 : 2;
    if (end - position < fieldSize) throw PalmFormatError("Compressed data is cut off" + where);
    const HeaderReader field(bytes, position, bitmap.littleEndian);
    bitmap.blockLength = fieldSize == 4 ? field.dword(0) : field.word(0);
    if (bitmap.blockLength < fieldSize || bitmap.blockLength > end - position)
        throw PalmFormatError("Compressed block length " + std::to_string(bitmap.blockLength) +
                              " does not fit the " + std::to_string(end - position) + " bytes left" + where);
    bitmap.payloadLength = bitmap.blockLength;
    const auto data = bytes.subspan(position + fieldSize, bitmap.blockLength - fieldSize);
    const std::size_t pixelBytes = bitmap.pixelSize == 16 ? 2 : 1;
    try {
        switch (bitmap.compressionType) {
            case kPalmScanlineCompression:
                bitmap.pixels = expandScanlines(data, rowBytes, height);
                break;
            case kPalmRleCompression:
                bitmap.pixels = expandRle(data, rowBytes, height, pixelBytes);
                break;
            default:
                bitmap.pixels = expandPackBits(data, rowBytes, height, pixelBytes);
                break;
        }
    } catch (const PalmFormatError& error) {
        throw PalmFormatError(error.what() + where);
    }
}

}  // namespace

bool PalmBitmapRecord::pixelsLittleEndian() const {
    if (version == 3 && (pixelFormat == kPalmRgb565 || pixelFormat == kPalmRgb565LittleEndian))
        return pixelFormat == kPalmRgb565LittleEndian;
    return littleEndian;
}

PalmBitmapRecord readPalmBitmap(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t end,
                                const DecodeLimits& limits) {
    if (end > bytes.size() || offset > end) throw PalmFormatError("Bitmap lies beyond the data" + at(offset));
    PalmBitmapRecord bitmap;
    bitmap.offset = offset;
    const std::uint8_t flags = readHeader(bytes, offset, end, bitmap);
    // A member's data ends where the next member begins, so no two members
    // of a family can claim the same bytes.
    if (bitmap.nextOffset != 0) {
        if (bitmap.nextOffset < static_cast<std::size_t>(bitmap.headerSize) ||
            bitmap.nextOffset >= end - offset)
            throw PalmFormatError("Next-bitmap offset " + std::to_string(bitmap.nextOffset) +
                                  " does not lead to another bitmap" + at(offset));
        end = offset + bitmap.nextOffset;
    }
    checkHeader(bitmap, flags, limits);
    const std::size_t pixelsStart = readTables(bytes, end, flags, bitmap);
    readPixels(bytes, pixelsStart, end, bitmap);
    return bitmap;
}

PalmReadBudget::PalmReadBudget(std::size_t fileBytes, const DecodeLimits& limits)
    : m_limits(limits), m_work(WorkBudget::ForFile(fileBytes, 0, limits)) {}

DecodeLimits PalmReadBudget::limitsForNextBitmap() const {
    DecodeLimits next = m_limits;
    next.maxBitmapBytes -= std::min(m_pixelBytes, m_limits.maxBitmapBytes);
    return next;
}

void PalmReadBudget::spend(std::uint64_t units) {
    if (!m_work.Spend(units)) throw PalmFormatError("The file asks for more work than its size allows");
}

void PalmReadBudget::countRecord() {
    spend(1);
}

void PalmReadBudget::countBitmap(const PalmBitmapRecord& bitmap, bool parsed) {
    if (++m_bitmaps > m_limits.maxPalmBitmapsPerFile)
        throw PalmFormatError("The file holds more than " + std::to_string(m_limits.maxPalmBitmapsPerFile) +
                              " bitmaps");
    // A parsed bitmap was checked against what was left; a copy is checked here.
    const std::uint64_t left = limitsForNextBitmap().maxBitmapBytes;
    if (!parsed && (bitmap.pixels.size() > left || std::uint64_t{4} * bitmap.width * bitmap.height > left))
        throw PalmFormatError("Bitmap is larger than allowed" + at(bitmap.offset));
    m_pixelBytes += bitmap.pixels.size();
    spend(1 + bitmap.pixels.size() + (parsed ? bitmap.payloadLength : 0));
}

std::vector<PalmBitmapRecord> readPalmBitmapFamily(std::span<const std::uint8_t> bytes, std::size_t offset,
                                                   std::size_t end, PalmReadBudget& budget) {
    if (end > bytes.size() || offset > end) throw PalmFormatError("Bitmap lies beyond the data" + at(offset));
    std::vector<PalmBitmapRecord> family;
    while (true) {
        if (end - offset < kShortHeaderSize) throw PalmFormatError("Bitmap header is cut off" + at(offset));
        const std::uint8_t versionByte = bytes[offset + kVersionByte];
        if ((versionByte & ~kLittleEndianMark) == 1 && bytes[offset + 8] == kPlaceholderPixelSize) {
            budget.countRecord();
            const HeaderReader header(bytes, offset, (versionByte & kLittleEndianMark) != 0);
            // The high-density members follow directly behind the placeholder
            // unless it says otherwise.
            const std::size_t next =
                header.word(10) != 0 ? std::size_t{header.word(10)} * 4 : kShortHeaderSize;
            if (next >= end - offset) break;
            offset += next;
            continue;
        }
        if (family.size() == budget.limits().maxPalmBitmapsPerFamily)
            throw PalmFormatError("Bitmap family holds more than " +
                                  std::to_string(budget.limits().maxPalmBitmapsPerFamily) + " bitmaps" +
                                  at(offset));
        family.push_back(readPalmBitmap(bytes, offset, end, budget.limitsForNextBitmap()));
        budget.countBitmap(family.back(), true);
        const std::size_t next = family.back().nextOffset;
        if (next == 0) break;
        offset += next;
    }
    if (family.empty()) throw PalmFormatError("Bitmap family holds nothing but a placeholder" + at(offset));
    return family;
}

std::vector<PalmBitmapRecord> readPalmBitmapFamily(std::span<const std::uint8_t> bytes, std::size_t offset,
                                                   std::size_t end, const DecodeLimits& limits) {
    PalmReadBudget budget(bytes.size(), limits);
    return readPalmBitmapFamily(bytes, offset, end, budget);
}
