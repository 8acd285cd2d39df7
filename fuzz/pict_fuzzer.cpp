// Feeds arbitrary bytes to the PICT decoder, with a fresh JPEG decoder for embedded
// QuickTime JPEG data. The wanted depth follows the input's size so that the
// 0, 8 and 32 paths are all reached. CTextException is the only way to fail.
#include "imagelib/decoders/jpeg_decoder.h"
#include "imagelib/decoders/pict_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CJPEGDecoder jpegDecoder;
    constexpr int kDepths[] = {32, 0, 8};
    CPICTDecoder decoder(&jpegDecoder);
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, kDepths[size % 3]);
    } catch (const CTextException&) {
    }
    return 0;
}
