// Where relaycfg writes (the result to out, progress and messages to err) and, for the commands
// that ask, where the answers come from.
#pragma once

#include <istream>
#include <ostream>

struct Console {
    std::ostream &out;
    std::ostream &err;
    bool liveProgress;           // err is a terminal: the mail counter counts up in place
    std::istream *in = nullptr;  // the answers to prompts; none: every prompt reads as "q"
};
