#pragma once

#include "imagelib/image_bitmap.h"

#include <libheif/heif.h>

#include <cstddef>
#include <cstdint>

// The picture libheif hands over after decoding a HEIF or AVIF file, read in
// the planes libheif holds it in and interleaved here a few rows at a time.
// libheif 1.15 turns the codec's YCbCr planes into red, green and blue planes
// (or keeps a monochrome picture's one grey plane) whatever it is asked for;
// asked for interleaved pixels, it makes a second copy of four bytes a pixel
// and holds both.

// One plane of libheif's decoded picture.
struct HeifSamplePlane {
    const std::uint8_t* data = nullptr;
    std::size_t stride = 0;
    int bits = 8;
};

// libheif's decoded picture as it holds it: red, green and blue planes, or
// one grey plane standing for all three, and alpha (data null when none).
struct HeifPicture {
    HeifSamplePlane red, green, blue, alpha;
    int width = 0;
    int height = 0;
    bool grey = false;
};

// The layouts the picture is read in: red, green and blue planes at full
// size, or one grey plane (which libheif 1.15 labels RGB for a grid of grey
// tiles).
enum class HeifPlaneLayout { kOther, kRgb, kGrey };
HeifPlaneLayout HeifPlaneLayoutOf(const heif_image* image);

// The decoded picture's planes, checked against what the file stated:
// libheif turns, mirrors and crops the picture as the file asks, so its size
// is the stored one, turned or made smaller. Throws CTextException for
// planes that do not fit, and for an alpha of another size than the picture.
HeifPicture ReadHeifPicture(const heif_image* image, int storedWidth, int storedHeight);

// Writes rows [first, end) of the picture into the 32-bit bitmap: blue,
// green, red, alpha. Samples deeper than 8 bits lose their low bits, as
// libheif cuts them when it is asked for 8-bit pixels.
void CopyHeifRows(const HeifPicture& picture, CImageBitmap& bitmap, int first, int end);

// True when every pixel has red, green and blue alike in 8 bits: a grey
// picture, or a colour one that holds only greys.
bool HasOnlyGreys(const HeifPicture& picture);
