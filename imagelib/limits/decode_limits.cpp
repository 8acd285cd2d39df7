#include "imagelib/limits/decode_limits.h"

#include "imagelib/limits/checked_arithmetic.h"

#include <cinttypes>
#include <cstdio>

namespace {

// Pictures are counted the way cameras count them once they are large.
constexpr std::uint64_t kCountInMegapixelsFrom = 10'000'000;

std::string PixelCount(std::uint64_t pixels) {
    char text[48];
    if (pixels >= kCountInMegapixelsFrom)
        std::snprintf(text, sizeof text, "%" PRIu64 " megapixels", pixels / 1'000'000);
    else
        std::snprintf(text, sizeof text, "%" PRIu64 " pixels", pixels);
    return text;
}

}  // namespace

std::string DecodeLimits::DescribeOverLimit(std::int64_t width, std::int64_t height, int bitsPerPixel) const {
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0) return {};
    char text[160];
    if (width > maxSide || height > maxSide) {
        std::snprintf(text, sizeof text,
                      "picture of %" PRId64 " x %" PRId64 " pixels is over the limit of %" PRId64
                      " pixels a side.",
                      width, height, maxSide);
        return text;
    }
    const auto bits = static_cast<std::uint64_t>(bitsPerPixel);
    const auto rowBytes = (static_cast<std::uint64_t>(width) * bits + 7) / 8;
    const auto bytes = CheckedMultiply(rowBytes, static_cast<std::uint64_t>(height));
    if (bytes && *bytes <= maxBitmapBytes) return {};
    // maxBitmapBytes * 8 / bits, without overflowing.
    const auto whole = CheckedMultiply(maxBitmapBytes / bits, 8);
    const std::uint64_t pixels = whole ? *whole + maxBitmapBytes % bits * 8 / bits : UINT64_MAX;
    std::snprintf(text, sizeof text, "picture of %" PRId64 " x %" PRId64 " pixels is over the limit of %s.",
                  width, height, PixelCount(pixels).c_str());
    return text;
}
