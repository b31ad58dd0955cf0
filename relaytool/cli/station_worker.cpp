#include "station_worker.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <iostream>
#include <memory>
#include <sstream>
#include <thread>

#include "exit_codes.h"
#include "image_rules.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "message_queue.h"
#include "plan_apply.h"
#include "plan_prompt.h"
#include "plan_rules.h"
#include "port_access.h"
#include "repeater_session.h"
#include "station_protocol.h"
#include "unit_programming.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often the line is asked whether a unit has come or gone.
constexpr milliseconds kProbeInterval{1000};
// Bytes of the image that tell one unit from another while it should still be the same one:
// the repeater RPN (in the first mail) and the parent RFPI (in the last two).
constexpr uint16_t kFirstMail = 0, kRfpiMails = 64;
constexpr uint8_t kMailBytes = 8;

class Worker {
public:
    explicit Worker(const std::string &port)
        : port_(port), probe_(port, Console{discard_, discard_, false, nullptr}, true) {}

    int Run();

private:
    enum class Leaving { Gone, Stop, Program };
    struct Unit {
        RepeaterMemory memory;
        bool imageKnown = true;  // what it holds is known (not after a failed write)
    };

    void Report(const WorkerReport &report) { std::cout << FormatReport(report) << std::endl; }
    // The next order within `wait` (a stop for the end of the input); nullopt when none came.
    std::optional<StationOrder> NextOrder(milliseconds wait);
    // The answer to unit report `unit` (orders meant for an earlier unit are dropped); nullopt
    // at a stop.
    std::optional<StationOrder> AnswerTo(unsigned unit);
    // Idles until `until` while watching for a stop; false when one came.
    bool IdleUntil(Clock::time_point until);
    // Polls until a supported repeater answers; false at a stop.
    bool WaitForUnit();
    // Whether the unit is still on the line: the same identification block and, when known,
    // the same RPN and parent RFPI.
    bool StillThere(const Unit &unit);
    // Polls until the unit is gone, or (when an order may come) until one does.
    Leaving WaitUntilGone(const Unit &unit, bool orderMayCome, StationOrder &order);
    // Loads the unit, reports it and does what it is told; false at a stop.
    bool ServeUnit();
    // Programs the loaded unit; what it holds afterwards.
    Unit Program(RepeaterSession &session, const FieldEdits &edits);

    std::string port_;
    std::ostringstream discard_;
    RepeaterSession probe_;  // binds the port for the probes; its own reports are discarded
    std::shared_ptr<MessageQueue<std::string>> orders_ =
        std::make_shared<MessageQueue<std::string>>();
    bool stop_ = false;
    bool interrupted_ = false;
    unsigned units_ = 0;  // units reported so far: the number of the last one
};

std::optional<StationOrder> Worker::AnswerTo(unsigned unit) {
    while (!stop_) {
        const std::optional<StationOrder> order = NextOrder(milliseconds(60'000));
        if (order && order->kind != StationOrder::Kind::Stop && order->unit == unit) return order;
    }
    return std::nullopt;
}

std::optional<StationOrder> Worker::NextOrder(milliseconds wait) {
    const std::optional<std::string> line = orders_->Pop(wait);
    if (!line) return std::nullopt;
    std::optional<StationOrder> order = ParseOrder(*line);
    if (!order)
        std::cerr << "unknown order \"" << *line << "\"" << std::endl;
    else if (order->kind == StationOrder::Kind::Stop)
        stop_ = true;
    return order;
}

// The orders that are waiting are read even when the time is up already: a probe of a silent
// line can take longer than the probe interval (its echo budget, and a retry), and a stop must
// never wait behind the probes.
bool Worker::IdleUntil(Clock::time_point until) {
    for (;;) {
        const milliseconds left = std::max(
            milliseconds(0), std::chrono::duration_cast<milliseconds>(until - Clock::now()));
        const bool ordered = NextOrder(left).has_value();  // nothing but a stop is expected now
        if (stop_) return false;
        if (!ordered && left.count() == 0) return true;
    }
}

bool Worker::WaitForUnit() {
    bool otherSaid = false;
    std::string portSaid;
    for (;;) {
        const Clock::time_point start = Clock::now();
        const int8_t code = ReadInfoBlock(0, layout::kInfoBlockSize);
        if (code == 0 && InfoBlock[layout::kDeviceType] == layout::kSupportedDevice) return true;
        if (code == 0 && !otherSaid) {
            WorkerReport other(WorkerReport::Kind::Other);
            other.deviceType = InfoBlock[layout::kDeviceType];
            Report(other);
            otherSaid = true;
        } else if (code != 0) {
            if (otherSaid) Report(WorkerReport(WorkerReport::Kind::Gone));
            otherSaid = false;
            std::string why;
            if (code == kOpenFailedCode) {
                why = DiagnosePortFailure(probe_.Port().Number(), probe_.Port().Label());
                if (why.empty()) why = kReadFailureText + TransferErrorText(code);
            }
            if (!why.empty() && why != portSaid)
                Report(WorkerReport(WorkerReport::Kind::Port, why));
            portSaid = why;
        }
        if (!IdleUntil(start + kProbeInterval)) return false;
    }
}

bool Worker::StillThere(const Unit &unit) {
    if (ReadInfoBlock(0, layout::kInfoBlockSize) != 0 ||
        !std::equal(unit.memory.info.begin(), unit.memory.info.end(), InfoBlock))
        return false;
    if (!unit.imageKnown) return true;
    uint8_t image[layout::kImageSize] = {};
    for (const uint16_t at : {kFirstMail, kRfpiMails, uint16_t(kRfpiMails + kMailBytes)}) {
        if (ReadConfigImageInto(image, at, kMailBytes) != 0 ||
            !std::equal(image + at, image + at + kMailBytes, unit.memory.image.begin() + at))
            return false;
    }
    return true;
}

Worker::Leaving Worker::WaitUntilGone(const Unit &unit, bool orderMayCome, StationOrder &order) {
    for (;;) {
        // First a pause: a unit is not taken away the moment it is done.
        const Clock::time_point until = Clock::now() + kProbeInterval;
        while (!stop_) {
            const auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now());
            if (left.count() <= 0) break;
            const std::optional<StationOrder> next = NextOrder(left);
            if (next && orderMayCome && next->kind == StationOrder::Kind::Program &&
                next->unit == units_) {
                order = *next;
                return Leaving::Program;
            }
        }
        if (stop_) return Leaving::Stop;
        if (!StillThere(unit)) {
            Report(WorkerReport(WorkerReport::Kind::Gone));
            return Leaving::Gone;
        }
    }
}

Worker::Unit Worker::Program(RepeaterSession &session, const FieldEdits &edits) {
    Unit unit{session.Current(), false};
    EditedImage edited;
    int code = EditImage(session, edits, edited);
    if (code == kExitOk) code = session.BackUp(edited.device);
    if (code == kExitOk) {
        Report(WorkerReport(WorkerReport::Kind::Backup, session.BackupPath()));
        code = session.WriteAndVerify(edited.image);
    }
    interrupted_ = session.Interrupted();
    if (code == kExitOk) {
        Report(WorkerReport(WorkerReport::Kind::Written, RfpiText(RepeaterRfpi(ConfigImage)),
                            session.Retries()));
        unit.memory.image = edited.image;
        unit.imageKnown = true;
    } else {
        Report(WorkerReport(WorkerReport::Kind::Failed, FailureText(discard_.str(), code),
                            session.Retries(), code));
    }
    return unit;
}

bool Worker::ServeUnit() {
    discard_.str("");
    RepeaterSession session(port_, Console{discard_, discard_, false, nullptr}, true);
    // A unit that answered the probe but cannot be loaded is waited out as if it had not come.
    if (session.Load() != kExitOk) return true;
    Unit unit{session.Current(), true};
    WorkerReport loaded(WorkerReport::Kind::Unit);
    loaded.unit = ++units_;
    loaded.memory = unit.memory;
    Report(loaded);
    const std::optional<StationOrder> order = AnswerTo(units_);
    if (!order) return false;

    if (order->kind == StationOrder::Kind::Wait) {
        StationOrder given;
        switch (WaitUntilGone(unit, true, given)) {
            case Leaving::Gone: return true;
            case Leaving::Stop: return false;
            case Leaving::Program: break;
        }
        // Probes have passed since the load: the unit is loaded again before anything is written.
        discard_.str("");
        if (const int code = session.Load(); code != kExitOk) {
            Report(WorkerReport(WorkerReport::Kind::Failed, FailureText(discard_.str(), code),
                                session.Retries(), code));
            unit.imageKnown = false;
        } else {
            unit = Program(session, given.edits);
        }
    } else if (order->kind == StationOrder::Kind::Program) {
        unit = Program(session, order->edits);
    }
    if (interrupted_) return false;
    StationOrder ignored;
    return WaitUntilGone(unit, false, ignored) == Leaving::Gone;
}

int Worker::Run() {
    // The orders are read on a thread of their own, so that the probes go on meanwhile; the end of
    // the input is a stop.
    std::thread([orders = orders_] {
        ForEachLine(ReadStandardInput,
                    [&orders](std::string line) { orders->Push(std::move(line)); });
        orders->Push("stop");
    }).detach();
    while (WaitForUnit() && ServeUnit()) {
    }
    return interrupted_ ? kExitInterrupted : kExitOk;
}

}  // namespace

int RunStationWorker(const std::string &port) {
    try {
        Worker worker(port);
        return worker.Run();
    } catch (const std::exception &e) {
        std::cerr << "relaycfg: " << e.what() << std::endl;
        return kExitInternal;
    }
}
