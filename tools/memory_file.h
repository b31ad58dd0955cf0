// The text form of the repeater's two memories:
//
//   # comment (also after the bytes of a line)
//   info 00 11 22 ...      identification memory, in order, 16 bytes a line when written
//   config 02 5A ...       configuration memory, in order
//
// A memory that the text names is replaced whole (bytes not given read 0); one it does not
// name is left as it is.
#pragma once

#include "repeater_sim.h"

#include <optional>
#include <string>
#include <vector>

namespace repeatersim::detail {

struct MemoryText {
    std::optional<std::vector<uint8_t>> info;    // at most kInfoSize bytes
    std::optional<std::vector<uint8_t>> config;  // at most kConfigSize bytes
};

// Throws std::runtime_error naming the line on bad hex, an unknown keyword or too many bytes.
MemoryText ParseMemoryText(const std::string &text);
std::string FormatMemoryText(const std::array<uint8_t, kInfoSize> &info,
                             const std::vector<uint8_t> &config);

// ParseMemoryText of the file's contents; the error names the file.
MemoryText ReadMemoryFile(const std::string &path);
std::string ReadWholeFile(const std::string &path);                         // throws
void ReplaceFile(const std::string &path, const std::string &contents);    // throws

}  // namespace repeatersim::detail
