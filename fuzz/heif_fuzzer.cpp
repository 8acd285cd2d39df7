// Feeds arbitrary bytes to the HEIF and AVIF decoder, once decoding whole and
// once telling a listener of finished rows.
#include "fuzz/row_checking_harness.h"
#include "imagelib/decoders/heif_decoder.h"

// Debian's dav1d 1.0 keeps a few dozen bytes of a picture that fails to
// decode; nothing of ours can release them, and a leak there would hide every
// finding behind it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdav1d.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return DecodeWholeAndByRows<CHEIFDecoder>(data, size);
}
