// Mails over a line that runs at real 9600-baud byte times, with and without a USB adapter's
// 16 ms latency before the echoed and answered bytes reach the host: the echo wait must not give
// up while the echo is still on its way, neither with the program's echo allowance nor with the
// smaller one SmInit sets.
#include "link_fixture.h"
#include "repeater_sim.h"

using namespace linktest;

namespace {

constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
constexpr unsigned kReadFrameBytes = 12;
constexpr unsigned kReplyBytes = 13;

}  // namespace

TEST(PacedLine, ReadMailsSucceedAtRealByteTimesWithAndWithoutAdapterLatency) {
    const struct {
        unsigned latencyMs;
        uint16_t echoPerByte;
    } cases[] = {{0, 2000}, {16, 2000}, {0, 200}, {16, 200}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.latencyMs << " ms latency, " << c.echoPerByte << " polls a byte");
        repeatersim::Options options;
        options.pace = true;
        options.echoLatencyMs = c.latencyMs;
        repeatersim::Simulator sim(options);
        sim.Start();
        TempPortDir ports;
        sim.Publish(ports.Path(), 2);
        ASSERT_EQ(OpenSerialPort(2, 9600), 1);
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.RxMailExpected = 1;
        SmConfig.FixedRxLength = 1;
        SmConfig.EchoTimeoutPerByte = c.echoPerByte;
        SmConfig.RxTimeout = 2000;

        const auto config = sim.Config();
        for (uint16_t address : {uint16_t{0x00}, uint16_t{0x08}, uint16_t{0x48}}) {
            SCOPED_TRACE(address);
            PutMail(2, {0x3C, 0x08, 0x00, 0x08, static_cast<uint8_t>(address), 0x00});
            int32_t result = -1;
            const double elapsed = MillisecondsOf([&] { result = SmSendMail(); });
            ASSERT_EQ(result, 0);
            EXPECT_EQ(RxBytes(6, 8), Bytes(config.begin() + address, config.begin() + address + 8));
            // The line is really paced: the frame goes out and its reply comes back byte by byte.
            EXPECT_GE(elapsed, (kReadFrameBytes + kReplyBytes) * kByteMs + c.latencyMs - 1.0);
        }
        CloseSerialPort();
    }
}
