#include "imagelib/decoders/jpeg_decoder.h"

#include "imagelib/text_exception.h"

void CJPEGDecoder::DecodeImage(CImageBitmap&, std::vector<PaletteEntry>&, int&, CImageSource&) {
    RaiseError(ERR_FORMAT_NOT_COMPILED, "Library not compiled for this file type.");
}
