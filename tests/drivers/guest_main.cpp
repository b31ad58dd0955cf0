// drivers_guest: the driver rig's program inside the virtual machine. /init starts it once the
// modules are loaded; it runs every step over the real ftdi_sio and 8250 drivers and reports
// each on the console (rig_protocol.h), then returns for /init to power off.
//
//   drivers_guest                run the steps
//   drivers_guest open N [UID]   the second process of the exclusive-use step
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "guest_steps.h"

namespace {

constexpr int kDeviceLimitMs = 15000;

// The host's answers come in on the console: they are read, not echoed back into the log.
void QuietConsoleInput() {
    termios console{};
    if (::tcgetattr(STDIN_FILENO, &console) != 0) return;
    console.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &console);
}

}  // namespace

int main(int argc, char **argv) {
    using namespace guest;
    if (argc >= 3 && std::strcmp(argv[1], "open") == 0)
        return SecondOpen(static_cast<unsigned>(std::atoi(argv[2])), argc >= 4 ? argv[3] : nullptr);

    QuietConsoleInput();
    for (const rig::Line &line : rig::kLines) {
        if (!WaitForPath(std::string(line.device), kDeviceLimitMs)) {
            Say("missing " + std::string(line.device));
            return 1;
        }
    }
    Say("ready");

    ComNumbersStep();
    PortsFindStep();
    for (const rig::Line &line : rig::kLines) {
        LineSettingsStep(line);
        LowLatencyStep(line);
        ExclusiveStep(line);
        LoadSaveStep(line);
        RelaycfgSteps(line);
    }
    UnplugSteps(rig::kUsbLine);
    Say("done");
    return 0;
}
