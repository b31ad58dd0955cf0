// One retry of a mail that failed with a damaged byte, and none after silence: what goes on the
// line, what the transfer returns, and the pause before a retried write.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "mail_budget.h"
#include "memory_transfer.h"
#include "posix_waits.h"
#include "simulated_repeater_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using repeatersim::Fault;
using std::chrono::milliseconds;

constexpr unsigned kImageMails = 10;
constexpr unsigned kReadFrameBytes = 12;
constexpr unsigned kWriteFrameBytes = 20;

// The least a silent echo wait of a read frame lasts: its idle polls, each at least the POSIX
// backend's echo pause long (the transfers allow 2000 polls per frame byte).
milliseconds SilentEchoWait() {
    const auto polls = maillink::EchoBudget(kReadFrameBytes, 2000);
    return std::chrono::duration_cast<milliseconds>(
        std::chrono::nanoseconds(maillink::posix::kEchoYieldNanoseconds) * polls);
}

class TransferRetry : public SimulatedRepeaterTest {
protected:
    void SetUp() override {
        SimulatedRepeaterTest::SetUp();
        SetTransferProgressHook([this](const TransferProgress &p) {
            if (p.finished) retried_ = p.mailsRetried;
        });
    }
    void TearDown() override {
        SetTransferProgressHook({});
        SetTransferClock({});
        SimulatedRepeaterTest::TearDown();
    }

    // Runs the transfer and returns its result and how long it took.
    int8_t Timed(bool write, milliseconds &took) {
        const auto start = std::chrono::steady_clock::now();
        const int8_t code = write ? WriteConfigImage(0, 80) : ReadConfigImage(0, 80);
        took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
        return code;
    }

    unsigned retried_ = 0;
};

struct RetryCase {
    const char *name;
    bool write;
    repeatersim::FaultPlan fault;
    int8_t code;  // what the mail fails with, once and twice
};

// Every kind of damage the line can do to a read mail (reply checksum, reply length byte, echo)
// and to a write mail (which has no reply: only its echo), at first, middle and last positions.
const RetryCase kDamage[] = {
    {"read, reply checksum", false, {Fault::BadChecksum, 3, 0}, 2},
    {"read, reply length byte", false, {Fault::ReplyLength, 10, 20}, 3},
    {"read, echo of the preamble", false, {Fault::CorruptEcho, 1, 0}, 6},
    {"read, echo of the checksum", false, {Fault::CorruptEcho, 6, 11}, 6},
    {"write, echo of a data byte", true, {Fault::CorruptEcho, 4, 15}, 6},
    {"write, echo of the checksum", true, {Fault::CorruptEcho, 10, kWriteFrameBytes - 1}, 6},
};

TEST_F(TransferRetry, OneDamagedMailIsSentOnceMoreAndTheTransferCompletes) {
    for (const RetryCase &c : kDamage) {
        SCOPED_TRACE(c.name);
        const Bytes device = GiveDeviceDistinctConfig(0x29);
        for (std::size_t i = 0; i < 80; ++i) ConfigImage[i] = static_cast<uint8_t>(~device[i]);
        const Bytes image = ImageBytes(0, 80);
        sim_.SetFault(c.fault);

        milliseconds took{};
        EXPECT_EQ(Timed(c.write, took), 0);
        EXPECT_EQ(sim_.MailCount(), kImageMails + 1) << "exactly one extra mail";
        EXPECT_EQ(retried_, 1u);
        const Bytes after = sim_.Config();
        if (c.write) {
            EXPECT_EQ(Bytes(after.begin(), after.begin() + 80), image);
        } else {
            EXPECT_EQ(ImageBytes(0, 80), Bytes(device.begin(), device.begin() + 80));
            EXPECT_EQ(after, device);
        }
    }
}

TEST_F(TransferRetry, TheSameDamageTwiceEndsTheTransferWithItsCode) {
    for (const RetryCase &c : kDamage) {
        SCOPED_TRACE(c.name);
        const Bytes device = GiveDeviceDistinctConfig(0x4B);
        std::fill(ConfigImage, ConfigImage + 80, uint8_t{0xEE});
        FaultTwice(c.fault);

        milliseconds took{};
        EXPECT_EQ(Timed(c.write, took), c.code);
        EXPECT_EQ(sim_.MailCount(), c.fault.atMail + 1) << "the retry, then nothing";
        EXPECT_EQ(retried_, 1u);
        const std::size_t good = (c.fault.atMail - 1) * 8u;  // chunks before the failing mail
        if (!c.write) {
            EXPECT_EQ(ImageBytes(0, good), Bytes(device.begin(), device.begin() + good));
            EXPECT_EQ(ImageBytes(good, 80), Bytes(80 - good, 0xEE));
        }
    }
}

// A silent line is not waited out a second time: no echo at all (6 after the echo budget), and
// an echo without a reply (1 after the reply budget). The fault matrix checks both at every mail
// on virtual time; here they run on the pseudo-terminal with the POSIX backend's real waits.
TEST_F(TransferRetry, SilenceIsNotRetried) {
    const struct {
        const char *name;
        repeatersim::FaultPlan fault;
        int8_t code;
        milliseconds budget;  // the least the one wait lasts
    } cases[] = {
        {"no echo", {Fault::NoEcho, 2, 0}, 6, SilentEchoWait()},
        {"no reply", {Fault::Silence, 2, 0}, 1, milliseconds(2000 * 5)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        sim_.SetFault(c.fault);
        milliseconds took{};
        EXPECT_EQ(Timed(false, took), c.code);
        EXPECT_EQ(sim_.MailCount(), 2u) << "the silent mail was sent again";
        EXPECT_EQ(retried_, 0u);
        EXPECT_GE(took, c.budget);
        EXPECT_LT(took, 2 * c.budget) << "the silent wait ran twice";
    }
}

// A line that goes (an unplugged adapter) in the retry of a damaged mail ends the retry at once
// (the fault matrix shows that a line that goes in a mail is not retried).
TEST_F(TransferRetry, RetryOnALineThatGoesEndsAtOnce) {
    for (const bool write : {false, true}) {
        SCOPED_TRACE(write ? "write mail" : "read mail");
        repeatersim::Simulator sim;  // a hang-up ends a simulator: a fresh one each time
        sim.Start();
        sim.Publish(ports_.Path(), kPort);
        sim.SetFault({Fault::CorruptEcho, 2, 4});
        sim.AddFault({Fault::HangUp, 3, 0});
        milliseconds took{};
        EXPECT_EQ(Timed(write, took), 6);
        EXPECT_EQ(sim.MailCount(), 3u);
        EXPECT_EQ(retried_, 1u);
        EXPECT_LT(took, SilentEchoWait()) << "a line that is gone was waited for";
    }
}

// A write whose echo came back damaged may have reached the device, which then writes its
// EEPROM and ignores mails for a while: the retry waits the EEPROM pause before it is sent.
TEST_F(TransferRetry, RetriedWriteWaitsTheEepromPauseFirst) {
    std::vector<std::pair<milliseconds, std::size_t>> pauses;  // length, bytes sent before it
    SetTransferClock({{}, [&](milliseconds pause) {
                          pauses.emplace_back(pause, sim_.Received().size());
                          std::this_thread::sleep_for(pause);
                      }});
    for (std::size_t i = 0; i < 8; ++i) ConfigImage[i] = static_cast<uint8_t>(0x70 + i);
    sim_.SetFault({Fault::CorruptEcho, 1, 7});

    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(WriteConfigImage(0, 8), 0);
    const auto took = std::chrono::steady_clock::now() - start;

    ASSERT_EQ(pauses.size(), 1u);
    EXPECT_GE(pauses[0].first, milliseconds(200)) << "25 ms times the second payload byte 8";
    EXPECT_EQ(pauses[0].second, kWriteFrameBytes) << "the pause comes before the retry's frame";
    EXPECT_EQ(sim_.MailCount(), 2u);
    EXPECT_GE(took, milliseconds(400)) << "the retry's pause and the mail layer's own";
    const Bytes device = sim_.Config();
    EXPECT_EQ(Bytes(device.begin(), device.begin() + 8), ImageBytes(0, 8));
}

}  // namespace
