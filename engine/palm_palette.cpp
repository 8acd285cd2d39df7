#include "engine/palm_palette.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

using Color = std::array<std::uint8_t, 3>;

// The colour cube's levels are multiples of this.
constexpr int kCubeStep = 51;

int CubeCell(int redLevel, int greenLevel, int blueLevel) {
    return (redLevel * 6 + greenLevel) * 6 + blueLevel;
}

int Distance(const Color& color, int red, int green, int blue) {
    const int dr = red - color[0];
    const int dg = green - color[1];
    const int db = blue - color[2];
    return dr * dr + dg * dg + db * db;
}

Color Grey(int level) {
    const auto value = static_cast<std::uint8_t>(level);
    return {value, value, value};
}

// The device's 8-bit system palette. Its colour cube is not in plain RGB order:
// the three light blue levels come first, then the three dark ones, and inside
// each half red is the outer loop, blue the middle and green the inner one.
// The cube's black is left out; black fills the unused tail instead.
std::vector<Color> EightBitPalette() {
    static constexpr int kCubeLevels[6] = {255, 204, 153, 102, 51, 0};
    std::vector<Color> colors;
    colors.reserve(256);
    for (int half = 0; half < 2; ++half) {
        for (int red : kCubeLevels) {
            for (int blueStep = 0; blueStep < 3; ++blueStep) {
                const int blue = kCubeLevels[half * 3 + blueStep];
                for (int green : kCubeLevels) {
                    if (red == 0 && green == 0 && blue == 0) continue;
                    colors.push_back({static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                                      static_cast<std::uint8_t>(blue)});
                }
            }
        }
    }
    // Greys that the cube lacks.
    for (int level : {17, 34, 68, 85, 119, 136, 170, 187, 221, 238}) colors.push_back(Grey(level));
    // A few extra system colours; the device defines them with the cube's
    // levels 204 and 136, not the 192 and 128 of other platforms.
    colors.push_back({204, 204, 204});
    colors.push_back({136, 0, 0});
    colors.push_back({136, 0, 136});
    colors.push_back({0, 136, 0});
    colors.push_back({0, 136, 136});
    while (colors.size() < 256) colors.push_back({0, 0, 0});
    return colors;
}

}  // namespace

PalmPalette::PalmPalette(int depth) : m_depth(depth) {
    switch (depth) {
        case 1:
            m_colors = {Grey(255), Grey(0)};
            break;
        case 2:
            m_colors = {Grey(255), Grey(170), Grey(85), Grey(0)};
            break;
        case 4:
            for (int i = 0; i < 16; ++i) m_colors.push_back(Grey(255 - 17 * i));
            break;
        case 8:
            m_colors = EightBitPalette();
            break;
        default:
            throw std::invalid_argument("Palm palettes exist for 1, 2, 4 and 8 bits per pixel only");
    }

    const bool allGrey = std::all_of(m_colors.begin(), m_colors.end(),
                                     [](const Color& c) { return c[0] == c[1] && c[1] == c[2]; });
    if (allGrey) {
        m_nearestBySum.resize(3 * 255 + 1);
        for (int sum = 0; sum <= 3 * 255; ++sum) {
            int best = 0;
            int bestScore = std::numeric_limits<int>::max();
            for (std::size_t i = 0; i < m_colors.size(); ++i) {
                const int level = m_colors[i][0];
                const int score = 3 * level * level - 2 * level * sum;
                if (score < bestScore) {
                    bestScore = score;
                    best = static_cast<int>(i);
                }
            }
            m_nearestBySum[static_cast<std::size_t>(sum)] = static_cast<std::uint8_t>(best);
        }
        return;
    }

    std::array<bool, 216> seen{};
    std::vector<std::uint8_t> offCube;
    for (std::size_t i = 0; i < m_colors.size(); ++i) {
        const Color& color = m_colors[i];
        if (color[0] % kCubeStep != 0 || color[1] % kCubeStep != 0 || color[2] % kCubeStep != 0) {
            offCube.push_back(static_cast<std::uint8_t>(i));
            continue;
        }
        const auto cell = static_cast<std::size_t>(
            CubeCell(color[0] / kCubeStep, color[1] / kCubeStep, color[2] / kCubeStep));
        if (!seen[cell]) m_cubeIndex[cell] = static_cast<std::uint8_t>(i);
        seen[cell] = true;
    }
    m_hasCube = std::all_of(seen.begin(), seen.end(), [](bool found) { return found; });
    if (!m_hasCube) return;

    // A colour c of a cell lies within 25 of the cell's cube colour g on each
    // channel, so |c - g|^2 <= 3 * 25^2. An entry e at least as close to c
    // as g is has |e - g| <= |e - c| + |c - g| <= 2 |c - g|, so
    // |e - g|^2 <= 4 * 3 * 25^2. Entries further from g never win in the cell.
    constexpr int kHalfStep = kCubeStep / 2;
    constexpr int kReach = 4 * 3 * kHalfStep * kHalfStep;
    for (int cell = 0; cell < 216; ++cell) {
        m_rivalsStart[static_cast<std::size_t>(cell)] = static_cast<std::uint16_t>(m_rivals.size());
        const Color& cubeColor = m_colors[m_cubeIndex[static_cast<std::size_t>(cell)]];
        for (const std::uint8_t index : offCube)
            if (Distance(m_colors[index], cubeColor[0], cubeColor[1], cubeColor[2]) <= kReach)
                m_rivals.push_back(index);
    }
    m_rivalsStart[216] = static_cast<std::uint16_t>(m_rivals.size());
}

int PalmPalette::nearestIndex(int red, int green, int blue) const {
    const auto inRange = [](int value) { return value >= 0 && value <= 255; };
    if (!inRange(red) || !inRange(green) || !inRange(blue)) return searchAll(red, green, blue);
    if (!m_nearestBySum.empty()) return m_nearestBySum[static_cast<std::size_t>(red + green + blue)];
    if (!m_hasCube) return searchAll(red, green, blue);

    const auto nearestLevel = [](int value) { return (value + kCubeStep / 2) / kCubeStep; };
    const auto cell =
        static_cast<std::size_t>(CubeCell(nearestLevel(red), nearestLevel(green), nearestLevel(blue)));
    int best = m_cubeIndex[cell];
    int bestDistance = Distance(m_colors[static_cast<std::size_t>(best)], red, green, blue);
    for (std::size_t i = m_rivalsStart[cell]; i < m_rivalsStart[cell + 1]; ++i) {
        const std::uint8_t index = m_rivals[i];
        const int distance = Distance(m_colors[index], red, green, blue);
        if (distance < bestDistance || (distance == bestDistance && index < best)) {
            bestDistance = distance;
            best = index;
        }
    }
    return best;
}

int PalmPalette::searchAll(int red, int green, int blue) const {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < m_colors.size(); ++i) {
        const int distance = Distance(m_colors[i], red, green, blue);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return best;
}
