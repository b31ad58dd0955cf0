// relaycfg plan apply --all at three stations (COM1 to COM3, simulated repeaters that start with
// no unit), run as a program on a terminal: the test plays the technician who connects units in
// any order and takes them away once they are done, pulls one out during its write, kills a
// station's worker, and types q or Ctrl-C.
#include <signal.h>

#include <array>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include "cli_fixture.h"
#include "exit_codes.h"
#include "plan_log.h"
#include "terminal_program.h"
#include "test_files.h"

namespace {

// Parents first, then the plan's order: Hall A, Hall B, Yard, Gate.
const char kPlan[] =
    "[base]\nname = \"Base\"\nrfpi = \"02 5A 3C 81 43\"\n"
    "[[repeater]]\nname = \"Hall A\"\nparent = \"Base\"\nrpn = 1\n"
    "[[repeater]]\nname = \"Hall B\"\nparent = \"Hall A\"\nrpn = 2\nignore_hop_control = true\n"
    "[[repeater]]\nname = \"Yard\"\nparent = \"Base\"\nrpn = 4\nmonitor_beep = false\n"
    "[[repeater]]\nname = \"Gate\"\nparent = \"Yard\"\nrpn = 6\n";
const std::vector<std::string> kOrder = {"Hall A", "Hall B", "Yard", "Gate"};

struct Planned {
    Bytes parentRfpi;
    uint8_t rpn;
};
Planned PlannedFor(const std::string &name) {
    if (name == "Hall A") return {{0x02, 0x5A, 0x3C, 0x81, 0x43}, 1};
    if (name == "Hall B") return {{0x02, 0x5A, 0x3C, 0x81, 0x41}, 2};
    if (name == "Yard") return {{0x02, 0x5A, 0x3C, 0x81, 0x43}, 4};
    return {{0x02, 0x5A, 0x3C, 0x81, 0x44}, 6};
}

// The worker that relaycfg started for a port: a child process "relaycfg --station-worker PORT".
pid_t WorkerOf(pid_t parent, const std::string &port) {
    std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) +
                           "/children");
    for (pid_t child; children >> child;) {
        std::ifstream in("/proc/" + std::to_string(child) + "/cmdline", std::ios::binary);
        const std::string cmdline(std::istreambuf_iterator<char>(in), {});
        if (cmdline.find(std::string("--station-worker") + '\0' + port + '\0') != std::string::npos)
            return child;
    }
    return -1;
}

class CliStations : public testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_STATE_HOME", state_.Path().c_str(), 1);
        for (unsigned com = 1; com <= sims_.size(); ++com) {
            repeatersim::Options options;
            options.unplugged = true;
            sims_[com - 1] = std::make_unique<repeatersim::Simulator>(options);
            Sim(com).Start();
            Sim(com).Publish(ports_.Path(), com);
        }
        WriteFile(plan_, kPlan);
    }
    void TearDown() override { ::unsetenv("XDG_STATE_HOME"); }

    repeatersim::Simulator &Sim(unsigned com) { return *sims_[com - 1]; }

    // A unit with bytes of its own, relaying a parent that no entry of the plan has.
    static Bytes UnitImage(uint8_t seed) {
        Bytes config(repeatersim::kConfigSize);
        for (std::size_t i = 0; i < config.size(); ++i)
            config[i] = static_cast<uint8_t>(seed + 11 * i);
        const Bytes rfpi = {0x02, 0x11, 0x22, 0x33, 0x01};
        std::copy(rfpi.begin(), rfpi.end(), config.begin() + 68);
        return config;
    }
    void Connect(unsigned com, const Bytes &config, uint8_t deviceType = 'a') {
        auto info = repeatersim::SampleInfoBlock();
        info[18] = deviceType;
        Sim(com).PlugIn(info, config);
    }
    // Takes the unit off the line; what it holds.
    Bytes TakeAway(unsigned com) {
        const Bytes config = Sim(com).Config();
        Sim(com).Unplug();
        return config;
    }

    std::unique_ptr<TerminalProgram> StartStations() {
        return std::make_unique<TerminalProgram>(
            std::vector<std::string>{"plan", "apply", plan_, "--all", "--port", "COM1", "--port",
                                     "COM2", "--port", "com3", "--log", log_},
            out_);
    }
    std::string Out() const { return ReadFileOrEmpty(out_); }

    // The entry COMn says it wrote ("COM1: "Hall A" written and verified; ..."), in order.
    std::vector<std::string> WrittenOn(unsigned com) const {
        const std::regex line("COM" + std::to_string(com) +
                              ": \"([^\"]+)\" written and verified; label it and disconnect it");
        std::vector<std::string> names;
        const std::string out = Out();
        for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it)
            names.push_back((*it)[1]);
        return names;
    }
    std::string FailedOn(unsigned com) const {
        std::smatch m;
        const std::string out = Out();
        const std::regex failed("COM" + std::to_string(com) + ": \"([^\"]+)\" failed: ");
        return std::regex_search(out, m, failed) ? m[1].str() : "";
    }

    unsigned WriteMails(unsigned com) const { return WriteMailsIn(sims_[com - 1]->Received()); }

    static void ExpectProgrammed(const Bytes &config, const std::string &name) {
        SCOPED_TRACE(name);
        const Planned planned = PlannedFor(name);
        EXPECT_EQ(Bytes(config.begin() + 68, config.begin() + 73), planned.parentRfpi);
        EXPECT_EQ(config[2], planned.rpn);
    }

    std::vector<std::string> LogLines() const { return Lines(ReadFileOrEmpty(log_)); }
    // A log line's fields after the time.
    static std::string AfterTime(const std::string &line) {
        return line.substr(line.find(',') + 1);
    }

    std::vector<std::string> Backups() const {
        std::vector<std::string> files;
        std::error_code ec;
        for (const auto &e :
             std::filesystem::directory_iterator(state_.Path() + "/relaycfg/backups", ec))
            files.push_back(e.path().string());
        std::sort(files.begin(), files.end());
        return files;
    }
    std::string BackupOf(const std::string &port) const {
        for (const std::string &b : Backups())
            if (std::filesystem::path(b).filename().string().rfind(port + "-", 0) == 0) return b;
        return "";
    }

    TempPortDir ports_;
    testsupport::TempFolder state_;
    testsupport::TempFolder files_;
    std::array<std::unique_ptr<repeatersim::Simulator>, 3> sims_;
    std::string plan_ = files_.File("site.toml");
    std::string log_ = files_.File("site.csv");
    std::string out_ = files_.File("stdout");
};

TEST_F(CliStations, APortGivenTwiceOrTwoNamesOfOneDeviceAreRefusedBeforeAnything) {
    const struct {
        std::vector<std::string> ports;
        std::string message;
    } cases[] = {
        {{"COM2", "com2"}, "relaycfg: --port COM2 is given twice\n"},
        {{"COM1", "COM2", Sim(1).DevicePath()},
         "relaycfg: --port COM1 and --port " + Sim(1).DevicePath() + " are one device, " +
             Sim(1).DevicePath() + "\n"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"plan", "apply", plan_, "--all", "--log", log_};
        for (const std::string &port : c.ports) args.insert(args.end(), {"--port", port});
        std::ostringstream out, err;
        EXPECT_EQ(RunRelaycfg(args, {out, err, false}), kExitUsage);
        EXPECT_EQ(err.str().substr(0, c.message.size()), c.message);
        EXPECT_FALSE(std::filesystem::exists(log_)) << "refused before the log is opened";
    }
}

TEST_F(CliStations, UnitsConnectedInAnyOrderTakeTheNextEntryUntilEveryEntryIsDone) {
    Connect(1, UnitImage(0x10));
    Connect(2, UnitImage(0x20));
    Connect(3, UnitImage(0x30), 'b');  // another device
    // A unit set up as Gate already: its parent RFPI and RPN as the plan gives them.
    Bytes gate = UnitImage(0x40);
    const Bytes yardTransmits = {0x02, 0x5A, 0x3C, 0x81, 0x44};
    std::copy(yardTransmits.begin(), yardTransmits.end(), gate.begin() + 68);
    gate[2] = 0x06;

    const auto relaycfg = StartStations();
    ASSERT_TRUE(relaycfg->Started());
    ASSERT_TRUE(relaycfg->WaitUntil([&] { return WrittenOn(1).size() + WrittenOn(2).size() == 2; }))
        << relaycfg->Screen() << Out();
    const std::set<std::string> first = {WrittenOn(1)[0], WrittenOn(2)[0]};
    EXPECT_EQ(first, (std::set<std::string>{"Hall A", "Hall B"}))
        << "the first two entries, one each";
    EXPECT_EQ(Count(relaycfg->Screen(),
                    "COM3: not a supported repeater (device type 0x62); disconnect it"),
              1u)
        << "said once while it stays";

    const Bytes unit1 = TakeAway(1), unit2 = TakeAway(2);
    TakeAway(3);
    Connect(3, gate);
    ASSERT_TRUE(relaycfg->WaitUntil([&] {
        return Out().find("COM3: this unit holds \"Gate\" already; disconnect it\n") !=
               std::string::npos;
    })) << relaycfg->Screen()
        << Out();
    // The next unit on COM1 in place of the first, faster than the station asks the line.
    Connect(1, UnitImage(0x50));
    EXPECT_EQ(relaycfg->Wait(), kExitOk) << relaycfg->Screen() << Out();

    EXPECT_EQ(WrittenOn(1), (std::vector<std::string>{WrittenOn(1)[0], "Yard"}));
    ExpectProgrammed(unit1, WrittenOn(1)[0]);
    ExpectProgrammed(unit2, WrittenOn(2)[0]);
    ExpectProgrammed(Sim(1).Config(), "Yard");
    EXPECT_EQ(Sim(1).Config()[17] & 0x80, 0) << "Yard's monitor beep off";
    EXPECT_EQ(Sim(3).Config(), gate) << "a unit that holds its entry is not written";
    EXPECT_EQ(WriteMails(3), 0u);
    EXPECT_NE(
        relaycfg->Screen().find("Written 3, failed 0, already held 1 of 4 repeaters; 3 stations, "),
        std::string::npos)
        << relaycfg->Screen();
    EXPECT_NE(relaycfg->Screen().find(" units an hour; log: " + log_), std::string::npos);

    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 5u) << "the header and one line per unit of the plan";
    EXPECT_EQ(log[0], kPlanLogHeader);
    EXPECT_EQ(Backups().size(), 3u) << "one backup per write";
    std::set<std::string> lines;
    for (std::size_t i = 1; i < log.size(); ++i) lines.insert(AfterTime(log[i]));
    EXPECT_EQ(lines.count("Gate,COM3,held,,02 5A 3C 81 46,0"), 1u)
        << log[1] << log[2] << log[3] << log[4];
    for (unsigned com : {1u, 2u}) {
        const std::string name = WrittenOn(com)[0];
        const std::string transmits = name == "Hall A" ? "02 5A 3C 81 41" : "02 5A 3C 81 42";
        EXPECT_EQ(lines.count(name + ",COM" + std::to_string(com) + ",written," +
                              BackupOf("COM" + std::to_string(com)) + "," + transmits + ",0"),
                  1u);
    }
}

TEST_F(CliStations, AUnitPulledOutAndAWorkerKilledPutTheirEntriesBackInTheQueue) {
    for (unsigned com = 1; com <= 3; ++com) Connect(com, UnitImage(uint8_t(0x10 * com)));
    const auto relaycfg = StartStations();
    ASSERT_TRUE(relaycfg->Started());
    // COM2's unit is pulled out during its write, then COM3's worker is killed during its own.
    ASSERT_TRUE(relaycfg->WaitUntil([&] { return WriteMails(2) >= 2; })) << relaycfg->Screen();
    Sim(2).Unplug();
    ASSERT_TRUE(relaycfg->WaitUntil([&] { return WriteMails(3) >= 3; })) << relaycfg->Screen();
    ASSERT_LT(WriteMails(3), 10u);
    const pid_t worker = WorkerOf(relaycfg->Pid(), "COM3");
    ASSERT_GT(worker, 0);
    ::kill(worker, SIGKILL);

    ASSERT_TRUE(relaycfg->WaitUntil([&] {
        return !FailedOn(2).empty() && !FailedOn(3).empty() && !WrittenOn(1).empty();
    })) << relaycfg->Screen()
        << Out();
    const std::string pulled = FailedOn(2), killed = FailedOn(3);
    const std::string b2 = BackupOf("COM2"), b3 = BackupOf("COM3");
    EXPECT_NE(Out().find("COM2: \"" + pulled +
                         "\" failed: An error occured while writing to target: No local echo.; "
                         "back in the queue; previous image in " +
                         b2 + "; put it back with: relaycfg restore --port COM2 " + b2 + "\n"),
              std::string::npos)
        << Out();
    EXPECT_NE(Out().find("COM3: \"" + killed +
                         "\" failed: the station's worker ended (killed by signal 9); "
                         "back in the queue; previous image in " +
                         b3 + "; put it back with: relaycfg restore --port COM3 " + b3 + "\n"),
              std::string::npos)
        << Out();
    EXPECT_NE(
        relaycfg->Screen().find(
            "COM3: station lost: its worker ended (killed by signal 9); the other stations go on"),
        std::string::npos)
        << relaycfg->Screen();

    // The next unit on COM1 takes the first entry of the queue again: a failed one.
    TakeAway(1);
    Connect(1, UnitImage(0x70));
    std::string again = pulled;
    for (const std::string &name : kOrder)
        if (name == pulled || name == killed) {
            again = name;
            break;
        }
    ASSERT_TRUE(relaycfg->WaitUntil([&] { return WrittenOn(1).size() == 2; }))
        << relaycfg->Screen() << Out();
    EXPECT_EQ(WrittenOn(1)[1], again);
    ExpectProgrammed(Sim(1).Config(), again);

    relaycfg->Type("q\n");
    EXPECT_EQ(relaycfg->Wait(), kExitTransfer)
        << "stopped with entries left: the first failure's code";
    EXPECT_NE(relaycfg->Screen().find(
                  "Written 2, failed 2, already held 0 of 4 repeaters, 2 not done (stopped): "),
              std::string::npos)
        << relaycfg->Screen();
    EXPECT_NE(relaycfg->Screen().find("Station lost: COM3 (killed by signal 9)"),
              std::string::npos);
    std::set<std::string> lines;
    for (const std::string &line : LogLines()) lines.insert(AfterTime(line));
    EXPECT_EQ(LogLines().size(), 5u);
    EXPECT_EQ(
        lines.count(pulled +
                    ",COM2,failed: An error occured while writing to target: No local echo.," + b2 +
                    ",,0"),
        1u);
    EXPECT_EQ(
        lines.count(killed + ",COM3,failed: the station's worker ended (killed by signal 9)," + b3 +
                    ",,0"),
        1u);
}

TEST_F(CliStations, AUnitWithNoEntryFreeWaitsAndTakesTheEntryOfAFailedWrite) {
    WriteFile(plan_, std::string(kPlan).substr(
                         0, std::string(kPlan).find("[[repeater]]\nname = \"Yard\"")));
    for (unsigned com = 1; com <= 3; ++com) Connect(com, UnitImage(uint8_t(0x10 * com)));
    const auto relaycfg = StartStations();
    ASSERT_TRUE(relaycfg->Started());
    // Two units take Hall A and Hall B; the third waits.
    const std::regex waits(
        "COM([1-3]): every repeater is written or being written; the unit waits in case a write "
        "fails");
    std::smatch m;
    ASSERT_TRUE(relaycfg->WaitUntil([&] {
        return std::regex_search(relaycfg->Screen(), m, waits);
    })) << relaycfg->Screen();
    const unsigned waiting = unsigned(std::stoi(m[1].str()));
    const unsigned pulled = waiting == 1 ? 2 : 1;
    ASSERT_TRUE(relaycfg->WaitUntil([&] { return WriteMails(pulled) >= 2; })) << relaycfg->Screen();
    Sim(pulled).Unplug();

    EXPECT_EQ(relaycfg->Wait(), kExitOk)
        << "every entry written in the end" << relaycfg->Screen() << Out();
    const std::string entry = FailedOn(pulled);
    ASSERT_NE(entry, "") << Out();
    EXPECT_EQ(WrittenOn(waiting), std::vector<std::string>{entry}) << Out();
    ExpectProgrammed(Sim(waiting).Config(), entry);
    EXPECT_NE(
        relaycfg->Screen().find("Written 2, failed 1, already held 0 of 2 repeaters; 3 stations, "),
        std::string::npos)
        << relaycfg->Screen();
}

TEST_F(CliStations, CtrlCLetsEveryStationFinishItsWriteAndASecondStopsThemAtOnce) {
    for (const bool twice : {false, true}) {
        SCOPED_TRACE(twice ? "Ctrl-C twice" : "Ctrl-C once");
        for (const std::string &b : Backups()) std::filesystem::remove(b);
        std::filesystem::remove(log_);
        for (unsigned com = 1; com <= 3; ++com) {
            Sim(com).Unplug();
            Sim(com).ClearReceived();
        }
        Connect(1, UnitImage(0x10));
        Connect(2, UnitImage(0x20));
        Connect(3, UnitImage(0x30), 'b');  // another device: its station only asks the line
        const auto relaycfg = StartStations();
        ASSERT_TRUE(relaycfg->Started());
        ASSERT_TRUE(relaycfg->WaitUntil([&] { return WriteMails(1) >= 2 && WriteMails(2) >= 2; }))
            << relaycfg->Screen();
        relaycfg->Type("\x03");
        ASSERT_TRUE(relaycfg->WaitUntil([&] {
            return relaycfg->Screen().find("Stopping: finishing the write of COM1, about ") !=
                       std::string::npos &&
                   relaycfg->Screen().find("Stopping: finishing the write of COM2, about ") !=
                       std::string::npos;
        })) << relaycfg->Screen();
        if (twice) relaycfg->Type("\x03");
        EXPECT_EQ(relaycfg->Wait(), kExitInterrupted) << relaycfg->Screen();

        std::set<std::string> lines;
        for (const std::string &line : LogLines()) lines.insert(AfterTime(line));
        EXPECT_EQ(lines.size(), 3u) << "the header and the two units written";
        for (unsigned com : {1u, 2u}) {
            const std::string port = "COM" + std::to_string(com), backup = BackupOf(port);
            ASSERT_NE(backup, "");
            const std::string restore =
                "Put it back with: relaycfg restore --port " + port + " " + backup + "\r\n";
            EXPECT_NE(relaycfg->Screen().find(restore), std::string::npos) << relaycfg->Screen();
            EXPECT_EQ(
                Count(relaycfg->Screen(), "Stopping: finishing the write of " + port + ", about "),
                1u)
                << "the workers hear no Ctrl-C of the terminal: only the run tells them";
            if (twice) {
                EXPECT_LT(WriteMails(com), 10u) << "cut short";
                EXPECT_NE(
                    relaycfg->Screen().find("Stopped during the write of " + port +
                                            ": the repeater may hold part of the new image.\r\n"),
                    std::string::npos);
                EXPECT_EQ(
                    Count(ReadFileOrEmpty(log_),
                          "," + port + ",failed: stopped during the write," + backup + ",,0\n"),
                    1u);
            } else {
                EXPECT_EQ(WriteMails(com), 10u) << "the whole image written";
                EXPECT_EQ(WrittenOn(com).size(), 1u);
                EXPECT_NE(relaycfg->Screen().find("Stopped as asked, after the write of " + port +
                                                  " was finished and verified.\r\n"),
                          std::string::npos);
                EXPECT_EQ(Count(ReadFileOrEmpty(log_), "," + port + ",written," + backup + ","),
                          1u);
            }
        }
        if (!twice) {
            EXPECT_NE(relaycfg->Screen().find("Written 2, failed 0, already held 0 of 4 repeaters, "
                                              "2 not done (interrupted): "),
                      std::string::npos)
                << relaycfg->Screen();
        }
        // No worker outlives the run: COM3's would go on asking its line.
        const std::size_t asked = Sim(3).Received().size();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(Sim(3).Received().size(), asked);
    }
}

}  // namespace
