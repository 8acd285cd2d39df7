#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The expanders of compressed Palm bitmap data. Each takes the compressed
// bytes behind the block's length field and gives rowBytes x height bytes of
// packed rows in the bitmap's own byte order. Before anything is allocated
// the picture is checked to be no larger than the data could possibly expand
// to, so a few bytes can never ask for gigabytes. Data that ends early, runs
// past the last row or, in the first row, refers to a row above throws
// PalmFormatError, as does data with more runs that write nothing than the
// picture has bytes.

// Scanline compression: per row, groups of up to eight bytes, each led by a
// flag byte whose set bits mark the bytes stored; the rest repeat the row above.
std::vector<std::uint8_t> expandScanlines(std::span<const std::uint8_t> data, std::size_t rowBytes,
                                          std::size_t height);

// Run-length pairs: a count, then one pixel (one byte, or two at 16 bits per
// pixel) repeated count times.
std::vector<std::uint8_t> expandRle(std::span<const std::uint8_t> data, std::size_t rowBytes,
                                    std::size_t height, std::size_t pixelBytes);

// PackBits: a signed count n, then n + 1 literal pixels (n >= 0) or one pixel
// repeated 1 - n times (n < 0, -128 does nothing). The pixel is one byte, or
// two at 16 bits per pixel.
std::vector<std::uint8_t> expandPackBits(std::span<const std::uint8_t> data, std::size_t rowBytes,
                                         std::size_t height, std::size_t pixelBytes);
