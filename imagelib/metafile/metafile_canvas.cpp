#include "imagelib/metafile/metafile_canvas.h"

#include "imagelib/metafile/metafile_crossings.h"
#include "imagelib/metafile/metafile_fonts.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace metafile {

namespace {

// Pixels the canvas may touch for one metafile (fills, strokes, glyphs and
// bitmaps counted by the area they cover); a drawing that needs more ends
// there, drawn partly.
constexpr double kMaxDrawingWork = 4.0e9;
// Each path segment costs this much besides the area it covers.
constexpr double kWorkPerSegment = 16;
// Widest pen, in canvas pixels.
constexpr double kMaxLineWidth = 65536;
// Most dashes one stroke may have; beyond it the stroke is drawn solid.
constexpr double kMaxDashes = 200000;
// A dashed stroke that would take more than this share of the work budget
// left is cut to the canvas.
constexpr std::uint64_t kCutStrokeShare = 16;
// Glyphs up to this size come from the glyph cache; larger ones are filled
// as outlines, so no huge glyph image is ever rasterized.
constexpr double kMaxCachedGlyphSize = 256;
constexpr double kMaxFontSize = 65536;
constexpr double kMinFontSize = 0.5;

double Red(Color c) {
    return ((c >> 16) & 0xFF) / 255.0;
}
double Green(Color c) {
    return ((c >> 8) & 0xFF) / 255.0;
}
double Blue(Color c) {
    return (c & 0xFF) / 255.0;
}

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct PatternDeleter {
    void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
using SurfacePointer = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using PatternPointer = std::unique_ptr<cairo_pattern_t, PatternDeleter>;

// Sides of an image surface at most; cairo refuses larger ones.
constexpr int kMaxSurfaceSide = 32767;
// Scales of a drawn bitmap, per pixel, that are taken as absurd.
constexpr double kMinImageScale = 1e-6;
constexpr double kMaxImageScale = 1e6;

// The parts of a path of straight lines that pass through the rectangle, for
// dashing: each part starts a whole number of dash periods from the start of
// its figure, so its dashes fall where the whole figure's would (cairo starts
// the dash pattern afresh at every move). Null for paths with curves or
// closed figures, which are stroked whole.
std::optional<CPath> DashedLinesWithin(const CPath& path, double period, double left, double top,
                                       double right, double bottom) {
    CPath visible;
    Point current{0, 0};
    double travelled = 0;  // from the start of the figure
    bool drawing = false;  // the last part reaches `current`
    for (const CPath::Segment& segment : path.Segments()) {
        const Point p{ClampCoordinate(segment.points[0].x), ClampCoordinate(segment.points[0].y)};
        if (segment.kind == CPath::Kind::Move) {
            current = p;
            travelled = 0;
            drawing = false;
            continue;
        }
        if (segment.kind != CPath::Kind::Line) return std::nullopt;
        const double dx = p.x - current.x, dy = p.y - current.y;
        const double length = std::hypot(dx, dy);
        // Where the line is inside the rectangle, as fractions of it.
        double enter = 0, leave = 1;
        auto keep = [&](double denominator, double numerator) {
            if (denominator == 0) return numerator >= 0;
            const double t = numerator / denominator;
            if (denominator < 0)
                enter = std::max(enter, t);
            else
                leave = std::min(leave, t);
            return true;
        };
        const bool inside = keep(-dx, current.x - left) && keep(dx, right - current.x) &&
                            keep(-dy, current.y - top) && keep(dy, bottom - current.y) && enter <= leave &&
                            length > 0;
        if (inside) {
            if (!drawing || enter > 0) {
                // Step back to the last whole period; the line before the
                // rectangle stays outside it.
                const double back = std::fmod(travelled + enter * length, period);
                const double from = enter - back / length;
                visible.MoveTo({current.x + from * dx, current.y + from * dy});
            }
            visible.LineTo({current.x + leave * dx, current.y + leave * dy});
            drawing = leave >= 1;
        } else {
            drawing = false;
        }
        travelled += length;
        current = p;
    }
    return visible;
}

// A corner of a shaded polygon: its colour channels (0..1) change linearly
// across it.
struct ShadedCorner {
    double x, y;
    double color[3];
};

// The part of the convex polygon `shape` inside the rectangle, colours
// carried along its sides.
std::vector<ShadedCorner> CutToRectangle(std::vector<ShadedCorner> shape, double left, double top,
                                         double right, double bottom) {
    // Each side of the rectangle as "inside when a * x + b * y <= limit".
    const double sides[4][3] = {{-1, 0, -left}, {1, 0, right}, {0, -1, -top}, {0, 1, bottom}};
    for (const auto& side : sides) {
        auto outside = [&](const ShadedCorner& c) { return side[0] * c.x + side[1] * c.y - side[2]; };
        std::vector<ShadedCorner> kept;
        for (std::size_t i = 0; i < shape.size(); ++i) {
            const ShadedCorner& a = shape[i];
            const ShadedCorner& b = shape[(i + 1) % shape.size()];
            const double da = outside(a), db = outside(b);
            if (da <= 0) kept.push_back(a);
            if ((da < 0 && db > 0) || (da > 0 && db < 0)) {
                const double t = da / (da - db);
                ShadedCorner cut{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), {}};
                for (int k = 0; k < 3; ++k) cut.color[k] = a.color[k] + t * (b.color[k] - a.color[k]);
                kept.push_back(cut);
            }
        }
        shape.swap(kept);
    }
    return shape;
}

bool FitsSurface(const DibImage& image) {
    return image.width > 0 && image.height > 0 && image.width <= kMaxSurfaceSide &&
           image.height <= kMaxSurfaceSide;
}

// An image surface over the pixels of `image` (which outlives it).
SurfacePointer SurfaceFor(const DibImage& image) {
    auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(image.pixels.data()));
    return SurfacePointer(cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, image.width,
                                                              image.height, image.width * 4));
}

}  // namespace

// ---------------------------------------------------------------------------

CClipRegion::CClipRegion() : m_region(cairo_region_create()) {}

CClipRegion::CClipRegion(int left, int top, int right, int bottom) {
    cairo_rectangle_int_t rectangle{left, top, std::max(0, right - left), std::max(0, bottom - top)};
    m_region = cairo_region_create_rectangle(&rectangle);
}

CClipRegion::CClipRegion(const std::vector<int>& rectangles) {
    std::vector<cairo_rectangle_int_t> list;
    list.reserve(rectangles.size() / 4);
    for (std::size_t i = 0; i + 3 < rectangles.size(); i += 4) {
        const int width = rectangles[i + 2] - rectangles[i];
        const int height = rectangles[i + 3] - rectangles[i + 1];
        if (width > 0 && height > 0) list.push_back({rectangles[i], rectangles[i + 1], width, height});
    }
    // One call sorts and merges them all, instead of a union per rectangle.
    m_region = cairo_region_create_rectangles(list.data(), static_cast<int>(list.size()));
}

CClipRegion::~CClipRegion() {
    cairo_region_destroy(m_region);
}

CClipRegion::CClipRegion(const CClipRegion& other) : m_region(cairo_region_copy(other.m_region)) {}

CClipRegion& CClipRegion::operator=(const CClipRegion& other) {
    if (this != &other) {
        cairo_region_t* copy = cairo_region_copy(other.m_region);
        cairo_region_destroy(m_region);
        m_region = copy;
    }
    return *this;
}

void CClipRegion::Intersect(const CClipRegion& other) {
    cairo_region_intersect(m_region, other.m_region);
}
void CClipRegion::Subtract(const CClipRegion& other) {
    cairo_region_subtract(m_region, other.m_region);
}
void CClipRegion::Union(const CClipRegion& other) {
    cairo_region_union(m_region, other.m_region);
}
void CClipRegion::Xor(const CClipRegion& other) {
    cairo_region_xor(m_region, other.m_region);
}
void CClipRegion::Translate(int dx, int dy) {
    // Repeated offsets must not carry the region out of the integer range.
    cairo_rectangle_int_t extents;
    cairo_region_get_extents(m_region, &extents);
    const std::int64_t limit = std::int64_t{1} << 28;
    const std::int64_t left = std::int64_t{extents.x} + dx, top = std::int64_t{extents.y} + dy;
    const std::int64_t right = left + extents.width, bottom = top + extents.height;
    if (left < -limit || top < -limit || right > limit || bottom > limit) return;
    cairo_region_translate(m_region, dx, dy);
}

int CClipRegion::RectangleCount() const {
    return cairo_region_status(m_region) == CAIRO_STATUS_SUCCESS ? cairo_region_num_rectangles(m_region) : 0;
}

void CClipRegion::GetRectangle(int index, int& left, int& top, int& right, int& bottom) const {
    cairo_rectangle_int_t rectangle;
    cairo_region_get_rectangle(m_region, index, &rectangle);
    left = rectangle.x;
    top = rectangle.y;
    right = rectangle.x + rectangle.width;
    bottom = rectangle.y + rectangle.height;
}

CClipRegion CClipRegion::BoundingBox() const {
    cairo_rectangle_int_t extents;
    cairo_region_get_extents(m_region, &extents);
    return CClipRegion(extents.x, extents.y, extents.x + extents.width, extents.y + extents.height);
}

namespace {

// A run of rectangles sharing their top and bottom; a cairo region lists its
// rectangles band by band, top to bottom.
struct Band {
    int top, bottom;
    std::uint64_t count;
};

std::vector<Band> BandsOf(cairo_region_t* region) {
    std::vector<Band> bands;
    const int count =
        cairo_region_status(region) == CAIRO_STATUS_SUCCESS ? cairo_region_num_rectangles(region) : 0;
    for (int i = 0; i < count; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(region, i, &r);
        if (!bands.empty() && bands.back().top == r.y && bands.back().bottom == r.y + r.height)
            ++bands.back().count;
        else
            bands.push_back({r.y, r.y + r.height, 1});
    }
    return bands;
}

}  // namespace

std::uint64_t CClipRegion::CombinedRectangleBound(const CClipRegion& other) const {
    const std::vector<Band> a = BandsOf(m_region);
    const std::vector<Band> b = BandsOf(other.m_region);
    std::vector<int> edges;
    edges.reserve(2 * (a.size() + b.size()));
    for (const std::vector<Band>* bands : {&a, &b})
        for (const Band& band : *bands) {
            edges.push_back(band.top);
            edges.push_back(band.bottom);
        }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    // Between two successive edges the result is one band at most, whose
    // rectangles start or end where one of the two regions' rectangles do.
    std::uint64_t bound = 0;
    std::size_t inA = 0, inB = 0;
    for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
        const int top = edges[i];
        while (inA < a.size() && a[inA].bottom <= top) ++inA;
        while (inB < b.size() && b[inB].bottom <= top) ++inB;
        std::uint64_t here = 0;
        if (inA < a.size() && a[inA].top <= top) here += a[inA].count;
        if (inB < b.size() && b[inB].top <= top) here += b[inB].count;
        bound += here;
    }
    return bound;
}

// ---------------------------------------------------------------------------

CMetafileCanvas::CMetafileCanvas(cairo_surface_t* surface, WorkBudget budget)
    : m_surface(surface), m_budget(budget) {
    m_cairo = cairo_create(surface);
    m_width = cairo_image_surface_get_width(surface);
    m_height = cairo_image_surface_get_height(surface);
    m_broken = cairo_status(m_cairo) != CAIRO_STATUS_SUCCESS || m_width <= 0 || m_height <= 0;
}

CMetafileCanvas::~CMetafileCanvas() {
    cairo_destroy(m_cairo);
    cairo_surface_flush(m_surface);
}

bool CMetafileCanvas::CheckStatus() {
    if (cairo_status(m_cairo) != CAIRO_STATUS_SUCCESS) m_broken = true;
    return !m_broken;
}

bool CMetafileCanvas::Charge(double left, double top, double right, double bottom, std::size_t segments) {
    if (!ChargeArea(left, top, right, bottom, segments)) return false;
    const std::uint64_t units =
        CheckedMultiply(std::uint64_t{segments}, WorkUnits::kPathSegment).value_or(UINT64_MAX);
    return Spend(CheckedAdd(units, m_clipUnitsPerDraw).value_or(UINT64_MAX));
}

bool CMetafileCanvas::ChargeArea(double left, double top, double right, double bottom, std::size_t segments) {
    left = std::clamp(left, 0.0, static_cast<double>(m_width));
    right = std::clamp(right, 0.0, static_cast<double>(m_width));
    top = std::clamp(top, 0.0, static_cast<double>(m_height));
    bottom = std::clamp(bottom, 0.0, static_cast<double>(m_height));
    m_work += (right - left) * (bottom - top) + kWorkPerSegment * static_cast<double>(segments);
    if (m_work > kMaxDrawingWork) m_exhausted = true;
    return !m_exhausted;
}

bool CMetafileCanvas::ChargeWork(double pixels) {
    if (std::isfinite(pixels) && pixels > 0) m_work += pixels;
    if (!(m_work <= kMaxDrawingWork)) m_exhausted = true;
    return !m_exhausted;
}

std::uint64_t CMetafileCanvas::PixelsCovered(const CPath& path) const {
    double left = 0, top = 0, right = 0, bottom = 0;
    if (!path.Bounds(left, top, right, bottom)) return 0;
    const double width = std::clamp(right, 0.0, double(m_width)) - std::clamp(left, 0.0, double(m_width));
    const double height = std::clamp(bottom, 0.0, double(m_height)) - std::clamp(top, 0.0, double(m_height));
    return static_cast<std::uint64_t>(std::ceil(width) * std::ceil(height));
}

bool CMetafileCanvas::ChargePath(const CPath& path, double grow) {
    double left = 0, top = 0, right = 0, bottom = 0;
    if (!path.Bounds(left, top, right, bottom)) return false;
    return Charge(left - grow, top - grow, right + grow, bottom + grow, path.Segments().size());
}

bool CMetafileCanvas::ChargeCrossings(const CPath& path, bool closed, std::uint64_t unitsPerCrossing) {
    const std::uint64_t crossings = CrossingBound(path, 0, m_height, closed);
    return Spend(CheckedMultiply(crossings, unitsPerCrossing).value_or(UINT64_MAX));
}

void CMetafileCanvas::EmitPath(const CPath& path, double offset) {
    cairo_new_path(m_cairo);
    auto x = [offset](const Point& p) { return ClampCoordinate(p.x) + offset; };
    auto y = [offset](const Point& p) { return ClampCoordinate(p.y) + offset; };
    for (const CPath::Segment& segment : path.Segments()) {
        const Point* p = segment.points;
        switch (segment.kind) {
            case CPath::Kind::Move:
                cairo_move_to(m_cairo, x(p[0]), y(p[0]));
                break;
            case CPath::Kind::Line:
                cairo_line_to(m_cairo, x(p[0]), y(p[0]));
                break;
            case CPath::Kind::Curve:
                cairo_curve_to(m_cairo, x(p[0]), y(p[0]), x(p[1]), y(p[1]), x(p[2]), y(p[2]));
                break;
            case CPath::Kind::Close:
                cairo_close_path(m_cairo);
                break;
        }
    }
}

void CMetafileCanvas::SetOperator(RasterOp op) {
    switch (op) {
        case RasterOp::Invert:
        case RasterOp::Xor:
            cairo_set_operator(m_cairo, CAIRO_OPERATOR_DIFFERENCE);
            break;
        case RasterOp::And:
            cairo_set_operator(m_cairo, CAIRO_OPERATOR_MULTIPLY);
            break;
        case RasterOp::Or:
            cairo_set_operator(m_cairo, CAIRO_OPERATOR_LIGHTEN);
            break;
        default:
            cairo_set_operator(m_cairo, CAIRO_OPERATOR_OVER);
            break;
    }
}

void CMetafileCanvas::SetSource(Color color, RasterOp op) {
    switch (op) {
        case RasterOp::Black:
            color = 0;
            break;
        case RasterOp::White:
        case RasterOp::Invert:
            color = 0xFFFFFF;
            break;
        case RasterOp::NotCopy:
            color = ~color & 0xFFFFFF;
            break;
        default:
            break;
    }
    SetOperator(op);
    cairo_set_source_rgb(m_cairo, Red(color), Green(color), Blue(color));
}

void CMetafileCanvas::SetClip(const ClipState& clip) {
    if (!IsUsable() || clip.version == m_clipVersion) return;
    m_clipVersion = clip.version;
    const bool samePaths = std::equal(
        clip.paths.begin(), clip.paths.end(), m_clipPaths.begin(), m_clipPaths.end(),
        [](const ClipPath& a, const ClipPath& b) { return a.path == b.path && a.evenOdd == b.evenOdd; });
    if (clip.hasRegion == m_clipHasRegion && (!clip.hasRegion || clip.region == m_clipRegion) && samePaths)
        return;
    m_clipHasRegion = clip.hasRegion;
    m_clipRegion = clip.region;
    m_clipPaths = clip.paths;
    m_clipUnitsPerDraw = 0;
    cairo_reset_clip(m_cairo);
    if (clip.hasRegion) {
        cairo_new_path(m_cairo);
        const int count = clip.region ? clip.region->RectangleCount() : 0;
        const auto rectangles = static_cast<std::uint64_t>(count);
        ChargeArea(0, 0, 0, 0, static_cast<std::size_t>(count));
        if (!Spend(rectangles * WorkUnits::kPathSegment)) return;
        m_clipUnitsPerDraw = rectangles * WorkUnits::kClipRectanglePerDraw;
        if (count == 0) cairo_rectangle(m_cairo, 0, 0, 0, 0);
        for (int i = 0; i < count; ++i) {
            int left = 0, top = 0, right = 0, bottom = 0;
            clip.region->GetRectangle(i, left, top, right, bottom);
            cairo_rectangle(m_cairo, left, top, right - left, bottom - top);
        }
        cairo_set_fill_rule(m_cairo, CAIRO_FILL_RULE_WINDING);
        cairo_clip(m_cairo);
    }
    for (const ClipPath& clipPath : clip.paths) {
        if (!clipPath.path) continue;
        const std::uint64_t segments = clipPath.path->Segments().size();
        if (!Spend(segments * WorkUnits::kPathSegment)) return;
        if (!ChargeArea(0, 0, 0, 0, clipPath.path->Segments().size())) continue;
        m_clipUnitsPerDraw += segments * WorkUnits::kClipSegmentPerDraw;
        const std::uint64_t crossings = CrossingBound(*clipPath.path, 0, m_height);
        if (!Spend(CheckedMultiply(crossings, WorkUnits::kEdgeCrossing).value_or(UINT64_MAX))) return;
        m_clipUnitsPerDraw =
            CheckedAdd(m_clipUnitsPerDraw,
                       CheckedMultiply(crossings, WorkUnits::kClipCrossingPerDraw).value_or(UINT64_MAX))
                .value_or(UINT64_MAX);
        EmitPath(*clipPath.path, 0);
        cairo_set_fill_rule(m_cairo, clipPath.evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        cairo_clip(m_cairo);
    }
    CheckStatus();
}

void CMetafileCanvas::Fill(const CPath& path, const FillStyle& style, RasterOp op) {
    if (!IsUsable() || path.IsEmpty() || op == RasterOp::Nop) return;
    if (!ChargePath(path, 0)) return;
    if (!ChargeCrossings(path, true, WorkUnits::kEdgeCrossing)) return;
    EmitPath(path, 0);
    cairo_set_fill_rule(m_cairo, style.evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    SurfacePointer patternSurface;
    PatternPointer pattern;
    if (style.pattern && FitsSurface(*style.pattern) && op != RasterOp::Black && op != RasterOp::White &&
        op != RasterOp::Invert) {
        patternSurface = SurfaceFor(*style.pattern);
        pattern.reset(cairo_pattern_create_for_surface(patternSurface.get()));
        cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_REPEAT);
        cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_NEAREST);
        SetOperator(op);
        cairo_set_source(m_cairo, pattern.get());
    } else {
        SetSource(style.color, op);
    }
    cairo_fill(m_cairo);
    CheckStatus();
}

void CMetafileCanvas::FillRectangle(double left, double top, double right, double bottom, Color color) {
    CPath path;
    path.MoveTo({left, top});
    path.LineTo({right, top});
    path.LineTo({right, bottom});
    path.LineTo({left, bottom});
    path.Close();
    FillStyle style;
    style.color = color;
    Fill(path, style, RasterOp::Copy);
}

void CMetafileCanvas::Stroke(const CPath& path, const StrokeStyle& style, Color color, RasterOp op) {
    if (!IsUsable() || path.IsEmpty() || op == RasterOp::Nop) return;
    const double width = std::isfinite(style.width) ? std::clamp(style.width, 0.1, kMaxLineWidth) : 1.0;
    if (!ChargePath(path, width / 2 + 2)) return;

    std::vector<double> dashes;
    double period = 0;
    for (double dash : style.dashes) {
        if (!std::isfinite(dash) || dash < 0) {
            period = 0;
            break;
        }
        period += dash;
    }
    // A dash pattern of no length, or one that would cut the path into an
    // absurd number of pieces, is drawn solid.
    const CPath* drawn = &path;
    std::optional<CPath> visible;
    if (period >= 1) {
        double length = path.Length();
        if (length / period <= kMaxDashes) {
            dashes = style.dashes;
            auto units = [&] {
                return static_cast<std::uint64_t>(length / period * static_cast<double>(dashes.size())) *
                       WorkUnits::kDash;
            };
            // Where laying every dash would take a good part of what the
            // budget has left, those far off the canvas are not laid: a
            // stroke much longer than the canvas is cut to the part that can
            // show. (Cut parts start at points cairo rounds a little
            // differently, so other strokes are drawn whole.)
            const double margin = width * std::max(1.0, style.miterLimit) + period + 4;
            if (units() > m_budget.Remaining() / kCutStrokeShare &&
                length > 8 * (m_width + m_height + 4 * margin)) {
                visible =
                    DashedLinesWithin(path, period, -margin, -margin, m_width + margin, m_height + margin);
                if (visible) {
                    drawn = &*visible;
                    length = visible->Length();
                }
            }
            if (!Spend(units())) return;
        }
    }
    if (drawn->IsEmpty() || !ChargeCrossings(*drawn, false, WorkUnits::kStrokeCrossing)) return;

    // Odd widths are centred on pixel centres, so a one-pixel line covers one
    // row of pixels exactly as the platform draws it.
    const double offset = static_cast<long>(std::lround(width)) % 2 == 1 ? 0.5 : 0.0;
    EmitPath(*drawn, offset);
    cairo_set_line_width(m_cairo, width);
    switch (style.cap) {
        case LineCap::Round:
            cairo_set_line_cap(m_cairo, CAIRO_LINE_CAP_ROUND);
            break;
        case LineCap::Square:
            cairo_set_line_cap(m_cairo, CAIRO_LINE_CAP_SQUARE);
            break;
        case LineCap::Flat:
            cairo_set_line_cap(m_cairo, CAIRO_LINE_CAP_BUTT);
            break;
    }
    switch (style.join) {
        case LineJoin::Round:
            cairo_set_line_join(m_cairo, CAIRO_LINE_JOIN_ROUND);
            break;
        case LineJoin::Bevel:
            cairo_set_line_join(m_cairo, CAIRO_LINE_JOIN_BEVEL);
            break;
        case LineJoin::Miter:
            cairo_set_line_join(m_cairo, CAIRO_LINE_JOIN_MITER);
            break;
    }
    cairo_set_miter_limit(m_cairo,
                          std::isfinite(style.miterLimit) ? std::clamp(style.miterLimit, 1.0, 100.0) : 10.0);
    cairo_set_dash(m_cairo, dashes.empty() ? nullptr : dashes.data(), static_cast<int>(dashes.size()), 0);
    SetSource(color, op);
    cairo_stroke(m_cairo);
    cairo_set_dash(m_cairo, nullptr, 0, 0);
    CheckStatus();
}

void CMetafileCanvas::DrawImage(const DibImage& image, const Affine& imageToCanvas, RasterOp op, bool smooth,
                                double opacity) {
    if (!IsUsable() || !FitsSurface(image) || op == RasterOp::Nop) return;
    Affine canvasToImage;
    if (!imageToCanvas.Invert(canvasToImage)) return;
    const double scale = imageToCanvas.LinearScale();
    if (!(scale >= kMinImageScale && scale <= kMaxImageScale)) return;
    CPath outline;
    AddRectangle(outline, {0, 0, static_cast<double>(image.width), static_cast<double>(image.height)},
                 imageToCanvas);
    if (op == RasterOp::Black || op == RasterOp::White || op == RasterOp::Invert) {
        Fill(outline, FillStyle{true, 0, nullptr}, op);
        return;
    }
    if (!ChargePath(outline, 1)) return;

    DibImage inverted;
    const DibImage* source = &image;
    if (op == RasterOp::NotCopy) {
        inverted = image;
        for (std::uint32_t& pixel : inverted.pixels) {
            const std::uint32_t alpha = pixel >> 24;
            pixel = (alpha << 24) | ((alpha * 0x010101u - (pixel & 0xFFFFFF)) & 0xFFFFFF);
        }
        source = &inverted;
    }
    SurfacePointer surface = SurfaceFor(*source);
    PatternPointer pattern(cairo_pattern_create_for_surface(surface.get()));
    cairo_matrix_t matrix{canvasToImage.xx, canvasToImage.yx, canvasToImage.xy,
                          canvasToImage.yy, canvasToImage.dx, canvasToImage.dy};
    cairo_pattern_set_matrix(pattern.get(), &matrix);
    cairo_pattern_set_filter(pattern.get(), smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_PAD);

    cairo_save(m_cairo);
    EmitPath(outline, 0);
    cairo_clip(m_cairo);
    SetOperator(op);
    cairo_set_source(m_cairo, pattern.get());
    if (opacity < 1)
        cairo_paint_with_alpha(m_cairo, std::isfinite(opacity) ? std::max(opacity, 0.0) : 1.0);
    else
        cairo_paint(m_cairo);
    cairo_restore(m_cairo);
    CheckStatus();
}

void CMetafileCanvas::FillLinearGradient(const CPath& shape, Point from, Point to, const double fromColor[3],
                                         const double toColor[3]) {
    if (!IsUsable() || shape.IsEmpty() || !ChargePath(shape, 0)) return;
    if (!Spend(PixelsCovered(shape) * WorkUnits::kLinearGradientPixel)) return;
    const double x0 = ClampCoordinate(from.x), y0 = ClampCoordinate(from.y);
    const double x1 = ClampCoordinate(to.x), y1 = ClampCoordinate(to.y);
    PatternPointer pattern(x0 == x1 && y0 == y1
                               ? cairo_pattern_create_rgb(fromColor[0], fromColor[1], fromColor[2])
                               : cairo_pattern_create_linear(x0, y0, x1, y1));
    cairo_pattern_add_color_stop_rgb(pattern.get(), 0, fromColor[0], fromColor[1], fromColor[2]);
    cairo_pattern_add_color_stop_rgb(pattern.get(), 1, toColor[0], toColor[1], toColor[2]);
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_PAD);
    EmitPath(shape, 0);
    cairo_set_operator(m_cairo, CAIRO_OPERATOR_OVER);
    cairo_set_source(m_cairo, pattern.get());
    cairo_fill(m_cairo);
    CheckStatus();
}

void CMetafileCanvas::FillTriangleGradient(const Point corners[3], const double colors[3][3]) {
    CPath triangle;
    triangle.MoveTo(corners[0]);
    triangle.LineTo(corners[1]);
    triangle.LineTo(corners[2]);
    triangle.Close();
    if (!IsUsable() || !ChargePath(triangle, 0)) return;
    if (!Spend(PixelsCovered(triangle) * WorkUnits::kMeshGradientPixel)) return;
    std::vector<ShadedCorner> shape;
    for (unsigned i = 0; i < 3; ++i)
        shape.push_back({ClampCoordinate(corners[i].x),
                         ClampCoordinate(corners[i].y),
                         {colors[i][0], colors[i][1], colors[i][2]}});
    // cairo divides a mesh patch by its whole size, whatever part of it
    // shows: a triangle reaching far past the canvas is cut to it first.
    const double w = m_width, h = m_height;
    if (std::any_of(shape.begin(), shape.end(), [&](const ShadedCorner& c) {
            return c.x < -w || c.y < -h || c.x > 2 * w || c.y > 2 * h;
        }))
        shape = CutToRectangle(shape, -2, -2, w + 2, h + 2);
    if (shape.size() < 3) return;
    PatternPointer pattern(cairo_pattern_create_mesh());
    for (std::size_t i = 1; i + 1 < shape.size(); ++i) {
        const ShadedCorner* fan[3] = {&shape[0], &shape[i], &shape[i + 1]};
        cairo_mesh_pattern_begin_patch(pattern.get());
        cairo_mesh_pattern_move_to(pattern.get(), fan[0]->x, fan[0]->y);
        cairo_mesh_pattern_line_to(pattern.get(), fan[1]->x, fan[1]->y);
        cairo_mesh_pattern_line_to(pattern.get(), fan[2]->x, fan[2]->y);
        for (unsigned c = 0; c < 3; ++c)
            cairo_mesh_pattern_set_corner_color_rgb(pattern.get(), c, fan[c]->color[0], fan[c]->color[1],
                                                    fan[c]->color[2]);
        cairo_mesh_pattern_end_patch(pattern.get());
    }
    cairo_new_path(m_cairo);
    for (const ShadedCorner& c : shape) cairo_line_to(m_cairo, c.x, c.y);
    cairo_close_path(m_cairo);
    cairo_set_operator(m_cairo, CAIRO_OPERATOR_OVER);
    cairo_set_source(m_cairo, pattern.get());
    cairo_fill(m_cairo);
    CheckStatus();
}

bool CMetafileCanvas::SelectFont(const TextStyle& style, double& emSize, double& ascent, double& descent) {
    ReleaseFontCachesAtExit();
    cairo_select_font_face(m_cairo, style.family.empty() ? "sans-serif" : style.family.c_str(),
                           style.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(m_cairo, 1);
    cairo_font_extents_t extents;
    cairo_font_extents(m_cairo, &extents);
    if (!CheckStatus()) return false;
    const double cell = extents.ascent + extents.descent;
    if (!std::isfinite(style.height) || !(cell > 0)) return false;
    emSize = style.cellHeight ? style.height / cell : style.height;
    if (!(emSize >= kMinFontSize && emSize <= kMaxFontSize)) return false;
    ascent = extents.ascent * emSize;
    descent = extents.descent * emSize;
    const double bx = style.baseline.x;
    const double by = style.baseline.y;
    cairo_matrix_t matrix{bx * emSize, by * emSize, -by * emSize, bx * emSize, 0, 0};
    cairo_set_font_matrix(m_cairo, &matrix);
    return CheckStatus();
}

double CMetafileCanvas::MeasureText(const std::vector<std::string>& glyphs, const TextStyle& style) {
    double emSize = 0, ascent = 0, descent = 0;
    if (!IsUsable() || !SelectFont(style, emSize, ascent, descent)) return 0;
    if (!Spend(glyphs.size() * WorkUnits::kGlyphMeasured)) return 0;
    double total = 0;
    for (const std::string& glyph : glyphs) {
        cairo_text_extents_t extents;
        cairo_text_extents(m_cairo, glyph.c_str(), &extents);
        total += std::hypot(extents.x_advance, extents.y_advance);
    }
    return CheckStatus() && std::isfinite(total) ? total : 0;
}

bool CMetafileCanvas::MayReach(Point origin, double given, std::size_t unmeasured, const TextStyle& style,
                               double emSize, double ascent, double descent) {
    // No glyph advances further than the font's widest one; twice that
    // leaves room for fonts that understate it.
    cairo_font_extents_t extents;
    cairo_font_extents(m_cairo, &extents);
    const double widest = 2 * std::max({extents.max_x_advance, extents.max_y_advance, emSize});
    const double perGlyph = widest + std::fabs(style.extraAdvance) + std::fabs(style.breakAdvance);
    // Everything drawn lies within the whole advance, the text's height and
    // a glyph's reach on either side of the origin.
    const double reach =
        given + static_cast<double>(unmeasured) * perGlyph + 2 * (ascent + descent) + 4 * emSize + 2;
    if (!std::isfinite(reach) || !CheckStatus()) return true;
    const double x = ClampCoordinate(origin.x), y = ClampCoordinate(origin.y);
    return x > -reach && y > -reach && x < m_width + reach && y < m_height + reach;
}

double CMetafileCanvas::DrawText(const std::vector<std::string>& glyphs, const std::vector<double>& advances,
                                 Point origin, const TextStyle& style) {
    double emSize = 0, ascent = 0, descent = 0;
    if (!IsUsable() || glyphs.empty() || !SelectFont(style, emSize, ascent, descent)) return 0;
    const Point along = style.baseline;
    const Point up{along.y, -along.x};

    if (!Spend(glyphs.size() * WorkUnits::kGlyphPlaced)) return 0;
    std::size_t unmeasured = 0;
    double given = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        if (i < advances.size() && advances[i] >= 0 && std::isfinite(advances[i]))
            given += std::min(advances[i], kCoordinateLimit);
        else
            ++unmeasured;
    }
    if (!style.advanceNeeded && !MayReach(origin, given, unmeasured, style, emSize, ascent, descent))
        return 0;
    if (!Spend(unmeasured * WorkUnits::kGlyphMeasured)) return 0;

    std::vector<double> steps(glyphs.size());
    double total = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        if (i < advances.size() && advances[i] >= 0 && std::isfinite(advances[i])) {
            steps[i] = std::min(advances[i], kCoordinateLimit);
        } else {
            cairo_text_extents_t extents;
            cairo_text_extents(m_cairo, glyphs[i].c_str(), &extents);
            steps[i] = std::hypot(extents.x_advance, extents.y_advance) + style.extraAdvance +
                       (glyphs[i] == " " ? style.breakAdvance : 0);
            if (!(steps[i] >= 0)) steps[i] = 0;
        }
        total += steps[i];
    }
    if (!CheckStatus() || !std::isfinite(total)) return 0;

    Point start{ClampCoordinate(origin.x), ClampCoordinate(origin.y)};
    const double shift = style.horizontalAlign == 1 ? total : style.horizontalAlign == 2 ? total / 2 : 0;
    start = {start.x - along.x * shift, start.y - along.y * shift};
    const double lift = style.verticalAlign == 0 ? -ascent : style.verticalAlign == 1 ? descent : 0;
    start = {start.x + up.x * lift, start.y + up.y * lift};

    CPath box;
    const Point top{start.x + up.x * ascent, start.y + up.y * ascent};
    box.MoveTo(top);
    box.LineTo({top.x + along.x * total, top.y + along.y * total});
    box.LineTo({top.x + along.x * total - up.x * (ascent + descent),
                top.y + along.y * total - up.y * (ascent + descent)});
    box.LineTo({top.x - up.x * (ascent + descent), top.y - up.y * (ascent + descent)});
    box.Close();
    if (style.opaque) Fill(box, FillStyle{false, style.background, nullptr}, RasterOp::Copy);
    if (!ChargePath(box, emSize)) return total;

    SetSource(style.color, RasterOp::Copy);
    const bool outlines = emSize > kMaxCachedGlyphSize;
    double travelled = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        const Point at{start.x + along.x * travelled, start.y + along.y * travelled};
        travelled += steps[i];
        // Glyphs wholly off the canvas are not rasterized at all.
        if (at.x < -2 * emSize || at.y < -2 * emSize || at.x > m_width + 2 * emSize ||
            at.y > m_height + 2 * emSize)
            continue;
        // Outlines of huge glyphs are filled like any shape: their area counts.
        if (!Charge(at.x - emSize, at.y - emSize, at.x + emSize, at.y + emSize, 16)) break;
        cairo_new_path(m_cairo);
        cairo_move_to(m_cairo, at.x, at.y);
        if (outlines) {
            cairo_text_path(m_cairo, glyphs[i].c_str());
            cairo_fill(m_cairo);
        } else {
            cairo_show_text(m_cairo, glyphs[i].c_str());
        }
    }
    const double thickness = std::max(1.0, emSize / 14);
    auto rule = [&](double height) {
        CPath line;
        const Point from{start.x + up.x * height, start.y + up.y * height};
        line.MoveTo(from);
        line.LineTo({from.x + along.x * total, from.y + along.y * total});
        StrokeStyle stroke;
        stroke.width = thickness;
        stroke.cap = LineCap::Flat;
        Stroke(line, stroke, style.color, RasterOp::Copy);
    };
    if (style.underline) rule(-descent / 2);
    if (style.strikeOut) rule(ascent / 3);
    CheckStatus();
    return total;
}

}  // namespace metafile
