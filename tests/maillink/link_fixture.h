// What the library tests share: a private port directory with a scripted device published as a
// COM port, stopwatches, and frames and replies computed from the wire format.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "link_platform.h"
#include "maillink.h"
#include "pty_peer.h"
#include "temp_port_dir.h"

namespace linktest {

using Bytes = std::vector<uint8_t>;

// Milliseconds that fn takes.
template <class Fn>
double MillisecondsOf(Fn &&fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A wait that must last at least leastMs and, with room for a loaded machine, at most twice its
// nominal time plus 100 ms: a wait ten times too long fails as surely as one too short.
inline ::testing::AssertionResult LastsBetween(double elapsedMs, double leastMs, double nominalMs) {
    const double mostMs = 2.0 * nominalMs + 100.0;
    if (elapsedMs >= leastMs && elapsedMs <= mostMs) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the wait took " << elapsedMs << " ms; it must take " << leastMs
                                         << " to " << mostMs << " ms (nominal " << nominalMs << " ms)";
}

inline uint8_t Sum(const Bytes &bytes) {
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    return static_cast<uint8_t>(sum);
}

// A transmit frame as it must appear on the wire.
inline Bytes Frame(uint8_t start, uint8_t type, const Bytes &payload) {
    Bytes frame{0xFF, 0xFF, start, type, static_cast<uint8_t>(payload.size())};
    for (uint8_t b : payload) frame.push_back(b);
    frame.push_back(Sum(payload));
    return frame;
}

// A reply as the device sends it: start, type, length byte, data (length byte + 1 bytes), sum.
inline Bytes Reply(uint8_t lengthByte, const Bytes &data, uint8_t start = 0x00, uint8_t type = 0x00) {
    Bytes reply{start, type, lengthByte};
    for (uint8_t b : data) reply.push_back(b);  // (insert() trips a false GCC 12 bounds warning)
    reply.push_back(Sum(data));
    return reply;
}

// Data bytes 1, 2, 3, ... count.
inline Bytes Counting(unsigned count, uint8_t first = 1) {
    Bytes data;
    for (unsigned i = 0; i < count; ++i) data.push_back(static_cast<uint8_t>(first + i));
    return data;
}

// Fills SmTxMail offsets 3 on as a caller does.
inline void PutMail(uint8_t type, const Bytes &payload) {
    SmTxMail[3] = type;
    SmTxMail[4] = static_cast<uint8_t>(payload.size());
    for (std::size_t i = 0; i < payload.size(); ++i) SmTxMail[5 + i] = payload[i];
}

// Reads what is waiting on the open port until count bytes came or timeoutMs passed.
inline Bytes ReadWaiting(std::size_t count, unsigned timeoutMs) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        uint8_t buffer[64];
        const std::size_t want = std::min<std::size_t>(sizeof buffer, count - got.size());
        const uint8_t n = GetSerialData(buffer, static_cast<uint8_t>(want));
        got.insert(got.end(), buffer, buffer + n);
        if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return got;
}

inline Bytes RxBytes(unsigned from, unsigned count) { return Bytes(SmRxMail + from, SmRxMail + from + count); }

// GetWin32ErrorText with a buffer of the given size.
inline std::string ErrorText(uint8_t size = 200) {
    char buffer[256] = {};
    return GetWin32ErrorText(buffer, size);
}

// The baud rate the peer's line is set to.
inline uint32_t LineRate(const PtyPeer &peer) {
    LineSettings settings;
    EXPECT_TRUE(ReadLineSettings(peer, settings));
    return settings.baudRate;
}

}  // namespace linktest

// A scripted device published as COM3 in a private port directory; the port is closed after
// each test, whatever the test did.
class LinkTest : public ::testing::Test {
protected:
    static constexpr uint8_t kCom = 3;

    void SetUp() override { peer_.Publish(ports_.Path(), kCom); }
    void TearDown() override { CloseSerialPort(); }

    TempPortDir ports_;
    PtyPeer peer_;
};

// LinkTest with the port open and SmInit run; acknowledge mode off unless a test turns it on.
class MailTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
        SmInit();
        SmConfig.AckMode = 0;
    }
};
