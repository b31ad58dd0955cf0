// Runs every test of a GoogleTest program in a process of its own, many at a time, and reports
// like one test: the fault matrix's cases mostly sleep through a budget of 10 to 20 seconds, so
// running them side by side costs little processor time and saves most of the wall time.
//
//   fault_matrix_runner PROGRAM [--jobs N] [--timeout SECONDS] [--filter PATTERN]
//
// The cases with the longest waits start first. A case that outlives its time-out is killed and
// counts as failed. The output of every failed case is printed; exit code 0 only when all passed.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// The cases running now, so that a runner stopped by a signal (a CTest time-out) stops them too.
constexpr std::size_t kMaxJobs = 256;
volatile sig_atomic_t g_children[kMaxJobs];

void StopChildren(int signal) {
    for (std::size_t i = 0; i < kMaxJobs; ++i)
        if (g_children[i] > 0) ::kill(static_cast<pid_t>(g_children[i]), SIGKILL);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void Track(pid_t pid, pid_t replaced) {
    for (std::size_t i = 0; i < kMaxJobs; ++i) {
        if (g_children[i] == replaced) {
            g_children[i] = pid;
            return;
        }
    }
}

struct Options {
    std::string program;
    unsigned jobs = 12;
    unsigned timeoutSeconds = 180;
    std::string filter = "*";
};

struct Case {
    std::string name;
    int weight = 0;  // rough cost: slow waits first
    pid_t pid = -1;
    Clock::time_point start{};
    double seconds = 0;
    bool passed = false;
    bool timedOut = false;
    std::string logPath;
};

[[noreturn]] void Usage(const char *why) {
    std::cerr << "fault_matrix_runner: " << why
              << "\nusage: fault_matrix_runner PROGRAM [--jobs N] [--timeout SECONDS] "
                 "[--filter PATTERN]\n";
    std::exit(2);
}

Options ParseOptions(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto next = [&]() -> std::string {
            if (i + 1 >= argc) Usage(("missing value after " + arg).c_str());
            return argv[++i];
        };
        if (arg == "--jobs") o.jobs = static_cast<unsigned>(std::stoul(next()));
        else if (arg == "--timeout") o.timeoutSeconds = static_cast<unsigned>(std::stoul(next()));
        else if (arg == "--filter") o.filter = next();
        else if (o.program.empty()) o.program = arg;
        else Usage(("unexpected argument " + arg).c_str());
    }
    if (o.program.empty()) Usage("no program given");
    if (const char *jobs = std::getenv("FAULT_MATRIX_JOBS")) o.jobs = static_cast<unsigned>(std::atoi(jobs));
    o.jobs = std::clamp(o.jobs, 1u, static_cast<unsigned>(kMaxJobs));
    return o;
}

// Waits out a missing echo or reply: the names say which fault a case injects.
int Weight(const std::string &name) {
    int weight = 0;
    if (name.find("NoEcho") != std::string::npos || name.find("HangUp") != std::string::npos)
        weight = 3;
    else if (name.find("Silence") != std::string::npos)
        weight = 2;
    if (name.find("Save") != std::string::npos) weight += 1;  // longer frames, EEPROM pauses
    return weight;
}

std::string Capture(const std::string &command) {
    std::string out;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

// "Suite." lines followed by "  Test  # comment" lines, as --gtest_list_tests prints them.
std::vector<Case> ListCases(const Options &o) {
    const std::string listing =
        Capture("'" + o.program + "' --gtest_list_tests '--gtest_filter=" + o.filter + "'");
    std::vector<Case> cases;
    std::istringstream lines(listing);
    std::string line, suite;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        const std::string text = line.substr(0, line.find('#'));
        const auto first = text.find_first_not_of(' ');
        const auto last = text.find_last_not_of(' ');
        if (first == std::string::npos) continue;
        const std::string word = text.substr(first, last - first + 1);
        if (first == 0) suite = word;
        else {
            Case c;
            c.name = suite + word;
            c.weight = Weight(c.name);
            cases.push_back(c);
        }
    }
    return cases;
}

bool Start(Case &c, const Options &o, const std::string &logDir, unsigned index) {
    c.logPath = logDir + "/case" + std::to_string(index) + ".log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, c.logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const std::string filter = "--gtest_filter=" + c.name;
    char *args[] = {const_cast<char *>(o.program.c_str()), const_cast<char *>(filter.c_str()), nullptr};
    const int rc = ::posix_spawn(&c.pid, o.program.c_str(), &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    c.start = Clock::now();
    if (rc == 0) Track(c.pid, 0);
    if (rc != 0) {
        std::cerr << "cannot start " << o.program << ": error " << rc << "\n";
        c.pid = -1;
        return false;
    }
    return true;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

int main(int argc, char **argv) {
    const Options o = ParseOptions(argc, argv);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::signal(sig, StopChildren);
    std::vector<Case> cases = ListCases(o);
    if (cases.empty()) {
        std::cerr << "fault_matrix_runner: no cases listed by " << o.program << "\n";
        return 1;
    }
    std::stable_sort(cases.begin(), cases.end(),
                     [](const Case &a, const Case &b) { return a.weight > b.weight; });

    char logPattern[] = "/tmp/fault-matrix-XXXXXX";
    if (::mkdtemp(logPattern) == nullptr) {
        std::perror("fault_matrix_runner: mkdtemp");
        return 1;
    }
    const std::string logDir = logPattern;

    const auto begin = Clock::now();
    std::size_t next = 0, running = 0, finished = 0;
    while (finished < cases.size()) {
        while (running < o.jobs && next < cases.size()) {
            if (Start(cases[next], o, logDir, static_cast<unsigned>(next))) ++running;
            else ++finished;
            ++next;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (Case &c : cases) {
            if (c.pid <= 0) continue;
            int status = 0;
            const pid_t done = ::waitpid(c.pid, &status, WNOHANG);
            const double seconds = std::chrono::duration<double>(Clock::now() - c.start).count();
            if (done == 0 && seconds > o.timeoutSeconds) {
                ::kill(c.pid, SIGKILL);
                ::waitpid(c.pid, &status, 0);
                c.timedOut = true;
            } else if (done == 0) {
                continue;
            }
            Track(0, c.pid);
            c.passed = !c.timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
            c.seconds = seconds;
            c.pid = -1;
            --running;
            ++finished;
            std::printf("%-6s %6.1f s  %s\n", c.passed ? "ok" : (c.timedOut ? "TIMEOUT" : "FAILED"),
                        c.seconds, c.name.c_str());
            std::fflush(stdout);
        }
    }
    const double wall = std::chrono::duration<double>(Clock::now() - begin).count();

    unsigned failed = 0;
    double caseSeconds = 0, longest = 0;
    for (const Case &c : cases) {
        caseSeconds += c.seconds;
        longest = std::max(longest, c.seconds);
        if (c.passed) continue;
        ++failed;
        std::printf("\n===== %s (%s) =====\n%s", c.name.c_str(), c.timedOut ? "timed out" : "failed",
                    ReadFile(c.logPath).c_str());
    }
    for (const Case &c : cases) ::unlink(c.logPath.c_str());
    ::rmdir(logDir.c_str());

    std::printf("\n%zu cases, %u failed; %u at a time: %.1f s wall, %.1f s of cases, longest %.1f s\n",
                cases.size(), failed, o.jobs, wall, caseSeconds, longest);
    return failed == 0 ? 0 : 1;
}
