#include "image_rules.h"

#include <algorithm>
#include <cstddef>

#include "identity_codec.h"
#include "image_layout.h"
#include "park_codec.h"

namespace {

constexpr int32_t kRfpiBytes = static_cast<int32_t>(layout::kRfpiSize);
constexpr std::size_t kShownParkDigits = 11;
constexpr char kBlank = ' ';  // what a masked field holds in a position not yet filled

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

uint8_t *ParentRfpi(uint8_t *image) { return image + layout::kParentRfpi; }
const uint8_t *ParentRfpi(const uint8_t *image) { return image + layout::kParentRfpi; }

bool BitSet(uint8_t byte, uint8_t bit) { return (byte & bit) != 0; }

// ARI class A: the class bits of the parent RFPI all zero; its RPN has three bits.
bool ParentIsClassA(const uint8_t *image) {
    return (image[layout::kParentRfpi] & layout::kAriClassBits) == 0;
}

}  // namespace

uint8_t RpnMask(const uint8_t *image) {
    return ParentIsClassA(image) ? 0x07 : 0xFF;
}

char ParkCheckCharacter(uint8_t checkDigit) {
    return checkDigit == 10 ? '*' : static_cast<char>('0' + checkDigit % 10);
}

std::array<uint8_t, 5> RepeaterRfpi(const uint8_t *image) {
    std::array<uint8_t, 5> rfpi{};
    std::copy_n(ParentRfpi(image), rfpi.size(), rfpi.begin());
    const uint8_t mask = RpnMask(image);
    rfpi[4] = static_cast<uint8_t>((rfpi[4] & ~mask) | (image[layout::kRepeaterRpn] & mask));
    return rfpi;
}

DisplayFields RefreshImageForDisplay(uint8_t *image) {
    DisplayFields fields;
    const uint8_t mask = RpnMask(image);

    // "31" and the twelve PARK digits; the twelfth is held aside, the check digit covers the rest.
    std::string park = "31" + FormatIdentity(ParentRfpi(image), kRfpiBytes, IdentityMode::Octal);
    fields.parkLastDigit = park.back();
    park.pop_back();
    fields.parkCheck = std::string(1, ParkCheckCharacter(
        ParkCheckDigit(park, static_cast<int32_t>(park.size()))));

    fields.rfpiHex = FormatIdentity(ParentRfpi(image), kRfpiBytes, IdentityMode::Hex);
    fields.parkDigits = park.substr(2);
    fields.parkPli = park.substr(0, 2);
    fields.baseRpn = std::to_string(image[layout::kParentRpn] & mask);

    image[layout::kRepeaterRpn] = static_cast<uint8_t>(image[layout::kRepeaterRpn] & mask);
    fields.repeaterRpn = std::to_string(image[layout::kRepeaterRpn]);

    fields.monitorBeep = BitSet(image[layout::kMonitorBeep], layout::kSwitchBit);
    fields.ignoreHop = BitSet(image[layout::kHopControl], layout::kSwitchBit);
    image[layout::kFixedA8] = layout::kFixedA8Value;

    const std::array<uint8_t, 5> repeater = RepeaterRfpi(image);
    fields.repeaterRfpiHex = FormatIdentity(repeater.data(), kRfpiBytes, IdentityMode::Hex);
    return fields;
}

RuleResult ApplyRfpiText(uint8_t *image, std::string_view hexText) {
    for (std::size_t pair = 0; pair < layout::kRfpiSize; ++pair) {
        for (std::size_t at : {3 * pair, 3 * pair + 1}) {
            const char c = at < hexText.size() ? hexText[at] : kBlank;
            if (!IsHexDigit(c) && c != kBlank) return RuleResult::Refused(kRfpiFormatMessage);
        }
    }
    ParseIdentity(hexText, ParentRfpi(image), kRfpiBytes, IdentityMode::Hex);
    return RuleResult::Ok();
}

RuleResult ApplyParkText(uint8_t *image, std::string_view elevenDigits, char lastDigit) {
    if (elevenDigits.size() > kShownParkDigits) return RuleResult::Refused(kParkFormatMessage);
    for (char c : elevenDigits) {
        if (!IsOctalDigit(c) && c != kBlank) return RuleResult::Refused(kParkFormatMessage);
    }
    if (!IsOctalDigit(lastDigit) && lastDigit != '\0') {
        return RuleResult::Refused(kParkFormatMessage);
    }
    std::string twelve(elevenDigits);
    twelve.resize(kShownParkDigits, kBlank);
    twelve.push_back(lastDigit);
    ParseIdentity(twelve, ParentRfpi(image), kRfpiBytes, IdentityMode::Octal);
    return RuleResult::Ok();
}

RuleResult ApplyBaseRpnText(uint8_t *image, std::string_view decimalText) {
    const uint8_t mask = RpnMask(image);
    uint8_t value = 0;
    if (!ParseIdentity(decimalText, &value, 1, IdentityMode::BoundedDecimal)) {
        return RuleResult::Refused(kBaseRpnFormatMessage);
    }
    uint8_t &rpnByte = image[layout::kParentRpn];
    rpnByte = static_cast<uint8_t>((rpnByte & ~mask) | (value & mask));
    return RuleResult::Ok();
}

RuleResult ApplyRepeaterRpnText(uint8_t *image, std::string_view decimalText) {
    if (!ParseIdentity(decimalText, image + layout::kRepeaterRpn, 1, IdentityMode::BoundedDecimal)) {
        return RuleResult::Refused(kRepeaterRpnFormatMessage);
    }
    return RuleResult::Ok();
}

void ApplyMonitorBeep(uint8_t *image, bool on) {
    uint8_t &byte = image[layout::kMonitorBeep];
    byte = static_cast<uint8_t>(on ? (byte | layout::kSwitchBit) : (byte & ~layout::kSwitchBit));
}

RuleResult PrepareImageForSave(uint8_t *image, bool ignoreHop, std::string_view repeaterRpnText,
                               std::string_view baseRpnText) {
    image[layout::kHopControl] = ignoreHop ? layout::kHopIgnored : layout::kHopObeyed;
    if (repeaterRpnText == baseRpnText) return RuleResult::Refused(kEqualRpnMessage);
    if (ParentIsClassA(image)) {
        image[layout::kRepeaterRpn] = static_cast<uint8_t>(image[layout::kRepeaterRpn] & 0x07);
    }
    image[layout::kClearedBeforeSave1] = 0;
    image[layout::kClearedBeforeSave2] = 0;
    return RuleResult::Ok();
}
