// The simulated repeater seen from the host's end of the line: echo, frames, the two memories,
// writes and their busy window, acknowledge mode.
#include "sim_fixture.h"

#include <array>
#include <thread>

using repeatersim::kConfigSize;
using repeatersim::kInfoSize;

namespace {

Bytes AllByteValues() {
    Bytes b(256);
    for (unsigned i = 0; i < 256; ++i) b[i] = static_cast<uint8_t>(i);
    return b;
}

}  // namespace

TEST_F(SimulatorTest, EchoesEveryByteUnchangedAndCountsOnlyCompleteFrames) {
    const struct {
        const char *name;
        Bytes bytes;
        unsigned frames;
    } cases[] = {
        {"all byte values", AllByteValues(), 0},
        {"preamble without start byte", {0xFF, 0xFF, 0x4E, 0x02, 0x01, 0x00, 0x00}, 0},
        {"length above 14", {0xFF, 0xFF, 0x4D, 0x02, 0x0F, 0x01, 0x02}, 0},
        {"unfinished frame", {0xFF, 0xFF, 0x4D, 0x02, 0x06, 0x3C}, 0},
        {"long preamble, bad checksum", {0xFF, 0xFF, 0xFF, 0xFF, 0x4D, 0x05, 0x01, 0x10, 0x11}, 1},
        {"two frames back to back", {0xFF, 0xFF, 0x4D, 0x07, 0x01, 0x10, 0x10,
                                     0xFF, 0xFF, 0x41, 0x07, 0x02, 0x01, 0x02, 0x03}, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        sim_->Stop();
        sim_->Start();
        host_ = std::make_unique<HostLine>(sim_->DevicePath());
        // Frames of an unknown type: echo only, plus 0x61 for the acknowledge-mode frame.
        host_->Write(c.bytes);
        Bytes back = host_->Read(c.bytes.size());
        EXPECT_EQ(back, c.bytes);
        EXPECT_EQ(sim_->Received(), c.bytes);
        EXPECT_EQ(sim_->MailCount(), c.frames);
    }
}

TEST_F(SimulatorTest, ReadMailAnswersFromTheSelectedMemory) {
    const Bytes info = Pattern(kInfoSize, 7, 1);
    const Bytes config = Pattern(kConfigSize, 13, 5);
    std::array<uint8_t, kInfoSize> infoArray{};
    std::copy(info.begin(), info.end(), infoArray.begin());
    sim_->SetInfo(infoArray);
    sim_->SetConfig(config);

    const struct {
        uint8_t selector;
        uint16_t address;
    } cases[] = {
        {0xFF, 0x0000}, {0xFF, 0x0018}, {0xFF, 0x001C /* half beyond the 32 bytes */},
        {0xFF, 0x0100}, {0x00, 0x0000}, {0x00, 0x0048},
        {0x00, 0x00FC /* half beyond */},  {0x00, 0x1000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "selector " << int(c.selector) << " address "
                                        << c.address);
        const Bytes frame = ReadMail(c.selector, c.address);
        const auto [echo, answer] = Send(frame);
        EXPECT_EQ(echo, frame);
        ASSERT_EQ(answer.size(), 13u);
        EXPECT_EQ(answer, ExpectedReadReply(c.selector == 0xFF ? info : config, c.address,
                                            answer[3]));
    }
}

TEST_F(SimulatorTest, WriteMailChangesOnlyItsBytesAndSendsNoReply) {
    const Bytes before = sim_->Config();
    const Bytes data{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

    const auto [echo, answer] = Send(WriteMail(0x0040, data));
    EXPECT_EQ(echo.size(), 20u);
    EXPECT_TRUE(answer.empty());
    Bytes expected = before;
    std::copy(data.begin(), data.end(), expected.begin() + 0x40);
    EXPECT_EQ(sim_->Config(), expected);

    // A short chunk: only its n bytes count, though the frame carries eight.
    ASSERT_TRUE(sim_->WaitIdle());  // past the EEPROM write
    Send(WriteMail(0x0008, data, 5));
    std::copy(data.begin(), data.begin() + 5, expected.begin() + 8);
    EXPECT_EQ(sim_->Config(), expected);
}

TEST_F(SimulatorTest, MailsDuringTheEepromWriteAreEchoedButNotServed) {
    const Bytes before = sim_->Config();
    const Bytes data(8, 0xEE);
    Send(WriteMail(0x0000, data));

    const Bytes read = ReadMail(0x00, 0x0000);
    const auto during = Send(read);
    EXPECT_EQ(during.echo, read);
    EXPECT_TRUE(during.answer.empty());
    const auto secondWrite = Send(WriteMail(0x0010, data));
    EXPECT_EQ(secondWrite.echo.size(), 20u);

    ASSERT_TRUE(sim_->WaitIdle());
    const auto after = Send(read);
    ASSERT_EQ(after.answer.size(), 13u);
    EXPECT_EQ(Bytes(after.answer.begin() + 4, after.answer.begin() + 12), data);
    const Bytes config = sim_->Config();
    EXPECT_EQ(Bytes(config.begin() + 0x10, config.begin() + 0x18),
              Bytes(before.begin() + 0x10, before.begin() + 0x18));
}

TEST_F(SimulatorTest, AcknowledgeModeSendsTheAcknowledgeBeforeAnyReply) {
    const Bytes read = ReadMail(0x00, 0x0048, 0x41);
    const auto r = Send(read);
    EXPECT_EQ(r.echo, read);
    ASSERT_EQ(r.answer.size(), 14u);
    EXPECT_EQ(r.answer[0], 0x61);
    EXPECT_EQ(Bytes(r.answer.begin() + 1, r.answer.end()),
              ExpectedReadReply(sim_->Config(), 0x0048, r.answer[4]));

    const auto w = Send(WriteMail(0x0000, Bytes(8, 1), 8, 0x41));
    EXPECT_EQ(w.answer, Bytes{0x61});
}

TEST_F(SimulatorTest, FrameWithBadChecksumIsEchoedAndIgnored) {
    const Bytes before = sim_->Config();
    for (Bytes frame : {ReadMail(0x00, 0x0000, 0x41), WriteMail(0x0000, Bytes(8, 0x5A))}) {
        frame.back() ^= 0x80;
        const auto e = Send(frame);
        EXPECT_EQ(e.echo, frame);
        EXPECT_TRUE(e.answer.empty());
    }
    EXPECT_EQ(sim_->Config(), before);
    EXPECT_EQ(sim_->MailCount(), 2u);
}

TEST_F(SimulatorTest, ResponderAndInjectSendTheirBytes) {
    sim_->SetResponder([](const Bytes &frame) { return Bytes(frame.rbegin(), frame.rbegin() + 3); });
    const Bytes read = ReadMail(0x00, 0x0000);
    const auto e = Send(read);
    EXPECT_EQ(e.echo, read);
    EXPECT_EQ(e.answer, Bytes(read.rbegin(), read.rbegin() + 3));

    sim_->SetResponder({});
    EXPECT_EQ(Send(read).answer.size(), 13u);

    sim_->Inject({0x01, 0x02, 0x03});
    EXPECT_EQ(host_->Read(3), (Bytes{0x01, 0x02, 0x03}));
}

TEST_F(SimulatorTest, ClearReceivedStartsTheRecordAfresh) {
    Send(ReadMail(0xFF, 0));
    sim_->ClearReceived();
    const Bytes frame = ReadMail(0x00, 8);
    Send(frame);
    EXPECT_EQ(sim_->Received(), frame);
    EXPECT_EQ(sim_->MailCount(), 2u);
}

TEST(RepeaterSample, HoldsASupportedClassARepeater) {
    const auto info = repeatersim::SampleInfoBlock();
    const Bytes image = repeatersim::SampleConfigImage();
    EXPECT_EQ(info[18], 'a');
    ASSERT_EQ(image.size(), kConfigSize);
    EXPECT_EQ(Bytes(image.begin() + 68, image.begin() + 73), (Bytes{0x02, 0x5A, 0x3C, 0x81, 0x43}));
    EXPECT_EQ(image[68] & 0x70, 0);  // ARI class A
    EXPECT_EQ(image[2], 0x05);
    EXPECT_EQ(image[5], 0x02);
    EXPECT_TRUE(image[17] & 0x80);
    EXPECT_EQ(image[67], 0xA8);
    EXPECT_EQ(std::count(image.begin(), image.begin() + 80, 0), 0);
    EXPECT_EQ(std::count(image.begin() + 80, image.end(), 0), static_cast<long>(kConfigSize - 80));
}

// Attached to an existing terminal (here the slave of a pair the test holds the master of, as a
// virtual machine holds its serial line's), the simulator serves the far end: raw bytes both
// ways, a read mail answered, and the far end's going away ends the line, not the process.
TEST(AttachedSimulator, ServesTheFarEndOfAnExistingTerminal) {
    ptypair::PtyPair far = ptypair::OpenPtyPair();
    ::close(far.slave);  // only the simulator holds the slave
    far.slave = -1;
    repeatersim::Options options;
    options.attachDevice = far.slavePath;
    repeatersim::Simulator sim(options);
    sim.Start();
    EXPECT_EQ(sim.DevicePath(), far.slavePath);

    const Bytes mail = ReadMail(0x00, 0x0008);
    ASSERT_EQ(::write(far.master, mail.data(), mail.size()), static_cast<ssize_t>(mail.size()));
    Bytes back;
    const auto deadline = TestClock::now() + milliseconds(2000);
    while (back.size() < mail.size() + 13 && TestClock::now() < deadline) {
        pollfd p{far.master, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        uint8_t b[64];
        const ssize_t n = ::read(far.master, b, sizeof b);
        if (n > 0) back.insert(back.end(), b, b + n);
    }
    const Bytes config = sim.Config();
    Bytes expected = mail;
    const Bytes reply = ExpectedReadReply(config, 0x0008, 0x3C);
    expected.insert(expected.end(), reply.begin(), reply.end());
    EXPECT_EQ(back, expected);
    EXPECT_EQ(sim.MailCount(), 1u);

    ::close(far.master);
    far.master = -1;
    const auto gone = TestClock::now() + milliseconds(2000);
    while (!sim.IsHungUp() && TestClock::now() < gone) std::this_thread::sleep_for(milliseconds(5));
    EXPECT_TRUE(sim.IsHungUp()) << "the far end closed, the line must end";
}
