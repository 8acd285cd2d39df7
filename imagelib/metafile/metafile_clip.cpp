#include "imagelib/metafile/metafile_clip.h"

#include <algorithm>
#include <cmath>

namespace metafile {

namespace {

// Clip paths kept at most; further ones are ignored.
constexpr std::size_t kMaxClipPaths = 64;
// Region coordinates are kept inside this range of canvas pixels.
constexpr double kRegionLimit = kCoordinateLimit;
// Rectangles a clip region may consist of.
constexpr std::size_t kMaxClipRectangles = 4096;
// Rectangles a combination of clip regions may give. Two regions of
// kMaxClipRectangles stripes each can cross into their product; a
// combination that might give more is made with the bounding box of the
// region instead.
constexpr std::uint64_t kMaxCombinedRectangles = 65536;

std::array<int, 4> RegionRectBox(const RegionRect& r, const Affine& transform) {
    return CanvasBox({double(r.left), double(r.top), double(r.right), double(r.bottom)}, transform);
}

// The bounding box of all the rectangles, as the single piece of a region.
std::vector<int> BoundingCorners(const std::vector<RegionRect>& rects, const Affine& transform, double left,
                                 double top, double right, double bottom) {
    std::vector<int> corners{int(left), int(top), int(right), int(bottom)};
    for (const RegionRect& rest : rects) {
        const auto more = RegionRectBox(rest, transform);
        corners[0] = std::min(corners[0], more[0]);
        corners[1] = std::min(corners[1], more[1]);
        corners[2] = std::max(corners[2], more[2]);
        corners[3] = std::max(corners[3], more[3]);
    }
    return corners;
}

}  // namespace

std::array<int, 4> CanvasBox(const LogicalRect& box, const Affine& transform) {
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

CClipRegion CanvasRegion(const LogicalRect& box, const Affine& transform) {
    const auto corners = CanvasBox(box, transform);
    return CClipRegion(corners[0], corners[1], corners[2], corners[3]);
}

void CClipBuilder::Reset(ClipState& clip) {
    clip = ClipState{};
    Touch(clip);
}

CClipRegion CClipBuilder::RegionFromRects(const std::vector<RegionRect>& rects, const Affine& transform) {
    if (!m_canvas.Spend(rects.size() * WorkUnits::kRegionRectangle)) return CClipRegion();
    std::vector<int> corners;
    corners.reserve(4 * std::min(rects.size(), kMaxClipRectangles));
    double left = kRegionLimit, top = kRegionLimit, right = -kRegionLimit, bottom = -kRegionLimit;
    for (const RegionRect& r : rects) {
        const auto box = RegionRectBox(r, transform);
        left = std::min(left, double(box[0]));
        top = std::min(top, double(box[1]));
        right = std::max(right, double(box[2]));
        bottom = std::max(bottom, double(box[3]));
        corners.insert(corners.end(), box.begin(), box.end());
        if (corners.size() > 4 * kMaxClipRectangles) {
            corners = BoundingCorners(rects, transform, left, top, right, bottom);
            break;
        }
    }
    return CClipRegion(corners);
}

void CClipBuilder::Combine(ClipState& clip, std::shared_ptr<const CClipRegion> region, int mode) {
    if (mode == kRegionCopy) {
        clip.hasRegion = true;
        clip.region = std::move(region);
        clip.paths.clear();
        Touch(clip);
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
    Touch(clip);
}

void CClipBuilder::CombinePath(ClipState& clip, std::shared_ptr<const CPath> path, bool evenOdd, int mode) {
    const ClipPath clipPath{std::move(path), evenOdd};
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
    Touch(clip);
}

void CClipBuilder::Offset(ClipState& clip, Point shift) {
    if (!clip.hasRegion || !clip.region) return;
    if (!std::isfinite(shift.x) || !std::isfinite(shift.y)) return;
    if (!m_canvas.Spend(static_cast<std::uint64_t>(clip.region->RectangleCount()) *
                        WorkUnits::kRegionRectangle))
        return;
    auto moved = std::make_shared<CClipRegion>(*clip.region);
    moved->Translate(static_cast<int>(std::lround(std::clamp(shift.x, -kRegionLimit, kRegionLimit))),
                     static_cast<int>(std::lround(std::clamp(shift.y, -kRegionLimit, kRegionLimit))));
    clip.region = std::move(moved);
    Touch(clip);
}

std::optional<ClipState> CClipBuilder::Narrowed(const ClipState& clip, const CClipRegion& box) {
    ClipState narrowed = clip;
    if (!narrowed.hasRegion) {
        narrowed.hasRegion = true;
        narrowed.region = std::make_shared<CClipRegion>(0, 0, m_canvas.Width(), m_canvas.Height());
    }
    if (!m_canvas.Spend(static_cast<std::uint64_t>(narrowed.region->RectangleCount()) *
                        WorkUnits::kRegionRectangle))
        return std::nullopt;
    auto region = std::make_shared<CClipRegion>(*narrowed.region);
    region->Intersect(box);
    narrowed.region = std::move(region);
    Touch(narrowed);
    return narrowed;
}

}  // namespace metafile
