// Feeds arbitrary bytes to the PNG decoder: every outcome but a decoded
// bitmap or a CTextException is a finding.
#include "imagelib/decoders/png_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void Decode(const std::uint8_t* data, std::size_t size) {
    CPNGDecoder decoder;
    CDIBBitmap bitmap;
    try {
        // The depth the decoder chooses, then, for grey and palette images,
        // the 32-bit route with its other transformations.
        decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 0);
        if (bitmap.GetDepth() == 8) decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, 32);
    } catch (const CTextException&) {
    }
}

// Rewrites every chunk's checksum; false when none was wrong. Almost every
// mutation breaks a checksum, and libpng stops right there, so without this
// the fuzzer would hardly get past the first chunk.
bool FixChecksums(std::vector<std::uint8_t>& file) {
    bool changed = false;
    for (std::size_t offset = 8; offset + 12 <= file.size();) {
        const std::uint32_t length = (std::uint32_t{file[offset]} << 24) |
                                     (std::uint32_t{file[offset + 1]} << 16) |
                                     (std::uint32_t{file[offset + 2]} << 8) | file[offset + 3];
        if (length > file.size() - offset - 12) break;
        const auto crc = static_cast<std::uint32_t>(crc32(0, file.data() + offset + 4, length + 4));
        std::uint8_t* stored = file.data() + offset + 8 + length;
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
            changed |= stored[i] != byte;
            stored[i] = byte;
        }
        offset += 12 + length;
    }
    return changed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Decode(data, size);
    std::vector<std::uint8_t> fixed(data, data + size);
    if (FixChecksums(fixed)) Decode(fixed.data(), fixed.size());
    return 0;
}
