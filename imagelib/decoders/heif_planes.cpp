#include "imagelib/decoders/heif_planes.h"

#include "imagelib/decoders/heif_library.h"
#include "imagelib/image_decoder.h"
#include "imagelib/text_exception.h"

namespace {

constexpr std::size_t kBytesPerPixel = 4;
constexpr std::uint8_t kOpaque = 0xFF;
// libheif's planes hold a sample in a byte up to 8 bits, in two bytes in
// the machine's order above; HEVC and AV1 code 8 to 16 bits.
constexpr int kByteBits = 8;
constexpr int kMaxSampleBits = 16;

template <class Sample>
const Sample* RowOf(const HeifSamplePlane& plane, int y) {
    return reinterpret_cast<const Sample*>(plane.data + static_cast<std::size_t>(y) * plane.stride);
}

template <class Sample>
void InterleaveColor(const HeifPicture& picture, int y, std::uint8_t* out) {
    const int shift = picture.red.bits - kByteBits;
    const Sample* red = RowOf<Sample>(picture.red, y);
    const Sample* green = RowOf<Sample>(picture.green, y);
    const Sample* blue = RowOf<Sample>(picture.blue, y);
    for (int x = 0; x < picture.width; ++x, out += kBytesPerPixel) {
        out[0] = static_cast<std::uint8_t>(blue[x] >> shift);
        out[1] = static_cast<std::uint8_t>(green[x] >> shift);
        out[2] = static_cast<std::uint8_t>(red[x] >> shift);
    }
}

template <class Sample>
void InterleaveAlpha(const HeifPicture& picture, int y, std::uint8_t* out) {
    const int shift = picture.alpha.bits - kByteBits;
    const Sample* alpha = RowOf<Sample>(picture.alpha, y);
    for (int x = 0; x < picture.width; ++x)
        out[kBytesPerPixel * static_cast<std::size_t>(x) + 3] = static_cast<std::uint8_t>(alpha[x] >> shift);
}

template <class Sample>
bool HasOnlyGreyRows(const HeifPicture& picture) {
    const int shift = picture.red.bits - kByteBits;
    for (int y = 0; y < picture.height; ++y) {
        const Sample* red = RowOf<Sample>(picture.red, y);
        const Sample* green = RowOf<Sample>(picture.green, y);
        const Sample* blue = RowOf<Sample>(picture.blue, y);
        for (int x = 0; x < picture.width; ++x)
            if (red[x] >> shift != green[x] >> shift || green[x] >> shift != blue[x] >> shift) return false;
    }
    return true;
}

[[noreturn]] void RaiseMismatch() {
    RaiseError(ERR_FORMAT_UNKNOWN, "HEIF decoder: The decoded image does not match its header.");
}

// A plane of the picture, checked to hold width x height samples of 8 to 16
// bits.
HeifSamplePlane ReadPlane(const heif_image* image, heif_channel channel, int width, int height) {
    HeifSamplePlane plane;
    plane.bits = Heif().image_get_bits_per_pixel_range(image, channel);
    int stride = 0;
    plane.data = Heif().image_get_plane_readonly(image, channel, &stride);
    if (plane.data == nullptr || stride <= 0)
        RaiseError(ERR_FORMAT_UNKNOWN, "HEIF decoder: The decoded image has no pixels.");
    plane.stride = static_cast<std::size_t>(stride);
    const std::size_t sampleBytes = plane.bits > kByteBits ? 2 : 1;
    const bool aligned =
        sampleBytes == 1 || (plane.stride % 2 == 0 && reinterpret_cast<std::uintptr_t>(plane.data) % 2 == 0);
    if (plane.bits < kByteBits || plane.bits > kMaxSampleBits || !aligned ||
        Heif().image_get_width(image, channel) < width || Heif().image_get_height(image, channel) < height ||
        plane.stride < static_cast<std::size_t>(width) * sampleBytes)
        RaiseMismatch();
    return plane;
}

}  // namespace

HeifPlaneLayout HeifPlaneLayoutOf(const heif_image* image) {
    const auto has = [image](heif_channel channel) { return Heif().image_has_channel(image, channel) != 0; };
    if (has(heif_channel_R) && has(heif_channel_G) && has(heif_channel_B) &&
        Heif().image_get_chroma_format(image) == heif_chroma_444)
        return HeifPlaneLayout::kRgb;
    if (has(heif_channel_Y) && !has(heif_channel_Cb) && !has(heif_channel_Cr) && !has(heif_channel_R))
        return HeifPlaneLayout::kGrey;
    return HeifPlaneLayout::kOther;
}

void CopyHeifRows(const HeifPicture& picture, CImageBitmap& bitmap, int first, int end) {
    for (int y = first; y < end; ++y) {
        std::uint8_t* out = bitmap.GetRows()[y];
        if (picture.red.bits > kByteBits)
            InterleaveColor<std::uint16_t>(picture, y, out);
        else
            InterleaveColor<std::uint8_t>(picture, y, out);
        if (picture.alpha.data == nullptr) {
            for (int x = 0; x < picture.width; ++x)
                out[kBytesPerPixel * static_cast<std::size_t>(x) + 3] = kOpaque;
        } else if (picture.alpha.bits > kByteBits) {
            InterleaveAlpha<std::uint16_t>(picture, y, out);
        } else {
            InterleaveAlpha<std::uint8_t>(picture, y, out);
        }
    }
}

bool HasOnlyGreys(const HeifPicture& picture) {
    if (picture.grey) return true;
    return picture.red.bits > kByteBits ? HasOnlyGreyRows<std::uint16_t>(picture)
                                        : HasOnlyGreyRows<std::uint8_t>(picture);
}

HeifPicture ReadHeifPicture(const heif_image* image, int storedWidth, int storedHeight) {
    HeifPicture picture;
    picture.grey = HeifPlaneLayoutOf(image) == HeifPlaneLayout::kGrey;
    const heif_channel first = picture.grey ? heif_channel_Y : heif_channel_R;
    picture.width = Heif().image_get_width(image, first);
    picture.height = Heif().image_get_height(image, first);
    const bool fitsUpright = picture.width <= storedWidth && picture.height <= storedHeight;
    const bool fitsTurned = picture.width <= storedHeight && picture.height <= storedWidth;
    if (picture.width <= 0 || picture.height <= 0 || !(fitsUpright || fitsTurned)) RaiseMismatch();
    if (picture.grey) {
        picture.red = picture.green = picture.blue =
            ReadPlane(image, heif_channel_Y, picture.width, picture.height);
    } else {
        picture.red = ReadPlane(image, heif_channel_R, picture.width, picture.height);
        picture.green = ReadPlane(image, heif_channel_G, picture.width, picture.height);
        picture.blue = ReadPlane(image, heif_channel_B, picture.width, picture.height);
        if (picture.green.bits != picture.red.bits || picture.blue.bits != picture.red.bits) RaiseMismatch();
    }
    if (Heif().image_has_channel(image, heif_channel_Alpha) != 0) {
        // libheif turns, mirrors and crops the alpha by its own item's
        // properties, which files seldom repeat there; its RGBA conversion
        // refuses an alpha of another size than the picture's, and so does
        // this.
        if (Heif().image_get_width(image, heif_channel_Alpha) != picture.width ||
            Heif().image_get_height(image, heif_channel_Alpha) != picture.height)
            RaiseError(ERR_UNSUPPORTED_DATA,
                       "HEIF decoder: The image's alpha is not the size of its picture.");
        picture.alpha = ReadPlane(image, heif_channel_Alpha, picture.width, picture.height);
    }
    return picture;
}
