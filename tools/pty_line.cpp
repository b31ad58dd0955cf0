#include "pty_line.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace repeatersim::detail {

namespace {

[[noreturn]] void Fail(PtyLine &line, const char *what) {
    const int err = errno;
    ClosePtyLine(line);
    throw std::runtime_error(std::string("pseudo-terminal: ") + what + ": " + std::strerror(err));
}

}  // namespace

PtyLine OpenPtyLine() {
    PtyLine line;
    line.master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (line.master < 0) Fail(line, "posix_openpt");
    if (::fcntl(line.master, F_SETFD, FD_CLOEXEC) != 0) Fail(line, "FD_CLOEXEC");
    if (::fcntl(line.master, F_SETFL, ::fcntl(line.master, F_GETFL) | O_NONBLOCK) != 0)
        Fail(line, "O_NONBLOCK");
    if (::grantpt(line.master) != 0) Fail(line, "grantpt");
    if (::unlockpt(line.master) != 0) Fail(line, "unlockpt");
    {
        // ptsname's buffer is shared by the process.
        static std::mutex nameMutex;
        std::lock_guard lock(nameMutex);
        const char *name = ::ptsname(line.master);
        if (!name) Fail(line, "ptsname");
        line.slavePath = name;
    }
    line.keptSlave = ::open(line.slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line.keptSlave < 0) Fail(line, "open slave");

    termios tio{};
    if (::tcgetattr(line.keptSlave, &tio) != 0) Fail(line, "tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(line.keptSlave, TCSANOW, &tio) != 0) Fail(line, "tcsetattr");
    return line;
}

void ClosePtyLine(PtyLine &line) {
    if (line.keptSlave >= 0) ::close(line.keptSlave);
    if (line.master >= 0) ::close(line.master);
    line.keptSlave = -1;
    line.master = -1;
}

}  // namespace repeatersim::detail
