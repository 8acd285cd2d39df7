#pragma once

#include "imagelib/image_decoder.h"

class CJPEGDecoder;

// Decodes Mac QuickDraw pictures (PICT).
class CPICTDecoder : public CImageDecoder {
public:
    // The JPEG decoder (not owned) decodes QuickTime JPEG data inside pictures;
    // without one such pictures fail with "Library not compiled for PICT/JPEG.".
    explicit CPICTDecoder(CJPEGDecoder* jpegDecoder = nullptr) : m_jpegDecoder(jpegDecoder) {}

protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;

private:
    CJPEGDecoder* m_jpegDecoder;
};
