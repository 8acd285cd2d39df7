#pragma once

#include "imagelib/image_decoder.h"

// Decodes Windows bitmaps (BMP).
class CBMPDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
