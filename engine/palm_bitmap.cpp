#include "engine/palm_bitmap.h"

#include "engine/color_reducer.h"
#include "engine/output_file.h"
#include "engine/pixel_packer.h"
#include "engine/scanline_encoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/limits/decode_limits.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr std::uint8_t kVersion3HeaderSize = 24;
constexpr std::uint8_t kPixelFormatIndexed = 0;
constexpr std::uint8_t kCompressionTypeScanline = 0;
// Raw lengths, compressed block lengths and version-2 next offsets are 16-bit
// fields.
constexpr std::size_t kLargestPayload = 0xFFFF;

std::uint16_t CheckedRowBytes(int depth, std::uint16_t width, std::uint16_t height) {
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8)
        throw std::invalid_argument("Palm bitmaps have 1, 2, 4 or 8 bits per pixel");
    if (width == 0 || height == 0)
        throw std::invalid_argument("a Palm bitmap needs a positive width and height");
    const std::uint32_t rowBits = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(depth);
    if (rowBits % 32 != 0) throw std::invalid_argument("a Palm bitmap row must fill whole 4-byte units");
    const std::uint64_t bytes = static_cast<std::uint64_t>(rowBits / 8) * height;
    if (bytes > DecodeLimits{}.maxBitmapBytes)
        throw std::invalid_argument("the Palm bitmap would be absurdly large");
    return static_cast<std::uint16_t>(rowBits / 8);
}

}  // namespace

PalmBitmap::PalmBitmap(int depth, std::uint16_t width, std::uint16_t height)
    : m_palette(depth), m_width(width), m_height(height), m_rowBytes(CheckedRowBytes(depth, width, height)) {
    m_pixels.assign(static_cast<std::size_t>(m_rowBytes) * m_height, 0);
}

bool PalmBitmap::loadFromBitmap(CImageBitmap& picture, int dither, PictureQuality quality) {
    if (picture.GetDepth() != 32 || picture.GetWidth() != m_width || picture.GetHeight() != m_height)
        return false;
    colorReducer(quality).reduce(picture, dither == kDitherFloydSteinberg, m_palette, m_pixels);
    return true;
}

std::vector<std::uint8_t> PalmBitmap::buildPayload(int compressionMode, bool version3, bool littleEndian,
                                                   int estimateStart) {
    const std::size_t rawLength = m_pixels.size();
    if (rawLength > kLargestPayload)
        throw std::length_error("the bitmap's pixel data is too long for a Palm bitmap");

    bool compress = false;
    if (compressionMode == kCompressionScanline) {
        compress = true;
    } else if (compressionMode == kCompressionMostEfficient) {
        // The decision rests on the estimate, which leaves out the length field
        // and fill bytes, not on the final block length.
        compress =
            ScanlineEncoder::countCompressedBytes(m_rowBytes, m_height, m_pixels, estimateStart) < rawLength;
    }

    m_compressed = compress;
    if (!compress) return {};
    ScanlineEncoder encoder;
    encoder.encode(m_rowBytes, m_height, m_pixels, version3, littleEndian);
    return encoder.bytes();
}

void PalmBitmap::writeBitmap(OutputFile& file, int compressionMode, bool version3, bool littleEndian,
                             int estimateStart, std::uint8_t version,
                             const std::function<void(std::size_t payloadLength)>& writeVersionFields) {
    const std::vector<std::uint8_t> block =
        buildPayload(compressionMode, version3, littleEndian, estimateStart);
    const std::span<const std::uint8_t> payload =
        compressed() ? std::span<const std::uint8_t>(block) : pixels();

    file.writeWord(littleEndian, width());
    file.writeWord(littleEndian, height());
    file.writeWord(littleEndian, rowBytes());
    // compressed, hasColorTable, hasTransparency, indirect, forScreen, three unused bits.
    file.writeFlagBits(littleEndian, compressed(), false, false, false, false, false, false, false);
    file.writeByte(littleEndian, 0);
    file.writeByte(littleEndian, static_cast<std::uint8_t>(depth()));
    file.writeByte(littleEndian, version);
    writeVersionFields(payload.size());
    file.writeBytes(payload);
}

void PalmBitmap::splitInto(PalmBitmap& top, PalmBitmap& bottom) const {
    const std::size_t half = m_pixels.size() / 2;
    for (const PalmBitmap* part : {&top, &bottom}) {
        if (part == this || part->depth() != depth() || part->m_width != m_width || m_height % 2 != 0 ||
            part->m_height != m_height / 2)
            throw std::invalid_argument("halves must have this bitmap's depth and width and half its height");
    }
    if (&top == &bottom) throw std::invalid_argument("the two halves must be different bitmaps");
    std::copy_n(m_pixels.begin(), half, top.m_pixels.begin());
    std::copy_n(m_pixels.begin() + static_cast<std::ptrdiff_t>(half), half, bottom.m_pixels.begin());
}

PalmBitmapV2::PalmBitmapV2(int depth, std::uint16_t width, std::uint16_t height, bool littleEndian)
    : PalmBitmap(depth, width, height), m_littleEndian(littleEndian) {}

void PalmBitmapV2::splitHalves(PalmBitmapV2& top, PalmBitmapV2& bottom) const {
    splitInto(top, bottom);
}

void PalmBitmapV2::writeTo(OutputFile& file, bool hasNext, int compressionMode) {
    const bool order = m_littleEndian;
    writeBitmap(file, compressionMode, false, order, 0, version(), [&](std::size_t payloadLength) {
        // Counted in 4-byte units from the start of this header (16 bytes = 4 units).
        const std::uint16_t nextOffset = hasNext ? static_cast<std::uint16_t>(payloadLength / 4 + 4) : 0;
        file.writeWord(order, nextOffset);
        file.writeByte(order, 0);  // transparent index
        file.writeByte(order, kCompressionTypeScanline);
        file.writeWord(order, 0);  // reserved
    });
}

PalmBitmapV3::PalmBitmapV3(int depth, std::uint16_t width, std::uint16_t height, std::uint16_t density)
    : PalmBitmap(depth, width, height), m_density(density) {}

void PalmBitmapV3::splitHalves(PalmBitmapV3& top, PalmBitmapV3& bottom) const {
    splitInto(top, bottom);
}

void PalmBitmapV3::writeTo(OutputFile& file, bool hasNext, int compressionMode) {
    if (hasNext) throw std::invalid_argument("a version-3 bitmap must be the last of its family");
    constexpr bool kLittleEndian = true;
    // The estimate counts one byte more for version 3, so a tie with the raw
    // length keeps the pixels raw.
    writeBitmap(file, compressionMode, true, kLittleEndian, 1, version(), [&](std::size_t) {
        file.writeByte(kLittleEndian, kVersion3HeaderSize);
        file.writeByte(kLittleEndian, kPixelFormatIndexed);
        file.writeByte(kLittleEndian, 0);  // reserved
        file.writeByte(kLittleEndian, kCompressionTypeScanline);
        file.writeWord(kLittleEndian, m_density);
        file.writeLong(kLittleEndian, 0);  // transparent value
        file.writeLong(kLittleEndian, 0);  // next bitmap offset: none
    });
}
