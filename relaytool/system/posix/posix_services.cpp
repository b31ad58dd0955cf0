#include "posix_services.h"

#include "profile_file.h"
#include "serial_device.h"
#include "settings_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

bool Exists(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// A file that may be written: permitted, and not marked read-only (root passes every
// permission check, but a file its owner made read-only is still not replaced).
bool WritableFile(const std::string &path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    return (info.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

std::string FolderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

SettingsPlaces Places(const std::string &executable) {
    SettingsPlaceFacts facts;
    facts.besidePath = SettingsPathFor(executable);
    facts.besideExists = Exists(facts.besidePath);
    facts.folderWritable = !IsProtectedFolder(FolderOf(facts.besidePath));
    facts.besideWritable = facts.besideExists ? WritableFile(facts.besidePath) : facts.folderWritable;
    const std::string configHome = UserConfigHome();
    if (!configHome.empty()) {
        facts.userPath = configHome + "/relaytool/" + NameOf(facts.besidePath);
        facts.userExists = Exists(facts.userPath);
    }
    return ChooseSettingsPlaces(facts);
}

}  // namespace

bool IsProtectedFolder(const std::string &folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return false;
    return ::access(folder.c_str(), W_OK | X_OK) != 0;
}

std::string UserConfigHome() {
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char *home = std::getenv("HOME");
    if (home && home[0] != '\0') return std::string(home) + "/.config";
    return {};
}

PosixServices::PosixServices(std::string executablePath) : executablePath_(std::move(executablePath)) {}

// COM<n> resolves to a device exactly as it does for Maillink, and the device is opened the way
// Maillink opens it (exclusive, non-blocking, no controlling tty), then closed. The mode text's
// line part (9600,n,8,1) is fixed and valid, so there is nothing to check before the open. The
// kernel's console is no repeater's line: it is left out unopened, so that no Load sends mail
// frames to it (relaycfg's port list leaves it alone by the same check).
bool PosixServices::ProbeComPort(uint8_t n) {
    if (n == 0 || n > 9) return false;
    char path[PATH_MAX];
    if (!maillink::posix::ComPortDevicePath(n, path, sizeof path)) return false;
    if (maillink::posix::IsSystemConsole(path)) return false;
    const int fd = maillink::posix::OpenExclusive(path);
    if (fd < 0) return false;
    maillink::posix::CloseExclusive(fd);
    return true;
}

std::string PosixServices::ExecutablePath() {
    if (!executablePath_.empty()) return executablePath_;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

std::string PosixServices::SettingsReadPath() { return Places(ExecutablePath()).readPath; }
std::string PosixServices::SettingsWritePath() { return Places(ExecutablePath()).writePath; }

std::string PosixServices::ReadProfileString(const std::string &path, const char *section, const char *key) {
    return ::ReadProfileString(path.c_str(), section, key);
}

bool PosixServices::WriteProfileString(const std::string &path, const char *section, const char *key,
                                       const std::string &value) {
    // The per-user folder comes into being only when something is written there; any other
    // missing folder is an error of its own.
    const std::string folder = FolderOf(path);
    const std::string configHome = UserConfigHome();
    std::error_code ignored;
    if (!configHome.empty() && folder == configHome + "/relaytool" && !Exists(folder))
        std::filesystem::create_directories(folder, ignored);
    return ::WriteProfileString(path.c_str(), section, key, value.c_str());
}

std::unique_ptr<SystemServices> MakePlatformServices() { return std::make_unique<PosixServices>(); }
