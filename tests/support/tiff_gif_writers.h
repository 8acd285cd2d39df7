#pragma once

// Writers that make TIFF and GIF test pictures in memory with libtiff's and
// giflib's own writing side, so the decoder suites need no binary files.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// One TIFF picture. `pixels` holds `height` rows of samples packed the way
// TIFF stores them with contiguous samples (PlanarConfiguration 1): a row is
// ceil(width * samplesPerPixel * bitsPerSample / 8) bytes.
struct TiffPicture {
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t bitsPerSample = 8;
    std::uint16_t photometric = 1;  // PHOTOMETRIC_MINISBLACK
    std::uint16_t compression = 1;  // COMPRESSION_NONE
    // The kind of the last sample when it is not a colour (EXTRASAMPLE_*).
    std::optional<std::uint16_t> extraSample;
    std::uint16_t orientation = 1;   // ORIENTATION_TOPLEFT
    std::uint32_t rowsPerStrip = 0;  // 0: one strip per row
    // Strips or tiles stored plane by plane (PlanarConfiguration 2); `pixels` is
    // still packed contiguously, and the writer splits the samples.
    bool planarSeparate = false;
    std::uint32_t tileWidth = 0;  // non-zero (a multiple of 16): tiled
    std::uint32_t tileHeight = 0;
    // Palette images: 2^bitsPerSample entries each.
    std::vector<std::uint16_t> colorMapRed;
    std::vector<std::uint16_t> colorMapGreen;
    std::vector<std::uint16_t> colorMapBlue;
    std::uint16_t sampleFormat = 1;  // SAMPLEFORMAT_UINT
    // SMinSampleValue and SMaxSampleValue, when given.
    std::optional<double> minSampleValue;
    std::optional<double> maxSampleValue;
    // Written as BigTIFF (64-bit offsets).
    bool bigTiff = false;
    // YCbCr with JPEG compression: red, green and blue samples, which
    // libtiff's JPEG codec turns into subsampled YCbCr itself. Samples wider
    // than a byte are in the machine's byte order.
    std::vector<std::uint8_t> pixels;
};

std::size_t TiffRowBytes(const TiffPicture& picture);

// The picture as a TIFF file; fails the running test if libtiff refuses it.
// With an ICC profile tag unless `iccProfile` is empty.
std::vector<std::uint8_t> WriteTiff(const TiffPicture& picture,
                                    const std::vector<std::uint8_t>& iccProfile = {});

// Where each strip's data lies in a TIFF file: (offset, byte count) pairs.
std::vector<std::pair<std::uint64_t, std::uint64_t>> TiffStripLocations(
    const std::vector<std::uint8_t>& tiff);

struct GifColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// One image of a GIF file; `pixels` are width * height indices, top row first
// (the writer reorders the rows of interlaced images itself).
struct GifImage {
    int left = 0;
    int top = 0;
    int width = 1;
    int height = 1;
    bool interlaced = false;
    std::vector<GifColor> localMap;  // empty: none
    // Writes a graphic-control extension with this transparent index first.
    std::optional<int> transparentIndex;
    std::vector<std::uint8_t> pixels;
};

// Colour maps are padded to a power of two entries with black.
struct GifPicture {
    int width = 1;
    int height = 1;
    int background = 0;
    std::vector<GifColor> globalMap;     // empty: none
    std::optional<std::string> comment;  // a comment extension first
    std::vector<GifImage> images;
};

// The picture as a GIF file; fails the running test if giflib refuses it.
std::vector<std::uint8_t> WriteGif(const GifPicture& picture);

// The file without its global colour map (the flag cleared and the entries
// cut out), for files that giflib would refuse to write.
std::vector<std::uint8_t> RemoveGifGlobalMap(const std::vector<std::uint8_t>& gif);

}  // namespace testsupport
