#pragma once

#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/picture_framing.h"

#include <cstdint>
#include <vector>

// The small copy of a picture as stored, gathered from its rows top to
// bottom: each of its pixels the average of a box of stored pixels, the
// boxes square and as few as keep the longer side within
// AttentionMap::kLongSide (fewer pixels at the right and bottom edges). A
// picture streamed through a window of rows is measured this way without
// ever being held whole.
class AttentionSums {
public:
    AttentionSums(int storedWidth, int storedHeight);

    // Adds the next stored row of 32-bit pixels; rows past the last are ignored.
    void AddRow(const std::uint8_t* pixels);
    // Stored rows added so far.
    int RowsAdded() const { return m_rowsAdded; }

    // A pixel of the copy, each channel from 0 to 1. Floats: the copy and its
    // measures are the largest thing a smart crop adds, and their precision
    // is far beyond what the choice needs.
    struct Rgb {
        float red, green, blue;
    };

private:
    friend class AttentionMap;
    // Turns the sums of the box row just completed into pixels of the copy.
    void CompleteMapRow();

    int m_storedWidth;
    int m_storedHeight;
    int m_shrink = 1;
    int m_mapWidth = 0;
    int m_mapHeight = 0;
    int m_rowsAdded = 0;
    std::vector<std::uint64_t> m_sums;  // red, green, blue of each box of the row
    std::vector<Rgb> m_map;
};

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
    // The same from the sums of its rows; rows not added count as zero
    // pixels, as in a bitmap its decoder left unwritten.
    AttentionMap(AttentionSums sums, int orientation);

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
