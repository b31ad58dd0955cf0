#include "port_setting.h"

#include "profile_file.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

std::string &ExecutablePathOverride() {
    static std::string path;
    return path;
}

#ifdef _WIN32
bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }
#else
bool IsPathSeparator(char c) { return c == '/'; }
#endif

// Where the file name starts: after the last path separator.
std::size_t NameStart(const std::string &path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (IsPathSeparator(path[i])) start = i + 1;
    return start;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string SettingsPathFor(const std::string &executablePath) {
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i < executablePath.size(); ++i)
        if (IsPathSeparator(executablePath[i])) nameStart = i + 1;
    const std::size_t dot = executablePath.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return executablePath + ".ini";
    return executablePath.substr(0, dot) + ".ini";
}

std::string ExecutablePath() {
    if (!ExecutablePathOverride().empty()) return ExecutablePathOverride();
    // Native separators, so that messages show the path as the platform writes it.
    return QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toLocal8Bit().toStdString();
}

void SetExecutablePathOverride(std::string path) { ExecutablePathOverride() = std::move(path); }

std::string SettingsPathChoice(const std::string &executablePath, bool folderProtected,
                               const std::string &configHome) {
    const std::string beside = SettingsPathFor(executablePath);
    if (!folderProtected || configHome.empty()) return beside;
    return configHome + "/relaytool/" + beside.substr(NameStart(beside));
}

std::string UserConfigHome() {
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char *home = std::getenv("HOME");
    if (home && home[0] != '\0') return std::string(home) + "/.config";
    return {};
}

bool IsProtectedFolder(const std::string &folder) {
#ifdef _WIN32
    (void)folder;
    return false;  // Windows redirects writes to protected program folders on its own
#else
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return false;
    return ::access(folder.c_str(), W_OK | X_OK) != 0;
#endif
}

std::string SettingsFilePath() {
    const std::string executable = ExecutablePath();
    const std::size_t nameStart = NameStart(executable);
    const std::string folder = nameStart == 0 ? std::string(".") : executable.substr(0, nameStart);
    const std::string path =
        SettingsPathChoice(executable, IsProtectedFolder(folder), UserConfigHome());
    if (path != SettingsPathFor(executable)) {
        // A failure here shows up as "Unable to write to <path>" when the file is written.
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    }
    return path;
}

int32_t ParseProfileInteger(std::string_view text, int32_t fallback) {
    std::size_t hexPrefix = 0;
    if (text.starts_with("0x") || text.starts_with("0X")) hexPrefix = 2;
    else if (text.starts_with("$") || text.starts_with("x") || text.starts_with("X")) hexPrefix = 1;
    if (hexPrefix > 0) {
        const std::string_view hex = text.substr(hexPrefix);
        if (hex.empty() || hex.size() > 8) return fallback;
        uint32_t value = 0;
        for (char c : hex) {
            const int digit = HexDigitValue(c);
            if (digit < 0) return fallback;
            value = value * 16 + uint32_t(digit);
        }
        return static_cast<int32_t>(value);
    }

    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return fallback;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return fallback;
        value = value * 10 + (c - '0');
        if (value > int64_t(INT32_MAX) + 1) return fallback;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return fallback;
    return static_cast<int32_t>(value);
}

int32_t ReadPortSetting(const char *path) {
    return ParseProfileInteger(ReadProfileString(path, kPortSection, kPortKey), 1);
}

std::string UnableToWriteMessage(const char *path) { return std::string("Unable to write to ") + path; }

void WritePortSetting(const char *path, int32_t value) {
    const std::string text = std::to_string(value);
    if (!WriteProfileString(path, kPortSection, kPortKey, text.c_str()))
        throw std::runtime_error(UnableToWriteMessage(path));
}
