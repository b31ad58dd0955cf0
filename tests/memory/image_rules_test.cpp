// The shared image rules: display updates, field edits, save preparation.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <ostream>
#include <string>

#include "image_rules.h"

namespace {

using Image = std::array<uint8_t, 80>;

// An image whose every byte differs, with the given parent RFPI in bytes 68 to 72.
Image ImageWithParent(std::array<uint8_t, 5> rfpi) {
    Image image;
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(0x30 + i);
    std::copy(rfpi.begin(), rfpi.end(), image.begin() + 68);
    return image;
}

const std::array<uint8_t, 5> kClassA = {0x02, 0x5A, 0x3C, 0x81, 0x43};
const std::array<uint8_t, 5> kClassB = {0x12, 0x34, 0x56, 0x78, 0x9A};

void ExpectOnlyChanged(const Image &before, const Image &after, std::initializer_list<int> bytes) {
    for (int i = 0; i < 80; ++i) {
        if (std::find(bytes.begin(), bytes.end(), i) == bytes.end()) {
            EXPECT_EQ(after[i], before[i]) << "byte " << i << " changed";
        }
    }
}

TEST(MemoryImageRules, RpnMaskFollowsTheAriClassBits) {
    const std::pair<uint8_t, uint8_t> cases[] = {
        {0x02, 0x07}, {0x0F, 0x07}, {0x80, 0x07}, {0x8F, 0x07},
        {0x10, 0xFF}, {0x20, 0xFF}, {0x40, 0xFF}, {0x70, 0xFF}, {0xF0, 0xFF}};
    for (const auto &[byte68, mask] : cases) {
        Image image{};
        image[68] = byte68;
        EXPECT_EQ(RpnMask(image.data()), mask) << int(byte68);
    }
}

TEST(MemoryImageRules, ParkCheckCharacterShowsTenAsStar) {
    for (uint8_t d = 0; d < 10; ++d) EXPECT_EQ(ParkCheckCharacter(d), '0' + d);
    EXPECT_EQ(ParkCheckCharacter(10), '*');
}

struct DisplayCase {
    const char *name;
    std::array<uint8_t, 5> parent;
    uint8_t repeaterRpn, hop, beep;
    // Expected:
    const char *rfpiHex, *parkDigits;
    char lastDigit;
    const char *check, *baseRpn, *repeaterRpnText;
    uint8_t byte2After;
    bool beepOn, hopOn;
    const char *repeaterRfpiHex;
};

void PrintTo(const DisplayCase &c, std::ostream *os) { *os << c.name; }

class Display : public testing::TestWithParam<DisplayCase> {};

TEST_P(Display, ShowsTheImageAndAppliesTheDisplayUpdates) {
    const DisplayCase &c = GetParam();
    Image image = ImageWithParent(c.parent);
    image[2] = c.repeaterRpn;
    image[5] = c.hop;
    image[17] = c.beep;
    image[67] = 0x00;
    const Image before = image;

    const DisplayFields f = RefreshImageForDisplay(image.data());
    EXPECT_EQ(f.rfpiHex, c.rfpiHex);
    EXPECT_EQ(f.parkPli, "31");
    EXPECT_EQ(f.parkDigits, c.parkDigits);
    EXPECT_EQ(f.parkLastDigit, c.lastDigit);
    EXPECT_EQ(f.parkCheck, c.check);
    EXPECT_EQ(f.baseRpn, c.baseRpn);
    EXPECT_EQ(f.repeaterRpn, c.repeaterRpnText);
    EXPECT_EQ(f.monitorBeep, c.beepOn);
    EXPECT_EQ(f.ignoreHop, c.hopOn);
    EXPECT_EQ(f.repeaterRfpiHex, c.repeaterRfpiHex);

    EXPECT_EQ(image[2], c.byte2After);
    EXPECT_EQ(image[67], 0xA8);
    ExpectOnlyChanged(before, image, {2, 67});
}

INSTANTIATE_TEST_SUITE_P(
    Memory, Display,
    testing::Values(
        // Class A: 3-bit RPNs; byte 2 is cut to its low three bits.
        DisplayCase{"ClassA", kClassA, 0x1D, 0x82, 0x80, "02 5A 3C 81 43 ", "01132171005", '0',
                    "5", "3", "5", 0x05, true, true, "02 5A 3C 81 45 "},
        DisplayCase{"ClassAStar", {0x02, 0x5A, 0x3C, 0x06, 0x00}, 0x07, 0x7F, 0x7F,
                    "02 5A 3C 06 00 ", "01132170030", '0', "*", "0", "7", 0x07, false, false,
                    "02 5A 3C 06 07 "},
        // Another class: 8-bit RPNs, byte 2 kept whole and replacing the whole last byte.
        DisplayCase{"ClassB", kClassB, 0xC8, 0x02, 0xFF, "12 34 56 78 9A ", "11064254742", '3',
                    "9", "154", "200", 0xC8, true, false, "12 34 56 78 C8 "}));

TEST(MemoryImageRules, RfpiTextEditsTheParentRfpiOnly) {
    struct Case {
        const char *text;
        bool accepted;
        std::array<uint8_t, 5> parent;  // expected when accepted
    };
    const Case cases[] = {
        {"12 34 56 78 9a", true, {0x12, 0x34, 0x56, 0x78, 0x9A}},
        {"ab cd ef 01 23 ", true, {0xAB, 0xCD, 0xEF, 0x01, 0x23}},
        {"02-5A-3C-81-43", true, {0x02, 0x5A, 0x3C, 0x81, 0x43}},  // separators not read
        {"              ", true, {0, 0, 0, 0, 0}},  // the untouched start-up field: blanks are 0
        {"02 5A", true, {0x02, 0x5A, 0, 0, 0}},
        // Pasted letters beyond F are refused instead of turning into wrong bits.
        {"02 5A 3C 81 4G", false, {}},
        {"G2 5A 3C 81 43", false, {}},
        {"02 5Z 3C 81 43", false, {}},
        {"02 5A 3C.81 43", true, {0x02, 0x5A, 0x3C, 0x81, 0x43}},
        {"02 5A 3C 8. 43", false, {}},
    };
    for (const Case &c : cases) {
        Image image = ImageWithParent(kClassA);
        const Image before = image;
        const RuleResult result = ApplyRfpiText(image.data(), c.text);
        EXPECT_EQ(result.ok, c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(result.message, "");
            EXPECT_TRUE(std::equal(c.parent.begin(), c.parent.end(), image.begin() + 68)) << c.text;
            ExpectOnlyChanged(before, image, {68, 69, 70, 71, 72});
        } else {
            EXPECT_EQ(result.message, "Rfpi does not have right format") << c.text;
            EXPECT_EQ(image, before) << c.text;
        }
    }
}

TEST(MemoryImageRules, ParkTextEditsBitsOneToThirtySix) {
    struct Case {
        const char *digits;
        char last;
        bool accepted;
        std::array<uint8_t, 5> parent;
    };
    const Case cases[] = {
        // The example PARK unchanged gives the same RFPI back.
        {"01132171005", '0', true, {0x02, 0x5A, 0x3C, 0x81, 0x43}},
        // A NUL twelfth digit (before the first display) counts as 0.
        {"01132171005", '\0', true, {0x02, 0x5A, 0x3C, 0x81, 0x43}},
        {"01132171005", '7', true, {0x02, 0x5A, 0x3C, 0x81, 0x7B}},
        // The first digit carries the ARI class: 1 makes class B, and the E bit stays.
        {"11132171005", '0', true, {0x12, 0x5A, 0x3C, 0x81, 0x43}},
        {"77777777777", '7', true, {0x7F, 0xFF, 0xFF, 0xFF, 0xFB}},
        {"0113217100", '0', true, {0x02, 0x5A, 0x3C, 0x80, 0x03}},  // missing digit: blank, 0
        // Pasted 8 and 9 are refused instead of writing 0 and 1.
        {"01132171008", '0', false, {}},
        {"91132171005", '0', false, {}},
        {"0113217100a", '0', false, {}},
        {"01132171005", '8', false, {}},
        {"011321710050", '0', false, {}},  // twelve shown digits cannot come from the field
    };
    for (const Case &c : cases) {
        Image image = ImageWithParent(kClassA);
        const Image before = image;
        const RuleResult result = ApplyParkText(image.data(), c.digits, c.last);
        EXPECT_EQ(result.ok, c.accepted) << c.digits;
        if (c.accepted) {
            EXPECT_TRUE(std::equal(c.parent.begin(), c.parent.end(), image.begin() + 68))
                << c.digits << " gave " << RefreshImageForDisplay(image.data()).rfpiHex;
        } else {
            EXPECT_EQ(result.message, "Park does not have right format") << c.digits;
            EXPECT_EQ(image, before) << c.digits;
        }
    }
}

TEST(MemoryImageRules, ParkEditSwitchesTheRpnWidth) {
    Image image = ImageWithParent(kClassA);
    image[2] = 0xFD;
    ASSERT_TRUE(ApplyParkText(image.data(), "11132171005", '0').ok);
    EXPECT_EQ(RpnMask(image.data()), 0xFF);
    EXPECT_EQ(RefreshImageForDisplay(image.data()).repeaterRpn, "253");

    ASSERT_TRUE(ApplyParkText(image.data(), "01132171005", '0').ok);
    EXPECT_EQ(RpnMask(image.data()), 0x07);
    EXPECT_EQ(RefreshImageForDisplay(image.data()).repeaterRpn, "5");
    EXPECT_EQ(image[2], 0x05);
}

struct RpnCase {
    const char *name;
    std::array<uint8_t, 5> parent;
    const char *text;
    bool accepted;
    uint8_t byte72After;  // base RPN edit
    uint8_t byte2After;   // repeater RPN edit (before any display)
    const char *shownBase, *shownRepeater;  // after the display that follows the edit
};

void PrintTo(const RpnCase &c, std::ostream *os) { *os << c.name; }

class RpnEdits : public testing::TestWithParam<RpnCase> {};

TEST_P(RpnEdits, StoreUnderTheMaskOrRefuse) {
    const RpnCase &c = GetParam();
    Image base = ImageWithParent(c.parent);
    const Image baseBefore = base;
    const RuleResult baseResult = ApplyBaseRpnText(base.data(), c.text);
    EXPECT_EQ(baseResult.ok, c.accepted);

    Image repeater = ImageWithParent(c.parent);
    const Image repeaterBefore = repeater;
    const RuleResult repeaterResult = ApplyRepeaterRpnText(repeater.data(), c.text);
    EXPECT_EQ(repeaterResult.ok, c.accepted);

    if (c.accepted) {
        EXPECT_EQ(base[72], c.byte72After);
        ExpectOnlyChanged(baseBefore, base, {72});
        EXPECT_EQ(repeater[2], c.byte2After);
        ExpectOnlyChanged(repeaterBefore, repeater, {2});
        EXPECT_EQ(RefreshImageForDisplay(base.data()).baseRpn, c.shownBase);
        EXPECT_EQ(RefreshImageForDisplay(repeater.data()).repeaterRpn, c.shownRepeater);
    } else {
        EXPECT_EQ(baseResult.message, "Base rpn does not have right format");
        EXPECT_EQ(repeaterResult.message, "Repeater rpn does not have right format");
        EXPECT_EQ(base, baseBefore);
        EXPECT_EQ(repeater, repeaterBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Memory, RpnEdits,
    testing::Values(
        // Class A: 9 keeps only its low three bits (1); the upper bits of byte 72 stay (0x40).
        RpnCase{"ClassANine", kClassA, "9", true, 0x41, 9, "1", "1"},
        RpnCase{"ClassAZero", kClassA, "0", true, 0x40, 0, "0", "0"},
        RpnCase{"ClassAMax", kClassA, "255", true, 0x47, 255, "7", "7"},
        RpnCase{"ClassBNine", kClassB, "9", true, 0x09, 9, "9", "9"},
        RpnCase{"ClassBMax", kClassB, "255", true, 0xFF, 255, "255", "255"},
        RpnCase{"Empty", kClassA, "", false, 0, 0, "", ""},
        RpnCase{"TooBig", kClassB, "256", false, 0, 0, "", ""},
        RpnCase{"Negative", kClassB, "-1", false, 0, 0, "", ""},
        RpnCase{"NotANumber", kClassB, "1a", false, 0, 0, "", ""}));

TEST(MemoryImageRules, MonitorBeepChangesBitSevenOnly) {
    Image image{};
    image[17] = 0x35;
    ApplyMonitorBeep(image.data(), true);
    EXPECT_EQ(image[17], 0xB5);
    ApplyMonitorBeep(image.data(), true);
    EXPECT_EQ(image[17], 0xB5);
    ApplyMonitorBeep(image.data(), false);
    EXPECT_EQ(image[17], 0x35);
}

struct SaveCase {
    const char *name;
    std::array<uint8_t, 5> parent;
    bool ignoreHop;
    const char *repeaterText, *baseText;
    uint8_t byte2Before;
    bool accepted;
    uint8_t byte5After, byte2After;
};

void PrintTo(const SaveCase &c, std::ostream *os) { *os << c.name; }

class SavePreparation : public testing::TestWithParam<SaveCase> {};

TEST_P(SavePreparation, FollowsItsOrder) {
    const SaveCase &c = GetParam();
    Image image = ImageWithParent(c.parent);
    image[2] = c.byte2Before;
    image[5] = 0x7F;
    const Image before = image;

    const RuleResult result =
        PrepareImageForSave(image.data(), c.ignoreHop, c.repeaterText, c.baseText);
    EXPECT_EQ(result.ok, c.accepted);
    EXPECT_EQ(image[5], c.byte5After) << "byte 5 is set before the RPN texts are compared";
    EXPECT_EQ(image[2], c.byte2After);
    if (c.accepted) {
        EXPECT_EQ(image[22], 0);
        EXPECT_EQ(image[23], 0);
        ExpectOnlyChanged(before, image, {2, 5, 22, 23});
    } else {
        EXPECT_EQ(result.message, "Repeater RPN cannot be equal to base RPN!");
        ExpectOnlyChanged(before, image, {5});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Memory, SavePreparation,
    testing::Values(
        SaveCase{"ClassAHopTicked", kClassA, true, "5", "3", 0xFD, true, 0x82, 0x05},
        SaveCase{"ClassAHopClear", kClassA, false, "5", "3", 0x0D, true, 0x02, 0x05},
        SaveCase{"ClassBKeepsByte2", kClassB, false, "253", "154", 0xFD, true, 0x02, 0xFD},
        // Texts are compared, not numbers: "5" and "05" differ.
        SaveCase{"TextsNotNumbers", kClassA, true, "05", "5", 0x05, true, 0x82, 0x05},
        SaveCase{"EqualTexts", kClassA, true, "5", "5", 0xFD, false, 0x82, 0xFD},
        SaveCase{"EqualEmptyTexts", kClassB, false, "", "", 0xFD, false, 0x02, 0xFD}));

TEST(MemoryImageRules, RepeaterRfpiTakesTheRpnBitsFromByteTwo) {
    Image image = ImageWithParent(kClassA);
    image[2] = 0x06;
    EXPECT_EQ(RepeaterRfpi(image.data()), (std::array<uint8_t, 5>{0x02, 0x5A, 0x3C, 0x81, 0x46}));
    image[2] = 0xFE;  // not yet reduced by a display: only the RPN bits count
    EXPECT_EQ(RepeaterRfpi(image.data())[4], 0x46);

    Image other = ImageWithParent(kClassB);
    other[2] = 0x01;
    EXPECT_EQ(RepeaterRfpi(other.data())[4], 0x01);
}

}  // namespace
