#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "link_platform.h"
#include "posix_waits.h"
#include "serial_device.h"

namespace linktest {

namespace {

uint32_t BaudOf(speed_t speed) {
    const struct {
        speed_t speed;
        uint32_t baud;
    } table[] = {{B300, 300},     {B1200, 1200},   {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
                 {B19200, 19200}, {B38400, 38400}, {B57600, 57600},   {B115200, 115200}};
    for (const auto &entry : table)
        if (entry.speed == speed) return entry.baud;
    return 0;
}

}  // namespace

int NoDeviceError() { return ENOENT; }

std::string ExclusiveOpenGap() { return {}; }

bool ReadLineSettings(const PtyPeer &peer, LineSettings &settings) {
    termios line{};
    if (::tcgetattr(peer.DeviceFd(), &line) != 0) return false;
    if (::cfgetispeed(&line) != ::cfgetospeed(&line)) return false;
    settings.baudRate = BaudOf(::cfgetospeed(&line));
    settings.dataBits = (line.c_cflag & CSIZE) == CS8 ? 8 : (line.c_cflag & CSIZE) == CS7 ? 7 : 0;
    settings.parity = (line.c_cflag & PARENB) != 0;
    settings.stopBits = (line.c_cflag & CSTOPB) != 0 ? 2 : 1;
    settings.raw = (line.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD) &&
                   (line.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) == 0 && (line.c_oflag & OPOST) == 0 &&
                   (line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) == 0;
    settings.flowControl = (line.c_cflag & CRTSCTS) != 0 || (line.c_iflag & (IXON | IXOFF | IXANY)) != 0;
    settings.readsReturnAtOnce = line.c_cc[VMIN] == 0 && line.c_cc[VTIME] == 0;
    return true;
}

bool DeviceIsFree(const PtyPeer &peer) {
    const int fd = maillink::posix::OpenExclusive(peer.DevicePath().c_str());
    if (fd < 0) return false;
    maillink::posix::CloseExclusive(fd);
    return true;
}

bool WaitForHostInput(const PtyPeer &peer, int count) {
    for (int i = 0; i < 1000; ++i) {
        int waiting = 0;
        if (::ioctl(peer.DeviceFd(), FIONREAD, &waiting) == 0 && waiting >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

std::string SystemErrorText(int code) { return std::strerror(code); }

PollLength EchoPoll() {
    const double ms = maillink::posix::kEchoYieldNanoseconds / 1e6;
    return {ms, ms};
}

}  // namespace linktest
