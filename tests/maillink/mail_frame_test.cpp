// Sending a mail: the records and SmInit, the frame on the wire, length rules, the sticky error,
// the echo check and the EEPROM pause.
#include <cstring>

#include "link_fixture.h"
#include "mail_budget.h"

using namespace linktest;

namespace {

// Answers an acknowledge-mode frame with the acknowledge byte, so that frame tests need not care.
PtyPeer::Answer AcknowledgeWhenAsked(const Bytes &frame) {
    if (frame.size() >= 3 && frame[0] == 0xFF && frame[2] == 0x41) return {{0x61}};
    return {};
}

}  // namespace

TEST(MailRecords, SmInitSetsTheDefaultsAndLeavesBuffersAlone) {
    std::memset(&SmConfig, 0xA5, sizeof SmConfig);
    SmError = 6;
    std::memset(SmTxMail, 0x11, sizeof SmTxMail);
    std::memset(SmRxMail, 0x22, sizeof SmRxMail);

    SmInit();
    EXPECT_EQ(SmConfig.AckMode, 1);
    EXPECT_EQ(SmConfig.RxMailExpected, 0);
    EXPECT_EQ(SmConfig.SkipEchoCheck, 0);
    EXPECT_EQ(SmConfig.FixedRxLength, 0);
    EXPECT_EQ(SmConfig.EchoTimeoutPerByte, 200);
    EXPECT_EQ(SmConfig.EeWriteDelay, 0xFFFF);
    EXPECT_EQ(SmConfig.RxTimeout, 400);
    EXPECT_EQ(SmError, 0);
    EXPECT_EQ(Bytes(SmTxMail, SmTxMail + SM_MAIL_SIZE), Bytes(SM_MAIL_SIZE, 0x11));
    EXPECT_EQ(Bytes(SmRxMail, SmRxMail + SM_MAIL_SIZE), Bytes(SM_MAIL_SIZE, 0x22));
}

TEST(MailRecords, PointerFunctionsReachTheExportedRecords) {
    EXPECT_EQ(GetSmErrorPtr(), &SmError);
    EXPECT_EQ(GetSmConfigPtr(), &SmConfig);
    EXPECT_EQ(GetSmTxMailPtr(), &SmTxMail[0]);
    EXPECT_EQ(GetSmRxMailPtr(), &SmRxMail[0]);
    // Callers write fields by offset through the pointer.
    SmInit();
    uint8_t *config = reinterpret_cast<uint8_t *>(GetSmConfigPtr());
    config[8] = 0x34;
    config[9] = 0x12;
    EXPECT_EQ(SmConfig.RxTimeout, 0x1234);
}

TEST(MailBudgets, EchoBudgetIsLengthTimesAllowanceAndZeroIsBounded) {
    const struct {
        uint32_t frameLength;
        uint16_t perByte;
        uint32_t expected;
    } cases[] = {
        {12, 2000, 24000}, {12, 200, 2400}, {7, 1, 7}, {20, 65535, 1310700}, {12, 0, 12u * 65536u}, {20, 0, 20u * 65536u},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.frameLength << " x " << c.perByte);
        EXPECT_EQ(maillink::EchoBudget(c.frameLength, c.perByte), c.expected);
    }
}

TEST_F(MailTest, FramesGoOutExactlyAsTheWireFormatSays) {
    struct Case {
        const char *name;
        uint8_t ackMode;
        uint8_t type;
        Bytes payload;
        Bytes wire;
    };
    const Bytes readPayload{0x3C, 0x08, 0x00, 0x08, 0x00, 0x00};
    Bytes longPayload;
    for (unsigned i = 0; i < 14; ++i) longPayload.push_back(static_cast<uint8_t>(0xF0 + i));
    const Case cases[] = {
        {"read mail", 0, 2, readPayload, {0xFF, 0xFF, 0x4D, 0x02, 0x06, 0x3C, 0x08, 0x00, 0x08, 0x00, 0x00, 0x4C}},
        {"read mail, acknowledge mode", 1, 2, readPayload,
         {0xFF, 0xFF, 0x41, 0x02, 0x06, 0x3C, 0x08, 0x00, 0x08, 0x00, 0x00, 0x4C}},
        {"shortest", 0, 7, {0x01, 0x02}, Frame(0x4D, 7, {0x01, 0x02})},
        {"longest, sum wraps", 0, 9, longPayload, Frame(0x4D, 9, longPayload)},
    };
    peer_.OnMessage(AcknowledgeWhenAsked);
    std::size_t sent = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SmInit();
        SmConfig.AckMode = c.ackMode;
        std::memset(SmTxMail, 0xEE, sizeof SmTxMail);  // stale bytes past the frame must not go out
        PutMail(c.type, c.payload);

        EXPECT_EQ(SmSendMail(), 0);
        ASSERT_TRUE(peer_.WaitForReceived(sent + c.wire.size(), 1000));
        const Bytes received = peer_.Received();
        EXPECT_EQ(Bytes(received.begin() + static_cast<long>(sent), received.end()), c.wire);
        sent = received.size();
        EXPECT_EQ(SmTxMail[25], c.wire.back());
        EXPECT_EQ(SmTxMail[5 + c.payload.size()], c.wire.back());
    }
}

TEST_F(MailTest, LengthBelowTwoIsRefusedBySmSendMailWithoutBeingStored) {
    for (uint8_t length : {uint8_t{0}, uint8_t{1}}) {
        for (int32_t stored : {0, 5}) {
            SCOPED_TRACE(testing::Message() << "L=" << int{length} << " stored " << stored);
            SmError = stored;
            PutMail(2, Bytes(length, 0x3C));
            EXPECT_EQ(SmSendMail(), 3);
            EXPECT_EQ(SmError, stored);
        }
    }
    EXPECT_FALSE(peer_.WaitForReceived(1, 50));
}

TEST_F(MailTest, LengthAboveFourteenIsALengthErrorBeforeAnythingIsSent) {
    for (uint8_t length : {uint8_t{15}, uint8_t{16}, uint8_t{255}}) {
        SCOPED_TRACE(int{length});
        SmInit();
        SmConfig.AckMode = 0;
        SmTxMail[3] = 2;
        SmTxMail[4] = length;
        EXPECT_EQ(SmSendMail(), 3);
        EXPECT_EQ(SmError, 3);
    }
    SmInit();
    SmTxMail[4] = 0;
    SmSendTxMail();
    EXPECT_EQ(SmError, 3);
    EXPECT_FALSE(peer_.WaitForReceived(1, 50));
}

TEST_F(MailTest, SmSendTxMailCalledDirectlySendsALengthOneFrame) {
    PutMail(5, {0x3C});
    SmSendTxMail();
    EXPECT_EQ(SmError, 0);
    ASSERT_TRUE(peer_.WaitForReceived(7, 1000));
    EXPECT_EQ(peer_.Received(), (Bytes{0xFF, 0xFF, 0x4D, 0x05, 0x01, 0x3C, 0x3C}));
}

TEST_F(MailTest, AnErrorStaysAndStopsFurtherMailsUntilSmInit) {
    peer_.SetEcho(false);
    SmConfig.EchoTimeoutPerByte = 5;
    PutMail(2, {0x3C, 0x08, 0x00, 0x08, 0x00, 0x00});
    ASSERT_EQ(SmSendMail(), 6);
    ASSERT_TRUE(peer_.WaitForReceived(12, 1000));

    // While the error stays: waiting input is discarded, the header and checksum rewritten,
    // nothing sent, the stored code returned.
    peer_.SetEcho(true);
    peer_.Send({0x99});
    ASSERT_TRUE(WaitForHostInput(peer_, 1));
    SmConfig.AckMode = 1;
    std::memset(SmTxMail, 0, 3);
    SmTxMail[25] = 0;
    EXPECT_EQ(SmSendMail(), 6);
    EXPECT_EQ(SmError, 6);
    EXPECT_EQ(Bytes(SmTxMail, SmTxMail + 3), (Bytes{0xFF, 0xFF, 0x41}));
    EXPECT_EQ(SmTxMail[25], 0x4C);
    uint8_t byte = 0;
    EXPECT_EQ(GetSerialData(&byte, 1), 0) << "waiting input was not discarded";
    EXPECT_FALSE(peer_.WaitForReceived(13, 100)) << "a mail went out although an error was stored";

    // A length byte above 14 replaces the stored code.
    SmTxMail[4] = 15;
    EXPECT_EQ(SmSendMail(), 3);
    EXPECT_EQ(SmError, 3);

    SmInit();
    SmConfig.AckMode = 0;
    PutMail(2, {0x3C, 0x08, 0x00, 0x08, 0x00, 0x00});
    EXPECT_EQ(SmSendMail(), 0);
    EXPECT_TRUE(peer_.WaitForReceived(24, 1000));
}

// A frame that was not written whole fails, also when the echo is not read back.
TEST_F(MailTest, WithoutAnOpenPortAMailFailsWithNoEcho) {
    CloseSerialPort();
    for (uint8_t skipEcho : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE(int{skipEcho});
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.SkipEchoCheck = skipEcho;
        PutMail(2, {0x3B, 0x08, 0x00});
        EXPECT_EQ(SmSendMail(), 6);
        EXPECT_EQ(SmError, 6);
    }
}

TEST_F(MailTest, WithTheEchoCheckSkippedAWriteToADeadLineStillFails) {
    peer_.HangUp();
    SmConfig.SkipEchoCheck = 1;
    PutMail(2, {0x3C, 0x08, 0x00, 0x08, 0x00, 0x00});
    EXPECT_EQ(SmSendMail(), 6);
}

TEST_F(MailTest, WithTheEchoCheckSkippedTheEchoIsLeftUnread) {
    SmConfig.SkipEchoCheck = 1;
    PutMail(2, {0x3C, 0x08, 0x00, 0x08, 0x00, 0x00});
    EXPECT_EQ(SmSendMail(), 0);
    EXPECT_EQ(ReadWaiting(12, 1000), Frame(0x4D, 2, {0x3C, 0x08, 0x00, 0x08, 0x00, 0x00}));
}

// The whole echo is read, even after a byte differed, and not a byte more.
TEST_F(MailTest, EchoMustComeBackByteForByte) {
    peer_.OnMessage([](const Bytes &) { return PtyPeer::Answer{{0x99}}; });
    for (int position : {0, 4, 11}) {
        SCOPED_TRACE(position);
        peer_.CorruptEchoAt(position);
        SmInit();
        SmConfig.AckMode = 0;
        PutMail(2, {0x3C, 0x08, 0x00, 0x08, 0x00, 0x00});
        EXPECT_EQ(SmSendMail(), 6);
        EXPECT_EQ(ReadWaiting(1, 1000), Bytes{0x99});
    }
}

// Silence lasts the whole echo budget and not much more: a short one, and the program's 24,000
// polls for a read frame.
TEST_F(MailTest, EchoBudgetRunsOutInSilence) {
    peer_.SetEcho(false);
    const PollLength poll = EchoPoll();
    for (uint16_t perByte : {uint16_t{40}, uint16_t{2000}}) {
        SCOPED_TRACE(perByte);
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.EchoTimeoutPerByte = perByte;
        PutMail(2, {0x3C, 0x08, 0x00, 0x08, 0x00, 0x00});
        int32_t result = 0;
        const double elapsed = MillisecondsOf([&] { result = SmSendMail(); });
        EXPECT_EQ(result, 6);
        const double polls = 12.0 * perByte;
        EXPECT_TRUE(LastsBetween(elapsed, polls * poll.leastMs, polls * poll.nominalMs));
    }
}

TEST_F(MailTest, EchoThatStopsHalfwayRunsOutTheBudget) {
    peer_.SetEcho(false);
    peer_.OnMessage([](const Bytes &frame) { return PtyPeer::Answer{Bytes(frame.begin(), frame.begin() + 6)}; });
    SmConfig.EchoTimeoutPerByte = 40;
    PutMail(2, {0x3C, 0x08, 0x00, 0x08, 0x00, 0x00});
    int32_t result = 0;
    const double elapsed = MillisecondsOf([&] { result = SmSendMail(); });
    EXPECT_EQ(result, 6);
    // Up to six pauses may be cut short by the six bytes that do come.
    EXPECT_TRUE(LastsBetween(elapsed, (12 * 40 - 6) * EchoPoll().leastMs, 12 * 40 * EchoPoll().nominalMs));
}

// An allowance of 0 is bounded (65,536 polls a byte) but not empty: a late echo still counts.
TEST_F(MailTest, EchoAllowanceZeroStillWaitsForALateEcho) {
    peer_.SetEchoDelayMs(300);
    SmConfig.EchoTimeoutPerByte = 0;
    PutMail(2, {0x3C, 0x08, 0x00, 0x08, 0x00, 0x00});
    EXPECT_EQ(SmSendMail(), 0);
}

TEST_F(MailTest, EepromWriteMailsPauseAsConfigured) {
    struct Case {
        const char *name;
        uint8_t type;
        uint8_t command;
        uint8_t secondByte;
        uint16_t eeWriteDelay;
        double atLeastMs;
        uint16_t delayAfter;
    };
    const Case cases[] = {
        {"25 ms per unit of byte 6", 2, 0x3B, 8, 0xFFFF, 200, 0xFFFF},
        {"25 ms per unit, none", 2, 0x3B, 0, 0xFFFF, 0, 0xFFFF},
        {"fixed pause", 2, 0x3B, 8, 120, 120, 120},
        {"not type 2: no pause, no cut", 3, 0x3B, 8, 9000, 0, 9000},
        {"not command 3B: no pause, no cut", 2, 0x3C, 8, 9000, 0, 9000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.EeWriteDelay = c.eeWriteDelay;
        PutMail(c.type, {c.command, c.secondByte, 0x00, 0x11, 0x22});
        int32_t result = -1;
        const double elapsed = MillisecondsOf([&] { result = SmSendMail(); });
        EXPECT_EQ(result, 0);
        // The pause and a 12- to 17-byte echo.
        EXPECT_TRUE(LastsBetween(elapsed, c.atLeastMs, c.atLeastMs));
        EXPECT_EQ(SmConfig.EeWriteDelay, c.delayAfter);
    }
}

TEST_F(MailTest, EepromPauseAboveFiveSecondsIsCutAndStoredBack) {
    SmConfig.EeWriteDelay = 9000;
    PutMail(2, {0x3B, 0x01, 0x00, 0x11});
    int32_t result = -1;
    const double elapsed = MillisecondsOf([&] { result = SmSendMail(); });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(LastsBetween(elapsed, 5000, 5000));
    EXPECT_EQ(SmConfig.EeWriteDelay, 5000);
}
