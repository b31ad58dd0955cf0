// The key filters and the port number taken from the port list's text, as pure functions.
#include "key_filters.h"
#include "display_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct KeyCase {
    char key;
    bool hex, octal, decimal;  // whether each filter passes it (decimal: into a short text)
};

TEST(KeyFilter, EachFilterPassesItsCharactersAndEveryControlCharacter) {
    const KeyCase cases[] = {
        {'0', true, true, true},      {'7', true, true, true},      {'8', true, false, true},
        {'9', true, false, true},     {'a', true, false, false},    {'f', true, false, false},
        {'A', true, false, false},    {'F', true, false, false},    {'g', false, false, false},
        {'G', false, false, false},   {'z', false, false, false},   {' ', false, false, false},
        {'-', false, false, false},   {'+', false, false, false},   {'/', false, false, false},
        {':', false, false, false},   {'@', false, false, false},   {'`', false, false, false},
        {'\x7F', false, false, false}, {'\xE9', false, false, false}, {'\xFF', false, false, false},
        // Control characters: Backspace, Tab, Enter, Escape, Ctrl+C/V/X, and the two ends.
        {'\b', true, true, true},     {'\t', true, true, true},     {'\r', true, true, true},
        {'\x1B', true, true, true},   {'\x03', true, true, true},   {'\x16', true, true, true},
        {'\x18', true, true, true},   {'\x01', true, true, true},   {'\x1F', true, true, true},
    };
    for (const KeyCase &c : cases) {
        SCOPED_TRACE(int(static_cast<unsigned char>(c.key)));
        char hex = c.key, octal = c.key, decimal = c.key;
        FilterHexKey(hex);
        FilterOctalKey(octal);
        FilterDecimalKey("1", decimal, 3);
        EXPECT_EQ(hex, c.hex ? c.key : '\0');
        EXPECT_EQ(octal, c.octal ? c.key : '\0');
        EXPECT_EQ(decimal, c.decimal ? c.key : '\0');
    }
    char nul = '\0';
    FilterHexKey(nul);
    EXPECT_EQ(nul, '\0') << "a dropped key stays dropped";
}

TEST(KeyFilter, DecimalDigitDroppedOnceTheTextIsFull) {
    struct Case {
        const char *text;
        char key;
        int maxLength;
        bool passes;
    };
    const Case cases[] = {
        {"", '5', 3, true},      {"12", '5', 3, true},     {"123", '5', 3, false},
        {"1234", '5', 3, false}, {"123", '\b', 3, true},   {"123", '\x16', 3, true},
        {"abc", '1', 3, false},  // the length counts, not what the characters are
        {"", '5', 0, false},     {"9", '5', 1, false},     {"", 'x', 3, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " + " + std::to_string(int(c.key)));
        char key = c.key;
        FilterDecimalKey(c.text, key, c.maxLength);
        EXPECT_EQ(key, c.passes ? c.key : '\0');
    }
}

TEST(PortChoice, FourthCharacterOfACTextIsThePortDigit) {
    struct Case {
        const char *text;
        uint8_t current;
        uint8_t expected;
    };
    const Case cases[] = {
        {"COM1", 0, 1},
        {"COM3", 9, 3},
        {"COM8", 1, 8},
        {"COM12", 1, 1},        // only the fourth character counts
        {"CXY5", 1, 5},         // only the first and the fourth are looked at
        {"COMX", 1, 'X' - '0'}, // no digit: the arithmetic still gives a number, which fails to open
        {"COM/", 1, 255},       // below "0": 8-bit wrap
        {"com3", 4, 4},         // lower case is not "C"
        {"XOM3", 4, 4},
        {"", 4, 4},
        {"C", 4, 4},            // shorter than four characters: no port digit, nothing read
        {"CO", 4, 4},
        {"COM", 4, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(PortNumberFromText(c.text, c.current), c.expected);
    }
}

}  // namespace
