// "COM1" to "COM9" (any letter case) as a --port argument, on every platform.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>

// True when text names COM1..COM9; number receives the digit.
inline bool IsComName(const std::string &text, uint8_t &number) {
    if (text.size() != 4) return false;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return false;
    if (text[3] < '1' || text[3] > '9') return false;
    number = static_cast<uint8_t>(text[3] - '0');
    return true;
}
