#include "imagelib/decoders/bmp_decoder.h"

#include "imagelib/text_exception.h"

void CBMPDecoder::DecodeImage(CImageBitmap&, std::vector<PaletteEntry>&, int&, CImageSource&) {
    RaiseError(ERR_FORMAT_NOT_COMPILED, "Library not compiled for this file type.");
}
