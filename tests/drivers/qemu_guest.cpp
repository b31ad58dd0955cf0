#include "qemu_guest.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <regex>
#include <stdexcept>

#include "rig_protocol.h"

extern char **environ;

namespace rig {
namespace {

constexpr int kMonitorAnswerMs = 3000;
constexpr std::string_view kPrompt = "(qemu) ";

// TCG: nested KVM is far slower here. No default devices; the console and a 16550 with a
// pseudo-terminal behind it on the ISA serial ports, and an emulated FTDI adapter on an xHCI
// controller, its line a pseudo-terminal too. The kernel prints only emergencies and alerts (an
// oops) on the console, so that its messages do not run into the guest's report lines.
std::vector<std::string> QemuArguments(const GuestFiles &files, const std::string &monitor) {
    return {"qemu-system-x86_64", "-accel", "tcg", "-m", "384", "-smp", "1", "-nodefaults", "-no-user-config",
            "-nographic", "-no-reboot", "-kernel", files.kernel, "-initrd", files.initramfs,
            "-append", "console=ttyS0 loglevel=2 panic=-1",
            "-serial", "mon:stdio", "-serial", "pty",
            "-device", "qemu-xhci,id=xhci",
            "-chardev", "pty,id=" + std::string(kUsbChardev),
            "-device", "usb-serial,chardev=" + std::string(kUsbChardev) + ",id=" + std::string(kUsbDeviceId),
            "-monitor", "unix:" + monitor + ",server,nowait"};
}

[[noreturn]] void Fail(const std::string &what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

// The monitor's socket lives in /tmp: a socket's path may not be longer than 107 bytes, and the
// work folder's may be.
QemuGuest::QemuGuest(const GuestFiles &files)
    : monitorPath_("/tmp/drivers-rig-monitor-" + std::to_string(::getpid())) {
    ::unlink(monitorPath_.c_str());
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) Fail("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    const std::vector<std::string> args = QemuArguments(files, monitorPath_);
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    const int spawned = ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
    if (spawned != 0) {
        errno = spawned;
        pid_ = -1;
        Fail("cannot start qemu-system-x86_64 (Debian package qemu-system-x86)");
    }
    ::fcntl(output_, F_SETFL, ::fcntl(output_, F_GETFL) | O_NONBLOCK);
}

QemuGuest::~QemuGuest() {
    Kill();
    Wait();
    for (int fd : {input_, output_, monitor_})
        if (fd >= 0) ::close(fd);
    ::unlink(monitorPath_.c_str());
}

void QemuGuest::TakeLine(const std::string &line) {
    static const std::regex redirected(R"(char device redirected to (\S+) \(label (\S+)\))");
    std::smatch m;
    if (std::regex_search(line, m, redirected)) ptys_[m[2]] = m[1];
}

bool QemuGuest::ReadLines(int timeoutMs, std::vector<std::string> &lines) {
    pollfd entry{output_, POLLIN, 0};
    if (::poll(&entry, 1, timeoutMs) <= 0) return true;
    for (;;) {
        char buffer[4096];
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n == 0) return false;
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        console_.append(buffer, static_cast<std::size_t>(n));
        partial_.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = partial_.find('\n')) != std::string::npos;) {
            std::string line = partial_.substr(0, end);
            partial_.erase(0, end + 1);
            while (!line.empty() && line.back() == '\r') line.pop_back();
            TakeLine(line);
            lines.push_back(line);
        }
    }
}

void QemuGuest::Send(const std::string &line) {
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t n = ::write(input_, text.data(), text.size());
}

bool QemuGuest::Monitor(const std::string &command, std::string &answer) {
    answer.clear();
    std::string received;
    const auto readUntilPrompt = [&]() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMonitorAnswerMs);
        while (received.find(kPrompt) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{monitor_, POLLIN, 0};
            if (::poll(&entry, 1, 100) <= 0) continue;
            char buffer[1024];
            const ssize_t n = ::read(monitor_, buffer, sizeof buffer);
            if (n <= 0) return false;
            received.append(buffer, static_cast<std::size_t>(n));
        }
        return received.find(kPrompt) != std::string::npos;
    };
    if (monitor_ < 0) {
        monitor_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, monitorPath_.c_str(), sizeof address.sun_path - 1);
        if (::connect(monitor_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || !readUntilPrompt()) {
            ::close(monitor_);
            monitor_ = -1;
            return false;
        }
        received.clear();
    }
    const std::string text = command + "\n";
    if (::write(monitor_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return false;
    const bool prompted = readUntilPrompt();
    // The monitor echoes the command line (with terminal control bytes) before its answer.
    const auto echoed = received.find('\n');
    answer = echoed == std::string::npos ? std::string() : received.substr(echoed + 1);
    if (const auto prompt = answer.rfind(kPrompt); prompt != std::string::npos) answer.erase(prompt);
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
    return prompted;
}

std::string QemuGuest::PtyOf(const std::string &label) const {
    const auto it = ptys_.find(label);
    return it == ptys_.end() ? std::string() : it->second;
}

void QemuGuest::Kill() {
    if (pid_ > 0 && status_ < 0) ::kill(pid_, SIGKILL);
}

int QemuGuest::Wait() {
    if (pid_ > 0 && status_ < 0) {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return status_;
}

}  // namespace rig
