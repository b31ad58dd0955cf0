// Saving the automatic backup before a write: a new file in the platform's backup folder, never
// replacing an existing one; and the time stamps it and the logs carry.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "backup_folder.h"
#include "text_files.h"

namespace {

constexpr int kMaxNameAttempts = 100;

std::string FormatLocal(std::time_t when, const char *format) {
    const std::tm local = LocalTime(when);
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, format, &local);
    return std::string(text, n);
}

}  // namespace

// The offset is written by hand: strftime's %z gives a zone name with Windows' C runtime.
std::string SavedAtText(std::time_t when) {
    const long offset = UtcOffsetMinutes(when);
    const long magnitude = offset < 0 ? -offset : offset;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld%02ld", offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return FormatLocal(when, "%Y-%m-%dT%H:%M:%S") + zone;
}

std::string BackupNameStamp(std::time_t when) { return FormatLocal(when, "%Y%m%dT%H%M%S"); }

bool SaveAutomaticBackup(const RepeaterMemory &memory, const std::string &portLabel,
                         const std::string &portStem, std::time_t when, std::string &path,
                         std::string &error) {
    std::string folder;
    if (!AutomaticBackupFolder(folder, error)) return false;
    std::error_code ec;
    const bool created = std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = folder + ": " + ec.message();
        return false;
    }
    if (created) {
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, ec);
    }

    const std::string text = FormatBackup(memory, portLabel, SavedAtText(when));
    const std::string stem = (std::filesystem::path(folder) / (portStem + "-" + BackupNameStamp(when))).string();
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        std::string candidate = stem;
        if (attempt > 1) candidate.append("-").append(std::to_string(attempt));
        candidate.append(".txt");
        bool exists = false;
        if (WriteTextFile(candidate, text, false, error, &exists)) {
            path = candidate;
            return true;
        }
        if (!exists) return false;
    }
    error = stem + ".txt: too many backups with this name";
    return false;
}
