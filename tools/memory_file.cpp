#include "memory_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace repeatersim::detail {

namespace {

constexpr std::size_t kBytesPerLine = 16;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

[[noreturn]] void Fail(std::size_t lineNumber, const std::string &what) {
    throw std::runtime_error("memory file line " + std::to_string(lineNumber) + ": " + what);
}

void AppendLine(const std::string &keyword, const uint8_t *bytes, std::size_t n,
                std::string &out) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < n; i += kBytesPerLine) {
        out += keyword;
        for (std::size_t k = i; k < n && k < i + kBytesPerLine; ++k) {
            out += ' ';
            out += kDigits[bytes[k] >> 4];
            out += kDigits[bytes[k] & 0x0F];
        }
        out += '\n';
    }
}

}  // namespace

MemoryText ParseMemoryText(const std::string &text) {
    MemoryText result;
    std::istringstream lines(text);
    std::string line;
    for (std::size_t number = 1; std::getline(lines, line); ++number) {
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword)) continue;

        std::optional<std::vector<uint8_t>> *memory = nullptr;
        std::size_t capacity = 0;
        if (keyword == "info") {
            memory = &result.info;
            capacity = kInfoSize;
        } else if (keyword == "config") {
            memory = &result.config;
            capacity = kConfigSize;
        } else {
            Fail(number, "unknown keyword \"" + keyword + "\" (info or config expected)");
        }
        if (!*memory) memory->emplace();

        for (std::string word; words >> word;) {
            const int high = word.size() == 2 ? HexDigit(word[0]) : -1;
            const int low = word.size() == 2 ? HexDigit(word[1]) : -1;
            if (high < 0 || low < 0) Fail(number, "\"" + word + "\" is not a two-digit hex byte");
            if ((*memory)->size() == capacity)
                Fail(number, "more than " + std::to_string(capacity) + " " + keyword + " bytes");
            (*memory)->push_back(static_cast<uint8_t>(high << 4 | low));
        }
    }
    return result;
}

std::string FormatMemoryText(const std::array<uint8_t, kInfoSize> &info,
                             const std::vector<uint8_t> &config) {
    std::string out =
        "# Simulated repeater memory: identification (info) and configuration (config) bytes\n"
        "# in address order, 16 a line.\n";
    AppendLine("info", info.data(), info.size(), out);
    AppendLine("config", config.data(), config.size(), out);
    return out;
}

MemoryText ReadMemoryFile(const std::string &path) {
    const std::string text = ReadWholeFile(path);
    try {
        return ParseMemoryText(text);
    } catch (const std::runtime_error &e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

std::string ReadWholeFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) throw std::runtime_error("cannot read " + path);
    return contents.str();
}

// Written beside the target and renamed over it, so a reader never sees half a file.
void ReplaceFile(const std::string &path, const std::string &contents) {
    static std::atomic<unsigned> serial{0};
    const std::string temp =
        path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << contents;
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            throw std::runtime_error("cannot write " + temp);
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        std::remove(temp.c_str());
        throw std::runtime_error("cannot replace " + path + ": " + std::strerror(err));
    }
}

}  // namespace repeatersim::detail
