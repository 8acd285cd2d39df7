#pragma once

#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/picture_framing.h"
#include "imagelib/resample/tent_resampler.h"

#include <memory>
#include <span>
#include <vector>

namespace resample {

// A crop whose part is chosen only once the whole picture was seen (a smart
// crop): the whole box the part is cut from is resampled to each target's
// cover size, the size at which a part of the kept part's shape exactly
// fills the target, its cut side longer than the target's; once the part is
// known, the target's window of the cover is cut out. So the picture can
// stream through a window of rows before its part is known.
//
// Every target cuts at the same part of the picture: the part's offset in
// the box, in source pixels, scaled to each cover and rounded alike.
class CoverCut {
public:
    // For `box` of the picture seen, of which a part of partWidth x partHeight
    // pixels is kept.
    CoverCut(std::span<const ResizeTarget> targets, const PixelRect& box, int partWidth, int partHeight);

    // True when every cover is of a reasonable size: within the ceiling of
    // bitmaps, and not absurdly larger than its target (a thin strip of a
    // picture kept from a long one). Otherwise the part is cropped first.
    bool Reasonable() const { return m_reasonable; }
    // The targets the box is resampled to, in the targets' order.
    std::span<const ResizeTarget> Covers() const { return m_covers; }
    const PixelRect& Box() const { return m_box; }

    // Cuts `part` of the picture seen (of the size given, within the box)
    // out of every cover into its target's destination.
    void Cut(std::span<const ResizeTarget> targets, const PixelRect& part, bool alpha) const;

private:
    PixelRect m_box;
    int m_partWidth;
    int m_partHeight;
    bool m_reasonable = true;
    std::vector<std::unique_ptr<CMemoryBitmap>> m_bitmaps;
    std::vector<ResizeTarget> m_covers;
};

}  // namespace resample
