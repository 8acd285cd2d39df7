#include "imagelib/resample/resample_plan.h"

#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/limits/decode_limits.h"
#include "imagelib/resample/resample_kernels.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cstring>

namespace resample {
namespace {

const char kOutOfMemory[] = "Out of memory creating bitmap.";
// Intermediates are held to the ceiling of the bitmaps they become.
constexpr DecodeLimits kCeiling{};

std::size_t PixelBytes(bool linear) {
    return linear ? 8 : 4;
}

// The intermediate's bytes, refused as an allocation failure when absurd.
std::size_t IntermediateBytes(const PixelRect& placement, int partHeight, bool linear) {
    const auto bytes = CheckedMultiply(static_cast<std::uint64_t>(placement.width) * PixelBytes(linear),
                                       static_cast<std::uint64_t>(partHeight));
    if (!bytes || *bytes > kCeiling.maxBitmapBytes) throw CTextException(ERR_NO_MEMORY, kOutOfMemory);
    return static_cast<std::size_t>(*bytes);
}

int AcrossBoxFactor(ResampleKernel kernel, int outSize, int inSize) {
    return kernel == ResampleKernel::kLanczosInLight ? BoxShrinkFactor(outSize, inSize) : 1;
}

// The pass across of a row shrunk in boxes first reads the boxes.
ContributionTable AcrossContributions(ResampleKernel kernel, int outSize, int inSize) {
    const int factor = AcrossBoxFactor(kernel, outSize, inSize);
    if (factor > 1) return LanczosContributions(outSize, inSize, factor);
    return BuildContributions(kernel, outSize, inSize);
}

}  // namespace

ContributionTable BuildContributions(ResampleKernel kernel, int outSize, int inSize) {
    switch (kernel) {
        case ResampleKernel::kAreaInLight:
            return AreaContributions(outSize, inSize);
        case ResampleKernel::kLanczosInLight:
            return BoxedLanczosContributions(outSize, inSize);
        case ResampleKernel::kTent:
            break;
    }
    return TentContributions(outSize, inSize);
}

PictureFraming ReferencedFraming(const PictureFraming& framing, std::span<const ResizeTarget> targets) {
    PictureFraming frame = framing;
    if ((frame.referenceWidth <= 0 || frame.referenceHeight <= 0) && !targets.empty()) {
        frame.referenceWidth = targets.front().width;
        frame.referenceHeight = targets.front().height;
    }
    return frame;
}

TargetPlan::TargetPlan(ResampleKernel kernel, const PixelRect& part, const PixelRect& placement)
    : m_linear(ResamplesInLight(kernel)),
      m_placement(placement),
      m_partWidth(part.width),
      m_boxAcross(AcrossBoxFactor(kernel, placement.width, part.width)),
      m_across(AcrossContributions(kernel, placement.width, part.width)),
      m_pairedAcross(m_across),
      m_down(BuildContributions(kernel, placement.height, part.height)),
      m_stride(static_cast<std::size_t>(placement.width) * PixelBytes(m_linear)),
      m_intermediate(TakeBlock(IntermediateBytes(placement, part.height, m_linear))),
      m_resampled(TakeBlock(4 * static_cast<std::size_t>(placement.width) *
                            static_cast<std::size_t>(placement.height))) {}

std::size_t TargetPlan::AcrossScratch() const {
    if (m_boxAcross == 1) return 0;
    return 4 * (static_cast<std::size_t>(BoxCount(m_partWidth, m_boxAcross)) +
                static_cast<std::size_t>(m_across.Taps()));
}

void TargetPlan::ResampleAcross(int y, const double* row, int unit, double* scratch) {
    if (m_boxAcross > 1) {
        // Another target's boxes may have left their sums where these end.
        const int boxes = BoxCount(m_partWidth, m_boxAcross);
        ShrinkRowInBoxes(row, m_partWidth, unit, m_boxAcross, scratch, true);
        std::fill(scratch + 4 * static_cast<std::size_t>(boxes), scratch + AcrossScratch(), 0.0);
        row = scratch;
    }
    std::uint8_t* out = m_intermediate.get() + static_cast<std::size_t>(y) * m_stride;
    if (m_pairedAcross.Empty())
        ResampleRowAcross(row, m_across, m_placement.width, out, m_linear);
    else
        m_pairedAcross.Resample(row, out, m_linear);
}

void TargetPlan::ResampleDown(int begin, int end, double* values) {
    ResampleRowsDown(m_intermediate.get(), m_stride, m_placement.width, m_down, m_resampled.get(), begin, end,
                     values, m_linear);
}

void TargetPlan::Prepare(CImageBitmap& destination, int width, int height, bool alpha,
                         const PaletteEntry& background) const {
    destination.Create(width, height, 32, alpha);
    if (m_placement == PixelRect{0, 0, width, height}) return;
    const std::uint8_t pixel[4] = {background.blue, background.green, background.red, background.alpha};
    for (int y = 0; y < destination.GetHeight(); ++y) {
        std::uint8_t* out = destination.GetRows()[y];
        for (int x = 0; x < destination.GetWidth(); ++x)
            std::memcpy(out + 4 * static_cast<std::size_t>(x), pixel, 4);
    }
}

void TargetPlan::Deliver(CImageBitmap& destination) const {
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(m_placement.width);
    for (int y = 0; y < m_placement.height; ++y)
        std::memcpy(
            destination.GetRows()[m_placement.top + y] + 4 * static_cast<std::size_t>(m_placement.left),
            m_resampled.get() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
}

std::vector<TargetPlan> PlanTargets(ResampleKernel kernel, const PictureFraming& framing,
                                    const PixelRect& part, std::span<const ResizeTarget> targets) {
    std::vector<TargetPlan> plans;
    plans.reserve(targets.size());
    for (const ResizeTarget& target : targets) {
        // Absurd intermediates are refused as an allocation failure.
        if (!kCeiling.AllowsSize(target.width, target.height))
            throw CTextException(ERR_NO_MEMORY, kOutOfMemory);
        plans.emplace_back(kernel, part,
                           FramedPlacement(framing, part.width, part.height, target.width, target.height));
    }
    return plans;
}

}  // namespace resample
