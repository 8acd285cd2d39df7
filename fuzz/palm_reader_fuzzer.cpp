// Feeds arbitrary bytes to the Palm database and bitmap reader and draws what
// the viewer would show at both densities: every outcome but a picture or a
// PalmFormatError is a finding.
#include "engine/palm_database_reader.h"
#include "engine/palm_picture.h"
#include "imagelib/image_bitmap.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Tighter than the defaults, as a thumbnailer would ask, so that the
    // fuzzer spends its time on the parsing rather than on huge pictures.
    DecodeLimits limits;
    limits.maxSide = 4096;
    limits.maxBitmapBytes = std::uint64_t{64} << 20;
    try {
        const PalmDatabaseRecord database = readPalmDatabase(std::span(data, size), limits);
        for (int density : {kLowDensity, kHighestDensity}) {
            try {
                CMemoryBitmap picture;
                renderViewerPicture(database, density, picture, limits);
            } catch (const PalmFormatError&) {
            }
        }
        (void)viewerDensities(database);
    } catch (const PalmFormatError&) {
    }
    return 0;
}
