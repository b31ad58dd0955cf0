#include "guest_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace guest {
namespace {

constexpr int kAnswerLimitMs = 30000;
constexpr const char *kRelaycfg = "/bin/relaycfg";
constexpr std::size_t kImageBytes = 80;

// One line on the console: written whole, so that the host never sees two lines mixed.
void WriteLine(const std::string &text) {
    const std::string line = text + "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, line.data(), line.size());
}

// Reads a line from the console's input, at most until the deadline.
bool ReadLine(std::string &line, Clock::time_point deadline) {
    static std::string pending;
    for (;;) {
        if (const auto end = pending.find('\n'); end != std::string::npos) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) return false;
        pending.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

Step::Step(std::string name) : name_(std::move(name)), start_(Clock::now()) {}

bool Step::Check(bool ok, const std::string &what) {
    if (!ok) failures_.push_back(what);
    return ok;
}

void Step::Figure(const std::string &text) { figures_.push_back(text); }

void Step::Report() const {
    std::string text;
    for (const auto *list : {&failures_, &figures_})
        for (const std::string &item : *list) text += (text.empty() ? "" : "; ") + item;
    for (char &c : text)
        if (c == '\n' || c == '\r') c = ' ';
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.0f", MillisecondsSince(start_));
    WriteLine(std::string(rig::kGuestPrefix) + "step " + name_ + (Passed() ? " pass " : " fail ") + ms +
              " " + text);
}

std::string Ask(const std::string &request) {
    static unsigned next = 0;
    const std::string id = std::to_string(++next);
    WriteLine(std::string(rig::kGuestPrefix) + "ask " + id + " " + request);
    const std::string answerPrefix = std::string(rig::kHostPrefix) + id + " ";
    const auto deadline = Clock::now() + std::chrono::milliseconds(kAnswerLimitMs);
    std::string line;
    while (ReadLine(line, deadline)) {
        if (const auto at = line.find(answerPrefix); at != std::string::npos)
            return line.substr(at + answerPrefix.size());
    }
    return {};
}

void Say(const std::string &words) { WriteLine(std::string(rig::kGuestPrefix) + words); }

ProgramRun Run(const std::vector<std::string> &argv, int limitMs) {
    ProgramRun run;
    const auto start = Clock::now();
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        run.err = "pipe failed";
        return run;
    }
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    const auto deadline = start + std::chrono::milliseconds(limitMs);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *texts[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd &p : fds)
        if (p.fd >= 0) ::close(p.fd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitCode = !run.timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.ms = MillisecondsSince(start);
    return run;
}

ProgramRun Relaycfg(const std::vector<std::string> &arguments, int limitMs) {
    std::vector<std::string> argv{kRelaycfg};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return Run(argv, limitMs);
}

void ExpectOnHost(Step &step, const rig::Line &line, const uint8_t *image, const std::string &when) {
    const std::string answer = Ask("expect " + std::string(line.name) + " " + Hex(image, kImageBytes));
    step.Check(answer == "ok", when + ": the simulator " + (answer.empty() ? "did not answer" : answer));
}

std::string RunText(const ProgramRun &run) {
    std::string text = "exit " + std::to_string(run.exitCode) + (run.timedOut ? " (killed: time limit)" : "");
    std::string err = run.err;
    std::replace(err.begin(), err.end(), '\n', ' ');
    return err.empty() ? text : text + ", said: " + err;
}

std::string Hex(const uint8_t *bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

bool BackupImage(const std::string &path, std::vector<uint8_t> &image) {
    std::ifstream file(path);
    image.assign(80, 0);
    unsigned lines = 0;
    std::string line;
    while (std::getline(file, line)) {
        unsigned address = 0;
        unsigned b[8];
        if (std::sscanf(line.c_str(), "image %x: %x %x %x %x %x %x %x %x", &address, &b[0], &b[1], &b[2],
                        &b[3], &b[4], &b[5], &b[6], &b[7]) != 9 ||
            address % 8 != 0 || address + 8 > image.size())
            continue;
        for (unsigned i = 0; i < 8; ++i) image[address + i] = static_cast<uint8_t>(b[i]);
        ++lines;
    }
    return lines == 10;
}

std::vector<std::string> RestoreCommandIn(const std::string &text) {
    const std::string marker = "Put it back with: relaycfg ";
    const auto at = text.find(marker);
    if (at == std::string::npos) return {};
    std::istringstream words(text.substr(at + marker.size(), text.find('\n', at) - at - marker.size()));
    std::vector<std::string> arguments;
    for (std::string word; words >> word;) arguments.push_back(word);
    return arguments;
}

bool WaitForPath(const std::string &path, int limitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    struct stat info {};
    while (::stat(path.c_str(), &info) != 0) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string ComName(const rig::Line &line) { return "COM" + std::to_string(line.com); }

}  // namespace guest
