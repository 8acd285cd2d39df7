// Feeds arbitrary bytes to the netpbm decoder, once decoding whole and once
// telling a listener of finished rows.
#include "fuzz/row_checking_harness.h"
#include "imagelib/decoders/pnm_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return DecodeWholeAndByRows<CPNMDecoder>(data, size);
}
