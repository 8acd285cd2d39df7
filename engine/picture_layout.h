#pragma once

#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/picture_framing.h"

#include <cstdint>
#include <optional>
#include <string>

// How a decoded picture is laid into the bitmaps of a database: turned the
// way its orientation tag says, then fitted to the bitmap's shape.
struct PictureLayout {
    // Photo viewers all honour the tag, so a picture converts as its owner
    // sees it unless asked otherwise.
    bool autoOrient = true;
    PictureFit fit = PictureFit::Stretch;
    // Fills the borders of PictureFit::Pad.
    PaletteEntry background{};
    // The low-density bitmap size, which the framing is worked out at; the
    // double-density bitmaps get exactly twice its placement.
    std::uint16_t lowDensityWidth = 160;
    std::uint16_t lowDensityHeight = 110;
    // The part PictureFit::Crop keeps.
    CropGravity gravity = CropGravity::Center;
    // The part of the upright picture to fit instead of the whole; empty for
    // the whole picture.
    PixelRect cropBox{};
    // Turn a picture taller than wide a quarter clockwise to fill the bitmap.
    bool rotateToFill = false;

    PictureFraming framing() const {
        return PictureFraming{fit,     lowDensityWidth, lowDensityHeight, background,
                              gravity, cropBox,         rotateToFill};
    }
};

// "stretch", "pad" or "crop"; nothing for any other text.
std::optional<PictureFit> parsePictureFit(const std::string& text);

// "center", "north", "south", "east", "west", "northeast", "northwest",
// "southeast", "southwest" or "smart"; nothing for any other text.
std::optional<CropGravity> parseCropGravity(const std::string& text);
// The name parseCropGravity reads.
const char* cropGravityName(CropGravity gravity);

// "X,Y,W,H" in decimal digits, W and H at least 1; nothing for any other text.
std::optional<PixelRect> parseCropBox(const std::string& text);

// "#rrggbb" (hex digits in either case) or one of the sixteen basic colour
// names, in any case: black, white, gray or grey, silver, red, maroon, yellow,
// olive, lime, green, aqua, teal, blue, navy, fuchsia, purple. Opaque; nothing
// for any other text.
std::optional<PaletteEntry> parseBackgroundColor(const std::string& text);
