#include "imagelib/metafile/metafile_dc.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// The device context's bitmap and area drawing: blits, regions and
// gradients.
namespace metafile {

namespace {

// A blit's source and destination rectangles, x, y, width and height.
struct BlitGeometry {
    double sx, sy, sw, sh;
    double dx, dy, dw, dh;
};

// The rectangles of a blit with an upright source: a negative source extent
// mirrors the picture, so the destination is mirrored instead. Nothing for
// empty or unusable rectangles.
std::optional<BlitGeometry> UprightBlit(const CDeviceContext::BlitSource& source,
                                        const LogicalRect& destination) {
    BlitGeometry g{source.x,
                   source.y,
                   source.width,
                   source.height,
                   destination.left,
                   destination.top,
                   destination.right - destination.left,
                   destination.bottom - destination.top};
    for (double v : {g.sx, g.sy, g.sw, g.sh, g.dx, g.dy, g.dw, g.dh})
        if (!std::isfinite(v)) return std::nullopt;
    if (g.sw == 0 || g.sh == 0 || g.dw == 0 || g.dh == 0) return std::nullopt;
    if (g.sw < 0) {
        g.sx += g.sw;
        g.sw = -g.sw;
        g.dx += g.dw;
        g.dw = -g.dw;
    }
    if (g.sh < 0) {
        g.sy += g.sh;
        g.sh = -g.sh;
        g.dy += g.dh;
        g.dh = -g.dh;
    }
    return g;
}

// A region edge moved by a frame's width; a file may put its edges at the
// ends of the 32-bit range, where the sum must saturate instead of wrapping.
std::int32_t Moved(std::int32_t edge, std::int32_t by) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{edge} + by, INT32_MIN, INT32_MAX));
}

CPath RegionShape(const std::vector<RegionRect>& rects, const Affine& transform) {
    CPath shape;
    for (const RegionRect& r : rects)
        AddRectangle(shape, {double(r.left), double(r.top), double(r.right), double(r.bottom)}, transform);
    return shape;
}

}  // namespace

void CDeviceContext::PatBlt(const LogicalRect& box, std::uint32_t rop) {
    if (m_pathOpen) return;
    CPath shape;
    AddRectangle(shape, {box.left, box.top, box.right, box.bottom}, LogicalToCanvas());
    ApplyClip();
    switch (TernaryCode(rop)) {
        case kRopBlackness:
            m_canvas.Fill(shape, FillStyle{}, RasterOp::Black);
            break;
        case kRopWhiteness:
            m_canvas.Fill(shape, FillStyle{}, RasterOp::White);
            break;
        case kRopDestinationInvert:
            m_canvas.Fill(shape, FillStyle{}, RasterOp::Invert);
            break;
        case kRopPatternInvert:
            FillShape(shape, m_state.selected.brush, RasterOp::Xor);
            break;
        case kRopDestination:
            break;
        default:
            FillShape(shape, m_state.selected.brush, RasterOp::Copy);
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
            const std::uint32_t background = source.backgroundCode == kRopBlackness   ? 0xFF000000u
                                             : source.backgroundCode == kRopWhiteness ? 0xFFFFFFFFu
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
    const std::uint8_t code = TernaryCode(rop);
    if (source.header == nullptr || !UsesSource(code)) {
        PatBlt(destination, rop);
        return;
    }
    if (m_pathOpen) return;
    const RasterOp op = SourceRasterOp(code);
    const auto g = UprightBlit(source, destination);
    if (!g) return;
    const double top = source.fromBottom ? source.header->height - g->sy - g->sh : g->sy;
    double left = 0, upper = 0;
    const auto image = DecodeSource(source, g->sx, top, g->sw, g->sh, left, upper);
    if (!image) return;
    Affine imageToCanvas;
    if (source.deviceSized) {
        // One source pixel per device pixel; only the corner is mapped.
        const Point corner = m_state.page.LogicalToDevice(m_device).Apply({g->dx, g->dy});
        imageToCanvas = Affine::Translation(corner.x + left - g->sx, corner.y + upper - top).Then(m_base);
    } else {
        // Image pixel (0, 0) is source pixel (left, upper); the source
        // rectangle maps onto the destination.
        const double scaleX = g->dw / g->sw;
        const double scaleY = g->dh / g->sh;
        const Affine imageToLogical{
            scaleX, 0, 0, scaleY, g->dx + (left - g->sx) * scaleX, g->dy + (upper - top) * scaleY};
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
    const CPath shape = RegionShape(rects, RegionTransform(deviceUnits));
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
        strips.push_back({r.left, r.top, r.right, Moved(r.top, h)});
        strips.push_back({r.left, Moved(r.bottom, -h), r.right, r.bottom});
        strips.push_back({r.left, r.top, Moved(r.left, w), r.bottom});
        strips.push_back({Moved(r.right, -w), r.top, r.right, r.bottom});
    }
    FillRegion(strips, brush, deviceUnits);
}

void CDeviceContext::InvertRegion(const std::vector<RegionRect>& rects, bool deviceUnits) {
    if (m_pathOpen || rects.empty()) return;
    const CPath shape = RegionShape(rects, RegionTransform(deviceUnits));
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
    const double fromColor[3] = {a.red, a.green, a.blue};
    const double toColor[3] = {b.red, b.green, b.blue};
    ApplyClip();
    m_canvas.FillLinearGradient(shape, from, to, fromColor, toColor);
}

void CDeviceContext::GradientTriangle(const GradientVertex& a, const GradientVertex& b,
                                      const GradientVertex& c) {
    if (m_pathOpen) return;
    const Affine t = LogicalToCanvas();
    const Point corners[3] = {t.Apply(a.point), t.Apply(b.point), t.Apply(c.point)};
    const double colors[3][3] = {
        {a.red, a.green, a.blue}, {b.red, b.green, b.blue}, {c.red, c.green, c.blue}};
    ApplyClip();
    m_canvas.FillTriangleGradient(corners, colors);
}

}  // namespace metafile
