#pragma once

#include <cstdint>
#include <optional>

// Size arithmetic on values read from files: every product or sum that sizes
// an allocation goes through these. The limits themselves are DecodeLimits.

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
