// The program-wide mirrors of the repeater's identification memory and configuration memory.
// Byte k of a buffer holds the byte at device address k; both are all zero at start.
#pragma once

#include <cstddef>
#include <cstdint>

// Room for device addresses 0 to 0x3FFE; the program transfers only the first 32 and 80 bytes.
constexpr std::size_t kMemoryBufferSize = 0x3FFF;

extern uint8_t InfoBlock[kMemoryBufferSize];
extern uint8_t ConfigImage[kMemoryBufferSize];
