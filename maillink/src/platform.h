// The operating-system primitives under the port and mail logic. One implementation per platform
// (win32/ or posix/), chosen by the build; the logic in port.cpp and mail.cpp is written once
// against this interface.
#pragma once

#include <cstdint>

namespace maillink::platform {

constexpr uint32_t kNoPort = 0xFFFFFFFFu;

// Opens and configures the port that modeText names ("COM3:9600,n,8,1"; the device name is the
// text up to the colon) for the repeater's line: exclusive use, baudRate (replacing the rate in
// the text), 8N1 raw, DTR asserted and RTS not, no flow control, reads returning at once with
// what has arrived; after a 20 ms settle both directions are discarded and line errors cleared.
// Returns the handle, or kNoPort. A failure after the device opened releases it again.
uint32_t OpenPort(const char *modeText, uint32_t baudRate);

// Discards both directions and closes.
void PurgeAndClose(uint32_t port);

// One synchronous write of len bytes; the number of bytes handed over.
uint32_t Write(uint32_t port, const uint8_t *data, uint32_t len);

// Reads up to count bytes that are already waiting; never blocks. 0 when none or on failure.
uint8_t Read(uint32_t port, uint8_t *buffer, uint8_t count);

// Sleeps the whole time (the exported Delay).
void Sleep(uint16_t milliseconds);

// The idle polls of the library's waits: the echo wait's (a yield of the processor after each
// read that found nothing), and the 1 ms and 5 ms pauses of the acknowledge and reply waits.
enum class IdlePoll : uint8_t { EchoYield, OneMillisecond, FiveMilliseconds };

// Waits out idle polls of a wait on the port, at most `polls` of them (callers pass at least 1),
// and returns how many passed: at least 1, at most `polls`. The wait may end early when input
// arrives. On a line that has gone (an unplugged adapter, reads that fail) it returns `polls` at
// once: the whole budget is taken without sleeping it out, so that its caller ends with the code
// the budget's end gives, and nothing loops. awaitedBytes (at least 1) is how many bytes the wait
// is for, those the line brings right after them included, so that a backend that knows the
// line's byte time need not wake for each of them as they trickle in. Windows waits out exactly
// one poll; POSIX sleeps once for the time of all of them and counts the polls that the time it
// slept stands for (see posix_waits.h).
uint32_t WaitIdlePolls(uint32_t port, IdlePoll poll, uint32_t polls, uint32_t awaitedBytes);

// Text of the last failed platform call into buffer, at most size characters including the
// terminating zero (always terminated when size > 0), or "Errorcode %d" when there is none that
// fits. Returns buffer.
char *LastErrorText(char *buffer, uint8_t size);

}  // namespace maillink::platform
