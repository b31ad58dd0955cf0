// The idle-poll budgets of the library's waits and how a wait spends them.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform.h"

namespace maillink {

// A 16-bit poll count as a budget: decremented before it is tested, so 0 wraps to 65,536 polls.
constexpr uint32_t PollBudget(uint16_t polls) { return polls == 0 ? 65536u : polls; }

// Idle polls allowed while the echo of a frame of frameLength bytes comes back: the allowance
// per byte times the frame length, as a 32-bit count that is decremented before it is tested.
// An allowance of 0 counts as 65,536 polls per byte, the value every other 16-bit poll count of
// the library takes when it wraps. A product of 0 would wrap the 32-bit count, decremented before
// it is tested, to 4,294,967,296 polls (hours of waiting); counting 0 this way keeps the budget at
// most 20 x 65,536 polls.
constexpr uint32_t EchoBudget(uint32_t frameLength, uint16_t perByte) {
    return frameLength * PollBudget(perByte);
}

// After a read that found nothing: waits out idle polls of the wait on the port for the
// awaitedBytes still missing (at least 1) and takes them from the budget. False when the budget
// is used up. A byte that arrives costs nothing; the platform counts only the time spent
// waiting, at least one poll a call.
inline bool SpendIdlePolls(uint32_t port, platform::IdlePoll poll, uint32_t &budget, uint32_t awaitedBytes) {
    const uint32_t spent = platform::WaitIdlePolls(port, poll, budget, awaitedBytes);
    budget -= std::clamp<uint32_t>(spent, 1, budget);
    return budget != 0;
}

}  // namespace maillink
