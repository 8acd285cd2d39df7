// Feeds arbitrary bytes to the JPEG decoder: every outcome but a decoded
// bitmap or a CTextException is a finding. One decoder serves every input, as
// it does in the program, so a failed stream must leave it fit for the next.
#include "imagelib/decoders/jpeg_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CJPEGDecoder decoder;
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 0);
        if (bitmap.GetDepth() == 8) decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
    }
    return 0;
}
