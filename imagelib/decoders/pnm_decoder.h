#pragma once

#include "imagelib/image_decoder.h"

#include <cstdint>

// Decodes the netpbm pictures that CPGMDecoder does not: bitmaps ("P1" plain,
// "P4" raw), colour pixmaps ("P3" plain, "P6" raw, any maximum up to 65535,
// two big-endian bytes per sample above 255) and PAM ("P7": GRAYSCALE, RGB,
// their _ALPHA forms, and BLACKANDWHITE, which is grey with maximum 1).
//
// Depth: grey pictures without alpha give 8 bits (grey levels on the grey
// ramp) unless 32 is wanted; colour and alpha always give 32.
class CPNMDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
