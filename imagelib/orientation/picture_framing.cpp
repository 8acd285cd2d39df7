#include "imagelib/orientation/picture_framing.h"

#include "imagelib/orientation/attention_map.h"
#include "imagelib/orientation/exif_orientation.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

int RoundToPixel(double value) {
    return static_cast<int>(std::floor(value + 0.5));
}

// The reference a target is framed at, and how many times the target holds
// it (0 when not a whole number of times).
struct Reference {
    int width;
    int height;
    int multiple;
};

Reference ReferenceFor(const PictureFraming& framing, int targetWidth, int targetHeight) {
    const int width = framing.referenceWidth;
    const int height = framing.referenceHeight;
    if (width <= 0 || height <= 0) return {targetWidth, targetHeight, 1};
    const int multiple = targetWidth / width;
    if (multiple >= 1 && targetWidth == multiple * width && targetHeight == multiple * height)
        return {width, height, multiple};
    return {targetWidth, targetHeight, 1};
}

// The centred span of `length` (at least one pixel) within `extent`, both
// edges rounded to the nearest pixel.
void CentreSpan(double length, int extent, int& start, int& size) {
    start = RoundToPixel((extent - length) / 2);
    const int end = RoundToPixel((extent + length) / 2);
    start = std::clamp(start, 0, extent - 1);
    size = std::clamp(end - start, 1, extent - start);
}

// Where along one side the gravity puts the span: -1 at the start (north or
// west), 1 at the end, 0 in the middle.
int SideOf(CropGravity gravity, bool across) {
    switch (gravity) {
        case CropGravity::North:
            return across ? 0 : -1;
        case CropGravity::South:
            return across ? 0 : 1;
        case CropGravity::East:
            return across ? 1 : 0;
        case CropGravity::West:
            return across ? -1 : 0;
        case CropGravity::NorthEast:
            return across ? 1 : -1;
        case CropGravity::NorthWest:
            return -1;
        case CropGravity::SouthEast:
            return 1;
        case CropGravity::SouthWest:
            return across ? -1 : 1;
        case CropGravity::Center:
        case CropGravity::Smart:
            break;
    }
    return 0;
}

// The span of `length` within `extent` that the gravity keeps. The middle
// rounds both edges, as it always did; a side keeps a span of the same size.
void GravitySpan(CropGravity gravity, bool across, double length, int extent, int& start, int& size) {
    CentreSpan(length, extent, start, size);
    const int side = SideOf(gravity, across);
    if (side < 0) start = 0;
    if (side > 0) start = extent - size;
}

// The crop box within the picture; the whole picture when there is none.
PixelRect BoxWithin(const PixelRect& box, int width, int height) {
    if (box.IsEmpty()) return {0, 0, width, height};
    const std::int64_t left = std::max<std::int64_t>(box.left, 0);
    const std::int64_t top = std::max<std::int64_t>(box.top, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{box.left} + box.width, width);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{box.top} + box.height, height);
    if (right <= left || bottom <= top)
        throw CTextException(ERR_UNSUPPORTED_DATA, "Resize filter: The crop box lies outside the picture.");
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
            static_cast<int>(bottom - top)};
}

}  // namespace

bool TurnsToFill(const PictureFraming& framing, int uprightWidth, int uprightHeight) {
    return framing.rotateToFill && uprightHeight > uprightWidth &&
           framing.referenceWidth > framing.referenceHeight;
}

int QuarterTurnedClockwise(int orientation) {
    // Worked out by following each pixel through both turns.
    constexpr int kTurned[] = {kOrientationQuarterClockwise, kOrientationQuarterClockwise,
                               kOrientationTransverse,       kOrientationQuarterAnticlockwise,
                               kOrientationTransposed,       kOrientationMirrored,
                               kOrientationHalfTurn,         kOrientationFlipped,
                               kOrientationAsStored};
    return kTurned[orientation >= 1 && orientation <= 8 ? orientation : 0];
}

PixelRect FramedSourceRect(const PictureFraming& framing, int sourceWidth, int sourceHeight,
                           const AttentionMap* attention) {
    if (sourceWidth <= 0 || sourceHeight <= 0) return {0, 0, sourceWidth, sourceHeight};
    const PixelRect box = BoxWithin(framing.cropBox, sourceWidth, sourceHeight);
    int width = framing.referenceWidth;
    int height = framing.referenceHeight;
    if (framing.fit != PictureFit::Crop || width <= 0 || height <= 0) return box;
    if (TurnsToFill(framing, sourceWidth, sourceHeight)) std::swap(width, height);
    const std::int64_t boxSpan = std::int64_t{box.width} * height;
    const std::int64_t targetSpan = std::int64_t{box.height} * width;
    PixelRect rect{0, 0, box.width, box.height};
    const bool smart = framing.gravity == CropGravity::Smart && attention != nullptr;
    if (boxSpan > targetSpan) {
        GravitySpan(framing.gravity, true, static_cast<double>(box.height) * width / height, box.width,
                    rect.left, rect.width);
        if (smart) rect.left = attention->BestStart(box, true, rect.width) - box.left;
    } else if (boxSpan < targetSpan) {
        GravitySpan(framing.gravity, false, static_cast<double>(box.width) * height / width, box.height,
                    rect.top, rect.height);
        if (smart) rect.top = attention->BestStart(box, false, rect.height) - box.top;
    }
    return {box.left + rect.left, box.top + rect.top, rect.width, rect.height};
}

PixelRect FramedBox(const PictureFraming& framing, int uprightWidth, int uprightHeight) {
    return FramedSourceRect({PictureFit::Stretch, 0, 0, {}, CropGravity::Center, framing.cropBox},
                            uprightWidth, uprightHeight);
}

bool CropsByAttention(const PictureFraming& framing, int uprightWidth, int uprightHeight) {
    if (framing.fit != PictureFit::Crop || framing.gravity != CropGravity::Smart) return false;
    return FramedSourceRect(framing, uprightWidth, uprightHeight) !=
           FramedBox(framing, uprightWidth, uprightHeight);
}

PixelRect TurnedRect(const PixelRect& rect, int uprightHeight, bool turned) {
    if (!turned) return rect;
    // A quarter clockwise: the upright picture's bottom row becomes the first column.
    return {uprightHeight - rect.top - rect.height, rect.left, rect.height, rect.width};
}

PixelRect FramedPlacement(const PictureFraming& framing, int sourceWidth, int sourceHeight, int targetWidth,
                          int targetHeight) {
    PixelRect whole{0, 0, targetWidth, targetHeight};
    if (framing.fit != PictureFit::Pad || sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 ||
        targetHeight <= 0)
        return whole;
    const Reference reference = ReferenceFor(framing, targetWidth, targetHeight);
    const std::int64_t sourceSpan = std::int64_t{sourceWidth} * reference.height;
    const std::int64_t referenceSpan = std::int64_t{sourceHeight} * reference.width;
    PixelRect placement{0, 0, reference.width, reference.height};
    if (sourceSpan > referenceSpan)
        CentreSpan(static_cast<double>(reference.width) * sourceHeight / sourceWidth, reference.height,
                   placement.top, placement.height);
    else if (sourceSpan < referenceSpan)
        CentreSpan(static_cast<double>(reference.height) * sourceWidth / sourceHeight, reference.width,
                   placement.left, placement.width);
    const int k = reference.multiple;
    return {placement.left * k, placement.top * k, placement.width * k, placement.height * k};
}
