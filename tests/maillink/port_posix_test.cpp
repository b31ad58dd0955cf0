// What only POSIX shows of the port functions: baud rates that termios cannot set, a device
// that opens but is no serial line (the line settings fail after the open), and every termios
// setting of the line read back after an open from a hostile state.
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "link_fixture.h"
#include "repeater_line_settings.h"

using namespace linktest;

TEST_F(LinkTest, RateTermiosCannotSetFailsTheOpenAndLeavesTheDeviceFree) {
    for (uint32_t rate : {0u, 9601u, 12345u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(rate);
        EXPECT_EQ(OpenSerialPort(kCom, rate), 0);
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
        EXPECT_EQ(ErrorText(), std::strerror(EINVAL));
        EXPECT_TRUE(DeviceIsFree(peer_));
    }
    EXPECT_EQ(OpenSerialPort(kCom, 9600), 1);
}

// A device that opens but refuses the line settings must not stay held or half-configured: the
// next open then configures a port for real instead of answering 1 at once.
TEST_F(LinkTest, OpenThatFailsAfterTheDeviceOpenedReleasesIt) {
    const std::string notATerminal = ports_.Path() + "/plain-file";
    std::ofstream(notATerminal) << "not a serial line";
    ASSERT_EQ(::symlink(notATerminal.c_str(), ports_.Entry(5).c_str()), 0);

    EXPECT_EQ(OpenSerialPort(5, 9600), 0);
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
    EXPECT_EQ(ErrorText(), std::strerror(ENOTTY));
    const int fd = ::open(notATerminal.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << "the failed open still holds the file";
    ::close(fd);

    ASSERT_EQ(OpenSerialPort(kCom, 19200), 1);
    EXPECT_EQ(LineRate(peer_), 19200u);
}

// The device is left by an earlier user in a state far from the repeater's line: 7 data bits,
// even parity, 2 stop bits, hardware and software flow control, canonical mode with echo and
// signals, CR/LF translation both ways, reads that wait, and 1200 baud. The open must set every
// part of it, not rely on the device being raw already.
TEST_F(LinkTest, OpenSetsEveryLineSettingFromAHostileState) {
    termios hostile{};
    ASSERT_EQ(::tcgetattr(peer_.DeviceFd(), &hostile), 0);
    testsupport::MakeHostile(hostile);
    ASSERT_EQ(::tcsetattr(peer_.DeviceFd(), TCSANOW, &hostile), 0);
    // A pseudo-terminal keeps 8 data bits and no parity whatever it is asked; the rest it takes.
    termios before{};
    ASSERT_EQ(::tcgetattr(peer_.DeviceFd(), &before), 0);
    ASSERT_EQ(before.c_cflag & (CSTOPB | CRTSCTS | CLOCAL), static_cast<tcflag_t>(CSTOPB | CRTSCTS));
    ASSERT_EQ(before.c_iflag & (IXON | ICRNL), static_cast<tcflag_t>(IXON | ICRNL));
    ASSERT_EQ(before.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    ASSERT_EQ(::cfgetospeed(&before), static_cast<speed_t>(B1200));

    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    termios line{};
    ASSERT_EQ(::tcgetattr(peer_.DeviceFd(), &line), 0);
    for (const auto &check : testsupport::RepeaterLineChecks(line)) EXPECT_EQ(check.value, check.mustBe) << check.what;
}
