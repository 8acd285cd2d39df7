#include "imagelib/metafile/metafile_styles.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

namespace metafile {

namespace {

// Pen styles and bits.
constexpr std::uint32_t kPenStyleMask = 0x0000000F;
constexpr std::uint32_t kPenDash = 1;
constexpr std::uint32_t kPenDot = 2;
constexpr std::uint32_t kPenDashDot = 3;
constexpr std::uint32_t kPenDashDotDot = 4;
constexpr std::uint32_t kPenNull = 5;
constexpr std::uint32_t kPenInsideFrame = 6;
constexpr std::uint32_t kPenUserStyle = 7;
constexpr std::uint32_t kPenAlternate = 8;
constexpr std::uint32_t kPenEndCapMask = 0x00000F00;
constexpr std::uint32_t kPenEndCapSquare = 0x00000100;
constexpr std::uint32_t kPenEndCapFlat = 0x00000200;
constexpr std::uint32_t kPenJoinMask = 0x0000F000;
constexpr std::uint32_t kPenJoinBevel = 0x00001000;
constexpr std::uint32_t kPenJoinMiter = 0x00002000;
constexpr std::uint32_t kPenTypeMask = 0x000F0000;
constexpr std::uint32_t kPenGeometric = 0x00010000;

// Brush styles and hatches.
constexpr std::uint32_t kBrushNull = 1;
constexpr std::uint32_t kBrushHatched = 2;
constexpr std::uint32_t kBrushPattern = 3;
constexpr std::uint32_t kBrushDibPattern = 5;
constexpr std::uint32_t kBrushDibPatternPt = 6;
constexpr std::uint32_t kHatchHorizontal = 0;
constexpr std::uint32_t kHatchVertical = 1;
constexpr std::uint32_t kHatchForwardDiagonal = 2;
constexpr std::uint32_t kHatchBackwardDiagonal = 3;
constexpr std::uint32_t kHatchCross = 4;
constexpr std::uint32_t kHatchDiagonalCross = 5;

bool Contains(const std::string& text, std::initializer_list<const char*> words) {
    for (const char* word : words)
        if (text.find(word) != std::string::npos) return true;
    return false;
}

bool HatchCovers(std::uint32_t hatch, int x, int y) {
    switch (hatch) {
        case kHatchHorizontal:
            return y == 0;
        case kHatchVertical:
            return x == 0;
        case kHatchForwardDiagonal:
            return x == y;
        case kHatchBackwardDiagonal:
            return x + y == 7;
        case kHatchCross:
            return x == 0 || y == 0;
        case kHatchDiagonalCross:
            return x == y || x + y == 7;
        default:
            return true;
    }
}

// An 8 x 8 hatch tile; the background is transparent unless given.
std::shared_ptr<const DibImage> HatchTile(std::uint32_t hatch, Color color, std::optional<Color> background) {
    auto tile = std::make_shared<DibImage>();
    tile->width = 8;
    tile->height = 8;
    tile->pixels.assign(64, background ? 0xFF000000u | *background : 0u);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            if (HatchCovers(hatch, x, y))
                tile->pixels[static_cast<std::size_t>(y * 8 + x)] = 0xFF000000u | color;
        }
    }
    return tile;
}

// The dash pattern of a pen style: fixed pixel lengths for thin pens, or
// multiples of the width.
std::vector<double> StyleDashes(const PenSpec& pen, std::uint32_t kind, bool thin, double width,
                                bool geometric, const Affine& transform) {
    const double unit = thin ? 1 : width;
    switch (kind) {
        case kPenDash:
            return thin ? std::vector<double>{18, 6} : std::vector<double>{3 * unit, unit};
        case kPenDot:
            return thin ? std::vector<double>{3, 3} : std::vector<double>{unit, unit};
        case kPenDashDot:
            return thin ? std::vector<double>{9, 6, 3, 6} : std::vector<double>{3 * unit, unit, unit, unit};
        case kPenDashDotDot:
            return thin ? std::vector<double>{9, 3, 3, 3, 3, 3}
                        : std::vector<double>{3 * unit, unit, unit, unit, unit, unit};
        case kPenAlternate:
            return {1, 1};
        case kPenUserStyle: {
            std::vector<double> dashes;
            const double scale = geometric ? transform.LinearScale() : 1;
            for (double dash : pen.userDashes) dashes.push_back(dash * scale);
            return dashes;
        }
        default:
            return {};
    }
}

// A monochrome pattern takes the text colour for black and the background
// colour for white, at the time it is used.
std::shared_ptr<const DibImage> ColoredPattern(const DibImage& pattern, const FillContext& context) {
    auto tile = std::make_shared<DibImage>(pattern);
    const std::uint32_t ink = 0xFF000000u | ResolveColor(context.textColor, context.palette);
    const std::uint32_t paper = 0xFF000000u | ResolveColor(context.bkColor, context.palette);
    for (std::uint32_t& pixel : tile->pixels) pixel = (pixel & 0xFFFFFF) == 0 ? ink : paper;
    return tile;
}

}  // namespace

RasterOp PenRasterOp(int rop2) {
    switch (rop2) {
        case kRop2Black:
            return RasterOp::Black;
        case kRop2NotCopyPen:
            return RasterOp::NotCopy;
        case kRop2Not:
            return RasterOp::Invert;
        case kRop2XorPen:
            return RasterOp::Xor;
        case kRop2MaskPen:
            return RasterOp::And;
        case kRop2Nop:
            return RasterOp::Nop;
        case kRop2MergePen:
            return RasterOp::Or;
        case kRop2White:
            return RasterOp::White;
        default:
            return RasterOp::Copy;
    }
}

bool UsesSource(std::uint8_t code) {
    // Bits 2 and 3, 6 and 7 of the code are its results where the source is
    // set; equal to bits 0 and 1, 4 and 5 the source does not matter.
    return ((code >> 2) & 0x33) != (code & 0x33);
}

RasterOp SourceRasterOp(std::uint8_t code) {
    switch (code) {
        case kRopSourcePaint:
            return RasterOp::Or;
        case kRopSourceAnd:
            return RasterOp::And;
        case kRopSourceInvert:
            return RasterOp::Xor;
        case kRopNotSourceCopy:
        case kRopNotSourceErase:
            return RasterOp::NotCopy;
        default:
            return RasterOp::Copy;
    }
}

std::optional<StrokeStyle> PenStroke(const PenSpec& pen, const Affine& logicalToCanvas, double miterLimit) {
    const std::uint32_t kind = pen.style & kPenStyleMask;
    if (kind == kPenNull) return std::nullopt;
    const Affine& transform = logicalToCanvas;
    if (!transform.IsUsable()) return std::nullopt;
    const bool geometric = !pen.extended || (pen.style & kPenTypeMask) == kPenGeometric;
    double width = geometric && pen.width > 0 ? pen.width * transform.LinearScale() : 1;
    if (!std::isfinite(width) || width < 1) width = 1;

    StrokeStyle style;
    style.width = width;
    style.miterLimit = miterLimit;
    const bool thin = width < 1.5;
    if (thin) {
        style.cap = LineCap::Flat;
        style.join = LineJoin::Miter;
    } else {
        const std::uint32_t cap = pen.style & kPenEndCapMask;
        style.cap = cap == kPenEndCapSquare ? LineCap::Square
                    : cap == kPenEndCapFlat ? LineCap::Flat
                                            : LineCap::Round;
        const std::uint32_t join = pen.style & kPenJoinMask;
        style.join = join == kPenJoinBevel   ? LineJoin::Bevel
                     : join == kPenJoinMiter ? LineJoin::Miter
                                             : LineJoin::Round;
    }
    // Pens made the old way draw wide lines solid whatever their style.
    if (!pen.extended && !thin) return style;
    style.dashes = StyleDashes(pen, kind, thin, width, geometric, transform);
    return style;
}

LogicalRect InsideFrame(const PenSpec& pen, const LogicalRect& box) {
    if ((pen.style & kPenStyleMask) != kPenInsideFrame || pen.width <= 1) return box;
    const double inset = pen.width / 2;
    const double left = std::min(box.left, box.right), right = std::max(box.left, box.right);
    const double top = std::min(box.top, box.bottom), bottom = std::max(box.top, box.bottom);
    if (right - left <= 2 * inset || bottom - top <= 2 * inset) return box;
    return {left + inset, top + inset, right - inset, bottom - inset};
}

std::optional<FillStyle> BrushFill(const BrushSpec& brush, const FillContext& context,
                                   CMetafileCanvas& canvas) {
    FillStyle style;
    style.evenOdd = context.polyFillMode == kFillAlternate;
    switch (brush.style) {
        case kBrushNull:
            return std::nullopt;
        case kBrushHatched: {
            const std::optional<Color> background =
                context.bkMode == kBkOpaque
                    ? std::optional<Color>(ResolveColor(context.bkColor, context.palette))
                    : std::nullopt;
            style.pattern = HatchTile(brush.hatch, ResolveColor(brush.color, context.palette), background);
            break;
        }
        case kBrushPattern:
        case kBrushDibPattern:
        case kBrushDibPatternPt:
            if (!brush.pattern) {
                style.color = ResolveColor(brush.color, context.palette);
            } else if (brush.monochrome) {
                if (!canvas.ChargeWork(static_cast<double>(brush.pattern->pixels.size())))
                    return std::nullopt;
                style.pattern = ColoredPattern(*brush.pattern, context);
            } else {
                style.pattern = brush.pattern;
            }
            break;
        default:
            style.color = ResolveColor(brush.color, context.palette);
            break;
    }
    return style;
}

std::string FamilyFor(const FontSpec& font) {
    std::string face = font.face;
    for (char& c : face) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (Contains(face, {"sans"})) return "sans-serif";
    if (Contains(face, {"courier", "mono", "consol", "fixed", "terminal", "typewriter"})) return "monospace";
    if (Contains(face, {"times", "roman", "serif", "georgia", "garamond", "palatino", "century", "cambria",
                        "bodoni", "bookman", "symbol"}))
        return "serif";
    if (Contains(face, {"arial", "helvetica", "verdana", "tahoma", "segoe", "calibri", "trebuchet", "lucida",
                        "franklin", "gill", "futura", "univers", "system"}))
        return "sans-serif";
    const std::uint8_t family = font.pitchAndFamily & 0xF0;
    if (family == 0x10) return "serif";
    if (family == 0x30 || (font.pitchAndFamily & 0x03) == 1) return "monospace";
    return "sans-serif";
}

}  // namespace metafile
