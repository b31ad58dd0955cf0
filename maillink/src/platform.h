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

// The pause after an idle poll inside a wait: at most `milliseconds`, and it may end early when
// input arrives on the port. Never a busy loop, also on a line that has hung up.
void IdlePause(uint32_t port, uint16_t milliseconds);

// The pause after an idle poll of the echo wait ("yield the processor"). Its length sets how long
// an echo budget lasts; see the backends.
void EchoYield(uint32_t port);

// Text of the last failed platform call into buffer, at most size characters including the
// terminating zero (always terminated when size > 0), or "Errorcode %d" when there is none that
// fits. Returns buffer.
char *LastErrorText(char *buffer, uint8_t size);

}  // namespace maillink::platform
