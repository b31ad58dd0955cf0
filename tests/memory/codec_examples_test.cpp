// The identity codecs against worked examples.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "hex_codec.h"
#include "identity_codec.h"
#include "park_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A text in a heap block of exactly its length, so that AddressSanitizer reports any read
// past its end.
class ExactText {
public:
    explicit ExactText(std::string_view text) : data_(new char[text.size() ? text.size() : 1]),
                                                size_(text.size()) {
        std::memcpy(data_.get(), text.data(), text.size());
    }
    std::string_view View() const { return {data_.get(), size_}; }

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_;
};

struct RfpiExample {
    std::array<uint8_t, 5> rfpi;
    const char *hex;       // mode 0
    const char *octal;     // mode 1
    uint8_t checkDigit;    // over "31" and the first eleven digits
    const char *lowSix;    // mode 2
};

void PrintTo(const RfpiExample &e, std::ostream *os) { *os << e.octal; }

class RfpiExamples : public testing::TestWithParam<RfpiExample> {};

TEST_P(RfpiExamples, FormatsAndChecksAsWorkedOut) {
    const RfpiExample &e = GetParam();
    EXPECT_EQ(FormatIdentity(e.rfpi.data(), 5, 0), e.hex);
    EXPECT_EQ(FormatIdentity(e.rfpi.data(), 5, 1), e.octal);
    EXPECT_EQ(FormatIdentity(e.rfpi.data(), 5, 2), e.lowSix);

    char digits[13];
    std::memset(digits, 'x', sizeof digits);
    RfpiToOctalDigits(digits, e.rfpi.data());
    EXPECT_EQ(std::string(digits), e.octal);  // also proves the terminating NUL

    const std::string park = std::string("31") + std::string(e.octal, 11);
    EXPECT_EQ(ParkCheckDigit(park, 13), e.checkDigit);
}

TEST_P(RfpiExamples, HexAndOctalTextsParseBack) {
    const RfpiExample &e = GetParam();
    std::array<uint8_t, 5> fromHex{};
    EXPECT_TRUE(ParseIdentity(e.hex, fromHex.data(), 5, 0));
    EXPECT_EQ(fromHex, e.rfpi);

    // The octal text restores bits 1 to 36; bit 0 and the last three bits come from the target.
    std::array<uint8_t, 5> fromOctal = e.rfpi;
    fromOctal[0] ^= 0x7F;
    fromOctal[2] ^= 0xFF;
    fromOctal[4] ^= 0xF8;
    EXPECT_TRUE(ParseIdentity(e.octal, fromOctal.data(), 5, 1));
    EXPECT_EQ(fromOctal, e.rfpi);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, RfpiExamples,
    testing::Values(
        RfpiExample{{0x02, 0x5A, 0x3C, 0x81, 0x43}, "02 5A 3C 81 43 ", "011321710050", 5, "2"},
        RfpiExample{{0x02, 0x5A, 0x3C, 0x06, 0x00}, "02 5A 3C 06 00 ", "011321700300", 10, "2"},
        RfpiExample{{0x12, 0x34, 0x56, 0x78, 0x9A}, "12 34 56 78 9A ", "110642547423", 9, "18"},
        RfpiExample{{0, 0, 0, 0, 0}, "00 00 00 00 00 ", "000000000000", 5, "0"},
        RfpiExample{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "FF FF FF FF FF ", "777777777777", 5, "63"}));

TEST(MemoryHexCodec, NibbleToHexCharUsesLowFourBitsUpperCase) {
    const std::string expected = "0123456789ABCDEF";
    for (unsigned v = 0; v < 256; ++v) {
        EXPECT_EQ(NibbleToHexChar(static_cast<uint8_t>(v)), expected[v & 0x0F]) << v;
    }
}

TEST(MemoryHexCodec, BytesToHexTextSpacedAndUnspaced) {
    const uint8_t bytes[] = {0x0A, 0xFF};
    char text[8];
    std::memset(text, '#', sizeof text);
    BytesToHexText(bytes, text, 2, false);
    EXPECT_EQ(std::string(text, 5), "0AFF#");  // four characters, no terminator

    std::memset(text, '#', sizeof text);
    BytesToHexText(bytes, text, 2, true);
    EXPECT_EQ(std::string(text, 7), "0A FF #");  // the last pair gets its blank too
}

struct PairCase {
    char high, low;
    uint8_t expected;
};

void PrintTo(const PairCase &c, std::ostream *os) {
    *os << "codes " << int(uint8_t(c.high)) << "," << int(uint8_t(c.low));
}

class HexPairs : public testing::TestWithParam<PairCase> {};

TEST_P(HexPairs, FollowTheNibbleArithmetic) {
    EXPECT_EQ(HexPairToByte(GetParam().high, GetParam().low), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, HexPairs,
    testing::Values(PairCase{'0', 'a', 0x0A}, PairCase{'f', 'f', 0xFF}, PairCase{'F', 'F', 0xFF},
                    PairCase{'9', '0', 0x90}, PairCase{' ', '7', 0x07}, PairCase{'7', ' ', 0x70},
                    PairCase{' ', ' ', 0x00}, PairCase{'1', 'G', 0x20}, PairCase{'G', '0', 0x00},
                    PairCase{'z', '0', 0x30},  // 'z' & 0x0F = 10, + 9 = 19; 19 * 16 mod 256
                    PairCase{static_cast<char>(0xC1), '0', 0x10}));  // negative: no +9

TEST(MemoryHexCodec, SpacedTextIgnoresSeparatorPositions) {
    uint8_t bytes[5] = {};
    HexTextToBytes("02x5Ay3Cz81-43", bytes, 5, true);
    EXPECT_EQ(Bytes(bytes, bytes + 5), (Bytes{0x02, 0x5A, 0x3C, 0x81, 0x43}));

    uint8_t unspaced[3] = {};
    HexTextToBytes("0aFF10", unspaced, 3, false);
    EXPECT_EQ(Bytes(unspaced, unspaced + 3), (Bytes{0x0A, 0xFF, 0x10}));
}

TEST(MemoryHexCodec, ShortTextCountsMissingCharactersAsBlanks) {
    // Each text lives in a block of exactly its size: a read past its end fails under ASan.
    struct Case {
        const char *text;
        Bytes expected;
    };
    const Case cases[] = {
        {"02 5A", {0x02, 0x5A, 0x00, 0x00, 0x00}},
        {"02 5A 3C 81 4", {0x02, 0x5A, 0x3C, 0x81, 0x40}},  // "4" and a blank
        {"", {0, 0, 0, 0, 0}},
        {"7", {0x70, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        const ExactText text(c.text);
        uint8_t bytes[5];
        std::memset(bytes, 0xEE, sizeof bytes);
        EXPECT_TRUE(ParseIdentity(text.View(), bytes, 5, 0)) << c.text;
        EXPECT_EQ(Bytes(bytes, bytes + 5), c.expected) << c.text;
    }
}

struct PutBitsCase {
    uint8_t width;
    uint16_t offset;
    uint8_t value;
    Bytes before, after;
};

void PrintTo(const PutBitsCase &c, std::ostream *os) {
    *os << "width " << int(c.width) << " at " << c.offset << " value " << int(c.value);
}

class PutBitsCases : public testing::TestWithParam<PutBitsCase> {};

TEST_P(PutBitsCases, WriteOnlyTheirBits) {
    const PutBitsCase &c = GetParam();
    Bytes bytes = c.before;
    PutBits(c.width, bytes.data(), c.offset, c.value);
    EXPECT_EQ(bytes, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, PutBitsCases,
    testing::Values(PutBitsCase{3, 6, 5, {0x00, 0x00}, {0x02, 0x80}},
                    PutBitsCase{3, 6, 0, {0xFF, 0xFF}, {0xFC, 0x7F}},
                    PutBitsCase{0, 3, 0xFF, {0x00, 0x00}, {0x00, 0x00}},
                    PutBitsCase{8, 4, 0xFF, {0x00, 0x00}, {0x0F, 0xF0}},
                    PutBitsCase{1, 15, 1, {0x00, 0x00}, {0x00, 0x01}},
                    PutBitsCase{3, 0, 0x0D, {0x00, 0x00}, {0xA0, 0x00}},  // only the low 3 bits
                    PutBitsCase{10, 0, 0xFF, {0xFF, 0xFF}, {0x3F, 0xFF}}));  // no 9th/10th bit

struct OctalCase {
    const char *text;
    Bytes before, after;
};

void PrintTo(const OctalCase &c, std::ostream *os) { *os << "[" << c.text << "]"; }

class OctalTexts : public testing::TestWithParam<OctalCase> {};

TEST_P(OctalTexts, KeepTheEBitAndTheLastThreeBits) {
    const OctalCase &c = GetParam();
    const ExactText text(c.text);
    Bytes rfpi = c.before;
    OctalTextToRfpi(text.View(), rfpi.data());
    EXPECT_EQ(rfpi, c.after) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Memory, OctalTexts,
    testing::Values(
        OctalCase{"777777777777", {0x02, 0x5A, 0x3C, 0x81, 0x43}, {0x7F, 0xFF, 0xFF, 0xFF, 0xFB}},
        OctalCase{"000000000000", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0x80, 0x00, 0x00, 0x00, 0x07}},
        // "8" writes 0 and "9" writes 1: only the low three bits of the difference count.
        OctalCase{"898989898989", {0, 0, 0, 0, 0}, {0x02, 0x08, 0x20, 0x82, 0x08}},
        // A text shorter than twelve characters: the missing digits count as blanks, i.e. 0.
        OctalCase{"7", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0xF0, 0x00, 0x00, 0x00, 0x07}},
        OctalCase{"", {0x12, 0x34, 0x56, 0x78, 0x9A}, {0x00, 0x00, 0x00, 0x00, 0x02}}));

TEST(MemoryParkCodec, CheckDigitCountsOnlyTheGivenCharacters) {
    EXPECT_EQ(ParkCheckDigit("3101132171005", 0), 0);
    EXPECT_EQ(ParkCheckDigit("31", 2), 5);             // 1*3 + 2*1
    EXPECT_EQ(ParkCheckDigit("3101132171005", 2), 5);  // the rest is not looked at
    EXPECT_EQ(ParkCheckDigit("31", 200), 5);           // never past the end of the text
    EXPECT_EQ(ParkCheckDigit("31", -4), 0);
    // A blank counts as -16: 1 * -16 mod 65536 = 65520, mod 11 = 4.
    EXPECT_EQ(ParkCheckDigit(" ", 1), 65520 % 11);
}

struct PowerCase {
    int32_t base, exponent, expected;
};

void PrintTo(const PowerCase &c, std::ostream *os) { *os << c.base << "^" << c.exponent; }

class Powers : public testing::TestWithParam<PowerCase> {};

TEST_P(Powers, WrapLike32BitArithmetic) {
    EXPECT_EQ(IntPower(GetParam().base, GetParam().exponent), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, Powers,
    testing::Values(PowerCase{2, 8, 256}, PowerCase{7, 1, 7}, PowerCase{7, 0, 7},
                    PowerCase{3, -5, 3}, PowerCase{-2, 3, -8}, PowerCase{10, 9, 1000000000},
                    PowerCase{2, 31, INT32_MIN}, PowerCase{2, 32, 0},
                    PowerCase{10, 10, 1410065408}, PowerCase{-1, INT32_MAX, -1},
                    PowerCase{3, 40, static_cast<int32_t>(0x291FE821u)}));

struct DecimalCase {
    const char *text;
    int32_t n;
    bool accepted;
    Bytes stored;  // the n bytes after the call (all 0xEE before)
};

void PrintTo(const DecimalCase &c, std::ostream *os) { *os << "[" << c.text << "] n " << c.n; }

class BoundedDecimals : public testing::TestWithParam<DecimalCase> {};

TEST_P(BoundedDecimals, AcceptOnlyNonNegativeNumbersBelowTheBound) {
    const DecimalCase &c = GetParam();
    const ExactText text(c.text);
    Bytes buffer(static_cast<std::size_t>(c.n > 0 ? c.n : 1), 0xEE);
    EXPECT_EQ(ParseIdentity(text.View(), buffer.data(), c.n, 3), c.accepted) << c.text;
    if (c.accepted) {
        EXPECT_EQ(buffer, c.stored) << c.text;
    } else {
        EXPECT_EQ(buffer, Bytes(buffer.size(), 0xEE)) << c.text << ": a refusal stores nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Memory, BoundedDecimals,
    testing::Values(DecimalCase{"0", 1, true, {0x00}}, DecimalCase{"255", 1, true, {0xFF}},
                    DecimalCase{"+7", 1, true, {0x07}}, DecimalCase{"007", 1, true, {0x07}},
                    DecimalCase{"-0", 1, true, {0x00}},
                    DecimalCase{"256", 1, false, {}}, DecimalCase{"", 1, false, {}},
                    DecimalCase{"-1", 1, false, {}}, DecimalCase{"-200", 1, false, {}},
                    DecimalCase{"+", 1, false, {}}, DecimalCase{"-", 1, false, {}},
                    DecimalCase{"+-5", 1, false, {}}, DecimalCase{"++5", 1, false, {}},
                    DecimalCase{" 5", 1, false, {}}, DecimalCase{"5 ", 1, false, {}},
                    DecimalCase{"0x10", 1, false, {}}, DecimalCase{"1e2", 1, false, {}},
                    DecimalCase{"2147483648", 1, false, {}},
                    DecimalCase{"-2147483648", 4, false, {}},
                    // Wider identities: most significant byte first, bound 2^(8n) exact.
                    DecimalCase{"258", 2, true, {0x01, 0x02}},
                    DecimalCase{"65535", 2, true, {0xFF, 0xFF}},
                    DecimalCase{"65536", 2, false, {}},
                    DecimalCase{"16777215", 3, true, {0xFF, 0xFF, 0xFF}},
                    DecimalCase{"16777216", 3, false, {}},
                    DecimalCase{"16777216", 4, true, {0x01, 0x00, 0x00, 0x00}},
                    DecimalCase{"2147483647", 4, true, {0x7F, 0xFF, 0xFF, 0xFF}},
                    DecimalCase{"1", 6, true, {0, 0, 0, 0, 0, 0x01}},
                    // No byte to store into.
                    DecimalCase{"1", 0, false, {}}, DecimalCase{"0", -3, false, {}}));

TEST(MemoryIdentityCodec, ModesWithoutADirectionDoNothing) {
    const uint8_t rfpi[5] = {0x02, 0x5A, 0x3C, 0x81, 0x43};
    for (unsigned mode : {3u, 4u, 7u, 200u, 255u}) {
        EXPECT_EQ(FormatIdentity(rfpi, 5, static_cast<uint8_t>(mode)), "") << mode;
    }
    for (unsigned mode : {2u, 4u, 5u, 128u, 255u}) {
        uint8_t buffer[5] = {1, 2, 3, 4, 5};
        EXPECT_FALSE(ParseIdentity("12", buffer, 5, static_cast<uint8_t>(mode))) << mode;
        EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{1, 2, 3, 4, 5})) << mode;
    }
}

TEST(MemoryIdentityCodec, HexFormatCoversExactlyNBytes) {
    const uint8_t bytes[3] = {0xAB, 0x01, 0x7F};
    EXPECT_EQ(FormatIdentity(bytes, 0, 0), "");
    EXPECT_EQ(FormatIdentity(bytes, -1, 0), "");
    EXPECT_EQ(FormatIdentity(bytes, 1, 0), "AB ");
    EXPECT_EQ(FormatIdentity(bytes, 3, 0), "AB 01 7F ");
    // n does not matter for the octal and the low-six-bits modes.
    EXPECT_EQ(FormatIdentity(bytes, 0, 2), "43");
}

}  // namespace
