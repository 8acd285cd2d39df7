#pragma once

#include "imagelib/image_decoder.h"

// Decodes Windows metafiles (WMF and EMF).
class CMetafileDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
