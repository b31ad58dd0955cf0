// Mails over a line that runs at real 9600-baud byte times, with and without a USB adapter's
// 16 ms latency before the echoed and answered bytes reach the host: the echo wait must not give
// up while the echo is still on its way, neither with the program's echo allowance nor with the
// smaller one SmInit sets; and the waits must not wake for every byte as the bytes trickle in.
#include <sys/resource.h>

#include "link_fixture.h"
#include "repeater_sim.h"

using namespace linktest;

namespace {

constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
constexpr unsigned kReadFrameBytes = 12;
constexpr unsigned kReplyBytes = 13;

// The times the calling thread has slept and woken again.
long WakeUps() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

// The simulator on a paced line published as COM2, the port open and set for read mails as the
// program sets it (no acknowledge, fixed 13-byte replies).
class PacedPort {
public:
    PacedPort(unsigned latencyMs, uint16_t echoPerByte) : sim_(Paced(latencyMs)) {
        sim_.Start();
        sim_.Publish(ports_.Path(), 2);
        opened_ = OpenSerialPort(2, 9600) == 1;
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.RxMailExpected = 1;
        SmConfig.FixedRxLength = 1;
        SmConfig.EchoTimeoutPerByte = echoPerByte;
        SmConfig.RxTimeout = 2000;
    }
    ~PacedPort() { CloseSerialPort(); }
    bool Opened() const { return opened_; }
    repeatersim::Simulator &Sim() { return sim_; }

private:
    static repeatersim::Options Paced(unsigned latencyMs) {
        repeatersim::Options options;
        options.pace = true;
        options.echoLatencyMs = latencyMs;
        return options;
    }
    TempPortDir ports_;
    repeatersim::Simulator sim_;
    bool opened_ = false;
};

void PutReadMail(uint16_t address) {
    PutMail(2, {0x3C, 0x08, 0x00, 0x08, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)});
}

}  // namespace

TEST(PacedLine, ReadMailsSucceedAtRealByteTimesWithAndWithoutAdapterLatency) {
    const struct {
        unsigned latencyMs;
        uint16_t echoPerByte;
    } cases[] = {{0, 2000}, {16, 2000}, {0, 200}, {16, 200}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.latencyMs << " ms latency, " << c.echoPerByte << " polls a byte");
        PacedPort port(c.latencyMs, c.echoPerByte);
        ASSERT_TRUE(port.Opened());
        const auto config = port.Sim().Config();
        for (uint16_t address : {uint16_t{0x00}, uint16_t{0x08}, uint16_t{0x48}}) {
            SCOPED_TRACE(address);
            PutReadMail(address);
            int32_t result = -1;
            const double elapsed = MillisecondsOf([&] { result = SmSendMail(); });
            ASSERT_EQ(result, 0);
            EXPECT_EQ(RxBytes(6, 8), Bytes(config.begin() + address, config.begin() + address + 8));
            // The line is really paced: the frame goes out and its reply comes back byte by byte.
            EXPECT_GE(elapsed, (kReadFrameBytes + kReplyBytes) * kByteMs + c.latencyMs - 1.0);
        }
    }
}

// A read mail's 25 bytes come back one byte time apart, the echo and the reply after it in one
// run; the echo wait counts them all and sleeps while they cross the line, so that a mail wakes
// its caller once or twice, not once a byte.
TEST(PacedLine, WaitsDoNotWakeForEveryByteThatTricklesIn) {
    PacedPort port(0, 2000);
    ASSERT_TRUE(port.Opened());
    constexpr int kMails = 8;
    const long before = WakeUps();
    for (int mail = 0; mail < kMails; ++mail) {
        PutReadMail(static_cast<uint16_t>(8 * mail));
        ASSERT_EQ(SmSendMail(), 0);
    }
    const double perMail = static_cast<double>(WakeUps() - before) / kMails;
    // Once a mail (at the end of the sleep) once the line is known to keep pace, twice before
    // (the first byte, the sleep), now and then once more for a late last byte; a wait for the
    // echo alone wakes again for the reply, and one that wakes for every byte needs 25.
    EXPECT_LT(perMail, 3.0) << perMail << " wake-ups a mail";
}
