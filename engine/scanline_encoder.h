#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Scanline compression of packed Palm rows: each row is cut into groups of up
// to eight bytes; every group is led by a flag byte whose bit 7 stands for the
// group's first byte, and only the bytes marked in the flag follow. A byte is
// marked when it lies in the first row or differs from the byte above it.
//
// The stored block is: a length field (2 bytes for version-2 bitmaps, 4 for
// version 3, in the bitmap's byte order) holding the whole block's length,
// the rows, then zero bytes up to a multiple of 4 so the block keeps a family's
// next-bitmap offsets exact.
class ScanlineEncoder {
public:
    // The number of compressed bytes without length field and fill, plus
    // `startValue` (version-2 writers pass 0, version-3 writers 1), cut to 16
    // bits. `pixels` must hold rowBytes x height bytes, else
    // std::invalid_argument.
    static std::uint16_t estimateSize(std::uint16_t rowBytes, std::uint16_t height,
                                      std::span<const std::uint8_t> pixels, int startValue);
    // The same count without the cut to 16 bits.
    static std::uint32_t countCompressedBytes(std::uint16_t rowBytes, std::uint16_t height,
                                              std::span<const std::uint8_t> pixels, int startValue);

    // Builds the block; afterwards blockLength() and bytes() describe it. A
    // block longer than the 16 bits of its length field can say throws
    // std::length_error.
    void encode(std::uint16_t rowBytes, std::uint16_t height, std::span<const std::uint8_t> pixels,
                bool version3, bool littleEndian);

    // 0 until encode has run.
    std::uint16_t blockLength() const { return m_blockLength; }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::uint16_t m_blockLength = 0;
};
