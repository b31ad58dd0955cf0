// DECT identities between bytes and the texts the window shows, by identity mode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The mode argument of FormatIdentity and ParseIdentity.
enum class IdentityMode : uint8_t {
    Hex = 0,             // two upper-case hex digits per byte, each pair followed by a blank
    Octal = 1,           // the twelve PARK digits of a 5-byte RFPI
    LowSixBits = 2,      // decimal of the low six bits of the first byte (format only)
    BoundedDecimal = 3,  // decimal number below 2^(8n) (parse only)
};

// The text of n bytes in the given mode; the empty text for modes without a format.
// Hex gives 3n characters (a 5-byte RFPI: 15, ending in a blank).
std::string FormatIdentity(const uint8_t *bytes, int32_t n, IdentityMode mode);

// base to the power exponent in wrapping 32-bit arithmetic; an exponent of 1 or less gives base.
int32_t IntPower(int32_t base, int32_t exponent);

// Converts text into the buffer; true when the buffer was filled. Hex and Octal accept every
// text. BoundedDecimal accepts an optional "+" and decimal digits forming a non-negative 32-bit
// number below 2^(8n); on any other text the buffer is left unchanged.
bool ParseIdentity(std::string_view text, uint8_t *bytes, int32_t n, IdentityMode mode);

// The same with the mode as a plain byte: a value that names no mode formats to the empty text
// and parses to false.
std::string FormatIdentity(const uint8_t *bytes, int32_t n, uint8_t mode);
bool ParseIdentity(std::string_view text, uint8_t *bytes, int32_t n, uint8_t mode);
