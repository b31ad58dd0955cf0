// The mail counter on standard error while transfers run. On a terminal one line per transfer
// counts up in place ("Reading configuration image: mail 3/10"); elsewhere (a log, a pipe) one
// line per transfer says how it ended.
#pragma once

#include <ostream>

class ProgressMeter {
public:
    // Watches every transfer while it lives; enabled false shows nothing.
    ProgressMeter(std::ostream &err, bool live, bool enabled);
    ~ProgressMeter();
    ProgressMeter(const ProgressMeter &) = delete;
    ProgressMeter &operator=(const ProgressMeter &) = delete;

    // Ends a counting line, so that a message can follow on a line of its own.
    void EndLine();

private:
    std::ostream &err_;
    bool live_;
    bool lineOpen_ = false;
};
