#pragma once

#include "engine/palm_bitmap_reader.h"
#include "engine/palm_format_error.h"
#include "imagelib/limits/decode_limits.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Reads Palm image files back: a resource database whose bitmap resources
// ("Tbmp" and "abmp", whatever the database's type and creator) are read with
// every member of their families, or a bare bitmap (one bitmap or a family
// with no database around it). Every offset, length and count is checked
// against the data before it is used.

struct PalmResourceRecord {
    std::string type;
    int id = 0;
    std::size_t offset = 0;
    std::size_t length = 0;  // up to the next resource's data or the end of the file
    // Empty for resources that are not bitmaps.
    std::vector<PalmBitmapRecord> bitmaps;

    bool isBitmap() const { return type == "Tbmp" || type == "abmp"; }
};

struct PalmDatabaseRecord {
    // A bare bitmap file: no header, and one resource of type "Tbmp" holding
    // the family.
    bool bareBitmap = false;
    std::string name;
    int attributes = 0;
    int version = 0;
    std::uint32_t creationDate = 0;
    std::uint32_t modificationDate = 0;
    std::string type;
    std::string creator;
    std::vector<PalmResourceRecord> resources;
};

// Throws PalmFormatError for anything that is neither a well-formed database
// of bitmaps nor a bare bitmap, or goes beyond the limits.
PalmDatabaseRecord readPalmDatabase(std::span<const std::uint8_t> bytes, const DecodeLimits& limits = {});
// The same, counting against a budget the caller keeps.
PalmDatabaseRecord readPalmDatabase(std::span<const std::uint8_t> bytes, PalmReadBudget& budget);
PalmDatabaseRecord readPalmDatabaseFile(const std::string& path, const DecodeLimits& limits = {});

// True when `path` names a regular file (not a link) whose header and
// resource list are a Palm resource database's, as the reader tells one apart
// from a bare bitmap; only those bytes are read.
bool isPalmDatabaseFile(const std::string& path);
