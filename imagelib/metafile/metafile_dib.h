#pragma once

#include "imagelib/metafile/metafile_records.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Device-independent bitmaps inside metafile records, decoded to the
// premultiplied 32-bit pixels the rasterizer draws from.
namespace metafile {

// Colour-table usage of bitmap records.
inline constexpr std::uint32_t kDibRgbColors = 0;
inline constexpr std::uint32_t kDibPaletteColors = 1;

// Largest bitmap area, in pixels, decoded from one record, and its longest
// side: a record's bitmap is stretched onto the canvas, so a thin one may be
// longer than any picture side.
inline constexpr std::uint64_t kMaxDibPixels = std::uint64_t{1} << 25;
inline constexpr std::int64_t kMaxDibSide = std::int64_t{1} << 18;

// Largest pattern brush, in pixels; brushes are tiles, and bigger ones
// are taken as damaged.
inline constexpr std::uint64_t kMaxPatternPixels = std::uint64_t{1} << 20;

// Colour of a palette index of the selected logical palette, as 0x00RRGGBB.
using PaletteLookup = std::function<std::uint32_t(std::uint16_t)>;

struct DibHeader {
    int width = 0;
    int height = 0;  // rows, always positive
    bool topDown = false;
    int bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t masks[4] = {};        // red, green, blue, alpha for bit-field pixels
    std::vector<std::uint32_t> colors;  // colour table as 0x00RRGGBB
    std::size_t infoSize = 0;           // header, masks and colour table, in bytes
    std::size_t rowStride = 0;          // bytes per row when not the DIB rule (old bitmaps)
};

// A decoded rectangle of a bitmap: top row first, 0xAARRGGBB premultiplied.
struct DibImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// Reads a BITMAPINFO (core or info header of any later version) with its
// masks and colour table. Nothing for damaged or unsupported bitmaps.
std::optional<DibHeader> ReadDibHeader(CRecordView info, std::uint32_t usage, const PaletteLookup& palette);

// Decodes the rectangle (x, y, width, height) of the bitmap, y counted from
// the top row, which must lie inside the bitmap. `keepAlpha` takes the fourth
// byte of 32-bit pixels as (premultiplied) alpha; otherwise every pixel is
// opaque. Nothing when the bits are too short or the area is too large.
std::optional<DibImage> DecodeDib(const DibHeader& header, CRecordView bits, int x, int y, int width,
                                  int height, bool keepAlpha);

// A device-dependent bitmap of the old Windows metafile records; only
// monochrome (bit set = white) and 24- and 32-bit ones are device-independent
// enough to draw.
std::optional<DibHeader> ReadBitmap16Header(CRecordView bitmap);

}  // namespace metafile
