// Where relaycfg writes: the result to out, progress and messages to err.
#pragma once

#include <ostream>

struct Console {
    std::ostream &out;
    std::ostream &err;
    bool liveProgress;  // err is a terminal: the mail counter counts up in place
};
