#include "imagelib/resample/cover_cut.h"

#include "imagelib/limits/decode_limits.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace resample {
namespace {

// A cover may hold at most this many times its target's pixels: a kept part
// no thinner than a sixty-fourth of its box.
constexpr std::int64_t kCoverPixelsPerTargetPixel = 64;

// value * numerator / denominator, rounded to the nearest whole number; all
// three at least zero and int-sized, the denominator above zero.
std::int64_t ScaledRounded(std::int64_t value, std::int64_t numerator, std::int64_t denominator) {
    return (2 * value * numerator + denominator) / (2 * denominator);
}

}  // namespace

CoverCut::CoverCut(std::span<const ResizeTarget> targets, const PixelRect& box, int partWidth, int partHeight)
    : m_box(box), m_partWidth(partWidth), m_partHeight(partHeight) {
    constexpr DecodeLimits kCeiling{};
    m_reasonable = !box.IsEmpty() && partWidth > 0 && partHeight > 0 && partWidth <= box.width &&
                   partHeight <= box.height;
    for (const ResizeTarget& target : targets) {
        if (!m_reasonable || !kCeiling.AllowsSize(target.width, target.height)) {
            m_reasonable = false;
            break;
        }
        const std::int64_t width = ScaledRounded(box.width, target.width, partWidth);
        const std::int64_t height = ScaledRounded(box.height, target.height, partHeight);
        if (width > kCoverPixelsPerTargetPixel * target.width ||
            height > kCoverPixelsPerTargetPixel * target.height ||
            width * height > kCoverPixelsPerTargetPixel * target.width * target.height ||
            !kCeiling.AllowsSize(width, height)) {
            m_reasonable = false;
            break;
        }
        m_bitmaps.push_back(std::make_unique<CMemoryBitmap>());
        m_covers.push_back({static_cast<int>(width), static_cast<int>(height), m_bitmaps.back().get()});
    }
    if (!m_reasonable) m_covers.clear(), m_bitmaps.clear();
}

void CoverCut::Cut(std::span<const ResizeTarget> targets, const PixelRect& part, bool alpha) const {
    for (std::size_t i = 0; i < targets.size() && i < m_covers.size(); ++i) {
        const ResizeTarget& target = targets[i];
        const CImageBitmap& cover = *m_covers[i].destination;
        const auto left = static_cast<int>(
            std::clamp<std::int64_t>(ScaledRounded(part.left - m_box.left, target.width, m_partWidth), 0,
                                     cover.GetWidth() - target.width));
        const auto top = static_cast<int>(
            std::clamp<std::int64_t>(ScaledRounded(part.top - m_box.top, target.height, m_partHeight), 0,
                                     cover.GetHeight() - target.height));
        target.destination->Create(target.width, target.height, 32, alpha);
        for (int y = 0; y < target.height; ++y)
            std::memcpy(target.destination->GetRows()[y],
                        cover.GetRows()[top + y] + 4 * static_cast<std::size_t>(left),
                        4 * static_cast<std::size_t>(target.width));
    }
}

}  // namespace resample
