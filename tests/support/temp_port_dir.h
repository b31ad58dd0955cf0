// A private port directory for one test: created empty, named by MAILLINK_DEVICE_DIR while the
// object lives (so only its COMn entries count as ports), removed with everything in it after.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef _WIN32

// On Windows the COM ports are the system's (under Wine: the ones the test driver pinned in the
// registry): there is no port directory to make, and nothing to publish into.
class TempPortDir {
public:
    TempPortDir() = default;
    TempPortDir(const TempPortDir &) = delete;
    TempPortDir &operator=(const TempPortDir &) = delete;

    const std::string &Path() const { return path_; }
    std::string Entry(unsigned comNumber) const { return "COM" + std::to_string(comNumber); }

private:
    std::string path_;
};

#else

#include "temp_folder.h"

class TempPortDir {
public:
    TempPortDir() : folder_("relaytool-ports") {
        const char *old = std::getenv("MAILLINK_DEVICE_DIR");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        ::setenv("MAILLINK_DEVICE_DIR", folder_.Path().c_str(), 1);
    }
    ~TempPortDir() {
        if (hadOld_) ::setenv("MAILLINK_DEVICE_DIR", old_.c_str(), 1);
        else ::unsetenv("MAILLINK_DEVICE_DIR");
    }
    TempPortDir(const TempPortDir &) = delete;
    TempPortDir &operator=(const TempPortDir &) = delete;

    const std::string &Path() const { return folder_.Path(); }
    std::string Entry(unsigned comNumber) const {
        return folder_.File("COM" + std::to_string(comNumber));
    }

private:
    testsupport::TempFolder folder_;  // removed after MAILLINK_DEVICE_DIR is put back
    std::string old_;
    bool hadOld_ = false;
};

#endif
