// The idle-poll budgets of the mail waits whose arithmetic is more than a constant.
#pragma once

#include <cstdint>

namespace maillink {

// Idle polls allowed while the echo of a frame of frameLength bytes comes back: the allowance
// per byte times the frame length, as a 32-bit count that is decremented before it is tested.
// An allowance of 0 counts as 65,536 polls per byte, the value every other 16-bit poll count of
// the library takes when it wraps. Taken literally, 0 would make the 32-bit count wrap to
// 4,294,967,296 polls (hours of waiting); this way the budget is at most 20 x 65,536 polls.
constexpr uint32_t EchoBudget(uint32_t frameLength, uint16_t perByte) {
    return frameLength * (perByte == 0 ? 65536u : static_cast<uint32_t>(perByte));
}

}  // namespace maillink
