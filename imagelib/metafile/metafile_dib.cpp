#include "imagelib/metafile/metafile_dib.h"

#include "imagelib/limits/checked_arithmetic.h"

#include <algorithm>
#include <bit>
#include <new>

namespace metafile {

namespace {

constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kInfoHeaderWithMasks = 52;  // V2 and later carry the masks inside

constexpr std::uint32_t kCompressionRgb = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionBitFields = 3;
constexpr std::uint32_t kCompressionAlphaBitFields = 6;

constexpr std::uint32_t kOpaque = 0xFF000000u;

std::uint32_t Opaque(std::uint32_t rgb) {
    return kOpaque | (rgb & 0xFFFFFF);
}

std::uint32_t Premultiply(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    if (a == 255) return kOpaque | (r << 16) | (g << 8) | b;
    // Alpha-blended sources are premultiplied already; clamp what is not.
    r = std::min(r, a);
    g = std::min(g, a);
    b = std::min(b, a);
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// Extracts one channel of a bit-field pixel, scaled to 8 bits.
std::uint32_t Channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const std::uint32_t field = mask >> shift;
    const int bits = std::bit_width(field);
    const std::uint32_t value = (pixel & mask) >> shift;
    if (bits >= 8) return value >> (bits - 8);
    // Spread short fields over the full range (5 bits: 31 -> 255).
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(value) * 255 + field / 2) / field);
}

bool IsPlausibleDib(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxDibSide && height <= kMaxDibSide;
}

std::uint64_t StrideOf(const DibHeader& header) {
    if (header.rowStride != 0) return header.rowStride;
    return (static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.bitsPerPixel) + 31) /
           32 * 4;
}

// Expands run-length encoded bits into one palette index per pixel, top row
// first; pixels the encoding skips stay transparent (`written` false).
void ExpandRle(const DibHeader& header, CRecordView bits, std::vector<std::uint8_t>& indices,
               std::vector<std::uint8_t>& written) {
    const std::size_t width = static_cast<std::size_t>(header.width);
    const std::size_t height = static_cast<std::size_t>(header.height);
    indices.assign(width * height, 0);
    written.assign(width * height, 0);
    const bool four = header.compression == kCompressionRle4;
    std::size_t x = 0;
    std::size_t row = 0;  // counted from the bottom
    std::size_t at = 0;
    auto put = [&](std::uint8_t index) {
        if (x < width && row < height) {
            const std::size_t position = (height - 1 - row) * width + x;
            indices[position] = index;
            written[position] = 1;
        }
        ++x;
    };
    // Every step consumes input, so the loop ends with the data.
    while (bits.Has(at, 2) && row < height) {
        const std::uint8_t count = bits.U8(at);
        const std::uint8_t value = bits.U8(at + 1);
        at += 2;
        if (count > 0) {
            for (std::size_t i = 0; i < count && x < width; ++i)
                put(four ? static_cast<std::uint8_t>(i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++row;
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // delta
            if (!bits.Has(at, 2)) break;
            x += bits.U8(at);
            row += bits.U8(at + 1);
            at += 2;
        } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
            const std::size_t bytes = four ? (value + 1u) / 2 : value;
            if (!bits.Has(at, bytes)) break;
            for (std::size_t i = 0; i < value && x < width; ++i) {
                const std::uint8_t byte = bits.U8(at + (four ? i / 2 : i));
                put(four ? static_cast<std::uint8_t>(i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
            }
            at += (bytes + 1) & ~std::size_t{1};
        }
    }
}

}  // namespace

std::optional<DibHeader> ReadDibHeader(CRecordView info, std::uint32_t usage, const PaletteLookup& palette) {
    const std::uint32_t headerSize = info.U32(0);
    if (headerSize < kCoreHeaderSize || !info.Has(0, headerSize)) return std::nullopt;
    DibHeader header;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint64_t tableEntries = 0;
    std::size_t entrySize = 4;
    std::size_t masksAfterHeader = 0;
    if (headerSize < kInfoHeaderSize) {
        if (headerSize != kCoreHeaderSize) return std::nullopt;
        width = info.U16(4);
        height = info.U16(6);
        header.bitsPerPixel = info.U16(10);
        header.compression = kCompressionRgb;
        entrySize = 3;
        if (header.bitsPerPixel <= 8) tableEntries = std::uint64_t{1} << header.bitsPerPixel;
    } else {
        width = info.I32(4);
        height = info.I32(8);
        header.bitsPerPixel = info.U16(14);
        header.compression = info.U32(16);
        const std::uint32_t used = info.U32(32);
        if (header.bitsPerPixel <= 8)
            tableEntries = used != 0 ? used : std::uint64_t{1} << header.bitsPerPixel;
        else
            tableEntries = used;
        if (header.compression == kCompressionBitFields || header.compression == kCompressionAlphaBitFields) {
            const std::size_t maskCount = header.compression == kCompressionAlphaBitFields ? 4 : 3;
            if (headerSize < kInfoHeaderWithMasks) masksAfterHeader = 4 * maskCount;
            if (!info.Has(kInfoHeaderSize, 4 * maskCount)) return std::nullopt;
            for (std::size_t i = 0; i < maskCount; ++i) header.masks[i] = info.U32(kInfoHeaderSize + 4 * i);
            if (headerSize >= kInfoHeaderWithMasks + 4 && maskCount == 3)
                header.masks[3] = info.U32(kInfoHeaderSize + 12);
            header.compression = kCompressionBitFields;
        }
    }
    if (usage == kDibPaletteColors) entrySize = 2;
    if (height < 0) {
        header.topDown = true;
        height = -height;
    }
    if (!IsPlausibleDib(width, height)) return std::nullopt;
    header.width = static_cast<int>(width);
    header.height = static_cast<int>(height);

    switch (header.compression) {
        case kCompressionRgb:
            if (header.bitsPerPixel != 1 && header.bitsPerPixel != 4 && header.bitsPerPixel != 8 &&
                header.bitsPerPixel != 16 && header.bitsPerPixel != 24 && header.bitsPerPixel != 32)
                return std::nullopt;
            break;
        case kCompressionRle8:
            if (header.bitsPerPixel != 8 || header.topDown) return std::nullopt;
            break;
        case kCompressionRle4:
            if (header.bitsPerPixel != 4 || header.topDown) return std::nullopt;
            break;
        case kCompressionBitFields:
            if (header.bitsPerPixel != 16 && header.bitsPerPixel != 32) return std::nullopt;
            break;
        default:
            return std::nullopt;  // embedded JPEG or PNG and unknown kinds
    }

    const std::size_t tableAt = headerSize + masksAfterHeader;
    if (!info.HasArray(tableAt, tableEntries, entrySize)) return std::nullopt;
    header.infoSize = tableAt + static_cast<std::size_t>(tableEntries) * entrySize;
    if (header.bitsPerPixel <= 8) {
        const std::size_t used = static_cast<std::size_t>(std::min<std::uint64_t>(tableEntries, 256));
        header.colors.resize(used);
        for (std::size_t i = 0; i < used; ++i) {
            const std::size_t at = tableAt + i * entrySize;
            if (entrySize == 2)
                header.colors[i] = palette ? palette(info.U16(at)) & 0xFFFFFF : 0;
            else
                header.colors[i] = (std::uint32_t{info.U8(at + 2)} << 16) |
                                   (std::uint32_t{info.U8(at + 1)} << 8) | info.U8(at);
        }
    }
    return header;
}

std::optional<DibHeader> ReadBitmap16Header(CRecordView bitmap) {
    // Type, width, height, bytes per row, planes, bits per pixel.
    constexpr std::size_t kBitmap16HeaderSize = 10;
    if (!bitmap.Has(0, kBitmap16HeaderSize)) return std::nullopt;
    DibHeader header;
    header.width = bitmap.I16(2);
    header.height = bitmap.I16(4);
    header.rowStride = bitmap.U16(6);
    const std::uint8_t planes = bitmap.U8(8);
    header.bitsPerPixel = bitmap.U8(9);
    // Only depths that need no device palette can be drawn.
    if (planes != 1 || (header.bitsPerPixel != 1 && header.bitsPerPixel != 24 && header.bitsPerPixel != 32) ||
        header.width <= 0 || header.height <= 0)
        return std::nullopt;
    if (header.rowStride < (static_cast<std::size_t>(header.width) * header.bitsPerPixel + 7) / 8)
        return std::nullopt;
    header.topDown = true;
    header.colors = {0x000000, 0xFFFFFF};
    header.infoSize = kBitmap16HeaderSize;
    return header;
}

std::optional<DibImage> DecodeDib(const DibHeader& header, CRecordView bits, int x, int y, int width,
                                  int height, bool keepAlpha) {
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x > header.width - width || y > header.height - height)
        return std::nullopt;
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxDibPixels)
        return std::nullopt;
    const bool runLength = header.compression == kCompressionRle8 || header.compression == kCompressionRle4;
    // Run-length bitmaps expand whole, so their full area counts; and a run
    // covers at most 255 pixels per two bytes, so an area far beyond what
    // the data can describe means a damaged header.
    const std::uint64_t area =
        static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height);
    if (runLength && (area > kMaxDibPixels || area > 256 * std::uint64_t{bits.Size()} + 65536))
        return std::nullopt;
    const std::uint64_t stride = StrideOf(header);
    if (!runLength) {
        const auto needed = CheckedMultiply(stride, static_cast<std::uint64_t>(header.height));
        if (!needed || *needed > bits.Size()) return std::nullopt;
    }

    DibImage image;
    try {
        image.width = width;
        image.height = height;
        image.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kOpaque);

        auto color = [&](std::uint32_t index) -> std::uint32_t {
            return index < header.colors.size() ? Opaque(header.colors[index]) : kOpaque;
        };

        if (runLength) {
            std::vector<std::uint8_t> indices;
            std::vector<std::uint8_t> written;
            ExpandRle(header, bits, indices, written);
            for (int row = 0; row < height; ++row) {
                const std::size_t source =
                    static_cast<std::size_t>(y + row) * static_cast<std::size_t>(header.width);
                std::uint32_t* out =
                    image.pixels.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
                for (int column = 0; column < width; ++column) {
                    const std::size_t at = source + static_cast<std::size_t>(x + column);
                    out[column] = written[at] ? color(indices[at]) : 0;
                }
            }
            return image;
        }

        const bool bitFields = header.compression == kCompressionBitFields;
        for (int row = 0; row < height; ++row) {
            const int sourceRow = y + row;
            const std::uint64_t storedRow = header.topDown
                                                ? static_cast<std::uint64_t>(sourceRow)
                                                : static_cast<std::uint64_t>(header.height - 1 - sourceRow);
            const std::uint8_t* line = bits.Pointer(static_cast<std::size_t>(storedRow * stride));
            std::uint32_t* out =
                image.pixels.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
            for (int column = 0; column < width; ++column) {
                const std::size_t px = static_cast<std::size_t>(x + column);
                switch (header.bitsPerPixel) {
                    case 1:
                        out[column] = color((line[px / 8] >> (7 - px % 8)) & 1);
                        break;
                    case 4:
                        out[column] = color(px % 2 == 0 ? line[px / 2] >> 4 : line[px / 2] & 0x0F);
                        break;
                    case 8:
                        out[column] = color(line[px]);
                        break;
                    case 16: {
                        const std::uint32_t value = line[2 * px] | (line[2 * px + 1] << 8);
                        if (bitFields)
                            out[column] =
                                Premultiply(Channel(value, header.masks[0]), Channel(value, header.masks[1]),
                                            Channel(value, header.masks[2]), 255);
                        else
                            out[column] = Premultiply(Channel(value, 0x7C00), Channel(value, 0x03E0),
                                                      Channel(value, 0x001F), 255);
                        break;
                    }
                    case 24:
                        out[column] = Premultiply(line[3 * px + 2], line[3 * px + 1], line[3 * px], 255);
                        break;
                    case 32: {
                        const std::uint8_t* p = line + 4 * px;
                        const std::uint32_t value =
                            p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
                        if (bitFields) {
                            const std::uint32_t alpha =
                                keepAlpha && header.masks[3] != 0 ? Channel(value, header.masks[3]) : 255;
                            out[column] =
                                Premultiply(Channel(value, header.masks[0]), Channel(value, header.masks[1]),
                                            Channel(value, header.masks[2]), alpha);
                        } else {
                            out[column] = Premultiply(p[2], p[1], p[0], keepAlpha ? p[3] : 255);
                        }
                        break;
                    }
                    default:
                        break;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return image;
}

}  // namespace metafile
