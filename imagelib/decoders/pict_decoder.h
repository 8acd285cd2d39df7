#pragma once

#include "imagelib/image_decoder.h"

class CJPEGDecoder;

// Decodes Mac QuickDraw pictures (PICT), version 1 and 2, with the 512-byte
// file preamble. The opcode stream is walked up to the first raster image
// (BitsRect, BitsRgn, PackBitsRect, PackBitsRgn, DirectBitsRect, or a
// compressed QuickTime opcode carrying JPEG data); that one image is decoded
// and the rest of the picture is ignored. Vector drawing is not rendered, so a
// picture without a raster image fails.
class CPICTDecoder : public CImageDecoder {
public:
    // The JPEG decoder (not owned) decodes QuickTime JPEG data inside pictures;
    // without one such pictures fail with "Library not compiled for PICT/JPEG.".
    explicit CPICTDecoder(CJPEGDecoder* jpegDecoder = nullptr) : m_jpegDecoder(jpegDecoder) {}

protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;

private:
    class Reader;

    CJPEGDecoder* m_jpegDecoder;
};
