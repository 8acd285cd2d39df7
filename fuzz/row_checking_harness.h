#pragma once

// The body of the harnesses that feed arbitrary bytes to one decoder, once
// decoding whole and once telling a listener of finished rows: every outcome
// but a decoded bitmap or a CTextException is a finding.
#include "imagelib/image_bitmap.h"
#include "imagelib/image_decoder.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

// Rows must arrive in order and inside the bitmap. With `windows`, the
// listener also asks for the smallest window of rows a decoder may keep and
// takes a picture decoded at half its size or more, so those ways of
// decoding meet the same bytes.
class CheckingRowListener : public CDecodedRowListener {
public:
    explicit CheckingRowListener(bool windows = false) : m_windows(windows) {}
    int WindowRows(int, int height, int batchRows) noexcept override {
        return m_windows && batchRows < height ? batchRows : 0;
    }
    bool TakesReducedSize(int width, int height, int reducedWidth, int reducedHeight) noexcept override {
        return m_windows && 2 * reducedWidth >= width && 2 * reducedHeight >= height;
    }
    void RowsDecoded(const CImageBitmap& bitmap, int rowCount) noexcept override {
        if (rowCount <= m_rows || rowCount > bitmap.GetHeight()) __builtin_trap();
        m_rows = rowCount;
    }

private:
    bool m_windows;
    int m_rows = 0;
};

template <typename Decoder>
int DecodeWholeAndByRows(const std::uint8_t* data, std::size_t size) {
    // Small pictures are where the parsing is; the limits keep claimed sizes
    // from turning the run into a page-fault benchmark.
    DecodeLimits limits;
    limits.maxSide = 1024;
    limits.maxBitmapBytes = std::uint64_t{4} << 20;
    for (const int pass : {0, 1, 2}) {
        const bool listen = pass > 0;
        Decoder decoder;
        CheckingRowListener listener(pass == 2);
        decoder.SetLimits(limits);
        if (listen) decoder.SetRowListener(&listener);
        CDIBBitmap bitmap;
        try {
            decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, listen ? 0 : 32);
        } catch (const CTextException&) {
        }
    }
    return 0;
}
