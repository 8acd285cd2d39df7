// Feeds arbitrary bytes to the PNG decoder: every outcome but a decoded
// bitmap or a CTextException is a finding.
#include "imagelib/decoders/png_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPNGDecoder decoder;
    CDIBBitmap bitmap;
    try {
        // The depth the decoder chooses, then, for grey and palette images,
        // the 32-bit route with its other transformations.
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 0);
        if (bitmap.GetDepth() == 8) decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
    }
    return 0;
}
