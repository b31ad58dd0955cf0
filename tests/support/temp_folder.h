// A folder of its own under /tmp for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <stdlib.h>
#include <string>
#include <system_error>

namespace testsupport {

class TempFolder {
public:
    explicit TempFolder(const std::string &prefix = "relaytool-test") {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        const char *made = ::mkdtemp(pattern.data());
        path_ = made ? made : "";
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    // Empty when the folder could not be made.
    const std::string &Path() const { return path_; }
    std::string File(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace testsupport
