#pragma once

#include <functional>
#include <vector>

namespace resample {

// For one pass: which source pixels make up each output pixel, and with what
// weights. Built once per output index and reused across the other side.
//
// The pass loops read a whole row of Taps() weights for every output pixel,
// starting at its first source: beyond an output pixel's own sources its
// weights are 0, so the caller keeps Taps() zero pixels after each source row.
class ContributionTable {
public:
    // The sources of output pixel i: `weights` receives one weight per source
    // pixel from the returned index on, not yet normalised.
    using PixelWeights = std::function<int(int i, std::vector<double>& weights)>;

    // Each output pixel's weights are divided by their sum, unless that is 0.
    // Room is made for at least `minimumTaps` weights per output pixel.
    ContributionTable(int outSize, int minimumTaps, const PixelWeights& weightsOf);

    int Size() const { return static_cast<int>(m_left.size()); }
    int Taps() const { return m_taps; }
    // First and last source pixel of output pixel i, both inclusive.
    int Left(int i) const { return m_left[static_cast<std::size_t>(i)]; }
    int Right(int i) const { return m_right[static_cast<std::size_t>(i)]; }
    const double* Weights(int i) const {
        return m_weights.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(m_taps);
    }

private:
    int m_taps = 0;
    std::vector<int> m_left;
    std::vector<int> m_right;
    std::vector<double> m_weights;
};

// The tent of radius 1, widened by the shrink factor when a side shrinks, with
// no half-pixel offset: output pixel 0 sits on source pixel 0.
ContributionTable TentContributions(int outSize, int inSize);

// For the linear-light mode, with pixel centres in the middle of the area each
// pixel covers: an enlarging side interpolates between the two nearest
// centres, a shrinking side averages each output pixel's own area.
ContributionTable AreaContributions(int outSize, int inSize);

// For the sharp linear-light mode, centres as for AreaContributions: a side
// shrinking by more than three times is first averaged in boxes of this many
// source pixels, to about three times its size, the last box holding what is
// left; 1 otherwise.
int BoxShrinkFactor(int outSize, int inSize);
// Lanczos-3 from the boxes of `boxFactor` source pixels each to outSize
// pixels, widened by the shrink left after the boxes; sources beyond either
// edge repeat the edge. The weights can be negative.
ContributionTable LanczosContributions(int outSize, int inSize, int boxFactor);
// The boxes and the Lanczos-3 after them as one table over the source pixels.
ContributionTable BoxedLanczosContributions(int outSize, int inSize);

}  // namespace resample
