#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"

extern char **environ;

struct ChildProcess::Impl {
    pid_t pid = -1;
    int toChild = -1;    // its standard input
    int fromChild = -1;  // its standard output
    bool killed = false;
};

ChildProcess::ChildProcess(const std::vector<std::string> &args) : impl_(std::make_unique<Impl>()) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::string program = OPEN_PROBE_PATH;
    std::vector<std::string> copies = args;
    std::vector<char *> argv{program.data()};
    for (std::string &arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&impl_->pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) impl_->pid = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    impl_->toChild = in[1];
    impl_->fromChild = out[0];
}

ChildProcess::~ChildProcess() {
    if (impl_->pid > 0) Finish(0);
    if (impl_->toChild >= 0) ::close(impl_->toChild);
    if (impl_->fromChild >= 0) ::close(impl_->fromChild);
}

bool ChildProcess::Started() const { return impl_->pid > 0; }

char ChildProcess::ReadCharacter(unsigned timeoutMs) {
    pollfd entry{impl_->fromChild, POLLIN, 0};
    char byte = '?';
    if (::poll(&entry, 1, static_cast<int>(timeoutMs)) == 1 && ::read(impl_->fromChild, &byte, 1) == 1) return byte;
    return '?';
}

void ChildProcess::Kill() {
    if (impl_->pid <= 0) return;
    ::kill(impl_->pid, SIGKILL);
    impl_->killed = true;
}

int ChildProcess::Finish(unsigned timeoutMs) {
    if (impl_->pid <= 0) return -1;
    if (impl_->toChild >= 0) ::close(impl_->toChild);
    impl_->toChild = -1;
    int status = 0;
    for (unsigned waited = 0;; waited += 5) {
        if (::waitpid(impl_->pid, &status, WNOHANG) == impl_->pid) break;
        if (waited >= timeoutMs) {
            ::kill(impl_->pid, SIGKILL);
            ::waitpid(impl_->pid, &status, 0);
            impl_->killed = true;
            break;
        }
        ::usleep(5000);
    }
    impl_->pid = -1;
    if (impl_->killed || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}
