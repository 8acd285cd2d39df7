#pragma once

#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/picture_framing.h"

#include <vector>

// How much each part of a picture draws the eye, measured on a small copy of
// the whole upright picture: edges (where the light changes), skin tones and
// saturated colours, as attention-based croppers weigh them. Smart crops keep
// the span that holds the most of it. Only the bitmap's bytes and plain
// arithmetic in a fixed order decide, so the part kept is the same on every
// machine and for any number of threads.
class AttentionMap {
public:
    // The longer side of the small copy, at most.
    static constexpr int kLongSide = 256;

    // Measures a 32-bit picture as stored, seen with `orientation` (1-8).
    AttentionMap(const CImageBitmap& picture, int orientation);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Upright pixels per pixel of the small copy, along both sides.
    int Shrink() const { return m_shrink; }
    // The interest of pixel (x, y) of the small copy.
    double At(int x, int y) const {
        return m_interest[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
                          static_cast<std::size_t>(x)];
    }

    // The first pixel of the span of `size` upright pixels, along x when
    // `across` or else along y, within `box` of the upright picture, that
    // holds the most interest; of equal spans, the one nearest the middle.
    int BestStart(const PixelRect& box, bool across, int size) const;

private:
    int m_width = 0;
    int m_height = 0;
    int m_shrink = 1;
    std::vector<float> m_interest;
};
