#include "backup_file.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "hex_codec.h"
#include "memory_fields.h"

uint32_t Crc32(const uint8_t *bytes, std::size_t size, uint32_t crc) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

namespace {

constexpr const char *kHeader = "relaycfg-backup";
constexpr const char *kVersion = "1";
constexpr std::size_t kBytesPerLine = 8;

const char *AreaKeyword(MemoryArea area) { return area == MemoryArea::Info ? "info" : "image"; }

std::string Hex2(std::size_t value) {
    char text[3];
    const auto byte = static_cast<uint8_t>(value);
    text[0] = NibbleToHexChar(static_cast<uint8_t>(byte >> 4));
    text[1] = NibbleToHexChar(byte);
    text[2] = '\0';
    return text;
}

uint32_t ContentCrc(const RepeaterMemory &memory) {
    const uint32_t crc = Crc32(memory.info.data(), memory.info.size());
    return Crc32(memory.image.data(), memory.image.size(), crc);
}

std::string Crc32Text(uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
    return text;
}

// "# 02 repeater RPN, 05 HOP control" for the named bytes that start on (or run into) a line.
std::string Annotation(MemoryArea area, std::size_t lineStart) {
    std::string text;
    const std::size_t lineEnd = lineStart + kBytesPerLine;
    for (const NamedBytes &named : NamedBytesOf(area)) {
        const std::size_t from = std::max(named.offset, lineStart);
        const std::size_t to = std::min(named.offset + named.length, lineEnd);
        if (from >= to) continue;
        text += text.empty() ? "  # " : ", ";
        text += Hex2(from);
        if (to - from > 1) text.append("-").append(Hex2(to - 1));
        text.append(" ").append(named.name);
    }
    return text;
}

template <std::size_t N>
void AppendArea(std::string &out, MemoryArea area, const std::array<uint8_t, N> &bytes) {
    for (std::size_t start = 0; start < N; start += kBytesPerLine) {
        char hex[3 * kBytesPerLine];
        BytesToHexText(bytes.data() + start, hex, kBytesPerLine, true);
        out += std::string(AreaKeyword(area)) + " " + Hex2(start) + ": ";
        out.append(hex, 3 * kBytesPerLine - 1);  // without the last pair's blank
        out += Annotation(area, start) + "\n";
    }
}

// ---- Reading -----------------------------------------------------------------------------------

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> words;
    while (true) {
        s = Trim(s);
        if (s.empty()) return words;
        std::size_t end = s.find_first_of(" \t");
        if (end == std::string_view::npos) end = s.size();
        words.push_back(s.substr(0, end));
        s.remove_prefix(end);
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Exactly `digits` hex digits.
std::optional<uint32_t> HexNumber(std::string_view text, std::size_t digits) {
    if (text.size() != digits) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        const int v = HexValue(c);
        if (v < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(v);
    }
    return value;
}

class Reader {
public:
    BackupReading Read(std::string_view text) {
        std::size_t lineNumber = 0;
        while (!text.empty()) {
            const std::size_t newline = text.find('\n');
            std::string_view line = text.substr(0, newline);
            text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
            ++lineNumber;
            if (const std::size_t hash = line.find('#'); hash != std::string_view::npos)
                line = line.substr(0, hash);
            line = Trim(line);
            if (line.empty()) continue;
            if (!Line(line)) return Fail("line " + std::to_string(lineNumber) + ": " + error_);
        }
        return Finish();
    }

private:
    BackupReading Fail(std::string why) {
        BackupReading reading;
        reading.error = std::move(why);
        return reading;
    }

    bool Refuse(std::string why) {
        error_ = std::move(why);
        return false;
    }

    bool Line(std::string_view line) {
        const std::vector<std::string_view> words = Words(line);
        if (!sawHeader_) {
            if (words.size() != 2 || words[0] != kHeader)
                return Refuse("not a relaycfg backup file (it must start with \"" +
                              std::string(kHeader) + " " + kVersion + "\")");
            if (words[1] != kVersion)
                return Refuse("backup format version " + std::string(words[1]) +
                              " is not supported");
            sawHeader_ = true;
            return true;
        }
        if (line.starts_with("port:")) {
            port_ = std::string(Trim(line.substr(5)));
            return true;
        }
        if (line.starts_with("saved:")) {
            savedAt_ = std::string(Trim(line.substr(6)));
            return true;
        }
        if (words[0] == "crc32:") {
            if (crc_) return Refuse("a second crc32 line");
            if (words.size() != 2 || !(crc_ = HexNumber(words[1], 8)))
                return Refuse("the checksum must be eight hex digits");
            return true;
        }
        if (words[0] == "info") return BytesLine(MemoryArea::Info, words);
        if (words[0] == "image") return BytesLine(MemoryArea::Image, words);
        return Refuse("unexpected \"" + std::string(words[0]) + "\"");
    }

    bool BytesLine(MemoryArea area, const std::vector<std::string_view> &words) {
        const char *what = AreaKeyword(area);
        uint8_t *bytes = area == MemoryArea::Info ? memory_.info.data() : memory_.image.data();
        const std::size_t size = area == MemoryArea::Info ? memory_.info.size() : memory_.image.size();
        std::vector<bool> &seen = area == MemoryArea::Info ? infoSeen_ : imageSeen_;

        if (words.size() < 2 || words[1].size() != 3 || words[1][2] != ':')
            return Refuse(std::string("an ") + what + " line must go on with its address \"AA:\"");
        const std::optional<uint32_t> address = HexNumber(words[1].substr(0, 2), 2);
        if (!address || *address % kBytesPerLine != 0 || *address >= size)
            return Refuse(std::string("no ") + what + " line has the address " +
                          std::string(words[1]));
        const std::size_t lineIndex = *address / kBytesPerLine;
        if (seen[lineIndex]) return Refuse(std::string(what) + " " + Hex2(*address) + " twice");
        if (words.size() != 2 + kBytesPerLine)
            return Refuse(std::string(what) + " " + Hex2(*address) + " must hold eight bytes");
        for (std::size_t i = 0; i < kBytesPerLine; ++i) {
            const std::optional<uint32_t> byte = HexNumber(words[2 + i], 2);
            if (!byte) return Refuse("\"" + std::string(words[2 + i]) + "\" is not a hex byte");
            bytes[*address + i] = static_cast<uint8_t>(*byte);
        }
        seen[lineIndex] = true;
        return true;
    }

    BackupReading Finish() {
        if (!sawHeader_) return Fail("the file is empty");
        for (std::size_t i = 0; i < infoSeen_.size(); ++i)
            if (!infoSeen_[i]) return Fail("the line info " + Hex2(i * kBytesPerLine) + " is missing");
        for (std::size_t i = 0; i < imageSeen_.size(); ++i)
            if (!imageSeen_[i])
                return Fail("the line image " + Hex2(i * kBytesPerLine) + " is missing");
        if (!crc_) return Fail("the crc32 line is missing");
        const uint32_t actual = ContentCrc(memory_);
        if (actual != *crc_)
            return Fail("checksum mismatch: the file says " + Crc32Text(*crc_) +
                        ", its bytes give " + Crc32Text(actual) + " (the file is damaged)");
        if (memory_.info[layout::kDeviceType] != layout::kSupportedDevice)
            return Fail("not the backup of a supported repeater (device type " +
                        Hex2(memory_.info[layout::kDeviceType]) + ")");
        BackupReading reading;
        reading.ok = true;
        reading.memory = memory_;
        reading.port = port_;
        reading.savedAt = savedAt_;
        return reading;
    }

    RepeaterMemory memory_;
    std::vector<bool> infoSeen_ = std::vector<bool>(layout::kInfoBlockSize / kBytesPerLine);
    std::vector<bool> imageSeen_ = std::vector<bool>(layout::kImageSize / kBytesPerLine);
    std::optional<uint32_t> crc_;
    std::string port_;
    std::string savedAt_;
    std::string error_;
    bool sawHeader_ = false;
};

}  // namespace

std::string FormatBackup(const RepeaterMemory &memory, const std::string &port,
                         const std::string &savedAt) {
    std::string out = std::string(kHeader) + " " + kVersion + "\n";
    out +=
        "# A repeater's memory, saved by relaycfg or the Relaytool window. \"info AA:\" and\n"
        "# \"image AA:\" lines hold eight bytes in hex from hex address AA of the identification\n"
        "# block and of the configuration image; \"#\" starts a comment. crc32 is the CRC-32 (as\n"
        "# zlib computes it) of the 32 info bytes followed by the 80 image bytes: `relaycfg\n"
        "# restore` refuses a file whose bytes do not match it.\n";
    out += "port: " + port + "\n";
    out += "saved: " + savedAt + "\n";
    AppendArea(out, MemoryArea::Info, memory.info);
    AppendArea(out, MemoryArea::Image, memory.image);
    out += "crc32: " + Crc32Text(ContentCrc(memory)) + "\n";
    return out;
}

std::string FormatImageLines(const std::array<uint8_t, layout::kImageSize> &image) {
    std::string out;
    AppendArea(out, MemoryArea::Image, image);
    return out;
}

BackupReading ParseBackup(std::string_view text) {
    // A file saved by an editor that marks UTF-8 text (as Windows' Notepad may) is the same file.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return Reader().Read(text);
}
