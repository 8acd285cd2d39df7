#pragma once

#include "engine/palm_palette.h"

#include <cstdint>
#include <span>

class CImageBitmap;

// The dither setting that asks for Floyd-Steinberg error diffusion; every
// other value maps each pixel straight to its nearest palette colour.
inline constexpr int kDitherFloydSteinberg = 4;

// Packs palette indexes of `depth` bits (1, 2, 4 or 8) into a buffer, from
// the most significant bits of each byte down. Rows are not padded: the next
// index goes on where the last one ended. The caller sees to it that the
// buffer holds every index put.
class IndexPacker {
public:
    IndexPacker(int depth, std::span<std::uint8_t> destination)
        : m_depth(depth), m_perByte(8 / depth), m_destination(destination) {
        if (!m_destination.empty()) m_destination[0] = 0;
    }

    void put(int index) {
        if (m_depth == 8) {
            m_destination[m_byte++] = static_cast<std::uint8_t>(index);
            return;
        }
        const int shift = m_depth * (m_perByte - 1 - m_counter);
        m_destination[m_byte] = static_cast<std::uint8_t>(m_destination[m_byte] | (index << shift));
        if (++m_counter == m_perByte) {
            m_counter = 0;
            ++m_byte;
            // The byte after the last is not there to clear.
            if (m_byte < m_destination.size()) m_destination[m_byte] = 0;
        }
    }

private:
    int m_depth;
    int m_perByte;
    std::span<std::uint8_t> m_destination;
    std::size_t m_byte = 0;
    int m_counter = 0;
};

// Reduces a 32-bit picture (blue, green, red, alpha per pixel; alpha is
// ignored) to palette indexes of `depth` bits and packs them into
// `destination`, rows top to bottom, pixels from the most significant bits
// down. Rows are not padded: a row that ends inside a byte is continued by the
// next row. With dithering the errors are written back into `picture`.
// Throws std::invalid_argument when the picture is not 32-bit, the depth does
// not match the palette, or the destination cannot hold every pixel.
void packPixels(CImageBitmap& picture, int dither, const PalmPalette& palette, int depth,
                std::span<std::uint8_t> destination);

// Spreads one pixel's quantisation error over its unvisited neighbours, per
// channel: with d = error / 16 truncated toward zero, 3d to the lower left, 5d
// below, d to the lower right and the rest (7d plus what truncation lost) to
// the right. Shares that fall outside the picture are dropped.
void diffuseError(CImageBitmap& picture, int x, int y, int redError, int greenError, int blueError);

// Adds `share` to one 8-bit channel value, clamped to 0..255.
void clampedAdd(std::uint8_t& channel, int share);
