#include "engine/picture_layout.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace {

struct NamedColor {
    const char* name;
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

constexpr std::array<NamedColor, 17> kBasicColors{{
    {"black", 0x00, 0x00, 0x00},
    {"white", 0xFF, 0xFF, 0xFF},
    {"gray", 0x80, 0x80, 0x80},
    {"grey", 0x80, 0x80, 0x80},
    {"silver", 0xC0, 0xC0, 0xC0},
    {"red", 0xFF, 0x00, 0x00},
    {"maroon", 0x80, 0x00, 0x00},
    {"yellow", 0xFF, 0xFF, 0x00},
    {"olive", 0x80, 0x80, 0x00},
    {"lime", 0x00, 0xFF, 0x00},
    {"green", 0x00, 0x80, 0x00},
    {"aqua", 0x00, 0xFF, 0xFF},
    {"teal", 0x00, 0x80, 0x80},
    {"blue", 0x00, 0x00, 0xFF},
    {"navy", 0x00, 0x00, 0x80},
    {"fuchsia", 0xFF, 0x00, 0xFF},
    {"purple", 0x80, 0x00, 0x80},
}};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::optional<PictureFit> parsePictureFit(const std::string& text) {
    if (text == "stretch") return PictureFit::Stretch;
    if (text == "pad") return PictureFit::Pad;
    if (text == "crop") return PictureFit::Crop;
    return std::nullopt;
}

namespace {

constexpr std::array<const char*, 10> kGravityNames{
    "center", "north", "south", "east", "west", "northeast", "northwest", "southeast", "southwest", "smart"};

}  // namespace

std::optional<CropGravity> parseCropGravity(const std::string& text) {
    for (std::size_t i = 0; i < kGravityNames.size(); ++i)
        if (text == kGravityNames[i]) return static_cast<CropGravity>(i);
    return std::nullopt;
}

const char* cropGravityName(CropGravity gravity) {
    const auto index = static_cast<std::size_t>(gravity);
    return index < kGravityNames.size() ? kGravityNames[index] : kGravityNames[0];
}

std::optional<PixelRect> parseCropBox(const std::string& text) {
    int values[4] = {};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (at == end || *at != ',') return std::nullopt;
            ++at;
        }
        // Digits only: no signs, no spaces.
        if (at == end || *at < '0' || *at > '9') return std::nullopt;
        const auto [next, error] = std::from_chars(at, end, values[i]);
        if (error != std::errc{}) return std::nullopt;
        at = next;
    }
    if (at != end || values[2] < 1 || values[3] < 1) return std::nullopt;
    return PixelRect{values[0], values[1], values[2], values[3]};
}

std::optional<PaletteEntry> parseBackgroundColor(const std::string& text) {
    const std::string lower = lowerCase(text);
    if (lower.size() == 7 && lower[0] == '#') {
        std::uint8_t channels[3] = {};
        for (int i = 0; i < 3; ++i) {
            const int high = hexDigit(lower[1 + 2 * i]);
            const int low = hexDigit(lower[2 + 2 * i]);
            if (high < 0 || low < 0) return std::nullopt;
            channels[i] = static_cast<std::uint8_t>(high * 16 + low);
        }
        return PaletteEntry{channels[2], channels[1], channels[0], 255};
    }
    for (const NamedColor& color : kBasicColors)
        if (lower == color.name) return PaletteEntry{color.blue, color.green, color.red, 255};
    return std::nullopt;
}
