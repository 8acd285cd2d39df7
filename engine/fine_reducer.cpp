#include "engine/fine_reducer.h"

#include "engine/cielab.h"
#include "engine/perceived_error_search.h"
#include "engine/pixel_packer.h"
#include "imagelib/color/linear_light.h"
#include "imagelib/image_bitmap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Byte positions inside a 32-bit pixel.
constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;

// A pixel's value with the errors it received, held near what the palette
// can show (0 to 1 in linear light, the whole sRGB cube at 8 bits and black
// to white at the grey depths). Inside that range the error passes on whole,
// so that an area keeps its mean light: a dark grey's white dot sends its
// neighbours below black, and they must stay there until that is paid back.
// Beyond half the range more, it is error that no choice of colour could ever
// pay back, and carrying it would spill it far across the picture.
float Bounded(float value) {
    return std::clamp(value, -0.5f, 1.5f);
}

// One share of a pixel's error: to the pixel dx ahead along the row (behind
// when negative) and dy rows down, as a fraction of the error.
struct Share {
    int dx;
    int dy;
    float weight;
};

constexpr int kMostRowsDown = 1;
constexpr int kMostReach = 1;

// Floyd-Steinberg: four neighbours, the error passed on whole. Chosen by
// measuring photos blurred as the eye merges dots, after the search, against
// Sierra's two kernels, Jarvis-Judice-Ninke and Stucki: it keeps the most
// detail. Stucki's wider spread once won at 1 bit, breaking up the regular
// patterns black and white alone fall into; the search breaks them up
// better, and from Stucki's start it ended 0.5% higher at the finest blur
// and 2 to 8% at the wider ones.
constexpr Share kFloydSteinberg[] = {
    {1, 0, 7 / 16.0f}, {-1, 1, 3 / 16.0f}, {0, 1, 5 / 16.0f}, {1, 1, 1 / 16.0f}};

// The errors still to come for the rows below and the rest of this row, for
// `channels` values per pixel; a margin on both sides takes the shares that
// fall off the picture.
class ErrorRows {
public:
    ErrorRows(int width, int channels)
        : m_width(width),
          m_channels(channels),
          m_rowValues(static_cast<std::size_t>(width + 2 * kMostReach) * static_cast<std::size_t>(channels)),
          m_values((kMostRowsDown + 1) * m_rowValues, 0.0f) {}

    // The errors of pixel x of the row `rowsDown` below the current one.
    float* at(int x, int rowsDown) {
        const std::size_t row = (m_first + static_cast<std::size_t>(rowsDown)) % (kMostRowsDown + 1);
        return m_values.data() + row * m_rowValues +
               static_cast<std::size_t>(x + kMostReach) * static_cast<std::size_t>(m_channels);
    }

    // Moves on to the next row; the one left behind is cleared for reuse.
    void nextRow() {
        std::fill_n(m_values.begin() + static_cast<std::ptrdiff_t>(m_first * m_rowValues), m_rowValues, 0.0f);
        m_first = (m_first + 1) % (kMostRowsDown + 1);
    }

    void spread(int x, bool leftward, std::span<const Share> kernel, const float* error) {
        for (const Share& share : kernel) {
            const int target = leftward ? x - share.dx : x + share.dx;
            if (target < 0 || target >= m_width) continue;
            float* values = at(target, share.dy);
            for (int c = 0; c < m_channels; ++c) values[c] += share.weight * error[c];
        }
    }

private:
    int m_width;
    int m_channels;
    std::size_t m_rowValues;
    std::vector<float> m_values;
    std::size_t m_first = 0;
};

// The palette as the eye sees it: each distinct entry (the lowest index of
// equal ones) in linear light and in CIELAB.
struct SeenEntry {
    int index;
    std::array<float, 3> linear;  // red, green, blue
    Lab lab;
};

std::vector<SeenEntry> SeenPalette(const PalmPalette& palette) {
    std::vector<SeenEntry> entries;
    for (int i = 0; i < palette.count(); ++i) {
        const bool repeated = std::any_of(entries.begin(), entries.end(), [&](const SeenEntry& entry) {
            return palette.red(entry.index) == palette.red(i) &&
                   palette.green(entry.index) == palette.green(i) &&
                   palette.blue(entry.index) == palette.blue(i);
        });
        if (repeated) continue;
        const std::array<float, 3> linear = {LinearFromSrgb(palette.red(i)), LinearFromSrgb(palette.green(i)),
                                             LinearFromSrgb(palette.blue(i))};
        entries.push_back({i, linear, LabFromLinear(linear[0], linear[1], linear[2])});
    }
    return entries;
}

// The nearest entry in CIELAB to an sRGB colour, worked out once for each
// cell of code values four wide on each side, and only for the cells a
// picture meets: searching the entries for every pixel would cost more than
// the rest of the conversion. A cell is matched by its middle, within two
// code values of any colour in it; the palette's entries lie at least 17
// apart, so each entry's own cell still matches that entry.
class NearestColors {
public:
    explicit NearestColors(const std::vector<SeenEntry>& entries)
        : m_entries(entries), m_cells(std::size_t{1} << (3 * kCellBits), kUnknown) {
        std::sort(m_entries.begin(), m_entries.end(),
                  [](const SeenEntry& a, const SeenEntry& b) { return a.lab.lightness < b.lab.lightness; });
    }

    int nearest(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        constexpr int kShift = 8 - kCellBits;
        const std::size_t cell = (static_cast<std::size_t>(red >> kShift) << (2 * kCellBits)) |
                                 (static_cast<std::size_t>(green >> kShift) << kCellBits) |
                                 static_cast<std::size_t>(blue >> kShift);
        std::uint16_t& known = m_cells[cell];
        if (known == kUnknown)
            known = static_cast<std::uint16_t>(search(Middle(red), Middle(green), Middle(blue)));
        return known;
    }

private:
    static constexpr int kCellBits = 6;
    static constexpr std::uint16_t kUnknown = 0xFFFF;

    static std::uint8_t Middle(std::uint8_t code) { return static_cast<std::uint8_t>((code & ~3) + 2); }

    int search(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
        const Lab lab = LabFromLinear(LinearFromSrgb(red), LinearFromSrgb(green), LinearFromSrgb(blue));
        // Outward from the entries of nearest lightness, on each side until
        // the difference in lightness alone is more than the best distance.
        const auto middle = std::lower_bound(
            m_entries.begin(), m_entries.end(), lab.lightness,
            [](const SeenEntry& entry, float lightness) { return entry.lab.lightness < lightness; });
        int best = 0;
        float bestDistance = std::numeric_limits<float>::max();
        const auto consider = [&](const SeenEntry& entry) {
            const float dl = entry.lab.lightness - lab.lightness;
            if (dl * dl > bestDistance) return false;
            const float distance = SquaredDistance(lab, entry.lab);
            // On equal distance the lowest index wins, as in the classic search.
            if (distance < bestDistance || (distance == bestDistance && entry.index < best)) {
                bestDistance = distance;
                best = entry.index;
            }
            return true;
        };
        for (auto above = middle; above != m_entries.end() && consider(*above); ++above) {
        }
        for (auto below = middle; below != m_entries.begin() && consider(*(below - 1)); --below) {
        }
        return best;
    }

    std::vector<SeenEntry> m_entries;  // by lightness
    std::vector<std::uint16_t> m_cells;
};

// The few entries nearest in CIELAB to an sRGB colour, for cells of code
// values eight wide on each side, worked out for the cells a picture meets.
// They are the ones worth trying for a pixel whose neighbourhood asks for
// that colour: the weighed error the search lowers is CIELAB's, near enough.
class NearbyColors {
public:
    explicit NearbyColors(const std::vector<SeenEntry>& entries)
        : m_cells(std::size_t{1} << (3 * kCellBits)) {
        for (std::size_t i = 0; i < entries.size(); ++i)
            m_byLightness.push_back({entries[i].lab, static_cast<std::uint8_t>(i)});
        std::sort(m_byLightness.begin(), m_byLightness.end(),
                  [](const Placed& a, const Placed& b) { return a.lab.lightness < b.lab.lightness; });
    }

    // For a colour given as light, 0 to 1 per channel: its cell is that of
    // its code values, found by one table instead of turning each channel
    // back into a code value (the search asks for every pixel it visits).
    std::span<const std::uint8_t> nearby(const float* light) {
        const std::size_t red = m_cellOfLight[LightIndex(light[0])];
        const std::size_t green = m_cellOfLight[LightIndex(light[1])];
        const std::size_t blue = m_cellOfLight[LightIndex(light[2])];
        Cell& known = m_cells[(red << (2 * kCellBits)) | (green << kCellBits) | blue];
        if (known.count == 0) fill(known, Middle(red), Middle(green), Middle(blue));
        return {known.positions.data(), known.count};
    }

private:
    static constexpr int kCellBits = 5;
    static constexpr std::size_t kNearby = 8;

    struct Placed {
        Lab lab;
        std::uint8_t position;
    };
    struct Cell {
        std::array<std::uint8_t, kNearby> positions;
        std::uint8_t count = 0;
    };

    static constexpr int kShift = 8 - kCellBits;
    using CellTable = std::array<std::uint8_t, 65536>;

    // The code value in the middle of a cell.
    static std::uint8_t Middle(std::size_t cell) { return static_cast<std::uint8_t>((cell << kShift) + 4); }
    // Light at 16 bits, rounded as SrgbFromLinear rounds it.
    static std::size_t LightIndex(float light) {
        return static_cast<std::size_t>(std::clamp(light, 0.0f, 1.0f) * 65535.0f + 0.5f);
    }
    static const CellTable& CellOfLight() {
        static const CellTable table = [] {
            CellTable cells{};
            for (std::size_t light = 0; light < cells.size(); ++light)
                cells[light] =
                    static_cast<std::uint8_t>(SrgbFromLinear16(static_cast<std::uint16_t>(light)) >> kShift);
            return cells;
        }();
        return table;
    }

    // Outward from the entries of nearest lightness, as NearestColors
    // searches, keeping the nearest few found so far in order.
    void fill(Cell& cell, std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
        const Lab lab = LabFromLinear(LinearFromSrgb(red), LinearFromSrgb(green), LinearFromSrgb(blue));
        std::array<float, kNearby> distances{};
        std::size_t count = 0;
        const auto consider = [&](const Placed& entry) {
            const float dl = entry.lab.lightness - lab.lightness;
            if (count == kNearby && dl * dl > distances[kNearby - 1]) return false;
            const float distance = SquaredDistance(lab, entry.lab);
            if (count == kNearby && distance >= distances[kNearby - 1]) return true;
            std::size_t at = count < kNearby ? count++ : kNearby - 1;
            for (; at > 0 && distances[at - 1] > distance; --at) {
                distances[at] = distances[at - 1];
                cell.positions[at] = cell.positions[at - 1];
            }
            distances[at] = distance;
            cell.positions[at] = entry.position;
            return true;
        };
        const auto middle = std::lower_bound(
            m_byLightness.begin(), m_byLightness.end(), lab.lightness,
            [](const Placed& entry, float lightness) { return entry.lab.lightness < lightness; });
        for (auto above = middle; above != m_byLightness.end() && consider(*above); ++above) {
        }
        for (auto below = middle; below != m_byLightness.begin() && consider(*(below - 1)); --below) {
        }
        cell.count = static_cast<std::uint8_t>(count);
    }

    const CellTable& m_cellOfLight = CellOfLight();
    std::vector<Placed> m_byLightness;
    std::vector<Cell> m_cells;
};

// Walks the picture in the order its error travels (serpentine when
// dithering) and asks `choose` for each pixel's entry, as a position among
// the entries.
template <typename ChooseEntry>
std::vector<std::uint8_t> DiffuseRows(const CImageBitmap& picture, bool dither, ErrorRows& errors,
                                      ChooseEntry choose) {
    const int width = picture.GetWidth();
    std::vector<std::uint8_t> chosen(static_cast<std::size_t>(width) *
                                     static_cast<std::size_t>(picture.GetHeight()));
    for (int y = 0; y < picture.GetHeight(); ++y) {
        const std::uint8_t* row = picture.GetRows()[y];
        const bool leftward = dither && y % 2 == 1;
        std::uint8_t* chosenRow =
            chosen.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int step = 0; step < width; ++step) {
            const int x = leftward ? width - 1 - step : step;
            chosenRow[x] =
                static_cast<std::uint8_t>(choose(row + 4 * static_cast<std::size_t>(x), x, leftward));
        }
        if (dither) errors.nextRow();
    }
    return chosen;
}

float LuminanceOfPixel(const std::uint8_t* pixel) {
    return Luminance(LinearFromSrgb(pixel[kRed]), LinearFromSrgb(pixel[kGreen]),
                     LinearFromSrgb(pixel[kBlue]));
}

// Thresholds of an ordered dither, 0 to 63, dispersed over 8x8 pixels: each
// 2x2 block of thresholds holds one of each quarter, recursively.
int OrderedThreshold(int x, int y) {
    static constexpr int kTwo[2][2] = {{0, 2}, {3, 1}};
    int threshold = 0;
    for (int scale = 1; scale < 8; scale *= 2)
        threshold = 4 * threshold + kTwo[(y / scale) % 2][(x / scale) % 2];
    return threshold;
}

// Each pixel takes one of the two entries around its light, the upper one
// where its share of the step between them passes an ordered dither's
// threshold: `levels` from dark to light.
std::vector<std::uint8_t> OrderedRows(const CImageBitmap& picture, const std::vector<SeenEntry>& levels) {
    const int width = picture.GetWidth();
    std::vector<std::uint8_t> chosen(static_cast<std::size_t>(width) *
                                     static_cast<std::size_t>(picture.GetHeight()));
    auto next = chosen.begin();
    for (int y = 0; y < picture.GetHeight(); ++y) {
        const std::uint8_t* row = picture.GetRows()[y];
        for (int x = 0; x < width; ++x, ++next) {
            const float light = LuminanceOfPixel(row + 4 * static_cast<std::size_t>(x));
            std::size_t below = 0;
            while (below + 1 < levels.size() && levels[below + 1].linear[0] <= light) ++below;
            std::size_t best = below;
            if (below + 1 < levels.size() && light > levels[below].linear[0]) {
                const float bottom = levels[below].linear[0];
                const float share = (light - bottom) / (levels[below + 1].linear[0] - bottom);
                if (share * 64.0f > static_cast<float>(OrderedThreshold(x, y)) + 0.5f) ++best;
            }
            *next = static_cast<std::uint8_t>(best);
        }
    }
    return chosen;
}

// The grey palettes: matched on lightness, the error spread as luminance.
// Where the search may change pixels' own entries, it starts from an ordered
// dither instead, whose dots are spread as evenly as dots can be: from error
// diffusion's, whose dots run in worms and clumps the search cannot break up
// a pixel at a time, it ended 0.2 to 1.3% higher as the eye sees it at the
// finest blur on photos at 4 bits, and about the same at the wider ones.
// Where it may only trade entries, the start's tone is the picture's, and
// only diffusion keeps every area's: an ordered dither's 64 thresholds leave
// dark shades at 1 bit a few lightness units too dark.
void ReduceToGreys(const CImageBitmap& picture, bool dither, const std::vector<SeenEntry>& entries,
                   IndexPacker& packer) {
    // The entries from dark to light, and the luminance half-way in lightness
    // from each to the next: above it, the next is the nearer.
    std::vector<SeenEntry> levels = entries;
    std::sort(levels.begin(), levels.end(),
              [](const SeenEntry& a, const SeenEntry& b) { return a.lab.lightness < b.lab.lightness; });
    std::vector<float> halfway;
    for (std::size_t i = 0; i + 1 < levels.size(); ++i)
        halfway.push_back(LuminanceOf((levels[i].lab.lightness + levels[i + 1].lab.lightness) / 2.0f));
    std::vector<float> light;
    for (const SeenEntry& level : levels) light.push_back(level.linear[0]);
    // On one channel the entry that lowers the error most is the one nearest
    // to the ideal light: one of the two around it.
    std::array<std::uint8_t, 2> around{};
    const PerceivedErrorSearch search(1, light, [&]() -> PerceivedErrorSearch::Candidates {
        return [&](const float* ideal) {
            const auto above = std::lower_bound(light.begin(), light.end(), ideal[0]);
            const auto at = static_cast<std::uint8_t>(std::min<std::ptrdiff_t>(
                above - light.begin(), static_cast<std::ptrdiff_t>(light.size()) - 1));
            around = {at, static_cast<std::uint8_t>(at == 0 ? 0 : at - 1)};
            return std::span<const std::uint8_t>(around);
        };
    });
    const std::span<const Share> kernel(kFloydSteinberg);
    ErrorRows errors(picture.GetWidth(), 1);
    std::vector<std::uint8_t> chosen =
        dither && search.changesOwnEntries()
            ? OrderedRows(picture, levels)
            : DiffuseRows(picture, dither, errors, [&](const std::uint8_t* pixel, int x, bool leftward) {
                  const float own = LuminanceOfPixel(pixel);
                  const float value = dither ? Bounded(own + *errors.at(x, 0)) : own;
                  std::size_t best = 0;
                  while (best < halfway.size() && value > halfway[best]) ++best;
                  if (dither) {
                      const float error = value - levels[best].linear[0];
                      errors.spread(x, leftward, kernel, &error);
                  }
                  return best;
              });
    if (dither)
        search.refine(
            picture.GetWidth(), picture.GetHeight(),
            [&](int y, float* values) {
                const std::uint8_t* row = picture.GetRows()[y];
                for (int x = 0; x < picture.GetWidth(); ++x) values[x] = LuminanceOfPixel(row + 4 * x);
            },
            chosen);
    for (const std::uint8_t position : chosen) packer.put(levels[position].index);
}

// The colour palette: matched in CIELAB, the error spread per channel.
void ReduceToColors(const CImageBitmap& picture, bool dither, const std::vector<SeenEntry>& entries,
                    IndexPacker& packer) {
    NearestColors nearest(entries);
    std::array<std::uint8_t, 256> positionOf{};
    for (std::size_t i = 0; i < entries.size(); ++i)
        positionOf[static_cast<std::size_t>(entries[i].index)] = static_cast<std::uint8_t>(i);
    const std::span<const Share> kernel(kFloydSteinberg);
    ErrorRows errors(picture.GetWidth(), 3);
    std::vector<std::uint8_t> chosen =
        DiffuseRows(picture, dither, errors, [&](const std::uint8_t* pixel, int x, bool leftward) {
            if (!dither)
                return positionOf[static_cast<std::size_t>(
                    nearest.nearest(pixel[kRed], pixel[kGreen], pixel[kBlue]))];
            const float* received = errors.at(x, 0);
            const std::array<float, 3> value = {Bounded(LinearFromSrgb(pixel[kRed]) + received[0]),
                                                Bounded(LinearFromSrgb(pixel[kGreen]) + received[1]),
                                                Bounded(LinearFromSrgb(pixel[kBlue]) + received[2])};
            const std::uint8_t position = positionOf[static_cast<std::size_t>(nearest.nearest(
                SrgbFromLinear(value[0]), SrgbFromLinear(value[1]), SrgbFromLinear(value[2])))];
            const SeenEntry& entry = entries[position];
            const float error[3] = {value[0] - entry.linear[0], value[1] - entry.linear[1],
                                    value[2] - entry.linear[2]};
            errors.spread(x, leftward, kernel, error);
            return position;
        });
    if (dither) {
        std::vector<float> light;
        for (const SeenEntry& entry : entries)
            light.insert(light.end(), entry.linear.begin(), entry.linear.end());
        // Each thread of the search fills cells of its own.
        const PerceivedErrorSearch search(3, light, [&]() -> PerceivedErrorSearch::Candidates {
            auto nearby = std::make_shared<NearbyColors>(entries);
            return [nearby](const float* ideal) { return nearby->nearby(ideal); };
        });
        search.refine(
            picture.GetWidth(), picture.GetHeight(),
            [&](int y, float* values) {
                const std::uint8_t* row = picture.GetRows()[y];
                for (int x = 0; x < picture.GetWidth(); ++x) {
                    const std::uint8_t* pixel = row + 4 * x;
                    values[3 * x] = LinearFromSrgb(pixel[kRed]);
                    values[3 * x + 1] = LinearFromSrgb(pixel[kGreen]);
                    values[3 * x + 2] = LinearFromSrgb(pixel[kBlue]);
                }
            },
            chosen);
    }
    for (const std::uint8_t position : chosen) packer.put(entries[position].index);
}

}  // namespace

void FineReducer::reduce(CImageBitmap& picture, bool dither, const PalmPalette& palette,
                         std::span<std::uint8_t> destination) const {
    if (picture.GetDepth() != 32)
        throw std::invalid_argument("only 32-bit pictures can be reduced to Palm pixels");
    const int width = picture.GetWidth();
    const int height = picture.GetHeight();
    const std::uint64_t bits = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                               static_cast<std::uint64_t>(palette.depth());
    if ((bits + 7) / 8 > destination.size())
        throw std::invalid_argument("the pixel buffer is too small for the picture");
    if (destination.empty()) return;

    const std::vector<SeenEntry> entries = SeenPalette(palette);
    const bool allGrey = std::all_of(entries.begin(), entries.end(), [](const SeenEntry& entry) {
        return entry.linear[0] == entry.linear[1] && entry.linear[1] == entry.linear[2];
    });
    IndexPacker packer(palette.depth(), destination);
    if (allGrey)
        ReduceToGreys(picture, dither, entries, packer);
    else
        ReduceToColors(picture, dither, entries, packer);
}
