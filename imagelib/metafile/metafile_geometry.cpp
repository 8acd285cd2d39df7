#include "imagelib/metafile/metafile_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace metafile {

Affine Affine::Then(const Affine& next) const {
    Affine r;
    r.xx = next.xx * xx + next.xy * yx;
    r.yx = next.yx * xx + next.yy * yx;
    r.xy = next.xx * xy + next.xy * yy;
    r.yy = next.yx * xy + next.yy * yy;
    r.dx = next.xx * dx + next.xy * dy + next.dx;
    r.dy = next.yx * dx + next.yy * dy + next.dy;
    return r;
}

bool Affine::IsUsable() const {
    for (double v : {xx, yx, xy, yy, dx, dy})
        if (!std::isfinite(v)) return false;
    const double det = Determinant();
    return std::isfinite(det) && std::fabs(det) > 1e-12;
}

double Affine::LinearScale() const {
    return std::sqrt(std::fabs(Determinant()));
}

bool Affine::Invert(Affine& inverse) const {
    if (!IsUsable()) return false;
    const double det = Determinant();
    inverse.xx = yy / det;
    inverse.yx = -yx / det;
    inverse.xy = -xy / det;
    inverse.yy = xx / det;
    inverse.dx = -(inverse.xx * dx + inverse.xy * dy);
    inverse.dy = -(inverse.yx * dx + inverse.yy * dy);
    return inverse.IsUsable();
}

double ClampCoordinate(double value) {
    if (!std::isfinite(value)) return 0;
    return std::clamp(value, -kCoordinateLimit, kCoordinateLimit);
}

// ---------------------------------------------------------------------------

void CPath::MoveTo(Point p) {
    m_segments.push_back({Kind::Move, {p, {}, {}}});
    m_current = m_start = p;
    m_hasCurrent = true;
}

void CPath::LineTo(Point p) {
    if (!m_hasCurrent) {
        MoveTo(p);
        return;
    }
    m_segments.push_back({Kind::Line, {p, {}, {}}});
    m_current = p;
}

void CPath::CurveTo(Point c1, Point c2, Point end) {
    if (!m_hasCurrent) MoveTo(c1);
    m_segments.push_back({Kind::Curve, {c1, c2, end}});
    m_current = end;
}

void CPath::Close() {
    if (!m_hasCurrent || m_segments.empty() || m_segments.back().kind == Kind::Close) return;
    m_segments.push_back({Kind::Close, {}});
    m_current = m_start;
}

void CPath::Append(const CPath& other) {
    m_segments.insert(m_segments.end(), other.m_segments.begin(), other.m_segments.end());
    if (other.m_hasCurrent) {
        m_current = other.m_current;
        m_start = other.m_start;
        m_hasCurrent = true;
    }
}

void CPath::Clear() {
    m_segments.clear();
    m_hasCurrent = false;
}

bool CPath::Bounds(double& left, double& top, double& right, double& bottom) const {
    bool any = false;
    for (const Segment& segment : m_segments) {
        const int count = segment.kind == Kind::Curve ? 3 : segment.kind == Kind::Close ? 0 : 1;
        for (int i = 0; i < count; ++i) {
            const double x = ClampCoordinate(segment.points[i].x);
            const double y = ClampCoordinate(segment.points[i].y);
            if (!any) {
                left = right = x;
                top = bottom = y;
                any = true;
            } else {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return any;
}

double CPath::Length() const {
    double length = 0;
    Point last;
    Point start;
    auto step = [&](Point p) {
        length += std::hypot(ClampCoordinate(p.x) - ClampCoordinate(last.x),
                             ClampCoordinate(p.y) - ClampCoordinate(last.y));
        last = p;
    };
    for (const Segment& segment : m_segments) {
        switch (segment.kind) {
            case Kind::Move:
                last = start = segment.points[0];
                break;
            case Kind::Line:
                step(segment.points[0]);
                break;
            case Kind::Curve:
                for (const Point& p : segment.points) step(p);
                break;
            case Kind::Close:
                step(start);
                break;
        }
    }
    return length;
}

// ---------------------------------------------------------------------------

namespace {

constexpr double kPi = std::numbers::pi;

struct Ellipse {
    Point centre;
    double rx;
    double ry;

    Point At(double angle) const {
        return {centre.x + rx * std::cos(angle), centre.y + ry * std::sin(angle)};
    }
    Point Tangent(double angle) const { return {-rx * std::sin(angle), ry * std::cos(angle)}; }
};

Ellipse EllipseOf(const EllipseBox& box) {
    return {{(box.left + box.right) / 2, (box.top + box.bottom) / 2},
            std::fabs(box.right - box.left) / 2,
            std::fabs(box.bottom - box.top) / 2};
}

// Adds the elliptic arc from angle `from` over `sweep` radians as cubic
// Béziers of at most a quarter turn each; the path must have a current point
// at the arc's start.
void AddEllipticArc(CPath& path, const Ellipse& ellipse, double from, double sweep, const Affine& transform) {
    const int pieces = std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / (kPi / 2) - 1e-9)), 1, 4);
    const double step = sweep / pieces;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    double angle = from;
    for (int i = 0; i < pieces; ++i) {
        const double next = angle + step;
        const Point p0 = ellipse.At(angle);
        const Point p3 = ellipse.At(next);
        const Point t0 = ellipse.Tangent(angle);
        const Point t3 = ellipse.Tangent(next);
        path.CurveTo(transform.Apply({p0.x + k * t0.x, p0.y + k * t0.y}),
                     transform.Apply({p3.x - k * t3.x, p3.y - k * t3.y}), transform.Apply(p3));
        angle = next;
    }
}

// The angle on the ellipse's parameter circle of the radial through `p`.
double RadialAngle(const Ellipse& ellipse, Point p) {
    const double dx = (p.x - ellipse.centre.x) / ellipse.rx;
    const double dy = (p.y - ellipse.centre.y) / ellipse.ry;
    if (dx == 0 && dy == 0) return 0;
    return std::atan2(dy, dx);
}

bool IsFinite(const EllipseBox& box) {
    return std::isfinite(box.left) && std::isfinite(box.top) && std::isfinite(box.right) &&
           std::isfinite(box.bottom);
}

}  // namespace

void AddRectangle(CPath& path, const EllipseBox& box, const Affine& transform) {
    path.MoveTo(transform.Apply({box.left, box.top}));
    path.LineTo(transform.Apply({box.right, box.top}));
    path.LineTo(transform.Apply({box.right, box.bottom}));
    path.LineTo(transform.Apply({box.left, box.bottom}));
    path.Close();
}

void AddEllipse(CPath& path, const EllipseBox& box, const Affine& transform) {
    const Ellipse ellipse = EllipseOf(box);
    if (!IsFinite(box) || ellipse.rx <= 0 || ellipse.ry <= 0) return;
    path.MoveTo(transform.Apply(ellipse.At(0)));
    AddEllipticArc(path, ellipse, 0, 2 * kPi, transform);
    path.Close();
}

void AddRoundRect(CPath& path, const EllipseBox& box, double cornerWidth, double cornerHeight,
                  const Affine& transform) {
    const double left = std::min(box.left, box.right);
    const double right = std::max(box.left, box.right);
    const double top = std::min(box.top, box.bottom);
    const double bottom = std::max(box.top, box.bottom);
    const double rx = std::min(std::fabs(cornerWidth) / 2, (right - left) / 2);
    const double ry = std::min(std::fabs(cornerHeight) / 2, (bottom - top) / 2);
    if (!IsFinite(box) || rx <= 0 || ry <= 0) {
        AddRectangle(path, {left, top, right, bottom}, transform);
        return;
    }
    path.MoveTo(transform.Apply({left + rx, top}));
    path.LineTo(transform.Apply({right - rx, top}));
    AddEllipticArc(path, {{right - rx, top + ry}, rx, ry}, -kPi / 2, kPi / 2, transform);
    path.LineTo(transform.Apply({right, bottom - ry}));
    AddEllipticArc(path, {{right - rx, bottom - ry}, rx, ry}, 0, kPi / 2, transform);
    path.LineTo(transform.Apply({left + rx, bottom}));
    AddEllipticArc(path, {{left + rx, bottom - ry}, rx, ry}, kPi / 2, kPi / 2, transform);
    path.LineTo(transform.Apply({left, top + ry}));
    AddEllipticArc(path, {{left + rx, top + ry}, rx, ry}, kPi, kPi / 2, transform);
    path.Close();
}

void AddArc(CPath& path, const EllipseBox& box, Point start, Point end, ArcDirection direction,
            ArcShape shape, bool connect, const Affine& transform, Point* arcStart, Point* arcEnd) {
    const Ellipse ellipse = EllipseOf(box);
    if (!IsFinite(box) || ellipse.rx <= 0 || ellipse.ry <= 0) return;
    const double from = RadialAngle(ellipse, start);
    const double to = RadialAngle(ellipse, end);
    // With the transform keeping the orientation, growing angles turn
    // clockwise on the (y-down) screen; a mirroring transform reverses that.
    const bool preservesOrientation = transform.Determinant() > 0;
    const bool growing = (direction == ArcDirection::ClockWise) == preservesOrientation;
    double sweep = growing ? to - from : from - to;
    while (sweep <= 1e-12) sweep += 2 * kPi;
    while (sweep > 2 * kPi) sweep -= 2 * kPi;
    if (!growing) sweep = -sweep;

    const Point first = ellipse.At(from);
    const Point last = ellipse.At(from + sweep);
    if (arcStart != nullptr) *arcStart = first;
    if (arcEnd != nullptr) *arcEnd = last;
    if (shape == ArcShape::Pie) {
        path.MoveTo(transform.Apply(ellipse.centre));
        path.LineTo(transform.Apply(first));
    } else if (connect && path.HasCurrentPoint()) {
        path.LineTo(transform.Apply(first));
    } else {
        path.MoveTo(transform.Apply(first));
    }
    AddEllipticArc(path, ellipse, from, sweep, transform);
    if (shape != ArcShape::Open) path.Close();
}

void AddAngleArc(CPath& path, Point centre, double radius, double startDegrees, double sweepDegrees,
                 const Affine& transform, Point* arcEnd) {
    if (!std::isfinite(radius) || !std::isfinite(startDegrees) || !std::isfinite(sweepDegrees)) return;
    // Angles count counter-clockwise with y growing downwards, hence the
    // negative vertical radius.
    const Ellipse circle{centre, radius, -radius};
    const double from = std::fmod(startDegrees, 360.0) * kPi / 180;
    const double sweep = std::clamp(sweepDegrees, -360.0, 360.0) * kPi / 180;
    const Point first = circle.At(from);
    if (path.HasCurrentPoint())
        path.LineTo(transform.Apply(first));
    else
        path.MoveTo(transform.Apply(first));
    if (sweep != 0) AddEllipticArc(path, circle, from, sweep, transform);
    if (arcEnd != nullptr) *arcEnd = circle.At(from + sweep);
}

}  // namespace metafile
