#pragma once

#include "imagelib/image_decoder.h"

// Decodes Windows bitmaps (BMP): 1, 4 and 8 bits per pixel with a colour
// table (4 and 8 also run-length encoded), and 16 (5-5-5 or 5-6-5), 24 and 32
// bits per pixel true colour. Rows may be stored bottom-up or top-down.
class CBMPDecoder : public CImageDecoder {
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
