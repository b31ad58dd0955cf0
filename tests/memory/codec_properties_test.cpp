// Round-trip properties of the identity codecs over many random RFPIs (fixed seeds).
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "hex_codec.h"
#include "identity_codec.h"
#include "image_rules.h"
#include "park_codec.h"

namespace {

using Rfpi = std::array<uint8_t, 5>;
constexpr int kRounds = 20000;

Rfpi RandomRfpi(std::mt19937 &random) {
    Rfpi rfpi;
    for (uint8_t &b : rfpi) b = static_cast<uint8_t>(random());
    return rfpi;
}

// Bit b of the RFPI, numbered from the most significant bit of the first byte.
bool Bit(const Rfpi &rfpi, int b) { return (rfpi[b / 8] >> (7 - b % 8)) & 1; }

TEST(MemoryCodecProperties, OctalDigitsGiveBackBitsOneToThirtySix) {
    std::mt19937 random(0x5EED01);
    for (int round = 0; round < kRounds; ++round) {
        const Rfpi source = RandomRfpi(random);
        const std::string digits = FormatIdentity(source.data(), 5, 1);
        ASSERT_EQ(digits.size(), 12u);
        for (int k = 0; k < 12; ++k) {
            const int value = Bit(source, 3 * k + 1) * 4 + Bit(source, 3 * k + 2) * 2 +
                              Bit(source, 3 * k + 3);
            ASSERT_EQ(digits[k], '0' + value) << "digit " << k;
        }

        Rfpi target = RandomRfpi(random);
        const Rfpi targetBefore = target;
        ASSERT_TRUE(ParseIdentity(digits, target.data(), 5, 1));
        for (int b = 0; b < 40; ++b) {
            const bool fromDigits = b >= 1 && b <= 36;
            ASSERT_EQ(Bit(target, b), fromDigits ? Bit(source, b) : Bit(targetBefore, b))
                << "bit " << b;
        }
    }
}

TEST(MemoryCodecProperties, HexTextGivesBackTheSameBytesInEitherCase) {
    std::mt19937 random(0x5EED02);
    for (int round = 0; round < kRounds; ++round) {
        const Rfpi source = RandomRfpi(random);
        std::string text = FormatIdentity(source.data(), 5, 0);
        ASSERT_EQ(text.size(), 15u);
        for (int i = 0; i < 5; ++i) ASSERT_EQ(text[3 * i + 2], ' ');

        Rfpi parsed{};
        ASSERT_TRUE(ParseIdentity(text.substr(0, 14), parsed.data(), 5, 0));
        ASSERT_EQ(parsed, source);

        for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        Rfpi lower{};
        ASSERT_TRUE(ParseIdentity(text, lower.data(), 5, 0));
        ASSERT_EQ(lower, source);
    }
}

TEST(MemoryCodecProperties, ParkEditKeepsTheEBitAndTheRpnBits) {
    std::mt19937 random(0x5EED03);
    std::uniform_int_distribution<int> octal(0, 7);
    for (int round = 0; round < kRounds; ++round) {
        std::array<uint8_t, 80> image{};
        for (uint8_t &b : image) b = static_cast<uint8_t>(random());
        const auto before = image;

        std::string eleven;
        for (int i = 0; i < 11; ++i) eleven.push_back(static_cast<char>('0' + octal(random)));
        const char last = static_cast<char>('0' + octal(random));
        ASSERT_TRUE(ApplyParkText(image.data(), eleven, last).ok);

        EXPECT_EQ(image[68] & 0x80, before[68] & 0x80) << "E bit";
        EXPECT_EQ(image[72] & 0x07, before[72] & 0x07) << "class-A RPN bits";
        for (std::size_t i = 0; i < image.size(); ++i) {
            if (i < 68 || i > 72) {
                ASSERT_EQ(image[i], before[i]) << "byte " << i;
            }
        }
        char digits[13];
        RfpiToOctalDigits(digits, image.data() + 68);
        ASSERT_EQ(std::string(digits), eleven + last);
    }
}

TEST(MemoryCodecProperties, CheckDigitIsTheWeightedDigitSumModuloEleven) {
    std::mt19937 random(0x5EED04);
    std::uniform_int_distribution<int> octal(0, 7);
    for (int round = 0; round < kRounds; ++round) {
        std::string park = "31";
        int sum = 3 * 1 + 1 * 2;
        for (int i = 0; i < 11; ++i) {
            const int digit = octal(random);
            park.push_back(static_cast<char>('0' + digit));
            sum += digit * (i + 3);
        }
        ASSERT_EQ(ParkCheckDigit(park, 13), sum % 11) << park;
    }
}

TEST(MemoryCodecProperties, PutBitsChangesExactlyItsBits) {
    std::mt19937 random(0x5EED05);
    for (int round = 0; round < kRounds; ++round) {
        Rfpi bytes = RandomRfpi(random);
        const Rfpi before = bytes;
        const auto width = static_cast<uint8_t>(random() % 9);
        const auto offset = static_cast<uint16_t>(random() % (41 - width));
        const auto value = static_cast<uint8_t>(random());
        PutBits(width, bytes.data(), offset, value);
        for (int b = 0; b < 40; ++b) {
            if (b >= offset && b < offset + width) {
                const int sourceBit = width - 1 - (b - offset);
                ASSERT_EQ(Bit(bytes, b), ((value >> sourceBit) & 1) != 0) << "bit " << b;
            } else {
                ASSERT_EQ(Bit(bytes, b), Bit(before, b)) << "bit " << b;
            }
        }
    }
}

}  // namespace
