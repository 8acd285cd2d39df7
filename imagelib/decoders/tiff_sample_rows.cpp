#include "imagelib/decoders/tiff_sample_rows.h"

#include "imagelib/image_decoder.h"
#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/text_exception.h"

#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr std::uint16_t kMaxIntegerBits = 32;
// The rows of tiles held at once; a picture whose row of tiles needs more is
// refused as too large.
constexpr std::uint64_t kMaxBandBytes = std::uint64_t{256} << 20;
const char kBufferOutOfMemory[] = "Out of memory allocating TIFF buffer.";
const char kDataUnreadable[] = "TIFF image data could not be read.";

std::uint64_t BytesFor(std::uint64_t samples, std::uint16_t bits) {
    // Within the limits' sides, samples * bits cannot overflow.
    return (samples * bits + 7) / 8;
}

// The most bytes one stored byte of a strip or tile can decode to: 64 for a
// PackBits run of 128 in two bytes, about 1032 for deflate, 4096 for an LZW
// code of the longest string; the other codecs (JPEG, LZMA, Zstandard, ...)
// are given room beyond any honest file.
std::uint64_t MostBytesPerStoredByte(std::uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE:
            return 1;
        case COMPRESSION_PACKBITS:
            return 64;
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
            return 1032;
        case COMPRESSION_LZW:
            return 4096;
        default:
            return std::uint64_t{1} << 16;
    }
}

std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b) {
    return CheckedMultiply(a, b).value_or(std::numeric_limits<std::uint64_t>::max());
}

// A buffer of `bytes`, or the decoder's out-of-memory error beyond `most`.
void SizeBuffer(std::vector<std::uint8_t>& buffer, std::optional<std::uint64_t> bytes, std::uint64_t most) {
    if (!bytes || *bytes > most) RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
    try {
        buffer.resize(static_cast<std::size_t>(*bytes));
    } catch (const std::bad_alloc&) {
        RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
    }
}

// IEEE half precision, as some writers store floating-point samples.
double HalfToDouble(std::uint16_t half) {
    const int exponent = half >> 10 & 0x1F;
    const int mantissa = half & 0x3FF;
    double magnitude = 0;
    if (exponent == 0)
        magnitude = std::ldexp(mantissa, -24);
    else if (exponent == 0x1F)
        magnitude = mantissa == 0 ? std::numeric_limits<double>::infinity()
                                  : std::numeric_limits<double>::quiet_NaN();
    else
        magnitude = std::ldexp(mantissa | 0x400, exponent - 25);
    return (half & 0x8000) != 0 ? -magnitude : magnitude;
}

}  // namespace

// One plane of samples being read: every sample of a contiguous picture, or
// one sample of a picture in separate planes. Strips of separate planes are
// each read through a handle of their own, since libtiff's scanline reader
// decodes one strip at a time and would start a strip over for every row.
struct TiffSampleRows::Plane {
    std::uint16_t index = 0;
    std::unique_ptr<TiffMemoryStream> stream;
    TiffHandle handle;
    TIFF* tiff = nullptr;
    // The stored row read, or the plane's part of the rows of tiles.
    std::vector<std::uint8_t> rows;
};

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
            return bits == 16 || bits == 32 || bits == 64;
        default:
            return false;
    }
}

TiffSampleRows::TiffSampleRows(TIFF* tiff, const DecodeLimits& limits, std::vector<std::uint16_t> chosen)
    : m_tiff(tiff), m_chosen(std::move(chosen)) {
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_IMAGEWIDTH, &m_width);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_IMAGELENGTH, &m_height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &m_samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &m_bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &m_sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &m_compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (!limits.AllowsSize(m_width, m_height) || m_samplesPerPixel == 0)
        RaiseErrorFormat(ERR_UNSUPPORTED_DATA, "TIFF image size %u x %u is not supported.", m_width,
                         m_height);
    for (const std::uint16_t sample : m_chosen)
        if (sample >= m_samplesPerPixel) RaiseError(ERR_UNSUPPORTED_DATA, "TIFF samples are not supported.");
    m_streamBytes = StreamOfHandle(tiff).size;
    m_separatePlanes = planar == PLANARCONFIG_SEPARATE && m_samplesPerPixel > 1;
    const std::uint64_t samplesPerRow = std::uint64_t{m_width} * (m_separatePlanes ? 1 : m_samplesPerPixel);
    m_rowBytes = BytesFor(samplesPerRow, m_bitsPerSample);
    m_maxBandBytes = std::min(kMaxBandBytes, limits.maxBitmapBytes);

    m_tiled = TIFFIsTiled(tiff) != 0;
    if (m_tiled) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &m_tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &m_tileHeight);
        const std::uint64_t tileRowSamples =
            std::uint64_t{m_tileWidth} * (m_separatePlanes ? 1 : m_samplesPerPixel);
        // Tiles are placed side by side at whole bytes of the row.
        if (m_tileWidth == 0 || m_tileHeight == 0 || tileRowSamples * m_bitsPerSample % 8 != 0 ||
            !limits.AllowsSize(m_tileWidth, m_tileHeight))
            RaiseErrorFormat(ERR_UNSUPPORTED_DATA, "TIFF tile size %u x %u is not supported.", m_tileWidth,
                             m_tileHeight);
        m_tileRowBytes = BytesFor(tileRowSamples, m_bitsPerSample);
    }
    // A row that needs more bytes than the whole stream can decode to is
    // never there; nothing is allocated for it.
    const std::uint64_t rowOfData = m_tiled ? std::max(m_rowBytes, m_tileRowBytes) : m_rowBytes;
    if (rowOfData > SaturatingMultiply(m_streamBytes, MostBytesPerStoredByte(m_compression)))
        RaiseError(ERR_WRONG_SIGNATURE, kDataUnreadable);
    OpenPlanes(tiff, limits);
}

TiffSampleRows::~TiffSampleRows() = default;

void TiffSampleRows::OpenPlanes(TIFF* tiff, const DecodeLimits& limits) {
    std::vector<std::uint16_t> planes = {0};
    if (m_separatePlanes) {
        planes = m_chosen;
        std::sort(planes.begin(), planes.end());
        planes.erase(std::unique(planes.begin(), planes.end()), planes.end());
    }
    const auto rowsBytes = CheckedMultiply(m_rowBytes, planes.size());
    if (!rowsBytes || *rowsBytes > m_maxBandBytes) RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
    for (const std::uint16_t index : planes) {
        auto plane = std::make_unique<Plane>();
        plane->index = index;
        plane->tiff = tiff;
        if (!m_tiled && !m_planes.empty()) {
            const TiffMemoryStream& main = StreamOfHandle(tiff);
            plane->stream = std::make_unique<TiffMemoryStream>();
            plane->stream->data = main.data;
            plane->stream->size = main.size;
            plane->handle = OpenFromMemory(*plane->stream, limits);
            const tdir_t directory = TIFFCurrentDirectory(tiff);
            if (!plane->handle || (directory != 0 && !TIFFSetDirectory(plane->handle.get(), directory)))
                RaiseError(ERR_WRONG_SIGNATURE, ::FailureText(*plane->stream, kDataUnreadable));
            plane->tiff = plane->handle.get();
        }
        if (!m_tiled) SizeBuffer(plane->rows, m_rowBytes, m_maxBandBytes);
        m_planes.push_back(std::move(plane));
    }
}

bool TiffSampleRows::ReadRow(std::uint32_t y, double* samples) {
    if (m_ended || y >= m_height || !(m_tiled ? LoadTileBand(y) : LoadScanlines(y))) {
        m_ended = true;
        return false;
    }
    const std::uint64_t rowOffset = m_tiled ? std::uint64_t{y - m_bandTop} * m_rowBytes : 0;
    // Where each chosen sample is: the row of its plane, and its place in a
    // pixel there.
    std::vector<const std::uint8_t*> rows;
    for (const std::uint16_t sample : m_chosen) {
        const auto plane = std::find_if(m_planes.begin(), m_planes.end(), [&](const auto& p) {
            return !m_separatePlanes || p->index == sample;
        });
        rows.push_back((*plane)->rows.data() + rowOffset);
    }
    const std::uint64_t stride = m_separatePlanes ? 1 : m_samplesPerPixel;
    for (std::uint32_t x = 0; x < m_width; ++x)
        for (std::size_t k = 0; k < m_chosen.size(); ++k)
            *samples++ = Sample(rows[k], std::uint64_t{x} * stride + (m_separatePlanes ? 0 : m_chosen[k]));
    return true;
}

bool TiffSampleRows::LoadScanlines(std::uint32_t y) {
    for (const auto& plane : m_planes)
        if (TIFFReadScanline(plane->tiff, plane->rows.data(), y, plane->index) < 0) return false;
    return true;
}

std::uint64_t TiffSampleRows::TileRowsWithin(std::uint32_t tile) const {
    const std::uint64_t offset = TIFFGetStrileOffset(m_tiff, tile);
    const std::uint64_t bytes = TIFFGetStrileByteCount(m_tiff, tile);
    // Offset 0 is the file's header, never a tile's data.
    if (offset == 0 || bytes == 0 || offset > m_streamBytes || bytes > m_streamBytes - offset) return 0;
    return SaturatingMultiply(bytes, MostBytesPerStoredByte(m_compression)) / m_tileRowBytes;
}

bool TiffSampleRows::LoadTileBand(std::uint32_t y) {
    if (m_bandRows > 0 && y >= m_bandTop && y < m_bandTop + m_bandRows) return true;
    const std::uint32_t top = y - y % m_tileHeight;
    // A row of tiles cut short ends the picture.
    if (m_bandRows > 0 && top == m_bandTop) return false;
    std::uint64_t rows = std::min(m_tileHeight, m_height - top);
    for (const auto& plane : m_planes)
        for (std::uint32_t left = 0; left < m_width; left += m_tileWidth)
            rows = std::min(rows, TileRowsWithin(TIFFComputeTile(m_tiff, left, top, 0, plane->index)));
    m_bandTop = top;
    m_bandRows = 0;
    if (rows == 0) return false;
    const auto bandBytes = CheckedMultiply(m_rowBytes, rows);
    const auto allBytes = bandBytes ? CheckedMultiply(*bandBytes, m_planes.size()) : std::nullopt;
    if (!allBytes || *allBytes > m_maxBandBytes) RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
    SizeBuffer(m_tile, CheckedMultiply(m_tileRowBytes, rows), m_maxBandBytes);
    const std::uint16_t tileSamples = m_separatePlanes ? 1 : m_samplesPerPixel;
    for (const auto& plane : m_planes) {
        SizeBuffer(plane->rows, bandBytes, m_maxBandBytes);
        for (std::uint32_t left = 0; left < m_width; left += m_tileWidth) {
            const auto wanted = static_cast<tmsize_t>(m_tile.size());
            if (TIFFReadEncodedTile(m_tiff, TIFFComputeTile(m_tiff, left, top, 0, plane->index),
                                    m_tile.data(), wanted) != wanted)
                return false;
            const std::uint64_t offset = BytesFor(std::uint64_t{left} * tileSamples, m_bitsPerSample);
            const std::uint64_t bytes = std::min(m_tileRowBytes, m_rowBytes - offset);
            for (std::uint64_t row = 0; row < rows; ++row)
                std::memcpy(plane->rows.data() + row * m_rowBytes + offset,
                            m_tile.data() + row * m_tileRowBytes, static_cast<std::size_t>(bytes));
        }
    }
    m_bandRows = static_cast<std::uint32_t>(rows);
    return true;
}

std::string TiffSampleRows::FailureText(const char* reason) const {
    for (const auto& plane : m_planes) {
        const TiffMemoryStream& stream = plane->stream ? *plane->stream : StreamOfHandle(m_tiff);
        if (stream.lastError[0] != '\0') return stream.lastError;
    }
    return ::FailureText(m_tiff, reason);
}

double TiffSampleRows::Sample(const std::uint8_t* row, std::uint64_t index) const {
    // libtiff has put samples of 8, 16, 24, 32 and 64 bits into the
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
            if (m_sampleFormat == SAMPLEFORMAT_IEEEFP) return HalfToDouble(word);
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
        case 64: {
            // Only floating-point samples are read at this width.
            double number;
            std::memcpy(&number, row + 8 * index, 8);
            return number;
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
        // Offset 0 is the file's header, never a strip's data.
        if (offset != 0 && bytes != 0 && offset <= streamBytes && bytes <= streamBytes - offset) continue;
        const std::uint64_t band = strile % perPlane / bandsAcross;
        const auto first = static_cast<std::uint32_t>(std::min<std::uint64_t>(band * bandHeight, height - 1));
        const auto last =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(band * bandHeight + bandHeight, height) - 1);
        rows = rows ? std::pair{std::min(rows->first, first), std::max(rows->second, last)}
                    : std::pair{first, last};
    }
    return rows;
}
