// A folder of its own under /tmp for one test, removed with everything in it afterwards, even
// what the test made read-only.
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
        if (path_.empty()) return;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(path_, ignored))
            if (entry.is_directory(ignored)) OwnerMayChange(entry.path());
        OwnerMayChange(path_);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    // Empty when the folder could not be made.
    const std::string &Path() const { return path_; }
    std::string File(const std::string &name) const { return path_ + "/" + name; }

private:
    static void OwnerMayChange(const std::filesystem::path &folder) {
        std::error_code ignored;
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }

    std::string path_;
};

}  // namespace testsupport
