#include "text_files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace {

constexpr std::size_t kMaxFileSize = 1 << 20;

std::string Reason(const std::string &path, int error) { return path + ": " + std::strerror(error); }

bool WriteAll(int fd, const std::string &text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool ReadTextFile(const std::string &path, std::string &text, std::string &error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Reason(path, errno);
        return false;
    }
    text.clear();
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = Reason(path, errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxFileSize) {
            error = path + ": too large for a backup file";
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    return true;
}

bool WriteTextFile(const std::string &path, const std::string &text, bool replace,
                   std::string &error, bool *errorIsExists) {
    if (errorIsExists) *errorIsExists = false;
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = Reason(path, errno);
        return false;
    }
    const std::string temporary = name.data();
    // The file keeps mkstemp's mode, readable by its owner only: it describes a device.
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    int failure = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (ok) {
        // link() refuses an existing name, which rename() would silently replace.
        ok = replace ? ::rename(temporary.c_str(), path.c_str()) == 0
                     : ::link(temporary.c_str(), path.c_str()) == 0;
        failure = errno;
        if (!ok && !replace && failure == EEXIST && errorIsExists) *errorIsExists = true;
    }
    if (!ok || !replace) ::unlink(temporary.c_str());
    if (!ok) error = Reason(path, failure);
    return ok;
}
