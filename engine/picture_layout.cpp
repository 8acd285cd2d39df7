#include "engine/picture_layout.h"

#include <algorithm>
#include <array>
#include <cctype>

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
