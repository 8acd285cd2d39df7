#include "imagelib/resample/paired_across.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

#if defined(__GNUC__) && defined(__x86_64__)
#define KESTRIN_WIDE_VECTORS 1
#include <immintrin.h>
// Neither a multiply nor an add below may be fused or reordered: each lane
// does what the scalar loop writes, so the bytes match it. Neither target
// enables FMA, and the library is built without contraction.
#define KESTRIN_WIDE_TARGET __attribute__((target("avx512f,avx512vl")))
#define KESTRIN_AVX2_TARGET __attribute__((target("avx2")))
#endif

namespace resample {
namespace {

int MachineVectorWidth() {
#if defined(KESTRIN_WIDE_VECTORS)
    static const int width = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") ? 512
                             : __builtin_cpu_supports("avx2")                                        ? 256
                                                                                                     : 128;
    return width;
#else
    return 128;
#endif
}

// Threads read it while they resample; a test lowers it between pictures.
std::atomic<int>& ChosenVectorWidth() {
    static std::atomic<int> width{[] {
        const char* chosen = std::getenv("KESTRIN_VECTOR_WIDTH");
        const std::string_view value = chosen != nullptr ? chosen : "";
        const int cap = value == "128" ? 128 : value == "256" ? 256 : 512;
        return std::min(cap, MachineVectorWidth());
    }()};
    return width;
}

}  // namespace

int VectorWidth() {
    return ChosenVectorWidth().load(std::memory_order_relaxed);
}

int LimitVectorWidth(int bits) {
    const int width = std::min(bits >= 512 ? 512 : bits >= 256 ? 256 : 128, MachineVectorWidth());
    ChosenVectorWidth().store(width, std::memory_order_relaxed);
    return width;
}

#if defined(KESTRIN_WIDE_VECTORS)

// GCC 12 warns that the lanes its own intrinsics leave undefined on purpose
// may be used uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

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

// The same for one output pixel on the 256-bit unit. Its light is within 16
// bits once clamped, so packing it with saturation only keeps the low half of
// each lane; a byte is the low byte of its lane, as above.
KESTRIN_AVX2_TARGET
void StorePixel(__m256d sums, std::uint8_t* out, int x, bool linear) {
    if (linear) {
        const __m256d clamped =
            _mm256_min_pd(_mm256_max_pd(sums, _mm256_setzero_pd()), _mm256_set1_pd(65535.0));
        const __m128i lanes = _mm256_cvttpd_epi32(_mm256_add_pd(clamped, _mm256_set1_pd(0.5)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 8 * static_cast<std::size_t>(x)),
                         _mm_packus_epi32(lanes, lanes));
        return;
    }
    const __m128i lanes = _mm256_cvttpd_epi32(_mm256_add_pd(sums, _mm256_set1_pd(0.5)));
    const __m128i lowBytes = _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const int bytes = _mm_cvtsi128_si32(_mm_shuffle_epi8(lanes, lowBytes));
    std::memcpy(out + 4 * static_cast<std::size_t>(x), &bytes, sizeof bytes);
}

// The output pixels of the pass down past the last whole block, one at a
// time with the operations of the vector loops.
void CodeColumnsDown(const std::uint8_t* top, std::size_t stride, const double* weights, int taps,
                     std::uint8_t* out, int begin, int end) {
    for (int x = begin; x < end; ++x) {
        double sums[4] = {};
        const std::uint8_t* in = top + 4 * static_cast<std::size_t>(x);
        for (int k = 0; k < taps; ++k, in += stride)
            for (int b = 0; b < 4; ++b) sums[b] = sums[b] + weights[k] * static_cast<double>(in[b]);
        for (int b = 0; b < 4; ++b)
            out[4 * static_cast<std::size_t>(x) + b] = static_cast<std::uint8_t>(sums[b] + 0.5);
    }
}

KESTRIN_WIDE_TARGET
void WidenRowOn512(const std::uint8_t* in, std::size_t count, double* out) {
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i bytes;
        std::memcpy(&bytes, in + i, sizeof bytes);
        const __m512i values = _mm512_cvtepu8_epi32(bytes);
        _mm512_storeu_pd(out + i, _mm512_cvtepi32_pd(_mm512_castsi512_si256(values)));
        _mm512_storeu_pd(out + i + 8, _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(values, 1)));
    }
    for (; i < count; ++i) out[i] = in[i];
}

// A pixel's four bytes to a 128-bit conversion.
KESTRIN_AVX2_TARGET
void WidenRowOn256(const std::uint8_t* in, std::size_t count, double* out) {
    for (std::size_t i = 0; i < count; i += 4) {
        int bytes;
        std::memcpy(&bytes, in + i, sizeof bytes);
        _mm256_storeu_pd(out + i, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes))));
    }
}

// Where row y of the pass down reads its sources and writes its pixels, the
// zero weights at either end of its sources left out.
struct DownRow {
    const double* weights;
    int taps;
    const std::uint8_t* top;
    std::uint8_t* out;
};

DownRow DownRowAt(const std::uint8_t* intermediate, std::size_t stride, int width,
                  const ContributionTable& table, std::uint8_t* resampled, int y) {
    const Trimmed trimmed = Trim(table, y);
    return {table.Weights(y) + trimmed.first, trimmed.taps,
            intermediate + static_cast<std::size_t>(table.Left(y) + trimmed.first) * stride,
            resampled + static_cast<std::size_t>(y) * 4 * static_cast<std::size_t>(width)};
}

// Eight output pixels at a time, their sums kept in registers over the
// rows read; the last few one at a time, with the same operations.
constexpr int kDownBlock = 8;

KESTRIN_WIDE_TARGET
void CodeRowsDownOn512(const std::uint8_t* intermediate, std::size_t stride, int width,
                       const ContributionTable& table, std::uint8_t* resampled, int begin, int end) {
    for (int y = begin; y < end; ++y) {
        const DownRow row = DownRowAt(intermediate, stride, width, table, resampled, y);
        const double* weights = row.weights;
        std::uint8_t* out = row.out;
        int x = 0;
        for (; x + kDownBlock <= width; x += kDownBlock) {
            __m512d sums[kDownBlock / 2];
            for (__m512d& sum : sums) sum = _mm512_setzero_pd();
            const std::uint8_t* in = row.top + 4 * static_cast<std::size_t>(x);
            for (int k = 0; k < row.taps; ++k, in += stride) {
                const __m512d weight = _mm512_set1_pd(weights[k]);
                for (int i = 0; i < kDownBlock / 2; ++i) {
                    std::uint64_t two;
                    std::memcpy(&two, in + 8 * i, sizeof two);
                    const __m512d pixels = _mm512_cvtepi32_pd(
                        _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(two))));
                    sums[i] = _mm512_add_pd(sums[i], _mm512_mul_pd(weight, pixels));
                }
            }
            for (int i = 0; i < kDownBlock / 2; ++i) StorePair(sums[i], out, x + 2 * i, false, 2);
        }
        CodeColumnsDown(row.top, stride, weights, row.taps, out, x, width);
    }
}

KESTRIN_AVX2_TARGET
void CodeRowsDownOn256(const std::uint8_t* intermediate, std::size_t stride, int width,
                       const ContributionTable& table, std::uint8_t* resampled, int begin, int end) {
    for (int y = begin; y < end; ++y) {
        const DownRow row = DownRowAt(intermediate, stride, width, table, resampled, y);
        const double* weights = row.weights;
        std::uint8_t* out = row.out;
        int x = 0;
        for (; x + kDownBlock <= width; x += kDownBlock) {
            __m256d sums[kDownBlock];
            for (__m256d& sum : sums) sum = _mm256_setzero_pd();
            const std::uint8_t* in = row.top + 4 * static_cast<std::size_t>(x);
            for (int k = 0; k < row.taps; ++k, in += stride) {
                const __m256d weight = _mm256_broadcast_sd(weights + k);
                for (int i = 0; i < kDownBlock / 2; ++i) {
                    std::uint64_t two;
                    std::memcpy(&two, in + 8 * i, sizeof two);
                    const __m256i codes =
                        _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(two)));
                    const __m256d first = _mm256_cvtepi32_pd(_mm256_castsi256_si128(codes));
                    const __m256d second = _mm256_cvtepi32_pd(_mm256_extracti128_si256(codes, 1));
                    sums[2 * i] = _mm256_add_pd(sums[2 * i], _mm256_mul_pd(weight, first));
                    sums[2 * i + 1] = _mm256_add_pd(sums[2 * i + 1], _mm256_mul_pd(weight, second));
                }
            }
            for (int i = 0; i < kDownBlock; ++i) StorePixel(sums[i], out, x + i, false);
        }
        CodeColumnsDown(row.top, stride, weights, row.taps, out, x, width);
    }
}

}  // namespace

PairedAcross::PairedAcross(const ContributionTable& table) {
    if (VectorWidth() < 256) return;
    m_width = VectorWidth();
    m_groupPixels = m_width == 512 ? 4 : 8;
    m_outWidth = table.Size();
    m_groups.reserve(static_cast<std::size_t>(m_outWidth / m_groupPixels + 1));
    for (int x = 0; x < m_outWidth; x += m_groupPixels) {
        // Pixels past the last are the last again, and not stored.
        Group group{};
        Trimmed trimmed[kMostGroupPixels];
        for (int k = 0; k < m_groupPixels; ++k) {
            const int pixel = std::min(x + k, m_outWidth - 1);
            trimmed[k] = Trim(table, pixel);
            group.left[k] = table.Left(pixel) + trimmed[k].first;
            group.taps = std::max(group.taps, trimmed[k].taps);
        }
        m_groups.push_back(group);
        for (int j = 0; j < group.taps; ++j)
            for (int k = 0; k < m_groupPixels; ++k) {
                const int pixel = std::min(x + k, m_outWidth - 1);
                m_weights.push_back(j < trimmed[k].taps ? table.Weights(pixel)[trimmed[k].first + j] : 0.0);
            }
    }
}

// A pixel of a group reads past its own sources with weight 0, at most
// table.Taps() pixels from its first, within the row's zero pixels. The
// pixels of a group are summed side by side, so that an addition need not
// wait for the one before it.
void PairedAcross::Resample(const double* row, std::uint8_t* out, bool linear) const {
    if (m_width == 512)
        ResampleOn512(row, out, linear);
    else if (m_width == 256)
        ResampleOn256(row, out, linear);
}

KESTRIN_WIDE_TARGET
void PairedAcross::ResampleOn512(const double* row, std::uint8_t* out, bool linear) const {
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
        for (int j = 0; j < group.taps; ++j, weights += 4) {
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
        const int stored = std::min(4, m_outWidth - x);
        StorePair(sums0, out, x, linear, std::min(stored, 2));
        if (stored > 2) StorePair(sums1, out, x + 2, linear, stored - 2);
        x += 4;
    }
}

// Each pixel's weight is spread over its vector from the group's four.
KESTRIN_AVX2_TARGET
void PairedAcross::ResampleOn256(const double* row, std::uint8_t* out, bool linear) const {
    constexpr int kPixels = 8;
    const double* weights = m_weights.data();
    int x = 0;
    for (const Group& group : m_groups) {
        const double* sources[kPixels];
        __m256d sums[kPixels];
        for (int k = 0; k < kPixels; ++k) {
            sources[k] = row + 4 * static_cast<std::size_t>(group.left[k]);
            sums[k] = _mm256_setzero_pd();
        }
        const int taps = group.taps;
        for (int j = 0; j < taps; ++j, weights += kPixels) {
            const __m256d first = _mm256_loadu_pd(weights);
            const __m256d second = _mm256_loadu_pd(weights + 4);
            const __m256d spread[kPixels] = {
                _mm256_permute4x64_pd(first, 0x00),  _mm256_permute4x64_pd(first, 0x55),
                _mm256_permute4x64_pd(first, 0xAA),  _mm256_permute4x64_pd(first, 0xFF),
                _mm256_permute4x64_pd(second, 0x00), _mm256_permute4x64_pd(second, 0x55),
                _mm256_permute4x64_pd(second, 0xAA), _mm256_permute4x64_pd(second, 0xFF)};
            for (int k = 0; k < kPixels; ++k)
                sums[k] =
                    _mm256_add_pd(sums[k], _mm256_mul_pd(spread[k], _mm256_loadu_pd(sources[k] + 4 * j)));
        }
        const int stored = std::min(kPixels, m_outWidth - x);
        for (int k = 0; k < stored; ++k) StorePixel(sums[k], out, x + k, linear);
        x += kPixels;
    }
}

bool WidenRowWide(const std::uint8_t* in, int width, double* out) {
    const std::size_t count = 4 * static_cast<std::size_t>(width);
    switch (VectorWidth()) {
        case 512:
            WidenRowOn512(in, count, out);
            return true;
        case 256:
            WidenRowOn256(in, count, out);
            return true;
        default:
            return false;
    }
}

bool ResampleCodeRowsDownWide(const std::uint8_t* intermediate, std::size_t stride, int width,
                              const ContributionTable& table, std::uint8_t* resampled, int begin, int end) {
    switch (VectorWidth()) {
        case 512:
            CodeRowsDownOn512(intermediate, stride, width, table, resampled, begin, end);
            return true;
        case 256:
            CodeRowsDownOn256(intermediate, stride, width, table, resampled, begin, end);
            return true;
        default:
            return false;
    }
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#else

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
