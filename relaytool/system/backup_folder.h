// Where relaycfg and the window keep the automatic backups they take before every write:
//   POSIX:   ${XDG_STATE_HOME:-$HOME/.local/state}/relaycfg/backups/<port>-YYYYmmddTHHMMSS.txt
//   Windows: %LOCALAPPDATA%\relaycfg\backups\<port>-YYYYmmddTHHMMSS.txt
// The folder and the local time are the platform's (posix/backup_folder.cpp,
// win32/backup_folder.cpp); the time stamps and saving a backup are the same everywhere
// (automatic_backup.cpp).
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

#include "backup_file.h"

// A variable of the environment, "" when it is not set: what the folder rules read.
inline std::string EnvironmentValue(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

// The folder, from the environment (an XDG_STATE_HOME that is not absolute is ignored, as the
// XDG rules say). false when neither XDG_STATE_HOME nor HOME gives one.
bool AutomaticBackupFolder(std::string &folder, std::string &error);

// The folder as the help text names it.
const char *AutomaticBackupFolderHelp();

// The platform's local time, and its distance from UTC in minutes (east positive).
std::tm LocalTime(std::time_t when);
long UtcOffsetMinutes(std::time_t when);

// "2025-01-31T14:05:09+0100": the local time (ISO 8601) for the file's "saved" line and logs.
std::string SavedAtText(std::time_t when);

// "20250131T140509": the local time for a backup's file name.
std::string BackupNameStamp(std::time_t when);

// Saves memory as a new file in the folder (created when missing, readable by the owner only),
// named <portStem>-YYYYmmddTHHMMSS.txt, or with "-2", "-3" ... before ".txt" when that name is
// taken. An existing file is never replaced. The path on success, else false and the reason.
bool SaveAutomaticBackup(const RepeaterMemory &memory, const std::string &portLabel,
                         const std::string &portStem, std::time_t when, std::string &path,
                         std::string &error);
