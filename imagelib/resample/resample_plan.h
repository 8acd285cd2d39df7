#pragma once

#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/picture_framing.h"
#include "imagelib/resample/contribution_table.h"
#include "imagelib/resample/paired_across.h"
#include "imagelib/resample/recycled_block.h"
#include "imagelib/resample/tent_resampler.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace resample {

inline bool ResamplesInLight(ResampleKernel kernel) {
    return kernel != ResampleKernel::kTent;
}

// The table of one pass from inSize to outSize pixels, over the source
// pixels themselves.
ContributionTable BuildContributions(ResampleKernel kernel, int outSize, int inSize);

// The framing with its reference size: a framing without one takes the first
// target's.
PictureFraming ReferencedFraming(const PictureFraming& framing, std::span<const ResizeTarget> targets);

// How the part of the picture seen becomes one target: the tables of both
// passes, the intermediate image between them (as wide as the placement, as
// high as the part) and the result of the pass down until it is delivered.
//
// Rows across and rows down are written by one thread each; which thread, and
// when, is for the caller to arrange.
class TargetPlan {
public:
    // Throws CTextException when the intermediate would be absurd.
    TargetPlan(ResampleKernel kernel, const PixelRect& part, const PixelRect& placement);

    // Where in the target the resampled picture goes; background around it.
    const PixelRect& Placement() const { return m_placement; }
    // The most taps a widened row is read with, beyond its last pixel.
    int AcrossTaps() const { return m_across.Taps(); }
    // Source pixels per box of the shrink across, 1 for none.
    int BoxAcross() const { return m_boxAcross; }
    // The doubles ResampleAcross needs for a row shrunk in boxes first.
    std::size_t AcrossScratch() const;
    // The last row across that output row y of the pass down reads.
    int LastRowReadDown(int y) const { return m_down.Right(y); }

    // Resamples widened row y of the part into the intermediate, given in
    // boxes of `unit` pixels summed, a divisor of BoxAcross() (1: the pixels
    // themselves); `scratch` holds AcrossScratch() doubles of the calling
    // thread's own.
    void ResampleAcross(int y, const double* row, int unit, double* scratch);
    // Resamples output rows [begin, end) down, once every row across they
    // read is there; `values` holds four doubles per placement pixel.
    void ResampleDown(int begin, int end, double* values);

    // Creates the target's bitmap, background around the placement.
    void Prepare(CImageBitmap& destination, int width, int height, bool alpha,
                 const PaletteEntry& background) const;
    // Puts the result of the pass down into the destination Prepare made.
    void Deliver(CImageBitmap& destination) const;

private:
    bool m_linear;
    PixelRect m_placement;
    int m_partWidth;
    // Source pixels per box of the shrink across before m_across, 1 for none.
    // The pass down reads the source rows with the boxes in its table.
    int m_boxAcross;
    ContributionTable m_across;
    // m_across for the 512-bit unit, empty without one.
    PairedAcross m_pairedAcross;
    ContributionTable m_down;
    // Not cleared: every byte is resampled across before the pass down reads
    // it, and clearing megabytes would hold up the decoder that plans first.
    std::size_t m_stride;
    RecycledBlock m_intermediate;
    // Placement-sized; not cleared either: every row is resampled before it
    // is delivered.
    RecycledBlock m_resampled;
};

// The plans of every target for `part` of the picture seen, in the targets'
// order. Throws CTextException for an absurd target.
std::vector<TargetPlan> PlanTargets(ResampleKernel kernel, const PictureFraming& framing,
                                    const PixelRect& part, std::span<const ResizeTarget> targets);

}  // namespace resample
