// The automatic backup folder and the local time on Windows: %LOCALAPPDATA%\relaycfg\backups.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "backup_folder.h"

namespace {

std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    ::localtime_s(&local, &when);
    return local;
}

// Minutes east of UTC at that moment: the local clock read as if it were UTC, minus the moment.
long UtcOffsetMinutes(std::time_t when) {
    std::tm local = LocalTime(when);
    const std::time_t asUtc = ::_mkgmtime(&local);
    return static_cast<long>((asUtc - when) / 60);
}

std::string Format(std::time_t when, const char *format) {
    const std::tm local = LocalTime(when);
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, format, &local);
    return std::string(text, n);
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

// strftime's %z gives the zone's name with Windows' C runtime, not the offset: it is written here.
std::string SavedAtText(std::time_t when) {
    const long offset = UtcOffsetMinutes(when);
    const long magnitude = offset < 0 ? -offset : offset;
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02ld%02ld", offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return Format(when, "%Y-%m-%dT%H:%M:%S") + zone;
}

std::string BackupNameStamp(std::time_t when) { return Format(when, "%Y%m%dT%H%M%S"); }
