#pragma once

#include "imagelib/metafile/metafile_canvas.h"
#include "imagelib/metafile/metafile_objects.h"
#include "imagelib/metafile/metafile_page.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Building the clip of a device context: rectangles and regions in canvas
// pixels, combined by the region modes, with paths beside them. A hostile
// file can ask for ever more pieces; every step is counted against the
// canvas's budget and the pieces stay below fixed limits.
namespace metafile {

// Region combination modes of the clip calls.
enum RegionMode : int { kRegionAnd = 1, kRegionOr = 2, kRegionXor = 3, kRegionDiff = 4, kRegionCopy = 5 };

// The canvas pixel box (left, top, right, bottom) covering a rectangle.
std::array<int, 4> CanvasBox(const LogicalRect& box, const Affine& transform);
CClipRegion CanvasRegion(const LogicalRect& box, const Affine& transform);

class CClipBuilder {
public:
    explicit CClipBuilder(CMetafileCanvas& canvas) : m_canvas(canvas) {}

    // Marks the clip as changed, so that the canvas takes it anew.
    void Touch(ClipState& clip) { clip.version = ++m_changes; }
    // No clip at all.
    void Reset(ClipState& clip);

    // The region of rectangles given in `transform`'s units; one of more
    // pieces than a clip may have is taken as its bounding box.
    CClipRegion RegionFromRects(const std::vector<RegionRect>& rects, const Affine& transform);
    // Combines the clip with a region; an unknown mode changes nothing.
    void Combine(ClipState& clip, std::shared_ptr<const CClipRegion> region, int mode);
    // Makes a path the clip (kRegionCopy) or adds it (kRegionAnd).
    void CombinePath(ClipState& clip, std::shared_ptr<const CPath> path, bool evenOdd, int mode);
    // Moves the clip's region by canvas pixels.
    void Offset(ClipState& clip, Point shift);
    // The clip narrowed to a box, for one drawing; nothing when the budget
    // ran out.
    std::optional<ClipState> Narrowed(const ClipState& clip, const CClipRegion& box);

private:
    CMetafileCanvas& m_canvas;
    std::uint64_t m_changes = 0;
};

}  // namespace metafile
