// What only POSIX shows of the port functions: baud rates that termios cannot set, and a device
// that opens but is no serial line (the line settings fail after the open).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "link_fixture.h"

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
