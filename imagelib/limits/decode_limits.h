#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What a decoder is willing to hold for one picture from an untrusted file.
// Each decode carries its own copy (set on the decoder before it runs), so
// decodes running side by side can have different limits; a fuzzer or a
// thumbnailer asks for tighter ones than the defaults below. A picture over a
// limit ends in the decoder's usual size error. The defaults of maxSide and
// maxBitmapBytes are also the ceiling of every bitmap the library creates, so
// raising those two makes no room beyond them.
struct DecodeLimits {
    // Pixels per side of a decoded picture.
    std::int64_t maxSide = std::int64_t{1} << 16;
    // Bytes of one decoded picture at its depth, whether it is held whole or
    // streams through a window of rows.
    std::uint64_t maxBitmapBytes = std::uint64_t{1} << 30;
    // Bytes of a bitmap held whole with what the resampler holds for its
    // rows (resampledBytesPerRow each), and of a library's working memory:
    // with what the reducers and the program hold beside it, a conversion
    // stays within 512 MiB. Never above maxBitmapBytes (see HeldBitmapBytes).
    std::uint64_t maxHeldBitmapBytes = std::uint64_t{384} << 20;
    // Bytes the resampler holds for each row of a picture between its two
    // passes: a row of each target (160 and 320 pixels) at 8 bytes a pixel.
    std::uint64_t resampledBytesPerRow = (160 + 320) * 8;
    // A GIF logical screen accepted from any file; larger screens need file
    // data in proportion to their pixels.
    std::uint64_t maxGifScreenPixelsWithoutData = std::uint64_t{4096} * 4096;
    // Side of the canvas a metafile is drawn on; larger drawings are scaled
    // down to it.
    std::int64_t maxMetafileCanvasSide = 8192;
    // Records played from one metafile; the rest are cut off.
    std::size_t maxMetafileRecords = std::size_t{1} << 22;
    // Slots of a metafile's object table, whatever the file claims.
    std::uint32_t maxMetafileObjects = 65536;
    // Entries of a palette created or changed by a metafile record.
    std::uint32_t maxMetafilePaletteEntries = 1024;
    // Pixels of a run-length encoded BMP accepted from any file; larger ones
    // need file data in proportion to their pixels.
    std::uint64_t maxBmpRunLengthPixelsWithoutData = std::uint64_t{4096} * 4096;
    // Scans of a progressive JPEG: each is a pass over the whole picture, and
    // a hostile stream can hold one in every dozen bytes.
    int maxJpegScans = 1000;
    // Bytes of a colour profile embedded in a file; a larger one is ignored
    // before anything is allocated for it.
    std::uint64_t maxColorProfileBytes = std::uint64_t{4} << 20;
    // The work a file may cause (see WorkBudget): this many units per byte
    // of the file, per pixel of the picture it declares, and a floor that
    // lets every small honest file through. Work grows with the file, never
    // faster: a parser spends units in every loop whose count the file
    // controls and stops with its usual error once they run out.
    std::uint64_t workUnitsPerFileByte = 256;
    std::uint64_t workUnitsPerDeclaredPixel = 16;
    std::uint64_t workUnitsFloor = std::uint64_t{1} << 24;
    // Bitmaps of one Palm bitmap family, and of one Palm file all told (a
    // bitmap shared by several resources counts for each): a family holds
    // one member per depth and density, a real file a handful of families.
    std::size_t maxPalmBitmapsPerFamily = 32;
    std::size_t maxPalmBitmapsPerFile = 1024;
    // Bytes of one ancillary PNG chunk libpng reads, and of what it inflates
    // one to: the largest colour profile with room to spare, and far more
    // than any palette or text a picture carries. libpng allocates (and
    // clears) a chunk's declared length before its data arrives.
    std::uint64_t maxPngChunkBytes = std::uint64_t{8} << 20;
    // Ancillary PNG chunks libpng keeps; 0 leaves libpng's own default.
    std::uint32_t maxPngCachedChunks = 0;
    // A picture that streams (its rows taken through a window as they are
    // decoded, never held whole) is not held to maxBitmapBytes, only to the
    // sides; beyond maxBitmapBytes it needs a byte of file for every this
    // many pixels, so that a short file cannot have billions of pixels
    // decoded from nothing.
    std::uint64_t maxStreamedPixelsPerFileByte = 64;

    // True when width x height fits the side limit (and both are positive).
    bool AllowsSize(std::int64_t width, std::int64_t height) const {
        return width > 0 && height > 0 && width <= maxSide && height <= maxSide;
    }

    // The bytes a bitmap held whole may take: the lower of the two limits,
    // so that a caller who lowers maxBitmapBytes lowers both.
    std::uint64_t HeldBitmapBytes() const {
        return maxHeldBitmapBytes < maxBitmapBytes ? maxHeldBitmapBytes : maxBitmapBytes;
    }

    // True when a width x height bitmap of bitsPerPixel may be held whole:
    // within the sides and maxBitmapBytes, and with the resampler's rows
    // within maxHeldBitmapBytes.
    bool AllowsHeldBitmap(std::int64_t width, std::int64_t height, int bitsPerPixel) const;

    // For people: how a width x height picture of bitsPerPixel is over the
    // side or byte limit ("picture of 17000 x 17000 pixels is over the limit
    // of 268 megapixels."); empty when it is within both, or when a side is
    // not positive (a broken header, not a large picture).
    std::string DescribeOverLimit(std::int64_t width, std::int64_t height, int bitsPerPixel) const;
    // The same for a picture held whole, which also has to be within
    // AllowsHeldBitmap, counting the pixels a picture of that width may have
    // ("picture of 16384 x 16384 pixels is over the limit of 95 megapixels of
    // a picture held whole: it would need more than 512 MiB to convert.").
    std::string DescribeOverHeldLimit(std::int64_t width, std::int64_t height, int bitsPerPixel) const;
};
