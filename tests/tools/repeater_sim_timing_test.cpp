// Line timing: paced bytes take their 9600-baud byte times, and the latency delays what the
// host receives. Only lower bounds are checked: a loaded machine may always be slower.
#include "sim_fixture.h"

using std::chrono::duration;
using std::chrono::microseconds;

namespace {

constexpr duration<double, std::milli> kByteTime{10.0 / 9.6};

class TimingTest : public SimulatorTest {
protected:
    void SetUp() override {}

    // The time from writing `frame` to the arrival of `count` bytes back.
    duration<double, std::milli> TimeToReceive(const Bytes &frame, std::size_t count) {
        const auto start = TestClock::now();
        host_->Write(frame);
        const Bytes got = host_->Read(count, milliseconds(3000));
        EXPECT_EQ(got.size(), count);
        return TestClock::now() - start;
    }
};

}  // namespace

TEST_F(TimingTest, PacedFrameEchoAndReplyTakeTheirByteTimes) {
    repeatersim::Options options;
    options.pace = true;
    StartWith(options);
    const Bytes frame = ReadMail(0x00, 0x0000);  // 12 bytes
    EXPECT_GE(TimeToReceive(frame, 12), 12 * kByteTime);
    host_->ReadUntilQuiet();
    // The echo, then 13 reply bytes that start only after the frame's last byte arrived.
    EXPECT_GE(TimeToReceive(frame, 25), 25 * kByteTime);
}

TEST_F(TimingTest, LatencyDelaysEveryByteSentToTheHost) {
    repeatersim::Options options;
    options.echoLatencyMs = 40;
    StartWith(options);
    EXPECT_GE(TimeToReceive(ReadMail(0x00, 0x0000), 1), milliseconds(40));
    host_->ReadUntilQuiet();
    sim_->SetFault({repeatersim::Fault::NoEcho, 0, 0});
    const auto start = TestClock::now();
    sim_->Inject({0x42});
    EXPECT_EQ(host_->Read(1), Bytes{0x42});
    EXPECT_GE(TestClock::now() - start, milliseconds(40));
}

TEST_F(TimingTest, EepromWriteKeepsTheDeviceBusyForItsTime) {
    repeatersim::Options options;
    options.eepromBusyMs = 200;
    StartWith(options);
    const auto start = TestClock::now();
    host_->Write(WriteMail(0x0000, Bytes(8, 3)));
    host_->Read(20);
    // Keep asking until the device answers: that must not be before the busy time has passed.
    const Bytes read = ReadMail(0x00, 0x0000);
    Bytes answer;
    while (answer.empty() && TestClock::now() - start < milliseconds(3000)) {
        host_->Write(read);
        host_->Read(read.size());
        answer = host_->ReadUntilQuiet(milliseconds(20));
    }
    EXPECT_EQ(answer.size(), 13u);
    EXPECT_GE(TestClock::now() - start, milliseconds(200));
}
