#include "backup_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "text_files.h"

namespace {

constexpr int kMaxNameAttempts = 100;

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

std::string SavedAtText(std::time_t when) { return FormatTime(when, "%Y-%m-%dT%H:%M:%S%z"); }

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
    const std::string stem = folder + "/" + portStem + "-" + FormatTime(when, "%Y%m%dT%H%M%S");
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
