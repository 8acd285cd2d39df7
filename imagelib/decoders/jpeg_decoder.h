#pragma once

#include "imagelib/image_decoder.h"

// Decodes JPEG pictures, on libjpeg.
class CJPEGDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
