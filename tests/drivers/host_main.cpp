// drivers_rig: the driver rig's host side (rig_session.h).
//
//   drivers_rig run WORKDIR           boot the guest once, write every step's result
//   drivers_rig report WORKDIR STEP   one step's result, the console's tail on a failure
#include <cstdio>
#include <exception>
#include <string>

#include "rig_session.h"

int main(int argc, char **argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "run" && argc == 3)
            return rig::RunRig({DRIVERS_MAKE_GUEST, DRIVERS_GUEST_INIT, DRIVERS_GUEST_PROGRAM, DRIVERS_RELAYCFG}, argv[2]);
        if (command == "report" && argc == 4) return rig::ReportStep(argv[2], argv[3]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "drivers_rig: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: drivers_rig run WORKDIR | drivers_rig report WORKDIR STEP\n");
    return 2;
}
