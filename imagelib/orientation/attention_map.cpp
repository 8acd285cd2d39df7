#include "imagelib/orientation/attention_map.h"

#include "imagelib/orientation/exif_orientation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

// How much each measure weighs: an edge as strong as black against white,
// a pixel of skin, a fully saturated pixel. Tuned on pictures with their
// subject off the middle.
constexpr double kEdgeWeight = 1.0;
constexpr double kSkinWeight = 0.6;
constexpr double kSaturationWeight = 0.3;
// How many times its average over the picture a measure must pass to count.
constexpr double kEdgeAverages = 1.0;
constexpr double kSaturationAverages = 2.0;
// Colours less saturated than this are the picture's ground, not a subject.
constexpr double kSaturationFloor = 0.25;

using Rgb = AttentionSums::Rgb;

// Where pixel (x, y) of the upright picture is stored, for a stored picture
// of width x height.
void StoredPoint(int orientation, int x, int y, int width, int height, int& storedX, int& storedY) {
    switch (orientation) {
        case kOrientationMirrored:
            storedX = width - 1 - x, storedY = y;
            return;
        case kOrientationHalfTurn:
            storedX = width - 1 - x, storedY = height - 1 - y;
            return;
        case kOrientationFlipped:
            storedX = x, storedY = height - 1 - y;
            return;
        case kOrientationTransposed:
            storedX = y, storedY = x;
            return;
        case kOrientationQuarterClockwise:
            storedX = y, storedY = height - 1 - x;
            return;
        case kOrientationTransverse:
            storedX = width - 1 - y, storedY = height - 1 - x;
            return;
        case kOrientationQuarterAnticlockwise:
            storedX = width - 1 - y, storedY = x;
            return;
        default:
            storedX = x, storedY = y;
            return;
    }
}

double Light(const Rgb& c) {
    return 0.2126 * c.red + 0.7152 * c.green + 0.0722 * c.blue;
}

// Skin of any people's: red above green above blue, in the band of hues and
// red shares that skin keeps in every light, neither too dark nor white.
double Skin(const Rgb& c) {
    const double total = c.red + c.green + c.blue;
    if (total < 0.45 || total > 2.85 || !(c.red > c.green && c.green > c.blue)) return 0.0;
    const double redShare = c.red / total;
    const double greenShare = c.green / total;
    // Sand, wood and bare earth share skin's hue but not its redness.
    const bool reddish = c.red - c.green > 0.14 * c.red && c.red - c.blue > 0.25 * c.red;
    return reddish && redShare > 0.36 && redShare < 0.47 && greenShare > 0.28 && greenShare < 0.34 ? 1.0
                                                                                                   : 0.0;
}

double Saturation(const Rgb& c) {
    const double high = std::max({c.red, c.green, c.blue});
    const double low = std::min({c.red, c.green, c.blue});
    const double chroma = high - low;
    return std::max(0.0, chroma - kSaturationFloor) / (1.0 - kSaturationFloor);
}

// The sums of every row of a 32-bit `picture`; of none for another depth.
AttentionSums SumsOf(const CImageBitmap& picture) {
    if (picture.GetDepth() != 32) return {0, 0};
    AttentionSums sums(picture.GetWidth(), picture.GetHeight());
    for (int y = 0; y < picture.GetHeight(); ++y) sums.AddRow(picture.GetRows()[y]);
    return sums;
}

}  // namespace

AttentionSums::AttentionSums(int storedWidth, int storedHeight)
    : m_storedWidth(storedWidth), m_storedHeight(storedHeight) {
    if (storedWidth <= 0 || storedHeight <= 0) {
        m_storedWidth = m_storedHeight = 0;
        return;
    }
    const int longSide = std::max(storedWidth, storedHeight);
    m_shrink = (longSide + AttentionMap::kLongSide - 1) / AttentionMap::kLongSide;
    m_mapWidth = (storedWidth + m_shrink - 1) / m_shrink;
    m_mapHeight = (storedHeight + m_shrink - 1) / m_shrink;
    m_sums.assign(3 * static_cast<std::size_t>(m_mapWidth), 0);
    m_map.reserve(static_cast<std::size_t>(m_mapWidth) * static_cast<std::size_t>(m_mapHeight));
}

void AttentionSums::AddRow(const std::uint8_t* pixel) {
    if (m_rowsAdded >= m_storedHeight) return;
    for (int mapX = 0; mapX < m_mapWidth; ++mapX) {
        std::uint32_t blue = 0, green = 0, red = 0;
        const int count = std::min(m_storedWidth - mapX * m_shrink, m_shrink);
        for (int i = 0; i < count; ++i, pixel += 4) {
            blue += pixel[0];
            green += pixel[1];
            red += pixel[2];
        }
        std::uint64_t* sum = &m_sums[3 * static_cast<std::size_t>(mapX)];
        sum[0] += red, sum[1] += green, sum[2] += blue;
    }
    ++m_rowsAdded;
    if (m_rowsAdded % m_shrink == 0 || m_rowsAdded == m_storedHeight) CompleteMapRow();
}

void AttentionSums::CompleteMapRow() {
    const int firstRow = static_cast<int>(m_map.size() / static_cast<std::size_t>(m_mapWidth)) * m_shrink;
    const int rows = std::min(m_storedHeight, firstRow + m_shrink) - firstRow;
    for (int mapX = 0; mapX < m_mapWidth; ++mapX) {
        const int columns = std::min(m_storedWidth - mapX * m_shrink, m_shrink);
        const double count = static_cast<double>(columns) * rows * 255.0;
        const std::uint64_t* sum = &m_sums[3 * static_cast<std::size_t>(mapX)];
        m_map.push_back({static_cast<float>(static_cast<double>(sum[0]) / count),
                         static_cast<float>(static_cast<double>(sum[1]) / count),
                         static_cast<float>(static_cast<double>(sum[2]) / count)});
    }
    std::fill(m_sums.begin(), m_sums.end(), 0);
}

AttentionMap::AttentionMap(const CImageBitmap& picture, int orientation)
    : AttentionMap(SumsOf(picture), orientation) {}

AttentionMap::AttentionMap(AttentionSums sums, int orientation) {
    if (sums.m_mapWidth <= 0 || sums.m_mapHeight <= 0) return;
    // Rows never added are zero pixels.
    if (sums.m_rowsAdded < sums.m_storedHeight) {
        const std::vector<std::uint8_t> zero(4 * static_cast<std::size_t>(sums.m_storedWidth), 0);
        while (sums.m_rowsAdded < sums.m_storedHeight) sums.AddRow(zero.data());
    }
    m_shrink = sums.m_shrink;
    const int mapWidth = sums.m_mapWidth;
    const int mapHeight = sums.m_mapHeight;
    std::vector<Rgb> stored = std::move(sums.m_map);
    const bool swapped = SwapsSides(orientation);
    m_width = swapped ? mapHeight : mapWidth;
    m_height = swapped ? mapWidth : mapHeight;
    const auto count = static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
    std::vector<Rgb> upright(count);
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x) {
            int storedX = 0, storedY = 0;
            StoredPoint(orientation, x, y, mapWidth, mapHeight, storedX, storedY);
            upright[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
                    static_cast<std::size_t>(x)] =
                stored[static_cast<std::size_t>(storedY) * static_cast<std::size_t>(mapWidth) +
                       static_cast<std::size_t>(storedX)];
        }
    const auto light = [&](int x, int y) {
        x = std::clamp(x, 0, m_width - 1);
        y = std::clamp(y, 0, m_height - 1);
        return Light(upright[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
                             static_cast<std::size_t>(x)]);
    };
    // What the whole picture is full of (grass, waves, a sky) draws no eye:
    // each measure counts only where it stands out above its average.
    stored = {};
    std::vector<float> edges(count);
    std::vector<float> saturations(count);
    double edgeSum = 0;
    double saturationSum = 0;
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x) {
            const std::size_t at =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x);
            edges[at] = static_cast<float>(std::abs(4 * light(x, y) - light(x - 1, y) - light(x + 1, y) -
                                                    light(x, y - 1) - light(x, y + 1)));
            saturations[at] = static_cast<float>(Saturation(upright[at]));
            edgeSum += edges[at];
            saturationSum += saturations[at];
        }
    const double edgeFloor = kEdgeAverages * edgeSum / static_cast<double>(count);
    const double saturationFloor = kSaturationAverages * saturationSum / static_cast<double>(count);
    m_interest.resize(count);
    for (std::size_t at = 0; at < count; ++at)
        m_interest[at] = static_cast<float>(
            kEdgeWeight * std::max(0.0, edges[at] - edgeFloor) + kSkinWeight * Skin(upright[at]) +
            kSaturationWeight * std::max(0.0, saturations[at] - saturationFloor));
}

int AttentionMap::BestStart(const PixelRect& box, bool across, int size) const {
    const int boxStart = across ? box.left : box.top;
    const int boxExtent = across ? box.width : box.height;
    const int last = boxStart + boxExtent - size;
    const int middle = boxStart + (boxExtent - size) / 2;
    if (m_interest.empty() || last <= boxStart) return std::clamp(middle, boxStart, std::max(boxStart, last));
    // The interest of each line of the small copy across the span's way,
    // within the box's other side, summed up to each line.
    const int lines = across ? m_width : m_height;
    const int otherFirst = across ? box.top : box.left;
    const int otherPixels = across ? box.height : box.width;
    const int otherStart = otherFirst / m_shrink;
    const int otherEnd =
        std::min((otherFirst + otherPixels + m_shrink - 1) / m_shrink, across ? m_height : m_width);
    std::vector<double> upTo(static_cast<std::size_t>(lines) + 1, 0.0);
    for (int line = 0; line < lines; ++line) {
        double sum = 0;
        for (int other = otherStart; other < otherEnd; ++other)
            sum += across ? At(line, other) : At(other, line);
        upTo[static_cast<std::size_t>(line) + 1] = upTo[static_cast<std::size_t>(line)] + sum;
    }
    // The interest up to an upright pixel, taking a part of a line in proportion.
    const auto interestUpTo = [&](int pixel) {
        const double at = static_cast<double>(pixel) / m_shrink;
        const int line = std::clamp(static_cast<int>(at), 0, lines);
        const double part = line < lines ? (at - line) * (upTo[static_cast<std::size_t>(line) + 1] -
                                                          upTo[static_cast<std::size_t>(line)])
                                         : 0.0;
        return upTo[static_cast<std::size_t>(line)] + part;
    };
    int best = middle;
    double bestInterest = interestUpTo(middle + size) - interestUpTo(middle);
    for (int start = boxStart; start <= last; ++start) {
        const double interest = interestUpTo(start + size) - interestUpTo(start);
        if (interest > bestInterest ||
            (interest == bestInterest && std::abs(start - middle) < std::abs(best - middle))) {
            best = start;
            bestInterest = interest;
        }
    }
    return best;
}
