#include "memory_transfer.h"

#include <cstddef>
#include <thread>
#include <utility>

#include "maillink.h"
#include "memory_buffers.h"
#include "port_settings.h"

// The program-wide records the transfers fill and read (memory_buffers.h, port_settings.h).
uint8_t InfoBlock[kMemoryBufferSize];
uint8_t ConfigImage[kMemoryBufferSize];
PortSettingsRecord PortSettings;

namespace {

constexpr uint8_t kMailType = 0x02;
constexpr uint8_t kReadCommand = 0x3C;
constexpr uint8_t kWriteCommand = 0x3B;  // the mail layer's EEPROM write command
constexpr uint8_t kSecondPayloadByte = 0x08;
constexpr uint8_t kInfoSelector = 0xFF;
constexpr uint8_t kConfigSelector = 0x00;
constexpr uint8_t kReadPayloadLength = 6;
constexpr uint8_t kWritePayloadLength = 14;
constexpr uint8_t kChunkSize = 8;
constexpr uint16_t kEchoPollsPerByte = 2000;
constexpr uint16_t kReplyPolls = 2000;
constexpr int8_t kChecksumError = 2, kLengthError = 3, kAcknowledgeError = 4, kNoLocalEcho = 6;

using std::chrono::milliseconds;
using SteadyTime = std::chrono::steady_clock::time_point;

// The pause the mail layer makes after a write mail (25 ms per unit of the second payload byte):
// a device that took a write whose echo came back damaged is writing its EEPROM for about this
// long and deaf to mails meanwhile, so a retried write waits it out first.
constexpr milliseconds kEepromPause{25 * kSecondPayloadByte};
// Before a read mail is retried: a reply still on its way (13 bytes take 13.5 ms at 9600 baud,
// and a USB adapter may hold them 16 ms more) has arrived by then, and the retry's first step,
// which discards waiting input, removes it instead of taking it for the retry's echo. After a
// length error the device may be sending as many bytes as the bad length byte announced: up to
// 260, which take 271 ms.
constexpr milliseconds kReplyDrainPause{50};
constexpr milliseconds kLongReplyDrainPause{300};
// How soon a failed echo check must end to count as a damaged echo rather than a silent line.
// The library keeps no echo byte and stops reading the echo only when all of the frame's bytes
// are back (a byte that differs does not end it early) or when its idle-poll budget is spent;
// the buffers look the same either way. So time is the one thing that tells them apart: a whole
// echo is back about one frame time after the write (21 ms for the 20-byte write frame at 9600
// baud, plus any USB latency), while silence, or an echo that stops part-way, ends only with the
// budget (about a second or more on every backend with a pausing echo wait). Guessing wrong costs
// little either way: a damaged echo that came late is reported as before, and a silent line whose
// budget ran out within the window is waited out once more for less than the window. A line that
// has gone (an unplugged adapter) ends a mail at once and so gets its retry too, which fails at
// once: it costs the retry's pause, never a second budget.
constexpr milliseconds kDamagedEchoWindow{250};

// Transmit-buffer offsets (after the preamble and start byte that the mail layer writes).
constexpr std::size_t kTxType = 3, kTxLength = 4, kTxCommand = 5, kTxSecond = 6, kTxSelector = 7,
                      kTxCount = 8, kTxAddressLow = 9, kTxAddressHigh = 10, kTxData = 11;
// A read reply's eight memory bytes: the second to ninth data bytes of the 13-byte reply.
constexpr std::size_t kRxData = 6;

enum class Direction { Read, Write };

struct TransferKind {
    uint8_t *buffer;
    uint8_t selector;
    uint8_t command;
    Direction direction;
    TransferArea area;
};

TransferProgressHook &ProgressHook() {
    static TransferProgressHook hook;
    return hook;
}

TransferClock &InstalledClock() {
    static TransferClock clock;
    return clock;
}

SteadyTime Now() {
    const TransferClock &clock = InstalledClock();
    return clock.now ? clock.now() : std::chrono::steady_clock::now();
}

void Pause(milliseconds time) {
    const TransferClock &clock = InstalledClock();
    if (clock.pause) clock.pause(time);
    else std::this_thread::sleep_for(time);
}

// Tells the installed hook, if any, how far a transfer has come.
class ProgressReport {
public:
    ProgressReport(TransferArea area, uint8_t count)
        : progress_{area, 0, 0, (count + kChunkSize - 1u) / kChunkSize, false, 0} {
        Tell();
    }
    void MailDone() {
        ++progress_.mailsDone;
        Tell();
    }
    void MailRetried() { ++progress_.mailsRetried; }
    int8_t Finish(int8_t result) {
        progress_.finished = true;
        progress_.result = result;
        Tell();
        return result;
    }

private:
    void Tell() const {
        if (ProgressHook()) ProgressHook()(progress_);
    }
    TransferProgress progress_;
};

// The caller keeps address + count inside the buffer; a chunk that would still reach beyond it
// (an address near 0xFFFF) neither reads nor writes outside the buffer.
bool InBuffer(std::size_t address) { return address < kMemoryBufferSize; }

void FillMailHeader(uint8_t *tx, const TransferKind &kind, uint16_t address, uint8_t chunkCount) {
    const bool write = kind.direction == Direction::Write;
    tx[kTxType] = kMailType;
    tx[kTxLength] = write ? kWritePayloadLength : kReadPayloadLength;
    tx[kTxCommand] = kind.command;
    tx[kTxSecond] = kSecondPayloadByte;
    tx[kTxSelector] = kind.selector;
    tx[kTxCount] = write ? chunkCount : kChunkSize;  // a read always asks for eight
    tx[kTxAddressLow] = static_cast<uint8_t>(address & 0xFF);
    tx[kTxAddressHigh] = static_cast<uint8_t>(address >> 8);
}

// A write mail always declares eight data positions; those after the chunk's data go out as
// zeros rather than whatever an earlier mail left in the buffer.
void FillWriteData(uint8_t *tx, const uint8_t *buffer, uint16_t address, uint8_t chunkCount) {
    for (std::size_t i = 0; i < kChunkSize; ++i) {
        const std::size_t at = std::size_t{address} + i;
        tx[kTxData + i] = (i < chunkCount && InBuffer(at)) ? buffer[at] : 0;
    }
}

void CopyReply(const uint8_t *rx, uint8_t *buffer, uint16_t address, uint8_t chunkCount) {
    for (std::size_t i = 0; i < chunkCount; ++i) {
        const std::size_t at = std::size_t{address} + i;
        if (InBuffer(at)) buffer[at] = rx[kRxData + i];
    }
}

void ApplyTransferSettings(SmConfigRecord &config, bool read) {
    config.RxMailExpected = read ? 1 : 0;
    config.FixedRxLength = 1;
    config.AckMode = 0;
    config.EchoTimeoutPerByte = kEchoPollsPerByte;
    config.RxTimeout = kReplyPolls;
}

struct MailOutcome {
    int8_t code = 0;
    std::chrono::steady_clock::duration took{};
};

MailOutcome SendChunk(uint8_t *tx, const TransferKind &kind, uint16_t address, uint8_t chunkCount) {
    FillMailHeader(tx, kind, address, chunkCount);
    if (kind.direction == Direction::Write) FillWriteData(tx, kind.buffer, address, chunkCount);
    const SteadyTime start = Now();
    const auto code = static_cast<int8_t>(static_cast<uint8_t>(SmSendMail() & 0xFF));
    return {code, Now() - start};
}

// A byte damaged on the line: the same mail is likely to pass a second time. Silence is not
// retried, so that a dead line is not waited out twice.
bool DamagedOnTheLine(const MailOutcome &mail) {
    switch (mail.code) {
    case kChecksumError:
    case kLengthError:
    case kAcknowledgeError: return true;
    case kNoLocalEcho: return mail.took < kDamagedEchoWindow;
    default: return false;
    }
}

int8_t Transfer(const TransferKind &kind, uint16_t address, uint8_t count) {
    if (count == 0) return 0;
    ProgressReport report(kind.area, count);
    if (!OpenSerialPort(PortSettings.PortNumber, static_cast<uint32_t>(PortSettings.BaudRate))) {
        return report.Finish(kOpenFailedCode);
    }
    SmInit();
    uint8_t *tx = GetSmTxMailPtr();
    SmConfigRecord *config = GetSmConfigPtr();
    const bool read = kind.direction == Direction::Read;
    const uint8_t *rx = read ? GetSmRxMailPtr() : nullptr;

    ApplyTransferSettings(*config, read);

    while (count != 0) {
        const uint8_t chunkCount = count < kChunkSize ? count : kChunkSize;
        MailOutcome mail = SendChunk(tx, kind, address, chunkCount);
        if (mail.code != 0 && DamagedOnTheLine(mail)) {
            // The failed mail left its code in SmError, which blocks every further mail.
            Pause(!read ? kEepromPause
                        : mail.code == kLengthError ? kLongReplyDrainPause : kReplyDrainPause);
            SmInit();
            ApplyTransferSettings(*config, read);
            report.MailRetried();
            mail = SendChunk(tx, kind, address, chunkCount);
        }
        if (mail.code != 0) {
            CloseSerialPort();
            return report.Finish(mail.code);
        }
        if (read) CopyReply(rx, kind.buffer, address, chunkCount);
        report.MailDone();

        count = static_cast<uint8_t>(count - chunkCount);
        address = static_cast<uint16_t>(address + kChunkSize);
    }
    CloseSerialPort();
    return report.Finish(0);
}

}  // namespace

int8_t ReadInfoBlock(uint16_t address, uint8_t count) {
    return Transfer({InfoBlock, kInfoSelector, kReadCommand, Direction::Read,
                     TransferArea::InfoBlockRead},
                    address, count);
}

int8_t ReadConfigImage(uint16_t address, uint8_t count) {
    return Transfer({ConfigImage, kConfigSelector, kReadCommand, Direction::Read,
                     TransferArea::ConfigImageRead},
                    address, count);
}

int8_t ReadConfigImageInto(uint8_t *buffer, uint16_t address, uint8_t count) {
    return Transfer({buffer, kConfigSelector, kReadCommand, Direction::Read,
                     TransferArea::ConfigImageRead},
                    address, count);
}

int8_t WriteConfigImage(uint16_t address, uint8_t count) {
    return Transfer({ConfigImage, kConfigSelector, kWriteCommand, Direction::Write,
                     TransferArea::ConfigImageWrite},
                    address, count);
}

void SetTransferProgressHook(TransferProgressHook hook) { ProgressHook() = std::move(hook); }

void SetTransferClock(TransferClock clock) { InstalledClock() = std::move(clock); }

std::string TransferErrorText(int8_t code) {
    switch (code) {
    case 1: return "No response.";
    case 2: return "Checksum error.";
    case 3: return "Length field error.";
    case 4: return "Acknowledge error.";
    case 5: return "Acknowledge timeout.";
    case 6: return "No local echo.";
    case 7: return "Tx buffer overflow.";
    case kOpenFailedCode: return "Open fail";
    default: return std::to_string(code);
    }
}
