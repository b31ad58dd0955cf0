// The system services on POSIX systems: the probe opens COM<n> as Maillink does; the settings
// file lies beside the executable, or, where the program is installed into a folder the user
// cannot write, in ${XDG_CONFIG_HOME:-$HOME/.config}/relaytool/ (settings_paths.h says which).
#pragma once

#include "system_services.h"

#include <string>

class PosixServices : public SystemServices {
public:
    // executablePath: "" for the running program's own path; tests put it into a folder of
    // their own.
    explicit PosixServices(std::string executablePath = {});

    bool ProbeComPort(uint8_t n) override;
    std::string ExecutablePath() override;
    std::string SettingsReadPath() override;
    std::string SettingsWritePath() override;
    std::string ReadProfileString(const std::string &path, const char *section, const char *key) override;
    bool WriteProfileString(const std::string &path, const char *section, const char *key,
                            const std::string &value) override;

private:
    std::string executablePath_;
};

// ${XDG_CONFIG_HOME:-$HOME/.config}: an XDG_CONFIG_HOME that is not an absolute path is ignored,
// as the XDG rules say; empty when HOME does not help either.
std::string UserConfigHome();

// True when folder exists as a folder and this process may not create files in it. A missing
// folder or a path that is no folder is not "protected": writing there fails on its own.
bool IsProtectedFolder(const std::string &folder);
