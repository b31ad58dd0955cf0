// The exported steps of a mail called one by one, as a caller may: together they make a whole
// exchange, and each reports through SmError alone, setting only its own codes and never
// clearing a code that is already there.
#include <cstring>
#include <functional>

#include "link_fixture.h"

using namespace linktest;

namespace {

const Bytes kReadMail{0x3C, 0x08, 0x00, 0x08, 0x00, 0x00};
const Bytes kReply{0x00, 0x00, 0x08, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x2D};
// No step ever sets 7 (transmit buffer overflow): a step that leaves it has not touched SmError.
constexpr int32_t kForeignCode = 7;

// A reply as SmGetRxMail leaves it: from offset 2 on, its last byte copied to offset 25.
void StoreReply(const Bytes &reply) {
    std::memcpy(SmRxMail + 2, reply.data(), reply.size());
    SmRxMail[25] = reply.back();
}

}  // namespace

TEST_F(MailTest, StepsCalledOneByOneMakeAnAcknowledgedExchange) {
    Bytes answer{0x61};
    answer.insert(answer.end(), kReply.begin(), kReply.end());
    peer_.OnMessage([answer](const Bytes &) { return PtyPeer::Answer{answer}; });
    SmInit();  // acknowledge mode on
    SmConfig.FixedRxLength = 1;
    PutMail(2, kReadMail);

    SmSetChecksum();
    EXPECT_EQ(SmError, 0);
    EXPECT_EQ(SmTxMail[25], 0x4C);
    SmSendTxMail();
    EXPECT_EQ(SmError, 0);
    ASSERT_TRUE(peer_.WaitForReceived(12, 1000));
    EXPECT_EQ(peer_.Received(), Frame(0x41, 2, kReadMail));
    SmCheckForEeWriteCmd();
    EXPECT_EQ(SmError, 0);
    SmCheckForAcknowledge();
    EXPECT_EQ(SmError, 0);
    SmGetRxMail();
    EXPECT_EQ(SmError, 0);
    EXPECT_EQ(RxBytes(2, 13), kReply) << "the acknowledge byte was not taken alone";
    SmCheckChecksum();
    EXPECT_EQ(SmError, 0);
}

// Each step once where it succeeds, with a code already stored (it must stay), and once where it
// fails, with none stored (it must set its own code and no other).
TEST_F(MailTest, EachStepSetsOnlyItsOwnCodesAndNeverClearsOne) {
    struct Case {
        const char *name;
        void (*step)();
        Bytes deviceSends;  // waiting on the line before the step (after the frame's echo)
        bool fails;
        int32_t ownCode;
        std::function<void()> prepare;
    };
    Bytes badSum = kReply;
    badSum[12] ^= 0x01;
    Bytes badLength = kReply;
    badLength[2] = 15;
    const Case cases[] = {
        {"checksum of a sound frame", SmSetChecksum, {}, false, 0, [] { SmTxMail[4] = 6; }},
        {"checksum of length 0", SmSetChecksum, {}, true, 3, [] { SmTxMail[4] = 0; }},
        {"checksum of length 15", SmSetChecksum, {}, true, 3, [] { SmTxMail[4] = 15; }},
        {"frame with a code stored: nothing sent", SmSendTxMail, {}, false, 0, [] {}},
        {"frame without an echo", SmSendTxMail, {}, true, 6, [this] { peer_.SetEcho(false); }},
        {"EEPROM pause", SmCheckForEeWriteCmd, {}, false, 0, [] { PutMail(2, {0x3B, 0x01, 0x00}); }},
        {"acknowledge", SmCheckForAcknowledge, {0x61}, false, 0, [] { SmConfig.AckMode = 1; }},
        {"wrong acknowledge", SmCheckForAcknowledge, {0x62}, true, 4, [] { SmConfig.AckMode = 1; }},
        {"reply", SmGetRxMail, kReply, false, 0, [] { SmConfig.FixedRxLength = 1; }},
        {"no reply", SmGetRxMail, {}, true, 1, [] { SmConfig.RxTimeout = 4; }},
        {"sound reply checksum", SmCheckChecksum, {}, false, 0, [] { StoreReply(kReply); }},
        {"bad reply checksum", SmCheckChecksum, {}, true, 2, [&badSum] { StoreReply(badSum); }},
        {"bad reply length", SmCheckChecksum, {}, true, 3, [&badLength] { StoreReply(badLength); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SmInit();
        SmConfig.AckMode = 0;
        peer_.SetEcho(true);
        PutMail(2, kReadMail);
        c.prepare();
        if (!c.deviceSends.empty()) {
            peer_.Send(c.deviceSends);
            ASSERT_TRUE(WaitForHostInput(peer_, static_cast<int>(c.deviceSends.size())));
        }
        SmError = c.fails ? 0 : kForeignCode;
        c.step();
        EXPECT_EQ(SmError, c.fails ? c.ownCode : kForeignCode);
        ReadWaiting(64, 20);  // nothing left over for the next case
    }
}
