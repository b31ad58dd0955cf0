#include "port_choice.h"

uint8_t PortNumberFromText(std::string_view text, uint8_t current) {
    constexpr std::size_t kDigitAt = 3;
    if (text.empty() || text.front() != 'C' || text.size() <= kDigitAt) return current;
    return static_cast<uint8_t>(text[kDigitAt] - '0');
}
