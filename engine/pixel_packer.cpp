#include "engine/pixel_packer.h"

#include "imagelib/image_bitmap.h"

#include <algorithm>
#include <stdexcept>

void clampedAdd(std::uint8_t& channel, int share) {
    channel = static_cast<std::uint8_t>(std::clamp(channel + share, 0, 255));
}

namespace {

// Byte positions inside a 32-bit pixel.
constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;

// Adds each share to its channel of the pixel, clamped to 0..255.
inline void AddError(std::uint8_t* pixel, int redShare, int greenShare, int blueShare) {
    clampedAdd(pixel[kRed], redShare);
    clampedAdd(pixel[kGreen], greenShare);
    clampedAdd(pixel[kBlue], blueShare);
}

}  // namespace

void diffuseError(CImageBitmap& picture, int x, int y, int redError, int greenError, int blueError) {
    const int width = picture.GetWidth();
    const int height = picture.GetHeight();
    // Integer division truncates toward zero, so small errors of either sign
    // give d = 0 and travel whole to the right neighbour.
    const int redShare = redError / 16;
    const int greenShare = greenError / 16;
    const int blueShare = blueError / 16;
    const bool lastRow = y == height - 1;
    const bool lastColumn = x == width - 1;
    std::uint8_t* const here = picture.GetRows()[y] + static_cast<std::size_t>(x) * 4;

    if (!lastRow) {
        std::uint8_t* const below = picture.GetRows()[y + 1] + static_cast<std::size_t>(x) * 4;
        if (x > 0) AddError(below - 4, 3 * redShare, 3 * greenShare, 3 * blueShare);
        AddError(below, 5 * redShare, 5 * greenShare, 5 * blueShare);
        if (lastColumn) return;
        AddError(below + 4, redShare, greenShare, blueShare);
    } else if (lastColumn) {
        return;
    }
    AddError(here + 4, redError - 9 * redShare, greenError - 9 * greenShare, blueError - 9 * blueShare);
}

void packPixels(CImageBitmap& picture, int dither, const PalmPalette& palette, int depth,
                std::span<std::uint8_t> destination) {
    if (picture.GetDepth() != 32)
        throw std::invalid_argument("only 32-bit pictures can be reduced to Palm pixels");
    if (depth != palette.depth())
        throw std::invalid_argument("the palette does not belong to this bit depth");
    const int width = picture.GetWidth();
    const int height = picture.GetHeight();
    const std::uint64_t bits = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                               static_cast<std::uint64_t>(depth);
    if ((bits + 7) / 8 > destination.size())
        throw std::invalid_argument("the pixel buffer is too small for the picture");
    if (destination.empty()) return;

    IndexPacker packer(depth, destination);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = picture.GetRows()[y];
        for (int x = 0; x < width; ++x) {
            // Read after earlier pixels have diffused their errors into this one.
            const std::uint8_t* pixel = row + static_cast<std::size_t>(x) * 4;
            const int red = pixel[kRed];
            const int green = pixel[kGreen];
            const int blue = pixel[kBlue];
            const int index = palette.nearestIndex(red, green, blue);
            if (dither == kDitherFloydSteinberg) {
                diffuseError(picture, x, y, red - palette.red(index), green - palette.green(index),
                             blue - palette.blue(index));
            }
            packer.put(index);
        }
    }
}
