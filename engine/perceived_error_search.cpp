#include "engine/perceived_error_search.h"

#include "engine/cielab.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

// The eye's blur, in the picture's own pixels: the point spread of an eye is
// a narrow core with a wide skirt (the light the lens and the retina
// scatter), here a Gaussian core carrying 60% of the light and a Gaussian
// halo carrying 40%. Measured on photos, blurred as in the quality measure,
// against single Gaussians from 0.5 to 1 pixel and halos of 1.2 to 2.5
// pixels carrying 30 to 50%: a narrower model leaves low frequencies wrong (a
// drift of tone), a wider one leaves dots in clumps the nearest look sees.
// Between the two, models trade the near look against the far ones: a halo
// of 1.5 pixels carrying half the light was 2 to 3% worse at the finest blur
// (at 4 and 8 bits; 1% better at 1 bit) and 5 to 15% better at blurs of one
// and two pixels. The finest look is where dots show the most, and there
// this one did best of those that stayed far ahead at the wider ones.
constexpr float kCoreSigma = 0.6f;
constexpr float kHaloSigma = 2.0f;
constexpr float kHaloShare = 0.4f;
// The kernel's reach: the halo's taps beyond it would carry under 5% of its
// light, and two more pixels of reach would double the taps of every sum.
constexpr int kReach = 4;
constexpr int kSpan = 2 * kReach + 1;
// A change moves the choice of its neighbours within the core's reach the
// most: they are visited again, and the rest only when a change comes near.
constexpr int kRevisitReach = 2;
// Passes over a band: the first finds most of the gain, the later ones less
// and less on fewer pixels each; a few more passes gained nothing measurable.
constexpr int kMostPasses = 8;
// The neighbours a pixel may trade entries with: trading keeps the local
// mean of the light and moves a dot, which a change of one pixel cannot.
// Trading whole entries moves light only by the difference of the two; where
// there are many entries, a pixel and a neighbour more often need to move
// light between them by a step of their own: one takes the next entry up,
// the other the next down (greys), or one takes the entry nearest to what its
// neighbourhood asks and the other the entry nearest to its own light less
// that change (colours). On photos this lowered the error the eye sees by
// 2 to 5% at the finest blur and 5 to 10% at a blur of one pixel, at 4 and 8
// bits. Trying only each side's nearest entry keeps the search's cost within
// a third more; the next ones gain about 1% for twice the cost.
// Greys trade and share steps with the diagonal neighbours too, the first
// four after the four beside: a dot moved one place diagonally is two moves
// away along rows and columns, and the greedy search would have to pass
// through the worse arrangement between. That lowered the error by 0.3 to
// 0.7% at the finest blur and 0.5 to 2% at blurs of one and two pixels, at
// 1, 2 and 4 bits, for about a fifth more time; on colours it gained under
// 1% for a third more time.
constexpr int kNeighbours[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
template <int N>
constexpr int kNeighbourCount = N == 1 ? 8 : 4;

// The search holds about 20 values per pixel of a band of rows: a band of at
// most this many pixels keeps that to a few megabytes whatever the picture.
constexpr std::size_t kBandPixels = std::size_t{1} << 17;
constexpr int kLeastBandRows = 16;

// Symmetric matrices of N x N, packed: the upper triangle row by row.
template <int N>
constexpr int kPacked = N*(N + 1) / 2;

template <int N>
void MultiplyPacked(const float* s, const float* x, float* y) {
    if constexpr (N == 1) {
        y[0] = s[0] * x[0];
    } else {
        y[0] = s[0] * x[0] + s[1] * x[1] + s[2] * x[2];
        y[1] = s[1] * x[0] + s[3] * x[1] + s[4] * x[2];
        y[2] = s[2] * x[0] + s[4] * x[1] + s[5] * x[2];
    }
}

template <int N>
float Bilinear(const float* s, const float* x, const float* y) {
    float sy[N];
    MultiplyPacked<N>(s, y, sy);
    float sum = 0.0f;
    for (int c = 0; c < N; ++c) sum += x[c] * sy[c];
    return sum;
}

template <int N>
float QuadraticForm(const float* s, const float* x) {
    if constexpr (N == 1) {
        return s[0] * x[0] * x[0];
    } else {
        return s[0] * x[0] * x[0] + s[3] * x[1] * x[1] + s[5] * x[2] * x[2] +
               2.0f * (s[1] * x[0] * x[1] + s[2] * x[0] * x[2] + s[4] * x[1] * x[2]);
    }
}

// x with s x = b, for a positive definite s.
template <int N>
void SolvePacked(const float* s, const float* b, float* x) {
    if constexpr (N == 1) {
        x[0] = b[0] / s[0];
    } else {
        const float c00 = s[3] * s[5] - s[4] * s[4];
        const float c01 = s[2] * s[4] - s[1] * s[5];
        const float c02 = s[1] * s[4] - s[2] * s[3];
        const float c11 = s[0] * s[5] - s[2] * s[2];
        const float c12 = s[1] * s[2] - s[0] * s[4];
        const float c22 = s[0] * s[3] - s[1] * s[1];
        const float determinant = s[0] * c00 + s[1] * c01 + s[2] * c02;
        x[0] = (c00 * b[0] + c01 * b[1] + c02 * b[2]) / determinant;
        x[1] = (c01 * b[0] + c11 * b[1] + c12 * b[2]) / determinant;
        x[2] = (c02 * b[0] + c12 * b[1] + c22 * b[2]) / determinant;
    }
}

// How much a small error of light at a colour weighs as the eye sees it: the
// squared change of CIELAB lightness (one channel) or of CIELAB (three).
template <int N>
void PerceivedWeights(const float* light, float* weights) {
    if constexpr (N == 1) {
        const float slope = LightnessSlope(std::clamp(light[0], 0.0f, 1.0f));
        weights[0] = slope * slope;
    } else {
        const LabSlopes slopes =
            LabSlopesAt(std::clamp(light[0], 0.0f, 1.0f), std::clamp(light[1], 0.0f, 1.0f),
                        std::clamp(light[2], 0.0f, 1.0f));
        int k = 0;
        for (int i = 0; i < 3; ++i)
            for (int j = i; j < 3; ++j)
                weights[k++] =
                    slopes[0][i] * slopes[0][j] + slopes[1][i] * slopes[1][j] + slopes[2][i] * slopes[2][j];
    }
}

// A kernel of a few separable terms: weight times taps(dx) taps(dy).
struct SeparableTerm {
    float weight;
    std::array<float, kSpan> taps;
};
using Kernel = std::vector<SeparableTerm>;

std::array<float, kSpan> GaussianTaps(float sigma) {
    std::array<float, kSpan> taps{};
    float sum = 0.0f;
    for (int d = -kReach; d <= kReach; ++d) {
        taps[static_cast<std::size_t>(d + kReach)] =
            std::exp(-0.5f * static_cast<float>(d * d) / (sigma * sigma));
        sum += taps[static_cast<std::size_t>(d + kReach)];
    }
    for (float& tap : taps) tap /= sum;
    return taps;
}

Kernel EyeKernel() {
    return {{1.0f - kHaloShare, GaussianTaps(kCoreSigma)}, {kHaloShare, GaussianTaps(kHaloSigma)}};
}

// A kernel tap by tap, row by row.
using KernelTable = std::array<std::array<float, kSpan>, kSpan>;
KernelTable TableOf(const Kernel& kernel) {
    KernelTable table{};
    for (std::size_t dy = 0; dy < kSpan; ++dy)
        for (std::size_t dx = 0; dx < kSpan; ++dx)
            for (const SeparableTerm& term : kernel)
                table[dy][dx] += term.weight * term.taps[dy] * term.taps[dx];
    return table;
}

// The share of a dot's light the eye sees on the dot itself: the sum of the
// kernel's squared taps.
float OwnShare(const KernelTable& table) {
    float own = 0.0f;
    for (const auto& row : table)
        for (const float tap : row) own += tap * tap;
    return own;
}

// The error of the picture as seen at pixel p is
//   e(p) = n(p) sum over i of g(p - i) (light of i's entry - target light of i),
// with g the eye's kernel and n(p) the inverse of its sum over the pixels
// inside the picture (the eye averages what is there). The search lowers
//   sum over p of e(p)' W(p) e(p),
// W(p) the perceived weights at the blurred target. Changing pixel i's light
// by d changes that sum by 2 d' b(i) + d' C(i) d, where
//   b(i) = sum over p of g(p - i) f(p),  f(p) = n(p) W(p) e(p),
//   C(i) = sum over p of g(p - i)^2 n(p)^2 W(p);
// f is kept up to date as pixels change, b is summed when a pixel is visited.
// Trading the entries of i and a neighbour j, d = light of j's - of i's,
// changes the sum by 2 d' (b(i) - b(j)) + d' (C(i) + C(j) - 2 X) d, with X
// the sum over p of g(p - i) g(p - j) n(p)^2 W(p).
template <int N>
class BandSearch {
public:
    BandSearch(int width, int height, const float* entries, int count,
               const PerceivedErrorSearch::Candidates& candidates,
               const PerceivedErrorSearch::TargetRow& target, std::span<std::uint8_t> chosen)
        : m_width(width),
          m_height(height),
          m_entries(entries),
          m_count(count),
          m_candidates(candidates),
          m_target(target),
          m_chosen(chosen) {
        m_kernel = EyeKernel();
        // The square of a sum of terms: each term's square and twice each
        // product of two.
        for (std::size_t a = 0; a < m_kernel.size(); ++a)
            for (std::size_t b = a; b < m_kernel.size(); ++b) {
                SeparableTerm product{(a == b ? 1.0f : 2.0f) * m_kernel[a].weight * m_kernel[b].weight, {}};
                for (std::size_t t = 0; t < kSpan; ++t)
                    product.taps[t] = m_kernel[a].taps[t] * m_kernel[b].taps[t];
                m_squaredKernel.push_back(product);
            }
        m_table = TableOf(m_kernel);
        for (std::size_t dy = 0; dy < kSpan; ++dy)
            for (std::size_t dx = 0; dx < kSpan; ++dx)
                for (std::size_t c = 0; c < N; ++c) m_spread[dy][dx * N + c] = m_table[dy][dx];
        const float own = OwnShare(m_table);
        float beside = 0.0f;
        float corner = 0.0f;
        for (std::size_t dy = 0; dy < kSpan; ++dy)
            for (std::size_t dx = 0; dx < kSpan; ++dx) {
                if (dx + 1 < kSpan) beside += m_table[dy][dx] * m_table[dy][dx + 1];
                if (dx + 1 < kSpan && dy + 1 < kSpan) corner += m_table[dy][dx] * m_table[dy + 1][dx + 1];
            }
        m_overlap = beside / own;
        m_cornerOverlap = corner / own;
        for (const SeparableTerm& term : m_kernel) {
            m_columnSums.push_back(Sums(term, width));
            m_rowSums.push_back(Sums(term, height));
        }
    }

    void allowOwnChanges(bool allowed) { m_toggles = allowed; }

    void search(int top, int bottom) {
        m_top = top;
        m_bottom = bottom;
        m_first = std::max(0, top - 2 * kReach);
        m_last = std::min(m_height, bottom + 2 * kReach);
        m_seenFirst = std::max(0, top - kReach);
        m_seenLast = std::min(m_height, bottom + kReach);
        const std::size_t pixels =
            static_cast<std::size_t>(m_last - m_first) * static_cast<std::size_t>(m_width);
        m_light.assign(pixels * N, 0.0f);
        m_weights.assign(pixels * kPacked<N>, 0.0f);
        m_seen.assign(pixels * N, 0.0f);
        m_curvature.assign(pixels * kPacked<N>, 0.0f);
        for (int y = m_first; y < m_last; ++y) m_target(y, &m_light[offset(0, y) * N]);
        prepareWeights();
        prepareErrors();
        prepareCurvature();
        m_stale.assign(static_cast<std::size_t>(bottom - top) * static_cast<std::size_t>(m_width), 1);
        m_gradients.assign(m_stale.size() * N, 0.0f);
        m_gradientKnown.assign(m_stale.size(), 0);
        for (int pass = 0; pass < kMostPasses; ++pass)
            if (!improve()) break;
    }

private:
    // For each place along a line of `size` pixels, the sum of the term's
    // taps that fall inside.
    std::vector<float> Sums(const SeparableTerm& term, int size) const {
        std::vector<float> sums(static_cast<std::size_t>(size), 0.0f);
        for (int at = 0; at < size; ++at)
            for (int d = -kReach; d <= kReach; ++d)
                if (at + d >= 0 && at + d < size)
                    sums[static_cast<std::size_t>(at)] += term.taps[static_cast<std::size_t>(d + kReach)];
        return sums;
    }

    // n(p): the inverse of the kernel's sum over the pixels inside.
    float scale(int x, int y) const {
        float sum = 0.0f;
        for (std::size_t t = 0; t < m_kernel.size(); ++t)
            sum += m_kernel[t].weight * m_columnSums[t][static_cast<std::size_t>(x)] *
                   m_rowSums[t][static_cast<std::size_t>(y)];
        return 1.0f / sum;
    }

    std::size_t offset(int x, int y) const {
        return static_cast<std::size_t>(y - m_first) * static_cast<std::size_t>(m_width) +
               static_cast<std::size_t>(x);
    }

    const float* entry(int x, int y) const {
        const std::size_t at =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x);
        return m_entries + static_cast<std::size_t>(m_chosen[at]) * N;
    }

    // out(x, y) for rows [first, last) = the sum over the kernel's reach of
    // kernel(dx, dy) in(x + dx, y + dy), `values` per pixel.
    void blur(const std::vector<float>& in, std::vector<float>& out, int values, int first, int last,
              const Kernel& kernel) const {
        const auto count = static_cast<std::size_t>(values);
        std::vector<float> across(in.size(), 0.0f);
        const int inFirst = std::max(m_first, first - kReach);
        const int inLast = std::min(m_last, last + kReach);
        for (int y = first; y < last; ++y) std::fill_n(&out[offset(0, y) * count], m_width * values, 0.0f);
        for (const SeparableTerm& term : kernel) {
            for (int y = inFirst; y < inLast; ++y)
                for (int x = 0; x < m_width; ++x) {
                    float* sum = &across[offset(x, y) * count];
                    std::fill_n(sum, values, 0.0f);
                    for (int dx = std::max(-kReach, -x); dx <= std::min(kReach, m_width - 1 - x); ++dx) {
                        const float g = term.taps[static_cast<std::size_t>(dx + kReach)];
                        const float* value = &in[offset(x + dx, y) * count];
                        for (std::size_t c = 0; c < count; ++c) sum[c] += g * value[c];
                    }
                }
            for (int y = first; y < last; ++y)
                for (int x = 0; x < m_width; ++x) {
                    float* sum = &out[offset(x, y) * count];
                    for (int dy = std::max(-kReach, inFirst - y); dy <= std::min(kReach, inLast - 1 - y);
                         ++dy) {
                        const float g = term.weight * term.taps[static_cast<std::size_t>(dy + kReach)];
                        const float* value = &across[offset(x, y + dy) * count];
                        for (std::size_t c = 0; c < count; ++c) sum[c] += g * value[c];
                    }
                }
        }
    }

    // n(p)^2 W(p) at the target blurred as the eye blurs it.
    void prepareWeights() {
        blur(m_light, m_seen, N, m_seenFirst, m_seenLast, m_kernel);
        for (int y = m_seenFirst; y < m_seenLast; ++y)
            for (int x = 0; x < m_width; ++x) {
                float* weights = &m_weights[offset(x, y) * kPacked<N>];
                const float n = scale(x, y);
                float* seen = &m_seen[offset(x, y) * N];
                for (int c = 0; c < N; ++c) seen[c] *= n;
                PerceivedWeights<N>(seen, weights);
                for (int k = 0; k < kPacked<N>; ++k) weights[k] *= n * n;
            }
    }

    // f(p) = n(p)^2 W(p) times the unscaled blur of the entries' error, kept
    // in m_seen from here on.
    void prepareErrors() {
        std::vector<float> error(m_light.size());
        for (int y = m_first; y < m_last; ++y)
            for (int x = 0; x < m_width; ++x)
                for (int c = 0; c < N; ++c)
                    error[offset(x, y) * N + static_cast<std::size_t>(c)] =
                        entry(x, y)[c] - m_light[offset(x, y) * N + static_cast<std::size_t>(c)];
        std::vector<float> blurred(m_light.size(), 0.0f);
        blur(error, blurred, N, m_seenFirst, m_seenLast, m_kernel);
        std::fill(m_seen.begin(), m_seen.end(), 0.0f);
        for (int y = m_seenFirst; y < m_seenLast; ++y)
            for (int x = 0; x < m_width; ++x)
                MultiplyPacked<N>(&m_weights[offset(x, y) * kPacked<N>], &blurred[offset(x, y) * N],
                                  &m_seen[offset(x, y) * N]);
    }

    void prepareCurvature() {
        // The weights outside the rows the eye sees in this band are zero, so
        // blurring them over the band's own rows sums exactly the seen ones.
        blur(m_weights, m_curvature, kPacked<N>, m_top, m_bottom, m_squaredKernel);
    }

    // One pass over the band's pixels whose neighbourhood changed since
    // they were last visited; whether any changed.
    bool improve() {
        bool changed = false;
        for (int y = m_top; y < m_bottom; ++y)
            for (int x = 0; x < m_width; ++x) {
                std::uint8_t& stale =
                    m_stale[static_cast<std::size_t>(y - m_top) * static_cast<std::size_t>(m_width) +
                            static_cast<std::size_t>(x)];
                if (!stale) continue;
                stale = 0;
                if (improvePixel(x, y)) {
                    changed = true;
                    markStale(x, y);
                }
            }
        return changed;
    }

    // A pixel's best choice depends on the errors seen within the kernel's
    // reach of it, which a change moves within twice that reach.
    void markStale(int x, int y) {
        const int reach = kRevisitReach;
        for (int row = std::max(m_top, y - reach); row < std::min(m_bottom, y + reach + 1); ++row) {
            std::uint8_t* stale =
                &m_stale[static_cast<std::size_t>(row - m_top) * static_cast<std::size_t>(m_width)];
            std::fill(stale + std::max(0, x - reach), stale + std::min(m_width, x + reach + 1),
                      std::uint8_t{1});
        }
    }

    // b at pixel (x, y).
    void gradientAt(int x, int y, float* gradient) const {
        const int left = std::max(-kReach, -x);
        const int right = std::min(kReach, m_width - 1 - x);
        const int up = std::max(-kReach, m_seenFirst - y);
        const int down = std::min(kReach, m_seenLast - 1 - y);
        std::fill_n(gradient, N, 0.0f);
        if (left == -kReach && right == kReach) {
            // Inside the picture the window's rows are whole: summed tap by
            // tap over the channels together, which the compiler vectorises.
            std::array<float, kSpan * N> sums{};
            for (int dy = up; dy <= down; ++dy) {
                const float* g = m_spread[static_cast<std::size_t>(dy + kReach)].data();
                const float* f = &m_seen[offset(x - kReach, y + dy) * N];
                for (std::size_t k = 0; k < kSpan * N; ++k) sums[k] += g[k] * f[k];
            }
            for (std::size_t k = 0; k < kSpan * N; ++k) gradient[k % N] += sums[k];
            return;
        }
        for (int dy = up; dy <= down; ++dy) {
            const float* g = &m_table[static_cast<std::size_t>(dy + kReach)][kReach];
            const float* f = &m_seen[offset(x, y + dy) * N];
            for (int dx = left; dx <= right; ++dx)
                for (int c = 0; c < N; ++c) gradient[c] += g[dx] * f[dx * N + c];
        }
    }

    // b at a pixel of the band, worked out again only after a change within
    // the kernel's reach: the search asks for each pixel's b at its own visit
    // and at each of its neighbours', and most visits change nothing.
    const float* knownGradient(int x, int y) {
        const std::size_t at = static_cast<std::size_t>(y - m_top) * static_cast<std::size_t>(m_width) +
                               static_cast<std::size_t>(x);
        float* gradient = &m_gradients[at * N];
        if (!m_gradientKnown[at]) {
            gradientAt(x, y, gradient);
            m_gradientKnown[at] = 1;
        }
        return gradient;
    }

    void forgetGradients(int x, int y) {
        constexpr int reach = 2 * kReach;
        for (int row = std::max(m_top, y - reach); row < std::min(m_bottom, y + reach + 1); ++row) {
            std::uint8_t* known =
                &m_gradientKnown[static_cast<std::size_t>(row - m_top) * static_cast<std::size_t>(m_width)];
            std::fill(known + std::max(0, x - reach), known + std::min(m_width, x + reach + 1),
                      std::uint8_t{0});
        }
    }

    // Changes pixel (x, y) to `choice`, `step` away from its light.
    void change(int x, int y, std::uint8_t choice, const float* step) {
        forgetGradients(x, y);
        m_chosen[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
                 static_cast<std::size_t>(x)] = choice;
        const int left = std::max(-kReach, -x);
        const int right = std::min(kReach, m_width - 1 - x);
        const int up = std::max(-kReach, m_seenFirst - y);
        const int down = std::min(kReach, m_seenLast - 1 - y);
        for (int dy = up; dy <= down; ++dy) {
            const float* g = &m_table[static_cast<std::size_t>(dy + kReach)][kReach];
            for (int dx = left; dx <= right; ++dx) {
                const std::size_t p = offset(x + dx, y + dy);
                float moved[N];
                MultiplyPacked<N>(&m_weights[p * kPacked<N>], step, moved);
                for (int c = 0; c < N; ++c) m_seen[p * N + static_cast<std::size_t>(c)] += g[dx] * moved[c];
            }
        }
    }

    bool improvePixel(int x, int y) {
        float gradient[N];
        std::copy_n(knownGradient(x, y), N, gradient);
        const float* curvature = &m_curvature[offset(x, y) * kPacked<N>];
        const float* current = entry(x, y);
        float step[N];
        SolvePacked<N>(curvature, gradient, step);
        float ideal[N];
        for (int c = 0; c < N; ++c) ideal[c] = std::clamp(current[c] - step[c], 0.0f, 1.0f);

        const std::size_t at =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x);
        std::uint8_t best = m_chosen[at];
        float bestChange = 0.0f;
        float bestStep[N] = {};
        // The nearest entry other than its own, for the steps shared with a
        // neighbour.
        int nearestOther = -1;
        for (const std::uint8_t candidate :
             m_toggles ? m_candidates(ideal) : std::span<const std::uint8_t>()) {
            if (nearestOther < 0 && candidate != m_chosen[at]) nearestOther = candidate;
            if (candidate == m_chosen[at]) continue;
            const float* light = m_entries + static_cast<std::size_t>(candidate) * N;
            float d[N];
            float change = 0.0f;
            for (int c = 0; c < N; ++c) {
                d[c] = light[c] - current[c];
                change += 2.0f * d[c] * gradient[c];
            }
            change += QuadraticForm<N>(curvature, d);
            if (change < bestChange) {
                bestChange = change;
                best = candidate;
                std::copy_n(d, N, bestStep);
            }
        }
        int bestPartner = -1;
        std::uint8_t bestOther = 0;
        float bestOtherStep[N] = {};
        for (int k = 0; k < kNeighbourCount<N>; ++k) {
            const int nx = x + kNeighbours[k][0];
            const int ny = y + kNeighbours[k][1];
            if (nx < 0 || nx >= m_width || ny < m_top || ny >= m_bottom) continue;
            const std::uint8_t other =
                m_chosen[static_cast<std::size_t>(ny) * static_cast<std::size_t>(m_width) +
                         static_cast<std::size_t>(nx)];
            // Steps of its own change the light as toggles do: only where
            // those keep the tone.
            if (other == m_chosen[at] && !m_toggles) continue;
            float otherGradient[N];
            std::copy_n(knownGradient(nx, ny), N, otherGradient);
            // The two errors' shared part, sum over p of g(p - i) g(p - j)
            // n(p)^2 W(p), taken as if the weights were even over the two
            // neighbourhoods: exact where the picture is smooth, and cheap.
            const float* otherCurvature = &m_curvature[offset(nx, ny) * kPacked<N>];
            const float overlap = k < 4 ? m_overlap : m_cornerOverlap;
            float both[kPacked<N>];
            for (int c = 0; c < kPacked<N>; ++c)
                both[c] = 0.5f * overlap * (curvature[c] + otherCurvature[c]);
            const float* otherLight = m_entries + static_cast<std::size_t>(other) * N;
            const auto consider = [&](std::uint8_t mine, std::uint8_t theirs) {
                float d[N];
                float e[N];
                for (int c = 0; c < N; ++c) {
                    d[c] = m_entries[static_cast<std::size_t>(mine) * N + c] - current[c];
                    e[c] = m_entries[static_cast<std::size_t>(theirs) * N + c] - otherLight[c];
                }
                float change = 0.0f;
                for (int c = 0; c < N; ++c) change += 2.0f * (d[c] * gradient[c] + e[c] * otherGradient[c]);
                change += QuadraticForm<N>(curvature, d) + QuadraticForm<N>(otherCurvature, e) +
                          2.0f * Bilinear<N>(both, d, e);
                if (change < bestChange) {
                    bestChange = change;
                    bestPartner = k;
                    best = mine;
                    bestOther = theirs;
                    std::copy_n(d, N, bestStep);
                    std::copy_n(e, N, bestOtherStep);
                }
            };
            if (other != m_chosen[at]) consider(other, m_chosen[at]);
            if (N == 1 && m_toggles) {
                // One channel's entries are in order of light.
                const int mine = m_chosen[at];
                const int theirs = other;
                if (mine + 1 < m_count && theirs > 0)
                    consider(static_cast<std::uint8_t>(mine + 1), static_cast<std::uint8_t>(theirs - 1));
                if (mine > 0 && theirs + 1 < m_count)
                    consider(static_cast<std::uint8_t>(mine - 1), static_cast<std::uint8_t>(theirs + 1));
            } else if (nearestOther >= 0) {
                const auto mine = static_cast<std::uint8_t>(nearestOther);
                float rest[N];
                for (int c = 0; c < N; ++c)
                    rest[c] = std::clamp(
                        otherLight[c] - (m_entries[static_cast<std::size_t>(mine) * N + c] - current[c]),
                        0.0f, 1.0f);
                const std::span<const std::uint8_t> theirs = m_candidates(rest);
                if (!theirs.empty() && theirs[0] != other) consider(mine, theirs[0]);
            }
        }
        if (best == m_chosen[at] && bestPartner < 0) return false;
        if (bestPartner >= 0) {
            const int nx = x + kNeighbours[bestPartner][0];
            const int ny = y + kNeighbours[bestPartner][1];
            change(nx, ny, bestOther, bestOtherStep);
            markStale(nx, ny);
        }
        change(x, y, best, bestStep);
        return true;
    }

    int m_width;
    int m_height;
    const float* m_entries;
    int m_count;
    const PerceivedErrorSearch::Candidates& m_candidates;
    const PerceivedErrorSearch::TargetRow& m_target;
    std::span<std::uint8_t> m_chosen;
    Kernel m_kernel;
    Kernel m_squaredKernel;
    KernelTable m_table{};
    // Each row of the kernel with each tap repeated for the N channels.
    std::array<std::array<float, kSpan * N>, kSpan> m_spread{};
    std::vector<std::vector<float>> m_columnSums;
    std::vector<std::vector<float>> m_rowSums;
    // The band's rows [m_top, m_bottom) change; rows [m_first, m_last) hold
    // values, those in [m_seenFirst, m_seenLast) are the ones the eye's blur
    // of the band's pixels reaches.
    int m_top = 0;
    int m_bottom = 0;
    int m_first = 0;
    int m_last = 0;
    int m_seenFirst = 0;
    int m_seenLast = 0;
    std::vector<float> m_light;      // target, N per pixel
    std::vector<float> m_weights;    // n^2 W, packed
    std::vector<float> m_seen;       // f, N per pixel
    std::vector<float> m_curvature;  // C, packed
    // How much of its own error a pixel shares with its neighbour's, as the
    // eye sees them (of the kernel with itself, one pixel apart; and one
    // pixel apart both across and down).
    float m_overlap = 0.0f;
    float m_cornerOverlap = 0.0f;
    // Whether a pixel may take another entry of its own, or only trade.
    bool m_toggles = true;
    std::vector<std::uint8_t> m_stale;  // the band's pixels to visit
    std::vector<float> m_gradients;     // b, N per band pixel
    std::vector<std::uint8_t> m_gradientKnown;
};

// Whether pixels may change their own entries without losing the tone of
// the darkest shades. A shade between black and the darkest other entry
// shows as a share of that entry's dots; each dot, as the eye sees it,
// keeps `ownShare` of its light on itself, and a change pays for that share
// squared while the shade's error it cancels is the share itself. Below a
// share of `ownShare` the search would rather drop the dots, and the
// shade's tone with them: that must stay below a just noticeable
// difference (1 in CIELAB lightness), or pixels may only trade entries,
// which keeps the diffusion's tone.
template <int N>
bool OwnChangesKeepTone(std::span<const float> entries) {
    const float ownShare = OwnShare(TableOf(EyeKernel()));
    float darkest = 1.0f;
    for (std::size_t at = 0; at < entries.size(); at += N) {
        const float light = N == 1 ? entries[at] : Luminance(entries[at], entries[at + 1], entries[at + 2]);
        if (light > 0.0f) darkest = std::min(darkest, light);
    }
    return ownShare * darkest < LuminanceOf(1.0f);
}

// Colours cost the most to search: their bands are searched two at a time,
// on two threads, each band changing only its own rows and reading those
// within twice the kernel's reach beyond, which lie in the bands on either
// side. Bands of even place go first, against their neighbours as diffused,
// then the odd ones against the even ones searched: the same picture
// whichever thread searches which band, or on one thread alone. A small
// picture is cut into four bands for it.
constexpr int kTwoThreadBands = 4;

template <int N>
void SearchBands(int width, int height, std::span<const float> entries,
                 const PerceivedErrorSearch::CandidateSource& source,
                 const PerceivedErrorSearch::TargetRow& target, std::span<std::uint8_t> chosen) {
    if (static_cast<std::size_t>(width) * static_cast<std::size_t>(kLeastBandRows) > kBandPixels) return;
    int bandRows = std::max(kLeastBandRows, static_cast<int>(kBandPixels / static_cast<std::size_t>(width)));
    const int count = static_cast<int>(entries.size() / N);
    const bool ownChanges = OwnChangesKeepTone<N>(entries);
    if (N == 1 || height < kTwoThreadBands * kLeastBandRows) {
        const PerceivedErrorSearch::Candidates candidates = source();
        BandSearch<N> search(width, height, entries.data(), count, candidates, target, chosen);
        search.allowOwnChanges(ownChanges);
        for (int top = 0; top < height; top += bandRows) search.search(top, std::min(height, top + bandRows));
        return;
    }
    bandRows = std::min(bandRows, (height + kTwoThreadBands - 1) / kTwoThreadBands);
    const int bands = (height + bandRows - 1) / bandRows;
    const PerceivedErrorSearch::Candidates candidates[2] = {source(), source()};
    const auto searchEvery = [&](int first, int worker) {
        BandSearch<N> search(width, height, entries.data(), count, candidates[worker], target, chosen);
        search.allowOwnChanges(ownChanges);
        // Each thread takes every other band of one parity.
        for (int band = first; band < bands; band += 2 * 2)
            search.search(band * bandRows, std::min(height, (band + 1) * bandRows));
    };
    for (int parity = 0; parity < 2; ++parity) {
        // The second thread takes every other band of this parity; should
        // the system refuse it one, this thread searches them too.
        std::exception_ptr failure;
        std::thread helper;
        try {
            helper = std::thread([&] {
                try {
                    searchEvery(parity + 2, 1);
                } catch (...) {
                    failure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            searchEvery(parity + 2, 1);
        }
        try {
            searchEvery(parity, 0);
        } catch (...) {
            if (helper.joinable()) helper.join();
            throw;
        }
        if (helper.joinable()) helper.join();
        if (failure) std::rethrow_exception(failure);
    }
}

}  // namespace

PerceivedErrorSearch::PerceivedErrorSearch(int channels, std::vector<float> entries,
                                           CandidateSource candidates)
    : m_channels(channels), m_entries(std::move(entries)), m_candidates(std::move(candidates)) {
    if (channels != 1 && channels != 3) throw std::invalid_argument("the search takes one or three channels");
}

bool PerceivedErrorSearch::changesOwnEntries() const {
    return m_channels == 1 ? OwnChangesKeepTone<1>(m_entries) : OwnChangesKeepTone<3>(m_entries);
}

void PerceivedErrorSearch::refine(int width, int height, const TargetRow& target,
                                  std::span<std::uint8_t> chosen) const {
    if (width <= 0 || height <= 0) return;
    if (chosen.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        throw std::invalid_argument("the search needs an entry for every pixel");
    if (m_channels == 1)
        SearchBands<1>(width, height, m_entries, m_candidates, target, chosen);
    else
        SearchBands<3>(width, height, m_entries, m_candidates, target, chosen);
}
