#include "imagelib/decoders/tiff_sample_rows.h"

#include "imagelib/image_decoder.h"
#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/text_exception.h"

#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr std::uint16_t kMaxIntegerBits = 32;
const char kBufferOutOfMemory[] = "Out of memory allocating TIFF buffer.";

std::uint64_t BytesFor(std::uint64_t samples, std::uint16_t bits) {
    // Within the limits' sides, samples * bits cannot overflow.
    return (samples * bits + 7) / 8;
}

// A buffer of `bytes`, or the decoder's out-of-memory error beyond the limits.
void SizeBuffer(std::vector<std::uint8_t>& buffer, std::optional<std::uint64_t> bytes,
                const DecodeLimits& limits) {
    if (!bytes || *bytes > limits.maxBitmapBytes) RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
    try {
        buffer.assign(static_cast<std::size_t>(*bytes), 0);
    } catch (const std::bad_alloc&) {
        RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
    }
}

}  // namespace

bool TiffSampleRows::Reads(TIFF* tiff) {
    std::uint16_t bits = 1;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    switch (format) {
        case SAMPLEFORMAT_UINT:
        case SAMPLEFORMAT_INT:
        case SAMPLEFORMAT_VOID:
            return bits >= 1 && bits <= kMaxIntegerBits;
        case SAMPLEFORMAT_IEEEFP:
            return bits == 32;
        default:
            return false;
    }
}

TiffSampleRows::TiffSampleRows(TIFF* tiff, const DecodeLimits& limits) : m_tiff(tiff) {
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_IMAGEWIDTH, &m_width);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_IMAGELENGTH, &m_height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &m_samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &m_bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &m_sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (!limits.AllowsSize(m_width, m_height) || m_samplesPerPixel == 0)
        RaiseErrorFormat(ERR_UNSUPPORTED_DATA, "TIFF image size %u x %u is not supported.", m_width,
                         m_height);
    m_separatePlanes = planar == PLANARCONFIG_SEPARATE && m_samplesPerPixel > 1;
    const std::uint16_t planes = m_separatePlanes ? m_samplesPerPixel : 1;
    const std::uint64_t samplesPerRow = std::uint64_t{m_width} * (m_separatePlanes ? 1 : m_samplesPerPixel);
    m_rowBytes = BytesFor(samplesPerRow, m_bitsPerSample);

    m_tiled = TIFFIsTiled(tiff) != 0;
    if (m_tiled) {
        std::uint32_t tileHeight = 0;
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &m_tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
        const std::uint64_t tileRowSamples =
            std::uint64_t{m_tileWidth} * (m_separatePlanes ? 1 : m_samplesPerPixel);
        // Tiles are placed side by side at whole bytes of the row.
        if (m_tileWidth == 0 || tileHeight == 0 || tileRowSamples * m_bitsPerSample % 8 != 0 ||
            !limits.AllowsSize(m_tileWidth, tileHeight))
            RaiseErrorFormat(ERR_UNSUPPORTED_DATA, "TIFF tile size %u x %u is not supported.", m_tileWidth,
                             tileHeight);
        m_bandHeight = std::min(tileHeight, m_height);
        SizeBuffer(m_tile, CheckedMultiply(BytesFor(tileRowSamples, m_bitsPerSample), tileHeight), limits);
    } else {
        std::uint32_t rowsPerStrip = 0;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        m_bandHeight = rowsPerStrip == 0 ? m_height : std::min(rowsPerStrip, m_height);
    }
    const auto planeBytes = CheckedMultiply(m_rowBytes, m_bandHeight);
    SizeBuffer(m_band, planeBytes ? CheckedMultiply(*planeBytes, planes) : std::nullopt, limits);
}

bool TiffSampleRows::ReadRow(std::uint32_t y, double* samples) {
    if (!m_bandLoaded || y < m_bandTop || y >= m_bandTop + m_bandRows) LoadBand(y - y % m_bandHeight);
    const std::uint64_t planeBytes = m_rowBytes * m_bandHeight;
    const std::uint64_t rowOffset = std::uint64_t{y - m_bandTop} * m_rowBytes;
    for (std::uint32_t x = 0; x < m_width; ++x) {
        for (std::uint16_t s = 0; s < m_samplesPerPixel; ++s) {
            const std::uint8_t* row = m_band.data() + (m_separatePlanes ? s * planeBytes : 0) + rowOffset;
            const std::uint64_t index = m_separatePlanes ? x : std::uint64_t{x} * m_samplesPerPixel + s;
            *samples++ = Sample(row, index);
        }
    }
    return !m_bandFailed;
}

void TiffSampleRows::LoadBand(std::uint32_t top) {
    m_bandTop = top;
    m_bandRows = std::min(m_bandHeight, m_height - top);
    m_bandLoaded = true;
    m_bandFailed = false;
    const std::uint16_t planes = m_separatePlanes ? m_samplesPerPixel : 1;
    const std::uint64_t planeBytes = m_rowBytes * m_bandHeight;
    for (std::uint16_t plane = 0; plane < planes; ++plane) {
        std::uint8_t* band = m_band.data() + plane * planeBytes;
        const bool loaded = m_tiled ? LoadTilePlane(top, m_bandRows, plane, band)
                                    : LoadStripPlane(top, m_bandRows, plane, band);
        // What could not be read reads as zero, not as the band before.
        if (!loaded) {
            std::memset(band, 0, static_cast<std::size_t>(planeBytes));
            m_bandFailed = true;
        }
    }
}

bool TiffSampleRows::LoadStripPlane(std::uint32_t top, std::uint32_t rows, std::uint16_t plane,
                                    std::uint8_t* band) {
    const auto wanted = static_cast<tmsize_t>(m_rowBytes * rows);
    const tmsize_t read = TIFFReadEncodedStrip(m_tiff, TIFFComputeStrip(m_tiff, top, plane), band, wanted);
    if (read < 0) return false;
    // A short strip leaves its last rows zero.
    if (read < wanted) std::memset(band + read, 0, static_cast<std::size_t>(wanted - read));
    return read == wanted;
}

bool TiffSampleRows::LoadTilePlane(std::uint32_t top, std::uint32_t rows, std::uint16_t plane,
                                   std::uint8_t* band) {
    const std::uint16_t tileSamples = m_separatePlanes ? 1 : m_samplesPerPixel;
    const std::uint64_t tileRowBytes = BytesFor(std::uint64_t{m_tileWidth} * tileSamples, m_bitsPerSample);
    bool complete = true;
    for (std::uint32_t left = 0; left < m_width; left += m_tileWidth) {
        const tmsize_t read = TIFFReadEncodedTile(m_tiff, TIFFComputeTile(m_tiff, left, top, 0, plane),
                                                  m_tile.data(), static_cast<tmsize_t>(m_tile.size()));
        if (read < 0) {
            std::fill(m_tile.begin(), m_tile.end(), 0);
            complete = false;
        }
        const std::uint64_t offset = BytesFor(std::uint64_t{left} * tileSamples, m_bitsPerSample);
        const std::uint64_t bytes = std::min(tileRowBytes, m_rowBytes - offset);
        for (std::uint32_t y = 0; y < rows; ++y)
            std::memcpy(band + y * m_rowBytes + offset, m_tile.data() + y * tileRowBytes,
                        static_cast<std::size_t>(bytes));
    }
    return complete;
}

double TiffSampleRows::Sample(const std::uint8_t* row, std::uint64_t index) const {
    // libtiff has put samples of 8, 16, 24 and 32 bits into the
    // machine's byte order; other widths stay packed, most significant bit
    // first.
    const std::uint16_t bits = m_bitsPerSample;
    std::uint64_t value = 0;
    switch (bits) {
        case 8:
            value = row[index];
            break;
        case 16: {
            std::uint16_t word;
            std::memcpy(&word, row + 2 * index, 2);
            value = word;
            break;
        }
        case 24: {
            const std::uint8_t* p = row + 3 * index;
            value = std::endian::native == std::endian::little ? (p[0] | p[1] << 8 | p[2] << 16)
                                                               : (p[2] | p[1] << 8 | p[0] << 16);
            break;
        }
        case 32: {
            std::uint32_t word;
            std::memcpy(&word, row + 4 * index, 4);
            if (m_sampleFormat == SAMPLEFORMAT_IEEEFP) return std::bit_cast<float>(word);
            value = word;
            break;
        }
        default: {
            // At most 32 bits, so at most five bytes hold the sample.
            const std::uint64_t firstBit = index * bits;
            const std::uint8_t* p = row + firstBit / 8;
            const unsigned skip = static_cast<unsigned>(firstBit % 8);
            const unsigned bytes = (skip + bits + 7) / 8;
            std::uint64_t gathered = 0;
            for (unsigned i = 0; i < bytes; ++i) gathered = gathered << 8 | p[i];
            value = gathered >> (bytes * 8 - skip - bits) & ((std::uint64_t{1} << bits) - 1);
            break;
        }
    }
    if (m_sampleFormat == SAMPLEFORMAT_INT && (value >> (bits - 1) & 1u) != 0)
        return static_cast<double>(value) - static_cast<double>(std::uint64_t{1} << bits);
    return static_cast<double>(value);
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> TiffRowsPastEnd(TIFF* tiff,
                                                                       std::uint64_t streamBytes) {
    std::uint32_t height = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_IMAGELENGTH, &height);
    const bool tiled = TIFFIsTiled(tiff) != 0;
    std::uint32_t bandHeight = 0;
    std::uint32_t bandsAcross = 1;
    if (tiled) {
        std::uint32_t width = 0;
        std::uint32_t tileWidth = 0;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &bandHeight);
        if (tileWidth == 0) return std::nullopt;
        bandsAcross = width / tileWidth + (width % tileWidth != 0 ? 1 : 0);
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &bandHeight);
    }
    if (height == 0 || bandHeight == 0 || bandsAcross == 0) return std::nullopt;
    const std::uint64_t bandsDown = height / bandHeight + (height % bandHeight != 0 ? 1 : 0);
    const std::uint64_t perPlane = bandsDown * bandsAcross;
    const std::uint32_t striles = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    std::optional<std::pair<std::uint32_t, std::uint32_t>> rows;
    for (std::uint32_t strile = 0; strile < striles; ++strile) {
        const std::uint64_t offset = TIFFGetStrileOffset(tiff, strile);
        const std::uint64_t bytes = TIFFGetStrileByteCount(tiff, strile);
        if (offset <= streamBytes && bytes <= streamBytes - offset) continue;
        const std::uint64_t band = strile % perPlane / bandsAcross;
        const auto first = static_cast<std::uint32_t>(std::min<std::uint64_t>(band * bandHeight, height - 1));
        const auto last =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(band * bandHeight + bandHeight, height) - 1);
        rows = rows ? std::pair{std::min(rows->first, first), std::max(rows->second, last)}
                    : std::pair{first, last};
    }
    return rows;
}
