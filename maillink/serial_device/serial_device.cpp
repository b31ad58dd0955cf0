// Which device a COM number stands for on POSIX systems, and how a device is opened for
// exclusive use. Shared by the Maillink library and the program's port probe.
//
// Port naming. COM<n> (n = 1 to 9) resolves as follows:
//  1. The port directory is $MAILLINK_DEVICE_DIR when that variable is set and not empty,
//     otherwise ${XDG_CONFIG_HOME:-$HOME/.config}/maillink/ports (an XDG_CONFIG_HOME that is not
//     an absolute path is ignored, as the XDG rules say).
//  2. An entry named COM<n> in that directory wins. It is normally a symlink to the device
//     (/dev/serial/by-id/..., /dev/ttyACM0, a pseudo-terminal) but may be any path; it is used as
//     it is and resolved only by opening it, so a link to an absent device makes the open fail
//     instead of silently picking some other device.
//  3. When MAILLINK_DEVICE_DIR is set, only its entries count: a number without an entry has no
//     device. Tests and the demo rely on this to see nothing but their own ports.
//  4. Otherwise the numbers without an entry are given out in ascending order to the serial
//     devices present, taken in this order: /dev/ttyUSB0..9, /dev/ttyACM0..9, then those of
//     /dev/ttyS0..31 that have a UART behind them (/sys/class/tty/ttyS<k>/type is not "0";
//     the placeholder nodes many PCs have read 0 there and never appear as ports). A device that
//     an entry already binds to a number (same inode, whatever path leads to it) is not given a
//     second number.
// So one USB-serial adapter is COM1 without any configuration, and a second one COM2.
//
// The kernel's console: /sys/class/tty/console/active lists its terminals ("tty0 ttyS0"); each
// one's /sys/class/tty/<name>/dev holds its device number ("4:64").
//
// Exclusive open: O_RDWR|O_NOCTTY|O_NONBLOCK|O_CLOEXEC, then flock(LOCK_EX|LOCK_NB) before any
// line setting is touched (it also stops root, and holds across symlinks to the same device),
// then TIOCEXCL (further open() calls fail with EBUSY for non-root users). Pseudo-terminals and
// other devices that know no TIOCEXCL answer ENOTTY or EINVAL, which is accepted.
#include "serial_device.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace maillink::posix {
namespace {

constexpr unsigned kFirstPort = 1;
constexpr unsigned kLastPort = 9;
constexpr std::size_t kPathSize = 4096;

// snprintf that reports whether the whole text fitted.
bool Format(char *out, std::size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
bool Format(char *out, std::size_t size, const char *format, ...) {
    if (out == nullptr || size == 0) return false;
    va_list args;
    va_start(args, format);
    const int needed = std::vsnprintf(out, size, format, args);
    va_end(args);
    return needed >= 0 && static_cast<std::size_t>(needed) < size;
}

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool known = false;
};

FileId IdOf(const char *path) {
    FileId id;
    struct stat info {};
    if (::stat(path, &info) == 0) {
        id.device = info.st_dev;
        id.inode = info.st_ino;
        id.known = true;
    }
    return id;
}

bool EntryPath(const PortNaming &naming, unsigned n, char *out, std::size_t size) {
    return naming.entryDir != nullptr && naming.entryDir[0] != '\0' &&
           Format(out, size, "%s/COM%u", naming.entryDir, n);
}

// An entry counts when the name exists, even as a dangling symlink.
bool HasEntry(const PortNaming &naming, unsigned n) {
    char path[kPathSize];
    struct stat info {};
    return EntryPath(naming, n, path, sizeof path) && ::lstat(path, &info) == 0;
}

// Reads "ttyS<k>/type" below sysTtyDir; a UART is present when it holds a number other than 0.
// An unreadable file counts as no UART, so that placeholders never show up as ports.
bool HasUart(const PortNaming &naming, unsigned k) {
    char path[kPathSize];
    if (naming.sysTtyDir == nullptr || !Format(path, sizeof path, "%s/ttyS%u/type", naming.sysTtyDir, k))
        return false;
    std::FILE *file = std::fopen(path, "r");
    if (file == nullptr) return false;
    char text[16] = {};
    const bool read = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    if (!read) return false;
    char *end = nullptr;
    const long type = std::strtol(text, &end, 10);
    return end != text && type != 0;
}

// The index'th (0-based) serial device of the default numbering that is present and not bound
// by an entry.
bool NthPresentDevice(const PortNaming &naming, unsigned index, const FileId *bound, unsigned boundCount,
                      char *out, std::size_t size) {
    struct Group {
        const char *name;
        unsigned count;
        bool needsUart;
    };
    static constexpr Group kGroups[] = {{"ttyUSB", 10, false}, {"ttyACM", 10, false}, {"ttyS", 32, true}};
    if (naming.devDir == nullptr) return false;

    unsigned seen = 0;
    for (const Group &group : kGroups) {
        for (unsigned k = 0; k < group.count; ++k) {
            char path[kPathSize];
            if (!Format(path, sizeof path, "%s/%s%u", naming.devDir, group.name, k)) continue;
            const FileId id = IdOf(path);
            if (!id.known) continue;
            if (group.needsUart && !HasUart(naming, k)) continue;
            bool alreadyBound = false;
            for (unsigned b = 0; b < boundCount; ++b) {
                if (bound[b].known && bound[b].device == id.device && bound[b].inode == id.inode)
                    alreadyBound = true;
            }
            if (alreadyBound) continue;
            if (seen == index) return Format(out, size, "%s", path);
            ++seen;
        }
    }
    return false;
}

// The first line of a small file into text (size bytes); false when it cannot be read.
bool FirstLine(const char *path, char *text, std::size_t size) {
    std::FILE *file = std::fopen(path, "r");
    if (file == nullptr) return false;
    const bool read = std::fgets(text, static_cast<int>(size), file) != nullptr;
    std::fclose(file);
    return read;
}

int CloseKeepingErrno(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
}

}  // namespace

bool ComPortDevicePathIn(const PortNaming &naming, unsigned n, char *out, std::size_t size) {
    if (n < kFirstPort || n > kLastPort || out == nullptr || size == 0) return false;
    if (HasEntry(naming, n)) return EntryPath(naming, n, out, size);
    if (naming.entriesOnly) return false;

    // n is the rank'th number without an entry; devices bound by entries are skipped.
    FileId bound[kLastPort];
    unsigned boundCount = 0;
    unsigned rank = 0;
    for (unsigned m = kFirstPort; m <= kLastPort; ++m) {
        if (HasEntry(naming, m)) {
            char path[kPathSize];
            if (EntryPath(naming, m, path, sizeof path)) bound[boundCount++] = IdOf(path);
        } else if (m < n) {
            ++rank;
        }
    }
    return NthPresentDevice(naming, rank, bound, boundCount, out, size);
}

bool ComPortDevicePath(unsigned n, char *out, std::size_t size) {
    char userDir[kPathSize];
    PortNaming naming;
    const char *deviceDir = std::getenv("MAILLINK_DEVICE_DIR");
    if (deviceDir != nullptr && deviceDir[0] != '\0') {
        naming.entryDir = deviceDir;
        naming.entriesOnly = true;
    } else {
        const char *config = std::getenv("XDG_CONFIG_HOME");
        const char *home = std::getenv("HOME");
        if (config != nullptr && config[0] == '/') {
            if (Format(userDir, sizeof userDir, "%s/maillink/ports", config)) naming.entryDir = userDir;
        } else if (home != nullptr && home[0] != '\0') {
            if (Format(userDir, sizeof userDir, "%s/.config/maillink/ports", home)) naming.entryDir = userDir;
        }
    }
    return ComPortDevicePathIn(naming, n, out, size);
}

bool IsSystemConsoleIn(const PortNaming &naming, const char *path) {
    struct stat device {};
    if (path == nullptr || naming.sysTtyDir == nullptr || ::stat(path, &device) != 0 || !S_ISCHR(device.st_mode))
        return false;
    char file[kPathSize];
    char active[256] = {};
    if (!Format(file, sizeof file, "%s/console/active", naming.sysTtyDir) || !FirstLine(file, active, sizeof active))
        return false;
    char *rest = nullptr;
    for (char *name = ::strtok_r(active, " \t\n", &rest); name != nullptr; name = ::strtok_r(nullptr, " \t\n", &rest)) {
        char number[32] = {};
        unsigned major = 0, minor = 0;
        if (Format(file, sizeof file, "%s/%s/dev", naming.sysTtyDir, name) && FirstLine(file, number, sizeof number) &&
            std::sscanf(number, "%u:%u", &major, &minor) == 2 && device.st_rdev == makedev(major, minor))
            return true;
    }
    return false;
}

bool IsSystemConsole(const char *path) { return IsSystemConsoleIn(PortNaming{}, path); }

int OpenExclusive(const char *path) {
    if (path == nullptr) {
        errno = EINVAL;
        return -1;
    }
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return CloseKeepingErrno(fd);
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) return CloseKeepingErrno(fd);
    return fd;
}

void CloseExclusive(int fd) {
    if (fd < 0) return;
    const int saved = errno;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    errno = saved;
}

}  // namespace maillink::posix
