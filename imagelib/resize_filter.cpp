#include "imagelib/resize_filter.h"

#include "imagelib/decode_limits.h"
#include "imagelib/exif_orientation.h"
#include "imagelib/image_limits.h"
#include "imagelib/linear_light.h"
#include "imagelib/parallel_rows.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const char kOutOfMemory[] = "Out of memory creating bitmap.";
// Intermediates are held to the ceiling of the bitmaps they become.
constexpr DecodeLimits kCeiling{};

// Triangle of radius 1: full weight at the centre, none from one pixel away.
constexpr double kTentRadius = 1.0;

double Tent(double x) {
    const double distance = std::fabs(x);
    return distance < kTentRadius ? kTentRadius - distance : 0.0;
}

// The source pixels of one output pixel in the linear-light mode, with pixel
// centres where they belong: source pixel k covers [k, k + 1) and output pixel
// i covers [i, i + 1) / scale. Weights from the returned index on; not yet
// normalised.
//
// A shrinking side averages each output pixel's own area, every source pixel
// by the share of it the output pixel covers. Measured on photos against a
// wider tent and against a box shrink followed by Lanczos-3, the error after
// dithering was within a few percent of the best, while neither aliasing on
// 40x shrinks nor ringing at edges (the area has no negative lobes), and it
// reads the fewest source pixels per output pixel of the three.
int LinearLightWeights(int i, int outSize, int inSize, std::vector<double>& weights) {
    const double scale = static_cast<double>(outSize) / static_cast<double>(inSize);
    weights.clear();
    if (scale >= 1.0) {
        // Enlarging interpolates between the two nearest centres.
        const double centre = (i + 0.5) / scale - 0.5;
        const int left = std::clamp(static_cast<int>(std::floor(centre)), 0, inSize - 1);
        const int right = std::min(left + 1, inSize - 1);
        const double fraction = std::clamp(centre - left, 0.0, 1.0);
        weights.push_back(right == left ? 1.0 : 1.0 - fraction);
        if (right != left) weights.push_back(fraction);
        return left;
    }
    const double start = i / scale;
    const double end = (i + 1) / scale;
    const int left = static_cast<int>(std::floor(start));
    const int right = std::min(inSize - 1, static_cast<int>(std::ceil(end)) - 1);
    for (int k = left; k <= right; ++k)
        weights.push_back(std::max(0.0, std::min<double>(k + 1, end) - std::max<double>(k, start)));
    return left;
}

// For one pass: which source pixels make up each output pixel, and with what
// weights. Computed once per output index and reused across the other side.
class ContributionTable {
public:
    ContributionTable(int outSize, int inSize, bool linearLight = false) {
        if (linearLight) {
            BuildLinearLight(outSize, inSize);
            return;
        }
        const double scale = static_cast<double>(outSize) / static_cast<double>(inSize);
        // Shrinking widens the kernel so that the output averages over every
        // source pixel it covers; enlarging interpolates between neighbours.
        double width = kTentRadius;
        double factor = 1.0;
        if (scale < 1.0) {
            width = kTentRadius / scale;
            factor = scale;
        }
        m_maxContributors = 2 * static_cast<int>(std::ceil(width)) + 1;
        m_left.resize(static_cast<std::size_t>(outSize));
        m_right.resize(static_cast<std::size_t>(outSize));
        m_weights.assign(static_cast<std::size_t>(outSize) * static_cast<std::size_t>(m_maxContributors),
                         0.0);

        for (int i = 0; i < outSize; ++i) {
            // No half-pixel offset: output pixel 0 sits on source pixel 0.
            const double centre = static_cast<double>(i) / scale;
            int left = static_cast<int>(std::floor(centre - width));
            int right = static_cast<int>(std::ceil(centre + width));
            if (left < 0) left = 0;
            if (right > inSize - 1) right = inSize - 1;
            // Both ends can land on a pixel of zero weight; dropping one keeps
            // the range within the table.
            if (right - left + 1 > m_maxContributors) {
                if (left < inSize)
                    ++left;
                else
                    --right;
            }
            double* weights = Weights(i);
            double sum = 0.0;
            for (int k = left; k <= right; ++k) {
                const double weight = factor * Tent((centre - static_cast<double>(k)) * factor);
                weights[k - left] = weight;
                sum += weight;
            }
            if (sum > 0.0)
                for (int k = left; k <= right; ++k) weights[k - left] /= sum;
            m_left[static_cast<std::size_t>(i)] = left;
            m_right[static_cast<std::size_t>(i)] = right;
        }
    }

    // Room for the weights of one output pixel: the most sources any output
    // pixel can have. Beyond an output pixel's own sources its weights are 0.
    int Taps() const { return m_maxContributors; }
    int Left(int i) const { return m_left[static_cast<std::size_t>(i)]; }
    int Right(int i) const { return m_right[static_cast<std::size_t>(i)]; }
    const double* Weights(int i) const {
        return m_weights.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(m_maxContributors);
    }

private:
    double* Weights(int i) {
        return m_weights.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(m_maxContributors);
    }

    void BuildLinearLight(int outSize, int inSize) {
        m_left.resize(static_cast<std::size_t>(outSize));
        m_right.resize(static_cast<std::size_t>(outSize));
        std::vector<double> weights;
        m_maxContributors = 1;
        for (int i = 0; i < outSize; ++i) {
            const int left = LinearLightWeights(i, outSize, inSize, weights);
            m_left[static_cast<std::size_t>(i)] = left;
            m_right[static_cast<std::size_t>(i)] = left + static_cast<int>(weights.size()) - 1;
            m_maxContributors = std::max(m_maxContributors, static_cast<int>(weights.size()));
        }
        m_weights.assign(static_cast<std::size_t>(outSize) * static_cast<std::size_t>(m_maxContributors), 0.0);
        for (int i = 0; i < outSize; ++i) {
            LinearLightWeights(i, outSize, inSize, weights);
            double sum = 0.0;
            for (double weight : weights) sum += weight;
            double* out = Weights(i);
            for (std::size_t k = 0; k < weights.size(); ++k) out[k] = sum != 0.0 ? weights[k] / sum : 0.0;
        }
    }

    int m_maxContributors = 0;
    std::vector<int> m_left;
    std::vector<int> m_right;
    std::vector<double> m_weights;
};

// The weighted sum is rounded by adding 0.5 and truncating. Weights are
// non-negative and sum to 1, so the result never leaves 0..255.
std::uint8_t RoundToByte(double value) {
    return static_cast<std::uint8_t>(value + 0.5);
}

// Four doubles side by side: one pixel's bytes, summed each on its own. GCC
// and Clang map this onto the widest vector unit the function is built for.
// Buffers hold plain doubles, four per pixel, copied in and out of Lanes, so
// no buffer needs the vector type's alignment. The type never crosses this
// file, so how the baseline build passes it between functions does not matter.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
typedef double Lanes __attribute__((vector_size(32)));
#else
struct Lanes {
    double lane[4];
    double operator[](int i) const { return lane[i]; }
    Lanes& operator+=(const Lanes& other) {
        for (int i = 0; i < 4; ++i) lane[i] += other.lane[i];
        return *this;
    }
    friend Lanes operator+(Lanes a, const Lanes& b) { return a += b; }
    friend Lanes operator*(const Lanes& a, const Lanes& b) {
        return {a.lane[0] * b.lane[0], a.lane[1] * b.lane[1], a.lane[2] * b.lane[2], a.lane[3] * b.lane[3]};
    }
};
#endif

// The hot loops are built twice on x86-64 Linux, for AVX2 and for the
// baseline, and the loader picks one for the machine. Neither build may fuse
// a multiply into an add (FMA is not enabled and contraction is off), so both
// give the same bytes.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define KESTRIN_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KESTRIN_VECTOR_CLONES
#endif

// The small helpers below are built once, for the baseline. Called out of
// line from the AVX2 clone (as an unoptimised build does), a 32-byte vector
// would cross between two calling conventions and arrive garbled, so they
// are always inlined into whichever clone uses them.
#if defined(__GNUC__)
#define KESTRIN_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define KESTRIN_ALWAYS_INLINE inline
#endif

KESTRIN_ALWAYS_INLINE Lanes Broadcast(double value) {
    return Lanes{value, value, value, value};
}

KESTRIN_ALWAYS_INLINE Lanes Load(const double* pixel) {
    Lanes value;
    std::memcpy(&value, pixel, sizeof value);
    return value;
}

KESTRIN_ALWAYS_INLINE Lanes Widen(const std::uint8_t* pixel) {
    return Lanes{static_cast<double>(pixel[0]), static_cast<double>(pixel[1]), static_cast<double>(pixel[2]),
                 static_cast<double>(pixel[3])};
}

KESTRIN_ALWAYS_INLINE void StorePixel(const Lanes& value, std::uint8_t* pixel) {
    for (int b = 0; b < 4; ++b) pixel[b] = RoundToByte(value[b]);
}

// Linear light is held at 16 bits between the passes. Rounding in the sums
// can step just past either end, so values are clamped.
KESTRIN_ALWAYS_INLINE std::uint16_t RoundToLinear16(double value) {
    return static_cast<std::uint16_t>(std::clamp(value, 0.0, 65535.0) + 0.5);
}

KESTRIN_ALWAYS_INLINE void StoreLinearPixel(const Lanes& value, std::uint8_t* pixel) {
    std::uint16_t channels[4];
    for (int b = 0; b < 4; ++b) channels[b] = RoundToLinear16(value[b]);
    std::memcpy(pixel, channels, sizeof channels);
}

KESTRIN_ALWAYS_INLINE Lanes WidenLinear(const std::uint8_t* pixel) {
    std::uint16_t channels[4];
    std::memcpy(channels, pixel, sizeof channels);
    return Lanes{static_cast<double>(channels[0]), static_cast<double>(channels[1]),
                 static_cast<double>(channels[2]), static_cast<double>(channels[3])};
}

// Back from linear light at 16 bits to code values; alpha was only widened.
KESTRIN_ALWAYS_INLINE void StoreEncodedPixel(const Lanes& value, std::uint8_t* pixel) {
    for (int b = 0; b < 3; ++b) pixel[b] = SrgbFromLinear16(RoundToLinear16(value[b]));
    pixel[3] = static_cast<std::uint8_t>(RoundToLinear16(value[3]) / 257.0 + 0.5);
}

// One output pixel of the pass across into the intermediate row.
KESTRIN_ALWAYS_INLINE void StoreAcross(const Lanes& value, std::uint8_t* row, int x, bool linear) {
    if (linear)
        StoreLinearPixel(value, row + 8 * static_cast<std::size_t>(x));
    else
        StorePixel(value, row + 4 * static_cast<std::size_t>(x));
}

// Linear light at 16 bits of each code value, as a double.
const std::array<double, 256>& LinearTable() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> values{};
        for (int code = 0; code < 256; ++code)
            values[static_cast<std::size_t>(code)] = Linear16FromSrgb(static_cast<std::uint8_t>(code));
        return values;
    }();
    return table;
}

// A widened row's code values as linear light at 16 bits, alpha stretched
// to the same range.
void MakeLinear(double* row, int width) {
    const double* linear = LinearTable().data();
    for (int x = 0; x < width; ++x, row += 4) {
        row[0] = linear[static_cast<int>(row[0])];
        row[1] = linear[static_cast<int>(row[1])];
        row[2] = linear[static_cast<int>(row[2])];
        row[3] *= 257.0;
    }
}

// One source row with every byte as a double, followed by zero pixels so that
// every output pixel can read a whole table row of taps.
KESTRIN_VECTOR_CLONES
void WidenRow(const std::uint8_t* in, int width, double* out) {
    for (std::size_t i = 0; i < 4 * static_cast<std::size_t>(width); ++i) out[i] = in[i];
}

// The same in linear light, as MakeLinear turns a widened row.
void WidenLinearRow(const std::uint8_t* in, int width, double* out) {
    const double* linear = LinearTable().data();
    for (int x = 0; x < width; ++x, in += 4, out += 4) {
        out[0] = linear[in[0]];
        out[1] = linear[in[1]];
        out[2] = linear[in[2]];
        out[3] = 257.0 * in[3];
    }
}

// The same for a row read backwards, as a mirrored picture is seen.
void WidenBackwards(const std::uint8_t* last, int width, double* out) {
    for (int i = 0; i < width; ++i, out += 4) {
        const std::uint8_t* pixel = last - 4 * static_cast<std::ptrdiff_t>(i);
        for (int b = 0; b < 4; ++b) out[b] = pixel[b];
    }
}

// The decoded picture as its orientation turns it, read in place: turning a
// photo's full-size pixels into a copy first would hold them twice.
class TurnedPicture {
public:
    // A picture whose rows are not there yet: only its sides are known.
    TurnedPicture(int storedWidth, int storedHeight, int orientation)
        : TurnedPicture(nullptr, storedWidth, storedHeight, orientation) {}
    TurnedPicture(const CImageBitmap& bitmap, int orientation)
        : TurnedPicture(bitmap.GetRows(), bitmap.GetWidth(), bitmap.GetHeight(), orientation) {}
    TurnedPicture(const std::uint8_t* const* rows, int storedWidth, int storedHeight, int orientation)
        : m_rows(rows),
          m_storedWidth(storedWidth),
          m_storedHeight(storedHeight),
          m_orientation(orientation >= kOrientationAsStored && orientation <= kOrientationQuarterAnticlockwise
                            ? orientation
                            : kOrientationAsStored) {}

    int Width() const { return SwapsSides(m_orientation) ? m_storedHeight : m_storedWidth; }
    int Height() const { return SwapsSides(m_orientation) ? m_storedWidth : m_storedHeight; }

    // For an orientation that keeps the sides: widens `count` pixels of row y
    // as seen, from column x on.
    void Widen(int x, int y, int count, double* out) const {
        const int lastColumn = m_storedWidth - 1;
        const int lastRow = m_storedHeight - 1;
        switch (m_orientation) {
            case kOrientationMirrored:
                return WidenBackwards(m_rows[y] + 4 * static_cast<std::size_t>(lastColumn - x), count, out);
            case kOrientationHalfTurn:
                return WidenBackwards(m_rows[lastRow - y] + 4 * static_cast<std::size_t>(lastColumn - x), count,
                                      out);
            case kOrientationFlipped:
                return WidenRow(m_rows[lastRow - y] + 4 * static_cast<std::size_t>(x), count, out);
            default:
                return WidenRow(m_rows[y] + 4 * static_cast<std::size_t>(x), count, out);
        }
    }

    // For an orientation that swaps the sides: copies `rows` rows as seen,
    // from row y on, `count` pixels each from column x on, into `out`. Those
    // rows are stored columns; they are read a stored row at a time, a few
    // neighbouring pixels from each, because reading one column after the
    // other touches every row of a photo for every pixel.
    void CopySwappedRows(int x, int y, int count, int rows, std::uint8_t* out) const {
        const std::size_t rowBytes = 4 * static_cast<std::size_t>(count);
        // Rows seen from y on are stored columns counting up (5, 6) or down
        // (7, 8); pixels seen from x on are stored rows counting up (5, 8) or
        // down (6, 7).
        const bool columnsDown =
            m_orientation == kOrientationTransverse || m_orientation == kOrientationQuarterAnticlockwise;
        const bool rowsDown =
            m_orientation == kOrientationQuarterClockwise || m_orientation == kOrientationTransverse;
        const int firstColumn = columnsDown ? m_storedWidth - 1 - y : y;
        const int firstRow = rowsDown ? m_storedHeight - 1 - x : x;
        const int columnStep = columnsDown ? -1 : 1;
        for (int i = 0; i < count; ++i) {
            const std::uint8_t* in = m_rows[rowsDown ? firstRow - i : firstRow + i];
            for (int r = 0; r < rows; ++r)
                std::memcpy(out + static_cast<std::size_t>(r) * rowBytes + 4 * static_cast<std::size_t>(i),
                            in + 4 * static_cast<std::ptrdiff_t>(firstColumn + r * columnStep), 4);
        }
    }

    // For an orientation that keeps the sides: where the `count` pixels of row
    // y seen from column x on lie in memory, from the returned pixel on, and
    // whether they are seen backwards.
    const std::uint8_t* StoredSpan(int x, int y, int count, bool& backwards) const {
        const int lastRow = m_storedHeight - 1;
        const auto mirroredColumn = static_cast<std::size_t>(m_storedWidth - x - count);
        backwards = m_orientation == kOrientationMirrored || m_orientation == kOrientationHalfTurn;
        switch (m_orientation) {
            case kOrientationMirrored:
                return m_rows[y] + 4 * mirroredColumn;
            case kOrientationHalfTurn:
                return m_rows[lastRow - y] + 4 * mirroredColumn;
            case kOrientationFlipped:
                return m_rows[lastRow - y] + 4 * static_cast<std::size_t>(x);
            default:
                return m_rows[y] + 4 * static_cast<std::size_t>(x);
        }
    }

    bool SidesSwapped() const { return SwapsSides(m_orientation); }
    bool AsStored() const { return m_orientation == kOrientationAsStored; }
    // Pixel x of stored row y.
    const std::uint8_t* StoredPixel(int x, int y) const { return m_rows[y] + 4 * static_cast<std::size_t>(x); }

private:
    const std::uint8_t* const* m_rows;
    int m_storedWidth;
    int m_storedHeight;
    int m_orientation;
};

// Resamples one widened row across. Taps past an output pixel's own sources
// have weight 0 and add +0.0, which leaves a sum of non-negative terms as it
// is, so every output byte is the sum over its sources left to right.
// Four output pixels are summed together to keep the adder busy.
KESTRIN_VECTOR_CLONES
void ResampleRowAcross(const double* row, const ContributionTable& table, int outWidth, std::uint8_t* out,
                       bool linear) {
    const int taps = table.Taps();

    int x = 0;
    for (; x + 4 <= outWidth; x += 4) {
        const double* p0 = row + 4 * static_cast<std::size_t>(table.Left(x));
        const double* p1 = row + 4 * static_cast<std::size_t>(table.Left(x + 1));
        const double* p2 = row + 4 * static_cast<std::size_t>(table.Left(x + 2));
        const double* p3 = row + 4 * static_cast<std::size_t>(table.Left(x + 3));
        const double* w0 = table.Weights(x);
        const double* w1 = table.Weights(x + 1);
        const double* w2 = table.Weights(x + 2);
        const double* w3 = table.Weights(x + 3);
        Lanes a0 = {}, a1 = {}, a2 = {}, a3 = {};
        for (int j = 0; j < taps; ++j) {
            a0 += Broadcast(w0[j]) * Load(p0 + 4 * j);
            a1 += Broadcast(w1[j]) * Load(p1 + 4 * j);
            a2 += Broadcast(w2[j]) * Load(p2 + 4 * j);
            a3 += Broadcast(w3[j]) * Load(p3 + 4 * j);
        }
        StoreAcross(a0, out, x, linear);
        StoreAcross(a1, out, x + 1, linear);
        StoreAcross(a2, out, x + 2, linear);
        StoreAcross(a3, out, x + 3, linear);
    }
    for (; x < outWidth; ++x) {
        const double* p = row + 4 * static_cast<std::size_t>(table.Left(x));
        const double* w = table.Weights(x);
        Lanes a = {};
        for (int j = 0; j < taps; ++j) a += Broadcast(w[j]) * Load(p + 4 * j);
        StoreAcross(a, out, x, linear);
    }
}

// Resamples output rows [begin, end) down into `resampled`, rows of `width`
// pixels one after the other: each output row is accumulated whole, source
// rows top to bottom, so every byte is summed in the same order as column by
// column would.
KESTRIN_VECTOR_CLONES
void ResampleRowsDown(const std::uint8_t* intermediate, std::size_t stride, int width,
                      const ContributionTable& table, std::uint8_t* resampled, int begin, int end, double* values,
                      bool linear) {
    for (int y = begin; y < end; ++y) {
        const int top = table.Left(y);
        const int bottom = table.Right(y);
        const double* weights = table.Weights(y);
        std::fill(values, values + 4 * static_cast<std::size_t>(width), 0.0);
        for (int k = top; k <= bottom; ++k) {
            const Lanes weight = Broadcast(weights[k - top]);
            const std::uint8_t* in = intermediate + static_cast<std::size_t>(k) * stride;
            if (linear) {
                for (int x = 0; x < width; ++x) {
                    double* sum = values + 4 * static_cast<std::size_t>(x);
                    const Lanes value = Load(sum) + weight * WidenLinear(in + 8 * static_cast<std::size_t>(x));
                    std::memcpy(sum, &value, sizeof value);
                }
                continue;
            }
            for (int x = 0; x < width; ++x) {
                double* sum = values + 4 * static_cast<std::size_t>(x);
                const Lanes value = Load(sum) + weight * Widen(in + 4 * static_cast<std::size_t>(x));
                std::memcpy(sum, &value, sizeof value);
            }
        }
        std::uint8_t* out = resampled + static_cast<std::size_t>(y) * 4 * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            const Lanes value = Load(values + 4 * static_cast<std::size_t>(x));
            if (linear)
                StoreEncodedPixel(value, out + 4 * static_cast<std::size_t>(x));
            else
                StorePixel(value, out + 4 * static_cast<std::size_t>(x));
        }
    }
}

// Below this many source pixels a second thread costs more than it saves.
constexpr std::int64_t kParallelPixels = 1 << 20;

// Rows a thread takes at a time while resampling across, and down.
constexpr int kChunkRows = 16;
constexpr int kDownRows = 4;

// The intermediate image of one target, as wide as the target and as high as
// the source, and the tables of both passes.
struct TargetPlan {
    ContributionTable across;
    ContributionTable down;
    // Not cleared: every byte is resampled across before the pass down reads
    // it, and clearing megabytes would hold up the decoder that plans first.
    std::unique_ptr<std::uint8_t[]> intermediate;
    std::size_t stride;
    // Where in the target the resampled picture goes; background around it.
    PixelRect placement;
    // The result of the pass down, placement-sized, until Finish puts it in
    // the target; its rows [0, downClaimed) are taken by some thread. Not
    // cleared either: every row is resampled before it is copied.
    std::unique_ptr<std::uint8_t[]> resampled;
    int downClaimed = 0;
};

void FillBackground(CImageBitmap& destination, const PaletteEntry& colour) {
    const std::uint8_t pixel[4] = {colour.blue, colour.green, colour.red, colour.alpha};
    for (int y = 0; y < destination.GetHeight(); ++y) {
        std::uint8_t* out = destination.GetRows()[y];
        for (int x = 0; x < destination.GetWidth(); ++x)
            std::memcpy(out + 4 * static_cast<std::size_t>(x), pixel, 4);
    }
}

int ResolveThreads(int threads, int width, int height) {
    if (threads == CTentResizeFilter::kAutomaticThreads)
        return static_cast<std::int64_t>(width) * height >= kParallelPixels ? DefaultThreadCount() : 1;
    return threads <= 0 ? DefaultThreadCount() : threads;
}

}  // namespace

// Chunks of rows per thread that a window of rows holds beyond the decoder's
// batch.
constexpr int kWindowChunksPerThread = 2;

// The part of the picture seen that the targets are resampled from. A framing
// without a reference size takes the first target's.
PictureFraming ReferencedFraming(const PictureFraming& framing, std::span<const ResizeTarget> targets) {
    PictureFraming frame = framing;
    if ((frame.referenceWidth <= 0 || frame.referenceHeight <= 0) && !targets.empty()) {
        frame.referenceWidth = targets.front().width;
        frame.referenceHeight = targets.front().height;
    }
    return frame;
}

PixelRect ResampledPart(const PictureFraming& framing, std::span<const ResizeTarget> targets, int width,
                        int height) {
    return FramedSourceRect(ReferencedFraming(framing, targets), width, height);
}

struct CTentResampler::Shared {
    // The decoded bitmap the rows are read from: set when the plan is made
    // from it, or when the first rows of a planned picture are reported.
    const CImageBitmap* source = nullptr;
    int storedWidth = 0;
    int storedHeight = 0;
    int orientation = kOrientationAsStored;
    TurnedPicture picture;
    // The part of the turned picture that is resampled; its rows are the
    // ones counted below.
    PixelRect part;
    int height = 0;
    // Resampled in linear light, the intermediates at 16 bits per channel.
    bool linear = false;
    std::vector<TargetPlan> plans;
    // One widened row per thread: the caller's first, then one per helper.
    std::vector<std::vector<double>> rowBuffers;
    // In linear light, one row of light per thread as a colour conversion
    // writes it; otherwise one row of converted pixels per thread.
    std::vector<std::vector<std::uint16_t>> lightBuffers;
    std::vector<std::vector<std::uint8_t>> codedBuffers;
    // The conversion of a source whose rows all still hold the file's
    // colours, applied to each pixel as it is read (see SetSourceConversion).
    // Guarded by the mutex.
    const CColorConversion* sourceConversion = nullptr;
    // With the sides swapped, the rows of one chunk as copied per thread.
    std::vector<std::vector<std::uint8_t>> chunkBuffers;
    // One output row's sums per thread, for the pass down.
    std::vector<std::vector<double>> downValues;
    // For a source held as a window of rows: its size, and the most rows the
    // decoder writes between two reports. 0 for a whole source.
    int windowRows = 0;
    int batchRows = 0;
    // Time the decoding thread spent on the window: waiting for helpers, and
    // resampling rows itself because they had fallen behind.
    std::chrono::steady_clock::duration waited{};
    std::chrono::steady_clock::duration helped{};
    // Rows of a window from here on were never written by the decoder: they
    // are read as the bitmap was created, zero, since their slots still hold
    // older rows. Guarded by the mutex.
    int writtenRows = std::numeric_limits<int>::max();
    // Rows [convertFrom, convertTo) of the picture still hold the file's
    // colours: whichever thread takes them converts them with `conversion`
    // before it reads them (see TakeRowConversion). Guarded by the mutex.
    const CColorConversion* conversion = nullptr;
    int convertFrom = 0;
    int convertTo = 0;

    std::mutex mutex;
    std::condition_variable wake;      // rows to take, or time to stop
    std::condition_variable finished;  // some chunk resampled across
    int ready = 0;    // rows [0, ready) of the part are final in the source
    int claimed = 0;  // rows [0, claimed) are taken by some thread
    int done = 0;     // rows resampled across
    // First rows of the chunks being resampled across, in no order.
    std::vector<int> inFlight;
    // Runs of output rows being resampled down by the helpers.
    int downInFlight = 0;
    bool stopping = false;
    std::vector<std::thread> helpers;

    Shared(const CImageBitmap& bitmap, std::span<const ResizeTarget> targets, int threadCount, int turn,
           const PictureFraming& framing, bool linearLight)
        : Shared(bitmap.GetWidth(), bitmap.GetHeight(), targets, threadCount, turn, framing, linearLight) {
        Attach(bitmap);
    }

    // A plan for a picture of storedWidth x storedHeight whose bitmap is not
    // there yet.
    Shared(int width, int heightStored, std::span<const ResizeTarget> targets, int threadCount, int turn,
           const PictureFraming& framing, bool linearLight)
        : storedWidth(width),
          storedHeight(heightStored),
          orientation(turn),
          picture(width, heightStored, turn),
          linear(linearLight) {
        const PictureFraming frame = ReferencedFraming(framing, targets);
        part = FramedSourceRect(frame, picture.Width(), picture.Height());
        height = part.height;
        int widestTaps = 0;
        int widestPlacement = 0;
        plans.reserve(targets.size());
        for (const ResizeTarget& target : targets) {
            // Absurd intermediates are refused as an allocation failure.
            if (!kCeiling.AllowsSize(target.width, target.height))
                throw CTextException(ERR_NO_MEMORY, kOutOfMemory);
            const PixelRect placement =
                FramedPlacement(frame, part.width, part.height, target.width, target.height);
            const std::size_t pixelBytes = linear ? 8 : 4;
            const auto intermediateBytes = CheckedMultiply(static_cast<std::uint64_t>(placement.width) * pixelBytes,
                                                           static_cast<std::uint64_t>(height));
            if (!intermediateBytes || *intermediateBytes > kCeiling.maxBitmapBytes)
                throw CTextException(ERR_NO_MEMORY, kOutOfMemory);
            plans.push_back(TargetPlan{
                ContributionTable(placement.width, part.width, linear),
                ContributionTable(placement.height, height, linear),
                std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(*intermediateBytes)),
                static_cast<std::size_t>(placement.width) * pixelBytes, placement,
                std::make_unique_for_overwrite<std::uint8_t[]>(4 * static_cast<std::size_t>(placement.width) *
                                                               static_cast<std::size_t>(placement.height))});
            widestTaps = std::max(widestTaps, plans.back().across.Taps());
            widestPlacement = std::max(widestPlacement, placement.width);
        }
        rowBuffers.resize(static_cast<std::size_t>(std::max(1, threadCount)));
        for (auto& buffer : rowBuffers)
            buffer.assign(4 * (static_cast<std::size_t>(part.width) + static_cast<std::size_t>(widestTaps)), 0.0);
        if (linear)
            lightBuffers.assign(rowBuffers.size(),
                                std::vector<std::uint16_t>(4 * static_cast<std::size_t>(part.width)));
        else
            codedBuffers.assign(rowBuffers.size(), std::vector<std::uint8_t>(4 * static_cast<std::size_t>(part.width)));
        downValues.resize(rowBuffers.size());
        for (auto& buffer : downValues) buffer.resize(4 * static_cast<std::size_t>(widestPlacement));
        if (picture.SidesSwapped()) {
            chunkBuffers.resize(rowBuffers.size());
            for (auto& buffer : chunkBuffers)
                buffer.resize(4 * static_cast<std::size_t>(part.width) * static_cast<std::size_t>(kChunkRows));
        }
        inFlight.reserve(rowBuffers.size());
        // A helper the system refuses is simply not there; the others and the
        // caller share its rows. Nothing may escape here once one started:
        // the destructor that joins them would not run.
        try {
            for (std::size_t i = 1; i < rowBuffers.size(); ++i) helpers.emplace_back([this, i] { Help(i, true); });
        } catch (const std::system_error&) {
        } catch (const std::bad_alloc&) {
        }
    }

    ~Shared() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread& helper : helpers) helper.join();
    }

    // Reads the rows from `bitmap` from now on.
    void Attach(const CImageBitmap& bitmap) {
        source = &bitmap;
        picture = TurnedPicture(bitmap, orientation);
    }

    // True when this plan was made for `bitmap` as it is now.
    bool Fits(const CImageBitmap& bitmap, int turn) const {
        return source == &bitmap && storedWidth == bitmap.GetWidth() && storedHeight == bitmap.GetHeight() &&
               bitmap.GetDepth() == 32 && orientation == turn && windowRows == bitmap.GetWindowRows();
    }

    // True when this plan was made for a bitmap of that size, not yet seen.
    bool Expects(const CImageBitmap& bitmap) const {
        return source == nullptr && storedWidth == bitmap.GetWidth() && storedHeight == bitmap.GetHeight() &&
               bitmap.GetDepth() == 32 && windowRows == bitmap.GetWindowRows();
    }

    // Widens each row once and resamples it to every target's width. In
    // linear light, rows [convertBegin, convertEnd) still hold the file's
    // colours: their light comes from the conversion itself.
    void ResampleAcross(std::size_t buffer, int begin, int end, int written, const CColorConversion* rowConversion,
                        int convertBegin, int convertEnd, const CColorConversion* readConversion) {
        double* row = rowBuffers[buffer].data();
        std::uint8_t* chunk = chunkBuffers.empty() ? nullptr : chunkBuffers[buffer].data();
        if (chunk != nullptr) picture.CopySwappedRows(part.left, part.top + begin, part.width, end - begin, chunk);
        for (int y = begin; y < end; ++y) {
            const std::uint8_t* chunkRow =
                chunk == nullptr
                    ? nullptr
                    : chunk + 4 * static_cast<std::size_t>(part.width) * static_cast<std::size_t>(y - begin);
            if (chunkRow == nullptr && part.top + y >= written) {
                std::fill(row, row + 4 * static_cast<std::size_t>(part.width), 0.0);
            } else if (readConversion != nullptr) {
                bool backwards = false;
                const std::uint8_t* span =
                    chunkRow != nullptr ? chunkRow : picture.StoredSpan(part.left, part.top + y, part.width, backwards);
                WidenThroughConversion(*readConversion, buffer, span, backwards, row);
            } else if (chunkRow != nullptr) {
                WidenRow(chunkRow, part.width, row);
                if (linear) MakeLinear(row, part.width);
            } else if (rowConversion != nullptr && y >= convertBegin && y < convertEnd) {
                WidenConverted(*rowConversion, buffer, y, row);
            } else if (linear && picture.AsStored()) {
                WidenLinearRow(picture.StoredPixel(part.left, part.top + y), part.width, row);
            } else {
                picture.Widen(part.left, part.top + y, part.width, row);
                if (linear) MakeLinear(row, part.width);
            }
            for (TargetPlan& plan : plans)
                ResampleRowAcross(row, plan.across, plan.placement.width,
                                  plan.intermediate.get() + static_cast<std::size_t>(y) * plan.stride, linear);
        }
    }

    // Converts the colours of rows [begin, end) in place; only for a picture
    // resampled whole and as stored, whose rows are the part's.
    void ConvertRows(const CColorConversion& rowConversion, int begin, int end) const noexcept {
        auto* const* rows = const_cast<std::uint8_t* const*>(source->GetRows());
        const auto width = static_cast<std::size_t>(storedWidth);
        for (int y = begin; y < end; ++y) rowConversion.ConvertPixels(rows[y], width);
    }

    // Widens the light of row y, which still holds the file's colours, as
    // the conversion gives it; on the same terms as ConvertRows. A whole
    // picture's row is then converted in place for whoever reads it next; a
    // window's row is read by nobody else.
    void WidenConverted(const CColorConversion& rowConversion, std::size_t buffer, int y, double* row) {
        WidenThroughConversion(rowConversion, buffer, source->GetRows()[y], false, row);
        if (windowRows == 0) ConvertRows(rowConversion, y, y + 1);
    }

    // Widens one row seen, whose pixels lie in `span` in the file's colours,
    // through the conversion, leaving the source as it is.
    void WidenThroughConversion(const CColorConversion& conversion, std::size_t buffer, const std::uint8_t* span,
                                bool backwards, double* row) {
        const auto count = static_cast<std::size_t>(part.width);
        if (linear) {
            std::uint16_t* light = lightBuffers[buffer].data();
            conversion.ConvertToLinear(span, count, light);
            for (std::size_t i = 0; i < count; ++i, row += 4) {
                const std::uint16_t* pixel = light + 4 * (backwards ? count - 1 - i : i);
                for (int b = 0; b < 4; ++b) row[b] = pixel[b];
            }
            return;
        }
        std::uint8_t* coded = codedBuffers[buffer].data();
        std::memcpy(coded, span, 4 * count);
        conversion.ConvertPixels(coded, count);
        if (backwards)
            WidenBackwards(coded + 4 * (count - 1), part.width, row);
        else
            WidenRow(coded, part.width, row);
    }

    // True when rows [firstRow, rowCount), about to be reported, are
    // converted here; see TakeRowConversion.
    bool TakeConversion(const CColorConversion& rowConversion, int firstRow, int rowCount) {
        if (!picture.AsStored() || part != PixelRect{0, 0, storedWidth, storedHeight}) return false;
        std::lock_guard lock(mutex);
        if (conversion == nullptr) {
            conversion = &rowConversion;
            convertFrom = firstRow;
        } else if (conversion != &rowConversion || convertTo != firstRow) {
            return false;
        }
        convertTo = rowCount;
        return true;
    }

    // Returns once the rows taken for conversion are converted, taking and
    // resampling any that no helper has taken yet, and forgets the conversion.
    void ReleaseConversion() {
        std::unique_lock lock(mutex);
        if (conversion == nullptr) return;
        // Rows taken were about to be reported, so they are final.
        ready = std::max(ready, std::min(convertTo, height));
        while (claimed < convertTo && TakeChunk(lock, 0, false)) {
        }
        finished.wait(lock, [this] { return FreeRows() >= convertTo || stopping; });
        conversion = nullptr;
    }

    // Resamples one chunk of ready rows, if there is one worth taking, with
    // the lock held on entry and on return. A helper waits for full chunks
    // until the last rows; the decoding thread takes what there is.
    bool TakeChunk(std::unique_lock<std::mutex>& lock, std::size_t buffer, bool fullChunksOnly) {
        const int available = ready - claimed;
        if (available <= 0 || (fullChunksOnly && available < kChunkRows && ready != height)) return false;
        const int begin = claimed;
        const int end = begin + std::min(available, kChunkRows);
        claimed = end;
        inFlight.push_back(begin);
        const int written = writtenRows;
        const CColorConversion* const rowConversion = conversion;
        const CColorConversion* const readConversion = sourceConversion;
        const int convertBegin = std::max(begin, convertFrom);
        const int convertEnd = std::min({end, convertTo, written});
        lock.unlock();
        // Code values are converted before they are read; light is taken
        // from the conversion as the rows are read.
        if (rowConversion != nullptr && !linear) ConvertRows(*rowConversion, convertBegin, convertEnd);
        ResampleAcross(buffer, begin, end, written, linear ? rowConversion : nullptr, convertBegin, convertEnd,
                       readConversion);
        lock.lock();
        inFlight.erase(std::find(inFlight.begin(), inFlight.end(), begin));
        done += end - begin;
        finished.notify_all();
        return true;
    }

    // Resamples a few output rows of one target down, if the rows across
    // that they read are all done; lock as for TakeChunk.
    bool TakeDownRows(std::unique_lock<std::mutex>& lock, std::size_t buffer) {
        const int complete = FreeRows();
        for (TargetPlan& plan : plans) {
            const int begin = plan.downClaimed;
            int end = begin;
            while (end < plan.placement.height && end - begin < kDownRows && plan.down.Right(end) < complete) ++end;
            if (end == begin) continue;
            plan.downClaimed = end;
            ++downInFlight;
            lock.unlock();
            ResampleRowsDown(plan.intermediate.get(), plan.stride, plan.placement.width, plan.down,
                             plan.resampled.get(), begin, end, downValues[buffer].data(), linear);
            lock.lock();
            --downInFlight;
            finished.notify_all();
            return true;
        }
        return false;
    }

    // Takes chunks of ready rows until there are none; a helper then goes on
    // down as far as the rows across allow and waits for more, the caller
    // returns.
    void Help(std::size_t buffer, bool waitForRows) noexcept {
        std::unique_lock lock(mutex);
        for (;;) {
            if (stopping) return;
            if (TakeChunk(lock, buffer, waitForRows)) continue;
            if (!waitForRows) return;
            if (TakeDownRows(lock, buffer)) continue;
            wake.wait(lock);
        }
    }

    // Rows [0, free) are resampled across and no longer read.
    int FreeRows() const {
        return inFlight.empty() ? claimed : *std::min_element(inFlight.begin(), inFlight.end());
    }

    // `rowCount` decoded rows of the stored picture are final. Only a picture
    // seen as stored is resampled while it decodes, so they are the rows of
    // the picture seen, of which the part's are counted.
    void MarkReady(int rowCount) {
        bool worthWaking = false;
        {
            std::lock_guard lock(mutex);
            const int partRows = std::clamp(rowCount - part.top, 0, height);
            if (partRows <= ready) return;
            ready = partRows;
            worthWaking = ready - claimed >= kChunkRows || ready == height;
        }
        if (worthWaking) wake.notify_all();
    }

    // Returns once the window's slots of rows [rowCount, rowCount + batch) are
    // no longer read: resamples rows itself while there are any to take, and
    // waits for the helpers' chunks otherwise.
    void MakeRoom(int rowCount, int batch) {
        const int needed = std::min(rowCount, height) + batch - windowRows;
        std::unique_lock lock(mutex);
        while (FreeRows() < needed && !stopping) {
            const auto start = std::chrono::steady_clock::now();
            const bool tookOne = TakeChunk(lock, 0, false);
            if (!tookOne) finished.wait(lock);
            (tookOne ? helped : waited) += std::chrono::steady_clock::now() - start;
        }
    }
};

CTentResampler::CTentResampler(std::vector<ResizeTarget> targets, int threads)
    : m_targets(std::move(targets)), m_threads(threads) {}

CTentResampler::~CTentResampler() = default;

int CTentResampler::WindowRows(int width, int height, int batchRows) noexcept {
    if (!m_rowWindows || m_shared != nullptr || m_orientation != kOrientationAsStored || batchRows < 1) return 0;
    const int threads = ResolveThreads(m_threads, width, height);
    // Room for the batch being written, the chunks the threads are on and the
    // rows gathering into the next ones, so the decoder seldom waits.
    const std::int64_t window = std::int64_t{batchRows} + std::int64_t{kWindowChunksPerThread} * kChunkRows * threads;
    // Only a picture resampled whole is read in the order it decodes.
    if (window >= height || ResampledPart(m_framing, m_targets, width, height) != PixelRect{0, 0, width, height})
        return 0;
    try {
        auto shared =
            std::make_unique<Shared>(width, height, m_targets, threads, m_orientation, m_framing, m_linearLight);
        shared->windowRows = static_cast<int>(window);
        shared->batchRows = batchRows;
        m_shared = std::move(shared);
    } catch (...) {
        // Finish meets the same trouble with the whole picture and reports it.
        return 0;
    }
    return static_cast<int>(window);
}

bool CTentResampler::Listens(const CImageBitmap& bitmap, bool evenAlone) noexcept {
    if (m_shared != nullptr && m_shared->source == nullptr) {
        if (m_shared->Expects(bitmap))
            m_shared->Attach(bitmap);
        else
            m_shared.reset();
    }
    if (m_shared == nullptr) {
        // A whole picture streams only with a helper to hand rows to;
        // otherwise Finish does everything, and reports any trouble then. The
        // rows of a picture that is to be turned are not the rows it is seen
        // with. In linear light, rows in the file's colours are taken even
        // without helpers, so that their light comes from the conversion
        // however many cores there are.
        if (m_streamingDeclined || bitmap.GetDepth() != 32 || bitmap.GetWindowRows() != 0 ||
            m_orientation != kOrientationAsStored) {
            m_streamingDeclined = true;
            return false;
        }
        const int threads = ResolveThreads(m_threads, bitmap.GetWidth(), bitmap.GetHeight());
        try {
            if (threads > 1 || (evenAlone && m_linearLight))
                m_shared =
                    std::make_unique<Shared>(bitmap, m_targets, threads, m_orientation, m_framing, m_linearLight);
        } catch (...) {
            m_shared.reset();
        }
        if (m_shared == nullptr || (m_shared->helpers.empty() && !(evenAlone && m_linearLight))) {
            m_shared.reset();
            m_streamingDeclined = true;
            return false;
        }
    }
    return &bitmap == m_shared->source;
}

void CTentResampler::RowsDecoded(const CImageBitmap& bitmap, int rowCount) noexcept {
    if (!Listens(bitmap)) return;
    m_shared->MarkReady(rowCount);
    if (m_shared->windowRows > 0) m_shared->MakeRoom(rowCount, m_shared->batchRows);
}

bool CTentResampler::TakeRowConversion(const CImageBitmap& bitmap, const CColorConversion& conversion, int firstRow,
                                       int rowCount) noexcept {
    if (!Listens(bitmap, true)) return false;
    if (m_shared->TakeConversion(conversion, firstRow, rowCount)) return true;
    // Rows not taken may stay in the file's colours until Finish (see
    // CImageDecoder::SetDeferColorConversion): they are not read before, as
    // long as nothing was read yet and no window needs it.
    std::unique_lock lock(m_shared->mutex);
    if (m_shared->conversion == nullptr && m_shared->claimed == 0 && m_shared->windowRows == 0) {
        lock.unlock();
        m_shared.reset();
        m_streamingDeclined = true;
    }
    return false;
}

void CTentResampler::ReleaseRowConversion() noexcept {
    if (m_shared != nullptr) m_shared->ReleaseConversion();
}

void CTentResampler::Finish(const CImageBitmap& source) {
    // A window whose decoder reported no row at all: every row is unwritten.
    if (m_shared != nullptr && m_shared->Expects(source)) m_shared->Attach(source);
    if (m_shared != nullptr && !m_shared->Fits(source, m_orientation)) m_shared.reset();
    // Rows listened to were read as the decoder reported them.
    if (m_sourceConversion != nullptr) m_shared.reset();
    m_windowWait = m_windowHelp = std::chrono::nanoseconds::zero();
    if (source.GetDepth() != 32)
        throw CTextException(ERR_UNSUPPORTED_DATA, "Resize filter: Only 32-bit bitmaps can be resized.");
    // A window's rows are only ever seen by the resampler that listened to them.
    if (m_shared == nullptr && source.GetWindowRows() != 0)
        throw CTextException(ERR_UNSUPPORTED_DATA, "Resize filter: The picture's rows were not seen.");
    try {
        const int threads = ResolveThreads(m_threads, source.GetWidth(), source.GetHeight());
        if (m_shared == nullptr)
            m_shared =
                std::make_unique<Shared>(source, m_targets, threads, m_orientation, m_framing, m_linearLight);
        Shared& shared = *m_shared;
        {
            std::lock_guard lock(shared.mutex);
            shared.sourceConversion = m_sourceConversion;
        }
        for (std::size_t i = 0; i < m_targets.size(); ++i) {
            const ResizeTarget& target = m_targets[i];
            target.destination->Create(target.width, target.height, 32, source.HasAlphaChannel());
            if (shared.plans[i].placement != PixelRect{0, 0, target.width, target.height})
                FillBackground(*target.destination, m_framing.background);
        }

        if (shared.windowRows != 0) {
            std::lock_guard lock(shared.mutex);
            shared.writtenRows = shared.ready;
        }
        shared.MarkReady(shared.part.top + shared.height);
        shared.Help(0, false);
        {
            std::unique_lock lock(shared.mutex);
            shared.finished.wait(lock, [&shared] { return shared.done == shared.height; });
        }
        m_windowWait = std::chrono::duration_cast<std::chrono::nanoseconds>(shared.waited);
        m_windowHelp = std::chrono::duration_cast<std::chrono::nanoseconds>(shared.helped);

        // Down: the output rows the helpers have not taken, split across the
        // threads too, once the helpers' own are done.
        std::vector<int> firstLeft(shared.plans.size());
        {
            std::unique_lock lock(shared.mutex);
            for (std::size_t i = 0; i < shared.plans.size(); ++i) {
                firstLeft[i] = shared.plans[i].downClaimed;
                shared.plans[i].downClaimed = shared.plans[i].placement.height;
            }
        }
        for (std::size_t i = 0; i < shared.plans.size(); ++i) {
            const TargetPlan& plan = shared.plans[i];
            const int width = plan.placement.width;
            const int first = firstLeft[i];
            const int rows = plan.placement.height - first;
            std::vector<std::vector<double>> values(static_cast<std::size_t>(RowRunCount(rows, threads)));
            for (auto& buffer : values) buffer.assign(4 * static_cast<std::size_t>(width), 0.0);
            ForEachRowRun(rows, threads, [&](int run, int begin, int end) {
                ResampleRowsDown(plan.intermediate.get(), plan.stride, width, plan.down, plan.resampled.get(),
                                 first + begin, first + end, values[static_cast<std::size_t>(run)].data(),
                                 shared.linear);
            });
        }
        {
            std::unique_lock lock(shared.mutex);
            shared.finished.wait(lock, [&shared] { return shared.downInFlight == 0; });
        }
        for (std::size_t i = 0; i < shared.plans.size(); ++i) {
            const TargetPlan& plan = shared.plans[i];
            const std::size_t rowBytes = 4 * static_cast<std::size_t>(plan.placement.width);
            CImageBitmap& destination = *m_targets[i].destination;
            for (int y = 0; y < plan.placement.height; ++y)
                std::memcpy(destination.GetRows()[plan.placement.top + y] +
                                4 * static_cast<std::size_t>(plan.placement.left),
                            plan.resampled.get() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
        }
    } catch (const std::bad_alloc&) {
        m_shared.reset();
        throw CTextException(ERR_NO_MEMORY, kOutOfMemory);
    }
    m_shared.reset();
}

void CBitmapFilter::ApplyInPlace(CImageBitmap& bitmap) {
    CMemoryBitmap result;
    Apply(bitmap, result);
    bitmap.CopyFrom(result, 0);
}

void CBitmapFilter::Apply(const CImageBitmap& source, CImageBitmap& destination) {
    if (&source != &destination) destination.CopyFrom(source, 0);
    ApplyInPlace(destination);
}

void CTentResizeFilter::Apply(const CImageBitmap& source, CImageBitmap& destination) {
    // Resampling into the bitmap being read would destroy it first.
    if (&source == &destination) {
        ApplyInPlace(destination);
        return;
    }
    CTentResampler resampler({{m_newWidth, m_newHeight, &destination}}, m_threads);
    resampler.SetLinearLight(m_linearLight);
    resampler.Finish(source);
}

void CTentResizeFilter::ApplyToSizes(const CImageBitmap& source, std::span<const ResizeTarget> targets,
                                     int threads) {
    CTentResampler resampler(std::vector<ResizeTarget>(targets.begin(), targets.end()), threads);
    resampler.Finish(source);
}
