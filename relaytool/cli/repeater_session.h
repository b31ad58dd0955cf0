// One run's work with the repeater on one port, on the memory layer's Load and Save sequences:
// load, take the automatic backup, write and verify, each printing the system's messages.
// Every step returns an exit code (kExitOk to go on).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "backup_file.h"
#include "console.h"
#include "image_layout.h"
#include "port_target.h"
#include "progress_meter.h"

using Image = std::array<uint8_t, layout::kImageSize>;

class RepeaterSession {
public:
    // Binds the port (throws UsageError for a malformed --port) and watches the transfers.
    RepeaterSession(const std::string &portArgument, Console io, bool quiet);

    const PortTarget &Port() const { return port_; }

    // The window's Load: identification block, device check, image. On success the memory is
    // in InfoBlock and ConfigImage (Current()).
    int Load();
    RepeaterMemory Current() const;

    // Saves the device's memory as read by Load into the automatic backup folder. Nothing may be
    // written when this fails.
    int BackUp(const RepeaterMemory &device);
    const std::string &BackupPath() const { return backupPath_; }

    // The window's Save sequence (identification block, device check, write) for image, then
    // the image read back and compared byte for byte.
    int WriteAndVerify(const Image &image);

    // A message on standard error, after any counting line.
    std::ostream &Message();
    // A note that --quiet silences.
    void Note(const std::string &text);

private:
    void TransferFailure(const char *prefix, int8_t code);
    void RecoveryHint();

    Console io_;
    bool quiet_;
    PortTarget port_;
    ProgressMeter meter_;
    std::string backupPath_;
};
