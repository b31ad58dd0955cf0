// One run's work with the repeater on one port, on the memory layer's Load and Save sequences:
// load, take the automatic backup, write and verify, each printing the system's messages.
// Every step returns an exit code (kExitOk to go on).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "backup_file.h"
#include "console.h"
#include "image_layout.h"
#include "interruption.h"
#include "port_target.h"
#include "progress_meter.h"

using Image = std::array<uint8_t, layout::kImageSize>;
struct TransferProgress;

// About how long WriteAndVerify takes at 9600 baud, for the time a stop waits.
std::chrono::milliseconds WriteAndVerifyTime();

// What relaycfg says of a unit whose write failed or was stopped, at one port or at a station:
// the command that puts its automatic backup back, the lines that name the backup and that
// command ("" without a backup), and the line after a stop (the write finished and verified, or
// stopped at once). Each line ends with its line end.
std::string RestoreCommand(const std::string &portLabel, const std::string &backupPath);
std::string RecoveryLines(const std::string &portLabel, const std::string &backupPath);
std::string FinishedAfterStopLine(const std::string &portLabel);
std::string StoppedDuringWriteLine(const std::string &portLabel);

class RepeaterSession {
public:
    // Binds the port (throws UsageError for a malformed --port) and watches the transfers.
    RepeaterSession(const std::string &portArgument, Console io, bool quiet);
    ~RepeaterSession();
    RepeaterSession(const RepeaterSession &) = delete;
    RepeaterSession &operator=(const RepeaterSession &) = delete;

    const PortTarget &Port() const { return port_; }

    // The window's Load: identification block, device check, image. On success the memory is
    // in InfoBlock and ConfigImage (Current()).
    int Load();
    RepeaterMemory Current() const;

    // Saves the device's memory as read by Load into the automatic backup folder. Nothing may be
    // written when this fails.
    int BackUp(const RepeaterMemory &device);
    const std::string &BackupPath() const { return backupPath_; }

    // The line a stop at once during the write leaves in log (given the backup's path; the
    // retry count is added at the end then).
    using StopLine = std::function<std::string(const std::string &backupPath)>;
    void RecordStopIn(AppendFile &log, StopLine line);

    // The window's Save sequence (identification block, device check, write) for image, then
    // the image read back and compared byte for byte. Ctrl-C meanwhile lets it finish
    // (interruption.h); Interrupted() tells afterwards.
    int WriteAndVerify(const Image &image);
    bool Interrupted() const { return interrupted_; }
    // The end of a command that wrote: after a stop that let the write finish, says so and
    // names the backup and the restore command (a failure has named them already), and gives
    // kExitInterrupted; otherwise code.
    int Finish(int code);

    // Mails sent a second time after a damaged byte, in every transfer so far.
    unsigned Retries() const { return retries_; }

    // A message on standard error, after any counting line.
    std::ostream &Message();
    // A note that --quiet silences.
    void Note(const std::string &text);

private:
    void Watch(const TransferProgress &progress);
    void TransferFailure(const char *prefix, int8_t code);
    void RecoveryHint();

    Console io_;
    bool quiet_;
    PortTarget port_;
    ProgressMeter meter_;
    std::string backupPath_;
    unsigned retries_ = 0;
    AppendFile *stopLog_ = nullptr;
    StopLine stopLine_;
    std::optional<WriteShield> shield_;
    bool interrupted_ = false;
};
