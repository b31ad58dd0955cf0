// The relaycfg program itself, run as a separate process against the simulated repeater: what
// reaches standard output, standard error and the exit status.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "cli_fixture.h"
#include "exit_codes.h"

extern char **environ;

namespace {

std::string ReadFile(const std::string &path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliProgram : public CliTest {
protected:
    // Runs the program with its output in files (no pipe to fill); killed after five seconds.
    CliRun Program(std::vector<std::string> args) {
        const std::string outPath = files_.File("stdout"), errPath = files_.File("stderr");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::string program = RELAYCFG_PROGRAM;
        std::vector<char *> argv = {program.data()};
        for (std::string &arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        CliRun run;
        const int spawned =
            posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << program;
            return run;
        }
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                ADD_FAILURE() << "relaycfg did not end within five seconds";
                return run;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadFile(outPath);
        run.err = ReadFile(errPath);
        return run;
    }
};

TEST_F(CliProgram, ResultOnStandardOutputProgressOnStandardError) {
    GiveDeviceImage(0x10);
    const CliRun run = Program({"show", "--port", "COM1", "--json"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_EQ(run.out.rfind("{\"port\": \"COM1\", \"parent_rfpi\": \"02 5A 3C 81 43\"", 0), 0u)
        << run.out;
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << "one line of JSON and nothing else";
    EXPECT_EQ(run.err, "Reading identification block: 4/4 mails\n"
                       "Reading configuration image: 10/10 mails\n");
}

TEST_F(CliProgram, ExitStatusTellsTheOutcome) {
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {
        {{"--help"}, kExitOk},
        {{"--version"}, kExitOk},
        {{"show", "--port", "COM1", "--frobnicate"}, kExitUsage},
        {{"show", "--port", "COM6"}, kExitTransfer},
        {{"restore", "--port", "COM1", "/nonexistent/backup.txt"}, kExitFile},
        {{"set", "--port", "COM1", "--base-rpn", "999"}, kExitRefused},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.front() + (c.args.size() > 3 ? " " + c.args[3] : ""));
        const CliRun run = Program(c.args);
        EXPECT_EQ(run.code, c.code) << run.err;
        if (c.code != kExitOk) {
            EXPECT_EQ(run.out, "");
        }
    }
    DeviceType('b');
    EXPECT_EQ(Program({"show", "--port", "COM1"}).code, kExitUnsupported);
    EXPECT_EQ(WriteMailsSent(), 0u);
}

}  // namespace
