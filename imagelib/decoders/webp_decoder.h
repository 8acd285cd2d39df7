#pragma once

#include "imagelib/image_decoder.h"

// Decodes WebP pictures (lossy, lossless, with alpha), on libwebp. The
// result is always 32 bits, alpha in the fourth byte and not premultiplied.
// An animation gives its first frame, drawn on the whole canvas over
// transparent black. With a row listener the data goes to libwebp in slices,
// so rows reach the listener as soon as they are final; otherwise libwebp
// decodes the whole picture in one call. Either way it writes straight into
// the bitmap's rows, unless the listener takes a still picture through a
// window of rows: libwebp then writes into reserved memory as high as the
// picture, whose rows are copied into the window and whose pages go back as
// the decode goes on.
class CWebPDecoder : public CImageDecoder {
public:
protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;
};
