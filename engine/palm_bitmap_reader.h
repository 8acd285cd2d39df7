#pragma once

#include "engine/palm_format_error.h"
#include "imagelib/limits/decode_limits.h"
#include "imagelib/limits/work_budget.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Reads Palm bitmaps of versions 0 to 3, big- or little-endian (the version
// byte with 128 added), with their colour tables and compressed pixel data,
// and follows bitmap families through their next-bitmap offsets.

// The compression types a bitmap header can name.
enum PalmCompressionType : int {
    kPalmScanlineCompression = 0,
    kPalmRleCompression = 1,
    kPalmPackBitsCompression = 2,
    kPalmNoCompression = 0xFF,
};

// Pixel formats of a version-3 header.
enum PalmPixelFormat : int {
    kPalmIndexed = 0,
    kPalmRgb565 = 1,  // 16-bit pixels, high byte first
    kPalmRgb565LittleEndian = 2,
    kPalmIndexedLittleEndian = 3,  // indexes packed from the least significant bits of each byte
};

struct PalmColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const PalmColor&, const PalmColor&) = default;
};

struct PalmBitmapRecord {
    std::size_t offset = 0;  // of the header, from the start of the file
    int width = 0;
    int height = 0;
    int rowBytes = 0;
    int pixelSize = 0;  // 1, 2, 4, 8 or 16; version 0 bitmaps are 1
    int version = 0;    // without the little-endian mark
    bool littleEndian = false;
    bool compressed = false;
    int compressionType = kPalmNoCompression;  // kPalmNoCompression unless compressed
    int headerSize = 0;
    int density = 72;
    int pixelFormat = kPalmIndexed;
    bool hasColorTable = false;
    std::vector<PalmColor> colorTable;  // as stored, entry i for index i
    bool hasTransparency = false;
    // The transparent index, or at 16 bits per pixel the transparent colour
    // as a 5-6-5 value.
    std::uint32_t transparentValue = 0;
    std::size_t nextOffset = 0;        // in bytes from this header, 0 for the last of a family
    std::size_t payloadLength = 0;     // as stored (the block length when compressed)
    std::uint32_t blockLength = 0;     // the length field of a compressed block
    std::vector<std::uint8_t> pixels;  // rowBytes x height, expanded, in the bitmap's byte order

    // True when the 16-bit pixels are stored low byte first.
    bool pixelsLittleEndian() const;
};

// What one file has made the readers do so far, shared by the database reader
// and every family read from it, so that no arrangement of resources and
// members makes a small file cost more than its size allows: the bitmaps
// delivered, the pixel bytes they hold (together no more than one picture
// allowed by the limits) and the file's work budget, which counts records
// read, compressed bytes expanded and pixel bytes delivered. Going beyond any
// of them throws PalmFormatError.
class PalmReadBudget {
public:
    PalmReadBudget(std::size_t fileBytes, const DecodeLimits& limits);

    // The limits for the next bitmap: its pixels within what is left.
    DecodeLimits limitsForNextBitmap() const;
    // A record that is no bitmap: a resource entry, a placeholder.
    void countRecord();
    // A bitmap delivered; `parsed` when it was read from its bytes, not
    // copied from a resource that shares it.
    void countBitmap(const PalmBitmapRecord& bitmap, bool parsed);

    const DecodeLimits& limits() const { return m_limits; }
    const WorkBudget& work() const { return m_work; }

private:
    void spend(std::uint64_t units);

    DecodeLimits m_limits;
    WorkBudget m_work;
    std::uint64_t m_pixelBytes = 0;
    std::size_t m_bitmaps = 0;
};

// Reads the bitmap whose header starts at `offset` and whose header, colour
// table and pixel data lie before `end`. Throws PalmFormatError for anything
// malformed or beyond the limits.
PalmBitmapRecord readPalmBitmap(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t end,
                                const DecodeLimits& limits = {});

// Reads a family from its first header at `offset` up to `end`, in file order.
// Old families mark the end of their low-density members with a version-1
// placeholder of pixel size 0xFF; it is skipped, not returned. The members
// count against `budget`, and a family holds at most
// limits.maxPalmBitmapsPerFamily of them.
std::vector<PalmBitmapRecord> readPalmBitmapFamily(std::span<const std::uint8_t> bytes, std::size_t offset,
                                                   std::size_t end, PalmReadBudget& budget);
// The same with a budget of its own for `bytes`.
std::vector<PalmBitmapRecord> readPalmBitmapFamily(std::span<const std::uint8_t> bytes, std::size_t offset,
                                                   std::size_t end, const DecodeLimits& limits = {});
