#pragma once

#include "imagelib/limits/decode_limits.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

typedef struct tiff TIFF;

// The samples of a TIFF picture a row at a time, as libtiff's strip and tile
// reads deliver them: for the layouts libtiff's RGBA interface refuses.
// Integer samples of 1 to 32 bits, signed or not, and 32-bit floating-point
// samples, contiguous or in separate planes, in strips or tiles.
// Every strip or tile is read once, and every buffer is sized from checked
// products within the decode's limits before it is allocated.
class TiffSampleRows {
public:
    // True when the picture's samples are of a kind this reads.
    static bool Reads(TIFF* tiff);

    // Raises the decoder's size errors for pictures over `limits`.
    TiffSampleRows(TIFF* tiff, const DecodeLimits& limits);

    std::uint32_t Width() const { return m_width; }
    std::uint32_t Height() const { return m_height; }
    std::uint16_t SamplesPerPixel() const { return m_samplesPerPixel; }

    // Reads stored row y into `samples`, SamplesPerPixel() values a pixel as
    // stored, signed and floating-point ones included. Rows are read in
    // increasing order. False when the data of the row could not be read:
    // its samples are zero then.
    bool ReadRow(std::uint32_t y, double* samples);

private:
    void LoadBand(std::uint32_t top);
    bool LoadStripPlane(std::uint32_t top, std::uint32_t rows, std::uint16_t plane, std::uint8_t* band);
    bool LoadTilePlane(std::uint32_t top, std::uint32_t rows, std::uint16_t plane, std::uint8_t* band);
    double Sample(const std::uint8_t* row, std::uint64_t index) const;

    TIFF* m_tiff;
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::uint16_t m_samplesPerPixel = 1;
    std::uint16_t m_bitsPerSample = 8;
    std::uint16_t m_sampleFormat = 1;
    bool m_separatePlanes = false;
    bool m_tiled = false;
    std::uint32_t m_tileWidth = 0;
    // Rows of a strip or of a row of tiles.
    std::uint32_t m_bandHeight = 0;
    // Bytes of one stored row of one plane.
    std::uint64_t m_rowBytes = 0;
    std::vector<std::uint8_t> m_band;
    std::vector<std::uint8_t> m_tile;
    std::uint32_t m_bandTop = 0;
    std::uint32_t m_bandRows = 0;
    bool m_bandLoaded = false;
    bool m_bandFailed = false;
};

// The stored rows [first, last] whose strips or tiles lie, in part or whole,
// beyond the end of a stream of `streamBytes`: a file cut off. Nothing when
// every strip and tile is within it.
std::optional<std::pair<std::uint32_t, std::uint32_t>> TiffRowsPastEnd(TIFF* tiff, std::uint64_t streamBytes);
