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
    if (code == kOpenFailedCode) {
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
    const WorkflowResult save = SaveToRepeaterWithReadBack(readBack);
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
