// Feeds arbitrary bytes to the JPEG decoder: every outcome but a decoded
// bitmap or a CTextException is a finding. One decoder serves every input, as
// it does in the program, so a failed stream must leave it fit for the next.
#include "imagelib/decoders/jpeg_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

namespace {

// A truncated stream is not an error: libjpeg fills every row of whatever
// size the frame header claims, so a hundred bytes can ask for a bitmap of
// hundreds of megabytes. That is allowed up to the library's bitmap limit and
// is only slow (page faults and sanitizer bookkeeping); here it would drown the
// run in timeouts. Streams claiming more pixels than this are skipped.
constexpr std::uint64_t kMaxFuzzPixels = 32u << 20;

// The stream's byte at `offset`; past the end, the end-of-image marker the
// decoder repeats for libjpeg once the data runs out.
std::uint64_t ByteAt(const std::uint8_t* data, std::size_t size, std::size_t offset) {
    if (offset < size) return data[offset];
    return (offset - size) % 2 == 0 ? 0xFF : 0xD9;
}

bool ClaimsHugeFrame(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i + 1 < size; ++i) {
        const std::uint8_t marker = data[i + 1];
        // Every start-of-frame marker; 0xC4, 0xC8 and 0xCC are other segments.
        if (data[i] != 0xFF || marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 ||
            marker == 0xCC)
            continue;
        const std::uint64_t height = (ByteAt(data, size, i + 5) << 8) | ByteAt(data, size, i + 6);
        const std::uint64_t width = (ByteAt(data, size, i + 7) << 8) | ByteAt(data, size, i + 8);
        if (height * width > kMaxFuzzPixels) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (ClaimsHugeFrame(data, size)) return 0;
    static CJPEGDecoder decoder;
    CDIBBitmap bitmap;
    try {
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 0);
        if (bitmap.GetDepth() == 8) decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
    }
    return 0;
}
