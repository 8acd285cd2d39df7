#include "imagelib/decoders/pcx_decoder.h"

#include "imagelib/text_exception.h"

void CPCXDecoder::DecodeImage(CImageBitmap&, std::vector<PaletteEntry>&, int&, CImageSource&) {
    RaiseError(ERR_FORMAT_NOT_COMPILED, "Library not compiled for this file type.");
}
