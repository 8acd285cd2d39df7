#include "imagelib/resample/resample_kernels.h"

#include "imagelib/color/linear_light.h"
#include "imagelib/resample/paired_across.h"

#include <algorithm>
#include <array>
#include <cstring>

// Byte permutes (AVX-512 VBMI) look up 64 code values in a table of 256 bytes
// in a few instructions, where a gather would fetch them one by one.
#if defined(__GNUC__) && defined(__x86_64__)
#define KESTRIN_BYTE_PERMUTES 1
#include <immintrin.h>
#define KESTRIN_PERMUTES_TARGET __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))
#endif

namespace resample {
namespace {

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

// Table lookups do not vectorise: the compiler's emulated gathers cost more
// than the scalar loop they replace.
#if defined(__GNUC__) && !defined(__clang__)
#define KESTRIN_SCALAR_LOOPS __attribute__((optimize("no-tree-vectorize")))
#else
#define KESTRIN_SCALAR_LOOPS
#endif

// The small helpers below are built once, for the baseline. Called out of
// line from the AVX2 clone (as an unoptimised build does), a 32-byte vector
// would cross between two calling conventions and arrive garbled, so they
// are always inlined into whichever clone uses them; and so they stay in the
// file of the loops that call them.
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

// The sum of `count` widened pixels from `first`: four running sums side by
// side, so that an addition need not wait for the one before it, then added
// in pairs.
KESTRIN_ALWAYS_INLINE Lanes SumWidened(const double* first, int count) {
    Lanes s0 = {}, s1 = {}, s2 = {}, s3 = {};
    int k = 0;
    for (; k + 4 <= count; k += 4, first += 16) {
        s0 += Load(first);
        s1 += Load(first + 4);
        s2 += Load(first + 8);
        s3 += Load(first + 12);
    }
    if (k++ < count) s0 += Load(first);
    if (k++ < count) s1 += Load(first + 4);
    if (k < count) s2 += Load(first + 8);
    return (s0 + s1) + (s2 + s3);
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

// The same light in fixed point, 8 bits below the 16-bit unit: summed as
// integers, a box of light costs an addition that need not wait for the
// one before it, and sums to the same in any order. The table's light is a
// whole number of units, so each value is exactly 256 times it.
constexpr double kFixedOne = 256.0;
const std::array<std::uint32_t, 256>& FixedLinearTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> values{};
        for (std::size_t code = 0; code < values.size(); ++code)
            values[code] = static_cast<std::uint32_t>(LinearTable()[code] * kFixedOne + 0.5);
        return values;
    }();
    return table;
}

#if defined(KESTRIN_BYTE_PERMUTES)
// GCC 12 warns that the lanes its own intrinsics leave undefined on purpose
// may be used uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// Light at 16 bits is a whole number, so the sums below are exact in any
// order and equal the fixed-point ones above once scaled back.
struct LightBytes {
    alignas(64) std::uint8_t low[256];
    alignas(64) std::uint8_t high[256];
};
const LightBytes& LightBytePlanes() {
    static const LightBytes planes = [] {
        LightBytes bytes{};
        for (int code = 0; code < 256; ++code) {
            const std::uint16_t light = Linear16FromSrgb(static_cast<std::uint8_t>(code));
            bytes.low[code] = static_cast<std::uint8_t>(light & 0xFF);
            bytes.high[code] = static_cast<std::uint8_t>(light >> 8);
        }
        return bytes;
    }();
    return planes;
}

bool HasBytePermutes() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
    return has;
}

// A box sums its light in 32-bit lanes: 65537 pixels of full light still fit.
constexpr int kWidestPermutedBox = 65537;
// Pixels turned into light at a time: 2 KiB of it stays in the first cache.
constexpr int kLightChunk = 256;

// The light of `pixels` pixels, four 16-bit lanes each (alpha keeps its code
// value). A permute picks from 128 bytes by the index's low 7 bits, so
// each byte of light takes two, one per half of the table, chosen by the
// code's top bit. The last pixels are read under a mask, never past the row.
KESTRIN_PERMUTES_TARGET
void LookUpLight(const std::uint8_t* in, int pixels, std::uint16_t* light) {
    const LightBytes& planes = LightBytePlanes();
    const __m512i low0 = _mm512_load_si512(planes.low), low1 = _mm512_load_si512(planes.low + 64);
    const __m512i low2 = _mm512_load_si512(planes.low + 128), low3 = _mm512_load_si512(planes.low + 192);
    const __m512i high0 = _mm512_load_si512(planes.high), high1 = _mm512_load_si512(planes.high + 64);
    const __m512i high2 = _mm512_load_si512(planes.high + 128), high3 = _mm512_load_si512(planes.high + 192);
    const __mmask64 alpha = 0x8888888888888888ULL;
    // Unpacking works within 128-bit lanes, leaving pixels 0, 1, 4, 5, ...
    // in one register and 2, 3, 6, 7, ... in the other; these put them back
    // in order.
    const __m512i firstEight = _mm512_set_epi64(11, 10, 3, 2, 9, 8, 1, 0);
    const __m512i lastEight = _mm512_set_epi64(15, 14, 7, 6, 13, 12, 5, 4);
    for (int x = 0; x < pixels; x += 16) {
        const __mmask64 present = pixels - x >= 16 ? ~0ULL : (1ULL << (4 * (pixels - x))) - 1;
        const __m512i codes = _mm512_maskz_loadu_epi8(present, in + 4 * static_cast<std::size_t>(x));
        const __mmask64 upper = _mm512_movepi8_mask(codes);
        __m512i low = _mm512_mask_blend_epi8(upper, _mm512_permutex2var_epi8(low0, codes, low1),
                                             _mm512_permutex2var_epi8(low2, codes, low3));
        __m512i high = _mm512_mask_blend_epi8(upper, _mm512_permutex2var_epi8(high0, codes, high1),
                                              _mm512_permutex2var_epi8(high2, codes, high3));
        low = _mm512_mask_mov_epi8(low, alpha, codes);
        high = _mm512_maskz_mov_epi8(~alpha, high);
        const __m512i even = _mm512_unpacklo_epi8(low, high);
        const __m512i odd = _mm512_unpackhi_epi8(low, high);
        std::uint16_t* lanes = light + 4 * static_cast<std::size_t>(x);
        _mm512_storeu_si512(lanes, _mm512_permutex2var_epi64(even, firstEight, odd));
        _mm512_storeu_si512(lanes + 32, _mm512_permutex2var_epi64(even, lastEight, odd));
    }
}

// The light of `count` pixels, four at a time, widened to 32 bits as it is read.
KESTRIN_PERMUTES_TARGET
__m128i SumLight(const std::uint16_t* light, int count) {
    __m512i sum = _mm512_setzero_si512();
    int k = 0;
    for (; k + 4 <= count; k += 4, light += 16)
        sum = _mm512_add_epi32(
            sum, _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(light))));
    if (k < count) {
        const auto present = static_cast<__mmask16>((1U << (4 * (count - k))) - 1);
        sum = _mm512_add_epi32(sum, _mm512_cvtepu16_epi32(_mm256_maskz_loadu_epi16(present, light)));
    }
    const __m256i half = _mm256_add_epi32(_mm512_castsi512_si256(sum), _mm512_extracti64x4_epi64(sum, 1));
    return _mm_add_epi32(_mm256_castsi256_si128(half), _mm256_extracti128_si256(half, 1));
}

KESTRIN_PERMUTES_TARGET
void StoreBox(__m128i sum, double* out) {
    const __m256d alphaStretch = _mm256_set_pd(257.0, 1.0, 1.0, 1.0);
    _mm256_storeu_pd(out, _mm256_mul_pd(_mm256_cvtepu32_pd(sum), alphaStretch));
}

// The row is turned into light a chunk at a time; a box may reach over the
// end of a chunk and is finished in the next.
KESTRIN_PERMUTES_TARGET
void PermuteLightRowInBoxes(const std::uint8_t* in, int width, int factor, double* out) {
    alignas(64) std::uint16_t light[4 * kLightChunk];
    __m128i box = _mm_setzero_si128();
    int filled = 0;
    for (int left = 0; left < width; left += kLightChunk) {
        const int count = std::min(kLightChunk, width - left);
        LookUpLight(in + 4 * static_cast<std::size_t>(left), count, light);
        for (int k = 0; k < count;) {
            const int take = std::min(factor - filled, count - k);
            box = _mm_add_epi32(box, SumLight(light + 4 * static_cast<std::size_t>(k), take));
            k += take;
            filled += take;
            if (filled == factor) {
                StoreBox(box, out);
                out += 4;
                box = _mm_setzero_si128();
                filled = 0;
            }
        }
    }
    if (filled > 0) StoreBox(box, out);
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

}  // namespace

void MakeLinear(double* row, int width) {
    const double* linear = LinearTable().data();
    for (int x = 0; x < width; ++x, row += 4) {
        row[0] = linear[static_cast<int>(row[0])];
        row[1] = linear[static_cast<int>(row[1])];
        row[2] = linear[static_cast<int>(row[2])];
        row[3] *= 257.0;
    }
}

KESTRIN_VECTOR_CLONES
void WidenRow(const std::uint8_t* in, int width, double* out) {
    if (WidenRowWide(in, width, out)) return;
    for (std::size_t i = 0; i < 4 * static_cast<std::size_t>(width); ++i) out[i] = in[i];
}

void WidenLinearRow(const std::uint8_t* in, int width, double* out) {
    const double* linear = LinearTable().data();
    for (int x = 0; x < width; ++x, in += 4, out += 4) {
        out[0] = linear[in[0]];
        out[1] = linear[in[1]];
        out[2] = linear[in[2]];
        out[3] = 257.0 * in[3];
    }
}

void WidenBackwards(const std::uint8_t* last, int width, double* out) {
    for (int i = 0; i < width; ++i, out += 4) {
        const std::uint8_t* pixel = last - 4 * static_cast<std::ptrdiff_t>(i);
        for (int b = 0; b < 4; ++b) out[b] = pixel[b];
    }
}

KESTRIN_SCALAR_LOOPS
void WidenLinearRowInBoxes(const std::uint8_t* in, int width, int factor, double* out) {
#if defined(KESTRIN_BYTE_PERMUTES)
    if (factor <= kWidestPermutedBox && HasBytePermutes()) {
        PermuteLightRowInBoxes(in, width, factor, out);
        return;
    }
#endif
    const std::uint32_t* fixed = FixedLinearTable().data();
    for (int left = 0; left < width; left += factor, out += 4) {
        const int count = std::min(factor, width - left);
        std::uint64_t blue = 0, green = 0, red = 0, alpha = 0;
        for (int k = 0; k < count; ++k, in += 4) {
            blue += fixed[in[0]];
            green += fixed[in[1]];
            red += fixed[in[2]];
            alpha += in[3];
        }
        out[0] = static_cast<double>(blue) / kFixedOne;
        out[1] = static_cast<double>(green) / kFixedOne;
        out[2] = static_cast<double>(red) / kFixedOne;
        out[3] = 257.0 * static_cast<double>(alpha);
    }
}

KESTRIN_VECTOR_CLONES
void ShrinkRowInBoxes(const double* row, int width, int unit, int factor, double* out, bool average) {
    const int perBox = factor / unit;
    const int units = BoxCount(width, unit);
    const Lanes whole = Broadcast(1.0 / factor);
    for (int left = 0, first = 0; left < width; left += factor, first += perBox, out += 4) {
        Lanes sum =
            SumWidened(row + 4 * static_cast<std::size_t>(first), std::min(units, first + perBox) - first);
        if (average) sum = sum * (width - left >= factor ? whole : Broadcast(1.0 / (width - left)));
        std::memcpy(out, &sum, sizeof sum);
    }
}

// Taps past an output pixel's own sources have weight 0 and add +0.0, which
// leaves the sum as it is (-0.0 + 0.0 becomes 0.0, the same when rounded), so
// every output byte is the sum over its sources left to right. Four output pixels are summed together to
// keep the adder busy.
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

// Each output row is accumulated whole, source rows top to bottom, so every
// byte is summed in the same order as column by column would.
KESTRIN_VECTOR_CLONES
void ResampleRowsDown(const std::uint8_t* intermediate, std::size_t stride, int width,
                      const ContributionTable& table, std::uint8_t* resampled, int begin, int end,
                      double* values, bool linear) {
    if (!linear && ResampleCodeRowsDownWide(intermediate, stride, width, table, resampled, begin, end))
        return;
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
                    const Lanes value =
                        Load(sum) + weight * WidenLinear(in + 8 * static_cast<std::size_t>(x));
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

}  // namespace resample
