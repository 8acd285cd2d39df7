#include "engine/fine_reducer.h"

#include "engine/pixel_packer.h"
#include "imagelib/color/linear_light.h"
#include "imagelib/image_bitmap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

// Byte positions inside a 32-bit pixel.
constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;

// Relative luminance of linear sRGB (ITU-R BT.709 primaries, D65 white).
float Luminance(float red, float green, float blue) {
    return 0.2126f * red + 0.7152f * green + 0.0722f * blue;
}

// CIELAB's lightness curve, on a value relative to the white point.
float LabCurve(float t) {
    constexpr float kEpsilon = 216.0f / 24389.0f;
    constexpr float kKappa = 24389.0f / 27.0f;
    return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0f) / 116.0f;
}

// The luminance of a CIELAB lightness.
float LuminanceOf(float lightness) {
    const float f = (lightness + 16.0f) / 116.0f;
    return f * f * f > 216.0f / 24389.0f ? f * f * f : lightness * 27.0f / 24389.0f;
}

struct Lab {
    float lightness;
    float a;
    float b;
};

Lab LabFromLinear(float red, float green, float blue) {
    // sRGB to XYZ, each row divided by the D65 white's own X, Y or Z.
    const float x = (0.4124f * red + 0.3576f * green + 0.1805f * blue) / 0.95047f;
    const float y = Luminance(red, green, blue);
    const float z = (0.0193f * red + 0.1192f * green + 0.9505f * blue) / 1.08883f;
    const float fx = LabCurve(x);
    const float fy = LabCurve(y);
    const float fz = LabCurve(z);
    return {116.0f * fy - 16.0f, 500.0f * (fx - fy), 200.0f * (fy - fz)};
}

float SquaredDistance(const Lab& p, const Lab& q) {
    const float dl = p.lightness - q.lightness;
    const float da = p.a - q.a;
    const float db = p.b - q.b;
    return dl * dl + da * da + db * db;
}

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

constexpr int kMostRowsDown = 2;
constexpr int kMostReach = 2;

// Floyd-Steinberg: four neighbours, the error passed on whole.
constexpr Share kFloydSteinberg[] = {
    {1, 0, 7 / 16.0f}, {-1, 1, 3 / 16.0f}, {0, 1, 5 / 16.0f}, {1, 1, 1 / 16.0f}};
// Stucki: twelve neighbours over three rows. With only black and white the
// error spread wider breaks up the regular patterns and the slow drifts of
// tone Floyd-Steinberg leaves.
constexpr Share kStucki[] = {{1, 0, 8 / 42.0f},  {2, 0, 4 / 42.0f}, {-2, 1, 2 / 42.0f}, {-1, 1, 4 / 42.0f},
                             {0, 1, 8 / 42.0f},  {1, 1, 4 / 42.0f}, {2, 1, 2 / 42.0f},  {-2, 2, 1 / 42.0f},
                             {-1, 2, 2 / 42.0f}, {0, 2, 4 / 42.0f}, {1, 2, 2 / 42.0f},  {2, 2, 1 / 42.0f}};

// Chosen by measuring photos blurred as the eye merges dots, against
// Sierra's two kernels and Jarvis-Judice-Ninke as well: Floyd-Steinberg
// keeps the most detail wherever there are levels between black and white;
// at 1 bit Stucki's wider spread wins.
std::span<const Share> KernelForDepth(int depth) {
    return depth == 1 ? std::span<const Share>(kStucki) : std::span<const Share>(kFloydSteinberg);
}

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

// Walks the picture in the order its error travels (serpentine when
// dithering), asks `choose` for each pixel's index, and packs each row.
template <typename ChooseIndex>
void ReduceRows(const CImageBitmap& picture, bool dither, ErrorRows& errors, IndexPacker& packer,
                ChooseIndex choose) {
    const int width = picture.GetWidth();
    std::vector<int> indexes(static_cast<std::size_t>(width));
    for (int y = 0; y < picture.GetHeight(); ++y) {
        const std::uint8_t* row = picture.GetRows()[y];
        const bool leftward = dither && y % 2 == 1;
        for (int step = 0; step < width; ++step) {
            const int x = leftward ? width - 1 - step : step;
            indexes[static_cast<std::size_t>(x)] = choose(row + 4 * static_cast<std::size_t>(x), x, leftward);
        }
        for (const int index : indexes) packer.put(index);
        if (dither) errors.nextRow();
    }
}

// The grey palettes: matched on lightness, the error spread as luminance.
void ReduceToGreys(const CImageBitmap& picture, bool dither, const std::vector<SeenEntry>& entries,
                   IndexPacker& packer, int depth) {
    // The entries from dark to light, and the luminance half-way in lightness
    // from each to the next: above it, the next is the nearer.
    std::vector<SeenEntry> levels = entries;
    std::sort(levels.begin(), levels.end(),
              [](const SeenEntry& a, const SeenEntry& b) { return a.lab.lightness < b.lab.lightness; });
    std::vector<float> halfway;
    for (std::size_t i = 0; i + 1 < levels.size(); ++i)
        halfway.push_back(LuminanceOf((levels[i].lab.lightness + levels[i + 1].lab.lightness) / 2.0f));
    const std::span<const Share> kernel = KernelForDepth(depth);
    ErrorRows errors(picture.GetWidth(), 1);
    ReduceRows(picture, dither, errors, packer, [&](const std::uint8_t* pixel, int x, bool leftward) {
        const float own = Luminance(LinearFromSrgb(pixel[kRed]), LinearFromSrgb(pixel[kGreen]),
                                    LinearFromSrgb(pixel[kBlue]));
        const float value = dither ? Bounded(own + *errors.at(x, 0)) : own;
        std::size_t best = 0;
        while (best < halfway.size() && value > halfway[best]) ++best;
        if (dither) {
            const float error = value - levels[best].linear[0];
            errors.spread(x, leftward, kernel, &error);
        }
        return levels[best].index;
    });
}

// The colour palette: matched in CIELAB, the error spread per channel.
void ReduceToColors(const CImageBitmap& picture, bool dither, const std::vector<SeenEntry>& entries,
                    IndexPacker& packer, int depth) {
    NearestColors nearest(entries);
    std::array<const SeenEntry*, 256> byIndex{};
    for (const SeenEntry& entry : entries) byIndex[static_cast<std::size_t>(entry.index)] = &entry;
    const std::span<const Share> kernel = KernelForDepth(depth);
    ErrorRows errors(picture.GetWidth(), 3);
    ReduceRows(picture, dither, errors, packer, [&](const std::uint8_t* pixel, int x, bool leftward) {
        if (!dither) return nearest.nearest(pixel[kRed], pixel[kGreen], pixel[kBlue]);
        const float* received = errors.at(x, 0);
        const std::array<float, 3> value = {Bounded(LinearFromSrgb(pixel[kRed]) + received[0]),
                                            Bounded(LinearFromSrgb(pixel[kGreen]) + received[1]),
                                            Bounded(LinearFromSrgb(pixel[kBlue]) + received[2])};
        const int index =
            nearest.nearest(SrgbFromLinear(value[0]), SrgbFromLinear(value[1]), SrgbFromLinear(value[2]));
        const SeenEntry& chosen = *byIndex[static_cast<std::size_t>(index)];
        const float error[3] = {value[0] - chosen.linear[0], value[1] - chosen.linear[1],
                                value[2] - chosen.linear[2]};
        errors.spread(x, leftward, kernel, error);
        return index;
    });
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
        ReduceToGreys(picture, dither, entries, packer, palette.depth());
    else
        ReduceToColors(picture, dither, entries, packer, palette.depth());
}
