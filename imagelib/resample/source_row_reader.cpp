#include "imagelib/resample/source_row_reader.h"

#include "imagelib/resample/resample_kernels.h"

#include <algorithm>
#include <cstring>

namespace resample {

bool RowState::TakeConversion(const CColorConversion& conversion, int firstRow, int rowCount) {
    if (rowConversion == nullptr) {
        rowConversion = &conversion;
        convertFrom = firstRow;
    } else if (rowConversion != &conversion || convertTo != firstRow) {
        return false;
    }
    convertTo = rowCount;
    return true;
}

SourceRowReader::SourceRowReader(int storedWidth, int storedHeight, int orientation, const PixelRect& part,
                                 int windowRows, bool linear)
    : m_storedWidth(storedWidth),
      m_storedHeight(storedHeight),
      m_orientation(orientation),
      m_picture(storedWidth, storedHeight, orientation),
      m_part(part),
      m_windowRows(windowRows),
      m_linear(linear) {}

void SourceRowReader::ReserveBuffers(int threads, int paddingPixels, int chunkRows, int boxUnit) {
    const auto width = static_cast<std::size_t>(m_part.width);
    m_boxUnit = m_linear ? std::max(1, boxUnit) : 1;
    const auto handed = static_cast<std::size_t>(BoxCount(m_part.width, m_boxUnit));
    m_buffers.resize(static_cast<std::size_t>(std::max(1, threads)));
    for (Buffers& buffers : m_buffers) {
        buffers.row.assign(4 * (handed + static_cast<std::size_t>(paddingPixels)), 0.0);
        if (m_boxUnit > 1) buffers.wide.resize(4 * width);
        if (m_linear)
            buffers.light.resize(4 * width);
        else
            buffers.coded.resize(4 * width);
        if (m_picture.SidesSwapped()) buffers.chunk.resize(4 * width * static_cast<std::size_t>(chunkRows));
    }
}

void SourceRowReader::Attach(const CImageBitmap& bitmap) {
    m_source = &bitmap;
    m_picture = TurnedPicture(bitmap, m_orientation);
}

bool SourceRowReader::Fits(const CImageBitmap& bitmap, int orientation) const {
    return m_source == &bitmap && m_storedWidth == bitmap.GetWidth() &&
           m_storedHeight == bitmap.GetHeight() && bitmap.GetDepth() == 32 && m_orientation == orientation &&
           m_windowRows == bitmap.GetWindowRows();
}

bool SourceRowReader::Expects(const CImageBitmap& bitmap) const {
    return m_source == nullptr && m_storedWidth == bitmap.GetWidth() &&
           m_storedHeight == bitmap.GetHeight() && bitmap.GetDepth() == 32 &&
           m_windowRows == bitmap.GetWindowRows();
}

bool SourceRowReader::TakesRowConversions() const {
    return m_picture.AsStored() &&
           (m_windowRows != 0 || (m_part.top == 0 && m_part.height == m_storedHeight));
}

void SourceRowReader::Read(std::size_t thread, int begin, int end, const RowState& state, const RowUse& use) {
    Buffers& buffers = m_buffers[thread];
    const auto rowBytes = 4 * static_cast<std::size_t>(m_part.width);
    const bool swapped = m_picture.SidesSwapped();
    if (swapped)
        m_picture.CopySwappedRows(m_part.left, m_part.top + begin, m_part.width, end - begin,
                                  buffers.chunk.data());
    // Rows reported in the file's colors are only taken for a picture as
    // stored (TakesRowConversions), counted in rows of the part. Code values
    // are converted before they are read; light is taken from the conversion
    // as the rows are read.
    const CColorConversion* rowConversion = state.rowConversion;
    const int convertBegin = std::max(begin, state.convertFrom);
    const int convertEnd = std::min({end, state.convertTo, state.writtenRows - m_part.top});
    if (rowConversion != nullptr && !m_linear) {
        ConvertInPlace(*rowConversion, convertBegin, convertEnd);
        rowConversion = nullptr;
    }
    double* row = buffers.row.data();
    const bool boxed = m_boxUnit > 1;
    double* wide = boxed ? buffers.wide.data() : row;
    for (int y = begin; y < end; ++y) {
        bool backwards = false;
        const std::uint8_t* pixels = nullptr;
        if (swapped)
            pixels = buffers.chunk.data() + rowBytes * static_cast<std::size_t>(y - begin);
        else if (m_part.top + y < state.writtenRows)
            pixels = m_picture.StoredSpan(m_part.left, m_part.top + y, m_part.width, backwards);

        if (pixels == nullptr) {
            std::fill(wide, wide + 4 * static_cast<std::size_t>(m_part.width), 0.0);
        } else if (state.sourceConversion != nullptr) {
            WidenThroughConversion(*state.sourceConversion, buffers, pixels, backwards, wide);
        } else if (rowConversion != nullptr && y >= convertBegin && y < convertEnd) {
            WidenThroughConversion(*rowConversion, buffers, pixels, backwards, wide);
            // A window's row is read by nobody else.
            if (m_windowRows == 0) ConvertInPlace(*rowConversion, y, y + 1);
        } else if (boxed && !backwards) {
            WidenLinearRowInBoxes(pixels, m_part.width, m_boxUnit, row);
            use(y, row);
            continue;
        } else {
            WidenCodes(pixels, backwards, wide);
        }
        if (boxed) ShrinkRowInBoxes(wide, m_part.width, 1, m_boxUnit, row, false);
        use(y, row);
    }
}

void SourceRowReader::ConvertInPlace(const CColorConversion& conversion, int begin, int end) const noexcept {
    auto* const* rows = const_cast<std::uint8_t* const*>(m_source->GetRows());
    const auto width = static_cast<std::size_t>(m_storedWidth);
    for (int y = begin; y < end; ++y) conversion.ConvertPixels(rows[m_part.top + y], width);
}

void SourceRowReader::WidenCodes(const std::uint8_t* pixels, bool backwards, double* row) const {
    if (!backwards) {
        if (m_linear)
            WidenLinearRow(pixels, m_part.width, row);
        else
            WidenRow(pixels, m_part.width, row);
        return;
    }
    WidenBackwards(pixels + 4 * (static_cast<std::size_t>(m_part.width) - 1), m_part.width, row);
    if (m_linear) MakeLinear(row, m_part.width);
}

void SourceRowReader::WidenThroughConversion(const CColorConversion& conversion, Buffers& buffers,
                                             const std::uint8_t* pixels, bool backwards, double* row) const {
    const auto count = static_cast<std::size_t>(m_part.width);
    if (m_linear) {
        std::uint16_t* light = buffers.light.data();
        conversion.ConvertToLinear(pixels, count, light);
        for (std::size_t i = 0; i < count; ++i, row += 4) {
            const std::uint16_t* pixel = light + 4 * (backwards ? count - 1 - i : i);
            for (int b = 0; b < 4; ++b) row[b] = pixel[b];
        }
        return;
    }
    std::uint8_t* coded = buffers.coded.data();
    std::memcpy(coded, pixels, 4 * count);
    conversion.ConvertPixels(coded, count);
    if (backwards)
        WidenBackwards(coded + 4 * (count - 1), m_part.width, row);
    else
        WidenRow(coded, m_part.width, row);
}

}  // namespace resample
