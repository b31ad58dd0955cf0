// A raw pseudo-terminal pair for the simulated line.
#pragma once

#include <string>

namespace repeatersim::detail {

struct PtyLine {
    int master = -1;     // the device's end, non-blocking
    int keptSlave = -1;  // held open so the master never sees a hang-up while the host is away
    std::string slavePath;
};

// Creates the pair with the slave in raw mode (no echo, no line editing, 8 bits, 9600 baud).
// Throws std::runtime_error on failure.
PtyLine OpenPtyLine();
void ClosePtyLine(PtyLine &line);

}  // namespace repeatersim::detail
