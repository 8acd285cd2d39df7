#pragma once

#include "imagelib/image_decoder.h"

// Decodes GIF pictures, on giflib.
class CGIFDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
