// COM port naming and the exclusive open on POSIX: Maillink's own (serial_device).
#include "port_access.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "serial_device.h"

namespace {

// The path with every link followed; for a link to something absent, what the link names.
std::string Resolved(const char *path) {
    char real[PATH_MAX];
    if (::realpath(path, real)) return real;
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
    if (ec) return path;
    return (std::filesystem::path(path).parent_path() / target).lexically_normal().string();
}

}  // namespace

bool ResolveComPort(unsigned number, std::string &entry, std::string &device) {
    char path[PATH_MAX];
    if (!maillink::posix::ComPortDevicePath(number, path, sizeof path)) return false;
    entry = path;
    device = Resolved(path);
    return true;
}

OpenAttempt TryOpenPort(unsigned number) {
    OpenAttempt attempt;
    char path[PATH_MAX];
    int error = ENOENT;
    if (maillink::posix::ComPortDevicePath(number, path, sizeof path)) {
        const int fd = maillink::posix::OpenExclusive(path);
        if (fd >= 0) {
            maillink::posix::CloseExclusive(fd);
            attempt.opened = true;
            return attempt;
        }
        error = errno != 0 ? errno : EIO;
    }
    attempt.reason = std::strerror(error);
    attempt.busy = error == EBUSY || error == EWOULDBLOCK;
    if (error == EACCES)
        attempt.reason += " (add the user to group dialout, then log out and in again)";
    else if (attempt.busy)
        attempt.reason += " (another program holds the port)";
    return attempt;
}

bool IsConsoleDevice(const std::string &device) { return maillink::posix::IsSystemConsole(device.c_str()); }

std::string NoDeviceText(const std::string &label) {
    return label + " resolves to no device (see `relaycfg ports`)";
}
