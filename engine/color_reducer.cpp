#include "engine/color_reducer.h"

#include "engine/fine_reducer.h"
#include "engine/pixel_packer.h"

void ClassicReducer::reduce(CImageBitmap& picture, bool dither, const PalmPalette& palette,
                            std::span<std::uint8_t> destination) const {
    packPixels(picture, dither ? kDitherFloydSteinberg : 0, palette, palette.depth(), destination);
}

const ColorReducer& colorReducer(PictureQuality quality) {
    static const ClassicReducer classic;
    static const FineReducer fine;
    if (quality == PictureQuality::kFine) return fine;
    return classic;
}
