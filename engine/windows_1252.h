#pragma once

#include <optional>
#include <string>
#include <string_view>

// Palm OS keeps text, image names included, in Windows-1252: ASCII, the
// Latin-1 letters, and in 0x80 to 0x9F the typographic quotes, dashes, the
// ellipsis, the euro sign and a few more that Latin-1 lacks.

// UTF-8 text in Windows-1252, one byte per character.
struct Windows1252Text {
    std::string bytes;
    // The first character the set cannot hold; invalid UTF-8 counts as
    // U+FFFD. Nothing when every character was encoded.
    std::optional<char32_t> firstRefused;
};

// Encodes UTF-8 text; each character the set cannot hold, and each control
// character (C0, DEL and C1), becomes `replacement`.
Windows1252Text encodeWindows1252(std::string_view utf8, char replacement = '?');

// Windows-1252 bytes as UTF-8, for showing a name read from a database.
std::string decodeWindows1252(std::string_view bytes);

// One character as UTF-8, for messages that name it.
std::string utf8Character(char32_t character);

// C0 controls, DEL and the C1 controls: never part of a name.
bool isControlCharacter(char32_t character);

// A character as a message names it: 'é' in quotes, or U+000A for a control
// character, which would break the message's line.
std::string describeCharacter(char32_t character);
