// Byte blocks as hexadecimal text: upper-case pairs, optionally each followed by a blank.
#pragma once

#include <cstdint>
#include <string_view>

// The hex digit of the low four bits: '0'..'9', 'A'..'F'.
char NibbleToHexChar(uint8_t value);

// Writes 2n characters (3n when spaced, the last pair's blank included) into text; no terminator.
void BytesToHexText(const uint8_t *bytes, char *text, int32_t n, bool spaced);

// Never rejects a character: above '@' (as a signed 8-bit code) a character counts (c & 0x0F) + 9,
// otherwise c & 0x0F. So a blank counts as 0 and 'G' as 16.
uint8_t HexPairToByte(char high, char low);

// Fills n bytes from the pairs at positions i*stride and i*stride+1 (stride 3 when spaced, else
// 2); separator positions are not looked at. Positions beyond the end of text count as blanks.
void HexTextToBytes(std::string_view text, uint8_t *bytes, int32_t n, bool spaced);
