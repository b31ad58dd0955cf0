#include "plan_apply.h"

#include <ctime>
#include <streambuf>

#include "backup_folder.h"
#include "exit_codes.h"
#include "memory_buffers.h"
#include "plan_log.h"
#include "plan_prompt.h"
#include "repeater_session.h"
#include "unit_programming.h"

namespace {

// Passes everything on to another stream and keeps a copy, so that the message of a failed
// unit can go into the log as well.
class RecordingBuffer : public std::streambuf {
public:
    explicit RecordingBuffer(std::ostream &to) : to_(to) {}
    const std::string &Recorded() const { return recorded_; }

protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return traits_type::not_eof(c);
        recorded_.push_back(static_cast<char>(c));
        to_.put(static_cast<char>(c));
        return c;
    }
    std::streamsize xsputn(const char *s, std::streamsize n) override {
        recorded_.append(s, static_cast<std::size_t>(n));
        to_.write(s, n);
        return n;
    }
    int sync() override {
        to_.flush();
        return 0;
    }

private:
    std::ostream &to_;
    std::string recorded_;
};

struct UnitOutcome {
    int code = kExitOk;        // of the load, the refusal or the write
    bool interrupted = false;  // a stop was asked for during the write (which went on)
};

// Programs the connected unit as `unit`; fills the log entry's result, backup, RFPI and retries.
// A stop at once during the write leaves its own line in the log (interruption.h).
UnitOutcome ProgramUnit(const PlannedUnit &unit, const Invocation &invocation, Console io,
                        PlanLog &log, PlanLogEntry &entry) {
    RecordingBuffer recording(io.err);
    std::ostream err(&recording);
    Console unitIo{io.out, err, io.liveProgress, io.in};
    UnitOutcome outcome;
    {
        RepeaterSession session(invocation.port, unitIo, invocation.quiet);
        session.RecordStopIn(log.File(), [&entry](const std::string &backup) {
            PlanLogEntry stopped = entry;
            stopped.time = SavedAtText(std::time(nullptr));
            stopped.result = "failed: stopped during the write";
            stopped.backup = backup;
            return PlanLogLineStart(stopped);
        });
        EditedImage edited;
        outcome.code = EditLoadedImage(session, PlannedEdits(unit), edited);
        if (outcome.code == kExitOk) outcome.code = WriteEditedImage(session, edited);
        entry.backup = session.BackupPath();
        entry.retries = session.Retries();
        outcome.interrupted = session.Interrupted();
        session.Finish(outcome.code);  // after a stop: says so, with the backup and restore command
    }
    err.flush();
    if (outcome.code == kExitOk) {
        // ConfigImage holds the image written; the verify found its RFPI bytes read back alike.
        const std::array<uint8_t, 5> transmits = RepeaterRfpi(ConfigImage);
        entry.rfpi = RfpiText({transmits[0], transmits[1], transmits[2], transmits[3], transmits[4]});
        entry.result = "written";
    } else {
        entry.result = "failed: " + FailureText(recording.Recorded(), outcome.code);
    }
    return outcome;
}

}  // namespace

std::string FailureText(const std::string &recorded, int code) {
    std::size_t start = 0;
    while (start < recorded.size()) {
        std::size_t end = recorded.find_first_of("\r\n", start);
        if (end == std::string::npos) end = recorded.size();
        const std::string line = recorded.substr(start, end - start);
        start = end + 1;
        const bool progress = line.rfind("Reading ", 0) == 0 || line.rfind("Writing ", 0) == 0 ||
                              line.rfind("Saved the repeater's current image", 0) == 0;
        if (!line.empty() && !progress) return line;
    }
    return "exit code " + std::to_string(code);
}

FieldEdits PlannedEdits(const PlannedUnit &unit) {
    FieldEdits edits;
    edits.parentRfpi = RfpiText(unit.parentRfpi);
    edits.repeaterRpn = std::to_string(unit.rpn);
    edits.monitorBeep = unit.monitorBeep;
    edits.ignoreHop = unit.ignoreHop;
    return edits;
}

int ApplyPlanUnits(const std::vector<const PlannedUnit *> &units, const std::string &portLabel,
                   const Invocation &invocation, Console io) {
    const std::string logPath =
        invocation.log.empty() ? DefaultPlanLogPath(invocation.file) : invocation.log;
    PlanLog log;
    std::string error;
    if (!log.Open(logPath, error)) {
        io.err << "Cannot write the log: " << error << "\nNothing was written.\n";
        return kExitFile;
    }

    int result = kExitOk;  // the first failure's
    unsigned written = 0, skipped = 0, failed = 0;
    std::size_t left = 0;  // units not reached when the run stopped
    bool interrupted = false;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const PlannedUnit &unit = *units[i];
        const PromptReply reply =
            invocation.all ? AskToConnect(unit.name, portLabel, io) : PromptReply::Go;
        if (reply == PromptReply::Stop) {
            left = units.size() - i;
            break;
        }
        PlanLogEntry entry;
        entry.repeater = unit.name;
        entry.port = portLabel;
        if (reply == PromptReply::Skip) {
            entry.result = "skipped";
            ++skipped;
        } else {
            const UnitOutcome outcome = ProgramUnit(unit, invocation, io, log, entry);
            interrupted = outcome.interrupted;
            if (outcome.code == kExitOk) {
                ++written;
                io.out << '"' << unit.name << "\" written: transmits " << entry.rfpi << '\n';
            } else {
                ++failed;
                if (result == kExitOk) result = outcome.code;
                io.out << '"' << unit.name << "\" " << entry.result << '\n';
            }
        }
        entry.time = SavedAtText(std::time(nullptr));
        if (!log.Append(entry, error)) {
            // No further unit without its record.
            io.err << "Cannot write the log: " << error << "\nStopping before the next unit.\n";
            if (result == kExitOk) result = kExitFile;
            left = units.size() - i - 1;
            break;
        }
        if (interrupted) {
            left = units.size() - i - 1;
            break;
        }
    }
    if (invocation.all && !invocation.quiet) {
        io.err << "Written " << written << ", skipped " << skipped << ", failed " << failed
               << " of " << units.size() << " repeaters";
        if (left > 0) io.err << ", " << left << " not done (" << (interrupted ? "interrupted" : "stopped") << ")";
        io.err << "; log: " << logPath << '\n';
    }
    if (interrupted) return kExitInterrupted;
    if (result != kExitOk) return result;
    return left > 0 ? kExitIncomplete : kExitOk;
}
