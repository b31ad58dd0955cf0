// The platform primitives on POSIX systems: termios serial devices named through
// serial_device.h (in low-latency mode while open, where the driver has one), waits that sleep
// on the port instead of polling, errno as the error text.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <termios.h>
#include <unistd.h>

#include "../error_text.h"
#include "../platform.h"
#include "line_mode.h"
#include "low_latency.h"
#include "posix_waits.h"
#include "serial_device.h"

namespace maillink::platform {
namespace {

// errno of the last platform call that failed, for LastErrorText.
int g_lastErrno = 0;
// The open port's flags from before its low-latency mode.
posix::SerialFlags g_serialFlags;

// What the waits know of the open port's line.
struct Line {
    long long byteNanoseconds = 0;  // the time a byte takes at the port's rate and framing
    // A read or write failed, or the line hung up (an unplugged adapter, a pseudo-terminal whose
    // other side closed): nothing will come any more, and no wait waits for it.
    bool gone = false;
    // Bytes come no faster than the line's rate, as on a serial line (a pseudo-terminal brings
    // them at once); learnt from the first input after a write.
    bool keepsPace = false;
    long long writtenAt = 0;  // when the last write began
    bool heard = true;        // a byte was read since that write
};
Line g_line;

// Input read from the descriptor and not handed out yet: one read takes all that is waiting, and
// the mail layer's one-byte reads are served from here instead of a system call each.
struct Input {
    uint8_t bytes[256];
    unsigned next = 0, end = 0;
    unsigned Held() const { return end - next; }
};
Input g_input;

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

// SleepFor without the kernel's timer slack (50 us by default, by which a sleep may end late):
// the sleep ends as the last awaited byte is due, and a late wake-up would add to the transfer.
void SleepOnTime(long long nanoseconds) {
    if (nanoseconds <= 0) return;
#if defined(__linux__)
    const int slack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    ::prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0);
    SleepFor(nanoseconds);
    if (slack > 0) ::prctl(PR_SET_TIMERSLACK, slack, 0, 0, 0);
#else
    SleepFor(nanoseconds);
#endif
}

long long MonotonicNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// How many bytes are waiting to be read on the descriptor; -1 when it cannot tell.
int BytesWaiting(int fd) {
    int waiting = 0;
    return ::ioctl(fd, FIONREAD, &waiting) == 0 ? waiting : -1;
}

bool InputWaiting(int fd) { return BytesWaiting(fd) > 0; }

enum class PortWait { Input, TimeUp, LineGone };

// Sleeps on the port until input arrives or the monotonic clock reaches the deadline. A line
// that has hung up (POLLHUP, POLLERR or POLLNVAL with nothing left to read) reports LineGone:
// poll would return at once every time from then on.
PortWait WaitForInput(int fd, long long deadline) {
    for (;;) {
        const long long left = deadline - MonotonicNanoseconds();
        if (left <= 0) return PortWait::TimeUp;
        pollfd entry{fd, POLLIN, 0};
#if defined(__linux__) || defined(__FreeBSD__)
        const timespec limit{static_cast<time_t>(left / 1'000'000'000), static_cast<long>(left % 1'000'000'000)};
        const int ready = ::ppoll(&entry, 1, &limit, nullptr);
#else
        // poll() counts whole milliseconds: round up so that a wait is never shorter than asked.
        const long long ms = (left + 999'999) / 1'000'000;
        const int ready = ::poll(&entry, 1, ms > INT_MAX ? INT_MAX : static_cast<int>(ms));
#endif
        if (ready == 0) continue;  // timed out: the loop's clock check ends it
        if (ready < 0) {
            if (errno == EINTR) continue;
            return PortWait::LineGone;
        }
        if ((entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && !InputWaiting(fd)) return PortWait::LineGone;
        return PortWait::Input;
    }
}

// Takes what is waiting on the descriptor into g_input (which is empty). A read that fails with an
// error (EIO, ENXIO: the device has gone) marks the line gone.
void ReadAhead(int fd) {
    g_input.next = g_input.end = 0;
    const ssize_t n = ::read(fd, g_input.bytes, sizeof g_input.bytes);
    if (n > 0) {
        g_input.end = static_cast<unsigned>(n);
        return;
    }
    // 0 is an empty line (VMIN = VTIME = 0); EAGAIN the same on a non-blocking descriptor.
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        Fail(errno);
        g_line.gone = true;
    }
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
    g_serialFlags = posix::EnterLowLatency(fd);
    g_line = {};
    g_line.byteNanoseconds = posix::ByteNanoseconds(posix::BitsPerCharacter(mode), baudRate);
    g_input = {};
    Sleep(20);
    ::tcflush(fd, TCIOFLUSH);  // the outcome is not looked at, as on Windows
    return static_cast<uint32_t>(fd);
}

void PurgeAndClose(uint32_t port) {
    if (port == kNoPort) return;
    ::tcflush(Descriptor(port), TCIOFLUSH);
    posix::RestoreSerialFlags(Descriptor(port), g_serialFlags);
    g_serialFlags = {};
    posix::CloseExclusive(Descriptor(port));
    g_line = {};
    g_input = {};
}

uint32_t Write(uint32_t port, const uint8_t *data, uint32_t len) {
    if (port == kNoPort || data == nullptr) return 0;
    const int fd = Descriptor(port);
    g_line.writtenAt = MonotonicNanoseconds();
    g_line.heard = false;
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
            // A stall is not the end of the line; a hang-up or a failed poll is.
            if (ready != 0) g_line.gone = true;
            Fail(ready == 0 ? ETIMEDOUT : (ready < 0 ? errno : EIO));
            break;
        }
        g_line.gone = true;
        Fail(n < 0 ? errno : EIO);
        break;
    }
    return done;
}

uint8_t Read(uint32_t port, uint8_t *buffer, uint8_t count) {
    if (port == kNoPort || buffer == nullptr || count == 0) return 0;
    if (g_input.Held() == 0) ReadAhead(Descriptor(port));
    const unsigned n = std::min<unsigned>(count, g_input.Held());
    if (n == 0) return 0;
    std::memcpy(buffer, g_input.bytes + g_input.next, n);
    g_input.next += n;
    g_line.heard = true;
    return static_cast<uint8_t>(n);
}

void Sleep(uint16_t milliseconds) {
    if (milliseconds == 0) {
        ::sched_yield();
        return;
    }
    SleepFor(static_cast<long long>(milliseconds) * 1'000'000);
}

// One sleep for the whole remaining budget instead of a wake-up per poll: the budget keeps its
// time (polls x nominal length), a silent line costs one wake-up, and an arriving byte ends the
// sleep within the kernel's wake-up latency. The awaited bytes cannot all be there before the
// line has carried them (posix::TimeToCarry): once input has come, the wait sleeps that long
// instead of waking for every byte as they trickle in. On a line that keeps pace, the first wait
// after a write sleeps until the whole answer (the echo and what follows it) can be back before
// it looks at all: it does not wake for the first byte, and what is still missing then is waited
// for on the port, which wakes at the last byte itself rather than a timer's lateness after it.
// Bytes that come later than the line allows are waited for on the port again. The polls charged
// are those the time slept stands for (posix::PollsBeforeInput).
uint32_t WaitIdlePolls(uint32_t port, IdlePoll poll, uint32_t polls, uint32_t awaitedBytes) {
    if (polls == 0) return 0;
    const long long nominal = posix::PollNanoseconds(poll);
    const long long start = MonotonicNanoseconds();
    const long long deadline = start + nominal * polls;
    // No port: nothing can arrive, and the budget is slept out as on a silent line.
    if (port == kNoPort) {
        SleepFor(deadline - start);
        return polls;
    }
    // A line that has gone: waiting for it would only sleep out the budget. The wait ends at once
    // and takes the whole budget, so that its caller ends with the code the budget's end gives.
    if (g_line.gone) return polls;
    const int fd = Descriptor(port);
    const long long byte = g_line.byteNanoseconds;

    if (!g_line.heard && g_line.keepsPace) {
        SleepOnTime(std::min(deadline, g_line.writtenAt + posix::TimeToCarry(awaitedBytes, 0, byte)) - start);
        // What has come is read first; a device that has not answered yet is waited for below.
        if (BytesWaiting(fd) > 0) return posix::PollsBeforeInput(MonotonicNanoseconds() - start, nominal, polls);
    }
    switch (WaitForInput(fd, deadline)) {
    case PortWait::TimeUp: return polls;
    case PortWait::LineGone: g_line.gone = true; return polls;
    case PortWait::Input: break;
    }
    const long long now = MonotonicNanoseconds();
    const int waiting = BytesWaiting(fd);
    if (!g_line.heard) g_line.keepsPace = posix::KeepsPace(now - g_line.writtenAt, waiting, byte);
    if (waiting >= 0)
        SleepOnTime(std::min(deadline, now + posix::TimeToCarry(awaitedBytes, static_cast<uint32_t>(waiting), byte)) -
                    now);
    return posix::PollsBeforeInput(MonotonicNanoseconds() - start, nominal, polls);
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
