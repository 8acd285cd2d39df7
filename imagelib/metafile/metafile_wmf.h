#pragma once

#include "imagelib/metafile/metafile_dc.h"
#include "imagelib/metafile/metafile_records.h"

// Playing the records of a Windows metafile on a device context.
namespace metafile {

// Plays the records of `metafile` (header included, already validated) up
// to `playSize` bytes. False when playback stopped before the end because
// drawing failed or its budget ran out.
bool PlayWindowsRecords(CDeviceContext& dc, CRecordView metafile, std::size_t playSize);

// From the player's record table: the smallest size in bytes, record header
// included, of a record with this function (a shorter record means the file
// is damaged), and whether the record draws.
std::size_t MinimumWindowsRecordSize(std::uint16_t function);
bool IsWindowsDrawingRecord(std::uint16_t function);

}  // namespace metafile
