#pragma once

#include "imagelib/image_decoder.h"

// Decodes Windows and OS/2 bitmaps (BMP, and the first bitmap of an OS/2
// bitmap array): 1, 2, 4 and 8 bits per pixel with a colour table (4 and 8
// also run-length encoded), and 16, 24 (also run-length encoded) and 32 bits
// per pixel true colour, 16 and 32 with any contiguous colour masks. Rows may
// be stored bottom-up or top-down.
// Version 5 headers may carry a colour profile, version 4 and 5 headers a
// calibrated colour space.
class CBMPDecoder : public CImageDecoder {
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;

private:
    // Hands over the colour space a version 4 or 5 header declares: an
    // embedded profile, or calibrated endpoints and gammas. `info` is the
    // info header, with `bytesFromInfo` bytes of the file from there on.
    void UseHeaderColorSpace(const std::uint8_t* info, std::int64_t bytesFromInfo, std::int64_t headerSize);
};
