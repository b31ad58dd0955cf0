// A station's worker on POSIX: posix_spawn of this program (/proc/self/exe) in a process group
// of its own, so that Ctrl-C on the terminal and the terminal's hang-up reach only the run that
// started it, with pipes that no other worker inherits.
#include "worker_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <vector>

extern char **environ;

namespace {

std::string OwnProgram() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        throw std::runtime_error(std::string("cannot find relaycfg itself: ") +
                                 std::strerror(errno));
    return std::string(path, static_cast<std::size_t>(n));
}

void Close(intptr_t &fd) {
    if (fd >= 0) ::close(static_cast<int>(fd));
    fd = -1;
}

}  // namespace

WorkerProcess::WorkerProcess(const std::string &port) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    if (::pipe2(out, O_CLOEXEC) != 0) {
        const int err = errno;
        ::close(in[0]);
        ::close(in[1]);
        throw std::runtime_error(std::string("pipe: ") + std::strerror(err));
    }
    std::string program = OwnProgram();
    std::string mode = kStationWorkerArgument, portArgument = port;
    char *argv[] = {program.data(), mode.data(), portArgument.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int err = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(in[0]);
    ::close(out[1]);
    if (err != 0) {
        ::close(in[1]);
        ::close(out[0]);
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(err));
    }
    process_ = pid;
    input_ = in[1];
    output_ = out[0];
}

WorkerProcess::~WorkerProcess() {
    Kill();
    WaitForEnd();
    Close(input_);
    Close(output_);
}

bool WorkerProcess::Send(const std::string &line) {
    std::lock_guard lock(mutex_);
    if (input_ < 0) return false;
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put =
            ::write(static_cast<int>(input_), text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;  // EPIPE: it has gone (SIGPIPE is ignored during the run)
        done += static_cast<std::size_t>(put);
    }
    return true;
}

std::size_t WorkerProcess::Read(char *buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(output_), buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;
    }
}

void WorkerProcess::Kill() {
    std::lock_guard lock(mutex_);
    if (!ended_) ::kill(static_cast<pid_t>(process_), SIGKILL);
}

std::string WorkerProcess::WaitForEnd() {
    {
        std::lock_guard lock(mutex_);
        if (ended_) return ending_;
    }
    // Waited for without reaping it, so that Kill cannot meet another process of the same id.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(process_), &info, WEXITED | WNOWAIT) != 0 &&
           errno == EINTR) {
    }
    std::lock_guard lock(mutex_);
    if (ended_) return ending_;
    int status = 0;
    while (::waitpid(static_cast<pid_t>(process_), &status, 0) < 0 && errno == EINTR) {
    }
    ended_ = true;
    if (WIFSIGNALED(status))
        ending_ = "killed by signal " + std::to_string(WTERMSIG(status));
    else
        ending_ = "exit code " + std::to_string(WEXITSTATUS(status));
    return ending_;
}
