// After the frame: the acknowledge byte, reply mails of every shape, the reply budget, and lines
// that go dead in the middle of an exchange.
#include <cstring>

#include "link_fixture.h"

using namespace linktest;

namespace {

const Bytes kReadMail{0x3C, 0x08, 0x00, 0x08, 0x00, 0x00};
constexpr uint8_t kMarker = 0x99;  // sent after a reply: it must still be waiting afterwards

// Answers every frame with the given bytes.
PtyPeer::Handler Answering(const Bytes &bytes, unsigned delayMs = 0) {
    return [bytes, delayMs](const Bytes &) { return PtyPeer::Answer{bytes, delayMs}; };
}

Bytes Then(Bytes bytes, uint8_t marker) {
    bytes.push_back(marker);
    return bytes;
}

}  // namespace

TEST_F(MailTest, AcknowledgeModeTakesExactlyOneByteAfterTheEcho) {
    const struct {
        const char *name;
        uint8_t answer;
        int32_t expected;
    } cases[] = {{"acknowledge", 0x61, 0}, {"other letter", 0x62, 4}, {"zero", 0x00, 4}, {"upper case", 0x41, 4}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        peer_.OnMessage(Answering({c.answer, kMarker}));
        SmInit();  // acknowledge mode on
        PutMail(2, kReadMail);
        EXPECT_EQ(SmSendMail(), c.expected);
        EXPECT_EQ(ReadWaiting(1, 1000), Bytes{kMarker});
    }
}

TEST_F(MailTest, AcknowledgeTimesOutAfterTwoThousandIdlePolls) {
    SmInit();
    PutMail(2, kReadMail);
    int32_t result = 0;
    const double elapsed = MillisecondsOf([&] { result = SmSendMail(); });
    EXPECT_EQ(result, 5);
    EXPECT_EQ(SmError, 5);
    EXPECT_TRUE(LastsBetween(elapsed, 2000.0, 2000.0));
}

TEST_F(MailTest, WithoutAcknowledgeModeNoByteIsAwaitedOrTaken) {
    peer_.OnMessage(Answering({0x62}));
    PutMail(2, kReadMail);
    EXPECT_EQ(SmSendMail(), 0);
    EXPECT_EQ(ReadWaiting(1, 1000), Bytes{0x62});
}

TEST_F(MailTest, WithoutAnExpectedReplyTheMailEndsAfterTheEcho) {
    const Bytes reply = Reply(8, Counting(9));
    peer_.OnMessage(Answering(reply));
    std::memset(SmRxMail, 0xEE, sizeof SmRxMail);
    PutMail(2, kReadMail);
    EXPECT_EQ(SmSendMail(), 0);
    EXPECT_EQ(ReadWaiting(reply.size(), 1000), reply);
    EXPECT_EQ(RxBytes(0, SM_MAIL_SIZE), Bytes(SM_MAIL_SIZE, 0xEE));
}

TEST_F(MailTest, FixedLengthRepliesAreThirteenBytes) {
    struct Case {
        const char *name;
        Bytes reply;  // 13 bytes
        int32_t expected;
    };
    const Bytes example{0x00, 0x00, 0x08, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x2D};
    Bytes badSum = example;
    badSum[12] = 0x2E;
    // Length byte 3: four data bytes are summed, whatever else the 13 bytes hold; the last byte
    // is the one compared.
    const Bytes shortLength{0x41, 0x02, 0x03, 0x01, 0x02, 0x03, 0x04, 0x55, 0x66, 0x77, 0x88, 0x99, 0x0A};
    Bytes zeroLength = example;
    zeroLength[2] = 0;
    Bytes longLength = example;
    longLength[2] = 15;
    const Case cases[] = {
        {"sound reply", example, 0},        {"bad checksum", badSum, 2},       {"length byte 3", shortLength, 0},
        {"length byte 0", zeroLength, 3},   {"length byte 15", longLength, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        peer_.OnMessage(Answering(Then(c.reply, kMarker)));
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.RxMailExpected = 1;
        SmConfig.FixedRxLength = 1;
        std::memset(SmRxMail, 0xEE, sizeof SmRxMail);
        PutMail(2, kReadMail);

        EXPECT_EQ(SmSendMail(), c.expected);
        EXPECT_EQ(RxBytes(2, 13), c.reply);
        EXPECT_EQ(SmRxMail[25], c.reply.back());
        EXPECT_EQ(RxBytes(0, 2), Bytes(2, 0xEE)) << "offsets 0 and 1 are never written";
        EXPECT_EQ(RxBytes(15, 10), Bytes(10, 0xEE)) << "offsets after the reply keep their bytes";
        EXPECT_EQ(ReadWaiting(1, 1000), Bytes{kMarker}) << "more than 13 bytes were taken";
    }
}

// Variable length: L'+5 bytes. Lengths of 20 and more do not fit the buffer: the reply is read to
// its end without storing past offset 25, and is a length error.
TEST_F(MailTest, VariableLengthRepliesFollowTheirLengthByte) {
    struct Case {
        uint8_t lengthByte;
        int32_t expected;
    };
    const Case cases[] = {{1, 0}, {8, 0}, {14, 0}, {0, 3}, {15, 3}, {19, 3}, {20, 3}, {40, 3}, {255, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(int{c.lengthByte});
        const Bytes reply = Reply(c.lengthByte, Counting(c.lengthByte + 1u, 0x30));
        peer_.OnMessage(Answering(Then(reply, kMarker)));
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.RxMailExpected = 1;
        std::memset(SmRxMail, 0xEE, sizeof SmRxMail);
        PutMail(2, kReadMail);

        EXPECT_EQ(SmSendMail(), c.expected);
        // Offsets 2 to 24 hold the reply's first bytes; offset 25 the copy of its last byte.
        const std::size_t stored = std::min<std::size_t>(reply.size(), SM_MAIL_SIZE - 3);
        EXPECT_EQ(RxBytes(2, static_cast<unsigned>(stored)), Bytes(reply.begin(), reply.begin() + static_cast<long>(stored)));
        EXPECT_EQ(SmRxMail[25], reply.back());
        if (reply.size() < SM_MAIL_SIZE - 3) {
            EXPECT_EQ(RxBytes(static_cast<unsigned>(2 + reply.size()), static_cast<unsigned>(23 - reply.size())),
                      Bytes(23 - reply.size(), 0xEE));
        }
        EXPECT_EQ(ReadWaiting(1, 1000), Bytes{kMarker}) << "the reply was not read to its end exactly";
    }
}

TEST_F(MailTest, ReplyBudgetRunsOutInSilenceAndKeepsWhatCame) {
    const struct {
        const char *name;
        Bytes partial;
        uint16_t rxTimeout;
        int32_t expected;
    } cases[] = {
        {"nothing", {}, 1, 1},
        {"nothing, ten polls", {}, 10, 1},
        {"four bytes", {0x00, 0x00, 0x08, 0x01}, 10, 1},
        {"too long for the buffer, cut short", Bytes{0x00, 0x00, 20, 1, 2, 3, 4, 5}, 10, 3},
        {"long but fitting, cut short", Bytes{0x00, 0x00, 16, 1, 2, 3, 4, 5}, 10, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        peer_.OnMessage(Answering(c.partial));
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.RxMailExpected = 1;
        SmConfig.RxTimeout = c.rxTimeout;
        std::memset(SmRxMail, 0xEE, sizeof SmRxMail);
        PutMail(2, kReadMail);

        int32_t result = 0;
        const double elapsed = MillisecondsOf([&] { result = SmSendMail(); });
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(SmError, c.expected);
        // Each idle poll pauses 5 ms unless input arrives meanwhile: a pause that bytes cut
        // short still counts, so only whole silence must last the whole budget.
        const double silentPolls = c.rxTimeout - static_cast<double>(std::min<std::size_t>(c.partial.size(), c.rxTimeout));
        EXPECT_TRUE(LastsBetween(elapsed, 5.0 * silentPolls, 5.0 * c.rxTimeout));
        EXPECT_EQ(RxBytes(2, static_cast<unsigned>(c.partial.size())), c.partial);
        EXPECT_EQ(SmRxMail[2 + c.partial.size()], 0xEE);
    }
}

// RxTimeout 0 is 65,536 polls (the 16-bit budget wraps), not an empty budget.
TEST_F(MailTest, ReplyBudgetZeroWaitsLong) {
    const Bytes reply = Reply(8, Counting(9));
    peer_.OnMessage(Answering(reply, 300));
    SmConfig.RxMailExpected = 1;
    SmConfig.RxTimeout = 0;
    PutMail(2, kReadMail);
    EXPECT_EQ(SmSendMail(), 0);
    EXPECT_EQ(RxBytes(2, 13), reply);
}

// Bytes that arrive do not renew the budget: a reply trickling in slower than the budget allows
// fails although no single gap is long.
TEST_F(MailTest, ArrivingBytesDoNotRenewTheReplyBudget) {
    const Bytes reply = Reply(8, Counting(9));
    peer_.OnMessage([this, reply](const Bytes &) {
        for (uint8_t byte : reply) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            peer_.Send({byte});
        }
        return PtyPeer::Answer{};
    });
    SmConfig.RxMailExpected = 1;
    SmConfig.RxTimeout = 20;  // 100 ms of idle polls; the reply takes 650 ms
    PutMail(2, kReadMail);
    EXPECT_EQ(SmSendMail(), 1);
}

TEST_F(MailTest, InputWaitingBeforeTheMailIsDiscarded) {
    const Bytes reply = Reply(8, Counting(9));
    peer_.OnMessage(Answering(reply));
    peer_.Send({0xFF, 0xFF, 0x4D, 0x12});
    ASSERT_TRUE(WaitForHostInput(peer_, 4));
    SmConfig.RxMailExpected = 1;
    SmConfig.FixedRxLength = 1;
    PutMail(2, kReadMail);
    EXPECT_EQ(SmSendMail(), 0);
    EXPECT_EQ(RxBytes(2, 13), reply);
}

// A line that goes dead in the middle of an exchange (an unplugged adapter) is not waited for:
// the wait ends at once with its code, not after its budget, and the port can still be closed.
// Where the platform cannot see the hang-up, the line reads as silent and the budget ends it.
TEST_F(MailTest, LineThatHangsUpMidExchangeIsNotWaitedFor) {
    struct Case {
        const char *name;
        bool echo;
        uint8_t rxExpected;
        unsigned hangUpAfterMs;  // after the echo (if any)
        int32_t expected;
        bool inEcho;  // the hang-up lands in the echo wait, else in the reply wait
    };
    const Case cases[] = {
        {"before the echo", false, 0, 0, 6, true},
        {"before the reply", true, 1, 100, 1, false},
    };
    // Budgets that a wait on a line seen gone is far from (a second, ten seconds), or short ones
    // for a line that reads as silent.
    const uint16_t echoPerByte = kHungUpLineIsSeen ? 2000 : 40, rxTimeout = kHungUpLineIsSeen ? 2000 : 60;
    const PollLength echoPoll = EchoPoll();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PtyPeer line;
        line.Publish(ports_.Path(), 4);
        line.SetEcho(c.echo);
        line.OnMessage([&c](const Bytes &) {
            PtyPeer::Answer answer;
            answer.delayMs = c.hangUpAfterMs;
            answer.hangUp = true;
            return answer;
        });
        CloseSerialPort();
        ASSERT_EQ(OpenSerialPort(4, 9600), 1);
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.EchoTimeoutPerByte = echoPerByte;
        SmConfig.RxMailExpected = c.rxExpected;
        SmConfig.RxTimeout = rxTimeout;
        PutMail(2, kReadMail);

        int32_t result = 0;
        const double elapsed = MillisecondsOf([&] { result = SmSendMail(); });
        EXPECT_EQ(result, c.expected);
        const double budgetMs = c.inEcho ? 12.0 * echoPerByte * echoPoll.leastMs : 5.0 * rxTimeout;
        if (kHungUpLineIsSeen) {
            EXPECT_LT(elapsed, c.hangUpAfterMs + budgetMs) << "the wait slept out its budget on a line that is gone";
        } else {
            EXPECT_TRUE(LastsBetween(elapsed, budgetMs, c.inEcho ? 12.0 * echoPerByte * echoPoll.nominalMs : budgetMs));
        }
        uint8_t buffer[4];
        EXPECT_EQ(GetSerialData(buffer, sizeof buffer), 0);
        CloseSerialPort();
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
        if (kHungUpLineStaysGone) {
            EXPECT_EQ(OpenSerialPort(4, 9600), 0) << "a dead line cannot be opened again";
        }
    }
}
