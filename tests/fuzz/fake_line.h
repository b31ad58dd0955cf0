// A scripted serial line behind Maillink's platform interface, for fuzzing the mail protocol
// without a device. The script is what the device does, consumed as the host reads:
//
//   0x00..0x3F  idle: the next (op + 1) reads find nothing
//   0x40..0x7F  echo: the next (op & 0x3F) + 1 bytes the host wrote come back (one idle read
//               when nothing written is waiting to come back)
//   0x80..0xBF  literal: the next (op & 0x3F) + 1 script bytes arrive as they are
//   0xC0..0xDF  reply: 4D 02, a length byte L' from the script, L' + 1 data bytes from the script,
//               and the checksum: their sum when bit 0 of op is set, else the next script byte
//   0xE0..0xFF  the acknowledge byte 0x61
//
// Once the script is used up the line is silent for ever. Pauses and sleeps return at once and
// are only counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fakeline {

struct Counters {
    uint64_t echoYields = 0;    // idle polls of the echo wait
    uint64_t pauses1ms = 0;     // idle polls of 1 ms (the acknowledge wait)
    uint64_t pauses5ms = 0;     // idle polls of 5 ms (the reply wait)
    uint64_t otherPauses = 0;   // idle polls of any other length: none expected
    std::vector<uint16_t> sleeps;  // whole sleeps (Delay and the EEPROM pause), in order
    unsigned opens = 0;
    unsigned closes = 0;
    std::string lastModeText;
    uint32_t lastBaudRate = 0;
};

// A fresh line: the script, whether opening succeeds, and how many bytes one write hands over
// at most (a stalled line hands over fewer than asked).
void Reset(const uint8_t *script, std::size_t size, bool openSucceeds, uint32_t writeLimit);

Counters &Count();
struct WriteCall {
    std::vector<uint8_t> bytes;    // what it handed over
    std::size_t deliveredBefore;   // how many bytes the host had read before it
};
// Every write call, in order.
const std::vector<WriteCall> &WriteCalls();
// Every byte the host has read, in order.
const std::vector<uint8_t> &Delivered();

}  // namespace fakeline
