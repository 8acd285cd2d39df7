#include "imagelib/limits/decode_limits.h"

#include "imagelib/limits/checked_arithmetic.h"

#include <cinttypes>
#include <cstdio>
#include <optional>

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

// The pixels of bitsPerPixel that `bytes` hold: bytes * 8 / bits, without
// overflowing.
std::uint64_t PixelsIn(std::uint64_t bytes, std::uint64_t bits) {
    const auto whole = CheckedMultiply(bytes / bits, 8);
    return whole ? *whole + bytes % bits * 8 / bits : UINT64_MAX;
}

// Bytes of width x height pixels of `bits`; unset when beyond 64 bits.
std::optional<std::uint64_t> BitmapBytes(std::int64_t width, std::int64_t height, std::uint64_t bits) {
    const auto rowBytes = (static_cast<std::uint64_t>(width) * bits + 7) / 8;
    return CheckedMultiply(rowBytes, static_cast<std::uint64_t>(height));
}

// True when width x height pixels of `bits` take more than `limit` bytes.
bool IsOver(std::int64_t width, std::int64_t height, std::uint64_t bits, std::uint64_t limit) {
    const auto bytes = BitmapBytes(width, height, bits);
    return !bytes || *bytes > limit;
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
    if (!IsOver(width, height, bits, maxBitmapBytes)) return {};
    std::snprintf(text, sizeof text, "picture of %" PRId64 " x %" PRId64 " pixels is over the limit of %s.",
                  width, height, PixelCount(PixelsIn(maxBitmapBytes, bits)).c_str());
    return text;
}

bool DecodeLimits::AllowsHeldBitmap(std::int64_t width, std::int64_t height, int bitsPerPixel) const {
    if (!AllowsSize(width, height) || bitsPerPixel <= 0) return false;
    const auto bytes = BitmapBytes(width, height, static_cast<std::uint64_t>(bitsPerPixel));
    if (!bytes || *bytes > maxBitmapBytes) return false;
    const auto rows = CheckedMultiply(resampledBytesPerRow, static_cast<std::uint64_t>(height));
    const auto held = rows ? CheckedAdd(*bytes, *rows) : std::nullopt;
    return held && *held <= maxHeldBitmapBytes;
}

std::string DecodeLimits::DescribeOverHeldLimit(std::int64_t width, std::int64_t height,
                                                int bitsPerPixel) const {
    std::string overall = DescribeOverLimit(width, height, bitsPerPixel);
    if (!overall.empty() || width <= 0 || height <= 0 || bitsPerPixel <= 0 ||
        AllowsHeldBitmap(width, height, bitsPerPixel))
        return overall;
    // The rows of this width that fit, and the pixels they hold.
    const auto rowBytes =
        (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel) + 7) / 8;
    const std::uint64_t rows = maxHeldBitmapBytes / (rowBytes + resampledBytesPerRow);
    const auto pixels = CheckedMultiply(rows, static_cast<std::uint64_t>(width));
    char text[200];
    std::snprintf(text, sizeof text,
                  "picture of %" PRId64 " x %" PRId64
                  " pixels is over the limit of %s of a picture held whole: it would need more than "
                  "512 MiB to convert.",
                  width, height, PixelCount(pixels ? *pixels : UINT64_MAX).c_str());
    return text;
}
