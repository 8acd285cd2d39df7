#pragma once

#include <cstdint>

// The sRGB transfer curve through tables, built once: light adds up in linear
// values, not in the gamma-encoded code values pictures are stored in, so
// anything that averages or spreads light (scaling, error diffusion) works on
// linear values and turns them back into code values at the end.

// Linear light, 0 to 1, of an 8-bit sRGB code value.
float LinearFromSrgb(std::uint8_t code) noexcept;

// Linear light at 16 bits (0 to 65535), of an 8-bit sRGB code value.
std::uint16_t Linear16FromSrgb(std::uint8_t code) noexcept;

// The 8-bit sRGB code value nearest to a linear value at 16 bits.
std::uint8_t SrgbFromLinear16(std::uint16_t linear) noexcept;

// The same for a linear value from 0 to 1; values outside are clamped.
std::uint8_t SrgbFromLinear(float linear) noexcept;
