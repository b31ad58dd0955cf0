#include "station_run.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <thread>

#include "backup_folder.h"
#include "exit_codes.h"
#include "image_rules.h"
#include "interruption.h"
#include "message_queue.h"
#include "plan_apply.h"
#include "plan_log.h"
#include "plan_prompt.h"
#include "port_target.h"
#include "repeater_session.h"
#include "station_protocol.h"
#include "station_queue.h"
#include "worker_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often the run looks at the stop signals while nothing else happens.
constexpr milliseconds kStopCheck{100};

struct Event {
    enum class Kind { Report, Stray, Ended, Input, InputEnd };
    explicit Event(Kind k, std::size_t s = 0, std::string t = {})
        : kind(k), station(s), text(std::move(t)) {}

    Kind kind = Kind::Input;
    std::size_t station = 0;
    WorkerReport report;
    std::string text;  // a stray line, how a worker ended, a line of input
};
using Events = MessageQueue<Event>;

struct Station {
    std::string label;
    std::unique_ptr<WorkerProcess> worker;
    std::thread reader;
    bool running = true;               // its worker has not ended
    unsigned unit = 0;                 // the number of the unit it reported last
    std::optional<std::size_t> entry;  // the entry it was told to write
    std::string backup;                // that write's automatic backup, once saved
    Clock::time_point writeStart;      // when the order went out
    bool waiting = false;              // its unit waits for an entry to come free
    bool cutShort = false;             // ended at once by a second stop
};

std::string Quoted(const std::string &name) { return "\"" + name + "\""; }

std::string Duration(double seconds) {
    char text[48];
    if (seconds < 120)
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    else
        std::snprintf(text, sizeof text, "%d min %d s", int(seconds) / 60, int(seconds) % 60);
    return text;
}

class StationRun {
public:
    StationRun(const std::vector<const PlannedUnit *> &units,
               const std::vector<std::string> &labels, const Invocation &invocation, Console io)
        : queue_(units), labels_(labels), invocation_(invocation), io_(io) {}

    int Run();

private:
    enum class End { None, Done, Stopped, Interrupted, LogFailed, NoStation };

    void Start();
    void Handle(const Event &event);
    void OnReport(Station &s, const WorkerReport &r);
    void OnUnit(Station &s, const WorkerReport &r);
    void OnOutcome(Station &s, const WorkerReport &r);
    void OnEnded(Station &s, const std::string &ending);
    void OnInput(const std::string &line);
    void Order(Station &s, std::size_t entry);
    void OfferFreedEntry();
    void Failed(Station &s, int code, const std::string &text, unsigned retries);
    void Log(const Station &s, std::size_t entry, const std::string &result,
             const std::string &backup, const std::string &rfpi, unsigned retries);
    void StopStations(End why);
    void StopWritesAtOnce();
    void Note(const std::string &text);
    bool AnyRunning() const;
    int ExitCode() const;
    void Summary(double seconds) const;

    StationQueue queue_;
    std::vector<std::string> labels_;
    const Invocation &invocation_;
    Console io_;
    std::string logPath_;
    PlanLog log_;
    std::shared_ptr<Events> events_ = std::make_shared<Events>();
    std::vector<std::unique_ptr<Station>> stations_;
    End end_ = End::None;
    bool logFailed_ = false;
    unsigned written_ = 0, failed_ = 0, held_ = 0;
    int firstFailure_ = kExitOk;  // of a unit's programming

    std::vector<std::string> lost_;  // "COM2 (killed by signal 9)"
};

void StationRun::Note(const std::string &text) {
    if (!invocation_.quiet) io_.err << text << '\n' << std::flush;
}

bool StationRun::AnyRunning() const {
    for (const auto &s : stations_)
        if (s->running) return true;
    return false;
}

void StationRun::Start() {
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        auto station = std::make_unique<Station>();
        station->label = labels_[i];
        station->worker = std::make_unique<WorkerProcess>(labels_[i]);
        WorkerProcess *worker = station->worker.get();
        station->reader = std::thread([worker, i, events = events_] {
            ForEachLine([worker](char *b, std::size_t n) { return worker->Read(b, n); },
                        [&](std::string line) {
                            Event e(Event::Kind::Report, i);
                            if (std::optional<WorkerReport> r = ParseReport(line))
                                e.report = *r;
                            else
                                e = Event(Event::Kind::Stray, i, std::move(line));
                            events->Push(std::move(e));
                        });
            events->Push(Event(Event::Kind::Ended, i, worker->WaitForEnd()));
        });
        stations_.push_back(std::move(station));
    }
    // Standard input stays the operator's: q stops. Its reader is left behind at the end, blocked
    // in a read that the end of the process ends.
    std::thread([events = events_] {
        ForEachLine(ReadStandardInput, [&events](std::string line) {
            events->Push(Event(Event::Kind::Input, 0, std::move(line)));
        });
        events->Push(Event(Event::Kind::InputEnd));
    }).detach();
}

void StationRun::Log(const Station &s, std::size_t entry, const std::string &result,
                     const std::string &backup, const std::string &rfpi, unsigned retries) {
    PlanLogEntry line{SavedAtText(std::time(nullptr)),
                      queue_.Unit(entry).name,
                      s.label,
                      result,
                      backup,
                      rfpi,
                      retries};
    std::string error;
    if (log_.Append(line, error)) return;
    if (!logFailed_) io_.err << "Cannot write the log: " << error << "\n" << std::flush;
    logFailed_ = true;
    StopStations(End::LogFailed);
}

void StationRun::Order(Station &s, std::size_t entry) {
    s.entry = entry;
    s.backup.clear();
    s.waiting = false;
    s.writeStart = Clock::now();
    s.worker->Send(FormatOrder(
        StationOrder(StationOrder::Kind::Program, s.unit, PlannedEdits(queue_.Unit(entry)))));
    Note(s.label + ": programming " + Quoted(queue_.Unit(entry).name));
}

void StationRun::OfferFreedEntry() {
    for (auto &s : stations_) {
        if (!s->running || !s->waiting || end_ != End::None) continue;
        const std::optional<std::size_t> entry = queue_.Take();
        if (!entry) return;
        Order(*s, *entry);
    }
}

void StationRun::OnUnit(Station &s, const WorkerReport &r) {
    s.unit = r.unit;
    if (end_ != End::None) {
        s.worker->Send(FormatOrder(StationOrder(StationOrder::Kind::Stop)));
        return;
    }
    if (const std::optional<std::size_t> held = queue_.HeldBy(r.memory.image)) {
        io_.out << s.label << ": this unit holds " << Quoted(queue_.Unit(*held).name)
                << " already; disconnect it\n"
                << std::flush;
        s.worker->Send(FormatOrder(StationOrder(StationOrder::Kind::Leave, s.unit)));
        if (queue_.MarkHeld(*held)) {
            ++held_;
            Log(s, *held, "held", "", RfpiText(RepeaterRfpi(r.memory.image.data())), 0);
            if (queue_.AllDone()) StopStations(End::Done);
        }
        return;
    }
    if (const std::optional<std::size_t> entry = queue_.Take()) {
        Order(s, *entry);
        return;
    }
    s.waiting = true;
    s.worker->Send(FormatOrder(StationOrder(StationOrder::Kind::Wait, s.unit)));
    Note(s.label +
         ": every repeater is written or being written; the unit waits in case a "
         "write fails");
}

void StationRun::Failed(Station &s, int code, const std::string &text, unsigned retries) {
    const std::size_t entry = *s.entry;
    s.entry.reset();
    queue_.GiveBack(entry);
    ++failed_;
    if (firstFailure_ == kExitOk && code != kExitOk) firstFailure_ = code;
    io_.out << s.label << ": " << Quoted(queue_.Unit(entry).name) << " failed: " << text
            << "; back in the queue; ";
    if (s.backup.empty())
        io_.out << "nothing was written\n";
    else
        io_.out << "previous image in " << s.backup
                << "; put it back with: " << RestoreCommand(s.label, s.backup) << '\n';
    io_.out << std::flush;
    Log(s, entry, "failed: " + text, s.backup, "", retries);
    OfferFreedEntry();
}

void StationRun::OnOutcome(Station &s, const WorkerReport &r) {
    if (!s.entry) return;  // not ordered: nothing to account for
    if (r.kind == WorkerReport::Kind::Failed) {
        Failed(s, r.code, r.text, r.retries);
        return;
    }
    const std::size_t entry = *s.entry;
    s.entry.reset();
    queue_.MarkWritten(entry);
    ++written_;
    io_.out << s.label << ": " << Quoted(queue_.Unit(entry).name)
            << " written and verified; label it and disconnect it\n"
            << std::flush;
    if (end_ == End::Interrupted) {
        io_.err << FinishedAfterStopLine(s.label) << RecoveryLines(s.label, s.backup)
                << std::flush;
    }
    Log(s, entry, "written", s.backup, r.text, r.retries);
    if (queue_.AllDone()) StopStations(End::Done);
}

void StationRun::OnReport(Station &s, const WorkerReport &r) {
    switch (r.kind) {
        case WorkerReport::Kind::Unit: OnUnit(s, r); break;
        case WorkerReport::Kind::Other: {
            char type[8];
            std::snprintf(type, sizeof type, "0x%02X", r.deviceType);
            io_.err << s.label << ": not a supported repeater (device type " << type
                    << "); disconnect it\n"
                    << std::flush;
            break;
        }
        case WorkerReport::Kind::Port:
            io_.err << s.label << ": " << r.text << '\n' << std::flush;
            break;
        case WorkerReport::Kind::Backup: s.backup = r.text; break;
        case WorkerReport::Kind::Written:
        case WorkerReport::Kind::Failed: OnOutcome(s, r); break;
        case WorkerReport::Kind::Gone:
            s.waiting = false;
            if (s.entry) {  // its order crossed the unit's going: the entry was never begun
                queue_.GiveBack(*s.entry);
                s.entry.reset();
                OfferFreedEntry();
            }
            if (end_ == End::None) Note(s.label + ": ready for the next unit");
            break;
    }
}

void StationRun::OnEnded(Station &s, const std::string &ending) {
    s.running = false;
    s.waiting = false;
    if (s.cutShort) return;  // its line is in the log already
    const bool unexpected = end_ == End::None || s.entry.has_value();
    if (s.entry) Failed(s, kExitOk, "the station's worker ended (" + ending + ")", 0);
    if (unexpected) {
        lost_.push_back(s.label + " (" + ending + ")");
        io_.err << s.label << ": station lost: its worker ended (" << ending << ")"
                << (AnyRunning() ? "; the other stations go on" : "") << '\n'
                << std::flush;
    }
    if (!AnyRunning() && end_ == End::None) StopStations(End::NoStation);
}

void StationRun::OnInput(const std::string &line) {
    const PromptReply reply = ReplyOf(line);
    if (reply == PromptReply::Stop)
        StopStations(End::Stopped);
    else if (reply != PromptReply::Go && end_ == End::None)
        io_.err << "Type q and Enter to stop; the stations take the units as they are connected.\n"
                << std::flush;
}

void StationRun::Handle(const Event &e) {
    Station *s = e.kind == Event::Kind::Input || e.kind == Event::Kind::InputEnd
                     ? nullptr
                     : stations_[e.station].get();
    switch (e.kind) {
        case Event::Kind::Report: OnReport(*s, e.report); break;
        case Event::Kind::Stray: io_.err << s->label << ": " << e.text << '\n' << std::flush; break;
        case Event::Kind::Ended: OnEnded(*s, e.text); break;
        case Event::Kind::Input: OnInput(e.text); break;
        case Event::Kind::InputEnd: StopStations(End::Stopped); break;
    }
}

// Every station is told to stop: one that writes finishes its unit first, the others end now.
void StationRun::StopStations(End why) {
    if (end_ != End::None && why != End::Interrupted) return;
    if (end_ == End::Interrupted) return;
    end_ = why;
    std::string writing;
    for (auto &s : stations_) {
        if (!s->running) continue;
        s->worker->Send(FormatOrder(StationOrder(StationOrder::Kind::Stop)));
        if (!s->entry) continue;
        writing += (writing.empty() ? "" : ", ") + s->label;
        if (why == End::Interrupted) {
            const auto left = WriteAndVerifyTime() - (Clock::now() - s->writeStart);
            io_.err << FinishingWriteLine(s->label,
                                          std::chrono::duration_cast<milliseconds>(left));
        }
    }
    if (!writing.empty() && why != End::Interrupted)
        io_.err << "Stopping: each station finishes the unit it is writing (" << writing << ").\n";
    io_.err << std::flush;
}

void StationRun::StopWritesAtOnce() {
    for (auto &s : stations_) {
        if (!s->running || !s->entry) continue;
        s->worker->Kill();
        s->cutShort = true;
        ++failed_;
        io_.err << StoppedDuringWriteLine(s->label) << RecoveryLines(s->label, s->backup);
        Log(*s, *s->entry, "failed: stopped during the write", s->backup, "", 0);
        s->entry.reset();
    }
    io_.err << std::flush;
}

int StationRun::ExitCode() const {
    if (end_ == End::Interrupted) return kExitInterrupted;
    if (logFailed_) return kExitFile;
    if (queue_.AllDone()) return kExitOk;
    if (firstFailure_ != kExitOk) return firstFailure_;
    if (!lost_.empty()) return kExitInternal;
    return kExitIncomplete;
}

void StationRun::Summary(double seconds) const {
    if (invocation_.quiet) return;
    const std::vector<std::string> notDone = queue_.NotDone();
    io_.err << "Written " << written_ << ", failed " << failed_ << ", already held " << held_
            << " of " << queue_.Size() << " repeaters";
    if (!notDone.empty()) {
        io_.err << ", " << notDone.size() << " not done ("
                << (end_ == End::Interrupted ? "interrupted" : "stopped") << "):";
        for (std::size_t i = 0; i < notDone.size(); ++i)
            io_.err << (i ? ", " : " ") << Quoted(notDone[i]);
    }
    const long perHour = seconds > 0 ? std::lround(written_ * 3600.0 / seconds) : 0;
    io_.err << "; " << stations_.size() << " stations, " << Duration(seconds) << ", " << perHour
            << " units an hour; log: " << logPath_ << '\n';
    for (const std::string &station : lost_) io_.err << "Station lost: " << station << '\n';
}

int StationRun::Run() {
    logPath_ = invocation_.log.empty() ? DefaultPlanLogPath(invocation_.file) : invocation_.log;
    std::string error;
    if (!log_.Open(logPath_, error)) {
        io_.err << "Cannot write the log: " << error << "\nNothing was written.\n";
        return kExitFile;
    }
    StopCounter stops;
    const Clock::time_point started = Clock::now();
    try {
        Start();
    } catch (const std::exception &e) {
        io_.err << "relaycfg: " << e.what() << "\nNothing was written.\n";
        for (auto &s : stations_) s->worker->Kill();
        for (auto &s : stations_) s->reader.join();
        return kExitInternal;
    }
    std::string names;
    for (const auto &s : stations_) names += (names.empty() ? "" : ", ") + s->label;
    Note("Stations " + names + " for " + std::to_string(queue_.Size()) +
         " repeaters: connect the units in any order; q and Enter stops.");

    unsigned stopsSeen = 0;
    while (AnyRunning()) {
        if (const unsigned stops_now = stops.Count(); stops_now > stopsSeen) {
            if (stopsSeen == 0) StopStations(End::Interrupted);
            if (stops_now > 1) StopWritesAtOnce();
            stopsSeen = stops_now;
        }
        if (std::optional<Event> event = events_->Pop(kStopCheck)) Handle(*event);
    }
    for (auto &s : stations_) s->reader.join();
    Summary(std::chrono::duration<double>(Clock::now() - started).count());
    return ExitCode();
}

}  // namespace

int ApplyPlanAtStations(const std::vector<const PlannedUnit *> &units,
                        const std::vector<std::string> &portLabels, const Invocation &invocation,
                        Console io) {
    StationRun run(units, portLabels, invocation, io);
    return run.Run();
}
