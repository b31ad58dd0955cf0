#include "identity_codec.h"

#include <charconv>
#include <cstddef>

#include "hex_codec.h"
#include "park_codec.h"

std::string FormatIdentity(const uint8_t *bytes, int32_t n, IdentityMode mode) {
    switch (mode) {
    case IdentityMode::Hex: {
        if (n <= 0) return {};
        std::string text(static_cast<std::size_t>(n) * 3, ' ');
        BytesToHexText(bytes, text.data(), n, true);
        return text;
    }
    case IdentityMode::Octal: {
        char digits[13];
        RfpiToOctalDigits(digits, bytes);
        return std::string(digits, 12);
    }
    case IdentityMode::LowSixBits:
        return std::to_string(bytes[0] & 0x3F);
    case IdentityMode::BoundedDecimal:
        break;
    }
    return {};  // no format, also for a byte that names no mode
}

std::string FormatIdentity(const uint8_t *bytes, int32_t n, uint8_t mode) {
    return FormatIdentity(bytes, n, static_cast<IdentityMode>(mode));
}

int32_t IntPower(int32_t base, int32_t exponent) {
    if (exponent <= 1) return base;
    // Square-and-multiply modulo 2^32 gives exactly what repeated wrapping multiplication gives.
    uint32_t result = 1;
    uint32_t factor = static_cast<uint32_t>(base);
    for (auto e = static_cast<uint32_t>(exponent); e != 0; e >>= 1) {
        if (e & 1) result *= factor;
        factor *= factor;
    }
    return static_cast<int32_t>(result);
}

namespace {

// A plain decimal: an optional "+" or "-", then digits only, within 32 bits; no blanks.
bool ParseDecimal(std::string_view text, int32_t &value) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return false;  // "+-5"
    }
    if (text.empty()) return false;
    const char *last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    return error == std::errc() && end == last;
}

// Stores a decimal identity of n bytes. One byte takes the value's low byte. Wider identities
// are stored most significant byte first, as every DECT identity is held, zero-filled in front.
void StoreDecimal(uint32_t value, uint8_t *bytes, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        const int32_t fromEnd = n - 1 - i;
        bytes[i] = fromEnd < 4 ? static_cast<uint8_t>(value >> (8 * fromEnd)) : 0;
    }
}

bool ParseBoundedDecimal(std::string_view text, uint8_t *bytes, int32_t n) {
    if (n <= 0) return false;  // no byte to store into
    int32_t value = 0;
    if (!ParseDecimal(text, value)) return false;
    if (value < 0) return false;  // an RPN is never negative
    // The bound 2^(8n) exceeds every 32-bit value from n = 4 on; below that it fits in 64 bits.
    if (n < 4 && static_cast<int64_t>(value) >= (int64_t{1} << (8 * n))) return false;
    StoreDecimal(static_cast<uint32_t>(value), bytes, n);
    return true;
}

}  // namespace

bool ParseIdentity(std::string_view text, uint8_t *bytes, int32_t n, IdentityMode mode) {
    switch (mode) {
    case IdentityMode::Hex:
        HexTextToBytes(text, bytes, n, true);
        return true;
    case IdentityMode::Octal:
        OctalTextToRfpi(text, bytes);
        return true;
    case IdentityMode::BoundedDecimal:
        return ParseBoundedDecimal(text, bytes, n);
    case IdentityMode::LowSixBits:
        break;
    }
    return false;  // no parse, also for a byte that names no mode
}

bool ParseIdentity(std::string_view text, uint8_t *bytes, int32_t n, uint8_t mode) {
    return ParseIdentity(text, bytes, n, static_cast<IdentityMode>(mode));
}
