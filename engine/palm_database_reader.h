#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Reads a Palm resource database of bitmap resources back: the header, the
// resource list and every bitmap of each family, with scanline-compressed
// pixel data expanded. Used for previews and to check what the writer made.

class PalmFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PalmBitmapRecord {
    std::size_t offset = 0;  // of the header, from the start of the file
    int width = 0;
    int height = 0;
    int rowBytes = 0;
    int pixelSize = 0;
    int version = 0;  // without the little-endian mark
    bool littleEndian = false;
    bool compressed = false;
    int headerSize = 0;
    int density = 72;
    std::size_t nextOffset = 0;        // in bytes from this header, 0 for the last of a family
    std::size_t payloadLength = 0;     // as stored (the block length when compressed)
    std::uint32_t blockLength = 0;     // the length field of a compressed block
    std::vector<std::uint8_t> pixels;  // rowBytes x height, expanded
};

struct PalmResourceRecord {
    std::string type;
    int id = 0;
    std::size_t offset = 0;
    std::size_t length = 0;  // up to the next resource or the end of the file
    std::vector<PalmBitmapRecord> bitmaps;
};

struct PalmDatabaseRecord {
    std::string name;
    int attributes = 0;
    int version = 0;
    std::uint32_t creationDate = 0;
    std::uint32_t modificationDate = 0;
    std::string type;
    std::string creator;
    std::vector<PalmResourceRecord> resources;
};

// Throws PalmFormatError for anything that is not a well-formed database.
PalmDatabaseRecord readPalmDatabase(const std::vector<std::uint8_t>& bytes);
PalmDatabaseRecord readPalmDatabaseFile(const std::string& path);
