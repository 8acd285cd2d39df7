#include "imagelib/resample/turned_picture.h"

#include <cstddef>
#include <cstring>

namespace resample {

TurnedPicture::TurnedPicture(const std::uint8_t* const* rows, int storedWidth, int storedHeight,
                             int orientation)
    : m_rows(rows),
      m_storedWidth(storedWidth),
      m_storedHeight(storedHeight),
      m_orientation(orientation >= kOrientationAsStored && orientation <= kOrientationQuarterAnticlockwise
                        ? orientation
                        : kOrientationAsStored) {}

const std::uint8_t* TurnedPicture::StoredSpan(int x, int y, int count, bool& backwards) const {
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

void TurnedPicture::CopySwappedRows(int x, int y, int count, int rows, std::uint8_t* out) const {
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

}  // namespace resample
