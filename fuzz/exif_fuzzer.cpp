// Feeds arbitrary bytes to the orientation lookups: as an EXIF block, as each
// container that can carry one, and through the format detection. None may
// read outside the data or fail; any value but 1-8 is a finding.
#include "imagelib/orientation/exif_orientation.h"
#include "imagelib/orientation/picture_orientation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(int orientation) {
    if (orientation < kOrientationAsStored || orientation > kOrientationQuarterAnticlockwise) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(ReadExifOrientation(data, size));
    Check(FindJpegOrientation(data, size));
    Check(FindPngOrientation(data, size));
    Check(FindWebpOrientation(data, size));
    Check(ReadPictureOrientation("input", data, static_cast<std::int64_t>(size)));
    return 0;
}
