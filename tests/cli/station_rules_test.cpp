// The rules of plan apply at several stations that need no port: which entry a unit holds
// already, the order in which the queue hands out its entries, and the lines between the run and
// its workers (what goes through them comes back alike; a damaged line is no message).
#include <gtest/gtest.h>

#include "plan_file.h"
#include "plan_rules.h"
#include "station_protocol.h"
#include "station_queue.h"

namespace {

// Parents first: Hall A, Hall B, Yard.
const char kPlan[] =
    "[base]\nname = \"Base\"\nrfpi = \"02 5A 3C 81 43\"\n"
    "[[repeater]]\nname = \"Hall A\"\nparent = \"Base\"\nrpn = 1\n"
    "[[repeater]]\nname = \"Yard\"\nparent = \"Base\"\nrpn = 4\nmonitor_beep = false\n"
    "[[repeater]]\nname = \"Hall B\"\nparent = \"Hall A\"\nrpn = 2\nignore_hop_control = true\n";

using Image = std::array<uint8_t, 80>;

// An image relaying parent with repeater RPN byte rpnByte, beep and HOP bits as given.
Image ImageOf(std::array<uint8_t, 5> parent, uint8_t rpnByte, bool beep, bool hop) {
    Image image{};
    std::copy(parent.begin(), parent.end(), image.begin() + 68);
    image[2] = rpnByte;
    image[17] = beep ? 0x8C : 0x0C;
    image[5] = hop ? 0x82 : 0x02;
    return image;
}

TEST(StationQueue, AUnitHoldsAnEntryByItsRpnParentAndTheSwitchesThePlanGives) {
    const CheckedPlan plan = CheckPlan(ParsePlan(kPlan));
    ASSERT_TRUE(plan.Holds());
    std::vector<const PlannedUnit *> units;
    for (const PlannedUnit &unit : plan.units) units.push_back(&unit);
    const StationQueue queue(units);
    const std::array<uint8_t, 5> base = {0x02, 0x5A, 0x3C, 0x81, 0x43},
                                 hallA = {0x02, 0x5A, 0x3C, 0x81, 0x41};
    const struct {
        const char *name;
        Image image;
        std::optional<std::string> holds;
    } cases[] = {
        {"Hall A, switches as they come", ImageOf(base, 1, true, true), "Hall A"},
        {"the RPN under the class-A mask", ImageOf(base, 0xF9, false, false), "Hall A"},
        {"Yard with its beep off", ImageOf(base, 4, false, true), "Yard"},
        {"Yard with its beep on", ImageOf(base, 4, true, true), std::nullopt},
        {"Hall B ignoring HOP control", ImageOf(hallA, 2, true, true), "Hall B"},
        {"Hall B obeying it", ImageOf(hallA, 2, true, false), std::nullopt},
        {"Hall B's RPN on the base", ImageOf(base, 2, true, true), std::nullopt},
        {"a fresh unit", ImageOf({0x02, 0x11, 0x22, 0x33, 0x01}, 1, true, true), std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::size_t> held = queue.HeldBy(c.image);
        EXPECT_EQ(held ? std::optional(queue.Unit(*held).name) : std::nullopt, c.holds);
    }
}

TEST(StationQueue, EntriesGoOutInOrderAndAFailedOneComesBackInItsPlace) {
    const CheckedPlan plan = CheckPlan(ParsePlan(kPlan));
    std::vector<const PlannedUnit *> units;
    for (const PlannedUnit &unit : plan.units) units.push_back(&unit);
    StationQueue queue(units);
    auto name = [&](std::optional<std::size_t> entry) {
        return entry ? queue.Unit(*entry).name : "none";
    };

    const std::optional<std::size_t> a = queue.Take(), b = queue.Take();
    EXPECT_EQ(name(a), "Hall A");
    EXPECT_EQ(name(b), "Hall B") << "parents first";
    EXPECT_FALSE(queue.MarkHeld(*a)) << "being written: not found held as well";
    queue.GiveBack(*a);
    EXPECT_EQ(name(queue.Take()), "Hall A") << "back in its place, before Yard";
    queue.MarkWritten(*a);
    queue.GiveBack(*a);  // a written entry stays written
    EXPECT_TRUE(queue.MarkHeld(2));
    EXPECT_FALSE(queue.MarkHeld(2)) << "held once";
    EXPECT_EQ(name(queue.Take()), "none") << "Hall B is being written, the rest done";
    EXPECT_EQ(queue.NotDone(), std::vector<std::string>{"Hall B"});
    EXPECT_FALSE(queue.AllDone());
    queue.MarkWritten(*b);
    EXPECT_TRUE(queue.AllDone());
}

TEST(StationProtocol, MessagesComeBackAlikeAndDamagedLinesAreNone) {
    WorkerReport unit(WorkerReport::Kind::Unit);
    unit.unit = 12;
    for (std::size_t i = 0; i < unit.memory.info.size(); ++i)
        unit.memory.info[i] = uint8_t(0xF0 + i);
    for (std::size_t i = 0; i < unit.memory.image.size(); ++i)
        unit.memory.image[i] = uint8_t(3 * i);
    WorkerReport other(WorkerReport::Kind::Other);
    other.deviceType = 0x62;
    const WorkerReport reports[] = {
        unit,
        other,
        WorkerReport(WorkerReport::Kind::Port, "COM4 (/dev/ttyUSB0): Permission denied"),
        WorkerReport(WorkerReport::Kind::Backup, "C:\\Users\\tech\\backups\\COM2 a\\b.txt"),
        WorkerReport(WorkerReport::Kind::Written, "02 5A 3C 81 45", 2),
        WorkerReport(WorkerReport::Kind::Failed, "line one\nline \\n two\r", 1, 5),
        WorkerReport(WorkerReport::Kind::Gone),
    };
    for (const WorkerReport &r : reports) {
        const std::string line = FormatReport(r);
        SCOPED_TRACE(line);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "one line";
        const std::optional<WorkerReport> back = ParseReport(line);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->kind, r.kind);
        EXPECT_EQ(back->unit, r.unit);
        EXPECT_EQ(back->memory.info, r.memory.info);
        EXPECT_EQ(back->memory.image, r.memory.image);
        EXPECT_EQ(back->deviceType, r.deviceType);
        EXPECT_EQ(back->code, r.code);
        EXPECT_EQ(back->retries, r.retries);
        EXPECT_EQ(back->text, r.text);
    }
    FieldEdits edits;
    edits.parentRfpi = "02 5A 3C 81 43";
    edits.repeaterRpn = "200";
    edits.ignoreHop = false;
    const std::optional<StationOrder> program =
        ParseOrder(FormatOrder(StationOrder(StationOrder::Kind::Program, 7, edits)));
    ASSERT_TRUE(program);
    EXPECT_EQ(program->unit, 7u) << "the unit it answers";
    EXPECT_EQ(program->edits.parentRfpi, edits.parentRfpi);
    EXPECT_EQ(program->edits.repeaterRpn, edits.repeaterRpn);
    EXPECT_EQ(program->edits.monitorBeep, std::nullopt);
    EXPECT_EQ(program->edits.ignoreHop, false);
    for (const auto kind :
         {StationOrder::Kind::Leave, StationOrder::Kind::Wait, StationOrder::Kind::Stop}) {
        const std::optional<StationOrder> order = ParseOrder(FormatOrder(StationOrder(kind, 3)));
        ASSERT_TRUE(order);
        EXPECT_EQ(order->kind, kind);
        EXPECT_EQ(order->unit, kind == StationOrder::Kind::Stop ? 0u : 3u);
    }

    for (const char *line : {"", "units", "unit 00", "unit 1 00 00", "other 6", "other 620", "port",
                             "written 1", "written x 02 5A", "failed 0 0 no code", "failed 3 -1 x",
                             "gone now", "AddressSanitizer: heap-use-after-free"}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(ParseReport(line));
    }
    for (const char *line : {"program 1 025A3C81 1 on -", "program 1 025A3C8143 x on -",
                             "program 1 025A3C8143 1 yes -", "program 1 025A3C8143 1 on",
                             "program 025A3C8143 1 on -", "leave", "wait x", "stop now", "go"}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(ParseOrder(line));
    }
}

}  // namespace
