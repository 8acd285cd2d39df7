#include "imagelib/metafile/metafile_crossings.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace metafile {

namespace {

// Bands the rows are cut into: more find the crossings more closely (an edge
// ending inside a band is taken as its whole line there), each costs a pass
// over the edges.
constexpr int kBands = 32;

// Edges shorter than this from top to bottom are level for the rasterizer,
// which keeps coordinates to 1/256 of a pixel: it drops them.
constexpr double kMinEdgeHeight = 1.0 / 256;

struct Edge {
    Point from, to;  // from.y < to.y
};

// A line across one band: where it is at the band's top and bottom.
struct Crossing {
    double top, bottom;
};

std::vector<Edge> EdgesOf(const CPath& path, double top, double bottom, bool closeFigures) {
    std::vector<Edge> edges;
    auto add = [&](Point a, Point b) {
        if (a.y > b.y) std::swap(a, b);
        if (b.y - a.y < kMinEdgeHeight) return;
        if (b.y <= top || a.y >= bottom) return;
        edges.push_back({a, b});
    };
    auto clamp = [](Point p) { return Point{ClampCoordinate(p.x), ClampCoordinate(p.y)}; };
    Point current{0, 0}, start{0, 0};
    bool open = false;
    for (const CPath::Segment& segment : path.Segments()) {
        switch (segment.kind) {
            case CPath::Kind::Move:
                if (open && closeFigures) add(current, start);
                current = start = clamp(segment.points[0]);
                open = true;
                break;
            case CPath::Kind::Line:
                add(current, clamp(segment.points[0]));
                current = clamp(segment.points[0]);
                break;
            case CPath::Kind::Curve:
                for (const Point& p : segment.points) {
                    add(current, clamp(p));
                    current = clamp(p);
                }
                break;
            case CPath::Kind::Close:
                add(current, start);
                current = start;
                break;
        }
    }
    if (open && closeFigures) add(current, start);
    return edges;
}

// Pairs not in rising order in `values` (i < j, values[i] >= values[j]);
// sorts them.
std::uint64_t CountInversions(std::vector<double>& values, std::vector<double>& scratch) {
    std::uint64_t inversions = 0;
    const std::size_t n = values.size();
    scratch.resize(n);
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t left = 0; left < n; left += 2 * width) {
            const std::size_t middle = std::min(left + width, n), right = std::min(left + 2 * width, n);
            std::size_t i = left, j = middle, out = left;
            while (i < middle && j < right) {
                if (values[j] <= values[i]) {
                    inversions += middle - i;
                    scratch[out++] = values[j++];
                } else {
                    scratch[out++] = values[i++];
                }
            }
            while (i < middle) scratch[out++] = values[i++];
            while (j < right) scratch[out++] = values[j++];
        }
        values.swap(scratch);
    }
    return inversions;
}

}  // namespace

std::uint64_t CrossingBound(const CPath& path, double top, double bottom, bool closeFigures) {
    if (!(top < bottom)) return 0;
    const std::vector<Edge> edges = EdgesOf(path, top, bottom, closeFigures);
    if (edges.size() < 2) return 0;
    const double height = (bottom - top) / kBands;
    std::vector<Crossing> lines;
    std::vector<double> order, scratch;
    std::uint64_t total = 0;
    for (int band = 0; band < kBands; ++band) {
        const double bandTop = top + band * height;
        const double bandBottom = band + 1 == kBands ? bottom : bandTop + height;
        lines.clear();
        for (const Edge& e : edges) {
            if (e.to.y <= bandTop || e.from.y >= bandBottom) continue;
            const double slope = (e.to.x - e.from.x) / (e.to.y - e.from.y);
            lines.push_back(
                {e.from.x + (bandTop - e.from.y) * slope, e.from.x + (bandBottom - e.from.y) * slope});
        }
        if (lines.size() < 2) continue;
        // Lines meeting on a band's bottom count as crossing (one meeting
        // exactly on the edge between two bands would count in neither
        // otherwise); lines meeting on its top, or lying on one another,
        // do not.
        std::sort(lines.begin(), lines.end(), [](const Crossing& a, const Crossing& b) {
            return a.top < b.top || (a.top == b.top && a.bottom < b.bottom);
        });
        std::uint64_t same = 0, run = 0;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            run = lines[i].top == lines[i - 1].top && lines[i].bottom == lines[i - 1].bottom ? run + 1 : 0;
            same += run;
        }
        order.resize(lines.size());
        std::transform(lines.begin(), lines.end(), order.begin(), [](const Crossing& c) { return c.bottom; });
        total += CountInversions(order, scratch) - same;
    }
    return total;
}

}  // namespace metafile
