// relaycfg's files on POSIX systems: the program's atomic file writer (atomic_file.h).
#include "text_files.h"

#include "atomic_file.h"

#include <cerrno>
#include <cstring>

namespace {
constexpr std::size_t kMaxFileSize = 1 << 20;
}  // namespace

bool ReadTextFile(const std::string &path, std::string &text, std::string &error) {
    switch (ReadWholeFile(path, text, error, kMaxFileSize)) {
    case FileRead::Read:
        return true;
    case FileRead::Missing:
        error = path + ": " + std::strerror(ENOENT);
        return false;
    case FileRead::Failed:
        if (text.size() > kMaxFileSize) error = path + ": too large for a backup file";
        return false;
    }
    return false;
}

bool WriteTextFile(const std::string &path, const std::string &text, bool replace,
                   std::string &error, bool *errorIsExists) {
    // The file is readable by its owner only when new: it describes a device.
    const WriteResult result = WriteFileAtomically(path, text, AtomicWrite{replace, 0600});
    if (errorIsExists) *errorIsExists = result.existed;
    if (!result.ok) error = result.error;
    return result.ok;
}
