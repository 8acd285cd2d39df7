// Feeds arbitrary bytes to the colour profile path as an embedded ICC
// profile: opening it, building its conversion to sRGB, telling sRGB-like
// profiles apart and converting pixels through it, to code values and to
// light. The first byte picks the colour model the profile is to describe (a
// profile file itself starts with a zero: RGB); nothing may crash, leak or
// hang, and a conversion that runs is named for the progress log.
#include "imagelib/color_conversion.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    constexpr ProfilePixels kModels[] = {ProfilePixels::kRgb, ProfilePixels::kGrey, ProfilePixels::kCmyk,
                                         ProfilePixels::kInvertedCmyk};
    const ProfilePixels pixels = kModels[data[0] % 4];
    const CColorConversion conversion = CColorConversion::FromIccProfile({data + 1, size - 1}, pixels);
    if (conversion.Converts() && conversion.Note().rfind("colour profile: ", 0) != 0) __builtin_trap();
    // Every level of every channel, once.
    std::vector<std::uint8_t> row(256 * 4);
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(i / 4 + i % 4 * 61);
    if (!conversion.Converts()) return 0;
    std::vector<std::uint16_t> light(row.size());
    conversion.ConvertToLinear(row.data(), 256, light.data());
    conversion.ConvertPixels(row.data(), 256);
    return 0;
}
