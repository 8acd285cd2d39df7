#pragma once

#include "imagelib/image_decoder.h"

// Decodes PNG pictures, on libpng.
class CPNGDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
