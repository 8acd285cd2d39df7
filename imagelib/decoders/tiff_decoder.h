#pragma once

#include "imagelib/image_decoder.h"

// Decodes TIFF pictures, on libtiff.
class CTIFFDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
