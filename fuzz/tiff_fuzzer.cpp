// Feeds arbitrary bytes to the TIFF decoder, once for a 32-bit picture (the
// RGBA path) and once letting the decoder choose (the low-colour path for
// single-sample images). CTextException is the only way a decode may fail.
#include "imagelib/decoders/tiff_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (int depth : {32, 0}) {
        CTIFFDecoder decoder;
        CDIBBitmap bitmap;
        try {
            decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, depth);
        } catch (const CTextException&) {
        }
    }
    return 0;
}
