// relaycfg as a program on a pseudo-terminal that is its controlling terminal (as in a
// technician's shell), against the simulated repeater, while `plan apply --all` writes a unit:
// Ctrl-C typed once and twice, SIGTERM, the terminal closed; and Enter typed during the write,
// which the next prompt must throw away.
#include <signal.h>

#include "cli_fixture.h"
#include "exit_codes.h"
#include "terminal_program.h"
#include "test_files.h"

namespace {

const char kPlan[] =
    "[base]\nname = \"Base\"\nrfpi = \"02 5A 3C 81 43\"\n"
    "[[repeater]]\nname = \"Hall A\"\nparent = \"Base\"\nrpn = 5\n"
    "[[repeater]]\nname = \"Hall B\"\nparent = \"Hall A\"\nrpn = 6\n";

// A Load is 4 + 10 mails, the Save's identification read 4 more, its write 10 and the read-back
// 10: mail 20 is the write's second mail, and a unit is done after 38.
constexpr unsigned kWriting = 20, kUnitMails = 38;

using CliTerminal = CliTest;

TEST_F(CliTerminal, StopsDuringAWrite) {
    enum class Stop { None, CtrlC, CtrlCTwice, Term, TerminalClosed };
    struct Case {
        const char *name;
        Stop stop;
        int code;
        const char *logResult;  // Hall A's line in the log
    };
    const Case cases[] = {
        {"Enter typed during the write, then q", Stop::None, kExitIncomplete, "written"},
        {"Ctrl-C: the write finishes", Stop::CtrlC, kExitInterrupted, "written"},
        {"Ctrl-C twice: stopped at once", Stop::CtrlCTwice, kExitInterrupted, "failed: stopped during the write"},
        {"SIGTERM: the write finishes", Stop::Term, kExitInterrupted, "written"},
        {"the terminal closed: the write finishes", Stop::TerminalClosed, kExitInterrupted, "written"},
    };
    const std::string plan = files_.File("site.toml");
    WriteFile(plan, kPlan);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes before = GiveDeviceImage(0x30);
        sim_.SetFault({});
        sim_.ClearReceived();
        for (const std::string &backup : AutomaticBackups()) std::filesystem::remove(backup);
        const std::string log = files_.File("site.csv");
        std::filesystem::remove(log);

        TerminalProgram relaycfg({"plan", "apply", plan, "--port", "COM1", "--all", "--log", log},
                                 files_.File("stdout"));
        ASSERT_TRUE(relaycfg.Started());
        ASSERT_TRUE(relaycfg.WaitForText("Connect repeater \"Hall A\" to COM1 and press Enter"));
        relaycfg.Type("\n");
        ASSERT_TRUE(relaycfg.WaitUntil([&] { return sim_.MailCount() >= kWriting; }));
        switch (c.stop) {
        case Stop::None:
            relaycfg.Type("\n");  // meant for Hall A, a second time
            ASSERT_TRUE(relaycfg.WaitForText("Connect repeater \"Hall B\""));
            relaycfg.Type("q\n");
            break;
        case Stop::CtrlC:
        case Stop::CtrlCTwice:
            relaycfg.Type("\x03");
            ASSERT_TRUE(relaycfg.WaitForText("Stopping: finishing the write of COM1, about "));
            EXPECT_LT(sim_.MailCount(), kUnitMails) << "said while the write is still going on";
            if (c.stop == Stop::CtrlCTwice) relaycfg.Type("\x03");
            break;
        case Stop::Term: ::kill(relaycfg.Pid(), SIGTERM); break;
        case Stop::TerminalClosed: relaycfg.CloseTerminal(); break;
        }
        EXPECT_EQ(relaycfg.Wait(), c.code) << relaycfg.Screen();

        const std::vector<std::string> backups = AutomaticBackups();
        ASSERT_EQ(backups.size(), 1u) << "one unit written";
        const std::string restore = "Put it back with: relaycfg restore --port COM1 " + backups[0] + "\r\n";
        const std::vector<std::string> lines = Lines(ReadFileOrEmpty(log));
        ASSERT_EQ(lines.size(), 2u) << "the header and Hall A's line";
        EXPECT_NE(lines[1].find(",Hall A,COM1," + std::string(c.logResult) + "," + backups[0] + ","),
                  std::string::npos)
            << lines[1];
        if (c.stop == Stop::CtrlCTwice) {
            EXPECT_LT(WriteMailsSent(), 10u) << "the write was cut short";
            EXPECT_NE(relaycfg.Screen().find("Stopped during the write of COM1: the repeater may hold "
                                             "part of the new image.\r\n"),
                      std::string::npos);
            EXPECT_NE(relaycfg.Screen().find(restore), std::string::npos) << relaycfg.Screen();
            // The named command puts the unit back as it was.
            ASSERT_TRUE(sim_.WaitIdle());
            const CliRun back = Run({"restore", "--port", "COM1", backups[0], "--quiet"});
            EXPECT_EQ(back.code, kExitOk) << back.err;
            EXPECT_EQ(DeviceImage(), before);
            continue;
        }
        EXPECT_EQ(sim_.MailCount(), kUnitMails) << "Hall A written and checked, Hall B not touched";
        EXPECT_EQ(WriteMailsSent(), 10u);
        EXPECT_EQ(DeviceImage()[2], 5) << "Hall A's RPN";
        if (c.stop == Stop::TerminalClosed) continue;  // nothing more can be read from it
        if (c.stop == Stop::None) {
            EXPECT_NE(relaycfg.Screen().find("1 not done (stopped)"), std::string::npos);
            continue;
        }
        EXPECT_NE(relaycfg.Screen().find("Stopped as asked, after the write of COM1 was finished and "
                                         "verified.\r\nThe repeater's previous image is saved in " +
                                         backups[0] + ".\r\n" + restore),
                  std::string::npos)
            << relaycfg.Screen();
        EXPECT_NE(relaycfg.Screen().find("Written 1, skipped 0, failed 0 of 2 repeaters, 1 not done "
                                         "(interrupted)"),
                  std::string::npos);
        EXPECT_EQ(ReadFileOrEmpty(files_.File("stdout")), "\"Hall A\" written: transmits 02 5A 3C 81 45\n");
    }
}

}  // namespace
