#pragma once

#include "imagelib/metafile/metafile_canvas.h"
#include "imagelib/metafile/metafile_objects.h"
#include "imagelib/metafile/metafile_page.h"

#include <cstdint>
#include <optional>
#include <string>

// What the selected pen, brush and font draw like on the canvas, and the
// raster operations that combine them with the picture.
namespace metafile {

// Background mode that fills behind text, hatches and dashes.
inline constexpr int kBkOpaque = 2;
// Polygon fill mode of even-odd filling (the other is winding).
inline constexpr int kFillAlternate = 1;

// Binary raster operations (SetROP2): how a pen or brush meets the picture.
// The others of the sixteen draw as kRop2CopyPen.
enum BinaryRasterOp : int {
    kRop2Black = 1,
    kRop2NotCopyPen = 4,
    kRop2Not = 6,
    kRop2XorPen = 7,
    kRop2MaskPen = 9,
    kRop2Nop = 11,
    kRop2CopyPen = 13,
    kRop2MergePen = 15,
    kRop2White = 16,
};
RasterOp PenRasterOp(int rop2);

// Ternary raster operations of the blits, by their operation code (bits 16
// to 23 of the record's raster operation): what becomes of the
// destination, given the source and the brush's pattern.
enum TernaryRasterOp : std::uint8_t {
    kRopBlackness = 0x00,
    kRopNotSourceErase = 0x11,
    kRopNotSourceCopy = 0x33,
    kRopDestinationInvert = 0x55,
    kRopPatternInvert = 0x5A,
    kRopSourceInvert = 0x66,
    kRopSourceAnd = 0x88,
    kRopDestination = 0xAA,  // left as it is
    kRopSourceCopy = 0xCC,
    kRopSourcePaint = 0xEE,
    kRopWhiteness = 0xFF,
};
// The whole raster operation of a plain copy, as records store it.
inline constexpr std::uint32_t kSourceCopyRop = 0x00CC0020;

inline std::uint8_t TernaryCode(std::uint32_t rop) {
    return static_cast<std::uint8_t>((rop >> 16) & 0xFF);
}
// Whether the operation's result depends on the source at all.
bool UsesSource(std::uint8_t code);
// How a source bitmap meets the picture; operations this canvas cannot do
// draw as a copy.
RasterOp SourceRasterOp(std::uint8_t code);

// The selected pen as a canvas stroke, or nothing for a null pen.
std::optional<StrokeStyle> PenStroke(const PenSpec& pen, const Affine& logicalToCanvas, double miterLimit);
// A box shrunk so that an inside-frame pen's stroke stays within it.
LogicalRect InsideFrame(const PenSpec& pen, const LogicalRect& box);

// What of the device context's state a brush fill depends on.
struct FillContext {
    int polyFillMode = kFillAlternate;
    int bkMode = kBkOpaque;
    Colorref bkColor = 0xFFFFFF;
    Colorref textColor = 0;
    const PaletteData* palette = nullptr;
};
// A brush as a canvas fill, or nothing for a null brush (or when the
// budget runs out colouring a monochrome pattern).
std::optional<FillStyle> BrushFill(const BrushSpec& brush, const FillContext& context,
                                   CMetafileCanvas& canvas);

// The generic family a face name most likely stands for; cairo's toy fonts
// know these three everywhere.
std::string FamilyFor(const FontSpec& font);

}  // namespace metafile
