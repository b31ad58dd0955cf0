// The window's operating-system services on Windows: the system's own port, module and
// profile (INI) functions.
#pragma once

#include "system_services.h"

class Win32Services : public SystemServices {
public:
    bool ProbeComPort(uint8_t n) override;
    std::string ExecutablePath() override;
    // The settings file lies beside the executable, for reading and writing alike.
    std::string SettingsReadPath() override;
    std::string SettingsWritePath() override;
    std::string ReadProfileString(const std::string &path, const char *section, const char *key) override;
    bool WriteProfileString(const std::string &path, const char *section, const char *key,
                            const std::string &value) override;
};
