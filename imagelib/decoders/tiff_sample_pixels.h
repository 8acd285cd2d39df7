#pragma once

#include "imagelib/image_bitmap.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

typedef struct tiff TIFF;

// How the samples TiffSampleRows reads become 32-bit pixels, for the pictures
// the decoder reads itself: grey and RGB of any integer or floating-point
// samples, each colour scaled from the range the file declares (as grey has
// always been); palette pictures of up to 16 bits; CMYK print files of 16-bit
// inks. An alpha sample is kept as it is stored, never multiplied into the
// colours.
class TiffSamplePixels {
public:
    // Nothing when the picture is not of these layouts.
    static std::optional<TiffSamplePixels> For(TIFF* tiff);

    // The samples of a pixel to read, in the order Convert takes them.
    const std::vector<std::uint16_t>& Chosen() const { return m_chosen; }
    bool HasAlpha() const { return m_alpha; }
    // True for samples libtiff's RGBA interface would take but read wrong.
    bool AreSignedOrFloat() const { return m_signedOrFloat; }

    // Writes `width` pixels (blue, green, red, alpha) of one stored row from
    // its chosen samples, right to left when `mirrored`. `rawInks`: a CMYK
    // picture's inks go into the pixels unconverted, for its profile.
    void Convert(const double* samples, std::uint32_t width, bool mirrored, bool rawInks,
                 std::uint8_t* pixels) const;

private:
    enum class Kind { kGrey, kWhiteIsZero, kRgb, kInks, kPalette };
    // The span of values from black to full light.
    struct Range {
        double low = 0;
        double high = 1;
    };

    static std::uint8_t Level(double sample, const Range& range);

    Kind m_kind = Kind::kGrey;
    std::vector<std::uint16_t> m_chosen;
    bool m_alpha = false;
    bool m_signedOrFloat = false;
    Range m_range;
    Range m_alphaRange;
    std::vector<PaletteEntry> m_palette;
};

// The ColorMap of a palette picture as `entries` palette entries. Writers
// disagree on the width of map values: a map whose values all fit in 8 bits
// is taken as it is, others are scaled from 16 bits. False when the file has
// no map.
bool ReadTiffColorMap(TIFF* tiff, std::size_t entries, std::vector<PaletteEntry>& palette);

// The common print file: four inks, cyan, magenta, yellow and black, of 8 or
// 16 bits, and nothing else.
bool HasTiffPrintInks(TIFF* tiff);
