// Feeds arbitrary bytes to the TIFF decoder, once for a 32-bit picture (the
// RGBA path) and once letting the decoder choose (the low-colour path for
// single-sample images). CTextException is the only way a decode may fail.
#include "imagelib/decoders/tiff_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

namespace {

// A tiny file may describe a picture of tens of megapixels whose strips all
// fail to decode; libtiff's RGBA reader still visits every row, which under
// the sanitizers takes longer than the run allows. Such pictures only cost
// time (the default limits are covered by the unit tests), so the decoder
// refuses them here.
DecodeLimits FuzzLimits() {
    DecodeLimits limits;
    limits.maxSide = 1024;
    return limits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (int depth : {32, 0}) {
        CTIFFDecoder decoder;
        decoder.SetLimits(FuzzLimits());
        CDIBBitmap bitmap;
        try {
            decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, depth);
        } catch (const CTextException&) {
        }
    }
    return 0;
}
