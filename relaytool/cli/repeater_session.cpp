#include "repeater_session.h"

#include <algorithm>
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

constexpr const char *kUnsupported = "Unsupported repeater device";
constexpr const char *kReadFailure = "An error occured while reading from target: ";
constexpr const char *kWriteFailure = "An error occured while writing to target: ";
constexpr int8_t kOpenFailed = 8;
constexpr int32_t kBaudRate = 9600;

}  // namespace

RepeaterSession::RepeaterSession(const std::string &portArgument, Console io, bool quiet)
    : io_(io), quiet_(quiet), port_(portArgument), meter_(io.err, io.liveProgress, !quiet) {
    PortSettings.PortNumber = port_.Number();
    PortSettings.BaudRate = kBaudRate;
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
    if (code == kOpenFailed) {
        const std::string why = DiagnosePortFailure(port_.Number(), port_.Label());
        if (!why.empty()) Message() << why << '\n';
    }
}

void RepeaterSession::RecoveryHint() {
    if (backupPath_.empty()) return;
    Message() << "The repeater's previous image is saved in " << backupPath_ << ".\n"
              << "Put it back with: relaycfg restore --port " << ShellQuoted(port_.Label())
              << ' ' << ShellQuoted(backupPath_) << '\n';
}

int RepeaterSession::Load() {
    const WorkflowResult result = LoadFromRepeater();
    switch (result.outcome) {
    case WorkflowOutcome::Done: return kExitOk;
    case WorkflowOutcome::UnsupportedDevice:
        Message() << kUnsupported << '\n';
        return kExitUnsupported;
    case WorkflowOutcome::TransferFailed:
        TransferFailure(kReadFailure, result.code);
        return kExitTransfer;
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
    const WorkflowResult save = SaveToRepeater();
    if (save.outcome == WorkflowOutcome::UnsupportedDevice) {
        Message() << kUnsupported << '\n' << "Nothing was written.\n";
        return kExitUnsupported;
    }
    if (save.outcome == WorkflowOutcome::TransferFailed) {
        TransferFailure(kWriteFailure, save.code);
        Message() << "The repeater may hold part of the new image.\n";
        RecoveryHint();
        return kExitTransfer;
    }

    const int8_t code = ReadConfigImage(0, static_cast<uint8_t>(image.size()));
    if (code != 0) {
        TransferFailure(kReadFailure, code);
        Message() << "The image was written but could not be read back to verify it.\n";
        RecoveryHint();
        return kExitTransfer;
    }
    const std::string differences =
        ImageDifferences(image.data(), ConfigImage, image.size(), "wrote", "read back");
    if (!differences.empty()) {
        Message() << "Verify failed: the repeater holds another image than the one written:\n"
                  << differences;
        RecoveryHint();
        return kExitVerify;
    }
    return kExitOk;
}
