// Feeds arbitrary bytes to the colour profile path as an embedded ICC
// profile: opening it, bounding its cost, building its conversion to sRGB,
// telling sRGB-like profiles apart and converting pixels through it, to code
// values and to light. The first byte picks the colour model the profile is
// to describe (a profile file itself starts with a zero: RGB) and, in its
// third bit, the way a picture's conversion goes: with the limits a decoder
// hands over and rows of a picture, converted into light from two threads at
// once as the fine quality's scaling does. Nothing may crash, leak or hang,
// and a conversion that runs is named for the progress log.
#include "imagelib/color/color_conversion.h"
#include "imagelib/limits/decode_limits.h"

#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

// Every level of every channel, once a row.
std::vector<std::uint8_t> Row(std::size_t pixels, int seed) {
    std::vector<std::uint8_t> row(pixels * 4);
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<std::uint8_t>(i / 4 + i % 4 * 61 + seed);
    return row;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    constexpr ProfilePixels kModels[] = {ProfilePixels::kRgb, ProfilePixels::kGrey, ProfilePixels::kCmyk,
                                         ProfilePixels::kInvertedCmyk};
    const ProfilePixels pixels = kModels[data[0] % 4];
    const bool asPicture = (data[0] & 4) != 0;
    DecodeLimits limits;
    const CColorConversion conversion =
        CColorConversion::FromIccProfile({data + 1, size - 1}, pixels, limits);
    if (conversion.Converts() && conversion.Note().rfind("colour profile: ", 0) != 0) __builtin_trap();
    if (!conversion.Converts()) return 0;
    if (!asPicture) {
        std::vector<std::uint8_t> row = Row(256, 0);
        std::vector<std::uint16_t> light(row.size());
        conversion.ConvertToLinear(row.data(), 256, light.data());
        conversion.ConvertPixels(row.data(), 256);
        return 0;
    }
    // Rows of a picture 300 pixels wide: the quick paths' pairs and their
    // odd pixel at the end.
    constexpr std::size_t kWidth = 301;
    const auto convertRows = [&conversion](int first) {
        for (int y = first; y < first + 4; ++y) {
            std::vector<std::uint8_t> row = Row(kWidth, y);
            std::vector<std::uint16_t> light(row.size());
            conversion.ConvertToLinear(row.data(), kWidth, light.data());
            conversion.ConvertPixels(row.data(), kWidth);
        }
    };
    std::thread other(convertRows, 4);
    convertRows(0);
    other.join();
    return 0;
}
