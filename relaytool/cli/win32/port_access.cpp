// COM port naming and the exclusive open on Windows: each of COM1 to COM9 that the system knows
// (QueryDosDeviceA names the device behind it) is opened with the same CreateFileA as Maillink's,
// its line settings looked at, and closed.
#include <windows.h>

#include "port_access.h"
#include "system_text.h"

namespace {

std::string NameOf(unsigned number) { return "COM" + std::to_string(number); }

// 0 when the port opened (and is a serial line), else the error of the failure.
DWORD OpenAndClose(const std::string &name) {
    const std::string path = "\\\\.\\" + name;
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    // A name that opens but is no serial line (Wine opens a COM port whose device is missing)
    // cannot serve a repeater either.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    DWORD error = 0;
    if (!::GetCommState(handle, &dcb)) {
        error = ::GetLastError();
        if (error == 0) error = ERROR_GEN_FAILURE;
    }
    ::CloseHandle(handle);
    return error;
}

}  // namespace

bool ResolveComPort(unsigned number, std::string &entry, std::string &device) {
    char target[1024] = {};
    if (::QueryDosDeviceA(NameOf(number).c_str(), target, sizeof target) == 0) return false;
    device = target;
    entry = device;  // no link in between: the system maps the name itself
    return true;
}

OpenAttempt TryOpenPort(unsigned number) {
    OpenAttempt attempt;
    const DWORD error = OpenAndClose(NameOf(number));
    if (error == 0) {
        attempt.opened = true;
        return attempt;
    }
    attempt.reason = SystemText(error);
    // A serial port that another program holds refuses a second open with "Access is denied".
    attempt.busy = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    if (attempt.busy) attempt.reason += " (another program holds the port)";
    return attempt;
}

// Windows keeps no console on its COM ports.
bool IsConsoleDevice(const std::string &) { return false; }

std::string NoDeviceText(const std::string &label) {
    return label + " is not a serial port of this computer (see `relaycfg ports`)";
}
