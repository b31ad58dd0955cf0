// The identity codecs and the field edits of the image rules with arbitrary texts, counts and
// modes. Every text and buffer is a heap block of exactly its size, so AddressSanitizer reports
// any access outside it. Checked: refusals leave buffers alone, the hex and octal round trips,
// the bounded decimal against a plain reading of the text, PutBits touching only its bits, and
// the display/edit round trip of the RFPI and PARK fields.
//
// Input: mode, count, bit offset, width, a value byte, eight identity bytes, then the text.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "hex_codec.h"
#include "identity_codec.h"
#include "image_rules.h"
#include "park_codec.h"

namespace {

// A heap block of exactly `size` bytes (new[0] too is a block ASan guards).
struct Block {
    Block(const uint8_t *bytes, std::size_t n) : data(new uint8_t[n]), size(n) {
        if (n > 0) std::memcpy(data.get(), bytes, n);
    }
    explicit Block(std::size_t n, uint8_t fill = 0) : data(new uint8_t[n]), size(n) {
        std::fill_n(data.get(), n, fill);
    }
    std::vector<uint8_t> Copy() const { return {data.get(), data.get() + size}; }
    std::unique_ptr<uint8_t[]> data;
    std::size_t size;
};

struct Text {
    explicit Text(std::string_view s) : data(new char[s.size()]), size(s.size()) {
        if (!s.empty()) std::memcpy(data.get(), s.data(), s.size());
    }
    std::string_view View() const { return {data.get(), size}; }
    std::unique_ptr<char[]> data;
    std::size_t size;
};

bool Bit(const uint8_t *bytes, unsigned index) { return (bytes[index / 8] >> (7 - index % 8)) & 1; }

// The bounded decimal read plainly: an optional "+", then digits (a "-" only before a zero
// value, as "-0" is no negative number), below 2^31 and below 2^(8n).
std::optional<uint32_t> PlainDecimal(std::string_view text, int32_t n) {
    if (n <= 0) return std::nullopt;
    bool minus = false;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    else if (!text.empty() && text.front() == '-') {
        minus = true;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > 0x7FFFFFFFu) return std::nullopt;
    }
    if (minus && value != 0) return std::nullopt;
    if (n < 4 && value >= (uint64_t{1} << (8 * n))) return std::nullopt;
    return static_cast<uint32_t>(value);
}

void CheckParseIdentity(std::string_view source, uint8_t mode, int32_t n, const uint8_t *fill) {
    const Text text(source);
    const std::size_t size = static_cast<std::size_t>(std::max<int32_t>(mode == 1 ? 5 : 0, std::max(n, 0)));
    std::vector<uint8_t> initial(size);
    for (std::size_t i = 0; i < size; ++i) initial[i] = fill[i % 8];
    Block buffer(initial.data(), size);

    const bool filled = ParseIdentity(text.View(), buffer.data.get(), n, mode);
    if (mode == 0 || mode == 1) CHECK(filled);
    if (mode != 0 && mode != 1 && mode != 3) CHECK(!filled);
    if (!filled) CHECK(buffer.Copy() == initial);
    if (mode == 3) {
        const std::optional<uint32_t> plain = PlainDecimal(source, n);
        CHECK(filled == plain.has_value());
        if (filled) {
            for (int32_t i = 0; i < n; ++i) {
                const int32_t fromEnd = n - 1 - i;
                const uint8_t expected = fromEnd < 4 ? static_cast<uint8_t>(*plain >> (8 * fromEnd)) : 0;
                CHECK(buffer.data[static_cast<std::size_t>(i)] == expected);
            }
        }
    }
    if (mode == 1) {  // bit 0 and bits 37 to 39 stay
        CHECK(Bit(buffer.data.get(), 0) == Bit(initial.data(), 0));
        for (unsigned b = 37; b < 40; ++b) CHECK(Bit(buffer.data.get(), b) == Bit(initial.data(), b));
    }
}

void CheckRoundTrips(const uint8_t *identity, int32_t n) {
    // Hex, spaced and unspaced: bytes to text and back.
    const int32_t count = std::clamp(n, 0, 8);
    const Block bytes(identity, static_cast<std::size_t>(count));
    const std::string spaced = FormatIdentity(bytes.data.get(), count, 0);
    CHECK(spaced.size() == static_cast<std::size_t>(count) * 3);
    const Text spacedText(spaced);
    Block back(static_cast<std::size_t>(count), 0x5A);
    CHECK(ParseIdentity(spacedText.View(), back.data.get(), count, 0));
    CHECK(back.Copy() == bytes.Copy());

    std::unique_ptr<char[]> plain(new char[static_cast<std::size_t>(count) * 2]);
    BytesToHexText(bytes.data.get(), plain.get(), count, false);
    for (int32_t i = 0; i < count * 2; ++i) {
        const char c = plain[static_cast<std::size_t>(i)];
        CHECK((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    }
    Block back2(static_cast<std::size_t>(count), 0xA5);
    HexTextToBytes({plain.get(), static_cast<std::size_t>(count) * 2}, back2.data.get(), count, false);
    CHECK(back2.Copy() == bytes.Copy());

    // Octal: twelve digits carry RFPI bits 1 to 36 into another RFPI, whose other bits stay.
    const Block rfpi(identity, 5);
    const std::string digits = FormatIdentity(rfpi.data.get(), 5, 1);
    CHECK(digits.size() == 12 && digits.find_first_not_of("01234567") == std::string::npos);
    Block other(identity + 3, 5);
    const std::vector<uint8_t> otherBefore = other.Copy();
    const Text digitText(digits);
    CHECK(ParseIdentity(digitText.View(), other.data.get(), 5, 1));
    for (unsigned b = 0; b < 40; ++b) {
        const bool carried = b >= 1 && b <= 36;
        CHECK(Bit(other.data.get(), b) == Bit(carried ? rfpi.data.get() : otherBefore.data(), b));
    }

    // The low six bits of the first byte in decimal read back through the bounded decimal.
    const std::string six = FormatIdentity(rfpi.data.get(), 1, 2);
    const Text sixText(six);
    Block one(1);
    CHECK(ParseIdentity(sixText.View(), one.data.get(), 1, 3));
    CHECK(one.data[0] == (identity[0] & 0x3F));
}

void CheckPutBits(uint8_t width, uint16_t bitOffset, uint8_t value, const uint8_t *fill) {
    const std::size_t bits = std::size_t{bitOffset} + width;
    const std::size_t size = (bits + 7) / 8;
    std::vector<uint8_t> initial(size);
    for (std::size_t i = 0; i < size; ++i) initial[i] = fill[i % 8];
    Block bytes(initial.data(), size);
    PutBits(width, bytes.data.get(), bitOffset, value);
    for (std::size_t b = 0; b < size * 8; ++b) {
        const bool inside = b >= bitOffset && b < bits;
        const unsigned fromEnd = inside ? static_cast<unsigned>(bits - 1 - b) : 0;
        const bool expected = inside ? (fromEnd < 8 && ((value >> fromEnd) & 1))
                                     : Bit(initial.data(), static_cast<unsigned>(b));
        CHECK(Bit(bytes.data.get(), static_cast<unsigned>(b)) == expected);
    }
}

// The field edits on an 80-byte image: a refusal changes nothing, an edit changes only its
// bytes, and what the display shows goes back into the image unchanged.
void CheckImageRules(std::string_view source, const uint8_t *identity, char lastDigit) {
    std::vector<uint8_t> initial(80);
    for (std::size_t i = 0; i < initial.size(); ++i) initial[i] = static_cast<uint8_t>(identity[i % 8] + i);
    const Text text(source);

    struct Edit {
        RuleResult (*apply)(uint8_t *, std::string_view, char);
        std::size_t first, last;
    };
    const Edit edits[] = {
        {[](uint8_t *img, std::string_view t, char) { return ApplyRfpiText(img, t); }, 68, 72},
        {[](uint8_t *img, std::string_view t, char d) { return ApplyParkText(img, t, d); }, 68, 72},
        {[](uint8_t *img, std::string_view t, char) { return ApplyBaseRpnText(img, t); }, 72, 72},
        {[](uint8_t *img, std::string_view t, char) { return ApplyRepeaterRpnText(img, t); }, 2, 2},
    };
    for (const Edit &edit : edits) {
        Block image(initial.data(), initial.size());
        const RuleResult result = edit.apply(image.data.get(), text.View(), lastDigit);
        const std::vector<uint8_t> after = image.Copy();
        CHECK(result.ok == result.message.empty());
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (!result.ok || i < edit.first || i > edit.last) CHECK(after[i] == initial[i]);
        }
    }

    Block image(initial.data(), initial.size());
    const DisplayFields shown = RefreshImageForDisplay(image.data.get());
    CHECK(image.data[67] == 0xA8);
    CHECK(shown.rfpiHex.size() == 15 && shown.parkDigits.size() == 11 && shown.parkPli == "31");
    CHECK(shown.parkCheck.size() == 1 && (shown.parkCheck == "*" || std::isdigit(static_cast<unsigned char>(shown.parkCheck[0]))));
    const std::vector<uint8_t> displayed = image.Copy();
    const Text hex(std::string_view(shown.rfpiHex).substr(0, 14));
    CHECK(ApplyRfpiText(image.data.get(), hex.View()).ok);
    CHECK(image.Copy() == displayed);
    const Text park(shown.parkDigits);
    CHECK(ApplyParkText(image.data.get(), park.View(), shown.parkLastDigit).ok);
    CHECK(image.Copy() == displayed);
    CHECK(ApplyBaseRpnText(image.data.get(), shown.baseRpn).ok);
    CHECK(ApplyRepeaterRpnText(image.data.get(), shown.repeaterRpn).ok);
    CHECK(image.Copy() == displayed);

    // The save preparation: byte 5 always; the rest only when the RPN texts differ.
    const bool hop = (identity[0] & 1) != 0;
    const std::string_view other = lastDigit % 2 ? std::string_view(source) : std::string_view(shown.baseRpn);
    const RuleResult prepared = PrepareImageForSave(image.data.get(), hop, text.View(), other);
    CHECK(image.data[5] == (hop ? 0x82 : 0x02));
    CHECK(prepared.ok == (text.View() != other));
    if (prepared.ok) CHECK(image.data[22] == 0 && image.data[23] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size < 13) return 0;
    const uint8_t mode = data[0] % 2 ? data[0] % 5 : data[0];
    const int32_t n = static_cast<int8_t>(data[1]) % 12;
    const uint16_t bitOffset = static_cast<uint16_t>(data[2] % 64);
    const uint8_t width = data[3] % 13;
    const uint8_t value = data[4];
    const uint8_t *identity = data + 5;
    const std::string_view source(reinterpret_cast<const char *>(data + 13), size - 13);

    CheckParseIdentity(source, mode, n, identity);
    CheckRoundTrips(identity, n);
    CheckPutBits(width, bitOffset, value, identity);
    CheckImageRules(source, identity, static_cast<char>(value % 3 ? '0' + value % 8 : value));

    const Text text(source);
    const uint8_t check = ParkCheckDigit(text.View(), n * 3);
    CHECK(check <= 10);
    return 0;
}
