// What only a second process can show: the port is exclusive across processes (as share mode 0
// makes it on Windows), and the library starts in its cleared state.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "link_fixture.h"

extern char **environ;

namespace {

constexpr int kRefused = 10;
constexpr int kOpened = 11;

struct Child {
    pid_t pid = -1;
    int toChild = -1;    // its standard input
    int fromChild = -1;  // its standard output
};

// Starts the probe with its standard input and output on pipes.
Child Start(const std::vector<std::string> &args) {
    int in[2];
    int out[2];
    Child child;
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return child;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char *> argv;
    std::string program = OPEN_PROBE_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string &arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&child.pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) child.pid = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    child.toChild = in[1];
    child.fromChild = out[0];
    return child;
}

// Waits for the child's exit code, killing it after timeoutMs.
int Finish(Child &child, unsigned timeoutMs = 5000) {
    if (child.toChild >= 0) ::close(child.toChild);
    child.toChild = -1;
    int status = 0;
    for (unsigned waited = 0; waited < timeoutMs; waited += 5) {
        if (::waitpid(child.pid, &status, WNOHANG) == child.pid) {
            ::close(child.fromChild);
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        ::usleep(5000);
    }
    ::kill(child.pid, SIGKILL);
    ::waitpid(child.pid, &status, 0);
    ::close(child.fromChild);
    return -1;
}

int RunProbe(const std::vector<std::string> &args) {
    Child child = Start(args);
    if (child.pid < 0) return -2;
    return Finish(child);
}

// Reads the one character the holding child writes once its open is done.
char ReadReady(const Child &child) {
    pollfd entry{child.fromChild, POLLIN, 0};
    char byte = '?';
    if (::poll(&entry, 1, 5000) == 1 && ::read(child.fromChild, &byte, 1) == 1) return byte;
    return '?';
}

}  // namespace

TEST(LoadedLibrary, StartsWithThePortClosedAndEverythingCleared) {
    EXPECT_EQ(RunProbe({"fresh"}), 0);
}

TEST_F(LinkTest, PortHeldHereCannotBeOpenedByAnotherProcess) {
    const std::string com = std::to_string(kCom);
    EXPECT_EQ(RunProbe({"try", com}), kOpened) << "the port opens when nobody holds it";

    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    EXPECT_EQ(RunProbe({"try", com}), kRefused);

    CloseSerialPort();
    EXPECT_EQ(RunProbe({"try", com}), kOpened) << "closing releases the port";
}

TEST_F(LinkTest, PortHeldByAnotherProcessCannotBeOpenedHere) {
    Child holder = Start({"hold", std::to_string(kCom)});
    ASSERT_GT(holder.pid, 0);
    ASSERT_EQ(ReadReady(holder), '1');

    EXPECT_EQ(OpenSerialPort(kCom, 9600), 0);
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);

    EXPECT_EQ(Finish(holder), kOpened);
    EXPECT_EQ(OpenSerialPort(kCom, 9600), 1) << "the port is free once the other process closed it";
}

// A process that dies holding the port does not keep it.
TEST_F(LinkTest, PortOfAProcessThatDiedIsFreeAgain) {
    Child holder = Start({"hold", std::to_string(kCom)});
    ASSERT_GT(holder.pid, 0);
    ASSERT_EQ(ReadReady(holder), '1');
    ::kill(holder.pid, SIGKILL);
    EXPECT_EQ(Finish(holder), -1);
    // A real device drops its exclusive-open flag with its last descriptor; the scripted device
    // keeps one open, so it drops the flag by hand. The lock must have gone with the process.
    ::ioctl(peer_.DeviceFd(), TIOCNXCL);
    EXPECT_EQ(OpenSerialPort(kCom, 9600), 1);
}
