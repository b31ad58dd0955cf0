// The mail exchange of Maillink (port.cpp and mail.cpp as they are built into the library) over a
// scripted line that hands out arbitrary bytes, under every SmConfig the input chooses. Each mail
// is checked against an independent account of the exchange: what was written, which bytes the
// echo, acknowledge and reply steps consumed, the result code, the sticky SmError, the exact
// idle-poll budgets, the EEPROM pause, and that nothing outside the reply's bytes changed.
// AddressSanitizer reports any access beyond SmTxMail and SmRxMail.
//
// Input: a header (flags, port, write limit, SmConfig fields, mail count), then 16 bytes per mail
// (type, length, 14 payload bytes), then the line's script (fake_line.h).
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fake_line.h"
#include "fuzz_check.h"
#include "maillink.h"

namespace {

constexpr uint8_t kReplyFixedLength = 13;

class Input {
public:
    Input(const uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    const uint8_t *Rest() const { return data_ + std::min(pos_, size_); }
    std::size_t RestSize() const { return pos_ < size_ ? size_ - pos_ : 0; }

private:
    const uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

using Mail = std::array<uint8_t, SM_MAIL_SIZE>;

Mail Copy(const uint8_t *buffer) {
    Mail m;
    std::memcpy(m.data(), buffer, m.size());
    return m;
}

uint8_t Sum(const uint8_t *bytes, std::size_t n) {
    uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

// The idle polls a 16-bit budget allows: 0 wraps to 65,536.
uint32_t Budget16(uint16_t value) { return value == 0 ? 65536u : value; }

struct Before {
    int32_t error;
    Mail tx, rx;
    SmConfigRecord config;
    std::size_t writes, delivered;
    fakeline::Counters count;
};

// Everything one SmSendMail must have done, given the state before it and what the line did.
// With sendOnly, the mail was SmSendTxMail called on its own (result is then SmError): only the
// frame and its echo.
void CheckMail(const Before &b, int32_t result, bool portOpen, bool sendOnly) {
    const fakeline::Counters &now = fakeline::Count();
    const auto &writes = fakeline::WriteCalls();
    const auto &delivered = fakeline::Delivered();
    const uint8_t length = b.tx[4];
    const SmConfigRecord &cfg = b.config;

    CHECK(result >= 0 && result <= 6);
    CHECK(now.otherPauses == b.count.otherPauses);
    CHECK(SmConfig.AckMode == cfg.AckMode && SmConfig.RxMailExpected == cfg.RxMailExpected &&
          SmConfig.SkipEchoCheck == cfg.SkipEchoCheck && SmConfig.FixedRxLength == cfg.FixedRxLength &&
          SmConfig.EchoTimeoutPerByte == cfg.EchoTimeoutPerByte && SmConfig.RxTimeout == cfg.RxTimeout);

    if (length < 2 && !sendOnly) {  // refused before anything happens; SmError keeps its value
        CHECK(result == SM_LENGTH_ERROR);
        CHECK(SmError == b.error);
        CHECK(writes.size() == b.writes && delivered.size() == b.delivered);
        CHECK(Copy(SmTxMail) == b.tx && Copy(SmRxMail) == b.rx);
        return;
    }
    CHECK(SmError == result);
    CHECK(SmTxMail[0] == 0xFF && SmTxMail[1] == 0xFF);
    CHECK(SmTxMail[2] == (cfg.AckMode != 0 ? 0x41 : 0x4D));
    for (std::size_t i = 3; i < 25; ++i) {  // the caller's bytes stay, the checksum copy aside
        if (length >= 1 && length <= 14 && i == 5u + length && b.error == 0) continue;
        CHECK(SmTxMail[i] == b.tx[i]);
    }

    const bool badLength = length == 0 || length > 14;
    const bool sent = b.error == 0 && !badLength;
    if (!sent) {  // a kept error, or a length error found now: nothing is written
        CHECK(writes.size() == b.writes);
        CHECK(result == (badLength ? SM_LENGTH_ERROR : b.error));
        CHECK(badLength || SmTxMail[25] == Sum(&SmTxMail[5], length));
        CHECK(Copy(SmRxMail) == b.rx);
        CHECK(now.sleeps.size() == b.count.sleeps.size());
        return;
    }

    // The frame: preamble, start byte, type, length, payload, checksum; written once and whole.
    const uint32_t frameLength = length + 6u;
    const uint8_t checksum = Sum(&b.tx[5], length);
    CHECK(SmTxMail[5 + length] == checksum && SmTxMail[25] == checksum);

    const uint64_t echoPolls = now.echoYields - b.count.echoYields;
    const uint64_t ackPolls = now.pauses1ms - b.count.pauses1ms;
    const uint64_t replyPolls = now.pauses5ms - b.count.pauses5ms;
    const std::size_t newSleeps = now.sleeps.size() - b.count.sleeps.size();
    // A mail that ended before the acknowledge step: no pause, no later wait, no reply stored.
    const auto endedEarly = [&] {
        CHECK(newSleeps == 0 && ackPolls == 0 && replyPolls == 0);
        CHECK(Copy(SmRxMail) == b.rx);
    };

    if (!portOpen) {  // nothing is written and nothing read
        CHECK(writes.size() == b.writes && delivered.size() == b.delivered);
        CHECK(result == SM_NO_ECHO && echoPolls == 0);
        endedEarly();
        return;
    }
    CHECK(writes.size() == b.writes + 1);
    const fakeline::WriteCall &call = writes.back();
    CHECK(std::equal(call.bytes.begin(), call.bytes.end(), SmTxMail));
    if (call.bytes.size() != frameLength) {  // a frame not handed over whole fails, echo or not
        CHECK(result == SM_NO_ECHO && echoPolls == 0);
        CHECK(delivered.size() == call.deliveredBefore);
        endedEarly();
        return;
    }

    // What the host read after the write: the echo, the acknowledge, the reply, in this order.
    const std::vector<uint8_t> post(delivered.begin() + static_cast<long>(call.deliveredBefore),
                                    delivered.end());
    std::size_t at = 0;
    if (cfg.SkipEchoCheck == 0) {
        const uint64_t budget = uint64_t{frameLength} * Budget16(cfg.EchoTimeoutPerByte);
        if (post.size() < frameLength) {  // the whole budget, to the poll
            CHECK(result == SM_NO_ECHO && echoPolls == budget);
            endedEarly();
            return;
        }
        CHECK(echoPolls < budget);
        at = frameLength;
        if (!std::equal(post.begin(), post.begin() + frameLength, SmTxMail)) {
            CHECK(result == SM_NO_ECHO && post.size() == frameLength);
            endedEarly();
            return;
        }
    } else {
        CHECK(echoPolls == 0);
    }

    if (sendOnly) {  // the frame went out and came back: nothing more happens
        CHECK(result == SM_OK && post.size() == at);
        CHECK(newSleeps == 0 && ackPolls == 0 && replyPolls == 0 && Copy(SmRxMail) == b.rx);
        return;
    }

    // The EEPROM pause, only after a mail of type 2 with the write command 0x3B.
    if (b.tx[3] == 2 && b.tx[5] == 0x3B) {
        CHECK(newSleeps == 1);
        if (cfg.EeWriteDelay == 0xFFFF) {
            CHECK(now.sleeps.back() == b.tx[6] * 25);
            CHECK(SmConfig.EeWriteDelay == 0xFFFF);
        } else {
            const uint16_t cut = std::min<uint16_t>(cfg.EeWriteDelay, 5000);
            CHECK(now.sleeps.back() == cut && SmConfig.EeWriteDelay == cut);
        }
    } else {
        CHECK(newSleeps == 0 && SmConfig.EeWriteDelay == cfg.EeWriteDelay);
    }

    if (cfg.AckMode != 0) {  // exactly one byte, within 2000 idle polls of 1 ms
        if (post.size() == at) {
            CHECK(result == SM_ACK_TIMEOUT && ackPolls == 2000);
            CHECK(replyPolls == 0 && Copy(SmRxMail) == b.rx);
            return;
        }
        CHECK(ackPolls < 2000);
        if (post[at++] != 0x61) {
            CHECK(result == SM_ACK_ERROR && post.size() == at);
            CHECK(replyPolls == 0 && Copy(SmRxMail) == b.rx);
            return;
        }
    } else {
        CHECK(ackPolls == 0);
    }

    if (cfg.RxMailExpected == 0) {  // done: nothing more is read
        CHECK(result == SM_OK && post.size() == at);
        CHECK(replyPolls == 0 && Copy(SmRxMail) == b.rx);
        return;
    }

    // The reply: stored from offset 2 on as far as the buffer goes, its last byte also at 25.
    const std::vector<uint8_t> reply(post.begin() + static_cast<long>(at), post.end());
    const bool fixed = cfg.FixedRxLength != 0;
    const std::size_t need = fixed ? kReplyFixedLength
                                   : (reply.size() >= 3 ? reply[2] + 5u : std::size_t{1000});
    CHECK(reply.size() <= need);
    CHECK(SmRxMail[0] == b.rx[0] && SmRxMail[1] == b.rx[1]);
    for (std::size_t offset = 2; offset < 25; ++offset) {
        const std::size_t i = offset - 2;
        CHECK(SmRxMail[offset] == (i < reply.size() ? reply[i] : b.rx[offset]));
    }
    const uint32_t budget = Budget16(cfg.RxTimeout);
    if (reply.size() < need) {  // the budget ran out, to the poll
        CHECK(replyPolls == budget);
        CHECK(SmRxMail[25] == (reply.size() > 23 ? reply[23] : b.rx[25]));
        const bool oversized = !fixed && reply.size() >= 3 && reply[2] >= 20;
        CHECK(result == (oversized ? SM_LENGTH_ERROR : SM_NO_RESPONSE));
        return;
    }
    CHECK(replyPolls < budget);
    CHECK(SmRxMail[25] == reply.back());

    // The length byte and the checksum over L' + 1 data bytes, the same rule in both modes.
    const uint8_t replyLength = SmRxMail[4];
    if (replyLength == 0 || replyLength > 14) {
        CHECK(result == SM_LENGTH_ERROR);
        return;
    }
    const bool sumOk = Sum(&SmRxMail[5], replyLength + 1u) == SmRxMail[25];
    CHECK(result == (sumOk ? SM_OK : SM_CHECKSUM_ERROR));
}

void ResetLibraryState() {
    CloseSerialPort();
    std::memset(&SmConfig, 0, sizeof SmConfig);
    SmError = 0;
    std::memset(SmTxMail, 0, sizeof SmTxMail);
    std::memset(SmRxMail, 0, sizeof SmRxMail);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    Input in(data, size);
    const uint8_t flags = in.Byte();
    const uint8_t port = in.Byte() % 12;  // 0, 10 and 11 are no port numbers
    const uint8_t writeLimitByte = in.Byte();
    const bool openSucceeds = (flags & 0x01) == 0;
    const bool callOpen = (flags & 0x02) == 0;
    const bool init = (flags & 0x04) != 0;
    const bool initBetweenMails = (flags & 0x08) != 0;
    const bool zeroBudgets = (flags & 0x10) != 0;  // 0 counts as 65,536 polls: slow, so rarer
    const unsigned mails = 1u + ((flags >> 5) & 3u);
    const uint32_t writeLimit = (flags & 0x80) != 0 ? writeLimitByte % 21u : 0xFFFFFFFFu;

    // Any non-zero value switches a mode on; the odd values test exactly that.
    SmConfigRecord cfg{};
    const uint8_t modes = in.Byte();
    cfg.AckMode = (modes & 0x01) ? modes : 0;
    cfg.RxMailExpected = (modes & 0x02) ? modes : 0;
    cfg.SkipEchoCheck = (modes & 0x04) ? modes : 0;
    cfg.FixedRxLength = (modes & 0x08) ? modes : 0;
    const bool sendOnly = (modes & 0x10) != 0;  // SmSendTxMail on its own, as it is exported too
    cfg.EchoTimeoutPerByte = in.Byte() % 16;
    if (cfg.EchoTimeoutPerByte == 0 && !zeroBudgets) cfg.EchoTimeoutPerByte = 1;
    cfg.RxTimeout = in.Byte() % 64;
    if (cfg.RxTimeout == 0 && !zeroBudgets) cfg.RxTimeout = 1;
    cfg.EeWriteDelay = in.Word();

    std::vector<std::array<uint8_t, 16>> mailBytes(mails);
    for (auto &m : mailBytes)
        for (uint8_t &byte : m) byte = in.Byte();

    ResetLibraryState();
    fakeline::Reset(in.Rest(), in.RestSize(), openSucceeds, writeLimit);

    if (callOpen) {
        const uint32_t baud = 9600;
        const bool valid = port >= 1 && port <= 9;
        CHECK(OpenSerialPort(port, baud) == (valid && openSucceeds ? 1 : 0));
        CHECK(fakeline::Count().opens == (valid ? 1u : 0u));
        if (valid) {
            const char expected[] = {'C', 'O', 'M', static_cast<char>('0' + port), ':', '9', '6',
                                     '0', '0', ',', 'n', ',', '8', ',', '1', '\0'};
            CHECK(fakeline::Count().lastModeText == expected);
            CHECK(fakeline::Count().lastBaudRate == baud);
        }
        CHECK((hComPort != MAILLINK_NO_PORT) == (valid && openSucceeds));
        if (hComPort != MAILLINK_NO_PORT) {  // an open port stays as it is
            CHECK(OpenSerialPort(static_cast<uint8_t>(port % 9 + 1), 1200) == 1);
            CHECK(fakeline::Count().opens == 1);
        }
    }
    if (init) {
        SmError = 5;
        SmInit();
        CHECK(SmError == 0 && SmConfig.AckMode == 1 && SmConfig.RxMailExpected == 0 &&
              SmConfig.SkipEchoCheck == 0 && SmConfig.FixedRxLength == 0 &&
              SmConfig.EchoTimeoutPerByte == 200 && SmConfig.EeWriteDelay == 0xFFFF &&
              SmConfig.RxTimeout == 400);
    }
    SmConfig = cfg;

    for (unsigned k = 0; k < mails; ++k) {
        if (k > 0 && initBetweenMails) {
            SmInit();
            SmConfig = cfg;
        }
        std::memcpy(&SmTxMail[3], mailBytes[k].data(), mailBytes[k].size());
        const Before before{SmError, Copy(SmTxMail), Copy(SmRxMail), SmConfig,
                            fakeline::WriteCalls().size(), fakeline::Delivered().size(),
                            fakeline::Count()};
        int32_t result = 0;
        if (sendOnly) {
            SmSendTxMail();
            result = SmError;
        } else {
            result = SmSendMail();
        }
        CheckMail(before, result, hComPort != MAILLINK_NO_PORT, sendOnly);
    }

    const bool wasOpen = hComPort != MAILLINK_NO_PORT;
    CloseSerialPort();
    CHECK(hComPort == MAILLINK_NO_PORT);
    CHECK(fakeline::Count().closes == (wasOpen ? 1u : 0u));
    return 0;
}
