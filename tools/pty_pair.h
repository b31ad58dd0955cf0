// Pseudo-terminals as simulated serial lines: the pair whose master a simulated device serves,
// and the raw open of a terminal as the host's end of a line. The simulator and the tests'
// scripted devices and host ends all open their lines here.
#pragma once

#include <string>

namespace ptypair {

struct PtyPair {
    int master = -1;  // the device's end: non-blocking, close-on-exec
    int slave = -1;   // kept open by the device's side, so the master sees no hang-up while the
                      // host has the line closed; its settings are the line's
    std::string slavePath;  // what the host opens
};

// Opens a pair with the line raw (no echo, no line editing, 8 bits); line speed and read timing
// are left as the system sets them. Throws std::runtime_error naming the step that failed.
PtyPair OpenPtyPair();
void ClosePtyPair(PtyPair &pair);

// Opens a terminal as the host's end of a line: read-write, non-blocking, close-on-exec, no
// controlling terminal, raw, reads that return at once (VMIN = VTIME = 0). -1 with errno set on
// failure.
int OpenRawTerminal(const std::string &path);

}  // namespace ptypair
