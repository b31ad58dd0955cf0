#include "settings_rules.h"

#include "system_services.h"

#include <stdexcept>

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int32_t ParseProfileInteger(std::string_view text, int32_t fallback) {
    std::size_t hexPrefix = 0;
    if (text.starts_with("0x") || text.starts_with("0X")) hexPrefix = 2;
    else if (text.starts_with("$") || text.starts_with("x") || text.starts_with("X")) hexPrefix = 1;
    if (hexPrefix > 0) {
        const std::string_view hex = text.substr(hexPrefix);
        if (hex.empty() || hex.size() > 8) return fallback;
        uint32_t value = 0;
        for (char c : hex) {
            const int digit = HexDigitValue(c);
            if (digit < 0) return fallback;
            value = value * 16 + uint32_t(digit);
        }
        return static_cast<int32_t>(value);
    }

    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return fallback;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return fallback;
        value = value * 10 + (c - '0');
        if (value > int64_t(INT32_MAX) + 1) return fallback;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return fallback;
    return static_cast<int32_t>(value);
}

std::optional<int32_t> PortValueToStore(std::string_view portText) {
    constexpr std::size_t kDigitAt = 3;
    if (portText.empty() || portText.front() != 'C') return std::nullopt;
    if (portText.size() <= kDigitAt) return std::nullopt;  // no port digit: nothing to remember
    return static_cast<int8_t>(portText[kDigitAt]) - '0';
}

std::string UnableToWriteMessage(const std::string &path) { return "Unable to write to " + path; }

int32_t ReadPortSetting(SystemServices &system, const std::string &path) {
    return ParseProfileInteger(system.ReadProfileString(path, kPortSection, kPortKey), 1);
}

void WritePortSetting(SystemServices &system, const std::string &path, int32_t value) {
    if (!system.WriteProfileString(path, kPortSection, kPortKey, std::to_string(value)))
        throw std::runtime_error(UnableToWriteMessage(path));
}
