// The block transfers against the simulated repeater: frames on the wire, chunking, where the
// replies land, failures, and the port's life.
#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <string>

#include "memory_transfer.h"
#include "simulated_repeater_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A transmit frame as the line carries it: FF FF 4D, type 2, L, payload, sum of the payload.
Bytes Frame(const Bytes &payload) {
    Bytes frame = {0xFF, 0xFF, 0x4D, 0x02, static_cast<uint8_t>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(static_cast<uint8_t>(std::accumulate(payload.begin(), payload.end(), 0u)));
    return frame;
}

Bytes ReadFrame(uint8_t selector, uint16_t address) {
    return Frame({0x3C, 0x08, selector, 0x08, static_cast<uint8_t>(address & 0xFF),
                  static_cast<uint8_t>(address >> 8)});
}

Bytes WriteFrame(uint16_t address, const Bytes &data) {
    Bytes payload = {0x3B, 0x08, 0x00, static_cast<uint8_t>(data.size()),
                     static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8)};
    payload.insert(payload.end(), data.begin(), data.end());
    payload.resize(14, 0x00);  // eight data positions, always
    return Frame(payload);
}

Bytes Concat(const std::vector<Bytes> &frames) {
    Bytes all;
    for (const Bytes &f : frames) all.insert(all.end(), f.begin(), f.end());
    return all;
}

using MemoryTransfer = SimulatedRepeaterTest;

TEST_F(MemoryTransfer, InfoBlockReadSendsFourReadMails) {
    ASSERT_EQ(ReadInfoBlock(0, 32), 0);

    const Bytes sent = sim_.Received();
    ASSERT_EQ(sent.size(), 48u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 12),
              (Bytes{0xFF, 0xFF, 0x4D, 0x02, 0x06, 0x3C, 0x08, 0xFF, 0x08, 0x00, 0x00, 0x4B}));
    EXPECT_EQ(sent[36 + 9], 0x18);
    EXPECT_EQ(sent[36 + 10], 0x00);
    EXPECT_EQ(sent[36 + 11], 0x63);
    EXPECT_EQ(sent, Concat({ReadFrame(0xFF, 0), ReadFrame(0xFF, 8), ReadFrame(0xFF, 16),
                            ReadFrame(0xFF, 24)}));

    const auto info = sim_.Info();
    EXPECT_TRUE(std::equal(info.begin(), info.end(), InfoBlock));
    EXPECT_EQ(InfoBlock[32], 0);
}

TEST_F(MemoryTransfer, ConfigImageReadSendsTenMailsAndFillsEightyBytes) {
    const Bytes config = GiveDeviceDistinctConfig(0x21);
    ASSERT_EQ(ReadConfigImage(0, 80), 0);

    const Bytes sent = sim_.Received();
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 12),
              (Bytes{0xFF, 0xFF, 0x4D, 0x02, 0x06, 0x3C, 0x08, 0x00, 0x08, 0x00, 0x00, 0x4C}));
    std::vector<Bytes> frames;
    for (uint16_t a = 0; a < 80; a += 8) frames.push_back(ReadFrame(0x00, a));
    EXPECT_EQ(sent, Concat(frames));

    EXPECT_EQ(ImageBytes(0, 80), Bytes(config.begin(), config.begin() + 80));
    EXPECT_EQ(ConfigImage[80], 0) << "nothing beyond the count";
}

TEST_F(MemoryTransfer, ConfigImageWriteSendsTenFullMails) {
    for (std::size_t i = 0; i < 72; ++i) ConfigImage[i] = static_cast<uint8_t>(0x90 + i);
    ConfigImage[80] = 0x5A;  // beyond the count: never sent

    ASSERT_EQ(WriteConfigImage(0, 80), 0);

    std::vector<Bytes> frames;
    for (uint16_t a = 0; a < 80; a += 8) frames.push_back(WriteFrame(a, ImageBytes(a, a + 8u)));
    const Bytes sent = sim_.Received();
    EXPECT_EQ(sent, Concat(frames));
    ASSERT_EQ(sent.size(), 200u);
    EXPECT_EQ(Bytes(sent.end() - 20, sent.end()),
              (Bytes{0xFF, 0xFF, 0x4D, 0x02, 0x0E, 0x3B, 0x08, 0x00, 0x08, 0x48, 0x00, 0, 0, 0,
                     0, 0, 0, 0, 0, 0x93}));

    const Bytes config = sim_.Config();
    EXPECT_EQ(Bytes(config.begin(), config.begin() + 80), ImageBytes(0, 80));
}

TEST_F(MemoryTransfer, ReadOfThirteenAsksForEightTwiceAndCopiesThirteen) {
    const Bytes config = GiveDeviceDistinctConfig(0x40);
    std::fill(ConfigImage, ConfigImage + 32, uint8_t{0xEE});

    ASSERT_EQ(ReadConfigImage(0, 13), 0);

    EXPECT_EQ(sim_.Received(), Concat({ReadFrame(0x00, 0), ReadFrame(0x00, 8)}));
    EXPECT_EQ(ImageBytes(0, 13), Bytes(config.begin(), config.begin() + 13));
    EXPECT_EQ(ImageBytes(13, 32), Bytes(19, 0xEE)) << "the second reply's last 3 bytes are dropped";
}

TEST_F(MemoryTransfer, WriteOfThirteenSendsEightThenFiveWithZerosAfterTheData) {
    const Bytes before = GiveDeviceDistinctConfig(0x10);
    // Nonzero everywhere, so stale bytes of the first mail would show in the second.
    for (std::size_t i = 0; i < 32; ++i) ConfigImage[i] = static_cast<uint8_t>(0xA0 + i);

    ASSERT_EQ(WriteConfigImage(0, 13), 0);

    const Bytes sent = sim_.Received();
    ASSERT_EQ(sent.size(), 40u);
    EXPECT_EQ(sent, Concat({WriteFrame(0, ImageBytes(0, 8)), WriteFrame(8, ImageBytes(8, 13))}));
    EXPECT_EQ(sent[20 + 4], 14) << "the short chunk still declares length 14";
    EXPECT_EQ(sent[20 + 8], 5);
    EXPECT_EQ(Bytes(sent.begin() + 20 + 16, sent.begin() + 20 + 19), Bytes(3, 0x00));

    const Bytes after = sim_.Config();
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 13), ImageBytes(0, 13));
    EXPECT_EQ(Bytes(after.begin() + 13, after.end()), Bytes(before.begin() + 13, before.end()));
}

TEST_F(MemoryTransfer, ReadsOfThirtyTwoLandAtTheirAddresses) {
    const Bytes config = GiveDeviceDistinctConfig(0x03);
    std::fill(ConfigImage, ConfigImage + 80, uint8_t{0xEE});

    ASSERT_EQ(ReadConfigImage(0x10, 32), 0);

    EXPECT_EQ(sim_.Received(), Concat({ReadFrame(0x00, 0x10), ReadFrame(0x00, 0x18),
                                       ReadFrame(0x00, 0x20), ReadFrame(0x00, 0x28)}));
    EXPECT_EQ(ImageBytes(0, 16), Bytes(16, 0xEE));
    EXPECT_EQ(ImageBytes(16, 48), Bytes(config.begin() + 16, config.begin() + 48));
    EXPECT_EQ(ImageBytes(48, 80), Bytes(32, 0xEE));
}

TEST_F(MemoryTransfer, ReplyDataGoesWhereTheRequestPointedWhateverTheReplySays) {
    // Every reply carries 01..08, whatever was asked: the bytes land at the requested address.
    sim_.SetResponder([](const Bytes &) {
        return Bytes{0x4D, 0x02, 0x08, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 0x24};
    });
    ASSERT_EQ(ReadConfigImage(0x0010, 8), 0);
    EXPECT_EQ(ImageBytes(16, 24), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(ImageBytes(0, 16), Bytes(16, 0));

    ASSERT_EQ(ReadInfoBlock(0x0008, 3), 0);
    EXPECT_EQ(Bytes(InfoBlock + 8, InfoBlock + 12), (Bytes{1, 2, 3, 0}));
}

TEST_F(MemoryTransfer, FailureOnTheFourthMailKeepsEarlierChunksOnly) {
    const Bytes config = GiveDeviceDistinctConfig(0x61);
    std::fill(ConfigImage, ConfigImage + 80, uint8_t{0xEE});
    FaultTwice({repeatersim::Fault::BadChecksum, 4, 0});

    EXPECT_EQ(ReadConfigImage(0, 80), 2);

    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
    EXPECT_EQ(sim_.MailCount(), 5u) << "one retry and no further mail";
    EXPECT_EQ(ImageBytes(0, 24), Bytes(config.begin(), config.begin() + 24));
    EXPECT_EQ(ImageBytes(24, 80), Bytes(56, 0xEE));
}

TEST_F(MemoryTransfer, WriteFailureOnTheFourthMailLeavesTheDeviceWithThreeChunks) {
    const Bytes before = GiveDeviceDistinctConfig(0x33);
    for (std::size_t i = 0; i < 80; ++i) ConfigImage[i] = static_cast<uint8_t>(~before[i]);
    sim_.SetFault({repeatersim::Fault::NoEcho, 4, 0});

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WriteConfigImage(0, 80), 6);
    const auto waited = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
    EXPECT_EQ(sim_.MailCount(), 4u);
    const Bytes after = sim_.Config();
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 24), ImageBytes(0, 24));
    EXPECT_EQ(Bytes(after.begin() + 24, after.end()), Bytes(before.begin() + 24, before.end()));
    // Three EEPROM pauses, then the echo budget of a write frame: 20 x 2000 idle polls, which
    // last at least a second (the mail layer's default of 200 polls per byte would not).
    EXPECT_GE(waited, std::chrono::milliseconds(3 * 200 + 1000));
}

TEST_F(MemoryTransfer, EveryTransferClosesThePortAndStartsWithAClearError) {
    FaultTwice({repeatersim::Fault::BadChecksum, 1, 0});
    EXPECT_EQ(ReadInfoBlock(0, 32), 2);
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);

    // The error of the failed transfer does not stick to the next one.
    sim_.SetFault({});
    EXPECT_EQ(ReadInfoBlock(0, 32), 0);
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
    EXPECT_EQ(ReadConfigImage(0, 80), 0);
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
    EXPECT_EQ(WriteConfigImage(0, 80), 0);
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
    EXPECT_EQ(*GetSmErrorPtr(), 0);
}

TEST_F(MemoryTransfer, OpenFailureGivesEightAndSendsNothing) {
    std::fill(ConfigImage, ConfigImage + 80, uint8_t{0xEE});
    *GetSmErrorPtr() = 5;  // SmInit would clear it; it must not run without an open port

    for (uint8_t port : {uint8_t{2}, uint8_t{0}, uint8_t{10}}) {
        PortSettings.PortNumber = port;
        EXPECT_EQ(ReadInfoBlock(0, 32), 8) << int(port);
        EXPECT_EQ(ReadConfigImage(0, 80), 8) << int(port);
        EXPECT_EQ(WriteConfigImage(0, 80), 8) << int(port);
    }
    EXPECT_TRUE(sim_.Received().empty());
    EXPECT_EQ(*GetSmErrorPtr(), 5);
    EXPECT_EQ(ImageBytes(0, 80), Bytes(80, 0xEE));
    EXPECT_EQ(TransferErrorText(8), "Open fail");
    *GetSmErrorPtr() = 0;
}

TEST_F(MemoryTransfer, CountZeroTouchesNothing) {
    std::fill(ConfigImage, ConfigImage + 80, uint8_t{0xEE});
    for (unsigned port : {kPort, 0u}) {  // not even a missing port matters
        PortSettings.PortNumber = static_cast<uint8_t>(port);
        EXPECT_EQ(ReadInfoBlock(0, 0), 0);
        EXPECT_EQ(ReadConfigImage(16, 0), 0);
        EXPECT_EQ(WriteConfigImage(0, 0), 0);
    }
    EXPECT_TRUE(sim_.Received().empty());
    EXPECT_EQ(ImageBytes(0, 80), Bytes(80, 0xEE));
}

TEST(MemoryTransferText, GivesTheTextOfEveryCode) {
    const std::pair<int8_t, const char *> cases[] = {
        {1, "No response."},     {2, "Checksum error."},     {3, "Length field error."},
        {4, "Acknowledge error."}, {5, "Acknowledge timeout."}, {6, "No local echo."},
        {7, "Tx buffer overflow."}, {8, "Open fail"},         {0, "0"},
        {9, "9"},                {-56, "-56"},               {127, "127"},
        {-128, "-128"},          {-1, "-1"}};
    for (const auto &[code, text] : cases) EXPECT_EQ(TransferErrorText(code), text) << int(code);
}

}  // namespace
