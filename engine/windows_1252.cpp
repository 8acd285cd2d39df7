#include "engine/windows_1252.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// 0x80 to 0x9F; the five positions Windows-1252 leaves undefined map to the
// C1 controls of the same number, as Windows maps them.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Control characters are refused with the rest: a name is one line the
// handheld shows, and a line feed or an escape in it would only mislead.
std::optional<char> byteOf(char32_t character) {
    if (isControlCharacter(character)) return std::nullopt;
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) return static_cast<char>(character);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == character) return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
}

// The next character of UTF-8 text; malformed, overlong and surrogate
// sequences give U+FFFD and skip one byte.
char32_t nextCharacter(std::string_view text, std::size_t& position) {
    const auto lead = static_cast<std::uint8_t>(text[position++]);
    if (lead < 0x80) return lead;
    int length = 0;
    char32_t value = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 1;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 2;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 3;
        value = lead & 0x07;
    } else {
        return kReplacementCharacter;
    }
    if (position + static_cast<std::size_t>(length) > text.size()) return kReplacementCharacter;
    for (int i = 0; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[position + static_cast<std::size_t>(i)]);
        if ((next & 0xC0) != 0x80) return kReplacementCharacter;
        value = (value << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return kReplacementCharacter;
    }
    position += static_cast<std::size_t>(length);
    return value;
}

}  // namespace

Windows1252Text encodeWindows1252(std::string_view utf8, char replacement) {
    Windows1252Text result;
    result.bytes.reserve(utf8.size());
    for (std::size_t position = 0; position < utf8.size();) {
        const char32_t character = nextCharacter(utf8, position);
        if (const auto byte = byteOf(character)) {
            result.bytes.push_back(*byte);
            continue;
        }
        result.bytes.push_back(replacement);
        if (!result.firstRefused) result.firstRefused = character;
    }
    return result;
}

std::string decodeWindows1252(std::string_view bytes) {
    std::string text;
    for (const char byte : bytes) {
        const auto value = static_cast<std::uint8_t>(byte);
        text += utf8Character(value >= 0x80 && value < 0xA0 ? kHighControls[value - 0x80] : value);
    }
    return text;
}

bool isControlCharacter(char32_t character) {
    return character < 0x20 || (character >= 0x7F && character < 0xA0);
}

std::string describeCharacter(char32_t character) {
    if (!isControlCharacter(character)) return "'" + utf8Character(character) + "'";
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(character));
    return code;
}

std::string utf8Character(char32_t character) {
    std::string text;
    if (character < 0x80) {
        text.push_back(static_cast<char>(character));
    } else if (character < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (character >> 6)));
        text.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    } else if (character < 0x10000) {
        text.push_back(static_cast<char>(0xE0 | (character >> 12)));
        text.push_back(static_cast<char>(0x80 | ((character >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xF0 | (character >> 18)));
        text.push_back(static_cast<char>(0x80 | ((character >> 12) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | ((character >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    }
    return text;
}
