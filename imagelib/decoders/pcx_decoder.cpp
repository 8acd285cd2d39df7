#include "imagelib/decoders/pcx_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

// The 128-byte header, little-endian. Only these fields are used.
constexpr std::int64_t kHeaderSize = 128;
constexpr int kManufacturerOffset = 0;
constexpr int kEncodingOffset = 2;
constexpr int kBitsPerPixelOffset = 3;
constexpr int kXMinOffset = 4;
constexpr int kYMinOffset = 6;
constexpr int kXMaxOffset = 8;
constexpr int kYMaxOffset = 10;
constexpr int kHeaderMapOffset = 16;  // 16 entries of red, green, blue
constexpr int kPlanesOffset = 65;
constexpr int kBytesPerLineOffset = 66;

constexpr std::uint8_t kManufacturer = 10;
constexpr std::uint8_t kRunLengthEncoding = 1;
constexpr int kHeaderMapEntries = 16;
constexpr int kMostOneBitPlanes = 4;

// A byte with both top bits set starts a run; its low six bits are the count
// and the next byte the value.
constexpr std::uint8_t kRunMarker = 0xC0;
constexpr std::uint8_t kRunCountMask = 0x3F;
constexpr std::int64_t kLongestRun = kRunCountMask;

// 256-colour pictures carry their map behind the image data, introduced by 12.
constexpr std::uint8_t kColorMapSignature = 12;
constexpr int kColorTableEntries = 256;
constexpr std::int64_t kColorTableBytes = 3 * kColorTableEntries;

const char kUnsupportedPlanes[] = "Can't handle bits per pixel image with planes.";

// Red, green, blue for each of the 256 colour indexes.
using ColorTable = std::array<std::uint8_t, kColorTableBytes>;

// Spreads one plane's bytes into one colour index per byte, most significant
// bits first.
void UnpackPixels(int bitsPerPixel, int bytesPerLine, const std::uint8_t* scanline, std::uint8_t* indexes) {
    switch (bitsPerPixel) {
        case 1:
            for (int i = 0; i < bytesPerLine; ++i)
                for (int bit = 0; bit < 8; ++bit) *indexes++ = (scanline[i] >> (7 - bit)) & 0x01;
            break;
        case 2:
            for (int i = 0; i < bytesPerLine; ++i)
                for (int shift = 6; shift >= 0; shift -= 2) *indexes++ = (scanline[i] >> shift) & 0x03;
            break;
        case 4:
            for (int i = 0; i < bytesPerLine; ++i) {
                *indexes++ = scanline[i] >> 4;
                *indexes++ = scanline[i] & 0x0F;
            }
            break;
        default:
            std::memcpy(indexes, scanline, static_cast<std::size_t>(bytesPerLine));
            break;
    }
}

// Builds colour indexes from 1-bit planes: plane p gives bit p of each index.
// Only this scanline's planes contribute, to the last pixel of the line.
void CombinePlanes(int planes, int bytesPerLine, const std::uint8_t* scanline, std::uint8_t* indexes) {
    const std::size_t pixels = static_cast<std::size_t>(bytesPerLine) * 8;
    std::fill_n(indexes, pixels, 0);
    for (int p = 0; p < planes; ++p) {
        const std::uint8_t* plane = scanline + static_cast<std::size_t>(p) * bytesPerLine;
        for (std::size_t x = 0; x < pixels; ++x)
            if ((plane[x >> 3] & (0x80 >> (x & 7))) != 0) indexes[x] |= static_cast<std::uint8_t>(1 << p);
    }
}

// Raises the source's own end-of-file error when fewer than `bytes` remain,
// before anything is allocated for data that cannot be there.
void RequireRemaining(CImageSource& source, std::int64_t bytes) {
    if (source.GetRemaining() < bytes) source.ReadBytes(bytes);
}

// The whole image is one run-length stream: a run may cross scanline and
// plane boundaries, but never the end of the image.
void DecodeRunLength(CImageSource& source, std::vector<std::uint8_t>& image) {
    const std::size_t total = image.size();
    std::size_t position = 0;
    while (position < total) {
        const std::uint8_t code = *source.ReadBytes(1);
        if ((code & kRunMarker) != kRunMarker) {
            image[position++] = code;
            continue;
        }
        const std::size_t count = code & kRunCountMask;
        const std::uint8_t value = *source.ReadBytes(1);
        if (count > total - position) RaiseError(ERR_UNSUPPORTED_DATA, "repeat count spans end of image.");
        std::memset(image.data() + position, value, count);
        position += count;
    }
}

// The 256-colour map: the file's last 769 bytes, 12 and the map, where the
// format puts it (writers may pad the image data before it); else, as older
// readers took it, directly behind the image data.
const std::uint8_t* FindColorTable(CImageSource& source) {
    const std::int64_t remaining = std::max<std::int64_t>(source.GetRemaining(), 1 + kColorTableBytes);
    const std::uint8_t* rest = source.ReadBytes(remaining);
    const std::uint8_t* atEnd = rest + (remaining - 1 - kColorTableBytes);
    if (*atEnd == kColorMapSignature) return atEnd + 1;
    if (*rest == kColorMapSignature) return rest + 1;
    RaiseError(ERR_UNSUPPORTED_DATA, "bad color map signature.");
}

class WriteLock {
public:
    explicit WriteLock(CImageBitmap& bitmap) : m_bitmap(bitmap) { m_bitmap.Lock(false, true); }
    ~WriteLock() { m_bitmap.Unlock(); }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    CImageBitmap& m_bitmap;
};

void PutPixel(std::uint8_t* row, int x, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    std::uint8_t* out = row + 4 * static_cast<std::size_t>(x);
    out[0] = blue;
    out[1] = green;
    out[2] = red;
    out[3] = 255;
}

}  // namespace

void CPCXDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>&, int& bpp,
                              CImageSource& source) {
    TraceLine(2, "Decoding PCX.\n");

    const std::uint8_t* header = source.ReadBytes(kHeaderSize);
    if (header[kManufacturerOffset] != kManufacturer)
        RaiseError(ERR_WRONG_SIGNATURE, "Error decoding pcx: Not a PCX file.");
    if (header[kEncodingOffset] != kRunLengthEncoding)
        RaiseError(ERR_WRONG_SIGNATURE, "File has unknown encoding scheme.");

    const int bitsPerPixel = static_cast<std::int8_t>(header[kBitsPerPixelOffset]);
    const int planes = static_cast<std::int8_t>(header[kPlanesOffset]);
    if (bitsPerPixel == 1) {
        if (planes > kMostOneBitPlanes)
            RaiseError(ERR_FORMAT_UNKNOWN, "Can't handle image with more than 4 planes.");
        if (planes < 1) RaiseError(ERR_FORMAT_UNKNOWN, kUnsupportedPlanes);
    } else if (bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8) {
        if (planes != 1 && planes != 3 && planes != 4) RaiseError(ERR_FORMAT_UNKNOWN, kUnsupportedPlanes);
        // Three planes are only understood as 24-bit colour, four as colour
        // with alpha; planes of 2 or 4 bits cannot be combined into indexes.
        if (planes != 1 && bitsPerPixel != 8)
            RaiseError(ERR_UNSUPPORTED_DATA, "Can't handle more than 1 bit per pixel.");
    } else {
        RaiseError(ERR_FORMAT_UNKNOWN, kUnsupportedPlanes);
    }

    const int width = ReadLE16(header + kXMaxOffset) - ReadLE16(header + kXMinOffset) + 1;
    const int height = ReadLE16(header + kYMaxOffset) - ReadLE16(header + kYMinOffset) + 1;
    if (!GetLimits().AllowsSize(width, height))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Error decoding pcx: Can't handle image size %d x %d.", width,
                         height);

    // Each plane's line must hold the width; every pixel is read from its own
    // line, never from the next one or beyond the buffer.
    const int bytesPerLine = ReadLE16(header + kBytesPerLineOffset);
    if (static_cast<std::int64_t>(bytesPerLine) * 8 < static_cast<std::int64_t>(width) * bitsPerPixel)
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN,
                         "Error decoding pcx: %d bytes per line are too few for a width of %d.", bytesPerLine,
                         width);

    const std::size_t scanlineBytes =
        static_cast<std::size_t>(bytesPerLine) * static_cast<std::size_t>(planes);
    // The image data is held whole beside the bitmap and the resampler's rows.
    const auto imageBytes = CheckedMultiply(scanlineBytes, static_cast<std::uint64_t>(height));
    const auto heldBytes = imageBytes ? CheckedAdd(*imageBytes, (4 * static_cast<std::uint64_t>(width) +
                                                                 GetLimits().resampledBytesPerRow) *
                                                                    static_cast<std::uint64_t>(height))
                                      : std::nullopt;
    if (!heldBytes || *heldBytes > GetLimits().HeldBitmapBytes())
        RaiseError(ERR_NO_MEMORY, "Out of memory for PCX image data.",
                   GetLimits().DescribeOverHeldLimit(width, height, 32));
    // A two-byte run gives at most 63 bytes, so shorter data cannot fill the image.
    RequireRemaining(source, static_cast<std::int64_t>((*imageBytes * 2 + kLongestRun - 1) / kLongestRun));

    bpp = 32;
    CreateBitmapWithin(GetLimits(), bitmap, width, height, 32, false);

    std::vector<std::uint8_t> image;
    std::vector<std::uint8_t> indexRow;
    try {
        image.resize(static_cast<std::size_t>(*imageBytes));
        indexRow.resize(static_cast<std::size_t>(width) + static_cast<std::size_t>(bytesPerLine) * 8);
    } catch (const std::bad_alloc&) {
        RaiseError(ERR_NO_MEMORY, "Out of memory for PCX image data.");
    }
    DecodeRunLength(source, image);

    ColorTable colors{};
    std::memcpy(colors.data(), header + kHeaderMapOffset, 3 * kHeaderMapEntries);
    if (bitsPerPixel == 8 && planes == 1)
        std::memcpy(colors.data(), FindColorTable(source), kColorTableBytes);
    if (bitsPerPixel == 1 && planes == 1) {
        // Monochrome pictures are black and white, whatever the header holds.
        std::fill_n(colors.begin(), 3, 0);
        std::fill_n(colors.begin() + 3, 3, 255);
    }

    WriteLock lock(bitmap);
    std::uint8_t** rows = bitmap.GetRows();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* scanline = image.data() + scanlineBytes * static_cast<std::size_t>(y);
        std::uint8_t* row = rows[y];
        // A fourth plane of 8 bits is alpha, which is ignored.
        if (planes >= 3 && bitsPerPixel == 8) {
            for (int x = 0; x < width; ++x)
                PutPixel(row, x, scanline[x], scanline[x + bytesPerLine], scanline[x + 2 * bytesPerLine]);
            continue;
        }
        if (planes == 1)
            UnpackPixels(bitsPerPixel, bytesPerLine, scanline, indexRow.data());
        else
            CombinePlanes(planes, bytesPerLine, scanline, indexRow.data());
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* rgb = colors.data() + 3 * static_cast<std::size_t>(indexRow[x]);
            PutPixel(row, x, rgb[0], rgb[1], rgb[2]);
        }
    }
}
