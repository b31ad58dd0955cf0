#include "configuration_report.h"

#include <algorithm>
#include <array>

#include "hex_codec.h"
#include "image_layout.h"
#include "memory_fields.h"

namespace {

// The hex forms end in the last pair's blank; the reports show the pairs only.
std::string Pairs(const std::string &hex) {
    std::string text = hex;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

const char *OnOff(bool on) { return on ? "on" : "off"; }

std::string Byte(uint8_t value) {
    const char text[2] = {NibbleToHexChar(static_cast<uint8_t>(value >> 4)), NibbleToHexChar(value)};
    return std::string(text, 2);
}

}  // namespace

std::string JsonString(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string ConfigurationText(const DisplayFields &f) {
    return "Parent RFPI:        " + Pairs(f.rfpiHex) + "\n" +
           "PARK:               " + f.parkPli + " " + f.parkDigits + " " + f.parkCheck + "\n" +
           "Base RPN:           " + f.baseRpn + "\n" +
           "Repeater RPN:       " + f.repeaterRpn + "\n" +
           "Monitor beep:       " + OnOff(f.monitorBeep) + "\n" +
           "Ignore HOP control: " + OnOff(f.ignoreHop) + "\n" +
           "Repeater RFPI:      " + Pairs(f.repeaterRfpiHex) + "\n";
}

std::string ConfigurationJson(const DisplayFields &f, const std::string &port, unsigned retries) {
    auto boolean = [](bool b) { return b ? "true" : "false"; };
    return "{\"port\": " + JsonString(port) +
           ", \"parent_rfpi\": " + JsonString(Pairs(f.rfpiHex)) +
           ", \"park_pli\": " + JsonString(f.parkPli) +
           ", \"park_digits\": " + JsonString(f.parkDigits) +
           ", \"park_check\": " + JsonString(f.parkCheck) +
           ", \"base_rpn\": " + f.baseRpn +
           ", \"repeater_rpn\": " + f.repeaterRpn +
           ", \"monitor_beep\": " + boolean(f.monitorBeep) +
           ", \"ignore_hop_control\": " + boolean(f.ignoreHop) +
           ", \"repeater_rfpi\": " + JsonString(Pairs(f.repeaterRfpiHex)) +
           ", \"retries\": " + std::to_string(retries) + "}\n";
}

DisplayFields FieldsOf(const uint8_t *image) {
    std::array<uint8_t, layout::kImageSize> copy{};
    std::copy_n(image, copy.size(), copy.begin());
    return RefreshImageForDisplay(copy.data());
}

std::string ImageDifferences(const uint8_t *first, const uint8_t *second, std::size_t size,
                             const char *firstWord, const char *secondWord) {
    std::string lines;
    for (std::size_t i = 0; i < size; ++i) {
        if (first[i] == second[i]) continue;
        const std::string name = ByteName(MemoryArea::Image, i);
        lines += "byte " + std::to_string(i) + " (0x" + Byte(static_cast<uint8_t>(i)) +
                 (name.empty() ? "" : ", " + name) + "): " + firstWord + " " + Byte(first[i]) +
                 ", " + secondWord + " " + Byte(second[i]) + "\n";
    }
    return lines;
}
