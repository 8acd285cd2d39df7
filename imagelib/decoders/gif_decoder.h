#pragma once

#include "imagelib/image_decoder.h"

// Decodes GIF pictures, on giflib, into a bitmap of the logical screen. Every
// image of the file is drawn into that one screen in file order, without
// transparency or animation, each in the colours of its own colour map (or
// the global one; a file without any map is taken as a grey ramp over its
// code size). While all of them share one palette the screen is an 8-bit
// bitmap of that palette (converted to 32 bits when 32 is wanted); images of
// several palettes make a 32-bit picture whatever depth was wanted. The screen
// is held only where images draw, and a 32-bit picture is handed to the row
// listener a row at a time, so a large screen around small images costs what
// the images do.
//
// giflib's failures go to the library messages (see CLibraryMessages) and
// decoding goes on; a file whose data runs out ends in ERR_END_OF_FILE.
class CGIFDecoder : public CImageDecoder {
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
