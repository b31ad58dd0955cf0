// DECT identities between bytes and the texts the window shows, by identity mode:
//   0  hex: two upper-case hex digits per byte, each pair followed by a blank
//   1  octal: the twelve PARK digits of a 5-byte RFPI
//   2  decimal of the low six bits of the first byte (format only)
//   3  decimal number below 2^(8n) (parse only)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The text of n bytes in the given mode; the empty text for modes without a format.
// Mode 0 gives 3n characters (a 5-byte RFPI: 15, ending in a blank).
std::string FormatIdentity(const uint8_t *bytes, int32_t n, uint8_t mode);

// base to the power exponent in wrapping 32-bit arithmetic; an exponent of 1 or less gives base.
int32_t IntPower(int32_t base, int32_t exponent);

// Converts text into the buffer; true when the buffer was filled. Modes 0 and 1 accept every
// text. Mode 3 accepts an optional "+" and decimal digits forming a non-negative 32-bit number
// below 2^(8n); on any other text the buffer is left unchanged.
bool ParseIdentity(std::string_view text, uint8_t *bytes, int32_t n, uint8_t mode);
