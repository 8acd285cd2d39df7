// Arbitrary bytes through format detection and whichever decoder it picks,
// exactly as a picture loaded from memory would go.
#include "imagelib/any_format_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CAnyFormatDecoder decoder;
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
        // The one way a decoder may fail.
    }
    return 0;
}
