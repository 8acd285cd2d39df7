#pragma once

#include <cstdint>
#include <vector>

// Where the channels of a 16- or 32-bit bitmap pixel lie: one bit mask per
// channel over the little-endian pixel word. A zero mask means the channel is
// not stored.
struct BmpColorMasks {
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
    std::uint32_t alpha = 0;
};

// Turns rows of masked pixels into 32-bit model pixels. Each channel is scaled
// from its own width to 8 bits with rounding (31 of 5 bits gives 255), except
// the two classic 16-bit layouts, 5-5-5 and 5-6-5, whose channels keep their
// top five bits with the low bits 0, as these files have always been read.
// Without an alpha mask a pixel is opaque, but for a 32-bit pixel whose top
// byte no colour uses: that byte is the alpha, as in plain 32-bit files.
class BmpMaskedPixelReader {
public:
    // Raises a decoder error for a mask whose bits are not contiguous or that
    // reaches beyond the pixel's `bitCount` (16 or 32) bits.
    BmpMaskedPixelReader(const BmpColorMasks& masks, int bitCount);

    void ReadRow(const std::uint8_t* data, std::int64_t width, std::uint8_t* out) const;

private:
    struct Channel {
        std::uint32_t mask = 0;
        int shift = 0;
        std::uint32_t maximum = 0;         // the channel's largest stored value; 0 when not stored
        std::uint8_t absent = 0;           // the level of a channel that is not stored
        std::vector<std::uint8_t> levels;  // 8-bit level of every stored value, for up to 16 bits
    };

    static Channel MakeChannel(std::uint32_t mask, int bitCount, std::uint8_t absent, bool classicLevels);
    static std::uint8_t Level(const Channel& channel, std::uint32_t word);

    int m_bitCount;
    Channel m_channels[4];  // blue, green, red, alpha: the model's byte order
};
