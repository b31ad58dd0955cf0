// The operating-system services the window needs, behind one small interface so that the form
// core stays free of platform code and tests can stand in for the system: the port probe, the
// executable's path and the settings file. posix/ and win32/ implement it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class SystemServices {
public:
    virtual ~SystemServices() = default;

    // True when COM<n> exists and could be opened for exclusive use (it is closed again at once);
    // false without touching any device for n of 0 or above 9. Line settings are not changed.
    virtual bool ProbeComPort(uint8_t n) = 0;

    // The running program's full path, with the platform's separators.
    virtual std::string ExecutablePath() = 0;

    // Where the settings file is read from and written to, derived afresh on every call. Both
    // are SettingsPathFor(ExecutablePath()) unless the platform has a reason to differ (see
    // posix/). Neither call creates a folder or a file.
    virtual std::string SettingsReadPath() = 0;
    virtual std::string SettingsWritePath() = 0;

    // One value of the INI file at path, as the platform's profile functions read and write it:
    // section and key matched without regard to letter case; "" when the file, section or key is
    // missing. A write changes only that value, creating file, section or key when missing (and
    // the file's folder, if it is the per-user one); false when the file could not be written.
    virtual std::string ReadProfileString(const std::string &path, const char *section, const char *key) = 0;
    virtual bool WriteProfileString(const std::string &path, const char *section, const char *key,
                                    const std::string &value) = 0;
};

// The services of the platform the program runs on.
std::unique_ptr<SystemServices> MakePlatformServices();
