// relaycfg plan apply and plan capture against the simulated repeater. `apply --all` programs
// a chain of units through one port: the test swaps the simulator's memory whenever relaycfg
// asks for the next unit to be connected, as a technician swaps the units.
#include <fstream>
#include <functional>
#include <iterator>
#include <streambuf>

#include "cli_fixture.h"
#include "exit_codes.h"
#include "plan_file.h"
#include "plan_log.h"
#include "plan_prompt.h"
#include "text_files.h"

namespace {

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The answers of a run: before each line is read, the next step connects a unit; then its
// answer is the line. Lines typed ahead come first, unless the prompt throws them away.
class PromptAnswers : public PromptInput {
public:
    struct Step {
        std::function<void()> connect;
        std::string answer;
    };
    explicit PromptAnswers(std::vector<Step> steps, std::vector<std::string> typedAhead = {})
        : steps_(std::move(steps)), typedAhead_(std::move(typedAhead)) {}

    void DiscardTypedAhead() override { typedAhead_.clear(); }
    bool ReadLine(std::string &line) override {
        if (!typedAhead_.empty()) {
            line = typedAhead_.front();
            typedAhead_.erase(typedAhead_.begin());
            return true;
        }
        if (next_ == steps_.size()) return false;
        Step &step = steps_[next_++];
        if (step.connect) step.connect();
        line = step.answer;
        return true;
    }

private:
    std::vector<Step> steps_;
    std::vector<std::string> typedAhead_;
    std::size_t next_ = 0;
};

TEST(PlanPrompt, EnterGoesSSkipsQStopsAnythingElseAsksAgain) {
    struct Case {
        const char *name;
        std::vector<std::string> lines;
        PromptReply reply;
        std::size_t prompts;
        std::vector<std::string> typedAhead = {};
    };
    const Case cases[] = {
        {"Enter alone", {""}, PromptReply::Go, 1},
        {"blanks and a CR", {" \t\r"}, PromptReply::Go, 1},
        {"s", {"s"}, PromptReply::Skip, 1},
        {"skip in capitals, blanks around", {"  SKIP "}, PromptReply::Skip, 1},
        {"q", {"Q"}, PromptReply::Stop, 1},
        {"quit", {"quit"}, PromptReply::Stop, 1},
        {"n asks again", {"n", ""}, PromptReply::Go, 2},
        {"words that are no answer", {"yes", "sk", "s q", "skipp", "s"}, PromptReply::Skip, 5},
        {"the end of the input", {}, PromptReply::Stop, 1},
        {"the end after an unclear answer", {"go"}, PromptReply::Stop, 2},
        // Enter pressed twice while the previous unit was being programmed.
        {"keys typed ahead are thrown away", {"s"}, PromptReply::Skip, 1, {"", ""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<PromptAnswers::Step> steps;
        for (const std::string &line : c.lines) steps.push_back({nullptr, line});
        PromptAnswers answers(steps, c.typedAhead);
        std::ostringstream out, err;
        EXPECT_EQ(AskToConnect("Hall A", "COM1", {out, err, false, &answers}), c.reply);
        EXPECT_EQ(Count(err.str(), "Connect repeater \"Hall A\" to COM1 and press Enter (s skips, q stops) "),
                  c.prompts)
            << err.str();
        EXPECT_EQ(Count(err.str(), "Press Enter alone to program it, s to skip it or q to stop.\n"),
                  c.prompts - 1);
        EXPECT_EQ(out.str(), "");
    }
}

const char kPlan[] =
    "# Warehouse 3, as planned\n"
    "[site]\nname = \"Warehouse 3\"\n\n"
    "[base]\nname = \"Base\"\nrfpi = \"02 5A 3C 81 43\"\n\n"
    "[[repeater]]\nname = \"Hall A\"\nparent = \"Base\"\nrpn = 5\nmonitor_beep = false\n\n"
    "[[repeater]]\nname = \"Hall B\"\nparent = \"Hall A\"\nrpn = 6\nignore_hop_control = true\n\n"
    "[[repeater]]\nname = \"Hall C\"\nparent = \"Hall B\"\nrpn = 7\n";

class CliPlan : public CliTest {
protected:
    struct Unit {
        std::array<uint8_t, repeatersim::kInfoSize> info;
        Bytes config;
    };

    void SetUp() override {
        CliTest::SetUp();
        plan_ = files_.File("site.toml");
        std::string error;
        ASSERT_TRUE(WriteTextFile(plan_, kPlan, true, error)) << error;
    }

    // A unit with its own distinct bytes, on a class-A parent it does not relay yet.
    Unit MakeUnit(uint8_t seed) {
        Unit unit{repeatersim::SampleInfoBlock(), Bytes(repeatersim::kConfigSize)};
        for (std::size_t i = 0; i < unit.config.size(); ++i)
            unit.config[i] = static_cast<uint8_t>(seed + 11 * i);
        const Bytes rfpi = {0x02, 0x11, 0x22, 0x33, 0x01};
        std::copy(rfpi.begin(), rfpi.end(), unit.config.begin() + 68);
        return unit;
    }

    // Takes the connected unit's memory back, and connects units_[index].
    void Connect(int index) {
        if (connected_ >= 0) units_[connected_] = {sim_.Info(), sim_.Config()};
        connected_ = index;
        if (index < 0) return;
        sim_.SetInfo(units_[index].info);
        sim_.SetConfig(units_[index].config);
        sim_.SetFault({});
    }

    CliRun RunWithAnswers(std::vector<std::string> args, std::vector<PromptAnswers::Step> steps) {
        PromptAnswers answers(std::move(steps));
        std::ostringstream out, err;
        CliRun run;
        run.code = RunRelaycfg(args, {out, err, false, &answers});
        run.out = out.str();
        run.err = err.str();
        Connect(-1);
        return run;
    }

    // The image a unit holds after being programmed with these values by the window's rules.
    static Bytes Programmed(const Unit &before, const Bytes &parentRfpi, uint8_t rpn,
                            std::optional<bool> beep, std::optional<bool> hop) {
        Bytes image(before.config.begin(), before.config.begin() + 80);
        std::copy(parentRfpi.begin(), parentRfpi.end(), image.begin() + 68);
        image[2] = rpn;
        if (beep) image[17] = static_cast<uint8_t>(*beep ? image[17] | 0x80 : image[17] & 0x7F);
        const bool ignoreHop = hop.value_or((image[5] & 0x80) != 0);
        image[5] = ignoreHop ? 0x82 : 0x02;
        image[22] = image[23] = 0;
        image[67] = 0xA8;
        return image;
    }

    static Bytes ImageOf(const Unit &unit) { return Bytes(unit.config.begin(), unit.config.begin() + 80); }

    std::string plan_;
    std::vector<Unit> units_;
    int connected_ = -1;
};

TEST_F(CliPlan, AllProgramsTheChainParentsFirstThroughOnePort) {
    units_ = {MakeUnit(0x10), MakeUnit(0x20), MakeUnit(0x30)};
    const std::vector<Unit> before = units_;
    const CliRun run = RunWithAnswers({"plan", "apply", plan_, "--port", "COM1", "--all", "--quiet"},
                                      {{[&] { Connect(0); }, ""},
                                       {[&] { Connect(1); }, ""},
                                       {[&] { Connect(2); }, ""}});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(run.out, "\"Hall A\" written: transmits 02 5A 3C 81 45\n"
                       "\"Hall B\" written: transmits 02 5A 3C 81 46\n"
                       "\"Hall C\" written: transmits 02 5A 3C 81 47\n");
    EXPECT_EQ(run.err, "Connect repeater \"Hall A\" to COM1 and press Enter (s skips, q stops) "
                       "Connect repeater \"Hall B\" to COM1 and press Enter (s skips, q stops) "
                       "Connect repeater \"Hall C\" to COM1 and press Enter (s skips, q stops) ");

    EXPECT_EQ(ImageOf(units_[0]), Programmed(before[0], {0x02, 0x5A, 0x3C, 0x81, 0x43}, 5, false, {}));
    EXPECT_EQ(ImageOf(units_[1]), Programmed(before[1], {0x02, 0x5A, 0x3C, 0x81, 0x45}, 6, {}, true));
    EXPECT_EQ(ImageOf(units_[2]), Programmed(before[2], {0x02, 0x5A, 0x3C, 0x81, 0x46}, 7, {}, {}));
    for (std::size_t i = 0; i < units_.size(); ++i)
        EXPECT_TRUE(std::equal(units_[i].config.begin() + 80, units_[i].config.end(),
                               before[i].config.begin() + 80))
            << "bytes beyond the image are untouched";

    const std::vector<std::string> log = Lines(ReadFile(files_.File("site.log.csv")));
    const std::vector<std::string> backups = AutomaticBackups();
    ASSERT_EQ(log.size(), 4u);
    ASSERT_EQ(backups.size(), 3u);
    EXPECT_EQ(log[0], kPlanLogHeader);
    const char *names[] = {"Hall A", "Hall B", "Hall C"};
    const char *rfpis[] = {"02 5A 3C 81 45", "02 5A 3C 81 46", "02 5A 3C 81 47"};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        const std::string tail = std::string(",") + names[i] + ",COM1,written," + backups[i] + "," + rfpis[i] + ",0";
        ASSERT_GT(log[i + 1].size(), tail.size());
        EXPECT_EQ(log[i + 1].substr(log[i + 1].size() - tail.size()), tail);
        EXPECT_EQ(log[i + 1].find(','), 24u) << "an ISO 8601 time with its offset first";
        EXPECT_EQ(log[i + 1][10], 'T');
    }
}

TEST_F(CliPlan, SkipsRefusesAndFailsUnitByUnitAndStopsOnQ) {
    // Hall A skipped, Hall B's unit is not a repeater, Hall C's write fails half-way, then q.
    units_ = {MakeUnit(0x10), MakeUnit(0x20), MakeUnit(0x30)};
    units_[1].info[18] = 'b';
    const std::vector<Unit> before = units_;
    const CliRun run = RunWithAnswers(
        {"plan", "apply", plan_, "--port", "COM1", "--all", "--log", files_.File("run.csv")},
        {{[&] { Connect(0); }, "s"},
         {[&] { Connect(1); }, ""},
         {[&] {
              Connect(2);
              // Load: 4 + 10 mails; Save: 4 + 10. The fifth write mail fails, also when tried again.
              sim_.SetFault({repeatersim::Fault::CorruptEcho, 23, 3});
              sim_.AddFault({repeatersim::Fault::CorruptEcho, 24, 3});
          },
          ""},
         {nullptr, "q"}});
    EXPECT_EQ(run.code, kExitUnsupported) << "the first failure's exit code";
    EXPECT_EQ(ImageOf(units_[0]), ImageOf(before[0])) << "a skipped unit is not written";
    EXPECT_EQ(ImageOf(units_[1]), ImageOf(before[1])) << "a foreign device is not written";
    const Bytes half = ImageOf(units_[2]);
    const Bytes full = Programmed(before[2], {0x02, 0x5A, 0x3C, 0x81, 0x46}, 7, {}, {});
    EXPECT_TRUE(std::equal(half.begin(), half.begin() + 32, full.begin())) << "four mails written";
    EXPECT_TRUE(std::equal(half.begin() + 40, half.end(), before[2].config.begin() + 40))
        << "nothing after the failed mail";
    EXPECT_NE(run.err.find("Written 0, skipped 1, failed 2 of 3 repeaters; log: " + files_.File("run.csv")),
              std::string::npos) << run.err;

    const std::vector<std::string> log = Lines(ReadFile(files_.File("run.csv")));
    const std::vector<std::string> backups = AutomaticBackups();
    ASSERT_EQ(log.size(), 4u) << "the header and one line per unit asked for";
    ASSERT_EQ(backups.size(), 1u) << "taken before Hall C's write";
    auto after = [](const std::string &line) { return line.substr(line.find(',') + 1); };
    EXPECT_EQ(after(log[1]), "Hall A,COM1,skipped,,,0");
    EXPECT_EQ(after(log[2]), "Hall B,COM1,failed: Unsupported repeater device,,,0");
    EXPECT_EQ(after(log[3]), "Hall C,COM1,failed: An error occured while writing to target: "
                             "No local echo.," + backups[0] + ",,1")
        << "the fifth write mail was sent twice";
}

TEST_F(CliPlan, QOrTheEndOfTheInputWithUnitsLeftEndsWithExit8) {
    units_ = {MakeUnit(0x10), MakeUnit(0x20)};
    const CliRun q = RunWithAnswers({"plan", "apply", plan_, "--port", "COM1", "--all"},
                                    {{[&] { Connect(0); }, ""}, {[&] { Connect(1); }, "q"}});
    EXPECT_EQ(q.code, kExitIncomplete);
    EXPECT_EQ(q.out, "\"Hall A\" written: transmits 02 5A 3C 81 45\n");
    const std::string summary = "Written 1, skipped 0, failed 0 of 3 repeaters, 2 not done (stopped); log: ";
    const std::string last = summary + files_.File("site.log.csv") + "\n";
    ASSERT_GE(q.err.size(), last.size());
    EXPECT_EQ(q.err.substr(q.err.size() - last.size()), last) << "the summary comes last";
    EXPECT_EQ(Lines(ReadFile(files_.File("site.log.csv"))).size(), 2u);

    // Nothing to read at all (< /dev/null): the log is opened, nothing is programmed.
    sim_.SetFault({});
    const std::string log = files_.File("none.csv");
    const CliRun none =
        RunWithAnswers({"plan", "apply", plan_, "--port", "COM1", "--all", "--quiet", "--log", log}, {});
    EXPECT_EQ(none.code, kExitIncomplete);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(sim_.MailCount(), 0u);
    EXPECT_EQ(ReadFile(log), std::string(kPlanLogHeader) + "\n");
}

TEST_F(CliPlan, OneUnitByNameAndNothingWrittenFromABrokenPlan) {
    units_ = {MakeUnit(0x40)};
    Connect(0);
    const CliRun one = Run({"plan", "apply", plan_, "--port", "COM1", "--repeater", "Hall B", "--quiet"});
    ASSERT_EQ(one.code, kExitOk) << one.err;
    EXPECT_EQ(one.out, "\"Hall B\" written: transmits 02 5A 3C 81 46\n");
    EXPECT_EQ(DeviceImage(), Programmed(units_[0], {0x02, 0x5A, 0x3C, 0x81, 0x45}, 6, {}, true));
    EXPECT_EQ(Lines(ReadFile(files_.File("site.log.csv"))).size(), 2u);

    EXPECT_EQ(Run({"plan", "apply", plan_, "--port", "COM1", "--repeater", "Hall Z"}).code, kExitUsage);
    EXPECT_EQ(Run({"plan", "apply", plan_, "--port", "COM1"}).code, kExitUsage);

    // One broken rule anywhere in the plan: nothing reaches the line.
    std::string error;
    ASSERT_TRUE(WriteTextFile(plan_, std::string(kPlan) + "[[repeater]]\nname = \"Yard\"\n"
                                                          "parent = \"Base\"\nrpn = 5\n",
                              true, error));
    sim_.SetFault({});
    const CliRun broken = Run({"plan", "apply", plan_, "--port", "COM1", "--repeater", "Hall B"});
    EXPECT_EQ(broken.code, kExitRefused);
    EXPECT_EQ(broken.err.rfind(plan_ + ":28: rpn 5 of \"Yard\" is already the RPN of repeater \"Hall A\"", 0), 0u)
        << broken.err;
    EXPECT_EQ(sim_.MailCount(), 0u);

    ASSERT_TRUE(WriteTextFile(plan_, "[base\n", true, error));
    const CliRun notToml = Run({"plan", "check", plan_});
    EXPECT_EQ(notToml.code, kExitFile);
    EXPECT_EQ(notToml.err.rfind(plan_ + ":1:6: ", 0), 0u) << notToml.err;
    EXPECT_EQ(Run({"plan", "check", files_.File("none.toml")}).code, kExitFile);
}

TEST_F(CliPlan, CaptureAppendsATableAndLeavesEveryLineAsItWas) {
    // The connected unit: relays Hall A (02 5A 3C 81 45), RPN 4, beep off, HOP ignored.
    Unit unit = MakeUnit(0x50);
    const Bytes relays = {0x02, 0x5A, 0x3C, 0x81, 0x45};
    std::copy(relays.begin(), relays.end(), unit.config.begin() + 68);
    unit.config[2] = 0xFC;  // the display keeps the three RPN bits: 4
    unit.config[17] = 0x11;
    unit.config[5] = 0x83;
    units_ = {unit};
    Connect(0);

    // No newline at the end: the last line must stay whole.
    const std::string original = std::string(kPlan) + "# the end, no newline";
    std::string error;
    ASSERT_TRUE(WriteTextFile(plan_, original, true, error));
    const CliRun run = Run({"plan", "capture", plan_, "--port", "COM1", "--name", "Loft \"1\"",
                            "--parent", "Hall A", "--quiet"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    const std::string now = ReadFile(plan_);
    EXPECT_EQ(now.substr(0, original.size() + 1), original + "\n");
    EXPECT_EQ(now.substr(original.size()),
              "\n\n[[repeater]]\nname = \"Loft \\\"1\\\"\"\nparent = \"Hall A\"\nrpn = 4\n"
              "monitor_beep = false\nignore_hop_control = true\n");
    EXPECT_EQ(run.err, "") << "the unit relays what Hall A transmits in the plan";
    EXPECT_EQ(Run({"plan", "check", plan_}).code, kExitOk);

    // A name the plan has already: refused before anything is read, the file untouched.
    sim_.SetFault({});
    const CliRun again = Run({"plan", "capture", plan_, "--port", "COM1", "--name", "Hall B",
                              "--parent", "Hall A"});
    EXPECT_EQ(again.code, kExitRefused);
    EXPECT_EQ(ReadFile(plan_), now);
    EXPECT_EQ(sim_.MailCount(), 0u);

    // A new plan: its base is the unit's parent.
    const std::string fresh = files_.File("new.toml");
    const CliRun first = Run({"plan", "capture", fresh, "--port", "COM1", "--name", "Loft",
                              "--parent", "Hall A", "--quiet"});
    ASSERT_EQ(first.code, kExitOk) << first.err;
    const CliRun check = Run({"plan", "check", fresh});
    EXPECT_EQ(check.code, kExitOk) << check.err;
    EXPECT_NE(check.out.find("Base \"Hall A\": RFPI 02 5A 3C 81 45, RPN 5"), std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("Repeater \"Loft\", parent \"Hall A\""), std::string::npos);
}

}  // namespace
