#pragma once

// Pictures in the newer formats, made with the libraries' own encoders.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Red, green, blue, alpha of one pixel.
struct Rgba {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;
};
using RgbaAt = std::function<Rgba(int x, int y)>;

// A still WebP picture; lossless keeps every pixel exactly, alpha included.
std::vector<std::uint8_t> EncodeWebP(int width, int height, const RgbaAt& pixelAt, bool lossless);
// An animation of one picture per frame, all of the canvas size.
std::vector<std::uint8_t> EncodeAnimatedWebP(int width, int height, const std::vector<RgbaAt>& frames);

enum class HeifCodec { Hevc, Av1 };
struct HeifOptions {
    HeifCodec codec = HeifCodec::Hevc;
    bool alpha = false;
    bool monochrome = false;
    // 8, 10 or 12 bits per sample.
    int bitDepth = 8;
    // The orientation (1 to 8) the file asks to be shown in.
    int orientation = 1;
};
// A HEIF (HEVC) or AVIF (AV1) file whose primary image is the picture.
// It carries `iccProfile` unless that is empty.
std::vector<std::uint8_t> EncodeHeif(int width, int height, const RgbaAt& pixelAt, const HeifOptions& options,
                                     const std::vector<std::uint8_t>& iccProfile = {});

// With KESTRIN_FUZZ_SEED_DIR set, the bytes are also written as
// <dir>/<harness>/<name>, to seed that fuzz harness.
void KeepAsFuzzSeed(const std::string& harness, const std::string& name, const std::vector<std::uint8_t>& bytes);

}  // namespace testsupport
