// Naming and exclusive opening of serial devices on POSIX systems, shared by the Maillink
// library, the window's port probe and relaycfg's port survey, so that all see the same COM ports.
//
// COM<n> (1 to 9) resolves to a device path: an entry named COM<n> (normally a symlink) in the
// port directory wins; the directory is $MAILLINK_DEVICE_DIR when set, else the per-user
// directory ${XDG_CONFIG_HOME:-$HOME/.config}/maillink/ports. When MAILLINK_DEVICE_DIR is set,
// only its entries count. Otherwise numbers without an entry are given to the serial devices
// present, in a documented order (see serial_device.cpp and the README).
#pragma once

#include <cstddef>

namespace maillink::posix {

// Writes the device path for COM<n> into out (size bytes, terminated). false when n is outside
// 1..9, when nothing stands for that number, or the path does not fit.
bool ComPortDevicePath(unsigned n, char *out, std::size_t size);

// Where the naming rule looks. ComPortDevicePath fills it from the environment and the real
// system folders; tests and tools may point it elsewhere.
struct PortNaming {
    const char *entryDir = nullptr;        // folder of the COM<n> entries; nullptr: none
    bool entriesOnly = false;              // true: no default numbering (MAILLINK_DEVICE_DIR set)
    const char *devDir = "/dev";           // where ttyUSB<k>, ttyACM<k> and ttyS<k> are looked for
    const char *sysTtyDir = "/sys/class/tty";  // ttyS<k>/type tells a UART from a placeholder
};

// ComPortDevicePath with the places spelled out.
bool ComPortDevicePathIn(const PortNaming &naming, unsigned n, char *out, std::size_t size);

// True when path (whatever links lead to it) is a device of the kernel's console: one of the
// terminals <sysTtyDir>/console/active names, matched by device number. Such a port keeps its
// COM number, but it is the system's line (boot messages, a login), never a repeater's: it is
// not to be sent mails unasked.
bool IsSystemConsole(const char *path);
bool IsSystemConsoleIn(const PortNaming &naming, const char *path);

// Opens path for exclusive reading and writing: O_RDWR|O_NOCTTY|O_NONBLOCK|O_CLOEXEC, then
// flock(LOCK_EX|LOCK_NB), then TIOCEXCL (ENOTTY/EINVAL tolerated). Returns the descriptor, or -1
// with errno set (EBUSY/EWOULDBLOCK when another process holds the device). No line settings
// are changed.
int OpenExclusive(const char *path);

// Clears TIOCEXCL (so that the next open is not refused while another descriptor keeps the tty
// alive) and closes.
void CloseExclusive(int fd);

}  // namespace maillink::posix
