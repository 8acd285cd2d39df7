#pragma once

#include "imagelib/image_decoder.h"

#include <cstdint>

// Decodes portable grey maps (PGM) in their plain ("P2", decimal text) and raw
// ("P5", one byte per sample, two above a maximum of 255) forms.
class CPGMDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;

private:
    struct Header {
        bool raw = false;
        int width = 0;
        int height = 0;
        int maximum = 0;
    };

    Header ReadHeader(CImageSource& source);
    void ReadPlainSamples(CImageBitmap& bitmap, const Header& header, CImageSource& source);

    // Moves the next byte of the data into the look-ahead.
    void Advance(CImageSource& source);
    void SkipWhitespace(CImageSource& source);
    // Reads the decimal number starting at the look-ahead (0 when it is not a
    // digit); the byte after the last digit stays in the look-ahead. With
    // `mayEndData` the data may end right after the last digit.
    std::int32_t ReadNumber(CImageSource& source, bool mayEndData, int overflowCode,
                            const char* overflowText);

    // The last byte read from the data and not yet used; shared by the header
    // parser and the plain sample reader.
    std::uint8_t m_lookAhead = 0;
};
