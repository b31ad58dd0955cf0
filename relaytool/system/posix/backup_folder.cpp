// The automatic backup folder and the local time on POSIX systems.
#include "backup_folder.h"

bool AutomaticBackupFolder(std::string &folder, std::string &error) {
    std::string state = EnvironmentValue("XDG_STATE_HOME");
    if (state.empty() || state.front() != '/') {
        const std::string home = EnvironmentValue("HOME");
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

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

long UtcOffsetMinutes(std::time_t when) { return LocalTime(when).tm_gmtoff / 60; }
