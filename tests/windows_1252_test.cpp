#include "engine/windows_1252.h"

#include <gtest/gtest.h>

TEST(Windows1252, EncodesWhatPalmsShowAndNamesTheFirstCharacterThatCannotBe) {
    const struct {
        const char* utf8;
        std::string bytes;
        std::optional<char32_t> refused;
    } cases[] = {
        {"Harbour at dusk", "Harbour at dusk", std::nullopt},
        {"\u201cCaf\u00e9\u201d \u2013 5\u20ac\u2026",
         "\x93"
         "Caf\xe9\x94 \x96 5\x80\x85",
         std::nullopt},
        {"\u0160koda \u017d\u0178 \u2122 \u00ff", "\x8akoda \x8e\x9f \x99 \xff", std::nullopt},
        {"\u0141\u00f3d\u017a",
         "?\xf3"
         "d?",
         U'\u0141'},
        {"snow \u2603 and \U0001F600", "snow ? and ?", U'\u2603'},
        // Invalid UTF-8: a lone continuation byte, a truncated sequence, an
        // overlong slash, an encoded surrogate.
        {"a\x80"
         "b",
         "a?b", U'\uFFFD'},
        {"\xe2\x82", "??", U'\uFFFD'},
        {"\xc0\xaf", "??", U'\uFFFD'},
        {"\xed\xa0\x80", "???", U'\uFFFD'},
        // Control characters: a line feed, a tab, an escape, DEL, and C1
        // controls, also the ones Windows-1252 leaves undefined.
        {"a\nb", "a?b", U'\n'},
        {"\tab\x1b[31m", "?ab?[31m", U'\t'},
        {"x\x7f", "x?", U'\x7f'},
        {"\u0085\u009d", "??", U'\u0085'},
    };
    for (const auto& c : cases) {
        const Windows1252Text encoded = encodeWindows1252(c.utf8);
        EXPECT_EQ(encoded.bytes, c.bytes) << c.utf8;
        EXPECT_EQ(encoded.firstRefused, c.refused) << c.utf8;
    }
    EXPECT_EQ(encodeWindows1252("\u0141x", '_').bytes, "_x");
}

TEST(Windows1252, EveryByteButTheControlsDecodesAndEncodesBackToItself) {
    std::string all;
    // The controls: C0, DEL, and the five places Windows-1252 leaves to C1.
    const std::string controls = "\x7f\x81\x8d\x8f\x90\x9d";
    for (int byte = 0x20; byte < 256; ++byte)
        if (controls.find(static_cast<char>(byte)) == std::string::npos)
            all.push_back(static_cast<char>(byte));
    const Windows1252Text again = encodeWindows1252(decodeWindows1252(all));
    EXPECT_EQ(again.bytes, all);
    EXPECT_FALSE(again.firstRefused.has_value());
    EXPECT_EQ(decodeWindows1252("\x80\x85\xe9"), "\u20ac\u2026\u00e9");
    EXPECT_EQ(utf8Character(U'\U0001F600'), "\U0001F600");
    EXPECT_EQ(describeCharacter(U'\u00e9'), "'\u00e9'");
    EXPECT_EQ(describeCharacter(U'\n'), "U+000A");
}
