#include "imagelib/decoders/tga_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace {

// The 18-byte header, little-endian.
constexpr std::int64_t kHeaderSize = 18;
constexpr int kIdLengthOffset = 0;
constexpr int kColourMapTypeOffset = 1;
constexpr int kImageTypeOffset = 2;
constexpr int kFirstEntryOffset = 3;
constexpr int kMapLengthOffset = 5;
constexpr int kEntrySizeOffset = 7;
// x and y origin (offsets 8 and 10) place the picture on a screen; not needed.
constexpr int kWidthOffset = 12;
constexpr int kHeightOffset = 14;
constexpr int kPixelDepthOffset = 16;
constexpr int kDescriptorOffset = 17;

// Descriptor bit 5: rows are stored top to bottom. Bit 4 (right to left) and
// the attribute bits are not honoured.
constexpr std::uint8_t kTopToBottomBit = 0x20;

enum ImageType : std::uint8_t {
    kColourMapped = 1,
    kTrueColour = 2,
    kGrey = 3,
    kColourMappedRle = 9,
    kTrueColourRle = 10,
    kGreyRle = 11,
};

constexpr int kPaletteEntries = 256;

// Run-length packets: the top bit marks a run, the low seven bits hold the
// count minus one; the longest packet covers 128 pixels.
constexpr std::uint8_t kRunPacketBit = 0x80;
constexpr std::int64_t kLongestPacket = 128;

bool IsSupportedDepth(int depth) {
    return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

int BytesPerPixel(int depth) {
    return (depth + 7) / 8;
}

// One pixel of `depth` bits as a 32-bit model pixel; 8-bit values are indexes
// into the 256-entry palette.
PaletteEntry DecodePixel(const std::uint8_t* p, int depth, const std::vector<PaletteEntry>& palette) {
    switch (depth) {
        case 8:
            return palette[p[0]];
        case 15:
        case 16: {
            const std::uint16_t word = ReadLE16(p);
            PaletteEntry pixel;
            pixel.blue = static_cast<std::uint8_t>((word << 3) & 0xF8);
            pixel.green = static_cast<std::uint8_t>((word >> 2) & 0xF8);
            pixel.red = static_cast<std::uint8_t>((word >> 7) & 0xF8);
            // At 16 bits the top bit is a one-bit alpha, kept as half coverage.
            pixel.alpha = depth == 15 ? 255 : ((word & 0x8000) != 0 ? 0x80 : 0);
            return pixel;
        }
        case 24:
            return PaletteEntry{p[0], p[1], p[2], 255};
        default:
            return PaletteEntry{p[0], p[1], p[2], p[3]};
    }
}

// Writes pixels from file bytes into one destination row.
class RowWriter {
public:
    RowWriter(int destinationDepth, int pixelDepth, const std::vector<PaletteEntry>& palette)
        : m_destinationDepth(destinationDepth), m_pixelDepth(pixelDepth), m_palette(palette) {}

    // Bytes one pixel takes in the file as this writer reads it: an 8-bit
    // destination takes one byte per pixel, whatever the file's depth.
    int FileBytesPerPixel() const { return m_destinationDepth == 8 ? 1 : BytesPerPixel(m_pixelDepth); }

    void Put(std::uint8_t* row, int x, const std::uint8_t* filePixel) const {
        if (m_destinationDepth == 8) {
            row[x] = filePixel[0];
            return;
        }
        const PaletteEntry pixel = DecodePixel(filePixel, m_pixelDepth, m_palette);
        std::uint8_t* out = row + 4 * static_cast<std::size_t>(x);
        out[0] = pixel.blue;
        out[1] = pixel.green;
        out[2] = pixel.red;
        out[3] = pixel.alpha;
    }

private:
    int m_destinationDepth;
    int m_pixelDepth;
    const std::vector<PaletteEntry>& m_palette;
};

// Keeps the bitmap's lock count balanced when an exception leaves the rows.
class WriteLock {
public:
    explicit WriteLock(CImageBitmap& bitmap) : m_bitmap(bitmap) { m_bitmap.Lock(false, true); }
    ~WriteLock() { m_bitmap.Unlock(); }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    CImageBitmap& m_bitmap;
};

// Raises the source's own end-of-file error when fewer than `bytes` remain,
// before anything is allocated for data that cannot be there.
void RequireRemaining(CImageSource& source, std::int64_t bytes) {
    if (source.GetRemaining() < bytes) source.ReadBytes(bytes);
}

void ReadUncompressedRow(CImageSource& source, const RowWriter& writer, std::uint8_t* row, int width) {
    const int step = writer.FileBytesPerPixel();
    const std::uint8_t* pixels = source.ReadBytes(static_cast<std::int64_t>(width) * step);
    for (int x = 0; x < width; ++x) writer.Put(row, x, pixels + static_cast<std::size_t>(x) * step);
}

void ReadRunLengthRow(CImageSource& source, const RowWriter& writer, std::uint8_t* row, int width) {
    const int step = writer.FileBytesPerPixel();
    int x = 0;
    while (x < width) {
        const std::uint8_t packet = *source.ReadBytes(1);
        const int count = (packet & ~kRunPacketBit) + 1;
        // A packet may reach beyond the row: the rest is read and dropped, and
        // the next row starts with a new packet.
        const int kept = std::min(count, width - x);
        if ((packet & kRunPacketBit) != 0) {
            const std::uint8_t* pixel = source.ReadBytes(step);
            for (int i = 0; i < kept; ++i) writer.Put(row, x + i, pixel);
        } else {
            const std::uint8_t* pixels = source.ReadBytes(static_cast<std::int64_t>(count) * step);
            for (int i = 0; i < kept; ++i)
                writer.Put(row, x + i, pixels + static_cast<std::size_t>(i) * step);
        }
        x += kept;
    }
}

}  // namespace

void CTGADecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                              CImageSource& source) {
    TraceLine(2, "Decoding TGA.\n");

    const std::uint8_t* header = source.ReadBytes(kHeaderSize);
    const int idLength = header[kIdLengthOffset];
    const bool hasColourMap = header[kColourMapTypeOffset] != 0;

    const int imageType = header[kImageTypeOffset];
    if (imageType != kColourMapped && imageType != kTrueColour && imageType != kGrey &&
        imageType != kColourMappedRle && imageType != kTrueColourRle && imageType != kGreyRle)
        RaiseError(ERR_FORMAT_UNKNOWN, "Unknown TGA image type.");
    const bool runLength = imageType >= kColourMappedRle;
    const bool grey = imageType == kGrey || imageType == kGreyRle;
    if ((imageType == kColourMapped || imageType == kColourMappedRle) && !hasColourMap)
        RaiseError(ERR_FORMAT_UNKNOWN, "Color-mapped TGA image has no color map.");

    const int firstEntry = ReadLE16(header + kFirstEntryOffset);
    const int mapLength = ReadLE16(header + kMapLengthOffset);
    const int entrySize = header[kEntrySizeOffset];
    if (hasColourMap && !IsSupportedDepth(entrySize))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Unsupported TGA color map entry size %d.", entrySize);

    const int width = ReadLE16(header + kWidthOffset);
    const int height = ReadLE16(header + kHeightOffset);
    if (!GetLimits().AllowsSize(width, height))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Can't handle TGA image size %d x %d.", width, height);

    const int pixelDepth = header[kPixelDepthOffset];
    if (!IsSupportedDepth(pixelDepth))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Unsupported TGA pixel depth %d.", pixelDepth);
    const bool topToBottom = (header[kDescriptorOffset] & kTopToBottomBit) != 0;

    source.ReadBytes(idLength);

    bpp = ChooseDepth(bpp, pixelDepth);
    if (bpp != 8 && bpp != 32)
        RaiseErrorFormat(ERR_UNSUPPORTED_DATA, "Can't decode TGA to %d bits per pixel.", bpp);
    const bool hasAlpha = pixelDepth == 16 || pixelDepth == 32;

    // Every index has an entry, so no pixel can look outside the palette;
    // entries the file does not store stay opaque black.
    try {
        palette.assign(kPaletteEntries, PaletteEntry{});
    } catch (const std::bad_alloc&) {
        RaiseError(ERR_NO_MEMORY, "Out of memory for palette.");
    }
    if (hasColourMap) {
        const int entryBytes = BytesPerPixel(entrySize);
        const std::uint8_t* entries = source.ReadBytes(static_cast<std::int64_t>(mapLength) * entryBytes);
        // Entries beyond index 255 are stored in the file but have no place.
        for (int i = 0; i < mapLength && firstEntry + i < kPaletteEntries; ++i)
            palette[firstEntry + i] =
                DecodePixel(entries + static_cast<std::size_t>(i) * entryBytes, entrySize, palette);
    }
    if (grey) {
        for (int i = 0; i < kPaletteEntries; ++i) {
            const auto level = static_cast<std::uint8_t>(i);
            palette[i] = PaletteEntry{level, level, level, 255};
        }
    }

    const RowWriter writer(bpp, pixelDepth, palette);
    // The smallest amount of data the rows can take: every pixel uncompressed,
    // or at least one full packet per 128 pixels of each row.
    const std::int64_t packetsPerRow = (width + kLongestPacket - 1) / kLongestPacket;
    RequireRemaining(source, runLength
                                 ? height * packetsPerRow * (1 + writer.FileBytesPerPixel())
                                 : static_cast<std::int64_t>(width) * height * writer.FileBytesPerPixel());

    CreateBitmapWithin(GetLimits(), bitmap, width, height, bpp, hasAlpha);
    // The pixel values of a grey image are levels, so an 8-bit bitmap gets the
    // grey ramp even when the file also carries a colour map.
    if (bpp == 8 && (hasColourMap || grey)) bitmap.SetPaletteEntries(palette.data());

    WriteLock lock(bitmap);
    std::uint8_t** rows = bitmap.GetRows();
    for (int i = 0; i < height; ++i) {
        std::uint8_t* row = rows[topToBottom ? i : height - 1 - i];
        if (runLength)
            ReadRunLengthRow(source, writer, row, width);
        else
            ReadUncompressedRow(source, writer, row, width);
    }
}
