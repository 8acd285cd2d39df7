#pragma once

#include "imagelib/image_decoder.h"

// Decodes GIF pictures, on giflib, into an 8-bit bitmap of the logical screen
// (converted to 32 bits when 32 is wanted). Every image of the file is drawn
// into that one screen in file order, without transparency or animation, and
// all of them are coloured through one palette: the last image's local colour
// map, or the global map.
//
// giflib's failures are written to the standard error stream and decoding goes
// on; a file whose data runs out ends in ERR_END_OF_FILE.
class CGIFDecoder : public CImageDecoder {
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
