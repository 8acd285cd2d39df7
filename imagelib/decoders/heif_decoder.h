#pragma once

#include "imagelib/image_decoder.h"

#include <functional>

// Decodes the primary image of HEIF files (HEVC, "HEIC") and AVIF files
// (AV1), on libheif. libheif applies the transformations the file asks for
// (rotation, mirror, clean-aperture crop) and assembles tiled images;
// pictures of more than 8 bits per sample are brought to 8, and monochrome
// ones come out grey. The result is always 32 bits, alpha in the fourth byte.
// A file that holds only an image sequence has no still picture to give.
// libheif's picture is copied into the bitmap row by row; when the row
// listener takes it through a window of rows, the rows are handed on in
// batches, so the picture is never held twice.
class CHEIFDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;

private:
    // Hands over the colour profile the image carries, an ICC profile or
    // the primaries and transfer function of a colour box; `decodedIsGrey`
    // says whether the decoded pixels are all grey, asked only for a grey
    // profile.
    void UseFileProfile(const struct heif_image_handle* handle, const std::function<bool()>& decodedIsGrey);
};
