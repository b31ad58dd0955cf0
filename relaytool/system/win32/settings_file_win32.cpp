// The executable's path and the settings file beside it, through the system's module and
// profile functions. Each profile call opens the file, does its work and releases it.
#include "win32_services.h"

#include "settings_paths.h"

#include <windows.h>
// windows.h names the old WIN.INI functions like the interface's methods.
#undef ReadProfileString
#undef WriteProfileString

#include <memory>
#include <vector>

std::string Win32Services::ExecutablePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), DWORD(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);  // cut off: try a larger buffer
    }
}

std::string Win32Services::SettingsReadPath() { return SettingsPathFor(ExecutablePath()); }
std::string Win32Services::SettingsWritePath() { return SettingsPathFor(ExecutablePath()); }

std::string Win32Services::ReadProfileString(const std::string &path, const char *section, const char *key) {
    char buffer[2048] = {};
    GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, path.c_str());
    return buffer;
}

bool Win32Services::WriteProfileString(const std::string &path, const char *section, const char *key,
                                       const std::string &value) {
    return WritePrivateProfileStringA(section, key, value.c_str(), path.c_str()) != FALSE;
}

std::unique_ptr<SystemServices> MakePlatformServices() { return std::make_unique<Win32Services>(); }
