// The repeater-sim program: its command line, and one run from start to SIGTERM.
#include "host_line.h"
#include "repeater_sim.h"
#include "sim_command_line.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace fs = std::filesystem;
using repeatersim::Fault;

TEST(RepeaterSimCommandLine, FaultOptions) {
    const struct {
        const char *text;
        Fault kind;
        unsigned atMail;
        unsigned value;
    } good[] = {
        {"no-echo", Fault::NoEcho, 0, 0},
        {"corrupt-echo@3=5", Fault::CorruptEcho, 3, 5},
        {"silence@2", Fault::Silence, 2, 0},
        {"bad-checksum@0", Fault::BadChecksum, 0, 0},
        {"reply-length=0x14", Fault::ReplyLength, 0, 20},
        {"wrong-device@1=99", Fault::WrongDeviceType, 1, 99},
        {"hang-up@10", Fault::HangUp, 10, 0},
        {"ignore-write", Fault::IgnoreWrite, 0, 0},
    };
    for (const auto &c : good) {
        SCOPED_TRACE(c.text);
        const auto plan = repeatersim::ParseFaultOption(c.text);
        EXPECT_EQ(plan.kind, c.kind);
        EXPECT_EQ(plan.atMail, c.atMail);
        EXPECT_EQ(plan.value, c.value);
    }
    for (const char *bad : {"", "echo", "no-echo@", "no-echo@x", "silence@-1", "reply-length=256",
                            "reply-length=5@2", "corrupt-echo=", "hang-up@1=2x", "Silence"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(repeatersim::ParseFaultOption(bad), std::invalid_argument);
    }
}

TEST(RepeaterSimCommandLine, Arguments) {
    const auto cl = repeatersim::ParseCommandLine(
        {"--dir", "/x/y", "--com=4", "--memory", "m.txt", "--pace", "--latency", "16",
         "--eeprom-busy=0", "--fault", "silence@2", "--fault=no-echo"});
    EXPECT_EQ(cl.dir, "/x/y");
    EXPECT_EQ(cl.com, 4u);
    EXPECT_EQ(cl.options.memoryFile, "m.txt");
    EXPECT_TRUE(cl.options.pace);
    EXPECT_EQ(cl.options.echoLatencyMs, 16u);
    EXPECT_EQ(cl.options.eepromBusyMs, 0u);
    ASSERT_EQ(cl.faults.size(), 2u);
    EXPECT_EQ(cl.faults[1].kind, Fault::NoEcho);
    EXPECT_FALSE(cl.help);
    EXPECT_TRUE(repeatersim::ParseCommandLine({"--help"}).help);
    EXPECT_EQ(repeatersim::ParseCommandLine({"--attach=/dev/pts/9", "--pace"}).options.attachDevice,
              "/dev/pts/9");

    const std::vector<std::vector<std::string>> bad = {
        {"--com"},        {"--com", "0"},      {"--com", "x"},  {"--latency", "-1"},
        {"--pace=1"},     {"--dir", ""},       {"--bogus"},     {"COM1"},
        {"--fault", "x"}, {"--eeprom-busy"}, {"--attach"},
        {"--attach", "/dev/pts/9", "--com", "2"}, {"--dir", "/x", "--attach", "/dev/pts/9"},
        {"--control"},    {"--unplugged=1"},
    };
    for (const auto &args : bad) {
        SCOPED_TRACE(args[0]);
        EXPECT_THROW(repeatersim::ParseCommandLine(args), std::invalid_argument);
    }
}

TEST(RepeaterSimCommandLine, DefaultPortDirectoryFollowsTheEnvironment) {
    const auto keep = [](const char *name) -> std::optional<std::string> {
        const char *v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    const auto dirEnv = keep("MAILLINK_DEVICE_DIR"), xdg = keep("XDG_CONFIG_HOME"),
               home = keep("HOME");
    ::setenv("HOME", "/home/tech", 1);
    ::unsetenv("MAILLINK_DEVICE_DIR");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(repeatersim::DefaultPortDirectory(), "/home/tech/.config/maillink/ports");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(repeatersim::DefaultPortDirectory(), "/home/tech/.config/maillink/ports");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(repeatersim::DefaultPortDirectory(), "/cfg/maillink/ports");
    ::setenv("MAILLINK_DEVICE_DIR", "/tmp/ports", 1);
    EXPECT_EQ(repeatersim::DefaultPortDirectory(), "/tmp/ports");

    for (const auto &[name, value] : {std::pair{"MAILLINK_DEVICE_DIR", dirEnv},
                                      std::pair{"XDG_CONFIG_HOME", xdg}, std::pair{"HOME", home}}) {
        if (value) ::setenv(name, value->c_str(), 1);
        else ::unsetenv(name);
    }
}

namespace {

// Runs the program with its standard output on a pipe; waits for its exit with a deadline.
class Program {
public:
    explicit Program(const std::vector<std::string> &args) {
        int out[2];
        if (::pipe(out) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> all{REPEATER_SIM_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (auto &a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int err = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        stdout_ = out[0];
        if (err != 0) throw std::runtime_error("cannot start " + all[0]);
    }
    ~Program() {
        if (pid_ > 0 && !exit_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(stdout_);
    }

    // One line of its output, or "" when none comes within the time.
    std::string ReadLine(milliseconds within) {
        std::string line;
        const auto deadline = TestClock::now() + within;
        char c = 0;
        while (TestClock::now() < deadline) {
            pollfd p{stdout_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            if (::read(stdout_, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }

    void Signal(int sig) { ::kill(pid_, sig); }

    // The exit status, or -1 if it has not ended within the time.
    int Wait(milliseconds within) {
        const auto deadline = TestClock::now() + within;
        int status = 0;
        while (TestClock::now() < deadline) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return *exit_;
            }
            std::this_thread::sleep_for(milliseconds(10));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    std::optional<int> exit_;
};

}  // namespace

TEST(RepeaterSimProgram, PublishesServesAndCleansUpOnSigterm) {
    const testsupport::TempFolder folder("repeater-sim-prog");
    ASSERT_FALSE(folder.Path().empty());
    const fs::path dir = folder.Path();
    const fs::path memory = dir / "memory.txt";
    {
        Program program({"--dir", dir.string(), "--com", "2", "--memory", memory.string()});
        const std::string line = program.ReadLine(milliseconds(5000));
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, std::regex("repeater-sim: COM2 -> (/dev/\\S+) \\(in (.+)\\)")))
            << line;
        EXPECT_EQ(fs::path(m[2].str()), dir);
        EXPECT_EQ(fs::read_symlink(dir / "COM2"), m[1].str());
        {
            HostLine host((dir / "COM2").string());
            const Bytes frame = ReadMail(0x00, 0x0040);
            host.Write(frame);
            EXPECT_EQ(host.Read(frame.size()), frame);
            const Bytes reply = host.Read(13);
            ASSERT_EQ(reply.size(), 13u);
            EXPECT_EQ(reply, ExpectedReadReply(repeatersim::SampleConfigImage(), 0x0040, reply[3]));
        }
        program.Signal(SIGTERM);
        EXPECT_EQ(program.Wait(milliseconds(5000)), 0);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "COM2")));
    repeatersim::Simulator saved;
    saved.LoadMemory(memory.string());  // created at exit, with the sample's memories
    EXPECT_EQ(saved.Config(), repeatersim::SampleConfigImage());
}

TEST(RepeaterSimProgram, UsageErrorsExitWithTwo) {
    Program program({"--fault", "meltdown"});
    EXPECT_EQ(program.Wait(milliseconds(5000)), 2);
}

// The operator played through --control: units unplugged and plugged in, each with its own
// memory file, while the line stays open.
TEST(RepeaterSimProgram, ControlFifoUnplugsAndPlugsInUnitsEachWithItsMemoryFile) {
    const testsupport::TempFolder folder("repeater-sim-control");
    const fs::path dir = folder.Path();
    const std::string control = (dir / "control").string();
    const std::string first = (dir / "first.mem").string(), fresh = (dir / "fresh.mem").string(),
                      kept = (dir / "kept.mem").string();
    Bytes keptConfig(repeatersim::kConfigSize, 0x5A);
    {
        repeatersim::Simulator writer;
        writer.SetConfig(keptConfig);
        writer.SaveMemory(kept);
    }
    Program program({"--dir", dir.string(), "--com", "3", "--unplugged", "--control", control,
                     "--memory", first, "--eeprom-busy", "0"});
    ASSERT_NE(program.ReadLine(milliseconds(5000)), "");
    HostLine host((dir / "COM3").string());
    const auto command = [&](const std::string &line) {
        const int fd = ::open(control.c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        const std::string text = line + "\n";
        ASSERT_EQ(::write(fd, text.data(), text.size()), ssize_t(text.size()));
        ::close(fd);
    };
    const Bytes read = ReadMail(0x00, 0x0000);

    EXPECT_EQ(host.Read(1, milliseconds(300)), Bytes()) << "no unit: nothing echoes";
    host.Write(read);
    EXPECT_EQ(host.Read(read.size(), milliseconds(300)), Bytes());

    command("dance");  // refused on standard error; the next command is served
    command("plug " + fresh);
    EXPECT_EQ(program.ReadLine(milliseconds(5000)), "repeater-sim: COM3 plugged in (" + fresh + ")");
    const Bytes data{1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes write = WriteMail(0x0000, data);
    host.Write(write);
    EXPECT_EQ(host.Read(write.size()), write) << "a new unit from the sample: it echoes";

    command("unplug");
    EXPECT_EQ(program.ReadLine(milliseconds(5000)), "repeater-sim: COM3 unplugged");
    host.Write(read);
    EXPECT_EQ(host.Read(read.size(), milliseconds(300)), Bytes()) << "unplugged again";

    command("plug " + kept);
    EXPECT_EQ(program.ReadLine(milliseconds(5000)), "repeater-sim: COM3 plugged in (" + kept + ")");
    host.Write(read);
    EXPECT_EQ(host.Read(read.size()), read);
    EXPECT_EQ(host.Read(13), ExpectedReadReply(keptConfig, 0x0000, 0x3C)) << "the file's unit answers";

    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(milliseconds(5000)), 0);
    repeatersim::Simulator saved;
    saved.LoadMemory(fresh);
    Bytes expected = repeatersim::SampleConfigImage();
    std::copy(data.begin(), data.end(), expected.begin());
    EXPECT_EQ(saved.Config(), expected) << "the write went into the unit's own file";
    saved.LoadMemory(kept);
    EXPECT_EQ(saved.Config(), keptConfig);
    EXPECT_FALSE(fs::exists(first)) << "--memory was the first unit's, and no unit came";
    EXPECT_FALSE(fs::exists(control)) << "the FIFO it made is removed";
}
