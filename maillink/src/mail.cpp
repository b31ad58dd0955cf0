// The mail frame protocol: one SmSendMail is one exchange with the device, built from the
// exported steps below. All state is the exported records; the port is the one of port.cpp.
#include "mail_budget.h"
#include "maillink.h"
#include "platform.h"

namespace {

constexpr uint8_t kPreamble = 0xFF;
constexpr uint8_t kStartAck = 0x41;    // 'A': acknowledge mode
constexpr uint8_t kStartPlain = 0x4D;  // 'M'
constexpr uint8_t kAckByte = 0x61;     // 'a'
constexpr uint8_t kEeWriteType = 2;
constexpr uint8_t kEeWriteCommand = 0x3B;
constexpr uint16_t kEeDelayPerUnit = 0xFFFF;  // EeWriteDelay value: 25 ms x second payload byte
constexpr uint16_t kEeDelayLimit = 5000;
constexpr uint16_t kAckPolls = 2000;
constexpr unsigned kFixedReplyLength = 13;
constexpr unsigned kChecksumOffset = 25;  // both buffers keep their checksum copy here
constexpr unsigned kRxFirstOffset = 2;    // reply byte k is stored at offset 2 + k
constexpr uint8_t kMaxLength = 14;

// One non-blocking read of one byte; false when nothing was waiting.
bool ReadByte(uint8_t &byte) {
    return GetSerialData(&byte, 1) == 1;
}

bool IsEepromWriteMail() { return SmTxMail[3] == kEeWriteType && SmTxMail[5] == kEeWriteCommand; }

// The bytes the device sends right after a frame's echo, which the line carries in the same run
// as the echo: the acknowledge byte and the reply (up to its length byte when the length is not
// fixed). The echo wait counts them too, so that it need not wake again for them. After an
// EEPROM write mail the library pauses first, so its answer is not counted.
uint32_t BytesAfterEcho() {
    if (IsEepromWriteMail()) return 0;
    uint32_t bytes = SmConfig.AckMode != 0 ? 1u : 0u;
    if (SmConfig.RxMailExpected != 0) bytes += SmConfig.FixedRxLength != 0 ? kFixedReplyLength : 3u;
    return bytes;
}

}  // namespace

extern "C" {

SmConfigRecord SmConfig = {};
int32_t SmError = 0;
SmMailBuffer SmTxMail = {};
SmMailBuffer SmRxMail = {};

int32_t *GetSmErrorPtr(void) { return &SmError; }
SmConfigRecord *GetSmConfigPtr(void) { return &SmConfig; }
uint8_t *GetSmTxMailPtr(void) { return SmTxMail; }
uint8_t *GetSmRxMailPtr(void) { return SmRxMail; }

void SmInit(void) {
    SmConfig.AckMode = 1;
    SmConfig.RxMailExpected = 0;
    SmConfig.SkipEchoCheck = 0;
    SmConfig.FixedRxLength = 0;
    SmConfig.EchoTimeoutPerByte = 200;
    SmConfig.EeWriteDelay = kEeDelayPerUnit;
    SmConfig.RxTimeout = 400;
    SmError = SM_OK;
}

void SmSetChecksum(void) {
    const uint8_t length = SmTxMail[4];
    if (length == 0 || length > kMaxLength) {
        SmError = SM_LENGTH_ERROR;
        return;
    }
    uint8_t sum = 0;
    for (unsigned i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + SmTxMail[5 + i]);
    SmTxMail[kChecksumOffset] = sum;
}

void SmSendTxMail(void) {
    // Leftovers of earlier exchanges must not be taken for this frame's echo.
    uint8_t stale = 0;
    while (ReadByte(stale)) {
    }

    SmTxMail[0] = kPreamble;
    SmTxMail[1] = kPreamble;
    SmTxMail[2] = SmConfig.AckMode != 0 ? kStartAck : kStartPlain;
    SmSetChecksum();
    if (SmError != SM_OK) return;  // a length error now, or one kept from an earlier mail

    const uint8_t length = SmTxMail[4];
    const uint32_t frameLength = length + 6u;
    SmTxMail[5 + length] = SmTxMail[kChecksumOffset];

    const uint32_t written = hComPort == maillink::platform::kNoPort
                                 ? 0
                                 : maillink::platform::Write(hComPort, SmTxMail, frameLength);
    // A frame that did not go out whole is a failure even when the echo is not checked.
    if (written != frameLength) {
        SmError = SM_NO_ECHO;
        return;
    }
    if (SmConfig.SkipEchoCheck != 0) return;

    uint32_t budget = maillink::EchoBudget(frameLength, SmConfig.EchoTimeoutPerByte);
    const uint32_t following = BytesAfterEcho();
    uint32_t received = 0;
    bool differs = false;
    while (received < frameLength) {
        uint8_t byte = 0;
        if (ReadByte(byte)) {
            if (byte != SmTxMail[received]) differs = true;
            ++received;
            continue;
        }
        if (!maillink::SpendIdlePolls(hComPort, maillink::platform::IdlePoll::EchoYield, budget,
                                      frameLength - received + following)) {
            SmError = SM_NO_ECHO;
            return;
        }
    }
    if (differs) SmError = SM_NO_ECHO;
}

void SmCheckForEeWriteCmd(void) {
    if (!IsEepromWriteMail()) return;
    if (SmConfig.EeWriteDelay == kEeDelayPerUnit) {
        maillink::platform::Sleep(static_cast<uint16_t>(SmTxMail[6] * 25u));
        return;
    }
    if (SmConfig.EeWriteDelay > kEeDelayLimit) SmConfig.EeWriteDelay = kEeDelayLimit;
    maillink::platform::Sleep(SmConfig.EeWriteDelay);
}

void SmCheckForAcknowledge(void) {
    if (SmConfig.AckMode == 0) return;
    uint32_t budget = kAckPolls;
    uint8_t byte = 0;
    while (!ReadByte(byte)) {
        if (!maillink::SpendIdlePolls(hComPort, maillink::platform::IdlePoll::OneMillisecond, budget, 1)) {
            SmError = SM_ACK_TIMEOUT;
            return;
        }
    }
    if (byte != kAckByte) SmError = SM_ACK_ERROR;
}

void SmGetRxMail(void) {
    uint32_t budget = maillink::PollBudget(SmConfig.RxTimeout);
    const bool fixed = SmConfig.FixedRxLength != 0;
    unsigned count = 0;
    unsigned complete = fixed ? kFixedReplyLength : 0;  // 0 until the length byte is known
    for (;;) {
        uint8_t byte = 0;
        if (!ReadByte(byte)) {
            // Up to the length byte while it is unknown, then to the reply's end.
            const unsigned awaited = complete != 0 ? complete - count : 3 - count;
            if (!maillink::SpendIdlePolls(hComPort, maillink::platform::IdlePoll::FiveMilliseconds, budget,
                                          awaited)) {
                // A length byte of 20 or more can never make a reply that fits the buffer:
                // that is a length error, also when the rest of it never came.
                const bool oversized = !fixed && count >= 3 && SmRxMail[4] >= 20;
                SmError = oversized ? SM_LENGTH_ERROR : SM_NO_RESPONSE;
                return;
            }
            continue;
        }
        // Bytes that would lie beyond the buffer (length byte 20 or more) are read but not kept.
        if (kRxFirstOffset + count < SM_MAIL_SIZE) SmRxMail[kRxFirstOffset + count] = byte;
        ++count;
        if (!fixed && count == 3) complete = byte + 5u;
        if (complete != 0 && count == complete) {
            SmRxMail[kChecksumOffset] = byte;
            return;
        }
    }
}

void SmCheckChecksum(void) {
    const uint8_t length = SmRxMail[4];
    if (length == 0 || length > kMaxLength) {
        SmError = SM_LENGTH_ERROR;
        return;
    }
    uint8_t sum = 0;
    for (unsigned i = 0; i <= length; ++i) sum = static_cast<uint8_t>(sum + SmRxMail[5 + i]);
    if (sum != SmRxMail[kChecksumOffset]) SmError = SM_CHECKSUM_ERROR;
}

int32_t SmSendMail(void) {
    if (SmTxMail[4] < 2) return SM_LENGTH_ERROR;  // not stored: SmError keeps its value
    SmSendTxMail();
    if (SmError != SM_OK) return SmError;
    SmCheckForEeWriteCmd();
    if (SmError != SM_OK) return SmError;
    SmCheckForAcknowledge();
    if (SmError != SM_OK) return SmError;
    if (SmConfig.RxMailExpected == 0) return SM_OK;
    SmGetRxMail();
    if (SmError != SM_OK) return SmError;
    SmCheckChecksum();
    return SmError;
}

}  // extern "C"
