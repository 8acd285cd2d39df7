#pragma once

// Test pictures made with libpng's and libjpeg's writing side, so that every
// variant a decoder handles can be built in code, plus the libraries' own plain
// readings of a file to compare a decoder's pixels with.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace testsupport {

// A PNG picture by its samples. `samples` holds width x height x channels
// values, top row first, channels in file order (grey; red, green, blue;
// grey, alpha; red, green, blue, alpha; or a palette index), each below
// 2^bitDepth.
struct PngPicture {
    int width = 0;
    int height = 0;
    int colorType = 0;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::uint16_t> samples;
    std::vector<std::array<std::uint8_t, 3>> palette;  // red, green, blue
    std::vector<std::uint8_t> paletteAlpha;            // tRNS of a palette image
    // tRNS of a grey (first value only) or RGB image.
    std::optional<std::array<std::uint16_t, 3>> transparentColor;
};

int PngChannels(int colorType);
// Throws std::runtime_error when libpng refuses the picture.
std::vector<std::uint8_t> EncodePng(const PngPicture& picture);

// A JPEG picture by its samples: width x height x components bytes, top row
// first. Three components are red, green, blue; four are the inks as they are
// to be stored (inverted for Adobe-style files).
struct JpegPicture {
    int width = 0;
    int height = 0;
    int components = 3;
    std::vector<std::uint8_t> samples;
    int quality = 90;
    bool progressive = false;
    // Colour images: chroma halved both ways (4:2:0) or kept whole (4:4:4).
    bool subsample = true;
    // Four components: store as YCCK instead of CMYK (both with the Adobe marker).
    bool ycck = false;
    // Three components: store red, green and blue as they are, without the
    // YCbCr transform.
    bool storeRgb = false;
};

std::vector<std::uint8_t> EncodeJpeg(const JpegPicture& picture);
// A baseline colour photo of 64 x 256 pixels of busy rows, cut off halfway
// through its data.
std::vector<std::uint8_t> CutOffJpeg();

// The same stream read by libjpeg with the settings our decoder uses (float
// DCT, no fancy upsampling), as RGB (three bytes a pixel) or grey.
struct DecodedJpeg {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<std::uint8_t> samples;
};
DecodedJpeg DecodeJpegReference(const std::vector<std::uint8_t>& stream);

// A PNG file read by libpng's simplified interface. Files of 8 bits or less
// come as 8-bit blue, green, red, alpha; 16-bit files as 16-bit red, green,
// blue, alpha, read as linear samples and so with the colour premultiplied by
// alpha. Empty when libpng cannot read the file.
struct DecodedPng {
    int width = 0;
    int height = 0;
    bool sixteenBit = false;
    std::vector<std::uint8_t> bgra;
    std::vector<std::uint16_t> rgba16;
};
std::optional<DecodedPng> DecodePngReference(const std::vector<std::uint8_t>& file);

// Colour-like test content: smooth gradients with some detail, repeatable.
std::vector<std::uint8_t> MakePhotoLikeRgb(int width, int height, unsigned seed = 1);

}  // namespace testsupport
