// Feeds arbitrary bytes to the GIF decoder. CTextException is the only way a
// decode may fail.
#include "imagelib/decoders/gif_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>
#include <vector>

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

// The decoder reports every giflib failure on the standard error stream, which
// would fill the run's log; libFuzzer's own output and the sanitizer reports
// survive closing it.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> arguments(*argv, *argv + *argc);
    static char closeStderr[] = "-close_fd_mask=2";
    arguments.insert(arguments.begin() + 1, closeStderr);
    arguments.push_back(nullptr);
    *argc = static_cast<int>(arguments.size()) - 1;
    *argv = arguments.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CGIFDecoder decoder;
    decoder.SetLimits(FuzzLimits());
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
    }
    return 0;
}
