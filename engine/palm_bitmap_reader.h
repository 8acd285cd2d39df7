#pragma once

#include "engine/palm_format_error.h"
#include "imagelib/decode_limits.h"

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

struct PalmColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const PalmColour&, const PalmColour&) = default;
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
    std::vector<PalmColour> colourTable;  // as stored, entry i for index i
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

// Reads the bitmap whose header starts at `offset` and whose header, colour
// table and pixel data lie before `end`. Throws PalmFormatError for anything
// malformed or beyond the limits.
PalmBitmapRecord readPalmBitmap(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t end,
                                const DecodeLimits& limits = {});

// Reads a family from its first header at `offset` up to `end`, in file order.
// Old families mark the end of their low-density members with a version-1
// placeholder of pixel size 0xFF; it is skipped, not returned. The pixels of
// all members together stay within limits.maxBitmapBytes.
std::vector<PalmBitmapRecord> readPalmBitmapFamily(std::span<const std::uint8_t> bytes, std::size_t offset,
                                                   std::size_t end, const DecodeLimits& limits = {});
