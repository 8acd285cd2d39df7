#pragma once

#include "imagelib/image_decoder.h"

// Decodes portable grey maps (PGM, P2 and P5).
class CPGMDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
