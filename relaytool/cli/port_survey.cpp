// The survey of COM1 to COM9 over the platform's naming and opening (port_access.h).
#include "port_access.h"

namespace {

constexpr unsigned kLastPort = 9;

}  // namespace

std::vector<PortStatus> SurveyPorts() {
    std::vector<PortStatus> ports;
    for (unsigned n = 1; n <= kLastPort; ++n) {
        PortStatus status;
        if (!ResolveComPort(n, status.entry, status.device)) continue;
        status.number = n;
        if (IsConsoleDevice(status.device)) {
            status.console = true;
            status.reason = "the system console";
            ports.push_back(status);
            continue;
        }
        const OpenAttempt attempt = TryOpenPort(n);
        status.available = attempt.opened;
        status.busy = attempt.busy;
        status.reason = attempt.reason;
        ports.push_back(status);
    }
    return ports;
}

std::string PortHeading(const PortStatus &port) {
    std::string text = "COM" + std::to_string(port.number) + " " + port.device;
    if (port.entry != port.device) text += " (via " + port.entry + ")";
    return text;
}

std::string DiagnosePortFailure(unsigned number, const std::string &label) {
    std::string entry, device;
    if (!ResolveComPort(number, entry, device)) return NoDeviceText(label);
    const OpenAttempt attempt = TryOpenPort(number);
    if (attempt.opened) return {};
    return label + " (" + device + "): " + attempt.reason;
}
