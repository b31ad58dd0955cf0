// relaycfg plan check, plan apply and plan capture: a site's repeaters described once in a TOML
// plan, checked, programmed unit by unit with a record of what was written, or captured from
// units that were set up by hand.
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <streambuf>
#include <string>
#include <vector>

#include "backup_folder.h"
#include "commands.h"
#include "configuration_report.h"
#include "exit_codes.h"
#include "image_layout.h"
#include "memory_buffers.h"
#include "plan_log.h"
#include "plan_report.h"
#include "plan_rules.h"
#include "port_target.h"
#include "repeater_session.h"
#include "text_files.h"
#include "unit_programming.h"

namespace {

// Reads the plan into text and parses it; prints why it cannot be read or is no TOML.
// kExitOk when it parsed.
int ReadPlan(const std::string &file, Console io, std::string &text, PlanReading &reading) {
    std::string error;
    if (!ReadTextFile(file, text, error)) {
        io.err << "Cannot read the plan: " << error << '\n';
        return kExitFile;
    }
    reading = ParsePlan(text);
    if (!reading.isToml) {
        io.err << file << ':' << reading.error << '\n';
        return kExitFile;
    }
    return kExitOk;
}

// Reads and checks the plan; prints what is wrong as FILE:LINE: text. kExitOk when it holds.
int ReadCheckedPlan(const std::string &file, Console io, PlanReading &reading,
                    CheckedPlan &checked) {
    std::string text;
    if (const int code = ReadPlan(file, io, text, reading); code != kExitOk) return code;
    checked = CheckPlan(reading);
    for (const PlanProblem &problem : checked.problems)
        io.err << file << ':' << problem.line << ": " << problem.text << '\n';
    return checked.Holds() ? kExitOk : kExitRefused;
}

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

// The first message line among what a unit's run printed, progress lines and notes left out.
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

FieldEdits EditsFor(const PlannedUnit &unit) {
    FieldEdits edits;
    edits.parentRfpi = RfpiText(unit.parentRfpi);
    edits.repeaterRpn = std::to_string(unit.rpn);
    edits.monitorBeep = unit.monitorBeep;
    edits.ignoreHop = unit.ignoreHop;
    return edits;
}

// Programs the connected unit as `unit`; fills the log entry's result, backup and RFPI.
int ProgramUnit(const PlannedUnit &unit, const Invocation &invocation, Console io,
                PlanLogEntry &entry) {
    RecordingBuffer recording(io.err);
    std::ostream err(&recording);
    Console unitIo{io.out, err, io.liveProgress, io.in};
    int code = kExitOk;
    {
        RepeaterSession session(invocation.port, unitIo, invocation.quiet);
        EditedImage edited;
        code = EditLoadedImage(session, EditsFor(unit), edited);
        if (code == kExitOk) code = WriteEditedImage(session, edited);
        entry.backup = session.BackupPath();
    }
    err.flush();
    if (code == kExitOk) {
        // ConfigImage holds the image written; the verify found its RFPI bytes read back alike.
        const std::array<uint8_t, 5> transmits = RepeaterRfpi(ConfigImage);
        entry.rfpi = RfpiText({transmits[0], transmits[1], transmits[2], transmits[3], transmits[4]});
        entry.result = "written";
    } else {
        entry.result = "failed: " + FailureText(recording.Recorded(), code);
    }
    return code;
}

enum class Reply { Go, Skip, Stop };

Reply Ask(const std::string &name, const std::string &port, Console io) {
    io.err << "Connect repeater \"" << name << "\" to " << port
           << " and press Enter (s skips, q stops) " << std::flush;
    std::string line;
    if (io.in == nullptr || !std::getline(*io.in, line)) {
        io.err << '\n';
        return Reply::Stop;
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    while (!line.empty() && line.front() == ' ') line.erase(0, 1);
    if (line == "s" || line == "S") return Reply::Skip;
    if (line == "q" || line == "Q") return Reply::Stop;
    return Reply::Go;
}

}  // namespace

int RunPlanCheck(const Invocation &invocation, Console io) {
    PlanReading reading;
    CheckedPlan checked;
    if (const int code = ReadCheckedPlan(invocation.file, io, reading, checked); code != kExitOk)
        return code;
    io.out << (invocation.dot ? PlanDot(checked) : PlanTreeText(checked));
    return kExitOk;
}

int RunPlanApply(const Invocation &invocation, Console io) {
    std::string portLabel;
    {
        const PortTarget port(invocation.port);  // a malformed --port is refused before anything
        portLabel = port.Label();
    }
    PlanReading reading;
    CheckedPlan checked;
    if (const int code = ReadCheckedPlan(invocation.file, io, reading, checked); code != kExitOk) {
        io.err << "Nothing was written.\n";
        return code;
    }
    std::vector<const PlannedUnit *> units;
    if (invocation.all) {
        for (const PlannedUnit &unit : checked.units) units.push_back(&unit);
    } else if (const PlannedUnit *unit = checked.Unit(invocation.repeater)) {
        units.push_back(unit);
    } else {
        io.err << "relaycfg: the plan has no repeater \"" << invocation.repeater << "\"\n";
        return kExitUsage;
    }
    const std::string logPath = invocation.log.empty() ? DefaultPlanLogPath(invocation.file)
                                                       : invocation.log;

    int result = kExitOk;
    unsigned written = 0, skipped = 0, failed = 0;
    for (const PlannedUnit *unit : units) {
        PlanLogEntry entry;
        entry.repeater = unit->name;
        entry.port = portLabel;
        const Reply reply = invocation.all ? Ask(unit->name, portLabel, io) : Reply::Go;
        if (reply == Reply::Stop) break;
        if (reply == Reply::Skip) {
            entry.result = "skipped";
            ++skipped;
        } else {
            const int code = ProgramUnit(*unit, invocation, io, entry);
            if (code == kExitOk) {
                ++written;
                io.out << '"' << unit->name << "\" written: transmits " << entry.rfpi << '\n';
            } else {
                ++failed;
                if (result == kExitOk) result = code;
                io.out << '"' << unit->name << "\" " << entry.result << '\n';
            }
        }
        entry.time = SavedAtText(std::time(nullptr));
        std::string error;
        if (!AppendPlanLog(logPath, entry, error)) {
            io.err << "Cannot write the log: " << error << '\n';
            if (result == kExitOk) result = kExitFile;
        }
    }
    if (invocation.all && !invocation.quiet) {
        io.err << "Written " << written << ", skipped " << skipped << ", failed " << failed
               << " of " << units.size() << " repeaters; log: " << logPath << '\n';
    }
    return result;
}

int RunPlanCapture(const Invocation &invocation, Console io) {
    const std::string &file = invocation.file;
    std::error_code ec;
    const bool exists = std::filesystem::exists(file, ec);
    std::string text;
    PlanReading reading;
    CheckedPlan checked;
    if (exists) {
        if (const int code = ReadPlan(file, io, text, reading); code != kExitOk) return code;
        checked = CheckPlan(reading);
        bool taken = reading.plan.baseName == invocation.name;
        for (const PlanRepeater &r : reading.plan.repeaters) taken = taken || r.name == invocation.name;
        if (taken) {
            io.err << "The plan already has a unit named \"" << invocation.name
                   << "\".\nNothing was read or written.\n";
            return kExitRefused;
        }
    }

    RepeaterSession session(invocation.port, io, invocation.quiet);
    if (const int code = session.Load(); code != kExitOk) return code;
    const DisplayFields fields = FieldsOf(ConfigImage);
    Rfpi relays{};
    std::copy_n(ConfigImage + layout::kParentRfpi, relays.size(), relays.begin());
    const unsigned rpn = ConfigImage[layout::kRepeaterRpn] & RpnMask(ConfigImage);

    std::string addition;
    if (!exists) {
        addition = "# Site plan begun by relaycfg plan capture.\n\n[base]\nname = " +
                   TomlString(invocation.parent) + "\nrfpi = \"" + RfpiText(relays) + "\"\n";
    } else if (!text.empty() && text.back() != '\n') {
        addition = "\n";  // the last line stays as it was; the table starts on a line of its own
    }
    addition += "\n[[repeater]]\nname = " + TomlString(invocation.name) +
                "\nparent = " + TomlString(invocation.parent) + "\nrpn = " + std::to_string(rpn) +
                "\nmonitor_beep = " + (fields.monitorBeep ? "true" : "false") +
                "\nignore_hop_control = " + (fields.ignoreHop ? "true" : "false") + "\n";
    std::string error;
    if (!WriteTextFile(file, text + addition, true, error)) {
        io.err << "Cannot write the plan: " << error << '\n';
        return kExitFile;
    }
    io.out << "Captured \"" << invocation.name << "\" (RPN " << rpn << ", relays "
           << RfpiText(relays) << ") into " << file << ".\n";

    // What the plan says this unit's parent transmits, if the plan knows it.
    if (exists && checked.Holds()) {
        const PlannedUnit *parent = checked.Unit(invocation.parent);
        const bool parentIsBase = invocation.parent == checked.baseName;
        if (!parentIsBase && parent == nullptr) {
            io.err << "Note: \"" << invocation.parent << "\" is not in the plan yet.\n";
        } else {
            const Rfpi expected = parentIsBase ? checked.baseRfpi : parent->transmits;
            if (expected != relays) {
                io.err << "Note: the unit relays " << RfpiText(relays) << ", but \""
                       << invocation.parent << "\" transmits " << RfpiText(expected)
                       << " in the plan; `relaycfg plan apply` would change it.\n";
            }
        }
    }
    return kExitOk;
}
