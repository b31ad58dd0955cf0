// The port functions: opening, line settings, exclusive use, closing, byte operations, Delay and
// the error text, against a scripted device.
#include <cstring>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "link_fixture.h"

using namespace linktest;

TEST_F(LinkTest, PortNumbersOutsideOneToNineAreRefusedWithoutTouchingAnyDevice) {
    for (unsigned number : {0u, 10u, 58u, 255u}) {
        SCOPED_TRACE(number);
#ifndef _WIN32
        // Even an entry of that name does not make the number valid.
        PtyPeer alias;
        alias.Publish(ports_.Path(), number);
#endif
        EXPECT_EQ(OpenSerialPort(static_cast<uint8_t>(number), 9600), 0);
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
        EXPECT_TRUE(DeviceIsFree(peer_));
    }
}

TEST_F(LinkTest, OpenSetsTheRepeaterLineUp) {
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    EXPECT_NE(hComPort, MAILLINK_NO_PORT);

    LineSettings line;
    ASSERT_TRUE(ReadLineSettings(peer_, line));
    EXPECT_EQ(line.baudRate, 9600u);
    EXPECT_EQ(line.dataBits, 8u);
    EXPECT_FALSE(line.parity);
    EXPECT_EQ(line.stopBits, 1u);
    EXPECT_TRUE(line.raw);
    EXPECT_FALSE(line.flowControl);
    EXPECT_TRUE(line.readsReturnAtOnce);
}

TEST_F(LinkTest, OpenRunsTheLineAtTheGivenRate) {
    for (uint32_t rate : {1200u, 9600u, 19200u, 115200u}) {
        SCOPED_TRACE(rate);
        ASSERT_EQ(OpenSerialPort(kCom, rate), 1);
        EXPECT_EQ(LineRate(peer_), rate);
        CloseSerialPort();
    }
}

TEST_F(LinkTest, SecondOpenKeepsTheOpenPortAndItsSettings) {
    PtyPeer other;
    other.Publish(ports_.Path(), 4);
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    const uint32_t handle = hComPort;

    EXPECT_EQ(OpenSerialPort(4, 19200), 1);
    EXPECT_EQ(OpenSerialPort(0, 0), 1) << "the arguments are not looked at";
    EXPECT_EQ(hComPort, handle);
    EXPECT_EQ(LineRate(peer_), 9600u);
    EXPECT_TRUE(DeviceIsFree(other));
    if (ExclusiveOpenGap().empty()) {
        EXPECT_FALSE(DeviceIsFree(peer_));
    }
}

TEST_F(LinkTest, OpenPortIsHeldExclusivelyUntilClosed) {
    if (const std::string gap = ExclusiveOpenGap(); !gap.empty()) GTEST_SKIP() << gap;
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    EXPECT_FALSE(DeviceIsFree(peer_));

    CloseSerialPort();
    EXPECT_TRUE(DeviceIsFree(peer_));
}

// 5: no entry at all; 6: a link to nothing. (Under Wine the driver pins both to device paths that
// do not exist.)
TEST_F(LinkTest, PortWithoutADeviceFailsWithTheReason) {
#ifndef _WIN32
    ASSERT_EQ(::symlink("/nonexistent/ttyUSB7", ports_.Entry(6).c_str()), 0);
#endif
    for (uint8_t number : {uint8_t{5}, uint8_t{6}}) {
        SCOPED_TRACE(number);
        EXPECT_EQ(OpenSerialPort(number, 9600), 0);
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
        EXPECT_EQ(ErrorText(), SystemErrorText(NoDeviceError()));
    }
}

TEST_F(LinkTest, CloseReleasesThePortAndForgetsIt) {
    CloseSerialPort();  // nothing open: nothing happens
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);

    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    peer_.Send({1, 2, 3});
    ASSERT_TRUE(WaitForHostInput(peer_, 3));
    CloseSerialPort();

    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
    uint8_t buffer[8] = {};
    EXPECT_EQ(GetSerialData(buffer, sizeof buffer), 0);
    EXPECT_TRUE(DeviceIsFree(peer_));
    CloseSerialPort();  // a second close is harmless too
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
}

TEST_F(LinkTest, OpenDiscardsInputThatArrivedBefore) {
    peer_.Send({0x11, 0x22});
    ASSERT_TRUE(WaitForHostInput(peer_, 2));
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    uint8_t buffer[8] = {};
    EXPECT_EQ(GetSerialData(buffer, sizeof buffer), 0);
}

TEST_F(LinkTest, ByteOperationsOnAClosedPortDoNothing) {
    SendSerialData(0x55);
    uint8_t buffer[4] = {};
    EXPECT_EQ(GetSerialData(buffer, sizeof buffer), 0);
    double elapsed = MillisecondsOf([] { EXPECT_EQ(SendSerialDataWithTimeout(0x55, 3), 0); });
    EXPECT_TRUE(LastsBetween(elapsed, 3.0, 3.0));
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
    ASSERT_TRUE(WaitForHostInput(peer_, 5));
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
        EXPECT_TRUE(LastsBetween(elapsed, c.atLeastMs, c.polls * 1.0));
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

TEST(Delay, SleepsTheWholeTimeAndNotMuchMore) {
    for (uint16_t ms : {uint16_t{0}, uint16_t{1}, uint16_t{20}, uint16_t{150}, uint16_t{1000}}) {
        SCOPED_TRACE(ms);
        EXPECT_TRUE(LastsBetween(MillisecondsOf([ms] { Delay(ms); }), ms, ms));
    }
}

// The system's text when it fits the buffer with its terminating zero, else "Errorcode <n>" cut
// to the buffer; never a byte beyond the given size.
TEST_F(LinkTest, ErrorTextStaysWithinTheBuffer) {
    ASSERT_EQ(OpenSerialPort(7, 9600), 0);  // no such port
    const std::string full = SystemErrorText(NoDeviceError());
    const std::string fallback = "Errorcode " + std::to_string(NoDeviceError());
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
