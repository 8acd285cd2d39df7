#include "imagelib/color/linear_light.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The curve as IEC 61966-2-1 defines it, on 0..1.
double ToLinear(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

struct Tables {
    std::array<float, 256> linear{};
    std::array<std::uint16_t, 256> linear16{};
    std::array<std::uint8_t, 65536> encoded{};

    Tables() {
        for (int code = 0; code < 256; ++code) {
            const double value = ToLinear(code / 255.0);
            linear[static_cast<std::size_t>(code)] = static_cast<float>(value);
            linear16[static_cast<std::size_t>(code)] =
                static_cast<std::uint16_t>(std::lround(value * 65535.0));
        }
        // Each code value takes the linear values up to the one half-way to
        // the next code value: 256 powers instead of one per linear value.
        std::size_t value = 0;
        for (int code = 0; code < 255; ++code) {
            const double end = std::ceil(ToLinear((code + 0.5) / 255.0) * 65535.0);
            for (; static_cast<double>(value) < end; ++value)
                encoded[value] = static_cast<std::uint8_t>(code);
        }
        for (; value < encoded.size(); ++value) encoded[value] = 255;
    }
};

const Tables& LightTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

float LinearFromSrgb(std::uint8_t code) noexcept {
    return LightTables().linear[code];
}

std::uint16_t Linear16FromSrgb(std::uint8_t code) noexcept {
    return LightTables().linear16[code];
}

std::uint8_t SrgbFromLinear16(std::uint16_t linear) noexcept {
    return LightTables().encoded[linear];
}

std::uint8_t SrgbFromLinear(float linear) noexcept {
    const float clamped = std::clamp(linear, 0.0f, 1.0f);
    return SrgbFromLinear16(static_cast<std::uint16_t>(clamped * 65535.0f + 0.5f));
}
