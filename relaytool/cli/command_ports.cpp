// relaycfg ports: the COM ports that can be opened now and the device behind each.
#include "commands.h"
#include "exit_codes.h"
#include "port_access.h"

int RunPorts(const Invocation &invocation, Console io) {
    bool any = false;
    for (const PortStatus &port : SurveyPorts()) {
        if (!port.available && !port.console && !invocation.all) continue;
        io.out << PortHeading(port);
        if (port.console) io.out << " (" << port.reason << ")";
        else if (!port.available) io.out << " unavailable: " << port.reason;
        io.out << '\n';
        any = any || port.available;
    }
    if (!any && !invocation.quiet) io.err << "No COM port can be opened now.\n";
    return kExitOk;
}
