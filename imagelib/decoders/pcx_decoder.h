#pragma once

#include "imagelib/image_decoder.h"

// Decodes PCX pictures.
class CPCXDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
