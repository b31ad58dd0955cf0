#include "field_edits.h"

#include <array>
#include <cctype>
#include <utility>

#include "identity_codec.h"
#include "image_layout.h"
#include "workflow_state.h"

namespace {

constexpr std::size_t kRfpiDigits = 10;
constexpr std::size_t kShownParkDigits = 11;

void Refresh(uint8_t *image, DisplayFields &shown) {
    shown = RefreshImageForDisplay(image);
    ParkLastDigit = shown.parkLastDigit;
}

// The PARK field holds eleven digits; the window's mask and key filter let nothing else in.
bool IsParkFieldText(const std::string &text) {
    if (text.size() != kShownParkDigits) return false;
    for (char c : text)
        if (c < '0' || c > '7') return false;
    return true;
}

}  // namespace

bool RfpiFieldText(const std::string &argument, std::string &fieldText) {
    std::string text = argument;
    if (!text.empty() && text.back() == ' ') text.pop_back();
    std::string digits;
    const std::size_t separated = 3 * kRfpiDigits / 2 - 1;  // 14
    if (text.size() == separated) {
        const char separator = text[2];
        if (separator != ' ' && separator != ':') return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i % 3 == 2) {
                if (text[i] != separator) return false;
            } else {
                digits += text[i];
            }
        }
    } else if (text.size() == kRfpiDigits) {
        digits = text;
    } else {
        return false;
    }
    fieldText.clear();
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(digits[i]))) return false;
        if (i > 0 && i % 2 == 0) fieldText += ' ';
        fieldText += digits[i];
    }
    return true;
}

RuleResult ApplyFieldEdits(uint8_t *image, const FieldEdits &edits, DisplayFields &shown) {
    Refresh(image, shown);
    if (edits.parentRfpi) {
        std::string text;
        if (!RfpiFieldText(*edits.parentRfpi, text)) return RuleResult::Refused(kRfpiFormatMessage);
        if (RuleResult r = ApplyRfpiText(image, text); !r.ok) return r;
        Refresh(image, shown);
    }
    if (edits.park) {
        if (!IsParkFieldText(*edits.park)) return RuleResult::Refused(kParkFormatMessage);
        if (RuleResult r = ApplyParkText(image, *edits.park, ParkLastDigit); !r.ok) return r;
        Refresh(image, shown);
    }
    if (edits.baseRpn) {
        if (RuleResult r = ApplyBaseRpnText(image, *edits.baseRpn); !r.ok) return r;
        Refresh(image, shown);
    }
    if (edits.repeaterRpn) {
        if (RuleResult r = ApplyRepeaterRpnText(image, *edits.repeaterRpn); !r.ok) return r;
        Refresh(image, shown);
    }
    if (edits.monitorBeep) ApplyMonitorBeep(image, *edits.monitorBeep);
    return RuleResult::Ok();
}

RuleResult PrepareForWrite(uint8_t *image, const FieldEdits &edits, const DisplayFields &shown) {
    return PrepareImageForSave(image, edits.ignoreHop.value_or(shown.ignoreHop), shown.repeaterRpn,
                               shown.baseRpn);
}

RuleResult CheckRpnClass(const uint8_t *image, const FieldEdits &edits) {
    const uint8_t mask = RpnMask(image);
    const std::pair<const std::optional<std::string> *, const char *> rpns[] = {
        {&edits.baseRpn, "Base RPN "}, {&edits.repeaterRpn, "Repeater RPN "}};
    for (const auto &[text, name] : rpns) {
        uint8_t value = 0;
        if (!*text || !ParseIdentity(**text, &value, 1, IdentityMode::BoundedDecimal)) continue;
        if ((value & mask) != value)
            return {false, name + std::to_string(value) + " " + kRpnBeyondClassAText};
    }
    return RuleResult::Ok();
}

RuleResult CheckFieldEdits(const FieldEdits &edits) {
    std::array<uint8_t, layout::kImageSize> scratch{};
    const char keptLastDigit = ParkLastDigit;
    DisplayFields shown;
    const RuleResult result = ApplyFieldEdits(scratch.data(), edits, shown);
    ParkLastDigit = keptLastDigit;
    return result;
}
