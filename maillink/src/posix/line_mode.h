// The mode text of a port ("COM3:9600,n,8,1") read as the Windows platform reads it, and the baud
// rates that termios can set.
#pragma once

#include <cstdint>
#include <termios.h>

namespace maillink::posix {

enum class StopBits { One, OneAndHalf, Two };

struct LineMode {
    unsigned portNumber = 0;  // 1 to 9
    uint32_t baudRate = 0;    // as written in the text (the caller's rate replaces it)
    char parity = 'n';        // n, e, o, m or s
    unsigned dataBits = 8;    // 5 to 8
    StopBits stopBits = StopBits::One;
};

// "COM<digit 1-9>:<baud>,<parity>,<data bits>,<stop bits>", letters in either case, blanks
// allowed around the commas. false for anything else (the text is then refused, as the platform
// refuses a malformed device control string).
bool ParseModeText(const char *text, LineMode &mode);

// Bits a character takes on the line: the start bit, the data bits, the parity bit if any and
// the stop bits (1.5 counts as 2).
unsigned BitsPerCharacter(const LineMode &mode);

// The termios speed for a baud rate. Only the standard rates are mapped; any other rate (and 0,
// which would mean "hang up") has no speed and makes the open fail, rather than running the line
// at a rate the caller did not ask for.
bool SpeedForBaud(uint32_t baudRate, speed_t &speed);

}  // namespace maillink::posix
