// The probe on POSIX systems: COM<n> resolves to a device exactly as it does for Maillink, and
// the device is opened the way Maillink opens it (exclusive, non-blocking, no controlling tty),
// then closed. No line setting or modem line is changed beyond what opening a tty does.
#include "port_probe.h"

#include "serial_device.h"

#include <climits>

bool ProbeComPort(uint8_t n) {
    if (n == 0 || n > 9) return false;
    // The mode text's line part (9600,n,8,1) is fixed and valid, so there is nothing to check
    // before the open; the device behind COM<n> comes from the port directory.
    char path[PATH_MAX];
    if (!maillink::posix::ComPortDevicePath(n, path, sizeof path)) return false;
    const int fd = maillink::posix::OpenExclusive(path);
    if (fd < 0) return false;
    maillink::posix::CloseExclusive(fd);
    return true;
}
