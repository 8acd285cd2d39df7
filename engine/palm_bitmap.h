#pragma once

#include "engine/conversion_settings.h"
#include "engine/front_end.h"
#include "engine/palm_palette.h"
#include "engine/picture_layout.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class CImageBitmap;
class OutputFile;

// One picture already reduced to a Palm bit depth, held as packed Palm rows
// (top to bottom, rowBytes each, pixels from the most significant bits down),
// with the palette that the reduction uses. Never written with a colour table:
// the pixel values are indexes into the device's own palette of that depth.
class PalmBitmap {
public:
    virtual ~PalmBitmap() = default;

    int depth() const { return m_palette.depth(); }
    std::uint16_t width() const { return m_width; }
    std::uint16_t height() const { return m_height; }
    std::uint16_t rowBytes() const { return m_rowBytes; }
    // Set by the last writeTo when it stored the pixels scanline-compressed.
    bool compressed() const { return m_compressed; }
    const PalmPalette& palette() const { return m_palette; }
    std::span<std::uint8_t> pixels() { return m_pixels; }
    std::span<const std::uint8_t> pixels() const { return m_pixels; }
    // height x width x depth / 8: the raw payload length.
    std::size_t rawLength() const { return m_pixels.size(); }

    // Fills the pixels from a 32-bit picture already scaled to exactly this
    // bitmap's width and height, raw or dithered (dither 4). With dithering
    // the picture's pixels may be changed. Returns false, leaving the pixels
    // as they were, when the picture is not 32-bit or not of this size.
    bool loadFromBitmap(CImageBitmap& picture, int dither, PictureQuality quality = PictureQuality::kClassic);
    // Decodes the picture file, lays it into this bitmap's size as `layout`
    // says and reduces it (dither 4, or raw). On failure the user has been
    // shown why, the pixels are unchanged and false is returned.
    bool loadFromFile(const std::string& inputPath, int dither, UserNotifier& notifier,
                      const PictureLayout& layout = {}, PictureQuality quality = PictureQuality::kClassic);

protected:
    // Throws std::invalid_argument unless depth is 1, 2, 4 or 8, both sizes
    // are positive and a row fills a whole number of 4-byte units (which keeps
    // raw payloads, and so next-bitmap offsets, exact).
    PalmBitmap(int depth, std::uint16_t width, std::uint16_t height);

    // Chooses the payload for a compression mode and records the choice in
    // compressed(): then the scanline block is returned, else an empty vector
    // and the raw pixels are the payload. Throws std::length_error when the
    // raw length does not fit the 16 bits the format allows.
    std::vector<std::uint8_t> buildPayload(int compressionMode, bool version3, bool littleEndian,
                                           int estimateStart);
    // Appends the bitmap at the file's current position: the header fields
    // both versions share (up to the version byte), the version's own fields
    // (given the payload's length), then the payload chosen by buildPayload.
    void writeBitmap(OutputFile& file, int compressionMode, bool version3, bool littleEndian,
                     int estimateStart, std::uint8_t version,
                     const std::function<void(std::size_t payloadLength)>& writeVersionFields);
    // Copies the first and second half of the pixel bytes into two bitmaps of
    // the same width and depth and half the height.
    void splitInto(PalmBitmap& top, PalmBitmap& bottom) const;

private:
    PalmPalette m_palette;
    std::vector<std::uint8_t> m_pixels;
    std::uint16_t m_width;
    std::uint16_t m_height;
    std::uint16_t m_rowBytes;
    bool m_compressed = false;
};

// A low-density bitmap with the 16-byte version-2 header, big- or
// little-endian. Little-endian bitmaps (for the newer devices' "abmp"
// resources) mark themselves by version byte 130 instead of 2.
class PalmBitmapV2 : public PalmBitmap {
public:
    PalmBitmapV2(int depth, std::uint16_t width, std::uint16_t height, bool littleEndian);

    bool littleEndian() const { return m_littleEndian; }
    std::uint8_t version() const { return m_littleEndian ? 130 : 2; }

    // Copies rows 0 .. height/2 - 1 into `top` and the rest into `bottom`,
    // both built with this depth and width and half the height; anything else
    // throws std::invalid_argument.
    void splitHalves(PalmBitmapV2& top, PalmBitmapV2& bottom) const;

    // Appends header and payload at the file's current position. With hasNext
    // the header's next-bitmap offset points directly behind this bitmap,
    // where the next member of the family must follow.
    void writeTo(OutputFile& file, bool hasNext, int compressionMode);

private:
    bool m_littleEndian;
};

// A bitmap with the 24-byte version-3 header, always little-endian, of a
// given density (the run uses 144, double density).
class PalmBitmapV3 : public PalmBitmap {
public:
    static constexpr std::uint16_t kDoubleDensity = 144;

    PalmBitmapV3(int depth, std::uint16_t width, std::uint16_t height, std::uint16_t density);

    std::uint16_t density() const { return m_density; }
    std::uint8_t version() const { return 131; }

    void splitHalves(PalmBitmapV3& top, PalmBitmapV3& bottom) const;

    // Appends header and payload at the file's current position. A version-3
    // bitmap always ends its family (next-bitmap offset 0); asking for
    // hasNext throws std::invalid_argument rather than write a broken chain.
    void writeTo(OutputFile& file, bool hasNext, int compressionMode);

private:
    std::uint16_t m_density;
};
