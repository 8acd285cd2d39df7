#include "imagelib/orientation/picture_framing.h"

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

}  // namespace

PixelRect FramedSourceRect(const PictureFraming& framing, int sourceWidth, int sourceHeight) {
    PixelRect whole{0, 0, sourceWidth, sourceHeight};
    if (framing.fit != PictureFit::Crop || sourceWidth <= 0 || sourceHeight <= 0) return whole;
    int width = framing.referenceWidth;
    int height = framing.referenceHeight;
    if (width <= 0 || height <= 0) return whole;
    const std::int64_t sourceSpan = std::int64_t{sourceWidth} * height;
    const std::int64_t targetSpan = std::int64_t{sourceHeight} * width;
    PixelRect rect = whole;
    if (sourceSpan > targetSpan)
        CentreSpan(static_cast<double>(sourceHeight) * width / height, sourceWidth, rect.left, rect.width);
    else if (sourceSpan < targetSpan)
        CentreSpan(static_cast<double>(sourceWidth) * height / width, sourceHeight, rect.top, rect.height);
    return rect;
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
