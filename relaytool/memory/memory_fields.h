// Names of the bytes of the identification block and the configuration image that mean
// something, for the backup file's annotations and for reports of differing bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class MemoryArea { Info, Image };

struct NamedBytes {
    std::size_t offset;
    std::size_t length;
    const char *name;
};

// The named byte ranges of an area, in ascending order.
const std::vector<NamedBytes> &NamedBytesOf(MemoryArea area);

// The name of one byte; empty for a byte the program does not interpret.
std::string ByteName(MemoryArea area, std::size_t offset);
