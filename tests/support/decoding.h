#pragma once

// Running one decoder over bytes built in a test, and reading pixels back.

#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// Decodes `bytes` with a fresh decoder of the given type.
template <class Decoder>
void DecodeBytes(const std::vector<std::uint8_t>& bytes, CImageBitmap& bitmap, int wantedDepth) {
    Decoder decoder;
    decoder.DecodeMemory(bytes.data(), static_cast<std::int64_t>(bytes.size()), bitmap, wantedDepth);
}

template <class Decoder>
std::unique_ptr<CDIBBitmap> DecodeToNewBitmap(const std::vector<std::uint8_t>& bytes, int wantedDepth) {
    auto bitmap = std::make_unique<CDIBBitmap>();
    DecodeBytes<Decoder>(bytes, *bitmap, wantedDepth);
    return bitmap;
}

// The exception a decode ends in; fails the test when it succeeds.
template <class Decoder>
CTextException DecodeFailure(const std::vector<std::uint8_t>& bytes, int wantedDepth) {
    try {
        DecodeToNewBitmap<Decoder>(bytes, wantedDepth);
    } catch (const CTextException& error) {
        return error;
    }
    ADD_FAILURE() << "the decode succeeded";
    return CTextException(0, "");
}

// Expects a 32-bit decode to fail with exactly this code and text.
template <class Decoder>
void ExpectDecodeFailure(const std::vector<std::uint8_t>& bytes, int code, const std::string& message) {
    const CTextException error = DecodeFailure<Decoder>(bytes, 32);
    EXPECT_EQ(error.GetCode(), code);
    EXPECT_EQ(std::string(error.GetMessage()), message);
}

// A 32-bit pixel's bytes: blue, green, red, alpha.
inline PaletteEntry PixelAt(const CImageBitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.GetRows()[y] + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

// Every pixel, top row first.
inline std::vector<PaletteEntry> AllPixels(const CImageBitmap& bitmap) {
    std::vector<PaletteEntry> pixels;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) pixels.push_back(PixelAt(bitmap, x, y));
    return pixels;
}

// A 32-bit pixel as the little-endian word 0xAARRGGBB.
inline std::uint32_t PixelWord(const CImageBitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.GetRows()[y] + 4 * x;
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace testsupport
