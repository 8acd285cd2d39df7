// Feeds arbitrary bytes to the GIF decoder. CTextException is the only way a
// decode may fail.
#include "imagelib/decoders/gif_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CGIFDecoder decoder;
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
    }
    return 0;
}
