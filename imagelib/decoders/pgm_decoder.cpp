#include "imagelib/decoders/pgm_decoder.h"

#include "imagelib/text_exception.h"

void CPGMDecoder::DecodeImage(CImageBitmap&, std::vector<PaletteEntry>&, int&, CImageSource&) {
    RaiseError(ERR_FORMAT_NOT_COMPILED, "Library not compiled for this file type.");
}
