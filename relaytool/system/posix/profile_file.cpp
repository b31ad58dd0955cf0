// The profile functions on POSIX systems: the file is read whole, changed in memory by
// ini_text.h and written back atomically (a temporary file beside it, renamed over it), so a
// failed or interrupted write never leaves a half-written settings file.
#include "ini_text.h"
#include "profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// The whole file, "" for a missing one, nullopt when it exists but cannot be read or is no
// regular file (a folder, or a pipe that would block the window).
std::optional<std::string> ReadWholeFile(const char *path, struct stat *info) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return std::string();
        return std::nullopt;
    }
    std::string content;
    bool ok = ::fstat(fd, info) == 0 && S_ISREG(info->st_mode);
    char buffer[4096];
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        content.append(buffer, std::size_t(got));
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    return content;
}

bool WriteAll(int fd, const std::string &content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += std::size_t(put);
    }
    return true;
}

// A settings file reached through a symbolic link is written where the link points, so the link
// stays a link.
std::string WriteTarget(const char *path) {
    char resolved[PATH_MAX];
    if (::realpath(path, resolved) != nullptr) return resolved;
    return path;
}

// Creates a new, empty file beside target with the umask's permissions; -1 on failure.
int CreateTemporaryBeside(const std::string &target, std::string &tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

std::string ReadProfileString(const char *path, const char *section, const char *key) {
    struct stat info {};
    const std::optional<std::string> content = ReadWholeFile(path, &info);
    if (!content) return {};
    return ProfileValue(*content, section, key).value_or(std::string());
}

bool WriteProfileString(const char *path, const char *section, const char *key, const char *value) {
    const std::string target = WriteTarget(path);
    struct stat info {};
    const std::optional<std::string> content = ReadWholeFile(target.c_str(), &info);
    if (!content) return false;  // never replace a file that could not be read whole
    const bool existed = info.st_mode != 0;
    const std::string changed = WithProfileValue(*content, section, key, value);

    std::string tempPath;
    const int fd = CreateTemporaryBeside(target, tempPath);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, changed);
    if (ok && existed) ok = ::fchmod(fd, info.st_mode & 07777) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(tempPath.c_str());
    return ok;
}
