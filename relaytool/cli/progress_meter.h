// The mail counter on standard error while transfers run. On a terminal one line per transfer
// counts up in place ("Reading configuration image: mail 3/10"); elsewhere (a log, a pipe) one
// line per transfer says how it ended. Mails sent a second time after a damaged byte are
// counted on the line ("mail 3/10, 1 retry").
#pragma once

#include <ostream>

struct TransferProgress;

class ProgressMeter {
public:
    // enabled false shows nothing.
    ProgressMeter(std::ostream &err, bool live, bool enabled);
    ~ProgressMeter();
    ProgressMeter(const ProgressMeter &) = delete;
    ProgressMeter &operator=(const ProgressMeter &) = delete;

    // Shows how far a transfer has come (the memory layer's progress report).
    void Show(const TransferProgress &progress);
    // Ends a counting line, so that a message can follow on a line of its own.
    void EndLine();
    // Whether a counting line may stand unfinished on a terminal.
    bool CountsInPlace() const { return enabled_ && live_; }

private:
    std::ostream &err_;
    bool live_;
    bool enabled_;
    bool lineOpen_ = false;
};
