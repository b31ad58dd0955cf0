#include "display_rules.h"

#include <cctype>

std::string ApplicationTitleFor(std::string_view executablePath) {
    const std::size_t slash = executablePath.find_last_of("\\/:");
    std::string_view name = slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    std::string title(name);
    for (std::size_t i = 1; i < title.size(); ++i)
        title[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(title[i])));
    return title;
}

std::string WithClosingFullStop(const std::string &message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + '.';
    return message;
}

uint8_t PortNumberFromText(std::string_view text, uint8_t current) {
    constexpr std::size_t kDigitAt = 3;
    if (text.empty() || text.front() != 'C' || text.size() <= kDigitAt) return current;
    return static_cast<uint8_t>(text[kDigitAt] - '0');
}
