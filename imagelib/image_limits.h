#pragma once

#include <cstdint>
#include <optional>

// The limits every decoder enforces before it allocates. A picture beyond them
// is refused with a clear error instead of being handed to the allocator.
inline constexpr std::int64_t kMaxImageDimension = 1 << 16;            // pixels per side
inline constexpr std::uint64_t kMaxBitmapBytes = 1ull << 30;          // one decoded bitmap
inline constexpr std::int64_t kMaxMetafileCanvas = 8192;              // rendered metafile side

// a * b, or nothing when the product does not fit in 64 bits.
inline std::optional<std::uint64_t> CheckedMultiply(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
    return product;
}

// a + b, or nothing when the sum does not fit in 64 bits.
inline std::optional<std::uint64_t> CheckedAdd(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) return std::nullopt;
    return sum;
}

// True when width x height is a picture size the library is willing to hold.
inline bool IsPlausibleImageSize(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageDimension && height <= kMaxImageDimension;
}
