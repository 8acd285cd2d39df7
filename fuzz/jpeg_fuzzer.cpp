// Feeds arbitrary bytes to the JPEG decoder: every outcome but a decoded
// bitmap or a CTextException is a finding. One decoder serves every input, as
// it does in the program, so a failed stream must leave it fit for the next.
#include "fuzz/row_checking_harness.h"
#include "imagelib/decoders/jpeg_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

namespace {

// A truncated stream is not an error: libjpeg fills every row of whatever
// size the frame header claims, so a hundred bytes can ask for a bitmap of
// hundreds of megabytes. That is allowed up to the default limits and is only
// slow (page faults and sanitizer bookkeeping); here it would drown the run
// in timeouts, so the decoder refuses bitmaps over 32 MiB.
DecodeLimits FuzzLimits() {
    DecodeLimits limits;
    limits.maxBitmapBytes = std::uint64_t{32} << 20;
    return limits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CJPEGDecoder decoder;
    decoder.SetLimits(FuzzLimits());
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 0);
        if (bitmap.GetDepth() == 8) decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
    }
    // Through a window of rows, at a reduced scale where libjpeg offers one.
    CheckingRowListener listener(true);
    decoder.SetRowListener(&listener);
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
    }
    decoder.SetRowListener(nullptr);
    return 0;
}
