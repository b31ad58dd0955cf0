// Injected faults: each hits exactly the mail it names, and the mails around it are served
// normally.
#include "sim_fixture.h"

#include <functional>

using repeatersim::Fault;
using repeatersim::FaultPlan;

namespace {

// Mail 2 of three reads of identification bytes 16..23 (so byte 18, the device type, is in it).
constexpr uint16_t kAddress = 0x0010;

struct FaultCase {
    const char *name;
    FaultPlan plan;
    // Checks mail 2's echo and answer, given the frame and the normal reply.
    std::function<void(const Bytes &frame, const Bytes &normal, const Bytes &echo,
                       const Bytes &answer)>
        check;
};

void ExpectNormal(const Bytes &frame, const Bytes &normal, const Bytes &echo,
                  const Bytes &answer) {
    EXPECT_EQ(echo, frame);
    EXPECT_EQ(answer, normal);
}

const FaultCase kFaultCases[] = {
    {"no echo", {Fault::NoEcho, 2, 0},
     [](const Bytes &, const Bytes &, const Bytes &echo, const Bytes &answer) {
         EXPECT_TRUE(echo.empty());
         EXPECT_TRUE(answer.empty());
     }},
    {"corrupt echo byte 5", {Fault::CorruptEcho, 2, 5},
     [](const Bytes &frame, const Bytes &normal, const Bytes &echo, const Bytes &answer) {
         Bytes expected = frame;
         expected[5] ^= 0x01;
         EXPECT_EQ(echo, expected);
         EXPECT_EQ(answer, normal);
     }},
    {"corrupt echo of the checksum", {Fault::CorruptEcho, 2, 11},
     [](const Bytes &frame, const Bytes &, const Bytes &echo, const Bytes &) {
         ASSERT_EQ(echo.size(), frame.size());
         EXPECT_EQ(Bytes(echo.begin(), echo.end() - 1), Bytes(frame.begin(), frame.end() - 1));
         EXPECT_NE(echo.back(), frame.back());
     }},
    {"silence", {Fault::Silence, 2, 0},
     [](const Bytes &frame, const Bytes &, const Bytes &echo, const Bytes &answer) {
         EXPECT_EQ(echo, frame);
         EXPECT_TRUE(answer.empty());
     }},
    {"bad checksum", {Fault::BadChecksum, 2, 0},
     [](const Bytes &frame, const Bytes &normal, const Bytes &echo, const Bytes &answer) {
         EXPECT_EQ(echo, frame);
         ASSERT_EQ(answer.size(), normal.size());
         EXPECT_EQ(Bytes(answer.begin(), answer.end() - 1), Bytes(normal.begin(), normal.end() - 1));
         EXPECT_NE(answer.back(), normal.back());
     }},
    {"long reply", {Fault::ReplyLength, 2, 20},
     [](const Bytes &, const Bytes &normal, const Bytes &, const Bytes &answer) {
         ASSERT_EQ(answer.size(), 25u);
         EXPECT_EQ(answer[2], 20);
         EXPECT_EQ(Bytes(answer.begin() + 3, answer.begin() + 12),
                   Bytes(normal.begin() + 3, normal.begin() + 12));
         EXPECT_EQ(answer.back(), PayloadSum(Bytes(answer.begin() + 3, answer.end() - 1)));
     }},
    {"short reply", {Fault::ReplyLength, 2, 3},
     [](const Bytes &, const Bytes &normal, const Bytes &, const Bytes &answer) {
         ASSERT_EQ(answer.size(), 8u);
         EXPECT_EQ(answer[2], 3);
         EXPECT_EQ(Bytes(answer.begin() + 3, answer.begin() + 7),
                   Bytes(normal.begin() + 3, normal.begin() + 7));
         EXPECT_EQ(answer.back(), PayloadSum(Bytes(answer.begin() + 3, answer.end() - 1)));
     }},
    {"wrong device type, default", {Fault::WrongDeviceType, 2, 0},
     [](const Bytes &, const Bytes &normal, const Bytes &, const Bytes &answer) {
         Bytes data(normal.begin() + 3, normal.end() - 1);
         data[1 + 18 - kAddress] = 'b';
         ASSERT_EQ(answer.size(), 13u);
         EXPECT_EQ(Bytes(answer.begin() + 3, answer.end() - 1), data);
         EXPECT_EQ(answer.back(), PayloadSum(data));
     }},
    {"wrong device type, given", {Fault::WrongDeviceType, 2, 0x7A},
     [](const Bytes &, const Bytes &, const Bytes &, const Bytes &answer) {
         ASSERT_EQ(answer.size(), 13u);
         EXPECT_EQ(answer[4 + 18 - kAddress], 0x7A);
     }},
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const FaultCase &c, std::ostream *os) {
    *os << c.name;
}

class FaultAtMailTwo : public SimulatorTest, public testing::WithParamInterface<FaultCase> {};

}  // namespace

TEST_P(FaultAtMailTwo, HitsOnlyThatMail) {
    const FaultCase &c = GetParam();
    const Bytes frame = ReadMail(0xFF, kAddress);
    const Bytes normal = ExpectedReadReply(InfoBytes(), kAddress, Send(frame).answer.at(3));
    sim_->SetFault(c.plan);  // restarts the count: the next mail is mail 1
    for (unsigned mail = 1; mail <= 3; ++mail) {
        SCOPED_TRACE(testing::Message() << "mail " << mail);
        const auto [echo, answer] = Send(frame);
        if (mail == 2) c.check(frame, normal, echo, answer);
        else ExpectNormal(frame, normal, echo, answer);
    }
    EXPECT_EQ(sim_->MailCount(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultAtMailTwo, testing::ValuesIn(kFaultCases),
                         [](const testing::TestParamInfo<FaultCase> &info) {
                             std::string name = info.param.name;
                             for (char &ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST_F(SimulatorTest, FaultAtMailZeroHitsEveryMailAndPlansCombine) {
    const Bytes frame = ReadMail(0x00, 0x0000);
    sim_->SetFault({Fault::Silence, 0, 0});
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Send(frame).answer.empty());

    sim_->SetFault({Fault::NoEcho, 1, 0});
    sim_->AddFault({Fault::BadChecksum, 3, 0});
    EXPECT_TRUE(Send(frame).echo.empty());
    const Bytes normal = Send(frame).answer;
    ASSERT_EQ(normal.size(), 13u);
    const Bytes bad = Send(frame).answer;
    ASSERT_EQ(bad.size(), 13u);
    EXPECT_NE(bad.back(), normal.back());

    sim_->SetFault({});
    EXPECT_EQ(Send(frame).answer, normal);
}

TEST_F(SimulatorTest, HangUpFaultClosesTheLineAsTheMailArrives) {
    const Bytes frame = ReadMail(0x00, 0x0000);
    sim_->SetFault({Fault::HangUp, 2, 0});
    EXPECT_EQ(Send(frame).answer.size(), 13u);
    host_->Write(frame);
    const Bytes echo = host_->Read(frame.size(), milliseconds(300));
    EXPECT_LT(echo.size(), frame.size());
    EXPECT_EQ(echo, Bytes(frame.begin(), frame.begin() + static_cast<long>(echo.size())));

    pollfd p{host_->Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    EXPECT_TRUE(sim_->IsHungUp());
}

TEST_F(SimulatorTest, HangUpIsSeenByTheHostAndEndsService) {
    sim_->HangUp();
    EXPECT_TRUE(sim_->IsHungUp());
    pollfd p{host_->Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    uint8_t b = 0;
    EXPECT_LE(::read(host_->Fd(), &b, 1), 0);
    EXPECT_LT(::write(host_->Fd(), &b, 1), 0);
    sim_->Inject({0x01});  // ignored on a dead line
    sim_->HangUp();        // and a second hang-up is harmless
}

// A write-protected or busy memory: every write mail is echoed and then dropped, while reads go
// on being served (and are not held off by an EEPROM write that never happened).
TEST_F(SimulatorTest, IgnoredWritesAreEchoedAndLeaveTheMemory) {
    const Bytes before = sim_->Config();
    sim_->SetFault({Fault::IgnoreWrite, 0, 0});
    const Bytes write = WriteMail(0x0000, Bytes(8, 0x5A));
    const auto [echo, answer] = Send(write);
    EXPECT_EQ(echo, write);
    EXPECT_TRUE(answer.empty());
    EXPECT_EQ(sim_->Config(), before);

    const Bytes read = ReadMail(0x00, 0x0000);
    const auto readBack = Send(read);
    EXPECT_EQ(readBack.answer, ExpectedReadReply(before, 0x0000, readBack.answer.at(3)));
}
