#include "park_codec.h"

#include <algorithm>
#include <cstddef>

namespace {

// A bit position in a byte array: the byte and a one-bit mask, from the most significant bit.
struct BitCursor {
    std::size_t byte = 0;
    uint8_t mask = 0x80;

    void Step() {
        if (mask == 0x01) {
            ++byte;
            mask = 0x80;
        } else {
            mask = static_cast<uint8_t>(mask >> 1);
        }
    }
};

}  // namespace

void PutBits(uint8_t width, uint8_t *bytes, uint16_t bitOffset, uint8_t value) {
    BitCursor cursor;
    for (uint16_t i = 0; i < bitOffset; ++i) cursor.Step();
    for (int bit = width - 1; bit >= 0; --bit) {
        const bool set = bit < 8 && ((value >> bit) & 1) != 0;
        if (set) {
            bytes[cursor.byte] = static_cast<uint8_t>(bytes[cursor.byte] | cursor.mask);
        } else {
            bytes[cursor.byte] = static_cast<uint8_t>(bytes[cursor.byte] & ~cursor.mask);
        }
        cursor.Step();
    }
}

void OctalTextToRfpi(std::string_view text, uint8_t *rfpi) {
    for (std::size_t i = 0; i < 12; ++i) {
        const char c = i < text.size() ? text[i] : ' ';
        const auto digit = static_cast<uint8_t>(static_cast<uint8_t>(c) - 0x30);
        PutBits(3, rfpi, static_cast<uint16_t>(3 * i + 1), digit);
    }
}

void RfpiToOctalDigits(char *digits, const uint8_t *rfpi) {
    // Each 16-bit window covers whole digits: bits 1-15, 17-31 and 31-36 of the RFPI.
    const unsigned first = rfpi[0] * 256u + rfpi[1];
    const unsigned middle = rfpi[2] * 256u + rfpi[3];
    const unsigned last = rfpi[3] * 256u + rfpi[4];
    const unsigned values[12] = {
        first >> 12, first >> 9, first >> 6, first >> 3, first,
        middle >> 13, middle >> 10, middle >> 7, middle >> 4, middle >> 1,
        last >> 6, last >> 3,
    };
    for (std::size_t k = 0; k < 12; ++k) digits[k] = static_cast<char>(0x30 + (values[k] & 7));
    digits[12] = '\0';
}

uint8_t ParkCheckDigit(std::string_view text, int32_t length) {
    const std::size_t count =
        length <= 0 ? 0 : std::min(text.size(), static_cast<std::size_t>(length));
    uint16_t sum = 0;
    uint8_t weight = 1;
    for (std::size_t i = 0; i < count; ++i) {
        const int digit = static_cast<int8_t>(static_cast<uint8_t>(text[i])) - 0x30;
        sum = static_cast<uint16_t>(sum + weight * digit);
        weight = static_cast<uint8_t>(weight + 1);
    }
    return static_cast<uint8_t>(sum % 11);
}
