#pragma once

#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/exif_orientation.h"

#include <cstdint>

namespace resample {

// A decoded 32-bit picture as its orientation turns it, read in place:
// turning a photo's full-size pixels into a copy first would hold them twice.
class TurnedPicture {
public:
    // A picture whose rows are not there yet: only its sides are known.
    TurnedPicture(int storedWidth, int storedHeight, int orientation)
        : TurnedPicture(nullptr, storedWidth, storedHeight, orientation) {}
    TurnedPicture(const CImageBitmap& bitmap, int orientation)
        : TurnedPicture(bitmap.GetRows(), bitmap.GetWidth(), bitmap.GetHeight(), orientation) {}
    // Orientations other than 1-8 count as 1.
    TurnedPicture(const std::uint8_t* const* rows, int storedWidth, int storedHeight, int orientation);

    int Width() const { return SwapsSides(m_orientation) ? m_storedHeight : m_storedWidth; }
    int Height() const { return SwapsSides(m_orientation) ? m_storedWidth : m_storedHeight; }
    bool SidesSwapped() const { return SwapsSides(m_orientation); }
    bool AsStored() const { return m_orientation == kOrientationAsStored; }

    // For an orientation that keeps the sides: where the `count` pixels of row
    // y seen from column x on lie in memory, from the returned pixel on, and
    // whether they are seen backwards.
    const std::uint8_t* StoredSpan(int x, int y, int count, bool& backwards) const;

    // For an orientation that swaps the sides: copies `rows` rows as seen,
    // from row y on, `count` pixels each from column x on, into `out`. Those
    // rows are stored columns; they are read a stored row at a time, a few
    // neighbouring pixels from each, because reading one column after the
    // other touches every row of a photo for every pixel.
    void CopySwappedRows(int x, int y, int count, int rows, std::uint8_t* out) const;

private:
    const std::uint8_t* const* m_rows;
    int m_storedWidth;
    int m_storedHeight;
    int m_orientation;
};

}  // namespace resample
