// How long the waits of the POSIX backend last. The mail layer counts idle polls; these constants
// give an idle poll its length on this platform.
#pragma once

#include <algorithm>
#include <cstdint>

#include "../platform.h"

namespace maillink::posix {

// The nominal length of an idle poll of the echo wait ("yield the processor"). A plain yield
// costs well under a microsecond on an idle Linux machine and about a millisecond on a busy one,
// so a count of yields is no measure of time. With 40 us the program's echo budget of a read
// frame (12 bytes x 2000 polls = 24,000 polls) lasts about one second of silence, which is how
// long a missing echo takes to be noticed, while an echo delayed by an adapter's 16 ms latency
// timer costs only 400 of a byte's 2000 polls.
constexpr long kEchoYieldNanoseconds = 40'000;

// The acknowledge wait's and the reply wait's polls: 1 ms and 5 ms pauses.
constexpr long kMillisecondPollNanoseconds = 1'000'000;
constexpr long kFiveMillisecondPollNanoseconds = 5'000'000;

constexpr long long PollNanoseconds(platform::IdlePoll poll) {
    switch (poll) {
    case platform::IdlePoll::EchoYield: return kEchoYieldNanoseconds;
    case platform::IdlePoll::OneMillisecond: return kMillisecondPollNanoseconds;
    case platform::IdlePoll::FiveMilliseconds: return kFiveMillisecondPollNanoseconds;
    }
    return kMillisecondPollNanoseconds;
}

// The polls charged to a wait of `polls` idle polls (at least 1) of `nominal` nanoseconds each
// that input ended after `elapsed` nanoseconds: those the time stands for, rounded up, so that an
// idle poll cut short still counts as one, as a whole pause would. A wake-up that came late (a
// loaded machine) must not throw the input away by using up the budget before it is read: one
// poll is left for it, as a poll-by-poll wait would have read it before its next pause.
constexpr uint32_t PollsBeforeInput(long long elapsed, long long nominal, uint32_t polls) {
    const long long spent = (elapsed + nominal - 1) / nominal;
    const long long most = polls > 1 ? polls - 1 : 1;
    return static_cast<uint32_t>(std::clamp(spent, 1LL, most));
}

// The time one character takes on a line of bitsPerCharacter bits at baudRate.
constexpr long long ByteNanoseconds(unsigned bitsPerCharacter, uint32_t baudRate) {
    return baudRate == 0 ? 0 : 1'000'000'000LL * bitsPerCharacter / baudRate;
}

// How long a wait that has found input sleeps before it looks again: the time the line needs to
// carry the awaited bytes that are missing, after which the last of them is there. The wait
// noticed the first byte a wake-up latency after it came, so it notices the last one about as
// late as a wait that woke for every byte would have (plus how late its timer fires); the
// wake-ups in between are saved. 0 when all are there.
constexpr long long TimeToCarry(uint32_t awaited, uint32_t waiting, long long byteNanoseconds) {
    return awaited > waiting ? (awaited - waiting) * byteNanoseconds : 0;
}

// Whether a line keeps pace with its rate, judged by the first input after a write: `waiting`
// bytes there `sinceWrite` nanoseconds after the write began. A serial line cannot bring k bytes
// back sooner than k byte times after the first went out; a pseudo-terminal brings the echo and
// the answer at once, and a wait that slept for their byte times there would only be slower.
constexpr bool KeepsPace(long long sinceWrite, int waiting, long long byteNanoseconds) {
    return byteNanoseconds > 0 && waiting > 0 && waiting * byteNanoseconds <= sinceWrite;
}

// A write that cannot hand over any byte for this long (output stopped, nobody reading the other
// end) gives up and reports what it handed over, instead of blocking for ever.
constexpr int kWriteStallMilliseconds = 2000;

}  // namespace maillink::posix
