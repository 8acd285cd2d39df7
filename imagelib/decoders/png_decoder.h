#pragma once

#include "imagelib/image_decoder.h"

// Decodes PNG pictures, on libpng. libpng does all parsing, decompression,
// interlacing and sample conversion; this class chooses the output depth and
// the transformations that make libpng's rows match the bitmap's pixel layout,
// and lets libpng write straight into the bitmap's rows.
//
// Depth: RGB and alpha images always give 32 bits; grey and palette images
// give 8 bits (palette indices, or grey levels with a grey-ramp palette)
// unless 32 is wanted.
class CPNGDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
