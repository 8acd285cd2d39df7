// Feeds arbitrary bytes to the GIF decoder. CTextException is the only way a
// decode may fail.
#include "imagelib/decoders/gif_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

namespace {

// A logical screen is filled and converted whatever the file holds, so a
// 20-byte input may ask for a gigabyte screen; such inputs only cost time, so
// the decoder refuses screens over 256 x 256 here. The default limits are
// covered by the unit tests.
DecodeLimits FuzzLimits() {
    DecodeLimits limits;
    limits.maxSide = 256;
    return limits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CGIFDecoder decoder;
    decoder.SetLimits(FuzzLimits());
    // giflib's failures are counted, as a conversion counts them, instead of
    // filling the run's log.
    decoder.SetKeepLibraryMessages(true);
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
    }
    // At most the texts kept and the line that counts the others.
    if (decoder.GetLibraryMessages().Lines().size() > 17) __builtin_trap();
    return 0;
}
