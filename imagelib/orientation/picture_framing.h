#pragma once

#include "imagelib/image_bitmap.h"

// How a picture fills a bitmap of another shape.
enum class PictureFit : int {
    Stretch = 0,  // the whole picture, stretched to the whole bitmap
    Pad = 1,      // the whole picture with its shape kept, centred between borders
    Crop = 2,     // the whole bitmap with the picture's shape kept, the overhang cut off equally
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

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
};

// The part of a sourceWidth x sourceHeight picture that is resampled.
PixelRect FramedSourceRect(const PictureFraming& framing, int sourceWidth, int sourceHeight);

// Where that part goes in a target of targetWidth x targetHeight; the rest of
// the target is background.
PixelRect FramedPlacement(const PictureFraming& framing, int sourceWidth, int sourceHeight, int targetWidth,
                          int targetHeight);
