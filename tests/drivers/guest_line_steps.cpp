// The guest's steps on one line's device itself: the line settings the real driver holds after
// OpenSerialPort from a hostile state, low-latency mode while the port is open, and exclusive
// use against a second process and root.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "guest_steps.h"
#include "maillink.h"
#include "repeater_line_settings.h"

namespace guest {
namespace {

constexpr uid_t kPlainUser = 65534;  // nobody

int PortFd() { return static_cast<int>(hComPort); }

std::string ErrnoText() { return std::strerror(errno); }

// The device left as far from the repeater's line as termios allows (MakeHostile); checks that
// the driver holds it (a pseudo-terminal keeps 8 bits and no parity whatever it is asked).
void LeaveHostile(const rig::Line &line, Step &step) {
    const int fd = ::open(std::string(line.device).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (!step.Check(fd >= 0, "cannot open " + std::string(line.device) + ": " + ErrnoText())) return;
    termios hostile{};
    ::tcgetattr(fd, &hostile);
    testsupport::MakeHostile(hostile);
    const bool set = ::tcsetattr(fd, TCSANOW, &hostile) == 0;
    step.Check(set, "hostile tcsetattr: " + ErrnoText());
    termios held{};
    ::tcgetattr(fd, &held);
    step.Check((held.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL)) == (CS7 | PARENB | CSTOPB | CRTSCTS),
               "the driver did not take the hostile 7E2 RTS/CTS state");
    step.Check(::cfgetospeed(&held) == B1200, "the driver did not take 1200 baud");
    ::close(fd);
}

void CheckRepeaterLine(Step &step) {
    termios line{};
    const bool read = ::tcgetattr(PortFd(), &line) == 0;
    if (!step.Check(read, "tcgetattr on the open port: " + ErrnoText())) return;
    for (const auto &check : testsupport::RepeaterLineChecks(line)) step.Check(check.value == check.mustBe, check.what);

    int modem = 0;
    const bool lines = ::ioctl(PortFd(), TIOCMGET, &modem) == 0;
    if (step.Check(lines, "TIOCMGET: " + ErrnoText())) {
        step.Check((modem & TIOCM_DTR) != 0, "DTR asserted");
        step.Check((modem & TIOCM_RTS) == 0, "RTS not asserted");
    }
}

bool SameDevice(int fd, const std::string &path) {
    struct stat open {}, named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && open.st_rdev == named.st_rdev;
}

// TIOCGSERIAL's flags of the device, opened without the library; false when refused.
bool SerialFlags(const std::string &device, int &flags) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct serial{};
    const bool ok = ::ioctl(fd, TIOCGSERIAL, &serial) == 0;
    ::close(fd);
    flags = serial.flags;
    return ok;
}

std::string LatencyTimer() {
    std::ifstream file("/sys/bus/usb-serial/devices/ttyUSB0/latency_timer");
    std::string value;
    std::getline(file, value);
    return value;
}

// Another process tries the port through the library: "opened" or "refused: <reason>".
std::string SecondProcessOpen(const rig::Line &line, bool plainUser) {
    std::vector<std::string> argv{"/proc/self/exe", "open", std::to_string(line.com)};
    if (plainUser) argv.push_back(std::to_string(kPlainUser));
    const ProgramRun run = Run(argv, 10000);
    std::string said = run.out;
    while (!said.empty() && said.back() == '\n') said.pop_back();
    return said.empty() ? "no answer (exit " + std::to_string(run.exitCode) + ")" : said;
}

}  // namespace

void LineSettingsStep(const rig::Line &line) {
    Step step(std::string(line.name) + ".line_settings");
    LeaveHostile(line, step);
    if (step.Check(OpenSerialPort(static_cast<uint8_t>(line.com), 9600) == 1,
                   ComName(line) + " does not open")) {
        step.Check(SameDevice(PortFd(), std::string(line.device)), ComName(line) + " is not " + std::string(line.device));
        CheckRepeaterLine(step);
        CloseSerialPort();
    }
    step.Report();
}

void LowLatencyStep(const rig::Line &line) {
    Step step(std::string(line.name) + ".low_latency");
    const std::string device(line.device);
    int before = 0;
    const bool known = SerialFlags(device, before);
    if (!step.Check(known, "TIOCGSERIAL refused: " + ErrnoText())) {
        step.Report();
        return;
    }
    const std::string timerBefore = line.usb ? LatencyTimer() : "";
    if (step.Check(OpenSerialPort(static_cast<uint8_t>(line.com), 9600) == 1, ComName(line) + " does not open")) {
        serial_struct serial{};
        step.Check(::ioctl(PortFd(), TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) != 0,
                   "ASYNC_LOW_LATENCY is not set while the port is open");
        if (line.usb) {
            const std::string timerOpen = LatencyTimer();
            step.Check(timerOpen == "1", "latency_timer reads " + timerOpen + " while open, not 1");
            step.Figure("latency_timer " + timerBefore + " before, " + timerOpen + " while open");
        }
        CloseSerialPort();
    }
    int after = 0;
    step.Check(SerialFlags(device, after) && after == before,
               "the flags after the close (" + std::to_string(after) + ") are not those before (" +
                   std::to_string(before) + ")");
    if (line.usb) {
        const std::string timerAfter = LatencyTimer();
        step.Check(timerAfter == timerBefore, "latency_timer reads " + timerAfter + " after the close, not " + timerBefore);
    }
    step.Report();
}

void ExclusiveStep(const rig::Line &line) {
    Step step(std::string(line.name) + ".exclusive");
    const std::string device(line.device);
    // A plain user may open the device at all, so that only the port being held can refuse it.
    ::chmod(device.c_str(), 0666);
    if (step.Check(OpenSerialPort(static_cast<uint8_t>(line.com), 9600) == 1, ComName(line) + " does not open")) {
        const std::string root = SecondProcessOpen(line, false);
        const std::string plain = SecondProcessOpen(line, true);
        // Root passes TIOCEXCL, but not the lock; a plain user is stopped by either.
        step.Check(root == "refused: " + std::string(std::strerror(EWOULDBLOCK)), "a second process as root: " + root);
        step.Check(plain == "refused: " + std::string(std::strerror(EBUSY)), "a second process as a plain user: " + plain);
        step.Figure("root: " + root + ", plain user: " + plain);
        CloseSerialPort();
        const std::string afterClose = SecondProcessOpen(line, false);
        step.Check(afterClose == "opened", "after the close a second process: " + afterClose);
    }
    step.Report();
}

int SecondOpen(unsigned com, const char *uid) {
    if (uid != nullptr && ::setuid(static_cast<uid_t>(std::stoul(uid))) != 0) {
        std::printf("setuid failed: %s\n", ErrnoText().c_str());
        return 2;
    }
    if (OpenSerialPort(static_cast<uint8_t>(com), 9600) == 1) {
        CloseSerialPort();
        std::printf("opened\n");
        return 0;
    }
    char text[128];
    GetWin32ErrorText(text, sizeof text);
    std::printf("refused: %s\n", text);
    return 1;
}

}  // namespace guest
