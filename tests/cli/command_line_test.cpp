// The command line: what parses, what is a usage error, and the help of every command.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "command_line.h"
#include "exit_codes.h"
#include "field_edits.h"
#include "help_text.h"
#include "relaycfg.h"

namespace {

using Args = std::vector<std::string>;

// Expects args to be refused with a usage error whose text begins with message and, when given,
// that points at the help of command.
void ExpectRefused(const Args &args, const char *message, std::optional<Command> command = {}) {
    SCOPED_TRACE(message);
    try {
        ParseCommandLine(args);
        ADD_FAILURE() << "accepted";
    } catch (const UsageError &e) {
        EXPECT_EQ(std::string(e.what()).find(message), 0u) << e.what();
        if (command) {
            EXPECT_EQ(e.command(), *command);
        }
    }
}

TEST(CliCommandLine, ParsesCommandsOptionsAndEdits) {
    const Invocation show = ParseCommandLine({"--port", "COM2", "show", "--json"});
    EXPECT_EQ(show.command, Command::Show);
    EXPECT_EQ(show.port, "COM2");
    EXPECT_TRUE(show.json);

    const Invocation restore = ParseCommandLine({"restore", "--port=/dev/ttyUSB0", "--", "-f.txt"});
    EXPECT_EQ(restore.command, Command::Restore);
    EXPECT_EQ(restore.port, "/dev/ttyUSB0");
    EXPECT_EQ(restore.file, "-f.txt");
    for (const char *file : {"show", "help", "plan"}) {
        const Invocation backup = ParseCommandLine({"backup", "--port", "COM1", file});
        EXPECT_EQ(backup.command, Command::Backup) << file;
        EXPECT_EQ(backup.file, file) << "a FILE named like a command is still a FILE";
        EXPECT_FALSE(backup.help);
    }
    EXPECT_EQ(ParseCommandLine({"plan", "check", "check"}).file, "check");

    const Invocation set = ParseCommandLine({"set", "--port", "COM1", "--parent-rfpi",
                                             "02 5A 3C 81 43", "--base-rpn", "-1",
                                             "--monitor-beep", "off", "--ignore-hop=on", "--dry-run"});
    EXPECT_EQ(set.edits.parentRfpi, "02 5A 3C 81 43");
    EXPECT_EQ(set.edits.baseRpn, "-1") << "a value that looks like an option is still a value";
    EXPECT_EQ(set.edits.monitorBeep, false);
    EXPECT_EQ(set.edits.ignoreHop, true);
    EXPECT_FALSE(set.edits.park.has_value());
    EXPECT_TRUE(set.dryRun);

    EXPECT_TRUE(ParseCommandLine({"help", "set"}).help);
    EXPECT_EQ(ParseCommandLine({"help", "set"}).command, Command::Set);
    EXPECT_TRUE(ParseCommandLine({"set", "-h"}).help) << "help needs no other argument";
    EXPECT_TRUE(ParseCommandLine({"--version"}).version);
}

TEST(CliCommandLine, RefusesWhatCannotRun) {
    struct Case {
        Args args;
        const char *message;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"format"}, "unknown command \"format\""},
        {{"format", "--help"}, "unknown command \"format\""},
        {{"show"}, "--port is missing"},
        {{"show", "--port"}, "--port needs a value"},
        {{"show", "--port", "COM1", "--verbose"}, "unknown option --verbose"},
        {{"ports", "--json"}, "--json does not apply to ports"},
        {{"show", "--port", "COM1", "--dry-run"}, "--dry-run does not apply to show"},
        {{"backup", "--port", "COM1"}, "the backup FILE is missing"},
        {{"backup", "--port", "COM1", "a", "b"}, "unexpected argument \"b\""},
        {{"show", "--port", "COM1", "extra"}, "unexpected argument \"extra\""},
        {{"set", "--port", "COM1"}, "set needs at least one field to change"},
        {{"set", "--port", "COM1", "--monitor-beep", "yes"}, "--monitor-beep takes on or off"},
        {{"show", "--json=1", "--port", "COM1"}, "--json takes no value"},
    };
    for (const Case &c : cases) ExpectRefused(c.args, c.message);
}

TEST(CliCommandLine, PlanCommandsAndFindParseAndRefuseLikeTheOthers) {
    const Invocation apply = ParseCommandLine(
        {"--port", "COM2", "plan", "apply", "site.toml", "--all", "--log=run.csv"});
    EXPECT_EQ(apply.command, Command::PlanApply);
    EXPECT_EQ(apply.file, "site.toml");
    EXPECT_EQ(apply.port, "COM2");
    EXPECT_TRUE(apply.all);
    EXPECT_EQ(apply.log, "run.csv");
    const Invocation capture = ParseCommandLine({"plan", "capture", "s.toml", "--port", "COM1",
                                                 "--name", "Hall A", "--parent", "Base"});
    EXPECT_EQ(capture.name, "Hall A");
    EXPECT_EQ(capture.parent, "Base");
    EXPECT_TRUE(ParseCommandLine({"plan", "check", "s.toml", "--dot"}).dot);
    const Invocation find = ParseCommandLine({"ports", "--find", "--json", "--quiet"});
    EXPECT_TRUE(find.find && find.json && find.quiet);
    EXPECT_EQ(ParseCommandLine({"help", "plan", "apply"}).command, Command::PlanApply);
    const Invocation stations = ParseCommandLine(
        {"plan", "apply", "s.toml", "--port", "COM2", "--all", "--port=/dev/ttyUSB0", "--port", "COM1"});
    EXPECT_EQ(stations.ports, (std::vector<std::string>{"COM2", "/dev/ttyUSB0", "COM1"}));

    struct Case {
        Args args;
        const char *message;
        Command command;  // the help that the usage error points at
    };
    const Case cases[] = {
        {{"plan"}, "plan needs check, apply or capture", Command::None},
        {{"plan", "draw", "s.toml"}, "unknown command \"plan draw\"", Command::None},
        {{"plan", "check"}, "the plan FILE is missing", Command::PlanCheck},
        {{"plan", "check", "a", "b"}, "unexpected argument \"b\"", Command::PlanCheck},
        {{"plan", "check", "a", "--port", "COM1"}, "--port does not apply to plan check",
         Command::PlanCheck},
        {{"plan", "apply", "a", "--port", "COM1"}, "plan apply needs either --repeater NAME or --all",
         Command::PlanApply},
        {{"plan", "apply", "a", "--port", "COM1", "--all", "--repeater", "X"},
         "plan apply needs either", Command::PlanApply},
        {{"plan", "apply", "a", "--all"}, "--port is missing", Command::PlanApply},
        {{"plan", "capture", "a", "--port", "COM1", "--name", "X"}, "--parent is missing",
         Command::PlanCapture},
        {{"show", "--port", "COM1", "--dot"}, "--dot does not apply to show", Command::Show},
        {{"ports", "--find", "--all"}, "--all and --find cannot be combined", Command::Ports},
        {{"show", "--port", "COM1", "--port", "COM2"}, "--port is given more than once", Command::Show},
        {{"plan", "apply", "a", "--port", "COM1", "--port", "COM2", "--repeater", "X"},
         "several --port (stations) need --all", Command::PlanApply},
        {{"help", "plan", "draw"}, "unknown command \"plan draw\"", Command::None},
    };
    for (const Case &c : cases) ExpectRefused(c.args, c.message, c.command);
}

TEST(CliCommandLine, PortNamesAreCheckedBeforeAnyTransfer) {
    for (const char *port : {"COM0", "COM10", "ttyUSB0", "COMX", "LPT1"}) {
        SCOPED_TRACE(port);
        std::ostringstream out, err;
        EXPECT_EQ(RunRelaycfg({"show", "--port", port}, {out, err, false}), kExitUsage);
        EXPECT_NE(err.str().find("--port takes COM1 to COM9 or a device path"), std::string::npos);
        EXPECT_NE(err.str().find("Try `relaycfg show --help`."), std::string::npos) << err.str();
        EXPECT_EQ(out.str(), "");
    }
}

TEST(CliCommandLine, EveryCommandHasHelpWithTheExitCodes) {
    for (const char *command : {"", "ports", "show", "backup", "restore", "set"}) {
        SCOPED_TRACE(command);
        std::ostringstream out, err;
        Args args = {"--help"};
        if (*command) args.insert(args.begin(), command);
        EXPECT_EQ(RunRelaycfg(args, {out, err, false}), kExitOk);
        EXPECT_EQ(err.str(), "");
        const std::string usage = std::string("Usage: relaycfg ") + (*command ? command : "COMMAND");
        EXPECT_EQ(out.str().rfind(usage, 0), 0u) << out.str();
        EXPECT_NE(out.str().find("  5  verify mismatch"), std::string::npos);
    }
    for (const char *command : {"plan check", "plan apply", "plan capture"}) {
        SCOPED_TRACE(command);
        std::ostringstream out, err;
        const std::string name = command;
        EXPECT_EQ(RunRelaycfg({"plan", name.substr(5), "-h"}, {out, err, false}), kExitOk);
        EXPECT_EQ(out.str().rfind("Usage: relaycfg " + name + " FILE", 0), 0u) << out.str();
        EXPECT_NE(out.str().find("  7  refused"), std::string::npos);
    }
    std::ostringstream out, err;
    EXPECT_EQ(RunRelaycfg({}, {out, err, false}), kExitUsage);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "relaycfg: no command given\nTry `relaycfg --help`.\n");
}

TEST(CliCommandLine, RfpiArgumentBecomesTheFieldText) {
    struct Case {
        const char *argument;
        const char *field;  // nullptr: refused
    };
    const Case cases[] = {
        {"02 5A 3C 81 43", "02 5A 3C 81 43"}, {"02 5A 3C 81 43 ", "02 5A 3C 81 43"},
        {"02:5a:3c:81:43", "02 5a 3c 81 43"}, {"025A3C8143", "02 5A 3C 81 43"},
        {"02 5A:3C 81 43", nullptr},          {"02 5A 3C 81 4", nullptr},
        {"02 5A 3C 81 4G", nullptr},          {"025A3C81430", nullptr},
        {"", nullptr},                        {" 2 5A 3C 81 43", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.argument);
        std::string field;
        EXPECT_EQ(RfpiFieldText(c.argument, field), c.field != nullptr);
        if (c.field) {
            EXPECT_EQ(field, c.field);
        }
    }
}

}  // namespace
