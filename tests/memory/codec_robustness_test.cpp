// Arbitrary texts, counts and modes through the codecs and the image rules. Every text and every
// buffer lives in a heap block of exactly its size, so AddressSanitizer reports any access
// outside them; the assertions check what a refusal may and may not change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "hex_codec.h"
#include "identity_codec.h"
#include "image_rules.h"
#include "park_codec.h"

namespace {

constexpr int kRounds = 200000;

// Exactly-sized heap copy of some bytes.
struct Block {
    explicit Block(std::size_t size) : data(new uint8_t[size ? size : 1]), size(size) {}
    std::unique_ptr<uint8_t[]> data;
    std::size_t size;
    std::vector<uint8_t> Copy() const { return {data.get(), data.get() + size}; }
};

class Generator {
public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    // Mostly characters the fields could hold, sometimes anything at all.
    std::string Text() {
        static const std::string wide = "0123456789abcdefABCDEFGgz +-\t";
        static const std::string narrow = "01234567 89";
        const std::string &alphabet = random_() % 3 == 0 ? narrow : wide;
        const std::size_t length = random_() % 24;
        std::string text;
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(random_() % 4 == 0 ? static_cast<char>(random_())
                                              : alphabet[random_() % alphabet.size()]);
        }
        return text;
    }
    int32_t Count() { return static_cast<int32_t>(random_() % 12) - 2; }
    uint8_t Mode() { return random_() % 2 ? static_cast<uint8_t>(random_() % 5)
                                          : static_cast<uint8_t>(random_()); }
    void Fill(Block &block) {
        for (std::size_t i = 0; i < block.size; ++i) block.data[i] = static_cast<uint8_t>(random_());
    }

private:
    std::mt19937 random_;
};

std::unique_ptr<char[]> ExactCopy(const std::string &text) {
    std::unique_ptr<char[]> copy(new char[text.size() ? text.size() : 1]);
    std::memcpy(copy.get(), text.data(), text.size());
    return copy;
}

TEST(MemoryCodecRobustness, ParseIdentityStaysInsideItsBuffers) {
    Generator generate(0xF022);
    for (int round = 0; round < kRounds; ++round) {
        const std::string source = generate.Text();
        const auto text = ExactCopy(source);
        const std::string_view view(text.get(), source.size());
        const int32_t n = generate.Count();
        const uint8_t mode = generate.Mode();

        // Mode 1 always works on five bytes, whatever n says.
        Block buffer(static_cast<std::size_t>(std::max(mode == 1 ? 5 : 0, std::max(n, 0))));
        generate.Fill(buffer);
        const auto before = buffer.Copy();

        const bool filled = ParseIdentity(view, buffer.data.get(), n, mode);
        if (mode == 0 || mode == 1) {
            ASSERT_TRUE(filled) << "mode " << int(mode);
        } else if (mode != 3) {
            ASSERT_FALSE(filled) << "mode " << int(mode);
        }
        if (!filled) {
            ASSERT_EQ(buffer.Copy(), before) << "refused, but changed: " << source;
        }
        if (mode == 3 && filled) {
            // Only plain non-negative decimals below the bound get through ("-0" is zero).
            const long long value = std::stoll(source);
            ASSERT_GE(value, 0) << source;
            if (n == 1) {
                ASSERT_LT(value, 256) << source;
                ASSERT_EQ(buffer.data[0], value) << source;
            }
        }
    }
}

TEST(MemoryCodecRobustness, FormattersStayInsideTheirBuffers) {
    Generator generate(0xF023);
    for (int round = 0; round < kRounds / 4; ++round) {
        const int32_t n = generate.Count();
        const uint8_t mode = generate.Mode();
        // Modes 1 and 2 read five and one bytes whatever n says.
        Block bytes(static_cast<std::size_t>(std::max(5, std::max(n, 0))));
        generate.Fill(bytes);
        const std::string text = FormatIdentity(bytes.data.get(), n, mode);
        switch (mode) {
        case 0: ASSERT_EQ(text.size(), static_cast<std::size_t>(std::max(n, 0)) * 3); break;
        case 1:
            ASSERT_EQ(text.size(), 12u);
            ASSERT_EQ(text.find_first_not_of("01234567"), std::string::npos);
            break;
        case 2: ASSERT_LE(std::stoi(text), 63); break;
        default: ASSERT_EQ(text, "");
        }

        const std::string source = generate.Text();
        const auto check = ExactCopy(source);
        ASSERT_LE(ParkCheckDigit({check.get(), source.size()}, n * 3), 10);
    }
}

TEST(MemoryCodecRobustness, ImageRulesRefuseWithoutChangingTheImage) {
    Generator generate(0xF024);
    for (int round = 0; round < kRounds / 4; ++round) {
        Block image(80);
        generate.Fill(image);
        const auto before = image.Copy();
        const std::string source = generate.Text();
        const auto text = ExactCopy(source);
        const std::string_view view(text.get(), source.size());
        const char lastDigit = generate.Mode() % 2 ? static_cast<char>('0' + generate.Mode() % 10)
                                                   : static_cast<char>(generate.Mode());

        // Each edit, on a fresh copy of the image, with the bytes it may change on success.
        using Edit = std::function<RuleResult(uint8_t *)>;
        struct Attempt {
            const char *name;
            Edit edit;
            std::size_t first, last;
        };
        const Attempt attempts[] = {
            {"rfpi", [&](uint8_t *img) { return ApplyRfpiText(img, view); }, 68, 72},
            {"park", [&](uint8_t *img) { return ApplyParkText(img, view, lastDigit); }, 68, 72},
            {"base rpn", [&](uint8_t *img) { return ApplyBaseRpnText(img, view); }, 72, 72},
            {"repeater rpn", [&](uint8_t *img) { return ApplyRepeaterRpnText(img, view); }, 2, 2},
        };
        Block fresh(80);
        for (const Attempt &attempt : attempts) {
            std::memcpy(fresh.data.get(), before.data(), 80);
            const RuleResult result = attempt.edit(fresh.data.get());
            const auto after = fresh.Copy();
            if (!result.ok) {
                ASSERT_FALSE(result.message.empty()) << attempt.name;
                ASSERT_EQ(after, before) << "refused " << attempt.name << " changed the image";
            } else {
                ASSERT_TRUE(result.message.empty()) << attempt.name;
                for (std::size_t i = 0; i < 80; ++i) {
                    if (i < attempt.first || i > attempt.last) {
                        ASSERT_EQ(after[i], before[i]) << attempt.name << " changed byte " << i;
                    }
                }
            }
        }

        std::memcpy(fresh.data.get(), before.data(), 80);
        const DisplayFields fields = RefreshImageForDisplay(fresh.data.get());
        ASSERT_EQ(fields.rfpiHex.size(), 15u);
        ASSERT_EQ(fields.parkDigits.size(), 11u);
        ASSERT_EQ(fields.repeaterRfpiHex.size(), 15u);
    }
}

}  // namespace
