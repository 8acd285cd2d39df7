#pragma once

#include "imagelib/decoders/tiff_stream.h"
#include "imagelib/limits/decode_limits.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The samples of a TIFF picture a row at a time, as libtiff decodes them: for
// the layouts libtiff's RGBA interface refuses or reads wrong. Integer samples
// of 1 to 32 bits, signed or not, and floating-point samples of 16, 32 and 64
// bits, contiguous or in separate planes, in strips or tiles.
//
// Memory follows the data, not the header: strips are decoded a row at a
// time (libtiff's scanline reader, on a handle of its own for each separate
// plane), and a row of tiles only into as many rows as the tiles' stored bytes
// can expand to. A strip or tile that is missing or cannot be decoded ends the
// picture at its first row.
class TiffSampleRows {
public:
    // True when the picture's samples are of a kind this reads.
    static bool Reads(TIFF* tiff);

    // Delivers the samples `chosen` (indexes below SamplesPerPixel) of each
    // pixel. Raises the decoder's size errors for pictures over `limits`, and
    // its read error when not one row of the picture fits in the stream.
    TiffSampleRows(TIFF* tiff, const DecodeLimits& limits, std::vector<std::uint16_t> chosen);
    ~TiffSampleRows();
    TiffSampleRows(const TiffSampleRows&) = delete;
    TiffSampleRows& operator=(const TiffSampleRows&) = delete;

    std::uint32_t Width() const { return m_width; }
    std::uint32_t Height() const { return m_height; }

    // Reads stored row y into `samples`, the chosen samples of each pixel in
    // turn, signed and floating-point ones included. Rows are read in
    // increasing order. False when the row's data is missing or cannot be
    // decoded: the picture ends before it, and no later row is read.
    bool ReadRow(std::uint32_t y, double* samples);

    // libtiff's last message about the reads, or `reason`.
    std::string FailureText(const char* reason) const;

private:
    struct Plane;

    void OpenPlanes(TIFF* tiff, const DecodeLimits& limits);
    bool LoadScanlines(std::uint32_t y);
    bool LoadTileBand(std::uint32_t y);
    std::uint64_t TileRowsWithin(std::uint32_t tile) const;
    double Sample(const std::uint8_t* row, std::uint64_t index) const;

    TIFF* m_tiff;
    std::uint64_t m_streamBytes = 0;
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::uint16_t m_samplesPerPixel = 1;
    std::uint16_t m_bitsPerSample = 8;
    std::uint16_t m_sampleFormat = 1;
    std::uint16_t m_compression = 1;
    bool m_separatePlanes = false;
    bool m_tiled = false;
    std::uint32_t m_tileWidth = 0;
    std::uint32_t m_tileHeight = 0;
    // Bytes of one stored row of one plane, and of one row of one tile.
    std::uint64_t m_rowBytes = 0;
    std::uint64_t m_tileRowBytes = 0;
    std::uint64_t m_maxBandBytes = 0;
    std::vector<std::uint16_t> m_chosen;
    // The planes read: one for contiguous samples, else one per chosen
    // sample's plane.
    std::vector<std::unique_ptr<Plane>> m_planes;
    // The rows of tiles loaded: stored rows [m_bandTop, m_bandTop + m_bandRows).
    std::uint32_t m_bandTop = 0;
    std::uint32_t m_bandRows = 0;
    std::vector<std::uint8_t> m_tile;
    bool m_ended = false;
};

// The stored rows [first, last] whose strips or tiles lie, in part or whole,
// beyond the end of a stream of `streamBytes`, or hold no bytes at all: a
// file cut off. Nothing when every strip and tile is within it.
std::optional<std::pair<std::uint32_t, std::uint32_t>> TiffRowsPastEnd(TIFF* tiff, std::uint64_t streamBytes);
