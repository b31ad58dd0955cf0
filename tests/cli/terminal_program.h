// relaycfg as a program on a pseudo-terminal that is its controlling terminal, as in a
// technician's shell: Ctrl-C typed there is SIGINT, closing it SIGHUP.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

extern char **environ;

// relaycfg with standard input and standard error on a new pseudo-terminal, which becomes the
// controlling terminal of its own session (so that Ctrl-C typed there is SIGINT, and closing it
// SIGHUP); standard output in a file.
class TerminalProgram {
public:
    TerminalProgram(std::vector<std::string> args, const std::string &outPath) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
        const std::string terminal = ::ptsname(master_);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, terminal.c_str(), O_RDWR, 0);
        posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        std::string program = RELAYCFG_PROGRAM;
        std::vector<char *> argv = {program.data()};
        for (std::string &arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    ~TerminalProgram() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        CloseTerminal();
    }

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    const std::string &Screen() const { return screen_; }

    void Type(const std::string &keys) { ASSERT_EQ(::write(master_, keys.data(), keys.size()), ssize_t(keys.size())); }
    void CloseTerminal() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    // Keeps reading the terminal (relaycfg must never block on a full one) until done() holds;
    // false after 20 s.
    bool WaitUntil(const std::function<bool()> &done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            Pump(5);
        }
        return true;
    }
    bool WaitForText(const std::string &text) {
        return WaitUntil([&] { return screen_.find(text) != std::string::npos; });
    }

    // The exit code, or minus the signal that ended it.
    int Wait() {
        int status = 0;
        const bool ended = WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; });
        if (!ended) return -1000;
        pid_ = -1;
        Pump(0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

private:
    void Pump(int waitMs) {
        if (master_ < 0) {
            ::poll(nullptr, 0, waitMs);
            return;
        }
        pollfd entry{master_, POLLIN, 0};
        if (::poll(&entry, 1, waitMs) <= 0) return;
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(master_, buffer, sizeof buffer)) > 0) screen_.append(buffer, std::size_t(got));
    }

    int master_ = -1;
    pid_t pid_ = -1;
    std::string screen_;
};
