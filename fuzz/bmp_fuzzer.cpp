// Arbitrary bytes through the BMP decoder, at 32 bits per pixel (what the
// conversion asks for) and at the decoder's own choice of depth.
#include "imagelib/decoders/bmp_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CBMPDecoder decoder;
    for (int wantedDepth : {32, 0}) {
        CDIBBitmap bitmap;
        try {
            decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, wantedDepth);
        } catch (const CTextException&) {
            // The one way a decoder may fail.
        }
    }
    return 0;
}
