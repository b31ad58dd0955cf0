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

std::vector<ConfigurationRow> ConfigurationRows(const DisplayFields &f) {
    return {{"Parent RFPI", Pairs(f.rfpiHex)},
            {"PARK", f.parkPli + " " + f.parkDigits + " " + f.parkCheck},
            {"Base RPN", f.baseRpn},
            {"Repeater RPN", f.repeaterRpn},
            {"Monitor beep", OnOff(f.monitorBeep)},
            {"Ignore HOP control", OnOff(f.ignoreHop)},
            {"Repeater RFPI", Pairs(f.repeaterRfpiHex)}};
}

std::string LabelColumn(const std::string &label) {
    constexpr std::size_t kWidth = 20;  // "Ignore HOP control: "
    std::string text = label.empty() ? label : label + ":";
    text.resize(std::max(kWidth, text.size() + 1), ' ');
    return text;
}

std::string ConfigurationText(const DisplayFields &f) {
    std::string text;
    for (const ConfigurationRow &row : ConfigurationRows(f)) text += LabelColumn(row.label) + row.value + "\n";
    return text;
}

std::string ConfigurationJson(const DisplayFields &f, const std::string &port, unsigned retries) {
    return "{\"port\": " + JsonString(port) + ", " + ConfigurationJsonMembers(f) +
           ", \"retries\": " + std::to_string(retries) + "}\n";
}

std::string ConfigurationJsonMembers(const DisplayFields &f) {
    auto boolean = [](bool b) { return b ? "true" : "false"; };
    return "\"parent_rfpi\": " + JsonString(Pairs(f.rfpiHex)) +
           ", \"park_pli\": " + JsonString(f.parkPli) +
           ", \"park_digits\": " + JsonString(f.parkDigits) +
           ", \"park_check\": " + JsonString(f.parkCheck) +
           ", \"base_rpn\": " + f.baseRpn +
           ", \"repeater_rpn\": " + f.repeaterRpn +
           ", \"monitor_beep\": " + boolean(f.monitorBeep) +
           ", \"ignore_hop_control\": " + boolean(f.ignoreHop) +
           ", \"repeater_rfpi\": " + JsonString(Pairs(f.repeaterRfpiHex));
}

DisplayFields FieldsOf(const uint8_t *image) {
    std::array<uint8_t, layout::kImageSize> copy{};
    std::copy_n(image, copy.size(), copy.begin());
    return RefreshImageForDisplay(copy.data());
}

std::vector<ByteDifference> DifferingBytes(const uint8_t *first, const uint8_t *second, std::size_t size) {
    std::vector<ByteDifference> differences;
    for (std::size_t i = 0; i < size; ++i)
        if (first[i] != second[i]) differences.push_back({i, first[i], second[i]});
    return differences;
}

std::string DifferenceLines(const std::vector<ByteDifference> &differences, const char *firstWord,
                            const char *secondWord) {
    std::string lines;
    for (const ByteDifference &d : differences) {
        const std::string name = ByteName(MemoryArea::Image, d.offset);
        lines += "byte " + std::to_string(d.offset) + " (0x" + Byte(static_cast<uint8_t>(d.offset)) +
                 (name.empty() ? "" : ", " + name) + "): " + firstWord + " " + Byte(d.first) + ", " +
                 secondWord + " " + Byte(d.second) + "\n";
    }
    return lines;
}

std::string ImageDifferences(const uint8_t *first, const uint8_t *second, std::size_t size,
                             const char *firstWord, const char *secondWord) {
    return DifferenceLines(DifferingBytes(first, second, size), firstWord, secondWord);
}
