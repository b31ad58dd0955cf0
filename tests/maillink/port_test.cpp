// The port functions: opening, line settings, exclusive use, closing, byte operations, Delay and
// the error text, against a scripted pseudo-terminal.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "link_fixture.h"
#include "serial_device.h"

using namespace linktest;

namespace {

std::string ErrorText(uint8_t size = 200) {
    char buffer[256] = {};
    return GetWin32ErrorText(buffer, size);
}

// True when the device can be taken for exclusive use, i.e. nobody holds it.
bool DeviceIsFree(const std::string &path) {
    const int fd = maillink::posix::OpenExclusive(path.c_str());
    if (fd < 0) return false;
    maillink::posix::CloseExclusive(fd);
    return true;
}

speed_t LineSpeed(int fd) {
    termios settings{};
    EXPECT_EQ(::tcgetattr(fd, &settings), 0);
    return ::cfgetospeed(&settings);
}

}  // namespace

TEST_F(LinkTest, PortNumbersOutsideOneToNineAreRefusedWithoutTouchingAnyDevice) {
    for (unsigned number : {0u, 10u, 58u, 255u}) {
        SCOPED_TRACE(number);
        // Even an entry of that name does not make the number valid.
        peer_.Publish(ports_.Path(), number);
        EXPECT_EQ(OpenSerialPort(static_cast<uint8_t>(number), 9600), 0);
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
        EXPECT_TRUE(DeviceIsFree(peer_.DevicePath()));
    }
}

TEST_F(LinkTest, OpenSetsTheRepeaterLineUp) {
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    EXPECT_NE(hComPort, MAILLINK_NO_PORT);

    termios line{};
    ASSERT_EQ(::tcgetattr(peer_.DeviceFd(), &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), B9600);
    EXPECT_EQ(::cfgetispeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u) << "no parity, 1 stop bit, no hardware flow";
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_cc[VMIN], 0);
    EXPECT_EQ(line.c_cc[VTIME], 0);
}

TEST_F(LinkTest, OpenRunsTheLineAtTheGivenRate) {
    const struct {
        uint32_t rate;
        speed_t speed;
    } cases[] = {{1200, B1200}, {9600, B9600}, {19200, B19200}, {115200, B115200}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rate);
        ASSERT_EQ(OpenSerialPort(kCom, c.rate), 1);
        EXPECT_EQ(LineSpeed(peer_.DeviceFd()), c.speed);
        CloseSerialPort();
    }
}

TEST_F(LinkTest, RateTermiosCannotSetFailsTheOpenAndLeavesTheDeviceFree) {
    for (uint32_t rate : {0u, 9601u, 12345u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(rate);
        EXPECT_EQ(OpenSerialPort(kCom, rate), 0);
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
        EXPECT_EQ(ErrorText(), std::strerror(EINVAL));
        EXPECT_TRUE(DeviceIsFree(peer_.DevicePath()));
    }
    EXPECT_EQ(OpenSerialPort(kCom, 9600), 1);
}

TEST_F(LinkTest, SecondOpenKeepsTheOpenPortAndItsSettings) {
    PtyPeer other;
    other.Publish(ports_.Path(), 4);
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    const uint32_t handle = hComPort;

    EXPECT_EQ(OpenSerialPort(4, 19200), 1);
    EXPECT_EQ(OpenSerialPort(0, 0), 1) << "the arguments are not looked at";
    EXPECT_EQ(hComPort, handle);
    EXPECT_EQ(LineSpeed(peer_.DeviceFd()), B9600);
    EXPECT_TRUE(DeviceIsFree(other.DevicePath()));
    EXPECT_FALSE(DeviceIsFree(peer_.DevicePath()));
}

TEST_F(LinkTest, OpenPortIsHeldExclusivelyUntilClosed) {
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    errno = 0;
    EXPECT_LT(maillink::posix::OpenExclusive(peer_.DevicePath().c_str()), 0);
    EXPECT_TRUE(errno == EWOULDBLOCK || errno == EBUSY) << std::strerror(errno);

    CloseSerialPort();
    EXPECT_TRUE(DeviceIsFree(peer_.DevicePath()));
}

TEST_F(LinkTest, PortWithoutADeviceFailsWithTheReason) {
    const std::string dangling = ports_.Entry(6);
    ASSERT_EQ(::symlink("/nonexistent/ttyUSB7", dangling.c_str()), 0);
    for (uint8_t number : {uint8_t{5}, uint8_t{6}}) {  // 5: no entry at all; 6: a link to nothing
        SCOPED_TRACE(number);
        EXPECT_EQ(OpenSerialPort(number, 9600), 0);
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
        EXPECT_EQ(ErrorText(), std::strerror(ENOENT));
    }
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
    EXPECT_EQ(LineSpeed(peer_.DeviceFd()), B19200);
}

TEST_F(LinkTest, CloseReleasesThePortAndForgetsIt) {
    CloseSerialPort();  // nothing open: nothing happens
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);

    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    peer_.Send({1, 2, 3});
    ASSERT_TRUE(WaitForWaitingInput(peer_.DeviceFd(), 3));
    CloseSerialPort();

    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
    uint8_t buffer[8] = {};
    EXPECT_EQ(GetSerialData(buffer, sizeof buffer), 0);
    EXPECT_TRUE(DeviceIsFree(peer_.DevicePath()));
    CloseSerialPort();  // a second close is harmless too
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
}

TEST_F(LinkTest, OpenDiscardsInputThatArrivedBefore) {
    peer_.Send({0x11, 0x22});
    ASSERT_TRUE(WaitForWaitingInput(peer_.DeviceFd(), 2));
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    uint8_t buffer[8] = {};
    EXPECT_EQ(GetSerialData(buffer, sizeof buffer), 0);
}

TEST_F(LinkTest, ByteOperationsOnAClosedPortDoNothing) {
    SendSerialData(0x55);
    uint8_t buffer[4] = {};
    EXPECT_EQ(GetSerialData(buffer, sizeof buffer), 0);
    double elapsed = MillisecondsOf([] { EXPECT_EQ(SendSerialDataWithTimeout(0x55, 3), 0); });
    EXPECT_GE(elapsed, 3.0);
    EXPECT_FALSE(peer_.WaitForReceived(1, 50));
}

TEST_F(LinkTest, SendSerialDataPutsOneByteOnTheLine) {
    peer_.SetEcho(false);
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    SendSerialData(0xA5);
    SendSerialData(0x00);
    ASSERT_TRUE(peer_.WaitForReceived(2, 1000));
    EXPECT_EQ(peer_.Received(), (Bytes{0xA5, 0x00}));
}

TEST_F(LinkTest, GetSerialDataReadsAtMostTheCountOfWaitingBytes) {
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    uint8_t buffer[16] = {};
    EXPECT_EQ(GetSerialData(buffer, sizeof buffer), 0) << "nothing waiting";
    EXPECT_EQ(GetSerialData(buffer, 0), 0);

    peer_.Send({1, 2, 3, 4, 5});
    ASSERT_TRUE(WaitForWaitingInput(peer_.DeviceFd(), 5));
    ASSERT_EQ(GetSerialData(buffer, 3), 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{1, 2, 3}));
    ASSERT_EQ(GetSerialData(buffer, sizeof buffer), 2);
    EXPECT_EQ(Bytes(buffer, buffer + 2), (Bytes{4, 5}));
    EXPECT_EQ(GetSerialData(buffer, sizeof buffer), 0);
}

TEST_F(LinkTest, SendSerialDataWithTimeoutComparesTheFirstByteBack) {
    struct Case {
        const char *name;
        bool echo;
        int corruptAt;
        uint16_t polls;
        uint8_t expected;
        double atLeastMs;
    };
    const Case cases[] = {
        {"echo equal", true, -1, 50, 1, 0},
        {"echo changed", true, 0, 50, 0, 0},
        {"silence for 30 polls", false, -1, 30, 0, 30},
        {"one poll only", false, -1, 1, 0, 1},
    };
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        peer_.SetEcho(c.echo);
        peer_.CorruptEchoAt(c.corruptAt);
        uint8_t result = 2;
        const double elapsed = MillisecondsOf([&] { result = SendSerialDataWithTimeout(0x3C, c.polls); });
        EXPECT_EQ(result, c.expected);
        EXPECT_GE(elapsed, c.atLeastMs);
    }
}

TEST_F(LinkTest, SendSerialDataWithTimeoutConsumesExactlyOneByte) {
    peer_.OnMessage([](const Bytes &) { return PtyPeer::Answer{{0x77, 0x78}}; });
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    EXPECT_EQ(SendSerialDataWithTimeout(0x42, 500), 1);
    EXPECT_EQ(ReadWaiting(2, 1000), (Bytes{0x77, 0x78}));
}

// A poll count of 0 is 65,536 polls (the 16-bit count wraps), not an empty budget.
TEST_F(LinkTest, SendSerialDataWithTimeoutCountZeroWaitsLong) {
    peer_.SetEchoDelayMs(300);
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    EXPECT_EQ(SendSerialDataWithTimeout(0x42, 0), 1);
}

TEST(Delay, SleepsAtLeastTheWholeTime) {
    for (uint16_t ms : {uint16_t{0}, uint16_t{1}, uint16_t{20}, uint16_t{150}}) {
        SCOPED_TRACE(ms);
        EXPECT_GE(MillisecondsOf([ms] { Delay(ms); }), ms);
    }
}

// The system's text when it fits the buffer with its terminating zero, else "Errorcode <n>" cut
// to the buffer; never a byte beyond the given size.
TEST_F(LinkTest, ErrorTextStaysWithinTheBuffer) {
    ASSERT_EQ(OpenSerialPort(7, 9600), 0);  // no such port: ENOENT
    const std::string full = std::strerror(ENOENT);
    const std::string fallback = "Errorcode " + std::to_string(ENOENT);
    const unsigned sizes[] = {255, static_cast<unsigned>(full.size() + 1), static_cast<unsigned>(full.size()), 22, 12,
                              11, 5, 1, 0};
    for (unsigned size : sizes) {
        SCOPED_TRACE(size);
        char buffer[300];
        std::memset(buffer, 0x5A, sizeof buffer);
        EXPECT_EQ(GetWin32ErrorText(buffer, static_cast<uint8_t>(size)), buffer);
        for (unsigned i = size; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0x5A) << "byte " << i << " written";
        if (size == 0) continue;
        const std::string expected =
            full.size() + 1 <= size ? full : fallback.substr(0, std::min<std::size_t>(fallback.size(), size - 1));
        EXPECT_EQ(std::string(buffer), expected);
    }
    EXPECT_EQ(GetWin32ErrorText(nullptr, 20), nullptr);
}
