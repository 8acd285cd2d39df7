#include "imagelib/metafile/metafile_dc.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numbers>

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

constexpr int kBkOpaque = 2;
constexpr int kFillAlternate = 1;

constexpr std::uint32_t kStockObjectFlag = 0x80000000;
enum StockObject : std::uint32_t {
    kStockWhiteBrush = 0,
    kStockLightGreyBrush = 1,
    kStockGreyBrush = 2,
    kStockDarkGreyBrush = 3,
    kStockBlackBrush = 4,
    kStockNullBrush = 5,
    kStockWhitePen = 6,
    kStockBlackPen = 7,
    kStockNullPen = 8,
    kStockOemFixedFont = 10,
    kStockAnsiFixedFont = 11,
    kStockSystemFixedFont = 16,
    kStockDefaultGuiFont = 17,
    kStockDefaultPalette = 15,
    kStockDcBrush = 18,
    kStockDcPen = 19,
};

// Clip paths kept at most; further ones are ignored.
constexpr std::size_t kMaxClipPaths = 64;
// Default font height in canvas pixels when a font asks for height 0.
constexpr double kDefaultFontPixels = 16;
// Region coordinates are kept inside this range of canvas pixels.
constexpr double kRegionLimit = kCoordinateLimit;
// Rectangles a clip region may consist of.
constexpr std::size_t kMaxClipRectangles = 4096;
// Rectangles a combination of clip regions may give. Two regions of
// kMaxClipRectangles stripes each can cross into their product; a
// combination that might give more is made with the bounding box of the
// region instead.
constexpr std::uint64_t kMaxCombinedRectangles = 65536;

// The twenty static colours of the default palette, 0x00RRGGBB.
constexpr Colour kDefaultPalette[20] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0,
    0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

bool Contains(const std::string& text, std::initializer_list<const char*> words) {
    for (const char* word : words)
        if (text.find(word) != std::string::npos) return true;
    return false;
}

// The generic family a face name most likely stands for; cairo's toy fonts
// know these three everywhere.
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

Colour ColourOf(const MetafilePaletteEntry& entry) {
    return (Colour{entry.red} << 16) | (Colour{entry.green} << 8) | entry.blue;
}

double Length(Point v) {
    return std::hypot(v.x, v.y);
}

// An 8 x 8 hatch tile; the background is transparent unless given.
std::shared_ptr<const DibImage> HatchTile(std::uint32_t hatch, Colour colour,
                                          std::optional<Colour> background) {
    auto tile = std::make_shared<DibImage>();
    tile->width = 8;
    tile->height = 8;
    tile->pixels.assign(64, background ? 0xFF000000u | *background : 0u);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            bool on = false;
            switch (hatch) {
                case kHatchHorizontal:
                    on = y == 0;
                    break;
                case kHatchVertical:
                    on = x == 0;
                    break;
                case kHatchForwardDiagonal:
                    on = x == y;
                    break;
                case kHatchBackwardDiagonal:
                    on = x + y == 7;
                    break;
                case kHatchCross:
                    on = x == 0 || y == 0;
                    break;
                case kHatchDiagonalCross:
                    on = x == y || x + y == 7;
                    break;
                default:
                    on = true;
                    break;
            }
            if (on) tile->pixels[static_cast<std::size_t>(y * 8 + x)] = 0xFF000000u | colour;
        }
    }
    return tile;
}

}  // namespace

CDeviceContext::CDeviceContext(CMetafileCanvas& canvas, const DecodeLimits& limits)
    : m_canvas(canvas), m_limits(limits) {
    TouchClip();
}

void CDeviceContext::SetReferenceResolution(double pixelsPerMmX, double pixelsPerMmY) {
    if (std::isfinite(pixelsPerMmX) && pixelsPerMmX > 0) m_pixelsPerMmX = pixelsPerMmX;
    if (std::isfinite(pixelsPerMmY) && pixelsPerMmY > 0) m_pixelsPerMmY = pixelsPerMmY;
}

void CDeviceContext::UseWindowsMapping() {
    m_windowsMapping = true;
    m_state.mapMode = kMapAnisotropic;
}

// ---------------------------------------------------------------------------
// Transforms

Affine CDeviceContext::PageTransform() const {
    const State& s = m_state;
    int mode = s.mapMode;
    if (m_windowsMapping && mode != kMapIsotropic) mode = kMapAnisotropic;
    double sx = 1;
    double sy = 1;
    auto fixed = [&](double millimetresPerUnit) {
        sx = m_pixelsPerMmX * millimetresPerUnit;
        sy = -m_pixelsPerMmY * millimetresPerUnit;
    };
    switch (mode) {
        case kMapLoMetric:
            fixed(0.1);
            break;
        case kMapHiMetric:
            fixed(0.01);
            break;
        case kMapLoEnglish:
            fixed(0.254);
            break;
        case kMapHiEnglish:
            fixed(0.0254);
            break;
        case kMapTwips:
            fixed(25.4 / 1440);
            break;
        case kMapIsotropic:
        case kMapAnisotropic:
            sx = s.viewportExt.x / s.windowExt.x;
            sy = s.viewportExt.y / s.windowExt.y;
            if (mode == kMapIsotropic) {
                const double scale = std::min(std::fabs(sx), std::fabs(sy));
                sx = std::copysign(scale, sx);
                sy = std::copysign(scale, sy);
            }
            break;
        default:
            break;
    }
    return {sx, 0, 0, sy, s.viewportOrg.x - s.windowOrg.x * sx, s.viewportOrg.y - s.windowOrg.y * sy};
}

Affine CDeviceContext::LogicalToCanvas() const {
    return m_state.world.Then(PageTransform()).Then(m_base);
}

Affine CDeviceContext::RegionTransform(bool deviceUnits) const {
    return deviceUnits ? m_base : LogicalToCanvas();
}

// ---------------------------------------------------------------------------
// State

void CDeviceContext::SaveDC() {
    if (m_saved.size() < kMaxSavedStates) m_saved.push_back(m_state);
}

void CDeviceContext::RestoreDC(std::int32_t which) {
    std::size_t target = 0;
    if (which < 0) {
        const std::uint64_t back = static_cast<std::uint64_t>(-static_cast<std::int64_t>(which));
        if (back > m_saved.size()) return;
        target = m_saved.size() - static_cast<std::size_t>(back);
    } else if (which > 0) {
        if (static_cast<std::uint64_t>(which) > m_saved.size()) return;
        target = static_cast<std::size_t>(which) - 1;
    } else {
        return;
    }
    m_state = std::move(m_saved[target]);
    m_saved.resize(target);
}

void CDeviceContext::SetMapMode(int mode) {
    if (mode >= kMapText && mode <= kMapAnisotropic) m_state.mapMode = mode;
}

void CDeviceContext::SetWindowOrg(double x, double y) {
    m_state.windowOrg = {x, y};
}

void CDeviceContext::SetWindowExt(double x, double y) {
    // A zero extent would divide by zero; the platform refuses it too.
    if (x != 0 && y != 0 && std::isfinite(x) && std::isfinite(y)) m_state.windowExt = {x, y};
}

void CDeviceContext::SetViewportOrg(double x, double y) {
    m_state.viewportOrg = {x, y};
}

void CDeviceContext::SetViewportExt(double x, double y) {
    if (x != 0 && y != 0 && std::isfinite(x) && std::isfinite(y)) m_state.viewportExt = {x, y};
}

void CDeviceContext::OffsetWindowOrg(double dx, double dy) {
    m_state.windowOrg = {m_state.windowOrg.x + dx, m_state.windowOrg.y + dy};
}

void CDeviceContext::OffsetViewportOrg(double dx, double dy) {
    m_state.viewportOrg = {m_state.viewportOrg.x + dx, m_state.viewportOrg.y + dy};
}

void CDeviceContext::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom == 0 || yDenom == 0) return;
    SetWindowExt(m_state.windowExt.x * xNum / xDenom, m_state.windowExt.y * yNum / yDenom);
}

void CDeviceContext::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom == 0 || yDenom == 0) return;
    SetViewportExt(m_state.viewportExt.x * xNum / xDenom, m_state.viewportExt.y * yNum / yDenom);
}

void CDeviceContext::SetWorldTransform(const Affine& transform) {
    if (transform.IsUsable()) m_state.world = transform;
}

void CDeviceContext::ModifyWorldTransform(const Affine& transform, std::uint32_t mode) {
    Affine result = m_state.world;
    switch (mode) {
        case 1:
            result = Affine{};
            break;
        case 2:
            result = transform.Then(m_state.world);
            break;
        case 3:
            result = m_state.world.Then(transform);
            break;
        case 4:
            result = transform;
            break;
        default:
            return;
    }
    if (result.IsUsable()) m_state.world = result;
}

void CDeviceContext::SetArcDirection(int direction) {
    if (direction == 1) m_state.arcDirection = ArcDirection::CounterClockwise;
    if (direction == 2) m_state.arcDirection = ArcDirection::ClockWise;
}

void CDeviceContext::SetTextJustification(double extra, double breaks) {
    m_state.breakExtra = breaks > 0 && std::isfinite(extra) ? extra / breaks : 0;
}

void CDeviceContext::SetMiterLimit(double limit) {
    if (std::isfinite(limit) && limit >= 1) m_state.miterLimit = limit;
}

// ---------------------------------------------------------------------------
// Objects

void CDeviceContext::AddObject(GdiObject object) {
    std::uint32_t index = 0;
    if (!m_freeSlots.empty()) {
        index = *m_freeSlots.begin();
        m_freeSlots.erase(m_freeSlots.begin());
    } else if (m_nextSlot < m_limits.maxMetafileObjects) {
        index = m_nextSlot++;
    } else {
        return;
    }
    if (index >= m_objects.size()) m_objects.resize(index + 1);
    m_objects[index] = std::make_shared<const GdiObject>(std::move(object));
}

void CDeviceContext::CreateObjectAt(std::uint32_t index, GdiObject object) {
    if (index == 0 || index >= m_limits.maxMetafileObjects) return;
    if (index >= m_objects.size()) m_objects.resize(index + 1);
    m_objects[index] = std::make_shared<const GdiObject>(std::move(object));
}

const GdiObject* CDeviceContext::FindObject(std::uint32_t index) const {
    return index < m_objects.size() ? m_objects[index].get() : nullptr;
}

std::optional<BrushSpec> CDeviceContext::BrushOf(std::uint32_t index) const {
    if (index & kStockObjectFlag) {
        switch (index & ~kStockObjectFlag) {
            case kStockWhiteBrush:
            case kStockDcBrush:
                return BrushSpec{0, 0xFFFFFF, 0, nullptr, false};
            case kStockLightGreyBrush:
                return BrushSpec{0, 0xC0C0C0, 0, nullptr, false};
            case kStockGreyBrush:
                return BrushSpec{0, 0x808080, 0, nullptr, false};
            case kStockDarkGreyBrush:
                return BrushSpec{0, 0x404040, 0, nullptr, false};
            case kStockBlackBrush:
                return BrushSpec{0, 0x000000, 0, nullptr, false};
            case kStockNullBrush:
                return BrushSpec{kBrushNull, 0, 0, nullptr, false};
            default:
                return std::nullopt;
        }
    }
    const GdiObject* object = FindObject(index);
    if (object == nullptr || object->kind != GdiObject::Kind::Brush) return std::nullopt;
    return object->brush;
}

void CDeviceContext::SelectObject(std::uint32_t index) {
    if (index & kStockObjectFlag) {
        if (auto brush = BrushOf(index)) {
            m_state.brush = *brush;
            return;
        }
        switch (index & ~kStockObjectFlag) {
            case kStockWhitePen:
                m_state.pen = PenSpec{0, 0, 0xFFFFFF, false, {}};
                break;
            case kStockBlackPen:
            case kStockDcPen:
                m_state.pen = PenSpec{};
                break;
            case kStockNullPen:
                m_state.pen = PenSpec{kPenNull, 0, 0, false, {}};
                break;
            case kStockDefaultPalette:
                m_state.palette.reset();
                break;
            case kStockOemFixedFont:
            case kStockAnsiFixedFont:
            case kStockSystemFixedFont:
                m_state.font = FontSpec{};
                m_state.font.pitchAndFamily = 0x31;
                break;
            default:
                if ((index & ~kStockObjectFlag) >= 12 && (index & ~kStockObjectFlag) <= kStockDefaultGuiFont)
                    m_state.font = FontSpec{};
                break;
        }
        return;
    }
    const GdiObject* object = FindObject(index);
    if (object == nullptr) return;
    switch (object->kind) {
        case GdiObject::Kind::Pen:
            m_state.pen = object->pen;
            break;
        case GdiObject::Kind::Brush:
            m_state.brush = object->brush;
            break;
        case GdiObject::Kind::Font:
            m_state.font = object->font;
            break;
        case GdiObject::Kind::Palette:
            m_state.palette = object->palette;
            break;
        case GdiObject::Kind::Region:
            SelectClipObject(index);
            break;
        case GdiObject::Kind::Other:
            break;
    }
}

void CDeviceContext::DeleteObject(std::uint32_t index) {
    if (index >= m_objects.size() || !m_objects[index]) return;
    m_objects[index].reset();
    if (index < m_nextSlot) m_freeSlots.insert(index);
}

void CDeviceContext::SelectPalette(std::uint32_t index) {
    if (index == (kStockObjectFlag | kStockDefaultPalette)) {
        m_state.palette.reset();
        return;
    }
    const GdiObject* object = FindObject(index);
    if (object != nullptr && object->kind == GdiObject::Kind::Palette) m_state.palette = object->palette;
}

void CDeviceContext::SetPaletteEntries(std::optional<std::uint32_t> index, std::uint32_t start,
                                       const std::vector<MetafilePaletteEntry>& entries) {
    std::shared_ptr<PaletteData> target = m_state.palette;
    if (index) {
        const GdiObject* object = FindObject(*index);
        target = object != nullptr ? object->palette : nullptr;
    }
    if (!target) return;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::uint64_t at = std::uint64_t{start} + i;
        if (at >= target->size()) break;
        (*target)[static_cast<std::size_t>(at)] = entries[i];
    }
}

void CDeviceContext::ResizePalette(std::optional<std::uint32_t> index, std::uint32_t count) {
    std::shared_ptr<PaletteData> target = m_state.palette;
    if (index) {
        const GdiObject* object = FindObject(*index);
        target = object != nullptr ? object->palette : nullptr;
    }
    if (target && count >= 1 && count <= m_limits.maxMetafilePaletteEntries) target->resize(count);
}

Colour CDeviceContext::PaletteColour(std::uint16_t index) const {
    if (m_state.palette) return index < m_state.palette->size() ? ColourOf((*m_state.palette)[index]) : 0;
    return index < 20 ? kDefaultPalette[index] : 0;
}

Colour CDeviceContext::Resolve(Colorref colour) const {
    if ((colour >> 24) == 0x01) return PaletteColour(static_cast<std::uint16_t>(colour & 0xFFFF));
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// ---------------------------------------------------------------------------
// Pens, brushes and shapes

RasterOp CDeviceContext::PenRasterOp() const {
    switch (m_state.rop2) {
        case 1:
            return RasterOp::Black;
        case 4:
            return RasterOp::NotCopy;
        case 6:
            return RasterOp::Invert;
        case 7:
            return RasterOp::Xor;
        case 9:
            return RasterOp::And;
        case 11:
            return RasterOp::Nop;
        case 15:
            return RasterOp::Or;
        case 16:
            return RasterOp::White;
        default:
            return RasterOp::Copy;
    }
}

std::optional<StrokeStyle> CDeviceContext::PenStroke() const {
    const PenSpec& pen = m_state.pen;
    const std::uint32_t kind = pen.style & kPenStyleMask;
    if (kind == kPenNull) return std::nullopt;
    const Affine transform = LogicalToCanvas();
    if (!transform.IsUsable()) return std::nullopt;
    const bool geometric = !pen.extended || (pen.style & kPenTypeMask) == kPenGeometric;
    double width = geometric && pen.width > 0 ? pen.width * transform.LinearScale() : 1;
    if (!std::isfinite(width) || width < 1) width = 1;

    StrokeStyle style;
    style.width = width;
    style.miterLimit = m_state.miterLimit;
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
    const double unit = thin ? 1 : width;
    switch (kind) {
        case kPenDash:
            style.dashes = thin ? std::vector<double>{18, 6} : std::vector<double>{3 * unit, unit};
            break;
        case kPenDot:
            style.dashes = thin ? std::vector<double>{3, 3} : std::vector<double>{unit, unit};
            break;
        case kPenDashDot:
            style.dashes =
                thin ? std::vector<double>{9, 6, 3, 6} : std::vector<double>{3 * unit, unit, unit, unit};
            break;
        case kPenDashDotDot:
            style.dashes = thin ? std::vector<double>{9, 3, 3, 3, 3, 3}
                                : std::vector<double>{3 * unit, unit, unit, unit, unit, unit};
            break;
        case kPenAlternate:
            style.dashes = {1, 1};
            break;
        case kPenUserStyle: {
            const double scale = geometric ? transform.LinearScale() : 1;
            for (double dash : pen.userDashes) style.dashes.push_back(dash * scale);
            break;
        }
        default:
            break;
    }
    return style;
}

std::optional<FillStyle> CDeviceContext::BrushFill(const BrushSpec& brush) const {
    FillStyle style;
    style.evenOdd = m_state.polyFillMode == kFillAlternate;
    switch (brush.style) {
        case kBrushNull:
            return std::nullopt;
        case kBrushHatched:
            style.pattern =
                HatchTile(brush.hatch, Resolve(brush.colour),
                          m_state.bkMode == kBkOpaque ? std::optional<Colour>(Resolve(m_state.bkColour))
                                                      : std::nullopt);
            break;
        case kBrushPattern:
        case kBrushDibPattern:
        case kBrushDibPatternPt:
            if (!brush.pattern) {
                style.colour = Resolve(brush.colour);
            } else if (brush.monochrome) {
                // Monochrome patterns take the text colour for black and the
                // background colour for white, at the time they are used.
                if (!m_canvas.ChargeWork(static_cast<double>(brush.pattern->pixels.size())))
                    return std::nullopt;
                auto tile = std::make_shared<DibImage>(*brush.pattern);
                const std::uint32_t ink = 0xFF000000u | Resolve(m_state.textColour);
                const std::uint32_t paper = 0xFF000000u | Resolve(m_state.bkColour);
                for (std::uint32_t& pixel : tile->pixels) pixel = (pixel & 0xFFFFFF) == 0 ? ink : paper;
                style.pattern = std::move(tile);
            } else {
                style.pattern = brush.pattern;
            }
            break;
        default:
            style.colour = Resolve(brush.colour);
            break;
    }
    return style;
}

void CDeviceContext::FillShape(const CPath& shape, const BrushSpec& brush, RasterOp op) {
    if (auto style = BrushFill(brush)) m_canvas.Fill(shape, *style, op);
}

void CDeviceContext::DrawShape(const CPath& shape, bool fill, bool stroke) {
    if (shape.IsEmpty()) return;
    if (m_pathOpen) {
        m_path.Append(shape);
        return;
    }
    ApplyClip();
    const RasterOp op = PenRasterOp();
    if (fill) FillShape(shape, m_state.brush, op);
    if (stroke) {
        if (auto style = PenStroke()) m_canvas.Stroke(shape, *style, Resolve(m_state.pen.colour), op);
    }
}

LogicalRect CDeviceContext::InsideFrame(const LogicalRect& box) const {
    const PenSpec& pen = m_state.pen;
    if ((pen.style & kPenStyleMask) != kPenInsideFrame || pen.width <= 1) return box;
    const double inset = pen.width / 2;
    const double left = std::min(box.left, box.right), right = std::max(box.left, box.right);
    const double top = std::min(box.top, box.bottom), bottom = std::max(box.top, box.bottom);
    if (right - left <= 2 * inset || bottom - top <= 2 * inset) return box;
    return {left + inset, top + inset, right - inset, bottom - inset};
}

// ---------------------------------------------------------------------------
// Drawing

void CDeviceContext::MoveTo(Point p) {
    m_state.position = p;
    if (m_pathOpen) m_path.MoveTo(LogicalToCanvas().Apply(p));
}

void CDeviceContext::LineTo(Point p) {
    PolylineTo({p});
}

void CDeviceContext::Polyline(const std::vector<Point>& points) {
    if (points.size() < 2) return;
    const Affine t = LogicalToCanvas();
    CPath shape;
    shape.MoveTo(t.Apply(points[0]));
    for (std::size_t i = 1; i < points.size(); ++i) shape.LineTo(t.Apply(points[i]));
    DrawShape(shape, false, true);
}

void CDeviceContext::PolylineTo(const std::vector<Point>& points) {
    if (points.empty()) return;
    const Affine t = LogicalToCanvas();
    CPath shape;
    CPath& figure = m_pathOpen ? m_path : shape;
    const Point from = t.Apply(m_state.position);
    if (!figure.HasCurrentPoint() || figure.CurrentPoint().x != from.x || figure.CurrentPoint().y != from.y)
        figure.MoveTo(from);
    for (const Point& p : points) figure.LineTo(t.Apply(p));
    m_state.position = points.back();
    if (!m_pathOpen) DrawShape(shape, false, true);
}

void CDeviceContext::PolyBezier(const std::vector<Point>& points) {
    if (points.size() < 4) return;
    const Affine t = LogicalToCanvas();
    CPath shape;
    shape.MoveTo(t.Apply(points[0]));
    for (std::size_t i = 1; i + 2 < points.size(); i += 3)
        shape.CurveTo(t.Apply(points[i]), t.Apply(points[i + 1]), t.Apply(points[i + 2]));
    DrawShape(shape, false, true);
}

void CDeviceContext::PolyBezierTo(const std::vector<Point>& points) {
    if (points.size() < 3) return;
    const Affine t = LogicalToCanvas();
    CPath shape;
    CPath& figure = m_pathOpen ? m_path : shape;
    const Point from = t.Apply(m_state.position);
    if (!figure.HasCurrentPoint() || figure.CurrentPoint().x != from.x || figure.CurrentPoint().y != from.y)
        figure.MoveTo(from);
    std::size_t i = 0;
    for (; i + 2 < points.size(); i += 3) {
        figure.CurveTo(t.Apply(points[i]), t.Apply(points[i + 1]), t.Apply(points[i + 2]));
        m_state.position = points[i + 2];
    }
    if (!m_pathOpen) DrawShape(shape, false, true);
}

void CDeviceContext::Polygon(const std::vector<Point>& points) {
    PolyPolygon({points});
}

void CDeviceContext::PolyPolygon(const std::vector<std::vector<Point>>& polygons) {
    const Affine t = LogicalToCanvas();
    CPath shape;
    for (const auto& polygon : polygons) {
        if (polygon.size() < 2) continue;
        shape.MoveTo(t.Apply(polygon[0]));
        for (std::size_t i = 1; i < polygon.size(); ++i) shape.LineTo(t.Apply(polygon[i]));
        shape.Close();
    }
    DrawShape(shape, true, true);
}

void CDeviceContext::PolyPolyline(const std::vector<std::vector<Point>>& lines) {
    const Affine t = LogicalToCanvas();
    CPath shape;
    for (const auto& line : lines) {
        if (line.size() < 2) continue;
        shape.MoveTo(t.Apply(line[0]));
        for (std::size_t i = 1; i < line.size(); ++i) shape.LineTo(t.Apply(line[i]));
    }
    DrawShape(shape, false, true);
}

void CDeviceContext::PolyDraw(const std::vector<Point>& points, const std::vector<std::uint8_t>& types) {
    constexpr std::uint8_t kCloseFigure = 0x01;
    constexpr std::uint8_t kLineTo = 0x02;
    constexpr std::uint8_t kBezierTo = 0x04;
    constexpr std::uint8_t kMoveTo = 0x06;
    const Affine t = LogicalToCanvas();
    CPath shape;
    CPath& figure = m_pathOpen ? m_path : shape;
    if (!m_pathOpen) figure.MoveTo(t.Apply(m_state.position));
    for (std::size_t i = 0; i < points.size() && i < types.size(); ++i) {
        const std::uint8_t type = types[i] & ~kCloseFigure;
        if (type == kMoveTo) {
            figure.MoveTo(t.Apply(points[i]));
        } else if (type == kLineTo) {
            figure.LineTo(t.Apply(points[i]));
        } else if (type == kBezierTo && i + 2 < points.size() && i + 2 < types.size()) {
            figure.CurveTo(t.Apply(points[i]), t.Apply(points[i + 1]), t.Apply(points[i + 2]));
            i += 2;
        } else {
            continue;
        }
        m_state.position = points[i];
        if (types[i] & kCloseFigure) figure.Close();
    }
    if (!m_pathOpen) DrawShape(shape, false, true);
}

void CDeviceContext::Rectangle(const LogicalRect& box) {
    const LogicalRect frame = InsideFrame(box);
    CPath shape;
    AddRectangle(shape, {frame.left, frame.top, frame.right, frame.bottom}, LogicalToCanvas());
    DrawShape(shape, true, true);
}

void CDeviceContext::RoundRect(const LogicalRect& box, double cornerWidth, double cornerHeight) {
    const LogicalRect frame = InsideFrame(box);
    CPath shape;
    AddRoundRect(shape, {frame.left, frame.top, frame.right, frame.bottom}, cornerWidth, cornerHeight,
                 LogicalToCanvas());
    DrawShape(shape, true, true);
}

void CDeviceContext::Ellipse(const LogicalRect& box) {
    const LogicalRect frame = InsideFrame(box);
    CPath shape;
    AddEllipse(shape, {frame.left, frame.top, frame.right, frame.bottom}, LogicalToCanvas());
    DrawShape(shape, true, true);
}

void CDeviceContext::DrawArc(const LogicalRect& box, Point start, Point end, metafile::ArcShape shape,
                             bool connect, bool updatePosition) {
    const Affine t = LogicalToCanvas();
    if (!t.IsUsable()) return;
    const LogicalRect frame = shape == ArcShape::Open ? box : InsideFrame(box);
    CPath local;
    CPath& figure = m_pathOpen && shape == ArcShape::Open ? m_path : local;
    if (connect) {
        const Point from = t.Apply(m_state.position);
        if (!figure.HasCurrentPoint() || figure.CurrentPoint().x != from.x ||
            figure.CurrentPoint().y != from.y)
            figure.MoveTo(from);
    }
    Point arcEnd = m_state.position;
    AddArc(figure, {frame.left, frame.top, frame.right, frame.bottom}, start, end, m_state.arcDirection,
           shape, connect, t, nullptr, &arcEnd);
    if (updatePosition) m_state.position = arcEnd;
    if (&figure == &local) DrawShape(local, shape != ArcShape::Open, true);
}

void CDeviceContext::Arc(const LogicalRect& box, Point start, Point end) {
    DrawArc(box, start, end, ArcShape::Open, false, false);
}

void CDeviceContext::ArcTo(const LogicalRect& box, Point start, Point end) {
    DrawArc(box, start, end, ArcShape::Open, true, true);
}

void CDeviceContext::Chord(const LogicalRect& box, Point start, Point end) {
    DrawArc(box, start, end, ArcShape::Chord, false, false);
}

void CDeviceContext::Pie(const LogicalRect& box, Point start, Point end) {
    DrawArc(box, start, end, ArcShape::Pie, false, false);
}

void CDeviceContext::AngleArc(Point centre, double radius, double startDegrees, double sweepDegrees) {
    const Affine t = LogicalToCanvas();
    CPath shape;
    CPath& figure = m_pathOpen ? m_path : shape;
    const Point from = t.Apply(m_state.position);
    if (!figure.HasCurrentPoint() || figure.CurrentPoint().x != from.x || figure.CurrentPoint().y != from.y)
        figure.MoveTo(from);
    Point arcEnd = m_state.position;
    AddAngleArc(figure, centre, radius, startDegrees, sweepDegrees, t, &arcEnd);
    m_state.position = arcEnd;
    if (!m_pathOpen) DrawShape(shape, false, true);
}

void CDeviceContext::SetPixel(Point p, Colorref colour) {
    if (m_pathOpen) return;
    const Point at = LogicalToCanvas().Apply(p);
    if (!std::isfinite(at.x) || !std::isfinite(at.y)) return;
    ApplyClip();
    const double x = std::floor(ClampCoordinate(at.x));
    const double y = std::floor(ClampCoordinate(at.y));
    m_canvas.FillRectangle(x, y, x + 1, y + 1, Resolve(colour));
}

void CDeviceContext::TextOut(Point reference, const std::vector<std::string>& glyphs,
                             const std::vector<double>& dx, std::uint32_t options,
                             const std::optional<LogicalRect>& rectangle) {
    if (m_pathOpen) return;
    const Affine t = LogicalToCanvas();
    if (!t.IsUsable()) return;
    ApplyClip();
    if (rectangle && (options & kTextOpaque)) {
        CPath box;
        AddRectangle(box, {rectangle->left, rectangle->top, rectangle->right, rectangle->bottom}, t);
        m_canvas.Fill(box, FillStyle{false, Resolve(m_state.bkColour), nullptr}, RasterOp::Copy);
    }
    if (glyphs.empty()) return;

    const bool clipped = rectangle && (options & kTextClipped);
    if (clipped) {
        ClipState narrowed = m_state.clip;
        if (!narrowed.hasRegion) {
            narrowed.hasRegion = true;
            narrowed.region = std::make_shared<CClipRegion>(0, 0, m_canvas.Width(), m_canvas.Height());
        }
        if (!m_canvas.Spend(static_cast<std::uint64_t>(narrowed.region->RectangleCount()) *
                            WorkUnits::kRegionRectangle))
            return;
        auto region = std::make_shared<CClipRegion>(*narrowed.region);
        region->Intersect(CanvasRegion(*rectangle, t));
        narrowed.region = std::move(region);
        narrowed.version = ++m_clipCounter;
        m_canvas.SetClip(narrowed);
    }

    const FontSpec& font = m_state.font;
    const double angle = font.escapement / 10.0 * std::numbers::pi / 180;
    // Escapement turns counter-clockwise on the screen whichever way the
    // logical y axis points.
    const bool yDown = t.Determinant() > 0;
    const Point along{std::cos(angle), yDown ? -std::sin(angle) : std::sin(angle)};
    const Point across{-along.y, along.x};
    const Point alongCanvas = t.ApplyVector(along);
    const double alongScale = Length(alongCanvas);
    const double acrossScale = Length(t.ApplyVector(across));
    if (!(alongScale > 0) || !(acrossScale > 0) || !std::isfinite(alongScale) || !std::isfinite(acrossScale))
        return;

    TextStyle style;
    style.family = FamilyFor(font);
    style.bold = font.weight >= 600;
    style.italic = font.italic;
    style.underline = font.underline;
    style.strikeOut = font.strikeOut;
    style.height =
        font.height == 0 ? kDefaultFontPixels : std::fabs(static_cast<double>(font.height)) * acrossScale;
    style.cellHeight = font.height > 0;
    style.baseline = {alongCanvas.x / alongScale, alongCanvas.y / alongScale};
    style.colour = Resolve(m_state.textColour);
    style.opaque = m_state.bkMode == kBkOpaque;
    style.background = Resolve(m_state.bkColour);
    const std::uint32_t align = m_state.textAlign;
    style.horizontalAlign = (align & kAlignCentre) == kAlignCentre ? 2 : (align & kAlignRight) ? 1 : 0;
    style.verticalAlign = (align & kAlignBaseline) == kAlignBaseline ? 2 : (align & kAlignBottom) ? 1 : 0;

    style.extraAdvance = m_state.charExtra * alongScale;
    style.breakAdvance = m_state.breakExtra * alongScale;
    std::vector<double> advances;
    advances.reserve(dx.size());
    for (double step : dx) advances.push_back((step + m_state.charExtra) * alongScale);
    const bool updatePosition = (align & kAlignUpdateCurrentPosition) != 0;
    style.advanceNeeded = updatePosition && style.horizontalAlign == 0;
    const Point origin = t.Apply(updatePosition ? m_state.position : reference);
    const double total = m_canvas.DrawText(glyphs, advances, origin, style);
    if (updatePosition && style.horizontalAlign == 0) {
        const double logical = total / alongScale;
        m_state.position = {m_state.position.x + along.x * logical, m_state.position.y + along.y * logical};
    }
    if (clipped) ApplyClip();
}

void CDeviceContext::PatBlt(const LogicalRect& box, std::uint32_t rop) {
    if (m_pathOpen) return;
    CPath shape;
    AddRectangle(shape, {box.left, box.top, box.right, box.bottom}, LogicalToCanvas());
    ApplyClip();
    switch ((rop >> 16) & 0xFF) {
        case 0x00:
            m_canvas.Fill(shape, FillStyle{}, RasterOp::Black);
            break;
        case 0xFF:
            m_canvas.Fill(shape, FillStyle{}, RasterOp::White);
            break;
        case 0x55:
            m_canvas.Fill(shape, FillStyle{}, RasterOp::Invert);
            break;
        case 0x5A:
            FillShape(shape, m_state.brush, RasterOp::Xor);
            break;
        case 0xAA:
            break;
        default:
            FillShape(shape, m_state.brush, RasterOp::Copy);
            break;
    }
}

std::optional<DibImage> CDeviceContext::DecodeSource(const BlitSource& source, double sx, double top,
                                                     double sw, double sh, double& left,
                                                     double& upper) const {
    const DibHeader& header = *source.header;
    const double x0 = std::max(std::floor(sx), 0.0);
    const double x1 = std::min(std::ceil(sx + sw), static_cast<double>(header.width));
    const double y0 = std::max(std::floor(top), 0.0);
    const double y1 = std::min(std::ceil(top + sh), static_cast<double>(header.height));
    if (!(x1 > x0) || !(y1 > y0)) return std::nullopt;
    const int x = static_cast<int>(x0), y = static_cast<int>(y0);
    const int width = static_cast<int>(x1 - x0), height = static_cast<int>(y1 - y0);
    if (!m_canvas.ChargeWork(static_cast<double>(width) * height)) return std::nullopt;
    auto image = DecodeDib(header, source.bits, x, y, width, height, source.keepAlpha);
    if (!image) return std::nullopt;
    if (source.transparent) {
        const std::uint32_t key = 0xFF000000u | *source.transparent;
        for (std::uint32_t& pixel : image->pixels)
            if (pixel == key) pixel = 0;
    }
    if (source.mask != nullptr) {
        const double mx = x0 - sx + source.maskX, my = y0 - top + source.maskY;
        std::optional<DibImage> mask;
        if (mx >= 0 && my >= 0 && mx + width <= source.mask->width && my + height <= source.mask->height)
            mask = DecodeDib(*source.mask, source.maskBits, static_cast<int>(mx), static_cast<int>(my), width,
                             height, false);
        if (mask) {
            const std::uint32_t background = source.backgroundCode == 0x00   ? 0xFF000000u
                                             : source.backgroundCode == 0xFF ? 0xFFFFFFFFu
                                                                             : 0u;
            for (std::size_t i = 0; i < image->pixels.size(); ++i)
                if ((mask->pixels[i] & 0xFFFFFF) == 0) image->pixels[i] = background;
        }
    }
    left = x0;
    upper = y0;
    return image;
}

void CDeviceContext::DrawBitmap(const DibImage& image, const Affine& imageToCanvas, RasterOp op,
                                double opacity) {
    ApplyClip();
    m_canvas.DrawImage(image, imageToCanvas, op, m_state.stretchMode == kStretchHalftone, opacity);
}

void CDeviceContext::StretchBlt(const BlitSource& source, const LogicalRect& destination, std::uint32_t rop) {
    const std::uint32_t code = (rop >> 16) & 0xFF;
    const bool usesSource = ((code >> 2) & 0x33) != (code & 0x33);
    if (source.header == nullptr || !usesSource) {
        PatBlt(destination, rop);
        return;
    }
    if (m_pathOpen) return;
    RasterOp op = RasterOp::Copy;
    switch (code) {
        case 0xEE:
            op = RasterOp::Or;
            break;
        case 0x88:
            op = RasterOp::And;
            break;
        case 0x66:
            op = RasterOp::Xor;
            break;
        case 0x33:
        case 0x11:
            op = RasterOp::NotCopy;
            break;
        default:
            break;
    }
    double sx = source.x, sy = source.y, sw = source.width, sh = source.height;
    double dx = destination.left, dy = destination.top;
    double dw = destination.right - destination.left, dh = destination.bottom - destination.top;
    for (double v : {sx, sy, sw, sh, dx, dy, dw, dh})
        if (!std::isfinite(v)) return;
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return;
    // A negative source extent mirrors the picture: keep the source upright
    // and mirror the destination instead.
    if (sw < 0) {
        sx += sw;
        sw = -sw;
        dx += dw;
        dw = -dw;
    }
    if (sh < 0) {
        sy += sh;
        sh = -sh;
        dy += dh;
        dh = -dh;
    }
    const double top = source.fromBottom ? source.header->height - sy - sh : sy;
    double left = 0, upper = 0;
    const auto image = DecodeSource(source, sx, top, sw, sh, left, upper);
    if (!image) return;
    Affine imageToCanvas;
    if (source.deviceSized) {
        // One source pixel per device pixel; only the corner is mapped.
        const Point corner = m_state.world.Then(PageTransform()).Apply({dx, dy});
        imageToCanvas = Affine::Translation(corner.x + left - sx, corner.y + upper - top).Then(m_base);
    } else {
        // Image pixel (0, 0) is source pixel (left, upper); the source
        // rectangle maps onto the destination.
        const double scaleX = dw / sw;
        const double scaleY = dh / sh;
        const Affine imageToLogical{
            scaleX, 0, 0, scaleY, dx + (left - sx) * scaleX, dy + (upper - top) * scaleY};
        imageToCanvas = imageToLogical.Then(LogicalToCanvas());
    }
    DrawBitmap(*image, imageToCanvas, op, source.opacity);
}

void CDeviceContext::PlgBlt(const BlitSource& source, Point upperLeft, Point upperRight, Point lowerLeft) {
    if (source.header == nullptr || m_pathOpen) return;
    const double sx = source.x, sy = source.y, sw = source.width, sh = source.height;
    for (double v :
         {sx, sy, sw, sh, upperLeft.x, upperLeft.y, upperRight.x, upperRight.y, lowerLeft.x, lowerLeft.y})
        if (!std::isfinite(v)) return;
    if (!(sw > 0) || !(sh > 0)) return;
    double left = 0, upper = 0;
    const auto image = DecodeSource(source, sx, sy, sw, sh, left, upper);
    if (!image) return;
    // Source (sx, sy) lands on the upper-left corner; one source pixel to the
    // right moves along the upper edge, one down along the left edge.
    const Point across{(upperRight.x - upperLeft.x) / sw, (upperRight.y - upperLeft.y) / sw};
    const Point down{(lowerLeft.x - upperLeft.x) / sh, (lowerLeft.y - upperLeft.y) / sh};
    const Affine sourceToLogical{across.x,
                                 across.y,
                                 down.x,
                                 down.y,
                                 upperLeft.x - across.x * sx - down.x * sy,
                                 upperLeft.y - across.y * sx - down.y * sy};
    const Affine imageToCanvas =
        Affine::Translation(left, upper).Then(sourceToLogical).Then(LogicalToCanvas());
    DrawBitmap(*image, imageToCanvas, RasterOp::Copy, 1);
}

void CDeviceContext::FillRegion(const std::vector<RegionRect>& rects, const BrushSpec& brush,
                                bool deviceUnits) {
    if (m_pathOpen || rects.empty()) return;
    const Affine t = RegionTransform(deviceUnits);
    CPath shape;
    for (const RegionRect& r : rects)
        AddRectangle(shape, {double(r.left), double(r.top), double(r.right), double(r.bottom)}, t);
    ApplyClip();
    if (auto style = BrushFill(brush)) {
        style->evenOdd = false;
        m_canvas.Fill(shape, *style, RasterOp::Copy);
    }
}

void CDeviceContext::FrameRegion(const std::vector<RegionRect>& rects, const BrushSpec& brush, double width,
                                 double height, bool deviceUnits) {
    std::vector<RegionRect> strips;
    const auto w = static_cast<std::int32_t>(std::clamp(std::fabs(width), 1.0, 1e6));
    const auto h = static_cast<std::int32_t>(std::clamp(std::fabs(height), 1.0, 1e6));
    for (const RegionRect& r : rects) {
        strips.push_back({r.left, r.top, r.right, r.top + h});
        strips.push_back({r.left, r.bottom - h, r.right, r.bottom});
        strips.push_back({r.left, r.top, r.left + w, r.bottom});
        strips.push_back({r.right - w, r.top, r.right, r.bottom});
    }
    FillRegion(strips, brush, deviceUnits);
}

void CDeviceContext::InvertRegion(const std::vector<RegionRect>& rects, bool deviceUnits) {
    if (m_pathOpen || rects.empty()) return;
    const Affine t = RegionTransform(deviceUnits);
    CPath shape;
    for (const RegionRect& r : rects)
        AddRectangle(shape, {double(r.left), double(r.top), double(r.right), double(r.bottom)}, t);
    ApplyClip();
    m_canvas.Fill(shape, FillStyle{false, 0, nullptr}, RasterOp::Invert);
}

void CDeviceContext::GradientRectangle(const GradientVertex& a, const GradientVertex& b, bool vertical) {
    if (m_pathOpen) return;
    const Affine t = LogicalToCanvas();
    CPath shape;
    AddRectangle(shape, {a.point.x, a.point.y, b.point.x, b.point.y}, t);
    const Point from = t.Apply(a.point);
    const Point to = t.Apply(vertical ? Point{a.point.x, b.point.y} : Point{b.point.x, a.point.y});
    const double fromColour[3] = {a.red, a.green, a.blue};
    const double toColour[3] = {b.red, b.green, b.blue};
    ApplyClip();
    m_canvas.FillLinearGradient(shape, from, to, fromColour, toColour);
}

void CDeviceContext::GradientTriangle(const GradientVertex& a, const GradientVertex& b,
                                      const GradientVertex& c) {
    if (m_pathOpen) return;
    const Affine t = LogicalToCanvas();
    const Point corners[3] = {t.Apply(a.point), t.Apply(b.point), t.Apply(c.point)};
    const double colours[3][3] = {
        {a.red, a.green, a.blue}, {b.red, b.green, b.blue}, {c.red, c.green, c.blue}};
    ApplyClip();
    m_canvas.FillTriangleGradient(corners, colours);
}

// ---------------------------------------------------------------------------
// Paths

void CDeviceContext::BeginPath() {
    m_path.Clear();
    m_pathOpen = true;
}

void CDeviceContext::EndPath() {
    m_pathOpen = false;
}

void CDeviceContext::CloseFigure() {
    if (m_pathOpen) m_path.Close();
}

void CDeviceContext::AbortPath() {
    m_path.Clear();
    m_pathOpen = false;
}

void CDeviceContext::DrawPathAndClear(bool fill, bool stroke) {
    m_pathOpen = false;
    CPath path = std::move(m_path);
    m_path.Clear();
    DrawShape(path, fill, stroke);
}

void CDeviceContext::FillPath() {
    DrawPathAndClear(true, false);
}
void CDeviceContext::StrokePath() {
    DrawPathAndClear(false, true);
}
void CDeviceContext::StrokeAndFillPath() {
    DrawPathAndClear(true, true);
}

void CDeviceContext::SelectClipPath(int mode) {
    m_pathOpen = false;
    auto path = std::make_shared<CPath>(std::move(m_path));
    m_path.Clear();
    ClipState& clip = m_state.clip;
    const ClipPath clipPath{path, m_state.polyFillMode == kFillAlternate};
    if (mode == kRegionCopy) {
        clip.hasRegion = false;
        clip.paths.assign(1, clipPath);
    } else if (mode == kRegionAnd) {
        if (clip.paths.size() >= kMaxClipPaths) return;
        clip.paths.push_back(clipPath);
    } else {
        // Unions and differences with a path have no exact form here; the
        // clip stays as it is.
        return;
    }
    TouchClip();
}

// ---------------------------------------------------------------------------
// Clipping

std::array<int, 4> CDeviceContext::CanvasBox(const LogicalRect& box, const Affine& transform) const {
    const Point corners[4] = {transform.Apply({box.left, box.top}), transform.Apply({box.right, box.top}),
                              transform.Apply({box.right, box.bottom}),
                              transform.Apply({box.left, box.bottom})};
    double left = kRegionLimit, top = kRegionLimit, right = -kRegionLimit, bottom = -kRegionLimit;
    for (const Point& p : corners) {
        const double x = ClampCoordinate(p.x);
        const double y = ClampCoordinate(p.y);
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    if (right < left || bottom < top) return {0, 0, 0, 0};
    return {static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)),
            static_cast<int>(std::lround(right)), static_cast<int>(std::lround(bottom))};
}

CClipRegion CDeviceContext::CanvasRegion(const LogicalRect& box, const Affine& transform) const {
    const auto corners = CanvasBox(box, transform);
    return CClipRegion(corners[0], corners[1], corners[2], corners[3]);
}

CClipRegion CDeviceContext::RegionFromRects(const std::vector<RegionRect>& rects, const Affine& transform) {
    if (!m_canvas.Spend(rects.size() * WorkUnits::kRegionRectangle)) return CClipRegion();
    std::vector<int> corners;
    corners.reserve(4 * std::min(rects.size(), kMaxClipRectangles));
    double left = kRegionLimit, top = kRegionLimit, right = -kRegionLimit, bottom = -kRegionLimit;
    for (const RegionRect& r : rects) {
        const auto box =
            CanvasBox({double(r.left), double(r.top), double(r.right), double(r.bottom)}, transform);
        left = std::min(left, double(box[0]));
        top = std::min(top, double(box[1]));
        right = std::max(right, double(box[2]));
        bottom = std::max(bottom, double(box[3]));
        corners.insert(corners.end(), box.begin(), box.end());
        // A region of more pieces than a clip may have is taken as its
        // bounding box.
        if (corners.size() > 4 * kMaxClipRectangles) {
            corners.assign({int(left), int(top), int(right), int(bottom)});
            for (const RegionRect& rest : rects) {
                const auto more =
                    CanvasBox({double(rest.left), double(rest.top), double(rest.right), double(rest.bottom)},
                              transform);
                corners[0] = std::min(corners[0], more[0]);
                corners[1] = std::min(corners[1], more[1]);
                corners[2] = std::max(corners[2], more[2]);
                corners[3] = std::max(corners[3], more[3]);
            }
            break;
        }
    }
    return CClipRegion(corners);
}

void CDeviceContext::CombineClip(std::shared_ptr<const CClipRegion> region, int mode) {
    ClipState& clip = m_state.clip;
    if (mode == kRegionCopy) {
        clip.hasRegion = true;
        clip.region = std::move(region);
        clip.paths.clear();
        TouchClip();
        return;
    }
    if (mode < kRegionAnd || mode > kRegionDiff) return;
    // A clip cut into ever more pieces would make every later drawing
    // slower; past the limit it stays as it is.
    if (clip.hasRegion && clip.region && clip.region->RectangleCount() > static_cast<int>(kMaxClipRectangles))
        return;
    // "Everything" is the canvas: nothing outside it is ever drawn.
    auto combined = clip.hasRegion && clip.region
                        ? std::make_shared<CClipRegion>(*clip.region)
                        : std::make_shared<CClipRegion>(0, 0, m_canvas.Width(), m_canvas.Height());
    const auto walked = static_cast<std::uint64_t>(combined->RectangleCount()) + region->RectangleCount();
    if (!m_canvas.Spend(walked * WorkUnits::kRegionRectangle)) return;
    const CClipRegion box = combined->CombinedRectangleBound(*region) > kMaxCombinedRectangles
                                ? region->BoundingBox()
                                : CClipRegion();
    const CClipRegion& other = box.RectangleCount() > 0 ? box : *region;
    switch (mode) {
        case kRegionAnd:
            combined->Intersect(other);
            break;
        case kRegionOr:
            combined->Union(other);
            break;
        case kRegionXor:
            combined->Xor(other);
            break;
        default:
            combined->Subtract(other);
            break;
    }
    if (!m_canvas.Spend(static_cast<std::uint64_t>(combined->RectangleCount()) * WorkUnits::kRegionRectangle))
        return;
    clip.hasRegion = true;
    clip.region = std::move(combined);
    TouchClip();
}

void CDeviceContext::IntersectClipRect(const LogicalRect& box) {
    CombineClip(std::make_shared<CClipRegion>(CanvasRegion(box, LogicalToCanvas())), kRegionAnd);
}

void CDeviceContext::ExcludeClipRect(const LogicalRect& box) {
    CombineClip(std::make_shared<CClipRegion>(CanvasRegion(box, LogicalToCanvas())), kRegionDiff);
}

void CDeviceContext::OffsetClipRegion(double dx, double dy) {
    if (!m_state.clip.hasRegion || !m_state.clip.region) return;
    const Point shift = LogicalToCanvas().ApplyVector({dx, dy});
    if (!std::isfinite(shift.x) || !std::isfinite(shift.y)) return;
    if (!m_canvas.Spend(static_cast<std::uint64_t>(m_state.clip.region->RectangleCount()) *
                        WorkUnits::kRegionRectangle))
        return;
    auto moved = std::make_shared<CClipRegion>(*m_state.clip.region);
    moved->Translate(static_cast<int>(std::lround(std::clamp(shift.x, -kRegionLimit, kRegionLimit))),
                     static_cast<int>(std::lround(std::clamp(shift.y, -kRegionLimit, kRegionLimit))));
    m_state.clip.region = std::move(moved);
    TouchClip();
}

void CDeviceContext::SelectClipRegion(const std::vector<RegionRect>& rects, int mode, bool deviceUnits) {
    if (mode == kRegionCopy && rects.empty()) {
        m_state.clip = ClipState{};
        TouchClip();
        return;
    }
    CombineClip(std::make_shared<CClipRegion>(RegionFromRects(rects, RegionTransform(deviceUnits))), mode);
}

void CDeviceContext::SelectClipObject(std::uint32_t index) {
    const GdiObject* object = FindObject(index);
    if (object == nullptr || object->kind != GdiObject::Kind::Region || object->region.empty()) {
        SelectClipRegion({}, kRegionCopy, false);
        return;
    }
    // A region selected again and again is made once for each transform.
    const Affine transform = RegionTransform(false);
    GdiObject::RegionCache& cache = object->regionCache;
    if (!cache.region || std::memcmp(&cache.transform, &transform, sizeof transform) != 0) {
        cache.region = std::make_shared<CClipRegion>(RegionFromRects(object->region, transform));
        cache.transform = transform;
    }
    CombineClip(cache.region, kRegionCopy);
}

}  // namespace metafile
