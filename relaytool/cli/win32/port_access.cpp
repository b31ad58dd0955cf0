// The COM ports as relaycfg sees them on Windows: each of COM1 to COM9 that the system knows
// (QueryDosDeviceA names the device behind it) is probed by an exclusive open, a look at its line
// settings and a close: the same CreateFileA as Maillink's.
#include <windows.h>

#include "port_access.h"

namespace {

constexpr unsigned kLastPort = 9;

std::string SystemText(DWORD code) {
    char text[256] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                    text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.')) --length;
    return length > 0 ? std::string(text, length) : "error " + std::to_string(code);
}

std::string ErrorReason(DWORD error) {
    std::string reason = SystemText(error);
    // A serial port that another program holds refuses a second open with "Access is denied".
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) reason += " (another program holds the port)";
    return reason;
}

// The device the system maps COMn to, or an empty text when there is none.
std::string DeviceOf(const std::string &name) {
    char target[1024] = {};
    if (::QueryDosDeviceA(name.c_str(), target, sizeof target) == 0) return {};
    return target;
}

// Opens and closes the port; 0 when it opened, else the error of the failure.
DWORD TryOpen(const std::string &name) {
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

std::vector<PortStatus> SurveyPorts() {
    std::vector<PortStatus> ports;
    for (unsigned n = 1; n <= kLastPort; ++n) {
        const std::string name = "COM" + std::to_string(n);
        const std::string device = DeviceOf(name);
        if (device.empty()) continue;
        PortStatus status;
        status.number = n;
        status.entry = device;  // no link in between: the system maps the name itself
        status.device = device;
        const DWORD error = TryOpen(name);
        status.available = error == 0;
        if (!status.available) status.reason = ErrorReason(error);
        ports.push_back(status);
    }
    return ports;
}

std::string DiagnosePortFailure(unsigned number, const std::string &label) {
    const std::string name = "COM" + std::to_string(number);
    const std::string device = DeviceOf(name);
    if (device.empty()) return label + " is not a serial port of this computer (see `relaycfg ports`)";
    const DWORD error = TryOpen(name);
    if (error == 0) return {};
    return label + " (" + device + "): " + ErrorReason(error);
}
