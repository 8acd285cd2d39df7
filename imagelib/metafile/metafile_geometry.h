#pragma once

#include <cstddef>
#include <vector>

// Geometry of the metafile player: points, affine transforms and paths in
// canvas pixels, with the ellipse and arc shapes of the Windows drawing
// calls built as Bézier curves.
namespace metafile {

struct Point {
    double x = 0;
    double y = 0;
};

// x' = xx * x + xy * y + dx;  y' = yx * x + yy * y + dy.
struct Affine {
    double xx = 1;
    double yx = 0;
    double xy = 0;
    double yy = 1;
    double dx = 0;
    double dy = 0;

    Point Apply(Point p) const { return {xx * p.x + xy * p.y + dx, yx * p.x + yy * p.y + dy}; }
    // Applies only the linear part, for vectors.
    Point ApplyVector(Point v) const { return {xx * v.x + xy * v.y, yx * v.x + yy * v.y}; }
    // This transform followed by `next`.
    Affine Then(const Affine& next) const;
    double Determinant() const { return xx * yy - xy * yx; }
    // Finite and not collapsing the plane onto a line or a point.
    bool IsUsable() const;
    // The factor by which the transform scales areas, as a length (sqrt |det|).
    double LinearScale() const;
    bool Invert(Affine& inverse) const;

    static Affine Translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static Affine Scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
};

// Coordinates handed to the rasterizer are kept within this many pixels of
// the canvas; beyond it its fixed-point arithmetic would overflow, and
// nothing there is visible anyway.
inline constexpr double kCoordinateLimit = 1 << 22;

double ClampCoordinate(double value);

// A path in canvas pixels.
class CPath {
public:
    enum class Kind : unsigned char { Move, Line, Curve, Close };
    struct Segment {
        Kind kind;
        Point points[3];
    };

    void MoveTo(Point p);
    void LineTo(Point p);
    void CurveTo(Point c1, Point c2, Point end);
    void Close();
    void Append(const CPath& other);
    void Clear();

    bool IsEmpty() const { return m_segments.empty(); }
    bool HasCurrentPoint() const { return m_hasCurrent; }
    Point CurrentPoint() const { return m_current; }
    const std::vector<Segment>& Segments() const { return m_segments; }
    // Bounding box of all points (control points included); false when empty.
    bool Bounds(double& left, double& top, double& right, double& bottom) const;
    // Approximate length, control polygons counted for curves.
    double Length() const;

private:
    std::vector<Segment> m_segments;
    Point m_current;
    Point m_start;
    bool m_hasCurrent = false;
};

// Ellipse and arc shapes in logical coordinates, added to a canvas path
// through a transform, as the Windows calls of the same names draw them.
struct EllipseBox {
    double left, top, right, bottom;
};

// Which way arcs turn on the screen.
enum class ArcDirection { CounterClockwise, ClockWise };

void AddEllipse(CPath& path, const EllipseBox& box, const Affine& transform);
void AddRoundRect(CPath& path, const EllipseBox& box, double cornerWidth, double cornerHeight,
                  const Affine& transform);
void AddRectangle(CPath& path, const EllipseBox& box, const Affine& transform);

// The arc of the ellipse in `box` from the radial through `start` to the
// radial through `end`. `connect` draws a line from the current point to the
// arc's start instead of starting a new figure. Returns the arc's end point
// (logical) through `arcEnd`.
enum class ArcShape { Open, Chord, Pie };
void AddArc(CPath& path, const EllipseBox& box, Point start, Point end, ArcDirection direction,
            ArcShape shape, bool connect, const Affine& transform, Point* arcStart = nullptr,
            Point* arcEnd = nullptr);

// An arc of a circle given by centre, radius, start and sweep angles in
// degrees (counter-clockwise on the screen for positive sweeps), joined by a
// line to the current point.
void AddAngleArc(CPath& path, Point centre, double radius, double startDegrees, double sweepDegrees,
                 const Affine& transform, Point* arcEnd);

}  // namespace metafile
