#pragma once

#include "imagelib/metafile/metafile_dc.h"
#include "imagelib/metafile/metafile_records.h"

// Playing the records of an enhanced metafile on a device context.
namespace metafile {

// Plays the records of `metafile` (already validated) from the end of its
// header up to `playSize` bytes. False when playback stopped before the end
// because drawing failed or its budget ran out.
bool PlayEnhancedRecords(CDeviceContext& dc, CRecordView metafile, std::size_t headerSize,
                         std::size_t playSize);

// Smallest size in bytes, record header included, of a record of this type,
// from the player's record table; a shorter record means the file is damaged.
std::size_t MinimumEnhancedRecordSize(std::uint32_t type);

}  // namespace metafile
