// Feeds arbitrary bytes to the GIF decoder. CTextException is the only way a
// decode may fail.
#include "imagelib/byte_order.h"
#include "imagelib/decoders/gif_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// A logical screen is filled and converted whatever the file holds, so a
// 20-byte input may ask for a gigabyte screen; such inputs only cost time.
// The size limits themselves are covered by the unit tests.
constexpr std::uint64_t kMaxFuzzedScreenPixels = std::uint64_t{1} << 16;

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
    if (size >= 10 && std::uint64_t{ReadLE16(data + 6)} * ReadLE16(data + 8) > kMaxFuzzedScreenPixels)
        return 0;
    CGIFDecoder decoder;
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
    }
    return 0;
}
