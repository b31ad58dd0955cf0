#include "port_access.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "serial_device.h"

namespace {

constexpr unsigned kLastPort = 9;

// The path with every link followed; for a link to something absent, what the link names.
std::string Resolved(const char *path) {
    char real[PATH_MAX];
    if (::realpath(path, real)) return real;
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
    if (ec) return path;
    return (std::filesystem::path(path).parent_path() / target).lexically_normal().string();
}

std::string ErrorReason(int error) {
    std::string reason = std::strerror(error);
    if (error == EACCES)
        reason += " (add the user to group dialout, then log out and in again)";
    else if (error == EBUSY || error == EWOULDBLOCK)
        reason += " (another program holds the port)";
    return reason;
}

// Opens and closes the device; 0 when it opened, else the errno of the failure.
int TryOpen(const char *path) {
    const int fd = maillink::posix::OpenExclusive(path);
    if (fd < 0) return errno != 0 ? errno : EIO;
    maillink::posix::CloseExclusive(fd);
    return 0;
}

}  // namespace

std::vector<PortStatus> SurveyPorts() {
    std::vector<PortStatus> ports;
    for (unsigned n = 1; n <= kLastPort; ++n) {
        char path[PATH_MAX];
        if (!maillink::posix::ComPortDevicePath(n, path, sizeof path)) continue;
        PortStatus status;
        status.number = n;
        status.entry = path;
        status.device = Resolved(path);
        const int error = TryOpen(path);
        status.available = error == 0;
        if (!status.available) status.reason = ErrorReason(error);
        ports.push_back(status);
    }
    return ports;
}

std::string DiagnosePortFailure(unsigned number, const std::string &label) {
    char path[PATH_MAX];
    if (!maillink::posix::ComPortDevicePath(number, path, sizeof path))
        return label + " resolves to no device (see `relaycfg ports`)";
    const int error = TryOpen(path);
    if (error == 0) return {};
    return label + " (" + Resolved(path) + "): " + ErrorReason(error);
}
