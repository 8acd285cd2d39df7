#pragma once

#include "engine/picture_layout.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The image name a database gets when nobody chose one.
inline constexpr const char* kDefaultImageName = "My vexmoor image";
// Bytes of the image name; the database's 32-byte name field keeps a NUL behind them.
inline constexpr std::size_t kMaxImageNameLength = 31;

// The "Destination OS" choices; each has its own resource plan. The enumerators
// are the numbers the settings file keeps, and a number that names none of them
// (from an edited file) is carried as it is.
enum DestinationOs : int {
    kPalmOs3Or4 = 0,          // "Tbmp" 2400: optional 1-bit pre-image, then the picture, big-endian
    kPalmOs5LowRes = 1,       // "abmp" 2700: the picture, little-endian
    kPalmOs5HighRes = 2,      // "abmp" 2700 / 2701: top / bottom half, low and double density
    kPalmOs3To5Combined = 3,  // "Tbmp" 2400 as for choice 0, then "abmp" 2700 as for choice 1
};

// Bits per pixel of the main picture; the desktop's list offers all four.
enum ColorDepth : int {
    kOneBit = 1,
    kTwoBits = 2,
    kFourBits = 4,
    kEightBits = 8,
};

// How each pixel finds its palette colour. The enumerators are the numbers the
// settings file keeps; any number but kRaw counts as dithering.
enum class ColorReduction : int {
    kRaw = 0,        // the nearest colour
    kDithering = 1,  // Floyd-Steinberg error diffusion
};

// How closely the handheld's picture follows the photo. The enumerators are
// the numbers the settings file keeps; a number that names neither (from an
// edited file) is carried as it is and converts as kClassic.
enum class PictureQuality : int {
    // Scaled in code values, the nearest colour by RGB distance, the error
    // spread in code values: the way the handheld's own tools always did it.
    kClassic = 0,
    // Scaled and dithered in linear light, colours matched as the eye sees them.
    kFine = 1,
};

// How the bitmaps store their pixels. The enumerators are the numbers of the
// settings file and of the bitmap writer; any other number writes raw pixels
// and is carried as it is.
enum CompressionMode : int {
    kCompressionNone = 0,
    kCompressionScanline = 1,
    // Scanline compression only when its estimate is smaller than the raw data.
    kCompressionMostEfficient = 99,
};

// What a conversion makes of a picture, whichever front end asked for it. The
// defaults are those of a first start of the desktop application.
struct ConversionSettings {
    DestinationOs destination = kPalmOs5HighRes;
    ColorDepth depth = kEightBits;
    ColorReduction reduction = ColorReduction::kDithering;
    CompressionMode compression = kCompressionMostEfficient;
    // A number that names no depth, neither as a position in the colour
    // depth list (-1: nothing was selected) nor in the settings file, kept so
    // that it is saved back as it was read; depth is then 8 bits. Set and
    // cleared by the two choosers below: while it is set, it is what
    // depthListPosition and storedDepth report.
    std::optional<std::int32_t> unlistedDepthPosition{};
    // Of the picture at low density; double density is twice both sizes. No
    // front end offers another size.
    std::uint16_t width = 160;
    std::uint16_t height = 110;
    // Turn a photo as its orientation tag says, as every photo viewer does.
    bool autoOrient = true;
    // Convert a picture whose file carries a colour profile to sRGB through
    // it, as every photo viewer does; off reads the numbers as sRGB.
    bool colorManage = true;
    // How the picture fills the bitmaps; a number that names no fit (from an
    // edited file) is carried as it is and stretches.
    PictureFit fit = PictureFit::Stretch;
    // The borders of PictureFit::Pad.
    PaletteEntry background{};
    PictureQuality quality = PictureQuality::kClassic;
    // The part PictureFit::Crop keeps; a number that names no gravity (from
    // an edited file) keeps the middle.
    CropGravity gravity = CropGravity::Center;
    // The part of the upright picture to fit, for one picture (the frame the
    // user drew); empty for the whole picture. Never stored.
    PixelRect cropBox{};
    // Turn pictures taller than wide a quarter clockwise to fill the bitmaps.
    bool rotateToFill = false;

    // How the decoded picture is laid into the bitmaps of this conversion.
    PictureLayout pictureLayout() const {
        return {autoOrient, fit, background, width, height, gravity, cropBox, rotateToFill};
    }

    // The position of the depth in the sorted colour depth list: 0 for 1 bit,
    // 1 for 2 bits, 2 for 4 bits, 3 for 8 bits; the unlisted number when there
    // is one. Any other position chooses 8 bits and is kept as unlisted.
    std::int32_t depthListPosition() const;
    void chooseDepthByListPosition(std::int32_t position);
    // The depth's number in the settings file: 0 for 1 bit, 1 for 4 bits, 2
    // for 8 bits, as the list positions of older builds were, and 3 for 2
    // bits; the unlisted number when there is one. Any other number chooses 8
    // bits and is kept as unlisted.
    std::int32_t storedDepth() const;
    void chooseDepthByStoredValue(std::int32_t stored);

    // The dither setting of the pixel packer (kDitherFloydSteinberg or 0).
    int ditherSetting() const;
};

// One choice as the settings file keeps it: a 32-bit number under a name.
// Adding a stored choice is adding a field above and an entry to this table.
struct StoredConversionSetting {
    const char* name;
    std::int32_t (*write)(const ConversionSettings& settings);
    void (*read)(ConversionSettings& settings, std::int32_t stored);
};

// The stored choices in the order the settings file is read and written.
std::span<const StoredConversionSetting> storedConversionSettings();
