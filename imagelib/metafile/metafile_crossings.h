#pragma once

#include "imagelib/metafile/metafile_geometry.h"

#include <cstdint>

namespace metafile {

// At most how many times the edges of `path` (curves taken as their control
// polygons; each figure closed when `closeFigures`, as a fill closes them)
// cross one another between the rows `top` and `bottom`. A rasterizer re-sorts its edges at every crossing,
// so a fill of many crossing edges costs far more than its edge count suggests; this finds that cost
// beforehand, in time n log n in the edges.
//
// The rows are cut into a few bands; within each, every edge that reaches it
// is taken as its whole line across the band, and two such lines cross if
// and only if their order along the band's top differs from that along its
// bottom: the inversions between the two orders, counted by a merge sort.
// Lines meeting on a band's bottom count as crossing too. An edge that ends
// inside a band can only cross less than its line, so the count is an upper
// bound.
std::uint64_t CrossingBound(const CPath& path, double top, double bottom, bool closeFigures = true);

}  // namespace metafile
