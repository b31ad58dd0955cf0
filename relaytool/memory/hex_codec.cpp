#include "hex_codec.h"

#include <cstddef>

char NibbleToHexChar(uint8_t value) {
    const uint8_t nibble = value & 0x0F;
    return static_cast<char>(nibble < 10 ? (0x30 | nibble) : ('A' + nibble - 10));
}

void BytesToHexText(const uint8_t *bytes, char *text, int32_t n, bool spaced) {
    const int32_t stride = spaced ? 3 : 2;
    for (int32_t i = 0; i < n; ++i) {
        char *out = text + static_cast<std::ptrdiff_t>(i) * stride;
        out[0] = NibbleToHexChar(static_cast<uint8_t>(bytes[i] >> 4));
        out[1] = NibbleToHexChar(bytes[i]);
        if (spaced) out[2] = ' ';
    }
}

namespace {

int HexCharValue(char c) {
    const int code = static_cast<int8_t>(static_cast<uint8_t>(c));
    return code > 0x40 ? (code & 0x0F) + 9 : (code & 0x0F);
}

char CharAt(std::string_view text, std::size_t position) {
    return position < text.size() ? text[position] : ' ';
}

}  // namespace

uint8_t HexPairToByte(char high, char low) {
    return static_cast<uint8_t>((HexCharValue(high) * 16 + HexCharValue(low)) & 0xFF);
}

void HexTextToBytes(std::string_view text, uint8_t *bytes, int32_t n, bool spaced) {
    const std::size_t stride = spaced ? 3 : 2;
    for (int32_t i = 0; i < n; ++i) {
        const std::size_t at = static_cast<std::size_t>(i) * stride;
        bytes[i] = HexPairToByte(CharAt(text, at), CharAt(text, at + 1));
    }
}
