#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

std::string Reason(const std::string &path, int error) { return path + ": " + std::strerror(error); }

bool WriteAll(int fd, const std::string &content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += std::size_t(put);
    }
    return true;
}

// A file reached through a symbolic link is written where the link points, so the link stays.
std::string WriteTarget(const std::string &path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
    return path;
}

// Creates a new, empty file beside target; -1 on failure (errno set).
int CreateTemporaryBeside(const std::string &target, unsigned mode, std::string &tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Overwrites the existing file at target with content; false on failure (errno set).
bool WriteInPlace(const std::string &target, const std::string &content) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, content) && ::ftruncate(fd, off_t(content.size())) == 0 && ::fsync(fd) == 0;
    const int failure = errno;
    if (::close(fd) != 0 && ok) return false;
    errno = failure;
    return ok;
}

}  // namespace

FileRead ReadWholeFile(const std::string &path, std::string &content, std::string &error, std::size_t maxSize) {
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return FileRead::Missing;
        error = Reason(path, errno);
        return FileRead::Failed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + ": not a regular file";
        ::close(fd);
        return FileRead::Failed;
    }
    char buffer[4096];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = Reason(path, errno);
            ::close(fd);
            return FileRead::Failed;
        }
        if (got == 0) break;
        content.append(buffer, std::size_t(got));
        if (content.size() > maxSize) {
            error = path + ": too large";
            ::close(fd);
            return FileRead::Failed;
        }
    }
    ::close(fd);
    return FileRead::Read;
}

WriteResult WriteFileAtomically(const std::string &path, const std::string &content, AtomicWrite how) {
    WriteResult result;
    const std::string target = WriteTarget(path);
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        result.error = path + ": not a regular file";
        return result;
    }
    // A read-only file is never replaced (root passes every permission check, a rename would
    // replace it all the same).
    if (exists && ((info.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
        result.error = Reason(path, EACCES);
        return result;
    }

    std::string tempPath;
    const int fd = CreateTemporaryBeside(target, how.newMode, tempPath);
    if (fd < 0 && exists && (errno == EACCES || errno == EPERM)) {
        // A folder that takes no new files can still hold a file that may be written (prepared by
        // an administrator): it is rewritten in place, the one way left to change it.
        result.ok = WriteInPlace(target, content);
        if (!result.ok) result.error = Reason(path, errno);
        return result;
    }
    if (fd < 0) {
        result.error = Reason(path, errno);
        return result;
    }
    bool ok = WriteAll(fd, content);
    if (ok && exists) ok = ::fchmod(fd, info.st_mode & 07777) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    int failure = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (ok) {
        ok = ::rename(tempPath.c_str(), target.c_str()) == 0;
        failure = errno;
    }
    if (!ok) ::unlink(tempPath.c_str());
    result.ok = ok;
    if (!ok) result.error = Reason(path, failure);
    return result;
}
