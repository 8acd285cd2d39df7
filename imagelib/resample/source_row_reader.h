#pragma once

#include "imagelib/color/color_conversion.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/picture_framing.h"
#include "imagelib/resample/turned_picture.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace resample {

// What is known of the source's rows at one moment: which were written, and
// which still hold the file's colors. Whoever schedules the reading keeps one
// under its lock and gives each read a copy taken with the rows.
struct RowState {
    // Stored rows of a window from here on were never written by the decoder: they
    // are read as the bitmap was created, zero, since their slots still hold
    // older rows.
    int writtenRows = std::numeric_limits<int>::max();
    // Rows [convertFrom, convertTo) of the part still hold the file's colors:
    // whichever thread reads them converts them (see
    // CDecodedRowListener::TakeRowConversion).
    const CColorConversion* rowConversion = nullptr;
    int convertFrom = 0;
    int convertTo = 0;
    // The conversion of a source whose rows all still hold the file's colors,
    // applied to each pixel as it is read, the source left as it is.
    const CColorConversion* sourceConversion = nullptr;

    // Takes rows [firstRow, rowCount) for `conversion`; false when they do not
    // continue the rows taken so far with the same conversion.
    bool TakeConversion(const CColorConversion& conversion, int firstRow, int rowCount);
};

// The rows of the part of a decoded picture that is resampled, as it is seen:
// turned by its orientation, cropped by its framing. Answers "row y of the
// part, widened into doubles, in light or in code values", whichever way the
// picture is turned, whether its bitmap is whole or a window of rows, and
// however a color conversion reaches its rows.
//
// Several threads read at once, each with buffers of its own.
class SourceRowReader {
public:
    // For a picture stored as storedWidth x storedHeight whose bitmap is not
    // there yet, of which `part` of the picture seen is read. `windowRows`:
    // the window's size for a bitmap held as a window of rows, 0 for a whole
    // one.
    SourceRowReader(int storedWidth, int storedHeight, int orientation, const PixelRect& part, int windowRows,
                    bool linear);

    // Buffers for `threads` threads; every widened row is followed by
    // `paddingPixels` zero pixels, and is read in runs of at most `chunkRows`
    // rows. With a `boxUnit` above 1 (in linear light only) each row is handed
    // on shrunk in boxes of that many pixels, summed (see ShrinkRowInBoxes):
    // reading light straight into boxes saves writing and reading it again.
    void ReserveBuffers(int threads, int paddingPixels, int chunkRows, int boxUnit = 1);

    // The part of the picture seen, in the coordinates of the picture seen.
    const PixelRect& Part() const { return m_part; }
    int WindowRows() const { return m_windowRows; }
    bool Linear() const { return m_linear; }

    // Reads the rows from `bitmap` from now on.
    void Attach(const CImageBitmap& bitmap);
    const CImageBitmap* Source() const { return m_source; }
    // True when made for `bitmap` as it is now, seen with `orientation`.
    bool Fits(const CImageBitmap& bitmap, int orientation) const;
    // True when made for a bitmap of that size, not yet attached.
    bool Expects(const CImageBitmap& bitmap) const;
    // True when rows reported in the file's colors can be converted here:
    // only those of a picture seen as stored, and of a whole bitmap only when
    // its part keeps every row, since the rows outside the part are left
    // as they are. Rows are taken in rows of the part.
    bool TakesRowConversions() const;

    using RowUse = std::function<void(int y, const double* row)>;
    // Widens rows [begin, end) of the part with `thread`'s buffers, one after
    // the other, and hands each to `use`; `state` as it was when the rows were
    // taken. Rows that still hold the file's colors are converted on the way,
    // those of a whole bitmap in place, for whoever reads them next.
    void Read(std::size_t thread, int begin, int end, const RowState& state, const RowUse& use);

private:
    struct Buffers {
        std::vector<double> row;
        // With boxes, the row widened whole before it is shrunk.
        std::vector<double> wide;
        // In linear light, a row of light as a color conversion writes it;
        // otherwise a row of converted pixels.
        std::vector<std::uint16_t> light;
        std::vector<std::uint8_t> coded;
        // With the sides swapped, the rows of one run as copied.
        std::vector<std::uint8_t> chunk;
    };

    // Converts the colors of rows [begin, end) of the part in place.
    void ConvertInPlace(const CColorConversion& conversion, int begin, int end) const noexcept;
    // Widens the `pixels` of one row seen, in sRGB.
    void WidenCodes(const std::uint8_t* pixels, bool backwards, double* row) const;
    // Widens one row seen whose `pixels` hold the file's colors through the
    // conversion, leaving them as they are.
    void WidenThroughConversion(const CColorConversion& conversion, Buffers& buffers,
                                const std::uint8_t* pixels, bool backwards, double* row) const;

    const CImageBitmap* m_source = nullptr;
    int m_storedWidth;
    int m_storedHeight;
    int m_orientation;
    TurnedPicture m_picture;
    PixelRect m_part;
    int m_windowRows;
    bool m_linear;
    int m_boxUnit = 1;
    std::vector<Buffers> m_buffers;
};

}  // namespace resample
