// kestrin_bench_library_decode: decodes a picture with its format library
// alone, the way a program that only wants the pixels would, as the floor
// bench/run.sh compares whole conversions against.
//
//   kestrin_bench_library_decode webp|heif FILE
//
// WebP: one WebPDecodeBGRA call. HEIF: the primary image decoded by libheif
// to interleaved RGBA at 8 bits, with its default transformations.
#include <libheif/heif.h>
#include <webp/decode.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace {

bool DecodeWebP(const std::vector<std::uint8_t>& data) {
    int width = 0;
    int height = 0;
    std::uint8_t* pixels = WebPDecodeBGRA(data.data(), data.size(), &width, &height);
    WebPFree(pixels);
    return pixels != nullptr;
}

bool DecodeHeif(const std::vector<std::uint8_t>& data) {
    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                        heif_context_free);
    if (heif_context_read_from_memory_without_copy(context.get(), data.data(), data.size(), nullptr).code !=
        heif_error_Ok)
        return false;
    heif_image_handle* handle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &handle).code != heif_error_Ok) return false;
    std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handleOwner(
        handle, heif_image_handle_release);
    std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> options(
        heif_decoding_options_alloc(), heif_decoding_options_free);
    options->convert_hdr_to_8bit = 1;
    heif_image* image = nullptr;
    if (heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options.get())
            .code != heif_error_Ok)
        return false;
    heif_image_release(image);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "webp") != 0 && std::strcmp(argv[1], "heif") != 0)) {
        std::fputs("usage: kestrin_bench_library_decode webp|heif FILE\n", stderr);
        return 2;
    }
    // Read in one piece: byte-wise stream reading would cost the floor time
    // the conversion, which maps its input, does not spend.
    std::ifstream in(argv[2], std::ios::binary | std::ios::ate);
    std::vector<std::uint8_t> data(in ? static_cast<std::size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    const bool decoded = std::strcmp(argv[1], "webp") == 0 ? DecodeWebP(data) : DecodeHeif(data);
    if (!decoded) {
        std::fprintf(stderr, "kestrin_bench_library_decode: could not decode %s\n", argv[2]);
        return 1;
    }
    return 0;
}
