#include "engine/palm_palette.h"

#include <limits>
#include <stdexcept>

namespace {

using Colour = std::array<std::uint8_t, 3>;

Colour Grey(int level) {
    const auto value = static_cast<std::uint8_t>(level);
    return {value, value, value};
}

// The device's 8-bit system palette. Its colour cube is not in plain RGB order:
// the three light blue levels come first, then the three dark ones, and inside
// each half red is the outer loop, blue the middle and green the inner one.
// The cube's black is left out; black fills the unused tail instead.
std::vector<Colour> EightBitPalette() {
    static constexpr int kCubeLevels[6] = {255, 204, 153, 102, 51, 0};
    std::vector<Colour> colours;
    colours.reserve(256);
    for (int half = 0; half < 2; ++half) {
        for (int red : kCubeLevels) {
            for (int blueStep = 0; blueStep < 3; ++blueStep) {
                const int blue = kCubeLevels[half * 3 + blueStep];
                for (int green : kCubeLevels) {
                    if (red == 0 && green == 0 && blue == 0) continue;
                    colours.push_back({static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                                       static_cast<std::uint8_t>(blue)});
                }
            }
        }
    }
    // Greys that the cube lacks.
    for (int level : {17, 34, 68, 85, 119, 136, 170, 187, 221, 238}) colours.push_back(Grey(level));
    // A few extra system colours; the device defines them with the cube's
    // levels 204 and 136, not the 192 and 128 of other platforms.
    colours.push_back({204, 204, 204});
    colours.push_back({136, 0, 0});
    colours.push_back({136, 0, 136});
    colours.push_back({0, 136, 0});
    colours.push_back({0, 136, 136});
    while (colours.size() < 256) colours.push_back({0, 0, 0});
    return colours;
}

}  // namespace

PalmPalette::PalmPalette(int depth) : m_depth(depth) {
    switch (depth) {
        case 1:
            m_colours = {Grey(255), Grey(0)};
            break;
        case 2:
            m_colours = {Grey(255), Grey(170), Grey(85), Grey(0)};
            break;
        case 4:
            for (int i = 0; i < 16; ++i) m_colours.push_back(Grey(255 - 17 * i));
            break;
        case 8:
            m_colours = EightBitPalette();
            break;
        default:
            throw std::invalid_argument("Palm palettes exist for 1, 2, 4 and 8 bits per pixel only");
    }
}

int PalmPalette::nearestIndex(int red, int green, int blue) const {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < m_colours.size(); ++i) {
        const int dr = red - m_colours[i][0];
        const int dg = green - m_colours[i][1];
        const int db = blue - m_colours[i][2];
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return best;
}
