// The settings file beside the executable, which remembers the last used COM port between runs:
// section "Com settings", key "Port", the port number in decimal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr const char *kPortSection = "Com settings";
inline constexpr const char *kPortKey = "Port";

// The settings file of an executable: its path with the extension (from the last "." after the
// last path separator) replaced by ".ini", or ".ini" appended when the name has none.
std::string SettingsPathFor(const std::string &executablePath);

// The running program's full path. SetExecutablePathOverride replaces it (tests point the
// settings file into a folder of their own); an empty path restores the real one.
std::string ExecutablePath();
void SetExecutablePathOverride(std::string path);

// The running program's settings file, derived afresh on every call: SettingsPathFor(
// ExecutablePath()) as a rule. On POSIX systems, when the executable's folder is one this user
// cannot write into (a system-wide install such as /usr/bin), the file of the same name in
// ${XDG_CONFIG_HOME:-$HOME/.config}/relaytool/ instead, whose folder is then created when
// missing. A folder that can be written keeps its settings file beside the executable.
std::string SettingsFilePath();

// The choice SettingsFilePath makes, as a pure function: folderProtected tells whether the
// executable's folder refuses writes; configHome is UserConfigHome() (empty: the file stays
// beside the executable).
std::string SettingsPathChoice(const std::string &executablePath, bool folderProtected,
                               const std::string &configHome);

// ${XDG_CONFIG_HOME:-$HOME/.config}: an XDG_CONFIG_HOME that is not an absolute path is ignored,
// as the XDG rules say; empty when HOME does not help either.
std::string UserConfigHome();

// True when folder exists as a folder and this process may not create files in it. A missing
// folder or a path that is no folder is not "protected": writing there fails on its own.
bool IsProtectedFolder(const std::string &folder);

// A profile integer: decimal with an optional sign, or hexadecimal of at most eight digits after
// "$", "x", "X", "0x" or "0X" (taken as 32 bits, so $FFFFFFFF is -1). Anything else, an empty
// text or a decimal outside the signed 32-bit range included, gives fallback.
int32_t ParseProfileInteger(std::string_view text, int32_t fallback);

// The stored port; 1 when there is none.
int32_t ReadPortSetting(const char *path);

// Stores value in decimal. Throws std::runtime_error("Unable to write to <path>") on failure.
void WritePortSetting(const char *path, int32_t value);

// The message of a failed write.
std::string UnableToWriteMessage(const char *path);
