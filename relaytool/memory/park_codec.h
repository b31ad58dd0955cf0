// The parent RFPI as PARK digits: bit-level access, twelve octal digits and the PARK check digit.
//
// RFPI bits are numbered 0 to 39 from the most significant bit of its first byte. Bit 0 is the
// E bit, bits 1 to 36 hold the twelve octal PARK digits (digit k in bits 3k+1 to 3k+3), bits 37
// to 39 are the class-A RPN.
#pragma once

#include <cstdint>
#include <string_view>

// Writes the low `width` bits of value, most significant first, into bits bitOffset onwards of
// bytes; all other bits keep their values. Width 0 writes nothing; widths above 8 write zeros
// for the bits a byte does not have.
void PutBits(uint8_t width, uint8_t *bytes, uint16_t bitOffset, uint8_t value);

// Writes the low three bits of (character - '0') of the first twelve characters into RFPI bits
// 1 to 36. So '8' writes 0, '9' writes 1, a blank or NUL writes 0; characters beyond the end of
// text count as blanks. Bit 0 and bits 37 to 39 keep their values.
void OctalTextToRfpi(std::string_view text, uint8_t *rfpi);

// The twelve PARK digits of a 5-byte RFPI as characters '0'..'7', then a NUL (13 characters).
void RfpiToOctalDigits(char *digits, const uint8_t *rfpi);

// The PARK check digit, 0 to 10, over the first `length` characters (at most those that text
// holds): the sum of weight x (character - '0') with weights 1, 2, 3 ..., modulo 11.
uint8_t ParkCheckDigit(std::string_view text, int32_t length);
