// Arbitrary bytes through format detection and whichever decoder it picks,
// as a conversion reads a picture: with the resampler listening to finished
// rows on a helper thread, letting the decoders that can hold only a window
// of rows, and resizing what decoded.
#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/resize_filter.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CDIBBitmap bitmap;
    CMemoryBitmap scaled;
    // Goes before the bitmap it reads.
    CTentResampler resampler({{16, 11, &scaled}}, 2);
    resampler.SetRowWindows(true);
    CAnyFormatDecoder decoder;
    decoder.SetRowListener(&resampler);
    // Pictures that only cost time to fill are refused: the limits reach
    // whichever decoder the data is routed to.
    DecodeLimits limits;
    limits.maxSide = 4096;
    limits.maxBitmapBytes = std::uint64_t{64} << 20;
    limits.maxMetafileCanvasSide = 1024;
    decoder.SetLimits(limits);
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
        resampler.Finish(bitmap);
    } catch (const CTextException&) {
        // The one way a decoder or the resampler may fail.
    }
    return 0;
}
