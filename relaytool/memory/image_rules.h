// The rules over the configuration image that every front end applies the same way: what the
// display shows and updates, how edited texts reach the image, and the preparation before a
// write. Plain functions over an image of at least 80 bytes (normally ConfigImage); no UI.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Messages of rejected edits and refused saves.
inline constexpr const char *kRfpiFormatMessage = "Rfpi does not have right format";
inline constexpr const char *kParkFormatMessage = "Park does not have right format";
inline constexpr const char *kBaseRpnFormatMessage = "Base rpn does not have right format";
inline constexpr const char *kRepeaterRpnFormatMessage = "Repeater rpn does not have right format";
inline constexpr const char *kEqualRpnMessage = "Repeater RPN cannot be equal to base RPN!";

// The bits of the last RFPI byte that carry the RPN: 0x07 when the parent's ARI class is A (the
// class bits 0x70 of image byte 68 all zero), else 0xFF.
uint8_t RpnMask(const uint8_t *image);

// The check character shown for a PARK check digit: "*" for 10, else the digit.
char ParkCheckCharacter(uint8_t checkDigit);

// The RFPI the repeater transmits: the parent RFPI with its RPN bits replaced by image byte 2
// (under RpnMask, as the display leaves byte 2).
std::array<uint8_t, 5> RepeaterRfpi(const uint8_t *image);

// Everything the window shows after a display refresh.
struct DisplayFields {
    std::string rfpiHex;          // parent RFPI, "02 5A 3C 81 43 " (15 characters)
    std::string parkPli;          // always "31"
    std::string parkDigits;       // the first eleven octal PARK digits
    char parkLastDigit = '\0';    // the twelfth digit, held aside
    std::string parkCheck;        // the check character, "0".."9" or "*"
    std::string baseRpn;          // image byte 72 under RpnMask, decimal
    std::string repeaterRpn;      // image byte 2 under RpnMask, decimal
    bool monitorBeep = false;     // bit 7 of byte 17
    bool ignoreHop = false;       // bit 7 of byte 5
    std::string repeaterRfpiHex;  // RepeaterRfpi in hex (15 characters)
};

// The display refresh: reduces image byte 2 to RpnMask and sets byte 67 to 0xA8 (the image is
// changed), and returns the fields. The caller stores parkLastDigit in ParkLastDigit.
DisplayFields RefreshImageForDisplay(uint8_t *image);

// The outcome of an edit or of the save preparation: applied, or the message to show.
struct RuleResult {
    bool ok = true;
    std::string message;  // empty when ok

    static RuleResult Ok() { return {}; }
    static RuleResult Refused(const char *text) { return {false, text}; }
};

// The parent RFPI from the 14-character hex text (pairs at 0-1, 3-4, 6-7, 9-10, 12-13) into
// bytes 68 to 72. A character other than 0-9, A-F, a-f or the field's blank in a pair position
// is refused with kRfpiFormatMessage and the image is left unchanged. Missing characters count
// as blanks, which read as 0.
RuleResult ApplyRfpiText(uint8_t *image, std::string_view hexText);

// The eleven shown PARK digits followed by lastDigit into RFPI bits 1 to 36; the E bit and the
// last three bits stay. A digit other than 0-7 (or the field's blank), a text longer than eleven
// characters, or a lastDigit other than 0-7 or NUL is refused with kParkFormatMessage and the
// image is left unchanged.
RuleResult ApplyParkText(uint8_t *image, std::string_view elevenDigits, char lastDigit);

// The base RPN (decimal, below 256) into byte 72 under RpnMask; other bits of the value are
// dropped. Refused with kBaseRpnFormatMessage, image unchanged.
RuleResult ApplyBaseRpnText(uint8_t *image, std::string_view decimalText);

// The repeater RPN (decimal, below 256) into byte 2 whole; the next display reduces it to
// RpnMask. Refused with kRepeaterRpnFormatMessage, image unchanged.
RuleResult ApplyRepeaterRpnText(uint8_t *image, std::string_view decimalText);

// Bit 7 of byte 17; the other bits stay.
void ApplyMonitorBeep(uint8_t *image, bool on);

// The steps before a write, in this order: byte 5 becomes 0x82 or 0x02 from the HOP switch
// (also when the save is then refused); equal RPN *texts* refuse the save with
// kEqualRpnMessage; for ARI class A byte 2 keeps only its low three bits; bytes 22 and 23
// become 0.
RuleResult PrepareImageForSave(uint8_t *image, bool ignoreHop, std::string_view repeaterRpnText,
                               std::string_view baseRpnText);
