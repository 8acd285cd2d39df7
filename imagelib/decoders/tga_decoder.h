#pragma once

#include "imagelib/image_decoder.h"

// Decodes Targa pictures: colour-mapped, true-colour and grey, uncompressed or
// run-length encoded, with 8, 15, 16, 24 or 32 bits per pixel (16-bit grey
// pictures with 8 alpha bits are grey and alpha), in any of the four origins.
class CTGADecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
