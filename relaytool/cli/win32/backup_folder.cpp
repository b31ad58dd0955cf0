// The automatic backup folder and the local time on Windows: %LOCALAPPDATA%\relaycfg\backups.
#include <windows.h>

#include <cstdlib>

#include "backup_folder.h"

namespace {

std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

bool AutomaticBackupFolder(std::string &folder, std::string &error) {
    std::string base = Environment("LOCALAPPDATA");
    if (base.empty()) base = Environment("APPDATA");
    if (base.empty()) {
        error = "neither LOCALAPPDATA nor APPDATA is set, so there is no folder for backups";
        return false;
    }
    folder = base + "\\relaycfg\\backups";
    return true;
}

const char *AutomaticBackupFolderHelp() { return "%LOCALAPPDATA%\\relaycfg\\backups\\PORT-YYYYmmddTHHMMSS.txt"; }

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    ::localtime_s(&local, &when);
    return local;
}

// The local clock read as if it were UTC, minus the moment.
long UtcOffsetMinutes(std::time_t when) {
    std::tm local = LocalTime(when);
    const std::time_t asUtc = ::_mkgmtime(&local);
    return static_cast<long>((asUtc - when) / 60);
}
