#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// Improves a dithered picture's choice of palette entries for the picture as
// the eye sees it. The eye merges neighbouring dots: the picture and its
// target are both blurred in linear light by a model of the eye's point
// spread, and the difference is weighed by how much CIELAB moves with light
// at the target's blurred colour, so that the sum of the squared differences
// is the squared CIELAB error the eye sees (lightness alone for greys). Each
// pixel in turn takes the change that lowers that sum most: another entry,
// among the few nearest to the light that would cancel its neighbourhood's
// error, or its neighbour's entry in trade for its own, or a step shared with
// a neighbour that moves light from one to the other. Passes go on, over
// the pixels near a change, until none changes or a few have run.
//
// A picture whose pixels are all entries' colours never changes, and the
// result depends only on the picture. Pictures are searched in bands of rows
// that bound the memory: a few megabytes, whatever the picture's size.
class PerceivedErrorSearch {
public:
    // The light of one row's pixels as the target: `channels` values each.
    using TargetRow = std::function<void(int y, float* values)>;
    // The entries worth trying for a pixel, as positions among the entries,
    // given the light that would suit it best (`channels` values, 0 to 1).
    using Candidates = std::function<std::span<const std::uint8_t>(const float* ideal)>;
    // Makes the Candidates of one thread of the search: colours are searched
    // on two threads, each asking its own.
    using CandidateSource = std::function<Candidates()>;

    // channels: 1 (luminance; the error weighed as CIELAB lightness) or 3
    // (linear red, green and blue; weighed as CIELAB). `entries` holds each
    // entry's light, `channels` values per entry; on one channel, from dark
    // to light.
    PerceivedErrorSearch(int channels, std::vector<float> entries, CandidateSource candidates);

    // Whether a pixel may take another entry of its own, which sets the tone
    // of its area, or may only trade entries with its neighbours, which keeps
    // the tone of the start. Only trades are left where the search would
    // drop the darkest shades' few dots.
    bool changesOwnEntries() const;

    // `chosen` holds each pixel's entry position, rows top to bottom. Leaves
    // pictures too wide for a band of bounded memory as they are.
    void refine(int width, int height, const TargetRow& target, std::span<std::uint8_t> chosen) const;

private:
    int m_channels;
    std::vector<float> m_entries;
    CandidateSource m_candidates;
};
