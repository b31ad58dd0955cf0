#include "memory_transfer.h"

#include <cstddef>
#include <utility>

#include "maillink.h"
#include "memory_buffers.h"
#include "port_settings.h"

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
constexpr int8_t kOpenFailed = 8;

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

// Tells the installed hook, if any, how far a transfer has come.
class ProgressReport {
public:
    ProgressReport(TransferArea area, uint8_t count)
        : progress_{area, 0, (count + kChunkSize - 1u) / kChunkSize, false, 0} {
        Tell();
    }
    void MailDone() {
        ++progress_.mailsDone;
        Tell();
    }
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

int8_t Transfer(const TransferKind &kind, uint16_t address, uint8_t count) {
    if (count == 0) return 0;
    ProgressReport report(kind.area, count);
    if (!OpenSerialPort(PortSettings.PortNumber, static_cast<uint32_t>(PortSettings.BaudRate))) {
        return report.Finish(kOpenFailed);
    }
    SmInit();
    uint8_t *tx = GetSmTxMailPtr();
    SmConfigRecord *config = GetSmConfigPtr();
    const bool read = kind.direction == Direction::Read;
    const uint8_t *rx = read ? GetSmRxMailPtr() : nullptr;

    config->RxMailExpected = read ? 1 : 0;
    config->FixedRxLength = 1;
    config->AckMode = 0;
    config->EchoTimeoutPerByte = kEchoPollsPerByte;
    config->RxTimeout = kReplyPolls;

    while (count != 0) {
        const uint8_t chunkCount = count < kChunkSize ? count : kChunkSize;
        FillMailHeader(tx, kind, address, chunkCount);
        if (!read) FillWriteData(tx, kind.buffer, address, chunkCount);

        const auto result = static_cast<int8_t>(static_cast<uint8_t>(SmSendMail() & 0xFF));
        if (result != 0) {
            CloseSerialPort();
            return report.Finish(result);
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

int8_t WriteConfigImage(uint16_t address, uint8_t count) {
    return Transfer({ConfigImage, kConfigSelector, kWriteCommand, Direction::Write,
                     TransferArea::ConfigImageWrite},
                    address, count);
}

void SetTransferProgressHook(TransferProgressHook hook) { ProgressHook() = std::move(hook); }

std::string TransferErrorText(int8_t code) {
    switch (code) {
    case 1: return "No response.";
    case 2: return "Checksum error.";
    case 3: return "Length field error.";
    case 4: return "Acknowledge error.";
    case 5: return "Acknowledge timeout.";
    case 6: return "No local echo.";
    case 7: return "Tx buffer overflow.";
    case 8: return "Open fail";
    default: return std::to_string(code);
    }
}
