// The platform primitives on POSIX systems: termios serial devices named through
// serial_device.h, waits that sleep on the port instead of spinning, errno as the error text.
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "../error_text.h"
#include "../platform.h"
#include "line_mode.h"
#include "posix_waits.h"
#include "serial_device.h"

namespace maillink::platform {
namespace {

// errno of the last platform call that failed, for LastErrorText.
int g_lastErrno = 0;
// The last read failed with an error (EIO once the other end has gone): the line can no longer
// be waited on, so pauses are slept out.
bool g_readFailed = false;

int Fail(int error) {
    g_lastErrno = error;
    return -1;
}

int Descriptor(uint32_t port) { return static_cast<int>(port); }

void SleepFor(long long nanoseconds) {
    if (nanoseconds <= 0) return;
    timespec left{static_cast<time_t>(nanoseconds / 1'000'000'000), static_cast<long>(nanoseconds % 1'000'000'000)};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// Waits at most `nanoseconds` for input on the port. A line that has hung up (poll reports
// POLLHUP, POLLERR or POLLNVAL, or the last read failed) would make poll return at once every
// time, so then the whole pause is slept instead: every wait keeps its length and no budget turns
// into a busy loop.
void PauseOnPort(uint32_t port, long long nanoseconds) {
    if (port == kNoPort || g_readFailed) {
        SleepFor(nanoseconds);
        return;
    }
    pollfd entry{Descriptor(port), POLLIN, 0};
#if defined(__linux__) || defined(__FreeBSD__)
    const timespec limit{static_cast<time_t>(nanoseconds / 1'000'000'000),
                         static_cast<long>(nanoseconds % 1'000'000'000)};
    const int ready = ::ppoll(&entry, 1, &limit, nullptr);
#else
    // poll() counts whole milliseconds: round up so that a pause is never shorter than asked.
    const int ready = ::poll(&entry, 1, static_cast<int>((nanoseconds + 999'999) / 1'000'000));
#endif
    if (ready < 0 || (ready > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)) SleepFor(nanoseconds);
}

bool ApplyLineMode(int fd, const posix::LineMode &mode, speed_t speed) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return false;

    // Raw bytes both ways: no input or output processing, no echo, no signals, no flow control.
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                               IXON | IXOFF | IXANY | INPCK | IGNPAR);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CRTSCTS
    settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
#ifdef CMSPAR
    settings.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    settings.c_cflag |= CLOCAL | CREAD;

    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    settings.c_cflag |= kSizes[mode.dataBits - 5];

    switch (mode.parity) {
    case 'e': settings.c_cflag |= PARENB; break;
    case 'o': settings.c_cflag |= PARENB | PARODD; break;
#ifdef CMSPAR
    case 'm': settings.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 's': settings.c_cflag |= PARENB | CMSPAR; break;
#else
    case 'm':
    case 's': errno = EINVAL; return false;
#endif
    default: break;
    }
    if (mode.stopBits == posix::StopBits::OneAndHalf) {
        errno = EINVAL;  // termios knows 1 and 2 stop bits only
        return false;
    }
    if (mode.stopBits == posix::StopBits::Two) settings.c_cflag |= CSTOPB;

    // Reads return at once with what has arrived (the descriptor is non-blocking as well).
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0) return false;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) return false;

    // tcsetattr succeeds when any part of the change took; the rate must have taken.
    termios applied{};
    if (::tcgetattr(fd, &applied) != 0) return false;
    if (::cfgetospeed(&applied) != speed || ::cfgetispeed(&applied) != speed) {
        errno = EINVAL;
        return false;
    }
    return true;
}

// DTR asserted for as long as the port is open, RTS not. Devices without modem lines
// (pseudo-terminals among them) answer ENOTTY or EINVAL, which is accepted.
bool SetModemLines(int fd) {
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &dtr) != 0 && errno != ENOTTY && errno != EINVAL) return false;
    if (::ioctl(fd, TIOCMBIC, &rts) != 0 && errno != ENOTTY && errno != EINVAL) return false;
    return true;
}

}  // namespace

uint32_t OpenPort(const char *modeText, uint32_t baudRate) {
    posix::LineMode mode;
    speed_t speed = 0;
    if (!posix::ParseModeText(modeText, mode) || !posix::SpeedForBaud(baudRate, speed)) {
        Fail(EINVAL);
        return kNoPort;
    }
    char path[PATH_MAX];
    if (!posix::ComPortDevicePath(mode.portNumber, path, sizeof path)) {
        Fail(ENOENT);
        return kNoPort;
    }
    const int fd = posix::OpenExclusive(path);
    if (fd < 0) {
        Fail(errno);
        return kNoPort;
    }
    // From here on every failure releases the device again.
    if (!ApplyLineMode(fd, mode, speed) || !SetModemLines(fd)) {
        Fail(errno);
        posix::CloseExclusive(fd);
        return kNoPort;
    }
    g_readFailed = false;
    Sleep(20);
    ::tcflush(fd, TCIOFLUSH);  // the outcome is not looked at, as on Windows
    return static_cast<uint32_t>(fd);
}

void PurgeAndClose(uint32_t port) {
    if (port == kNoPort) return;
    ::tcflush(Descriptor(port), TCIOFLUSH);
    posix::CloseExclusive(Descriptor(port));
    g_readFailed = false;
}

uint32_t Write(uint32_t port, const uint8_t *data, uint32_t len) {
    if (port == kNoPort || data == nullptr) return 0;
    const int fd = Descriptor(port);
    uint32_t done = 0;
    while (done < len) {
        const ssize_t n = ::write(fd, data + done, len - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The descriptor is non-blocking: wait for room, but not for ever.
            pollfd entry{fd, POLLOUT, 0};
            const int ready = ::poll(&entry, 1, posix::kWriteStallMilliseconds);
            if (ready > 0 && (entry.revents & POLLOUT) != 0) continue;
            if (ready < 0 && errno == EINTR) continue;
            Fail(ready == 0 ? ETIMEDOUT : (ready < 0 ? errno : EIO));
            break;
        }
        Fail(n < 0 ? errno : EIO);
        break;
    }
    return done;
}

uint8_t Read(uint32_t port, uint8_t *buffer, uint8_t count) {
    if (port == kNoPort || buffer == nullptr || count == 0) return 0;
    const ssize_t n = ::read(Descriptor(port), buffer, count);
    if (n > 0) {
        g_readFailed = false;
        return static_cast<uint8_t>(n);
    }
    // 0 is an empty line (VMIN = VTIME = 0); EAGAIN the same on a non-blocking descriptor.
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        Fail(errno);
        g_readFailed = true;
    } else {
        g_readFailed = false;
    }
    return 0;
}

void Sleep(uint16_t milliseconds) {
    if (milliseconds == 0) {
        ::sched_yield();
        return;
    }
    SleepFor(static_cast<long long>(milliseconds) * 1'000'000);
}

void IdlePause(uint32_t port, uint16_t milliseconds) {
    PauseOnPort(port, static_cast<long long>(milliseconds) * 1'000'000);
}

void EchoYield(uint32_t port) {
    PauseOnPort(port, posix::kEchoYieldNanoseconds);
}

char *LastErrorText(char *buffer, uint8_t size) {
    if (buffer == nullptr || size == 0) return buffer;
    const int code = g_lastErrno;
    const char *text = std::strerror(code);
    const std::size_t length = text != nullptr ? std::strlen(text) : 0;
    if (text != nullptr && length + 1 <= size) {
        std::memcpy(buffer, text, length + 1);
    } else {
        WriteErrorCode(buffer, size, code);  // the system's text does not fit
    }
    return buffer;
}

}  // namespace maillink::platform
