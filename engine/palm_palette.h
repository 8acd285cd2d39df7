#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The fixed palette of one Palm bit depth. The output carries no colour table,
// so a viewer reads the indexes with its own built-in palette of the same depth;
// these tables must therefore match the device's, entry for entry.
class PalmPalette {
public:
    // Builds the palette of depth 1, 2, 4 or 8; any other depth throws
    // std::invalid_argument.
    explicit PalmPalette(int depth);

    int depth() const { return m_depth; }
    // 2 to the power depth.
    int count() const { return static_cast<int>(m_colors.size()); }

    std::uint8_t red(int index) const { return m_colors.at(static_cast<std::size_t>(index))[0]; }
    std::uint8_t green(int index) const { return m_colors.at(static_cast<std::size_t>(index))[1]; }
    std::uint8_t blue(int index) const { return m_colors.at(static_cast<std::size_t>(index))[2]; }

    // Index of the entry closest in squared RGB distance; on equal distance the
    // lowest index wins.
    int nearestIndex(int red, int green, int blue) const;

private:
    int searchAll(int red, int green, int blue) const;

    int m_depth;
    std::vector<std::array<std::uint8_t, 3>> m_colors;  // red, green, blue

    // When the palette holds the whole 6x6x6 colour cube (levels 0, 51, ...,
    // 255), the nearest cube colour follows from each channel alone: half-way
    // points between levels fall between integers, so it is never a tie.
    // Only entries off the cube can then come closer, and only those near
    // enough to that cube colour: each cube cell lists them.
    bool m_hasCube = false;
    std::array<std::uint8_t, 216> m_cubeIndex{};     // lowest index of each cube colour
    std::array<std::uint16_t, 217> m_rivalsStart{};  // cell i's rivals: [start[i], start[i + 1])
    std::vector<std::uint8_t> m_rivals;              // indexes of entries off the cube

    // When every entry is a grey l, the distance of (r, g, b) to it is
    // 3l^2 - 2l(r + g + b) plus a term the same for every entry, so the
    // nearest entry depends on the channel sum alone: one answer per sum.
    std::vector<std::uint8_t> m_nearestBySum;
};
