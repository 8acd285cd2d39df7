#pragma once

#include "engine/color_reducer.h"

// Colour reduction as the eye sees it. Every pixel is taken into linear
// light; the nearest colour is the nearest in CIELAB (on the grey palettes:
// the nearest lightness, from the pixel's linear luminance); dithering
// spreads the error in linear light, at full precision, along rows that turn
// at each end, and then searches for the choice of entries that comes
// closest to the picture as the eye sees it (PerceivedErrorSearch). The
// palette's entries are sRGB colours.
//
// The value a pixel is matched with, its own plus the errors it received, is
// held near what the palette can show (the sRGB cube at 8 bits, black to
// white at the grey depths): error that no colour could pay back would
// otherwise gather without end and spill far beyond the area it came from.
//
// A pixel that is a palette colour matches that colour exactly, so a picture
// made of palette colours gets the same indexes with dithering as without.
class FineReducer final : public ColorReducer {
public:
    void reduce(CImageBitmap& picture, bool dither, const PalmPalette& palette,
                std::span<std::uint8_t> destination) const override;
};
