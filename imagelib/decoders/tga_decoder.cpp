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
constexpr int kColorMapTypeOffset = 1;
constexpr int kImageTypeOffset = 2;
constexpr int kFirstEntryOffset = 3;
constexpr int kMapLengthOffset = 5;
constexpr int kEntrySizeOffset = 7;
// x and y origin (offsets 8 and 10) place the picture on a screen; not needed.
constexpr int kWidthOffset = 12;
constexpr int kHeightOffset = 14;
constexpr int kPixelDepthOffset = 16;
constexpr int kDescriptorOffset = 17;

// Descriptor bit 5: rows are stored top to bottom; bit 4: pixels right to
// left. The low four bits count the alpha bits of a pixel: 16-bit grey
// pixels with 8 of them hold a grey byte and an alpha byte.
constexpr std::uint8_t kTopToBottomBit = 0x20;
constexpr std::uint8_t kRightToLeftBit = 0x10;
constexpr std::uint8_t kAlphaBitsMask = 0x0F;
constexpr int kGreyAlphaBits = 8;

enum ImageType : std::uint8_t {
    kColorMapped = 1,
    kTrueColor = 2,
    kGrey = 3,
    kColorMappedRle = 9,
    kTrueColorRle = 10,
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

// How the bytes of one pixel are read: its bits, and whether 16 of them are a
// grey byte with an alpha byte rather than 5-5-5 colour.
struct PixelFormat {
    int depth = 0;
    bool greyAlpha = false;
};

// One pixel as a 32-bit model pixel; 8-bit values are indexes into the
// 256-entry palette.
PaletteEntry DecodePixel(const std::uint8_t* p, PixelFormat format,
                         const std::vector<PaletteEntry>& palette) {
    const int depth = format.depth;
    if (format.greyAlpha) return PaletteEntry{p[0], p[0], p[0], p[1]};
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

// Writes pixels from file bytes into one destination row, in the file's
// order of columns.
class RowWriter {
public:
    RowWriter(int destinationDepth, PixelFormat format, const std::vector<PaletteEntry>& palette, int width,
              bool rightToLeft)
        : m_destinationDepth(destinationDepth),
          m_format(format),
          m_palette(palette),
          m_width(width),
          m_rightToLeft(rightToLeft) {}

    // Bytes one pixel takes in the file as this writer reads it: an 8-bit
    // destination takes one byte per pixel, whatever the file's depth.
    int FileBytesPerPixel() const { return m_destinationDepth == 8 ? 1 : BytesPerPixel(m_format.depth); }

    void Put(std::uint8_t* row, int fileColumn, const std::uint8_t* filePixel) const {
        const int x = m_rightToLeft ? m_width - 1 - fileColumn : fileColumn;
        if (m_destinationDepth == 8) {
            row[x] = filePixel[0];
            return;
        }
        const PaletteEntry pixel = DecodePixel(filePixel, m_format, m_palette);
        std::uint8_t* out = row + 4 * static_cast<std::size_t>(x);
        out[0] = pixel.blue;
        out[1] = pixel.green;
        out[2] = pixel.red;
        out[3] = pixel.alpha;
    }

private:
    int m_destinationDepth;
    PixelFormat m_format;
    const std::vector<PaletteEntry>& m_palette;
    int m_width;
    bool m_rightToLeft;
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

// Packets run on from one row into the next, as older writers store them; a
// packet reaching beyond the last pixel of the picture has the rest dropped.
class RunLengthReader {
public:
    RunLengthReader(CImageSource& source, const RowWriter& writer) : m_source(source), m_writer(writer) {}

    void ReadRow(std::uint8_t* row, int width) {
        const int step = m_writer.FileBytesPerPixel();
        int x = 0;
        while (x < width) {
            if (m_left == 0) {
                const std::uint8_t packet = *m_source.ReadBytes(1);
                m_left = (packet & ~kRunPacketBit) + 1;
                m_run = (packet & kRunPacketBit) != 0;
                m_pixels = m_source.ReadBytes(static_cast<std::int64_t>(m_run ? 1 : m_left) * step);
            }
            const int count = std::min(m_left, width - x);
            for (int i = 0; i < count; ++i)
                m_writer.Put(row, x + i, m_run ? m_pixels : m_pixels + static_cast<std::size_t>(i) * step);
            if (!m_run) m_pixels += static_cast<std::size_t>(count) * step;
            m_left -= count;
            x += count;
        }
    }

private:
    CImageSource& m_source;
    const RowWriter& m_writer;
    int m_left = 0;  // pixels of the current packet not yet placed
    bool m_run = false;
    const std::uint8_t* m_pixels = nullptr;  // the run's pixel, or the literal's next one
};

}  // namespace

void CTGADecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                              CImageSource& source) {
    TraceLine(2, "Decoding TGA.\n");

    const std::uint8_t* header = source.ReadBytes(kHeaderSize);
    const int idLength = header[kIdLengthOffset];
    const bool hasColorMap = header[kColorMapTypeOffset] != 0;

    const int imageType = header[kImageTypeOffset];
    if (imageType != kColorMapped && imageType != kTrueColor && imageType != kGrey &&
        imageType != kColorMappedRle && imageType != kTrueColorRle && imageType != kGreyRle)
        RaiseError(ERR_FORMAT_UNKNOWN, "Unknown TGA image type.");
    const bool runLength = imageType >= kColorMappedRle;
    const bool grey = imageType == kGrey || imageType == kGreyRle;
    if ((imageType == kColorMapped || imageType == kColorMappedRle) && !hasColorMap)
        RaiseError(ERR_FORMAT_UNKNOWN, "Color-mapped TGA image has no color map.");

    const int firstEntry = ReadLE16(header + kFirstEntryOffset);
    const int mapLength = ReadLE16(header + kMapLengthOffset);
    const int entrySize = header[kEntrySizeOffset];
    if (hasColorMap && !IsSupportedDepth(entrySize))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Unsupported TGA color map entry size %d.", entrySize);

    const int width = ReadLE16(header + kWidthOffset);
    const int height = ReadLE16(header + kHeightOffset);
    if (!GetLimits().AllowsSize(width, height))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Can't handle TGA image size %d x %d.", width, height);

    const int pixelDepth = header[kPixelDepthOffset];
    if (!IsSupportedDepth(pixelDepth))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Unsupported TGA pixel depth %d.", pixelDepth);
    const std::uint8_t descriptor = header[kDescriptorOffset];
    const bool topToBottom = (descriptor & kTopToBottomBit) != 0;
    const PixelFormat format{pixelDepth,
                             grey && pixelDepth == 16 && (descriptor & kAlphaBitsMask) == kGreyAlphaBits};

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
    if (hasColorMap) {
        const int entryBytes = BytesPerPixel(entrySize);
        const std::uint8_t* entries = source.ReadBytes(static_cast<std::int64_t>(mapLength) * entryBytes);
        // Entries beyond index 255 are stored in the file but have no place.
        for (int i = 0; i < mapLength && firstEntry + i < kPaletteEntries; ++i)
            palette[firstEntry + i] = DecodePixel(entries + static_cast<std::size_t>(i) * entryBytes,
                                                  PixelFormat{entrySize}, palette);
    }
    if (grey) {
        for (int i = 0; i < kPaletteEntries; ++i) {
            const auto level = static_cast<std::uint8_t>(i);
            palette[i] = PaletteEntry{level, level, level, 255};
        }
    }

    const RowWriter writer(bpp, format, palette, width, (descriptor & kRightToLeftBit) != 0);
    // The smallest amount of data the rows can take: every pixel uncompressed,
    // or at least one full packet per 128 pixels.
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    RequireRemaining(
        source, runLength ? (pixels + kLongestPacket - 1) / kLongestPacket * (1 + writer.FileBytesPerPixel())
                          : pixels * writer.FileBytesPerPixel());

    // Rows stored top to bottom are handed on as they come, so such a
    // picture need not be held whole; rows stored bottom up are.
    if (topToBottom)
        CreateRowBitmap(bitmap, width, height, bpp, hasAlpha, 1);
    else
        CreateBitmapWithin(GetLimits(), bitmap, width, height, bpp, hasAlpha);
    // The pixel values of a grey image are levels, so an 8-bit bitmap gets the
    // grey ramp even when the file also carries a colour map.
    if (bpp == 8 && (hasColorMap || grey)) bitmap.SetPaletteEntries(palette.data());

    WriteLock lock(bitmap);
    std::uint8_t** rows = bitmap.GetRows();
    RunLengthReader runLengthReader(source, writer);
    for (int i = 0; i < height; ++i) {
        std::uint8_t* row = rows[topToBottom ? i : height - 1 - i];
        if (runLength)
            runLengthReader.ReadRow(row, width);
        else
            ReadUncompressedRow(source, writer, row, width);
        if (topToBottom) ReportRows(bitmap, i + 1);
    }
}
