// The repeater-sim program's command line.
#pragma once

#include "repeater_sim.h"

#include <string>
#include <vector>

namespace repeatersim {

struct CommandLine {
    std::string dir;     // where COM<n> is published; empty: DefaultPortDirectory()
    unsigned com = 1;
    Options options;     // options.memoryFile is --memory
    std::vector<FaultPlan> faults;
    std::string control;  // --control FIFO: the unplug and plug commands (sim_control.h)
    bool help = false;
};

// Throws std::invalid_argument with a message for the user.
CommandLine ParseCommandLine(const std::vector<std::string> &args);

// "KIND[@N][=V]": KIND one of no-echo, corrupt-echo, silence, bad-checksum, reply-length,
// wrong-device, hang-up, ignore-write; N the mail it hits (0 or absent: every mail); V a byte value (decimal,
// or hex with 0x). Throws std::invalid_argument.
FaultPlan ParseFaultOption(const std::string &text);

// $MAILLINK_DEVICE_DIR when set, else ${XDG_CONFIG_HOME:-$HOME/.config}/maillink/ports.
std::string DefaultPortDirectory();

const char *UsageText();

}  // namespace repeatersim
