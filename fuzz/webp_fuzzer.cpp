// Feeds arbitrary bytes to the WebP decoder, once decoding whole and once
// telling a listener of finished rows.
#include "fuzz/row_checking_harness.h"
#include "imagelib/decoders/webp_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return DecodeWholeAndByRows<CWebPDecoder>(data, size);
}
