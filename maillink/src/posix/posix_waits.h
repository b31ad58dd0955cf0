// How long the waits of the POSIX backend last. The mail layer counts idle polls; these constants
// give an idle poll its length on this platform.
#pragma once

namespace maillink::posix {

// The echo wait's "yield the processor" after an idle poll: a wait on the port of at most this
// long, ending as soon as input arrives. A plain yield costs well under a microsecond on an idle
// Linux machine, so the echo budget of a read frame (12 bytes x 2000 polls = 24,000 polls) would
// be gone in a few milliseconds, before the frame has even left a 9600-baud line, while spinning
// a core. With 400 us the same budget lasts at least 24,000 x 400 us = 9.6 s of silence (timer
// slack and the wake-up add some 80 us a poll: 11.6 s measured), in line with the reply wait's
// ten seconds, and a silent wait wakes at most 2,500 times a second. An echo that arrives still
// ends each wait within about 0.2 ms, so the quantum costs no time on a working line; it only
// decides how long a missing echo takes to be noticed and what waiting costs in processor time
// (a wake-up costs a few to some twenty microseconds: about 4 % of one core on a slow virtual
// machine, also while the echo trickles in at 9600 baud; shorter quanta cost more).
constexpr long kEchoYieldNanoseconds = 400'000;

// A write that cannot hand over any byte for this long (output stopped, nobody reading the other
// end) gives up and reports what it handed over, instead of blocking for ever.
constexpr int kWriteStallMilliseconds = 2000;

}  // namespace maillink::posix
