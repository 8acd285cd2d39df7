#include "engine/scanline_encoder.h"

#include <stdexcept>

namespace {

constexpr std::size_t kGroupSize = 8;

void RequirePixels(std::uint16_t rowBytes, std::uint16_t height, std::span<const std::uint8_t> pixels) {
    if (pixels.size() < static_cast<std::size_t>(rowBytes) * height)
        throw std::invalid_argument("the pixel buffer is shorter than rowBytes x height");
}

// True when the byte at `position` of row `row` has to be stored.
bool MustStore(const std::uint8_t* rowStart, std::size_t rowBytes, std::uint16_t row, std::size_t position) {
    return row == 0 || rowStart[position] != rowStart[position - rowBytes];
}

}  // namespace

std::uint32_t ScanlineEncoder::countCompressedBytes(std::uint16_t rowBytes, std::uint16_t height,
                                                    std::span<const std::uint8_t> pixels, int startValue) {
    RequirePixels(rowBytes, height, pixels);
    std::uint32_t count = static_cast<std::uint32_t>(startValue);
    for (std::uint16_t row = 0; row < height; ++row) {
        const std::uint8_t* rowStart = pixels.data() + static_cast<std::size_t>(row) * rowBytes;
        for (std::size_t position = 0; position < rowBytes; ++position) {
            if (MustStore(rowStart, rowBytes, row, position)) ++count;
            // One flag byte per group: counted at the group's last byte.
            if (position % kGroupSize == kGroupSize - 1 || position == rowBytes - 1u) ++count;
        }
    }
    return count;
}

std::uint16_t ScanlineEncoder::estimateSize(std::uint16_t rowBytes, std::uint16_t height,
                                            std::span<const std::uint8_t> pixels, int startValue) {
    return static_cast<std::uint16_t>(countCompressedBytes(rowBytes, height, pixels, startValue));
}

void ScanlineEncoder::encode(std::uint16_t rowBytes, std::uint16_t height,
                             std::span<const std::uint8_t> pixels, bool version3, bool littleEndian) {
    RequirePixels(rowBytes, height, pixels);
    const std::size_t groupsPerRow = (rowBytes + kGroupSize - 1) / kGroupSize;

    // First pass: every group's flag byte, and the block's length.
    std::vector<std::uint8_t> flags;
    flags.reserve(groupsPerRow * height);
    std::uint64_t length = version3 ? 4 : 2;
    for (std::uint16_t row = 0; row < height; ++row) {
        const std::uint8_t* rowStart = pixels.data() + static_cast<std::size_t>(row) * rowBytes;
        for (std::size_t group = 0; group < groupsPerRow; ++group) {
            std::uint8_t flag = 0;
            for (std::size_t bit = 0; bit < kGroupSize; ++bit) {
                const std::size_t position = group * kGroupSize + bit;
                if (position >= rowBytes) break;
                if (!MustStore(rowStart, rowBytes, row, position)) continue;
                flag = static_cast<std::uint8_t>(flag | (0x80u >> bit));
                ++length;
            }
            flags.push_back(flag);
            ++length;
        }
    }
    length = (length + 3) / 4 * 4;
    if (length > 0xFFFF)
        throw std::length_error("the compressed bitmap is too long for its 16-bit length field");

    m_bytes.clear();
    m_bytes.reserve(static_cast<std::size_t>(length));
    const auto high = static_cast<std::uint8_t>(length >> 8);
    const auto low = static_cast<std::uint8_t>(length);
    // The 4-byte field holds the length in its low 16 bits.
    if (version3 && !littleEndian) m_bytes.insert(m_bytes.end(), {0, 0});
    if (littleEndian) {
        m_bytes.insert(m_bytes.end(), {low, high});
    } else {
        m_bytes.insert(m_bytes.end(), {high, low});
    }
    if (version3 && littleEndian) m_bytes.insert(m_bytes.end(), {0, 0});

    // Second pass: each flag byte followed by the bytes it marks.
    std::size_t flagIndex = 0;
    for (std::uint16_t row = 0; row < height; ++row) {
        const std::uint8_t* rowStart = pixels.data() + static_cast<std::size_t>(row) * rowBytes;
        for (std::size_t group = 0; group < groupsPerRow; ++group) {
            const std::uint8_t flag = flags[flagIndex++];
            m_bytes.push_back(flag);
            for (std::size_t bit = 0; bit < kGroupSize; ++bit) {
                const std::size_t position = group * kGroupSize + bit;
                if (position >= rowBytes) break;
                if (flag & (0x80u >> bit)) m_bytes.push_back(rowStart[position]);
            }
        }
    }
    m_bytes.resize(static_cast<std::size_t>(length), 0);
    m_blockLength = static_cast<std::uint16_t>(length);
}
