// One run of the driver rig on the host: assembles the guest, boots it with the simulated
// repeaters on the host ends of both serial lines, answers the guest's requests (image checks,
// the adapter pulled out and put back, the console's bytes), bounds the whole run with a
// watchdog, and writes every step's result into the work folder; and the report of one step
// from there, for CTest.
#pragma once

#include <string>

namespace rig {

struct RigPaths {
    std::string makeGuest;  // make_guest.sh
    std::string guestInit;  // guest_init.sh
    std::string guestProgram;
    std::string relaycfg;
};

// Boots the guest once and writes results.txt and console.log into workDir. 0 when the results
// were written, whatever they say; kSkipped when the machine cannot run the rig (no readable
// kernel), with the reason in skipped.txt.
int RunRig(const RigPaths &paths, const std::string &workDir);

// Prints one step's result; on a failure also the console's tail. 0 passed, 1 failed, kSkipped.
int ReportStep(const std::string &workDir, const std::string &step);

inline constexpr int kSkipped = 77;

}  // namespace rig
