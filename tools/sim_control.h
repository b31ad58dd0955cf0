// The repeater-sim program's control FIFO (--control FIFO): the commands with which a script
// plays the technician who takes a unit off the line and connects the next one.
//
//   unplug        the unit is taken off the line (Simulator::Unplug)
//   plug [FILE]   a new unit: the memories of FILE (the sample repeater when FILE does not
//                 exist), saved to FILE from then on; without FILE the sample repeater, saved
//                 nowhere
//
// One command a line; blank lines are ignored.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "repeater_sim.h"

namespace repeatersim {

// Carries out one command line; what happened ("unplugged", "plugged in (FILE)"), or "" for a
// blank line. Throws std::invalid_argument for a line that is no command, std::runtime_error
// for a memory file that cannot be read.
std::string RunControlCommand(Simulator &sim, const std::string &line);

// The FIFO, read line by line on a thread of its own. The simulator keeps it open for writing
// too, so that a writer closing it (`echo unplug > FIFO`) does not end the reading.
class ControlFifo {
public:
    // Makes the FIFO when path does not exist; throws std::runtime_error when it cannot, or when
    // path is something other than a FIFO.
    ControlFifo(const std::string &path, std::function<void(const std::string &line)> onLine);
    ~ControlFifo();  // stops the thread; removes the FIFO if it was made here
    ControlFifo(const ControlFifo &) = delete;
    ControlFifo &operator=(const ControlFifo &) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace repeatersim
