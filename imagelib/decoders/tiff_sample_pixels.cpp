#include "imagelib/decoders/tiff_sample_pixels.h"

#include "imagelib/decoders/tiff_sample_rows.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>

namespace {

// The colour samples of each layout.
constexpr std::uint16_t kGreySamples = 1;
constexpr std::uint16_t kRgbSamples = 3;
constexpr std::uint16_t kInkSamples = 4;
// Palette pictures of up to this many bits; narrower ones libtiff reads.
constexpr std::uint16_t kMaxPaletteBits = 16;

bool IsAlpha(std::uint16_t kind) {
    return kind == EXTRASAMPLE_ASSOCALPHA || kind == EXTRASAMPLE_UNASSALPHA;
}

// A 16-bit ink as an 8-bit one, as libtiff takes 16-bit samples to 8 bits.
std::uint32_t EightBitInk(double ink) {
    return (static_cast<std::uint32_t>(ink) + 128) / 257;
}

}  // namespace

bool HasTiffPrintInks(TIFF* tiff) {
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t extraSamples = 0;
    std::uint16_t* extraKinds = nullptr;
    std::uint16_t inkSet = INKSET_CMYK;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraSamples, &extraKinds);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkSet);
    return (bitsPerSample == 8 || bitsPerSample == 16) && samplesPerPixel == kInkSamples &&
           extraSamples == 0 && inkSet == INKSET_CMYK;
}

bool ReadTiffColorMap(TIFF* tiff, std::size_t entries, std::vector<PaletteEntry>& palette) {
    std::uint16_t* red = nullptr;
    std::uint16_t* green = nullptr;
    std::uint16_t* blue = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) return false;
    bool sixteenBit = false;
    for (std::size_t k = 0; k < entries; ++k)
        if (red[k] >= 256 || green[k] >= 256 || blue[k] >= 256) sixteenBit = true;
    auto scale = [sixteenBit](std::uint16_t v) {
        return static_cast<std::uint8_t>(sixteenBit ? v * 255u / 65535u : v);
    };
    palette.resize(entries);
    for (std::size_t k = 0; k < entries; ++k)
        palette[k] = PaletteEntry{scale(blue[k]), scale(green[k]), scale(red[k]), 255};
    return true;
}

std::optional<TiffSamplePixels> TiffSamplePixels::For(TIFF* tiff) {
    if (!TiffSampleRows::Reads(tiff)) return std::nullopt;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t bits = 1;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    std::uint16_t extraSamples = 0;
    std::uint16_t* extraKinds = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraSamples, &extraKinds);
    if (extraSamples > samplesPerPixel) return std::nullopt;
    const std::uint16_t colors = samplesPerPixel - extraSamples;

    TiffSamplePixels pixels;
    std::uint16_t colorSamples = kGreySamples;
    switch (photometric) {
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE:
            pixels.m_kind = photometric == PHOTOMETRIC_MINISWHITE ? Kind::kWhiteIsZero : Kind::kGrey;
            break;
        case PHOTOMETRIC_RGB:
            pixels.m_kind = Kind::kRgb;
            colorSamples = kRgbSamples;
            break;
        case PHOTOMETRIC_SEPARATED:
            if (format != SAMPLEFORMAT_UINT || bits != 16 || !HasTiffPrintInks(tiff)) return std::nullopt;
            pixels.m_kind = Kind::kInks;
            colorSamples = kInkSamples;
            break;
        case PHOTOMETRIC_PALETTE:
            if (format != SAMPLEFORMAT_UINT || bits > kMaxPaletteBits || colors != 1 ||
                !ReadTiffColorMap(tiff, std::size_t{1} << bits, pixels.m_palette))
                return std::nullopt;
            pixels.m_kind = Kind::kPalette;
            break;
        default:
            return std::nullopt;
    }
    if (colors < colorSamples || colors == 0) return std::nullopt;
    for (std::uint16_t sample = 0; sample < colorSamples; ++sample) pixels.m_chosen.push_back(sample);
    // The first extra sample, when it is alpha, as libtiff's RGBA interface
    // takes it.
    pixels.m_alpha = extraSamples >= 1 && extraKinds != nullptr && IsAlpha(extraKinds[0]);
    if (pixels.m_alpha) pixels.m_chosen.push_back(colors);
    pixels.m_signedOrFloat = format == SAMPLEFORMAT_INT || format == SAMPLEFORMAT_IEEEFP;

    // The whole range of an integer sample, or 0 to 1 for floating point;
    // the colours span what SMinSampleValue and SMaxSampleValue declare, if
    // they declare a range the right way round.
    Range whole;
    if (format == SAMPLEFORMAT_INT) {
        whole.low = -std::ldexp(1.0, bits - 1);
        whole.high = std::ldexp(1.0, bits - 1) - 1;
    } else if (format != SAMPLEFORMAT_IEEEFP) {
        whole.high = std::ldexp(1.0, bits) - 1;
    }
    pixels.m_alphaRange = whole;
    Range declared = whole;
    double value = 0;
    if (TIFFGetField(tiff, TIFFTAG_SMINSAMPLEVALUE, &value) == 1 && std::isfinite(value))
        declared.low = value;
    if (TIFFGetField(tiff, TIFFTAG_SMAXSAMPLEVALUE, &value) == 1 && std::isfinite(value))
        declared.high = value;
    pixels.m_range = declared.high > declared.low ? declared : whole;
    return pixels;
}

// A sample as an 8-bit level of its range; outside the range clipped, and
// not-a-number black.
std::uint8_t TiffSamplePixels::Level(double sample, const Range& range) {
    const double fraction = (sample - range.low) / (range.high - range.low);
    if (!(fraction > 0)) return 0;
    if (fraction >= 1) return 255;
    return static_cast<std::uint8_t>(fraction * 255 + 0.5);
}

void TiffSamplePixels::Convert(const double* samples, std::uint32_t width, bool mirrored, bool rawInks,
                               std::uint8_t* pixels) const {
    const std::size_t stride = m_chosen.size();
    const std::size_t lastEntry = m_palette.empty() ? 0 : m_palette.size() - 1;
    for (std::uint32_t x = 0; x < width; ++x, samples += stride) {
        std::uint8_t* pixel = pixels + 4 * std::size_t{mirrored ? width - 1 - x : x};
        pixel[3] = m_alpha ? Level(samples[stride - 1], m_alphaRange) : 255;
        switch (m_kind) {
            case Kind::kGrey:
            case Kind::kWhiteIsZero: {
                const std::uint8_t grey = Level(samples[0], m_range);
                pixel[0] = pixel[1] = pixel[2] =
                    m_kind == Kind::kGrey ? grey : static_cast<std::uint8_t>(255 - grey);
                break;
            }
            case Kind::kRgb:
                pixel[0] = Level(samples[2], m_range);
                pixel[1] = Level(samples[1], m_range);
                pixel[2] = Level(samples[0], m_range);
                break;
            case Kind::kPalette: {
                const PaletteEntry& entry =
                    m_palette[std::min(static_cast<std::size_t>(std::max(samples[0], 0.0)), lastEntry)];
                pixel[0] = entry.blue;
                pixel[1] = entry.green;
                pixel[2] = entry.red;
                break;
            }
            case Kind::kInks: {
                const std::uint32_t cyan = EightBitInk(samples[0]);
                const std::uint32_t magenta = EightBitInk(samples[1]);
                const std::uint32_t yellow = EightBitInk(samples[2]);
                const std::uint32_t black = EightBitInk(samples[3]);
                if (rawInks) {
                    // In the order the profile's conversion takes them (ProfilePixels::kCmyk).
                    pixel[0] = static_cast<std::uint8_t>(cyan);
                    pixel[1] = static_cast<std::uint8_t>(magenta);
                    pixel[2] = static_cast<std::uint8_t>(yellow);
                    pixel[3] = static_cast<std::uint8_t>(black);
                    break;
                }
                // As libtiff turns 8-bit inks into light.
                const std::uint32_t light = 255 - black;
                pixel[0] = static_cast<std::uint8_t>(light * (255 - yellow) / 255);
                pixel[1] = static_cast<std::uint8_t>(light * (255 - magenta) / 255);
                pixel[2] = static_cast<std::uint8_t>(light * (255 - cyan) / 255);
                break;
            }
        }
    }
}
