// The COM ports as relaycfg sees them: which can be opened now, and why one cannot.
// The survey and the diagnosis are the same everywhere (port_survey.cpp); naming a port's device
// and trying to open it are the platform's (posix/port_access.cpp, win32/port_access.cpp).
#pragma once

#include <string>
#include <vector>

struct PortStatus {
    unsigned number = 0;   // n of COMn
    std::string entry;     // the path the COM number resolves to
    std::string device;    // that path with every link followed
    bool available = false;
    bool busy = false;     // not available because another program holds it
    bool console = false;  // the system console: listed as such, never opened or asked
    std::string reason;    // why it cannot be opened, when not available
};

// COM1 to COM9 that resolve to some path, each probed by an exclusive open and close (the same
// naming and opening as Maillink's), except the system console, which is not touched. Line
// settings are not changed.
std::vector<PortStatus> SurveyPorts();

// "COM1 /dev/ttyUSB0 (via ENTRY)": the port, its device and the entry that binds it, if any.
std::string PortHeading(const PortStatus &port);

// One line on why COM<n> could not be opened, with a hint where one helps ("Permission denied":
// the dialout group; busy: another program holds it). Empty when it opens now.
std::string DiagnosePortFailure(unsigned number, const std::string &label);

// ---- The platform's part ----------------------------------------------------------------------

// The entry COM<n> resolves to and the device behind it; false when nothing stands for n.
bool ResolveComPort(unsigned number, std::string &entry, std::string &device);

struct OpenAttempt {
    bool opened = false;
    bool busy = false;   // another program holds the port
    std::string reason;  // when not opened, with a hint where one helps
};

// Opens COM<n> exclusively and closes it again.
OpenAttempt TryOpenPort(unsigned number);

// True when the device is the system console (on POSIX the kernel's console: a board's or a
// virtual machine's first serial port often is).
bool IsConsoleDevice(const std::string &device);

// Why a port that resolves to nothing cannot serve ("... resolves to no device").
std::string NoDeviceText(const std::string &label);
