#include "backup_folder.h"

#include <cstdlib>

namespace {

std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::string FormatTime(std::time_t when, const char *format) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, format, &local);
    return std::string(text, n);
}

}  // namespace

bool AutomaticBackupFolder(std::string &folder, std::string &error) {
    std::string state = Environment("XDG_STATE_HOME");
    if (state.empty() || state.front() != '/') {
        const std::string home = Environment("HOME");
        if (home.empty()) {
            error = "neither XDG_STATE_HOME nor HOME is set, so there is no folder for backups";
            return false;
        }
        state = home + "/.local/state";
    }
    folder = state + "/relaycfg/backups";
    return true;
}

const char *AutomaticBackupFolderHelp() {
    return "${XDG_STATE_HOME:-$HOME/.local/state}/relaycfg/backups/PORT-YYYYmmddTHHMMSS.txt";
}

std::string SavedAtText(std::time_t when) { return FormatTime(when, "%Y-%m-%dT%H:%M:%S%z"); }

std::string BackupNameStamp(std::time_t when) { return FormatTime(when, "%Y%m%dT%H%M%S"); }
