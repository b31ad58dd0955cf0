// The text files on POSIX systems: the program's atomic file writer (atomic_file.h) for a
// replacing write, an exclusive create (O_CREAT | O_EXCL) for a new file, and an O_APPEND log.
#include "text_files.h"

#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kMaxFileSize = 1 << 20;

std::string Reason(const std::string &path, int error) { return path + ": " + std::strerror(error); }

bool WriteAll(int fd, const char *text, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, text + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// The file must not exist: O_EXCL refuses any name that does (a dangling link included). The
// file is readable by its owner only: it describes a device.
bool CreateNew(const std::string &path, const std::string &text, std::string &error,
               bool *errorIsExists) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errorIsExists) *errorIsExists = errno == EEXIST;
        error = Reason(path, errno);
        return false;
    }
    bool ok = WriteAll(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    int failure = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        ::unlink(path.c_str());  // it is the file made here, never one that was there before
        error = Reason(path, failure);
    }
    return ok;
}

}  // namespace

bool ReadTextFile(const std::string &path, std::string &text, std::string &error) {
    switch (ReadWholeFile(path, text, error, kMaxFileSize)) {
    case FileRead::Read:
        return true;
    case FileRead::Missing:
        error = Reason(path, ENOENT);
        return false;
    case FileRead::Failed:
        if (text.size() > kMaxFileSize) error = path + ": too large for a backup file";
        return false;
    }
    return false;
}

bool WriteTextFile(const std::string &path, const std::string &text, bool replace,
                   std::string &error, bool *errorIsExists) {
    if (errorIsExists) *errorIsExists = false;
    if (!replace) return CreateNew(path, text, error, errorIsExists);
    // The file is readable by its owner only when new: it describes a device.
    const WriteResult result = WriteFileAtomically(path, text, AtomicWrite{0600});
    if (!result.ok) error = result.error;
    return result.ok;
}

AppendFile::~AppendFile() {
    if (IsOpen()) ::close(static_cast<int>(handle_));
}

bool AppendFile::Open(const std::string &path, std::string &error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        error = Reason(path, errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = path + ": not a regular file";
        return false;
    }
    handle_ = fd;
    wasEmpty_ = info.st_size == 0;
    path_ = path;
    return true;
}

bool AppendFile::Append(const std::string &text, std::string &error) {
    if (AppendRaw(text.data(), text.size())) return true;
    error = Reason(path_, errno);
    return false;
}

bool AppendFile::AppendRaw(const char *text, std::size_t size) {
    return IsOpen() && WriteAll(static_cast<int>(handle_), text, size);
}
