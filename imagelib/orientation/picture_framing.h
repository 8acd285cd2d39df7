#pragma once

#include "imagelib/image_bitmap.h"

// How a picture fills a bitmap of another shape.
enum class PictureFit : int {
    Stretch = 0,  // the whole picture, stretched to the whole bitmap
    Pad = 1,      // the whole picture with its shape kept, centred between borders
    Crop = 2,     // the whole bitmap with the picture's shape kept, the overhang cut off
};

// Which part of the picture PictureFit::Crop keeps: the middle, a side or a
// corner (the way the compass names them), or the part that draws the eye.
// The enumerators are the numbers the settings file keeps.
enum class CropGravity : int {
    Center = 0,
    North = 1,
    South = 2,
    East = 3,
    West = 4,
    NorthEast = 5,
    NorthWest = 6,
    SouthEast = 7,
    SouthWest = 8,
    Smart = 9,
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A fit worked out once for a reference size (the low-density bitmap): the
// cropped part of the source, in whole source pixels, is the same for every
// target, and a target that is a whole multiple of the reference gets exactly
// that multiple of the reference's padded placement. So the bitmaps of one
// database, at both densities, frame the picture alike.
struct PictureFraming {
    PictureFit fit = PictureFit::Stretch;
    // 0 x 0: each target is its own reference.
    int referenceWidth = 0;
    int referenceHeight = 0;
    // The borders Pad leaves.
    PaletteEntry background{};
    // The part Crop keeps.
    CropGravity gravity = CropGravity::Center;
    // The part of the upright picture to treat as the whole picture, then
    // fitted as `fit` says; empty for the whole picture.
    PixelRect cropBox{};
    // Turns an upright picture taller than wide a quarter clockwise when the
    // reference is wider than tall, so that it fills the bitmap on a handheld
    // turned a quarter anticlockwise to look at it.
    bool rotateToFill = false;
};

// True when `framing` turns an upright picture of that size a quarter
// clockwise before fitting it.
class AttentionMap;

bool TurnsToFill(const PictureFraming& framing, int uprightWidth, int uprightHeight);

// The orientation that shows a picture stored with `orientation` upright and
// then turned a quarter clockwise.
int QuarterTurnedClockwise(int orientation);

// The part of an upright sourceWidth x sourceHeight picture that is
// resampled, in its pixels: the crop box within the picture, cut to the
// reference's shape (turned with the picture) as the gravity says. Smart
// keeps what draws the eye in `attention`, a small copy of the whole upright
// picture, and the middle without one. Throws CTextException when the crop
// box lies outside the picture.
PixelRect FramedSourceRect(const PictureFraming& framing, int sourceWidth, int sourceHeight,
                           const AttentionMap* attention = nullptr);

// The crop box of `framing` within an upright picture of that size, the
// whole picture without one: what the fit then cuts its part from. Throws as
// FramedSourceRect does.
PixelRect FramedBox(const PictureFraming& framing, int uprightWidth, int uprightHeight);

// True when `framing` crops a picture of that size by what draws the eye,
// which is then to be measured before the part is known.
bool CropsByAttention(const PictureFraming& framing, int uprightWidth, int uprightHeight);

// `rect` of an upright picture uprightHeight pixels high as seen once that
// picture is turned a quarter clockwise, when `turned`; else itself.
PixelRect TurnedRect(const PixelRect& rect, int uprightHeight, bool turned);

// Where that part goes in a target of targetWidth x targetHeight; the rest of
// the target is background.
PixelRect FramedPlacement(const PictureFraming& framing, int sourceWidth, int sourceHeight, int targetWidth,
                          int targetHeight);
