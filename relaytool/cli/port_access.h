// The COM ports as relaycfg sees them: which can be opened now, and why one cannot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PortStatus {
    unsigned number = 0;   // n of COMn
    std::string entry;     // the path the COM number resolves to
    std::string device;    // that path with every link followed
    bool available = false;
    std::string reason;    // why it cannot be opened, when not available
};

// COM1 to COM9 that resolve to some path, each probed by an exclusive open and close (the same
// naming and opening as Maillink's). Line settings are not changed.
std::vector<PortStatus> SurveyPorts();

// One line on why COM<n> could not be opened, with a hint where one helps ("Permission denied":
// the dialout group; busy: another program holds it). Empty when it opens now.
std::string DiagnosePortFailure(unsigned number, const std::string &label);
