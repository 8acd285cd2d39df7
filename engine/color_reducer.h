#pragma once

#include "engine/conversion_settings.h"
#include "engine/palm_palette.h"

#include <cstdint>
#include <span>

class CImageBitmap;

// Turns a 32-bit picture (blue, green, red, alpha per pixel; alpha is
// ignored) into palette indexes of the palette's depth, packed into
// `destination` rows top to bottom, pixels from the most significant bits
// down, rows not padded. Raw maps each pixel to its nearest colour; dithering
// spreads each pixel's error over its neighbours and may write into the
// picture. Throws std::invalid_argument when the picture is not 32-bit or the
// destination cannot hold every pixel.
class ColorReducer {
public:
    virtual ~ColorReducer() = default;
    virtual void reduce(CImageBitmap& picture, bool dither, const PalmPalette& palette,
                        std::span<std::uint8_t> destination) const = 0;
};

// The nearest colour by RGB distance and Floyd-Steinberg diffusion in code
// values (packPixels).
class ClassicReducer final : public ColorReducer {
public:
    void reduce(CImageBitmap& picture, bool dither, const PalmPalette& palette,
                std::span<std::uint8_t> destination) const override;
};

// The reducer of a quality; kClassic for a number that names none.
const ColorReducer& colorReducer(PictureQuality quality);
