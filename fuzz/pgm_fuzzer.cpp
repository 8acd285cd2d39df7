// Feeds arbitrary bytes to the PGM decoder, at the depth the conversion asks
// for and at the decoder's own choice. A CTextException is the only
// acceptable way to fail.
#include "imagelib/decoders/pgm_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (int wantedDepth : {32, 0}) {
        CDIBBitmap bitmap;
        CPGMDecoder decoder;
        try {
            decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, wantedDepth);
        } catch (const CTextException&) {
        }
    }
    return 0;
}
