#include "port_target.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "command_line.h"

namespace {

constexpr const char *kDeviceDirVariable = "MAILLINK_DEVICE_DIR";
constexpr uint8_t kBoundNumber = 1;

// A file-name-safe form of the device's path for backup names: /dev/ttyUSB0 -> ttyUSB0,
// /dev/serial/by-id/usb-X:Y -> serial_by-id_usb-X_Y, /dev/pts/3 -> pts_3.
std::string StemOf(const std::string &path) {
    std::string name = path;
    if (name.rfind("/dev/", 0) == 0) name.erase(0, 5);
    else name = std::filesystem::path(path).filename().string();
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_')
            c = '_';
    return name.empty() ? "device" : name;
}

}  // namespace

PortTarget::PortTarget(const std::string &argument) {
    uint8_t number = 0;
    if (IsComName(argument, number)) {
        number_ = number;
        label_ = "COM" + std::to_string(number);
        stem_ = label_;
        return;
    }
    if (argument.find('/') == std::string::npos) {
        throw UsageError(Command::None,
                         "--port takes COM1 to COM9 or a device path, not \"" + argument + "\"");
    }

    const std::string device = std::filesystem::absolute(argument).string();
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/relaycfg-port-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary port directory: " +
                                 std::string(std::strerror(errno)));
    bindingDir_ = pattern;
    const std::string entry = bindingDir_ + "/COM" + std::to_string(kBoundNumber);
    if (::symlink(device.c_str(), entry.c_str()) != 0) {
        const int error = errno;
        ::rmdir(bindingDir_.c_str());
        throw std::runtime_error("cannot bind " + device + ": " + std::strerror(error));
    }

    const char *old = std::getenv(kDeviceDirVariable);
    hadDeviceDir_ = old != nullptr;
    if (old) oldDeviceDir_ = old;
    ::setenv(kDeviceDirVariable, bindingDir_.c_str(), 1);
    number_ = kBoundNumber;
    label_ = argument;
    stem_ = StemOf(argument);
}

PortTarget::~PortTarget() {
    if (bindingDir_.empty()) return;
    if (hadDeviceDir_) ::setenv(kDeviceDirVariable, oldDeviceDir_.c_str(), 1);
    else ::unsetenv(kDeviceDirVariable);
    std::error_code ignored;
    std::filesystem::remove_all(bindingDir_, ignored);
}

const char *PortOptionHelp() {
    return "COM1 to COM9, or the path of a serial device (for example /dev/ttyUSB0)";
}

bool NamesAPort(const std::string &argument) {
    uint8_t number = 0;
    if (IsComName(argument, number) || argument.rfind("/dev/", 0) == 0) return true;
    struct stat info {};
    return ::stat(argument.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

const char *PortOperandHelp() {
    return "COM1 to COM9 (any letter case), a path under /dev/ and the path of a character\n"
           "device (or of a link to one) are PORTs; anything else is a backup FILE (a file\n"
           "called COM1 is given as ./COM1).\n";
}

std::string ShellQuoted(const std::string &text) {
    bool plain = !text.empty();
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && std::strchr("/._-+", c) == nullptr)
            plain = false;
    if (plain) return text;
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
