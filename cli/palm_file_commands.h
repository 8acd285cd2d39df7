#pragma once

#include "engine/palm_database_reader.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

// The modes of kestrin-convert that read Palm image files instead of writing
// them: --info and --extract.

// The description --info prints for one file, a line per fact, so that scripts
// can rely on it: the database header (dates as stored, which is already local
// wall-clock time), then each resource with its bitmaps.
std::string describePalmFile(const std::string& path, const PalmDatabaseRecord& file);

// Prints every file's description to `out`; files that cannot be read are
// reported on `errors` and the others still printed. 0 when all were read,
// else 1.
int printPalmFileInfo(const std::vector<std::string>& paths, std::ostream& out, std::ostream& errors);

// What a database holds, for the line kestrin-convert prints for each one it
// writes: "160x110 8-bit and 320x220 8-bit images". A picture stored in
// halves counts once, at its whole size.
std::string describeImages(const PalmDatabaseRecord& database);

// "fruits.pdb: 12,345 bytes, 160x110 8-bit and 320x220 8-bit images", read
// back from the file; the reason when it cannot be read.
std::string describeWrittenDatabase(const std::string& path);

// "low", "high", or a density a bitmap can have ("72", "108", "144", "216",
// "288"): the density to ask renderViewerPicture for; nothing when unknown.
std::optional<int> parseDensity(const std::string& text);

// Writes what the viewer shows of `input` at `density` as a PNG at `output`,
// through a temporary file renamed into place; an existing PNG there is
// replaced only with `replaceExisting`, any other file never. 0 when done,
// else 1 with "kestrin-convert: FILE: reason" on `errors`.
int extractPalmPicture(const std::string& input, const std::string& output, int density, bool replaceExisting,
                       std::ostream& errors);
