#pragma once

#include "imagelib/image_decoder.h"

// Decodes run-length encoded PCX pictures: one plane of 1, 2, 4 or 8 bits,
// 2 to 4 planes of 1 bit, and three 8-bit planes. The result is always a
// 32-bit bitmap without alpha.
class CPCXDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
