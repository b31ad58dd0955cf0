#include "pty_pair.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace ptypair {

namespace {

[[noreturn]] void Fail(PtyPair &pair, const char *what) {
    const int err = errno;
    ClosePtyPair(pair);
    throw std::runtime_error(std::string("pseudo-terminal: ") + what + ": " + std::strerror(err));
}

}  // namespace

PtyPair OpenPtyPair() {
    PtyPair pair;
    pair.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pair.master < 0) Fail(pair, "posix_openpt");
    if (::fcntl(pair.master, F_SETFL, ::fcntl(pair.master, F_GETFL) | O_NONBLOCK) != 0)
        Fail(pair, "O_NONBLOCK");
    if (::grantpt(pair.master) != 0) Fail(pair, "grantpt");
    if (::unlockpt(pair.master) != 0) Fail(pair, "unlockpt");
    {
        // ptsname's buffer is shared by the process.
        static std::mutex nameMutex;
        std::lock_guard lock(nameMutex);
        const char *name = ::ptsname(pair.master);
        if (!name) Fail(pair, "ptsname");
        pair.slavePath = name;
    }
    pair.slave = ::open(pair.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (pair.slave < 0) Fail(pair, "open slave");

    termios tio{};
    if (::tcgetattr(pair.slave, &tio) != 0) Fail(pair, "tcgetattr");
    ::cfmakeraw(&tio);
    if (::tcsetattr(pair.slave, TCSANOW, &tio) != 0) Fail(pair, "tcsetattr");
    return pair;
}

void ClosePtyPair(PtyPair &pair) {
    if (pair.slave >= 0) ::close(pair.slave);
    if (pair.master >= 0) ::close(pair.master);
    pair.slave = -1;
    pair.master = -1;
}

int OpenRawTerminal(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

}  // namespace ptypair
