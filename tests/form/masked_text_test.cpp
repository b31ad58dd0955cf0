// The masked-text model: typing, selection, Backspace and Delete, paste, and the empty texts of
// the window's masks.
#include "masked_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char *kRfpiMask = "AA AA AA AA AA;1; ";
constexpr const char *kParkMask = "00000000000;1; ";

TEST(MaskedText, WindowMasksGiveTheirEmptyTextAndLength) {
    struct Case {
        const char *mask;
        const char *empty;
    };
    const Case cases[] = {
        {kRfpiMask, "              "},
        {kParkMask, "           "},
        {"LL-99;1;_", "__-__"},  // literals in place, the mask's own blank character
        {"", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mask);
        const MaskedText model(c.mask);
        EXPECT_EQ(model.EmptyText(), c.empty);
        EXPECT_EQ(model.IsMasked(), c.empty[0] != '\0');
    }
}

// One edit on a text with a selection (anchor..cursor), and the text and cursor afterwards.
TEST(MaskedText, EditsKeepTheMasksForm) {
    enum Op { Type, Backspace, Delete, Paste };
    struct Case {
        const char *name;
        const char *mask;
        EditState before;
        Op op;
        const char *input;
        bool changed;
        EditState after;
    };
    const Case cases[] = {
        {"overwrite, skip literal", kRfpiMask, {"02 5A 3C 81 43", 1, 1}, Type, "7", true, {"07 5A 3C 81 43", 3, 3}},
        {"typed at a literal goes on", kRfpiMask, {"02 5A 3C 81 43", 2, 2}, Type, "b", true, {"02 bA 3C 81 43", 4, 4}},
        {"selection cleared first", kRfpiMask, {"12 5A 3C 81 43", 3, 8}, Type, "F", true, {"12 F     81 43", 4, 4}},
        {"one selected: overwritten", kParkMask, {"01234567012", 2, 3}, Type, "7", true, {"01734567012", 3, 3}},
        {"no position left", kRfpiMask, {"02 5A 3C 81 43", 14, 14}, Type, "b", false, {"02 5A 3C 81 43", 14, 14}},
        {"mask refuses", kParkMask, {"01234567012", 0, 0}, Type, "a", false, {"01234567012", 0, 0}},
        {"blank is not typed", kRfpiMask, {"02 5A 3C 81 43", 0, 0}, Type, " ", false, {"02 5A 3C 81 43", 0, 0}},
        {"plain inserts", "", {"12", 1, 1}, Type, "5", true, {"152", 2, 2}},
        {"plain replaces selection", "", {"123", 0, 3}, Type, "9", true, {"9", 1, 1}},
        {"backspace over literal", kRfpiMask, {"02 5A 3C 81 43", 3, 3}, Backspace, "", true, {"0  5A 3C 81 43", 1, 1}},
        {"backspace at start", kParkMask, {"01234567012", 0, 0}, Backspace, "", false, {"01234567012", 0, 0}},
        {"backspace plain", "", {"123", 3, 3}, Backspace, "", true, {"12", 2, 2}},
        {"delete blanks, length kept", kParkMask, {"01234567012", 0, 0}, Delete, "", true, {" 1234567012", 0, 0}},
        {"delete selection", kRfpiMask, {"02 5A 3C 81 43", 0, 14}, Delete, "", true, {"              ", 0, 0}},
        {"paste with literals", kRfpiMask, {"              ", 0, 14}, Paste, "12 34 56 78 9a", true, {"12 34 56 78 9a", 14, 14}},
        {"paste without literals", kRfpiMask, {"              ", 0, 0}, Paste, "0a5a3c", true, {"0a 5a 3c      ", 9, 9}},
        {"paste skips what the mask refuses", kParkMask, {"           ", 0, 0}, Paste, "1-2x3", true, {"123        ", 3, 3}},
        {"paste cut at the end", kParkMask, {"01234567012", 9, 9}, Paste, "7777", true, {"01234567077", 11, 11}},
        {"paste nothing usable", kParkMask, {"01234567012", 0, 0}, Paste, "ab", false, {"01234567012", 0, 0}},
        {"paste into plain", "", {"1", 1, 1}, Paste, "+17\r\nx", true, {"1+17", 4, 4}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const MaskedText model(c.mask);
        EditState state = c.before;
        bool changed = false;
        switch (c.op) {
        case Type: changed = model.Type(state, c.input[0]) == MaskedText::Typed::Changed; break;
        case Backspace: changed = model.Backspace(state); break;
        case Delete: changed = model.Delete(state); break;
        case Paste: changed = model.Paste(state, c.input); break;
        }
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(state.text, c.after.text);
        EXPECT_EQ(state.cursor, c.after.cursor);
        EXPECT_EQ(state.anchor, c.after.anchor);
    }
}

TEST(MaskedText, FirstBlankInputPosition) {
    const MaskedText rfpi(kRfpiMask);
    EXPECT_EQ(rfpi.FirstBlankInputPosition("02 5A 3C 81 43"), -1);
    EXPECT_EQ(rfpi.FirstBlankInputPosition("02 5          "), 4);
    EXPECT_EQ(rfpi.FirstBlankInputPosition("02 5A 3C 81 4 "), 13);
    EXPECT_EQ(MaskedText("").FirstBlankInputPosition("   "), -1) << "a plain field has no input positions";
}

}  // namespace
