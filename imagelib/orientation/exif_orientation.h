#pragma once

#include <cstddef>
#include <cstdint>

// The values of the orientation tag (0x0112): how the stored rows and
// columns are to be turned for the picture to be seen upright.
enum PictureOrientation : int {
    kOrientationAsStored = 1,
    kOrientationMirrored = 2,          // left and right swapped
    kOrientationHalfTurn = 3,          // turned by 180 degrees
    kOrientationFlipped = 4,           // top and bottom swapped
    kOrientationTransposed = 5,        // rows become columns, first row to the left
    kOrientationQuarterClockwise = 6,  // turned a quarter clockwise to be seen upright
    kOrientationTransverse = 7,        // rows become columns, first row to the right, reversed
    kOrientationQuarterAnticlockwise = 8,
};

// True for the orientations that swap width and height.
inline bool SwapsSides(int orientation) {
    return orientation >= kOrientationTransposed && orientation <= kOrientationQuarterAnticlockwise;
}

// The orientation named in the first directory of a TIFF-structured block:
// an EXIF block from its byte-order mark on, or a whole TIFF file. Files from
// strangers carry broken blocks as often as none, and a picture is still
// worth converting, so a block that is damaged, names no orientation or names
// a value outside 1-8 gives kOrientationAsStored rather than an error.
int ReadExifOrientation(const std::uint8_t* block, std::size_t size);
