// The device end of a test's serial line: where a scripted device reads what the library sent
// and writes what the library is to read. On POSIX it is the master side of a pseudo-terminal
// whose other side the library opens as its COM port; under Wine it is a local TCP connection to
// the relay that the test driver runs for the COM port (socat between a pseudo-terminal, which
// Wine's registry names as the COM port, and a listening socket).
#pragma once

#include <cstddef>
#include <cstdint>

class LineEnd {
public:
    virtual ~LineEnd() = default;
    // Waits at most timeoutMs for input: the number of bytes read, 0 when none came, -1 when the
    // line is closed.
    virtual long Read(uint8_t *buffer, std::size_t size, unsigned timeoutMs) = 0;
    // Writes every byte; false when the line is closed.
    virtual bool Write(const uint8_t *data, std::size_t size) = 0;
    // Closes the line as an unplugged adapter would; returns once the library's side has lost it.
    // Reads and writes fail afterwards.
    virtual void HangUp() = 0;
};
