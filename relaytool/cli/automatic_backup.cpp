// Saving the automatic backup before a write: a new file in the platform's backup folder, never
// replacing an existing one.
#include <filesystem>
#include <system_error>

#include "backup_folder.h"
#include "text_files.h"

namespace {

constexpr int kMaxNameAttempts = 100;

}  // namespace

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
