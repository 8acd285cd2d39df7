// Feeds arbitrary bytes to the metafile decoder. The first byte picks the
// route and the limits: bit 0 names the source "x.emf" (enhanced metafile)
// instead of "x.wmf", bit 1 asks for depth 0 (so metafile palettes are used)
// instead of 32, and bit 2 keeps the default limits; without it the canvas is
// at most 1024 pixels a side and the record and object counts are small,
// which keeps most runs fast without hiding the record parsing.

#include "imagelib/decoders/metafile_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/image_source.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>

// Font lookups leave fontconfig's caches behind: one set per distinct font
// (three families, upright or italic, normal or bold), never more, so they are
// not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

class CNamedMemorySource : public CMemorySource {
public:
    CNamedMemorySource(const std::uint8_t* data, std::size_t size, const char* name) {
        OpenCommon(name, static_cast<std::int64_t>(size), data);
    }
};

DecodeLimits SmallLimits() {
    DecodeLimits limits;
    limits.maxMetafileCanvasSide = 1024;
    limits.maxMetafileRecords = 4096;
    limits.maxMetafileObjects = 1024;
    limits.maxMetafilePaletteEntries = 256;
    return limits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t selector = data[0];
    CNamedMemorySource source(data + 1, size - 1, (selector & 1) ? "x.emf" : "x.wmf");
    CDIBBitmap bitmap;
    CMetafileDecoder decoder;
    if ((selector & 4) == 0) decoder.SetLimits(SmallLimits());
    try {
        decoder.DecodeSource(source, bitmap, (selector & 2) ? 0 : 32);
    } catch (const CTextException&) {
    }
    return 0;
}
