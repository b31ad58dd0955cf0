// The automatic backup folder and the local time on Windows: %LOCALAPPDATA%\relaycfg\backups.
#include <windows.h>

#include "backup_folder.h"

bool AutomaticBackupFolder(std::string &folder, std::string &error) {
    std::string base = EnvironmentValue("LOCALAPPDATA");
    if (base.empty()) base = EnvironmentValue("APPDATA");
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
