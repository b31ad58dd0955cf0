#include "repeater_session.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "backup_folder.h"
#include "configuration_report.h"
#include "exit_codes.h"
#include "load_save.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "port_access.h"
#include "port_settings.h"

namespace {

constexpr int32_t kBaudRate = 9600;

// About how long the mails of a Save take, for the time a stop waits: a read mail and its reply
// (25 bytes at 9600 baud, and the line's latency); a write mail and the EEPROM pause after it.
using std::chrono::milliseconds;
constexpr milliseconds kReadMailTime{35};
constexpr milliseconds kWriteMailTime{225};
constexpr unsigned kInfoMails = layout::kInfoBlockSize / 8;
constexpr unsigned kImageMails = layout::kImageSize / 8;

// The Save's transfers in order: identification block, image write, image read back.
milliseconds SaveTimeLeft(const TransferProgress &p) {
    const unsigned left = p.finished ? 0 : p.mailsTotal - p.mailsDone;
    switch (p.area) {
    case TransferArea::InfoBlockRead:
        return left * kReadMailTime + kImageMails * (kWriteMailTime + kReadMailTime);
    case TransferArea::ConfigImageWrite: return left * kWriteMailTime + kImageMails * kReadMailTime;
    case TransferArea::ConfigImageRead: return left * kReadMailTime;
    }
    return milliseconds{0};
}

}  // namespace

milliseconds WriteAndVerifyTime() {
    return SaveTimeLeft({TransferArea::InfoBlockRead, 0, 0, kInfoMails, false, 0});
}

std::string RestoreCommand(const std::string &portLabel, const std::string &backupPath) {
    return "relaycfg restore --port " + ShellQuoted(portLabel) + " " + ShellQuoted(backupPath);
}

std::string RecoveryLines(const std::string &portLabel, const std::string &backupPath) {
    if (backupPath.empty()) return "";
    return "The repeater's previous image is saved in " + backupPath + ".\n" +
           "Put it back with: " + RestoreCommand(portLabel, backupPath) + "\n";
}

std::string FinishedAfterStopLine(const std::string &portLabel) {
    return "Stopped as asked, after the write of " + portLabel + " was finished and verified.\n";
}

std::string StoppedDuringWriteLine(const std::string &portLabel) {
    return "Stopped during the write of " + portLabel +
           ": the repeater may hold part of the new image.\n";
}

RepeaterSession::RepeaterSession(const std::string &portArgument, Console io, bool quiet)
    : io_(io), quiet_(quiet), port_(portArgument), meter_(io.err, io.liveProgress, !quiet) {
    PortSettings.PortNumber = port_.Number();
    PortSettings.BaudRate = kBaudRate;
    SetTransferProgressHook([this](const TransferProgress &p) { Watch(p); });
}

RepeaterSession::~RepeaterSession() { SetTransferProgressHook({}); }

void RepeaterSession::Watch(const TransferProgress &p) {
    meter_.Show(p);
    if (p.finished) retries_ += p.mailsRetried;
    if (shield_) shield_->Update(SaveTimeLeft(p), retries_ + (p.finished ? 0 : p.mailsRetried));
}

std::ostream &RepeaterSession::Message() {
    meter_.EndLine();
    return io_.err;
}

void RepeaterSession::Note(const std::string &text) {
    if (!quiet_) Message() << text << '\n';
}

void RepeaterSession::TransferFailure(const char *prefix, int8_t code) {
    Message() << prefix << TransferErrorText(code) << '\n';
    if (code == kOpenFailedCode) {
        const std::string why = DiagnosePortFailure(port_.Number(), port_.Label());
        if (!why.empty()) Message() << why << '\n';
    }
}

void RepeaterSession::RecoveryHint() { Message() << RecoveryLines(port_.Label(), backupPath_); }

void RepeaterSession::RecordStopIn(AppendFile &log, StopLine line) {
    stopLog_ = &log;
    stopLine_ = std::move(line);
}

int RepeaterSession::Finish(int code) {
    if (!interrupted_) return code;
    if (code == kExitOk) {
        Message() << FinishedAfterStopLine(port_.Label());
        RecoveryHint();
    }
    return kExitInterrupted;
}

int RepeaterSession::Load() {
    const WorkflowResult result = LoadFromRepeater();
    switch (result.outcome) {
    case WorkflowOutcome::Done: return kExitOk;
    case WorkflowOutcome::UnsupportedDevice:
        Message() << kUnsupportedDeviceText << '\n';
        return kExitUnsupported;
    case WorkflowOutcome::TransferFailed:
        TransferFailure(kReadFailureText, result.code);
        return kExitTransfer;
    case WorkflowOutcome::SaveNotTaken: break;  // only a Save checks what it wrote
    }
    return kExitInternal;
}

RepeaterMemory RepeaterSession::Current() const {
    RepeaterMemory memory;
    std::copy_n(InfoBlock, memory.info.size(), memory.info.begin());
    std::copy_n(ConfigImage, memory.image.size(), memory.image.begin());
    return memory;
}

int RepeaterSession::BackUp(const RepeaterMemory &device) {
    std::string error;
    if (!SaveAutomaticBackup(device, port_.Label(), port_.FileStem(), std::time(nullptr),
                             backupPath_, error)) {
        backupPath_.clear();
        Message() << "Cannot save the repeater's current image before writing: " << error << '\n'
                  << "Nothing was written.\n";
        return kExitFile;
    }
    Note("Saved the repeater's current image in " + backupPath_);
    return kExitOk;
}

int RepeaterSession::WriteAndVerify(const Image &image) {
    std::copy(image.begin(), image.end(), ConfigImage);
    Image readBack{};
    StopTexts texts;
    texts.port = port_.Label();
    texts.lineOpen = meter_.CountsInPlace();
    texts.stopped = StoppedDuringWriteLine(port_.Label()) + RecoveryLines(port_.Label(), backupPath_);
    if (stopLog_ != nullptr && stopLine_) {
        texts.log = stopLog_;
        texts.logLine = stopLine_(backupPath_);
    }
    shield_.emplace(std::move(texts));
    shield_->Update(WriteAndVerifyTime(), retries_);
    const WorkflowResult save = SaveToRepeaterWithReadBack(readBack);
    interrupted_ = shield_->StopAsked();
    shield_.reset();
    if (save.outcome == WorkflowOutcome::UnsupportedDevice) {
        Message() << kUnsupportedDeviceText << '\n' << "Nothing was written.\n";
        return kExitUnsupported;
    }
    if (save.outcome == WorkflowOutcome::TransferFailed) {
        TransferFailure(kWriteFailureText, save.code);
        Message() << "The repeater may hold part of the new image.\n";
        RecoveryHint();
        return kExitTransfer;
    }
    if (save.outcome == WorkflowOutcome::SaveNotTaken && save.mismatchOffset < 0) {
        TransferFailure(kReadFailureText, save.code);
        Message() << "The image was written but could not be read back to verify it.\n";
        RecoveryHint();
        return kExitTransfer;
    }

    // The Save's own check decides; here every byte it found different is listed, and the bytes
    // it does not check (the repeater may set them itself) are told apart.
    Image checked = readBack;
    Image uncheckedOnly = image;
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (!IsUncheckedByte(i)) continue;
        checked[i] = image[i];
        uncheckedOnly[i] = readBack[i];
    }
    const std::string notChecked =
        ImageDifferences(image.data(), uncheckedOnly.data(), image.size(), "wrote", "read back");
    if (!notChecked.empty()) {
        Note("Not checked, the repeater may set these bytes itself:\n" +
             notChecked.substr(0, notChecked.size() - 1));
    }
    if (save.outcome == WorkflowOutcome::SaveNotTaken) {
        Message() << "Verify failed: the repeater holds another image than the one written:\n"
                  << ImageDifferences(image.data(), checked.data(), image.size(), "wrote",
                                      "read back");
        RecoveryHint();
        return kExitVerify;
    }
    return kExitOk;
}
