#include "imagelib/resample/paired_across.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__GNUC__) && defined(__x86_64__)
#define KESTRIN_WIDE_VECTORS 1
#include <immintrin.h>
// Neither a multiply nor an add below may be fused or reordered: each lane
// does what the scalar loop writes, so the bytes match it.
#define KESTRIN_WIDE_TARGET __attribute__((target("avx512f,avx512vl")))
#endif

namespace resample {

#if defined(KESTRIN_WIDE_VECTORS)

// GCC 12 warns that the lanes its own intrinsics leave undefined on purpose
// may be used uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

bool HasWideVectors() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    return has;
}

namespace {

// One output pixel's weights with those of 0 at either end left out: its
// first tap and how many there are.
struct Trimmed {
    int first;
    int taps;
};

Trimmed Trim(const ContributionTable& table, int x) {
    const double* weights = table.Weights(x);
    int first = 0;
    int end = table.Taps();
    while (first < end && weights[first] == 0.0) ++first;
    while (end > first && weights[end - 1] == 0.0) --end;
    // Weights all 0: read from the first source on, like any other.
    if (first == end) return {0, 0};
    return {first, end - first};
}

// The sums of a pair of output pixels, rounded as StoreAcross in
// resample_kernels.cpp rounds them: bytes by adding 0.5 and truncating,
// light clamped to 16 bits first; `count` 1 stores the first alone.
KESTRIN_WIDE_TARGET
void StorePair(__m512d sums, std::uint8_t* out, int x, bool linear, int count) {
    if (linear) {
        const __m512d clamped =
            _mm512_min_pd(_mm512_max_pd(sums, _mm512_setzero_pd()), _mm512_set1_pd(65535.0));
        const __m128i light =
            _mm256_cvtepi32_epi16(_mm512_cvttpd_epi32(_mm512_add_pd(clamped, _mm512_set1_pd(0.5))));
        std::memcpy(out + 8 * static_cast<std::size_t>(x), &light, 8 * static_cast<std::size_t>(count));
        return;
    }
    const __m128i bytes = _mm256_cvtepi32_epi8(_mm512_cvttpd_epi32(_mm512_add_pd(sums, _mm512_set1_pd(0.5))));
    std::memcpy(out + 4 * static_cast<std::size_t>(x), &bytes, 4 * static_cast<std::size_t>(count));
}

}  // namespace

PairedAcross::PairedAcross(const ContributionTable& table) {
    if (!HasWideVectors()) return;
    m_outWidth = table.Size();
    m_groups.reserve(static_cast<std::size_t>(m_outWidth / kGroupPixels + 1));
    for (int x = 0; x < m_outWidth; x += kGroupPixels) {
        // Pixels past the last are the last again, and not stored.
        Group group{};
        Trimmed trimmed[kGroupPixels];
        for (int k = 0; k < kGroupPixels; ++k) {
            const int pixel = std::min(x + k, m_outWidth - 1);
            trimmed[k] = Trim(table, pixel);
            group.left[k] = table.Left(pixel) + trimmed[k].first;
            group.taps = std::max(group.taps, trimmed[k].taps);
        }
        m_groups.push_back(group);
        for (int j = 0; j < group.taps; ++j)
            for (int k = 0; k < kGroupPixels; ++k) {
                const int pixel = std::min(x + k, m_outWidth - 1);
                m_weights.push_back(j < trimmed[k].taps ? table.Weights(pixel)[trimmed[k].first + j] : 0.0);
            }
    }
}

// A pixel of a group reads past its own sources with weight 0, at most
// table.Taps() pixels from its first, within the row's zero pixels. The two
// pairs of a group are summed side by side, so that an addition need not
// wait for the one before it.
KESTRIN_WIDE_TARGET
void PairedAcross::Resample(const double* row, std::uint8_t* out, bool linear) const {
    const __m512i firstPair = _mm512_set_epi64(1, 1, 1, 1, 0, 0, 0, 0);
    const __m512i secondPair = _mm512_set_epi64(3, 3, 3, 3, 2, 2, 2, 2);
    const double* weights = m_weights.data();
    int x = 0;
    for (const Group& group : m_groups) {
        const double* p0 = row + 4 * static_cast<std::size_t>(group.left[0]);
        const double* p1 = row + 4 * static_cast<std::size_t>(group.left[1]);
        const double* p2 = row + 4 * static_cast<std::size_t>(group.left[2]);
        const double* p3 = row + 4 * static_cast<std::size_t>(group.left[3]);
        __m512d sums0 = _mm512_setzero_pd();
        __m512d sums1 = _mm512_setzero_pd();
        for (int j = 0; j < group.taps; ++j, weights += kGroupPixels) {
            const __m256d four = _mm256_loadu_pd(weights);
            const __m512d weight0 = _mm512_permutexvar_pd(firstPair, _mm512_zextpd256_pd512(four));
            const __m512d weight1 = _mm512_permutexvar_pd(secondPair, _mm512_zextpd256_pd512(four));
            const __m512d pixels0 = _mm512_insertf64x4(_mm512_zextpd256_pd512(_mm256_loadu_pd(p0 + 4 * j)),
                                                       _mm256_loadu_pd(p1 + 4 * j), 1);
            const __m512d pixels1 = _mm512_insertf64x4(_mm512_zextpd256_pd512(_mm256_loadu_pd(p2 + 4 * j)),
                                                       _mm256_loadu_pd(p3 + 4 * j), 1);
            sums0 = _mm512_add_pd(sums0, _mm512_mul_pd(weight0, pixels0));
            sums1 = _mm512_add_pd(sums1, _mm512_mul_pd(weight1, pixels1));
        }
        const int stored = std::min(kGroupPixels, m_outWidth - x);
        StorePair(sums0, out, x, linear, std::min(stored, 2));
        if (stored > 2) StorePair(sums1, out, x + 2, linear, stored - 2);
        x += kGroupPixels;
    }
}

KESTRIN_WIDE_TARGET
bool WidenRowWide(const std::uint8_t* in, int width, double* out) {
    if (!HasWideVectors()) return false;
    const std::size_t count = 4 * static_cast<std::size_t>(width);
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i bytes;
        std::memcpy(&bytes, in + i, sizeof bytes);
        const __m512i values = _mm512_cvtepu8_epi32(bytes);
        _mm512_storeu_pd(out + i, _mm512_cvtepi32_pd(_mm512_castsi512_si256(values)));
        _mm512_storeu_pd(out + i + 8, _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(values, 1)));
    }
    for (; i < count; ++i) out[i] = in[i];
    return true;
}

// Eight output pixels at a time, their sums kept in registers over the
// rows read; the last few one at a time, with the same operations.
KESTRIN_WIDE_TARGET
bool ResampleCodeRowsDownWide(const std::uint8_t* intermediate, std::size_t stride, int width,
                              const ContributionTable& table, std::uint8_t* resampled, int begin, int end) {
    if (!HasWideVectors()) return false;
    constexpr int kBlock = 8;
    const auto rowBytes = 4 * static_cast<std::size_t>(width);
    for (int y = begin; y < end; ++y) {
        const Trimmed trimmed = Trim(table, y);
        const double* weights = table.Weights(y) + trimmed.first;
        const std::uint8_t* top =
            intermediate + static_cast<std::size_t>(table.Left(y) + trimmed.first) * stride;
        std::uint8_t* out = resampled + static_cast<std::size_t>(y) * rowBytes;
        int x = 0;
        for (; x + kBlock <= width; x += kBlock) {
            __m512d sums[kBlock / 2];
            for (__m512d& sum : sums) sum = _mm512_setzero_pd();
            const std::uint8_t* in = top + 4 * static_cast<std::size_t>(x);
            for (int k = 0; k < trimmed.taps; ++k, in += stride) {
                const __m512d weight = _mm512_set1_pd(weights[k]);
                for (int i = 0; i < kBlock / 2; ++i) {
                    std::uint64_t two;
                    std::memcpy(&two, in + 8 * i, sizeof two);
                    const __m512d pixels = _mm512_cvtepi32_pd(
                        _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(two))));
                    sums[i] = _mm512_add_pd(sums[i], _mm512_mul_pd(weight, pixels));
                }
            }
            for (int i = 0; i < kBlock / 2; ++i) StorePair(sums[i], out, x + 2 * i, false, 2);
        }
        for (; x < width; ++x) {
            double sums[4] = {};
            const std::uint8_t* in = top + 4 * static_cast<std::size_t>(x);
            for (int k = 0; k < trimmed.taps; ++k, in += stride)
                for (int b = 0; b < 4; ++b) sums[b] = sums[b] + weights[k] * static_cast<double>(in[b]);
            for (int b = 0; b < 4; ++b)
                out[4 * static_cast<std::size_t>(x) + b] = static_cast<std::uint8_t>(sums[b] + 0.5);
        }
    }
    return true;
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#else

bool HasWideVectors() {
    return false;
}

PairedAcross::PairedAcross(const ContributionTable&) {}

void PairedAcross::Resample(const double*, std::uint8_t*, bool) const {}

bool WidenRowWide(const std::uint8_t*, int, double*) {
    return false;
}

bool ResampleCodeRowsDownWide(const std::uint8_t*, std::size_t, int, const ContributionTable&, std::uint8_t*,
                              int, int) {
    return false;
}

#endif

}  // namespace resample
