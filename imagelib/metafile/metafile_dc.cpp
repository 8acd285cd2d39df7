#include "imagelib/metafile/metafile_dc.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace metafile {

namespace {

// Default font height in canvas pixels when a font asks for height 0.
constexpr double kDefaultFontPixels = 16;

double Length(Point v) {
    return std::hypot(v.x, v.y);
}

}  // namespace

CDeviceContext::CDeviceContext(CMetafileCanvas& canvas, const DecodeLimits& limits)
    : m_canvas(canvas), m_limits(limits), m_objects(limits.maxMetafileObjects), m_clips(canvas) {
    m_clips.Touch(m_state.clip);
}

void CDeviceContext::SetReferenceResolution(double pixelsPerMmX, double pixelsPerMmY) {
    if (std::isfinite(pixelsPerMmX) && pixelsPerMmX > 0) m_device.pixelsPerMmX = pixelsPerMmX;
    if (std::isfinite(pixelsPerMmY) && pixelsPerMmY > 0) m_device.pixelsPerMmY = pixelsPerMmY;
}

void CDeviceContext::UseWindowsMapping() {
    m_device.windowsMapping = true;
    m_state.page.SetMapMode(kMapAnisotropic);
}

Affine CDeviceContext::LogicalToCanvas() const {
    return m_state.page.LogicalToDevice(m_device).Then(m_base);
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

std::optional<BrushSpec> CDeviceContext::BrushOf(std::uint32_t index) const {
    if (index & kStockObjectFlag) return StockBrush(index);
    const GdiObject* object = FindObject(index);
    if (object == nullptr || object->kind != GdiObject::Kind::Brush) return std::nullopt;
    return object->brush;
}

void CDeviceContext::SelectObject(std::uint32_t index) {
    if (index & kStockObjectFlag) {
        SelectStockObject(index, m_state.selected);
        return;
    }
    const GdiObject* object = FindObject(index);
    if (object == nullptr) return;
    if (object->kind == GdiObject::Kind::Region)
        SelectClipObject(index);
    else
        SelectTableObject(*object, m_state.selected);
}

void CDeviceContext::SelectPalette(std::uint32_t index) {
    if (index == (kStockObjectFlag | kStockDefaultPalette)) {
        m_state.selected.palette.reset();
        return;
    }
    const GdiObject* object = FindObject(index);
    if (object != nullptr && object->kind == GdiObject::Kind::Palette)
        m_state.selected.palette = object->palette;
}

std::shared_ptr<PaletteData> CDeviceContext::PaletteOf(std::optional<std::uint32_t> index) const {
    if (!index) return m_state.selected.palette;
    const GdiObject* object = FindObject(*index);
    return object != nullptr ? object->palette : nullptr;
}

void CDeviceContext::SetPaletteEntries(std::optional<std::uint32_t> index, std::uint32_t start,
                                       const std::vector<MetafilePaletteEntry>& entries) {
    if (const auto target = PaletteOf(index)) metafile::SetPaletteEntries(*target, start, entries);
}

void CDeviceContext::ResizePalette(std::optional<std::uint32_t> index, std::uint32_t count) {
    if (const auto target = PaletteOf(index))
        metafile::ResizePalette(*target, count, m_limits.maxMetafilePaletteEntries);
}

// ---------------------------------------------------------------------------
// Shapes

std::optional<FillStyle> CDeviceContext::BrushFill(const BrushSpec& brush) const {
    const FillContext context{m_state.polyFillMode, m_state.bkMode, m_state.bkColor, m_state.textColor,
                              m_state.selected.palette.get()};
    return metafile::BrushFill(brush, context, m_canvas);
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
    const RasterOp op = PenRasterOp(m_state.rop2);
    if (fill) FillShape(shape, m_state.selected.brush, op);
    if (stroke) {
        const PenSpec& pen = m_state.selected.pen;
        if (auto style = PenStroke(pen, LogicalToCanvas(), m_state.miterLimit))
            m_canvas.Stroke(shape, *style, Resolve(pen.color), op);
    }
}

void CDeviceContext::StartAtPosition(CPath& figure, const Affine& transform) const {
    const Point from = transform.Apply(m_state.position);
    if (!figure.HasCurrentPoint() || figure.CurrentPoint().x != from.x || figure.CurrentPoint().y != from.y)
        figure.MoveTo(from);
}

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
    StartAtPosition(figure, t);
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
    StartAtPosition(figure, t);
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
    const LogicalRect frame = InsideFrame(m_state.selected.pen, box);
    CPath shape;
    AddRectangle(shape, {frame.left, frame.top, frame.right, frame.bottom}, LogicalToCanvas());
    DrawShape(shape, true, true);
}

void CDeviceContext::RoundRect(const LogicalRect& box, double cornerWidth, double cornerHeight) {
    const LogicalRect frame = InsideFrame(m_state.selected.pen, box);
    CPath shape;
    AddRoundRect(shape, {frame.left, frame.top, frame.right, frame.bottom}, cornerWidth, cornerHeight,
                 LogicalToCanvas());
    DrawShape(shape, true, true);
}

void CDeviceContext::Ellipse(const LogicalRect& box) {
    const LogicalRect frame = InsideFrame(m_state.selected.pen, box);
    CPath shape;
    AddEllipse(shape, {frame.left, frame.top, frame.right, frame.bottom}, LogicalToCanvas());
    DrawShape(shape, true, true);
}

void CDeviceContext::DrawArc(const LogicalRect& box, Point start, Point end, metafile::ArcShape shape,
                             bool connect, bool updatePosition) {
    const Affine t = LogicalToCanvas();
    if (!t.IsUsable()) return;
    const LogicalRect frame = shape == ArcShape::Open ? box : InsideFrame(m_state.selected.pen, box);
    CPath local;
    CPath& figure = m_pathOpen && shape == ArcShape::Open ? m_path : local;
    if (connect) StartAtPosition(figure, t);
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
    StartAtPosition(figure, t);
    Point arcEnd = m_state.position;
    AddAngleArc(figure, centre, radius, startDegrees, sweepDegrees, t, &arcEnd);
    m_state.position = arcEnd;
    if (!m_pathOpen) DrawShape(shape, false, true);
}

void CDeviceContext::SetPixel(Point p, Colorref color) {
    if (m_pathOpen) return;
    const Point at = LogicalToCanvas().Apply(p);
    if (!std::isfinite(at.x) || !std::isfinite(at.y)) return;
    ApplyClip();
    const double x = std::floor(ClampCoordinate(at.x));
    const double y = std::floor(ClampCoordinate(at.y));
    m_canvas.FillRectangle(x, y, x + 1, y + 1, Resolve(color));
}

TextStyle CDeviceContext::TextStyleFor(Point alongCanvas, double alongScale, double acrossScale) const {
    const FontSpec& font = m_state.selected.font;
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
    style.color = Resolve(m_state.textColor);
    style.opaque = m_state.bkMode == kBkOpaque;
    style.background = Resolve(m_state.bkColor);
    const std::uint32_t align = m_state.textAlign;
    style.horizontalAlign = (align & kAlignCentre) == kAlignCentre ? 2 : (align & kAlignRight) ? 1 : 0;
    style.verticalAlign = (align & kAlignBaseline) == kAlignBaseline ? 2 : (align & kAlignBottom) ? 1 : 0;
    style.extraAdvance = m_state.charExtra * alongScale;
    style.breakAdvance = m_state.breakExtra * alongScale;
    return style;
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
        m_canvas.Fill(box, FillStyle{false, Resolve(m_state.bkColor), nullptr}, RasterOp::Copy);
    }
    if (glyphs.empty()) return;

    const bool clipped = rectangle && (options & kTextClipped);
    if (clipped) {
        const auto narrowed = m_clips.Narrowed(m_state.clip, CanvasRegion(*rectangle, t));
        if (!narrowed) return;
        m_canvas.SetClip(*narrowed);
    }

    const double angle = m_state.selected.font.escapement / 10.0 * std::numbers::pi / 180;
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

    TextStyle style = TextStyleFor(alongCanvas, alongScale, acrossScale);
    std::vector<double> advances;
    advances.reserve(dx.size());
    for (double step : dx) advances.push_back((step + m_state.charExtra) * alongScale);
    const bool updatePosition = (m_state.textAlign & kAlignUpdateCurrentPosition) != 0;
    style.advanceNeeded = updatePosition && style.horizontalAlign == 0;
    const Point origin = t.Apply(updatePosition ? m_state.position : reference);
    const double total = m_canvas.DrawText(glyphs, advances, origin, style);
    if (updatePosition && style.horizontalAlign == 0) {
        const double logical = total / alongScale;
        m_state.position = {m_state.position.x + along.x * logical, m_state.position.y + along.y * logical};
    }
    if (clipped) ApplyClip();
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
    m_clips.CombinePath(m_state.clip, std::move(path), m_state.polyFillMode == kFillAlternate, mode);
}

// ---------------------------------------------------------------------------
// Clipping

void CDeviceContext::IntersectClipRect(const LogicalRect& box) {
    m_clips.Combine(m_state.clip, std::make_shared<CClipRegion>(CanvasRegion(box, LogicalToCanvas())),
                    kRegionAnd);
}

void CDeviceContext::ExcludeClipRect(const LogicalRect& box) {
    m_clips.Combine(m_state.clip, std::make_shared<CClipRegion>(CanvasRegion(box, LogicalToCanvas())),
                    kRegionDiff);
}

void CDeviceContext::OffsetClipRegion(double dx, double dy) {
    m_clips.Offset(m_state.clip, LogicalToCanvas().ApplyVector({dx, dy}));
}

void CDeviceContext::SelectClipRegion(const std::vector<RegionRect>& rects, int mode, bool deviceUnits) {
    if (mode == kRegionCopy && rects.empty()) {
        m_clips.Reset(m_state.clip);
        return;
    }
    m_clips.Combine(
        m_state.clip,
        std::make_shared<CClipRegion>(m_clips.RegionFromRects(rects, RegionTransform(deviceUnits))), mode);
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
        cache.region = std::make_shared<CClipRegion>(m_clips.RegionFromRects(object->region, transform));
        cache.transform = transform;
    }
    m_clips.Combine(m_state.clip, cache.region, kRegionCopy);
}

}  // namespace metafile