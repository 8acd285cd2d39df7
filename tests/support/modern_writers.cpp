#include "support/modern_writers.h"

#include "support/test_support.h"

#include <libheif/heif.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace testsupport {

namespace {

std::vector<std::uint8_t> RgbaBytes(int width, int height, const RgbaAt& pixelAt) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba pixel = pixelAt(x, y);
            bytes.insert(bytes.end(), {pixel.red, pixel.green, pixel.blue, pixel.alpha});
        }
    }
    return bytes;
}

void Require(bool condition, const char* what) {
    if (!condition) throw std::runtime_error(what);
}

void RequireHeif(const heif_error& error) {
    if (error.code != heif_error_Ok) throw std::runtime_error(error.message);
}

void FillPicture(WebPPicture& picture, int width, int height, const RgbaAt& pixelAt) {
    Require(WebPPictureInit(&picture) != 0, "WebPPictureInit");
    picture.use_argb = 1;
    picture.width = width;
    picture.height = height;
    const auto rgba = RgbaBytes(width, height, pixelAt);
    Require(WebPPictureImportRGBA(&picture, rgba.data(), width * 4) != 0, "WebPPictureImportRGBA");
}

}  // namespace

std::vector<std::uint8_t> EncodeWebP(int width, int height, const RgbaAt& pixelAt, bool lossless) {
    const auto rgba = RgbaBytes(width, height, pixelAt);
    std::uint8_t* output = nullptr;
    const std::size_t size = lossless ? WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &output)
                                      : WebPEncodeRGBA(rgba.data(), width, height, width * 4, 90.0f, &output);
    Require(size != 0, "WebP encoding failed");
    std::vector<std::uint8_t> file(output, output + size);
    WebPFree(output);
    return file;
}

std::vector<std::uint8_t> EncodeAnimatedWebP(int width, int height, const std::vector<RgbaAt>& frames) {
    WebPAnimEncoderOptions options;
    Require(WebPAnimEncoderOptionsInit(&options) != 0, "WebPAnimEncoderOptionsInit");
    std::unique_ptr<WebPAnimEncoder, decltype(&WebPAnimEncoderDelete)> encoder(
        WebPAnimEncoderNew(width, height, &options), WebPAnimEncoderDelete);
    Require(encoder != nullptr, "WebPAnimEncoderNew");
    WebPConfig config;
    Require(WebPConfigInit(&config) != 0, "WebPConfigInit");
    config.lossless = 1;
    config.exact = 1;
    int timestamp = 0;
    for (const RgbaAt& frame : frames) {
        WebPPicture picture;
        FillPicture(picture, width, height, frame);
        const bool added = WebPAnimEncoderAdd(encoder.get(), &picture, timestamp, &config) != 0;
        WebPPictureFree(&picture);
        Require(added, "WebPAnimEncoderAdd");
        timestamp += 100;
    }
    Require(WebPAnimEncoderAdd(encoder.get(), nullptr, timestamp, nullptr) != 0, "WebPAnimEncoderAdd");
    WebPData data;
    WebPDataInit(&data);
    Require(WebPAnimEncoderAssemble(encoder.get(), &data) != 0, "WebPAnimEncoderAssemble");
    std::vector<std::uint8_t> file(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    return file;
}

std::vector<std::uint8_t> EncodeHeif(int width, int height, const RgbaAt& pixelAt, const HeifOptions& options,
                                     const std::vector<std::uint8_t>& iccProfile) {
    const bool deep = options.bitDepth > 8;
    heif_image* rawImage = nullptr;
    const heif_colorspace colourspace = options.monochrome ? heif_colorspace_monochrome : heif_colorspace_RGB;
    heif_chroma chroma = heif_chroma_monochrome;
    if (!options.monochrome)
        chroma = deep ? (options.alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                      : (options.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    RequireHeif(heif_image_create(width, height, colourspace, chroma, &rawImage));
    std::unique_ptr<heif_image, decltype(&heif_image_release)> image(rawImage, heif_image_release);

    const int channels = options.monochrome ? 1 : (options.alpha ? 4 : 3);
    const heif_channel channel = options.monochrome ? heif_channel_Y : heif_channel_interleaved;
    RequireHeif(heif_image_add_plane(image.get(), channel, width, height, options.bitDepth));
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image.get(), channel, &stride);
    const int shift = options.bitDepth - 8;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba pixel = pixelAt(x, y);
            const std::uint8_t values[4] = {pixel.red, pixel.green, pixel.blue, pixel.alpha};
            for (int c = 0; c < channels; ++c) {
                const int value = values[c] << shift | values[c] >> (8 - shift);
                if (deep) {
                    std::uint8_t* sample = plane + static_cast<std::size_t>(y) * stride + (x * channels + c) * 2;
                    sample[0] = static_cast<std::uint8_t>(value & 0xFF);
                    sample[1] = static_cast<std::uint8_t>(value >> 8);
                } else {
                    plane[static_cast<std::size_t>(y) * stride + x * channels + c] = static_cast<std::uint8_t>(value);
                }
            }
        }
    }

    if (!iccProfile.empty())
        RequireHeif(heif_image_set_raw_color_profile(image.get(), "prof", iccProfile.data(), iccProfile.size()));

    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), heif_context_free);
    heif_encoder* rawEncoder = nullptr;
    RequireHeif(heif_context_get_encoder_for_format(
        context.get(), options.codec == HeifCodec::Hevc ? heif_compression_HEVC : heif_compression_AV1, &rawEncoder));
    std::unique_ptr<heif_encoder, decltype(&heif_encoder_release)> encoder(rawEncoder, heif_encoder_release);
    RequireHeif(heif_encoder_set_lossy_quality(encoder.get(), 95));
    // The slowest settings of the AV1 encoder take seconds even for tiny pictures.
    if (options.codec == HeifCodec::Av1) heif_encoder_set_parameter(encoder.get(), "speed", "8");
    std::unique_ptr<heif_encoding_options, decltype(&heif_encoding_options_free)> encoding(
        heif_encoding_options_alloc(), heif_encoding_options_free);
    encoding->image_orientation = static_cast<heif_orientation>(options.orientation);
    RequireHeif(heif_context_encode_image(context.get(), image.get(), encoder.get(), encoding.get(), nullptr));

    std::vector<std::uint8_t> file;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = [](heif_context*, const void* data, size_t size, void* userdata) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(userdata);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
        return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
    };
    RequireHeif(heif_context_write(context.get(), &writer, &file));
    return file;
}

void KeepAsFuzzSeed(const std::string& harness, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const char* folder = std::getenv("KESTRIN_FUZZ_SEED_DIR");
    if (folder == nullptr || *folder == '\0') return;
    const std::filesystem::path path = std::filesystem::path(folder) / harness;
    std::filesystem::create_directories(path);
    WriteFileBytes(path / name, bytes);
}

}  // namespace testsupport
