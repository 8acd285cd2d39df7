// Feeds arbitrary bytes to the TIFF decoder, once for a 32-bit picture (the
// RGBA path) and once letting the decoder choose (the low-colour path for
// single-sample images). CTextException is the only way a decode may fail.
#include "imagelib/decoders/tiff_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <tiffio.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// A tiny file may describe a picture of tens of megapixels whose strips all
// fail to decode; libtiff's RGBA reader still visits every row, which under
// the sanitizers takes longer than the run allows. Such inputs only cost time
// (the size limits are covered by the unit tests), so they are skipped.
constexpr std::uint64_t kMaxFuzzedPixels = std::uint64_t{1} << 20;

struct Input {
    const std::uint8_t* data;
    std::uint64_t size;
    std::uint64_t position;
};

tmsize_t ReadInput(thandle_t handle, void* buffer, tmsize_t count) {
    auto& input = *static_cast<Input*>(handle);
    if (count <= 0 || input.position >= input.size) return 0;
    const auto n = std::min<std::uint64_t>(static_cast<std::uint64_t>(count), input.size - input.position);
    std::memcpy(buffer, input.data + input.position, n);
    input.position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteInput(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t SeekInput(thandle_t handle, toff_t offset, int whence) {
    auto& input = *static_cast<Input*>(handle);
    const std::uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? input.position : input.size;
    input.position = base + offset;
    return input.position;
}

int CloseInput(thandle_t) {
    return 0;
}
toff_t InputSize(thandle_t handle) {
    return static_cast<Input*>(handle)->size;
}
int MapInput(thandle_t, void**, toff_t*) {
    return 0;
}
void UnmapInput(thandle_t, void*, toff_t) {}
int Silent(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

bool IsSmallPicture(const std::uint8_t* data, std::size_t size) {
    Input input{data, size, 0};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, Silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Silent, nullptr);
    TIFF* tiff = TIFFClientOpenExt("fuzz", "r", &input, ReadInput, WriteInput, SeekInput, CloseInput,
                                   InputSize, MapInput, UnmapInput, options);
    TIFFOpenOptionsFree(options);
    if (tiff == nullptr) return true;  // the decoder fails just as fast
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFClose(tiff);
    return std::uint64_t{width} * height <= kMaxFuzzedPixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!IsSmallPicture(data, size)) return 0;
    for (int depth : {32, 0}) {
        CTIFFDecoder decoder;
        CDIBBitmap bitmap;
        try {
            decoder.DecodeMemory(data, static_cast<std::int64_t>(size), bitmap, depth);
        } catch (const CTextException&) {
        }
    }
    return 0;
}
