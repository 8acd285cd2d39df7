#pragma once

#include "imagelib/image_decoder.h"

// The handle type of libtiff, declared the way tiffio.h declares it so that
// users of the decoder need not see libtiff's headers.
typedef struct tiff TIFF;

// Decodes TIFF pictures, on libtiff. The TIFF stream starts at the source's
// read position, not necessarily at the start of the data: the any-format
// decoder hands over EPS files positioned at their embedded TIFF preview.
//
// Depth requests of 0 or 8 decode single-sample images of 1 to 8 bits into a
// 1- or 8-bit bitmap with the image's palette; everything else goes through
// libtiff's RGBA interface into a 32-bit bitmap, except what that interface
// refuses and the decoder reads itself (see DecodeSampleRows).
class CTIFFDecoder : public CImageDecoder {
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;

    // Decodes the first directory of an open libtiff handle made by
    // DecodeImage. The handle stays owned by the caller.
    virtual void DecodeTIFF(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                            CImageSource& source, TIFF* tiff);

private:
    // Hands the ICC profile tag's profile over, if there is one. True when
    // the picture's inks are to be kept raw for the conversion.
    bool UseFileProfile(TIFF* tiff);
    // `rawInks`: a CMYK picture's inks go into the bitmap unconverted.
    void DecodeHighColor(CImageBitmap& bitmap, int& bpp, TIFF* tiff, bool rawInks);
    void DecodeLowColor(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp, TIFF* tiff);
    // The layouts libtiff's RGBA interface refuses or reads wrong (see
    // TiffSamplePixels): grey and RGB of other integer widths, signed or
    // floating-point samples, wide palettes, 16-bit CMYK. Into a 32-bit
    // bitmap, turned as the RGBA interface turns pictures, handed on as rows
    // come when they stand as stored; a picture whose data stops ends early.
    void DecodeSampleRows(CImageBitmap& bitmap, int& bpp, TIFF* tiff, bool rawInks);
};
