#pragma once

// Pictures in the newer formats, made with the libraries' own encoders.

#include <cstdint>
#include <functional>
#include <optional>
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

// A property box: the type, big-endian words, and a last byte if any.
std::vector<std::uint8_t> HeifProperty(const char* type, const std::vector<std::uint32_t>& words,
                                       std::optional<std::uint8_t> byte = std::nullopt);
// A file EncodeHeif made, with transformation properties (irot, imir, clap
// boxes) added to its primary item in this order, which libheif 1.15 cannot
// write itself.
std::vector<std::uint8_t> WithHeifTransformations(std::vector<std::uint8_t> file,
                                                  const std::vector<std::vector<std::uint8_t>>& properties);

// A grid image of columns x rows copies of one square tile (64 pixels or more), the grid's
// description in the meta box. With sharedData every tile item points at
// the same coded bytes; otherwise each has its own copy of them.
struct HeifGrid {
    int columns = 1;
    int rows = 1;
    int tileSide = 64;
    bool sharedData = false;
    // The grid's width and height when not what its tiles cover (0).
    int shownSide = 0;
    // The primary image is the first tile, the grid a secondary image.
    bool tileIsPrimary = false;
    // The grid lists its first tile again in the last tile's place.
    bool firstTileTwice = false;
    // The size the tiles' properties give them when not their coded one.
    int storedTileSide = 0;
    HeifCodec codec = HeifCodec::Hevc;
    // The coded picture repeated this many times in each tile's data.
    int picturesPerTile = 1;
};
std::vector<std::uint8_t> EncodeHeifGrid(const HeifGrid& grid);

// With KESTRIN_FUZZ_SEED_DIR set, the bytes are also written as
// <dir>/<harness>/<name>, to seed that fuzz harness.
void KeepAsFuzzSeed(const std::string& harness, const std::string& name,
                    const std::vector<std::uint8_t>& bytes);

}  // namespace testsupport
